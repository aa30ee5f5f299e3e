#pragma once

// One open table, shared by every cursor of its folder object that opens the
// same name: the data file, the index file and (with BLOB fields) the BLOB
// file, and the per-index tree access that cursors use.
//
// Every modifying operation runs between beginWrite() and endWrite(); that pair
// is the one place where the table write lock of the folder's locking protocol
// belongs, and where all changed rows, pages, blocks and headers go to disk.

#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobFile.h"
#include "engine/core/DataFile.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/IndexFile.h"

namespace keel {

class TDataSession;

struct TableOpenFlags {
  bool exclusive = false;
  bool readOnly = false;
  bool temporary = false;
  bool inMemory = false;
};

struct TablePaths {
  std::string data;
  std::string index;
  std::string blob;
};

class TDataTable;

// One modifying operation: begins the write at construction; commit() ends it
// with the write back, leaving by an exception only ends it.
class TWriteScope {
 public:
  explicit TWriteScope(TDataTable& table);
  ~TWriteScope();
  TWriteScope(const TWriteScope&) = delete;
  TWriteScope& operator=(const TWriteScope&) = delete;
  void commit();

 private:
  TDataTable& table_;
  bool open_ = true;
};

class TDataTable {
 public:
  // Opens the files: the data file (checks, password), the index file (a
  // missing or unreadable one is replaced by a new file holding the default
  // primary index, filled from the rows), the BLOB file when there are BLOB
  // fields. Errors leave nothing open.
  TDataTable(TDataSession& session, std::string name, TablePaths paths, TableOpenFlags flags);
  ~TDataTable();
  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  const std::string& name() const { return name_; }
  const TableOpenFlags& flags() const { return flags_; }
  // True when any of the files could only be opened for reading.
  bool filesReadOnly() const;
  bool indexRebuilt() const { return indexRebuilt_; }

  TDataFile& data() { return *data_; }
  TIndexFile& index() { return *index_; }
  TBlobFile* blob() { return blob_.get(); }
  const std::vector<FieldDescriptor>& fields() const { return data_->fields(); }
  uint32_t locale() const { return data_->locale(); }
  // Slots in use: 0 and 1..secondaryCount.
  int indexCount() const { return 1 + index_->secondaryCount(); }
  TIndexAccess& access(int slot);

  // Re-reads the headers when another writer changed the table and drops every
  // cached unit; true when it did. Exclusive tables skip the check.
  bool synchronize();
  void beginWrite();
  // Writes data, index and BLOB units and headers; the data header follows
  // any other header written, so its change count moves with every change.
  void endWrite();
  // Leaves a failed operation: its changes stay cached for the next write back.
  void abortWrite() { --writeDepth_; }

  int useCount = 0;

 private:
  void openIndex(TDataSession& session);
  void rebuildPrimaryIndex();
  void closeFiles() noexcept;

  std::string name_;
  TablePaths paths_;
  TableOpenFlags flags_;
  std::unique_ptr<TDataFile> data_;
  std::unique_ptr<TIndexFile> index_;
  std::unique_ptr<TBlobFile> blob_;
  std::shared_ptr<const TCollation> collation_;
  std::array<std::unique_ptr<TIndexAccess>, index_layout::kSlotCount> access_;
  bool indexRebuilt_ = false;
  int writeDepth_ = 0;
};

}  // namespace keel
