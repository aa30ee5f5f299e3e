#include "app/PersonDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dates/UDate.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"

namespace mindrel {
namespace {

// A people table of five in a fresh folder, in no order of names.
class PersonDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-people-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    keel::TKeelTable table;
    table.SetDatabaseName(folder_);
    table.SetTableName("People.dat");
    table.FieldDefs().Add("Code", keel::TFieldType::ftInteger);
    table.FieldDefs().Add("Surname", keel::TFieldType::ftString, 40);
    table.FieldDefs().Add("FirstNames", keel::TFieldType::ftString, 40);
    table.FieldDefs().Add("Search date~B", keel::TFieldType::ftBytes, 72);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    struct Row {
      int code;
      const char* surname;
      const char* firstNames;
      int year;  // 0: no birth date
    } const rows[] = {{4, "Garner", "Francis", 1944}, {9, "Ågren", "Élise Maria", 1901}, {2, "garner", "Ann", 0},
                      {7, "", "", 1850},            {5, "Marsh", "Eve", -44}};
    for (const Row& row : rows) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(row.code);
      table.FieldByName("Surname").SetAsString(row.surname);
      table.FieldByName("FirstNames").SetAsString(row.firstNames);
      if (row.year != 0) {
        TJDate date;
        ClearJDate(date);
        date.DayUnknown = date.MonthUnknown = date.YearUnknown = 0;
        date.JDay = DMYToJDay(1, 6, row.year < 0 ? -row.year : row.year, row.year > 0);
        table.FieldByName("Search date~B").SetData(date.ToBytes());
      }
      table.Post();
    }
    table.Close();
  }
  void TearDown() override {
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  static std::vector<std::string> Labels(const std::vector<const TDirectoryPerson*>& people) {
    std::vector<std::string> labels;
    for (const TDirectoryPerson* person : people) labels.push_back(TPersonDirectory::Label(*person));
    return labels;
  }

  std::string folder_;
};

TEST_F(PersonDirectoryTest, ListsEveryoneByNameWithTheirBirthYear) {
  const TPersonDirectory people = TPersonDirectory::Load(folder_);
  EXPECT_EQ(people.Message(), "");
  EXPECT_EQ(Labels(people.Find("", 10)), (std::vector<std::string>{"[P7] no name (1850)", "garner, Ann",
                                                                  "Garner, Francis (1944)", "Marsh, Eve (44 BC)",
                                                                  "Ågren, Élise Maria (1901)"}));
  EXPECT_EQ(Labels(people.Find("", 2)).size(), 2u);
}

TEST_F(PersonDirectoryTest, TypedWordsBeginWordsOfTheNameInAnyOrderAndCase) {
  const TPersonDirectory people = TPersonDirectory::Load(folder_);
  const struct {
    const char* typed;
    std::vector<std::string> found;
  } cases[] = {
      {"garn", {"garner, Ann", "Garner, Francis (1944)"}},
      {"fra GAR", {"Garner, Francis (1944)"}},
      {"  mar  ", {"Marsh, Eve (44 BC)", "Ågren, Élise Maria (1901)"}},
      {"élise", {"Ågren, Élise Maria (1901)"}},
      {"arner", {}},  // inside a word, not at its start
      {"garner eve", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Labels(people.Find(c.typed, 10)), c.found) << c.typed;
}

TEST_F(PersonDirectoryTest, OnePersonIsLookedUpByCode) {
  const std::optional<TDirectoryPerson> francis = TPersonDirectory::Lookup(folder_, 4);
  ASSERT_TRUE(francis);
  EXPECT_EQ(TPersonDirectory::Label(*francis), "Garner, Francis (1944)");
  EXPECT_FALSE(TPersonDirectory::Lookup(folder_, 8));
  EXPECT_FALSE(TPersonDirectory::Lookup(folder_ + "/gone", 4));
}

TEST_F(PersonDirectoryTest, AFolderWithoutTablesGivesNobodyAndSaysWhy) {
  const TPersonDirectory people = TPersonDirectory::Load(folder_ + "/gone");
  EXPECT_TRUE(people.People().empty());
  EXPECT_FALSE(people.Message().empty());
}

}  // namespace
}  // namespace mindrel
