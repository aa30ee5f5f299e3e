#include "app/GedcomScanSources.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/AlertScan.h"

namespace mindrel {
namespace {

namespace fs = std::filesystem;

struct NoIgnore : TIgnoreChecker {
  std::string SelectPrimaryIndex() override { return ""; }
  void RestoreIndex(const std::string&) override {}
  bool IsIgnored(bool, std::int32_t, const std::string&, const std::string&) override { return false; }
};

struct NoAddedEvents : TAddedEvents {
  void First() override {}
  bool Eof() const override { return true; }
  void Next() override {}
  const TScanRecord& Current() const override { std::abort(); }
};

// Today is 10 December 2026; the window runs 30 days.
constexpr const char* kTree =
    "0 HEAD\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME John /Smith/\n1 BIRT\n2 DATE 12 DEC 1950\n"
    "0 @I2@ INDI\n1 NAME Mary /Brown/\n1 BIRT\n2 DATE 15 DEC 1952\n1 DEAT\n2 DATE 20 DEC 2000\n"
    "0 @I3@ INDI\n1 NAME Old /Timer/\n1 BIRT\n2 DATE JAN 1901\n"
    "0 @I4@ INDI\n1 NAME Phrase /Only/\n1 BIRT\n2 DATE (13 DEC 1950 or so)\n"
    "0 @I5@ INDI\n1 NAME Ann /Smith/\n1 BIRT\n2 DATE BET 1960 AND 1961\n1 BAPM\n2 DATE 14 DEC 1960\n"
    "0 @I6@ INDI\n1 NAME Tom /Brown/\n1 BURI\n"
    "0 @I7@ INDI\n1 NAME Gaius /Caesar/\n1 BIRT\n2 DATE 12 DEC 10 B.C.\n"
    "0 @I8@ INDI\n1 NAME Dora /Dead/\n1 BIRT\n2 DATE 1 MAR 1955\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 MARR\n2 DATE 18 DEC 1975\n"
    "0 @F2@ FAM\n1 HUSB @I6@\n1 WIFE @I2@\n1 MARR\n2 DATE 19 DEC 1930\n"
    "0 @F3@ FAM\n1 HUSB @I1@\n1 WIFE @I8@\n1 MARR\n2 DATE 16 DEC 1980\n1 DIV\n2 DATE 1 MAR 1993\n"
    "0 TRLR\n";

class GedcomScanSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/gedcom-scan-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    std::ofstream(root_ / "tree.ged") << kTree;
    options.Folders = {(root_ / "tree.ged").string()};
    options.LookAhead = 30;
  }
  void TearDown() override { fs::remove_all(root_); }

  // The fixed event types and the custom column Baptism, ticked by name.
  void Tick(const std::set<std::string>& ticked) {
    options.EventItems = TSettings().EventItems;
    options.EventItems.push_back({"Baptism", false});
    for (auto& item : options.EventItems) item.Ticked = ticked.contains(item.Text);
  }

  // "name|years|yyyy-mm-dd|code" per entry, in list order.
  std::vector<std::string> Scan() {
    TGedcomSource source;
    TGedcomTables tables(source);
    TGedcomQuery query(source);
    NoIgnore ignore;
    NoAddedEvents events;
    const FixedClock clock(CivilDate{2026, 12, 10});
    TAlertList alerts;
    TAlertScan(clock, tables, query, ignore, events).RefreshOutputList(options, alerts);
    messages = source.Messages();
    std::vector<std::string> out;
    for (int i = 0; i < alerts.Count(); ++i) {
      const TOPObj& e = alerts.Entry(i);
      const CivilDate day = DecodeDate(e.Date);
      char date[16];
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.year, day.month, day.day);
      out.push_back(e.Name + "|" + std::to_string(e.Years) + "|" + date + "|" + e.Kind + std::to_string(e.Code));
    }
    return out;
  }

  fs::path root_;
  TScanOptions options;
  std::vector<std::string> messages;
};

// Gaius, born 10 BC, has no death record and still counts as dead; John and
// Mary's marriage ended with her death, John and Dora's with their divorce.
TEST_F(GedcomScanSourcesTest, LivingPeopleAndWeddingsOfLivingCouples) {
  options.Alive = true;
  Tick({"Birth", "Marriage", "Death", "Baptism"});
  EXPECT_EQ(Scan(), (std::vector<std::string>{"John Smith|76|2026-12-12|P1", "Ann Smith|66|2026-12-14|P5",
                                              "Mary Brown|26|2026-12-20|P2"}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(GedcomScanSourcesTest, TheDeadTooAndPartialDatesOnRequest) {
  options.Alive = false;
  options.Partial = true;
  Tick({"Birth", "Marriage", "Death"});
  EXPECT_EQ(Scan(), (std::vector<std::string>{
                        "Gaius Caesar|2035|2026-12-12|P7", "John Smith|76|2026-12-12|P1", "Mary Brown|74|2026-12-15|P2", "John Smith = Mary Brown|51|2026-12-18|F1",
                        "Tom Brown = Mary Brown|96|2026-12-19|F2", "Mary Brown|26|2026-12-20|P2",
                        "Old Timer|126|2027-01-01|P3"}));
}

// 5787 began on 12 September 2026 with thirty days in Tishri, Heshvan and
// Kislev: the window of 10 December 2026 to 9 January 2027 runs from 30
// Kislev to 1 Shevat.
TEST_F(GedcomScanSourcesTest, HebrewDatesFallOnTheirHebrewAnniversaries) {
  std::ofstream(root_ / "tree.ged")
      << "0 HEAD\n1 CHAR UTF-8\n"
         "0 @I1@ INDI\n1 NAME Sarah /Cohen/\n1 BIRT\n2 DATE @#DHEBREW@ 5 TVT 5740\n"
         // 5784 had no 30 Kislev; 5787 has one, and that is the yahrzeit.
         "1 DEAT\n2 DATE @#DHEBREW@ 30 KSL 5783\n"
         "0 @I2@ INDI\n1 NAME David /Levi/\n1 BIRT\n2 DATE @#DHEBREW@ TVT 5740\n"
         "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I1@\n1 MARR\n2 DATE ABT @#DHEBREW@ 1 SHV 5760\n"
         "0 TRLR\n";
  options.Alive = false;
  options.Partial = true;
  Tick({"Birth", "Marriage", "Death"});
  EXPECT_EQ(Scan(), (std::vector<std::string>{"Sarah Cohen|4|2026-12-10|P1", "Sarah Cohen|47|2026-12-15|P1",
                                              "David Levi = Sarah Cohen|27|2027-01-09|F1"}));
}

TEST_F(GedcomScanSourcesTest, AnUnreadableFileLeavesTheOthersScanned) {
  std::ofstream(root_ / "broken.ged") << "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Lost /Person/\n1 BIRT\n2 DATE 12 DEC 1950\n";
  options.Folders.insert(options.Folders.begin(), (root_ / "broken.ged").string());
  Tick({"Birth"});
  EXPECT_EQ(Scan(), (std::vector<std::string>{"John Smith|76|2026-12-12|P1"}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "GEDCOM file \"" + (root_ / "broken.ged").string() +
                             "\", line 7: the file ends before its last line \"0 TRLR\"; it may have been cut short");
}

}  // namespace
}  // namespace mindrel
