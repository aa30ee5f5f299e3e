#include "platform/WindowsText.h"

#include <windows.h>

#include <cerrno>

#include "platform/LocaleText.h"

namespace mindrel {

std::wstring WidePath(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::wstring(wide.begin(), wide.end());
}

std::string NarrowPath(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

int ErrnoOfWindowsError(unsigned long error) {
  switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    // Another handle holds an overlapping range.
    case ERROR_LOCK_VIOLATION:
    case ERROR_LOCK_FAILED:
    case ERROR_IO_PENDING: return EAGAIN;
    case ERROR_NOT_LOCKED: return ENOLCK;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_DRIVE: return ENODEV;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return EINVAL;
    default: return EIO;
  }
}

int LastErrorAsErrno() {
  const int mapped = ErrnoOfWindowsError(GetLastError());
  return mapped != 0 ? mapped : EIO;
}

}  // namespace mindrel
