#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpressionFixture.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/FieldColumns.h"
#include "engine/sql/RowBufferAccessor.h"

namespace keel {
namespace {

using testing::ErrorOf;

// Lays the fields out one after another behind the row header, as a table
// created from these definitions stores them.
std::vector<FieldDescriptor> Layout(std::vector<FieldDescriptor> fields) {
  uint16_t offset = kRowHeaderSize;
  uint16_t number = 1;
  for (auto& field : fields) {
    field.number = number++;
    field.dataLength = StoredLength(field.type, field.subtype, field.size);
    field.offset = offset;
    offset = static_cast<uint16_t>(offset + 1 + field.dataLength);
  }
  return fields;
}

FieldDescriptor Field(std::string name, FieldType type, uint16_t size = 0) {
  FieldDescriptor field;
  field.name = std::move(name);
  field.type = type;
  field.size = size;
  return field;
}

size_t RowSize(const std::vector<FieldDescriptor>& fields) {
  const auto& last = fields.back();
  return last.offset + 1u + last.dataLength;
}

TEST(RowBufferAccessor, ScanConditionOverStoredRows) {
  auto fields = Layout({Field("Dead", FieldType::Boolean), Field("Search date~J", FieldType::Integer),
                        Field("Name", FieldType::String, 10)});
  TFieldColumns resolver(fields);
  TExpressionParser parser;
  parser.Load("P.[Dead] <> True AND P.[Search date~J] IS NOT NULL AND Name = 'abc'");
  auto tree = parser.ParseWholeText(WhereContext);
  TExpressionVerifier verifier(parser.Errors(), resolver);
  verifier.Verify(*tree, WhereContext);

  TRowBufferAccessor rows(fields);
  TExpressionEvaluator evaluator(TCollation::ForLocale(0, "People"));
  evaluator.SetRowAccessor(&rows);

  struct RowCase {
    const char* dead;  // nullptr: NULL
    const char* searchDate;
    const char* name;
    bool passes;
  };
  const RowCase cases[] = {
      {nullptr, "5", "abc", true},  {"FALSE", "5", "abc   ", true},  // trailing blanks are not stored
      {"TRUE", "5", "abc", false},  {nullptr, nullptr, "abc", false},
      {nullptr, "0", "abc", true},  {nullptr, "5", "abcd", false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> row(RowSize(fields), 0);
    const char* texts[] = {c.dead, c.searchDate, c.name};
    for (size_t i = 0; i < fields.size(); ++i) {
      if (texts[i] == nullptr) {
        SetFieldNull(row, fields[i]);
      } else if (fields[i].type == FieldType::String) {
        SetFieldText(row, fields[i], texts[i], 0);
      } else {
        SetFieldValue(row, fields[i], *ParseFieldText(fields[i], texts[i]), 0);
      }
    }
    rows.SetRow(row);
    EXPECT_EQ(evaluator.Passes(*tree), c.passes)
        << (c.dead ? c.dead : "NULL") << " " << (c.searchDate ? c.searchDate : "NULL") << " " << c.name;
  }
}

TEST(RowBufferAccessor, DecodesEveryStoredType) {
  auto fields = Layout({Field("D", FieldType::Date), Field("T", FieldType::Time), Field("S", FieldType::Timestamp),
                        Field("W", FieldType::Word), Field("L", FieldType::LargeInt), Field("F", FieldType::Float),
                        Field("B", FieldType::Bcd), Field("Y", FieldType::Bytes, 3)});
  fields[6].storedDecimals = 2;
  const char* texts[] = {"2000-01-01", "12:00", "2000-01-01 12:00", "65535", "-5000000000", "2.5", "-12.34",
                         "a1b2c3"};
  std::vector<uint8_t> row(RowSize(fields), 0);
  for (size_t i = 0; i < fields.size(); ++i) SetFieldValue(row, fields[i], *ParseFieldText(fields[i], texts[i]), 0);
  TRowBufferAccessor rows(fields);
  rows.SetRow(row);
  auto read = [&](int number) {
    auto column = std::make_unique<TExpToken>();
    column->FieldNumber = number;
    rows.ReadColumn(*column);
    EXPECT_FALSE(column->Null) << number;
    return column;
  };
  EXPECT_EQ(read(1)->Int, 730120);
  EXPECT_EQ(read(2)->Int, 43200000);
  EXPECT_DOUBLE_EQ(read(3)->Real, 63082411200000.0);
  EXPECT_EQ(read(4)->Int, 65535);
  EXPECT_EQ(read(5)->Int, -5000000000LL);
  EXPECT_DOUBLE_EQ(read(6)->Real, 2.5);
  EXPECT_DOUBLE_EQ(read(7)->Real, -12.34);
  EXPECT_EQ(read(8)->Str, std::string("\xA1\xB2\xC3"));
}

TEST(RowBufferAccessor, RefusesUnknownFieldsShortRowsAndUnreadableBlobs) {
  auto fields = Layout({Field("Age", FieldType::Integer), Field("Notes", FieldType::Blob)});
  fields[1].subtype = FieldSubtype::Memo;
  std::vector<uint8_t> row(RowSize(fields), 0);
  row[fields[1].offset] = 1;  // the memo has a value
  TRowBufferAccessor rows(fields);
  rows.SetRow(row);
  TExpToken column;
  column.ColumnName = "Gone";
  column.FieldNumber = 7;
  EXPECT_EQ(ErrorOf([&] { rows.ReadColumn(column); }).Code, ErrorCode::KEEL_OUTOFRANGE);
  column.FieldNumber = 2;
  EXPECT_EQ(ErrorOf([&] { rows.ReadColumn(column); }).Code, ErrorCode::KEEL_SQLEXEC);

  TRowBufferAccessor withBlobs(fields, [](const FieldDescriptor&, std::span<const uint8_t>) { return "memo"; });
  withBlobs.SetRow(row);
  withBlobs.ReadColumn(column);
  EXPECT_EQ(column.Str, "memo");

  std::vector<uint8_t> shortRow(fields[1].offset, 0);
  withBlobs.SetRow(shortRow);
  EXPECT_EQ(ErrorOf([&] { withBlobs.ReadColumn(column); }).Code, ErrorCode::KEEL_FILECORRUPT);
}

}  // namespace
}  // namespace keel
