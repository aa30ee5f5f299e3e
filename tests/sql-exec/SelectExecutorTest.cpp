#include "engine/sql/SelectExecutor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/sql-exec/ExecFixture.h"

namespace keel::testing {
namespace {

// Physical slots: 1 Code 50, 2 Code 5 (reusing the slot of the deleted
// Code 10), 3 Code 40, 4 Code 20, 5 Code 30, 6 Code 60, 7 Code 70. The
// primary index orders by Code, which differs from both the physical and
// the date order.
class SelectExecutorTest : public ExecTest {
 protected:
  void SetUp() override {
    ExecTest::SetUp();
    AddPeople({{50, "anna", std::nullopt, 100, 3, "first notes"},
               {10, "gone", false, 90},
               {40, "carl", false, 100, 7},
               {20, std::nullopt, std::nullopt, std::nullopt},
               {30, "dora", false, 80, 7},
               {60, "emil", true, 100}});
    DeletePerson(10);
    AddPeople({{5, "Bert", false, 100}, {70, "fred", std::nullopt, 95}});
  }
};

struct QueryCase {
  const char* Sql;
  std::vector<int> Codes;
};

TEST_F(SelectExecutorTest, ApplicationQueriesGiveTheirRowsInDateThenPhysicalOrder) {
  CreateFamilies({{1, 300}, {2, std::nullopt}, {3, 200}, {4, 300}});
  const QueryCase cases[] = {
      // A null "Dead" counts as not dead; equal dates keep the physical
      // order, so the row in the reused slot 2 comes before slot 3.
      {"SELECT *\r\nFROM People P\r\nWHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL\r\n"
       "ORDER BY P.[Search date~J]",
       {30, 70, 50, 5, 40}},
      {"SELECT *\nFROM People P\nWHERE P.[Search date~J] IS NOT NULL\nORDER BY P.[Search date~J]",
       {30, 70, 50, 5, 40, 60}},
      {"SELECT *\nFROM People P\nWHERE P.[Dead] <> True AND P.[Christening day~J] IS NOT NULL\n"
       "ORDER BY P.[Christening day~J]",
       {50, 40, 30}},
      {"SELECT *\nFROM Families F\nWHERE F.[Marriage date~J] IS NOT NULL\nORDER BY F.[Marriage date~J]",
       {3, 1, 4}},
      {"SELECT * FROM \"People.dat\" P WHERE P.Dead = True", {60}},
      {"SELECT * FROM People WHERE Code > 1000", {}},
  };
  for (const QueryCase& c : cases) EXPECT_EQ(CodesOf(c.Sql), c.Codes) << c.Sql;
}

TEST_F(SelectExecutorTest, OrderOfResultsFollowsOrderByFlagsOrElseTheSourcePrimaryKey) {
  const QueryCase cases[] = {
      {"SELECT Code FROM People", {5, 20, 30, 40, 50, 60, 70}},
      {"SELECT Code, Given FROM People WHERE Given IS NOT NULL ORDER BY Given", {5, 50, 40, 30, 60, 70}},
      {"SELECT Code, Given FROM People WHERE Given IS NOT NULL ORDER BY Given NOCASE",
       {50, 5, 40, 30, 60, 70}},
      {"SELECT Code, Given FROM People WHERE Given IS NOT NULL ORDER BY 2 DESC NOCASE",
       {70, 60, 30, 40, 5, 50}},
      // Null sorts first ascending and last descending.
      {"SELECT Code, [Search date~J] AS D FROM People ORDER BY D DESC, Code", {5, 40, 50, 60, 70, 30, 20}},
      {"SELECT P.Code, P.[Search date~J] FROM People P ORDER BY P.[Search date~J], P.Code DESC",
       {20, 30, 70, 60, 50, 40, 5}},
  };
  for (const QueryCase& c : cases) EXPECT_EQ(CodesOf(c.Sql), c.Codes) << c.Sql;
}

// Many equal dates, nulls, and slots freed and reused at random: the result
// must be the stable sort of the non-null rows taken in physical order.
TEST_F(ExecTest, OrderedResultIsTheStableSortOfThePhysicalRows) {
  std::mt19937 random(7);
  std::vector<Person> people;
  for (int code = 1; code <= 300; ++code) {
    std::optional<int32_t> day;
    if (random() % 10 >= 3) day = static_cast<int32_t>(random() % 20);
    people.push_back({code, "p", false, day});
  }
  AddPeople(people);
  for (int code = 1; code <= 300; code += 1 + static_cast<int>(random() % 4)) DeletePerson(code);
  std::vector<Person> later;
  for (int code = 301; code <= 380; ++code)
    later.push_back({code, "q", false, static_cast<int32_t>(random() % 20)});
  AddPeople(later);

  std::vector<std::pair<int32_t, int>> physical;  // (day, code) of the non-null rows
  {
    TDataCursor source(*database_, "People");
    source.setIndex(TDataCursor::kPhysicalOrder);
    std::vector<uint8_t> row(source.rowSize());
    for (Nav at = source.first(); at == Nav::Ok; at = source.next()) {
      source.currentRow(row);
      FieldRead day = GetField(row, source.field("Search date~J"));
      if (!day.isNull)
        physical.emplace_back(LoadI32(day.bytes.data()),
                              LoadI32(GetField(row, source.field("Code")).bytes.data()));
    }
  }
  // The later rows went into freed slots, before older rows.
  ASSERT_FALSE(std::is_sorted(physical.begin(), physical.end(),
                              [](const auto& a, const auto& b) { return a.second < b.second; }));
  for (bool descending : {false, true}) {
    std::vector<std::pair<int32_t, int>> expected = physical;
    std::stable_sort(expected.begin(), expected.end(), [descending](const auto& a, const auto& b) {
      return descending ? a.first > b.first : a.first < b.first;
    });
    std::vector<int> codes;
    for (const auto& entry : expected) codes.push_back(entry.second);
    const std::string sql =
        std::string("SELECT * FROM People P WHERE P.[Search date~J] IS NOT NULL ORDER BY P.[Search date~J]") +
        (descending ? " DESC" : "");
    EXPECT_EQ(CodesOf(sql), codes) << sql;
  }
}

TEST_F(SelectExecutorTest, StarCopiesEveryColumnWithItsNameTypeNullStateAndRawBytes) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("SELECT * FROM People P WHERE Code IN (20, 50) ORDER BY Code");
  TDataCursor& result = executor.Execute();
  TDataCursor source(*database_, "People");
  ASSERT_EQ(result.fields().size(), source.fields().size());
  for (size_t i = 0; i < source.fields().size(); ++i) {
    EXPECT_EQ(result.fields()[i].name, source.fields()[i].name);
    EXPECT_EQ(result.fields()[i].type, source.fields()[i].type);
    EXPECT_EQ(result.fields()[i].size, source.fields()[i].size);
  }
  EXPECT_EQ(executor.RowsAffected(), 2);
  EXPECT_EQ(Column(result, "Given"), (std::vector<std::string>{"NULL", "anna"}));
  EXPECT_EQ(Column(result, "Dead"), (std::vector<std::string>{"NULL", "NULL"}));
  EXPECT_EQ(Column(result, "Notes"), (std::vector<std::string>{"NULL", "first notes"}));
  std::vector<uint8_t> row(result.rowSize());
  ASSERT_EQ(result.last(), Nav::Ok);
  result.currentRow(row);
  FieldRead raw = GetField(row, result.field("Search date~B"));
  ASSERT_FALSE(raw.isNull);
  EXPECT_EQ(std::vector<uint8_t>(raw.bytes.begin(), raw.bytes.end()), DateRecord(100));
}

TEST_F(SelectExecutorTest, ExpressionsAndAliasesBecomeTypedNamedColumns) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare(
      "SELECT Code, Given AS [First name], Code * 2 AS Twice, UPPER(Given), RecordID, Code AS [Code]\n"
      "FROM People WHERE Code < 40 ORDER BY [First name] DESC");
  TDataCursor& result = executor.Execute();
  std::vector<std::string> names;
  for (const FieldDescriptor& field : result.fields()) names.push_back(field.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Code", "First name", "Twice", "UPPER(Given)", "RecordID_1",
                                             "Code_1"}));
  EXPECT_EQ(result.field("Twice").type, FieldType::Integer);
  EXPECT_EQ(result.field("UPPER(Given)").type, FieldType::String);
  EXPECT_EQ(Column(result, "First name"), (std::vector<std::string>{"dora", "Bert", "NULL"}));
  EXPECT_EQ(Column(result, "Twice"), (std::vector<std::string>{"60", "10", "40"}));
  EXPECT_EQ(Column(result, "UPPER(Given)"), (std::vector<std::string>{"DORA", "BERT", "NULL"}));
  // RecordIDs of the source rows: Code 30 was the fifth row added, Code 5 the seventh.
  EXPECT_EQ(Column(result, "RecordID_1"), (std::vector<std::string>{"5", "7", "4"}));
}

