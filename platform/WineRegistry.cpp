#include "platform/WineRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mindrel {

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Registry files double every backslash of a key name and escape quotes and
// backslashes inside string values.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The quoted text starting at `from` (which holds the opening quote); the end
// position is returned through `end`. False when the quote is not closed.
bool ReadQuoted(const std::string& line, std::size_t from, std::string& text, std::size_t& end) {
  for (std::size_t i = from + 1; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '"') {
      text = Unescape(line.substr(from + 1, i - from - 1));
      end = i + 1;
      return true;
    }
  }
  return false;
}

// Section header "[Software\\A\\B] 1234" to its key name "Software\A\B".
bool SectionKey(const std::string& line, std::string& key) {
  if (line.empty() || line.front() != '[') return false;
  const std::size_t close = line.find(']');
  if (close == std::string::npos) return false;
  key = Unescape(line.substr(1, close - 1));
  return true;
}

// One child of `folder` whose name equals `name` without regard to case.
fs::path MatchChild(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return folder / name;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (Lower(entry.path().filename().string()) == Lower(name)) return entry.path();
  }
  return folder / name;
}

}  // namespace

TWineRegistry::TWineRegistry() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) {
    prefix_ = prefix;
  } else if (const char* home = std::getenv("HOME")) {
    prefix_ = std::string(home) + "/.wine";
  }
}

std::string TWineRegistry::ReadUserString(const std::string& key, const std::string& value) const {
  if (prefix_.empty()) return {};
  std::ifstream file(prefix_ + "/user.reg");
  std::string line, section;
  bool inKey = false;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (SectionKey(line, section)) {
      inKey = Lower(section) == Lower(key);
      continue;
    }
    if (!inKey || line.empty() || line.front() != '"') continue;
    std::string name, data;
    std::size_t end = 0;
    if (!ReadQuoted(line, 0, name, end) || Lower(name) != Lower(value)) continue;
    if (end + 1 < line.size() && line[end] == '=' && line[end + 1] == '"' &&
        ReadQuoted(line, end + 1, data, end)) {
      return data;
    }
    return {};
  }
  return {};
}

std::string TWineRegistry::MapWindowsPath(const std::string& windowsPath) const {
  if (prefix_.empty() || windowsPath.size() < 2 || windowsPath[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
    return {};
  }
  const std::string drive = Lower(windowsPath.substr(0, 1));
  fs::path path = fs::path(prefix_) / "dosdevices" / (drive + ":");
  std::error_code error;
  if (!fs::exists(path, error) && drive == "c") path = fs::path(prefix_) / "drive_c";
  std::stringstream rest(windowsPath.substr(2));
  std::string part;
  while (std::getline(rest, part, '\\')) {
    if (!part.empty()) path = MatchChild(path, part);
  }
  return path.string();
}

}  // namespace mindrel
