#include "platform/OsFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mindrel {

namespace {

int LastError() { return errno != 0 ? errno : EIO; }

int SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock request {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = static_cast<off_t>(offset);
  request.l_len = static_cast<off_t>(length);
  request.l_pid = 0;  // required for OFD locks
  return fcntl(fd, F_OFD_SETLK, &request) == 0 ? 0 : LastError();
}

}  // namespace

OsFile::~OsFile() { close(); }

int OsFile::open(const std::string& path, bool writable) {
  close();
  int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return EACCES;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  fd_ = fd;
  return 0;
}

int OsFile::create(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  fd_ = fd;
  return 0;
}

int OsFile::createNew(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  fd_ = fd;
  return 0;
}

void OsFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int OsFile::readAt(uint64_t offset, void* buffer, size_t length, size_t& done) const {
  done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t n = pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int OsFile::writeAt(uint64_t offset, const void* buffer, size_t length, size_t& done) {
  done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    ssize_t n = pwrite(fd_, in + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int OsFile::truncate(uint64_t size) { return ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : LastError(); }

int OsFile::sync() { return fsync(fd_) == 0 ? 0 : LastError(); }

int OsFile::size(uint64_t& size) const {
  struct stat info {};
  if (fstat(fd_, &info) != 0) return LastError();
  size = static_cast<uint64_t>(info.st_size);
  return 0;
}

int OsFile::lockRange(uint64_t offset, uint64_t length, bool exclusive) {
  return SetLock(fd_, exclusive ? F_WRLCK : F_RDLCK, offset, length);
}

int OsFile::unlockRange(uint64_t offset, uint64_t length) { return SetLock(fd_, F_UNLCK, offset, length); }

}  // namespace mindrel
