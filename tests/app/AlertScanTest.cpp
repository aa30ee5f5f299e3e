#include "app/AlertScan.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "app/AlertEntry.h"

namespace mindrel {
namespace {

// A stored row: date records by "~B" column, integers, Booleans and texts by name.
struct FakeRecord : TScanRecord {
  std::map<std::string, TJDate> dates;
  std::map<std::string, std::int32_t> integers;
  std::map<std::string, bool> booleans;
  std::map<std::string, std::string> texts;

  bool DateRecord(const std::string& column, TJDate& date) const override {
    const auto found = dates.find(column);
    if (found == dates.end()) return false;
    date = found->second;
    return true;
  }
  std::int32_t IntegerField(const std::string& name) const override {
    const auto found = integers.find(name);
    return found == integers.end() ? 0 : found->second;
  }
  bool BooleanField(const std::string& name) const override {
    const auto found = booleans.find(name);
    return found != booleans.end() && found->second;
  }
  std::string StringField(const std::string& name) const override {
    const auto found = texts.find(name);
    return found == texts.end() ? "" : found->second;
  }
};

TJDate Written(const std::string& text) {
  TJDate date;
  std::string message;
  EXPECT_TRUE(StrToJDate(date, text, message, {1, ' '}, true)) << text << ": " << message;
  return date;
}

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

struct FakeTables : TFamilyTreeTables {
  std::vector<std::string> peopleColumns, familyColumns;
  std::map<std::int32_t, bool> livingPartner;
  void Open(const std::string&) override {}
  bool PeopleHasColumn(const std::string& name) override {
    return std::find(peopleColumns.begin(), peopleColumns.end(), name) != peopleColumns.end();
  }
  bool FamiliesHasColumn(const std::string& name) override {
    return std::find(familyColumns.begin(), familyColumns.end(), name) != familyColumns.end();
  }
  bool HasLivingPartner(std::int32_t code) override { return livingPartner[code]; }
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
      {"29 February in a common year", 60, false, {2027, 2, 1}, "29 Feb 1960", {}},
      {"29 February in a leap year", 60, false, {2028, 2, 1}, "29 Feb 1960", {"John SMITH|68|2028-02-29"}},
      {"month and year without the option", 30, false, {2026, 12, 10}, "Dec 1950", {}},
      {"month and year with the option", 30, true, {2026, 11, 30}, "Dec 1950", {"John SMITH|76|2026-12-01"}},
      {"year alone with the option", 40, true, {2026, 12, 10}, "1950", {"John SMITH|77|2027-01-01"}},
      {"a phrase never", 365, true, {2026, 12, 10}, "'in the winter", {}},
      {"qualifiers are undone", 30, false, {2026, 12, 10}, "AFT 31 Dec 1900", {"John SMITH|126|2026-12-31"}},
      {"before Christ", 30, false, {2026, 12, 10}, "15 Dec 44 BC", {"John SMITH|2069|2026-12-15"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    options.LookAhead = c.lookAhead;
    options.Partial = c.partial;
    query.rows.clear();
    query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "John", "Search date", c.stored)};
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

// The entry says whether the person is dead, so the sentence can say it too.
TEST_F(AlertScanTest, APersonIsDeadByTheFlagOrByAStoredDeathDate) {
  options.Alive = false;
  const auto lines = TAlertScan::QueryLines(false, "Search date", "");
  FakeRecord flagged = Person(1, "Flagged", "Search date", "11 Dec 1900");
  flagged.booleans["Dead"] = true;
  FakeRecord dated = Person(2, "Dated", "Search date", "11 Dec 1900");
  dated.dates["Death date~B"] = Written("ABT 1950");
  FakeRecord phrase = Person(3, "Phrase", "Search date", "11 Dec 1900");
  phrase.dates["Death date~B"] = Written("'young");
  FakeRecord cleared = Person(4, "Cleared", "Search date", "11 Dec 1900");
  ClearJDate(cleared.dates["Death date~B"]);
  const FakeRecord living = Person(5, "Living", "Search date", "11 Dec 1900");
  query.rows[FakeQuery::Key("/trees/a", lines)] = {flagged, dated, phrase, cleared, living};
  Scan();
  ASSERT_EQ(alerts.Count(), 5);
  const bool expected[] = {true, true, true, false, false};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(alerts.Entry(i).Dead, expected[i]) << alerts.Entry(i).Name;
}

TEST_F(AlertScanTest, NullDatesAndDamagedYearsAreSkipped) {
  FakeRecord damaged = Person(3, "Far", "Search date", "10 Dec 1984");
  damaged.dates["Search date~B"].JDay = 2000000000;
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(2, "Null", "Search date", ""), damaged};
  Scan();
  EXPECT_TRUE(Listed().empty());
}

TEST_F(AlertScanTest, LivingOptionLeavesOutDeathsAndCouplesWithoutLivingPartner) {
  Tick({"Birth", "Death", "Marriage", "Divorce"});
  const auto marriage = TAlertScan::QueryLines(true, "Marriage date", "");
  query.rows[FakeQuery::Key("/trees/a", marriage)] = {Family(7, "Marriage date", "12 Dec 2000"),
                                                      Family(8, "Marriage date", "13 Dec 2001")};
  tables.livingPartner = {{7, false}, {8, true}};
  Scan();
  EXPECT_EQ(query.asked, (std::vector<std::string>{FakeQuery::Key("/trees/a", kBirthLines), FakeQuery::Key("/trees/a", marriage),
                                                   FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Divorce date", ""))}));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"John SMITH = Mary BROWN|25|2026-12-13"}));

  options.Alive = false;
  query.asked.clear();
  Scan();
  EXPECT_EQ(query.asked[1], FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Death date", "")));
  EXPECT_EQ(query.asked[0], FakeQuery::Key("/trees/a", TAlertScan::QueryLines(false, "Search date", "")));
  EXPECT_EQ(Listed().size(), 2u);
}

TEST_F(AlertScanTest, IgnoreListAppliesOnlyWithItsOptionAndRestoresTheIndex) {
  Tick({"Birth", "Marriage"});
  query.rows[FakeQuery::Key("/trees/a", kBirthLines)] = {Person(1, "John", "Search date", "10 Dec 1984"),
                                                         Person(2, "Jane", "Search date", "11 Dec 1985")};
  query.rows[FakeQuery::Key("/trees/a", TAlertScan::QueryLines(true, "Marriage date", ""))] = {
      Family(7, "Marriage date", "12 Dec 2000")};
  tables.livingPartner[7] = true;
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
  EXPECT_EQ(alerts.Entry(0).EventIndex, 6);
  EXPECT_EQ(alerts.Entry(2).Kind, "F");
  EXPECT_EQ(alerts.Entry(2).EventIndex, 7);
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
