#pragma once

// String order and letter case of a table's locale, for keys, constraints and
// expressions. Texts inside tables are Windows-1252 bytes.
//
// Locale 0 ("ANSI Standard") orders bytes as unsigned numbers and maps case
// with the plain single-byte letter pairs of Windows-1252. Any other locale is
// a Windows LCID: its texts are ordered by the collation of the locale the
// LCID maps to, at primary strength with a case level, so non-spacing marks
// are ignored and case counts; case maps with that locale's rules.
//
// Thread safety: a TCollation is immutable once made and may be shared.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mindrel {
class TLocaleText;
}

namespace keel {

class TCollation {
 public:
  // Raises 15878 naming `tableName` when the LCID maps to no known locale.
  // Collations are made once per LCID and then shared.
  static std::shared_ptr<const TCollation> ForLocale(uint32_t lcid, const std::string& tableName);

  ~TCollation();
  TCollation(const TCollation&) = delete;
  TCollation& operator=(const TCollation&) = delete;

  uint32_t lcid() const { return lcid_; }
  bool isBytewise() const { return locale_ == nullptr; }

  // <0, 0, >0 as `a` sorts before, with or after `b`.
  int compare(std::string_view a, std::string_view b) const;

  uint8_t upper(uint8_t c) const { return upper_[c]; }
  uint8_t lower(uint8_t c) const { return lower_[c]; }
  bool equalIgnoringCase(std::string_view a, std::string_view b) const;
  void toUpper(std::string& text) const;
  void toLower(std::string& text) const;

  // The character that sorts after every other one: the fill of range end
  // keys in string fields.
  uint8_t highestChar() const { return highest_; }

 private:
  explicit TCollation(uint32_t lcid);
  TCollation(uint32_t lcid, std::shared_ptr<const mindrel::TLocaleText> locale);

  uint32_t lcid_;
  std::shared_ptr<const mindrel::TLocaleText> locale_;  // null for locale 0
  std::array<uint8_t, 256> upper_{};
  std::array<uint8_t, 256> lower_{};
  uint8_t highest_ = 0xFF;
};

}  // namespace keel
