#include "formats/EntryFormatter.h"

#include <gtest/gtest.h>

#include "formats/DateTime.h"
#include "formats/VariantChoice.h"

namespace mindrel {
namespace {

// "Now" is 10 June 2025, 14:30; entries are dated at midnight of their day.
class EntryFormatterTest : public ::testing::Test {
 protected:
  static constexpr CivilDate kToday{2025, 6, 10};

  static TDateTime InDays(int days) { return EncodeDate(kToday.year, kToday.month, kToday.day) + days; }

  static TOPObj Entry(int eventIndex, const std::string& kind, const std::string& name, int years, int days,
                      int code = 0) {
    TOPObj entry;
    entry.EventIndex = static_cast<std::uint8_t>(eventIndex);
    entry.Kind = kind;
    entry.Name = name;
    entry.Years = years;
    entry.Date = InDays(days);
    entry.Code = code;
    return entry;
  }

  static TOPObj Yahrzeit(const std::string& name, int years, int days, const std::string& hebrewDate) {
    TOPObj entry = Entry(kYahrzeit, "P", name, years, days);
    entry.Dead = true;
    entry.HebrewDate = hebrewDate;
    return entry;
  }

  std::string Expand(const std::string& text, const TOPObj& entry) const {
    int lastNumber = 0;
    return formatter_.ExpandTemplate(text, entry, lastNumber);
  }

