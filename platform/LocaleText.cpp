#include "platform/LocaleText.h"

#include <map>
#include <mutex>

#include <unicode/normalizer2.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace mindrel {

struct TLocaleText::Handle {
  std::string locale;  // ICU's name of the LCID's locale
  UCollator* collator = nullptr;
  ~Handle() {
    if (collator != nullptr) ucol_close(collator);
  }
};

namespace {

using CaseFunction = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

std::u16string Mapped(std::u16string_view text, const std::string& locale, CaseFunction map) {
  std::u16string mapped(text.size() * 3 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = map(reinterpret_cast<UChar*>(mapped.data()), static_cast<int32_t>(mapped.size()),
                             reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                             locale.c_str(), &status);
  if (U_FAILURE(status)) return std::u16string(text);
  mapped.resize(static_cast<std::size_t>(length));
  return mapped;
}

std::unique_ptr<TLocaleText::Handle> Open(std::uint32_t lcid) {
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0) return nullptr;
  auto handle = std::make_unique<TLocaleText::Handle>();
  handle->locale.assign(name, static_cast<std::size_t>(length));
  handle->collator = ucol_open(name, &status);
  if (U_FAILURE(status) || handle->collator == nullptr) return nullptr;
  ucol_setStrength(handle->collator, UCOL_PRIMARY);
  ucol_setAttribute(handle->collator, UCOL_CASE_LEVEL, UCOL_ON, &status);
  return U_FAILURE(status) ? nullptr : std::move(handle);
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Opening a converter costs far more than a short conversion; each thread
// keeps its own.
UConverter* Utf8Converter() {
  thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* opened = ucnv_open("UTF-8", &status);
    return std::unique_ptr<UConverter, ConverterCloser>(U_FAILURE(status) ? nullptr : opened);
  }();
  if (converter) ucnv_reset(converter.get());
  return converter.get();
}

}  // namespace

TLocaleText::TLocaleText(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

TLocaleText::~TLocaleText() = default;

std::shared_ptr<const TLocaleText> TLocaleText::ForLcid(std::uint32_t lcid) {
  static std::mutex mutex;
  static std::map<std::uint32_t, std::shared_ptr<const TLocaleText>> made;
  std::lock_guard lock(mutex);
  if (auto found = made.find(lcid); found != made.end()) return found->second;
  std::unique_ptr<Handle> handle = Open(lcid);
  std::shared_ptr<const TLocaleText> text(handle ? new TLocaleText(std::move(handle)) : nullptr);
  made.emplace(lcid, text);
  return text;
}

int TLocaleText::Compare(std::u16string_view a, std::u16string_view b) const {
  switch (ucol_strcoll(handle_->collator, reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
                       reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()))) {
    case UCOL_LESS:
      return -1;
    case UCOL_GREATER:
      return 1;
    default:
      return 0;
  }
}

std::u16string TLocaleText::ToUpper(std::u16string_view text) const {
  return Mapped(text, handle_->locale, u_strToUpper);
}

std::u16string TLocaleText::ToLower(std::u16string_view text) const {
  return Mapped(text, handle_->locale, u_strToLower);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  UConverter* converter = Utf8Converter();
  if (converter == nullptr) return {};
  std::u16string out(text.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
                                       static_cast<int32_t>(out.size()), text.data(),
                                       static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  UConverter* converter = Utf8Converter();
  if (converter == nullptr) return {};
  std::string out(text.size() * 3 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                         reinterpret_cast<const UChar*>(text.data()),
                                         static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string ComposedUtf8(const std::string& text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return text;
  const icu::UnicodeString composed = nfc->normalize(icu::UnicodeString::fromUTF8(text), status);
  if (U_FAILURE(status)) return text;
  std::string out;
  composed.toUTF8String(out);
  return out;
}

}  // namespace mindrel
