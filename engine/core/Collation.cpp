#include "engine/core/Collation.h"

#include <map>
#include <mutex>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextCase.h"
#include "platform/LocaleText.h"

namespace keel {
namespace {

std::u16string Widen(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) wide[i] = Cp1252ToUnicode(static_cast<uint8_t>(text[i]));
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

using CaseMapper = std::u16string (mindrel::TLocaleText::*)(std::u16string_view) const;

// One byte through the locale's case mapping; bytes whose mapping is not a
// single Windows-1252 character stay as they are.
uint8_t MapByte(uint8_t c, const mindrel::TLocaleText& locale, CaseMapper mapper) {
  const char16_t in = Cp1252ToUnicode(c);
  const std::u16string out = (locale.*mapper)(std::u16string_view(&in, 1));
  if (out.size() != 1) return c;
  const int mapped = UnicodeToCp1252(out[0]);
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

TCollation::TCollation(uint32_t lcid, std::shared_ptr<const mindrel::TLocaleText> locale)
    : lcid_(lcid), locale_(std::move(locale)) {
  for (int c = 0; c < 256; ++c) {
    upper_[c] = MapByte(static_cast<uint8_t>(c), *locale_, &mindrel::TLocaleText::ToUpper);
    lower_[c] = MapByte(static_cast<uint8_t>(c), *locale_, &mindrel::TLocaleText::ToLower);
  }
  highest_ = 1;
  for (int c = 2; c < 256; ++c) {
    const char a = static_cast<char>(c);
    const char b = static_cast<char>(highest_);
    if (compare(std::string_view(&a, 1), std::string_view(&b, 1)) > 0) highest_ = static_cast<uint8_t>(c);
  }
}

TCollation::~TCollation() = default;

std::shared_ptr<const TCollation> TCollation::ForLocale(uint32_t lcid, const std::string& tableName) {
  std::lock_guard lock(gCacheMutex);
  if (auto found = gCache.find(lcid); found != gCache.end()) return found->second;

  std::shared_ptr<const TCollation> made;
  if (lcid == 0) {
    made.reset(new TCollation(0));
  } else {
    std::shared_ptr<const mindrel::TLocaleText> locale = mindrel::TLocaleText::ForLcid(lcid);
    if (locale == nullptr) raise(ErrorCode::KEEL_CANNOTLOADLDDRV, {.table = tableName});
    made.reset(new TCollation(lcid, std::move(locale)));
  }
  gCache.emplace(lcid, made);
  return made;
}

int TCollation::compare(std::string_view a, std::string_view b) const {
  if (locale_ == nullptr) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return locale_->Compare(Widen(a), Widen(b));
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
