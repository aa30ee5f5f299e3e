#pragma once

// One open table, shared by every cursor of its folder object that opens the
// same name: the data file, the index file and (with BLOB fields) the BLOB
// file, and the per-index tree access that cursors use.
//
// Every modifying operation runs between beginWrite() and endWrite(), which
// take and release the table write lock of the folder's locking protocol and
// write all changed rows, pages, blocks and headers; every reading operation
// runs between beginRead() and endRead() under the table read lock.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobFile.h"
#include "engine/core/DataEngine.h"
#include "engine/core/DataFile.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/IndexDefinitions.h"
#include "engine/core/IndexFile.h"
#include "engine/core/LockProtocol.h"
#include "engine/core/LockTarget.h"
#include "engine/core/RollbackJournal.h"

namespace keel {

class TDataSession;
class TDataDirectoryLocks;

// The indexes a table is expected to have, given its fields; see
// TableOpenFlags::indexesIfLost.
using ExpectedIndexes = std::function<KnownIndexes(const std::vector<FieldDescriptor>& fields)>;

struct TableOpenFlags {
  bool exclusive = false;
  bool readOnly = false;
  bool temporary = false;
  bool inMemory = false;
  // For a table opened for reading whose index file is lost, cannot be read
  // or has a damaged header: the secondary indexes built in memory from its
  // rows in its place, beside the default primary index (alone without them,
  // or when they do not fit the fields).
  ExpectedIndexes indexesIfLost{};
};

struct TablePaths {
  std::string data;
  std::string index;
  std::string blob;
  std::string journal;  // the undo record of a write back in progress
};

class TDataTable;

// A reading that must see one state of the table across several operations
// (a row and its BLOB values, a whole result, a verification): the table
// read lock is taken at once, the table refreshed, and the lock held until
// the scope ends; every operation inside runs under it. Writers of other
// programs wait meanwhile, so a scope lasts one result at most.
class TTableReadScope {
 public:
  explicit TTableReadScope(TDataTable& table);
  ~TTableReadScope();
  TTableReadScope(const TTableReadScope&) = delete;
  TTableReadScope& operator=(const TTableReadScope&) = delete;
  // The refresh at the start found the table changed by someone else.
  bool changed() const { return changed_; }

 private:
  TDataTable& table_;
  bool changed_;
};

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

class TDataTable final : public TLockTarget {
 public:
  // Opens the files: the data file (checks, password), the index file (a
  // missing or unreadable one is replaced by a new file holding the default
  // primary index, filled from the rows), the BLOB file when there are BLOB
  // fields. Errors leave nothing open.
  // `folderLocks` gives the table its entry in the folder's lock file.
  TDataTable(TDataSession& session, TDataDirectoryLocks& folderLocks, std::string name, TablePaths paths,
             TableOpenFlags flags);
  ~TDataTable() override;
  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  const std::string& name() const { return name_; }
  const TableOpenFlags& flags() const { return flags_; }
  // True when any of the files refuses writing (no write permission,
  // read-only media): nobody can write the table.
  bool filesWriteProtected() const;
  // A table opened for reading keeps its files open for reading only and
  // never writes the folder. When a cursor that writes joins it, its files
  // are opened again for writing and it takes its slot in the lock file.
  // 11013 when its index lives only in memory (the file was lost).
  void openForWriting();
  bool indexRebuilt() const { return indexRebuilt_; }
  // A table opened for reading whose index file was lost or damaged keeps
  // rebuilt indexes in memory; its cursors cannot write.
  bool indexInMemory() const { return indexInMemory_; }

  TDataFile& data() { return *data_; }
  TIndexFile& index() { return *index_; }
  TBlobFile* blob() { return blob_.get(); }
  const std::vector<FieldDescriptor>& fields() const { return data_->fields(); }
  uint32_t locale() const { return data_->locale(); }
  // Slots in use: 0 and 1..secondaryCount.
  int indexCount() const { return 1 + index_->secondaryCount(); }
  TIndexAccess& access(int slot);
  // After the trees were replaced wholesale (emptied, refreshed).
  void forgetIndexAccess();
  // After an operation was abandoned because a page miss found the table
  // changed: the units it held pinned are dropped too, and the trees' access
  // made anew.
  void recoverFromChange();

