#pragma once

// The settings that govern lock attempts: the engine's (one per process) and
// the session's. Defaults are the engine's documented defaults; tests shorten
// the waits and counts, and may replace the sleep.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace keel {

using LockSleep = std::function<void(std::chrono::milliseconds)>;

// How often a lock is tried again after it was refused, and how long to wait
// before each new try: `retries` + 1 tries and `retries` waits at most.
struct LockRetryPolicy {
  uint32_t retries = 0;
  std::chrono::milliseconds wait{0};
};

struct EngineLockSettings {
  bool largeFileSupport = false;
  std::string lockFileName = "keel.lck";
  std::string dataExtension = ".dat";
  // The list lock's count and wait are part of the protocol, not engine
  // settings; they are fields here only so tests can shorten them.
  LockRetryPolicy list{32768, std::chrono::milliseconds(3)};
  LockRetryPolicy tableRead{32768, std::chrono::milliseconds(3)};    // TableReadLock...
  LockRetryPolicy tableWrite{32768, std::chrono::milliseconds(3)};   // TableWriteLock...
  LockRetryPolicy transaction{32768, std::chrono::milliseconds(3)};  // TableTransLock...
  // Opening the lock file, which another program may hold exclusively for a
  // moment.
  LockRetryPolicy lockFileOpen{11, std::chrono::milliseconds(100)};
  LockSleep sleep;  // empty: really sleep
};

struct SessionLockSettings {
  LockRetryPolicy record{15, std::chrono::milliseconds(100)};  // LockRetryCount, LockWaitTime
  bool strictChangeDetection = false;
  LockSleep sleep;  // empty: really sleep
};

}  // namespace keel
