// Random filters over random tables: the rows a filtered cursor visits, in
// physical and in index order, and its record count, must be exactly the
// rows for which the evaluator finds the expression true.

#include <chrono>
#include <random>

#include "engine/sql/FilterWhere.h"
#include "engine/sql/SelectEvaluatingFilter.h"
#include "tests/sql-filter/FilterFixture.h"

namespace keel::testing {
namespace {

constexpr uint32_t kGermanLocale = 1031;  // strings ordered by a collation, not by bytes

class RandomFilters {
 public:
  explicit RandomFilters(uint32_t seed) : random_(seed) {}

  std::vector<Values> Rows(int count) {
    std::vector<Values> rows;
    for (int i = 0; i < count; ++i) {
      Values v;
      if (Present()) v.I = Pick<int32_t>({-3, -1, 0, 1, 2, 3});
      if (Present()) v.SI = Pick<int16_t>({-2, 0, 1, 2});
      if (Present()) v.W = Pick<uint16_t>({0, 1, 3, 65535});
      if (Present()) v.L = Pick<int64_t>({-5, 0, 5, int64_t{1} << 40});
      if (Present()) v.B = Pick<int16_t>({0, 1, 0, 1, 7, -1});
      if (Present()) v.F = Pick<double>({-1.5, -0.0, 0.0, 2.25, 3.0});
      if (Present()) v.D = Day("2024-01-01") + Pick<int32_t>({0, 1, 2, 3});
      if (Present())
        v.S = Pick<std::string>({"a", "A", "ab", "AB", "Ab", "ab ", "abc", "b", "b ", " a", "", "zz"});
      if (Present()) v.TS = (Day("2024-01-01") + Pick<double>({0, 1})) * 86400000.0;
      if (Present()) v.T2 = (Day("2024-01-01") + Pick<double>({0, 0.5, 1, 2})) * 86400000.0;
      rows.push_back(std::move(v));
    }
    return rows;
  }

  std::string Expression(int depth) {
    if (depth == 0 || Chance(35)) return Condition();
    switch (Below(4)) {
      case 0:
        return "NOT (" + Expression(depth - 1) + ")";
      case 1:
        return "(" + Expression(depth - 1) + ") OR (" + Expression(depth - 1) + ")";
      default:
        return Expression(depth - 1) + " AND " + Expression(depth - 1);
    }
  }

  TFilterOptions Options() { return {.CaseInsensitive = Chance(30), .WholeValue = Chance(30)}; }
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

 private:
  struct Column {
    const char* name;
    std::vector<std::string> constants;
  };

  std::string Condition() {
    static const std::vector<Column> columns = {
        {"I", {"-3", "0", "1", "2", "3", "7", "2.5", "2.0", "-1"}},
        {"SI", {"-2", "0", "2", "40000"}},
        {"W", {"0", "1", "3", "65535", "-1"}},
        {"L", {"-5", "0", "5", "1099511627776", "1099511627777"}},
        {"B", {"TRUE", "FALSE", "0", "1"}},
        {"F", {"-1.5", "0", "2.25", "3", "1"}},
        {"D", {"'2024-01-01'", "'2024-01-02'", "'2024-01-04'", "'2023-12-31'"}},
        {"S",
         {"'a'", "'ab'", "'AB'", "'ab '", "'ab*'", "'A*'", "'*'", "'b'", "'zz'", "'abcdefghijk'", "'a**'"}},
        {"TS", {"'2024-01-01'", "'2024-01-02 00:00'"}},
        {"T2", {"'2024-01-01'", "'2024-01-02 00:00'", "'2024-01-01 12:00'", "'2024-01-03 06:00'"}},
    };
    static const std::vector<std::string> operators = {"=", "<>", "<", ">", "<=", ">="};
    const Column& column = columns[static_cast<size_t>(Below(static_cast<int>(columns.size())))];
    const std::string name = column.name;
    auto constant = [&] {
      return column.constants[static_cast<size_t>(Below(static_cast<int>(column.constants.size())))];
    };
    const std::string op = operators[static_cast<size_t>(Below(6))];
    switch (Below(14)) {
      case 0:
        return constant() + " " + op + " " + name;
      case 1:
        return name + " IS NULL";
      case 2:
        return name + " IS NOT NULL";
      case 3:
        return name + (Chance(50) ? " NOT" : "") + " IN (" + constant() + ", " + constant() +
               (Chance(30) ? ", NULL)" : ")");
      case 4:
        return name + (Chance(50) ? " NOT" : "") + " BETWEEN " + constant() + " AND " + constant();
      case 5:
        return std::string(Chance(50) ? "UPPER" : "LOWER") + "(S) " + (Chance(50) ? "=" : op) + " " +
               Pick<std::string>({"'AB'", "'ab'", "'A*'", "'B'", "'Ab'"});
      case 6:
        return Pick<std::string>({"I + 1 > 2", "I = SI", "S LIKE 'a%'", "TRUE", "FALSE", "B", "SI * 2 <= W"});
      default:
        return name + " " + op + " " + constant();
    }
  }

