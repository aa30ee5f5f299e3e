#pragma once

// Genealogy dates: the 72-byte date record kept raw in the family-tree tables,
// the day-number scale every date of the system is counted on, the parser for
// written dates and the decoding of a record back to day, month and year.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace mindrel {

// Day number of a phrase date, which has no usable day.
inline constexpr std::int32_t kPhraseJDay = 2147483647;
inline constexpr int kMaxPhraseLength = 60;

enum TQualifier : std::uint8_t { qAbt = 0, qAft = 1, qBef = 2, qEst = 3, qNone = 4 };

// In-memory form of the stored record. The stored form is exactly
// kJDateSize bytes, little-endian (see ToBytes/FromBytes):
//   0  int32   JDay
//   4  uint8   phrase length (0..60), 5..64 phrase characters
//   65 uint8   Qualifier
//   66 uint8   DayUnknown, 67 MonthUnknown, 68 YearUnknown
//   69 3 bytes padding, ignored when read
struct TJDate {
  static constexpr std::size_t kSize = 72;
  using Bytes = std::array<std::uint8_t, kSize>;

  std::int32_t JDay = 0;
  std::uint8_t PhraseLength = 0;
  std::array<char, kMaxPhraseLength> PhraseChars{};
  std::uint8_t Qualifier = qNone;
  std::uint8_t DayUnknown = 0;
  std::uint8_t MonthUnknown = 0;
  std::uint8_t YearUnknown = 0;

  std::string Phrase() const { return std::string(PhraseChars.data(), PhraseLength); }
  // Keeps at most kMaxPhraseLength characters.
  void SetPhrase(const std::string& text);

  Bytes ToBytes() const;
  static TJDate FromBytes(const std::uint8_t* bytes);

  bool operator==(const TJDate&) const = default;
};

// One month of MonthTable: days in a common year and its English name.
struct TMonthEntry {
  std::uint8_t Days;
  const char* Name;
};
extern const std::array<TMonthEntry, 12> MonthTable;

// Indexed by Qualifier: "ABT", "AFT", "BEF", "EST" and "" for none.
extern const std::array<const char*, 5> QualifierPrefixes;

// Qualifier none, empty phrase, all three unknown flags set; JDay untouched.
void ClearJDate(TJDate& date);

// Day number of a valid calendar date; year 1..9999 counted in its era.
std::int32_t DMYToJDay(int day, int month, int year, bool ad);

// Fills the record with the clock's local date: no qualifier, no phrase, every
// part known.
void TodayJDate(TJDate& date, const Clock& clock = SystemClock::instance());

struct TDateOptions {
  int DateOrder = 1;  // 0..5, see StrToJDate
  char Separator = ' ';
};

// Converts a written date or an apostrophe phrase into a record. On failure
// returns false with the reason in `message`; the record is then unusable.
// Success on a written date clears `message`; a phrase or an empty text leave
// it as it was.
bool StrToJDate(TJDate& date, const std::string& text, std::string& message,
                const TDateOptions& options, bool required);

struct TDayMonthYear {
  int Day = 0;
  int Month = 0;
  int Year = 0;  // counted in its era: 1 BC is year 1 with Ad false
  bool Ad = true;
  bool operator==(const TDayMonthYear&) const = default;
};

// Decodes a record, undoing the AFT/BEF offset. False, leaving `result`
// untouched, exactly when the record holds a phrase.
bool JDateToDMY(const TJDate& date, TDayMonthYear& result);

// True for leap years of the internal year count (astronomical year + 12000).
bool IsLeapInternalYear(std::int64_t internalYear);

// The days of month 1..12 of a year counted in its era (1 BC is year 1 with
// `ad` false): February has 29 in leap years.
int DaysInMonth(int month, int year, bool ad);

}  // namespace mindrel
