#pragma once

// Small fixtures of the lock tests: hex bytes, error codes of a call, a
// scratch folder, a stand-in table, and a probe that asks for a range through
// a handle of its own (as another process would).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FileRegistry.h"
#include "engine/core/LockLayout.h"
#include "engine/core/LockSettings.h"
#include "engine/core/LockTarget.h"
#include "engine/core/PhysicalFile.h"

namespace keel::testing {

// "0A FF 10" to bytes; spaces are ignored.
inline std::vector<uint8_t> Bytes(std::string_view hex) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : hex) {
    if (c != ' ' && c != '\n') digits += c;
  }
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd hex digit count");
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The engine error code `call` raises; 0 when it returns.
inline int CodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EKeelEngineError& error) {
    return static_cast<int>(error.code());
  }
  return 0;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "keel-locks-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // A file with these bytes (none: an empty table file stand-in).
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes = {}) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file(name);
  }
  std::vector<uint8_t> read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::string path_;
};

// Answers whether `range` of the file at `path` is free for another holder:
// it locks and releases it through a fresh operating-system handle.
inline bool RangeIsFree(const std::string& path, const LockRange& range) {
  TPhysicalFile probe(path);
  probe.open(false, false);
  if (!probe.lockRange(range.offset, range.length)) return false;
  probe.unlockRange(range.offset, range.length);
  return true;
}

// Short waits so that refused locks fail within milliseconds.
inline EngineLockSettings QuickEngineSettings(bool largeFileSupport = false) {
  EngineLockSettings settings;
  settings.largeFileSupport = largeFileSupport;
  const LockRetryPolicy quick{5, std::chrono::milliseconds(1)};
  settings.list = settings.tableRead = settings.tableWrite = settings.transaction = quick;
  settings.lockFileOpen = {2, std::chrono::milliseconds(1)};
  return settings;
}

// A table whose data file is an empty file in the folder; it counts what the
// protocol asks of it.
class FakeTable final : public TLockTarget {
 public:
  FakeTable(TFileRegistry& files, const std::string& dataPath, std::string name)
      : files_(files), name_(std::move(name)) {
    handle_ = files_.open(dataPath, {});
  }
  ~FakeTable() override { files_.close(handle_); }

  const std::string& lockName() const override { return name_; }
  bool lockDataRange(const LockRange& range) override {
    return handle_.file->lockRange(range.offset, range.length);
  }
  bool unlockDataRange(const LockRange& range) override {
    return handle_.file->unlockRange(range.offset, range.length);
  }
  bool refresh() override {
    ++refreshes;
    if (refreshFails) raise(ErrorCode::KEEL_READERR, {.table = name_});
    return std::exchange(changedOnNextRefresh, false);
  }
  void writeBack() override {
    ++writeBacks;
    if (writeBackFails) raise(ErrorCode::KEEL_WRITEERR, {.table = name_});
  }

  int refreshes = 0;
  int writeBacks = 0;
  bool changedOnNextRefresh = false;
  bool refreshFails = false;
  bool writeBackFails = false;

 private:
  TFileRegistry& files_;
  std::string name_;
  FileHandle handle_;
};

}  // namespace keel::testing
