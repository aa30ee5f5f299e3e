#include "engine/core/LockRetry.h"

#include <thread>

#include "engine/core/ErrorCodes.h"

namespace keel {

bool TLockRetry::waitForNext() {
  ++failures_;
  if (osError_ != 0 || failures_ > policy_.retries) return false;
  if (sleep_) {
    sleep_(policy_.wait);
  } else if (policy_.wait.count() > 0) {
    std::this_thread::sleep_for(policy_.wait);
  }
  return true;
}

bool TLockRetry::tryLock(const RangeLocker& lock, const LockRange& range) {
  try {
    return lock(range);
  } catch (const EKeelEngineError& error) {
    osError_ = error.osError() != 0 ? error.osError() : -1;
    return false;
  }
}

std::optional<LockRange> TLockRetry::lock(const RangeLocker& lock,
                                          const std::function<LockRange()>& nextRange) {
  for (;;) {
    LockRange range = nextRange();
    if (tryLock(lock, range)) return range;
    if (!waitForNext()) return std::nullopt;
  }
}

bool ReleaseRange(const RangeLocker& unlock, const LockRange& range) {
  try {
    return unlock(range);
  } catch (const EKeelEngineError&) {
    return false;
  }
}

}  // namespace keel
