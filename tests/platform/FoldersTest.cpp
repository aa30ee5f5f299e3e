#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for one test and restores them afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("mindrel-folders-" + std::to_string(getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(FoldersTest, DataFolderPrefersExplicitVariableAndCreatesParents) {
  const std::string wanted = (root_ / "a" / "b").string();
  ScopedEnv data("MINDREL_DATA_DIR", wanted.c_str());
  EXPECT_EQ(GetDataFolder(), wanted + "/");
  EXPECT_TRUE(fs::is_directory(wanted));
}

TEST_F(FoldersTest, DataFolderFallsBackToXdgThenHome) {
  ScopedEnv data("MINDREL_DATA_DIR", nullptr);
  {
    const std::string xdg = (root_ / "xdg").string();
    ScopedEnv xdgEnv("XDG_DATA_HOME", xdg.c_str());
    EXPECT_EQ(GetDataFolder(), xdg + "/Mindrel/");
  }
  ScopedEnv xdgEnv("XDG_DATA_HOME", nullptr);
  const std::string home = (root_ / "home").string();
  ScopedEnv homeEnv("HOME", home.c_str());
  EXPECT_EQ(GetDataFolder(), home + "/.local/share/Mindrel/");
}

TEST_F(FoldersTest, DataFolderIsEmptyWhenItCannotBeMade) {
  fs::create_directories(root_);
  const fs::path blocker = root_ / "file";
  { std::FILE* f = std::fopen(blocker.c_str(), "w"); std::fclose(f); }
  const std::string below = (blocker / "Mindrel").string();
  ScopedEnv data("MINDREL_DATA_DIR", below.c_str());
  EXPECT_EQ(GetDataFolder(), "");
  EXPECT_FALSE(ForceDirectories(""));
}

TEST_F(FoldersTest, TemporaryTablesGoWhereTheyMayBeWritten) {
  fs::create_directories(root_ / "data");
  EXPECT_EQ(WritableTemporaryFolder((root_ / "data").string()), (root_ / "data").string() + "/");
  // A folder that cannot take files (here: one that cannot exist) hands them
  // to a folder of the user's own below the runtime folder, else below TMPDIR.
  const std::string unusable = (root_ / "data" / "file-not-folder").string();
  { std::FILE* f = std::fopen(unusable.c_str(), "w"); std::fclose(f); }
  const std::string own = "mindrel-" + std::to_string(getuid());
  {
    const std::string runtime = (root_ / "run").string();
    fs::create_directories(runtime);
    ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime.c_str());
    EXPECT_EQ(WritableTemporaryFolder(unusable + "/below"), runtime + "/" + own + "/");
    EXPECT_EQ(fs::status(runtime + "/" + own).permissions() & fs::perms::all, fs::perms::owner_all);
  }
  ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", nullptr);
  const std::string temporary = (root_ / "tmp").string();
  ScopedEnv tmpEnv("TMPDIR", temporary.c_str());
  EXPECT_EQ(WritableTemporaryFolder(unusable + "/below"), temporary + "/" + own + "/");
}

TEST_F(FoldersTest, ProgramFilesComeFromTheInstalledShareFolderElseFromBesideTheProgram) {
  const fs::path installed = root_ / "prefix";
  fs::create_directories(installed / "bin");
  EXPECT_EQ(ProgramFilesFolder((installed / "bin/").string()), (installed / "bin/").string());
  fs::create_directories(installed / "share/mindrel");
  EXPECT_EQ(ProgramFilesFolder((installed / "bin/").string()), (installed / "share/mindrel/").string());
  EXPECT_EQ(ProgramFilesFolder((installed / "bin").string()), (installed / "share/mindrel/").string());
}

TEST(Folders, ExeFolderEndsWithSeparatorAndExists) {
  const std::string folder = ExeFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace mindrel
