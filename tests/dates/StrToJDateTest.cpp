#include <gtest/gtest.h>

#include "dates/UDate.h"

namespace mindrel {
namespace {

constexpr int kKnown = 0;
constexpr int kDayUnknown = 1;
constexpr int kMonthUnknown = 2;
constexpr int kYearUnknown = 4;

struct Accepted {
  int order;
  char separator;
  std::string text;
  int day, month, year;
  bool ad;
  std::uint8_t qualifier;
  int unknown;  // kDayUnknown | kMonthUnknown | kYearUnknown
};

TEST(StrToJDate, AcceptedTexts) {
  const Accepted cases[] = {
      {1, ' ', "12 Mar 1890", 12, 3, 1890, true, qNone, kKnown},
      {1, ' ', "Mar 1890", 1, 3, 1890, true, qNone, kDayUnknown},
      {1, ' ', "?? Mar 1890", 1, 3, 1890, true, qNone, kDayUnknown},
      {1, ' ', "1890", 1, 1, 1890, true, qNone, kDayUnknown | kMonthUnknown},
      {1, ' ', "AFT 12 Mar 1890", 12, 3, 1890, true, qAft, kKnown},
      {1, ' ', "bef 1 jan 2000", 1, 1, 2000, true, qBef, kKnown},
      {1, ' ', "44 BC", 1, 1, 44, false, qNone, kDayUnknown | kMonthUnknown},
      {1, ' ', "44 B.C.", 1, 1, 44, false, qNone, kDayUnknown | kMonthUnknown},
      {1, ' ', "1066AD", 1, 1, 1066, true, qNone, kDayUnknown | kMonthUnknown},
      {1, ' ', "Abt1890", 1, 1, 1890, true, qAbt, kDayUnknown | kMonthUnknown},
      {1, ' ', "EST 3 Sept 1700", 3, 9, 1700, true, qEst, kKnown},
      {1, ' ', "3 SEP 1700", 3, 9, 1700, true, qNone, kKnown},
      {1, ' ', "3 september 1700", 3, 9, 1700, true, qNone, kKnown},
      {1, ' ', "  29 Feb 2000  ", 29, 2, 2000, true, qNone, kKnown},
      {1, ' ', "29 Feb 5 BC", 29, 2, 5, false, qNone, kKnown},
      {1, ' ', "??? 1890", 1, 1, 1890, true, qNone, kDayUnknown | kMonthUnknown},
      {0, '/', "12/3/1890", 12, 3, 1890, true, qNone, kKnown},
      {0, '/', "?/3/1890", 1, 3, 1890, true, qNone, kDayUnknown},
      {0, '/', "3/1890", 1, 3, 1890, true, qNone, kDayUnknown},
      {2, '/', "3/12/1890", 12, 3, 1890, true, qNone, kKnown},
      {3, ' ', "Mar 12 1890", 12, 3, 1890, true, qNone, kKnown},
      {4, '-', "1890-03-12", 12, 3, 1890, true, qNone, kKnown},
      {4, '-', "1890-03", 1, 3, 1890, true, qNone, kDayUnknown},
      {5, '.', "1890.Mar.12", 12, 3, 1890, true, qNone, kKnown},
  };
  for (const Accepted& c : cases) {
    TJDate date;
    std::string message = "old";
    ASSERT_TRUE(StrToJDate(date, c.text, message, {c.order, c.separator}, true)) << c.text << ": " << message;
    const int offset = c.qualifier == qAft ? 1 : c.qualifier == qBef ? -1 : 0;
    EXPECT_EQ(date.JDay, DMYToJDay(c.day, c.month, c.year, c.ad) + offset) << c.text;
    EXPECT_EQ(date.Qualifier, c.qualifier) << c.text;
    EXPECT_EQ(date.PhraseLength, 0) << c.text;
    EXPECT_EQ(date.DayUnknown != 0, (c.unknown & kDayUnknown) != 0) << c.text;
    EXPECT_EQ(date.MonthUnknown != 0, (c.unknown & kMonthUnknown) != 0) << c.text;
    EXPECT_EQ(date.YearUnknown != 0, (c.unknown & kYearUnknown) != 0) << c.text;
    EXPECT_EQ(message, "") << c.text;
  }
}

struct Refused {
  int order;
  char separator;
  std::string text;
  bool required;
  std::string message;
};

TEST(StrToJDate, RefusedTextsGiveExactMessages) {
  const Refused cases[] = {
      {1, ' ', "", true, "Date entry required"},
      {1, ' ', "   ", true, "Date entry required"},
      {1, ' ', "'", false, "Date phrase empty"},
      {1, ' ', "ABT", false, "Invalid date"},
      {1, ' ', "BC", false, "Invalid date"},
      {1, ' ', "ABT BC", false, "Invalid date"},
      {0, '/', "31/04/1900", false, "Day invalid"},
      {0, '/', "1/2/3/4", false, "Too many \"/\" separators"},
      {0, '/', "/2/1900", false, "Nothing between separators"},
      {0, '/', "1//1900", false, "Nothing between separators"},
      {0, '/', "1/2/", false, "Nothing between separators"},
      {0, '/', "2/", false, "Invalid date"},
      {0, '/', "x/2/1900", false, "Invalid date"},
      {1, ' ', "12 Mar ????", false, "Invalid date"},
      {1, ' ', "12 Mar 0", false, "Year invalid"},
      {1, ' ', "12 Mar 10000", false, "Year invalid"},
      {1, ' ', "12 Ju 1890", false, "Month invalid"},
      {0, '/', "1/13/1890", false, "Month invalid"},
      {0, '/', "32/1/1890", false, "Day invalid"},
      {0, '/', "0/1/1890", false, "Day invalid"},
      {1, ' ', "29 Feb 1900", false, "Day invalid"},
      {1, ' ', "29 Feb 4 BC", false, "Day invalid"},
      {6, ' ', "12 Mar 1890", false, "Date format invalid"},
      {-1, ' ', "1890", false, "Date format invalid"},
      {1, ' ', "99999999999 Mar 1890", false, "Invalid date"},
  };
  for (const Refused& c : cases) {
    TJDate date;
    std::string message;
    EXPECT_FALSE(StrToJDate(date, c.text, message, {c.order, c.separator}, c.required)) << c.text;
    EXPECT_EQ(message, c.message) << c.text;
  }
}

TEST(StrToJDate, EmptyTextNotRequiredIsFirstOfJanuaryAd1WithQualifierOffsetKept) {
  TJDate date;
  date.Qualifier = qAft;
  std::string message = "kept";
  ASSERT_TRUE(StrToJDate(date, "  ", message, {}, false));
  EXPECT_EQ(date.JDay, 4383003 + 1);
  EXPECT_EQ(date.Qualifier, qAft);
  EXPECT_EQ(date.DayUnknown + date.MonthUnknown + date.YearUnknown, 3);
  EXPECT_EQ(message, "kept");
}

TEST(StrToJDate, PhrasesKeepTheirTextAndTheMessage) {
  TJDate date;
  date.Qualifier = qBef;
  std::string message = "kept";
  ASSERT_TRUE(StrToJDate(date, "'in the great winter'", message, {}, true));
  EXPECT_EQ(date.Phrase(), "in the great winter'");
  EXPECT_EQ(date.JDay, kPhraseJDay);
  EXPECT_EQ(date.Qualifier, qBef);
  EXPECT_EQ(date.DayUnknown + date.MonthUnknown + date.YearUnknown, 3);
  EXPECT_EQ(message, "kept");
}

TEST(StrToJDate, OnlyTheFirstSixtyCharactersAreRead) {
  const std::string phrase = "'" + std::string(69, 'x');
  TJDate date;
  std::string message;
  ASSERT_TRUE(StrToJDate(date, phrase, message, {}, true));
  EXPECT_EQ(date.PhraseLength, 59);

  // The tail beyond 60 characters would make the year invalid if it were read.
  const std::string padded = "1890" + std::string(56, ' ') + "12345";
  ASSERT_TRUE(StrToJDate(date, padded, message, {}, true)) << message;
  EXPECT_EQ(date.JDay, DMYToJDay(1, 1, 1890, true));
}

}  // namespace
}  // namespace mindrel
