#pragma once

// One session of the engine: its lock settings and the table passwords it knows.

#include <chrono>

#include "engine/core/DataEngine.h"
#include "engine/core/PasswordList.h"

namespace keel {

enum class LockProtocol { lpPessimistic, lpOptimistic };

class TDataSession {
 public:
  explicit TDataSession(TDataEngine& engine) : engine_(engine) {}
  TDataSession(const TDataSession&) = delete;
  TDataSession& operator=(const TDataSession&) = delete;

  TDataEngine& engine() const { return engine_; }
  TPasswordList& passwords() { return passwords_; }

  int LockRetryCount = 15;
  std::chrono::milliseconds LockWaitTime{100};
  LockProtocol Protocol = LockProtocol::lpPessimistic;
  // On: every reading operation refreshes under the table read lock, so it
  // sees other writers' changes at once. Off: the refresh happens only when a
  // row, page or block has to come from disk.
  bool StrictChangeDetection = false;

 private:
  TDataEngine& engine_;
  TPasswordList passwords_;
};

}  // namespace keel
