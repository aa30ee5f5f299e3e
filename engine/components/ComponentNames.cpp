#include "engine/components/ComponentNames.h"

#include <algorithm>
#include <cctype>

#include "engine/core/TextCase.h"

namespace keel {

namespace {

bool AsciiEqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

}  // namespace

// Field lookups by name run for every row a program reads, and nearly every
// name is plain ASCII, which needs no conversion.
bool SameName(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) return AsciiEqualIgnoringCase(a, b);
  return UpperCase(Utf8ToAnsi(a), 0) == UpperCase(Utf8ToAnsi(b), 0);
}

std::string TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string BackslashPath(std::string_view text) {
  std::string result(text);
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

bool LooksLikePath(std::string_view name) {
  // A relative folder written with a leading dot and backslash is caught by the backslash.
  return name.find(':') != std::string_view::npos || name.find('\\') != std::string_view::npos;
}

std::string NativePath(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

}  // namespace keel
