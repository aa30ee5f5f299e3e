#include "app/DateFormatter.h"

#include <gtest/gtest.h>

#include "app/EnglishNames.h"

namespace mindrel {
namespace {

TEST(DateFormatter, CodesWithEnglishNames) {
  const TEnglishNames english;
  const TDateFormatter formatter(english);
  const TDateTime sample = EncodeDate(2005, 12, 28);
  struct Case {
    const char *format, *text;
  } const cases[] = {
      {"ddd d mmm", "Wed 28 Dec"},
      {"dddd dd mmmm yyyy", "Wednesday 28 December 2005"},
      {"d/m/yy", "28/12/05"},
      {"DDD D MMM", "Wed 28 Dec"},
      {"y-yyy", "05-2005"},
      {"ddddd", "Wednesday28"},
      {"'day' d \"of\" mmmm", "day 28 of December"},
      {"d 'open", "28 open"},
      {"at hh:nn", "at hh:nn"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter.FormatDateTime(c.format, sample), c.text) << c.format;

  EXPECT_EQ(formatter.FormatDateTime("d.mm.yy ddd", EncodeDate(2009, 1, 5)), "5.01.09 Mon");
  EXPECT_EQ(formatter.FormatDateTime("yy yyyy mmmm", EncodeDate(2000, 2, 29)), "00 2000 February");
  EXPECT_EQ(formatter.FormatDateTime("ddd d mmm", EncodeDate(2025, 6, 10) + 0.75), "Tue 10 Jun");
}

// The window layer supplies the user's locale names.
class GermanNames : public TLocaleNames {
 public:
  std::string ShortDayName(int day) const override { return day == 4 ? "Mi" : "?"; }
  std::string LongDayName(int day) const override { return day == 4 ? "Mittwoch" : "?"; }
  std::string ShortMonthName(int month) const override { return month == 12 ? "Dez" : "?"; }
  std::string LongMonthName(int month) const override { return month == 12 ? "Dezember" : "?"; }
};

TEST(DateFormatter, NamesComeFromTheLocale) {
  const GermanNames german;
  EXPECT_EQ(TDateFormatter(german).FormatDateTime("ddd d mmm / dddd mmmm", EncodeDate(2005, 12, 28)),
            "Mi 28 Dez / Mittwoch Dezember");
}

}  // namespace
}  // namespace mindrel
