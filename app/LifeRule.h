#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ScanSource.h"
#include "dates/UDate.h"

namespace mindrel {

// What a person's own row tells of their life.
struct TPersonLife {
  // "Dead" is true, or a death date (or phrase) is stored.
  bool MarkedDead = false;
  // The birth date gives the age; otherwise LastDay comes from the row's
  // other dated events (a baptism ...), if any.
  bool BirthKnown = false;
  // The last day the birth (or the earliest other event) may have been on.
  std::optional<std::int32_t> LastDay;
};

// Who counts as dead: a person marked dead or with a stored death, and anyone
// whose birth or, lacking a usable birth date, earliest dated event (a
// baptism, a marriage ...) lies more than the maximum age before today.
// Dates without a year and phrases tell no age and prove nothing; a date
// known only to its month or year counts from its last possible day, so that
// nobody is taken for dead before they surely are.
class TLifeRule {
 public:
  // The dates of a person's families (marriages, divorces ...).
  using FamilyDates = std::function<std::vector<TJDate>()>;

  TLifeRule(std::int32_t todayJDay, int maxAge);

  // The date's last possible day: the end of its year or month when that is
  // all it tells, the day itself otherwise (a qualifier's offset undone).
  // Nothing for a date without a year, a phrase or an empty record.
  static std::optional<std::int32_t> LastPossibleDay(const TJDate& date);
  // The record holds a date or a phrase (a cleared record holds nothing).
  static bool Recorded(const TJDate& date);
  // Reads "Dead", "Death date~B", "Search date~B" and, when the birth tells
  // no age, each of `otherDateColumns` + "~B".
  static TPersonLife LifeOf(const TScanRecord& person, const std::vector<std::string>& otherDateColumns);

  // The day lies more than the maximum age before today.
  bool LongAgo(std::int32_t lastDay) const { return lastDay < threshold_; }
  // `familyDates` are asked for only when the person's own row settles nothing.
  bool Dead(const TPersonLife& life, const FamilyDates& familyDates) const;

 private:
  std::int32_t threshold_;  // the day `maxAge` years before today
};

}  // namespace mindrel
