#include "platform/Autostart.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Folders.h"
#include "platform/ReplaceFile.h"

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
  return ReplaceFile(EntryPath(), EntryText(exeFolder));
}

void TAutostart::RemoveOldShortcut() {}

bool TAutostart::Unregister() const {
  if (folder_.empty()) return false;
  std::error_code error;
  std::filesystem::remove(EntryPath(), error);
  return !error;
}

}  // namespace mindrel
