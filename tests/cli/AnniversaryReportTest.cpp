// The terminal list checked against an anniversary report worked out here on
// its own: the tree's rows are read back with `keel dump` and every date is
// taken from its display text ("12 Mar 1950", "ABT 3 May 1890", "10 Jun 28 BC",
// "4 Jul" without a year), with calendar arithmetic from the standard library.
// Nothing of the program's date records, scan or templates is used, so a
// fault in them shows up as a difference, entry for entry.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
namespace chr = std::chrono;
using mindrel::testing::RunTool;
using mindrel::testing::ToolRun;

constexpr int kLookAhead = 45;

// One value of a row as `keel dump` writes it: a JSON text, number, Boolean or null.
struct Value {
  bool null = true;
  std::string text;  // strings as they are, numbers and Booleans as written
};
using Row = std::map<std::string, Value>;

void AppendUtf8(unsigned code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A flat JSON object, as the dump writes one per line.
Row ParseRow(const std::string& line) {
  Row row;
  std::size_t at = 0;
  auto skip = [&] {
    while (at < line.size() && (line[at] == ' ' || line[at] == ',' || line[at] == '{' || line[at] == ':')) ++at;
  };
  auto string = [&] {
    std::string out;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] != '\\') {
        out += line[at];
        continue;
      }
      const char escaped = line[++at];
      if (escaped == 'u') {
        AppendUtf8(static_cast<unsigned>(std::stoul(line.substr(at + 1, 4), nullptr, 16)), out);
        at += 4;
      } else {
        out += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      }
    }
    ++at;
    return out;
  };
  for (skip(); at < line.size() && line[at] == '"'; skip()) {
    const std::string key = string();
    skip();
    Value value;
    if (line[at] == '"') {
      value = {false, string()};
    } else {
      const std::size_t end = line.find_first_of(",}", at);
      value.text = line.substr(at, end - at);
      value.null = value.text == "null";
      at = end;
    }
    row[key] = value;
  }
  return row;
}

std::string Text(const Row& row, const std::string& column) {
  const auto it = row.find(column);
  return it == row.end() || it->second.null ? std::string() : it->second.text;
}

