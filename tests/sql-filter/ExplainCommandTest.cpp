// The keel tool's explain command and the filter options of dump.

#include <array>
#include <cstdio>
#include <sstream>

#include "tests/sql-filter/FilterFixture.h"
#include "tools/keel/FilterCommands.h"
#include "tools/keel/RowJson.h"

namespace keel::testing {
namespace {

class ExplainCommandTest : public FilterTest {
 protected:
  // People with an index on the search date only, as the alert scan meets them.
  void CreatePeople() {
    TableCreateRequest request;
    request.name = "People";
    request.fields = {Field("Code", FieldType::Integer), Field("Dead", FieldType::Boolean),
                      Field("Search date~J", FieldType::Integer)};
    request.secondaries = {Index("Search", {{3, false}})};
    directory_->createTable(request);
    TDataCursor cursor(*directory_, "People");
    for (int32_t code = 1; code <= 6; ++code) {
      std::vector<uint8_t> row = cursor.newRow();
      uint8_t bytes[4];
      StoreI32(bytes, code);
      SetFieldValue(row, cursor.field("Code"), bytes, 0);
      StoreI16(bytes, code % 3 == 0 ? 1 : 0);
      SetFieldValue(row, cursor.field("Dead"), bytes, 0);
      StoreI32(bytes, 2460000 + code);
      if (code % 2 == 0) SetFieldValue(row, cursor.field("Search date~J"), bytes, 0);
      cursor.append(row);
    }
  }

  int Explain(const std::vector<std::string>& words) {
    out_.str("");
    err_.str("");
    return mindrel::RunExplainCommand(words, out_, err_);
  }

  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ExplainCommandTest, ReportsTheAlertConditionPartiallyOptimisedThroughTheSearchDateIndex) {
  CreatePeople();
  ASSERT_EQ(Explain({root_.string(), "People", "[Dead] <> True AND [Search date~J] IS NOT NULL"}), 0)
      << err_.str();
  EXPECT_EQ(out_.str(),
            "level: PARTIALLY-OPTIMIZED\n"
            "rewritten: yes\n"
            "condition 1: [Search date~J] IS NOT NULL: OPTIMIZED by index \"Search\" (3 keys)\n"
            "condition 2: [Dead] <> True: UN-OPTIMIZED\n"
            "records: 2\n");
}

TEST_F(ExplainCommandTest, BadArgumentsAndBadFiltersGiveTheirExitCodes) {
  CreatePeople();
  EXPECT_EQ(Explain({root_.string(), "People"}), 64);
  EXPECT_EQ(Explain({root_.string(), "People", "Code", "--sideways"}), 64);
  EXPECT_EQ(Explain({root_.string(), "People", "Code + 1"}), 2);
  EXPECT_NE(err_.str().find("filter expression must be a boolean expression"), std::string::npos);
  EXPECT_EQ(Explain({root_.string(), "Nobody", "Code = 1"}), 2);
}

TEST_F(ExplainCommandTest, DumpFilterOptionsAreTakenOutOfTheArguments) {
  CreatePeople();
  std::vector<std::string> args = {
      "dump",    root_.string(), "People", "--filter", "[Search date~J] > 2460002", "--filter-partial",
      "--index", "Search"};
  mindrel::FilterArguments filter = mindrel::TakeFilterArguments(args);
  EXPECT_EQ(args, (std::vector<std::string>{"dump", root_.string(), "People", "--index", "Search"}));
  EXPECT_TRUE(filter.partial);
  EXPECT_FALSE(filter.noCase);
  TDataCursor cursor(*directory_, "People");
  auto filters = mindrel::InstallFilter(cursor, filter);
  EXPECT_EQ(Visit(cursor), (std::vector<int64_t>{4, 6}));

  std::vector<std::string> lonely = {"dump", "--filter-nocase"};
  EXPECT_THROW(mindrel::TakeFilterArguments(lonely), mindrel::EUsageError);
  std::vector<std::string> none = {"dump", root_.string(), "People"};
  EXPECT_EQ(mindrel::InstallFilter(cursor, mindrel::TakeFilterArguments(none)), nullptr);
}

// The built tool, through the shell: its standard output and exit code.
std::pair<std::string, int> RunTool(const std::string& arguments) {
  std::string output;
  FILE* pipe = popen((std::string(MINDREL_BIN_DIR) + "/keel " + arguments + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return {"", -1};
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  const int status = pclose(pipe);
  return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(ExplainCommandTest, TheToolDumpsOnlyTheRowsThatPassItsFilter) {
  CreatePeople();
  directory_.reset();  // the tool opens the folder itself
  const std::string folder = "'" + root_.string() + "' People ";
  const auto [rows, code] =
      RunTool("dump " + folder + "--index Search --filter '[Dead] <> True AND Code < 5'");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(rows,
            "{\"RecordID\":1,\"Code\":1,\"Dead\":false,\"Search date~J\":null}\n"
            "{\"RecordID\":2,\"Code\":2,\"Dead\":false,\"Search date~J\":2460002}\n"
            "{\"RecordID\":4,\"Code\":4,\"Dead\":false,\"Search date~J\":2460004}\n");
  EXPECT_EQ(RunTool("explain " + folder + "'Code = 1'").first.substr(0, 17), "level: UN-OPTIMIZ");
  EXPECT_EQ(RunTool("verify " + folder + "--filter 'Code = 1'").second, 64);
}

}  // namespace
}  // namespace keel::testing
