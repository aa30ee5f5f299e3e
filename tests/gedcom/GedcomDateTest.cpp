#include "gedcom/GedcomDate.h"

#include <gtest/gtest.h>

#include "gedcom/CalendarConversion.h"

namespace mindrel {
namespace {

struct DateCase {
  const char* value;
  int day, month, year;  // the day denoted (Gregorian), year in its era
  bool ad;
  TQualifier qualifier;
  bool dayUnknown, monthUnknown;
};

TEST(GedcomDateTest, DatesBecomeTheRecordsATableHolds) {
  const DateCase cases[] = {
      {"12 MAR 1890", 12, 3, 1890, true, qNone, false, false},
      {"12 mar 1890", 12, 3, 1890, true, qNone, false, false},
      {"@#DGREGORIAN@ 12 MAR 1890", 12, 3, 1890, true, qNone, false, false},
      {"MAR 1890", 1, 3, 1890, true, qNone, true, false},
      {"1890", 1, 1, 1890, true, qNone, true, true},
      {"ABT 12 MAR 1890", 12, 3, 1890, true, qAbt, false, false},
      {"CAL MAR 1890", 1, 3, 1890, true, qEst, true, false},
      {"EST 1890", 1, 1, 1890, true, qEst, true, true},
      {"BEF 1 JAN 2000", 1, 1, 2000, true, qBef, false, false},
      {"AFT 31 DEC 1999", 31, 12, 1999, true, qAft, false, false},
      {"29 FEB 2000", 29, 2, 2000, true, qNone, false, false},
      {"12 MAR 44 B.C.", 12, 3, 44, false, qNone, false, false},
      {"29 FEB 49 BC", 29, 2, 49, false, qNone, false, false},  // astronomical year -48 is a leap year
      {"11 FEB 1720/21", 22, 2, 1721, true, qNone, false, false},  // Old Style
      {"1699/00", 1, 1, 1700, true, qNone, true, true},
      {"@#DJULIAN@ 4 OCT 1582", 14, 10, 1582, true, qNone, false, false},
      {"@#DJULIAN@ 29 FEB 1700", 11, 3, 1700, true, qNone, false, false},  // a Julian leap day
      {"ABT @#DJULIAN@ 4 OCT 1582", 14, 10, 1582, true, qAbt, false, false},
      {"@#DHEBREW@ 1 TSH 5785", 3, 10, 2024, true, qNone, false, false},
      {"@#DHEBREW@ 15 NSN 5784", 23, 4, 2024, true, qNone, false, false},
      {"@#DHEBREW@ 1 ADS 5784", 11, 3, 2024, true, qNone, false, false},
      {"@#DFRENCH R@ 1 VEND 1", 22, 9, 1792, true, qNone, false, false},
      {"@#DFRENCH R@ 18 BRUM 8", 9, 11, 1799, true, qNone, false, false},
      {"@#DFRENCH R@ 11 NIVO 14", 1, 1, 1806, true, qNone, false, false},
      {"@#DFRENCH R@ 6 COMP 3", 22, 9, 1795, true, qNone, false, false},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.value);
    const TJDate date = TGedcomDate::ToJDate(c.value);
    ASSERT_EQ(date.PhraseLength, 0);
    EXPECT_EQ(date.Qualifier, c.qualifier);
    EXPECT_EQ(date.DayUnknown != 0, c.dayUnknown);
    EXPECT_EQ(date.MonthUnknown != 0, c.monthUnknown);
    EXPECT_EQ(date.YearUnknown, 0);
    TDayMonthYear dmy;
    ASSERT_TRUE(JDateToDMY(date, dmy));
    EXPECT_EQ(dmy, (TDayMonthYear{c.day, c.month, c.year, c.ad}));
    // The stored day number carries the offset of BEF and AFT.
    const int offset = c.qualifier == qAft ? 1 : c.qualifier == qBef ? -1 : 0;
    EXPECT_EQ(date.JDay, DMYToJDay(c.day, c.month, c.year, c.ad) + offset);
  }
}

TEST(GedcomDateTest, WhatNamesNoSingleDayIsAPhrase) {
  const char* phrases[] = {
      "BET 1900 AND 1910", "FROM 1900 TO 1910", "FROM 12 MAR 1900", "TO 1910", "INT 12 MAR 1890 (about then)",
      "(stillborn)", "31 FEB 1900", "29 FEB 1900", "0 JAN 1900", "12 MAR 0", "12 MAR 10000", "12 MARCH 1890",
      "12 MAR", "ABT", "1720/22", "@#DJULIAN@ OCT 1582", "@#DJULIAN@ 1582", "@#DHEBREW@ TSH 5785",
      "@#DHEBREW@ 1 ADS 5785",  // no Adar II in a common year
      "@#DFRENCH R@ BRUM 8", "@#DFRENCH R@ 6 COMP 4", "@#DFRENCH R@ 1 VEND 15", "@#DROMAN@ 12 MAR 1890",
      "@#DUNKNOWN@ 1890", "@#DJULIAN 12 MAR 1890", "12 MAR 1890 B.C.X", "12 MAR 1890 1891"};
  for (const char* value : phrases) {
    SCOPED_TRACE(value);
    const TJDate date = TGedcomDate::ToJDate(value);
    EXPECT_GT(date.PhraseLength, 0);
    EXPECT_EQ(date.JDay, kPhraseJDay);
    TDayMonthYear dmy;
    EXPECT_FALSE(JDateToDMY(date, dmy));
  }
}

TEST(GedcomDateTest, CalendarsRefuseDaysTheyDoNotHave) {
  EXPECT_FALSE(TCalendarConversion::Julian(29, 2, 1701));
  EXPECT_FALSE(TCalendarConversion::Julian(32, 1, 1701));
  EXPECT_FALSE(TCalendarConversion::FrenchRepublican(31, 1, 2));
}

}  // namespace
}  // namespace mindrel
