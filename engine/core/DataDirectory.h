#pragma once

// One database folder opened by a session: names tables' files, creates
// tables and keeps the folder's open tables, sorted by name (compared without
// regard to case and surrounding blanks), so that cursors opening the same
// table share one TDataTable.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataTable.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel {

class TDataSession;
class TDataDirectoryLocks;

struct TableCreateRequest {
  std::string name;
  uint32_t locale = 0;
  int16_t userMajor = 0;
  int16_t userMinor = 0;
  bool encrypted = false;
  std::string password;
  std::string description;
  int32_t indexPageSize = 4096;
  int32_t blobBlockSize = 512;
  int32_t lastAutoInc = -1;  // -1: none
  // name, description, type, subtype, size, decimals, required, charCase,
  // texts and compression; numbers and offsets are assigned.
  std::vector<FieldDescriptor> fields;
  IndexDescriptor primary;  // no fields: the default primary index on RecordID
  std::vector<IndexDescriptor> secondaries;
  bool replaceExisting = false;
};

class TDataDirectory {
 public:
  // `path` gets a trailing separator. An in-memory folder keeps its files in
  // the engine's memory registry. Opens the folder's lock file for reading
  // when there is one; the first table opened for writing makes it when
  // missing and opens it for writing (see TDataDirectoryLocks), so a folder
  // whose tables are only read is never written. A lock file that holds no
  // list raises 12036, a list lock that cannot be had 10221.
  TDataDirectory(TDataSession& session, std::string path, bool inMemory = false);
  ~TDataDirectory();
  TDataDirectory(const TDataDirectory&) = delete;
  TDataDirectory& operator=(const TDataDirectory&) = delete;

  const std::string& path() const { return path_; }
  TDataSession& session() const { return session_; }
  bool inMemory() const { return inMemory_; }

  // "People" and "People.dat" name the same file; another extension is kept.
  std::string fileName(const std::string& tableName, const std::string& extension) const;
  TablePaths paths(const std::string& tableName, bool temporary) const;
  bool tableExists(const std::string& tableName) const;

  // Validates everything first (10015, 15878, 9492, 9487, 9498, 10038, 10000,
  // 10006 and the index errors), then refuses an existing table (13060) or
  // one open here (11013), then creates the files.
  void createTable(const TableCreateRequest& request);

  // Opens (or shares) the table; 11013 when it or the new open is exclusive.
  std::shared_ptr<TDataTable> openTable(const std::string& tableName, const TableOpenFlags& flags);
  // Called by a cursor when it closes; the last one closes the table, unless
  // the folder keeps tables open.
  void releaseTable(const std::shared_ptr<TDataTable>& table);
  // Open here, with cursors or kept open without.
  bool isOpen(const std::string& tableName) const;

  // On: a table whose last cursor closes keeps its files open (its locks are
  // released) until this folder object closes, so opening it again costs no
  // file opens. Tables opened exclusively always close. Off again: the tables
  // without cursors close.
  void setKeepTablesOpen(bool keep);
  bool keepTablesOpen() const { return keepTablesOpen_; }
  const TDataDirectoryLocks& locks() const { return *locks_; }
  // The folder's own entries (files made, removed, renamed) to the disk;
  // nothing for an in-memory folder.
  void flushFolder() const;

 private:
  static std::string Key(const std::string& tableName);
  void validateFields(const TableCreateRequest& request) const;
  // A table kept open without cursors is closed, so its files can be replaced.
  void closeIfIdle(const std::string& tableName);

  TDataSession& session_;
  std::string path_;
  bool inMemory_;
  bool keepTablesOpen_ = false;
  std::unique_ptr<TDataDirectoryLocks> locks_;
  std::map<std::string, std::shared_ptr<TDataTable>> tables_;  // closed before the lock file
};

}  // namespace keel