bool Present(const Row& row, const std::string& column) {
  const auto it = row.find(column);
  return it != row.end() && !it->second.null;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A date as its display text gives it: "[ABT|AFT|BEF|EST] [D] [Mon] [YYYY [BC]]",
// any part but the year-only forms' year may be missing; phrases give nothing.
struct WrittenDate {
  std::optional<unsigned> day, month;
  std::optional<int> year;  // as written: a BC year stays positive and sets `bc`
  bool bc = false;
  bool qualified = false;

  // The first day of the written year counted astronomically (1 BC is 0).
  int Astronomical() const { return bc ? 1 - *year : *year; }
};

std::optional<WrittenDate> ParseWritten(const std::string& text) {
  static const std::vector<std::string> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  WrittenDate date;
  std::size_t at = 0;
  if (at < words.size() && std::regex_match(words[at], std::regex("ABT|AFT|BEF|EST"))) {
    date.qualified = true;
    ++at;
  }
  if (at + 1 < words.size() && std::regex_match(words[at], std::regex(R"(\d{1,2})")) &&
      std::find(kMonths.begin(), kMonths.end(), words[at + 1]) != kMonths.end()) {
    date.day = static_cast<unsigned>(std::stoi(words[at++]));
  }
  if (at < words.size()) {
    const auto month = std::find(kMonths.begin(), kMonths.end(), words[at]);
    if (month != kMonths.end()) {
      date.month = static_cast<unsigned>(month - kMonths.begin() + 1);
      ++at;
    }
  }
  if (at < words.size() && std::regex_match(words[at], std::regex(R"(\d+)"))) date.year = std::stoi(words[at++]);
  if (date.year && at < words.size() && words[at] == "BC") {
    date.bc = true;
    ++at;
  }
  if (at != words.size() || (!date.year && !(date.day && date.month)) || (date.day && !date.month)) {
    return std::nullopt;
  }
  return date;
}

// The last day a written date may stand for: the end of its year or month
// when that is all it tells. Nothing without a year.
std::optional<chr::sys_days> LastDay(const std::optional<WrittenDate>& date) {
  if (!date || !date->year) return std::nullopt;
  const chr::year year(date->Astronomical());
  if (!date->month) return chr::sys_days(year / chr::December / 31);
  if (!date->day) return chr::sys_days(year / chr::month(*date->month) / chr::last);
  return chr::sys_days(year / chr::month(*date->month) / chr::day(*date->day));
}

std::string Ordinal(int n) {
  const int tens = n / 10 % 10, last = n % 10;
  if (tens == 1) return std::to_string(n) + "th";
  return std::to_string(n) + (last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th");
}

std::string Material(int years) {
  static const std::map<int, std::string> kMaterials = {
      {1, "paper"},    {2, "cotton"},  {3, "leather"}, {4, "linen"},  {5, "wood"},     {6, "iron"},
      {7, "wool"},     {8, "bronze"},  {9, "pottery"}, {10, "tin"},   {11, "steel"},   {12, "silk"},
      {13, "lace"},    {14, "ivory"},  {15, "crystal"}, {20, "china"}, {25, "silver"}, {30, "pearl"},
      {35, "coral"},   {40, "ruby"},   {45, "sapphire"}, {50, "gold"}, {55, "emerald"}, {60, "diamond"},
      {70, "platinum"}};
  const auto it = kMaterials.find(years);
  return it == kMaterials.end() ? "" : " (" + it->second + ")";
}

// "Surname, First names" as the families table keeps a partner's name.
std::string PartnerName(const std::string& stored) {
  const std::string name = Trimmed(stored);
  const std::size_t comma = name.find(',');
  if (comma == std::string::npos) return name;
  const std::string surname = Trimmed(name.substr(0, comma)), first = Trimmed(name.substr(comma + 1));
  return first.empty() ? surname : surname.empty() ? first : first + " " + surname;
}

std::string Joined(const std::string& a, const std::string& b, const std::string& between) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + between + b;
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

using Window = std::map<std::pair<unsigned, unsigned>, chr::year_month_day>;

// The days from today to today + kLookAhead by month and day; a month and day
// met twice belong to the earlier day. A 28 February of a common year also
// stands for the 29th.
Window LookAheadDays(chr::year_month_day today) {
  Window window;
  for (int offset = 0; offset <= kLookAhead; ++offset) {
    const chr::year_month_day day{chr::sys_days(today) + chr::days(offset)};
    window.try_emplace({static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day())}, day);
    if (day.month() == chr::February && day.day() == chr::day(28) && !day.year().is_leap()) {
      window.try_emplace({2u, 29u}, day);
    }
  }
  return window;
}

chr::year_month_day IsoDay(const std::string& text) {
  int year = 0;
  unsigned month = 0, day = 0;
  std::sscanf(text.c_str(), "%d-%u-%u", &year, &month, &day);
  return chr::year_month_day{chr::year(year), chr::month(month), chr::day(day)};
}

// What the report is asked for, as the settings file says it.
struct ReportOptions {
  bool onlyLiving = false;
  int maxAge = 110;
  bool weddingsAfterDivorce = false;
};

class AnniversaryReport {
 public:
  AnniversaryReport(chr::year_month_day today, const ReportOptions& options)
      : today_(today), options_(options), window_(LookAheadDays(today)) {
    // Older than the maximum age: born before this day of that many years ago.
    const chr::year_month_day back = today - chr::years(options.maxAge);
    oldest_ = back.ok() ? chr::sys_days(back) : chr::sys_days(back.year() / back.month() / chr::last);
  }

  void Read(const std::vector<Row>& people, const std::vector<Row>& families, const std::vector<Row>& links) {
    std::map<std::string, const Row*> familyByCode;
    for (const Row& family : families) familyByCode[Text(family, "Code")] = &family;
    for (const Row& link : links) {
      if (Text(link, "RecType") != "P") continue;
      partners_[Text(link, "ChildMarr")].push_back(Text(link, "PersFam"));
      const auto family = familyByCode.find(Text(link, "ChildMarr"));
      if (family != familyByCode.end()) familiesOf_[Text(link, "PersFam")].push_back(family->second);
    }
    for (const Row& person : people) {
      const std::string code = Text(person, "Code");
      const std::string name = Joined(Trimmed(Text(person, "FirstNames")), Trimmed(Text(person, "Surname")), " ");
      names_[code] = name.empty() ? "[P" + code + "] no name" : name;
      dead_[code] = Dead(person);
    }
    for (const Row& person : people) AddPerson(person);
    for (const Row& family : families) AddFamily(family);
  }

  const std::vector<std::string>& Lines() const { return lines_; }
  // Those of dates with a year: a GEDCOM file has no form for the others.
  const std::vector<std::string>& LinesOfYears() const { return linesOfYears_; }

 private:
  enum class Event { Birth, Marriage, Divorce, Death, Custom };

  bool TooOld(const std::string& display) const {
    const auto last = LastDay(ParseWritten(display));
    return last && *last < oldest_;
  }

  // Marked dead, a death on record, or older than anyone lives: by the
  // birth where it has a year, else by any other dated event of theirs or of
  // their families.
  bool Dead(const Row& person) const {
    if (Text(person, "Dead") == "true" || Present(person, "Death date~B")) return true;
    const std::string birth = Text(person, "Search date~D");
    if (LastDay(ParseWritten(birth))) return TooOld(birth);
    for (const char* column : {"Baptism~D", "Emigration~D"}) {
      if (TooOld(Text(person, column))) return true;
    }
    const auto families = familiesOf_.find(Text(person, "Code"));
    if (families == familiesOf_.end()) return false;
    for (const Row* family : families->second) {
      for (const char* column : {"Marriage date~D", "Divorce date~D", "Engagement~D", "Emigration~D"}) {
        if (TooOld(Text(*family, column))) return true;
      }
    }
    return false;
  }

  void AddPerson(const Row& person) {
    const std::string code = Text(person, "Code");
    const bool dead = dead_[code];
    if (!dead || !options_.onlyLiving) Add(Event::Birth, "", Text(person, "Search date~D"), names_[code], dead);
    Add(Event::Death, "", Text(person, "Death date~D"), names_[code], dead);
    for (const char* column : {"Baptism", "Emigration"}) {
      if (!dead || !options_.onlyLiving) {
        Add(Event::Custom, column, Text(person, std::string(column) + "~D"), names_[code], dead);
      }
    }
  }

  void AddFamily(const Row& family) {
    const std::string code = Text(family, "Code");
    int found = 0, living = 0;
    for (const std::string& partner : partners_[code]) {
      if (!names_.contains(partner)) continue;
      ++found;
      if (!dead_[partner]) ++living;
    }
    const bool widowed = living < found;
    const std::string father = PartnerName(Text(family, "Fathers name"));
    const std::string mother = PartnerName(Text(family, "Mothers name"));
    std::string name = Joined(father, mother, " = ");
    if (name.empty()) name = "[F" + code + " no names]";
    if (!options_.onlyLiving || (living > 0 && !widowed)) {
      const std::string divorce = Text(family, "Divorce date~D");
      Add(Event::Marriage, "", Text(family, "Marriage date~D"), name, widowed,
          options_.weddingsAfterDivorce || divorce.empty() ? std::nullopt
                                                           : std::optional<std::optional<chr::sys_days>>(
                                                                 LastDay(ParseWritten(divorce))));
    }
    if (options_.onlyLiving && living == 0) return;
    Add(Event::Divorce, "", Text(family, "Divorce date~D"), name, false);
    // "Emigration" is also a people column: one event list item scans both.
    for (const char* column : {"Engagement", "Emigration"}) {
      Add(Event::Custom, column, Text(family, std::string(column) + "~D"), name, false);
    }
  }

  // `divorced`: the couple's divorce, with its last day where it has one; an
  // anniversary after it is not announced.
  void Add(Event event, const std::string& column, const std::string& display, const std::string& name, bool dead,
           std::optional<std::optional<chr::sys_days>> divorced = std::nullopt) {
    const std::optional<WrittenDate> date = ParseWritten(display);
    if (!date || !date->day || !date->month) return;
    const auto day = window_.find({*date->month, *date->day});
    if (day == window_.end()) return;
    if (divorced && (!*divorced || chr::sys_days(day->second) > **divorced)) return;
    const int alertYear = static_cast<int>(day->second.year());
    const int days = static_cast<int>((chr::sys_days(day->second) - chr::sys_days(today_)).count());
    const std::string when = days == 0 ? "today" : days == 1 ? "tomorrow" : "in " + std::to_string(days) + " days";
    const bool known = date->year.has_value();
    const int years = !known ? 0 : date->bc ? alertYear + *date->year - 1 : alertYear - *date->year;
    const std::string about = date->qualified ? "about " : "";
    const std::string n = std::to_string(years);
    const std::string unit = years == 1 ? " year" : " years";
    std::string sentence;
    switch (event) {
      case Event::Birth:
        if (!known) sentence = dead ? "It's the anniversary of the birth of " + name + " " + when
                                    : "It's " + name + "'s birthday " + when;
        else if (dead) sentence = name + " would have been " + about + n + " " + when;
        else sentence = name + " is " + about + n + unit + " old " + when;
        break;
      case Event::Death:
        sentence = !known ? when + " it's the anniversary of the death of " + name
                          : when + " it will be " + about + n + unit + " since the death of " + name;
        break;
      case Event::Marriage: {
        const std::string opening = dead ? "It would have been " : "It's ";
        sentence = !known ? opening + "the wedding anniversary of " + name + " " + when
                          : opening + about + "the " + Ordinal(years) + Material(years) + " wedding anniversary of " +
                                name + " " + when;
        break;
      }
      case Event::Divorce:
        sentence = !known ? "It's the anniversary of the divorce of " + name + " " + when
                          : "It's " + about + "the " + Ordinal(years) + " anniversary of the divorce of " + name + " " +
                                when;
        break;
      case Event::Custom:
        sentence = !known ? "It's the anniversary of the " + column + " of " + name + " " + when
                          : "It's " + about + "the " + Ordinal(years) + " anniversary of the " + column + " of " + name +
                                " " + when;
        break;
    }
    const auto& d = day->second;
    char iso[16];
    std::snprintf(iso, sizeof iso, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    lines_.push_back(std::string(iso) + "\t" + Capitalised(sentence));
    if (known) linesOfYears_.push_back(lines_.back());
  }

  chr::year_month_day today_;
  ReportOptions options_;
  Window window_;
  chr::sys_days oldest_;
  std::map<std::string, std::string> names_;
  std::map<std::string, bool> dead_;
  std::map<std::string, std::vector<std::string>> partners_;
  std::map<std::string, std::vector<const Row*>> familiesOf_;
  std::vector<std::string> lines_;
  std::vector<std::string> linesOfYears_;
};

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Case {
  int seed;
  const char* today;
  ReportOptions options;
};

class AnniversaryReportTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mindrel-report-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "scratch");
  }
  void TearDown() override { fs::remove_all(root_); }

  ToolRun Run(const std::string& tool, const std::vector<std::string>& args) {
    return RunTool(tool, args, (root_ / "scratch").string());
  }

  std::vector<Row> Dump(const std::string& table) {
    const ToolRun dump = Run("keel", {"dump", Tree(), table});
    EXPECT_EQ(dump.code, 0) << dump.err;
    std::vector<Row> rows;
    for (const std::string& line : LinesOf(dump.out)) rows.push_back(ParseRow(line));
    return rows;
  }

  // Takes the first names of two people and the surnames of two others whose
  // birthdays fall in the window, and leaves one partner of a married couple
  // with a surname only, so the list meets every kind of incomplete name.
  void BlankSomeNames(const std::vector<Row>& people, const std::vector<Row>& families, const std::string& today) {
    const Window window = LookAheadDays(IsoDay(today));
    int blanked = 0;
    for (const Row& person : people) {
      const auto date = ParseWritten(Text(person, "Search date~D"));
      if (!date || !date->day || !window.contains({*date->month, *date->day}) || Text(person, "FirstNames").empty() ||
          blanked >= 4) {
        continue;
      }
      const char* column = blanked < 2 ? "FirstNames" : "Surname";
      const ToolRun update = Run("keel", {"update", Tree(), "People.dat", Text(person, "RecordID"),
                                          std::string("{\"") + column + "\":\"\"}"});
      ASSERT_EQ(update.code, 0) << update.err;
      ++blanked;
    }
    for (const Row& family : families) {
      if (!Present(family, "Marriage date~D") || Text(family, "Mothers name").find(',') == std::string::npos) continue;
      const std::string surnameOnly = Text(family, "Mothers name").substr(0, Text(family, "Mothers name").find(',') + 1);
      const ToolRun update = Run("keel", {"update", Tree(), "Families.dat", Text(family, "RecordID"),
                                          "{\"Mothers name\":\"" + surnameOnly + "\"}"});
      ASSERT_EQ(update.code, 0) << update.err;
      break;
    }
  }

  std::string Tree() const { return (root_ / "tree").string(); }

  fs::path root_;
};

