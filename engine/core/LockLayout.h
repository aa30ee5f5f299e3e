#pragma once

// Where every lock of the locking protocol lives. All locks are byte ranges
// far beyond any real file size, counted downward from `lockBase()` in 64-bit
// arithmetic, so they never cover data. The layout is drawn in
// docs/formats/lock-file.md.
//
// In the folder's lock file (R = 65535, s = table slot 1..4095):
//   list shared byte       lockBase - R + r - 1           (r random 1..65534)
//   list exclusive         lockBase - R, length R
//   transaction byte (s)   lockBase - R - s
//   all transaction bytes  lockBase - R - 4096, length 4096
//   table read byte (s)    T(s) + r - 1                   (r random 1..65534)
//   table write (s)        T(s), length R
//   all table writes       lockBase - R - 4096 - 4096 R, length 4096 R
//   with T(s) = lockBase - R - 4096 - s R.
// In a table's data file (M = the row limit):
//   row k                  lockBase - k
//   whole table            lockBase - M, length M
//   semaphore n (1..1024)  lockBase - M - n

#include <cstdint>

namespace keel {

struct LockRange {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const LockRange&) const = default;
};

class TLockLayout {
 public:
  static constexpr uint64_t kRegion = 65535;  // R: list region and one table's region
  static constexpr uint32_t kMaxSlots = 4095;
  static constexpr uint32_t kTransactionBytes = kMaxSlots + 1;
  static constexpr uint32_t kMaxRandomByte = kRegion - 1;  // r runs 1..65534
  static constexpr uint32_t kMaxSemaphore = 1024;
  static constexpr uint64_t kSmallLockBase = 0xFFFFFFFFULL;
  static constexpr uint64_t kLargeLockBase = 0x7FFFFFFFFFFFFFFFULL;
  static constexpr uint64_t kSmallRowLimit = 200'000'000ULL;
  static constexpr uint64_t kLargeRowLimit = 1'000'000'000ULL;

  explicit TLockLayout(bool largeFileSupport)
      : lockBase_(largeFileSupport ? kLargeLockBase : kSmallLockBase),
        rowLimit_(largeFileSupport ? kLargeRowLimit : kSmallRowLimit) {}

  uint64_t lockBase() const { return lockBase_; }
  uint64_t rowLimit() const { return rowLimit_; }

  // Lock file. `randomByte` is r in 1..kMaxRandomByte, `slot` is 1..kMaxSlots.
  LockRange listShared(uint32_t randomByte) const;
  LockRange listExclusive() const;
  LockRange transactionByte(uint32_t slot) const;
  LockRange allTransactionBytes() const;
  LockRange tableRead(uint32_t slot, uint32_t randomByte) const;
  LockRange tableWrite(uint32_t slot) const;
  LockRange allTableWrites() const;

  // Data file. `row` is the physical row number 1..rowLimit(), `semaphore`
  // 1..kMaxSemaphore.
  LockRange row(uint64_t row) const;
  LockRange wholeTable() const;
  LockRange semaphore(uint32_t semaphore) const;

 private:
  uint64_t tableRegion(uint32_t slot) const;  // T(s)

  uint64_t lockBase_;
  uint64_t rowLimit_;
};

}  // namespace keel
