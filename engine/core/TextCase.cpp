#include "engine/core/TextCase.h"

#include <algorithm>

#include "platform/LocaleText.h"

namespace keel {

namespace {

uint8_t AnsiUpper(uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<uint8_t>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

uint8_t AnsiLower(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<uint8_t>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

std::string AnsiMapped(std::string_view text, uint8_t (*map)(uint8_t)) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(map(static_cast<uint8_t>(c)));
  return out;
}

// Bytes 0x80..0x9F of Windows-1252.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) wide[i] = Cp1252ToUnicode(static_cast<uint8_t>(text[i]));
  return wide;
}

// A character Windows-1252 cannot hold becomes one '?', also when it takes
// two UTF-16 code units.
std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    if (pair) ++i;
    const int byte = pair ? -1 : UnicodeToCp1252(unit);
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

using LocaleCaseFunction = std::u16string (mindrel::TLocaleText::*)(std::u16string_view) const;

std::string LocaleMapped(std::string_view text, const mindrel::TLocaleText& locale, LocaleCaseFunction map) {
  return Utf16ToCp1252((locale.*map)(Cp1252ToUtf16(text)));
}

}  // namespace

char16_t Cp1252ToUnicode(uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char16_t{byte};
}

int UnicodeToCp1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == unit) return 0x80 + i;
  }
  return -1;
}

bool LocaleAvailable(uint32_t lcid) { return lcid == 0 || mindrel::TLocaleText::ForLcid(lcid) != nullptr; }

std::string UpperCase(std::string_view text, uint32_t lcid) {
  const auto locale = lcid == 0 ? nullptr : mindrel::TLocaleText::ForLcid(lcid);
  if (locale == nullptr) return AnsiMapped(text, AnsiUpper);
  return LocaleMapped(text, *locale, &mindrel::TLocaleText::ToUpper);
}

std::string LowerCase(std::string_view text, uint32_t lcid) {
  const auto locale = lcid == 0 ? nullptr : mindrel::TLocaleText::ForLcid(lcid);
  if (locale == nullptr) return AnsiMapped(text, AnsiLower);
  return LocaleMapped(text, *locale, &mindrel::TLocaleText::ToLower);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Both character sets keep ASCII as it is.
std::string AnsiToUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return mindrel::Utf16ToUtf8(Cp1252ToUtf16(text));
}

std::string Utf8ToAnsi(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return Utf16ToCp1252(mindrel::Utf8ToUtf16(text));
}

}  // namespace keel
