#include "engine/components/KeelQuery.h"

#include <gtest/gtest.h>

#include <set>

#include "ComponentFixture.h"

namespace keel::testing {
namespace {

// Answers a statement beginning with SELECT by a cursor on its last word's
// table, any other statement with no result; notes each statement run.
class RecordingQuery : public TKeelQuery {
 public:
  ~RecordingQuery() override { Close(); }
  std::vector<std::string> runs;

 protected:
  TStatementResult RunStatement(const TScannedStatement& statement, TDataDirectory& folder) override {
    runs.push_back(statement.Text + "@" + std::to_string(statement.FirstLine) + ":" +
                   std::to_string(statement.FirstColumn));
    result_.reset();
    if (statement.Text.rfind("SELECT", 0) != 0) return {};
    const std::string table = statement.Text.substr(statement.Text.rfind(' ') + 1);
    result_ = std::make_unique<TDataCursor>(folder, table);
    return {result_.get(), RequestLive};
  }
  void CloseCursor() override {
    result_.reset();
    TKeelQuery::CloseCursor();
  }

 private:
  std::unique_ptr<TDataCursor> result_;
};

class KeelQueryTest : public ComponentTest {};

TEST_F(KeelQueryTest, EmptyTextIsRefusedBeforeTheDatabaseIsTouched) {
  TKeelQuery query;
  query.SetDatabaseName(folder());
  for (const std::vector<std::string>& sql :
       {std::vector<std::string>{}, {"  ", ""}, {"-- nothing here", "/* nor here */"}}) {
    query.SetSQL(sql);
    EXPECT_EQ(DatabaseErrorOf([&] { query.Open(); }), "No SQL statement available");
    EXPECT_FALSE(query.Active());
  }
  EXPECT_EQ(engine().DefaultSession().DatabaseCount(), 0u);
}

TEST_F(KeelQueryTest, NamedParametersAreCollectedWhenTheTextChanges) {
  TKeelQuery query;
  query.SetSQL({"SELECT * FROM People P", "WHERE P.Code = :Code OR P.Parent = :code", "AND P.[Name] = :\"Full name\""});
  ASSERT_EQ(query.Params().Count(), 2u);
  EXPECT_EQ(query.Params()[0].Name, "Code");
  EXPECT_EQ(query.Params()[1].Name, "Full name");
  query.Params().ParamByName("CODE").Value = "7";

  query.SetSQL({"SELECT * FROM People P WHERE P.Code = :Code AND P.Town = :Town"});
  ASSERT_EQ(query.Params().Count(), 2u);
  EXPECT_EQ(query.Params().ParamByName("Code").Value, "7");
  EXPECT_FALSE(query.Params().ParamByName("Town").Value.has_value());
  EXPECT_EQ(DatabaseErrorOf([&] { query.Params().ParamByName("Full name"); }), "Parameter 'Full name' not found");

  query.ParamCheck = false;
  query.SetSQL({"SELECT * FROM People WHERE Code = :Other"});
  EXPECT_EQ(query.Params().Count(), 2u);
}

TEST_F(KeelQueryTest, ParseErrorsPointIntoTheTextAndLeaveTheQueryClosed) {
  createEventsTable();
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT *", "FROM Events E", "WHERE E.[Nope] IS NULL"});
  try {
    query.Open();
    FAIL() << "no parse error";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_SQLPARSE);
    EXPECT_EQ(error.line(), 3);
    EXPECT_EQ(error.column(), 7);
  }
  EXPECT_FALSE(query.Active());
  EXPECT_FALSE(query.Prepared());
  query.SetDatabaseName(folder() + "/other");  // no longer attached
}

TEST_F(KeelQueryTest, TheLastStatementOfARunGivesTheResult) {
  createEventsTable();
  {
    TKeelTable events;
    point(events, "Events");
    events.Open();
    for (const char* name : {"One", "Two"}) {
      events.Append();
      events.FieldByName("Description").SetAsString(name);
      events.Post();
    }
  }
  RecordingQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"DELETE FROM Events;", "  SELECT FROM Events"});
  query.Open();
  EXPECT_EQ(query.runs, (std::vector<std::string>{"DELETE FROM Events@1:1", "SELECT FROM Events@2:3"}));
  EXPECT_EQ(query.RecordCount(), 2);
  EXPECT_EQ(query.FieldByName("Description").AsString(), "One");
  query.Next();
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.FieldByName("Description").AsString(), "Two");
  EXPECT_FALSE(query.CanModify());  // a canned result
  EXPECT_EQ(DatabaseErrorOf([&] { query.Edit(); }), "Cannot modify a read-only dataset");
  query.Close();
  query.RequestLive = true;
  query.Open();
  query.Edit();
  query.FieldByName("Description").SetAsString("Uno");
  query.Post();
  EXPECT_EQ(query.FieldByName("Description").AsString(), "Uno");

  query.SetSQL({"SELECT FROM Events;", "DELETE FROM Events"});  // closes the open query
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(DatabaseErrorOf([&] { query.Open(); }), "Error creating table handle");
  EXPECT_FALSE(query.Active());
}

