#include "engine/core/DataDirectoryLocks.h"

#include <cerrno>
#include <utility>

#include "engine/core/ErrorCodes.h"
#include "engine/core/LockRetry.h"
#include "engine/core/TextCase.h"
#include "platform/FileSystem.h"
#include "platform/OsFile.h"

namespace keel {

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Names of the folder's tables: its files with the data extension, without
// it, as the single-byte names the engine knows them by.
std::vector<std::string> TablesInFolder(const std::string& folder, const std::string& extension) {
  std::vector<std::string> tables;
  for (std::string& file : mindrel::ListFiles(folder, "*" + extension)) {
    if (file.size() > extension.size()) tables.push_back(Utf8ToAnsi(file.substr(0, file.size() - extension.size())));
  }
  return tables;
}

}  // namespace

TDataDirectoryLocks::TDataDirectoryLocks(TFileRegistry& files, std::string folder,
                                         EngineLockSettings settings, bool inMemory)
    : files_(files),
      folder_(std::move(folder)),
      settings_(std::move(settings)),
      layout_(settings_.largeFileSupport),
      lockFilePath_(JoinPath(folder_, settings_.lockFileName)),
      inMemory_(inMemory),
      random_(std::random_device{}()) {}

TDataDirectoryLocks::~TDataDirectoryLocks() {
  close();
}

void TDataDirectoryLocks::raiseForFolder(ErrorCode code) const {
  raise(code, {.database = folder_});
}

void TDataDirectoryLocks::raiseForFolder(ErrorCode code, const std::string& table) const {
  raise(code, {.table = table, .database = folder_});
}

void TDataDirectoryLocks::open() {
  if (handle_ || !files_.exists(lockFilePath_, inMemory_)) return;
  handle_ = openLockFileShared(false);
  if (!handle_) return;
  try {
    readFirstList();
  } catch (const EKeelEngineError&) {
    close();  // also drops the list lock when reading failed
    throw;
  }
}

void TDataDirectoryLocks::openIfMadeSince() {
  if (!handle_ && !writable_) open();
}

bool TDataDirectoryLocks::holdsAnyLock() const {
  if (listShared_ || listExclusive_ || inTransaction_ || allTableWrites_) return true;
  for (const auto& table : tables_) {
    if (table->holdsAny()) return true;
  }
  return false;
}

void TDataDirectoryLocks::openForWriting() {
  if (writable_) return;
  if (handle_ && holdsAnyLock()) raiseForFolder(ErrorCode::KEEL_LOCKWRITELOCK);
  writable_ = true;
  FileHandle reading = std::exchange(handle_, FileHandle{});
  if (reading) files_.close(reading);
  if (!files_.exists(lockFilePath_, inMemory_) && !createLockFile()) return;
  handle_ = openLockFileShared(true);
  if (!handle_) return;
  if (handle_.file->writeProtected()) {
    files_.close(handle_);
    return;
  }
  try {
    readFirstList();
  } catch (const EKeelEngineError&) {
    close();
    throw;
  }
}

std::vector<uint8_t> TDataDirectoryLocks::newListBytes() const {
  TLockFile list;
  if (!inMemory_) {
    for (const std::string& table : TablesInFolder(folder_, settings_.dataExtension))
      list.append(table, folder_);
  }
  list.setCounter(1);
  return list.encode();
}

bool TDataDirectoryLocks::createLockFile() {
  return inMemory_ ? createMemoryLockFile() : createDiskLockFile();
}

// The memory registry serialises its callers, so looking and creating cannot
// interleave with another session's.
bool TDataDirectoryLocks::createMemoryLockFile() {
  const std::vector<uint8_t> bytes = newListBytes();
  try {
    FileHandle created = files_.create(lockFilePath_, {.inMemory = true}, false);
    created.file->writeAt(0, bytes.data(), bytes.size());
    files_.close(created);
  } catch (const EKeelEngineError&) {
    return files_.exists(lockFilePath_, true);
  }
  madeLockFile_ = true;
  return true;
}

