#include "app/DatasetScanSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "app/OwnTables.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "tests/app/LinksTable.h"

namespace mindrel {
namespace {

using keel::TFieldType;

// The people, links and ignore tables of a small family in a fresh folder.
class DatasetScanSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-scan-sources-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    CreatePeople();
    CreateFamilies();
    CreateLinks();
    TOwnTables::OpenIgnoreTable(ignore_, folder_);
    for (keel::TKeelTable* table : {&people_, &families_, &links_}) table->SetReadOnly(true);
    people_.SetTableName("People.dat");
    families_.SetTableName("Families.dat");
    links_.SetTableName("Links.dat");
  }
  void TearDown() override {
    for (keel::TKeelTable* table : {&people_, &families_, &links_, &ignore_}) table->Close();
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  void CreatePeople() {
    keel::TKeelTable table;
    table.SetDatabaseName(folder_);
    table.SetTableName("People.dat");
    table.FieldDefs().Add("Code", TFieldType::ftInteger);
    table.FieldDefs().Add("FirstNames", TFieldType::ftString, 40);
    table.FieldDefs().Add("Dead", TFieldType::ftBoolean);
    table.FieldDefs().Add("Search date~B", TFieldType::ftBytes, 72);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    struct Row {
      int code;
      const char* name;
      int dead;  // -1 null
    } const rows[] = {{1, "John", 1}, {2, "Mary", 0}, {3, "Ann", 1}, {4, "Bob", -1}, {5, "Eve", 1}};
    for (const Row& row : rows) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(row.code);
      table.FieldByName("FirstNames").SetAsString(row.name);
      if (row.dead >= 0) table.FieldByName("Dead").SetAsBoolean(row.dead == 1);
      if (row.code == 1) {
        TJDate date;
        date.JDay = DMYToJDay(10, 12, 1984, true);
        date.Qualifier = qAbt;
        const auto bytes = date.ToBytes();
        table.FieldByName("Search date~B").SetData(bytes);
      }
      table.Post();
    }
  }

  // Family 10 married in 1850; family 11 in 1900, divorced in 1910; family
  // 12 has no dates.
  void CreateFamilies() {
    keel::TKeelTable table;
    table.SetDatabaseName(folder_);
    table.SetTableName("Families.dat");
    table.FieldDefs().Add("Code", TFieldType::ftInteger);
    table.FieldDefs().Add("Marriage date~B", TFieldType::ftBytes, 72);
    table.FieldDefs().Add("Divorce date~B", TFieldType::ftBytes, 72);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    auto year = [](int y) {
      TJDate date;
      date.JDay = DMYToJDay(1, 1, y, true);
      date.DayUnknown = date.MonthUnknown = 1;
      return date.ToBytes();
    };
    for (const int code : {10, 11, 12}) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(code);
      if (code == 10) table.FieldByName("Marriage date~B").SetData(year(1850));
      if (code == 11) table.FieldByName("Marriage date~B").SetData(year(1900));
      if (code == 11) table.FieldByName("Divorce date~B").SetData(year(1910));
      table.Post();
    }
  }

  void CreateLinks(bool personIndex = false) {
    // Family 10: John (dead) and Mary (living); family 11: John and Ann, both
    // dead; family 12: Bob, whose "Dead" is empty, and a child link to Eve.
    mindrel::testing::CreateLinksTable(folder_, {{"P", 10, 1}, {"P", 10, 2}, {"P", 11, 1}, {"C", 12, 5},
                                           {"P", 11, 3}, {"P", 12, 4}, {"C", 10, 5}}, personIndex);
  }

  void Ignore(int code, bool all, const std::string& events) {
    ignore_.Append();
    ignore_.FieldByName("DBFolder").SetAsString(folder_);
    ignore_.FieldByName("Code").SetAsInteger(code);
    ignore_.FieldByName("AllEvents").SetAsBoolean(all);
    ignore_.FieldByName("Events").SetAsString(events);
    ignore_.Post();
  }

  std::string folder_;
  keel::TKeelTable people_, families_, links_, ignore_;
};

