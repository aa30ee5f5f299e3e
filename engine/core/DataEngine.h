#pragma once

// The engine of one process: its settings, its registry of open files, the
// clock that stamps table headers, and how often each table was written
// through any of its folder objects.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
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
  // whether it is a memory file); a table never written stands at 0. The
  // stamp lives as long as the engine, so a table object may keep it.
  using ChangeStamp = std::atomic<uint64_t>;
  ChangeStamp& tableChangeStamp(const std::string& table, bool inMemory) {
    std::lock_guard guard(stampsGuard_);
    std::unique_ptr<ChangeStamp>& stamp = stamps_[StampKey(table, inMemory)];
    if (!stamp) stamp = std::make_unique<ChangeStamp>(0);
    return *stamp;
  }

 private:
  static std::string StampKey(const std::string& table, bool inMemory) {
    return (inMemory ? "m:" : "f:") + FoldedPath(table);
  }

  TEngineSettings settings_;
  TFileRegistry files_;
  const mindrel::Clock& clock_;
  mutable std::mutex stampsGuard_;
  std::map<std::string, std::unique_ptr<ChangeStamp>> stamps_;
};

}  // namespace keel
