#pragma once

// A database component: one database folder, opened as a core folder object
// while connected. Datasets attach to it while they use it; it counts them
// and closes them when it disconnects. A temporary database is made by its
// session for a dataset that names a folder directly.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataDirectory.h"

namespace keel {

class TKeelSession;
class TKeelDataSet;

class TKeelDatabase {
 public:
  using Event = std::function<void(TKeelDatabase&)>;
  static constexpr const char* kMemoryName = "Memory";

  // A named database of `session`, registered with it until destroyed.
  explicit TKeelDatabase(TKeelSession& session);
  ~TKeelDatabase();
  TKeelDatabase(const TKeelDatabase&) = delete;
  TKeelDatabase& operator=(const TKeelDatabase&) = delete;

  TKeelSession& Session() const { return session_; }
  const std::string& SessionName() const;
  bool Temporary() const { return temporary_; }

  // Stored with "\" as the separator. A named (not temporary) database may not
  // be named like a path: "Database name '%s' is not valid".
  const std::string& DatabaseName() const { return name_; }
  void SetDatabaseName(const std::string& name);
  // Stored with "\" as the separator and without a trailing one.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& folder);
  bool KeepConnection() const { return keepConnection_; }
  void SetKeepConnection(bool on) { keepConnection_ = on; }
  bool KeepTablesOpen() const { return keepTablesOpen_; }
  void SetKeepTablesOpen(bool on);

  bool Connected() const { return folder_ != nullptr; }
  void SetConnected(bool connected);
  void Open();
  // Closes the attached datasets first.
  void Close();

  // The open core folder. REQUIRES: Connected().
  TDataDirectory& Folder() { return *folder_; }

  // Datasets using the database.
  void Attach(TKeelDataSet& dataSet);
  // The last detach disconnects (a temporary one: frees) the database unless
  // KeepConnection is set. `this` may be gone afterwards.
  void Detach(TKeelDataSet& dataSet);
  int UseCount() const { return static_cast<int>(users_.size()); }

  // Whether `name` (a dataset's normalised DatabaseName) means this database.
  bool Matches(const std::string& name) const;

  Event BeforeConnect;
  Event AfterConnect;
  Event BeforeDisconnect;
  Event AfterDisconnect;

 private:
  friend class TKeelSession;
  struct TemporaryTag {};
  TKeelDatabase(TKeelSession& session, const std::string& name, TemporaryTag);
  void checkDisconnected() const;

  TKeelSession& session_;
  bool temporary_ = false;
  std::string name_;
  std::string directory_;
  bool keepConnection_ = true;
  bool keepTablesOpen_ = false;
  std::unique_ptr<TDataDirectory> folder_;
  std::vector<TKeelDataSet*> users_;
};

}  // namespace keel