TEST_F(SelectExecutorTest, RowLimitsAndTop) {
  const std::string byDate =
      "SELECT * FROM People P WHERE P.[Search date~J] IS NOT NULL ORDER BY P.[Search date~J]";
  TSelectSettings none = Settings();
  none.MaxRowCount = 0;
  EXPECT_EQ(CodesOf(byDate, none), std::vector<int>{});
  // The limit stops the generation: the first two rows visited, then ordered.
  TSelectSettings two = Settings();
  two.MaxRowCount = 2;
  EXPECT_EQ(CodesOf(byDate, two), (std::vector<int>{50, 5}));
  // TOP keeps the first rows of the ordered result.
  EXPECT_EQ(CodesOf(byDate + " TOP 2"), (std::vector<int>{30, 70}));
  EXPECT_EQ(CodesOf(byDate + " TOP 0"), std::vector<int>{});
  EXPECT_EQ(CodesOf("SELECT Code FROM People TOP 3"), (std::vector<int>{5, 40, 50}));
}

TEST_F(SelectExecutorTest, ParameterValuesAreTakenAtEachExecution) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("SELECT Code FROM People WHERE Code >= ? ORDER BY Code");
  ASSERT_EQ(executor.Statement().Parameters().size(), 1u);
  executor.Statement().Parameters()[0]->SetInteger(FieldType::Integer, 50);
  EXPECT_EQ(Codes(executor.Execute()), (std::vector<int>{50, 60, 70}));
  executor.Statement().Parameters()[0]->SetInteger(FieldType::Integer, 65);
  EXPECT_EQ(Codes(executor.Execute()), (std::vector<int>{70}));
}

