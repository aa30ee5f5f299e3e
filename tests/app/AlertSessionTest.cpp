#include "app/AlertSession.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/EnglishNames.h"
#include "app/DateFormatter.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelField.h"
#include "formats/EntryFormatter.h"

namespace mindrel {
namespace {

using keel::TFieldType;

const FixedClock kToday(CivilDate{2026, 12, 10});


// A written date, or a day and month alone ("5 Mar"), which the family-tree
// program keeps as a date of AD 1 whose year is unknown.
void SetDate(keel::TKeelTable& table, const std::string& column, const std::string& written) {
  if (written.empty()) return;
  TJDate date;
  std::string message;
  const bool noYear = written.find_first_of("0123456789", written.find(' ')) == std::string::npos;
  ASSERT_TRUE(StrToJDate(date, noYear ? written + " 1" : written, message, {1, ' '}, true)) << message;
  date.YearUnknown = noYear;
  const auto bytes = date.ToBytes();
  table.FieldByName(column + "~B").SetData(bytes);
  table.FieldByName(column + "~J").SetAsInteger(date.JDay);
  table.FieldByName(column + "~D").SetAsString(written);
}

// The user version the family-tree program gives its tables.
keel::TTableCreateOptions FamilyTreeVersion() {
  keel::TTableCreateOptions options;
  options.UserMajorVersion = 3;
  return options;
}

void AddDateColumns(keel::TKeelTable& table, const std::string& column) {
  table.FieldDefs().Add(column + "~B", TFieldType::ftBytes, 72);
  table.FieldDefs().Add(column + "~J", TFieldType::ftInteger);
  table.FieldDefs().Add(column + "~D", TFieldType::ftString, 40);
}

// Whole scans through the datasets and SQL on small family trees written in
// the test: the rows each query selects, in the order the list keeps them.
class AlertSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ + "/data");
    session_.Initialize(root_ + "/data/");
    options_.EventItems = TSettings().EventItems;
    options_.LookAhead = 30;
  }
  void TearDown() override {
    keel::TKeelEngine::Release();
    std::filesystem::remove_all(root_);
  }

  struct PersonRow {
    int code;
    const char* first;
    const char* surname;
    int dead;  // -1: null
    const char* born;
    const char* died;
    const char* baptised;
  };
  struct FamilyRow {
    int code;
    const char* father;
    const char* mother;
    const char* married;
    const char* divorced;
  };

  std::string MakeTree(const std::string& name, const std::vector<PersonRow>& people,
                       const std::vector<FamilyRow>& families, const std::vector<std::tuple<int, int>>& partners) {
    const std::string folder = root_ + "/" + name;
    std::filesystem::create_directories(folder);
    keel::TKeelTable table;
    table.SetDatabaseName(folder);
    table.SetTableName("People.dat");
    table.FieldDefs().Add("Code", TFieldType::ftInteger);
    table.FieldDefs().Add("Surname", TFieldType::ftString, 40);
    table.FieldDefs().Add("FirstNames", TFieldType::ftString, 40);
    table.FieldDefs().Add("Dead", TFieldType::ftBoolean);
    AddDateColumns(table, "Search date");
    AddDateColumns(table, "Death date");
    // A date column of the user's own: the plain date the event list
    // offers, beside the three columns the scan reads.
    table.FieldDefs().Add(customColumn_, TFieldType::ftDate);
    AddDateColumns(table, customColumn_);
    table.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    table.CreateTableFromDefs(FamilyTreeVersion());
    table.Open();
    for (const PersonRow& p : people) {
      table.Append();
      table.FieldByName("Code").SetAsInteger(p.code);
      table.FieldByName("FirstNames").SetAsString(p.first);
      table.FieldByName("Surname").SetAsString(p.surname);
      if (p.dead >= 0) table.FieldByName("Dead").SetAsBoolean(p.dead == 1);
      SetDate(table, "Search date", p.born);
      SetDate(table, "Death date", p.died);
      SetDate(table, customColumn_, p.baptised);
      table.Post();
    }
    table.Close();

    keel::TKeelTable fam;
    fam.SetDatabaseName(folder);
    fam.SetTableName("Families.dat");
    fam.FieldDefs().Add("Code", TFieldType::ftInteger);
    fam.FieldDefs().Add("Fathers name", TFieldType::ftString, 60);
    fam.FieldDefs().Add("Mothers name", TFieldType::ftString, 60);
    AddDateColumns(fam, "Marriage date");
    AddDateColumns(fam, "Divorce date");
    fam.IndexDefs().Add("", "Code", keel::ixPrimary | keel::ixUnique);
    fam.CreateTableFromDefs(FamilyTreeVersion());
    fam.Open();
    for (const FamilyRow& f : families) {
      fam.Append();
      fam.FieldByName("Code").SetAsInteger(f.code);
      fam.FieldByName("Fathers name").SetAsString(f.father);
      fam.FieldByName("Mothers name").SetAsString(f.mother);
      SetDate(fam, "Marriage date", f.married);
      SetDate(fam, "Divorce date", f.divorced);
      fam.Post();
    }
    fam.Close();

    keel::TKeelTable links;
    links.SetDatabaseName(folder);
    links.SetTableName("Links.dat");
    links.FieldDefs().Add("LinkID", TFieldType::ftAutoInc);
    links.FieldDefs().Add("RecType", TFieldType::ftString, 1);
    links.FieldDefs().Add("ChildMarr", TFieldType::ftInteger);
    links.FieldDefs().Add("PersFam", TFieldType::ftInteger);
    links.IndexDefs().Add("", "LinkID", keel::ixPrimary | keel::ixUnique);
    links.IndexDefs().Add("CFMIdx", "RecType;ChildMarr");
    links.CreateTableFromDefs();
    links.Open();
    for (const auto& [family, person] : partners) {
      links.Append();
      links.FieldByName("RecType").SetAsString("P");
      links.FieldByName("ChildMarr").SetAsInteger(family);
      links.FieldByName("PersFam").SetAsInteger(person);
      links.Post();
    }
    links.Close();
    return folder;
  }

  void Tick(std::initializer_list<const char*> texts) {
    for (auto& item : options_.EventItems) item.Ticked = false;
    for (const char* text : texts) {
      bool found = false;
      for (auto& item : options_.EventItems) {
        if (item.Text == text) item.Ticked = found = true;
      }
      if (!found) options_.EventItems.push_back({text, true});
    }
  }

  // "date<TAB>sentence" per entry, as the terminal listing prints them.
  std::vector<std::string> Scan() {
    TAlertList alerts;
    session_.RefreshOutputList(options_, *today_, alerts);
    TEventFormats formats;
    if (formats.FindRow(customColumn_) < 0) {
      formats.SetTemplate(formats.AddRow(customColumn_), "<name> was baptised <yy> years ago <when>");
    }
    const TEntryFormatter formatter(formats, *today_);
    const TEnglishNames names;
    const TDateFormatter dates(names);
    std::vector<std::string> items;
    for (const auto& item : options_.EventItems) items.push_back(item.Text);
    std::vector<std::string> lines;
    for (int i = 0; i < alerts.Count(); ++i) {
      lines.push_back(dates.FormatDateTime("ddd d mmm", alerts.Entry(i).Date) + "\t" +
                      formatter.FormatEntry(alerts.Entry(i), false, items));
    }
    return lines;
  }

  std::string root_;
  const Clock* today_ = &kToday;
  std::string customColumn_ = "Date of baptism";
  TAlertSession session_;
  TScanOptions options_;
};

