#pragma once

// Filters in the keel tool.
//   keel dump DIR TABLE ... --filter EXPR [--filter-nocase] [--filter-partial]
//     shows only the rows that pass the filter expression (string
//     comparisons ignore case with --filter-nocase; with --filter-partial a
//     constant ending in "*" matches the values that begin with it).
//   keel explain DIR TABLE EXPR [--filter-nocase] [--filter-partial] [--password P]
//     prints the filter's optimisation level, whether its AND chain was
//     reordered, each condition in computing order with its level and the
//     index that answers it, and the number of records that pass.
// Exit codes as the other commands: 0 done, 2 engine error, 64 bad arguments.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/FilterList.h"

namespace mindrel {

struct FilterArguments {
  bool given = false;
  std::string text;  // UTF-8 as typed
  bool noCase = false;
  bool partial = false;
};

// Removes the filter options from `args` and answers them; EUsageError when
// --filter has no value, or --filter-nocase / --filter-partial come without it.
FilterArguments TakeFilterArguments(std::vector<std::string>& args);

// The filter on `cursor`, or null when none was given; the cursor must
// outlive the answer.
std::unique_ptr<keel::TFilterList> InstallFilter(keel::TDataCursor& cursor, const FilterArguments& filter);

// `args` are the words after "explain".
int RunExplainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mindrel
