#pragma once

// One operating-system file handle. Every call answers 0 or the errno value of
// the failure; mapping to engine errors is the engine's business.

#include <cstddef>
#include <cstdint>
#include <string>

namespace mindrel {

class OsFile {
 public:
  OsFile() = default;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;
  ~OsFile();

  // Opens an existing file. `writable` false opens it for reading only.
  int open(const std::string& path, bool writable);
  // Creates the file or replaces an existing one; open for reading and writing.
  int create(const std::string& path);
  // Creates the file only when no file of that name exists, in one step, so
  // that of several programs creating it at once exactly one succeeds; the
  // others get EEXIST and the file stays as its maker writes it.
  int createNew(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Reads up to `length` bytes at `offset`; `done` tells how many came (fewer at
  // the end of the file).
  int readAt(uint64_t offset, void* buffer, size_t length, size_t& done) const;
  int writeAt(uint64_t offset, const void* buffer, size_t length, size_t& done);
  int truncate(uint64_t size);
  int sync();
  int size(uint64_t& size) const;

  // Non-blocking open-file-description locks: they conflict between handles
  // even inside one process and are released when this handle closes.
  // EAGAIN when another handle holds an overlapping range.
  int lockRange(uint64_t offset, uint64_t length, bool exclusive);
  int unlockRange(uint64_t offset, uint64_t length);

 private:
  int fd_ = -1;
};

}  // namespace mindrel
