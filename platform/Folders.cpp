#include "platform/Folders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace mindrel {

namespace {

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string DataFolderBase() {
  if (std::string dir = EnvOrEmpty("MINDREL_DATA_DIR"); !dir.empty()) return dir;
  if (std::string xdg = EnvOrEmpty("XDG_DATA_HOME"); !xdg.empty()) return xdg + "/Mindrel";
  if (std::string home = EnvOrEmpty("HOME"); !home.empty()) return home + "/.local/share/Mindrel";
  return {};
}

}  // namespace

std::string WithTrailingSeparator(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string ExeFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return WithTrailingSeparator(std::filesystem::current_path(error).string());
  return WithTrailingSeparator(exe.parent_path().string());
}

std::string ProgramFilesFolder(const std::string& exeFolder) {
  const std::filesystem::path installed = std::filesystem::path(exeFolder) / ".." / "share" / "mindrel";
  std::error_code error;
  if (!std::filesystem::is_directory(installed, error)) return WithTrailingSeparator(exeFolder);
  return WithTrailingSeparator(std::filesystem::weakly_canonical(installed, error).string());
}

std::string WritableTemporaryFolder(const std::string& preferred) {
  if (!preferred.empty() && access(preferred.c_str(), W_OK | X_OK) == 0) return WithTrailingSeparator(preferred);
  std::string base = EnvOrEmpty("XDG_RUNTIME_DIR");
  if (base.empty()) base = EnvOrEmpty("TMPDIR");
  if (base.empty()) base = "/tmp";
  const std::string own = base + "/mindrel-" + std::to_string(getuid());
  std::error_code error;
  if (!ForceDirectories(own)) return {};
  std::filesystem::permissions(own, std::filesystem::perms::owner_all, error);
  return access(own.c_str(), W_OK | X_OK) == 0 ? WithTrailingSeparator(own) : std::string();
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return !error && std::filesystem::is_directory(path, error);
}

bool DirectoryExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

std::string GetDataFolder() {
  const std::string base = DataFolderBase();
  if (base.empty() || !ForceDirectories(base)) return {};
  return WithTrailingSeparator(base);
}

}  // namespace mindrel
