#pragma once

// The Hebrew calendar, as the standard reference of calendrical arithmetic
// (Reingold and Dershowitz, "Calendrical Calculations") gives it: conversion
// between Hebrew dates and day numbers (JDay, the scale of UDate), and the
// days on which a death (yahrzeit) or another event (a birthday) is
// remembered in later years.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mindrel {

// Months are counted from Nisan, as the reference counts them; the year
// begins with Tishri (7). In a leap year month 12 is Adar I and month 13
// Adar II; a common year has month 12, Adar, alone.
struct THebrewDate {
  int Year = 1;  // Anno Mundi
  int Month = 7;
  int Day = 1;
  bool operator==(const THebrewDate&) const = default;
};

// One day on which an event is remembered: its day number and the count of
// Hebrew years since the event (1 for the first anniversary).
struct THebrewAnniversaryDay {
  std::int32_t JDay = 0;
  int Count = 0;
  bool operator==(const THebrewAnniversaryDay&) const = default;
};

class THebrewCalendar {
 public:
  enum Month : int {
    kNisan = 1,
    kIyyar,
    kSivan,
    kTammuz,
    kAv,
    kElul,
    kTishri,
    kHeshvan,
    kKislev,
    kTevet,
    kShevat,
    kAdar,
    kAdarII
  };
  // How later years remember an event.
  enum class Rule {
    Yahrzeit,  // a death
    Birthday,  // any other event
  };

  static bool IsLeapYear(std::int64_t year);
  // 12 in a common year, 13 (Adar II) in a leap year.
  static int LastMonth(std::int64_t year);
  // 353, 354 or 355 days in a common year, 383, 384 or 385 in a leap year.
  static int DaysInYear(std::int64_t year);
  // 29 or 30; Heshvan has 30 only in complete years (355, 385 days), Kislev
  // 29 only in deficient ones (353, 383).
  static int DaysInMonth(int month, std::int64_t year);

  // The day number of a Hebrew date; nothing for a day the calendar does not
  // have (30 Iyyar, Adar II of a common year ...) or one outside 9999 BC ..
  // AD 9999, the range of genealogy dates.
  static std::optional<std::int32_t> ToJDay(const THebrewDate& date);
  // The Hebrew date of a day number; nothing before 1 Tishri AM 1 (7 October
  // 3761 BC, Julian), which has no Hebrew date.
  static std::optional<THebrewDate> FromJDay(std::int32_t jday);

  // The day of `year` on which a death of `death` (a valid Hebrew date) is
  // remembered:
  //  - 30 Heshvan: on 30 Heshvan in years that have it; in the others on
  //    29 Heshvan when the first year after the death had no 30 Heshvan,
  //    else on 1 Kislev;
  //  - 30 Kislev: likewise on 30 Kislev, 29 Kislev or 1 Tevet;
  //  - Adar II: in the last month of the year (Adar in a common year);
  //  - 30 Adar I (leap years only): on 30 Shevat in a common year;
  //  - Adar of a common year: in Adar I of a leap year;
  //  - every other day: on the same day, or the day after 29 where the month
  //    of that year is short.
  static std::int64_t YahrzeitDay(const THebrewDate& death, std::int64_t year);
  // The day of `year` on which an event of `event` other than a death is
  // remembered: an event in the last month of its year (Adar of a common
  // year, Adar II of a leap year) in the last month of `year`; every other
  // on the same day, or the day after 29 where the month of that year is
  // short (30 Adar I in a common year: the day after 29 Adar).
  static std::int64_t BirthdayDay(const THebrewDate& event, std::int64_t year);

  // The days from `first` to `last` (day numbers, at most a few years apart)
  // on which the event of `event` is remembered by `rule`, in order; only
  // years after the event's count.
  static std::vector<THebrewAnniversaryDay> AnniversariesBetween(const THebrewDate& event, Rule rule,
                                                                 std::int32_t first, std::int32_t last);

  // "Tevet", "Adar" in a common year, "Adar I" and "Adar II" in a leap year.
  static std::string MonthName(int month, std::int64_t year);
  // "16 Tevet".
  static std::string DayAndMonth(const THebrewDate& date);
};

}  // namespace mindrel
