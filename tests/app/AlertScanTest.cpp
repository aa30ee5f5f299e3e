#include "app/AlertScan.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "app/AlertEntry.h"
#include "tests/app/FakeRecord.h"

namespace mindrel {
namespace {

using testing::FakeRecord;
using testing::Written;

FakeRecord Person(std::int32_t code, const std::string& first, const std::string& column, const std::string& date) {
  FakeRecord row;
  row.integers["Code"] = code;
  row.texts["FirstNames"] = first;
  row.texts["Surname"] = "SMITH";
  if (!date.empty()) row.dates[column + "~B"] = Written(date);
  return row;
}

FakeRecord Family(std::int32_t code, const std::string& column, const std::string& date) {
  FakeRecord row;
  row.integers["Code"] = code;
  row.texts["Fathers name"] = "SMITH, John";
  row.texts["Mothers name"] = "BROWN, Mary";
  row.dates[column + "~B"] = Written(date);
  return row;
}

// Answers each query with the rows given for its folder and SQL text, and
// records the queries it was asked.
struct FakeQuery : TScanQuery {
  std::map<std::string, std::vector<FakeRecord>> rows;  // folder + "|" + lines joined by "\n"
  std::vector<std::string> asked;
  std::string failOn;  // a query text that raises
  const std::vector<FakeRecord>* current = nullptr;
  std::size_t position = 0;
  bool open = false;

  static std::string Key(const std::string& folder, const std::vector<std::string>& lines) {
    std::string text = folder + "|";
    for (const auto& line : lines) text += line + "\n";
    return text;
  }
  void Open(const std::string& folder, const TEventQuery& query) override {
    const std::string key = Key(folder, query.SqlLines);
    asked.push_back(key);
    if (key == failOn) throw std::runtime_error("table is damaged");
    static const std::vector<FakeRecord> none;
    const auto found = rows.find(key);
    current = found == rows.end() ? &none : &found->second;
    position = 0;
    open = true;
  }
  bool Eof() const override { return position >= current->size(); }
  void Next() override { ++position; }
  void First() override { position = 0; }
  const TScanRecord& Current() const override { return (*current)[position]; }
  void Close() override { open = false; }
};

// People by code, the partners of each family, and the families' own rows
// for the dates a person's families give.
struct FakeTables : TFamilyTreeTables {
  std::vector<std::string> peopleColumns, familyColumns;
  std::map<std::int32_t, FakeRecord> people;
  std::map<std::int32_t, std::vector<std::int32_t>> partners;
  std::map<std::int32_t, FakeRecord> families;
  int familyDatesAsked = 0;

  void Open(const std::string&) override {}
  bool PeopleHasColumn(const std::string& name) override {
    return std::find(peopleColumns.begin(), peopleColumns.end(), name) != peopleColumns.end();
  }
  bool FamiliesHasColumn(const std::string& name) override {
    return std::find(familyColumns.begin(), familyColumns.end(), name) != familyColumns.end();
  }
  // The tree's people and links, as a function that feeds them.
  std::function<void(TKinGraphBuilder&)> kin = [](TKinGraphBuilder&) {};
  std::string kinUnread;
  std::string ReadKinship(TKinGraphBuilder& builder) override {
    kin(builder);
    return kinUnread;
  }
  std::map<std::int32_t, TSex> sexes;  // the people table's
  std::optional<TSex> PersonSex(std::int32_t code) override {
    const auto found = sexes.find(code);
    return found == sexes.end() ? std::nullopt : std::optional<TSex>(found->second);
  }
  std::vector<std::int32_t> PartnerCodes(std::int32_t code) override { return partners[code]; }
  const TScanRecord* FindPerson(std::int32_t code) override {
    const auto found = people.find(code);
    return found == people.end() ? nullptr : &found->second;
  }
  std::vector<TJDate> FamilyDates(std::int32_t person, const std::vector<std::string>& columns) override {
    ++familyDatesAsked;
    std::vector<TJDate> dates;
    for (const auto& [family, codes] : partners) {
      if (std::find(codes.begin(), codes.end(), person) == codes.end() || !families.contains(family)) continue;
      for (const std::string& column : columns) {
        TJDate date;
        if (families[family].DateRecord(column + "~B", date)) dates.push_back(date);
      }
    }
    return dates;
  }
  // Stands for another program changing the folder while it is read: the
  // reading runs as many times as given, the folder's rows changing between.
  int readings = 1;
  std::function<void(int reading)> beforeReading;
  void ReadAsOneState(const std::function<void()>& read) override {
    for (int reading = 1; reading <= readings; ++reading) {
      if (beforeReading) beforeReading(reading);
      read();
    }
  }
  void Close() override {}