TEST_F(KeelQueryTest, TheErrorHandlerDecidesHowARunGoesOn) {
  createEventsTable();
  using enum TAbortAction;
  struct Case {
    std::vector<TAbortAction> answers;  // empty: no handler
    std::vector<std::string> runs;
    std::vector<TAbortAction> offered;  // the action each call found
    bool opens;
  };
  const std::string missing = "SELECT FROM Missing@1:1";
  const std::string events = "SELECT FROM Events@2:1";
  for (const Case& c : {Case{{}, {missing}, {}, false},
                        Case{{aaContinue}, {missing, events}, {aaContinue}, true},
                        Case{{aaRetry, aaRetry, aaContinue}, {missing, missing, missing, events},
                             {aaContinue, aaRetry, aaRetry}, true},
                        Case{{aaRetry, aaAbort}, {missing, missing}, {aaContinue, aaRetry}, false}}) {
    RecordingQuery query;
    query.SetDatabaseName(folder());
    query.SetSQL({"SELECT FROM Missing;", "SELECT FROM Events"});
    std::vector<TAbortAction> offered;
    std::vector<ErrorCode> errors;
    if (!c.answers.empty()) {
      query.OnQueryError = [&](TKeelQuery& sender, const std::exception& error, TAbortAction& action) {
        EXPECT_EQ(&sender, &query);
        errors.push_back(ErrorCodeOf(error));
        offered.push_back(action);
        action = c.answers.at(offered.size() - 1);
      };
    }
    const std::string label = "answers: " + std::to_string(c.answers.size());
    if (c.opens) {
      query.Open();
      EXPECT_EQ(query.RecordCount(), 0) << label;
    } else if (c.answers.empty()) {
      EXPECT_EQ(EngineErrorOf([&] { query.Open(); }), ErrorCode::KEEL_OSENOENT);
    } else {
      EXPECT_THROW(query.Open(), EAbort) << label;
    }
    EXPECT_EQ(query.Active(), c.opens) << label;
    EXPECT_EQ(query.runs, c.runs) << label;
    EXPECT_EQ(offered, c.offered) << label;
    EXPECT_EQ(errors, std::vector<ErrorCode>(c.offered.size(), ErrorCode::KEEL_OSENOENT)) << label;

    // The next run starts from aaContinue again.
    if (c.answers.empty()) continue;
    query.Close();
    offered.clear();
    try {
      query.Open();
    } catch (const EAbort&) {
    }
    EXPECT_EQ(query.Active(), c.opens) << label;
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front(), aaContinue) << label;
  }

  // A failed statement passed over gives no result of its own.
  RecordingQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT FROM Events;", "SELECT FROM Missing"});
  query.OnQueryError = [](TKeelQuery&, const std::exception&, TAbortAction&) {};
  EXPECT_EQ(DatabaseErrorOf([&] { query.Open(); }), "Error creating table handle");
}

// People of a family tree: a date record column, its day number and the
// death flag, written in an order the query must change.
class KeelQuerySqlTest : public KeelQueryTest {
 protected:
  void SetUp() override {
    KeelQueryTest::SetUp();
    // Result tables, and so the private folder's lock file, stay in the test's folder.
    engine().DefaultSession().SetPrivateDir(folder());
    TKeelTable people;
    point(people, "People");
    people.FieldDefs().Add("Code", TFieldType::ftInteger);
    people.FieldDefs().Add("Surname", TFieldType::ftString, 40);
    people.FieldDefs().Add("Dead", TFieldType::ftBoolean);
    people.FieldDefs().Add("Search date~B", TFieldType::ftBytes, 72);
    people.FieldDefs().Add("Search date~J", TFieldType::ftInteger);
    people.IndexDefs().Add("Primary", "Code", ixPrimary | ixUnique);
    people.CreateTableFromDefs();
    people.Open();
    struct Person {
      int code;
      const char* surname;
      int dead;  // -1: NULL
      int day;   // 0: NULL
    };
    for (const Person& p : {Person{1, "Ames", 0, 2450000}, Person{2, "Bolt", 1, 2440000}, Person{3, "Cole", -1, 2430000},
                            Person{4, "Dunn", 0, 0}, Person{5, "Eden", 0, 2430000}}) {
      people.Append();
      people.FieldByName("Code").SetAsInteger(p.code);
      people.FieldByName("Surname").SetAsString(p.surname);
      if (p.dead >= 0) people.FieldByName("Dead").SetAsBoolean(p.dead == 1);
      if (p.day != 0) {
        people.FieldByName("Search date~J").SetAsInteger(p.day);
        std::vector<uint8_t> record(72, static_cast<uint8_t>(p.code));
        people.FieldByName("Search date~B").SetData(record);
      }
      people.Post();
    }
  }
};