TEST_F(AlertSessionTest, BirthdaysOfTheLivingInDateOrder) {
  options_.Folders = {MakeTree("tree", {{1, "John", "SMITH", 0, "12 Dec 1984", "", ""},
                                        {2, "Mary", "SMITH", -1, "10 Dec 1990", "", ""},
                                        {3, "Old", "JONES", 1, "11 Dec 1900", "3 Jan 1980", ""},
                                        {4, "Eve", "BROWN", 0, "'in the spring", "", ""},
                                        {5, "Ann", "BLACK", 0, "Dec 1950", "", ""},
                                        {6, "Tom", "WHITE", 0, "", "", ""}},
                                       {}, {})};
  Tick({"Birth", "Death"});
  EXPECT_EQ(Scan(), (std::vector<std::string>{"Thu 10 Dec\tMary SMITH is 36 years old today",
                                              "Sat 12 Dec\tJohn SMITH is 42 years old in 2 days",
                                              "Sun 3 Jan\tIn 24 days it will be 47 years since the death of Old JONES"}))
      << "the living option leaves the death anniversaries alone";

  options_.Alive = false;
  options_.Partial = true;
  // Ann's "Dec 1950" counts as 1 December, which the window starting today
  // has already passed.
  EXPECT_EQ(Scan(), (std::vector<std::string>{
                        "Thu 10 Dec\tMary SMITH is 36 years old today",
                        "Fri 11 Dec\tOld JONES would have been 126 tomorrow",
                        "Sat 12 Dec\tJohn SMITH is 42 years old in 2 days",
                        "Sun 3 Jan\tIn 24 days it will be 47 years since the death of Old JONES"}));
}

