#include "engine/core/PhysicalFile.h"

#include <cerrno>

#include "engine/core/ErrorCodes.h"
#include "platform/FileSystem.h"

namespace keel {

void TPhysicalFile::open(bool exclusive, bool readOnlyWanted) {
  bool writeProtected = mindrel::IsReadOnlyFile(path());
  int error = file_.open(path(), !readOnlyWanted && !writeProtected);
  if (error != 0 && !readOnlyWanted && !writeProtected && error != ENOENT && error != ENOTDIR) {
    writeProtected = true;
    error = file_.open(path(), false);
  }
  if (error != 0) raiseOsError(error, path());
  setReadOnly(readOnlyWanted || writeProtected);
  setWriteProtected(writeProtected);
  takeShareMode(exclusive);
}

void TPhysicalFile::create(bool exclusive) {
  if (int error = file_.create(path()); error != 0) raiseOsError(error, path());
  setReadOnly(false);
  takeShareMode(exclusive);
}

void TPhysicalFile::takeShareMode(bool exclusive) {
  // A shared lock is refused only by someone's exclusive one, and vice versa,
  // which is what the other program's share modes amount to.
  int error = file_.lockRange(kShareModeByte, 1, exclusive);
  if (error == EINVAL && !exclusive) error = 0;  // file systems without OFD locks: no sharing check
  if (error != 0) {
    file_.close();
    raiseOsError(error == EAGAIN ? EACCES : error, path());
  }
  markExclusive(exclusive);
}

size_t TPhysicalFile::doReadAt(uint64_t offset, void* buffer, size_t length) {
  size_t done = 0;
  if (int error = file_.readAt(offset, buffer, length, done); error != 0) raiseOsError(error, path());
  return done;
}

void TPhysicalFile::doWriteAt(uint64_t offset, const void* buffer, size_t length) {
  if (readOnly()) raiseOsError(EACCES, path());
  size_t done = 0;
  if (int error = file_.writeAt(offset, buffer, length, done); error != 0) raiseOsError(error, path());
  if (done != length) raise(ErrorCode::KEEL_WRITEERR, {.table = path()});
}

void TPhysicalFile::doTruncate(uint64_t size) {
  if (readOnly()) raiseOsError(EACCES, path());
  if (int error = file_.truncate(size); error != 0) raiseOsError(error, path());
}

void TPhysicalFile::doFlush() {
  if (readOnly()) return;
  if (int error = file_.sync(); error != 0) raiseOsError(error, path());
}

uint64_t TPhysicalFile::doSize() {
  uint64_t size = 0;
  if (int error = file_.size(size); error != 0) raiseOsError(error, path());
  return size;
}

bool TPhysicalFile::doLockRange(uint64_t offset, uint64_t length, LockMode mode) {
  int error = file_.lockRange(offset, length, mode == LockMode::Exclusive);
  if (error == EAGAIN || error == EACCES) return false;
  if (error != 0) raiseOsError(error, path());
  return true;
}

void TPhysicalFile::doUnlockRange(uint64_t offset, uint64_t length) {
  if (int error = file_.unlockRange(offset, length); error != 0) raiseOsError(error, path());
}

}  // namespace keel
