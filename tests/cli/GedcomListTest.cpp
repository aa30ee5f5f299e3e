// mindrel-list over a GEDCOM file that mktree wrote, checked against a
// deliberately plain computation of the same anniversaries straight from the
// file's lines.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <vector>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using mindrel::testing::FileText;
using mindrel::testing::RunTool;
using mindrel::testing::ToolRun;

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(mindrel::testing::WithoutJubileeMark(line));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The plain reading: people with their first name, birth and death, couples
// with their partners, marriage and divorce; only full dates count.
struct Person {
  std::string given, surname;
  std::string birth, death;
};
struct Couple {
  std::string code, husband, wife, marriage, divorce;
};

struct Tree {
  std::map<std::string, Person> people;
  std::vector<Couple> couples;
};

Tree ReadTree(const std::string& text) {
  Tree tree;
  std::istringstream in(text);
  std::string record, xref, event;
  bool named = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream parts(line);
    std::string level, tag;
    parts >> level >> tag;
    std::string value;
    if (!tag.empty() && tag[0] == '@') {
      xref = tag;
      parts >> record;
      named = false;
      if (record == "FAM") tree.couples.push_back({xref.substr(2, xref.size() - 3), "", "", "", ""});
      continue;
    }
    std::getline(parts >> std::ws, value);
    if (level == "0") record.clear();
    if (level == "1") event = tag;
    if (record == "INDI") {
      Person& person = tree.people[xref];
      if (level == "1" && tag == "NAME" && !named) {
        named = true;
        const std::size_t slash = value.find('/');
        person.given = value.substr(0, slash);
        while (!person.given.empty() && person.given.back() == ' ') person.given.pop_back();
        person.surname = value.substr(slash + 1, value.find('/', slash + 1) - slash - 1);
      }
      if (level == "2" && tag == "DATE" && event == "BIRT" && person.birth.empty()) person.birth = value;
      if (level == "2" && tag == "DATE" && event == "DEAT" && person.death.empty()) person.death = value;
    } else if (record == "FAM") {
      Couple& couple = tree.couples.back();
      if (level == "1" && tag == "HUSB") couple.husband = value;
      if (level == "1" && tag == "WIFE") couple.wife = value;
      if (level == "2" && tag == "DATE" && event == "MARR" && couple.marriage.empty()) couple.marriage = value;
      if (level == "2" && tag == "DATE" && event == "DIV" && couple.divorce.empty()) couple.divorce = value;
    }
  }
  return tree;
}

class Expected {
 public:
  explicit Expected(year_month_day today) {
    // 366 days; a day a year on has today's day and month, and today keeps it.
    // A 28 February of a common year stands for the 29th too.
    for (int offset = 0; offset <= 365; ++offset) {
      const year_month_day day{sys_days{today} + days{offset}};
      window_.try_emplace({unsigned(day.month()), unsigned(day.day())}, day);
      if (day.month() == February && day.day() == 28d && !day.year().is_leap()) window_.try_emplace({2u, 29u}, day);
    }
  }

  // `divorce`: a wedding anniversary after it is not announced.
  void Add(const std::string& kind, const std::string& name, const std::string& date,
           const std::string& divorce = "") {
    std::smatch match;
    if (!std::regex_match(date, match, Full())) return;
    const auto found = window_.find({Month(match[2].str()), static_cast<unsigned>(std::stoi(match[1].str()))});
    if (found == window_.end()) return;
    std::smatch divorced;
    if (!divorce.empty() && (!std::regex_match(divorce, divorced, Full()) ||
                             sys_days{found->second} > sys_days{year{std::stoi(divorced[3].str())} /
                                                                Month(divorced[2].str()) /
                                                                std::stoi(divorced[1].str())})) {
      return;
    }
    const int alertYear = int(found->second.year());
    const int year = std::stoi(match[3].str());
    const int years = match[4].matched ? alertYear + year - 1 : alertYear - year;
    char day[16];
    std::snprintf(day, sizeof day, "%04d-%02u-%02u", alertYear, unsigned(found->second.month()),
                  unsigned(found->second.day()));
    lines_.push_back(std::string(day) + "\t" + kind + "|" + name + "|" + std::to_string(years));
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> sorted = lines_;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }

 private:
  static const std::regex& Full() {
    static const std::regex full(
        R"(^(?:(?:ABT|CAL|EST|BEF|AFT) )?(\d{1,2}) (JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC) (\d{1,4})( B\.C\.)?$)");
    return full;
  }
  static unsigned Month(const std::string& name) {
    static const std::string months = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    return static_cast<unsigned>(months.find(name) / 3 + 1);
  }

  std::map<std::pair<unsigned, unsigned>, year_month_day> window_;
  std::vector<std::string> lines_;
};

std::string PersonName(const Person& person, const std::string& xref) {
  const std::string name = person.given + " " + person.surname;
  return name == " " ? "[P" + xref.substr(2, xref.size() - 3) + "] no name" : name;
}

