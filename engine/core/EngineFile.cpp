#include "engine/core/EngineFile.h"

#include <cerrno>
#include <vector>

#include "engine/core/ErrorCodes.h"

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
  return handle().readAt(offset, buffer, length);
}

void TEngineFile::write(uint64_t offset, const void* buffer, size_t length) {
  TBaseFile& file = handle();
  if (openedReadOnly()) raiseOsError(EACCES, path_);
  file.writeAt(offset, buffer, length);
}

void TEngineFile::truncate(uint64_t size) {
  TBaseFile& file = handle();
  if (openedReadOnly()) raiseOsError(EACCES, path_);
  file.truncate(size);
}

void TEngineFile::flush() { handle().flush(); }

uint64_t TEngineFile::size() { return handle().size(); }

bool TEngineFile::lockRange(uint64_t offset, uint64_t length) { return handle().lockRange(offset, length); }

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
