#include "dates/HebrewCalendar.h"

#include <array>

namespace mindrel {

namespace {

// JDay of the day before 1 January AD 1 (Gregorian): the reference's fixed
// day numbers ("R.D.") plus this are day numbers of UDate.
constexpr std::int64_t kFixedDayZero = 4383002;
// Fixed day number of 1 Tishri AM 1.
constexpr std::int64_t kHebrewEpoch = -1373427;
// The written range of genealogy dates: 1 January 9999 BC .. 31 December AD 9999.
constexpr std::int64_t kFirstJDay = 730943;
constexpr std::int64_t kLastJDay = 8035061;
// AM 13761 begins after AD 9999: no later year can reach the range.
constexpr std::int64_t kLastYear = 13761;

// A month of 29 days, 12 hours and 793 parts (of 1080 to the hour), counted
// in parts: 25920 to the day.
constexpr std::int64_t kPartsPerDay = 25920;
constexpr std::int64_t kPartsPerMonth = 13753;
// The conjunction of the month before the first Tishri, in parts past noon
// of the day before the epoch.
constexpr std::int64_t kFirstConjunctionParts = 12084;
// The mean year of 235 months in 19 years, 35975351/98496 days.
constexpr std::int64_t kMeanYearNumerator = 35975351;
constexpr std::int64_t kMeanYearDenominator = 98496;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::int64_t Mod(std::int64_t a, std::int64_t b) {
  return a - b * FloorDiv(a, b);
}

// Days from the epoch to the conjunction of Tishri of the year, put off by a
// day when that day would bring the new year onto a Sunday, Wednesday or
// Friday.
std::int64_t ElapsedDays(std::int64_t year) {
  const std::int64_t monthsElapsed = FloorDiv(235 * year - 234, 19);
  const std::int64_t partsElapsed = kFirstConjunctionParts + kPartsPerMonth * monthsElapsed;
  const std::int64_t days = 29 * monthsElapsed + FloorDiv(partsElapsed, kPartsPerDay);
  return Mod(3 * (days + 1), 7) < 3 ? days + 1 : days;
}

// The further delay that keeps every year between 353 and 385 days long.
int YearLengthCorrection(std::int64_t year) {
  const std::int64_t previous = ElapsedDays(year - 1), current = ElapsedDays(year),
                     next = ElapsedDays(year + 1);
  if (next - current == 356) return 2;
  if (current - previous == 382) return 1;
  return 0;
}

std::int64_t NewYear(std::int64_t year) {
  return kHebrewEpoch + ElapsedDays(year) + YearLengthCorrection(year);
}

// The length of a month in a year of `yearLength` days.
int MonthLength(int month, int yearLength) {
  switch (month) {
    case THebrewCalendar::kIyyar:
    case THebrewCalendar::kTammuz:
    case THebrewCalendar::kElul:
    case THebrewCalendar::kTevet:
    case THebrewCalendar::kAdarII:
      return 29;
    case THebrewCalendar::kAdar:
      return yearLength > 380 ? 30 : 29;  // Adar I of a leap year has 30
    case THebrewCalendar::kHeshvan:
      return yearLength % 10 == 5 ? 30 : 29;  // long only in complete years
    case THebrewCalendar::kKislev:
      return yearLength % 10 == 3 ? 29 : 30;  // short only in deficient years
    default:
      return 30;
  }
}

// Fixed day number of a date whose day may run past the month's end (the
// day after 29 of a short month is the first of the next).
std::int64_t FixedDay(std::int64_t year, int month, int day) {
  const std::int64_t newYear = NewYear(year);
  const int yearLength = static_cast<int>(NewYear(year + 1) - newYear);
  std::int64_t days = newYear + day - 1;
  if (month < THebrewCalendar::kTishri) {
    for (int m = THebrewCalendar::kTishri; m <= THebrewCalendar::LastMonth(year); ++m) {
      days += MonthLength(m, yearLength);
    }
    for (int m = THebrewCalendar::kNisan; m < month; ++m) days += MonthLength(m, yearLength);
  } else {
    for (int m = THebrewCalendar::kTishri; m < month; ++m) days += MonthLength(m, yearLength);
  }
  return days;
}

bool LongHeshvan(std::int64_t year) {
  return MonthLength(THebrewCalendar::kHeshvan, THebrewCalendar::DaysInYear(year)) == 30;
}

bool ShortKislev(std::int64_t year) {
  return MonthLength(THebrewCalendar::kKislev, THebrewCalendar::DaysInYear(year)) == 29;
}

constexpr std::array<const char*, 13> kMonthNames = {"Nisan",  "Iyyar",  "Sivan",   "Tammuz", "Av",
                                                     "Elul",   "Tishri", "Heshvan", "Kislev", "Tevet",
                                                     "Shevat", "Adar",   "Adar II"};

}  // namespace

bool THebrewCalendar::IsLeapYear(std::int64_t year) {
  return Mod(7 * year + 1, 19) < 7;
}

int THebrewCalendar::LastMonth(std::int64_t year) {
  return IsLeapYear(year) ? kAdarII : kAdar;
}

int THebrewCalendar::DaysInYear(std::int64_t year) {
  return static_cast<int>(NewYear(year + 1) - NewYear(year));
}

int THebrewCalendar::DaysInMonth(int month, std::int64_t year) {
  return MonthLength(month, DaysInYear(year));
}

std::optional<std::int32_t> THebrewCalendar::ToJDay(const THebrewDate& date) {
  if (date.Year < 1 || date.Year > kLastYear || date.Month < kNisan || date.Month > LastMonth(date.Year) ||
      date.Day < 1 || date.Day > DaysInMonth(date.Month, date.Year)) {
    return std::nullopt;
  }
  const std::int64_t jday = FixedDay(date.Year, date.Month, date.Day) + kFixedDayZero;
  if (jday < kFirstJDay || jday > kLastJDay) return std::nullopt;
  return static_cast<std::int32_t>(jday);
}

std::optional<THebrewDate> THebrewCalendar::FromJDay(std::int32_t jday) {
  const std::int64_t fixed = jday - kFixedDayZero;
  if (fixed < kHebrewEpoch) return std::nullopt;
  // The mean year finds the year or the one after it.
  std::int64_t year = FloorDiv((fixed - kHebrewEpoch) * kMeanYearDenominator, kMeanYearNumerator);
  if (year < 1) year = 1;
  while (NewYear(year + 1) <= fixed) ++year;
  while (NewYear(year) > fixed) --year;
  int month = fixed < FixedDay(year, kNisan, 1) ? kTishri : kNisan;
  while (fixed > FixedDay(year, month, DaysInMonth(month, year))) ++month;
  return THebrewDate{static_cast<int>(year), month, static_cast<int>(fixed - FixedDay(year, month, 1) + 1)};
}

std::int64_t THebrewCalendar::YahrzeitDay(const THebrewDate& death, std::int64_t year) {
  std::int64_t fixed = 0;
  if (death.Month == kHeshvan && death.Day == 30 && !LongHeshvan(death.Year + 1)) {
    fixed = FixedDay(year, kKislev, 1) - 1;
  } else if (death.Month == kKislev && death.Day == 30 && ShortKislev(death.Year + 1)) {
    fixed = FixedDay(year, kTevet, 1) - 1;
  } else if (death.Month == kAdarII) {
    fixed = FixedDay(year, LastMonth(year), death.Day);
  } else if (death.Month == kAdar && death.Day == 30 && !IsLeapYear(year)) {
    fixed = FixedDay(year, kShevat, 30);
  } else {
    fixed = FixedDay(year, death.Month, death.Day);
  }
  return fixed + kFixedDayZero;
}

std::int64_t THebrewCalendar::BirthdayDay(const THebrewDate& event, std::int64_t year) {
  const int month = event.Month == LastMonth(event.Year) ? LastMonth(year) : event.Month;
  return FixedDay(year, month, event.Day) + kFixedDayZero;
}

std::vector<THebrewAnniversaryDay> THebrewCalendar::AnniversariesBetween(const THebrewDate& event, Rule rule,
                                                                         std::int32_t first,
                                                                         std::int32_t last) {
  std::vector<THebrewAnniversaryDay> days;
  const std::optional<THebrewDate> from = FromJDay(first), to = FromJDay(last);
  if (!to) return days;
  // Every rule keeps an anniversary inside its own Hebrew year.
  for (std::int64_t year = from ? from->Year : 1; year <= to->Year; ++year) {
    if (year <= event.Year) continue;
    const std::int64_t jday = rule == Rule::Yahrzeit ? YahrzeitDay(event, year) : BirthdayDay(event, year);
    if (jday >= first && jday <= last) {
      days.push_back({static_cast<std::int32_t>(jday), static_cast<int>(year - event.Year)});
    }
  }
  return days;
}

std::string THebrewCalendar::MonthName(int month, std::int64_t year) {
  if (month == kAdar && IsLeapYear(year)) return "Adar I";
  if (month < kNisan || month > kAdarII) return {};
  return kMonthNames[static_cast<std::size_t>(month - 1)];
}

std::string THebrewCalendar::DayAndMonth(const THebrewDate& date) {
  return std::to_string(date.Day) + " " + MonthName(date.Month, date.Year);
}

}  // namespace mindrel
