#include "engine/core/DataTable.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/KeyLayout.h"

namespace keel {

namespace {

EngineFileFlags FileFlags(const TableOpenFlags& flags) {
  return {.exclusive = flags.exclusive, .readOnly = flags.readOnly, .temporary = flags.temporary, .hidden = false,
          .inMemory = flags.inMemory};
}

}  // namespace

TDataTable::TDataTable(TDataSession& session, TDataDirectoryLocks& folderLocks, std::string name, TablePaths paths,
                       TableOpenFlags flags)
    : session_(session),
      name_(std::move(name)),
      paths_(std::move(paths)),
      flags_(flags),
      stamp_(session.engine().tableChangeStamp(paths_.data, flags_.inMemory)) {
  syncSessionSettings();
  TDataEngine& engine = session.engine();
  try {
    data_ = std::make_unique<TDataFile>(engine.files(), paths_.data, FileFlags(flags_), name_, engine.settings(),
                                        engine.clock());
    data_->open(&session.passwords());
    collation_ = TCollation::ForLocale(data_->locale(), name_);
    openIndex(session);
    if (data_->header().blobFieldCount > 0) {
      TBlobFile::Options options{name_, data_->header().blobBlockSize, engine.settings(), 0};
      blob_ = std::make_unique<TBlobFile>(engine.files(), paths_.blob, FileFlags(flags_), options);
      blob_->setCipher(data_->cipher());
      blob_->openFile();
    }
    // Exclusive tables and tables nobody can write take no slot in the
    // folder's lock file and no table locks; readers only use the slot their
    // table has.
    const TableListing listing = flags_.exclusive || filesWriteProtected() ? TableListing::None
                                 : flags_.readOnly                        ? TableListing::Find
                                                                          : TableListing::Join;
    TDataTableLocks& entry = folderLocks.tableLocks(name_, listing);
    protocol_ = std::make_unique<TLockProtocol>(*this, entry, sessionLocks_, flags_.exclusive);
    attachJournal();
    recoverAtOpen();
    refreshUnderReadLock();
    // A unit that must come from disk first takes the read lock and refreshes;
    // a change found then abandons the read so the operation starts again.
    auto pageMiss = [this] { return !protocol_->readForPageMiss(); };
    data_->setDiskReadHook(pageMiss);
    index_->setDiskReadHook(pageMiss);
    if (blob_) blob_->setDiskReadHook(pageMiss);
    syncSessionSettings();
    if (flags_.exclusive && !flags_.temporary && !flags_.readOnly && !filesWriteProtected()) checkFilesHoldTheirUnits();
    if (indexRebuilt_) rebuildIndexes();
    // Asked for at open only; the table may outlive whoever gave it.
    flags_.indexesIfLost = nullptr;
  } catch (...) {
    protocol_.reset();
    closeFiles();
    throw;
  }
}

TDataTable::~TDataTable() {
  try {
    if (flags_.exclusive && !flags_.temporary && !flags_.readOnly && !filesWriteProtected()) writeBackFiles();
  } catch (...) {
    // Closing cannot report; the last operation already wrote its changes
    // unless the table was exclusive.
  }
  protocol_.reset();  // releases every lock still held
  closeFiles();
}

void TDataTable::closeFiles() noexcept {
  for (auto& access : access_) access.reset();
  try {
    if (blob_) blob_->close();
    if (index_) index_->close();
    if (data_) data_->close();
  } catch (...) {
  }
}

void TDataTable::openIndex(TDataSession& session) {
  const TIndexFile::Options options = TIndexFile::OptionsFor(name_, session.engine().settings(), data_->header());
  index_ = std::make_unique<TIndexFile>(session.engine().files(), paths_.index, FileFlags(flags_), options);
  index_->setCipher(data_->cipher());
  try {
    index_->openIndex();
    if (flags_.readOnly) checkIndexFileFits();
  } catch (const EKeelEngineError& error) {
    const ErrorCode code = error.code();
    const bool lost = code == ErrorCode::KEEL_OSENOENT || code == ErrorCode::KEEL_READERR;
    const bool damaged = code == ErrorCode::KEEL_OLDVERSION || code == ErrorCode::KEEL_BADSIGNATURE ||
                         code == ErrorCode::KEEL_HEADERCORRUPT || code == ErrorCode::KEEL_INDEXCORRUPT;
    if (!lost && !(damaged && flags_.readOnly)) throw;
    index_->close();
    // A table opened for reading keeps its replacement in memory: the folder
    // stays as its owner left it.
    if (flags_.readOnly) {
      openIndexInMemory(session, options);
      return;
    }
    // A lost or unreadable index file is replaced; only the default primary
    // index can be rebuilt from the rows alone.
    index_->createIndex(IndexDescriptor::DefaultPrimary(), {}, IndexDescriptor{});
    indexRebuilt_ = true;
  }
}

// A file cut short has lost pages its trees still lead to; descriptors whose
// keys the fields cannot give belong to another table's index file.
void TDataTable::checkIndexFileFits() {
  index_->checkHoldsItsUnits();
  for (int slot = 0; slot <= index_->secondaryCount(); ++slot) {
    try {
      TKeyLayout(index_->descriptor(slot), data_->fields(), collation_, name_);
    } catch (const EKeelEngineError&) {
      raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = name_});
    }
  }
}

