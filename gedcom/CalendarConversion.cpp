#include "gedcom/CalendarConversion.h"

#include "dates/UDate.h"

namespace mindrel {

namespace {

// JDay = astronomical Julian Day Number + this.
constexpr std::int64_t kJDayOffset = 2661577;
// The written range of dates: 1 January 9999 BC .. 31 December AD 9999.
constexpr std::int64_t kFirstJDay = 730943;
constexpr std::int64_t kLastJDay = 8035061;
// Julian Day Number of day 0 of the "fixed" day count (day 1 = 1 January AD 1, Gregorian).
constexpr std::int64_t kFixedDayOffset = 1721425;
// Fixed day number of the day before 1 Tishri AM 1.
constexpr std::int64_t kHebrewEpoch = -1373429;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::optional<std::int32_t> InRange(std::int64_t julianDayNumber) {
  const std::int64_t jday = julianDayNumber + kJDayOffset;
  if (jday < kFirstJDay || jday > kLastJDay) return std::nullopt;
  return static_cast<std::int32_t>(jday);
}

bool HebrewLeapYear(std::int64_t year) { return (7 * year + 1) % 19 < 7; }

// Days from the epoch to 1 Tishri of the year, with the postponements that
// keep the new year off Sunday, Wednesday and Friday.
std::int64_t HebrewElapsedDays(std::int64_t year) {
  const std::int64_t monthsElapsed =
      235 * ((year - 1) / 19) + 12 * ((year - 1) % 19) + (7 * ((year - 1) % 19) + 1) / 19;
  const std::int64_t partsElapsed = 204 + 793 * (monthsElapsed % 1080);
  const std::int64_t hoursElapsed = 5 + 12 * monthsElapsed + 793 * (monthsElapsed / 1080) + partsElapsed / 1080;
  const std::int64_t conjunctionDay = 1 + 29 * monthsElapsed + hoursElapsed / 24;
  const std::int64_t conjunctionParts = 1080 * (hoursElapsed % 24) + partsElapsed % 1080;
  std::int64_t day = conjunctionDay;
  if (conjunctionParts >= 19440 || (conjunctionDay % 7 == 2 && conjunctionParts >= 9924 && !HebrewLeapYear(year)) ||
      (conjunctionDay % 7 == 1 && conjunctionParts >= 16789 && HebrewLeapYear(year - 1))) {
    day = conjunctionDay + 1;
  }
  if (day % 7 == 0 || day % 7 == 3 || day % 7 == 5) ++day;
  return day;
}

std::int64_t HebrewYearLength(std::int64_t year) { return HebrewElapsedDays(year + 1) - HebrewElapsedDays(year); }

int HebrewMonthLength(int month, std::int64_t year) {
  if (month == 2 || month == 4 || month == 6 || month == 10 || month == 13) return 29;
  if (month == 12 && !HebrewLeapYear(year)) return 29;
  if (month == 8 && HebrewYearLength(year) % 10 != 5) return 29;  // Heshvan is long only in complete years
  if (month == 9 && HebrewYearLength(year) % 10 == 3) return 29;  // Kislev is short in deficient years
  return 30;
}

int FrenchYearLength(int year) { return year == 3 || year == 7 || year == 11 ? 366 : 365; }

}  // namespace

std::optional<std::int32_t> TCalendarConversion::Julian(int day, int month, int year) {
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = FloorDiv(year, 4) * 4 == year;
  if (day > kLengths[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  const std::int64_t a = (14 - month) / 12;
  const std::int64_t y = std::int64_t{year} + 4800 - a;
  const std::int64_t m = month + 12 * a - 3;
  return InRange(day + (153 * m + 2) / 5 + 365 * y + FloorDiv(y, 4) - 32083);
}

std::optional<std::int32_t> TCalendarConversion::Hebrew(int day, int month, int year) {
  // AM 13761 begins after AD 9999; nothing later can be in range.
  if (year < 1 || year > 13761 || month < 1 || month > 13 || day < 1) return std::nullopt;
  if (month == 13 && !HebrewLeapYear(year)) return std::nullopt;
  if (day > HebrewMonthLength(month, year)) return std::nullopt;
  const int lastMonth = HebrewLeapYear(year) ? 13 : 12;
  std::int64_t dayOfYear = day;
  // The year begins with Tishri (7); Nisan (1) to Elul (6) come after Adar.
  if (month < 7) {
    for (int m = 7; m <= lastMonth; ++m) dayOfYear += HebrewMonthLength(m, year);
    for (int m = 1; m < month; ++m) dayOfYear += HebrewMonthLength(m, year);
  } else {
    for (int m = 7; m < month; ++m) dayOfYear += HebrewMonthLength(m, year);
  }
  return InRange(dayOfYear + HebrewElapsedDays(year) + kHebrewEpoch + kFixedDayOffset);
}

std::optional<std::int32_t> TCalendarConversion::FrenchRepublican(int day, int month, int year) {
  if (year < 1 || year > 14 || month < 1 || month > 13 || day < 1) return std::nullopt;
  if (day > (month == 13 ? FrenchYearLength(year) - 360 : 30)) return std::nullopt;
  std::int64_t jday = DMYToJDay(22, 9, 1792, true);  // 1 Vendemiaire of the year 1
  for (int y = 1; y < year; ++y) jday += FrenchYearLength(y);
  jday += (month - 1) * 30 + day - 1;
  return InRange(jday - kJDayOffset);
}

}  // namespace mindrel
