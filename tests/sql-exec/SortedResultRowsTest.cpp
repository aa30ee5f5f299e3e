#include "engine/sql/SortedResultRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/sql/ResultTable.h"
#include "tests/sql-exec/ExecFixture.h"

namespace keel::testing {
namespace {

class SortedResultRowsTest : public ExecTest {
 protected:
  void CheckOrderWithBudget(size_t budget);
};

// Rows of three groups come in turn. Held in one portion, or in portions far
// smaller than all of them, they come out by group and, within a group, in
// the order they came, with texts that fill their column, texts with zero
// runs and memos whole. Held in one portion they also lie in that order.
TEST_F(SortedResultRowsTest, RowsComeOutInKeyOrderAndEqualKeysInTheOrderTheyCame) {
  for (const size_t budget : {size_t{4000}, TSortedResultRows::kBudgetBytes}) {
    SCOPED_TRACE(budget);
    CheckOrderWithBudget(budget);
  }
}

// Keys that differ in several bytes, negative ones, and text keys longer than
// the first bytes the rows are sorted by are appended in key order, equal keys
// in the order they came.
TEST_F(SortedResultRowsTest, KeysDifferingInAnyOfTheirBytesComeOutInOrder) {
  const std::vector<int32_t> groups{70000, -3, 5, 1 << 24, -70000, 5, 0, 256, -(1 << 30), 255, 70000, 65536, -1};
  const std::vector<std::string> names{"Smithson", "Smithsonian", "Smith", "Smithsonian", "", "Smithsonia", "A"};
  struct TCase {
    FieldDescriptor key;
    std::function<void(std::vector<uint8_t>&, const FieldDescriptor&, int)> set;
    std::function<bool(int, int)> before;
  };
  const std::vector<TCase> cases{
      {Field("Group", FieldType::Integer),
       [&](std::vector<uint8_t>& row, const FieldDescriptor& field, int code) {
         SetInt(row, field, groups[static_cast<size_t>(code) % groups.size()]);
       },
       [&](int a, int b) { return groups[static_cast<size_t>(a) % groups.size()] < groups[static_cast<size_t>(b) % groups.size()]; }},
      {Field("Group", FieldType::String, 20),
       [&](std::vector<uint8_t>& row, const FieldDescriptor& field, int code) {
         SetFieldText(row, field, names[static_cast<size_t>(code) % names.size()], 0);
       },
       [&](int a, int b) { return names[static_cast<size_t>(a) % names.size()] < names[static_cast<size_t>(b) % names.size()]; }},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.key.size);
    TResultTableDefinition definition;
    definition.Fields = {Field("Code", FieldType::Integer), test.key};
    definition.Primary.fields = {{2, false}, {FieldDescriptor::kRecordIdNumber, false}};
    TResultTable table(session_, PrivateDir(), definition);
    TDataCursor& result = table.Cursor();
    std::vector<int> expected;
    {
      TSortedResultRows sorted(result);
      for (int code = 1; code <= 200; ++code) {
        std::vector<uint8_t> row = result.newRow();
        SetInt(row, result.field("Code"), code);
        test.set(row, result.field("Group"), code);
        sorted.Add(row, {});
        expected.push_back(code);
      }
      sorted.Flush();
    }
    std::stable_sort(expected.begin(), expected.end(), test.before);
    result.setIndex(0);
    EXPECT_EQ(Codes(result), expected);
    result.setIndex(TDataCursor::kPhysicalOrder);
    EXPECT_EQ(Codes(result), expected) << "the rows lie in key order";
  }
}

void SortedResultRowsTest::CheckOrderWithBudget(size_t budget) {
  TResultTableDefinition definition;
  FieldDescriptor notes = Field("Notes", FieldType::Blob);
  notes.subtype = FieldSubtype::Memo;
  definition.Fields = {Field("Code", FieldType::Integer), Field("Group", FieldType::Integer),
                       Field("Text", FieldType::String, 300), notes};
  definition.Primary.fields = {{2, false}, {FieldDescriptor::kRecordIdNumber, false}};
  TResultTable table(session_, PrivateDir(), definition);
  TDataCursor& result = table.Cursor();

  constexpr int kRows = 60;
  auto textOf = [](int code) { return std::string(static_cast<size_t>(code * 5 % 300), static_cast<char>('a' + code % 26)); };
  {
    TSortedResultRows sorted(result, budget);
    for (int code = 1; code <= kRows; ++code) {
      std::vector<uint8_t> row = result.newRow();
      SetInt(row, result.field("Code"), code);
      SetInt(row, result.field("Group"), code % 3);
      SetFieldText(row, result.field("Text"), textOf(code), 0);
      TDataCursor::BlobValues blobs;
      if (code % 2 == 0) blobs[result.field("Notes").number] = std::vector<uint8_t>(static_cast<size_t>(code), 'n');
      sorted.Add(row, std::move(blobs));
    }
    sorted.Flush();
  }

  std::vector<int> expected;
  for (int group = 0; group < 3; ++group) {
    for (int code = 1; code <= kRows; ++code) {
      if (code % 3 == group) expected.push_back(code);
    }
  }
  result.setIndex(0);
  EXPECT_EQ(Codes(result), expected);
  const std::vector<std::string> texts = Column(result, "Text");
  const std::vector<std::string> memos = Column(result, "Notes");
  for (size_t i = 0; i < expected.size(); ++i) {
    const int code = expected[i];
    EXPECT_EQ(texts[i], textOf(code).empty() ? "NULL" : textOf(code)) << code;
    EXPECT_EQ(memos[i], code % 2 == 0 ? std::string(static_cast<size_t>(code), 'n') : "NULL") << code;
  }
  if (budget == TSortedResultRows::kBudgetBytes) {
    result.setIndex(TDataCursor::kPhysicalOrder);
    EXPECT_EQ(Codes(result), expected);
  }
}

}  // namespace
}  // namespace keel::testing
