#pragma once

// One session of the engine: its lock settings and the table passwords it
// knows. Tables read the settings at the start of every operation, so a
// change reaches the tables already open.

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

  // Whether the session's tables flush the operating system's buffers after
  // every write back: the engine's or the session's setting asks for it.
  bool flushesBuffers() const { return ForceBufferFlush || engine_.settings().ForceBufferFlush; }

  int LockRetryCount = 15;
  std::chrono::milliseconds LockWaitTime{100};
  LockProtocol Protocol = LockProtocol::lpPessimistic;
  // On: every reading operation refreshes under the table read lock, so it
  // sees other writers' changes at once. Off: the refresh happens only when a
  // row, page or block has to come from disk, or when another folder object
  // of this process wrote the table.
  bool StrictChangeDetection = false;
  bool ForceBufferFlush = false;
  // Progress reports over a long operation (0..100).
  int ProgressSteps = 20;

 private:
  TDataEngine& engine_;
  TPasswordList passwords_;
};

}  // namespace keel
