#include "app/FamilyTreeFolder.h"

#include "app/ReadProblem.h"
#include "engine/components/KeelTable.h"
#include "engine/core/ErrorCodes.h"
#include "platform/Folders.h"

namespace mindrel {

namespace {

constexpr int kPeopleUserMajorVersion = 3;

// A table of the folder, read-only, closed again when the object goes.
class TFolderTable {
 public:
  TFolderTable(const std::string& folder, const char* name) {
    table_.SetDatabaseName(folder);
    table_.SetTableName(name);
    table_.SetReadOnly(true);
  }
  ~TFolderTable() { table_.Close(); }
  keel::TKeelTable& operator*() { return table_; }
  keel::TKeelTable* operator->() { return &table_; }

 private:
  keel::TKeelTable table_;
};

}  // namespace

std::string TFamilyTreeFolder::Problem() const {
  if (folder_.empty()) return {};
  if (!DirectoryExists(folder_)) return TReadProblem::MissingFolder(folder_);
  try {
    TFolderTable people(folder_, "People.dat");
    people->Open();
    const int version = people->UserMajorVersion();
    if (version != kPeopleUserMajorVersion) return TReadProblem::NotVersion3(folder_, version);
    TFolderTable families(folder_, "Families.dat");
    families->Open();
    TFolderTable links(folder_, "Links.dat");
    links->Open();
    return {};
  } catch (const std::exception& error) {
    // A missing, locked or damaged table: not a family tree Mindrel can read.
    return TReadProblem::FamilyTree(folder_, error);
  }
}

std::vector<std::string> TFamilyTreeFolder::DateColumns(const char* table, int firstColumn) const {
  std::vector<std::string> names;
  try {
    TFolderTable data(folder_, table);
    data->RefreshDefs();
    const auto& defs = data->FieldDefs();
    for (std::size_t i = static_cast<std::size_t>(firstColumn); i < defs.Count(); ++i) {
      if (defs[i].DataType == keel::TFieldType::ftDate) names.push_back(defs[i].Name);
    }
  } catch (const std::exception&) {
  }
  return names;
}

std::vector<std::string> TFamilyTreeFolder::CustomDateColumns() const {
  std::vector<std::string> names = DateColumns("People.dat", kFirstCustomPeopleColumn);
  std::vector<std::string> families = DateColumns("Families.dat", kFirstCustomFamiliesColumn);
  names.insert(names.end(), families.begin(), families.end());
  return names;
}

}  // namespace mindrel
