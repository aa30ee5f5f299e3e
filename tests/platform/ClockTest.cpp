#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace mindrel {
namespace {

TEST(Clock, FixedClockAnswersItsDay) {
  const FixedClock clock(CivilDate{2026, 12, 10});
  EXPECT_EQ(clock.today(), (CivilDate{2026, 12, 10}));
  EXPECT_EQ(clock.now().hour, 0);
}

TEST(Clock, SystemClockGivesAPlausibleDay) {
  const CivilDate today = SystemClock::instance().today();
  EXPECT_GE(today.year, 2024);
  EXPECT_GE(today.month, 1);
  EXPECT_LE(today.month, 12);
}

TEST(Clock, ParseIsoDate) {
  CivilDate date;
  EXPECT_TRUE(ParseIsoDate("2024-02-29", date));
  EXPECT_EQ(date, (CivilDate{2024, 2, 29}));
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-1-01", "24-01-01", "2024-01-01x", "", "0000-01-01"}) {
    EXPECT_FALSE(ParseIsoDate(bad, date)) << bad;
  }
}

}  // namespace
}  // namespace mindrel