// Entry for entry: what the list lacks and what it has beyond the report.
void ExpectSameEntries(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  std::multiset<std::string> missing(expected.begin(), expected.end());
  std::vector<std::string> extra;
  for (const std::string& line : actual) {
    const auto found = missing.find(line);
    if (found == missing.end()) {
      extra.push_back(line);
    } else {
      missing.erase(found);
    }
  }
  EXPECT_EQ(std::vector<std::string>(missing.begin(), missing.end()), std::vector<std::string>{});
  EXPECT_EQ(extra, std::vector<std::string>{});
}

TEST_P(AnniversaryReportTest, ListAgreesWithTheReportEntryForEntry) {
  const Case c = GetParam();
  const std::string gedcom = (root_ / "tree.ged").string();
  const ToolRun made = Run("mktree", {Tree(), "--people", "400", "--seed", std::to_string(c.seed), "--today", c.today,
                                      "--gedcom", gedcom});
  ASSERT_EQ(made.code, 0) << made.err;
  const auto settings = [&](const std::string& source) {
    std::ofstream(root_ / "data" / "Mindrel.INI")
        << "[Prefs]\nNDBs=1\nDB0=\"" << source << "\"\nAlive=" << (c.options.onlyLiving ? "yes" : "no")
        << "\nDays=" << kLookAhead << "\nDateFormat=\"yyyy-mm-dd\"\nMaxAge=" << c.options.maxAge
        << "\nNoWeddingAfterDivorce=" << (c.options.weddingsAfterDivorce ? "no" : "yes") << "\n"
        << "[Fields]\nCount=7\nF1=Birth\nF2=Marriage\nF3=Divorce\nF4=Death\nF5=Baptism\nF6=Emigration\nF7=Engagement\n";
  };
  const auto list = [&] {
    const ToolRun run = Run("mindrel-list", {"--today", c.today, "--data-dir", (root_ / "data").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<std::string> lines = LinesOf(run.out);
    for (std::string& line : lines) line = mindrel::testing::WithoutJubileeMark(line);
    return lines;
  };

  // The same tree as a GEDCOM file, before any name is blanked in the folder.
  AnniversaryReport fileReport(IsoDay(c.today), c.options);
  fileReport.Read(Dump("People.dat"), Dump("Families.dat"), Dump("Links.dat"));
  settings(gedcom);
  {
    SCOPED_TRACE("GEDCOM file");
    ExpectSameEntries(list(), fileReport.LinesOfYears());
  }

  BlankSomeNames(Dump("People.dat"), Dump("Families.dat"), c.today);
  settings(Tree());
  const std::vector<std::string> actual = list();
  AnniversaryReport report(IsoDay(c.today), c.options);
  report.Read(Dump("People.dat"), Dump("Families.dat"), Dump("Links.dat"));
  ExpectSameEntries(actual, report.Lines());
  EXPECT_TRUE(std::is_sorted(actual.begin(), actual.end(),
                             [](const std::string& a, const std::string& b) { return a.substr(0, 10) < b.substr(0, 10); }));

  // What no sentence may hold, whatever the report says.
  static const std::regex kFaults(R"(\t$|\t |  | $|of = | = (today|tomorrow|in \d)|\b1 years|\t.*-\d|<\?)");
  for (const std::string& line : actual) EXPECT_FALSE(std::regex_search(line, kFaults)) << line;
  EXPECT_GT(actual.size(), 30u);
}

// A maximum age of 60 takes many of the generated people, who all have a
// death on record once they are old, for dead; a February of a common year
// meets the 29 February birthdays.
INSTANTIATE_TEST_SUITE_P(Trees, AnniversaryReportTest,
                         ::testing::Values(Case{5, "2026-12-10", {false}}, Case{17, "2028-02-20", {false}},
                                           Case{42, "2026-06-28", {false}}, Case{5, "2026-12-10", {true}},
                                           Case{23, "2027-03-30", {true}}, Case{23, "2027-02-20", {false, 60}},
                                           Case{42, "2026-06-28", {true, 60}}, Case{17, "2028-02-20", {true, 110, true}}));

}  // namespace