TEST_F(AlertSessionTest, CouplesCustomColumnsAndTwoFolders) {
  // John is dead; the Greys divorced ten years after their wedding; the
  // Whites live; Hans and Greta, of whom nothing is dated but their wedding
  // in 1900, cannot be alive any more.
  const std::vector<PersonRow> people = {{1, "John", "SMITH", 1, "", "", "20 Dec 1950"},
                                         {2, "Mary", "BROWN", 0, "", "", ""},
                                         {3, "Carl", "GREY", 1, "", "", ""},
                                         {4, "Ruth", "GREY", 1, "", "", ""},
                                         {5, "Paul", "WHITE", 0, "", "", ""},
                                         {6, "Lisa", "WHITE", -1, "", "", ""},
                                         {7, "Hans", "GREEN", 0, "", "", ""},
                                         {8, "Greta", "GREEN", 0, "", "", ""}};
  const std::vector<FamilyRow> families = {{10, "SMITH, John", "BROWN, Mary", "15 Dec 1976", ""},
                                           {11, "GREY, Carl", "GREY, Ruth", "16 Dec 1950", "17 Dec 1960"},
                                           {12, "WHITE, Paul", "WHITE, Lisa", "18 Dec 2000", ""},
                                           {13, "GREEN, Hans", "GREEN, Greta", "19 Dec 1900", ""}};
  const std::vector<std::tuple<int, int>> partners = {{10, 1}, {10, 2}, {11, 3}, {11, 4},
                                                      {12, 5}, {12, 6}, {13, 7}, {13, 8}};
  options_.Folders = {MakeTree("a", people, families, partners), MakeTree("b", people, families, partners)};
  Tick({"Marriage", "Divorce", "Date of baptism"});
  options_.Alive = false;
  const std::vector<std::string> all = Scan();
  const std::vector<std::string> once = {
      "Tue 15 Dec\tIt would have been the 50th (gold) wedding anniversary of John SMITH = Mary BROWN in 5 days",
      "Thu 17 Dec\tIt's the 66th anniversary of the divorce of Carl GREY = Ruth GREY in 7 days",
      "Fri 18 Dec\tIt's the 26th wedding anniversary of Paul WHITE = Lisa WHITE in 8 days",
      "Sat 19 Dec\tIt would have been the 126th wedding anniversary of Hans GREEN = Greta GREEN in 9 days",
      "Sun 20 Dec\tJohn SMITH was baptised 76 years ago in 10 days"};
  std::vector<std::string> twice;
  for (const std::string& line : once) twice.insert(twice.end(), 2, line);
  EXPECT_EQ(all, twice) << "every couple in both folders";

  // With the living option a wedding needs both partners alive and a
  // divorce one of them: only the Whites are left; the baptism of dead John
  // is left out too.
  options_.Alive = true;
  options_.Folders.resize(1);
  EXPECT_EQ(Scan(), (std::vector<std::string>{
                        "Fri 18 Dec\tIt's the 26th wedding anniversary of Paul WHITE = Lisa WHITE in 8 days"}));

  options_.NoWeddingAfterDivorce = false;
  options_.Alive = false;
  EXPECT_EQ(Scan().size(), 6u) << "the Greys' wedding is announced again";
}