// Made in one step that fails when the file exists, so of programs opening a
// new folder at once exactly one writes the list; the others use its file and
// wait while it is empty (readFirstList). The list is written under the
// list's exclusive lock, so whoever reads it under the shared lock reads it
// whole.
bool TDataDirectoryLocks::createDiskLockFile() {
  const std::vector<uint8_t> bytes = newListBytes();  // listed first: the file stays empty briefly
  mindrel::OsFile file;
  if (int error = file.createNew(lockFilePath_); error != 0) return error == EEXIST;
  madeLockFile_ = true;
  const LockRange exclusive = layout_.listExclusive();
  TLockRetry retry(settings_.list, settings_.sleep);
  const bool locked =
      retry.lock([&](const LockRange& range) { return file.lockRange(range.offset, range.length, true) == 0; },
                 [&] { return exclusive; })
          .has_value();
  // Someone who waited in vain for our list may have written one since.
  uint64_t size = 0;
  bool written = file.size(size) == 0 && size > 0;
  if (!written) {
    size_t done = 0;
    written = file.writeAt(0, bytes.data(), bytes.size(), done) == 0 && done == bytes.size() && file.sync() == 0;
  }
  if (locked) file.unlockRange(exclusive.offset, exclusive.length);
  file.close();
  if (!written) {
    mindrel::RemoveFile(lockFilePath_);  // ours alone: nobody else made it
    madeLockFile_ = false;
  }
  return written;
}

// An empty lock file is one that its maker has not written yet: wait for it,
// as joining an empty list now would have the maker overwrite the entry. One
// that stays empty (its maker died) is an empty list.
void TDataDirectoryLocks::readFirstList() {
  TLockRetry retry(settings_.lockFileOpen, settings_.sleep);
  bool waitedLongEnough = false;
  for (;;) {
    lockListShared();
    if (waitedLongEnough || handle_.file->size() > 0) {
      readList();
      unlockListShared();
      return;
    }
    unlockListShared();
    waitedLongEnough = !retry.waitForNext();
  }
}

FileHandle TDataDirectoryLocks::openLockFileShared(bool forWriting) {
  TLockRetry retry(settings_.lockFileOpen, settings_.sleep);
  for (;;) {
    try {
      return files_.open(lockFilePath_, {.readOnly = !forWriting, .inMemory = inMemory_});
    } catch (const EKeelEngineError&) {
      if (!retry.waitForNext()) return {};
    }
  }
}

void TDataDirectoryLocks::close() {
  for (auto& table : tables_) table->releaseAll();
  if (handle_) {
    // Closing the last open of the handle drops whatever it still holds; the
    // explicit releases matter while other folder objects share the handle.
    if (listShared_) release(*listShared_);
    if (listExclusive_) release(layout_.listExclusive());
    if (inTransaction_) release(layout_.allTransactionBytes());
    if (allTableWrites_) release(layout_.allTableWrites());
    files_.close(handle_);
  }
  listShared_.reset();
  listExclusive_ = inTransaction_ = allTableWrites_ = false;
}

uint32_t TDataDirectoryLocks::randomByte() {
  return std::uniform_int_distribution<uint32_t>(1, TLockLayout::kMaxRandomByte)(random_);
}

std::optional<LockRange> TDataDirectoryLocks::acquire(const LockRetryPolicy& policy,
                                                      const std::function<LockRange()>& nextRange, LockMode mode) {
  if (mode == LockMode::Exclusive && !writable_) raiseForFolder(ErrorCode::KEEL_LOCKWRITELOCK);
  openIfMadeSince();
  if (!lockingEnabled()) return nextRange();
  TLockRetry retry(policy, settings_.sleep);
  TBaseFile& file = *handle_.file;
  return retry.lock([&](const LockRange& range) { return file.lockRange(range.offset, range.length, mode); },
                    nextRange);
}

bool TDataDirectoryLocks::release(const LockRange& range) {
  if (!lockingEnabled()) return true;
  TBaseFile& file = *handle_.file;
  return ReleaseRange([&](const LockRange& held) { return file.unlockRange(held.offset, held.length); },
                      range);
}

void TDataDirectoryLocks::lockListShared() {
  if (listShared_) return;
  listShared_ = acquire(settings_.list, [&] { return layout_.listShared(randomByte()); }, LockMode::Shared);
  if (!listShared_) raiseForFolder(ErrorCode::KEEL_LOCKREADLOCK);
}

void TDataDirectoryLocks::unlockListShared() {
  std::optional<LockRange> range = std::exchange(listShared_, std::nullopt);
  if (!range || !release(*range)) raiseForFolder(ErrorCode::KEEL_LOCKREADUNLOCK);
}

void TDataDirectoryLocks::lockListExclusive() {
  if (listExclusive_) return;
  if (!acquire(settings_.list, [&] { return layout_.listExclusive(); }))
    raiseForFolder(ErrorCode::KEEL_LOCKWRITELOCK);
  listExclusive_ = true;
}

