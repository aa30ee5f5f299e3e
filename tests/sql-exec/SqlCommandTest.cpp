// The `keel sql` command of the built tool: result rows as JSON lines,
// engine errors on the error stream with exit code 2.

#include <gtest/gtest.h>

#include "tests/sql-exec/ExecFixture.h"
#include "tests/support/ToolRun.h"

namespace keel::testing {
namespace {

using mindrel::testing::ToolRun;

class SqlCommandTest : public ExecTest {
 protected:
  void SetUp() override {
    ExecTest::SetUp();
    AddPeople({{30, "dora", false, 80}, {10, "K\xF6ln", true, 90}, {20, std::nullopt, std::nullopt, 80}});
  }

  ToolRun Sql(std::vector<std::string> args) {
    args.insert(args.begin(), "sql");
    return mindrel::testing::RunTool("keel", args, root_.string());
  }
  std::string Db() const { return (root_ / "db").string(); }
};

TEST_F(SqlCommandTest, PrintsResultRowsAsJsonLinesInResultOrder) {
  ToolRun run = Sql({Db(), "SELECT Code, Given AS [First name], Dead\nFROM People P\nORDER BY P.Code DESC"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"Code\":30,\"First name\":\"dora\",\"Dead\":false}\n"
            "{\"Code\":20,\"First name\":null,\"Dead\":null}\n"
            "{\"Code\":10,\"First name\":\"K\xC3\xB6ln\",\"Dead\":true}\n");

  run = Sql({Db(), "SELECT RecordID, Code FROM People WHERE [Search date~J] = 80", "--max-rows", "1"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "{\"RecordID_1\":1,\"Code\":30}\n");
}

TEST_F(SqlCommandTest, EncryptedTablesNeedTheirPassword) {
  {
    TDataEngine engine;
    TDataSession session(engine);
    TDataDirectory folder(session, Db());
    TableCreateRequest request;
    request.name = "Secret";
    request.encrypted = true;
    request.password = "tree";
    request.fields = {Field("Code", FieldType::Integer)};
    folder.createTable(request);
    TDataCursor cursor(folder, "Secret");
    std::vector<uint8_t> row = cursor.newRow();
    SetInt(row, cursor.field("Code"), 7);
    cursor.append(row);
  }
  ToolRun run = Sql({Db(), "SELECT * FROM Secret", "--password", "tree"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "{\"Code\":7}\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{Db(), "SELECT * FROM Secret"},
        std::vector<std::string>{Db(), "SELECT * FROM Secret", "--password", "wood"}}) {
    run = Sql(args);
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Keel Engine Error # 10498"), std::string::npos) << run.err;
  }
}

TEST_F(SqlCommandTest, EngineErrorsGoToTheErrorStreamWithExitCodeTwo) {
  const struct {
    std::vector<std::string> Args;
    int Code;
    const char* Err;
  } cases[] = {
      {{"SELECT * FROM People WHERE", ""}, 2, "SQL parsing error"},
      {{"SELECT * FROM People P, People Q", ""},
       2,
       "SQL execution error - SELECT statements with JOIN are not supported"},
      {{"SELECT * FROM Missing", ""}, 2, "11010"},
      {{"SELECT * FROM People", "--max-rows"}, 64, "--max-rows needs a value"},
      {{"SELECT * FROM People", "--max-rows=-1"}, 64, "unknown option"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{Db(), c.Args[0]};
    if (!c.Args[1].empty()) args.push_back(c.Args[1]);
    ToolRun run = Sql(args);
    EXPECT_EQ(run.code, c.Code) << c.Args[0] << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.Args[0];
    EXPECT_NE(run.err.find(c.Err), std::string::npos) << c.Args[0] << ": " << run.err;
  }
}

TEST_F(SqlCommandTest, DamagedTableGivesItsEngineError) {
  fs::resize_file(root_ / "db" / "People.dat", 100);  // cut inside the header
  ToolRun run = Sql({Db(), "SELECT * FROM People"});
  EXPECT_EQ(run.code, 2) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Keel Engine Error # "), std::string::npos) << run.err;
  EXPECT_TRUE(PrivateFiles().empty());
}

}  // namespace
}  // namespace keel::testing
