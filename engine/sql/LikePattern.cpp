#include "engine/sql/LikePattern.h"

namespace keel {

bool LikeMatch(std::string_view subject, std::string_view pattern, std::optional<char> escape) {
  // Greedy match with one backtracking point: the last "%" seen and the
  // subject position it has absorbed up to. Linear in practice, never
  // exponential.
  size_t s = 0;
  size_t p = 0;
  size_t starPattern = std::string_view::npos;
  size_t starSubject = 0;
  while (s < subject.size()) {
    if (p < pattern.size()) {
      char c = pattern[p];
      if (escape && c == *escape && p + 1 < pattern.size()) {
        if (pattern[p + 1] == subject[s]) {
          p += 2;
          ++s;
          continue;
        }
      } else if (c == '%') {
        starPattern = ++p;
        starSubject = s;
        continue;
      } else if (c == '_' || c == subject[s]) {
        ++p;
        ++s;
        continue;
      }
    }
    if (starPattern == std::string_view::npos) return false;
    p = starPattern;
    s = ++starSubject;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

}  // namespace keel
