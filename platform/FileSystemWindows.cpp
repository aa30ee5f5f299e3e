#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/WindowsText.h"

namespace mindrel {

namespace {

constexpr DWORD kNotFound = INVALID_FILE_ATTRIBUTES;

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

int RemoveFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) ? 0 : LastErrorAsErrno(); }

int RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) ? 0
                                                                                              : LastErrorAsErrno();
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
