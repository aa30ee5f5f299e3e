#pragma once

// One table file as used by one table object: opens its path through the
// engine's file registry and reads and writes at offsets of the shared handle.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/FileRegistry.h"

namespace keel {

class TRollbackJournal;

struct EngineFileFlags {
  bool exclusive = false;
  bool readOnly = false;
  bool temporary = false;  // deleted with its last close
  bool hidden = false;
  bool inMemory = false;
};

class TEngineFile {
 public:
  TEngineFile(TFileRegistry& registry, std::string path, EngineFileFlags flags);
  virtual ~TEngineFile();
  TEngineFile(const TEngineFile&) = delete;
  TEngineFile& operator=(const TEngineFile&) = delete;

  const std::string& path() const { return path_; }
  const EngineFileFlags& flags() const { return flags_; }
  bool isOpen() const { return static_cast<bool>(handle_); }
  // True when the file could only be opened for reading (read-only attribute,
  // or opening for writing failed) or read-only was asked for.
  bool openedReadOnly() const;
  // True when the file itself refuses writing (see TBaseFile).
  bool writeProtected() const { return isOpen() && handle_.file->writeProtected(); }
  // A file opened for reading is opened again for writing, in place: its
  // other opens, cache and position stay. Raises as open() does.
  void reopenForWriting();

  bool exists() const;
  void open();
  void create();
  void close();
  void remove();
  void rename(const std::string& newPath);

  // Reads exactly `length` bytes; a short read raises 9217.
  void read(uint64_t offset, void* buffer, size_t length);
  // Reads what is there, up to `length` bytes.
  size_t readUpTo(uint64_t offset, void* buffer, size_t length);
  // Writing through a read-only open raises 11013. With a journal, the bytes
  // overwritten or cut away are saved to it first.
  void write(uint64_t offset, const void* buffer, size_t length);
  void truncate(uint64_t size);
  // For the journal's own roll back.
  void writeUnjournaled(uint64_t offset, const void* buffer, size_t length);
  void truncateUnjournaled(uint64_t size);
  // The table's journal and this file's slot in it; null for none.
  void setJournal(TRollbackJournal* journal, int slot) {
    journal_ = journal;
    journalSlot_ = slot;
  }
  void flush();
  uint64_t size();

  bool lockRange(uint64_t offset, uint64_t length, LockMode mode = LockMode::Exclusive);
  bool unlockRange(uint64_t offset, uint64_t length);

  void copyTo(TEngineFile& target);

 protected:
  TBaseFile& handle();

 private:
  // 11014 without an open handle, 11013 through a read-only open.
  void checkWritable();

  TFileRegistry& registry_;
  std::string path_;
  EngineFileFlags flags_;
  FileHandle handle_;
  TRollbackJournal* journal_ = nullptr;
  int journalSlot_ = 0;
};

}  // namespace keel
