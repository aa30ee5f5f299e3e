#include "platform/Folders.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/WindowsText.h"

namespace mindrel {

namespace {

std::string EnvOrEmpty(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) return NarrowPath(value.substr(0, length));
    value.resize(length);
  }
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Mindrel's data folder: %APPDATA%\Mindrel, where the roaming settings of
// the user's programs live.
std::string DataFolderBase() {
  if (std::string dir = EnvOrEmpty(L"MINDREL_DATA_DIR"); !dir.empty()) return dir;
  if (std::string appData = EnvOrEmpty(L"APPDATA"); !appData.empty()) return appData + "\\Mindrel";
  return {};
}

bool MayWrite(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  // Folders carry no useful read-only attribute: try it.
  wchar_t probe[MAX_PATH] = {};
  if (GetTempFileNameW(WidePath(folder).c_str(), L"mdr", 0, probe) == 0) return false;
  DeleteFileW(probe);
  return true;
}

}  // namespace

// The separator the path already uses: a backslash in Windows' own paths, a
// slash in paths given the other way.
std::string WithTrailingSeparator(std::string path) {
  if (path.empty() || !IsSeparator(path.back())) path += path.find('\\') != std::string::npos ? '\\' : '/';
  return path;
}

std::string ExeFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return WithTrailingSeparator(std::filesystem::current_path().string());
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    name.resize(name.size() * 2);
  }
  return WithTrailingSeparator(NarrowPath(name.substr(0, name.find_last_of(L"\\/"))));
}

// The files a Windows program reads lie next to it, installed or not.
std::string ProgramFilesFolder(const std::string& exeFolder) { return WithTrailingSeparator(exeFolder); }

std::string WritableTemporaryFolder(const std::string& preferred) {
  if (!preferred.empty() && MayWrite(preferred)) return WithTrailingSeparator(preferred);
  wchar_t temporary[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
  if (length == 0 || length > MAX_PATH) return {};
  const std::string own = NarrowPath(temporary) + "Mindrel";
  return ForceDirectories(own) && MayWrite(own) ? WithTrailingSeparator(own) : std::string();
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  const std::filesystem::path folder(WidePath(path));
  std::filesystem::create_directories(folder, error);
  return !error && std::filesystem::is_directory(folder, error);
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string GetDataFolder() {
  const std::string base = DataFolderBase();
  if (base.empty() || !ForceDirectories(base)) return {};
  return WithTrailingSeparator(base);
}

}  // namespace mindrel
