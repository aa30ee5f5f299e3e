#pragma once

// One bit per physical record number 1..N of a table, with the number of set
// bits kept, for the record sets that filters compute and combine.
// Record numbers outside 1..N are never set: tests answer false, searches
// skip them, and setting one is refused (the caller sized the bitmap from
// the table's physical record count).

#include <cstdint>
#include <vector>

namespace keel {

class TRecordsBitmap {
 public:
  explicit TRecordsBitmap(int64_t size = 0) { resize(size); }

  int64_t size() const { return size_; }
  int64_t count() const { return count_; }
  // Keeps the bits of the numbers that remain; new numbers start clear.
  void resize(int64_t size);

  // False for a number outside 1..size.
  bool test(int64_t record) const;
  // Returns false (and changes nothing) for a number outside 1..size.
  bool set(int64_t record);
  void clear(int64_t record);

  void setAll();
  void clearAll();
  void complement();
  // The other bitmap must have the same size.
  void intersect(const TRecordsBitmap& other);
  void unite(const TRecordsBitmap& other);
  // Clears the bits set in `other`.
  void subtract(const TRecordsBitmap& other);
  void copyFrom(const TRecordsBitmap& other) { *this = other; }

  // The first set bit at or after `from` (at or before, for previous); 0 when none.
  int64_t nextSet(int64_t from) const;
  int64_t previousSet(int64_t from) const;

  bool operator==(const TRecordsBitmap& other) const = default;

 private:
  static constexpr int kWordBits = 64;
  void clearTail();
  void recount();
  void requireSameSize(const TRecordsBitmap& other) const;

  int64_t size_ = 0;
  int64_t count_ = 0;
  std::vector<uint64_t> words_;  // bit (k - 1) holds record k
};

}  // namespace keel
