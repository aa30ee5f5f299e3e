#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using mindrel::testing::FileText;
using mindrel::testing::RunTool;
using mindrel::testing::ShellQuoted;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A table with five indexes, a compressed memo and a binary BLOB, written by
// real keel processes that are killed or race each other.
class CrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-crash-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "base");
    std::ofstream(root_ / "schema.json") << R"({"blob_block_size":64,"fields":[
      {"name":"Writer","type":"ftInteger"},{"name":"N","type":"ftInteger"},
      {"name":"Name","type":"ftString","size":24},{"name":"Note","type":"ftMemo","compression":9},
      {"name":"Picture","type":"ftBlob"}],
      "indexes":[{"name":"ByWriter","fields":"Writer;N","options":["ixUnique"]},{"name":"ByName","fields":"Name"},
      {"name":"ByNameDown","fields":"Name","options":["ixDescending"]},{"name":"ByN","fields":"N;Writer"},
      {"name":"ByNameNoCase","fields":"Name","options":["ixCaseInsensitive"]}]})";
    ASSERT_EQ(Keel({"create", base(), "T", (root_ / "schema.json").string()}).code, 0);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string base() const { return (root_ / "base").string(); }

  mindrel::testing::ToolRun Keel(const std::vector<std::string>& args, const std::string& input = "") const {
    return RunTool("keel", args, root_.string(), input);
  }

  // Each row's memo and picture are its own, long enough for several blocks.
  static std::string Memo(int writer, int n) {
    std::string memo;
    for (int i = 0; i < 12; ++i) memo += "memo of " + std::to_string(writer) + "/" + std::to_string(n) + "; ";
    return memo;
  }
  static std::string Picture(int writer, int n) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04x%04x", writer & 0xFFFF, n & 0xFFFF);
    std::string picture;
    for (int i = 0; i < 20; ++i) picture += hex;
    return picture;
  }
  static std::string Rows(int writer, int from, int count) {
    std::ostringstream rows;
    for (int n = from; n < from + count; ++n) {
      rows << R"({"Writer":)" << writer << R"(,"N":)" << n << R"(,"Name":"row )" << writer << "-" << n
           << R"(","Note":")" << Memo(writer, n) << R"(","Picture":")" << Picture(writer, n) << "\"}\n";
    }
    return rows.str();
  }

  // Every row of `dir` in the order of `index` ("" = primary): each must
  // carry its own memo and picture. Answers the (Writer, N) pairs seen.
  std::set<std::pair<int, int>> ReadAll(const std::string& dir, const std::string& index) const {
    std::vector<std::string> args = {"dump", dir, "T"};
    if (!index.empty()) args.insert(args.end(), {"--index", index});
    const auto dump = Keel(args);
    EXPECT_EQ(dump.code, 0) << index << ": " << dump.err;
    std::set<std::pair<int, int>> seen;
    std::istringstream lines(dump.out);
    for (std::string line; std::getline(lines, line);) {
      int writer = -1, n = -1;
      const auto w = line.find("\"Writer\":");
      const auto k = line.find("\"N\":");
      if (w == std::string::npos || k == std::string::npos) {
        ADD_FAILURE() << "unexpected dump line: " << line;
        continue;
      }
      writer = std::stoi(line.substr(w + 9));
      n = std::stoi(line.substr(k + 4));
      EXPECT_NE(line.find(Memo(writer, n)), std::string::npos) << index << ": memo of " << writer << "/" << n;
      EXPECT_NE(line.find(Picture(writer, n)), std::string::npos) << index << ": picture of " << writer << "/" << n;
      EXPECT_TRUE(seen.insert({writer, n}).second) << index << ": row " << writer << "/" << n << " twice";
    }
    return seen;
  }

  // The same rows in every order, and both structural checks clean.
  std::set<std::pair<int, int>> ExpectWhole(const std::string& dir) const {
    const std::set<std::pair<int, int>> rows = ReadAll(dir, "");
    for (const char* index : {"ByWriter", "ByName", "ByNameDown", "ByN", "ByNameNoCase"}) {
      EXPECT_EQ(ReadAll(dir, index), rows) << index;
    }
    const auto physical = Keel({"dump", dir, "T", "--physical"});
    EXPECT_EQ(physical.code, 0) << physical.err;
    const auto verify = Keel({"verify", dir, "T"});
    EXPECT_EQ(verify.code, 0) << verify.out << verify.err;
    EXPECT_EQ(verify.out, "ok\n");
    return rows;
  }

  // Runs `args` in a copy of the base table, killed at its `write`-th file
  // write; false when it finished before that write.
  bool KilledAtWrite(int write, const std::vector<std::string>& args, const std::string& input) {
    fs::remove_all(root_ / "work");
    fs::copy(root_ / "base", root_ / "work");
    std::ofstream(root_ / "input") << input;
    std::string command = "strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:signal=KILL:when=" +
                          std::to_string(write) + " " + ShellQuoted(std::string(MINDREL_BIN_DIR) + "/keel");
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    command += " < " + ShellQuoted((root_ / "input").string()) + " > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // After a crash at each write of `args` in turn: every row that was there
  // reads back in every order, and the table takes the next insert.
  void CrashAtEveryWrite(const std::vector<std::string>& args, const std::string& input,
                         const std::set<std::pair<int, int>>& before, const std::set<std::pair<int, int>>& after) {
    const std::string work = (root_ / "work").string();
    int crashes = 0;
    for (int write = 1; write < 400 && KilledAtWrite(write, args, input); ++write) {
      SCOPED_TRACE("killed at write " + std::to_string(write));
      ++crashes;
      // Each row is one operation: a crash keeps the rows before it, and
      // those the operations before the crash wrote.
      const std::set<std::pair<int, int>> rows = ExpectWhole(work);
      const auto& fewer = before.size() < after.size() ? before : after;
      const auto& more = before.size() < after.size() ? after : before;
      EXPECT_TRUE(std::includes(more.begin(), more.end(), rows.begin(), rows.end()) &&
                  std::includes(rows.begin(), rows.end(), fewer.begin(), fewer.end()))
          << rows.size() << " rows";
      ASSERT_EQ(Keel({"insert", work, "T"}, Rows(9, 0, 1)).code, 0);
      std::set<std::pair<int, int>> next = rows;
      next.insert({9, 0});
      EXPECT_EQ(ExpectWhole(work), next);
      if (HasFailure()) return;
    }
    EXPECT_GT(crashes, 3);
    EXPECT_FALSE(fs::exists(root_ / "work" / "T.jnl"));
  }

  fs::path root_;
};

