#include "platform/OsFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <limits>

#include "platform/WindowsText.h"

// The handle is kept as a C runtime descriptor wrapping the Win32 handle, so
// both systems share one declaration of the class.

namespace mindrel {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

// Others may read, write, rename and delete the file while it is open, as on
// the other systems; exclusive use is the engine's own share-mode lock.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags, int& fd) {
  HANDLE handle = CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrorAsErrno();
  fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return EMFILE;
  }
  return 0;
}

// DWORD-sized pieces of a 64-bit count.
DWORD Piece(uint64_t value) { return static_cast<DWORD>(value & 0xFFFFFFFFu); }
DWORD HighPiece(uint64_t value) { return static_cast<DWORD>(value >> 32); }

}  // namespace

OsFile::~OsFile() { close(); }

int OsFile::open(const std::string& path, bool writable) {
  close();
  const DWORD access = GENERIC_READ | (writable ? GENERIC_WRITE : 0);
  return Open(path, access, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, fd_);
}

int OsFile::create(const std::string& path) {
  close();
  return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, fd_);
}

int OsFile::createNew(const std::string& path) {
  close();
  return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, fd_);
}

void OsFile::close() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
}

int OsFile::readAt(uint64_t offset, void* buffer, size_t length, size_t& done) const {
  done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(length - done, std::numeric_limits<DWORD>::max()));
    OVERLAPPED where = At(offset + done);
    DWORD got = 0;
    if (!ReadFile(HandleOf(fd_), out + done, wanted, &got, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return LastErrorAsErrno();
    }
    if (got == 0) break;
    done += got;
  }
  return 0;
}

int OsFile::writeAt(uint64_t offset, const void* buffer, size_t length, size_t& done) {
  done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(length - done, std::numeric_limits<DWORD>::max()));
    OVERLAPPED where = At(offset + done);
    DWORD written = 0;
    if (!WriteFile(HandleOf(fd_), in + done, wanted, &written, &where)) return LastErrorAsErrno();
    if (written == 0) break;
    done += written;
  }
  return 0;
}

int OsFile::truncate(uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(HandleOf(fd_), FileEndOfFileInfo, &end, sizeof end) ? 0 : LastErrorAsErrno();
}

int OsFile::sync() { return FlushFileBuffers(HandleOf(fd_)) ? 0 : LastErrorAsErrno(); }

int OsFile::size(uint64_t& size) const {
  LARGE_INTEGER found{};
  if (!GetFileSizeEx(HandleOf(fd_), &found)) return LastErrorAsErrno();
  size = static_cast<uint64_t>(found.QuadPart);
  return 0;
}

int OsFile::lockRange(uint64_t offset, uint64_t length, bool exclusive) {
  OVERLAPPED where = At(offset);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return LockFileEx(HandleOf(fd_), flags, 0, Piece(length), HighPiece(length), &where) ? 0 : LastErrorAsErrno();
}

int OsFile::unlockRange(uint64_t offset, uint64_t length) {
  OVERLAPPED where = At(offset);
  return UnlockFileEx(HandleOf(fd_), 0, Piece(length), HighPiece(length), &where) ? 0 : LastErrorAsErrno();
}

}  // namespace mindrel
