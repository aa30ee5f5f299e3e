#include "engine/core/EngineFile.h"

#include <cerrno>
#include <limits>
#include <vector>

#include "engine/core/ErrorCodes.h"
#include "engine/core/RollbackJournal.h"

namespace keel {

TEngineFile::TEngineFile(TFileRegistry& registry, std::string path, EngineFileFlags flags)
    : registry_(registry), path_(std::move(path)), flags_(flags) {}

TEngineFile::~TEngineFile() {
  try {
    close();
  } catch (...) {
    // A destructor cannot report; close() before destruction to see errors.
  }
}

bool TEngineFile::openedReadOnly() const { return isOpen() && (flags_.readOnly || handle_.file->readOnly()); }

bool TEngineFile::exists() const { return registry_.exists(path_, flags_.inMemory); }

void TEngineFile::open() {
  if (isOpen()) return;
  handle_ = registry_.open(path_, {flags_.exclusive, flags_.readOnly, flags_.inMemory});
}

void TEngineFile::reopenForWriting() {
  if (!flags_.readOnly) return;
  flags_.readOnly = false;
  if (!isOpen()) return;
  FileHandle writable = registry_.open(path_, {flags_.exclusive, false, flags_.inMemory});
  registry_.close(handle_);
  handle_ = writable;
}

void TEngineFile::create() {
  close();
  handle_ = registry_.create(path_, {flags_.exclusive, false, flags_.inMemory}, flags_.temporary);
}

void TEngineFile::close() { registry_.close(handle_); }

void TEngineFile::remove() {
  close();
  registry_.remove(path_, flags_.inMemory);
}

void TEngineFile::rename(const std::string& newPath) {
  close();
  registry_.rename(path_, newPath, flags_.inMemory);
  path_ = newPath;
}

TBaseFile& TEngineFile::handle() {
  if (!handle_) raiseOsError(EBADF, path_);
  return *handle_.file;
}

void TEngineFile::read(uint64_t offset, void* buffer, size_t length) {
  if (readUpTo(offset, buffer, length) != length) raise(ErrorCode::KEEL_READERR, {.table = path_});
}

size_t TEngineFile::readUpTo(uint64_t offset, void* buffer, size_t length) {
  const size_t done = handle().readAt(offset, buffer, length);
  if (!journal_ || !journal_->overlayActive()) return done;
  return journal_->overlayRead(journalSlot_, offset, static_cast<uint8_t*>(buffer), length, done);
}

void TEngineFile::write(uint64_t offset, const void* buffer, size_t length) {
  checkWritable();
  if (journal_ && length > 0) journal_->preserve(journalSlot_, offset, length);
  writeUnjournaled(offset, buffer, length);
}

void TEngineFile::truncate(uint64_t size) {
  checkWritable();
  if (journal_) journal_->preserve(journalSlot_, size, std::numeric_limits<uint64_t>::max());
  truncateUnjournaled(size);
}

void TEngineFile::writeUnjournaled(uint64_t offset, const void* buffer, size_t length) {
  checkWritable();
  handle().writeAt(offset, buffer, length);
}

void TEngineFile::truncateUnjournaled(uint64_t size) {
  checkWritable();
  handle().truncate(size);
}

void TEngineFile::checkWritable() {
  handle();
  if (openedReadOnly()) raiseOsError(EACCES, path_);
}

void TEngineFile::flush() { handle().flush(); }

uint64_t TEngineFile::size() {
  const uint64_t actual = handle().size();
  return journal_ && journal_->overlayActive() ? journal_->overlaySize(journalSlot_, actual) : actual;
}

bool TEngineFile::lockRange(uint64_t offset, uint64_t length, LockMode mode) {
  return handle().lockRange(offset, length, mode);
}

bool TEngineFile::unlockRange(uint64_t offset, uint64_t length) { return handle().unlockRange(offset, length); }

void TEngineFile::copyTo(TEngineFile& target) {
  constexpr size_t kStep = 65536;
  std::vector<uint8_t> chunk(kStep);
  uint64_t total = size();
  target.truncate(0);
  for (uint64_t at = 0; at < total; at += kStep) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kStep, total - at));
    read(at, chunk.data(), n);
    target.write(at, chunk.data(), n);
  }
}

}  // namespace keel
