#pragma once

// One cached unit of a buffered file (a row, an index page or a BLOB block).
// The base keeps the unit's disk image as it is (after decryption); kinds that
// hold another in-memory form (unpacked index pages) override load and store.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace keel {

class TBuffer {
 public:
  explicit TBuffer(size_t size) : data_(size) {}
  virtual ~TBuffer() = default;

  int64_t unit() const { return unit_; }
  // Numbered by the cache that places it, before it is placed.
  void setUnit(int64_t unit) { unit_ = unit; }
  bool modified() const { return modified_; }
  void setModified(bool modified = true) { modified_ = modified; }
  bool pinned() const { return pins_ > 0; }

  uint8_t* data() { return data_.data(); }
  const uint8_t* data() const { return data_.data(); }
  size_t size() const { return data_.size(); }

  // Prepares the buffer for a unit that has never been written.
  virtual void clear() { std::memset(data_.data(), 0, data_.size()); }
  // From / to the (decrypted) disk image of `diskSize` bytes.
  virtual void load(const uint8_t* disk, size_t diskSize) {
    std::memcpy(data_.data(), disk, diskSize < data_.size() ? diskSize : data_.size());
  }
  virtual void store(uint8_t* disk, size_t diskSize) const {
    const size_t held = diskSize < data_.size() ? diskSize : data_.size();
    std::memcpy(disk, data_.data(), held);
    std::memset(disk + held, 0, diskSize - held);
  }

 private:
  friend class TBufferedFile;
  friend class TRecencyList;
  std::vector<uint8_t> data_;
  int64_t unit_ = 0;
  bool modified_ = false;
  int pins_ = 0;
  TBuffer* newer_ = nullptr;  // in the file's TRecencyList
  TBuffer* older_ = nullptr;
};

}  // namespace keel
