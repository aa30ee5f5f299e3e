#include "engine/core/BufferedFile.h"

#include <span>

#include "engine/core/TableCipher.h"

namespace keel {

TPinnedUnit& TPinnedUnit::operator=(TPinnedUnit&& other) noexcept {
  if (this != &other) {
    release();
    file_ = other.file_;
    buffer_ = other.buffer_;
    other.buffer_ = nullptr;
  }
  return *this;
}

void TPinnedUnit::release() {
  if (buffer_) file_->unpin(buffer_);
  buffer_ = nullptr;
}

TBufferedFile::TBufferedFile(TFileRegistry& registry, std::string path, EngineFileFlags flags)
    : TEngineFile(registry, std::move(path), flags) {}

TBufferedFile::~TBufferedFile() = default;

void TBufferedFile::unpin(TBuffer* buffer) {
  if (buffer->pins_ > 0) --buffer->pins_;
}

TBuffer* TBufferedFile::pin(TBuffer* buffer) {
  ++buffer->pins_;
  return buffer;
}

void TBufferedFile::touch(TBuffer* buffer) { mru_.touch(buffer); }

TBuffer* TBufferedFile::lookup(int64_t n) {
  size_t probes = mruProbeCount();
  for (TBuffer* buffer = mru_.newest(); buffer != nullptr && probes > 0; --probes) {
    if (buffer->unit_ == n) return buffer;
    buffer = TRecencyList::older(buffer);
  }
  return units_.find(n);
}

void TBufferedFile::insert(std::unique_ptr<TBuffer> buffer) {
  TBuffer* raw = buffer.get();
  mru_.pushNewest(raw);
  units_.insert(std::move(buffer));
}

TBuffer* TBufferedFile::oldestUnpinned() const {
  for (TBuffer* buffer = mru_.oldest(); buffer != nullptr; buffer = TRecencyList::newer(buffer)) {
    if (!buffer->pinned()) return buffer;
  }
  return nullptr;
}

// Evicted buffers, as many as one read may place, are kept for the next
// units read: a scan that reads through a full cache then allocates nothing
// per unit.
void TBufferedFile::evict(TBuffer* buffer) {
  mru_.remove(buffer);
  std::unique_ptr<TBuffer> evicted = units_.take(buffer->unit_);
  if (spares_.size() < readAheadLimit()) spares_.push_back(std::move(evicted));
}

std::unique_ptr<TBuffer> TBufferedFile::newBuffer() {
  while (!spares_.empty() && spares_.back()->size() != unitSize()) spares_.pop_back();
  std::unique_ptr<TBuffer> buffer;
  if (spares_.empty()) {
    buffer = makeBuffer();
  } else {
    buffer = std::move(spares_.back());
    spares_.pop_back();
  }
  buffer->modified_ = false;
  buffer->pins_ = 0;
  return buffer;
}

bool TBufferedFile::evictOne() {
  for (TBuffer* candidate = mru_.oldest(); candidate != nullptr; candidate = TRecencyList::newer(candidate)) {
    if (candidate->modified_ || candidate->pinned()) continue;
    evict(candidate);
    return true;
  }
  return false;
}

// When the least recently used unit waits to be written, every modified unit
// nobody holds is written first: passing over them on each eviction would cost
// a walk of the whole cache per unit read.
void TBufferedFile::makeRoom(size_t units) {
  while (units_.size() + units > capacity_) {
    TBuffer* oldest = oldestUnpinned();
    if (oldest != nullptr && !oldest->modified_) {
      evict(oldest);
      continue;
    }
    if (writeUnpinnedModified() && evictOne()) continue;
    capacity_ += growthStep();
  }
}

bool TBufferedFile::writeUnpinnedModified() {
  std::vector<TBuffer*> due;
  units_.forEach([&](TBuffer* buffer) {
    if (buffer->modified_ && !buffer->pinned()) due.push_back(buffer);
  });
  std::sort(due.begin(), due.end(), [](const TBuffer* a, const TBuffer* b) { return a->unit_ < b->unit_; });
  std::vector<TBuffer*> run;
  for (TBuffer* buffer : due) {
    if (!run.empty() && run.back()->unit_ + 1 != buffer->unit_) {
      writeRun(run);
      run.clear();
    }
    run.push_back(buffer);
  }
  if (!run.empty()) writeRun(run);
  return !due.empty();
}

TPinnedUnit TBufferedFile::getUnit(int64_t n, size_t wanted, ReadDirection direction) {
  const int64_t count = unitCount();
  if (n <= 0 || n > count + 1) raise(corruptError(), {.table = path()});
  if (TBuffer* cached = lookup(n)) {
    touch(cached);
    return {this, pin(cached)};
  }
  if (n == count + 1) {
    checkGrowth();
    makeRoom();
    std::unique_ptr<TBuffer> buffer = newBuffer();
    buffer->clear();
    buffer->setUnit(n);
    buffer->modified_ = true;
    TBuffer* raw = buffer.get();
    insert(std::move(buffer));
    pin(raw);
    countAppendedUnit();
    return {this, raw};
  }
  if (diskReadHook_ && !diskReadHook_()) return {};
  const size_t limit = std::max<size_t>(1, std::min(wanted, readAheadLimit()));
  // Units before n are on disk when n is; a forward run ends where the file
  // does (appended units not yet written are cached and stay as they are).
  const size_t run = direction == ReadDirection::Forward ? limit : std::min(limit, static_cast<size_t>(n));
  const int64_t first = direction == ReadDirection::Forward ? n : n - static_cast<int64_t>(run) + 1;
  if (parked_.contains(n)) {
    restoreParked(first, run);
  } else if (readRun(first, run) <= static_cast<size_t>(n - first)) {
    raise(ErrorCode::KEEL_READERR, {.table = path()});
  }
  TBuffer* loaded = lookup(n);
  pin(loaded);
  return {this, loaded};
}

// Reads up to `wanted` units from `first` in one read, as far as the file
// holds whole units, and caches the ones not cached yet; answers how many
// whole units the file held.
size_t TBufferedFile::readRun(int64_t first, size_t wanted) {
  const size_t size = unitSize();
  // Room is made before the read: making it may write changed units the run
  // covers, and the run must read them as written.
  makeRoom(wanted);
  readScratch_.resize(wanted * size);
  const size_t count = readUpTo(unitOffset(first), readScratch_.data(), readScratch_.size()) / size;
  placeRun(first, count, [&](int64_t n) {
    const std::span<uint8_t> image(readScratch_.data() + static_cast<size_t>(n - first) * size, size);
    // A parked image is newer than the file's.
    if (!parked_.restore(n, image) && cipher_) cipher_->decrypt(image);
    return image;
  });
  return count;
}

// Caches the parked units among the `count` from `first` on.
void TBufferedFile::restoreParked(int64_t first, size_t count) {
  makeRoom(count);
  readScratch_.resize(unitSize());
  placeRun(first, count, [&](int64_t n) {
    const std::span<uint8_t> image(readScratch_);
    return parked_.restore(n, image) ? image : std::span<uint8_t>{};
  });
}

// Caches each unit not cached yet of the `count` from `first` on whose image
// `imageOf` gives (an empty image skips the unit), in the room the caller
// made. The wanted unit is loaded by the caller's lookup.
template <typename ImageOf>
void TBufferedFile::placeRun(int64_t first, size_t count, ImageOf imageOf) {
  for (size_t i = 0; i < count; ++i) {
    const int64_t n = first + static_cast<int64_t>(i);
    if (units_.contains(n)) continue;
    const std::span<uint8_t> image = imageOf(n);
    if (image.empty()) continue;
    std::unique_ptr<TBuffer> buffer = newBuffer();
    buffer->load(image.data(), image.size());
    buffer->setUnit(n);
    insert(std::move(buffer));
  }
}

void TBufferedFile::writeRun(const std::vector<TBuffer*>& run) {
  if (flags().temporary && unitOffset(run.front()->unit_) >= parkingStart() && parkRun(run)) return;
  const size_t size = unitSize();
  // Every unit's store fills its whole image.
  writeScratch_.resize(run.size() * size);
  for (size_t i = 0; i < run.size(); ++i) {
    std::span<uint8_t> image(writeScratch_.data() + i * size, size);
    run[i]->store(image.data(), size);
    if (cipher_) cipher_->encrypt(image);
  }
  write(unitOffset(run.front()->unit_), writeScratch_.data(), writeScratch_.size());
  for (TBuffer* buffer : run) {
    buffer->modified_ = false;
    parked_.forget(buffer->unit_);
  }
}

// False when the budget is spent: the run then goes to the file.
bool TBufferedFile::parkRun(const std::vector<TBuffer*>& run) {
  const size_t size = unitSize();
  writeScratch_.resize(size);
  for (TBuffer* buffer : run) {
    buffer->store(writeScratch_.data(), size);
    if (!parked_.park(buffer->unit_, writeScratch_, parkingBudget())) return false;
  }
  for (TBuffer* buffer : run) buffer->modified_ = false;
  return true;
}

bool TBufferedFile::writeBack() {
  bool modifiedAndPinned = false;
  units_.forEach([&](const TBuffer* buffer) {
    if (buffer->modified_ && buffer->pinned()) modifiedAndPinned = true;
  });
  if (modifiedAndPinned) raise(corruptError(), {.table = path()});
  const bool wrote = writeUnpinnedModified();
  const bool headerDue = wrote || headerModified();
  if (headerDue) writeHeader(wrote);
  if (headerDue && forceFlush_) flush();
  return headerDue;
}

void TBufferedFile::checkHoldsItsUnits() {
  if (size() < unitOffset(unitCount() + 1)) raise(corruptError(), {.table = path()});
}

void TBufferedFile::dropCache() {
  std::vector<TBuffer*> unpinned;
  units_.forEach([&](TBuffer* buffer) {
    if (!buffer->pinned()) unpinned.push_back(buffer);
  });
  for (TBuffer* buffer : unpinned) {
    mru_.remove(buffer);
    units_.take(buffer->unit_);
  }
}

void TBufferedFile::discardUnits() {
  dropCache();
  parked_.clear();
}

void TBufferedFile::shrinkCache() {
  capacity_ = std::max<size_t>(1, cacheCapacity());
  while (units_.size() > capacity_ && evictOne()) {
  }
}

}  // namespace keel