  // A family whose partners, codes 10 × family and on, are living or not.
  void Couple(std::int32_t family, std::initializer_list<bool> living) {
    std::int32_t code = family * 10;
    for (const bool alive : living) {
      FakeRecord partner;
      partner.integers["Code"] = code;
      partner.booleans["Dead"] = !alive;
      people[code] = partner;
      partners[family].push_back(code++);
    }
  }
};

struct FakeIgnore : TIgnoreChecker {
  std::string index = "SurnameIdx";
  std::vector<std::tuple<bool, std::int32_t, std::string>> ignored;  // family, code, event
  std::string SelectPrimaryIndex() override { return std::exchange(index, ""); }
  void RestoreIndex(const std::string& name) override { index = name; }
  bool IsIgnored(bool family, std::int32_t code, const std::string&, const std::string& event) override {
    return std::find(ignored.begin(), ignored.end(), std::make_tuple(family, code, event)) != ignored.end();
  }
};

struct FakeEvents : TAddedEvents {
  std::vector<FakeRecord> records;
  std::size_t position = 0;
  void First() override { position = 0; }
  bool Eof() const override { return position >= records.size(); }
  void Next() override { ++position; }
  const TScanRecord& Current() const override { return records[position]; }
};

FakeRecord AddedEvent(int type, const std::string& description, int day, int month, int year) {
  FakeRecord row;
  row.integers = {{"EventType", type}, {"Event date DD", day}, {"Event date MM", month}, {"Event date YY", year}};
  row.texts["Description"] = description;
  return row;
}

const std::vector<std::string> kBirthLines = TAlertScan::QueryLines(false, "Search date", "P.[Dead] <> True AND ");

class AlertScanTest : public ::testing::Test {
 protected:
  AlertScanTest() {
    TSettings settings;
    options.EventItems = settings.EventItems;
    options.Folders = {"/trees/a"};
    options.LookAhead = 30;
    Tick({"Birth"});
  }

  void Tick(std::initializer_list<const char*> texts) {
    for (auto& item : options.EventItems) item.Ticked = false;
    for (const char* text : texts) {
      bool found = false;
      for (auto& item : options.EventItems) {
        if (item.Text == text) item.Ticked = found = true;
      }
      if (!found) options.EventItems.push_back({text, true});
    }
  }

  void Scan(CivilDate today = {2026, 12, 10}) {
    const FixedClock clock(today);
    TAlertScan scan(clock, tables, query, ignore, events);
    scan.RefreshOutputList(options, alerts);
  }

  // "name|years|yyyy-mm-dd" per entry, in list order.
  std::vector<std::string> Listed() const {
    std::vector<std::string> out;
    for (int i = 0; i < alerts.Count(); ++i) {
      const TOPObj& e = alerts.Entry(i);
      const CivilDate day = DecodeDate(e.Date);
      char date[16];
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.year, day.month, day.day);
      out.push_back(e.Name + "|" + std::to_string(e.Years) + "|" + date);
    }
    return out;
  }

  TScanOptions options;
  FakeTables tables;
  FakeQuery query;
  FakeIgnore ignore;
  FakeEvents events;
  TAlertList alerts;
};

TEST(AlertScanQueries, TheFourLinesOfEveryQuery) {
  EXPECT_EQ(TAlertScan::QueryLines(false, "Search date", "P.[Dead] <> True AND "),
            (std::vector<std::string>{"SELECT *", "FROM People P",
                                      "WHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL",
                                      "ORDER BY P.[Search date~J]"}));
  EXPECT_EQ(TAlertScan::QueryLines(true, "Marriage date", ""),
            (std::vector<std::string>{"SELECT *", "FROM Families F", "WHERE F.[Marriage date~J] IS NOT NULL",
                                      "ORDER BY F.[Marriage date~J]"}));
  EXPECT_EQ(TAlertScan::QueryLines(false, "Date of baptism", "")[2], "WHERE P.[Date of baptism~J] IS NOT NULL");
  EXPECT_EQ(TAlertScan::DayKey(1, 5), "0105");
  EXPECT_EQ(TAlertScan::DayKey(12, 31), "1231");
}

TEST_F(AlertScanTest, WindowAndDateRules) {
  struct Case {
    const char* what;
    int lookAhead;
    bool partial;
    CivilDate today;
    std::string stored;
    std::vector<std::string> expected;
  } const cases[] = {
      {"today only", 0, false, {2026, 12, 10}, "10 Dec 1984", {"John SMITH|42|2026-12-10"}},
      {"tomorrow is outside 0", 0, false, {2026, 12, 10}, "11 Dec 1984", {}},
      {"inside the window", 30, false, {2026, 12, 10}, "9 Jan 1950", {"John SMITH|77|2027-01-09"}},
      {"a year ahead shares today's key", 365, false, {2026, 12, 10}, "10 Dec 1984", {"John SMITH|42|2026-12-10"}},
      {"the last day of 364", 364, false, {2026, 12, 10}, "9 Dec 1984", {"John SMITH|43|2027-12-09"}},
      {"yesterday is beyond 363", 363, false, {2026, 12, 10}, "9 Dec 1984", {}},
      {"29 February in a common year", 60, false, {2027, 2, 1}, "29 Feb 1960", {"John SMITH|67|2027-02-28"}},
      {"29 February in a leap year", 60, false, {2028, 2, 1}, "29 Feb 1960", {"John SMITH|68|2028-02-29"}},
      {"month and year without the option", 30, false, {2026, 12, 10}, "Dec 1950", {}},
      {"month and year with the option", 30, true, {2026, 11, 30}, "Dec 1950", {"John SMITH|76|2026-12-01"}},
      {"year alone with the option", 40, true, {2026, 12, 10}, "1950", {"John SMITH|77|2027-01-01"}},
      {"a phrase never", 365, true, {2026, 12, 10}, "'in the winter", {}},
      {"qualifiers are undone", 30, false, {2026, 12, 10}, "AFT 31 Dec 1900", {"John SMITH|126|2026-12-31"}},
      {"before Christ", 30, false, {2026, 12, 10}, "15 Dec 44 BC", {"John SMITH|2069|2026-12-15"}},
  };
  options.Alive = false;  // some of them could not be alive any more
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    options.LookAhead = c.lookAhead;
    options.Partial = c.partial;
    query.rows.clear();
    query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Search date", ""))] = {
        Person(1, "John", "Search date", c.stored)};
    Scan(c.today);
    EXPECT_EQ(Listed(), c.expected);
  }
}

