#include "app/FamilyTreeFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "engine/components/KeelEngine.h"
#include "engine/components/KeelTable.h"

namespace mindrel {
namespace {

using keel::TFieldType;

class FamilyTreeFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-folder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  // A table whose columns are `plain` integers followed by the given date
  // columns.
  void Create(const char* name, int userMajor, int plain, const std::vector<std::string>& dates = {}) {
    keel::TKeelTable table;
    table.SetDatabaseName(folder_);
    table.SetTableName(name);
    for (int i = 0; i < plain; ++i) table.FieldDefs().Add("Column" + std::to_string(i), TFieldType::ftInteger);
    for (const auto& date : dates) table.FieldDefs().Add(date, TFieldType::ftDate);
    keel::TTableCreateOptions options;
    options.UserMajorVersion = static_cast<int16_t>(userMajor);
    table.CreateTableFromDefs(options);
  }

  std::string folder_;
};

TEST_F(FamilyTreeFolderTest, ValidOnlyWithAllThreeTablesAndVersionThree) {
  EXPECT_FALSE(TFamilyTreeFolder(folder_).Valid());
  Create("People", 3, 2);
  Create("Families", 3, 2);
  EXPECT_FALSE(TFamilyTreeFolder(folder_).Valid()) << "no Links.dat";
  Create("Links", 1, 2);
  EXPECT_TRUE(TFamilyTreeFolder(folder_).Valid());
  EXPECT_FALSE(TFamilyTreeFolder("").Valid());
  EXPECT_FALSE(TFamilyTreeFolder(folder_ + "/gone").Valid());

  for (int version : {2, 4}) {
    std::filesystem::remove(folder_ + "/People.dat");
    std::filesystem::remove(folder_ + "/People.idx");
    Create("People", version, 2);
    EXPECT_FALSE(TFamilyTreeFolder(folder_).Valid()) << version;
  }
  std::ofstream(folder_ + "/People.dat", std::ios::trunc) << "damaged";
  EXPECT_FALSE(TFamilyTreeFolder(folder_).Valid());
}

TEST_F(FamilyTreeFolderTest, CustomDateColumnsStartAfterTheProgramsOwnColumns) {
  Create("People", 3, 36, {"Last changed", "Baptism", "Burial"});
  Create("Families", 3, 23, {"Engagement"});
  EXPECT_EQ(TFamilyTreeFolder(folder_).CustomDateColumns(),
            (std::vector<std::string>{"Baptism", "Burial", "Engagement"}));
}

}  // namespace
}  // namespace mindrel