// A small family history as a genealogist keeps it: historical people
// without death records, a divorce, a marriage ended by a death, a leap-day
// birthday, dates known only to their month, dates with a qualifier, and a
// leap-day party of the user's own; seen on 20 February of a common year.
class FamilyHistoryTest : public AlertSessionTest {
 protected:
  void SetUp() override {
    AlertSessionTest::SetUp();
    today_ = &day_;
    options_.Partial = true;
    Tick({"Birth", "Marriage", "Divorce", "Death", "Added annual", "Date of baptism", "Baptism"});
    auto& events = session_.EventsTable();
    events.Append();
    events.FieldByName("Description").SetAsString("Leap day party");
    events.FieldByName("EventType").SetAsInteger(5);
    events.FieldByName("Event date DD").SetAsInteger(29);
    events.FieldByName("Event date MM").SetAsInteger(2);
    events.FieldByName("Event date YY").SetAsInteger(0);
    events.FieldByName("Event date D").SetAsString("29 Feb");
    events.Post();
  }

  std::string MakeFamilyHistory() {
    return MakeTree("history",
                    {{1, "Mary", "Ashworth", 0, "ABT 25 Feb 2021", "", ""},
                     {2, "Karl", "Krüger", 0, "AFT 8 Mar 1980", "", ""},
                     {3, "Agnes", "Hughes", -1, "Mar 1980", "", ""},
                     {4, "Hans", "Blanco", 0, "29 Feb 1996", "", ""},
                     {5, "Gaius", "Caesar", -1, "10 Mar 10 BC", "", ""},
                     {6, "Mary", "Warner", 0, "2 Mar 1679", "", ""},
                     {7, "Elias", "Thorne", 0, "", "", "1 Mar 1850"},
                     {8, "Ruth", "Penn", 0, "5 Mar", "", ""},
                     {9, "Amos", "Penn", 0, "", "", ""},
                     {10, "Ned", "Nulldead", 0, "12 Jun 1985", "", ""},
                     {11, "Dora", "Dead", 0, "3 Jul 1987", "", ""},
                     {12, "José", "Wilson", 0, "4 Apr 1960", "", ""},
                     {13, "Grace", "Becker", 1, "7 Aug 1962", "3 Mar 2021", ""},
                     {14, "Tom", "Reed", 0, "9 Sep 1975", "", ""},
                     {15, "Ann", "Reed", -1, "10 Oct 1976", "", ""}},
                    {{20, "Nulldead, Ned", "Dead, Dora", "10 Mar 2011", "12 Mar 2023"},
                     {21, "Wilson, José", "Becker, Grace", "15 Mar 1989", ""},
                     {22, "Reed, Tom", "Reed, Ann", "1 Mar 2002", ""},
                     {23, "Penn, Amos", "Penn, Ruth", "14 Mar 1890", ""}},
                    {{20, 10}, {20, 11}, {21, 12}, {21, 13}, {22, 14}, {22, 15}, {23, 9}, {23, 8}});
  }