TEST_F(AlertScanTest, DayAndMonthWithoutYearIsNotPartial) {
  FakeRecord row = Person(1, "John", "Search date", "12 Dec 1900");
  row.dates["Search date~B"].YearUnknown = 1;
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {row};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH|126|2026-12-12"}));
  EXPECT_TRUE(alerts.Entry(0).YearUnknown) << "the count must not be shown";
  EXPECT_EQ(alerts.Entry(0).EventName, "Birth");
}

// The entry says whether the person counts as dead, so the sentence can say
// it too; with "Only living people" the dead are left out, whether marked so
// or only too old to be alive.
TEST_F(AlertScanTest, WhoCountsAsDeadIsWordedForTheDeadOrLeftOut) {
  Tick({"Birth", "Baptism"});
  tables.peopleColumns = {"Baptism"};
  FakeRecord flagged = Person(1, "Flagged", "Search date", "11 Dec 1990");
  flagged.booleans["Dead"] = true;
  FakeRecord dated = Person(2, "Dated", "Search date", "11 Dec 1990");
  dated.dates["Death date~B"] = Written("ABT 2020");
  const FakeRecord old = Person(3, "Old", "Search date", "11 Dec 1900");
  FakeRecord cleared = Person(4, "Cleared", "Search date", "11 Dec 1990");
  ClearJDate(cleared.dates["Death date~B"]);
  const FakeRecord living = Person(5, "Living", "Search date", "11 Dec 1990");
  FakeRecord married = Person(6, "Married", "Search date", "11 Dec 1990");
  married.dates["Search date~B"].YearUnknown = 1;
  tables.partners[60] = {6};
  tables.families[60] = Family(60, "Marriage date", "12 May 1890");
  const FakeRecord baptised = Person(3, "Old", "Baptism", "12 Dec 1900");
  const std::vector<FakeRecord> people = {flagged, dated, old, cleared, living, married};
  for (const bool alive : {false, true}) {
    SCOPED_TRACE(alive ? "only the living" : "the dead too");
    options.Alive = alive;
    const std::string living = alive ? "P.[Dead] <> True AND " : "";
    query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Search date", living))] = people;
    query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Baptism", living))] = {baptised};
    Scan();
    std::vector<std::string> dead;
    for (int i = 0; i < alerts.Count(); ++i) {
      dead.push_back(alerts.Entry(i).Name + (alerts.Entry(i).Dead ? " dead" : " living"));
    }
    if (alive) {
      EXPECT_EQ(dead, (std::vector<std::string>{"Cleared SMITH living", "Living SMITH living"}));
    } else {
      EXPECT_EQ(dead, (std::vector<std::string>{"Flagged SMITH dead", "Dated SMITH dead", "Old SMITH dead",
                                                "Cleared SMITH living", "Living SMITH living", "Married SMITH dead",
                                                "Old SMITH dead"}));
    }
  }
}

// A qualified date is approximate; a partial one is known to its month or
// its year only.
TEST_F(AlertScanTest, QualifiedAndPartialDatesAreMarked) {
  options.Partial = true;
  options.LookAhead = 40;
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {
      Person(1, "Exact", "Search date", "12 Dec 1990"), Person(2, "About", "Search date", "ABT 13 Dec 1990"),
      Person(3, "Before", "Search date", "BEF 14 Dec 1990"), Person(4, "Month", "Search date", "Jan 1991"),
      Person(5, "Year", "Search date", "1992")};
  Scan();
  std::vector<std::string> marks;
  for (int i = 0; i < alerts.Count(); ++i) {
    const TOPObj& e = alerts.Entry(i);
    marks.push_back(e.Name + (e.Approximate ? " about" : "") +
                    (e.Precision == TDatePrecision::Month  ? " month"
                     : e.Precision == TDatePrecision::Year ? " year"
                                                           : ""));
  }
  EXPECT_EQ(marks, (std::vector<std::string>{"Exact SMITH", "About SMITH about", "Before SMITH about", "Month SMITH month",
                                             "Year SMITH year"}));
}

