// The yahrzeits mindrel-list gives for a GEDCOM file, checked against an
// established Hebrew-calendar program (hebcal, installed for the tests): a
// few hundred deaths on random days of 1850-2020, some of them after sunset,
// and deaths written on the Hebrew calendar on the days that some years lack
// (30 Heshvan, 30 Kislev, 30 Adar I, Adar II) or that move between common
// and leap years (Adar). Over four years the two must give the same days.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using mindrel::testing::RunProgram;
using mindrel::testing::RunTool;
using mindrel::testing::ToolRun;

constexpr const char* kHebcal = "/usr/bin/hebcal";
const int kYears[] = {2024, 2025, 2026, 2027};

// A death as both programs are told of it: the GEDCOM lines under DEAT, and
// the Gregorian day whose yahrzeit hebcal is to give.
struct Death {
  std::string name;
  std::string gedcomLines;
  year_month_day hebcalDay;
};

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.insert(line);
  }
  return lines;
}

std::string GedcomDay(const year_month_day& day) {
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  return std::to_string(static_cast<unsigned>(day.day())) + " " + kMonths[static_cast<unsigned>(day.month()) - 1] +
         " " + std::to_string(static_cast<int>(day.year()));
}

class YahrzeitCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kHebcal)) << "hebcal is installed by scripts/install-deps.sh";
    char pattern[] = "/tmp/yahrzeit-check-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "scratch");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Scratch() const { return (root_ / "scratch").string(); }

  ToolRun Hebcal(const std::vector<std::string>& args) { return RunProgram(kHebcal, args, Scratch()); }

  void RandomDeaths(int count) {
    std::mt19937 random(1850);
    const sys_days first = sys_days{1850y / January / 1}, last = sys_days{2020y / December / 31};
    std::uniform_int_distribution<int> offset(0, (last - first).count());
    for (int i = 0; i < count; ++i) {
      const year_month_day day{first + days{offset(random)}};
      const bool evening = i % 7 == 0;
      const std::string name = "P" + std::to_string(deaths_.size() + 1);
      deaths_.push_back({name, "2 DATE " + GedcomDay(day) + "\n" + (evening ? "2 NOTE died after sunset\n" : ""),
                         evening ? year_month_day{sys_days{day} + days{1}} : day});
    }
  }

  // Every Hebrew day of the years 1940-2010 that is an edge case, written
  // on the Hebrew calendar; hebcal's own day listing gives its Gregorian day.
  void HebrewEdgeDeaths() {
    const std::regex line(R"((\d{4})-(\d\d)-(\d\d) (\d+)\w\w of ([A-Za-z' ]+), (\d+))");
    const std::map<std::string, std::string> months = {
        {"Cheshvan", "CSH"}, {"Kislev", "KSL"}, {"Adar", "ADR"}, {"Adar I", "ADR"}, {"Adar II", "ADS"}};
    for (int year = 1940; year <= 2010; year += 1) {
      const ToolRun listing = Hebcal({"-h", "-x", "-g", "-d", std::to_string(year)});
      ASSERT_EQ(listing.code, 0) << listing.err;
      std::istringstream in(listing.out);
      for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        const int day = std::stoi(m[4]);
        const std::string month = m[5];
        const bool edge = (day == 30 && (month == "Cheshvan" || month == "Kislev" || month == "Adar I")) ||
                          (month == "Adar II" && (day == 1 || day == 15 || day == 29)) ||
                          (month == "Adar" && (day == 15 || day == 29)) || (month == "Adar I" && day == 15);
        if (!edge) continue;
        const year_month_day gregorian{year_month_day{std::chrono::year{std::stoi(m[1])},
                                                      std::chrono::month{static_cast<unsigned>(std::stoi(m[2]))},
                                                      std::chrono::day{static_cast<unsigned>(std::stoi(m[3]))}}};
        const std::string name = "H" + std::to_string(deaths_.size() + 1);
        deaths_.push_back(
            {name, "2 DATE @#DHEBREW@ " + std::to_string(day) + " " + months.at(month) + " " + std::string(m[6]) + "\n",
             gregorian});
      }
    }
  }

  void WriteFiles() {
    std::ofstream gedcom(root_ / "deaths.ged");
    gedcom << "0 HEAD\n1 CHAR UTF-8\n";
    std::ofstream deathList(root_ / "deaths.txt");
    for (std::size_t i = 0; i < deaths_.size(); ++i) {
      gedcom << "0 @I" << i + 1 << "@ INDI\n1 NAME " << deaths_[i].name << "\n1 DEAT\n" << deaths_[i].gedcomLines;
      deathList << static_cast<unsigned>(deaths_[i].hebcalDay.month()) << " "
                << static_cast<unsigned>(deaths_[i].hebcalDay.day()) << " "
                << static_cast<int>(deaths_[i].hebcalDay.year()) << " " << deaths_[i].name << "\n";
    }
    gedcom << "0 TRLR\n";
  }

  // Only "Yahrzeit" ticked; the whole year from 1 January, the sentence the
  // name alone.
  std::set<std::string> MindrelYahrzeits(int year) {
    const int days = (sys_days{std::chrono::year{year} / December / 31} - sys_days{std::chrono::year{year} / January / 1}).count();
    std::ofstream(root_ / "data" / "Mindrel.INI")
        << "[Prefs]\nNDBs=1\nDB0=\"" << (root_ / "deaths.ged").string() << "\"\nAlive=no\nDays=" << days
        << "\nDateFormat=\"yyyy-mm-dd\"\n[Fields]\nCount=1\nF1=Yahrzeit\n[Text]\nYahrzeit=\"<name>\"\n";
    setenv("WINEPREFIX", (root_ / "none").c_str(), 1);
    const ToolRun run = RunTool(
        "mindrel-list", {"--today", std::to_string(year) + "-01-01", "--data-dir", (root_ / "data").string()}, Scratch());
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::set<std::string> lines;
    for (std::string line : Lines(run.out)) {
      line = mindrel::testing::WithoutJubileeMark(line);
      lines.insert(line.replace(line.find('\t'), 1, " "));
    }
    return lines;
  }

  std::set<std::string> HebcalYahrzeits(int year) {
    const ToolRun run = Hebcal({"-h", "-x", "-g", "-Y", (root_ / "deaths.txt").string(), std::to_string(year)});
    EXPECT_EQ(run.code, 0) << run.err;
    return Lines(run.out);
  }

  fs::path root_;
  std::vector<Death> deaths_;
};

TEST_F(YahrzeitCheckTest, FourYearsOfYahrzeitsAgreeWithAnEstablishedHebrewCalendarProgram) {
  RandomDeaths(400);
  HebrewEdgeDeaths();
  ASSERT_GT(deaths_.size(), 500u) << "the edge cases were found";
  WriteFiles();
  for (const int year : kYears) {
    SCOPED_TRACE(year);
    const std::set<std::string> listed = MindrelYahrzeits(year), expected = HebcalYahrzeits(year);
    EXPECT_GT(expected.size(), deaths_.size() * 9 / 10);
    std::vector<std::string> extra, missing;
    std::set_difference(listed.begin(), listed.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    std::set_difference(expected.begin(), expected.end(), listed.begin(), listed.end(), std::back_inserter(missing));
    EXPECT_EQ(extra, std::vector<std::string>{}) << "listed, but not a yahrzeit";
    EXPECT_EQ(missing, std::vector<std::string>{}) << "a yahrzeit not listed";
  }
}

}  // namespace
