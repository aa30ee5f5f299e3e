#pragma once

// The one engine component of the process: it owns the core engine (whose
// settings its properties are), the default session "Default" and the list of
// sessions. Properties may change only while the engine is inactive (or to
// the value they already have); the engine becomes active when its first
// session starts.
//
// Sessions other than the default one register themselves and must be
// destroyed before the last holder releases the engine.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/DataEngine.h"

namespace keel {

class TKeelSession;

enum class TEngineType { etClient, etServer };

class TKeelEngine {
 public:
  using Event = std::function<void(TKeelEngine&)>;

  static constexpr const char* kEngineVersion = "4.29 Build 4";
  static constexpr const char* kDefaultSessionName = "Default";

  // The process's engine; made (as its first holder) when none exists yet.
  static TKeelEngine& Instance();
  // One more holder, such as a component placed on a form: the same instance.
  // "An engine component already exists" while two hold it already.
  static TKeelEngine& Acquire();
  // The last release stops the engine and frees it with its default session.
  static void Release();
  static int Holders();

  ~TKeelEngine();
  TKeelEngine(const TKeelEngine&) = delete;
  TKeelEngine& operator=(const TKeelEngine&) = delete;

  TDataEngine& core() { return *core_; }
  TKeelSession& DefaultSession() { return *defaultSession_; }
  // The session of that name (case-insensitive); empty means the default one.
  // "Session name '%s' is not valid" when there is none.
  TKeelSession& FindSession(const std::string& name);
  // Null when no session has that name.
  TKeelSession* SessionByName(const std::string& name);
  // A name no session uses yet, for sessions with AutoSessionName.
  std::string UniqueSessionName();

  bool Active() const { return active_; }
  // Activating runs OnStartup; deactivating stops every session, then runs
  // OnShutdown.
  void SetActive(bool active);

  const char* EngineVersion() const { return kEngineVersion; }
  TEngineType EngineType() const { return engineType_; }
  void SetEngineType(TEngineType type) { change(engineType_, type); }
  const std::string& EngineSignature() const { return settings().EngineSignature; }
  void SetEngineSignature(const std::string& text) { change(settings().EngineSignature, text); }
  bool LargeFileSupport() const { return settings().LargeFileSupport; }
  void SetLargeFileSupport(bool on) { change(settings().LargeFileSupport, on); }
  bool FilterRecordCounts() const { return settings().FilterRecordCounts; }
  void SetFilterRecordCounts(bool on) { change(settings().FilterRecordCounts, on); }
  const std::string& LockFileName() const { return settings().LockFileName; }
  void SetLockFileName(const std::string& name) { change(settings().LockFileName, name); }

  size_t MaxTableDataBufferSize() const { return settings().MaxTableDataBufferSize; }
  void SetMaxTableDataBufferSize(size_t n) { change(settings().MaxTableDataBufferSize, n); }
  size_t MaxTableDataBufferCount() const { return settings().MaxTableDataBufferCount; }
  void SetMaxTableDataBufferCount(size_t n) { change(settings().MaxTableDataBufferCount, n); }
  size_t MaxTableIndexBufferSize() const { return settings().MaxTableIndexBufferSize; }
  void SetMaxTableIndexBufferSize(size_t n) { change(settings().MaxTableIndexBufferSize, n); }
  size_t MaxTableIndexBufferCount() const { return settings().MaxTableIndexBufferCount; }
  void SetMaxTableIndexBufferCount(size_t n) { change(settings().MaxTableIndexBufferCount, n); }
  size_t MaxTableBlobBufferSize() const { return settings().MaxTableBlobBufferSize; }
  void SetMaxTableBlobBufferSize(size_t n) { change(settings().MaxTableBlobBufferSize, n); }
  size_t MaxTableBlobBufferCount() const { return settings().MaxTableBlobBufferCount; }
  void SetMaxTableBlobBufferCount(size_t n) { change(settings().MaxTableBlobBufferCount, n); }

