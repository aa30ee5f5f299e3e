#include "dates/HebrewCalendar.h"

#include <gtest/gtest.h>

#include "dates/UDate.h"

namespace mindrel {
namespace {

using H = THebrewCalendar;

std::int32_t Gregorian(int day, int month, int year) {
  return DMYToJDay(day, month, year, true);
}

// Published days: the new years (1 Tishri) of 5600, 5661, 5700, 5760, 5761
// and 5778 to 5788, Yom Kippur, Passover, Shavuot, Tisha b'Av, Hanukkah and
// Purim of recent years, the declaration of the State of Israel and the
// first day of the Yom Kippur war.
struct Conversion {
  int day, month, year;  // Gregorian
  THebrewDate hebrew;
};
const Conversion kConversions[] = {
    {9, 9, 1839, {5600, H::kTishri, 1}},    {24, 9, 1900, {5661, H::kTishri, 1}},
    {14, 9, 1939, {5700, H::kTishri, 1}},   {11, 9, 1999, {5760, H::kTishri, 1}},
    {30, 9, 2000, {5761, H::kTishri, 1}},   {21, 9, 2017, {5778, H::kTishri, 1}},
    {10, 9, 2018, {5779, H::kTishri, 1}},   {30, 9, 2019, {5780, H::kTishri, 1}},
    {19, 9, 2020, {5781, H::kTishri, 1}},   {7, 9, 2021, {5782, H::kTishri, 1}},
    {26, 9, 2022, {5783, H::kTishri, 1}},   {16, 9, 2023, {5784, H::kTishri, 1}},
    {3, 10, 2024, {5785, H::kTishri, 1}},   {23, 9, 2025, {5786, H::kTishri, 1}},
    {12, 9, 2026, {5787, H::kTishri, 1}},   {2, 10, 2027, {5788, H::kTishri, 1}},
    {12, 10, 2024, {5785, H::kTishri, 10}}, {6, 10, 1973, {5734, H::kTishri, 10}},
    {14, 5, 1948, {5708, H::kIyyar, 5}},    {6, 4, 2023, {5783, H::kNisan, 15}},
    {23, 4, 2024, {5784, H::kNisan, 15}},   {13, 4, 2025, {5785, H::kNisan, 15}},
    {12, 6, 2024, {5784, H::kSivan, 6}},    {13, 8, 2024, {5784, H::kAv, 9}},
    {19, 12, 2022, {5783, H::kKislev, 25}}, {8, 12, 2023, {5784, H::kKislev, 25}},
    {26, 12, 2024, {5785, H::kKislev, 25}}, {7, 3, 2023, {5783, H::kAdar, 14}},
    {24, 3, 2024, {5784, H::kAdarII, 14}},  {14, 3, 2025, {5785, H::kAdar, 14}},
};

TEST(HebrewCalendarTest, PublishedDaysConvertBothWays) {
  for (const Conversion& c : kConversions) {
    SCOPED_TRACE(std::to_string(c.day) + "." + std::to_string(c.month) + "." + std::to_string(c.year));
    EXPECT_EQ(H::ToJDay(c.hebrew), Gregorian(c.day, c.month, c.year));
    EXPECT_EQ(H::FromJDay(Gregorian(c.day, c.month, c.year)), c.hebrew);
  }
}

TEST(HebrewCalendarTest, YearsAndMonthsHaveTheirLengths) {
  // The lengths the published new years give: 5779 complete leap, 5780
  // complete, 5781 deficient, 5783 and 5785 complete, 5784 deficient leap,
  // 5786 regular.
  const std::pair<int, int> lengths[] = {{5779, 385}, {5780, 355}, {5781, 353}, {5782, 384},
                                         {5783, 355}, {5784, 383}, {5785, 355}, {5786, 354}};
  for (const auto& [year, days] : lengths) {
    SCOPED_TRACE(year);
    EXPECT_EQ(H::DaysInYear(year), days);
    EXPECT_EQ(H::IsLeapYear(year), days > 380);
  }
  // Days a year does not have.
  const THebrewDate missing[] = {{5784, H::kHeshvan, 30}, {5784, H::kKislev, 30}, {5786, H::kHeshvan, 30},
                                 {5785, H::kAdarII, 1},   {5785, H::kAdar, 30},   {5784, H::kIyyar, 30},
                                 {5784, H::kAdarII, 30},  {5784, 14, 1},          {5784, 0, 1},
                                 {5784, H::kNisan, 0},    {0, H::kTishri, 1},     {20000, H::kTishri, 1}};
  for (const THebrewDate& date : missing) {
    SCOPED_TRACE(std::to_string(date.Day) + "/" + std::to_string(date.Month) + "/" +
                 std::to_string(date.Year));
    EXPECT_FALSE(H::ToJDay(date));
  }
  EXPECT_TRUE(H::ToJDay({5785, H::kHeshvan, 30}));
  EXPECT_TRUE(H::ToJDay({5784, H::kAdar, 30}));  // Adar I of a leap year
  // Nothing before the first day of the calendar has a Hebrew date.
  const std::int32_t epoch = *H::ToJDay({1, H::kTishri, 1});
  EXPECT_FALSE(H::FromJDay(epoch - 1));
  EXPECT_EQ(H::FromJDay(epoch), (THebrewDate{1, H::kTishri, 1}));
}

// Every day from AD 1 to AD 2400 and a stretch of the far future: the
// Hebrew date of a day converts back to it, and the next day has the next
// Hebrew date.
TEST(HebrewCalendarTest, EveryDayConvertsBackAndDaysFollowEachOther) {
  for (const auto& [from, to] : {std::pair{Gregorian(1, 1, 1), Gregorian(31, 12, 2400)},
                                 std::pair{Gregorian(1, 1, 9990), Gregorian(31, 12, 9999)}}) {
    THebrewDate previous = *H::FromJDay(from - 1);
    for (std::int32_t jday = from; jday <= to; ++jday) {
      const std::optional<THebrewDate> date = H::FromJDay(jday);
      ASSERT_TRUE(date) << jday;
      ASSERT_EQ(H::ToJDay(*date), jday) << jday;
      const bool sameMonth = date->Year == previous.Year && date->Month == previous.Month;
      ASSERT_TRUE(sameMonth ? date->Day == previous.Day + 1 : date->Day == 1) << jday;
      previous = *date;
    }
  }
}

// The cases of the standard reference, with the years' lengths above:
// the expected days follow from its rules, not from this code.
TEST(HebrewCalendarTest, AnniversariesFollowTheEstablishedRules) {
  struct Case {
    const char* label;
    H::Rule rule;
    THebrewDate event;
    int year;
    THebrewDate remembered;
  };
  const H::Rule yahrzeit = H::Rule::Yahrzeit, birthday = H::Rule::Birthday;
  const Case cases[] = {
      {"plain day", yahrzeit, {5780, H::kTevet, 16}, 5785, {5785, H::kTevet, 16}},
      {"30 Heshvan, year after without it, short year: 29 Heshvan",
       yahrzeit,
       {5783, H::kHeshvan, 30},
       5786,
       {5786, H::kHeshvan, 29}},
      {"30 Heshvan, year after without it, long year",
       yahrzeit,
       {5785, H::kHeshvan, 30},
       5787,
       {5787, H::kHeshvan, 30}},
      {"30 Heshvan, year after with it, short year: 1 Kislev",
       yahrzeit,
       {5779, H::kHeshvan, 30},
       5781,
       {5781, H::kKislev, 1}},
      {"30 Heshvan, year after with it, long year",
       yahrzeit,
       {5779, H::kHeshvan, 30},
       5783,
       {5783, H::kHeshvan, 30}},
      {"30 Kislev, year after without it, short year: 29 Kislev",
       yahrzeit,
       {5780, H::kKislev, 30},
       5784,
       {5784, H::kKislev, 29}},
      {"30 Kislev, year after without it, long year",
       yahrzeit,
       {5780, H::kKislev, 30},
       5785,
       {5785, H::kKislev, 30}},
      {"30 Kislev, year after with it, short year: 1 Tevet",
       yahrzeit,
       {5779, H::kKislev, 30},
       5781,
       {5781, H::kTevet, 1}},
      {"Adar II in a common year", yahrzeit, {5784, H::kAdarII, 10}, 5785, {5785, H::kAdar, 10}},
      {"Adar II in a leap year", yahrzeit, {5784, H::kAdarII, 10}, 5787, {5787, H::kAdarII, 10}},
      {"Adar I in a common year", yahrzeit, {5784, H::kAdar, 15}, 5785, {5785, H::kAdar, 15}},
      {"30 Adar I in a common year: 30 Shevat", yahrzeit, {5784, H::kAdar, 30}, 5785, {5785, H::kShevat, 30}},
      {"30 Adar I in a leap year", yahrzeit, {5784, H::kAdar, 30}, 5787, {5787, H::kAdar, 30}},
      {"Adar of a common year in a leap year: Adar I",
       yahrzeit,
       {5785, H::kAdar, 15},
       5787,
       {5787, H::kAdar, 15}},
      {"birthday in Adar of a common year, leap year: Adar II",
       birthday,
       {5785, H::kAdar, 15},
       5787,
       {5787, H::kAdarII, 15}},
      {"birthday in Adar I, common year", birthday, {5784, H::kAdar, 15}, 5785, {5785, H::kAdar, 15}},
      {"birthday in Adar II, common year", birthday, {5784, H::kAdarII, 15}, 5785, {5785, H::kAdar, 15}},
      {"birthday in Adar II, leap year", birthday, {5784, H::kAdarII, 15}, 5787, {5787, H::kAdarII, 15}},
      {"birthday on 30 Adar I, common year: the day after 29 Adar",
       birthday,
       {5784, H::kAdar, 30},
       5785,
       {5785, H::kNisan, 1}},
      {"birthday on 30 Heshvan, short year: the day after 29 Heshvan",
       birthday,
       {5785, H::kHeshvan, 30},
       5786,
       {5786, H::kKislev, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::int64_t day =
        c.rule == yahrzeit ? H::YahrzeitDay(c.event, c.year) : H::BirthdayDay(c.event, c.year);
    EXPECT_EQ(H::FromJDay(static_cast<std::int32_t>(day)), c.remembered);
  }
}

TEST(HebrewCalendarTest, AWindowListsEveryAnniversaryInItWithItsCount) {
  // 1 Tevet falls on 1 January 2025 and again on 21 December 2025 (Kislev
  // 5785 has 30 days after Hanukkah's 26 December 2024; 5786 begins on
  // 23 September with 30, 29 and 30 days before Tevet).
  const THebrewDate death{5780, H::kTevet, 1};
  const auto days =
      H::AnniversariesBetween(death, H::Rule::Yahrzeit, Gregorian(1, 1, 2025), Gregorian(31, 12, 2025));
  EXPECT_EQ(days,
            (std::vector<THebrewAnniversaryDay>{{Gregorian(1, 1, 2025), 5}, {Gregorian(21, 12, 2025), 6}}));
  // Neither the day of the event nor anything before it is an anniversary.
  const std::int32_t deathDay = *H::ToJDay(death);
  EXPECT_TRUE(H::AnniversariesBetween(death, H::Rule::Yahrzeit, deathDay - 400, deathDay + 300).empty());
  EXPECT_TRUE(H::AnniversariesBetween(death, H::Rule::Birthday, DMYToJDay(1, 1, 9000, false),
                                      DMYToJDay(1, 1, 8999, false))
                  .empty());
}

TEST(HebrewCalendarTest, MonthNamesFollowTheYear) {
  EXPECT_EQ(H::DayAndMonth({5785, H::kTevet, 16}), "16 Tevet");
  EXPECT_EQ(H::DayAndMonth({5785, H::kAdar, 14}), "14 Adar");
  EXPECT_EQ(H::DayAndMonth({5784, H::kAdar, 14}), "14 Adar I");
  EXPECT_EQ(H::DayAndMonth({5784, H::kAdarII, 14}), "14 Adar II");
  EXPECT_EQ(H::DayAndMonth({5784, H::kHeshvan, 3}), "3 Heshvan");
}

}  // namespace
}  // namespace mindrel