  TEventFormats formats_;
  FixedClock clock_{LocalDateTime{kToday, 14, 30}};
  TEntryFormatter formatter_{formats_, clock_};
  std::vector<std::string> items_{"Birth", "Marriage", "Divorce", "Death", "Added fixed", "Added annual", "Yahrzeit"};
};

TEST_F(EntryFormatterTest, DefaultFormatsGiveTheirSentences) {
  struct Case {
    TOPObj entry;
    const char* sentence;
  } const cases[] = {
      {Entry(0, "P", "John SMITH", 42, 0), "John SMITH is 42 years old today"},
      {Entry(1, "F", "John SMITH = Jane BROWN", 25, 5),
       "It's the 25th (silver) wedding anniversary of John SMITH = Jane BROWN in 5 days"},
      {Entry(1, "F", "A = B", 16, 1), "It's the 16th wedding anniversary of A = B tomorrow"},
      {Entry(2, "F", "A = B", 3, 2), "It's the 3rd anniversary of the divorce of A = B in 2 days"},
      {Entry(3, "P", "John SMITH", 10, 1), "Tomorrow it will be 10 years since the death of John SMITH"},
      {Entry(4, "AF", "VE day", 80, 30), "It's the 80th anniversary of VE day in 30 days"},
      {Entry(5, "AA", "Christmas", 2025, 0), "Today it's Christmas"},
      {Yahrzeit("Sarah Cohen", 12, 3, "16 Tevet"), "The 12th yahrzeit of Sarah Cohen, 16 Tevet, is in 3 days"},
      {Yahrzeit("Sarah Cohen", 1, 0, "30 Shevat"), "The 1st yahrzeit of Sarah Cohen, 30 Shevat, is today"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter_.FormatEntry(c.entry, false, items_), c.sentence);
}

TEST_F(EntryFormatterTest, OrdinalSuffixesFollowTheLastNumber) {
  struct Case {
    int years;
    const char* expected;
  } const cases[] = {
      {0, "0th"},     {1, "1st"},     {2, "2nd"},     {3, "3rd"},     {4, "4th"},     {9, "9th"},
      {10, "10th"},   {11, "11th"},   {12, "12th"},   {13, "13th"},   {19, "19th"},   {21, "21st"},
      {22, "22nd"},   {23, "23rd"},   {101, "101st"}, {111, "111th"}, {112, "112th"}, {-1, "-1st"},
      {-12, "-12nd"},  // the teen rule holds for numbers above 10 only
  };
  for (const Case& c : cases) EXPECT_EQ(Expand("<yy><th>", Entry(0, "P", "", c.years, 0)), c.expected);

  EXPECT_EQ(Expand("<th>", Entry(0, "P", "", 2, 0)), "th") << "no number before it: 0";
  EXPECT_EQ(Expand("<dd><th>", Entry(0, "P", "", 0, 3)), "3rd");

  formats_.SetSuffix(TEventFormats::kTeenSuffixRow, "");
  EXPECT_EQ(Expand("<yy><th> <dd><th>", Entry(0, "P", "", 11, 13)), "11st 13rd");
}

TEST_F(EntryFormatterTest, WhenTextsAndTheNumberTheyLeaveBehind) {
  // "<when>" counts whole days, whatever the time of day now is.
  EXPECT_EQ(Expand("<when>", Entry(0, "P", "", 0, 0)), "today");
  EXPECT_EQ(Expand("<when>", Entry(0, "P", "", 0, 1)), "tomorrow");
  EXPECT_EQ(Expand("<when>", Entry(0, "P", "", 0, 2)), "in 2 days");
  EXPECT_EQ(Expand("<when>", Entry(0, "P", "", 0, 365)), "in 365 days");
  EXPECT_EQ(Expand("[<when>]", Entry(0, "P", "", 0, -1)), "[]") << "a past day has no when text";
  EXPECT_EQ(Expand("<dd>", Entry(0, "P", "", 0, -3)), "-3");

  // "<dd>" inside the when text changes the number the outer "<th>" reads.
  EXPECT_EQ(Expand("<yy><th>, <yy> <when><th>", Entry(0, "P", "", 21, 5)), "21st, 21 in 5 daysth");
  EXPECT_EQ(Expand("<yy> <when><th>", Entry(0, "P", "", 21, 0)), "21 todayst");

  // A when text that names itself must not recurse without end.
  formats_.SetWhenText(2, "in <when><dd> days");
  EXPECT_EQ(Expand("<when>", Entry(0, "P", "", 0, 4)), "in 4 days");
}

// What fell while the program was not shown is told in the past. Today is
// Tuesday 10 June 2025.
TEST_F(EntryFormatterTest, MissedAnniversariesAreToldInThePast) {
  items_.push_back("Baptism");
  const int baptism = formats_.AddRow("Baptism");
  formats_.SetTemplate(baptism, "<name> was baptised <yy> years ago <when>");
  auto missed = [](TOPObj entry, bool yearUnknown = false, bool dead = false) {
    entry.Missed = true;
    entry.YearUnknown = yearUnknown;
    entry.Dead = dead;
    return entry;
  };
  struct Case {
    TOPObj entry;
    const char* sentence;
  } const cases[] = {
      {missed(Entry(0, "P", "Anna Weber", 40, -3)), "Anna Weber turned 40 on Saturday"},
      {missed(Entry(0, "P", "Anna Weber", 40, -1)), "Anna Weber turned 40 yesterday"},
      {missed(Entry(0, "P", "Anna Weber", 40, -7)), "Anna Weber turned 40 7 days ago"},
      {missed(Entry(0, "P", "Anna Weber", 2025, -2), true), "It was Anna Weber's birthday on Sunday"},
      {missed(Entry(0, "P", "Lediah Allen", 348, -3), false, true), "Lediah Allen would have turned 348 on Saturday"},
      {missed(Entry(0, "P", "Lediah Allen", 2025, -3), true, true),
       "It was the anniversary of the birth of Lediah Allen on Saturday"},
      {missed(Entry(1, "F", "A = B", 25, -10)), "It was the 25th (silver) wedding anniversary of A = B 10 days ago"},
      {missed(Entry(1, "F", "A = B", 2025, -1), true), "It was the wedding anniversary of A = B yesterday"},
      {missed(Entry(2, "F", "A = B", 3, -1)), "It was the 3rd anniversary of the divorce of A = B yesterday"},
      {missed(Entry(3, "P", "Ada", 1, -2), false, true), "On Sunday it was 1 year since the death of Ada"},
      {missed(Entry(3, "P", "Ada", 21, -2), false, true), "On Sunday it was 21 years since the death of Ada"},
      {missed(Entry(3, "P", "Ada", 2025, -2), true, true), "On Sunday it was the anniversary of the death of Ada"},
      {missed(Entry(4, "AF", "VE day", 80, -30)), "It was the 80th anniversary of VE day 30 days ago"},
      {missed(Entry(4, "AF", "Planned move", 0, -1)), "Yesterday it was Planned move"},
      {missed(Entry(5, "AA", "Christmas", 2025, -1)), "Yesterday it was Christmas"},
      {missed(Yahrzeit("Sarah Cohen", 12, -1, "16 Tevet")), "The 12th yahrzeit of Sarah Cohen, 16 Tevet, was yesterday"},
      // The user's own format speaks of the future; the past wording stands in.
      {missed(Entry(7, "P", "Ann", 3, -3)), "It was the 3rd anniversary of the Baptism of Ann on Saturday"},
      {missed(Entry(7, "P", "Ann", 2025, -3), true), "It was the anniversary of the Baptism of Ann on Saturday"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter_.FormatEntry(c.entry, false, items_), c.sentence);

  // A birth known to its month only was missed on the 1st, a day nobody
  // recorded: no weekday is claimed for it.
  TOPObj monthOnly = missed(Entry(0, "P", "Agnes Hughes", 47, -9));
  monthOnly.Precision = TDatePrecision::Month;
  EXPECT_EQ(formatter_.FormatEntry(monthOnly, false, items_), "Agnes Hughes turns 47 this month");

  // The past wordings are the user's to change, like every format.
  formats_.SetPastText(TEventFormats::kPastBirth, "<name> had birthday no. <yy> <when>");
  formats_.SetPastText(TEventFormats::kPastEarlier, "<ago><th> day back");
  EXPECT_EQ(formatter_.FormatEntry(missed(Entry(0, "P", "Anna", 40, -22)), false, items_),
            "Anna had birthday no. 40 22nd day back");
}

TEST_F(EntryFormatterTest, NamesCodesAndMaterials) {
  formats_.SetIncludeCodes(true);
  EXPECT_EQ(formatter_.FormatEntry(Entry(0, "P", "John SMITH", 42, 0, 17), false, items_),
            "[P17] John SMITH is 42 years old today");
  EXPECT_EQ(Expand("<name>", Entry(1, "F", "A = B", 1, 0, 8)), "[F8] A = B");
  EXPECT_EQ(Expand("<name>", Entry(4, "AF", "VE day", 1, 0)), "VE day");
  EXPECT_EQ(Expand("<name>", Entry(5, "AA", "Christmas", 1, 0)), "Christmas");

  struct Case {
    int years;
    const char* material;
  } const cases[] = {{0, ""},           {1, " (paper)"},   {15, " (crystal)"}, {16, ""},   {20, " (china)"},
                     {60, " (diamond)"}, {65, ""},          {70, " (platinum)"}, {75, ""},  {76, ""},
                     {-5, ""}};
  for (const Case& c : cases) EXPECT_EQ(Expand("<material>", Entry(1, "F", "", c.years, 0)), c.material) << c.years;

  formats_.SetMaterialText(16, " (tin-plated)");  // row 16 is the 25th anniversary
  EXPECT_EQ(Expand("<material>", Entry(1, "F", "", 25, 0)), " (tin-plated)");
}

TEST_F(EntryFormatterTest, TagSyntaxEdgeCases) {
  const TOPObj entry = Entry(0, "P", "Ann", 7, 2);
  struct Case {
    const char *text, *expected;
  } const cases[] = {
      {"no tags at all", "no tags at all"},
      {"<Name> <nam> <yy >", "<?Name?> <?nam?> <?yy ?>"},
      {"open < never closed <yy", "open < never closed <yy"},
      {"x<yy", "x<yy"},
      {"a <> b <dd>", "a <?> b <dd?>"},  // "<>" is no tag: the tag runs to the next ">"
      {"<yy>>", "7>"},
      {"<<yy>", "<?<yy?>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Expand(c.text, entry), c.expected) << c.text;
}

TEST_F(EntryFormatterTest, SentenceIsCapitalisedAndLimited) {
  formats_.SetTemplate(0, "élan of <name>");
  EXPECT_EQ(formatter_.FormatEntry(Entry(0, "P", "Zoë", 5, 0), false, items_), "Élan of Zoë");

  formats_.SetTemplate(0, "<name>");
  const std::string longName = "é" + std::string(300, 'x');
  const std::string sentence = formatter_.FormatEntry(Entry(0, "P", longName, 5, 0), false, items_);
  EXPECT_EQ(sentence, "É" + std::string(255, 'x'));
}

TEST_F(EntryFormatterTest, RowOfACustomEventTypeIsFoundByItsItemText) {
  items_.push_back("Baptism");
  items_.push_back("Burial");
  const int baptism = formats_.AddRow("BAPTISM");
  formats_.SetTemplate(baptism, "<name> was baptised <yy> years ago <when>");

  EXPECT_EQ(formatter_.FormatEntry(Entry(7, "P", "Ann", 3, 0), false, items_), "Ann was baptised 3 years ago today");
  EXPECT_EQ(formatter_.FormatEntry(Entry(8, "P", "Ann", 3, 0), false, items_),
            "It's the 3rd anniversary of the Burial of Ann today")
      << "Burial has no format";
  TOPObj stale = Entry(10, "P", "Ann", 3, 0);
  stale.EventName = "Census";
  EXPECT_EQ(formatter_.FormatEntry(stale, false, items_), "It's the 3rd anniversary of the Census of Ann today")
      << "item gone from the list";

  // The editor's sample line takes the row by number instead.
  EXPECT_EQ(formatter_.FormatEntry(Entry(7, "P", "Ann", 3, 0), true, {}), "Ann was baptised 3 years ago today");

  formats_.SetTemplate(baptism, "  ");
  EXPECT_EQ(formatter_.FormatEntry(Entry(7, "P", "Ann", 3, 0), false, items_),
            "It's the 3rd anniversary of the Baptism of Ann today")
      << "an empty format is no sentence";
  formats_.DeleteRow(baptism);
  EXPECT_EQ(formatter_.FormatEntry(Entry(7, "P", "Ann", 3, 0), false, items_),
            "It's the 3rd anniversary of the Baptism of Ann today");
}

// Where the row's wording would say something false, its variant speaks.
TEST_F(EntryFormatterTest, VariantsForUnknownYearsTheDeadOneYearAndAnEventsOwnDay) {
  items_.push_back("Baptism");
  auto entry = [](int index, const char* kind, const char* name, int years, int days, bool yearUnknown, bool dead) {
    TOPObj e = Entry(index, kind, name, years, days);
    e.YearUnknown = yearUnknown;
    e.Dead = dead;
    return e;
  };
  struct Case {
    TOPObj entry;
    const char* sentence;
  } const cases[] = {
      {entry(0, "P", "Niels Larsen", 2025, 1, true, false), "It's Niels Larsen's birthday tomorrow"},
      {entry(0, "P", "Niels Larsen", 2025, 1, true, true), "It's the anniversary of the birth of Niels Larsen tomorrow"},
      {entry(0, "P", "Lediah Allen", 348, 0, false, true), "Lediah Allen would have been 348 today"},
      {entry(0, "P", "Lediah Allen", 1, 0, false, true), "Lediah Allen would have been 1 today"},
      {entry(0, "P", "John Thornton", 1, 16, false, false), "John Thornton is 1 year old in 16 days"},
      {entry(0, "P", "John Thornton", 11, 16, false, false), "John Thornton is 11 years old in 16 days"},
      {entry(1, "F", "A = B", 2025, 2, true, false), "It's the wedding anniversary of A = B in 2 days"},
      {entry(1, "F", "A = B", 1, 2, false, false), "It's the 1st (paper) wedding anniversary of A = B in 2 days"},
      {entry(2, "F", "A = B", 2025, 0, true, false), "It's the anniversary of the divorce of A = B today"},
      {entry(3, "P", "Ada", 2025, 1, true, true), "Tomorrow it's the anniversary of the death of Ada"},
      {entry(3, "P", "Ada", 1, 1, false, true), "Tomorrow it will be 1 year since the death of Ada"},
      {entry(3, "P", "Ada", 21, 1, false, true), "Tomorrow it will be 21 years since the death of Ada"},
      {entry(4, "AF", "Planned move", 0, 12, false, false), "In 12 days it's Planned move"},
      {entry(4, "AF", "Planned move", 1, 12, false, false), "It's the 1st anniversary of Planned move in 12 days"},
      {entry(5, "AA", "Christmas", 2025, 3, false, false), "In 3 days it's Christmas"},
      {entry(7, "P", "Ann", 2025, 3, true, true), "It's the anniversary of the Baptism of Ann in 3 days"},
      {entry(7, "P", "Ann", 80, 3, false, true), "It's the 80th anniversary of the Baptism of Ann in 3 days"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter_.FormatEntry(c.entry, false, items_), c.sentence) << c.sentence;

  // Variants are templates like the rows: the user's wording is used.
  formats_.SetVariantText(TEventFormats::kBirthDead, "<name> was born <yy> years ago <when>");
  EXPECT_EQ(formatter_.FormatEntry(entry(0, "P", "Lediah Allen", 348, 0, false, true), false, items_),
            "Lediah Allen was born 348 years ago today");
}

// With a home person the default sentences name the relationship; without
// one (the cases above) they read as they always did.
TEST_F(EntryFormatterTest, RelationsInTheDefaultSentences) {
  auto related = [](TOPObj entry, const char* relation, bool yearUnknown = false, bool dead = false) {
    entry.Relation = relation;
    entry.YearUnknown = yearUnknown;
    entry.Dead = dead;
    return entry;
  };
  struct Case {
    TOPObj entry;
    const char* sentence;
  } const cases[] = {
      {related(Entry(0, "P", "Francis Garner", 82, 2), "your great-grandson"),
       "Francis Garner, your great-grandson, is 82 years old in 2 days"},
      {related(Entry(0, "P", "Ann Lee", 40, 0), "you"), "Ann Lee, you, is 40 years old today"},
      {related(Entry(0, "P", "Ann Lee", 2025, 0), "your aunt", true), "It's Ann Lee's birthday (your aunt) today"},
      {related(Entry(0, "P", "Ann Lee", 90, 1), "your aunt", false, true), "Ann Lee, your aunt, would have been 90 tomorrow"},
      {related(Entry(1, "F", "John SMITH = Jane BROWN", 25, 5), "your son and your daughter-in-law"),
       "It's the 25th (silver) wedding anniversary of John SMITH = Jane BROWN, your son and your daughter-in-law, in 5 days"},
      {related(Entry(3, "P", "John SMITH", 10, 1), "your stepfather"),
       "Tomorrow it will be 10 years since the death of John SMITH, your stepfather"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter_.FormatEntry(c.entry, false, items_), c.sentence);
}

TEST_F(EntryFormatterTest, AnEmptyRelationTakesItsPunctuationAlong) {
  struct Case {
    const char* text;
    const char* relation;
    const char* expanded;
  } const cases[] = {
      {"<name>, <relation>, is here", "", "Ann is here"},
      {"<name> (<relation>) is here", "", "Ann  is here"},
      {"<name>, <relation>", "", "Ann"},
      {"<relation> and <name>", "", " and Ann"},
      {"<name>,<relation> is", "", "Ann is"},
      {"<name> (<relation>) is here", "your aunt", "Ann (your aunt) is here"},
      {"<name>: <relation>.", "your aunt", "Ann: your aunt."},
  };
  for (const Case& c : cases) {
    TOPObj entry = Entry(0, "P", "Ann", 40, 0);
    entry.Relation = c.relation;
    EXPECT_EQ(Expand(c.text, entry), c.expanded) << c.text;
  }
}

// A qualified date gives an approximate count, a partial date never a day,
// and a couple with a dead partner is no longer congratulated.
TEST_F(EntryFormatterTest, ApproximateCountsPartialDatesAndDeadCouples) {
  items_.push_back("Baptism");
  struct Case {
    int index;
    const char* kind;
    int years;
    int days;  // from today, 10 June 2025
    bool dead, approximate;
    TDatePrecision precision;
    const char* sentence;
  } const cases[] = {
      {0, "P", 47, 3, false, true, TDatePrecision::Day, "Karl Krüger is about 47 years old in 3 days"},
      {0, "P", 1, 3, false, true, TDatePrecision::Day, "Karl Krüger is about 1 year old in 3 days"},
      {0, "P", 90, 0, true, true, TDatePrecision::Day, "Karl Krüger would have been about 90 today"},
      {0, "P", 47, 21, false, false, TDatePrecision::Month, "Karl Krüger turns 47 next month"},
      {0, "P", 47, 21, false, true, TDatePrecision::Year, "Karl Krüger is about 47 years old this year"},
      {0, "P", 90, 21, true, false, TDatePrecision::Month, "Karl Krüger would have been 90 next month"},
      {1, "F", 38, 2, true, false, TDatePrecision::Day,
       "It would have been the 38th wedding anniversary of José Wilson = Grace Becker in 2 days"},
      {1, "F", 40, 2, true, true, TDatePrecision::Day,
       "It would have been about the 40th (ruby) wedding anniversary of José Wilson = Grace Becker in 2 days"},
      {1, "F", 25, 2, false, true, TDatePrecision::Day,
       "It's about the 25th (silver) wedding anniversary of José Wilson = Grace Becker in 2 days"},
      {1, "F", 25, 30, false, false, TDatePrecision::Month,
       "It's the 25th (silver) wedding anniversary of José Wilson = Grace Becker next month"},
      {2, "F", 3, 2, false, true, TDatePrecision::Day,
       "It's about the 3rd anniversary of the divorce of José Wilson = Grace Becker in 2 days"},
      {3, "P", 10, 1, true, true, TDatePrecision::Day, "Tomorrow it will be about 10 years since the death of Karl Krüger"},
      {3, "P", 1, 1, true, true, TDatePrecision::Day, "Tomorrow it will be about 1 year since the death of Karl Krüger"},
      {3, "P", 10, 90, true, false, TDatePrecision::Month, "In 3 months it will be 10 years since the death of Karl Krüger"},
      {7, "P", 80, 3, false, true, TDatePrecision::Day, "It's about the 80th anniversary of the Baptism of Karl Krüger in 3 days"},
      {7, "P", 80, 205, false, false, TDatePrecision::Year, "It's the 80th anniversary of the Baptism of Karl Krüger next year"},
  };
  for (const Case& c : cases) {
    TOPObj entry = Entry(c.index, c.kind, c.kind[0] == 'F' ? "José Wilson = Grace Becker" : "Karl Krüger", c.years, c.days);
    entry.Dead = c.dead;
    entry.Approximate = c.approximate;
    entry.Precision = c.precision;
    EXPECT_EQ(formatter_.FormatEntry(entry, false, items_), c.sentence);
  }
}

// A partial date is announced on the first of its month or of its year, a
// day nobody recorded: its "when" names the month or the year instead.
TEST_F(EntryFormatterTest, WhenOfAPartialDateNamesItsMonthOrYear) {
  struct Case {
    TDatePrecision precision;
    int days;  // from 10 June 2025 to the entry's day
    const char* when;
  } const cases[] = {
      {TDatePrecision::Month, -9, "this month"},  // 1 June, seen later in June
      {TDatePrecision::Month, 21, "next month"},  // 1 July
      {TDatePrecision::Month, 52, "in 2 months"},  // 1 August
      {TDatePrecision::Month, -10, ""},            // 31 May: past
      {TDatePrecision::Year, -160, "this year"},   // 1 January 2025
      {TDatePrecision::Year, 205, "next year"},    // 1 January 2026
      {TDatePrecision::Year, -161, ""},
  };
  for (const Case& c : cases) {
    TOPObj entry = Entry(0, "P", "", 0, c.days);
    entry.Precision = c.precision;
    EXPECT_EQ(Expand("<when>", entry), c.when) << c.days;
  }
  TOPObj august = Entry(0, "P", "", 0, 52);
  august.Precision = TDatePrecision::Month;
  EXPECT_EQ(Expand("<mm><th>", august), "2nd");
  formats_.SetWhenText(TEventFormats::kWhenOtherMonth, "dans <mm> mois");
  EXPECT_EQ(Expand("<when>", august), "dans 2 mois");
}

// Every variant can be met: the editor's sample shaped for it takes it.
TEST_F(EntryFormatterTest, EachVariantIsTakenByTheEntryShapedForIt) {
  for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) {
    formats_.SetVariantText(variant, "variant " + std::to_string(variant));
    TOPObj entry = Entry(0, "P", "Ann", 7, 1);
    TVariantChoice::Shape(variant, entry);
    const bool otherDate = TEventFormats::VariantEvent(variant) == TEventFormats::kOtherDateEvent;
    EXPECT_EQ(formatter_.FormatWithRow(entry, otherDate ? -1 : entry.EventIndex), "Variant " + std::to_string(variant))
        << TEventFormats::VariantLabel(variant);
  }
}

// The user's own wording wins where a variant is left empty: a French Birth
// text with every variant emptied reads in French for the dead and for an
// unknown year too.
TEST_F(EntryFormatterTest, AnEmptyVariantGivesWayToItsEventsOwnText) {
  formats_.SetTemplate(0, "<name> fête ses <yy> ans <when>");
  formats_.SetWhenText(0, "aujourd'hui");
  for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) formats_.SetVariantText(variant, "");
  TOPObj dead = Entry(0, "P", "Léa", 90, 0);
  dead.Dead = true;
  TOPObj yearUnknown = Entry(0, "P", "Léa", 2025, 0);
  yearUnknown.YearUnknown = true;
  EXPECT_EQ(formatter_.FormatEntry(dead, false, items_), "Léa fête ses 90 ans aujourd'hui");
  EXPECT_EQ(formatter_.FormatEntry(yearUnknown, false, items_), "Léa fête ses 2025 ans aujourd'hui");

  // One variant emptied: the next that fits speaks before the event's own text.
  for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) {
    formats_.SetVariantText(variant, TEventFormats::DefaultVariant(variant));
  }
  formats_.SetVariantText(TEventFormats::kBirthDeadApproximate, "");
  TOPObj deadAbout = dead;
  deadAbout.Approximate = true;
  EXPECT_EQ(formatter_.FormatEntry(deadAbout, false, items_), "Léa would have been 90 aujourd'hui");
  for (int variant = 0; variant < TEventFormats::kVariantRows; ++variant) formats_.SetVariantText(variant, "");

  // A date column: its own row, else nothing when "Other date" is empty too.
  items_.push_back("Baptism");
  TOPObj baptism = Entry(7, "P", "Léa", 3, 0);
  baptism.YearUnknown = true;
  EXPECT_EQ(formatter_.FormatEntry(baptism, false, items_), "");
  formats_.SetTemplate(formats_.AddRow("Baptism"), "baptême de <name>");
  EXPECT_EQ(formatter_.FormatEntry(baptism, false, items_), "Baptême de Léa");
}

// A calendar event keeps its day for itself: its title has no "today",
// "tomorrow", "in N days" or "this month".
TEST_F(EntryFormatterTest, CalendarSentencesLeaveOutTheWhen) {
  TOPObj marriage = Entry(1, "F", "A = B", 25, 5);
  EXPECT_EQ(formatter_.FormatCalendarEntry(marriage, items_), "It's the 25th (silver) wedding anniversary of A = B");
  EXPECT_EQ(formatter_.FormatCalendarEntry(Entry(3, "P", "Ada", 10, 1), items_), "It will be 10 years since the death of Ada");
  TOPObj partial = Entry(0, "P", "Ada", 47, 21);
  partial.Precision = TDatePrecision::Month;
  EXPECT_EQ(formatter_.FormatCalendarEntry(partial, items_), "Ada turns 47");
  TOPObj related = marriage;
  related.Relation = "your son and your daughter-in-law";
  EXPECT_EQ(formatter_.FormatCalendarEntry(related, items_),
            "It's the 25th (silver) wedding anniversary of A = B, your son and your daughter-in-law");
}

TEST_F(EntryFormatterTest, SentencesKeepSingleBlanksOnly) {
  struct Case {
    const char *name, *sentence;
  } const cases[] = {
      {" Reed", "Reed is 40 years old today"},
      {"Mary ", "Mary is 40 years old today"},
      {"Mary  Ann   Reed", "Mary Ann Reed is 40 years old today"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatter_.FormatEntry(Entry(0, "P", c.name, 40, 0), false, items_), c.sentence);
  formats_.SetTemplate(0, "  <name>  turns <yy> <when>  ");
  EXPECT_EQ(formatter_.FormatEntry(Entry(0, "P", "Ann", 40, 0), false, items_), "Ann turns 40 today");
}

}  // namespace
}  // namespace mindrel
