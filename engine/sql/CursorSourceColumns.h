#pragma once

// The columns of a SELECT's source tables as name resolution asks for them,
// answered by opening each table with the cursor that execution then reads:
// read-only unless a live result was requested, shared unless "EXCLUSIVE",
// in physical order. The cursors stay open until Close (or destruction).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/SourceColumns.h"

namespace keel {

class TCursorSourceColumns : public TSourceColumns {
 public:
  // `database` is the statement's folder; a table named with a folder of its
  // own opens through a folder object kept here. `writable`: open for a
  // live result that may be edited.
  TCursorSourceColumns(TDataDirectory& database, bool writable);
  ~TCursorSourceColumns() override;

  std::vector<TSourceColumn> ColumnsOf(const TSourceTable& table) override;

  // The cursor opened for `table`; null when ColumnsOf was not asked for it.
  TDataCursor* CursorOf(const TSourceTable& table) const;

  // Closes every cursor (the tables with their last cursor).
  void Close();

 private:
  TDataDirectory& FolderOf(const TSourceTable& table);

  TDataDirectory& database_;
  bool writable_;
  std::map<std::string, std::unique_ptr<TDataDirectory>> otherFolders_;
  // Declared after the folders so that the cursors close first.
  std::map<const TSourceTable*, std::unique_ptr<TDataCursor>> cursors_;
};

}  // namespace keel
