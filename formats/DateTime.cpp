#include "formats/DateTime.h"

#include "dates/UDate.h"

namespace mindrel {

namespace {
constexpr double kSecondsPerDay = 24.0 * 60 * 60;
}

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<TDateTime>(DMYToJDay(day, month, year, true) - kJDayOfDateTimeZero);
}

std::int64_t WholeDays(TDateTime value) { return static_cast<std::int64_t>(value); }

CivilDate DecodeDate(TDateTime value) {
  TJDate record;
  record.JDay = static_cast<std::int32_t>(WholeDays(value) + kJDayOfDateTimeZero);
  TDayMonthYear dmy;
  JDateToDMY(record, dmy);
  return CivilDate{dmy.Ad ? dmy.Year : 1 - dmy.Year, dmy.Month, dmy.Day};
}

TDateTime DateTimeOf(const LocalDateTime& moment) {
  const double seconds = moment.hour * 3600.0 + moment.minute * 60.0 + moment.second + moment.millisecond / 1000.0;
  return EncodeDate(moment.date.year, moment.date.month, moment.date.day) + seconds / kSecondsPerDay;
}

std::string EnglishDayName(int dayOfWeek) {
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  if (dayOfWeek < 1 || dayOfWeek > 7) return {};
  return kDays[dayOfWeek - 1];
}

int DayOfWeek(TDateTime value) {
  // Date-time zero was a Saturday.
  const std::int64_t days = WholeDays(value);
  return static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
}

}  // namespace mindrel
