#pragma once

// The table list of a folder's lock file ("keel.lck"), as bytes on disk and
// in memory. Layout (docs/formats/lock-file.md), little-endian:
//   0  int32  list change counter, advanced on every rewrite
//   4  int32  L = 4 + total length of the entries
//   8  L - 4  one shortstring (length byte, name) per table, in slot order
// A table's slot is the 1-based position of its name; names are compared
// without regard to case and are only ever appended.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keel {

class TLockFile {
 public:
  static constexpr size_t kCounterOffset = 0;
  static constexpr size_t kLengthOffset = 4;
  static constexpr size_t kEntriesOffset = 8;
  static constexpr size_t kMaxNameLength = 255;

  // The counter after `counter`: 2147483647 is followed by 1.
  static int32_t NextCounter(int32_t counter);
  // Table names match without regard to (Windows-1252) letter case.
  static bool SameName(std::string_view a, std::string_view b);

  // Reads a list; an empty file is an empty list with counter 0 (what a
  // creator that died before writing leaves behind). Raises 12036 naming
  // `path` when the bytes are not a list.
  static TLockFile Decode(const std::vector<uint8_t>& bytes, const std::string& path);
  // The counter alone, from the first bytes of a file; 0 for a file too short.
  static int32_t DecodeCounter(const std::vector<uint8_t>& bytes);

  std::vector<uint8_t> encode() const;

  int32_t counter() const { return counter_; }
  void setCounter(int32_t counter) { counter_ = counter; }
  const std::vector<std::string>& names() const { return names_; }

  // 1-based slot of `name`, or 0 when it is not listed.
  uint32_t slotOf(std::string_view name) const;
  // Appends `name` and answers its slot. Raises 9480 naming `database` when
  // the list already holds the most tables a folder can have, and 11013 for a
  // name that does not fit a shortstring.
  uint32_t append(const std::string& name, const std::string& database);

 private:
  int32_t counter_ = 0;
  std::vector<std::string> names_;
};

}  // namespace keel
