#include "app/LifeRule.h"

#include <gtest/gtest.h>

#include "tests/app/FakeRecord.h"

namespace mindrel {
namespace {

using testing::FakeRecord;
using testing::Written;

std::int32_t Day(int year, int month, int day) {
  return DMYToJDay(day, month, year > 0 ? year : 1 - year, year > 0);
}

TEST(LifeRule, LastPossibleDayOfADate) {
  struct Case {
    const char* written;
    std::optional<std::int32_t> last;
  } const cases[] = {
      {"12 Mar 1950", Day(1950, 3, 12)},    {"Mar 1950", Day(1950, 3, 31)},
      {"Feb 1900", Day(1900, 2, 28)},       {"Feb 2000", Day(2000, 2, 29)},
      {"1950", Day(1950, 12, 31)},          {"ABT 1950", Day(1950, 12, 31)},
      {"AFT 8 Jan 1980", Day(1980, 1, 8)},  {"BEF 1 Jan 2021", Day(2021, 1, 1)},
      {"10 BC", Day(-9, 12, 31)},           {"'in the old country", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TLifeRule::LastPossibleDay(Written(c.written)), c.last) << c.written;

  TJDate noYear = Written("4 Jul 1900");
  noYear.YearUnknown = 1;
  EXPECT_EQ(TLifeRule::LastPossibleDay(noYear), std::nullopt) << "a day and month tell no age";
  TJDate cleared;
  ClearJDate(cleared);
  EXPECT_EQ(TLifeRule::LastPossibleDay(cleared), std::nullopt);
  EXPECT_FALSE(TLifeRule::Recorded(cleared));
}

TEST(LifeRule, MoreThanTheMaximumAgeBeforeToday) {
  const TLifeRule rule(Day(2026, 12, 10), 110);
  EXPECT_FALSE(rule.LongAgo(Day(1916, 12, 10))) << "exactly 110 years";
  EXPECT_TRUE(rule.LongAgo(Day(1916, 12, 9)));
  EXPECT_FALSE(rule.LongAgo(*TLifeRule::LastPossibleDay(Written("Dec 1916"))));
  EXPECT_TRUE(rule.LongAgo(*TLifeRule::LastPossibleDay(Written("Nov 1916"))));

  // 1918 has no 29 February: the day 110 years before it is the 28th.
  const TLifeRule leap(Day(2028, 2, 29), 110);
  EXPECT_FALSE(leap.LongAgo(Day(1918, 2, 28)));
  EXPECT_TRUE(leap.LongAgo(Day(1918, 2, 27)));
  EXPECT_TRUE(TLifeRule(Day(2026, 12, 10), 5).LongAgo(Day(2021, 12, 9)));
}

// The birth decides where it tells an age; else the person's other dates,
// then the dates of their families, asked for only then.
TEST(LifeRule, WhoCountsAsDead) {
  const TLifeRule rule(Day(2026, 12, 10), 110);
  struct Case {
    const char* what;
    bool flagged;
    const char* born;
    const char* died;
    const char* baptised;
    const char* married;
    bool dead;
    bool familyAsked;
  } const cases[] = {
      {"marked dead", true, "1990", "", "", "", true, false},
      {"a death date", false, "1990", "ABT 2020", "", "", true, false},
      {"a death phrase", false, "1990", "'young", "", "", true, false},
      {"young", false, "12 Mar 1990", "", "", "1850", false, false},
      {"born too long ago", false, "12 Mar 1900", "", "", "", true, false},
      {"an old baptism does not outweigh the birth", false, "1990", "", "1890", "", false, false},
      {"no year of birth, an old baptism", false, "4 Jul 1900", "", "1900", "", true, false},
      {"no birth, a young baptism, an old wedding", false, "", "", "1990", "1890", true, true},
      {"a birth phrase, nothing else", false, "'long ago", "", "", "", false, true},
      {"a wedding without a year proves nothing", false, "", "", "", "4 Jul 1850", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRecord person;
    person.booleans["Dead"] = c.flagged;
    if (*c.born) person.dates["Search date~B"] = Written(c.born);
    if (std::string(c.born) == "4 Jul 1900") person.dates["Search date~B"].YearUnknown = 1;
    if (*c.died) person.dates["Death date~B"] = Written(c.died);
    if (*c.baptised) person.dates["Baptism~B"] = Written(c.baptised);
    bool asked = false;
    const auto familyDates = [&] {
      asked = true;
      std::vector<TJDate> dates;
      if (*c.married) dates.push_back(Written(c.married));
      if (std::string(c.married) == "4 Jul 1850") dates.back().YearUnknown = 1;
      return dates;
    };
    EXPECT_EQ(rule.Dead(TLifeRule::LifeOf(person, {"Baptism"}), familyDates), c.dead);
    EXPECT_EQ(asked, c.familyAsked);
  }
}

}  // namespace
}  // namespace mindrel