TEST_F(KeelQuerySqlTest, TheScanStatementGivesLivingPeopleInDateOrder) {
  engine().DefaultSession().SetPrivateDir(folder());
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT *", "FROM People P", "WHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL",
                "ORDER BY P.[Search date~J]"});
  query.Open();
  std::vector<std::string> names;
  std::vector<uint8_t> record(72);
  for (query.First(); !query.Eof(); query.Next()) {
    names.push_back(query.FieldByName("Surname").AsString());
    ASSERT_TRUE(query.FieldByName("search date~b").GetData(record));
    EXPECT_EQ(record[71], query.FieldByName("Code").AsInteger());
  }
  // NULL "Dead" passes "<> True"; equal dates keep the physical order.
  EXPECT_EQ(names, (std::vector<std::string>{"Cole", "Eden", "Ames"}));
  EXPECT_EQ(query.RecordCount(), 3);
  EXPECT_FALSE(query.CanModify());
  // The result table lives in the private folder and goes with the query.
  auto files = [&] {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) names.insert(entry.path().filename().string());
    names.erase("keel.lck");
    return names;
  };
  EXPECT_GT(files().size(), 2u);
  query.Close();
  EXPECT_EQ(files(), (std::set<std::string>{"People.dat", "People.idx"}));
}

TEST_F(KeelQuerySqlTest, ParametersAndEmptyResults) {
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT Surname FROM People WHERE Code > :Lowest ORDER BY Surname DESC"});
  query.Params().ParamByName("lowest").DataType = TFieldType::ftInteger;
  query.Params().ParamByName("lowest").Value = "3";
  query.Open();
  EXPECT_EQ(query.FieldCount(), 1);
  EXPECT_EQ(query.FieldByName("Surname").AsString(), "Eden");
  query.Close();

  query.Params().ParamByName("lowest").Value = "9";
  query.Open();
  EXPECT_TRUE(query.Bof());
  EXPECT_TRUE(query.Eof());
  query.Close();

  query.Params().ParamByName("lowest").Value = "three";
  EXPECT_EQ(DatabaseErrorOf([&] { query.Open(); }), "'three' is not a valid value for parameter 'Lowest'");
  EXPECT_FALSE(query.Active());
}

TEST_F(KeelQuerySqlTest, ProgressIsReportedAsTheSessionAsksAndMayStopTheResult) {
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT Code FROM People ORDER BY Code DESC"});
  std::vector<int> percents;
  int stopAt = 101;
  query.OnQueryProgress = [&](TKeelQuery& sender, int percent, bool& stop) {
    EXPECT_EQ(&sender, &query);
    percents.push_back(percent);
    stop = percent >= stopAt;
  };
  struct Case {
    int steps;
    std::vector<int> percents;
  };
  // Five source rows: each is 20 percent of the table.
  for (const Case& c : {Case{20, {20, 40, 60, 80, 100}}, Case{2, {60, 100}}, Case{0, {100}}}) {
    engine().DefaultSession().SetProgressSteps(c.steps);
    percents.clear();
    query.Open();
    EXPECT_EQ(percents, c.percents) << c.steps;
    EXPECT_EQ(query.RecordCount(), 5) << c.steps;
    query.Close();
  }

  engine().DefaultSession().SetProgressSteps(2);
  stopAt = 60;
  percents.clear();
  query.Open();
  EXPECT_EQ(percents, (std::vector<int>{60}));
  // The rows generated so far, in the result's order.
  EXPECT_EQ(query.RecordCount(), 3);
  EXPECT_EQ(query.FieldByName("Code").AsInteger(), 3);
}

TEST_F(KeelQuerySqlTest, FiltersOnResultsAndTheirCounts) {
  TKeelQuery query;
  query.SetDatabaseName(folder());
  query.SetSQL({"SELECT Code, Surname FROM People WHERE Code > 1"});
  query.SetFilter("Surname <> 'Dunn'");
  query.SetFiltered(true);
  struct Case {
    bool live;
    bool filterRecordCounts;
    int64_t count;
  };
  // A live result is the table's own cursor with the WHERE as its filter.
  for (const Case& c : {Case{false, true, 3}, Case{true, true, 3}, Case{false, false, 4}, Case{true, false, 5}}) {
    engine().core().settings().FilterRecordCounts = c.filterRecordCounts;
    query.RequestLive = c.live;
    query.Open();
    std::vector<int64_t> codes;
    for (; !query.Eof(); query.Next()) codes.push_back(query.FieldByName("Code").AsInteger());
    EXPECT_EQ(codes, (std::vector<int64_t>{2, 3, 5})) << c.live << c.filterRecordCounts;
    EXPECT_EQ(query.RecordCount(), c.count) << c.live << c.filterRecordCounts;
    query.Close();
  }
}

}  // namespace
}  // namespace keel::testing