std::string PartnerName(const Tree& tree, const std::string& xref) {
  if (xref.empty()) return "";
  const Person& person = tree.people.at(xref);
  if (person.given.empty() || person.surname.empty()) return person.given + person.surname;
  return person.given + " " + person.surname;
}

class GedcomListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/gedcom-list-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    data_ = root_ / "data";
    fs::create_directories(data_);
    fs::create_directories(root_ / "scratch");
  }
  void TearDown() override { fs::remove_all(root_); }

  void MakeGedcom(int people) {
    const ToolRun made = RunTool(
        "mktree", {"--gedcom", gedcom().string(), "--people", std::to_string(people), "--seed", "11", "--today", "2026-12-10"},
        Scratch());
    ASSERT_EQ(made.code, 0) << made.err;
  }
  // Dead people shown, a year ahead, one plain template per event type.
  void WriteSettings(const std::string& sources) {
    std::ofstream(data_ / "Mindrel.INI")
        << "[Prefs]\n" << sources << "Alive=no\nDays=365\nDateFormat=\"yyyy-mm-dd\"\n"
        << "[Fields]\nCount=3\nF1=Birth\nF2=Marriage\nF3=Death\n"
        << "[Text]\nT0=\"B|<name>|<yy>\"\nT1=\"M|<name>|<yy>\"\nT3=\"D|<name>|<yy>\"\n"
        // The wordings for the dead and for a count of one, plain as well.
        << "[Variants]\nV1=\"B|<name>|<yy>\"\nV3=\"B|<name>|<yy>\"\nV7=\"D|<name>|<yy>\"\n";
  }
  ToolRun List() {
    // No registry of the family-tree program is to be found.
    setenv("WINEPREFIX", (root_ / "none").string().c_str(), 1);
    return RunTool("mindrel-list", {"--today", "2026-12-10", "--data-dir", data_.string()}, Scratch());
  }
  std::string Scratch() const { return (root_ / "scratch").string(); }
  fs::path gedcom() const { return root_ / "tree.ged"; }

  fs::path root_, data_;
};

TEST_F(GedcomListTest, ListsWhatAPlainReadingOfTheFileExpectsAndLeavesTheFileAlone) {
  MakeGedcom(2157);
  WriteSettings("NDBs=1\nDB0=\"" + gedcom().string() + "\"\n");
  const std::string before = FileText(gedcom().string());
  const auto stamp = fs::last_write_time(gedcom());

  const ToolRun run = List();
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const Tree tree = ReadTree(before);
  Expected expected(year_month_day{2026y, December, 10d});
  for (const auto& [xref, person] : tree.people) {
    expected.Add("B", PersonName(person, xref), person.birth);
    expected.Add("D", PersonName(person, xref), person.death);
  }
  for (const Couple& couple : tree.couples) {
    const std::string husband = PartnerName(tree, couple.husband), wife = PartnerName(tree, couple.wife);
    // A couple with one known partner is named by that partner alone.
    const std::string name = husband.empty() && wife.empty() ? "[F" + couple.code + " no names]"
                             : husband.empty()                ? wife
                             : wife.empty()                   ? husband
                                                              : husband + " = " + wife;
    expected.Add("M", name, couple.marriage, couple.divorce);
  }
  const std::vector<std::string> listed = SortedLines(run.out);
  EXPECT_GT(listed.size(), 1000u);
  const std::vector<std::string> wanted = expected.Lines();
  std::vector<std::string> extra, missing;
  std::set_difference(listed.begin(), listed.end(), wanted.begin(), wanted.end(), std::back_inserter(extra));
  std::set_difference(wanted.begin(), wanted.end(), listed.begin(), listed.end(), std::back_inserter(missing));
  EXPECT_EQ(extra, std::vector<std::string>{}) << "listed but not expected";
  EXPECT_EQ(missing, std::vector<std::string>{}) << "expected but not listed";

  EXPECT_EQ(FileText(gedcom().string()), before);
  EXPECT_EQ(fs::last_write_time(gedcom()), stamp);
}

TEST_F(GedcomListTest, JubileesAreMarkedUnlessSwitchedOff) {
  std::ofstream(gedcom()) << "0 HEAD\n1 CHAR UTF-8\n"
                             "0 @I1@ INDI\n1 NAME Ann /Fifty/\n1 BIRT\n2 DATE 12 DEC 1976\n1 DEAT\n2 DATE 15 DEC 2001\n"
                             "0 @I2@ INDI\n1 NAME Bob /Fiftyone/\n1 BIRT\n2 DATE 13 DEC 1975\n"
                             "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I1@\n1 MARR\n2 DATE 14 DEC 2001\n0 TRLR\n";
  const std::string sources = "NDBs=1\nDB0=\"" + gedcom().string() + "\"\n";
  WriteSettings(sources);
  const ToolRun marked = List();
  ASSERT_EQ(marked.code, 0) << marked.err;
  EXPECT_EQ(marked.out,
            "2026-12-12\tB|Ann Fifty|50\tjubilee\n"
            "2026-12-13\tB|Bob Fiftyone|51\n"
            "2026-12-14\tM|Bob Fiftyone = Ann Fifty|25\tjubilee\n"
            "2026-12-15\tD|Ann Fifty|25\tjubilee\n");

  WriteSettings(sources + "Jubilees=no\n");
  const ToolRun plain = List();
  ASSERT_EQ(plain.code, 0) << plain.err;
  EXPECT_EQ(plain.out.find("jubilee"), std::string::npos) << plain.out;
}