  // Extensions: a "." is put in front of a value that lacks one.
  const std::string& TableDataExtension() const { return settings().TableDataExtension; }
  void SetTableDataExtension(const std::string& e) { change(settings().TableDataExtension, Extension(e)); }
  const std::string& TableIndexExtension() const { return settings().TableIndexExtension; }
  void SetTableIndexExtension(const std::string& e) { change(settings().TableIndexExtension, Extension(e)); }
  const std::string& TableBlobExtension() const { return settings().TableBlobExtension; }
  void SetTableBlobExtension(const std::string& e) { change(settings().TableBlobExtension, Extension(e)); }
  const std::string& TableDataTempExtension() const { return settings().TableDataTempExtension; }
  void SetTableDataTempExtension(const std::string& e) {
    change(settings().TableDataTempExtension, Extension(e));
  }
  const std::string& TableIndexTempExtension() const { return settings().TableIndexTempExtension; }
  void SetTableIndexTempExtension(const std::string& e) {
    change(settings().TableIndexTempExtension, Extension(e));
  }
  const std::string& TableBlobTempExtension() const { return settings().TableBlobTempExtension; }
  void SetTableBlobTempExtension(const std::string& e) {
    change(settings().TableBlobTempExtension, Extension(e));
  }
  const std::string& TableDataBackupExtension() const { return settings().TableDataBackupExtension; }
  void SetTableDataBackupExtension(const std::string& e) {
    change(settings().TableDataBackupExtension, Extension(e));
  }
  const std::string& TableIndexBackupExtension() const { return settings().TableIndexBackupExtension; }
  void SetTableIndexBackupExtension(const std::string& e) {
    change(settings().TableIndexBackupExtension, Extension(e));
  }
  const std::string& TableBlobBackupExtension() const { return settings().TableBlobBackupExtension; }
  void SetTableBlobBackupExtension(const std::string& e) {
    change(settings().TableBlobBackupExtension, Extension(e));
  }
  const std::string& TableDataUpgradeExtension() const { return settings().TableDataUpgradeExtension; }
  void SetTableDataUpgradeExtension(const std::string& e) {
    change(settings().TableDataUpgradeExtension, Extension(e));
  }
  const std::string& TableIndexUpgradeExtension() const { return settings().TableIndexUpgradeExtension; }
  void SetTableIndexUpgradeExtension(const std::string& e) {
    change(settings().TableIndexUpgradeExtension, Extension(e));
  }
  const std::string& TableBlobUpgradeExtension() const { return settings().TableBlobUpgradeExtension; }
  void SetTableBlobUpgradeExtension(const std::string& e) {
    change(settings().TableBlobUpgradeExtension, Extension(e));
  }

  bool CreateTempTablesInDatabase() const { return settings().CreateTempTablesInDatabase; }
  void SetCreateTempTablesInDatabase(bool on) { change(settings().CreateTempTablesInDatabase, on); }
  // 0..100; larger values are ignored.
  int TableFilterIndexThreshhold() const { return settings().TableFilterIndexThreshhold; }
  void SetTableFilterIndexThreshhold(int percent);

  // Stored as given; folder objects opened afterwards use them.
  std::chrono::milliseconds TableReadLockWaitTime() const { return settings().TableReadLockWaitTime; }
  void SetTableReadLockWaitTime(std::chrono::milliseconds t) { change(settings().TableReadLockWaitTime, t); }
  int TableReadLockRetryCount() const { return settings().TableReadLockRetryCount; }
  void SetTableReadLockRetryCount(int n) { change(settings().TableReadLockRetryCount, n); }
  std::chrono::milliseconds TableWriteLockWaitTime() const { return settings().TableWriteLockWaitTime; }
  void SetTableWriteLockWaitTime(std::chrono::milliseconds t) {
    change(settings().TableWriteLockWaitTime, t);
  }
  int TableWriteLockRetryCount() const { return settings().TableWriteLockRetryCount; }
  void SetTableWriteLockRetryCount(int n) { change(settings().TableWriteLockRetryCount, n); }
  std::chrono::milliseconds TableTransLockWaitTime() const { return settings().TableTransLockWaitTime; }
  void SetTableTransLockWaitTime(std::chrono::milliseconds t) {
    change(settings().TableTransLockWaitTime, t);
  }
  int TableTransLockRetryCount() const { return settings().TableTransLockRetryCount; }
  void SetTableTransLockRetryCount(int n) { change(settings().TableTransLockRetryCount, n); }
  int TableMaxReadLockCount() const { return settings().TableMaxReadLockCount; }
  void SetTableMaxReadLockCount(int n) { change(settings().TableMaxReadLockCount, n); }

  Event OnStartup;
  Event OnShutdown;

 private:
  friend class TKeelSession;

  TKeelEngine();
  static std::string Extension(const std::string& text);

  TEngineSettings& settings() { return core_->settings(); }
  const TEngineSettings& settings() const { return core_->settings(); }
  void checkInactive() const;
  template <class T>
  void change(T& target, const T& value) {
    if (target == value) return;
    checkInactive();
    target = value;
  }
  void addSession(TKeelSession* session);
  void removeSession(TKeelSession* session);
  std::vector<TKeelSession*> sessionsSnapshot();

  std::unique_ptr<TDataEngine> core_;
  bool active_ = false;
  // The server engine belongs to the client/server mode, which has no core
  // counterpart here.
  TEngineType engineType_ = TEngineType::etClient;

  std::mutex sessionsGuard_;
  std::vector<TKeelSession*> sessions_;
  std::unique_ptr<TKeelSession> defaultSession_;
};

}  // namespace keel
