// Levels, index choice, the alert scan's condition, limits, errors and
// refreshing of cursor filters.

#include "engine/sql/FilterWhere.h"
#include "tests/sql-filter/FilterFixture.h"

namespace keel::testing {
namespace {

// The error code and message an action raised.
std::pair<ErrorCode, std::string> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKeelEngineError& error) {
    return {error.code(), error.what()};
  }
  return {ErrorCode::KEEL_NONE, ""};
}

std::vector<Values> SmallTable() {
  return {{.I = 1, .W = 3, .B = 1, .S = "ab"}, {.I = 2, .W = 0, .B = 0, .S = "AB"},
          {.I = 3, .W = 3, .S = "ab "},        {.I = std::nullopt, .W = 1, .B = 7, .S = "b"},
          {.I = 1, .W = std::nullopt, .B = 0}, {.I = -1, .W = 3, .B = 1, .S = "Ab"}};
}

struct PlanCase {
  std::string text;
  TFilterOptions options;
  int level;
  std::string index;  // of the single condition; "-" when none answers it
};

TEST_F(FilterTest, ConditionsAreAnsweredByTheSmallestQualifyingIndexOrEvaluated) {
  CreateTable();
  Add(SmallTable());
  const std::vector<PlanCase> cases = {
      {"I = 1", {}, flOptimized, "ByI"},  // ByIS also starts with I but has the longer key
      {"1 < I", {}, flOptimized, "ByI"},
      {"W = 3", {}, flOptimized, "ByWI"},  // first field of a two-field index
      {"S = 'ab'", {}, flOptimized, "ByS"},
      {"S = 'ab'", {.CaseInsensitive = true}, flOptimized, "BySNoCase"},
      {"UPPER(S) = 'AB'", {}, flOptimized, "BySNoCase"},
      {"LOWER(S) = 'ab'", {}, flOptimized, "BySNoCase"},
      {"S = 'a*'", {}, flOptimized, "ByS"},
      {"B <> TRUE", {}, flOptimized, "ByB"},
      {"I IN (1, 3, NULL)", {}, flOptimized, "ByI"},
      {"SI NOT BETWEEN -1 AND 1", {}, flOptimized, "BySI"},
      {"NOT (I = 1)", {}, flPartiallyOptimized, "-"},
      {"I > 2.5", {}, flUnoptimized, "-"},            // a fraction against whole numbers
      {"W = -1", {}, flUnoptimized, "-"},             // outside the column's range
      {"S = 'abcdefghijk'", {}, flUnoptimized, "-"},  // longer than the column
      {"UPPER(S) < 'B'", {.CaseInsensitive = true}, flOptimized, "BySNoCase"},
      {"TS IS NULL", {}, flUnoptimized, "-"},  // no index
      {"I = SI", {}, flUnoptimized, "-"},
      {"S LIKE 'a%'", {}, flUnoptimized, "-"},
      {"I + 1 > 2", {}, flUnoptimized, "-"},
  };
  TDataCursor cursor(*directory_, "T");
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.text);
    TFilterList filters(cursor);
    const TFilter& filter = filters.add(c.text, c.options);
    EXPECT_EQ(filter.level(), c.level);
    const std::vector<TFilterStep> steps = filter.steps();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].Slot < 0 ? "-" : steps[0].Index, c.index);
    EXPECT_EQ(AsSet(Visit(cursor)), Reference(c.text, c.options));
  }
}

struct AlertCase {
  std::vector<std::string> indexes;  // over "Dead" and "Search date~J"
  int level;
  bool rewritten;          // the IS NOT NULL test went first: more optimised, or fewer keys
  std::vector<int> steps;  // level of each AND operand in computed order
};

class AlertConditionTest : public FilterTest, public ::testing::WithParamInterface<AlertCase> {
 protected:
  // People with Dead false, true and NULL, with and without a search date.
  void CreatePeople(const std::vector<std::string>& indexes) {
    TableCreateRequest request;
    request.name = "People";
    request.fields = {Field("Code", FieldType::Integer), Field("Dead", FieldType::Boolean),
                      Field("Search date~J", FieldType::Integer)};
    for (const std::string& name : indexes) {
      request.secondaries.push_back(Index(name, {{static_cast<uint16_t>(name == "Dead" ? 2 : 3), false}}));
    }
    directory_->createTable(request);
    TDataCursor cursor(*directory_, "People");
    const std::vector<std::tuple<int32_t, std::optional<int16_t>, std::optional<int32_t>>> people = {
        {1, 0, 2460000},
        {2, 1, 2460001},
        {3, std::nullopt, 2460002},
        {4, 0, std::nullopt},
        {5, std::nullopt, std::nullopt},
        {6, 1, std::nullopt},
        {7, 0, 2459000}};
    for (const auto& [code, dead, search] : people) {
      std::vector<uint8_t> row = cursor.newRow();
      uint8_t bytes[4];
      StoreI32(bytes, code);
      SetFieldValue(row, cursor.field("Code"), bytes, 0);
      if (dead) {
        StoreI16(bytes, *dead);
        SetFieldValue(row, cursor.field("Dead"), bytes, 0);
      }
      if (search) {
        StoreI32(bytes, *search);
        SetFieldValue(row, cursor.field("Search date~J"), bytes, 0);
      }
      cursor.append(row);
    }
  }
};

