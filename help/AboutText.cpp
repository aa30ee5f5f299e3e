#include "help/AboutText.h"

#include <array>
#include <cstdint>
#include <sstream>

namespace mindrel {

namespace {

// Each byte is XORed with 0x5A plus its position, so the line is not found by
// searching the program file for its text.
constexpr std::array<std::uint8_t, 56> kScrambledProductLine = {
    0x17, 0x32, 0x32, 0x39, 0x2C, 0x3A, 0x0C, 0x41, 0x4F, 0x43, 0x10, 0x0D, 0x03, 0x47, 0x09, 0x07, 0x04, 0x02, 0x1A,
    0x08, 0x1C, 0x1C, 0x11, 0x03, 0x0B, 0x53, 0x06, 0x10, 0x1B, 0x1E, 0x16, 0x1D, 0x1F, 0x09, 0x5C, 0x1B, 0x11, 0x0D,
    0xA0, 0xE7, 0xE3, 0xEE, 0xED, 0xE9, 0xFF, 0xA7, 0xE0, 0xE0, 0xF9, 0xFF, 0xE3, 0xFF, 0xE7, 0xEE, 0xFE, 0xE2};
constexpr std::uint8_t kScrambleKey = 0x5A;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool StartsWithUrlKey(const std::string& line) {
  if (line.size() < 4) return false;
  const std::string key = line.substr(0, 4);
  return (key[0] == 'U' || key[0] == 'u') && (key[1] == 'R' || key[1] == 'r') && (key[2] == 'L' || key[2] == 'l') &&
         key[3] == '=';
}

}  // namespace

std::string ProductLine() {
  std::string line;
  for (std::size_t i = 0; i < kScrambledProductLine.size(); ++i) {
    line += static_cast<char>(kScrambledProductLine[i] ^ static_cast<std::uint8_t>(kScrambleKey + i));
  }
  return line;
}

std::string VersionLine(int version) {
  std::string digits = std::to_string(version);
  std::string dotted;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0) dotted += '.';
    dotted += digits[i];
  }
  return "Version: " + dotted;
}

std::string ShortcutUrl(const std::string& shortcutText) {
  std::istringstream lines(shortcutText);
  std::string line;
  while (std::getline(lines, line)) {
    line = Trimmed(line);
    if (StartsWithUrlKey(line)) return Trimmed(line.substr(4));
  }
  return {};
}

}  // namespace mindrel
