#pragma once

// The mktree command: makes a demo family-tree folder.
//   mktree [DIR] [--people N] [--seed S] [--today YYYY-MM-DD] [--force] [--gedcom FILE]

#include <ostream>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace mindrel {

inline constexpr int kMkTreeExitUsage = 64;         // bad arguments, or tables present without --force
inline constexpr int kMkTreeExitEngine = 2;         // the table engine failed
inline constexpr int kMkTreeExitInternal = 70;      // a fault of the tree maker itself
inline constexpr int kMkTreeExitCannotCreate = 73;  // the folder cannot be made

// `clock` gives today when --today is absent.
int RunMkTree(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Clock& clock);

}  // namespace mindrel