  bool Present() { return !Chance(20); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + Below(static_cast<int>(values.size())));
  }

  std::mt19937 random_;
};

TEST_F(FilterTest, RandomFiltersSelectExactlyTheRowsTheEvaluatorAccepts) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  int optimised = 0;
  int partial = 0;
  int expressions = 0;
  for (uint32_t seed = 1; seed <= 40 && Clock::now() < deadline; ++seed) {
    TearDown();
    SetUp();
    RandomFilters random(seed);
    CreateTable(seed % 3 == 0 ? kGermanLocale : 0);
    Add(random.Rows(30 + random.Below(120)));
    DeleteWhereI(-1);
    TDataCursor cursor(*directory_, "T");
    for (int i = 0; i < 25; ++i, ++expressions) {
      const std::string text = random.Expression(3);
      const TFilterOptions options = random.Options();
      SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text +
                   (options.CaseInsensitive ? " [nocase]" : "") + (options.WholeValue ? " [whole]" : ""));
      const std::set<int64_t> expected = Reference(text, options);
      TFilterList filters(cursor);
      const TFilter& filter = filters.add(text, options);
      optimised += filter.level() == flOptimized;
      partial += filter.level() == flPartiallyOptimized;
      cursor.setIndex(TDataCursor::kPhysicalOrder);
      const std::vector<int64_t> physical = Visit(cursor);
      EXPECT_TRUE(std::is_sorted(physical.begin(), physical.end()));
      EXPECT_EQ(AsSet(physical), expected);
      cursor.setIndex(random.Below(cursor.table().indexCount()));
      EXPECT_EQ(AsSet(Visit(cursor)), expected) << "in index order " << cursor.activeSlot();
      EXPECT_EQ(filters.recordCount(), static_cast<int64_t>(expected.size()));
    }
  }
  // The index paths must actually have been taken, not only the fallback.
  EXPECT_GT(optimised, expressions / 10);
  EXPECT_GT(partial, expressions / 20);
}

// A SELECT hands its WHERE over verified but unprepared (whole values, case
// counting): the filter path must deliver what record-by-record evaluation
// of the same tree delivers.
TEST_F(FilterTest, RandomWhereConditionsThroughTheFilterMatchTheEvaluatingStrategy) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    TearDown();
    SetUp();
    RandomFilters random(1000 + seed);
    CreateTable(seed % 4 == 0 ? kGermanLocale : 0);
    Add(random.Rows(40 + random.Below(80)));
    DeleteWhereI(-1);
    TDataCursor source(*directory_, "T", {.physicalOrderOnly = true});
    TTableColumns columns(source.fields());
    for (int i = 0; i < 25; ++i) {
      const std::string text = random.Expression(3);
      SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text);
      TExpressionParser parser;
      parser.Load(text);
      std::unique_ptr<TExpToken> where = parser.ParseWholeText(WhereContext);
      TExpressionVerifier(parser.Errors(), columns).VerifyFilter(*where);
      TSelectEvaluatingFilter evaluating(*where, TCollation::ForLocale(source.table().locale(), "T"), clock_);
      evaluating.InstallOn(source);
      const std::vector<int64_t> expected = Visit(source);
      TFilterWhere optimised(*where, {.Clock = &clock_});
      optimised.InstallOn(source);
      EXPECT_EQ(Visit(source), expected);
      source.setFilter({});
    }
  }
}

}  // namespace
}  // namespace keel::testing
