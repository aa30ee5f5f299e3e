#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Two keel processes changing rows while two others read the whole table in
// every way there is (primary index, another index, physical order, SQL):
// every result must be one state of the table. A row whose ordinary columns
// and memo come from two versions, or a row missing from a result or met
// twice, would be a result no state of the table ever had.
class ConcurrentStatesTest : public ::testing::Test {
 protected:
  static constexpr int kRows = 100;
  static constexpr int kSeconds = 6;

  void SetUp() override {
    char pattern[] = "/tmp/keel-states-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::create_directory(dir_ / "out");
    std::ofstream(dir_ / "schema.json") << R"({"fields":[
      {"name":"Code","type":"ftInteger"},{"name":"Version","type":"ftInteger"},
      {"name":"Name","type":"ftString","size":24},{"name":"Note","type":"ftMemo"}],
      "indexes":[{"name":"ByCode","fields":"Code","options":["ixUnique"]},{"name":"ByName","fields":"Name"}]})";
    ASSERT_EQ(Shell(Keel() + " create '" + dir_.string() + "' S '" + (dir_ / "schema.json").string() + "'"), 0);
    std::ofstream rows(dir_ / "rows.json");
    for (int code = 1; code <= kRows; ++code)
      rows << R"({"Code":)" << code << R"(,"Version":0,"Name":"n0","Note":")" << Note(code, 0) << "\"}\n";
    rows.close();
    ASSERT_EQ(Shell(Keel() + " insert '" + dir_.string() + "' S < '" + (dir_ / "rows.json").string() + "' > /dev/null"),
              0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Keel() { return MINDREL_BIN_DIR "/keel"; }
  static int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Long enough to take several BLOB blocks; the same text the writers make.
  static std::string Note(int code, long version) {
    std::string note;
    for (int i = 0; i < 40; ++i) note += "c" + std::to_string(code) + "v" + std::to_string(version) + ";";
    return note;
  }
  std::string Read(const fs::path& path) const {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(ConcurrentStatesTest, ReadersBesideTwoWritersSeeOnlyWholeStates) {
  const std::string d = "'" + dir_.string() + "'";
  const std::string script = "end=$((SECONDS + " + std::to_string(kSeconds) + "))\n" +
      "write() {\n"
      "  RANDOM=$1\n"
      "  while (( SECONDS < end )); do\n"
      "    c=$(( RANDOM % " + std::to_string(kRows) + " + 1 )); v=$(( RANDOM * 32768 + RANDOM ))\n"
      "    note=$(for i in $(seq 40); do printf 'c%dv%d;' $c $v; done)\n"
      "    " + Keel() + " update " + d + " S $c \"{\\\"Version\\\":$v,\\\"Name\\\":\\\"n$v\\\",\\\"Note\\\":\\\"$note\\\"}\" "
      "2>> " + d + "/errors || echo w >> " + d + "/failures\n"
      "    echo >> " + d + "/writes\n"
      "  done\n"
      "}\n"
      "read() {\n"
      "  n=0\n"
      "  while (( SECONDS < end )); do\n"
      "    out=" + d + "/out/$1-$n-$((n % 4))\n"
      "    case $((n % 4)) in\n"
      "      0) " + Keel() + " dump " + d + " S ;;\n"
      "      1) " + Keel() + " dump " + d + " S --index ByName ;;\n"
      "      2) " + Keel() + " dump " + d + " S --physical ;;\n"
      "      3) " + Keel() + " sql " + d + " 'SELECT * FROM S' ;;\n"
      "    esac > $out 2>> " + d + "/errors || echo r >> " + d + "/failures\n"
      "    n=$((n + 1))\n"
      "  done\n"
      "}\n"
      "write 1 & write 2 & read a & read b & wait\n";
  std::ofstream(dir_ / "script.sh") << script;
  ASSERT_EQ(Shell("bash '" + (dir_ / "script.sh").string() + "'"), 0);

  EXPECT_FALSE(fs::exists(dir_ / "failures")) << Read(dir_ / "errors");
  const std::regex fields(R"RE("Code":(\d+),"Version":(\d+),"Name":"([^"]*)","Note":"([^"]*)")RE");
  int results = 0, notWhole = 0, notOnce = 0;
  std::string example;
  for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
    ++results;
    std::map<int, int> seen;
    std::istringstream lines(Read(entry.path()));
    for (std::string line; std::getline(lines, line);) {
      std::smatch match;
      if (!std::regex_search(line, match, fields)) {
        ++notWhole;
        example = line;
        continue;
      }
      const int code = std::stoi(match[1]);
      const long version = std::stol(match[2]);
      ++seen[code];
      if (match[3] != "n" + std::to_string(version) || match[4] != Note(code, version)) {
        ++notWhole;
        example = entry.path().filename().string() + ": " + line;
      }
    }
    bool once = static_cast<int>(seen.size()) == kRows;
    for (const auto& [code, count] : seen) once = once && count == 1;
    if (!once) {
      ++notOnce;
      example = entry.path().filename().string() + ": " + std::to_string(seen.size()) + " codes";
    }
  }
  std::istringstream writes(Read(dir_ / "writes"));
  const auto written = std::count(std::istreambuf_iterator<char>(writes), {}, '\n');
  EXPECT_EQ(notWhole, 0) << example;
  EXPECT_EQ(notOnce, 0) << example;
  EXPECT_GT(results, 20);
  EXPECT_GT(written, 20);
  std::cout << results << " results beside " << written << " changes\n";
}

}  // namespace
