#include "platform/Clock.h"

#include <chrono>
#include <cstdio>

namespace mindrel {

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
