#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/core/BlobStorage.h"
#include "engine/core/ErrorCodes.h"

namespace keel::testing {

// A BLOB file held in memory; tests read and damage `bytes` directly.
class MemoryStorage : public TBlobStorage {
public:
  std::vector<std::uint8_t> bytes;
  int writes = 0;

  std::uint64_t size() const override { return bytes.size(); }
  void read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > bytes.size() || out.size() > bytes.size() - offset) raise(ErrorCode::KEEL_READERR);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  }
  void write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    ++writes;
    if (offset + data.size() > bytes.size()) bytes.resize(offset + data.size());
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  void truncate(std::uint64_t newSize) override { bytes.resize(newSize); }
};

}  // namespace keel::testing
