#include "app/AlertList.h"

#include <gtest/gtest.h>

#include <map>

#include "app/AlertEntry.h"

namespace mindrel {
namespace {

// A source record made of named texts.
class FakeRecord : public TEntrySource {
 public:
  explicit FakeRecord(std::map<std::string, std::string> fields) : fields_(std::move(fields)) {}
  std::string StringField(const std::string& name) const override {
    const auto it = fields_.find(name);
    return it == fields_.end() ? std::string() : it->second;
  }

 private:
  std::map<std::string, std::string> fields_;
};

TLAObj Day(int year, int month, int day) {
  TLAObj alertDay;
  alertDay.DateRec.JDay = DMYToJDay(day, month, year, true);
  alertDay.DateRec.DayUnknown = alertDay.DateRec.MonthUnknown = alertDay.DateRec.YearUnknown = 0;
  alertDay.Year = year;
  return alertDay;
}

const FakeRecord kPerson({{"FirstNames", "John"}, {"Surname", "SMITH"}});

TEST(AlertList, KeysOrderByDayThenByCounterText) {
  EXPECT_EQ(JDayToSearchStr(5115310), "0005115310");
  EXPECT_EQ(JDayToSearchStr(0), "0000000000");

  TAlertList list;
  const TLAObj later = Day(2005, 12, 29), earlier = Day(2005, 12, 28);
  list.AddAlert(0, 1960, later, 100, "/db", "P", false, kPerson, "=");
  for (int i = 1; i <= 11; ++i) list.AddAlert(0, 1960, earlier, 100 + i, "/db", "P", false, kPerson, "=");

  ASSERT_EQ(list.Count(), 12);
  // Counters compare as text: "10" and "11" come before "2".
  const char* expectedKeys[] = {"0005115310-1",  "0005115310-10", "0005115310-11", "0005115310-2",
                                "0005115310-3",  "0005115310-4",  "0005115310-5",  "0005115310-6",
                                "0005115310-7",  "0005115310-8",  "0005115310-9",  "0005115311-0"};
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Key(i), expectedKeys[i]) << i;
  EXPECT_EQ(list.Entry(1).Code, 110) << "the eleventh entry sorts before the third";
  EXPECT_EQ(list.Entry(11).Code, 100) << "the later day comes last although added first";

  list.Remove(0);
  EXPECT_EQ(list.Count(), 11);
  EXPECT_EQ(list.Key(0), "0005115310-10");
  list.FreeOPList();
  EXPECT_EQ(list.Count(), 0);
}

TEST(AlertList, AddAlertFillsTheEntry) {
  struct Case {
    int eventYear;
    bool bc;
    int years;
  } const cases[] = {
      {1980, false, 45}, {10, true, 2034}, {1, true, 2025}, {0, false, 2025}, {2025, false, 0},
  };
  for (const Case& c : cases) {
    TAlertList list;
    EXPECT_TRUE(list.AddAlert(3, c.eventYear, Day(2025, 6, 10), 12, "/db", "P", c.bc, kPerson, "="));
    EXPECT_EQ(list.Entry(0).Years, c.years) << c.eventYear << (c.bc ? " BC" : "");
  }
  TAlertList later;
  EXPECT_FALSE(later.AddAlert(4, 2030, Day(2025, 6, 10), 0, "", "AF", false, kPerson, "="))
      << "an event after the alert day has no anniversary yet";
  EXPECT_EQ(later.Count(), 0);

  TAlertList list;
  list.AddAlert(7, 1980, Day(2025, 6, 10), 12, "/data/tree", "P", false, kPerson, "=",
                {.EventName = "Baptism", .YearUnknown = true, .Dead = true, .Relation = "your son",
                 .HebrewDate = "16 Tevet"});
  const TOPObj& entry = list.Entry(0);
  EXPECT_EQ(entry.EventIndex, 7);
  EXPECT_EQ(entry.Date, EncodeDate(2025, 6, 10));
  EXPECT_EQ(entry.Kind, "P");
  EXPECT_EQ(entry.Code, 12);
  EXPECT_EQ(entry.DBFolder, "/data/tree");
  EXPECT_EQ(entry.Name, "John SMITH");
  EXPECT_FALSE(entry.Shaded);
  EXPECT_EQ(entry.EventName, "Baptism");
  EXPECT_TRUE(entry.YearUnknown);
  EXPECT_TRUE(entry.Dead);
  EXPECT_EQ(entry.Relation, "your son");
  EXPECT_EQ(entry.HebrewDate, "16 Tevet");
}

TEST(AlertList, BandsAlternateFromDayToDay) {
  const std::uint32_t white = 0xFFFFFF, first = 0xD9F9FF, second = 0xA3F1FF;
  struct Case {
    std::uint32_t first, second;
    std::vector<bool> shaded;  // entries: two on day 1, one on day 2, two on day 3
  } const cases[] = {
      {first, second, {false, false, true, false, false}},
      {white, second, {true, true, false, true, true}},  // white first: the first day is shaded
      {first, first, {false, false, true, true, true}},  // equal colours: every later day shaded
  };
  for (const Case& c : cases) {
    TAlertList list;
    for (int day : {10, 10, 11, 12, 12}) list.AddAlert(0, 1990, Day(2025, 6, day), 1, "", "P", false, kPerson, "=");
    list.ApplyBands(c.first, c.second);
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Entry(i).Shaded, c.shaded[static_cast<std::size_t>(i)]) << i;
  }
}