void TDataTable::openIndexInMemory(TDataSession& session, const TIndexFile::Options& options) {
  static std::atomic<uint64_t> memoryIndexes{0};
  const EngineFileFlags memory{.exclusive = true, .readOnly = false, .temporary = true, .hidden = false,
                               .inMemory = true};
  index_ = std::make_unique<TIndexFile>(session.engine().files(), paths_.index + "#" + std::to_string(++memoryIndexes),
                                        memory, options);
  index_->setCipher(data_->cipher());
  indexInMemory_ = true;
  const KnownIndexes indexes = indexesInMemory();
  index_->createIndex(indexes.primary, indexes.secondaries, IndexDescriptor{});
  indexRebuilt_ = true;
}

// The expected secondary indexes as the index file would hold them, beside
// the default primary index; none when they do not fit the fields. A damaged
// table may hold a key twice, and nothing is added to an index kept only for
// reading: none of them needs to refuse a key, so none is unique.
KnownIndexes TDataTable::indexesInMemory() const {
  KnownIndexes indexes{IndexDescriptor::DefaultPrimary(), {}};
  if (!flags_.indexesIfLost) return indexes;
  try {
    std::vector<IndexDescriptor> expected = flags_.indexesIfLost(data_->fields()).secondaries;
    for (IndexDescriptor& index : expected) index.unique = false;
    const TIndexDefinitions definitions(data_->fields(), static_cast<size_t>(data_->header().indexPageSize), name_);
    indexes.secondaries = definitions.validate(indexes.primary, expected).secondaries;
  } catch (const EKeelEngineError&) {
    indexes.secondaries.clear();
  }
  return indexes;
}

void TDataTable::rebuildIndexes() {
  if (indexInMemory_) {
    // Under the read lock no page miss refreshes (and rebuilds) midway.
    TDataTableLocks& entry = protocol_->tableLocks();
    const bool locked = entry.readLock();
    try {
      rebuildMemoryIndex();
    } catch (...) {
      if (locked) entry.releaseAll();
      throw;
    }
    if (locked) entry.readUnlock();
    return;
  }
  TWriteScope write(*this);
  fillIndexes();
  write.commit();
}

void TDataTable::fillIndexes() {
  for (int64_t k = 1; k <= data_->physicalRowCount(); ++k) {
    TPinnedUnit row = data_->row(k, static_cast<size_t>(data_->physicalRowCount() - k + 1));
    if (!row) raise(ErrorCode::KEEL_FILECORRUPT, {.table = name_});  // changed while read without locks
    if (row->data()[kRowStatusAt] == kRowDeleted) continue;
    for (int slot = 0; slot < indexCount(); ++slot) {
      TIndexAccess& index = access(slot);
      index.tree().insert(index.keys().build({row->data(), row->size()}), static_cast<int32_t>(k));
    }
  }
}

// Rows another program wrote reach an index kept in memory only by building
// it again.
void TDataTable::rebuildMemoryIndex() {
  forgetIndexAccess();
  index_->emptyIndex();
  fillIndexes();
  index_->writeBack();
}

// The session's settings may change while the table is open; every outermost
// operation starts with them as they are.
void TDataTable::syncSessionSettings() {
  sessionLocks_.record = {static_cast<uint32_t>(std::max(session_.LockRetryCount, 0)), session_.LockWaitTime};
  sessionLocks_.strictChangeDetection = session_.StrictChangeDetection;
  const bool force = session_.flushesBuffers();
  if (data_) data_->setForceFlush(force);
  if (index_) index_->setForceFlush(force);
  if (blob_) blob_->setForceFlush(force);
  if (journal_) journal_->setDurable(force);
}

// Exclusive tables write back only when they close, so their files lag
// behind their headers in between: they are checked once, when opened.
void TDataTable::checkFilesHoldTheirUnits() {
  data_->checkHoldsItsUnits();
  if (!indexInMemory_) index_->checkHoldsItsUnits();
  if (blob_) blob_->checkHoldsItsUnits();
}

