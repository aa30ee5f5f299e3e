#pragma once

#include <string>

#include "gedcom/GedcomTree.h"

namespace mindrel {

// A GEDCOM file named in the list of sources. It is only ever read: never
// written, locked or given a new time stamp.
class TGedcomFile {
 public:
  explicit TGedcomFile(std::string path) : path_(std::move(path)) {}

  // The path names a file, not a folder: a GEDCOM source rather than a
  // family-tree folder.
  bool IsFile() const;
  // A readable file whose first record is "0 HEAD".
  bool Valid() const;
  // The whole file read. Throws EGedcomError naming the file (and the line)
  // when it cannot be read or is no GEDCOM file the reader can take.
  TGedcomTree Read() const;

 private:
  std::string path_;
};

}  // namespace mindrel
