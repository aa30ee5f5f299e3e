#include "platform/Autostart.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("mindrel-autostart-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path root_;
};

TEST_F(AutostartTest, RegisterWritesTheEntryAndUnregisterRemovesIt) {
  const TAutostart autostart((root_ / "config" / "autostart").string());
  const fs::path entry = root_ / "config" / "autostart" / "Mindrel.desktop";
  EXPECT_EQ(autostart.EntryPath(), entry.string());

  ASSERT_TRUE(autostart.Register("/opt/Mindrel"));
  EXPECT_EQ(Read(entry),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Mindrel\n"
            "Comment=Anniversary reminder\n"
            "Exec=\"/opt/Mindrel/Mindrel\" -s\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");

  // A moved program rewrites the entry with its new folder.
  ASSERT_TRUE(autostart.Register("/home/ann/apps/"));
  EXPECT_NE(Read(entry).find("Exec=\"/home/ann/apps/Mindrel\" -s\n"), std::string::npos);

  EXPECT_TRUE(autostart.Unregister());
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(autostart.Unregister()) << "an entry that is not there is no failure";
}

TEST_F(AutostartTest, ExecLineQuotesAndEscapesAnyFolder) {
  struct Case {
    const char *folder, *exec;
  } const cases[] = {
      {"/my apps/", "Exec=\"/my apps/Mindrel\" -s"},
      // Escapes inside the quotes get their backslash doubled by the string rule.
      {"/a\"b$c`d/", "Exec=\"/a\\\\\"b\\\\$c\\\\`d/Mindrel\" -s"},
      // Backslash: escaped for the quoted argument, then again for the string.
      {"/odd\\dir/", "Exec=\"/odd\\\\\\\\dir/Mindrel\" -s"},
      {"/100%/", "Exec=\"/100%%/Mindrel\" -s"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(TAutostart::EntryText(c.folder).find(std::string(c.exec) + "\n"), std::string::npos)
        << c.folder << "\n" << TAutostart::EntryText(c.folder);
  }
}

TEST_F(AutostartTest, BlockedFolderIsReportedAsFailure) {
  std::ofstream(root_ / "autostart") << "a file where the folder should be";
  const TAutostart autostart((root_ / "autostart").string());
  EXPECT_FALSE(autostart.Register("/opt/Mindrel/"));
  EXPECT_FALSE(autostart.Unregister());
  EXPECT_FALSE(TAutostart(std::string()).Register("/opt/Mindrel/"));
}

TEST_F(AutostartTest, DefaultFolderFollowsTheEnvironment) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (root_ / "xdg").c_str(), 1);
  EXPECT_EQ(TAutostart().EntryPath(), (root_ / "xdg" / "autostart" / "Mindrel.desktop").string());
  if (old) {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace mindrel
