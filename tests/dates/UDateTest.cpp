#include "dates/UDate.h"

#include <gtest/gtest.h>

namespace mindrel {
namespace {

TEST(DayNumbers, KnownDates) {
  struct Case {
    int day, month, year;
    bool ad;
    std::int32_t jday;
  } const cases[] = {
      {28, 12, 2005, true, 5115310}, {1, 1, 1, true, 4383003},    {31, 12, 1, false, 4383002},
      {1, 1, 2000, true, 5113122},   {29, 2, 2000, true, 5113181}, {1, 3, 1900, true, 5076657},
      {1, 1, 9999, false, 730943},   {31, 12, 9999, true, 8035061},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DMYToJDay(c.day, c.month, c.year, c.ad), c.jday) << c.day << "/" << c.month << "/" << c.year;
  }
}

// Every day of the written range, both eras, every qualifier: decoding undoes
// encoding exactly, and consecutive days have consecutive numbers.
TEST(DayNumbers, DecodingInvertsEncodingOverTheWholeRange) {
  std::int32_t expected = DMYToJDay(1, 1, 9999, false);
  int failures = 0;
  for (int era = 0; era < 2; ++era) {
    const bool ad = era == 1;
    for (int year = ad ? 1 : 9999; ad ? year <= 9999 : year >= 1; year += ad ? 1 : -1) {
      const std::int64_t internal = ad ? 12000 + year : 12001 - year;
      for (int month = 1; month <= 12; ++month) {
        const int length = MonthTable[month - 1].Days + (month == 2 && IsLeapInternalYear(internal) ? 1 : 0);
        for (int day = 1; day <= length; ++day) {
          const std::int32_t jday = DMYToJDay(day, month, year, ad);
          if (jday != expected) ++failures;
          expected = jday + 1;
          for (std::uint8_t qualifier = qAbt; qualifier <= qNone; ++qualifier) {
            TJDate date;
            date.Qualifier = qualifier;
            date.JDay = jday + (qualifier == qAft ? 1 : qualifier == qBef ? -1 : 0);
            TDayMonthYear decoded;
            if (!JDateToDMY(date, decoded) || !(decoded == TDayMonthYear{day, month, year, ad})) ++failures;
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(expected - 1, 8035061);
}

TEST(DayNumbers, DecodingExamples) {
  struct Case {
    std::int32_t jday;
    std::uint8_t qualifier;
    TDayMonthYear expected;
  } const cases[] = {
      {5115310, qNone, {28, 12, 2005, true}}, {4383003, qNone, {1, 1, 1, true}},
      {4383002, qNone, {31, 12, 1, false}},   {5113181, qNone, {29, 2, 2000, true}},
      {5115311, qAft, {28, 12, 2005, true}},  {5113121, qBef, {1, 1, 2000, true}},
  };
  for (const Case& c : cases) {
    TJDate date;
    date.JDay = c.jday;
    date.Qualifier = c.qualifier;
    TDayMonthYear decoded;
    ASSERT_TRUE(JDateToDMY(date, decoded));
    EXPECT_EQ(decoded, c.expected) << c.jday;
  }
}

TEST(DayNumbers, PhraseDoesNotDecodeAndLeavesResultsAlone) {
  TJDate date;
  date.SetPhrase("in the spring");
  date.JDay = kPhraseJDay;
  TDayMonthYear decoded{7, 8, 9, false};
  EXPECT_FALSE(JDateToDMY(date, decoded));
  EXPECT_EQ(decoded, (TDayMonthYear{7, 8, 9, false}));
}

TEST(DateRecord, StoredLayoutIsLittleEndianWithFixedOffsets) {
  TJDate date;
  date.JDay = 0x01020304;
  date.SetPhrase("abc");
  date.Qualifier = qEst;
  date.DayUnknown = 1;
  date.MonthUnknown = 0;
  date.YearUnknown = 1;
  const TJDate::Bytes bytes = date.ToBytes();
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[4], 3);
  EXPECT_EQ(bytes[5], 'a');
  EXPECT_EQ(bytes[7], 'c');
  EXPECT_EQ(bytes[8], 0);
  EXPECT_EQ(bytes[65], qEst);
  EXPECT_EQ(bytes[66], 1);
  EXPECT_EQ(bytes[67], 0);
  EXPECT_EQ(bytes[68], 1);
  EXPECT_EQ(TJDate::FromBytes(bytes.data()), date);
}

TEST(DateRecord, PaddingBytesAreIgnored) {
  TJDate date;
  date.JDay = DMYToJDay(12, 3, 1890, true);
  TJDate::Bytes bytes = date.ToBytes();
  bytes[69] = 0xFF;
  bytes[70] = 0x12;
  bytes[71] = 0x80;
  EXPECT_EQ(TJDate::FromBytes(bytes.data()), date);
}

TEST(DateRecord, OversizedPhraseLengthIsClamped) {
  TJDate::Bytes bytes{};
  bytes[4] = 200;
  EXPECT_EQ(TJDate::FromBytes(bytes.data()).PhraseLength, kMaxPhraseLength);
}

TEST(DateRecord, ClearLeavesDayNumber) {
  TJDate date;
  date.JDay = 42;
  date.SetPhrase("x");
  date.Qualifier = qAbt;
  ClearJDate(date);
  EXPECT_EQ(date.JDay, 42);
  EXPECT_EQ(date.PhraseLength, 0);
  EXPECT_EQ(date.Qualifier, qNone);
  EXPECT_EQ(date.DayUnknown + date.MonthUnknown + date.YearUnknown, 3);
}

TEST(DateRecord, TodayMatchesDirectConstruction) {
  for (CivilDate day : {CivilDate{2005, 12, 28}, CivilDate{2024, 2, 29}, CivilDate{1, 1, 1}}) {
    TJDate today;
    today.SetPhrase("stale");
    TodayJDate(today, FixedClock(day));
    TJDate direct;
    direct.JDay = DMYToJDay(day.day, day.month, day.year, true);
    direct.Qualifier = qNone;
    EXPECT_EQ(today, direct) << day.year;
  }
}

}  // namespace
}  // namespace mindrel
