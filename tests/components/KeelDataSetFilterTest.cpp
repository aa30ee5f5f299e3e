#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComponentFixture.h"
#include "engine/components/KeelTable.h"

namespace keel::testing {
namespace {

// Six people, physically in code order, with a secondary index on the
// surname (spelt in two cases once) and one on the town.
class KeelDataSetFilterTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    TKeelTable people;
    point(people, "People");
    people.FieldDefs().Add("Code", TFieldType::ftInteger);
    people.FieldDefs().Add("Surname", TFieldType::ftString, 30);
    people.FieldDefs().Add("Town", TFieldType::ftString, 30);
    people.IndexDefs().Add("Primary", "Code", ixPrimary | ixUnique);
    people.IndexDefs().Add("SurnameIdx", "Surname");
    people.IndexDefs().Add("TownIdx", "Town;Surname");
    people.CreateTableFromDefs();
    people.Open();
    struct Person {
      int code;
      const char* surname;
      const char* town;
    };
    for (const Person& p : {Person{1, "Ames", "Leeds"}, Person{2, "bolt", "York"}, Person{3, "Cole", "Leeds"},
                            Person{4, "Dunn", "Bath"}, Person{5, "Bolt", "York"}, Person{6, "Boltby", "York"}}) {
      people.Append();
      people.FieldByName("Code").SetAsInteger(p.code);
      people.FieldByName("Surname").SetAsString(p.surname);
      people.FieldByName("Town").SetAsString(p.town);
      people.Post();
    }
  }

  void open(TKeelTable& t) {
    point(t, "People");
    t.Open();
  }

  // The codes met walking forward from the first record, and backward from the last.
  static std::vector<int64_t> forward(TKeelTable& t) {
    std::vector<int64_t> codes;
    for (t.First(); !t.Eof(); t.Next()) codes.push_back(t.FieldByName("Code").AsInteger());
    return codes;
  }
  static std::vector<int64_t> backward(TKeelTable& t) {
    std::vector<int64_t> codes;
    for (t.Last(); !t.Bof(); t.Prior()) codes.push_back(t.FieldByName("Code").AsInteger());
    return codes;
  }
  static int64_t code(TKeelTable& t) { return t.FieldByName("Code").AsInteger(); }
};

using Codes = std::vector<int64_t>;

TEST_F(KeelDataSetFilterTest, FilteredDatasetVisitsCountsAndNumbersOnlyPassingRecords) {
  TKeelTable t;
  t.SetFilter("Code > 1 AND Town <> 'Bath'");
  open(t);
  EXPECT_EQ(t.RecordCount(), 6);  // not Filtered yet

  t.SetFiltered(true);
  EXPECT_EQ(code(t), 2);  // the first passing record becomes current
  EXPECT_EQ(forward(t), (Codes{2, 3, 5, 6}));
  EXPECT_EQ(backward(t), (Codes{6, 5, 3, 2}));
  EXPECT_EQ(t.RecordCount(), 4);
  ASSERT_TRUE(t.SetRecNo(3));
  EXPECT_EQ(code(t), 5);
  EXPECT_EQ(t.RecNo(), 3);
  EXPECT_FALSE(t.SetRecNo(5));

  // A new text while filtered takes effect at once; in another index order too.
  t.SetIndexName("SurnameIdx");
  t.SetFilter("Town = 'York'");
  EXPECT_EQ(forward(t), (Codes{5, 6, 2}));  // "B" sorts before "b"
  EXPECT_EQ(t.RecordCount(), 3);

  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 6);
  t.Close();

  // Installed at open, before the first record is read.
  t.SetFiltered(true);
  t.Open();
  EXPECT_EQ(code(t), 5);
  EXPECT_EQ(t.RecordCount(), 3);
}

TEST_F(KeelDataSetFilterTest, OptionsChooseCaseAndWildcards) {
  TKeelTable t;
  open(t);
  t.SetFilter("Surname = 'bolt*'");
  t.SetFiltered(true);
  struct Case {
    TFilterOptions options;
    Codes codes;
  };
  for (const Case& c : {Case{{}, {2}}, Case{{.CaseInsensitive = true}, {2, 5, 6}},
                        Case{{.CaseInsensitive = true, .WholeValue = true}, {}}}) {
    t.SetFilterOptions(c.options);
    EXPECT_EQ(forward(t), c.codes) << c.options.CaseInsensitive << c.options.WholeValue;
    EXPECT_EQ(t.RecordCount(), static_cast<int64_t>(c.codes.size()));
  }
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_TRUE(t.Bof() && t.Eof());
}

