#pragma once

// What every benchmark reads the same way: the tree sizes given with
// --sizes, and the process's CPU time.

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace mindrel::bench {

// The comma-separated list after --sizes, else `defaults`.
inline std::vector<int> Sizes(int argc, char** argv, const std::string& defaults) {
  std::string list = defaults;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--sizes") == 0) list = argv[i + 1];
  }
  std::vector<int> sizes;
  std::stringstream items(list);
  for (std::string item; std::getline(items, item, ',');) sizes.push_back(std::atoi(item.c_str()));
  return sizes;
}

inline double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace mindrel::bench
