#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Separate keel processes working on one table at the same time, as two
// programs sharing a family-tree folder would.
class ConcurrentKeelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-concurrent-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ / "schema.json") << R"({"fields":[
      {"name":"Writer","type":"ftInteger"},{"name":"N","type":"ftInteger"},{"name":"Name","type":"ftString","size":24}],
      "indexes":[{"name":"ByWriter","fields":"Writer;N","options":["ixUnique"]},{"name":"ByName","fields":"Name"}]})";
    ASSERT_EQ(Shell(Keel() + " create '" + dir_.string() + "' Shared '" + (dir_ / "schema.json").string() + "'"), 0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Keel() { return MINDREL_BIN_DIR "/keel"; }
  // Runs a bash script written to a file, so its quotes stay its own.
  int Script(const std::string& text) const {
    std::ofstream(dir_ / "script.sh") << text;
    return Shell("bash '" + (dir_ / "script.sh").string() + "'");
  }
  static int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(dir_ / name).rdbuf();
    return text.str();
  }
  void WriteRows(const std::string& name, int writer, int count) const {
    std::ofstream rows(dir_ / name);
    for (int n = 0; n < count; ++n) {
      rows << R"({"Writer":)" << writer << R"(,"N":)" << n << R"(,"Name":"row )" << writer << "-" << n << "\"}\n";
    }
  }
  int CountRows() const {
    const std::string out = (dir_ / "dump").string();
    if (Shell(Keel() + " dump '" + dir_.string() + "' Shared --physical > '" + out + "'") != 0) return -1;
    const std::string text = Read("dump");
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  fs::path dir_;
};

TEST_F(ConcurrentKeelTest, TwoWritersAppendingAtOnceLoseNothing) {
  WriteRows("a.json", 1, 2000);
  WriteRows("b.json", 2, 2000);
  const std::string table = "'" + dir_.string() + "' Shared";
  ASSERT_EQ(Script(Keel() + " insert " + table + " < '" + (dir_ / "a.json").string() + "' > /dev/null & a=$!\n" +
                   Keel() + " insert " + table + " < '" + (dir_ / "b.json").string() + "' > /dev/null & b=$!\n" +
                   "wait $a && wait $b\n"),
            0);
  EXPECT_EQ(CountRows(), 4000);
  ASSERT_EQ(Shell(Keel() + " verify " + table + " > '" + (dir_ / "verify").string() + "'"), 0) << Read("verify");
  EXPECT_EQ(Read("verify"), "ok\n");
}

TEST_F(ConcurrentKeelTest, AReaderLoopingWhileAWriterAppendsSeesOnlyWholeRows) {
  WriteRows("rows.json", 1, 1500);
  const std::string table = "'" + dir_.string() + "' Shared";
  // The reader dumps the table in name order until the writer is done; every
  // dump must succeed and hold only complete rows.
  const std::string seen = "'" + (dir_ / "seen").string() + "'";
  const int reader = Script(Keel() + " insert " + table + " < '" + (dir_ / "rows.json").string() + "' > /dev/null & writer=$!\n" +
                   "fails=0; dumps=0\n" +
                   "while kill -0 $writer 2>/dev/null; do\n" +
                   "  " + Keel() + " dump " + table + " --index ByName > " + seen + " 2>> '" + (dir_ / "errors").string() + "' || fails=$((fails+1))\n" +
                   "  grep -vc '^{\"RecordID\":[0-9]*,\"Writer\":1,\"N\":[0-9]*,\"Name\":\"row 1-[0-9]*\"}$' " +
                   seen + " >> '" + (dir_ / "torn").string() + "'\n" +
                   "  dumps=$((dumps+1))\n" +
                   "done\n" +
                   "wait $writer || exit 3\n" +
                   "echo $dumps > '" + (dir_ / "dumps").string() + "'\n" +
                   "exit $fails\n");
  EXPECT_EQ(reader, 0) << Read("errors");
  EXPECT_EQ(CountRows(), 1500);
  std::istringstream torn(Read("torn"));
  int count = 0;
  for (std::string line; std::getline(torn, line);) count += std::stoi(line);
  EXPECT_EQ(count, 0) << "rows that were not whole";
  EXPECT_GT(std::stoi(Read("dumps")), 0);
}

}  // namespace
