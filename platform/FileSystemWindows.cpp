#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/WindowsText.h"

namespace mindrel {

namespace {

constexpr DWORD kNotFound = INVALID_FILE_ATTRIBUTES;
// FileDispositionInfoEx of Windows 10 1709 on, which the headers only name
// when built for that version alone.
constexpr auto kDispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

DWORD Attributes(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != kNotFound && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != kNotFound && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// The name goes at once, also while the file is still open elsewhere (as the
// engine expects of a journal it removes); where the system cannot do that, it
// goes with the last handle.
int RemoveFile(const std::string& path) {
  const std::wstring name = WidePath(path);
  HANDLE file = CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorAsErrno();
  FILE_DISPOSITION_INFO_EX disposition{};
  disposition.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
  const bool removed = SetFileInformationByHandle(file, kDispositionEx, &disposition, sizeof disposition);
  CloseHandle(file);
  if (removed) return 0;
  return DeleteFileW(name.c_str()) ? 0 : LastErrorAsErrno();
}

int RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) ? 0
                                                                                              : LastErrorAsErrno();
}

// NTFS writes a folder's entries through its own journal; flushing the folder
// asks for that journal to reach the disk. Where a folder cannot be opened
// for that (a file system without the request, or without write access to the
// folder), there is nothing more a program can do for its entries.
int FlushFolder(const std::string& folder) {
  HANDLE handle = CreateFileW(WidePath(folder.empty() ? "." : folder).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED ? 0 : LastErrorAsErrno();
  }
  const bool flushed = FlushFileBuffers(handle) != FALSE;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (flushed || error == ERROR_INVALID_FUNCTION || error == ERROR_ACCESS_DENIED) return 0;
  SetLastError(error);
  return LastErrorAsErrno();
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::string base = folder.empty() ? std::string(".\\") : folder;
  if (base.back() != '/' && base.back() != '\\') base += '\\';
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(WidePath(base + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(NarrowPath(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mindrel
