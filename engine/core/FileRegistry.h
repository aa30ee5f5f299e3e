#pragma once

// The engine's list of open files: one shared handle per path (paths compared
// without regard to case), kept in two registries, one for operating-system
// files and one for the in-memory database, each with its own mutex.
//
// An exclusive open is refused while the path is open at all, and any open is
// refused while the path is open exclusively (11013); between processes the
// share-mode lock of TPhysicalFile does the same.
// An operating-system file opened for reading only gets a handle of its own
// beside the one opened for writing, so that a reader of a folder never opens
// it for writing; the two are separate handles to the system, whose range
// locks keep them apart as they keep processes apart.
// A file created as temporary is deleted when its last open closes.
// Memory files stay in their registry after the last close until deleted: the
// registry is their disk.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/core/BaseFile.h"

namespace keel {

struct FileOpenRequest {
  bool exclusive = false;
  bool readOnly = false;
  bool inMemory = false;
};

struct FileHandle {
  std::shared_ptr<TBaseFile> file;
  int openId = 0;
  explicit operator bool() const { return file != nullptr; }
};

class TFileRegistry {
 public:
  FileHandle open(const std::string& path, const FileOpenRequest& request);
  // Creates or replaces the file. Refused with 11013 while the path is open.
  FileHandle create(const std::string& path, const FileOpenRequest& request, bool temporary);
  void close(FileHandle& handle);

  bool exists(const std::string& path, bool inMemory);
  void remove(const std::string& path, bool inMemory);
  void rename(const std::string& from, const std::string& to, bool inMemory);
  // Number of opens of a path in this process (0 when not open).
  int openCount(const std::string& path, bool inMemory);

  // Test seam: a memory file that later opens of its path (in memory) share.
  void adopt(std::shared_ptr<TBaseFile> file);

 private:
  // The handles of one path: for writing (the only one of a memory file) and
  // for reading only.
  struct Handles {
    std::shared_ptr<TBaseFile> writing;
    std::shared_ptr<TBaseFile> reading;
    bool open() const;
    bool exclusive() const;
    int openCount() const;
  };
  struct Registry {
    std::mutex mutex;
    std::map<std::string, Handles> files;  // by case-folded path
  };
  Registry& registryFor(bool inMemory) { return inMemory ? memory_ : physical_; }

  Registry physical_;
  Registry memory_;
};

// Paths fold to lower case for lookups.
std::string FoldedPath(const std::string& path);

}  // namespace keel
