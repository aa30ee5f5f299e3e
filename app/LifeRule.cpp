#include "app/LifeRule.h"

#include <algorithm>

namespace mindrel {

namespace {

// Years here count astronomically (1 BC is 0), so that subtracting an age
// crosses the beginning of the era without a gap.
int MonthLength(int month, int astronomicalYear) {
  const bool ad = astronomicalYear >= 1;
  return DaysInMonth(month, ad ? astronomicalYear : 1 - astronomicalYear, ad);
}

std::int32_t DayNumber(int day, int month, int astronomicalYear) {
  const bool ad = astronomicalYear >= 1;
  return DMYToJDay(day, month, ad ? astronomicalYear : 1 - astronomicalYear, ad);
}

int AstronomicalYear(const TDayMonthYear& dmy) { return dmy.Ad ? dmy.Year : 1 - dmy.Year; }

bool DeathStored(const TScanRecord& person) {
  TJDate death;
  return person.DateRecord("Death date~B", death) && TLifeRule::Recorded(death);
}

}  // namespace

TLifeRule::TLifeRule(std::int32_t todayJDay, int maxAge) {
  TJDate today;
  ClearJDate(today);
  today.JDay = todayJDay;
  TDayMonthYear dmy;
  JDateToDMY(today, dmy);
  const int year = AstronomicalYear(dmy) - maxAge;
  threshold_ = DayNumber(std::min(dmy.Day, MonthLength(dmy.Month, year)), dmy.Month, year);
}

bool TLifeRule::Recorded(const TJDate& date) {
  return date.PhraseLength != 0 || !(date.DayUnknown && date.MonthUnknown && date.YearUnknown);
}

std::optional<std::int32_t> TLifeRule::LastPossibleDay(const TJDate& date) {
  TDayMonthYear dmy;
  if (date.YearUnknown || !Recorded(date) || !JDateToDMY(date, dmy)) return std::nullopt;
  if (dmy.Year < 1 || dmy.Year > 9999) return std::nullopt;
  const int year = AstronomicalYear(dmy);
  if (date.MonthUnknown) return DayNumber(31, 12, year);
  if (date.DayUnknown) return DayNumber(MonthLength(dmy.Month, year), dmy.Month, year);
  return DayNumber(dmy.Day, dmy.Month, year);
}

TPersonLife TLifeRule::LifeOf(const TScanRecord& person, const std::vector<std::string>& otherDateColumns) {
  TPersonLife life;
  life.MarkedDead = person.BooleanField("Dead") || DeathStored(person);
  TJDate date;
  if (person.DateRecord("Search date~B", date)) life.LastDay = LastPossibleDay(date);
  life.BirthKnown = life.LastDay.has_value();
  if (life.MarkedDead || life.BirthKnown) return life;
  for (const std::string& column : otherDateColumns) {
    if (!person.DateRecord(column + "~B", date)) continue;
    const std::optional<std::int32_t> day = LastPossibleDay(date);
    if (day && (!life.LastDay || *day < *life.LastDay)) life.LastDay = day;
  }
  return life;
}

bool TLifeRule::Dead(const TPersonLife& life, const FamilyDates& familyDates) const {
  if (life.MarkedDead) return true;
  if (life.LastDay && LongAgo(*life.LastDay)) return true;
  if (life.BirthKnown) return false;
  const std::vector<TJDate> dates = familyDates();
  return std::any_of(dates.begin(), dates.end(), [this](const TJDate& date) {
    const std::optional<std::int32_t> day = LastPossibleDay(date);
    return day && LongAgo(*day);
  });
}

}  // namespace mindrel
