#include "engine/components/KeelEngine.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/KeelSession.h"

namespace keel {

namespace {

// Guards the instance and its holder count.
std::mutex& InstanceGuard() {
  static std::mutex guard;
  return guard;
}

std::unique_ptr<TKeelEngine>& InstanceSlot() {
  static std::unique_ptr<TKeelEngine> instance;
  return instance;
}

int& HolderCount() {
  static int count = 0;
  return count;
}

constexpr int kMaxHolders = 2;

}  // namespace

TKeelEngine& TKeelEngine::Instance() {
  {
    std::lock_guard lock(InstanceGuard());
    if (InstanceSlot()) return *InstanceSlot();
  }
  return Acquire();
}

TKeelEngine& TKeelEngine::Acquire() {
  std::lock_guard lock(InstanceGuard());
  if (HolderCount() >= kMaxHolders) DatabaseError(db_messages::kEngineExists);
  if (!InstanceSlot()) InstanceSlot().reset(new TKeelEngine());
  ++HolderCount();
  return *InstanceSlot();
}

void TKeelEngine::Release() {
  std::unique_ptr<TKeelEngine> freed;
  {
    std::lock_guard lock(InstanceGuard());
    if (HolderCount() == 0) return;
    if (--HolderCount() == 0) freed = std::move(InstanceSlot());
  }
}

int TKeelEngine::Holders() {
  std::lock_guard lock(InstanceGuard());
  return HolderCount();
}

TKeelEngine::TKeelEngine() : core_(std::make_unique<TDataEngine>()) {
  defaultSession_ = std::make_unique<TKeelSession>(*this);
  defaultSession_->SetSessionName(kDefaultSessionName);
}

TKeelEngine::~TKeelEngine() {
  SetActive(false);
  defaultSession_.reset();
}

std::string TKeelEngine::Extension(const std::string& text) {
  return text.empty() || text.front() == '.' ? text : "." + text;
}

void TKeelEngine::checkInactive() const {
  if (active_) DatabaseError(db_messages::kEngineActive);
}

void TKeelEngine::SetTableFilterIndexThreshhold(int percent) {
  if (percent < 0 || percent > 100) return;
  change(settings().TableFilterIndexThreshhold, percent);
}

void TKeelEngine::SetActive(bool active) {
  if (active == active_) return;
  if (active) {
    active_ = true;
    if (OnStartup) OnStartup(*this);
    return;
  }
  for (TKeelSession* session : sessionsSnapshot()) session->Stop();
  active_ = false;
  if (OnShutdown) OnShutdown(*this);
}

void TKeelEngine::addSession(TKeelSession* session) {
  std::lock_guard lock(sessionsGuard_);
  sessions_.push_back(session);
}

void TKeelEngine::removeSession(TKeelSession* session) {
  std::lock_guard lock(sessionsGuard_);
  std::erase(sessions_, session);
}

std::vector<TKeelSession*> TKeelEngine::sessionsSnapshot() {
  std::lock_guard lock(sessionsGuard_);
  return sessions_;
}

TKeelSession* TKeelEngine::SessionByName(const std::string& name) {
  std::lock_guard lock(sessionsGuard_);
  auto found = std::find_if(sessions_.begin(), sessions_.end(),
                            [&](TKeelSession* s) { return !s->SessionName().empty() && SameName(s->SessionName(), name); });
  return found == sessions_.end() ? nullptr : *found;
}

TKeelSession& TKeelEngine::FindSession(const std::string& name) {
  if (TrimBlanks(name).empty()) return *defaultSession_;
  TKeelSession* session = SessionByName(name);
  if (!session) DatabaseError(db_messages::kInvalidSessionName, {name});
  return *session;
}

std::string TKeelEngine::UniqueSessionName() {
  for (int n = 1;; ++n) {
    std::string name = "Session_" + std::to_string(n);
    if (!SessionByName(name)) return name;
  }
}

}  // namespace keel
