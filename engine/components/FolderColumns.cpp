#include "engine/components/FolderColumns.h"

#include "engine/components/ComponentNames.h"
#include "engine/components/KeelDatabase.h"
#include "engine/core/DataCursor.h"
#include "engine/sql/DataQuery.h"

namespace keel {

TDataDirectory& TFolderColumns::folderOf(const std::string& name) {
  if (name.empty()) return folder_;
  const std::string key = BackslashPath(name);
  auto found = others_.find(key);
  if (found == others_.end()) {
    const bool inMemory = SameName(key, TKeelDatabase::kMemoryName);
    const std::string path = inMemory ? std::string(TKeelDatabase::kMemoryName) : NativePath(key);
    found = others_.emplace(key, std::make_unique<TDataDirectory>(folder_.session(), path, inMemory)).first;
  }
  return *found->second;
}

std::vector<TSourceColumn> TFolderColumns::ColumnsOf(const TSourceTable& table) {
  TDataCursor cursor(folderOf(table.Folder), table.TableName,
                     CursorOpenFlags{.readOnly = true, .physicalOrderOnly = true});
  std::vector<TSourceColumn> columns;
  for (const FieldDescriptor& field : cursor.fields()) columns.push_back({field.name, field.number});
  return columns;
}

}  // namespace keel