TEST_F(CrashSafetyTest, ACrashAtAnyWriteOfAnInsertOrDeleteLosesNoRowAndLeavesATableThatWorks) {
  ASSERT_EQ(Keel({"insert", base(), "T"}, Rows(1, 0, 40)).code, 0);
  std::set<std::pair<int, int>> before = ExpectWhole(base());
  std::set<std::pair<int, int>> inserted = before;
  for (int n = 0; n < 3; ++n) inserted.insert({2, n});
  const std::string work = (root_ / "work").string();
  CrashAtEveryWrite({"insert", work, "T"}, Rows(2, 0, 3), before, inserted);

  // The RecordIDs of rows 1/5 and 1/6 are 6 and 7 (rows are numbered as
  // inserted).
  std::set<std::pair<int, int>> deleted = before;
  deleted.erase({1, 5});
  deleted.erase({1, 6});
  CrashAtEveryWrite({"delete", work, "T", "6", "7"}, "", before, deleted);
}

TEST_F(CrashSafetyTest, TwoWritersOfMemosKeepEveryRowsOwnBlocks) {
  // Two shells each run many short insert processes, as two programs saving
  // at the same time would.
  std::ofstream(root_ / "a.json") << Rows(1, 0, 5);
  std::ofstream(root_ / "b.json") << Rows(2, 0, 5);
  const std::string keel = ShellQuoted(std::string(MINDREL_BIN_DIR) + "/keel");
  std::ostringstream script;
  for (int writer : {1, 2}) {
    script << "(for i in $(seq 60); do " << keel << " insert " << ShellQuoted(base()) << " T < "
           << ShellQuoted((root_ / (writer == 1 ? "a.json" : "b.json")).string())
           << " > /dev/null 2>>" << ShellQuoted((root_ / "errors").string()) << " || exit 1; done) & p" << writer
           << "=$!\n";
  }
  script << "wait $p1 && wait $p2\n";
  std::ofstream(root_ / "script.sh") << script.str();
  // Every insert of the same five rows after the first fails on the unique
  // index: the writers still race on the BLOB file and every index.
  Shell("bash " + ShellQuoted((root_ / "script.sh").string()));
  const std::string errors = FileText((root_ / "errors").string());
  EXPECT_EQ(errors.find("8963"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("8965"), std::string::npos) << errors;
  EXPECT_EQ(ExpectWhole(base()).size(), 10u);
}

}  // namespace
