#include "app/AlertIgnorer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/OwnTables.h"
#include "dates/UDate.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "tests/app/LinksTable.h"

namespace mindrel {
namespace {

using keel::TFieldType;

const std::vector<std::string> kEventItems = {"Birth", "Marriage", "Divorce", "Death", "Added fixed", "Added annual"};

class TName final : public TEntrySource {
 public:
  std::string StringField(const std::string&) const override { return "Someone"; }
};

// A folder with people 1..4 and families 10 (partners 1 and 2) and 11
// (partner 3 and partner 9, who is not in the people table).
class AlertIgnorerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-alert-ignorer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    CreatePeople();
    CreateLinks();
    TOwnTables::OpenIgnoreTable(ignore_, folder_);
    ignore_.SetIndexName("SurnameIdx");
    people_.SetTableName("People.dat");
    links_.SetTableName("Links.dat");
    for (keel::TKeelTable* table : {&people_, &links_}) table->SetReadOnly(true);
  }
  void TearDown() override {
    ignore_.Close();
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  void CreatePeople() {
    keel::TKeelTable table;
    table.SetDatabaseName(folder_);
    table.SetTableName("People.dat");
    table.FieldDefs().Add("Code", TFieldType::ftInteger);
    table.FieldDefs().Add("Surname", TFieldType::ftString, 40);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    for (int code : {1, 2, 3, 4}) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(code);
      table.FieldByName("Surname").SetAsString("P" + std::to_string(code));
      table.Post();
    }
  }

  void CreateLinks() {
    mindrel::testing::CreateLinksTable(folder_, {{"P", 10, 1}, {"C", 10, 4}, {"P", 10, 2}, {"P", 11, 3}, {"P", 11, 9}});
  }

  struct Alert {
    int eventIndex;
    const char* kind;
    int code;
  };

  // The alerts one a day, in this order, of `source` (the folder unless
  // given).
  void Fill(const std::vector<Alert>& alerts, std::string source = {}) {
    if (source.empty()) source = folder_;
    TLAObj day;
    day.DateRec.JDay = 2460000;
    day.Year = 2026;
    for (const Alert& alert : alerts) {
      const bool added = alert.kind[0] == 'A';
      alerts_.AddAlert(static_cast<std::uint8_t>(alert.eventIndex), 1950, day, alert.code, added ? "" : source,
                       alert.kind, false, TName(), "&");
      ++day.DateRec.JDay;
    }
  }

  // (code, events) of every ignore record; "*" for all events.
  std::map<int, std::string> IgnoreRecords() {
    std::map<int, std::string> records;
    for (ignore_.First(); !ignore_.Eof(); ignore_.Next()) {
      const bool all = ignore_.FieldByName("AllEvents").AsBoolean();
      records[static_cast<int>(ignore_.FieldByName("Code").AsInteger())] =
          (all ? "*" : "") + ignore_.FieldByName("Events").AsString();
    }
    return records;
  }

  std::vector<int> Run(std::vector<bool> selected, bool all, const std::vector<std::string>& items = kEventItems) {
    TAlertIgnorer ignorer(people_, links_, list_);
    std::vector<int> removed;
    ignorer.Ignore(alerts_, selected, all, items, [&](int index) { removed.push_back(index); });
    EXPECT_EQ(selected.size(), static_cast<std::size_t>(alerts_.Count()));
    return removed;
  }

  std::vector<int> RemainingCodes() const {
    std::vector<int> codes;
    for (int i = 0; i < alerts_.Count(); ++i) codes.push_back(alerts_.Entry(i).Code);
    return codes;
  }

  std::string folder_;
  keel::TKeelTable people_, links_, ignore_;
  TIgnoreList list_{ignore_};
  TAlertList alerts_;
};

