#include "help/NewFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace mindrel {
namespace {

class NewFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = std::filesystem::temp_directory_path() /
              ("mindrel-newfolder-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(parent_);
    std::filesystem::create_directories(parent_);
  }
  void TearDown() override { std::filesystem::remove_all(parent_); }
  std::filesystem::path parent_;
};

TEST_F(NewFolderTest, TakesTheFirstFreeNumber) {
  EXPECT_EQ(FreeFolderName(parent_.string(), "New folder"), "New folder");
  std::filesystem::create_directory(parent_ / "New folder");
  std::filesystem::create_directory(parent_ / "New folder_1");
  std::filesystem::create_directory(parent_ / "New folder_3");
  EXPECT_EQ(FreeFolderName(parent_.string(), "New folder"), "New folder_2");
  EXPECT_EQ(FreeFolderName(parent_.string() + "/", "New folder"), "New folder_2");
}

TEST_F(NewFolderTest, APlainFileOfTheNameDoesNotCountAsAFolder) {
  // Creating the folder then fails, and the picker stops without selecting.
  std::ofstream(parent_ / "New folder") << "x";
  EXPECT_EQ(FreeFolderName(parent_.string(), "New folder"), "New folder");
}

}  // namespace
}  // namespace mindrel
