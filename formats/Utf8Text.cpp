#include "formats/Utf8Text.h"

#include <cstdint>

namespace mindrel {

namespace {

// One decoded character: its code point and its length in bytes. Invalid
// sequences yield the single byte with `valid` false.
struct Char {
  char32_t code;
  std::size_t length;
  bool valid;
};

Char DecodeAt(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  char32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return {lead, 1, false};
  }
  if (at + length > text.size()) return {lead, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return {lead, 1, false};
    code = (code << 6) | (next & 0x3F);
  }
  return {code, length, true};
}

void Encode(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

char32_t ToUpper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0xFF: return 0x178;
    case 0x161: return 0x160;
    case 0x153: return 0x152;
    case 0x17E: return 0x17D;
    default: return c;
  }
}

char32_t ToLower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  switch (c) {
    case 0x178: return 0xFF;
    case 0x160: return 0x161;
    case 0x152: return 0x153;
    case 0x17D: return 0x17E;
    default: return c;
  }
}

// Maps the characters [0, limit) with `map`, copies the rest as it is.
std::string MapChars(const std::string& text, char32_t (*map)(char32_t), std::size_t limit) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t count = 0; at < text.size() && count < limit; ++count) {
    const Char c = DecodeAt(text, at);
    if (c.valid) {
      Encode(map(c.code), out);
    } else {
      out += text[at];
    }
    at += c.length;
  }
  out.append(text, at, std::string::npos);
  return out;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string UpperCase(const std::string& text) { return MapChars(text, ToUpper, std::string::npos); }

std::string LowerCase(const std::string& text) { return MapChars(text, ToLower, std::string::npos); }

std::string UpperCaseFirst(const std::string& text) { return MapChars(text, ToUpper, 1); }

bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

std::string LeftChars(const std::string& text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t taken = 0; at < text.size() && taken < count; ++taken) at += DecodeAt(text, at).length;
  return text.substr(0, at);
}

std::string Trim(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string SingleSpaced(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace mindrel
