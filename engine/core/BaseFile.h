#pragma once

// The shared handle of one path: every open of that path in the process goes
// through one TBaseFile, each open with its own id and 64-bit position.
// Failures raise engine errors naming the path.
//
// Thread safety: position, reads, writes and size are guarded by one mutex,
// the table of locked ranges by another.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace keel {

enum class Whence { Begin, Current, End };

// A shared range lock is refused only by another's exclusive one that
// overlaps it, and needs no write access to the file; an exclusive one is
// refused by any overlapping lock. Within one handle any overlap refuses.
enum class LockMode { Exclusive, Shared };

class TBaseFile {
 public:
  explicit TBaseFile(std::string path) : path_(std::move(path)) {}
  virtual ~TBaseFile() = default;
  TBaseFile(const TBaseFile&) = delete;
  TBaseFile& operator=(const TBaseFile&) = delete;

  const std::string& path() const { return path_; }

  // Opens are counted here; the registry decides whether an open may share.
  int addOpen();
  void removeOpen(int openId);
  int openCount() const;

  bool exclusive() const { return exclusive_; }
  // Memory files have no share-mode lock: the registry records the mode.
  void markExclusive(bool exclusive) { exclusive_ = exclusive; }
  // Opened for reading only (asked for, or the file refuses writing).
  bool readOnly() const { return readOnly_; }
  // The file itself refuses writing (no write permission, read-only media):
  // nobody writes it, so nobody needs to be locked out.
  bool writeProtected() const { return writeProtected_; }
  bool temporary() const { return temporary_; }
  void setTemporary(bool temporary) { temporary_ = temporary; }

  // Position-based access through one open.
  uint64_t seek(int openId, int64_t offset, Whence whence);
  size_t read(int openId, void* buffer, size_t length);
  // Writing 0 bytes cuts the file at the open's position.
  void write(int openId, const void* buffer, size_t length);

  // Positioned access in one step; `readAt` answers how many bytes came
  // (fewer only at the end of the file).
  size_t readAt(uint64_t offset, void* buffer, size_t length);
  void writeAt(uint64_t offset, const void* buffer, size_t length);
  void truncate(uint64_t size);
  void flush();
  uint64_t size();

  // Range locks, non-blocking: false when the range overlaps one held through
  // this handle or (for OS files) a conflicting one held through any other
  // handle.
  bool lockRange(uint64_t offset, uint64_t length, LockMode mode = LockMode::Exclusive);
  // False when the range is not held exactly as locked.
  bool unlockRange(uint64_t offset, uint64_t length);

 protected:
  // The kind's primitives; they raise engine errors themselves.
  virtual size_t doReadAt(uint64_t offset, void* buffer, size_t length) = 0;
  virtual void doWriteAt(uint64_t offset, const void* buffer, size_t length) = 0;
  virtual void doTruncate(uint64_t size) = 0;
  virtual void doFlush() = 0;
  virtual uint64_t doSize() = 0;
  virtual bool doLockRange(uint64_t offset, uint64_t length, LockMode mode) = 0;
  virtual void doUnlockRange(uint64_t offset, uint64_t length) = 0;

  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  void setWriteProtected(bool writeProtected) { writeProtected_ = writeProtected; }

 private:
  uint64_t& positionOf(int openId);

  std::string path_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  bool writeProtected_ = false;
  bool temporary_ = false;

  mutable std::recursive_mutex stateMutex_;
  int nextOpenId_ = 1;
  std::map<int, uint64_t> positions_;  // open id -> position

  std::mutex lockMutex_;
  std::map<uint64_t, uint64_t> lockedRanges_;  // start -> length, sorted by start
};

}  // namespace keel
