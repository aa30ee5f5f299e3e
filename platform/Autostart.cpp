#include "platform/Autostart.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Folders.h"

namespace mindrel {

namespace {

constexpr const char* kEntryName = "Mindrel.desktop";
constexpr const char* kProgramName = "Mindrel";
constexpr const char* kSilentSwitch = "-s";

std::string AutostartFolderFromEnvironment() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config/autostart";
  return {};
}

// One argument of an Exec line: quoted, with the characters that stay special
// inside quotes escaped by a backslash.
std::string QuotedExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// A desktop entry's string values escape backslashes once more, and "%" starts
// a field code in an Exec line.
std::string ExecValue(const std::string& commandLine) {
  std::string value;
  for (char c : commandLine) {
    if (c == '\\') {
      value += "\\\\";
    } else if (c == '%') {
      value += "%%";
    } else if (c == '\n' || c == '\r') {
      value += ' ';
    } else {
      value += c;
    }
  }
  return value;
}

}  // namespace

TAutostart::TAutostart() : folder_(AutostartFolderFromEnvironment()) {}

TAutostart::TAutostart(std::string folder) : folder_(std::move(folder)) {}

std::string TAutostart::EntryPath() const {
  return folder_.empty() ? std::string() : WithTrailingSeparator(folder_) + kEntryName;
}

std::string TAutostart::EntryText(const std::string& exeFolder) {
  const std::string program = WithTrailingSeparator(exeFolder) + kProgramName;
  return std::string("[Desktop Entry]\n") +
         "Type=Application\n"
         "Name=Mindrel\n"
         "Comment=Anniversary reminder\n"
         "Exec=" + ExecValue(QuotedExecArgument(program) + " " + kSilentSwitch) + "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool TAutostart::Register(const std::string& exeFolder) const {
  if (folder_.empty() || !ForceDirectories(folder_)) return false;
  const std::string path = EntryPath();
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << EntryText(exeFolder);
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (!error) return true;
  std::filesystem::remove(temporary, error);
  return false;
}

bool TAutostart::Unregister() const {
  if (folder_.empty()) return false;
  std::error_code error;
  std::filesystem::remove(EntryPath(), error);
  return !error;
}

}  // namespace mindrel
