#include "engine/components/KeelSession.h"

#include <algorithm>
#include <filesystem>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDatabase.h"
#include "engine/components/KeelEngine.h"

namespace keel {

TKeelSession::TKeelSession(TKeelEngine& engine) : engine_(engine) { engine_.addSession(this); }

TKeelSession::~TKeelSession() {
  Stop();
  // Named databases outliving their session would point at nothing.
  for (TKeelDatabase* database : databases_) database->Close();
  engine_.removeSession(this);
}

bool TKeelSession::IsDefault() const { return &engine_.DefaultSession() == this; }

void TKeelSession::SetAutoSessionName(bool on) {
  autoName_ = on;
  if (on) name_ = engine_.UniqueSessionName();
}

void TKeelSession::SetActive(bool active) {
  if (active) Start();
  else Stop();
}

void TKeelSession::Start() {
  if (Active()) return;
  if (sessionType_ == TSessionType::stRemote && engine_.EngineType() == TEngineType::etServer)
    DatabaseError(db_messages::kRemoteWithServer);
  try {
    engine_.SetActive(true);
    if (OnStartup) OnStartup(*this);
    if (TrimBlanks(name_).empty()) DatabaseError(db_messages::kSessionNameMissing);
    if (!IsDefault()) engine_.DefaultSession().Start();
    createCore();
  } catch (...) {
    Stop();
    throw;
  }
}

void TKeelSession::createCore() {
  auto core = std::make_unique<TDataSession>(engine_.core());
  core->LockRetryCount = lockRetryCount_;
  core->LockWaitTime = lockWaitTime_;
  core->Protocol = lockProtocol_;
  core->StrictChangeDetection = strictChangeDetection_;
  core->ForceBufferFlush = forceBufferFlush_;
  core->ProgressSteps = progressSteps_;
  core->passwords().setPasswordNeeded([this](std::string_view) { return passwordNeeded(); });
  core_ = std::move(core);
}

bool TKeelSession::passwordNeeded() {
  bool retry = false;
  if (OnPassword) OnPassword(*this, retry);
  return retry;
}

void TKeelSession::Stop() {
  // Temporary databases go with their datasets; named ones are disconnected.
  std::vector<std::unique_ptr<TKeelDatabase>> temporaries = std::move(temporaries_);
  temporaries_.clear();
  for (auto& database : temporaries) database->Close();
  temporaries.clear();
  for (TKeelDatabase* database : std::vector<TKeelDatabase*>(databases_)) database->Close();
  if (!core_) return;
  core_.reset();
  if (OnShutdown) OnShutdown(*this);
}

void TKeelSession::SetLockRetryCount(int count) {
  lockRetryCount_ = count;
  if (core_) core_->LockRetryCount = count;
}

void TKeelSession::SetLockWaitTime(std::chrono::milliseconds wait) {
  lockWaitTime_ = wait;
  if (core_) core_->LockWaitTime = wait;
}

void TKeelSession::SetLockProtocol(LockProtocol protocol) {
  lockProtocol_ = protocol;
  if (core_) core_->Protocol = protocol;
}

void TKeelSession::SetForceBufferFlush(bool on) {
  forceBufferFlush_ = on;
  if (core_) core_->ForceBufferFlush = on;
}

void TKeelSession::SetStrictChangeDetection(bool on) {
  strictChangeDetection_ = on;
  if (core_) core_->StrictChangeDetection = on;
}

void TKeelSession::SetProgressSteps(int steps) {
  if (steps < 0 || steps > 100) return;
  progressSteps_ = steps;
  if (core_) core_->ProgressSteps = steps;
}

std::string TKeelSession::PrivateFolder() const {
  std::string folder = NativePath(BackslashPath(TrimBlanks(privateDir_)));
  if (folder.empty()) folder = std::filesystem::current_path().string();
  if (folder.back() != '/') folder += '/';
  return folder;
}

void TKeelSession::AddPassword(const std::string& password) {
  Start();
  core_->passwords().add(password);
}

void TKeelSession::RemovePassword(const std::string& password) {
  if (core_) core_->passwords().remove(password);
}

void TKeelSession::RemoveAllPasswords() {
  if (core_) core_->passwords().removeAll();
}

TKeelDatabase* TKeelSession::FindDatabase(const std::string& databaseName) const {
  const std::string name = BackslashPath(databaseName);
  auto found = std::find_if(databases_.begin(), databases_.end(),
                            [&](const TKeelDatabase* d) { return d->Matches(name); });
  return found == databases_.end() ? nullptr : *found;
}

TKeelDatabase& TKeelSession::OpenDatabase(const std::string& databaseName) {
  Start();
  TKeelDatabase* database = FindDatabase(databaseName);
  if (!database) {
    auto temporary =
        std::unique_ptr<TKeelDatabase>(new TKeelDatabase(*this, databaseName, TKeelDatabase::TemporaryTag{}));
    database = temporary.get();
    temporaries_.push_back(std::move(temporary));
  }
  if (!database->Connected()) database->Open();
  return *database;
}

void TKeelSession::removeDatabase(TKeelDatabase* database) { std::erase(databases_, database); }

void TKeelSession::freeTemporary(TKeelDatabase* database) {
  auto found = std::find_if(temporaries_.begin(), temporaries_.end(),
                            [&](const std::unique_ptr<TKeelDatabase>& d) { return d.get() == database; });
  if (found == temporaries_.end()) return;
  std::unique_ptr<TKeelDatabase> freed = std::move(*found);
  temporaries_.erase(found);
}

}  // namespace keel
