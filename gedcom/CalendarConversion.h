#pragma once

#include <cstdint>
#include <optional>

namespace mindrel {

// Full Julian and French republican dates (the Hebrew calendar is
// THebrewCalendar of dates/), turned into the day
// number (JDay) of the day they denote. Each answers nothing for a day the
// calendar does not have or a result outside 9999 BC .. AD 9999.
class TCalendarConversion {
 public:
  // `year` is astronomical (0 is 1 BC); leap years every fourth year.
  static std::optional<std::int32_t> Julian(int day, int month, int year);
  // Months 1 Vendemiaire .. 12 Fructidor, 13 the complementary days. Only
  // the years 1 to 14, in which the calendar was in use, are exact.
  static std::optional<std::int32_t> FrenchRepublican(int day, int month, int year);
};

}  // namespace mindrel
