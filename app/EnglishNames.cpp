#include "app/EnglishNames.h"

#include <array>

#include "formats/DateTime.h"

namespace mindrel {

namespace {

const std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
constexpr std::size_t kShortNameLength = 3;

std::string Pick(const auto& names, int oneBased) {
  if (oneBased < 1 || oneBased > static_cast<int>(names.size())) return {};
  return names[static_cast<std::size_t>(oneBased - 1)];
}

}  // namespace

std::string TEnglishNames::ShortDayName(int day) const { return LongDayName(day).substr(0, kShortNameLength); }
std::string TEnglishNames::LongDayName(int day) const { return EnglishDayName(day); }
std::string TEnglishNames::ShortMonthName(int month) const {
  return LongMonthName(month).substr(0, kShortNameLength);
}
std::string TEnglishNames::LongMonthName(int month) const { return Pick(kMonths, month); }

}  // namespace mindrel