// In a common year a 29 February falls on the 28th, on 1 March, or not at
// all, as the option says; in a leap year on its own day.
TEST_F(AlertScanTest, LeapDayAnniversariesInACommonYear) {
  Tick({"Birth", "Added annual"});
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "Leap", "Search date", "29 Feb 1960")};
  events.records = {AddedEvent(5, "Leap day party", 29, 2, 0)};
  struct Case {
    TLeapDay leapDay;
    CivilDate today;
    std::vector<std::string> expected;
  } const cases[] = {
      {TLeapDay::Feb28, {2027, 2, 20}, {"Leap SMITH|67|2027-02-28", "Leap day party|2027|2027-02-28"}},
      {TLeapDay::Mar1, {2027, 2, 20}, {"Leap SMITH|67|2027-03-01", "Leap day party|2027|2027-03-01"}},
      {TLeapDay::LeapYearsOnly, {2027, 2, 20}, {}},
      {TLeapDay::Mar1, {2028, 2, 20}, {"Leap SMITH|68|2028-02-29", "Leap day party|2028|2028-02-29"}},
  };
  for (const Case& c : cases) {
    options.LeapDay = c.leapDay;
    Scan(c.today);
    EXPECT_EQ(Listed(), c.expected) << static_cast<int>(c.leapDay);
  }
  // A window from 1 March of a common year to the 29 February a year on
  // announces it once, on its first day.
  options.LeapDay = TLeapDay::Mar1;
  options.LookAhead = 365;
  Scan({2027, 3, 1});
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Leap SMITH|67|2027-03-01", "Leap day party|2027|2027-03-01"}));
}

// No wedding anniversary after the couple's divorce, whose day need not be
// known; the divorce anniversary itself stays.
TEST_F(AlertScanTest, NoWeddingAnniversaryAfterADivorce) {
  Tick({"Marriage", "Divorce"});
  options.Alive = false;
  auto family = [](std::int32_t code, const char* married, const char* divorced) {
    FakeRecord row = Family(code, "Marriage date", married);
    if (std::string(divorced) == "cleared") {
      ClearJDate(row.dates["Divorce date~B"]);
    } else if (*divorced) {
      row.dates["Divorce date~B"] = Written(divorced);
    }
    return row;
  };
  const FakeRecord divorced = family(7, "12 Dec 2000", "1 Mar 2013");
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Marriage date", ""))] = {
      divorced, family(8, "13 Dec 2000", "'after the war"), family(9, "14 Dec 2000", "2027"),
      family(10, "15 Dec 2000", "cleared"), family(11, "16 Dec 2000", "")};
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Divorce date", ""))] = {
      Family(7, "Divorce date", "20 Dec 2013")};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH = Mary BROWN|26|2026-12-14", "John SMITH = Mary BROWN|26|2026-12-15",
                                                "John SMITH = Mary BROWN|26|2026-12-16",
                                                "John SMITH = Mary BROWN|13|2026-12-20"}));
  options.NoWeddingAfterDivorce = false;
  Scan();
  EXPECT_EQ(Listed().size(), 6u);
}

TEST_F(AlertScanTest, NullDatesAndDamagedYearsAreSkipped) {
  FakeRecord damaged = Person(3, "Far", "Search date", "10 Dec 1984");
  damaged.dates["Search date~B"].JDay = 2000000000;
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(2, "Null", "Search date", ""), damaged};
  Scan();
  EXPECT_TRUE(Listed().empty());
}

// "Only living people" decides whose birthdays and weddings are announced:
// a wedding only while both partners live, a divorce while one does; the
// death anniversaries stay.
TEST_F(AlertScanTest, LivingOptionAndCouples) {
  Tick({"Birth", "Death", "Marriage", "Divorce"});
  const auto marriage = TAlertScan::QueryLines(true, "Marriage date", "");
  const auto divorce = TAlertScan::QueryLines(true, "Divorce date", "");
  const auto death = TAlertScan::QueryLines(false, "Death date", "");
  query.rows[FakeQuery::Key("/trees/a", marriage)] = {Family(7, "Marriage date", "12 Dec 2000"),
                                                      Family(8, "Marriage date", "13 Dec 2001"),
                                                      Family(9, "Marriage date", "14 Dec 2002")};
  query.rows[FakeQuery::Key("/trees/a", divorce)] = {Family(7, "Divorce date", "15 Dec 1990"),
                                                     Family(8, "Divorce date", "16 Dec 1991")};
  FakeRecord died = Person(3, "Ada", "Death date", "17 Dec 1999");
  died.booleans["Dead"] = true;
  query.rows[FakeQuery::Key("/trees/a", death)] = {died};
  tables.Couple(7, {false, false});
  tables.Couple(8, {true, false});
  tables.Couple(9, {true, true});
  Scan();
  EXPECT_EQ(query.asked, (std::vector<std::string>{FakeQuery::Key("/trees/a", kBirthLines), FakeQuery::Key("/trees/a", death),
                                                   FakeQuery::Key("/trees/a", marriage),
                                                   FakeQuery::Key("/trees/a", divorce)}));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH = Mary BROWN|24|2026-12-14",
                                                "John SMITH = Mary BROWN|35|2026-12-16", "Ada SMITH|27|2026-12-17"}));

  options.Alive = false;
  query.asked.clear();
  Scan();
  EXPECT_EQ(query.asked[0], FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Search date", "")));
  ASSERT_EQ(Listed().size(), 6u);
  // The weddings of couples with a dead partner are worded for the dead.
  EXPECT_TRUE(alerts.Entry(0).Dead);
  EXPECT_TRUE(alerts.Entry(1).Dead);
  EXPECT_FALSE(alerts.Entry(2).Dead);
}