void TDataTable::attachJournal() {
  if (flags_.temporary || flags_.inMemory) return;
  journal_ = std::make_unique<TRollbackJournal>(paths_.journal);
  // A reader that may not write the files only reads them as the journal
  // would leave them.
  journalReader_ = flags_.readOnly || filesWriteProtected();
  journal_->attach(0, data_.get());
  if (!indexInMemory_) journal_->attach(1, index_.get());
  if (blob_) journal_->attach(2, blob_.get());
  syncSessionSettings();
}

bool TDataTable::followJournalForReading() {
  if (!journal_ || !journalReader_ || !journal_->followForReading()) return false;
  reloadHeaders();
  return true;
}

void TDataTable::recoverAtOpen() {
  if (!journal_ || journalReader_ || !journal_->found()) return;
  if (flags_.exclusive) {
    rollBackInterruptedWrite();
    return;
  }
  protocol_->beginWrite();  // undoes the cut-off write under the write lock
  protocol_->abortWrite();  // nothing of ours to write
}

void TDataTable::refreshUnderReadLock() {
  seenStamp_ = changeStamp();
  TDataTableLocks& entry = protocol_->tableLocks();
  const bool locked = entry.readLock();
  try {
    // The headers read while opening were read without a lock: all three
    // must be current before anything relies on them.
    refreshAllHeaders();
  } catch (...) {
    if (locked) entry.releaseAll();
    throw;
  }
  if (locked) entry.readUnlock();
}

void TDataTable::reopen() {
  syncSessionSettings();
  refreshUnderReadLock();
  if (accessStale_) forgetIndexAccess();
}

void TDataTable::releaseLocks() noexcept { protocol_->releaseAll(); }

void TDataTable::letWaitingWriterIn() {
  if (!flags_.exclusive && protocol_) protocol_->tableLocks().letWaitingWriterIn();
}

uint64_t TDataTable::changeStamp() const { return stamp_.load(); }

bool TDataTable::filesWriteProtected() const {
  return data_->writeProtected() || index_->writeProtected() || (blob_ && blob_->writeProtected());
}

void TDataTable::openForWriting() {
  if (!flags_.readOnly) return;
  if (indexInMemory_) raiseOsError(EACCES, paths_.index);
  data_->reopenForWriting();
  index_->reopenForWriting();
  if (blob_) blob_->reopenForWriting();
  flags_.readOnly = false;
  if (!flags_.exclusive && !filesWriteProtected()) protocol_->tableLocks().directory().tableLocks(name_, TableListing::Join);
  journalReader_ = filesWriteProtected();
}

TIndexAccess& TDataTable::access(int slot) {
  auto& entry = access_.at(static_cast<size_t>(slot));
  if (!entry) entry = std::make_unique<TIndexAccess>(*index_, slot, data_->fields(), collation_);
  return *entry;
}

bool TDataTable::lockDataRange(const LockRange& range) { return data_->lockRange(range.offset, range.length); }

bool TDataTable::unlockDataRange(const LockRange& range) { return data_->unlockRange(range.offset, range.length); }

void TDataTable::forgetIndexAccess() {
  for (auto& access : access_) access.reset();
  accessStale_ = false;
}

void TDataTable::recoverFromChange() {
  forgetIndexAccess();
  data_->dropCache();
  index_->dropCache();
  if (blob_) blob_->dropCache();
}

bool TDataTable::refresh() {
  if (followJournalForReading()) return true;
  if (!data_->headerChanged()) return false;
  if (!indexInMemory_) index_->refreshHeader();
  if (blob_) blob_->refreshHeader();
  forgetCachedUnits();
  return true;
}

bool TDataTable::refreshForWrite() {
  if (interruptedWriteFound()) {
    rollBackInterruptedWrite();
    return true;
  }
  return refreshAllHeaders();
}

bool TDataTable::interruptedWriteFound() {
  return journal_ && !journalReader_ && !journal_->active() && journal_->found();
}

void TDataTable::rollBackInterruptedWrite() {
  journal_->rollBack();
  reloadHeaders();
}

bool TDataTable::refreshAllHeaders() {
  if (followJournalForReading()) return true;
  const bool dataChanged = data_->headerChanged();
  const bool indexChanged = !indexInMemory_ && index_->refreshHeader();
  const bool blobChanged = blob_ && blob_->refreshHeader();
  if (!dataChanged && !indexChanged && !blobChanged) return false;
  forgetCachedUnits();
  return true;
}

