#pragma once

// A reading of one or more tables that must see one state of them: a row and
// its BLOB values, a whole query result, a folder's scan over several tables.
// Other programs' writers are not kept waiting for it needlessly: the reading
// runs first without holding the tables' read locks, and afterwards each
// table's change count (the data file's HeaderChangeCount, which every
// finished change advances) is compared, under the table's read lock, with
// the one seen before the reading. When a writer finished a change in
// between, what was read is thrown away and the reading runs again. After
// kUnlockedAttempts such runs the last one holds the read lock of every table
// from its start to its end; the locks are taken all at once or not at all,
// so this reading never holds one table while it waits for another.
//
// A reader that has no lock to take (no lock file, a table nobody listed)
// only learns of the changes its counts show; see docs/formats/lock-file.md.

#include <cstdint>
#include <functional>
#include <vector>

namespace keel {

class TDataTable;

class TConsistentRead {
 public:
  static constexpr int kUnlockedAttempts = 3;

  // The tables must stay open while the reading runs; a table named twice
  // counts once.
  explicit TConsistentRead(std::vector<TDataTable*> tables);

  // Runs `read` until what it read is one state of the tables. `read` must
  // start afresh every time: whatever an earlier call collected is stale.
  // Raises what `read` raises, and 10225 when the read locks of the last
  // attempt cannot all be had.
  void run(const std::function<void()>& read);
  // How many times the last run() called `read`.
  int attempts() const { return attempts_; }

 private:
  // Each table's change count, read under its read lock.
  std::vector<int32_t> changeCounts() const;
  void runHoldingEveryReadLock(const std::function<void()>& read);
  void holdEveryReadLock();
  void releaseReadLocks(size_t count) noexcept;

  std::vector<TDataTable*> tables_;
  int attempts_ = 0;
};

}  // namespace keel
