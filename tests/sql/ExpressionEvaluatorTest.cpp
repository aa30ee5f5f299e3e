#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ExpressionFixture.h"
#include "engine/sql/FilterPreparer.h"

namespace keel {
namespace {

using testing::Cell;
using testing::ErrorOf;
using testing::PeopleColumns;
using testing::RaisedError;
using testing::TestTable;
using testing::Verified;

using Row = std::vector<std::pair<std::string, Cell>>;

constexpr int64_t kJan1st2000 = 730120;
constexpr double kMsecsPerDay = 86400000.0;

class ExpressionEvaluation : public ::testing::Test {
 protected:
  ExpressionEvaluation() : table_(PeopleColumns()), evaluator_(TCollation::ForLocale(0, "People"), clock_) {
    evaluator_.SetRowAccessor(&table_);
  }

  bool Passes(const std::string& where, const Row& row) {
    table_.ClearRow();
    for (const auto& [name, value] : row) table_.Set(name, value);
    auto tree = Verified(where, table_);
    return evaluator_.Passes(*tree);
  }

  TestTable table_;
  mindrel::FixedClock clock_{mindrel::LocalDateTime{{2026, 12, 10}, 14, 30, 5, 250}};
  TExpressionEvaluator evaluator_;
};

struct WhereCase {
  std::string where;
  Row row;
  bool passes;
};

void Check(const std::vector<WhereCase>& cases, const std::function<bool(const std::string&, const Row&)>& passes) {
  for (const auto& c : cases) {
    std::string shown = c.where;
    for (const auto& [name, value] : c.row) shown += value ? " | " + name + " set" : " | " + name + " NULL";
    EXPECT_EQ(passes(c.where, c.row), c.passes) << shown;
  }
}

// The condition of the alert scan: the NULL rules decide which people are listed.
TEST_F(ExpressionEvaluation, ScanConditionKeepsTheLivingWithADate) {
  const std::string where = "P.[Dead] <> True AND P.[Search date~J] IS NOT NULL";
  const std::vector<WhereCase> cases = {
      {where, {{"Dead", std::nullopt}, {"Search date~J", 5}}, true},
      {where, {{"Dead", int64_t{0}}, {"Search date~J", 5}}, true},
      {where, {{"Dead", int64_t{1}}, {"Search date~J", 5}}, false},
      {where, {{"Dead", std::nullopt}, {"Search date~J", std::nullopt}}, false},
      {where, {{"Dead", int64_t{0}}, {"Search date~J", int64_t{0}}}, true},
      {"P.[Search date~J] IS NULL", {{"Search date~J", std::nullopt}}, true},
      {"P.[Search date~J] = NULL", {{"Search date~J", std::nullopt}}, true},
      {"P.[Search date~J] <> NULL", {{"Search date~J", std::nullopt}}, false},
      {"P.[Search date~J] <> NULL", {{"Search date~J", int64_t{3}}}, true},
  };
  Check(cases, [this](const std::string& where, const Row& row) { return Passes(where, row); });
}

TEST_F(ExpressionEvaluation, NullRules) {
  const std::vector<WhereCase> cases = {
      {"Age = Big", {}, true},                                   // two nulls are equal
      {"Age <> Big", {{"Age", int64_t{1}}}, true},               // exactly one null
      {"Age < 5", {}, false},                                    // null against a number
      {"Age >= Big", {{"Age", int64_t{1}}}, false},
      {"Name < 'abc'", {}, true},                                // a null string acts as empty
      {"Name >= Nick", {}, true},
      {"Name > 'abc'", {}, false},
      {"Name = 'abc'", {}, false},                               // "=" keeps its null test
      {"Age + 1 IS NULL", {}, true},                             // null arithmetic
      {"-Age IS NULL", {}, true},
      {"Name + 'x' = 'x'", {}, true},                            // concatenation counts null as empty
      {"Name || Nick IS NULL", {}, true},
      {"Name LIKE 'a%'", {}, false},
      {"Name NOT LIKE 'a%'", {}, true},
      {"NOT (Name LIKE '%')", {}, true},
      {"Dead OR Age = 1", {{"Age", int64_t{1}}}, true},          // a null boolean reads as false
      {"Dead OR Age = 1", {{"Age", int64_t{2}}}, false},
      {"NOT Dead", {}, true},
      {"Dead AND Age IS NULL", {}, false},
      {"Age IN (1, NULL)", {}, true},                            // IN compares by "="
      {"Age NOT IN (1, 2)", {}, true},
      {"Age BETWEEN 1 AND 3", {}, false},
      {"Age NOT BETWEEN 1 AND 3", {}, true},
      {"Name BETWEEN '' AND 'b'", {}, false},                    // '' is the NULL constant
  };
  Check(cases, [this](const std::string& where, const Row& row) { return Passes(where, row); });
}

TEST_F(ExpressionEvaluation, Comparisons) {
  const std::vector<WhereCase> cases = {
      {"Name = 'abc '", {{"Name", "abc"}}, false},               // trailing blanks count
      {"Name < 'abc '", {{"Name", "abc"}}, true},
      {"Name = 'ABC'", {{"Name", "abc"}}, false},                // case counts
      {"Name > 'ABC'", {{"Name", "abc"}}, true},
      {"Name > 'z'", {{"Name", "\xE4"}}, true},                  // locale 0 orders bytes unsigned
      {"Notes = Name", {{"Notes", "memo"}, {"Name", "memo"}}, true},
      {"Dead = 5", {{"Dead", int64_t{1}}}, true},                // truth against non-zero
      {"Dead = 0", {{"Dead", int64_t{0}}}, true},
      {"Dead = 'TRUE'", {{"Dead", int64_t{1}}}, true},
      {"Age = 3.0", {{"Age", int64_t{3}}}, true},
      {"Big > Age", {{"Big", int64_t{5000000000}}, {"Age", int64_t{7}}}, true},
      {"Weight < Age", {{"Weight", 2.5}, {"Age", int64_t{3}}}, true},
      {"Age = '12'", {{"Age", int64_t{12}}}, true},              // text read as the other type
      {"Born = '2000-01-01'", {{"Born", kJan1st2000}}, true},
      {"Born < '2000-1-2'", {{"Born", kJan1st2000}}, true},
      {"Stamp = Born", {{"Stamp", kJan1st2000 * kMsecsPerDay}, {"Born", kJan1st2000}}, true},
      {"Stamp > Born", {{"Stamp", kJan1st2000 * kMsecsPerDay + 1}, {"Born", kJan1st2000}}, true},
      {"At < '12:00'", {{"At", int64_t{3600000}}}, true},
      {"Stamp > At", {{"Stamp", kJan1st2000 * kMsecsPerDay + 7200000}, {"At", int64_t{3600000}}}, true},
      {"Code = Code", {{"Code", std::string("\x01\x02\x03\x04", 4)}}, true},
      {"Name LIKE 'a_c%'", {{"Name", "abcd"}}, true},
      {"Name LIKE 'a_c'", {{"Name", "abcd"}}, false},
      {"Name LIKE '%b%d'", {{"Name", "abcbd"}}, true},
      {"Name LIKE 'A%'", {{"Name", "abc"}}, false},
      {"Name LIKE 'a\\%%' ESCAPE '\\'", {{"Name", "a%x"}}, true},
      {"Name LIKE 'a\\%%' ESCAPE '\\'", {{"Name", "ab"}}, false},
      {"Age IN (1, 2, 3)", {{"Age", int64_t{2}}}, true},
      {"Age IN (1, 2, 3)", {{"Age", int64_t{4}}}, false},
      {"Age NOT IN (1, NULL)", {{"Age", int64_t{4}}}, true},
      {"Age BETWEEN 1 AND 3", {{"Age", int64_t{3}}}, true},
      {"Age BETWEEN 3 AND 1", {{"Age", int64_t{2}}}, false},
      {"Born BETWEEN '1999-12-31' AND '2000-01-01'", {{"Born", kJan1st2000}}, true},
  };
  Check(cases, [this](const std::string& where, const Row& row) { return Passes(where, row); });
}

TEST_F(ExpressionEvaluation, ArithmeticAndFunctions) {
  const std::vector<WhereCase> cases = {
      {"Age * 2 + 1 = 11", {{"Age", int64_t{5}}}, true},
      {"Age / 2 = 2.5", {{"Age", int64_t{5}}}, true},
      {"Age MOD 3 = 2", {{"Age", int64_t{5}}}, true},
      {"-Age = -5", {{"Age", int64_t{5}}}, true},
      {"Big + 1 = 5000000001", {{"Big", int64_t{5000000000}}}, true},
      {"Born + 1 = '2000-01-02'", {{"Born", kJan1st2000}}, true},
      {"Born - Born = 0", {{"Born", kJan1st2000}}, true},
      {"At + 1000 = '01:00:01'", {{"At", int64_t{3600000}}}, true},
      {"Name + Nick = 'ab'", {{"Name", "a"}, {"Nick", "b"}}, true},
      {"UPPER(Name) = 'ABC'", {{"Name", "abc"}}, true},
      {"UCASE(Name) = '\xC4\xD6'", {{"Name", "\xE4\xF6"}}, true},
      {"LOWER(Name) = 'abc'", {{"Name", "ABC"}}, true},
      {"LENGTH(Name) = 3", {{"Name", "abc"}}, true},
      {"LENGTH(Name) IS NULL", {}, true},
      {"SUBSTRING(Name FROM 2 FOR 2) = 'bc'", {{"Name", "abcd"}}, true},
      {"SUBSTRING(Name, 3) = 'cd'", {{"Name", "abcd"}}, true},
      {"SUBSTRING(Name FROM 9) IS NULL", {{"Name", "abcd"}}, true},
      {"TRIM(Name) = 'x'", {{"Name", "  x"}}, true},
      {"TRIM(LEADING '0' FROM Name) = '120'", {{"Name", "00120"}}, true},
      {"TRIM(TRAILING '0' FROM Name) = '0012'", {{"Name", "00120"}}, true},
      {"LTRIM(Name) + RTRIM(Nick) = 'ab'", {{"Name", " a"}, {"Nick", "b "}}, true},
      {"POSITION('c' IN Name) = 3", {{"Name", "abcd"}}, true},
      {"POS('z', Name) = 0", {{"Name", "abcd"}}, true},
      {"CAST(Age AS VARCHAR(10)) = '42'", {{"Age", int64_t{42}}}, true},
      {"CAST('12' AS INTEGER) = 12", {}, true},
      {"CAST(Stamp AS DATE) = Born", {{"Stamp", kJan1st2000 * kMsecsPerDay + 5}, {"Born", kJan1st2000}}, true},
      {"CAST(Born AS VARCHAR(10)) = '2000-01-01'", {{"Born", kJan1st2000}}, true},
      {"CAST(Name AS DATE) = Born", {{"Name", "2000-01-01"}, {"Born", kJan1st2000}}, true},
      {"IF(Dead THEN 1 ELSE 2) = 2", {}, true},
      {"IFNULL(Age, 7) = 7", {}, true},
      {"IFNULL(Age, 7) = 3", {{"Age", int64_t{3}}}, true},
      {"COALESCE(Age, Big, 9) = 9", {}, true},
      {"COALESCE(Age, Big, 9) = 8", {{"Big", int64_t{8}}}, true},
      {"NULLIF(Age, 3) IS NULL", {{"Age", int64_t{3}}}, true},
      {"CASE Age WHEN 1 THEN 'one' WHEN 2 THEN 'two' END = 'two'", {{"Age", int64_t{2}}}, true},
      {"CASE Age WHEN 1 THEN 'one' WHEN 2 THEN 'two' END IS NULL", {{"Age", int64_t{3}}}, true},
      {"CASE WHEN Age > 1 THEN Age ELSE Weight END = 2.0", {{"Age", int64_t{2}}}, true},
      {"ABS(Age) = 5", {{"Age", int64_t{-5}}}, true},
      {"ROUND(Weight) = 3", {{"Weight", 2.5}}, true},
      {"ROUND(Weight, 1) = 2.3", {{"Weight", 2.25}}, true},
      {"ROUND(Age TO -1) = 130", {{"Age", int64_t{125}}}, true},
      {"EXTRACT(YEAR FROM Born) = 2000 AND EXTRACT(MONTH FROM Born) = 1 AND EXTRACT(DAY FROM Born) = 1",
       {{"Born", kJan1st2000}}, true},
      {"EXTRACT(DAYOFWEEK FROM Born) = 7 AND EXTRACT(WEEK FROM Born) = 52 AND EXTRACT(DAYOFYEAR FROM Born) = 1",
       {{"Born", kJan1st2000}}, true},  // a Saturday in the last ISO week of 1999
      {"EXTRACT(WEEK FROM CURRENT_DATE) = 50 AND EXTRACT(DAYOFYEAR FROM CURRENT_DATE) = 344", {}, true},
      {"EXTRACT(HOUR FROM Stamp) * 10000 + EXTRACT(MINUTE FROM At) * 100 + EXTRACT(SECOND FROM Stamp) = 123456",
       {{"Stamp", kJan1st2000 * kMsecsPerDay + 45296789}, {"At", int64_t{45296789}}}, true},
      {"EXTRACT(MSECOND FROM At) = 789 AND EXTRACT(HOUR FROM Born) = 0",
       {{"At", int64_t{45296789}}, {"Born", kJan1st2000}}, true},
      {"EXTRACT(YEAR FROM Born) IS NULL", {}, true},
      {"LENGTH(CURRENT_GUID) = 38", {}, true},
      {"CURRENT_DATE = '2026-12-10'", {}, true},
      {"CURRENT_TIME = '14:30:05.25'", {}, true},
      {"CURRENT_TIMESTAMP = '2026-12-10 14:30:05.250'", {}, true},
  };
  Check(cases, [this](const std::string& where, const Row& row) { return Passes(where, row); });
}

TEST_F(ExpressionEvaluation, ExecutionErrors) {
  const std::pair<std::string, std::string> cases[] = {
      {"SQRT(Age) = 1", "The function SQRT is not supported"},
      {"SUM(Age) = 1", "The function SUM is not supported"},
      {"Age / 0 = 1", "Division by zero"},
      {"Age MOD 0 = 1", "Division by zero"},
      {"Age * 2147483647 > 0", "Arithmetic overflow"},
      {"Big * Big > 0", "Arithmetic overflow"},
      {"CAST(Name AS INTEGER) = 1", "'x1' is not a valid integer value"},
      {"CAST(Name AS DATE) = Born", "'x1' is not a valid date"},
      {"CAST(Big AS SMALLINT) = 1", "'5000000000' is out of range for SmallInt"},
      {"Age = Name", "'x1' is not a valid integer value"},
      {"EXTRACT(YEAR FROM CURRENT_TIME) = 1", "A date part cannot be extracted from a Time value"},
  };
  for (const auto& [where, message] : cases) {
    SCOPED_TRACE(where);
    table_.ClearRow();
    table_.Set("Age", int64_t{2});
    table_.Set("Big", int64_t{5000000000});
    table_.Set("Name", "x1");
    auto tree = Verified(where, table_, SelectItemContext);
    RaisedError error = ErrorOf([&] { evaluator_.Evaluate(*tree); });
    EXPECT_EQ(error.Code, ErrorCode::KEEL_SQLEXEC);
    EXPECT_EQ(error.Extra, message);
  }
}

TEST_F(ExpressionEvaluation, ColumnWithoutARecordIsAnInternalError) {
  auto tree = Verified("1 + P.Age", table_);
  TExpressionEvaluator unbound(TCollation::ForLocale(0, "People"));
  RaisedError error = ErrorOf([&] { unbound.Evaluate(*tree); });
  EXPECT_EQ(error.Code, ErrorCode::KEEL_SQLPARSE);
  EXPECT_EQ(error.Extra, "Internal error: Column \"Age\" specified illegally");
  EXPECT_EQ(error.Column, 5);
}

TEST_F(ExpressionEvaluation, NodesKeepTheirValues) {
  table_.Set("Age", int64_t{20});
  auto tree = Verified("Age * 2", table_);
  evaluator_.Evaluate(*tree);
  EXPECT_EQ(tree->Int, 40);
  EXPECT_FALSE(tree->Null);
  table_.Set("Age", std::nullopt);
  evaluator_.Evaluate(*tree);
  EXPECT_TRUE(tree->Null);
  EXPECT_EQ(tree->Int, 0);
}

// Strings of a table with a locale follow that locale's collation.
TEST(ExpressionLocale, StringOrderFollowsTheTableLocale) {
  TestTable table(PeopleColumns());
  table.Set("Name", "\xE4pfel");  // Windows-1252 a-umlaut
  auto tree = Verified("Name < 'b'", table);
  TExpressionEvaluator bytewise(TCollation::ForLocale(0, "People"));
  bytewise.SetRowAccessor(&table);
  EXPECT_FALSE(bytewise.Passes(*tree));
  TExpressionEvaluator german(TCollation::ForLocale(0x0407, "People"));
  german.SetRowAccessor(&table);
  EXPECT_TRUE(german.Passes(*tree));
  auto caseSensitive = Verified("Name = '\xC4PFEL'", table);
  EXPECT_FALSE(german.Passes(*caseSensitive));
}

class FilterEvaluation : public ExpressionEvaluation {
 protected:
  bool PassesFilter(const std::string& filter, const Row& row) {
    table_.ClearRow();
    for (const auto& [name, value] : row) table_.Set(name, value);
    TExpressionParser parser(TExpressionErrors::ForFilter("People"));
    parser.Load(filter);
    auto tree = parser.ParseWholeText(FilterContext);
    TExpressionVerifier verifier(parser.Errors(), table_);
    verifier.VerifyFilter(*tree);
    auto prepared = TFilterPreparer::Prepare(*tree, options_);
    return evaluator_.Passes(*prepared);
  }

