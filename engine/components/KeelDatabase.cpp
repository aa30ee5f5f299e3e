#include "engine/components/KeelDatabase.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDataSet.h"
#include "engine/components/KeelSession.h"

namespace keel {

namespace {

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

TKeelDatabase::TKeelDatabase(TKeelSession& session) : session_(session) { session_.addDatabase(this); }

TKeelDatabase::TKeelDatabase(TKeelSession& session, const std::string& name, TemporaryTag)
    : session_(session), temporary_(true), name_(BackslashPath(name)), keepConnection_(session.KeepConnections()) {
  if (LooksLikePath(name_) && !SameName(name_, kMemoryName)) directory_ = WithoutTrailingBackslash(name_);
  session_.addDatabase(this);
}

TKeelDatabase::~TKeelDatabase() {
  Close();
  session_.removeDatabase(this);
}

const std::string& TKeelDatabase::SessionName() const { return session_.SessionName(); }

void TKeelDatabase::checkDisconnected() const {
  if (Connected()) DatabaseError(db_messages::kDatabaseOpen);
}

void TKeelDatabase::SetDatabaseName(const std::string& name) {
  const std::string normalised = BackslashPath(name);
  if (normalised == name_) return;
  checkDisconnected();
  if (!temporary_ && LooksLikePath(normalised)) DatabaseError(db_messages::kInvalidDatabaseName, {name});
  name_ = normalised;
}

void TKeelDatabase::SetDirectory(const std::string& folder) {
  const std::string normalised = WithoutTrailingBackslash(BackslashPath(folder));
  if (normalised == directory_) return;
  checkDisconnected();
  directory_ = normalised;
}

void TKeelDatabase::SetKeepTablesOpen(bool on) {
  if (on == keepTablesOpen_) return;
  checkDisconnected();
  keepTablesOpen_ = on;
}

// Paths are compared with case: folders on this platform's file systems differ
// by case, so folding it could hand a dataset another folder's tables.
bool TKeelDatabase::Matches(const std::string& name) const {
  if (!LooksLikePath(name)) return SameName(name_, name);
  return LooksLikePath(name_) && WithoutTrailingBackslash(name_) == WithoutTrailingBackslash(name);
}

void TKeelDatabase::SetConnected(bool connected) {
  if (connected) Open();
  else Close();
}

void TKeelDatabase::Open() {
  if (Connected()) return;
  if (BeforeConnect) BeforeConnect(*this);
  session_.Start();
  const bool inMemory = SameName(name_, kMemoryName);
  const std::string path = inMemory ? std::string(kMemoryName) : NativePath(directory_);
  folder_ = std::make_unique<TDataDirectory>(session_.core(), path, inMemory);
  folder_->setKeepTablesOpen(keepTablesOpen_);
  if (AfterConnect) AfterConnect(*this);
}

void TKeelDatabase::Close() {
  if (!Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect(*this);
  // Each dataset lets go of this database as it closes.
  std::vector<TKeelDataSet*> users = users_;
  users_.clear();
  for (TKeelDataSet* dataSet : users) dataSet->DatabaseClosed();
  folder_.reset();
  if (AfterDisconnect) AfterDisconnect(*this);
}

void TKeelDatabase::Attach(TKeelDataSet& dataSet) {
  if (std::find(users_.begin(), users_.end(), &dataSet) == users_.end()) users_.push_back(&dataSet);
}

void TKeelDatabase::Detach(TKeelDataSet& dataSet) {
  const auto found = std::find(users_.begin(), users_.end(), &dataSet);
  if (found == users_.end()) return;
  users_.erase(found);
  if (!users_.empty() || keepConnection_) return;
  if (temporary_) session_.freeTemporary(this);
  else Close();
}

}  // namespace keel