void TDataDirectoryLocks::unlockListExclusive() {
  const bool held = std::exchange(listExclusive_, false);
  if (!held || !release(layout_.listExclusive())) raiseForFolder(ErrorCode::KEEL_LOCKWRITEUNLOCK);
}

std::vector<uint8_t> TDataDirectoryLocks::readLockFile(size_t length) {
  std::vector<uint8_t> bytes(length);
  bytes.resize(handle_.file->readAt(0, bytes.data(), bytes.size()));
  return bytes;
}

void TDataDirectoryLocks::readList() {
  if (!lockingEnabled()) return;
  list_ = TLockFile::Decode(readLockFile(static_cast<size_t>(handle_.file->size())), lockFilePath_);
}

void TDataDirectoryLocks::refreshList() {
  if (!lockingEnabled()) return;
  const std::vector<uint8_t> head = readLockFile(TLockFile::kLengthOffset);
  if (head.size() < TLockFile::kLengthOffset || TLockFile::DecodeCounter(head) != list_.counter()) readList();
}

void TDataDirectoryLocks::writeList() {
  if (!lockingEnabled()) return;
  list_.setCounter(TLockFile::NextCounter(list_.counter()));
  const std::vector<uint8_t> bytes = list_.encode();
  handle_.file->writeAt(0, bytes.data(), bytes.size());
  handle_.file->flush();
}

uint32_t TDataDirectoryLocks::joinList(const std::string& name) {
  lockListExclusive();
  uint32_t slot = 0;
  try {
    refreshList();
    slot = list_.slotOf(name);
    if (slot == 0) {
      TLockFile before = list_;
      try {
        slot = list_.append(name, folder_);
        writeList();
      } catch (const EKeelEngineError&) {
        list_ = std::move(before);
        list_.setCounter(0);  // forces a full re-read next time: the file may be half written
        throw;
      }
    }
  } catch (const EKeelEngineError&) {
    try {
      unlockListExclusive();
    } catch (const EKeelEngineError&) {
    }
    throw;
  }
  unlockListExclusive();
  return slot;
}

TDataTableLocks& TDataDirectoryLocks::tableLocks(const std::string& name, TableListing listing) {
  TDataTableLocks* entry = nullptr;
  for (auto& table : tables_) {
    if (TLockFile::SameName(table->name(), name)) entry = table.get();
  }
  if (!entry) {
    tables_.push_back(std::make_unique<TDataTableLocks>(*this, name, 0));
    entry = tables_.back().get();
  }
  if (listing == TableListing::Join) openForWriting();
  if (listing != TableListing::None) entry->findSlotWhileMissing();
  if (entry->slot() != 0 || !lockingEnabled()) return *entry;
  if (listing == TableListing::Join) entry->assignSlot(joinList(name));
  if (listing == TableListing::Find) entry->assignSlot(list_.slotOf(name));
  return *entry;
}

uint32_t TDataDirectoryLocks::lookUpSlot(const std::string& name) {
  openIfMadeSince();
  if (!lockingEnabled()) return 0;
  lockListShared();
  try {
    refreshList();
  } catch (const EKeelEngineError&) {
    unlockListShared();
    throw;
  }
  unlockListShared();
  return list_.slotOf(name);
}

void TDataDirectoryLocks::lockAllTransactions() {
  if (inTransaction_) return;
  openForWriting();
  if (!acquire(settings_.transaction, [&] { return layout_.allTransactionBytes(); })) {
    raiseForFolder(ErrorCode::KEEL_TRANSLOCK);
  }
  inTransaction_ = true;
}

void TDataDirectoryLocks::unlockAllTransactions() {
  const bool held = std::exchange(inTransaction_, false);
  if (!held || !release(layout_.allTransactionBytes())) raiseForFolder(ErrorCode::KEEL_TRANSUNLOCK);
}

void TDataDirectoryLocks::lockAllTableWrites() {
  if (allTableWrites_) return;
  openForWriting();
  if (!acquire(settings_.tableWrite, [&] { return layout_.allTableWrites(); })) {
    raiseForFolder(ErrorCode::KEEL_WRITELOCK, folder_);
  }
  allTableWrites_ = true;
}

void TDataDirectoryLocks::unlockAllTableWrites() {
  const bool held = std::exchange(allTableWrites_, false);
  if (!held || !release(layout_.allTableWrites())) raiseForFolder(ErrorCode::KEEL_WRITEUNLOCK, folder_);
}

}  // namespace keel