  TFilterOptions options_;
};

TEST_F(FilterEvaluation, PartialAndCaseInsensitiveComparisons) {
  const std::vector<WhereCase> partial = {
      {"Name = 'ab*'", {{"Name", "abc"}}, true},
      {"Name = 'ab*'", {{"Name", "ab"}}, true},
      {"Name = 'ab*'", {{"Name", "a"}}, false},
      {"'ab**' = Name", {{"Name", "abz"}}, true},
      {"Name <> 'ab*'", {{"Name", "abc"}}, false},
      {"Name <> 'ab*'", {{"Name", "xbc"}}, true},
      {"Name = '*'", {}, true},  // only "*": every row
      {"Name = 'ab*'", {}, false},
      {"Name = 'abc'", {{"Name", "ABC"}}, false},
      {"UPPER(Name) = UPPER('abc')", {{"Name", "aBc"}}, true},
      {"Name = 'a*c'", {{"Name", "abc"}}, false},  // only a trailing "*" is a wildcard
  };
  auto passes = [this](const std::string& filter, const Row& row) { return PassesFilter(filter, row); };
  Check(partial, passes);

  options_ = {true, true};  // ignore case, whole values
  const std::vector<WhereCase> whole = {
      {"Name = 'abc'", {{"Name", "ABC"}}, true},
      {"Name <> 'ABC'", {{"Name", "abc"}}, false},
      {"Name = 'ab*'", {{"Name", "abc"}}, false},
      {"Name = 'ab*'", {{"Name", "AB*"}}, true},
  };
  Check(whole, passes);
}

TEST(FilterPreparation, RewritesOnlyTheCopy) {
  TestTable table(PeopleColumns());
  TExpressionParser parser(TExpressionErrors::ForFilter("People"));
  parser.Load("UPPER(Name) = UPPER('x*') AND Age = 1");
  auto tree = parser.ParseWholeText(FilterContext);
  TExpressionVerifier verifier(parser.Errors(), table);
  verifier.VerifyFilter(*tree);
  auto prepared = TFilterPreparer::Prepare(*tree, {});
  const TExpToken& compare = *prepared->Left;
  EXPECT_EQ(compare.Kind, TNodeKind::StringCompare);
  EXPECT_TRUE(compare.CaseInsensitive);
  EXPECT_EQ(compare.PartialLength, 1);
  EXPECT_EQ(compare.Left->Kind, TNodeKind::Column);
  EXPECT_EQ(prepared->Right->Kind, TNodeKind::BinaryOperator);  // not a string comparison
  EXPECT_EQ(tree->Left->Kind, TNodeKind::BinaryOperator);
}

}  // namespace
}  // namespace keel
