#include "formats/SampleEntry.h"

#include <gtest/gtest.h>

#include <set>

#include "formats/DateTime.h"
#include "formats/EntryFormatter.h"
#include "formats/EventFormats.h"

namespace mindrel {
namespace {

constexpr LocalDateTime kNow{{2025, 6, 10}, 14, 30};

TEST(SampleEntry, EachRowGetsItsKindAndName) {
  const FixedClock clock(kNow);
  TSampleEntry sample(clock, 1);
  struct Case {
    int row;
    std::string kind;
    std::string name;
  };
  const Case cases[] = {
      {0, "P", "John SMITH"},           {1, "F", "John SMITH & Jane BROWN"}, {2, "F", "John SMITH & Jane BROWN"},
      {3, "P", "John SMITH"},           {4, "AF", "VE day"},                 {5, "AA", "Christmas"},
      {6, "P", "John SMITH"},           {11, "P", "John SMITH"},
  };
  for (const Case& c : cases) {
    sample.PrepareFor(c.row, "&");
    EXPECT_EQ(sample.Entry().EventIndex, c.row);
    EXPECT_EQ(sample.Entry().Kind, c.kind) << c.row;
    EXPECT_EQ(sample.Entry().Name, c.name) << c.row;
  }
}

TEST(SampleEntry, AddedEventsTakeTheirNextDay) {
  struct Case {
    CivilDate today;
    int row;
    CivilDate expected;
    int years;  // only for the fixed event
  };
  const Case cases[] = {
      {{2025, 5, 6}, 4, {2025, 5, 7}, 80},     {{2025, 5, 7}, 4, {2025, 5, 7}, 80},
      {{2025, 5, 8}, 4, {2026, 5, 7}, 81},     {{2025, 12, 25}, 5, {2025, 12, 25}, 0},
      {{2025, 12, 26}, 5, {2026, 12, 25}, 0},  {{2025, 1, 1}, 5, {2025, 12, 25}, 0},
  };
  for (const Case& c : cases) {
    const FixedClock clock(LocalDateTime{c.today, 9});
    TSampleEntry sample(clock, 7);
    sample.PrepareFor(c.row, "=");
    EXPECT_EQ(DecodeDate(sample.Entry().Date), c.expected) << c.today.month << "/" << c.today.day;
    if (c.row == 4) {
      EXPECT_EQ(sample.Entry().Years, c.years);
    }
  }
}

TEST(SampleEntry, ShuffleStaysInsideItsRanges) {
  const FixedClock clock(kNow);
  TSampleEntry sample(clock, 42);
  const TDateTime now = DateTimeOf(kNow);
  std::set<int> years;
  std::set<int> days;
  std::set<int> codes;
  for (int i = 0; i < 2000; ++i) {
    sample.Shuffle();
    years.insert(sample.Entry().Years);
    days.insert(static_cast<int>(sample.Entry().Date - now + 0.5));
    codes.insert(sample.Entry().Code);
  }
  EXPECT_EQ(*years.begin(), 1);
  EXPECT_EQ(*years.rbegin(), TSampleEntry::kMaxYears);
  EXPECT_EQ(days, (std::set<int>{0, 1, 2}));
  EXPECT_EQ(*codes.begin(), 1);
  EXPECT_EQ(*codes.rbegin(), TSampleEntry::kMaxCode);
}

TEST(SampleEntry, AddedFixedRowReadsAsTheVeDayAnniversary) {
  const FixedClock clock(kNow);
  TEventFormats formats;
  const TEntryFormatter formatter(formats, clock);
  TSampleEntry sample(clock, 3);
  sample.PrepareFor(4, formats.MarriageIndicator());
  // From 10 June 2025 the next 7 May is in 2026, 331 days ahead.
  EXPECT_EQ(formatter.FormatEntry(sample.Entry(), true, {}), "It's the 81st anniversary of VE day in 331 days");
  sample.PrepareFor(5, formats.MarriageIndicator());
  EXPECT_EQ(formatter.FormatEntry(sample.Entry(), true, {}), "In 198 days it's Christmas");
}

}  // namespace
}  // namespace mindrel
