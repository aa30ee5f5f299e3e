#include "platform/Clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace mindrel {

LocalDateTime SystemClock::now() const {
  const auto moment = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto sinceEpoch = moment.time_since_epoch();
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
  return LocalDateTime{{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                       local.tm_hour,
                       local.tm_min,
                       local.tm_sec,
                       static_cast<int>(millis)};
}

const SystemClock& SystemClock::instance() {
  static const SystemClock clock;
  return clock;
}

std::string FormatIsoDate(const CivilDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

bool ParseIsoDate(const std::string& text, CivilDate& date) {
  int year = 0, month = 0, day = 0, consumed = 0;
  if (text.size() != 10 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 ||
      consumed != 10) {
    return false;
  }
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (year < 1 || !ymd.ok()) return false;
  date = CivilDate{year, month, day};
  return true;
}

}  // namespace mindrel
