#pragma once

// A table file read and written in units (rows, index pages, BLOB blocks)
// through a page cache. Unit k (k >= 1) lives at dataStart() + (k - 1) *
// unitSize(). The three file kinds derive from it and give their sizes, header
// handling and errors.
//
// Cache: units hashed by number (TUnitTable) plus a most-recently-used
// chain. Lookups probe the first mruProbeCount() units of the chain before
// the hash. A full
// cache evicts the least recently used unit that is not pinned; when that one
// is modified, it first writes back every modified unit not pinned; with none
// to evict even then, it grows by growthStep() units.
//
// Writing back encodes the modified units in unit order and writes each run of
// consecutive unit numbers with one write, then the header when it changed or
// units were written. A temporary file parks the units past its parking start
// in memory instead (TParkedUnits) while its parking budget lasts; reads take
// parked units from there.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Buffer.h"
#include "engine/core/EngineFile.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/ParkedUnits.h"
#include "engine/core/RecencyList.h"
#include "engine/core/UnitTable.h"

namespace keel {

class TTableCipher;
class TBufferedFile;

// A unit pinned in the cache; unpins when it goes away. Empty when the unit
// could not be had because the table changed (see setDiskReadHook).
class TPinnedUnit {
 public:
  TPinnedUnit() = default;
  TPinnedUnit(TBufferedFile* file, TBuffer* buffer) : file_(file), buffer_(buffer) {}
  TPinnedUnit(TPinnedUnit&& other) noexcept : file_(other.file_), buffer_(other.buffer_) { other.buffer_ = nullptr; }
  TPinnedUnit& operator=(TPinnedUnit&& other) noexcept;
  TPinnedUnit(const TPinnedUnit&) = delete;
  TPinnedUnit& operator=(const TPinnedUnit&) = delete;
  ~TPinnedUnit() { release(); }

  explicit operator bool() const { return buffer_ != nullptr; }
  TBuffer& operator*() const { return *buffer_; }
  TBuffer* operator->() const { return buffer_; }
  TBuffer* get() const { return buffer_; }
  // Marks the unit for the next write back.
  void markModified() { buffer_->setModified(); }
  void release();

 private:
  TBufferedFile* file_ = nullptr;
  TBuffer* buffer_ = nullptr;
};

enum class ReadDirection { Forward, Backward };

class TBufferedFile : public TEngineFile {
 public:
  TBufferedFile(TFileRegistry& registry, std::string path, EngineFileFlags flags);
  ~TBufferedFile() override;

  // Rows, pages and blocks of an encrypted table pass through this cipher on
  // their way to and from disk; null for a plain table. Not owned.
  void setCipher(const TTableCipher* cipher) { cipher_ = cipher; }
  const TTableCipher* cipher() const { return cipher_; }
  // Called before a unit is read from disk; answering false means the table
  // changed and getUnit answers an empty TPinnedUnit so the caller starts over.
  void setDiskReadHook(std::function<bool()> hook) { diskReadHook_ = std::move(hook); }
  void setForceFlush(bool force) { forceFlush_ = force; }
  bool forceFlush() const { return forceFlush_; }

  // Unit n pinned. n = unitCount() + 1 appends a cleared unit. When n has to
  // come from disk, up to `wanted` consecutive units (n onward, or up to n
  // backward) come with the same read, bounded by the read-ahead limit and the
  // end of the file. Raises corruptError() for n = 0 or n beyond the next unit.
  TPinnedUnit getUnit(int64_t n, size_t wanted = 1, ReadDirection direction = ReadDirection::Forward);
  TPinnedUnit appendUnit() { return getUnit(unitCount() + 1); }

  // Writes modified units and the header; true when anything was written.
  // A modified unit still pinned raises corruptError().
  bool writeBack();
  // Forgets every cached unit (changes by others, discarded temporary tables).
  // Pinned units stay.
  void dropCache();
  // Evicts unmodified, unpinned units down to the configured capacity.
  void shrinkCache();

  // Raises corruptError() when the file is shorter than its units: a new
  // unit would land past a hole that reads back as units of zeros.
  void checkHoldsItsUnits();

  size_t cachedUnitCount() const { return units_.size(); }
  size_t currentCapacity() const { return capacity_; }
  bool isCached(int64_t n) const { return units_.contains(n); }

  // The kind's sizes.
  virtual size_t unitSize() const = 0;
  virtual uint64_t dataStart() const = 0;
  virtual int64_t unitCount() const = 0;
  virtual size_t cacheCapacity() const = 0;
  virtual size_t readAheadLimit() const { return 1; }
  // A temporary file writes the units of its first parkingStart() bytes like
  // any file, where the system's cache serves them fastest, and parks those
  // beyond, up to parkingBudget() bytes: a large result costs the system a
  // fresh page for every page it writes.
  virtual uint64_t parkingStart() const { return kParkingStart; }
  virtual size_t parkingBudget() const { return kParkingBudget; }
  static constexpr uint64_t kParkingStart = 64 << 20;
  static constexpr size_t kParkingBudget = 256 << 20;

 protected:
  virtual std::unique_ptr<TBuffer> makeBuffer() { return std::make_unique<TBuffer>(unitSize()); }
  virtual ErrorCode corruptError() const = 0;
  // Raises when the file may not grow by one more unit.
  virtual void checkGrowth() {}
  virtual void countAppendedUnit() = 0;
  virtual size_t growthStep() const = 0;
  virtual size_t mruProbeCount() const = 0;
  // Writes the header when it changed, or always when forced.
  virtual void writeHeader(bool force) = 0;
  virtual bool headerModified() const = 0;

  uint64_t unitOffset(int64_t n) const { return dataStart() + static_cast<uint64_t>(n - 1) * unitSize(); }
  // Resets the cache's capacity from cacheCapacity(), e.g. after the header
  // told the unit size.
  void resetCapacity() { capacity_ = std::max<size_t>(1, cacheCapacity()); }
  // Forgets every unit, cached or parked, when the file is cut back to its
  // header.
  void discardUnits();

 private:
  friend class TPinnedUnit;
  void unpin(TBuffer* buffer);
  TBuffer* lookup(int64_t n);
  TBuffer* pin(TBuffer* buffer);
  void touch(TBuffer* buffer);
  void insert(std::unique_ptr<TBuffer> buffer);
  // Room for `units` more units.
  void makeRoom(size_t units = 1);
  TBuffer* oldestUnpinned() const;
  void evict(TBuffer* buffer);
  std::unique_ptr<TBuffer> newBuffer();
  bool evictOne();
  bool writeUnpinnedModified();
  size_t readRun(int64_t first, size_t wanted);
  void restoreParked(int64_t first, size_t count);
  template <typename ImageOf>
  void placeRun(int64_t first, size_t count, ImageOf imageOf);
  void writeRun(const std::vector<TBuffer*>& run);
  bool parkRun(const std::vector<TBuffer*>& run);

  const TTableCipher* cipher_ = nullptr;
  std::function<bool()> diskReadHook_;
  TParkedUnits parked_;
  bool forceFlush_ = false;
  size_t capacity_ = 1;
  TUnitTable units_;
  TRecencyList mru_;
  std::vector<std::unique_ptr<TBuffer>> spares_;
  // Reads fill one, writes and parking the other.
  std::vector<uint8_t> readScratch_;
  std::vector<uint8_t> writeScratch_;
};

}  // namespace keel