  // Outermost calls, with strict change detection, take and release the read
  // lock and refresh; otherwise the read lock is taken at the first page miss
  // and released here. True when the table was changed by someone else
  // (cached units were dropped). Exclusive tables take no locks.
  // Another folder object of the process that wrote the table since the last
  // operation counts as a change found by the refresh.
  bool beginRead();
  // As beginRead, but the read lock is taken (and the table refreshed) at
  // once, whatever the change detection, and held until the matching endRead.
  bool beginHeldRead();
  // As beginHeldRead, in one attempt without waiting for the lock: false
  // when it was refused, and then nothing is begun.
  bool tryBeginHeldRead();
  // The lock retries and waits of the table's folder.
  const EngineLockSettings& lockSettings() const;
  void endRead();
  // Outermost calls take the write lock (refreshing) and release it after the
  // write back; abortWrite leaves a failed operation, its changes cached.
  void beginWrite();
  void endWrite();
  void abortWrite();
  // A table kept open without cursors (the folder keeps tables open) is taken
  // up again as if opened: settings of the session, headers refreshed.
  void reopen();
  // Drops the row, table and semaphore locks as closing would, for a table
  // whose last cursor closed but that stays open. Never raises.
  void releaseLocks() noexcept;
  // Between the read-lock batches of a long scan: lets a writer of another
  // program that waits for this table have its turn.
  void letWaitingWriterIn();
  // Row locks of Edit, Modify and Delete (10258 / 10242).
  void lockRow(int64_t row) { protocol_->lockRow(static_cast<uint64_t>(row)); }
  void unlockRow(int64_t row) { protocol_->unlockRow(static_cast<uint64_t>(row)); }
  bool rowLocked(int64_t row) const { return protocol_->rowLocked(static_cast<uint64_t>(row)); }

  // TLockTarget
  const std::string& lockName() const override { return name_; }
  bool lockDataRange(const LockRange& range) override;
  bool unlockDataRange(const LockRange& range) override;
  // Re-reads the headers when another writer changed the table and drops every
  // cached unit; true when it did.
  bool refresh() override;
  bool refreshForWrite() override;
  bool interruptedWriteFound() override;
  // Data, index and BLOB units and headers; the data header follows any other
  // header written, so its change count moves with every change. Exclusive
  // tables write back only when they close.
  void writeBack() override;

  int useCount = 0;

 private:
  void openIndex(TDataSession& session);
  void checkIndexFileFits();
  void openIndexInMemory(TDataSession& session, const TIndexFile::Options& options);
  KnownIndexes indexesInMemory() const;
  void rebuildIndexes();
  void fillIndexes();
  void rebuildMemoryIndex();
  // True when anything was written.
  bool writeBackFiles();
  void syncSessionSettings();
  // Every change is written at the end of its operation, so when one begins
  // each file holds every unit its header counts; one that does not was cut,
  // and writing it would fill the gap with zeros that read back as rows.
  void checkFilesHoldTheirUnits();
  void refreshUnderReadLock();
  // True when any header's change count moved; every cache is dropped then.
  bool refreshAllHeaders();
  // Takes and holds the read lock (waiting for it, or in one attempt):
  // whether the refresh found a change, or nothing when it was refused.
  std::optional<bool> startHeldRead(bool wait);
  void reloadHeaders();
  void forgetCachedUnits();
  // Tables this process may write keep a journal; temporary and in-memory
  // tables, and tables opened for reading, do not.
  void attachJournal();
  // A write that another writer left cut off is undone before this object
  // reads the headers it works with.
  void recoverAtOpen();
  void rollBackInterruptedWrite();
  // For a table this object may not write: true when a cut-off writer's
  // journal appeared or went, the headers then read anew through it.
  bool followJournalForReading();
  // After a failed write back the files return to their state before it.
  void undoFailedWriteBack() noexcept;
  uint64_t changeStamp() const;
  void closeFiles() noexcept;

  TDataSession& session_;
  std::string name_;
  TablePaths paths_;
  TableOpenFlags flags_;
  TDataEngine::ChangeStamp& stamp_;  // the engine's, shared by the process's objects of this table
  std::unique_ptr<TDataFile> data_;
  std::unique_ptr<TIndexFile> index_;
  std::unique_ptr<TBlobFile> blob_;
  std::unique_ptr<TRollbackJournal> journal_;
  std::shared_ptr<const TCollation> collation_;
  std::array<std::unique_ptr<TIndexAccess>, index_layout::kSlotCount> access_;
  bool indexRebuilt_ = false;
  bool indexInMemory_ = false;
  bool journalReader_ = false;
  // A refresh may run inside a tree operation (a page miss): the access
  // objects in use then are replaced only once the operation has ended.
  bool accessStale_ = false;
  int writeDepth_ = 0;
  int readDepth_ = 0;
  SessionLockSettings sessionLocks_;
  // The engine's change stamp of this table as this object last knew it.
  uint64_t seenStamp_ = 0;
  std::unique_ptr<TLockProtocol> protocol_;
};

}  // namespace keel
