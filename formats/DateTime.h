#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace mindrel {

// A date-time value: days since 30 December 1899, the time of day as the
// fraction. Alert days, and the "now" they are compared with, use it.
using TDateTime = double;

// The genealogy day number of 30 December 1899, date-time zero.
inline constexpr std::int32_t kJDayOfDateTimeZero = 5076596;

// Midnight of a valid date of the years AD 1..9999.
TDateTime EncodeDate(int year, int month, int day);
// The calendar day of a date-time (its fraction ignored); years before AD 1
// count astronomically (0 = 1 BC).
CivilDate DecodeDate(TDateTime value);
TDateTime DateTimeOf(const LocalDateTime& moment);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
// "Sunday" .. "Saturday" for 1 .. 7, the language of the built-in formats;
// empty for any other number.
std::string EnglishDayName(int dayOfWeek);
// Whole days, the fraction cut toward zero.
std::int64_t WholeDays(TDateTime value);

}  // namespace mindrel
