#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace mindrel {

// Numbers the distinct record codes of a tree 0, 1, 2 ... in the order they
// first appear. Codes that lie close together (as the family-tree program
// hands them out) are found through a table indexed by the code; scattered
// ones through a hash map.
class TCodeIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  TCodeIndex() = default;
  explicit TCodeIndex(std::span<const std::int32_t> codes);

  // The number of the code; kNone when it was not among the codes.
  std::uint32_t Find(std::int32_t code) const;
  std::uint32_t Size() const { return static_cast<std::uint32_t>(codes_.size()); }
  // The code of a number.
  std::int32_t Code(std::uint32_t index) const { return codes_[index]; }
  // How many codes were given again after their first appearance.
  std::uint32_t Repeats() const { return repeats_; }

 private:
  std::uint32_t Insert(std::int32_t code);

  std::vector<std::int32_t> codes_;
  std::int64_t low_ = 0;
  std::vector<std::uint32_t> table_;  // by code - low_, when the codes are close
  std::unordered_map<std::int32_t, std::uint32_t> map_;  // otherwise
  bool dense_ = true;
  std::uint32_t repeats_ = 0;
};

}  // namespace mindrel
