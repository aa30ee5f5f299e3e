#pragma once

// The engine of one process: its settings, its registry of open files and the
// clock that stamps table headers.

#include "engine/core/EngineSettings.h"
#include "engine/core/FileRegistry.h"
#include "platform/Clock.h"

namespace keel {

class TDataEngine {
 public:
  explicit TDataEngine(const mindrel::Clock& clock = mindrel::SystemClock::instance()) : clock_(clock) {}
  TDataEngine(const TDataEngine&) = delete;
  TDataEngine& operator=(const TDataEngine&) = delete;

  TEngineSettings& settings() { return settings_; }
  const TEngineSettings& settings() const { return settings_; }
  TFileRegistry& files() { return files_; }
  const mindrel::Clock& clock() const { return clock_; }

 private:
  TEngineSettings settings_;
  TFileRegistry files_;
  const mindrel::Clock& clock_;
};

}  // namespace keel
