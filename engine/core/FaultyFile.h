#pragma once

// Test seam: an in-memory file that records every read and write it serves and
// can fail its Nth one with an errno of choice. Put it into a registry with
// TFileRegistry::adopt so that tables open it by path.

#include <string>
#include <vector>

#include "engine/core/MemoryFile.h"

namespace keel {

class TFaultyFile final : public TMemoryFile {
 public:
  enum class Op { Read, Write, Truncate, Flush };
  struct Call {
    Op op;
    uint64_t offset;
    size_t length;
  };

  explicit TFaultyFile(std::string path) : TMemoryFile(std::move(path)) {}

  // The `n`th read, write, truncate or flush from now (1 = the next one) raises
  // the engine error for `errnum`. 0 switches the failure off.
  void failCall(int n, int errnum) {
    failAt_ = n == 0 ? 0 : calls_.size() + static_cast<size_t>(n);
    errnum_ = errnum;
  }
  const std::vector<Call>& calls() const { return calls_; }
  void clearCalls() {
    calls_.clear();
    failAt_ = 0;
  }
  size_t count(Op op) const;

 protected:
  size_t doReadAt(uint64_t offset, void* buffer, size_t length) override;
  void doWriteAt(uint64_t offset, const void* buffer, size_t length) override;
  void doTruncate(uint64_t size) override;
  void doFlush() override;

 private:
  void record(Op op, uint64_t offset, size_t length);

  std::vector<Call> calls_;
  size_t failAt_ = 0;
  int errnum_ = 0;
};

}  // namespace keel
