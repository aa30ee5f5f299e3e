#pragma once

#include <string>

namespace mindrel {

// Day and month names of the user's locale, for dates drawn in the alert
// list. The window layer supplies the user's names; `TEnglishNames` is the
// default.
class TLocaleNames {
 public:
  virtual ~TLocaleNames() = default;
  // day: 1 = Sunday .. 7 = Saturday
  virtual std::string ShortDayName(int day) const = 0;
  virtual std::string LongDayName(int day) const = 0;
  // month: 1 = January .. 12 = December
  virtual std::string ShortMonthName(int month) const = 0;
  virtual std::string LongMonthName(int month) const = 0;
};

}  // namespace mindrel
