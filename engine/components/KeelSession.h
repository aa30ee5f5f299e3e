#pragma once

// A named session of the engine component, wrapping a core session while it
// is started: its private folder, lock settings, passwords and the databases
// its datasets use. The settings are kept here while the session is stopped
// and handed to the core session when it starts and whenever they change,
// which its open tables see at their next operation. Sessions start on demand; stopping one closes its
// databases (and with them their datasets) and frees its temporary databases.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataSession.h"

namespace keel {

class TKeelEngine;
class TKeelDatabase;

enum class TSessionType { stLocal, stRemote };

class TKeelSession {
 public:
  using Event = std::function<void(TKeelSession&)>;
  // Asked when no known password opens a table; it may add one and sets
  // `retry` to have the opening try again.
  using PasswordEvent = std::function<void(TKeelSession&, bool& retry)>;

  // Registers with the engine; the session stays inactive until needed.
  explicit TKeelSession(TKeelEngine& engine);
  ~TKeelSession();
  TKeelSession(const TKeelSession&) = delete;
  TKeelSession& operator=(const TKeelSession&) = delete;

  TKeelEngine& Engine() const { return engine_; }
  bool IsDefault() const;

  const std::string& SessionName() const { return name_; }
  void SetSessionName(const std::string& name) { name_ = name; }
  bool AutoSessionName() const { return autoName_; }
  // True gives the session a generated name no other session uses.
  void SetAutoSessionName(bool on);

  bool Active() const { return core_ != nullptr; }
  void SetActive(bool active);
  // Starts the engine and, for a named session, the default session first. A
  // failure leaves the session stopped.
  void Start();
  void Stop();

  bool KeepConnections() const { return keepConnections_; }
  void SetKeepConnections(bool on) { keepConnections_ = on; }
  int LockRetryCount() const { return lockRetryCount_; }
  void SetLockRetryCount(int count);
  std::chrono::milliseconds LockWaitTime() const { return lockWaitTime_; }
  void SetLockWaitTime(std::chrono::milliseconds wait);
  LockProtocol LockProtocolKind() const { return lockProtocol_; }
  void SetLockProtocol(LockProtocol protocol);
  // As assigned; PrivateFolder() is what temporary tables use.
  const std::string& PrivateDir() const { return privateDir_; }
  void SetPrivateDir(const std::string& folder) { privateDir_ = folder; }
  // The private folder trimmed, with a trailing separator; the process's
  // current folder when PrivateDir is empty.
  std::string PrivateFolder() const;
  // 0..100; larger values are ignored.
  int ProgressSteps() const { return progressSteps_; }
  void SetProgressSteps(int steps);
  bool ForceBufferFlush() const { return forceBufferFlush_; }
  void SetForceBufferFlush(bool on);
  bool StrictChangeDetection() const { return strictChangeDetection_; }
  void SetStrictChangeDetection(bool on);
  TSessionType SessionType() const { return sessionType_; }
  void SetSessionType(TSessionType type) { sessionType_ = type; }

  // Table passwords; adding one starts the session.
  void AddPassword(const std::string& password);
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords();

  // The core session. REQUIRES: Active().
  TDataSession& core() { return *core_; }

  // The database a dataset names: starts the
  // session, finds a database component by name or path, else makes a
  // temporary one; connects it. The caller attaches to it.
  TKeelDatabase& OpenDatabase(const std::string& databaseName);
  // The database component of that name or path ("/" and "\" alike),
  // temporary ones included.
  TKeelDatabase* FindDatabase(const std::string& databaseName) const;
  size_t DatabaseCount() const { return databases_.size(); }

  Event OnStartup;
  Event OnShutdown;
  PasswordEvent OnPassword;

 private:
  friend class TKeelDatabase;
  void addDatabase(TKeelDatabase* database) { databases_.push_back(database); }
  void removeDatabase(TKeelDatabase* database);
  // Called by a temporary database whose last user left; destroys it.
  void freeTemporary(TKeelDatabase* database);
  void createCore();
  bool passwordNeeded();

  TKeelEngine& engine_;
  std::string name_;
  bool autoName_ = false;
  bool keepConnections_ = true;
  int lockRetryCount_ = 15;
  std::chrono::milliseconds lockWaitTime_{100};
  LockProtocol lockProtocol_ = LockProtocol::lpPessimistic;
  std::string privateDir_;
  int progressSteps_ = 20;
  bool forceBufferFlush_ = false;
  bool strictChangeDetection_ = false;
  TSessionType sessionType_ = TSessionType::stLocal;
  std::unique_ptr<TDataSession> core_;
  std::vector<TKeelDatabase*> databases_;
  std::vector<std::unique_ptr<TKeelDatabase>> temporaries_;
};

}  // namespace keel
