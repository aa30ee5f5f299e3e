#pragma once

// Text forms of dates, times, timestamps and booleans in expressions, and the
// engine's day-number scale (0001-01-01 is day 1, 1899-12-30 is day 693594).
//
//   date       yyyy-mm-dd            (month and day may have one digit)
//   time       hh:mm[:ss[.zzz]] [AM|PM]
//   timestamp  date [blank time]
//   boolean    TRUE or FALSE in any letter case

#include <cstdint>
#include <string>
#include <string_view>

namespace keel {

constexpr int64_t kMsecsPerDay = 86400000;

struct TCivilDay {
  int Year = 1;
  int Month = 1;
  int Day = 1;
};

// Proleptic Gregorian calendar; years 1..9999.
int32_t DayNumberFromCivil(const TCivilDay& day);
TCivilDay CivilFromDayNumber(int64_t dayNumber);

bool ParseDateText(std::string_view text, int32_t& dayNumber);
bool ParseTimeText(std::string_view text, int32_t& msecsOfDay);
bool ParseTimestampText(std::string_view text, double& msecs);
bool ParseBooleanText(std::string_view text, bool& value);

std::string FormatDateText(int32_t dayNumber);
std::string FormatTimeText(int32_t msecsOfDay);  // seconds and milliseconds only when not zero
std::string FormatTimestampText(double msecs);

}  // namespace keel
