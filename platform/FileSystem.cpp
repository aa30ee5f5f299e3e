#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mindrel {

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // No write bit at all is the attribute itself; access() adds what our rights
  // say (it answers yes to the superuser whatever the bits are).
  const bool noWriteBits = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return noWriteBits || access(path.c_str(), W_OK) != 0;
}

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int RenameFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FlushFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = fsync(fd) == 0 ? 0 : errno;
  close(fd);
  return error;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0 && FileExists(base + name)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mindrel
