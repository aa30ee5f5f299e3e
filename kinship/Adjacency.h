#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace mindrel {

// Lists of neighbours of nodes 0 .. n-1 kept one after another in one
// array, made in linear time from (node, neighbour) pairs.
class TAdjacency {
 public:
  using Pair = std::pair<std::uint32_t, std::uint32_t>;

  TAdjacency() = default;
  TAdjacency(std::uint32_t nodes, std::span<const Pair> pairs) : start_(nodes + 1, 0) {
    for (const Pair& pair : pairs) ++start_[pair.first + 1];
    for (std::uint32_t node = 0; node < nodes; ++node) start_[node + 1] += start_[node];
    items_.resize(pairs.size());
    std::vector<std::uint32_t> filled(start_.begin(), start_.end() - 1);
    for (const Pair& pair : pairs) items_[filled[pair.first]++] = pair.second;
  }

  // REQUIRES: node < the number of nodes
  std::span<const std::uint32_t> Of(std::uint32_t node) const {
    return {items_.data() + start_[node], items_.data() + start_[node + 1]};
  }

 private:
  std::vector<std::uint32_t> start_;
  std::vector<std::uint32_t> items_;
};

}  // namespace mindrel