TEST_F(KeelDataSetFilterTest, RefusedFilterTextLeavesTheDatasetAsItWas) {
  TKeelTable t;
  open(t);
  t.SetFilter("Town = 'Leeds'");
  t.SetFiltered(true);
  t.Next();
  ASSERT_EQ(code(t), 3);

  try {
    t.SetFilter("Town = ");
    FAIL() << "the filter was taken";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_INVALIDFILTER);
    EXPECT_EQ(std::string(error.what()).rfind("Keel Engine Error # 10051 Filter error for the table 'People' - ", 0), 0u)
        << error.what();
    EXPECT_EQ(error.column(), 8);
  }
  EXPECT_EQ(t.Filter(), "Town = 'Leeds'");
  EXPECT_EQ(code(t), 3);
  EXPECT_EQ(t.RecordCount(), 2);

  // Switching a bad text on keeps the dataset unfiltered.
  t.SetFiltered(false);
  t.SetFilter("Nowhere = 1");
  EXPECT_EQ(EngineErrorOf([&] { t.SetFiltered(true); }), ErrorCode::KEEL_INVALIDFILTER);
  EXPECT_FALSE(t.Filtered());
  EXPECT_EQ(t.RecordCount(), 6);

  // Opening with it fails and leaves the table closed.
  t.Close();
  t.SetFiltered(true);
  EXPECT_EQ(EngineErrorOf([&] { t.Open(); }), ErrorCode::KEEL_INVALIDFILTER);
  EXPECT_FALSE(t.Active());
  t.SetFilter("Code = 4");
  t.Open();
  EXPECT_EQ(forward(t), (Codes{4}));
}

TEST_F(KeelDataSetFilterTest, RangesKeepToKeysOfTheActiveIndex) {
  TKeelTable t;
  open(t);
  t.SetIndexName("TownIdx");
  t.SetRange({"Leeds"}, {"York"});
  EXPECT_EQ(forward(t), (Codes{1, 3, 5, 6, 2}));
  EXPECT_EQ(backward(t), (Codes{2, 6, 5, 3, 1}));
  EXPECT_EQ(t.RecordCount(), 5);
  ASSERT_TRUE(t.SetRecNo(2));
  EXPECT_EQ(code(t), 3);

  // Two key fields on each side; the end key is included.
  t.SetRangeStart();
  t.FieldByName("Town").SetAsString("York");
  t.FieldByName("Surname").SetAsString("Bolt");
  t.SetKeyFieldCount(2);
  t.SetRangeEnd();
  t.FieldByName("Town").SetAsString("York");
  t.FieldByName("Surname").SetAsString("Boltby");
  t.SetKeyFieldCount(2);
  t.ApplyRange();
  EXPECT_EQ(forward(t), (Codes{5, 6}));
  EXPECT_EQ(t.RecordCount(), 2);

  // A filter inside the range; counted walking both.
  t.SetFilter("Code > 5");
  t.SetFiltered(true);
  EXPECT_EQ(forward(t), (Codes{6}));
  EXPECT_EQ(t.RecordCount(), 1);
  t.SetFiltered(false);

  // Start after end: nothing.
  t.SetRange({"York"}, {"Bath"});
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_EQ(t.RecordCount(), 0);

  t.CancelRange();
  EXPECT_EQ(t.RecordCount(), 6);
  EXPECT_EQ(forward(t), (Codes{4, 1, 3, 5, 6, 2}));

  // A new index drops the range.
  t.SetRange({"Bath"}, {"Bath"});
  EXPECT_EQ(t.RecordCount(), 1);
  t.SetIndexName("");
  EXPECT_EQ(t.RecordCount(), 6);

  // Only index fields take part in a range key.
  t.SetIndexName("SurnameIdx");
  t.SetRangeStart();
  EXPECT_EQ(DatabaseErrorOf([&] { t.FieldByName("Town").SetAsString("York"); }),
            "Field 'Town' is not in the current index");
  t.Cancel();
  EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
}

TEST_F(KeelDataSetFilterTest, WithoutFilteredCountsAFilterAnswersTheTableTotal) {
  engine().core().settings().FilterRecordCounts = false;
  TKeelTable t;
  open(t);
  t.SetFilter("Town = 'York'");
  t.SetFiltered(true);
  EXPECT_EQ(t.RecordCount(), 6);
  EXPECT_EQ(forward(t), (Codes{2, 5, 6}));  // navigation still filters
  t.SetFiltered(false);
  t.SetIndexName("TownIdx");
  t.SetRange({"York"}, {"York"});
  EXPECT_EQ(t.RecordCount(), 3);  // a range alone is counted exactly
}

}  // namespace
}  // namespace keel::testing
