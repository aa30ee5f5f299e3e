#pragma once

#include "app/LocaleNames.h"

namespace mindrel {

// Day and month names of the user's locale.
class TQtLocaleNames final : public TLocaleNames {
 public:
  std::string ShortDayName(int day) const override;
  std::string LongDayName(int day) const override;
  std::string ShortMonthName(int month) const override;
  std::string LongMonthName(int month) const override;
};

}  // namespace mindrel
