#pragma once

// The columns of the tables a statement names, read from the tables
// themselves: in the query's database folder, in the in-memory folder
// "Memory", or in a folder written before the table name.

#include <map>
#include <memory>
#include <string>

#include "engine/core/DataDirectory.h"
#include "engine/sql/SourceColumns.h"

namespace keel {

class TFolderColumns : public TSourceColumns {
 public:
  // `folder` must outlive this object.
  explicit TFolderColumns(TDataDirectory& folder) : folder_(folder) {}

  std::vector<TSourceColumn> ColumnsOf(const TSourceTable& table) override;

 private:
  TDataDirectory& folderOf(const std::string& name);

  TDataDirectory& folder_;
  // Folders named inside the statement, opened for as long as it lives.
  std::map<std::string, std::unique_ptr<TDataDirectory>> others_;
};

}  // namespace keel
