#include "gedcom/CalendarConversion.h"

#include "dates/UDate.h"

namespace mindrel {

namespace {

// JDay = astronomical Julian Day Number + this.
constexpr std::int64_t kJDayOffset = 2661577;
// The written range of dates: 1 January 9999 BC .. 31 December AD 9999.
constexpr std::int64_t kFirstJDay = 730943;
constexpr std::int64_t kLastJDay = 8035061;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::optional<std::int32_t> InRange(std::int64_t julianDayNumber) {
  const std::int64_t jday = julianDayNumber + kJDayOffset;
  if (jday < kFirstJDay || jday > kLastJDay) return std::nullopt;
  return static_cast<std::int32_t>(jday);
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

std::optional<std::int32_t> TCalendarConversion::FrenchRepublican(int day, int month, int year) {
  if (year < 1 || year > 14 || month < 1 || month > 13 || day < 1) return std::nullopt;
  if (day > (month == 13 ? FrenchYearLength(year) - 360 : 30)) return std::nullopt;
  std::int64_t jday = DMYToJDay(22, 9, 1792, true);  // 1 Vendemiaire of the year 1
  for (int y = 1; y < year; ++y) jday += FrenchYearLength(y);
  jday += (month - 1) * 30 + day - 1;
  return InRange(jday - kJDayOffset);
}

}  // namespace mindrel