TEST_F(SelectExecutorTest, PlanNamesTheResultKindItsOrderAndTheCondition) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("SELECT * FROM People P WHERE P.Dead <> True ORDER BY P.[Search date~J] DESC NOCASE");
  executor.Execute(true);
  const std::vector<std::string>& plan = executor.Plan();
  for (const char* line :
       {"SQL statement (Executed with 4.29 Build 4)", "Tables Involved", "Result Set Generation",
        "Result set will be canned",
        "Result set will be ordered by the following column(s) using a case-insensitive temporary "
        "index:",
        "Search date~J DESC", "WHERE Clause Execution"}) {
    EXPECT_NE(std::find(plan.begin(), plan.end(), line), plan.end()) << line;
  }
  executor.Execute();
  EXPECT_TRUE(executor.Plan().empty());
}

TEST_F(SelectExecutorTest, EmptyResultIsOpenAtBothEnds) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("SELECT * FROM People WHERE Given = 'nobody'");
  TDataCursor& result = executor.Execute();
  EXPECT_EQ(executor.RowsAffected(), 0);
  EXPECT_EQ(result.first(), Nav::Eof);
  EXPECT_TRUE(result.isBof());
  EXPECT_TRUE(result.isEof());
}

TEST_F(SelectExecutorTest, ProgressIsReportedInStepsAndCanStopTheGeneration) {
  std::vector<int> reports;
  TSelectSettings settings = Settings();
  settings.ProgressSteps = 2;  // a report whenever 50 more percent were visited
  settings.OnQueryProgress = [&reports](int percent, bool&) { reports.push_back(percent); };
  CodesOf("SELECT Code FROM People", settings);
  EXPECT_EQ(reports, (std::vector<int>{57, 100}));

  reports.clear();
  settings.OnQueryProgress = [&reports](int percent, bool& stop) {
    reports.push_back(percent);
    stop = true;
  };
  // Rows of slots 1 to 4 were generated when the handler stopped at 57%.
  EXPECT_EQ(CodesOf("SELECT Code FROM People", settings), (std::vector<int>{5, 20, 40, 50}));
  EXPECT_EQ(reports, std::vector<int>{57});
}

