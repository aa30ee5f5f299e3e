#include "gedcom/GedcomTree.h"

namespace mindrel {

const TGedcomColumn* TGedcomTree::FindColumn(const std::string& name) const {
  for (const TGedcomColumn& column : Columns) {
    if (column.Name == name) return &column;
  }
  return nullptr;
}

std::vector<std::string> TGedcomTree::CustomColumnNames() const {
  std::vector<std::string> names;
  auto custom = [](const std::string& name) {
    return name != kBirth && name != kDeath && name != kMarriage && name != kDivorce;
  };
  for (const TGedcomColumn& column : Columns) {
    if (!column.People.empty() && custom(column.Name)) names.push_back(column.Name);
  }
  for (const TGedcomColumn& column : Columns) {
    if (!column.Families.empty() && custom(column.Name)) names.push_back(column.Name);
  }
  return names;
}

}  // namespace mindrel
