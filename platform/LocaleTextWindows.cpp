#include "platform/LocaleText.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace mindrel {

struct TLocaleText::Handle {
  std::wstring locale;  // the system's name of the LCID's locale
};

namespace {

const wchar_t* Wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

std::u16string Mapped(std::u16string_view text, const std::wstring& locale, DWORD flags) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = LCMapStringEx(locale.c_str(), flags, Wide(text), size, nullptr, 0, nullptr, nullptr, 0);
  if (length <= 0) return std::u16string(text);
  std::u16string mapped(static_cast<std::size_t>(length), u'\0');
  LCMapStringEx(locale.c_str(), flags, Wide(text), size, reinterpret_cast<wchar_t*>(mapped.data()), length,
                nullptr, nullptr, 0);
  return mapped;
}

}  // namespace

TLocaleText::TLocaleText(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

TLocaleText::~TLocaleText() = default;

std::shared_ptr<const TLocaleText> TLocaleText::ForLcid(std::uint32_t lcid) {
  static std::mutex mutex;
  static std::map<std::uint32_t, std::shared_ptr<const TLocaleText>> made;
  std::lock_guard lock(mutex);
  if (auto found = made.find(lcid); found != made.end()) return found->second;
  std::shared_ptr<const TLocaleText> text;
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0) > 0 && IsValidLocaleName(name)) {
    text.reset(new TLocaleText(std::make_unique<Handle>(Handle{name})));
  }
  made.emplace(lcid, text);
  return text;
}

int TLocaleText::Compare(std::u16string_view a, std::u16string_view b) const {
  // String sort: hyphens and apostrophes count like other symbols.
  const int result = CompareStringEx(handle_->locale.c_str(), NORM_IGNORENONSPACE | SORT_STRINGSORT, Wide(a),
                                     static_cast<int>(a.size()), Wide(b), static_cast<int>(b.size()), nullptr,
                                     nullptr, 0);
  return result == CSTR_LESS_THAN ? -1 : result == CSTR_GREATER_THAN ? 1 : 0;
}

std::u16string TLocaleText::ToUpper(std::u16string_view text) const {
  return Mapped(text, handle_->locale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING);
}

std::u16string TLocaleText::ToLower(std::u16string_view text) const {
  return Mapped(text, handle_->locale, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(length > 0 ? length : 0), u'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), length);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, Wide(text), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, Wide(text), size, out.data(), length, nullptr, nullptr);
  return out;
}

std::string ComposedUtf8(const std::string& text) {
  const std::u16string wide = Utf8ToUtf16(text);
  if (wide.empty()) return text;
  const int size = static_cast<int>(wide.size());
  const int guess = NormalizeString(NormalizationC, Wide(wide), size, nullptr, 0);
  if (guess <= 0) return text;
  std::u16string composed(static_cast<std::size_t>(guess), u'\0');
  const int length =
      NormalizeString(NormalizationC, Wide(wide), size, reinterpret_cast<wchar_t*>(composed.data()), guess);
  if (length <= 0) return text;
  composed.resize(static_cast<std::size_t>(length));
  return Utf16ToUtf8(composed);
}

}  // namespace mindrel
