#include <gtest/gtest.h>

#include <string>

#include "ExpressionFixture.h"

namespace keel {
namespace {

using testing::ErrorOf;
using testing::PeopleColumns;
using testing::RaisedError;
using testing::TestTable;
using testing::Verified;

struct TypeCase {
  std::string text;
  FieldType type;
  uint32_t size;  // 0: not checked
};

TEST(ExpressionVerifier, ResultTypes) {
  TestTable table(PeopleColumns());
  const TypeCase cases[] = {
      {"Age + 1", FieldType::Integer, 4},
      {"Age + Big", FieldType::LargeInt, 8},
      {"Age * Weight", FieldType::Float, 8},
      {"Age / 2", FieldType::Float, 8},
      {"Age MOD 2", FieldType::Integer, 4},
      {"Big MOD 2", FieldType::LargeInt, 8},
      {"Born + 1", FieldType::Date, 4},
      {"1 + Born", FieldType::Date, 4},
      {"Born - 7", FieldType::Date, 4},
      {"Born - Born", FieldType::Integer, 4},
      {"At - At", FieldType::Integer, 4},
      {"At + 1000", FieldType::Time, 4},
      {"Stamp - Born", FieldType::Float, 8},
      {"Name + Nick", FieldType::String, 41},
      {"Name || NULL", FieldType::String, 21},
      {"NULL + Age", FieldType::Integer, 4},
      {"-Weight", FieldType::Float, 8},
      {"Age = 1 OR NOT Dead", FieldType::Boolean, 2},
      {"Name LIKE 'a%'", FieldType::Boolean, 2},
      {"UPPER(Name)", FieldType::String, 21},
      {"LENGTH(Notes)", FieldType::Integer, 4},
      {"POSITION('a' IN Name)", FieldType::Integer, 4},
      {"CURRENT_TIMESTAMP", FieldType::Timestamp, 8},
      {"CAST(Age AS VARCHAR(10))", FieldType::String, 11},
      {"IF(Dead THEN Age ELSE Weight)", FieldType::Float, 8},
      {"COALESCE(NULL, Age, Big)", FieldType::LargeInt, 8},
      {"CASE WHEN Dead THEN 'yes' ELSE Name END", FieldType::String, 21},
      {"ROUND(Weight, 1)", FieldType::Float, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto tree = Verified(c.text, table);
    EXPECT_EQ(tree->Type, c.type);
    if (c.size != 0) {
      EXPECT_EQ(tree->Size, c.size);
    }
  }
}

TEST(ExpressionVerifier, ColumnsAreResolvedThroughTheResolver) {
  TestTable table(PeopleColumns());
  auto tree = Verified("p.[search date~j] IS NOT NULL", table);
  EXPECT_EQ(tree->Left->FieldNumber, 2);
  EXPECT_EQ(tree->Left->Type, FieldType::Integer);
}

TEST(ExpressionVerifier, StringConstantsBecomeTheComparedType) {
  TestTable table(PeopleColumns());
  auto date = Verified("Born = '2000-01-01'", table);
  EXPECT_EQ(date->Right->Type, FieldType::Date);
  EXPECT_EQ(date->Right->Int, 730120);
  auto stamp = Verified("'2000-01-01 12:00' < Stamp", table);
  EXPECT_EQ(stamp->Left->Type, FieldType::Timestamp);
  EXPECT_DOUBLE_EQ(stamp->Left->Real, 63082411200000.0);
  auto time = Verified("At BETWEEN '1:30 PM' AND '23:59:59.5'", table);
  EXPECT_EQ(time->Arguments[1]->Int, 48600000);
  EXPECT_EQ(time->Arguments[2]->Int, 86399500);
  auto truth = Verified("Dead = 'tRUe'", table);
  EXPECT_EQ(truth->Right->Type, FieldType::Boolean);
  EXPECT_EQ(truth->Right->Int, 1);
  // Text compared with text stays text.
  EXPECT_EQ(Verified("Name = '2000-01-01'", table)->Right->Type, FieldType::String);
}

struct ErrorCase {
  std::string text;
  std::string message;
  int column;
};

TEST(ExpressionVerifier, TypeMessages) {
  TestTable table(PeopleColumns());
  const ErrorCase cases[] = {
      {"Unknown = 1", "Expected column name but instead found Unknown in SQL statement", 1},
      {"Age = 1 AND Q.[Name] = 'x'", "Expected column name but instead found Q.[Name] in SQL statement", 13},
      {"Born = 5",
       "Expected String, Boolean, SmallInt, Integer, Float, Currency, Bytes, Word, VarBytes or LargeInt expression "
       "but instead found Born in SQL statement",
       1},
      {"Age = Born", "Expected String, Date, Bytes, Timestamp or VarBytes expression but instead found Age in SQL statement",
       1},
      {"Born > At", "Expected String, Bytes, Time, Timestamp or VarBytes expression but instead found Born in SQL statement",
       1},
      {"Age IN (1, Born)",
       "Expected String, Date, Bytes, Timestamp or VarBytes expression but instead found Age in SQL statement", 1},
      {"Born = 'yesterday'", "'yesterday' is not a valid date in SQL statement", 8},
      {"Born = '2001-02-29'", "'2001-02-29' is not a valid date in SQL statement", 8},
      {"Dead = 'maybe'", "'maybe' is not a valid boolean in SQL statement", 8},
      {"At = '25:00'", "'25:00' is not a valid time in SQL statement", 6},
      {"Stamp = '2000-13-01'", "'2000-13-01' is not a valid date and time in SQL statement", 9},
      {"Name + 1 = 'x'", "Expected String expression but instead found 1 in SQL statement", 8},
      {"Dead + 1 = 2",
       "Expected String, Date, SmallInt, Integer, Float, Currency, Time, Timestamp, Word or LargeInt expression but "
       "instead found Dead in SQL statement",
       1},
      {"1 - Born = 0",
       "Expected SmallInt, Integer, Float, Currency, Word or LargeInt expression but instead found Born in SQL "
       "statement",
       5},
      {"Weight MOD 2 = 0",
       "Expected SmallInt, Integer, Word or LargeInt expression but instead found Weight in SQL statement", 1},
      {"Age AND Dead", "Expected Boolean expression but instead found Age in SQL statement", 1},
      {"NOT Name", "Expected Boolean expression but instead found Name in SQL statement", 5},
      {"Age LIKE 'x'", "Expected String expression but instead found Age in SQL statement", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    RaisedError error = ErrorOf([&] { Verified(c.text, table); });
    EXPECT_EQ(error.Code, ErrorCode::KEEL_SQLPARSE);
    EXPECT_EQ(error.Extra, c.message);
    EXPECT_EQ(error.Line, 1);
    EXPECT_EQ(error.Column, c.column);
  }
}

TEST(ExpressionVerifier, AggregatesMayNotNest) {
  TestTable table(PeopleColumns());
  EXPECT_EQ(Verified("SUM(Age) + COUNT(*)", table, SelectItemContext)->Type, FieldType::LargeInt);
  RaisedError error = ErrorOf([&] { Verified("MAX(1 + SUM(Age))", table, SelectItemContext); });
  EXPECT_EQ(error.Extra, "Invalid nesting of aggregate functions in SQL statement");
  EXPECT_EQ(error.Column, 9);

  // A tree made for the select list and checked as a condition.
  TExpressionParser parser;
  parser.Load("1 + COUNT(*)");
  auto tree = parser.ParseWholeText(SelectItemContext);
  TExpressionVerifier verifier(parser.Errors(), table);
  error = ErrorOf([&] { verifier.Verify(*tree, WhereContext); });
  EXPECT_EQ(error.Extra, "Invalid expression COUNT found in SQL statement");
  EXPECT_EQ(error.Column, 5);
}

TEST(ExpressionVerifier, FilterMustBeBoolean) {
  TestTable table(PeopleColumns());
  TExpressionParser parser(TExpressionErrors::ForFilter("People"));
  parser.Load("Age + 1");
  auto tree = parser.ParseWholeText(FilterContext);
  TExpressionVerifier verifier(parser.Errors(), table);
  RaisedError error = ErrorOf([&] { verifier.VerifyFilter(*tree); });
  EXPECT_EQ(error.Code, ErrorCode::KEEL_INVALIDFILTER);
  EXPECT_EQ(error.What,
            "Keel Engine Error # 10051 Filter error for the table 'People' - filter expression must be a boolean "
            "expression at line 1, column 5");

  parser.Load("[Search date~J] IS NOT NULL AND Dead <> True");
  tree = parser.ParseWholeText(FilterContext);
  EXPECT_NO_THROW(verifier.VerifyFilter(*tree));
}

}  // namespace
}  // namespace keel