  // The same family as another program's GEDCOM export, which has no form
  // for Ruth's birthday without a year; its baptisms are "Baptism" dates.
  std::string WriteFamilyHistoryGedcom() {
    const std::string path = root_ + "/history.ged";
    std::ofstream(path)
        << "0 HEAD\n1 CHAR UTF-8\n"
        << "0 @I1@ INDI\n1 NAME Mary /Ashworth/\n1 BIRT\n2 DATE ABT 25 FEB 2021\n"
        << "0 @I2@ INDI\n1 NAME Karl /Krüger/\n1 BIRT\n2 DATE AFT 8 MAR 1980\n"
        << "0 @I3@ INDI\n1 NAME Agnes /Hughes/\n1 BIRT\n2 DATE MAR 1980\n"
        << "0 @I4@ INDI\n1 NAME Hans /Blanco/\n1 BIRT\n2 DATE 29 FEB 1996\n"
        << "0 @I5@ INDI\n1 NAME Gaius /Caesar/\n1 BIRT\n2 DATE 10 MAR 10 B.C.\n"
        << "0 @I6@ INDI\n1 NAME Mary /Warner/\n1 BIRT\n2 DATE 2 MAR 1679\n"
        << "0 @I7@ INDI\n1 NAME Elias /Thorne/\n1 BAPM\n2 DATE 1 MAR 1850\n"
        << "0 @I8@ INDI\n1 NAME Ruth /Penn/\n"
        << "0 @I9@ INDI\n1 NAME Amos /Penn/\n"
        << "0 @I10@ INDI\n1 NAME Ned /Nulldead/\n1 BIRT\n2 DATE 12 JUN 1985\n"
        << "0 @I11@ INDI\n1 NAME Dora /Dead/\n1 BIRT\n2 DATE 3 JUL 1987\n"
        << "0 @I12@ INDI\n1 NAME José /Wilson/\n1 BIRT\n2 DATE 4 APR 1960\n"
        << "0 @I13@ INDI\n1 NAME Grace /Becker/\n1 BIRT\n2 DATE 7 AUG 1962\n1 DEAT\n2 DATE 3 MAR 2021\n"
        << "0 @I14@ INDI\n1 NAME Tom /Reed/\n1 BIRT\n2 DATE 9 SEP 1975\n"
        << "0 @I15@ INDI\n1 NAME Ann /Reed/\n1 BIRT\n2 DATE 10 OCT 1976\n"
        << "0 @F20@ FAM\n1 HUSB @I10@\n1 WIFE @I11@\n1 MARR\n2 DATE 10 MAR 2011\n1 DIV\n2 DATE 12 MAR 2023\n"
        << "0 @F21@ FAM\n1 HUSB @I12@\n1 WIFE @I13@\n1 MARR\n2 DATE 15 MAR 1989\n"
        << "0 @F22@ FAM\n1 HUSB @I14@\n1 WIFE @I15@\n1 MARR\n2 DATE 1 MAR 2002\n"
        << "0 @F23@ FAM\n1 HUSB @I9@\n1 WIFE @I8@\n1 MARR\n2 DATE 14 MAR 1890\n"
        << "0 TRLR\n";
    return path;
  }

  const FixedClock day_{CivilDate{2027, 2, 20}};
};