TEST_F(AlertScanTest, IgnoreListAppliesOnlyWithItsOptionAndRestoresTheIndex) {
  Tick({"Birth", "Marriage"});
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "John", "Search date", "10 Dec 1984"),
                                                         Person(2, "Jane", "Search date", "11 Dec 1985")};
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Marriage date", ""))] = {
      Family(7, "Marriage date", "12 Dec 2000")};
  tables.Couple(7, {true, true});
  ignore.ignored = {{false, 2, "Birth"}, {true, 7, "Marriage"}};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH|42|2026-12-10"}));
  EXPECT_EQ(ignore.index, "SurnameIdx");

  options.Exclude = false;
  Scan();
  EXPECT_EQ(Listed().size(), 3u);
}

TEST_F(AlertScanTest, CustomColumnsInEitherTablePeopleFirstAndEveryFolder) {
  Tick({"Baptism", "Census", "Nowhere"});
  options.Folders = {"/trees/a", "/trees/b"};
  tables.peopleColumns = {"Baptism", "Census"};
  tables.familyColumns = {"Census"};
  options.Alive = false;
  for (const char* folder : {"/trees/a", "/trees/b"}) {
    query.rows[FakeQuery::Key(folder, TAlertScan::QueryLines(false, "Baptism", ""))] = {
        Person(1, "John", "Baptism", "20 Dec 1984")};
  }
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Census", ""))] = {
      Family(7, "Census", "21 Dec 1901")};
  Scan();
  EXPECT_EQ(query.asked.size(), 6u);
  EXPECT_EQ(query.asked[1], FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Census", "")));
  EXPECT_EQ(query.asked[2], FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Census", "")));
  ASSERT_EQ(alerts.Count(), 3);
  EXPECT_EQ(alerts.Entry(0).DBFolder, "/trees/a");
  EXPECT_EQ(alerts.Entry(1).DBFolder, "/trees/b");
  EXPECT_EQ(alerts.Entry(0).EventIndex, 7);
  EXPECT_EQ(alerts.Entry(2).Kind, "F");
  EXPECT_EQ(alerts.Entry(2).EventIndex, 8);
}

// A yahrzeit for every death with a full date, on the days an established
// Hebrew-calendar program gives for December 2026 (25 Kislev 5787 is 5
// December). The count is of Hebrew years.
TEST_F(AlertScanTest, YahrzeitsOfDeathsWithAFullDate) {
  Tick({"Yahrzeit"});
  options.Alive = false;
  const auto lines = TAlertScan::QueryLines(false, "Death date", "");
  FakeRecord evening = Person(2, "Ruth", "Death date", "25 Dec 2024");
  evening.afterSunset.insert("Death date~B");
  query.rows[FakeQuery::Key("/trees/a", lines)] = {
      Person(1, "Sarah", "Death date", "26 Dec 2024"),  // 25 Kislev 5785, the first day of Hanukkah
      evening,                                           // the eve of it
      Person(3, "Leah", "Death date", "ABT 8 Dec 2023"),  // 25 Kislev 5784
      Person(4, "Abe", "Death date", "1 Dec 2000"),       // 4 Kislev 5761: 14 November 2026
      Person(5, "Mary", "Death date", "24 Dec 2024"),     // 23 Kislev 5785: 3 December 2026
      Person(6, "Partial", "Death date", "Dec 2010"),
      Person(7, "Phrase", "Death date", "'in the winter"),
  };
  options.Partial = true;  // partial dates have no yahrzeit all the same
  Scan({2026, 12, 1});
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Mary SMITH|2|2026-12-03", "Sarah SMITH|2|2026-12-05",
                                                "Ruth SMITH|2|2026-12-05", "Leah SMITH|3|2026-12-05"}));
  for (int i = 0; i < alerts.Count(); ++i) {
    EXPECT_EQ(alerts.Entry(i).EventIndex, kYahrzeit);
    EXPECT_EQ(alerts.Entry(i).EventName, "Yahrzeit");
  }
  EXPECT_EQ(alerts.Entry(0).HebrewDate, "23 Kislev");
  EXPECT_EQ(alerts.Entry(1).HebrewDate, "25 Kislev");

  // Like the death anniversaries, listed while only the living are
  // congratulated: remembering the dead is what they are for.
  options.Alive = true;
  Scan({2026, 12, 1});
  EXPECT_EQ(alerts.Count(), 4);
}

