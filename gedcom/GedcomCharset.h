#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mindrel {

// The character sets a GEDCOM header may declare with CHAR, each turned into
// UTF-8 line by line. UTF-16 is known only by its byte-order mark and is
// converted as a whole before the lines are split.
class TGedcomCharset {
 public:
  enum class Kind { Ansel, Utf8, Ascii, Ansi };

  // "ANSEL", "UTF-8", "UNICODE" (read as UTF-8 when no UTF-16 mark came
  // first), "ASCII" and "ANSI" (Windows-1252), in any letter case; nothing
  // for another name.
  static std::optional<Kind> FromName(std::string_view name);

  // The bytes of one line as UTF-8. False for bytes that are no well-formed
  // UTF-8 in a UTF-8 file. ASCII files are read as Windows-1252, which holds
  // ASCII, so a stray accented letter keeps its meaning.
  static bool ToUtf8(Kind kind, std::string_view bytes, std::string& out);

  // A UTF-16 text without its mark as UTF-8. False for an odd number of
  // bytes or a surrogate without its partner.
  static bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out);

  // Appends one code point as UTF-8. REQUIRES: a Unicode scalar value.
  static void AppendUtf8(std::string& out, char32_t code);
};

}  // namespace mindrel
