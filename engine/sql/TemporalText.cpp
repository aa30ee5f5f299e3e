#include "engine/sql/TemporalText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/sql/BuiltinFunctions.h"

namespace keel {

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Reads 1..maxDigits digits into `value`; advances `text`.
bool ReadNumber(std::string_view& text, size_t maxDigits, int& value) {
  size_t digits = 0;
  while (digits < text.size() && digits < maxDigits && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0) return false;
  std::from_chars(text.data(), text.data() + digits, value);
  text.remove_prefix(digits);
  return true;
}

bool ReadChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

int32_t DayNumberFromCivil(const TCivilDay& day) {
  // Days before the year, then before the month, then the day itself.
  int y = day.Year - 1;
  int32_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < day.Month; ++m) days += DaysInMonth(day.Year, m);
  return days + day.Day;
}

TCivilDay CivilFromDayNumber(int64_t dayNumber) {
  // Howard Hinnant's civil_from_days, shifted from 1970-01-01 to our day 1.
  int64_t z = dayNumber - 719163 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

bool ParseDateText(std::string_view text, int32_t& dayNumber) {
  text = TrimBlanks(text);
  TCivilDay day;
  if (!ReadNumber(text, 4, day.Year) || !ReadChar(text, '-') || !ReadNumber(text, 2, day.Month) ||
      !ReadChar(text, '-') || !ReadNumber(text, 2, day.Day) || !text.empty()) {
    return false;
  }
  if (day.Year < 1 || day.Month < 1 || day.Month > 12 || day.Day < 1 || day.Day > DaysInMonth(day.Year, day.Month)) {
    return false;
  }
  dayNumber = DayNumberFromCivil(day);
  return true;
}

bool ParseTimeText(std::string_view text, int32_t& msecsOfDay) {
  text = TrimBlanks(text);
  int hour = 0, minute = 0, second = 0, msec = 0;
  if (!ReadNumber(text, 2, hour) || !ReadChar(text, ':') || !ReadNumber(text, 2, minute)) return false;
  if (ReadChar(text, ':')) {
    if (!ReadNumber(text, 2, second)) return false;
    if (ReadChar(text, '.')) {
      std::string_view start = text;
      if (!ReadNumber(text, 3, msec)) return false;
      for (size_t digits = start.size() - text.size(); digits < 3; ++digits) msec *= 10;
    }
  }
  text = TrimBlanks(text);
  if (!text.empty()) {
    bool pm = SameKeyword(text, "PM");
    if (!pm && !SameKeyword(text, "AM")) return false;
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (pm ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  msecsOfDay = ((hour * 60 + minute) * 60 + second) * 1000 + msec;
  return true;
}

bool ParseTimestampText(std::string_view text, double& msecs) {
  text = TrimBlanks(text);
  size_t blank = text.find(' ');
  int32_t dayNumber = 0;
  int32_t time = 0;
  if (!ParseDateText(text.substr(0, blank), dayNumber)) return false;
  if (blank != std::string_view::npos && !ParseTimeText(text.substr(blank), time)) return false;
  msecs = static_cast<double>(dayNumber) * kMsecsPerDay + time;
  return true;
}

bool ParseBooleanText(std::string_view text, bool& value) {
  text = TrimBlanks(text);
  if (SameKeyword(text, "TRUE")) {
    value = true;
  } else if (SameKeyword(text, "FALSE")) {
    value = false;
  } else {
    return false;
  }
  return true;
}

std::string FormatDateText(int32_t dayNumber) {
  TCivilDay day = CivilFromDayNumber(dayNumber);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", day.Year, day.Month, day.Day);
  return buffer;
}

std::string FormatTimeText(int32_t msecsOfDay) {
  int msec = msecsOfDay % 1000;
  int second = msecsOfDay / 1000 % 60;
  int minute = msecsOfDay / 60000 % 60;
  int hour = msecsOfDay / 3600000;
  char buffer[32];
  if (msec != 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", hour, minute, second, msec);
  } else if (second != 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
  }
  return buffer;
}

std::string FormatTimestampText(double msecs) {
  auto whole = static_cast<int64_t>(std::floor(msecs));
  int64_t days = whole / kMsecsPerDay;
  auto time = static_cast<int32_t>(whole - days * kMsecsPerDay);
  return FormatDateText(static_cast<int32_t>(days)) + " " + FormatTimeText(time);
}

}  // namespace keel
