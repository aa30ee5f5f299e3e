#pragma once

#include <string>
#include <vector>

namespace mindrel {

// An entry of the list of sources: a family-tree folder or, when the path
// names a file, a GEDCOM file.
class TSourceEntry {
 public:
  explicit TSourceEntry(std::string path) : path_(std::move(path)) {}

  bool IsGedcomFile() const;
  // A valid family-tree folder, or a readable file whose first record is
  // "0 HEAD".
  bool Valid() const { return !path_.empty() && Problem().empty(); }
  // What keeps a named source from being read, in words naming it and the
  // cause; empty when it can be read.
  std::string Problem() const;
  // The custom date columns it offers (people's first, then families'); a
  // source that cannot be read offers none.
  std::vector<std::string> CustomDateColumns() const;

 private:
  std::string path_;
};

}  // namespace mindrel
