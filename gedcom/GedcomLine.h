#pragma once

#include <string_view>

namespace mindrel {

// One line of a GEDCOM file, split into its parts, still in the file's
// character set (the parts other than the value are ASCII in every set):
//   [blanks] level [blank @xref@] blank tag [blank value]
// The views point into the text the line was parsed from.
struct TGedcomLine {
  static constexpr int kMaxLevel = 99;

  int Level = 0;
  std::string_view Xref;  // "@I1@" with its signs; empty when there is none
  std::string_view Tag;
  std::string_view Value;  // everything after the blank that follows the tag

  // False for text that is no GEDCOM line: no level, a level above kMaxLevel,
  // an unclosed cross-reference or no tag.
  static bool Parse(std::string_view text, TGedcomLine& line);
};

}  // namespace mindrel
