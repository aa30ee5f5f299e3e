#include "engine/core/TextCase.h"

#include <unicode/ucnv.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

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

bool IcuLocaleFor(uint32_t lcid, std::string& locale) {
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0) return false;
  locale.assign(name, static_cast<size_t>(length));
  return true;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

// Opening a converter costs far more than a short conversion, and scans
// convert every field name and text; each thread keeps one per character set.
UConverter* Open(const char* name) {
  thread_local std::map<std::string, std::unique_ptr<UConverter, ConverterCloser>, std::less<>> converters;
  auto found = converters.find(std::string_view(name));
  if (found == converters.end()) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (U_FAILURE(status)) return nullptr;
    found = converters.emplace(name, std::unique_ptr<UConverter, ConverterCloser>(converter)).first;
  }
  ucnv_reset(found->second.get());
  return found->second.get();
}

std::u16string ToUtf16(const char* charset, std::string_view text) {
  UConverter* converter = Open(charset);
  if (converter == nullptr) return {};
  std::u16string out(text.size() * 2 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                            text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string FromUtf16(const char* charset, const std::u16string& text) {
  UConverter* converter = Open(charset);
  if (converter == nullptr) return {};
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter, "?", 1, &status);
  std::string out(text.size() * 4 + 1, '\0');
  status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(n));
  return out;
}

using IcuCaseFunction = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

std::string IcuMapped(std::string_view text, const std::string& locale, IcuCaseFunction map) {
  std::u16string wide = ToUtf16("windows-1252", text);
  std::u16string mapped(wide.size() * 3 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = map(reinterpret_cast<UChar*>(mapped.data()), static_cast<int32_t>(mapped.size()),
                  reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()), locale.c_str(),
                  &status);
  if (U_FAILURE(status)) return std::string(text);
  mapped.resize(static_cast<size_t>(n));
  return FromUtf16("windows-1252", mapped);
}

}  // namespace

bool LocaleAvailable(uint32_t lcid) {
  std::string locale;
  return lcid == 0 || IcuLocaleFor(lcid, locale);
}

std::string UpperCase(std::string_view text, uint32_t lcid) {
  std::string locale;
  if (lcid == 0 || !IcuLocaleFor(lcid, locale)) return AnsiMapped(text, AnsiUpper);
  return IcuMapped(text, locale, u_strToUpper);
}

std::string LowerCase(std::string_view text, uint32_t lcid) {
  std::string locale;
  if (lcid == 0 || !IcuLocaleFor(lcid, locale)) return AnsiMapped(text, AnsiLower);
  return IcuMapped(text, locale, u_strToLower);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Both character sets keep ASCII as it is.
std::string AnsiToUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return FromUtf16("UTF-8", ToUtf16("windows-1252", text));
}

std::string Utf8ToAnsi(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return FromUtf16("windows-1252", ToUtf16("UTF-8", text));
}

}  // namespace keel