TEST_F(AlertScanTest, JubileesAreMarkedWhileTheOptionIsOn) {
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "Fifty", "Search date", "12 Dec 1976"),
                                                         Person(2, "Fiftyone", "Search date", "13 Dec 1975")};
  Scan();
  ASSERT_EQ(alerts.Count(), 2);
  EXPECT_TRUE(alerts.Entry(0).Jubilee);
  EXPECT_FALSE(alerts.Entry(1).Jubilee);
  options.MarkJubilees = false;
  Scan();
  EXPECT_FALSE(alerts.Entry(0).Jubilee);
}

// Today is Thursday 10 December 2026. What fell after the day the list was
// last shown, up to yesterday and no further back than the look-ahead days,
// is listed as missed.
TEST_F(AlertScanTest, WhatFellWhileTheListWasNotShown) {
  struct Case {
    const char* what;
    const char* lastShown;
    int lookAhead;
    bool whileAway;
    std::vector<std::string> missed;  // "name|years|day"
  } const cases[] = {
      {"a gap of several days", "2026-12-05", 30, true, {"Seven SMITH|40|2026-12-07", "Nine SMITH|46|2026-12-09"}},
      {"the day shown itself was seen", "2026-12-07", 30, true, {"Nine SMITH|46|2026-12-09"}},
      {"shown yesterday", "2026-12-09", 30, true, {}},
      {"shown today already", "2026-12-10", 30, true, {}},
      {"a gap longer than the window", "2026-10-01", 2, true, {"Nine SMITH|46|2026-12-09"}},
      {"a gap as long as the window", "2026-10-01", 3, true, {"Seven SMITH|40|2026-12-07", "Nine SMITH|46|2026-12-09"}},
      {"no look-ahead, no catching up", "2026-12-05", 0, true, {}},
      {"a clock set back", "2027-01-05", 30, true, {}},
      {"never shown", "", 30, true, {}},
      {"the option off", "2026-12-05", 30, false, {}},
  };
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {
      Person(1, "Five", "Search date", "5 Dec 1990"), Person(2, "Seven", "Search date", "7 Dec 1986"),
      Person(3, "Nine", "Search date", "9 Dec 1980"), Person(4, "Ten", "Search date", "10 Dec 1984")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    options.LookAhead = c.lookAhead;
    options.WhileAway = c.whileAway;
    options.LastShown.reset();
    CivilDate shown;
    if (ParseIsoDate(c.lastShown, shown)) options.LastShown = shown;
    Scan();
    std::vector<std::string> listed = Listed(), missed;
    for (int i = 0; i < alerts.Count(); ++i) {
      if (alerts.Entry(i).Missed) missed.push_back(listed[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(missed, c.missed);
    // The days ahead are listed as ever, after what was missed.
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.back(), "Ten SMITH|42|2026-12-10");
    EXPECT_FALSE(alerts.Entry(alerts.Count() - 1).Missed);
  }
}

TEST_F(AlertScanTest, MissedYahrzeitsAndAddedEventsToo) {
  Tick({"Yahrzeit", "Added annual"});
  options.Alive = false;
  options.LastShown = CivilDate{2026, 12, 1};
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Death date", ""))] = {
      Person(1, "Sarah", "Death date", "26 Dec 2024")};  // 25 Kislev 5787 is 5 December 2026
  events.records = {AddedEvent(kAddedAnnual, "Club day", 8, 12, 0)};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Sarah SMITH|2|2026-12-05", "Club day|2026|2026-12-08"}));
  for (int i = 0; i < alerts.Count(); ++i) EXPECT_TRUE(alerts.Entry(i).Missed) << i;
  EXPECT_EQ(alerts.Entry(0).HebrewDate, "25 Kislev");
}

// A folder read again because another program changed it lists what the last
// reading found, once: nothing of the earlier reading stays.
TEST_F(AlertScanTest, AFolderReadAgainListsOnlyItsLastReading) {
  Tick({"Birth", "Baptism"});
  options.Folders = {"/trees/a", "/trees/b"};
  tables.peopleColumns = {"Baptism"};
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "John", "Search date", "10 Dec 1984")};
  const std::string baptisms = FakeQuery::Key("/trees/b", TAlertScan::QueryLines(false, "Baptism", "P.[Dead] <> True AND "));
  tables.readings = 2;
  tables.beforeReading = [&](int reading) {
    query.rows[baptisms] = {Person(2, reading == 1 ? "Old" : "New", "Baptism", "12 Dec 2000")};
  };
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH|42|2026-12-10", "New SMITH|26|2026-12-12"}));
}

