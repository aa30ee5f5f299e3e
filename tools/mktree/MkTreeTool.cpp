#include "tools/mktree/MkTreeTool.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <stdexcept>

#include "engine/core/ErrorCodes.h"
#include "platform/Folders.h"
#include "tools/mktree/GedcomWriter.h"
#include "tools/mktree/TreeGenerator.h"
#include "tools/mktree/TreeWriter.h"

namespace mindrel {

namespace {

constexpr const char* kUsage =
    "usage: mktree [DIR] [--people N] [--seed S] [--today YYYY-MM-DD] [--force] [--gedcom FILE]\n"
    "       (DIR, --gedcom FILE or both: the same tree as a family-tree folder and as a GEDCOM file)\n";
constexpr int kMaxPeople = 1'000'000;
// Record edit days (calendar-date columns) lie up to a few years before today
// and must stay after Christ.
constexpr int kEarliestYear = 1000;

class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TArguments {
  std::string Folder;
  int People = 200;
  std::uint64_t Seed = 1;
  std::optional<CivilDate> Today;
  bool Force = false;
  std::string Gedcom;  // empty: no GEDCOM file
};

template <typename T>
T Number(const std::string& option, const std::string& text, T low, T high) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw EUsageError(option + ": not a number from " + std::to_string(low) + " to " + std::to_string(high) +
                      ": " + text);
  return value;
}

TArguments Parse(const std::vector<std::string>& args) {
  TArguments parsed;
  bool haveFolder = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw EUsageError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--people") {
      parsed.People = Number<int>(arg, value(), 1, kMaxPeople);
    } else if (arg == "--seed") {
      parsed.Seed = Number<std::uint64_t>(arg, value(), 0, UINT64_MAX);
    } else if (arg == "--today") {
      CivilDate day;
      const std::string& text = value();
      if (!ParseIsoDate(text, day) || day.year < kEarliestYear)
        throw EUsageError("--today: not a day YYYY-MM-DD from the year 1000 on: " + text);
      parsed.Today = day;
    } else if (arg == "--gedcom") {
      parsed.Gedcom = value();
      if (parsed.Gedcom.empty()) throw EUsageError("--gedcom: no file given");
    } else if (arg == "--force") {
      parsed.Force = true;
    } else if (arg.starts_with("--")) {
      throw EUsageError("unknown option " + arg);
    } else if (haveFolder) {
      throw EUsageError("more than one folder given");
    } else {
      parsed.Folder = arg;
      haveFolder = true;
    }
  }
  if ((!haveFolder || parsed.Folder.empty()) && parsed.Gedcom.empty()) throw EUsageError("no folder given");
  return parsed;
}

std::string IsoText(const CivilDate& day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
  return text;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// Anniversaries a scan on `today` with a 30-day look-ahead would meet: dates
// whose day and month are known and fall on one of those days.
struct TAnniversaryCount {
  int Dated = 0;
  int Near = 0;
};

TAnniversaryCount CountAnniversaries(const TFamilyTree& tree, const CivilDate& today) {
  std::set<std::pair<int, int>> window;
  TJDate day;
  ClearJDate(day);
  const std::int32_t first = DMYToJDay(today.day, today.month, today.year, true);
  for (int offset = 0; offset <= TTreeGenerator::kNearTodayDays; ++offset) {
    day.JDay = first + offset;
    TDayMonthYear dmy;
    JDateToDMY(day, dmy);
    window.insert({dmy.Month, dmy.Day});
  }
  TAnniversaryCount count;
  auto add = [&](const std::optional<TTreeDate>& date) {
    if (!date || !date->HasDayAndMonth()) return;
    ++count.Dated;
    const TDayMonthYear dmy = *date->Decoded();
    if (window.contains({dmy.Month, dmy.Day})) ++count.Near;
  };
  for (const TTreePerson& person : tree.People)
    for (const auto* date :
         {&person.Birth, &person.Death, &person.Burial, &person.Baptism, &person.Emigration})
      add(*date);
  for (const TTreeFamily& family : tree.Families)
    for (const auto* date : {&family.Marriage, &family.Divorce, &family.Engagement, &family.Emigration})
      add(*date);
  return count;
}

}  // namespace

int RunMkTree(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const Clock& clock) {
  TArguments parsed;
  try {
    parsed = Parse(args);
  } catch (const EUsageError& error) {
    err << "mktree: " << error.what() << '\n' << kUsage;
    return kMkTreeExitUsage;
  }
  const CivilDate today = parsed.Today.value_or(clock.today());
  if (!parsed.Gedcom.empty() && !parsed.Force && std::filesystem::exists(parsed.Gedcom)) {
    err << "mktree: " << parsed.Gedcom << " exists already; use --force to replace it\n";
    return kMkTreeExitUsage;
  }
  try {
    const TFamilyTree tree = TTreeGenerator({parsed.People, parsed.Seed, today}).Generate();
    if (!parsed.Folder.empty()) {
      TTreeWriter writer(parsed.Folder, clock);
      if (!parsed.Force) {
        const std::vector<std::string> existing = writer.ExistingTables();
        if (!existing.empty()) {
          err << "mktree: " << parsed.Folder << " already holds " << Joined(existing)
              << "; use --force to replace them\n";
          return kMkTreeExitUsage;
        }
      }
      if (!ForceDirectories(parsed.Folder)) {
        err << "mktree: cannot create the folder " << parsed.Folder << '\n';
        return kMkTreeExitCannotCreate;
      }
      writer.Write(tree, parsed.Force);
    }
    if (!parsed.Gedcom.empty()) {
      std::ofstream file(parsed.Gedcom, std::ios::binary | std::ios::trunc);
      TGedcomWriter::Write(tree, file);
      file.close();
      if (!file) {
        err << "mktree: cannot write the file " << parsed.Gedcom << '\n';
        return kMkTreeExitCannotCreate;
      }
    }
    const TAnniversaryCount anniversaries = CountAnniversaries(tree, today);
    out << "mktree: " << (parsed.Folder.empty() ? parsed.Gedcom : parsed.Folder) << ": " << tree.People.size()
        << " people, " << tree.Families.size()
        << " families, " << tree.Links.size() << " links; " << anniversaries.Near << " of "
        << anniversaries.Dated << " day-and-month dates fall within " << TTreeGenerator::kNearTodayDays
        << " days of " << IsoText(today) << '\n';
    return 0;
  } catch (const keel::EKeelEngineError& error) {
    err << "mktree: " << error.what() << '\n';
    return kMkTreeExitEngine;
  } catch (const std::exception& error) {
    err << "mktree: internal error: " << error.what() << '\n';
    return kMkTreeExitInternal;
  }
}

}  // namespace mindrel
