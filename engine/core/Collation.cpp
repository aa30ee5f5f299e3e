#include "engine/core/Collation.h"

#include <map>
#include <mutex>

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

// Bytes 0x80..0x9F of Windows-1252; the unassigned ones stay C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ToUnicode(uint8_t c) {
  return c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : char16_t{c};
}

// -1 when the code point has no Windows-1252 byte.
int FromUnicode(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == u) return 0x80 + i;
  }
  return -1;
}

std::u16string Widen(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) wide[i] = ToUnicode(static_cast<uint8_t>(text[i]));
  return wide;
}

// Letter pairs of the plain single-byte mapping of locale 0.
bool IsPlainLower(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || c == 0x9A || c == 0x9C ||
         c == 0x9E || c == 0xFF;
}
uint8_t PlainUpperOf(uint8_t lowerChar) {
  switch (lowerChar) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    case 0xFF:
      return 0x9F;
    default:
      return static_cast<uint8_t>(lowerChar - 0x20);
  }
}

using CaseMapper = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

// One byte through ICU's case mapping of the locale; bytes whose mapping is not
// a single Windows-1252 character stay as they are.
uint8_t MapByte(uint8_t c, CaseMapper mapper, const std::string& locale) {
  const UChar in = ToUnicode(c);
  UChar out[4];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = mapper(out, 4, &in, 1, locale.c_str(), &status);
  if (U_FAILURE(status) || length != 1) return c;
  const int mapped = FromUnicode(out[0]);
  return mapped < 0 ? c : static_cast<uint8_t>(mapped);
}

std::mutex gCacheMutex;
std::map<uint32_t, std::shared_ptr<const TCollation>> gCache;

}  // namespace

TCollation::TCollation(uint32_t lcid) : lcid_(lcid) {
  for (int c = 0; c < 256; ++c) {
    upper_[c] = lower_[c] = static_cast<uint8_t>(c);
  }
  for (int c = 0; c < 256; ++c) {
    const auto ch = static_cast<uint8_t>(c);
    if (IsPlainLower(ch)) {
      upper_[ch] = PlainUpperOf(ch);
      lower_[PlainUpperOf(ch)] = ch;
    }
  }
}

TCollation::TCollation(uint32_t lcid, UCollator* collator, const std::string& icuLocale)
    : lcid_(lcid), collator_(collator) {
  for (int c = 0; c < 256; ++c) {
    upper_[c] = MapByte(static_cast<uint8_t>(c), u_strToUpper, icuLocale);
    lower_[c] = MapByte(static_cast<uint8_t>(c), u_strToLower, icuLocale);
  }
  highest_ = 1;
  for (int c = 2; c < 256; ++c) {
    const char a = static_cast<char>(c);
    const char b = static_cast<char>(highest_);
    if (compare(std::string_view(&a, 1), std::string_view(&b, 1)) > 0) highest_ = static_cast<uint8_t>(c);
  }
}

TCollation::~TCollation() {
  if (collator_ != nullptr) ucol_close(collator_);
}

std::shared_ptr<const TCollation> TCollation::ForLocale(uint32_t lcid, const std::string& tableName) {
  std::lock_guard lock(gCacheMutex);
  if (auto found = gCache.find(lcid); found != gCache.end()) return found->second;

  std::shared_ptr<const TCollation> made;
  if (lcid == 0) {
    made.reset(new TCollation(0));
  } else {
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getLocaleForLCID(lcid, locale, sizeof locale, &status);
    if (U_FAILURE(status) || length <= 0) raise(ErrorCode::KEEL_CANNOTLOADLDDRV, {.table = tableName});
    UCollator* collator = ucol_open(locale, &status);
    if (U_FAILURE(status) || collator == nullptr)
      raise(ErrorCode::KEEL_CANNOTLOADLDDRV, {.table = tableName});
    ucol_setStrength(collator, UCOL_PRIMARY);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_ON, &status);
    made.reset(new TCollation(lcid, collator, locale));
  }
  gCache.emplace(lcid, made);
  return made;
}

int TCollation::compare(std::string_view a, std::string_view b) const {
  if (collator_ == nullptr) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  const std::u16string wa = Widen(a);
  const std::u16string wb = Widen(b);
  switch (ucol_strcoll(collator_, wa.data(), static_cast<int32_t>(wa.size()), wb.data(),
                       static_cast<int32_t>(wb.size()))) {
    case UCOL_LESS:
      return -1;
    case UCOL_GREATER:
      return 1;
    default:
      return 0;
  }
}

bool TCollation::equalIgnoringCase(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (upper_[static_cast<uint8_t>(a[i])] != upper_[static_cast<uint8_t>(b[i])]) return false;
  }
  return true;
}

void TCollation::toUpper(std::string& text) const {
  for (char& c : text) c = static_cast<char>(upper_[static_cast<uint8_t>(c)]);
}

void TCollation::toLower(std::string& text) const {
  for (char& c : text) c = static_cast<char>(lower_[static_cast<uint8_t>(c)]);
}

}  // namespace keel
