#pragma once

#include "app/LocaleNames.h"

namespace mindrel {

// English day and month names ("Wed", "Wednesday", "Dec", "December").
class TEnglishNames final : public TLocaleNames {
 public:
  std::string ShortDayName(int day) const override;
  std::string LongDayName(int day) const override;
  std::string ShortMonthName(int month) const override;
  std::string LongMonthName(int month) const override;
};

}  // namespace mindrel
