// Random filters over random tables: the rows a filtered cursor visits, in
// physical and in index order, and its record count, must be exactly the
// rows for which the evaluator finds the expression true.

#include <chrono>

#include "engine/sql/FilterWhere.h"
#include "tests/sql-filter/EvaluatingWhere.h"
#include "tests/sql-filter/RandomFilters.h"

namespace keel::testing {
namespace {

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
    TFieldColumns columns(source.fields());
    for (int i = 0; i < 25; ++i) {
      const std::string text = random.Expression(3);
      SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text);
      TExpressionParser parser;
      parser.Load(text);
      std::unique_ptr<TExpToken> where = parser.ParseWholeText(WhereContext);
      TExpressionVerifier(parser.Errors(), columns).VerifyFilter(*where);
      TEvaluatingWhere evaluating(*where, TCollation::ForLocale(source.table().locale(), "T"), clock_);
      evaluating.InstallOn(source, TSelectRowFilter::Reading::Navigated);
      const std::vector<int64_t> expected = Visit(source);
      source.setFilter({});
      for (const auto reading :
           {TSelectRowFilter::Reading::Navigated, TSelectRowFilter::Reading::OnceInPhysicalOrder}) {
        TFilterWhere optimised(*where, {.Clock = &clock_});
        optimised.InstallOn(source, reading);
        EXPECT_EQ(Visit(source), expected);
      }
    }
  }
}

}  // namespace
}  // namespace keel::testing
