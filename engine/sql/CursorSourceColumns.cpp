#include "engine/sql/CursorSourceColumns.h"

#include "engine/sql/DataQuery.h"

namespace keel {

TCursorSourceColumns::TCursorSourceColumns(TDataDirectory& database, bool writable)
    : database_(database), writable_(writable) {}

TCursorSourceColumns::~TCursorSourceColumns() {
  Close();
}

void TCursorSourceColumns::Close() {
  cursors_.clear();
}

TDataDirectory& TCursorSourceColumns::FolderOf(const TSourceTable& table) {
  if (table.Folder.empty()) return database_;
  std::unique_ptr<TDataDirectory>& folder = otherFolders_[table.Folder];
  if (!folder) folder = std::make_unique<TDataDirectory>(database_.session(), table.Folder);
  return *folder;
}

std::vector<TSourceColumn> TCursorSourceColumns::ColumnsOf(const TSourceTable& table) {
  std::unique_ptr<TDataCursor>& cursor = cursors_[&table];
  if (!cursor) {
    try {
      CursorOpenFlags flags{.exclusive = table.Exclusive, .readOnly = !writable_};
      cursor = std::make_unique<TDataCursor>(FolderOf(table), table.TableName, flags);
      cursor->setIndex(TDataCursor::kPhysicalOrder);
    } catch (...) {
      cursors_.erase(&table);
      throw;
    }
  }
  std::vector<TSourceColumn> columns;
  for (const FieldDescriptor& field : cursor->fields()) columns.push_back({field.name, field.number});
  return columns;
}

TDataCursor* TCursorSourceColumns::CursorOf(const TSourceTable& table) const {
  auto found = cursors_.find(&table);
  return found == cursors_.end() ? nullptr : found->second.get();
}

}  // namespace keel