// Partners through the partner links, people by their code, and the dates of
// a person's families through the partner links read once, or through an
// index led by the person where the links have one; alike when the folder
// lost the index files that find people and families by code.
TEST_F(DatasetScanSourcesTest, PartnersPeopleAndTheDatesOfTheirFamilies) {
  for (const int setup : {0, 1, 2}) {
    SCOPED_TRACE(setup == 0 ? "indexed" : setup == 1 ? "links indexed by person" : "index files lost");
    if (setup == 1) {
      for (const char* file : {"/Links.dat", "/Links.idx"}) std::filesystem::remove(folder_ + file);
      CreateLinks(true);
    }
    if (setup == 2) {
      std::filesystem::remove(folder_ + "/People.idx");
      std::filesystem::remove(folder_ + "/Families.idx");
    }
    TFamilyTreeDatasets tables(people_, families_, links_);
    tables.Open(folder_);
    EXPECT_EQ(tables.PartnerCodes(10), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(tables.PartnerCodes(12), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(tables.PartnerCodes(13), (std::vector<std::int32_t>{}));
    const TScanRecord* ann = tables.FindPerson(3);
    ASSERT_NE(ann, nullptr);
    EXPECT_TRUE(ann->BooleanField("Dead"));
    EXPECT_FALSE(tables.FindPerson(4)->BooleanField("Dead")) << "an empty Dead reads as living";
    TJDate born;
    EXPECT_TRUE(tables.FindPerson(1)->DateRecord("Search date~B", born));
    EXPECT_EQ(born.Qualifier, qAbt);
    EXPECT_EQ(tables.FindPerson(99), nullptr);

    std::vector<int> years;
    for (const TJDate& date : tables.FamilyDates(1, {"Marriage date", "Divorce date"})) {
      TDayMonthYear dmy;
      ASSERT_TRUE(JDateToDMY(date, dmy));
      years.push_back(dmy.Year);
    }
    std::sort(years.begin(), years.end());
    EXPECT_EQ(years, (std::vector<int>{1850, 1900, 1910}));
    EXPECT_TRUE(tables.FamilyDates(4, {"Marriage date"}).empty()) << "a family without dates";
    EXPECT_TRUE(tables.FamilyDates(5, {"Marriage date"}).empty()) << "a child's link is no partner's";
    EXPECT_EQ(tables.PartnerCodes(11), (std::vector<std::int32_t>{1, 3})) << "the links were walked for the dates";
    EXPECT_TRUE(tables.PeopleHasColumn("search date~b"));
    EXPECT_FALSE(tables.PeopleHasColumn("Baptism"));
    EXPECT_TRUE(tables.FamiliesHasColumn("divorce date~b"));
    tables.Close();
  }
}

// The relationships read every person and the links of both kinds: Eve is
// the child of family 10 (John and Mary) and of family 12 (Bob).
TEST_F(DatasetScanSourcesTest, KinshipReadsPeopleAndBothKindsOfLinks) {
  TFamilyTreeDatasets tables(people_, families_, links_);
  tables.Open(folder_);
  TKinGraphBuilder builder;
  EXPECT_EQ(tables.ReadKinship(builder), "");
  tables.Close();
  const TKinGraph graph = builder.Build();
  ASSERT_EQ(graph.PersonCount(), 5u);
  std::vector<std::int32_t> parents;
  for (const std::uint32_t parent : graph.Parents(graph.PersonIndex(5))) parents.push_back(graph.PersonCode(parent));
  std::sort(parents.begin(), parents.end());
  EXPECT_EQ(parents, (std::vector<std::int32_t>{1, 2, 4}));
  EXPECT_EQ(graph.Spouses(graph.PersonIndex(1)).size(), 2u);  // Mary and Ann
  EXPECT_EQ(graph.Sex(graph.PersonIndex(1)), TSex::Unknown) << "the table has no Sex column";
  EXPECT_FALSE(graph.Problems().Any());
}

// A people table that names parents on the person's own record is read
// whole, and its people and sexes are the graph's.
TEST_F(DatasetScanSourcesTest, KinshipReadsParentsNamedOnThePeoplesRecords) {
  const std::string folder = folder_ + "/named";
  std::filesystem::create_directories(folder);
  {
    keel::TKeelTable table;
    table.SetDatabaseName(folder);
    table.SetTableName("People.dat");
    table.FieldDefs().Add("Code", TFieldType::ftInteger);
    table.FieldDefs().Add("Sex", TFieldType::ftString, 1);
    table.FieldDefs().Add("Father", TFieldType::ftInteger);
    table.FieldDefs().Add("Mother", TFieldType::ftInteger);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    struct Row {
      int code;
      const char* sex;
      int father, mother;  // 0: none
    } const rows[] = {{1, "M", 0, 0}, {2, "F", 0, 0}, {3, "F", 1, 2}, {4, "m", 1, 0}};
    for (const Row& row : rows) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(row.code);
      table.FieldByName("Sex").SetAsString(row.sex);
      if (row.father) table.FieldByName("Father").SetAsInteger(row.father);
      if (row.mother) table.FieldByName("Mother").SetAsInteger(row.mother);
      table.Post();
    }
  }
  mindrel::testing::CreateLinksTable(folder, {{"P", 10, 1}, {"P", 10, 9}});
  TFamilyTreeDatasets tables(people_, families_, links_);
  tables.Open(folder);
  TKinGraphBuilder builder;
  EXPECT_EQ(tables.ReadKinship(builder), "");
  EXPECT_EQ(tables.PersonSex(3), TSex::Female);
  EXPECT_EQ(tables.PersonSex(4), TSex::Male);
  EXPECT_EQ(tables.PersonSex(9), std::nullopt);
  tables.Close();
  const TKinGraph graph = builder.Build();
  EXPECT_EQ(graph.PersonCount(), 4u);
  EXPECT_EQ(graph.Parents(graph.PersonIndex(3)).size(), 2u);
  EXPECT_EQ(graph.Parents(graph.PersonIndex(4)).size(), 1u);
  EXPECT_EQ(graph.Sex(graph.PersonIndex(2)), TSex::Female);
  EXPECT_EQ(graph.Problems().MissingPeople, 1u) << "the partner link to 9";
}

TEST_F(DatasetScanSourcesTest, IgnoreListForPeopleAndEitherPartner) {
  Ignore(2, false, "birth;marriage");
  Ignore(3, true, "");
  TFamilyTreeDatasets tables(people_, families_, links_);
  tables.Open(folder_);
  TIgnoreTable checker(ignore_, links_);
  ignore_.SetIndexName("SurnameIdx");
  EXPECT_EQ(checker.SelectPrimaryIndex(), "SurnameIdx");
  EXPECT_TRUE(checker.IsIgnored(false, 2, folder_, "Birth"));
  EXPECT_FALSE(checker.IsIgnored(false, 2, folder_, "Death"));
  EXPECT_TRUE(checker.IsIgnored(false, 3, folder_, "Death"));
  EXPECT_FALSE(checker.IsIgnored(false, 1, folder_, "Birth"));
  EXPECT_FALSE(checker.IsIgnored(false, 2, folder_ + "/other", "Birth"));
  EXPECT_TRUE(checker.IsIgnored(true, 10, folder_, "Marriage"));
  EXPECT_FALSE(checker.IsIgnored(true, 10, folder_, "Divorce"));
  EXPECT_TRUE(checker.IsIgnored(true, 11, folder_, "Divorce"));
  EXPECT_FALSE(checker.IsIgnored(true, 12, folder_, "Marriage"));
  checker.RestoreIndex("SurnameIdx");
  EXPECT_EQ(ignore_.IndexName(), "SurnameIdx");
  tables.Close();
}

TEST_F(DatasetScanSourcesTest, RecordsReadRawDatesIntegersAndTexts) {
  people_.SetDatabaseName(folder_);
  people_.Open();
  const TDatasetRecord record(people_);
  TJDate date;
  ASSERT_TRUE(record.DateRecord("Search date~B", date));
  EXPECT_EQ(date.Qualifier, qAbt);
  EXPECT_EQ(date.JDay, DMYToJDay(10, 12, 1984, true));
  EXPECT_EQ(record.IntegerField("Code"), 1);
  EXPECT_EQ(record.StringField("FirstNames"), "John");
  EXPECT_EQ(record.StringField("Surname"), "") << "a column the table lacks reads as empty";
  people_.Next();
  EXPECT_FALSE(record.DateRecord("Search date~B", date));
}

TEST_F(DatasetScanSourcesTest, OwnTablesAreCreatedOnceAndOpenedAfterwards) {
  ASSERT_TRUE(std::filesystem::exists(folder_ + "/Ignore.dat"));
  Ignore(7, true, "");
  ignore_.Close();
  TOwnTables::OpenIgnoreTable(ignore_, folder_);
  EXPECT_EQ(ignore_.RecordCount(), 1) << "an existing list is opened, never made anew";
  EXPECT_EQ(ignore_.FieldCount(), 10);

  keel::TKeelTable events;
  TOwnTables::OpenEventsTable(events, folder_);
  EXPECT_EQ(events.FieldByName("Code").DataType(), TFieldType::ftAutoInc);
  EXPECT_EQ(events.IndexName(), "DateIdx");
  events.Close();
}

}  // namespace
}  // namespace mindrel