// Today is Thursday 10 December 2026.
TEST_F(GedcomListTest, WhatWasMissedSinceTheListWasLastShownComesFirstInThePast) {
  std::ofstream(gedcom()) << "0 HEAD\n1 CHAR UTF-8\n"
                             "0 @I1@ INDI\n1 NAME Anna /Weber/\n1 BIRT\n2 DATE 5 DEC 1986\n"
                             "0 @I2@ INDI\n1 NAME Bob /Weber/\n1 BIRT\n2 DATE 9 DEC 1990\n"
                             "0 @I3@ INDI\n1 NAME Cleo /Weber/\n1 BIRT\n2 DATE 11 DEC 2000\n0 TRLR\n";
  struct Case {
    const char* what;
    const char* prefs;
    const char* listed;
  } const cases[] = {
      {"a gap of nine days", "Days=30\nLastShown=2026-12-01\n",
       "2026-12-05\tAnna Weber turned 40 on Saturday\tmissed\tjubilee\n"
       "2026-12-09\tBob Weber turned 36 yesterday\tmissed\n"
       "2026-12-11\tCleo Weber is 26 years old tomorrow\n"},
      {"a gap longer than the window", "Days=3\nLastShown=2026-11-01\n",
       "2026-12-09\tBob Weber turned 36 yesterday\tmissed\n"
       "2026-12-11\tCleo Weber is 26 years old tomorrow\n"},
      {"a clock set back", "Days=30\nLastShown=2027-02-01\n", "2026-12-11\tCleo Weber is 26 years old tomorrow\n"},
      {"the option off", "Days=30\nLastShown=2026-12-01\nWhileAway=no\n",
       "2026-12-11\tCleo Weber is 26 years old tomorrow\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string settings = "[Prefs]\nNDBs=1\nDB0=\"" + gedcom().string() + "\"\nDateFormat=\"yyyy-mm-dd\"\n" + c.prefs;
    std::ofstream(data_ / "Mindrel.INI", std::ios::binary) << settings;
    const ToolRun run = List();
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, c.listed);
    EXPECT_EQ(FileText((data_ / "Mindrel.INI").string()), settings) << "listing records no showing";
  }
}

TEST_F(GedcomListTest, AnIgnoredPersonIsLeftOutAndADamagedFileIsNamed) {
  MakeGedcom(60);
  std::ofstream(root_ / "cut.ged") << FileText(gedcom().string()).substr(0, 900);
  // "E&xclude the Ignore List" is on by default.
  // Paths with forward slashes, which also cross JSON unescaped.
  WriteSettings("NDBs=2\nDB0=\"" + gedcom().generic_string() + "\"\nDB1=\"" + (root_ / "cut.ged").generic_string() +
                "\"\n");
  // Both validate: each begins with 0 HEAD. The first run makes Ignore.dat.
  const ToolRun first = List();
  EXPECT_EQ(first.code, 0);
  EXPECT_NE(first.err.find("GEDCOM file \"" + (root_ / "cut.ged").generic_string() + "\", line "), std::string::npos)
      << first.err;
  const Tree tree = ReadTree(FileText(gedcom().string()));
  const Person& first_person = tree.people.at("@I1@");
  const std::string name = PersonName(first_person, "@I1@");
  ASSERT_NE(first.out.find("|" + name + "|"), std::string::npos) << first.out;

  const std::string row = "{\"DBFolder\":\"" + gedcom().generic_string() + "\",\"Code\":1,\"AllEvents\":true}\n";
  const ToolRun inserted = RunTool("keel", {"insert", data_.string(), "Ignore"}, Scratch(), row);
  ASSERT_EQ(inserted.code, 0) << inserted.err;

  const ToolRun second = List();
  EXPECT_EQ(second.code, 0);
  EXPECT_EQ(second.out.find("|" + name + "|"), std::string::npos) << second.out;
  // Only that person's lines went: the rest is as before.
  std::vector<std::string> kept;
  for (const std::string& line : SortedLines(first.out)) {
    if (line.find("|" + name + "|") == std::string::npos && line.find(name + " = ") == std::string::npos &&
        line.find(" = " + name + "|") == std::string::npos) {
      kept.push_back(line);
    }
  }
  EXPECT_EQ(SortedLines(second.out), kept);
}

}  // namespace