TEST_P(AlertConditionTest, SameRowsAsTheEvaluatorAtTheExpectedLevel) {
  const AlertCase& c = GetParam();
  CreatePeople(c.indexes);
  const std::string text = "[Dead] <> True AND [Search date~J] IS NOT NULL";
  // Rows 1 and 3 (Dead false or NULL, with a date) and 7.
  const std::set<int64_t> expected = {1, 3, 7};
  ASSERT_EQ(Reference(text, {}, "People"), expected);

  TDataCursor cursor(*directory_, "People");
  TFilterList filters(cursor);
  const TFilter& filter = filters.add(text);
  EXPECT_EQ(filter.level(), c.level);
  EXPECT_EQ(filter.rewritten(), c.rewritten);
  std::vector<int> levels;
  for (const TFilterStep& step : filter.steps()) levels.push_back(step.Level);
  EXPECT_EQ(levels, c.steps);
  EXPECT_EQ(AsSet(Visit(cursor)), expected);
  EXPECT_EQ(filters.recordCount(), 3);

  // The same condition as a SELECT writes it, qualified, through the drop-in.
  TExpressionParser parser;
  parser.Load("P.[Dead] <> True AND P.[Search date~J] IS NOT NULL");
  std::unique_ptr<TExpToken> where = parser.ParseWholeText(WhereContext);
  TFieldColumns columns(cursor.fields());
  TExpressionVerifier(parser.Errors(), columns).VerifyFilter(*where);
  TDataCursor source(*directory_, "People", {.physicalOrderOnly = true});
  for (const auto reading :
       {TSelectRowFilter::Reading::Navigated, TSelectRowFilter::Reading::OnceInPhysicalOrder}) {
    TFilterWhere select(*where);
    select.InstallOn(source, reading);
    EXPECT_EQ(select.Filter()->level(), c.level);
    EXPECT_EQ(AsSet(Visit(source)), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, AlertConditionTest,
    ::testing::Values(AlertCase{{}, flUnoptimized, false, {flUnoptimized, flUnoptimized}},
                      AlertCase{{"Search"}, flPartiallyOptimized, true, {flOptimized, flUnoptimized}},
                      AlertCase{{"Dead", "Search"}, flOptimized, true, {flOptimized, flOptimized}}));

TEST_F(FilterTest, ASixtyFifthFilterIsRefusedAndTheOthersStayInForce) {
  CreateTable();
  Add(SmallTable());
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor);
  filters.add("I = 1");
  for (int i = 1; i < 64; ++i) filters.add("W IS NOT NULL OR I <> " + std::to_string(i));
  const auto [code, message] = ErrorOf([&] { filters.add("I IS NULL"); });
  EXPECT_EQ(code, ErrorCode::KEEL_INTERNALLIMIT);
  EXPECT_EQ(message, "Keel Engine Error # 9482 Too many filters defined for the table 'T'");
  EXPECT_EQ(filters.size(), 64u);
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1}));
}

TEST_F(FilterTest, RemovingAndDeactivatingFiltersWidensTheCursor) {
  CreateTable();
  Add(SmallTable());
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor);
  TFilter& narrow = filters.add("I = 1");
  filters.add("B = TRUE");
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1}));
  filters.setActive(narrow, false);
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1, 4, 6}));

  TDataCursor other(*directory_, "T");
  TFilterList otherFilters(other);
  const TFilter& foreign = otherFilters.add("I = 2");
  const auto [code, message] = ErrorOf([&] { filters.remove(foreign); });
  EXPECT_EQ(code, ErrorCode::KEEL_NOSUCHFILTER);
  EXPECT_EQ(message, "Keel Engine Error # 10050 Invalid filter handle specified for the table 'T'");

  filters.removeAll();
  EXPECT_EQ(Visit(cursor).size(), SmallTable().size());
  EXPECT_EQ(filters.recordCount(), static_cast<int64_t>(SmallTable().size()));
}

TEST_F(FilterTest, BadFilterTextsRaiseFilterErrors) {
  CreateTable();
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"I + 1",
       "Keel Engine Error # 10051 Filter error for the table 'T' - filter expression must be a boolean "
       "expression at "
       "line 1, column 3"},
      {"I =",
       "Keel Engine Error # 10051 Filter error for the table 'T' - Missing expression in filter expression "
       "at line 1, "
       "column 4"},
      {"Nowhere = 1",
       "Keel Engine Error # 10051 Filter error for the table 'T' - Expected column name but instead found "
       "Nowhere in "
       "filter expression at line 1, column 1"},
  };
  for (const auto& [text, expected] : cases) {
    const auto [code, message] = ErrorOf([&filters, filterText = text] { filters.add(filterText); });
    EXPECT_EQ(code, ErrorCode::KEEL_INVALIDFILTER) << text;
    EXPECT_EQ(message, expected);
  }
  EXPECT_EQ(filters.size(), 0u);
}

