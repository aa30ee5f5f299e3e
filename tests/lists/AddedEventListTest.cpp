#include "lists/AddedEventList.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "app/OwnTables.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"
#include "lists/HeaderSections.h"

namespace mindrel {
namespace {

std::string EnglishMonth(int month) {
  static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return kNames[month - 1];
}

TEST(AddedEventDate, ExistsInItsOwnYearOrForAnnualEventsInAnyYear) {
  struct Case {
    TEventInputs inputs;
    bool exists;
  };
  const Case cases[] = {
      {{false, 29, 2, 2024}, true},   {{false, 29, 2, 2023}, false}, {{false, 29, 2, 1900}, false},
      {{false, 29, 2, 2000}, true},   {{true, 29, 2, 2023}, true},   {{true, 30, 2, 2024}, false},
      {{false, 31, 4, 2000}, false},  {{true, 31, 4, 0}, false},     {{false, 31, 12, 9999}, true},
      {{false, 1, 1, 1}, true},       {{true, 31, 1, 0}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TAddedEventList::DateExists(c.inputs), c.exists)
        << c.inputs.Day << "/" << c.inputs.Month << "/" << c.inputs.Year << (c.inputs.Annual ? " annual" : "");
  }
}

class AddedEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-added-events-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    TOwnTables::OpenEventsTable(table_, folder_);
  }
  void TearDown() override {
    table_.Close();
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  std::string folder_;
  keel::TKeelTable table_;
  TAddedEventList events_{table_, &EnglishMonth};
};

TEST_F(AddedEventsTest, CompletingWritesTheDateFieldsOfEitherKind) {
  struct Case {
    TEventInputs inputs;
    const char* shown;
    int type, year;
  };
  const Case cases[] = {
      {{false, 8, 5, 1945}, "8 May 1945", 4, 1945},
      {{true, 25, 12, 1945}, "25 Dec", 5, 0},  // the year spin edit does not count
      {{true, 29, 2, 2023}, "29 Feb", 5, 0},
  };
  for (const Case& c : cases) {
    table_.Append();
    table_.FieldByName("Description").SetAsString(c.shown);
    ASSERT_TRUE(events_.CompleteRecord(c.inputs));
    table_.Post();
    EXPECT_EQ(table_.FieldByName("Event date D").AsString(), c.shown);
    EXPECT_EQ(table_.FieldByName("Event date DD").AsInteger(), c.inputs.Day);
    EXPECT_EQ(table_.FieldByName("Event date MM").AsInteger(), c.inputs.Month);
    EXPECT_EQ(table_.FieldByName("Event date YY").AsInteger(), c.year);
    EXPECT_EQ(table_.FieldByName("EventType").AsInteger(), c.type);
  }
}

TEST_F(AddedEventsTest, ARefusedDateWritesNothing) {
  table_.Append();
  ASSERT_TRUE(events_.CompleteRecord({false, 30, 4, 2001}));
  EXPECT_FALSE(events_.CompleteRecord({false, 31, 4, 2001}));
  EXPECT_EQ(table_.FieldByName("Event date D").AsString(), "30 Apr 2001");
  EXPECT_EQ(table_.FieldByName("Event date DD").AsInteger(), 30);
  EXPECT_TRUE(events_.Editing());
}

TEST_F(AddedEventsTest, ShownInputsFollowTheRecordWithinTheSpinRanges) {
  struct Case {
    int type, day, month, year;
    TEventInputs shown;  // from inputs {fixed, 5, 5, 1999}
  };
  const Case cases[] = {
      {4, 8, 5, 1945, {false, 8, 5, 1945}},
      {5, 25, 12, 0, {true, 25, 12, 1999}},  // annual keeps the year shown
      {9, 1, 2, 2010, {false, 1, 2, 2010}},  // another type shows as fixed
      {4, 40, 0, 0, {false, 31, 1, 1}},      // out of range: nearest bound
  };
  for (const Case& c : cases) {
    table_.Append();
    table_.FieldByName("EventType").SetAsInteger(c.type);
    table_.FieldByName("Event date DD").SetAsInteger(c.day);
    table_.FieldByName("Event date MM").SetAsInteger(c.month);
    table_.FieldByName("Event date YY").SetAsInteger(c.year);
    table_.Post();
    EXPECT_EQ(events_.ShownInputs({false, 5, 5, 1999}), c.shown) << "type " << c.type << " day " << c.day;
  }
}

TEST_F(AddedEventsTest, HeaderOrdersOnlyWhileBrowsing) {
  EXPECT_EQ(events_.BoldSection(), 1);
  events_.SelectOrder(0);
  EXPECT_EQ(table_.IndexName(), "DescIdx");
  EXPECT_EQ(events_.BoldSection(), 0);
  table_.Append();
  events_.SelectOrder(1);
  EXPECT_EQ(table_.IndexName(), "DescIdx") << "a click during editing does nothing";
  EXPECT_TRUE(events_.Editing());
}

TEST(HeaderSections, TheLastSectionFillsTheHeaderAndKeepsItsMinimum) {
  struct Case {
    std::vector<int> widths;
    int resized;
    std::vector<int> fitted;
  };
  // Header 400 wide, every minimum 40.
  const Case cases[] = {
      {{100, 100, 10}, 0, {100, 100, 200}},  // the last fills the rest
      {{100, 300, 10}, 1, {100, 260, 40}},   // the resized one gives way
      {{380, 100, 10}, 0, {260, 100, 40}},
      {{100, 100, 10}, 2, {100, 100, 200}},  // the last itself only fills
  };
  for (const Case& c : cases) {
    std::vector<THeaderSection> sections;
    for (int width : c.widths) sections.push_back({width, 40});
    FitSections(sections, 400, c.resized);
    std::vector<int> fitted;
    for (const auto& section : sections) fitted.push_back(section.Width);
    EXPECT_EQ(fitted, c.fitted) << "resized " << c.resized;
  }
}

}  // namespace
}  // namespace mindrel
