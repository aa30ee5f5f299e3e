#pragma once

// The locale services of the system: the string order and letter case of a
// Windows locale (an LCID), conversions between UTF-8 and UTF-16 and
// canonical composition. ICU stands in for them on Linux; on Windows they
// are the system's own national-language calls.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mindrel {

// One locale's order and case of UTF-16 texts.
//
// Thread safety: immutable once made; shared by every caller of ForLcid.
class TLocaleText {
 public:
  // Null when the system knows no locale of that LCID. Made once per LCID.
  static std::shared_ptr<const TLocaleText> ForLcid(std::uint32_t lcid);

  ~TLocaleText();
  TLocaleText(const TLocaleText&) = delete;
  TLocaleText& operator=(const TLocaleText&) = delete;

  // <0, 0, >0 as `a` sorts before, with or after `b` at primary strength with
  // letter case counted: non-spacing marks are ignored, case is not.
  int Compare(std::u16string_view a, std::u16string_view b) const;
  // With the locale's own rules (Turkish dotted and dotless i, ...).
  std::u16string ToUpper(std::u16string_view text) const;
  std::u16string ToLower(std::u16string_view text) const;

  struct Handle;

 private:
  explicit TLocaleText(std::unique_ptr<Handle> handle);

  std::unique_ptr<Handle> handle_;
};

// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Canonical composition (Unicode normalization form C) of a UTF-8 text; the
// text as given when it cannot be normalized.
std::string ComposedUtf8(const std::string& text);

}  // namespace mindrel
