#pragma once

// The attempt loop shared by every lock: try; when refused, count the
// attempt, give up once the count exceeds the allowed retries, otherwise wait
// and try again. Random-byte locks choose a new byte for every attempt.
//
// A lock the operating system fails for another reason than a conflict (no
// lock support on the file system, say) is not retried: waiting would not
// change the answer.

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/core/LockLayout.h"
#include "engine/core/LockSettings.h"

namespace keel {

// One attempt at a range through some handle: true when granted, false when
// refused; operating-system failures raise engine errors.
using RangeLocker = std::function<bool(const LockRange&)>;

class TLockRetry {
 public:
  // Both arguments must outlive the loop.
  TLockRetry(const LockRetryPolicy& policy, const LockSleep& sleep) : policy_(policy), sleep_(sleep) {}

  // Call after a refused attempt: false once the attempts are used up (or the
  // last refusal was an operating-system failure), otherwise waits the
  // policy's time and answers true.
  bool waitForNext();

  // One attempt through `lock`: true when granted. A refusal by the
  // operating system for another reason than a conflict is remembered in
  // osError().
  bool tryLock(const RangeLocker& lock, const LockRange& range);

  // Locks `nextRange()` through `lock`, asking for the range anew before
  // every attempt; answers the range held, or nothing when the attempts ran
  // out.
  std::optional<LockRange> lock(const RangeLocker& lock, const std::function<LockRange()>& nextRange);

  // errno of the operating-system failure that ended the loop, else 0.
  int osError() const { return osError_; }

 private:
  const LockRetryPolicy& policy_;
  const LockSleep& sleep_;
  uint32_t failures_ = 0;
  int osError_ = 0;
};

// Releases a range through `unlock`: false when it was not held exactly so or
// the operating system refused.
bool ReleaseRange(const RangeLocker& unlock, const LockRange& range);

}  // namespace keel
