#include "platform/WineRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class WineRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = fs::temp_directory_path() / ("mindrel-wine-" + std::to_string(getpid()));
    fs::remove_all(prefix_);
    fs::create_directories(prefix_ / "drive_c" / "Family Trees" / "Smith");
    std::ofstream(prefix_ / "user.reg") << "WINE REGISTRY Version 2\r\n"
                                        << ";; All keys relative to \\\\User\\\\S-1-5-21\r\n\r\n"
                                        << "[Software\\\\Quorvin\\\\Other] 1733812345\r\n"
                                        << "\"DB_Path\"=\"C:\\\\Wrong\"\r\n\r\n"
                                        << "[Software\\\\Quorvin\\\\Tallowyn V3] 1733812345\r\n"
                                        << "#time=1db2a5f1c3e4d10\r\n"
                                        << "\"Count\"=dword:00000003\r\n"
                                        << "\"DB_Path\"=\"C:\\\\family trees\\\\SMITH\"\r\n";
  }
  void TearDown() override { fs::remove_all(prefix_); }
  fs::path prefix_;
};

TEST_F(WineRegistryTest, ReadsStringValueOfTheRightKey) {
  const TWineRegistry registry(prefix_.string());
  EXPECT_EQ(registry.ReadUserString("Software\\Quorvin\\Tallowyn V3", "DB_Path"), "C:\\family trees\\SMITH");
  EXPECT_EQ(registry.ReadUserString("software\\quorvin\\tallowyn v3", "db_path"), "C:\\family trees\\SMITH");
  EXPECT_EQ(registry.ReadUserString("Software\\Quorvin\\Tallowyn V3", "Count"), "");
  EXPECT_EQ(registry.ReadUserString("Software\\Quorvin\\Tallowyn V3", "Missing"), "");
  EXPECT_EQ(registry.ReadUserString("Software\\Nobody", "DB_Path"), "");
}

TEST_F(WineRegistryTest, MapsDrivePathsIgnoringCase) {
  const TWineRegistry registry(prefix_.string());
  EXPECT_EQ(registry.MapWindowsPath("C:\\family trees\\SMITH"), (prefix_ / "drive_c" / "Family Trees" / "Smith").string());
  EXPECT_EQ(registry.MapWindowsPath("\\\\server\\share"), "");
  EXPECT_EQ(registry.MapWindowsPath(""), "");
}

TEST(WineRegistry, MissingPrefixGivesNothing) {
  const TWineRegistry registry("/nonexistent/mindrel-prefix");
  EXPECT_EQ(registry.ReadUserString("Software\\Quorvin\\Tallowyn V3", "DB_Path"), "");
}

}  // namespace
}  // namespace mindrel