TEST_F(FilterTest, EvaluationErrorsAriseOnlyWhereTheEvaluatorMeetsThem) {
  CreateTable();
  TDataCursor cursor(*directory_, "T");
  {
    TFilterList filters(cursor);
    EXPECT_EQ(filters.add("I = 1 / 0").bitmap().count(), 0);  // no record reaches the division
  }
  Add(SmallTable());
  TFilterList filters(cursor);
  EXPECT_EQ(filters.add("I > 5 AND I = 1 / 0").bitmap().count(), 0);
  const auto [code, message] = ErrorOf([&] { filters.add("I > 2 AND I = 1 / 0"); });
  EXPECT_EQ(code, ErrorCode::KEEL_SQLEXEC) << message;
  EXPECT_EQ(filters.size(), 1u);
}

TEST_F(FilterTest, CurrentDateComesFromTheFiltersClock) {
  CreateTable();
  Add({{.I = 1, .D = Day("2024-01-02")}, {.I = 2, .D = Day("2024-05-01")}});
  const mindrel::FixedClock january(mindrel::LocalDateTime{{2024, 1, 2}, 12, 0, 0, 0});
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor, {.Clock = &january});
  EXPECT_EQ(filters.add("D = CURRENT_DATE").level(), flOptimized);
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1}));
}

TEST_F(FilterTest, ChangesThroughAnotherCursorShowAtTheNextMoveAndCount) {
  CreateTable();
  Add(SmallTable());
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor);
  filters.add("I = 1");
  EXPECT_EQ(filters.recordCount(), 2);

  {
    TDataCursor writer(*directory_, "T");
    std::vector<uint8_t> row = writer.newRow();
    uint8_t bytes[4];
    StoreI32(bytes, 1);
    SetFieldValue(row, writer.field("I"), bytes, 0);
    writer.append(row);
  }
  EXPECT_EQ(filters.recordCount(), 3);
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1, 5, 7}));
}

TEST_F(FilterTest, WithoutFilterRecordCountsAFilteredCursorCountsTheWholeTable) {
  CreateTable();
  Add(SmallTable());
  engine_.settings().FilterRecordCounts = false;
  TDataCursor cursor(*directory_, "T");
  cursor.setIndex("ByI");
  std::vector<uint8_t> low = cursor.newRow();
  std::vector<uint8_t> high = cursor.newRow();
  uint8_t bytes[4];
  StoreI32(bytes, 1);
  SetFieldValue(low, cursor.field("I"), bytes, 0);
  StoreI32(bytes, 3);
  SetFieldValue(high, cursor.field("I"), bytes, 0);
  cursor.setRange(low, 1, high, 1);
  EXPECT_EQ(cursor.recordCount(), 4);  // a range alone is counted exactly

  TFilterList filters(cursor);
  filters.add("I = 1");
  EXPECT_EQ(cursor.recordCount(), 6);
  EXPECT_EQ(filters.recordCount(), 6);
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{1, 5}));  // moves stay filtered
  engine_.settings().FilterRecordCounts = true;
  EXPECT_EQ(cursor.recordCount(), 2);
}

TEST_F(FilterTest, CallbackFiltersAreCalledForEveryRecord) {
  CreateTable();
  Add(SmallTable());
  DeleteWhereI(2);
  TDataCursor cursor(*directory_, "T", {.physicalOrderOnly = true});
  TFilterList filters(cursor);
  int calls = 0;
  const TFilter& filter = filters.add([&](std::span<const uint8_t> row) {
    ++calls;
    return GetField(row, cursor.field("S")).isNull || GetField(row, cursor.field("W")).isNull;
  });
  EXPECT_EQ(filter.level(), flUnoptimized);
  EXPECT_EQ(calls, 5);  // the deleted record is not offered
  EXPECT_EQ(AsSet(Visit(cursor)), (std::set<int64_t>{5}));
}

TEST(RecordsBitmap, SearchesCountsAndComplementStayWithinTheRecords) {
  TRecordsBitmap bits(130);
  for (int64_t k : {1, 64, 65, 128, 130}) EXPECT_TRUE(bits.set(k));
  EXPECT_FALSE(bits.set(0));
  EXPECT_FALSE(bits.set(131));
  EXPECT_EQ(bits.count(), 5);
  const std::vector<std::tuple<int64_t, int64_t, int64_t>> searches = {
      // from, next set at or after, previous set at or before
      {1, 1, 1}, {2, 64, 1}, {64, 64, 64}, {66, 128, 65}, {129, 130, 128}, {131, 0, 130}, {0, 1, 0}};
  for (const auto& [from, next, previous] : searches) {
    EXPECT_EQ(bits.nextSet(from), next) << from;
    EXPECT_EQ(bits.previousSet(from), previous) << from;
  }
  bits.complement();
  EXPECT_EQ(bits.count(), 125);
  EXPECT_FALSE(bits.test(130));
  EXPECT_EQ(bits.previousSet(200), 129);
  TRecordsBitmap all(130);
  all.setAll();
  all.subtract(bits);
  EXPECT_EQ(all.count(), 5);
  all.resize(64);
  EXPECT_EQ(all.count(), 2);
}

}  // namespace
}  // namespace keel::testing
