#pragma once

// The one source of chance of the tree maker. The tree must come out the
// same for a seed on every build, so values are cut from the raw 64-bit
// Mersenne Twister stream (whose sequence the language fixes) rather than
// through the standard distributions, whose algorithms differ between
// libraries.

#include <cstdint>
#include <random>
#include <span>

namespace mindrel {

class TSeededRandom {
 public:
  explicit TSeededRandom(std::uint64_t seed) : engine_(seed) {}

  // 0 .. bound-1; REQUIRES: bound > 0.
  int Below(int bound);
  // low .. high, both included; REQUIRES: low <= high.
  int Between(int low, int high) { return low + Below(high - low + 1); }
  // True in `percent` cases out of 100.
  bool Chance(int percent) { return Below(100) < percent; }

  template <typename T>
  const T& Pick(std::span<const T> items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace mindrel
