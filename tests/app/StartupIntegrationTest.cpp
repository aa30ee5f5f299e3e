#include "app/StartupIntegration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class StartupIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("mindrel-startup-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  TStartupIntegration Make(const fs::path& autostartFolder) {
    return TStartupIntegration(
        TAutostart(autostartFolder.string()), "/opt/Mindrel/",
        [this](const std::string& message) { errors_.push_back(message); },
        [this](const std::string& path) { played_.push_back(path); });
  }

  fs::path root_;
  std::vector<std::string> errors_;
  std::vector<std::string> played_;
};

TEST_F(StartupIntegrationTest, TickingAndUntickingWritesAndRemovesTheEntry) {
  TStartupIntegration startup = Make(root_ / "autostart");
  const fs::path entry = root_ / "autostart" / "Mindrel.desktop";

  EXPECT_TRUE(startup.StartCBClick(true));
  EXPECT_TRUE(fs::exists(entry));
  EXPECT_FALSE(startup.StartCBClick(false));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(errors_.empty());

  // While the settings are applied the handler leaves everything alone.
  startup.SetLoading(true);
  EXPECT_TRUE(startup.StartCBClick(true));
  EXPECT_FALSE(fs::exists(entry));
}

TEST_F(StartupIntegrationTest, FailureIsReportedUnlessLoadingAndTheTickGoesBack) {
  std::ofstream(root_ / "blocked") << "a file where the folder should be";
  TStartupIntegration startup = Make(root_ / "blocked");

  EXPECT_FALSE(startup.StartCBClick(true)) << "the box shows what really holds";
  EXPECT_TRUE(startup.StartCBClick(false));
  EXPECT_EQ(errors_, (std::vector<std::string>{"Unable to update system registry", "Unable to update system registry"}));

  errors_.clear();
  startup.SetLoading(true);
  EXPECT_FALSE(startup.AddToStartupRegistry(true));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StartupIntegrationTest, AlertSoundOnlyWhenTicked) {
  TStartupIntegration startup = Make(root_ / "autostart");
  startup.CheckPlayAlert(false);
  EXPECT_TRUE(played_.empty());
  startup.CheckPlayAlert(true);
  EXPECT_EQ(played_, (std::vector<std::string>{"/opt/Mindrel/Alert.wav"}));
}

}  // namespace
}  // namespace mindrel