TEST_F(FamilyHistoryTest, TheDeadAreWordedForTheDeadAndNoDayIsInvented) {
  options_.Alive = false;
  options_.Folders = {MakeFamilyHistory()};
  const std::vector<std::string> folder = Scan();
  EXPECT_EQ(folder, (std::vector<std::string>{
                        "Thu 25 Feb\tMary Ashworth is about 6 years old in 5 days",
                        "Sun 28 Feb\tIn 8 days it's Leap day party",
                        "Sun 28 Feb\tHans Blanco is 31 years old in 8 days",
                        "Mon 1 Mar\tIt's the 25th (silver) wedding anniversary of Tom Reed = Ann Reed in 9 days",
                        "Mon 1 Mar\tElias Thorne was baptised 177 years ago in 9 days",
                        "Mon 1 Mar\tAgnes Hughes turns 47 next month",
                        "Tue 2 Mar\tMary Warner would have been 348 in 10 days",
                        "Wed 3 Mar\tIn 11 days it will be 6 years since the death of Grace Becker",
                        "Fri 5 Mar\tIt's the anniversary of the birth of Ruth Penn in 13 days",
                        "Mon 8 Mar\tKarl Krüger is about 47 years old in 16 days",
                        "Wed 10 Mar\tGaius Caesar would have been 2036 in 18 days",
                        "Fri 12 Mar\tIt's the 4th anniversary of the divorce of Ned Nulldead = Dora Dead in 20 days",
                        "Sun 14 Mar\tIt would have been the 137th wedding anniversary of Amos Penn = Ruth Penn in 22 days",
                        "Mon 15 Mar\tIt would have been the 38th wedding anniversary of José Wilson = Grace Becker in 23 "
                        "days"}));

  // The file says the same but for Ruth's birthday and the baptism's name.
  std::vector<std::string> expected;
  for (const std::string& line : folder) {
    if (line.find("Ruth Penn in 13 days") != std::string::npos) continue;
    expected.push_back(line.find("Elias") == std::string::npos
                           ? line
                           : "Mon 1 Mar\tIt's the 177th anniversary of the Baptism of Elias Thorne in 9 days");
  }
  options_.Folders = {WriteFamilyHistoryGedcom()};
  std::vector<std::string> file = Scan();
  std::sort(expected.begin(), expected.end());
  std::sort(file.begin(), file.end());
  EXPECT_EQ(file, expected);
}

// "Only living people": nobody past the maximum age, no wedding of a couple
// a death has parted, and still every death anniversary.
TEST_F(FamilyHistoryTest, OnlyTheLivingAndTheAnniversariesOfDeaths) {
  options_.Alive = true;
  const std::vector<std::string> living = {
      "Thu 25 Feb\tMary Ashworth is about 6 years old in 5 days",
      "Sun 28 Feb\tHans Blanco is 31 years old in 8 days",
      "Sun 28 Feb\tIn 8 days it's Leap day party",
      "Mon 1 Mar\tAgnes Hughes turns 47 next month",
      "Mon 1 Mar\tIt's the 25th (silver) wedding anniversary of Tom Reed = Ann Reed in 9 days",
      "Wed 3 Mar\tIn 11 days it will be 6 years since the death of Grace Becker",
      "Mon 8 Mar\tKarl Krüger is about 47 years old in 16 days",
      "Fri 12 Mar\tIt's the 4th anniversary of the divorce of Ned Nulldead = Dora Dead in 20 days"};
  for (const std::string& source : {MakeFamilyHistory(), WriteFamilyHistoryGedcom()}) {
    SCOPED_TRACE(source);
    options_.Folders = {source};
    EXPECT_EQ(Scan(), living);
  }
}

TEST_F(AlertSessionTest, ACustomColumnOfAnyNameIsScanned) {
  int trees = 0;
  for (const char* name : {"Baptism [church]", "Odd] \"quoted\" it's", "Two '' marks"}) {
    SCOPED_TRACE(name);
    customColumn_ = name;
    options_.Folders = {MakeTree("tree" + std::to_string(++trees),
                                 {{1, "John", "SMITH", 0, "12 Dec 1950", "", "20 Dec 1950"}}, {}, {})};
    Tick({"Birth", name});
    EXPECT_EQ(Scan(), (std::vector<std::string>{"Sat 12 Dec\tJohn SMITH is 76 years old in 2 days",
                                                "Sun 20 Dec\tJohn SMITH was baptised 76 years ago in 10 days"}));
  }
}

}  // namespace
}  // namespace mindrel
