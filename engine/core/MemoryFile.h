#pragma once

// A shared handle whose bytes live in memory in 64 KB chunks: the files of the
// in-memory database, and the stand-in file of tests. Range locks exist only
// in the handle's own table.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/BaseFile.h"

namespace keel {

class TMemoryFile : public TBaseFile {
 public:
  static constexpr size_t kChunkSize = 65536;

  explicit TMemoryFile(std::string path) : TBaseFile(std::move(path)) {}

  // Capacity held, in whole chunks.
  size_t capacity() const { return chunks_.size() * kChunkSize; }

 protected:
  size_t doReadAt(uint64_t offset, void* buffer, size_t length) override;
  void doWriteAt(uint64_t offset, const void* buffer, size_t length) override;
  void doTruncate(uint64_t size) override;
  void doFlush() override {}
  uint64_t doSize() override { return size_; }
  bool doLockRange(uint64_t, uint64_t, LockMode) override { return true; }
  void doUnlockRange(uint64_t, uint64_t) override {}

 private:
  using Chunk = std::array<uint8_t, kChunkSize>;
  void reserveFor(uint64_t size);

  std::vector<std::unique_ptr<Chunk>> chunks_;
  uint64_t size_ = 0;
};

}  // namespace keel