void TDataTable::reloadHeaders() {
  data_->readHeader();
  if (!indexInMemory_) index_->reloadHeader();
  if (blob_) blob_->reloadHeader();
  forgetCachedUnits();
}

// After a change made elsewhere: an index kept in memory is built again from
// the rows, since nobody else writes it.
void TDataTable::forgetCachedUnits() {
  accessStale_ = true;
  data_->dropCache();
  if (indexInMemory_) {
    rebuildMemoryIndex();
  } else {
    index_->dropCache();
  }
  if (blob_) blob_->dropCache();
}

bool TDataTable::beginRead() {
  if (readDepth_ > 0 || writeDepth_ > 0) {
    ++readDepth_;
    return false;
  }
  syncSessionSettings();
  const uint64_t stamp = changeStamp();
  // A refused read lock raises before the depth counts the read: no endRead
  // follows a failed beginRead.
  bool changed = protocol_->beginRead();
  ++readDepth_;
  try {
    // Another folder object of this process wrote the table: its changes are
    // on disk but not in this object's cache.
    if (stamp != seenStamp_ && !flags_.exclusive) changed = protocol_->readForPageMiss() || changed;
  } catch (...) {
    endRead();
    throw;
  }
  seenStamp_ = stamp;
  if (accessStale_) forgetIndexAccess();
  return changed;
}

bool TDataTable::beginHeldRead() { return *startHeldRead(true); }

bool TDataTable::tryBeginHeldRead() { return startHeldRead(false).has_value(); }

std::optional<bool> TDataTable::startHeldRead(bool wait) {
  if (readDepth_ > 0 || writeDepth_ > 0) {
    ++readDepth_;
    return false;
  }
  syncSessionSettings();
  const uint64_t stamp = changeStamp();
  const std::optional<bool> changed = wait ? protocol_->readForPageMiss() : protocol_->tryReadForHeldRead();
  if (!changed) return std::nullopt;
  ++readDepth_;
  seenStamp_ = stamp;
  if (accessStale_) forgetIndexAccess();
  return changed;
}

const EngineLockSettings& TDataTable::lockSettings() const {
  return protocol_->tableLocks().directory().settings();
}

void TDataTable::endRead() {
  if (--readDepth_ > 0 || writeDepth_ > 0) return;
  protocol_->endRead();
}

void TDataTable::beginWrite() {
  if (writeDepth_ == 0) {
    if (readDepth_ > 0) protocol_->endRead();  // the write lock excludes our own read lock too
    syncSessionSettings();
    seenStamp_ = changeStamp();
    protocol_->beginWrite();
    try {
      if (!flags_.exclusive && !flags_.temporary) checkFilesHoldTheirUnits();
    } catch (...) {
      protocol_->abortWrite();
      throw;
    }
    if (accessStale_) forgetIndexAccess();
  }
  ++writeDepth_;
}

void TDataTable::endWrite() {
  if (--writeDepth_ > 0) return;
  protocol_->endWrite();
}

void TDataTable::abortWrite() {
  if (--writeDepth_ > 0) return;
  protocol_->abortWrite();
}

void TDataTable::writeBack() {
  if (flags_.exclusive || !writeBackFiles()) return;
  seenStamp_ = ++stamp_;
}

bool TDataTable::writeBackFiles() {
  try {
    const bool dataWritten = data_->writeBack();
    bool othersWritten = index_->writeBack();
    if (blob_) othersWritten = blob_->writeBack() || othersWritten;
    if (othersWritten && !dataWritten) {
      data_->markHeaderModified();
      data_->writeBack();
    }
    if (journal_) journal_->commit();
    return dataWritten || othersWritten;
  } catch (...) {
    undoFailedWriteBack();
    throw;
  }
}

void TDataTable::undoFailedWriteBack() noexcept {
  if (!journal_ || !journal_->active()) return;
  try {
    rollBackInterruptedWrite();
  } catch (...) {
    // The journal stays; the next writer or reader of the table undoes it.
  }
}

TTableReadScope::TTableReadScope(TDataTable& table) : table_(table), changed_(table.beginHeldRead()) {}

TTableReadScope::~TTableReadScope() {
  try {
    table_.endRead();
  } catch (...) {
    // A failed release leaves nothing held that a later operation could trip on.
  }
}

TWriteScope::TWriteScope(TDataTable& table) : table_(table) { table_.beginWrite(); }

TWriteScope::~TWriteScope() {
  if (open_) table_.abortWrite();
}

void TWriteScope::commit() {
  open_ = false;
  table_.endWrite();
}

}  // namespace keel
