#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What keel writes reaches the disk in the order a rollback journal needs,
// seen through the system calls it makes (strace): the journal and its entry
// in the folder before the first write of a table file, every table file
// before the journal is removed, and the folder after it is removed.
class DurabilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-durable-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ / "schema.json") << R"({"fields":[{"name":"Code","type":"ftInteger"},
      {"name":"Name","type":"ftString","size":20}],"indexes":[{"name":"ByName","fields":"Name"}]})";
    ASSERT_EQ(Shell(Keel() + " create " + Dir() + " T " + Dir() + "/schema.json"), 0);
    ASSERT_EQ(Shell("printf '{\"Code\":1,\"Name\":\"a\"}\\n{\"Code\":2,\"Name\":\"b\"}\\n' | " + Keel() + " insert " +
                    Dir() + " T > /dev/null"),
              0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Keel() { return MINDREL_BIN_DIR "/keel"; }
  std::string Dir() const { return "'" + dir_.string() + "'"; }
  static int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The calls that matter, each as "call path" with file descriptors named
  // by the path they were opened with.
  std::vector<std::string> Traced(const std::string& command) {
    const fs::path trace = dir_ / "trace";
    // A sanitizer build's leak check cannot run under a tracer and would end
    // the traced program; what is traced here are its calls, not its leaks.
    if (Shell("ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o '" + trace.string() +
              "' -e trace=openat,pwrite64,fsync,fdatasync,unlink " + command +
              " > /dev/null 2>&1") != 0)
      return {};
    std::ifstream lines(trace);
    const std::regex opened(R"RE(openat\(AT_FDCWD, "([^"]*)".*\) = (\d+))RE");
    const std::regex onFd(R"RE((pwrite64|fsync|fdatasync)\((\d+))RE");
    const std::regex removed(R"RE(unlink\("([^"]*)"\) = 0)RE");
    std::map<std::string, std::string> files;
    std::vector<std::string> calls;
    for (std::string line; std::getline(lines, line);) {
      std::smatch match;
      if (std::regex_search(line, match, opened)) {
        files[match[2]] = match[1];
        if (line.find("O_CREAT") != std::string::npos) calls.push_back("create " + match[1].str());
      } else if (std::regex_search(line, match, onFd) && files.count(match[2])) {
        const std::string call = match[1] == "fdatasync" ? "fsync" : match[1].str();
        calls.push_back(call + " " + files[match[2]]);
      } else if (std::regex_search(line, match, removed)) {
        calls.push_back("unlink " + match[1].str());
      }
    }
    return calls;
  }

  fs::path dir_;
};

TEST_F(DurabilityTest, InsertUpdateAndDeleteFlushJournalFolderAndTablesInTheirOrder) {
  if (Shell("strace -qq -o /dev/null true > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot trace here";
  const std::string folder = dir_.string(), journal = folder + "/T.jnl";
  const std::vector<std::string> commands{
      "sh -c \"echo '{\\\"Code\\\":3,\\\"Name\\\":\\\"c\\\"}' | " + Keel() + " insert " + Dir() + " T\"",
      Keel() + " update " + Dir() + " T 1 '{\"Name\":\"z\"}'",
      Keel() + " delete " + Dir() + " T 2",
  };
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const std::vector<std::string> calls = Traced(command);
    ASSERT_FALSE(calls.empty()) << "strace failed";
    auto at = [&](const std::string& call, size_t from = 0) {
      return std::find(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(), call) - calls.begin();
    };
    auto last = [&](const std::string& call) {
      const auto found = std::find(calls.rbegin(), calls.rend(), call);
      return found == calls.rend() ? std::ptrdiff_t{-1} : calls.rend() - found - 1;
    };
    const auto created = at("create " + journal);
    const auto firstTableWrite = std::min(at("pwrite64 " + folder + "/T.dat"), at("pwrite64 " + folder + "/T.idx"));
    const auto removed = at("unlink " + journal);
    ASSERT_LT(removed, static_cast<std::ptrdiff_t>(calls.size())) << ::testing::PrintToString(calls);
    EXPECT_LT(created, firstTableWrite);
    EXPECT_LT(at("fsync " + journal, created), firstTableWrite) << "the journal before the table";
    EXPECT_LT(at("fsync " + folder, created), firstTableWrite) << "its entry in the folder too";
    for (const char* table : {"/T.dat", "/T.idx"}) {
      EXPECT_LT(last("pwrite64 " + folder + table), last("fsync " + folder + table)) << table;
      EXPECT_LT(last("fsync " + folder + table), removed) << table << " before the journal goes";
    }
    EXPECT_GT(last("fsync " + folder), removed) << "the removal reaches the disk";
  }
}

}  // namespace
