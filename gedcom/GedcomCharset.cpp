#include "gedcom/GedcomCharset.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

#include <unicode/utf8.h>

#include "gedcom/AnselDecoder.h"

namespace mindrel {

namespace {

// Windows-1252 for 0x80..0x9F; the five bytes it leaves open keep the C1
// control of the same number, as the system's own conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      TGedcomCharset::AppendUtf8(out, byte < 0xA0 ? kWindows1252High[byte - 0x80u] : byte);
    }
  }
  return out;
}

// Length of the well-formed UTF-8 sequence at `at`; 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

bool WellFormedUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace

std::optional<TGedcomCharset::Kind> TGedcomCharset::FromName(std::string_view name) {
  if (SameName(name, "ANSEL")) return Kind::Ansel;
  if (SameName(name, "UTF-8") || SameName(name, "UNICODE")) return Kind::Utf8;
  if (SameName(name, "ASCII")) return Kind::Ascii;
  if (SameName(name, "ANSI")) return Kind::Ansi;
  return std::nullopt;
}

bool TGedcomCharset::ToUtf8(Kind kind, std::string_view bytes, std::string& out) {
  switch (kind) {
    case Kind::Ansel:
      out = TAnselDecoder::ToUtf8(bytes);
      return true;
    case Kind::Utf8:
      if (!WellFormedUtf8(bytes)) return false;
      out.assign(bytes);
      return true;
    case Kind::Ascii:
    case Kind::Ansi:
      out = Windows1252ToUtf8(bytes);
      return true;
  }
  return false;
}

void TGedcomCharset::AppendUtf8(std::string& out, char32_t code) {
  std::uint8_t bytes[U8_MAX_LENGTH];
  std::int32_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(code));
  out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

bool TGedcomCharset::Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out) {
  if (bytes.size() % 2 != 0) return false;
  out.clear();
  out.reserve(bytes.size());
  auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t code = unit(i);
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 2 >= bytes.size()) return false;
      const char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, code);
  }
  return true;
}

}  // namespace mindrel
