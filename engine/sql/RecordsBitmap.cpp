#include "engine/sql/RecordsBitmap.h"

#include <bit>
#include <stdexcept>

namespace keel {

void TRecordsBitmap::resize(int64_t size) {
  if (size < 0) size = 0;
  size_ = size;
  words_.resize(static_cast<size_t>((size + kWordBits - 1) / kWordBits), 0);
  clearTail();
  recount();
}

bool TRecordsBitmap::test(int64_t record) const {
  if (record < 1 || record > size_) return false;
  const uint64_t bit = static_cast<uint64_t>(record - 1);
  return (words_[bit / kWordBits] >> (bit % kWordBits)) & 1u;
}

bool TRecordsBitmap::set(int64_t record) {
  if (record < 1 || record > size_) return false;
  const uint64_t bit = static_cast<uint64_t>(record - 1);
  uint64_t& word = words_[bit / kWordBits];
  const uint64_t mask = uint64_t{1} << (bit % kWordBits);
  if ((word & mask) == 0) ++count_;
  word |= mask;
  return true;
}

void TRecordsBitmap::clear(int64_t record) {
  if (record < 1 || record > size_) return;
  const uint64_t bit = static_cast<uint64_t>(record - 1);
  uint64_t& word = words_[bit / kWordBits];
  const uint64_t mask = uint64_t{1} << (bit % kWordBits);
  if ((word & mask) != 0) --count_;
  word &= ~mask;
}

void TRecordsBitmap::setAll() {
  for (uint64_t& word : words_) word = ~uint64_t{0};
  clearTail();
  count_ = size_;
}

void TRecordsBitmap::clearAll() {
  for (uint64_t& word : words_) word = 0;
  count_ = 0;
}

void TRecordsBitmap::complement() {
  for (uint64_t& word : words_) word = ~word;
  clearTail();
  count_ = size_ - count_;
}

void TRecordsBitmap::intersect(const TRecordsBitmap& other) {
  requireSameSize(other);
  for (size_t i = 0; i < words_.size(); ++i) words_[i] &= other.words_[i];
  recount();
}

void TRecordsBitmap::unite(const TRecordsBitmap& other) {
  requireSameSize(other);
  for (size_t i = 0; i < words_.size(); ++i) words_[i] |= other.words_[i];
  recount();
}

void TRecordsBitmap::subtract(const TRecordsBitmap& other) {
  requireSameSize(other);
  for (size_t i = 0; i < words_.size(); ++i) words_[i] &= ~other.words_[i];
  recount();
}

int64_t TRecordsBitmap::nextSet(int64_t from) const {
  if (from < 1) from = 1;
  if (from > size_) return 0;
  uint64_t bit = static_cast<uint64_t>(from - 1);
  size_t index = bit / kWordBits;
  uint64_t word = words_[index] & (~uint64_t{0} << (bit % kWordBits));
  while (word == 0) {
    if (++index == words_.size()) return 0;
    word = words_[index];
  }
  return static_cast<int64_t>(index * kWordBits + static_cast<size_t>(std::countr_zero(word))) + 1;
}

int64_t TRecordsBitmap::previousSet(int64_t from) const {
  if (from > size_) from = size_;
  if (from < 1) return 0;
  uint64_t bit = static_cast<uint64_t>(from - 1);
  size_t index = bit / kWordBits;
  const unsigned shift = static_cast<unsigned>(kWordBits - 1 - bit % kWordBits);
  uint64_t word = words_[index] << shift >> shift;
  while (word == 0) {
    if (index-- == 0) return 0;
    word = words_[index];
  }
  return static_cast<int64_t>(index * kWordBits + kWordBits - 1 -
                              static_cast<size_t>(std::countl_zero(word))) +
         1;
}

// Bits past the last record stay clear, so that whole-word operations and
// counts never see them.
void TRecordsBitmap::clearTail() {
  const int64_t used = size_ % kWordBits;
  if (used != 0 && !words_.empty()) words_.back() &= (uint64_t{1} << used) - 1;
}

void TRecordsBitmap::recount() {
  count_ = 0;
  for (uint64_t word : words_) count_ += std::popcount(word);
}

void TRecordsBitmap::requireSameSize(const TRecordsBitmap& other) const {
  if (other.size_ != size_) throw std::logic_error("record bitmaps of different sizes combined");
}

}  // namespace keel