TEST_F(AlertScanTest, AddedEventsOfTickedTypes) {
  Tick({"Added fixed", "Added annual"});
  options.Folders.clear();
  events.records = {AddedEvent(4, "Wedding of our parents", 15, 12, 1960),
                    AddedEvent(5, "Christmas", 25, 12, 0),
                    AddedEvent(4, "Too far", 20, 1, 1990),
                    AddedEvent(9, "Unknown type", 11, 12, 2000),
                    AddedEvent(5, "No such day", 0, 0, 0)};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Wedding of our parents|66|2026-12-15", "Christmas|2026|2026-12-25"}));
  EXPECT_EQ(alerts.Entry(0).Kind, "AF");
  EXPECT_EQ(alerts.Entry(1).Kind, "AA");
  EXPECT_EQ(alerts.Entry(1).EventName, "Added annual");

  Tick({"Added annual"});
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Christmas|2026|2026-12-25"}));

  // A fixed event is listed from its own day on, never before it.
  Tick({"Added fixed"});
  events.records = {AddedEvent(4, "Planned move", 22, 12, 2027), AddedEvent(4, "Moved in", 22, 12, 2026)};
  Scan();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Moved in|0|2026-12-22"}));
  Scan({2027, 12, 10});
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Planned move|0|2027-12-22", "Moved in|1|2027-12-22"}));
}

// A folder that fails part way keeps what was found in it, is named with the
// cause, and the other folders are still scanned.
TEST_F(AlertScanTest, AFolderThatFailsKeepsWhatWasFoundIsNamedAndTheOthersAreScanned) {
  Tick({"Birth", "Marriage"});
  options.Folders = {"/trees/a", "/trees/b"};
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "John", "Search date", "10 Dec 1984")};
  query.rows[FakeQuery::Key("/trees/b", kBirthLines)] = {Person(2, "Mary", "Search date", "12 Dec 1990")};
  query.failOn = FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Marriage date", ""));
  const FixedClock clock(CivilDate{2026, 12, 10});
  TAlertScan scan(clock, tables, query, ignore, events);
  scan.RefreshOutputList(options, alerts);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH|42|2026-12-10", "Mary SMITH|36|2026-12-12"}));
  EXPECT_EQ(scan.Problems(), std::vector<std::string>{"The family tree in \"/trees/a\" could not be read whole: "
                                                      "table is damaged. The alerts found in it before are listed."});
  EXPECT_EQ(ignore.index, "SurnameIdx");
}

}  // namespace
}  // namespace mindrel

namespace mindrel {
namespace {

// A home person set for the folder: every entry says how its person or
// couple stands to them, and the family limit leaves out the others.
class AlertScanKinshipTest : public AlertScanTest {
 protected:
  AlertScanKinshipTest() {
    Tick({"Birth", "Marriage"});
    options.Alive = false;
    options.HomePeople["/trees/a"] = 1;
    // 1 ME and 2 wife (family 20) have 3 SON, who married 4 (family 21);
    // 5 UNCLE is ME's father's brother through 6 (family 22, with 7 FATHER
    // and 1 ME's grandparents); 9 STRANGER and 10 his wife are nobody's kin.
    // The people are not read: the links name them.
    tables.sexes = {{1, TSex::Male},  {2, TSex::Female}, {3, TSex::Male}, {4, TSex::Female}, {5, TSex::Male},
                    {6, TSex::Male},  {7, TSex::Male},   {9, TSex::Male}, {10, TSex::Female}};
    tables.kin = [](TKinGraphBuilder& tree) {
      tree.TakePeopleFromLinks();
      tree.AddPartner(20, 1), tree.AddPartner(20, 2), tree.AddChild(20, 3);
      tree.AddPartner(21, 3), tree.AddPartner(21, 4);
      tree.AddPartner(22, 6), tree.AddChild(22, 7), tree.AddChild(22, 5);
      tree.AddPartner(23, 7), tree.AddChild(23, 1);
      tree.AddPartner(24, 9), tree.AddPartner(24, 10);
    };
    const auto births = TAlertScan::QueryLines(false, "Search date", "");
    const auto marriages = TAlertScan::QueryLines(true, "Marriage date", "");
    query.rows[FakeQuery::Key("/trees/a", births)] = {
        Person(1, "Me", "Search date", "11 Dec 1950"), Person(3, "Son", "Search date", "12 Dec 1980"),
        Person(5, "Uncle", "Search date", "13 Dec 1920"), Person(9, "Stranger", "Search date", "14 Dec 1950")};
    for (FakeRecord& row : query.rows[FakeQuery::Key("/trees/a", births)]) row.texts["Sex"] = "M";
    query.rows[FakeQuery::Key("/trees/a", marriages)] = {Family(21, "Marriage date", "15 Dec 2005"),
                                                         Family(24, "Marriage date", "16 Dec 1975"),
                                                         Family(20, "Marriage date", "17 Dec 1975")};
  }

