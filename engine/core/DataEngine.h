#pragma once

// The engine of one process: its settings, its registry of open files, the
// clock that stamps table headers, and how often each table was written
// through any of its folder objects.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

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

  // Every folder object has table objects of its own, each with its own
  // cache. A table object that wrote advances its table's stamp; the others
  // of the process compare it before each read and refresh when it moved, so
  // the sessions of one process see each other's changes at once, as cursors
  // sharing one table object do. `table` names the table's data file (with
  // whether it is a memory file); 0 for a table never written.
  uint64_t tableChangeStamp(const std::string& table, bool inMemory) const {
    std::lock_guard guard(stampsGuard_);
    auto found = stamps_.find(StampKey(table, inMemory));
    return found == stamps_.end() ? 0 : found->second;
  }
  // Answers the new stamp.
  uint64_t noteTableChanged(const std::string& table, bool inMemory) {
    std::lock_guard guard(stampsGuard_);
    return ++stamps_[StampKey(table, inMemory)];
  }

 private:
  static std::string StampKey(const std::string& table, bool inMemory) {
    return (inMemory ? "m:" : "f:") + FoldedPath(table);
  }

  TEngineSettings settings_;
  TFileRegistry files_;
  const mindrel::Clock& clock_;
  mutable std::mutex stampsGuard_;
  std::map<std::string, uint64_t> stamps_;
};

}  // namespace keel
