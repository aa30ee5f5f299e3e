#pragma once

// A shared handle backed by an operating-system file.

#include <string>

#include "engine/core/BaseFile.h"
#include "platform/OsFile.h"

namespace keel {

class TPhysicalFile final : public TBaseFile {
 public:
  // Far above every range the locking protocol uses, and beyond any file: its
  // shared or exclusive lock is how exclusive opens exclude other processes.
  static constexpr uint64_t kShareModeByte = 0x4000000000000000ULL;

  explicit TPhysicalFile(std::string path) : TBaseFile(std::move(path)) {}

  // Opens an existing file: read-only when it has the read-only attribute or
  // `readOnlyWanted`, else read-write with one more attempt read-only (the
  // file is then write-protected). Raises 11013 when another process holds
  // it in a conflicting share mode.
  void open(bool exclusive, bool readOnlyWanted);
  // Creates or replaces the file, read-write.
  void create(bool exclusive);

 protected:
  size_t doReadAt(uint64_t offset, void* buffer, size_t length) override;
  void doWriteAt(uint64_t offset, const void* buffer, size_t length) override;
  void doTruncate(uint64_t size) override;
  void doFlush() override;
  uint64_t doSize() override;
  bool doLockRange(uint64_t offset, uint64_t length, LockMode mode) override;
  void doUnlockRange(uint64_t offset, uint64_t length) override;

 private:
  void takeShareMode(bool exclusive);

  mindrel::OsFile file_;
};

}  // namespace keel