  std::vector<std::string> Relations() const {
    std::vector<std::string> out;
    for (int i = 0; i < alerts.Count(); ++i) out.push_back(alerts.Entry(i).Name + ": " + alerts.Entry(i).Relation);
    return out;
  }
};

TEST_F(AlertScanKinshipTest, EntriesNameTheRelationshipToTheHomePerson) {
  Scan();
  EXPECT_EQ(Relations(), (std::vector<std::string>{
                             "Me SMITH: you", "Son SMITH: your son", "Uncle SMITH: your uncle", "Stranger SMITH: ",
                             "John SMITH = Mary BROWN: your son and your daughter-in-law",
                             "John SMITH = Mary BROWN: ", "John SMITH = Mary BROWN: you and your wife"}));
  options.HomePeople.clear();
  Scan();
  for (int i = 0; i < alerts.Count(); ++i) EXPECT_EQ(alerts.Entry(i).Relation, "") << "no home person, no relation";
}

TEST_F(AlertScanKinshipTest, TheFamilyLimitKeepsRelativesAndCouplesWithOne) {
  options.Limit = TFamilyLimit::Relatives;
  Scan();
  EXPECT_EQ(alerts.Count(), 5) << "the stranger and his marriage are left out";
  options.Limit = TFamilyLimit::BloodRelatives;
  options.Degrees = 1;
  Scan();
  EXPECT_EQ(Relations(), (std::vector<std::string>{"Me SMITH: you", "Son SMITH: your son",
                                                   "John SMITH = Mary BROWN: your son and your daughter-in-law",
                                                   "John SMITH = Mary BROWN: you and your wife"}));
  options.Degrees = 3;
  Scan();
  EXPECT_EQ(alerts.Count(), 5) << "the uncle is a relative of the third degree";
  // A source without a home person is not limited: nobody there is known.
  options.HomePeople.clear();
  Scan();
  EXPECT_EQ(alerts.Count(), 7);
}

TEST_F(AlertScanKinshipTest, AHomePersonNoLongerInTheTreeIsDroppedWithAMessage) {
  options.HomePeople["/trees/a"] = 77;
  options.Limit = TFamilyLimit::Relatives;
  const FixedClock clock(CivilDate{2026, 12, 10});
  TAlertScan scan(clock, tables, query, ignore, events);
  scan.RefreshOutputList(options, alerts);
  EXPECT_EQ(alerts.Count(), 7) << "listed as without a home person";
  EXPECT_EQ(scan.LostHomes(), (std::vector<std::string>{"/trees/a"}));
  ASSERT_EQ(scan.KinshipMessages().size(), 1u);
  EXPECT_NE(scan.KinshipMessages()[0].find("[P77]"), std::string::npos);

  // Links that could not all be read: the home person may be among the
  // unread, so the setting stays; the problem is told once.
  tables.kinUnread = "Links.dat: the table is damaged";
  scan.RefreshOutputList(options, alerts);
  EXPECT_TRUE(scan.LostHomes().empty());
  ASSERT_EQ(scan.KinshipMessages().size(), 1u);
  EXPECT_NE(scan.KinshipMessages()[0].find("the table is damaged"), std::string::npos);

  // In the tree but in no link: the home person has no relatives, and stays.
  tables.kinUnread.clear();
  tables.sexes[50] = TSex::Female;
  options.HomePeople["/trees/a"] = 50;
  scan.RefreshOutputList(options, alerts);
  EXPECT_TRUE(scan.LostHomes().empty());
  EXPECT_TRUE(scan.KinshipMessages().empty());
  EXPECT_EQ(alerts.Count(), 0) << "nobody is a relative";
}

// Where the people were read with the links, links to people who do not
// exist are counted with the other faults; where the links named the
// people, a couple's partner whom the people table lacks is found when the
// couple's relationship is told. Each fault is named once per source.
TEST_F(AlertScanKinshipTest, FaultsOfTheLinksAreNamedOncePerSource) {
  const auto kin = tables.kin;
  tables.kin = [kin, this](TKinGraphBuilder& tree) {
    for (const auto& [code, sex] : tables.sexes) tree.AddPerson(code, sex);
    tree.AddPartner(20, 1), tree.AddPartner(20, 2), tree.AddChild(20, 3);
    tree.AddPartner(21, 3), tree.AddPartner(21, 4);
    tree.AddChild(20, 404);
    tree.AddChild(21, 405);
    tree.AddChild(24, 9);
    tree.AddPartner(24, 9);
  };
  const FixedClock clock(CivilDate{2026, 12, 10});
  TAlertScan scan(clock, tables, query, ignore, events);
  scan.RefreshOutputList(options, alerts);
  ASSERT_EQ(scan.KinshipMessages().size(), 1u);
  EXPECT_EQ(scan.KinshipMessages()[0],
            "The family links of \"/trees/a\" have faults: 2 links name a person who is not in the tree; 1 person is "
            "linked as their own parent. The relationships leave them out.");
  EXPECT_EQ(alerts.Count(), 7);

  tables.kin = kin;
  tables.sexes.erase(4);
  scan.RefreshOutputList(options, alerts);
  ASSERT_EQ(scan.KinshipMessages().size(), 1u);
  EXPECT_EQ(scan.KinshipMessages()[0],
            "The family links of \"/trees/a\" have faults: 1 partner of couples in the list is not in the tree. The "
            "relationships leave them out.");
  EXPECT_NE(Relations()[4].find("your son"), std::string::npos) << Relations()[4];
}

}  // namespace
}  // namespace mindrel