TEST_F(SelectExecutorTest, LiveResultIsTheFilteredSourceCursorWhenAnIndexKeepsTheOrder) {
  TSelectSettings settings = Settings();
  settings.RequestLive = true;
  TSelectExecutor executor(*database_, settings, clock_);
  executor.Prepare("SELECT * FROM People WHERE Dead = False ORDER BY Code");
  TDataCursor& live = executor.Execute();
  EXPECT_TRUE(executor.Live());
  EXPECT_EQ(executor.ResultTable(), nullptr);
  EXPECT_EQ(live.table().name(), "People");
  EXPECT_FALSE(live.readOnly());
  EXPECT_EQ(Codes(live), (std::vector<int>{5, 30, 40}));
  EXPECT_EQ(executor.RowsAffected(), 3);

  // No index orders by Given: the result is canned even though live was asked for.
  executor.Prepare("SELECT * FROM People WHERE Dead = False ORDER BY Given");
  TDataCursor& canned = executor.Execute();
  EXPECT_FALSE(executor.Live());
  EXPECT_EQ(Codes(canned), (std::vector<int>{5, 40, 30}));
}

struct ErrorCase {
  const char* Sql;
  ErrorCode Code;
  const char* Message;  // a part of the message
};

TEST_F(SelectExecutorTest, StatementsOutsideTheSubsetOrWithBadClausesFailWithTheirMessages) {
  CreateFamilies({});
  const ErrorCase cases[] = {
      {"SELECT * FROM People P, Families F", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with JOIN are not supported"},
      {"SELECT * FROM People P INNER JOIN Families F ON P.Code = F.Code", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with JOIN are not supported"},
      {"SELECT DISTINCT Given FROM People", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with DISTINCT are not supported"},
      {"SELECT COUNT(*) FROM People", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with aggregate functions are not supported"},
      {"SELECT Dead FROM People GROUP BY Dead", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with GROUP BY are not supported"},
      {"SELECT Code FROM People UNION SELECT Code FROM Families", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with UNION are not supported"},
      {"SELECT Code FROM People WHERE Code IN (SELECT Code FROM Families)", ErrorCode::KEEL_SQLEXEC,
       "SELECT statements with sub-queries are not supported"},
      {"SELECT Code FROM People HAVING Code > 1", ErrorCode::KEEL_SQLPARSE,
       "A GROUP BY clause must exist in order to use the HAVING clause"},
      {"SELECT Code, Notes FROM People ORDER BY Notes", ErrorCode::KEEL_SQLPARSE,
       "Invalid ORDER BY BLOB column name"},
      {"SELECT Code, Notes FROM People ORDER BY 2", ErrorCode::KEEL_SQLPARSE,
       "Invalid ORDER BY BLOB column number"},
      {"SELECT Code FROM People ORDER BY 2", ErrorCode::KEEL_SQLPARSE, "column number"},
      {"SELECT Place || Place FROM People", ErrorCode::KEEL_SQLPARSE,
       "Maximum field size (512) exceeded for column expression Place || Place"},
      {"SELECT Code FROM People WHERE Given + 1 = 2", ErrorCode::KEEL_SQLPARSE, ""},
      {"SELECT * FROM Nowhere", ErrorCode::KEEL_OSENOENT, ""},
  };
  for (const ErrorCase& c : cases) {
    TSelectExecutor executor(*database_, Settings(), clock_);
    EKeelEngineError error = ErrorOf([&] {
      executor.Prepare(c.Sql);
      executor.Execute();
    });
    EXPECT_EQ(error.code(), c.Code) << c.Sql << ": " << error.what();
    EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << c.Sql << ": " << error.what();
    EXPECT_FALSE(executor.Prepared()) << c.Sql;
  }
  EXPECT_TRUE(PrivateFiles().empty());
  EXPECT_FALSE(database_->isOpen("People"));
}

TEST_F(SelectExecutorTest, OtherStatementKindsAreRecognisedButNotExecuted) {
  TSelectExecutor executor(*database_, Settings(), clock_);
  executor.Prepare("DELETE FROM People");
  EXPECT_EQ(executor.Statement().Kind(), TStatementKind::Delete);
  EKeelEngineError error = ErrorOf([&] { executor.Execute(); });
  EXPECT_EQ(error.code(), ErrorCode::KEEL_SQLEXEC);
  EXPECT_NE(std::string(error.what()).find("DELETE SQL statement is not supported"), std::string::npos)
      << error.what();
}

}  // namespace
}  // namespace keel::testing
