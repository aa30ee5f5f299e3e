#include "lists/IgnoreList.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "app/OwnTables.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"

namespace mindrel {
namespace {

using keel::TFieldType;

// A people table of three and an empty ignore list in a fresh folder.
class IgnoreListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-ignore-list-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    people_.SetDatabaseName(folder_);
    people_.SetTableName("People.dat");
    auto& fields = people_.FieldDefs();
    fields.Add("Code", TFieldType::ftInteger);
    fields.Add("Surname", TFieldType::ftString, 40);
    fields.Add("FirstNames", TFieldType::ftString, 40);
    fields.Add("Search date~J", TFieldType::ftInteger);
    fields.Add("Search date~D", TFieldType::ftString, 40);
    fields.Add("Search place", TFieldType::ftString, 40);
    people_.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    people_.CreateTableFromDefs();
    people_.Open();
    // Day numbers and shown dates disagree in order on purpose.
    AddPerson(1, "SMITH", "John", 2400000, "9 Jan 1950", "York");
    AddPerson(2, "ADAMS", "Mary", 2300000, "10 Mar 1700", "Bath");
    AddPerson(3, "JONES", "Ann", 2450000, "1 Feb 2000", "Aachen");
    TOwnTables::OpenIgnoreTable(ignore_, folder_);
    ignore_.SetIndexName("");
  }
  void TearDown() override {
    people_.Close();
    ignore_.Close();
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  void AddPerson(int code, const char* surname, const char* first, int day, const char* shown, const char* place) {
    people_.Append();
    people_.FieldByName("Code").SetAsInteger(code);
    people_.FieldByName("Surname").SetAsString(surname);
    people_.FieldByName("FirstNames").SetAsString(first);
    people_.FieldByName("Search date~J").SetAsInteger(day);
    people_.FieldByName("Search date~D").SetAsString(shown);
    people_.FieldByName("Search place").SetAsString(place);
    people_.Post();
  }

  void Ignore(int code, const std::string& event, bool all) {
    people_.EnterKeyMode();
    people_.FieldByName("Code").SetAsInteger(code);
    ASSERT_TRUE(people_.SearchKey());
    list_.IgnorePerson(TIgnoreList::PersonOf(people_), folder_, event, all);
  }

  std::string Field(const char* name) { return ignore_.FieldByName(name).AsString(); }

  std::string folder_;
  keel::TKeelTable people_, ignore_;
  TIgnoreList list_{ignore_};
};

TEST_F(IgnoreListTest, FirstIgnoreCopiesThePerson) {
  Ignore(1, "Birth", false);
  ASSERT_EQ(ignore_.RecordCount(), 1);
  ignore_.First();
  EXPECT_EQ(Field("DBFolder"), folder_);
  EXPECT_EQ(ignore_.FieldByName("Code").AsInteger(), 1);
  EXPECT_EQ(Field("DBCode"), std::filesystem::path(folder_).filename().string() + " [P1]");
  EXPECT_EQ(Field("Surname"), "SMITH");
  EXPECT_EQ(Field("Firstnames"), "John");
  EXPECT_EQ(ignore_.FieldByName("Birth date").AsInteger(), 2400000);
  EXPECT_EQ(Field("Birth dateD"), "9 Jan 1950");
  EXPECT_EQ(Field("Birth place"), "York");
  EXPECT_FALSE(ignore_.FieldByName("AllEvents").AsBoolean());
  EXPECT_EQ(Field("Events"), "birth");
}

TEST_F(IgnoreListTest, LaterIgnoresUpdateTheEventsOfTheOneRecord) {
  struct Step {
    const char* event;
    bool all;
    const char* events;  // "Events" afterwards
    bool allEvents;
  };
  const Step steps[] = {
      {"Death", false, "death", false},
      {"Birth", false, "death;birth", false},
      {"birth", false, "death;birth", false},  // not repeated
      {"Birth", true, "death;birth", true},    // all keeps the names
      {"Marriage", false, "death;birth", true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.event) + (step.all ? " all" : ""));
    Ignore(2, step.event, step.all);
    ASSERT_EQ(ignore_.RecordCount(), 1);
    ignore_.First();
    EXPECT_EQ(Field("Events"), step.events);
    EXPECT_EQ(ignore_.FieldByName("AllEvents").AsBoolean(), step.allEvents);
    EXPECT_EQ(list_.EventsText(), step.allEvents ? "ALL EVENTS" : step.events);
    EXPECT_EQ(list_.CanIgnoreAll(), !step.allEvents);
  }
}

TEST(IgnoreListCode, LastComponentOfTheFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Trees\\Smith", "Smith [P7]"},
      {"/home/ann/trees/Smith", "Smith [P7]"},
      {"C:\\Trees\\", " [P7]"},
      {"Smith", "Smith [P7]"},
  };
  for (const auto& [folder, code] : cases) EXPECT_EQ(TIgnoreList::DBCode(folder, 7), code) << folder;
}

TEST_F(IgnoreListTest, EachSectionSelectsItsOrderAndIsTheBoldOne) {
  for (int code : {1, 2, 3}) Ignore(code, "Birth", false);
  // Section 3 sorts by the stored day number, not by the shown date's text.
  const std::pair<int, std::vector<std::string>> orders[] = {
      {1, {"ADAMS", "JONES", "SMITH"}},
      {2, {"JONES", "SMITH", "ADAMS"}},
      {3, {"ADAMS", "SMITH", "JONES"}},
      {4, {"JONES", "ADAMS", "SMITH"}},
      {0, {"SMITH", "ADAMS", "JONES"}},
  };
  for (const auto& [section, surnames] : orders) {
    list_.SelectOrder(section);
    EXPECT_EQ(list_.BoldSection(), section);
    std::vector<std::string> seen;
    for (ignore_.First(); !ignore_.Eof(); ignore_.Next()) seen.push_back(Field("Surname"));
    EXPECT_EQ(seen, surnames) << "section " << section;
  }
  ignore_.SetIndexName("firstnamesidx");
  EXPECT_EQ(list_.BoldSection(), 2) << "index names compare without case";
}

TEST_F(IgnoreListTest, AllAndReinstatingWorkOnTheCurrentRecordOrEverybody) {
  EXPECT_FALSE(list_.HasRecords());
  EXPECT_EQ(list_.EventsText(), "");
  list_.IgnoreAllEvents();
  EXPECT_FALSE(list_.HasRecords()) << "nothing to widen on an empty list";

  for (int code : {1, 2, 3}) Ignore(code, "Death", false);
  ignore_.First();
  list_.IgnoreAllEvents();
  EXPECT_EQ(list_.EventsText(), "ALL EVENTS");
  EXPECT_TRUE(ignore_.FieldByName("Events").IsNull());
  list_.Reinstate();
  EXPECT_EQ(ignore_.RecordCount(), 2);
  int notices = 0;
  const int link = ignore_.AddDataLink([&](keel::TKeelDataSet&, keel::TDataEvent) { ++notices; });
  list_.ReinstateAll();
  ignore_.RemoveDataLink(link);
  EXPECT_FALSE(list_.HasRecords());
  EXPECT_EQ(notices, 1) << "the views hear of reinstating everybody once";
}

}  // namespace
}  // namespace mindrel