TEST_F(AlertIgnorerTest, SelectedPeopleLeaveTheListAndAddedEventsStay) {
  Fill({{0, "P", 1}, {4, "AF", 0}, {0, "P", 2}, {3, "P", 4}, {0, "P", 3}});
  EXPECT_EQ(Run({true, true, true, false, true}, false), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(RemainingCodes(), (std::vector<int>{0, 4}));
  EXPECT_EQ(IgnoreRecords(), (std::map<int, std::string>{{1, "birth"}, {2, "birth"}, {3, "birth"}}));
  EXPECT_EQ(ignore_.IndexName(), "SurnameIdx") << "the window's order is put back";
  EXPECT_FALSE(people_.Active());
  EXPECT_FALSE(links_.Active());
}

TEST_F(AlertIgnorerTest, FamilyAlertsIgnoreEveryPartnerFound) {
  Fill({{1, "F", 10}, {2, "F", 11}, {1, "F", 12}});
  EXPECT_EQ(Run({true, true, true}, false), (std::vector<int>{0, 0, 0})) << "a family without partners goes too";
  EXPECT_EQ(IgnoreRecords(), (std::map<int, std::string>{{1, "marriage"}, {2, "marriage"}, {3, "divorce"}}));
}

TEST_F(AlertIgnorerTest, APersonGoneSinceTheScanStaysWithNothingWritten) {
  Fill({{0, "P", 7}, {3, "P", 1}});
  EXPECT_EQ(Run({true, true}, true), (std::vector<int>{1}));
  EXPECT_EQ(RemainingCodes(), (std::vector<int>{7}));
  EXPECT_EQ(IgnoreRecords(), (std::map<int, std::string>{{1, "*"}}));
}

TEST_F(AlertIgnorerTest, AnEventTypeGoneFromTheEventListCanOnlyBeIgnoredWithAllEvents) {
  // Index 6 named a custom column of a folder removed after the scan.
  Fill({{6, "P", 1}, {6, "F", 10}});
  EXPECT_TRUE(Run({true, true}, false).empty());
  EXPECT_TRUE(IgnoreRecords().empty());
  EXPECT_EQ(Run({true, true}, true), (std::vector<int>{0, 0}));
  EXPECT_EQ(IgnoreRecords(), (std::map<int, std::string>{{1, "*"}, {2, "*"}}));
}

TEST_F(AlertIgnorerTest, AFolderThatHasGoneRaisesAndKeepsTheListConsistent) {
  Fill({{0, "P", 1}, {0, "P", 2}});
  TAlertList& alerts = alerts_;
  std::filesystem::remove(std::filesystem::path(folder_) / "People.dat");
  TAlertIgnorer ignorer(people_, links_, list_);
  std::vector<bool> selected{true, true};
  EXPECT_THROW(ignorer.Ignore(alerts, selected, false, kEventItems, [](int) {}), std::exception);
  EXPECT_EQ(alerts.Count(), 2);
  EXPECT_EQ(ignore_.IndexName(), "SurnameIdx");
  EXPECT_TRUE(IgnoreRecords().empty());
}

TEST_F(AlertIgnorerTest, GedcomPeopleAndCouplesComeFromTheFile) {
  const std::string file = folder_ + "/tree.ged";
  std::ofstream(file) << "0 HEAD\n1 CHAR UTF-8\n"
                         "0 @I1@ INDI\n1 NAME John /Smith/\n1 BIRT\n2 DATE 12 DEC 1950\n2 PLAC York\n"
                         "0 @I2@ INDI\n1 NAME Mary /Brown/\n"
                         "0 @F10@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 MARR\n2 DATE 18 DEC 1975\n"
                         "0 @F11@ FAM\n0 TRLR\n";
  Fill({{0, "P", 1}, {1, "F", 10}, {0, "P", 7}, {1, "F", 11}}, file);
  EXPECT_EQ(Run({true, true, true, true}, false), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(RemainingCodes(), (std::vector<int>{7})) << "a person gone from the file stays";
  EXPECT_EQ(IgnoreRecords(), (std::map<int, std::string>{{1, "birth;marriage"}, {2, "marriage"}}));
  EXPECT_FALSE(people_.Active()) << "no family-tree table is opened on a file";

  ignore_.SetIndexName("");
  ignore_.First();
  const auto text = [&](const char* name) { return ignore_.FieldByName(name).AsString(); };
  EXPECT_EQ(text("DBFolder"), file);
  EXPECT_EQ(text("DBCode"), "tree.ged [P1]");
  EXPECT_EQ(text("Firstnames"), "John");
  EXPECT_EQ(text("Surname"), "Smith");
  EXPECT_EQ(ignore_.FieldByName("Birth date").AsInteger(), DMYToJDay(12, 12, 1950, true));
  EXPECT_EQ(text("Birth dateD"), "12 DEC 1950");
  EXPECT_EQ(text("Birth place"), "York");
  ignore_.Next();
  EXPECT_TRUE(ignore_.FieldByName("Birth date").IsNull()) << "Mary has no birth";
}

}  // namespace
}  // namespace mindrel