TEST(AlertEntry, DateTimeOfAFullDateOnly) {
  TJDate full;
  full.JDay = 5115310;
  full.DayUnknown = full.MonthUnknown = full.YearUnknown = 0;
  EXPECT_EQ(JDateToDateTime(full), 38714.0);

  TJDate phrase = full;
  phrase.SetPhrase("about Easter");
  EXPECT_EQ(JDateToDateTime(phrase), 0.0);
  for (std::uint8_t TJDate::*flag : {&TJDate::DayUnknown, &TJDate::MonthUnknown, &TJDate::YearUnknown}) {
    TJDate partial = full;
    partial.*flag = 1;
    EXPECT_EQ(JDateToDateTime(partial), 0.0);
  }
}

TEST(AlertEntry, ReorderName) {
  struct Case {
    const char *stored, *shown;
  } const cases[] = {
      {"Smith, John", "John Smith"},   {"Brown,Jane", "Jane Brown"},     {"John Smith", "John Smith"},
      {", John", "John"},              {"Smith,", "Smith"},              {"  Smith , John Paul  ", "John Paul Smith"},
      {"Smith, John, Jr", "John, Jr Smith"}, {"", ""},                   {",", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReorderName(c.stored), c.shown) << c.stored;
}

TEST(AlertEntry, BuildEntryName) {
  struct Case {
    const char* kind;
    std::map<std::string, std::string> fields;
    const char* indicator;
    const char* name;
  } const cases[] = {
      {"P", {{"FirstNames", "John"}, {"Surname", "SMITH"}}, "=", "John SMITH"},
      {"P", {{"Surname", "SMITH"}}, "=", "SMITH"},
      {"P", {{"FirstNames", "Hugo"}, {"Surname", " "}}, "=", "Hugo"},
      {"P", {{"FirstNames", "  "}}, "=", "[P12] no name"},
      {"F", {{"Fathers name", "Smith, John"}, {"Mothers name", "Brown,Jane"}}, "=", "John Smith = Jane Brown"},
      {"F", {{"Fathers name", "Smith, John"}}, "&", "John Smith"},  // one partner: no indicator
      {"F", {{"Mothers name", "Reed, Mary"}, {"Fathers name", " , "}}, "=", "Mary Reed"},
      {"F", {{"Mothers name", "Reed,"}}, "=", "Reed"},
      {"F", {}, "=", "[F12 no names]"},
      {"F", {{"Fathers name", " , "}}, " + ", "[F12 no names]"},
      {"AF", {{"Description", "VE day"}, {"FirstNames", "x"}}, "=", "VE day"},
      {"AA", {{"Description", "Christmas"}}, "=", "Christmas"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildEntryName(c.kind, 12, FakeRecord(c.fields), c.indicator), c.name) << c.kind;
  }
}

}  // namespace
}  // namespace mindrel
