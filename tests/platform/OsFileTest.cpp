#include "platform/OsFile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class OsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/osfile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string file(const std::string& name) const { return folder_ + "/" + name; }
  std::string content(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(file(name)).rdbuf();
    return text.str();
  }

  std::string folder_;
};

TEST_F(OsFileTest, CreateNewMakesAMissingFileButLeavesAnExistingOneAlone) {
  OsFile made;
  ASSERT_EQ(made.createNew(file("a")), 0);
  size_t done = 0;
  ASSERT_EQ(made.writeAt(0, "first", 5, done), 0);
  made.close();

  OsFile second;
  EXPECT_EQ(second.createNew(file("a")), EEXIST);
  EXPECT_FALSE(second.isOpen());
  EXPECT_EQ(content("a"), "first") << "not truncated";
  EXPECT_EQ(second.createNew(file("missing/a")), ENOENT);
}

// Processes racing to create one file: exactly one of them makes it.
TEST_F(OsFileTest, OfManyProcessesCreatingAtOnceExactlyOneSucceeds) {
  for (int round = 0; round < 10; ++round) {
    const std::string path = file("race" + std::to_string(round));
    std::vector<pid_t> children;
    for (int i = 0; i < 6; ++i) {
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        OsFile mine;
        _exit(mine.createNew(path) == 0 ? 0 : 1);
      }
      children.push_back(child);
    }
    int makers = 0;
    for (pid_t child : children) {
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      if (WEXITSTATUS(status) == 0) ++makers;
    }
    EXPECT_EQ(makers, 1) << "round " << round;
  }
}

}  // namespace
}  // namespace mindrel
