#include "app/DateFormatter.h"

#include <algorithm>
#include <cstdio>

namespace mindrel {

namespace {

constexpr std::size_t kLongestCode = 4;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Padded(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

// Length of the run of `letter` (either case) starting at `at`.
std::size_t RunLength(const std::string& format, std::size_t at, char letter) {
  std::size_t end = at;
  while (end < format.size() && LowerAscii(format[end]) == letter) ++end;
  return end - at;
}

}  // namespace

std::string TDateFormatter::FormatDateTime(const std::string& format, TDateTime value) const {
  const CivilDate date = DecodeDate(value);
  std::string out;
  std::size_t at = 0;
  while (at < format.size()) {
    const char c = format[at];
    const char letter = LowerAscii(c);
    if (c == '"' || c == '\'') {
      const std::size_t close = format.find(c, at + 1);
      const std::size_t end = close == std::string::npos ? format.size() : close;
      out += format.substr(at + 1, end - at - 1);
      at = end == format.size() ? end : end + 1;
    } else if (letter == 'd' || letter == 'm') {
      const std::size_t run = std::min(RunLength(format, at, letter), kLongestCode);
      const bool day = letter == 'd';
      const int number = day ? date.day : date.month;
      switch (run) {
        case 1: out += std::to_string(number); break;
        case 2: out += Padded(number, 2); break;
        case 3: out += day ? names_.ShortDayName(DayOfWeek(value)) : names_.ShortMonthName(number); break;
        default: out += day ? names_.LongDayName(DayOfWeek(value)) : names_.LongMonthName(number); break;
      }
      at += run;
    } else if (letter == 'y') {
      const std::size_t run = RunLength(format, at, 'y');
      out += run <= 2 ? Padded(((date.year % 100) + 100) % 100, 2) : Padded(date.year, 4);
      at += run;
    } else {
      out += c;
      ++at;
    }
  }
  return out;
}

}  // namespace mindrel
