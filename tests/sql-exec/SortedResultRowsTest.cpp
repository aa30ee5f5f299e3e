#include "engine/sql/SortedResultRows.h"

#include <gtest/gtest.h>

#include <algorithm>

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
