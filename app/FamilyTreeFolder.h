#pragma once

#include <string>
#include <vector>

namespace mindrel {

// A family-tree database folder as Mindrel sees it: the tables "People.dat",
// "Families.dat" and "Links.dat", opened read-only and closed again.
class TFamilyTreeFolder {
 public:
  // The family-tree program's own columns come first; custom date columns
  // may only follow them.
  static constexpr int kFirstCustomPeopleColumn = 37;
  static constexpr int kFirstCustomFamiliesColumn = 23;

  explicit TFamilyTreeFolder(std::string folder) : folder_(std::move(folder)) {}

  // All three tables open and "People.dat" carries user major version 3. Any
  // failure (missing folder or table, damaged or locked file) means invalid.
  bool Valid() const { return !folder_.empty() && Problem().empty(); }
  // What keeps a named folder from being read, in words naming the folder,
  // the file and the cause (see TReadProblem); empty when it can be read.
  std::string Problem() const;

  // Names of the date columns from the first custom column on, the people
  // table's first, then the families table's; a table that cannot be read
  // offers none.
  std::vector<std::string> CustomDateColumns() const;

 private:
  std::vector<std::string> DateColumns(const char* table, int firstColumn) const;

  std::string folder_;
};

}  // namespace mindrel
