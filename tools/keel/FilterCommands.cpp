#include "tools/keel/FilterCommands.h"

#include <ostream>

#include "engine/core/DataSession.h"
#include "engine/core/TextCase.h"
#include "tools/keel/RowJson.h"

namespace mindrel {

namespace {

constexpr int kExitEngine = 2;
constexpr int kExitUsage = 64;
constexpr const char* kUsage =
    "usage: keel explain DIR TABLE EXPR [--filter-nocase] [--filter-partial] [--password P]\n";

keel::TFilterOptions OptionsOf(const FilterArguments& filter) {
  return {.CaseInsensitive = filter.noCase, .WholeValue = !filter.partial};
}

int Explain(const std::vector<std::string>& args, std::ostream& out) {
  const std::vector<std::string>& words = args;
  std::vector<std::string> passwords;
  std::vector<std::string> positional;
  FilterArguments filter;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--password") {
      if (i + 1 >= words.size()) throw EUsageError("--password needs a value");
      passwords.push_back(words[++i]);
    } else if (words[i] == "--filter-nocase") {
      filter.noCase = true;
    } else if (words[i] == "--filter-partial") {
      filter.partial = true;
    } else if (words[i].rfind("--", 0) == 0) {
      throw EUsageError("unknown option " + words[i]);
    } else {
      positional.push_back(words[i]);
    }
  }
  if (positional.size() != 3) throw EUsageError("explain needs a folder, a table and one expression");
  filter.given = true;
  filter.text = positional[2];

  keel::TDataEngine engine;
  keel::TDataSession session(engine);
  for (const std::string& password : passwords) session.passwords().add(keel::Utf8ToAnsi(password));
  keel::TDataDirectory folder(session, positional[0]);
  keel::TDataCursor cursor(folder, keel::Utf8ToAnsi(positional[1]), {.readOnly = true});
  std::unique_ptr<keel::TFilterList> filters = InstallFilter(cursor, filter);
  const keel::TFilter& installed = filters->at(0);
  out << "level: " << keel::FilterLevelName(installed.level()) << '\n';
  out << "rewritten: " << (installed.rewritten() ? "yes" : "no") << '\n';
  int number = 0;
  for (const keel::TFilterStep& step : installed.steps()) {
    out << "condition " << ++number << ": " << keel::AnsiToUtf8(step.Text) << ": "
        << keel::FilterLevelName(step.Level);
    if (step.Slot >= 0) {
      const std::string index = step.Slot == 0 ? "primary" : "\"" + keel::AnsiToUtf8(step.Index) + "\"";
      out << " by index " << index << " (" << step.Keys << " keys)";
    }
    out << '\n';
  }
  out << "records: " << filters->recordCount() << '\n';
  return 0;
}

}  // namespace

FilterArguments TakeFilterArguments(std::vector<std::string>& args) {
  FilterArguments filter;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--filter") {
      if (i + 1 >= args.size()) throw EUsageError("--filter needs a value");
      filter.given = true;
      filter.text = args[++i];
    } else if (args[i] == "--filter-nocase") {
      filter.noCase = true;
    } else if (args[i] == "--filter-partial") {
      filter.partial = true;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (!filter.given && (filter.noCase || filter.partial))
    throw EUsageError("--filter-nocase and --filter-partial need --filter");
  args = std::move(rest);
  return filter;
}

std::unique_ptr<keel::TFilterList> InstallFilter(keel::TDataCursor& cursor, const FilterArguments& filter) {
  if (!filter.given) return nullptr;
  auto filters = std::make_unique<keel::TFilterList>(cursor);
  filters->add(keel::Utf8ToAnsi(filter.text), OptionsOf(filter));
  return filters;
}

int RunExplainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Explain(args, out);
  } catch (const EUsageError& error) {
    err << "keel: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  } catch (const keel::EKeelEngineError& error) {
    err << keel::AnsiToUtf8(error.what()) << '\n';
    return kExitEngine;
  }
}

}  // namespace mindrel
