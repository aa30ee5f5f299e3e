#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace keel::testing {

// "4E F9 97 45" or "4ef99745" to bytes; spaces are ignored.
inline std::vector<std::uint8_t> Hex(std::string_view text) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("bad hex digit");
  };
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\n') continue;
    if (high < 0) {
      high = nibble(c);
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + nibble(c)));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex digit count");
  return bytes;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace keel::testing
