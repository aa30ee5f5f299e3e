#include "engine/core/RollbackJournal.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/EngineFile.h"
#include "engine/core/ErrorCodes.h"
#include "platform/FileSystem.h"

namespace keel {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'K', 'E', 'E', 'L', 'J', 'N', 'L', 1};
constexpr size_t kSizesAt = 8;
constexpr size_t kHeaderCrcAt = kSizesAt + 8 * TRollbackJournal::kFileSlots;  // 32
constexpr size_t kHeaderSize = kHeaderCrcAt + 4 + 4;                             // crc, reserved
// Record: slot (4), offset (8), length (4), crc of the 16 bytes before it and
// the saved bytes (4), then the saved bytes.
constexpr size_t kRecordHeaderSize = 4 + 8 + 4 + 4;
// Bytes saved per record: a large cut is kept in several records.
constexpr uint64_t kMaxRecordBytes = 1u << 20;

uint32_t Crc(const uint8_t* bytes, size_t length, uint32_t crc = 0) {
  return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(length)));
}

void Check(int error, const std::string& path) {
  if (error != 0) raiseOsError(error, path);
}

}  // namespace

TRollbackJournal::TRollbackJournal(std::string path) : path_(std::move(path)) {}

TRollbackJournal::~TRollbackJournal() = default;

void TRollbackJournal::attach(int slot, TEngineFile* file) {
  files_.at(static_cast<size_t>(slot)) = file;
  file->setJournal(this, slot);
}

bool TRollbackJournal::found() const { return mindrel::FileExists(path_); }

void TRollbackJournal::start() {
  for (int slot = 0; slot < kFileSlots; ++slot) {
    TEngineFile* file = files_[static_cast<size_t>(slot)];
    originalSizes_[static_cast<size_t>(slot)] = file && file->isOpen() ? file->size() : 0;
    saved_[static_cast<size_t>(slot)].clear();
  }
  Check(file_.create(path_), path_);
  written_ = 0;
  std::array<uint8_t, kHeaderSize> header{};
  std::memcpy(header.data(), kMagic.data(), kMagic.size());
  for (int slot = 0; slot < kFileSlots; ++slot) {
    StoreU64(header.data() + kSizesAt + 8 * static_cast<size_t>(slot), originalSizes_[static_cast<size_t>(slot)]);
  }
  StoreU32(header.data() + kHeaderCrcAt, Crc(header.data(), kHeaderCrcAt));
  append(header.data(), header.size());
}

void TRollbackJournal::append(const void* bytes, size_t length) {
  size_t done = 0;
  const int error = file_.writeAt(written_, bytes, length, done);
  if (error == 0 && done != length) raise(ErrorCode::KEEL_WRITEERR, {.table = path_});
  Check(error, path_);
  written_ += length;
}

void TRollbackJournal::preserve(int slot, uint64_t offset, uint64_t length) {
  const bool starting = !active();
  if (starting) start();
  const uint64_t original = originalSizes_.at(static_cast<size_t>(slot));
  const uint64_t to = length > original - std::min(offset, original) ? original : offset + length;
  const uint64_t before = written_;
  if (offset < to) saveUncovered(slot, offset, to);
  if (!durable_) return;
  // The saved bytes must reach the disk before the write they undo, and a new
  // journal's entry in the folder too: a journal lost with its entry could
  // not undo the write after a power failure.
  if (starting || written_ != before) Check(file_.sync(), path_);
  if (starting) flushFolder();
}

void TRollbackJournal::flushFolder() const { Check(mindrel::FlushFolder(mindrel::FolderOf(path_)), path_); }

void TRollbackJournal::saveUncovered(int slot, uint64_t from, uint64_t to) {
  const std::map<uint64_t, uint64_t>& saved = saved_.at(static_cast<size_t>(slot));
  // The gaps first: saving merges the saved ranges.
  std::vector<std::pair<uint64_t, uint64_t>> gaps;
  uint64_t at = from;
  auto next = saved.upper_bound(from);
  if (next != saved.begin()) at = std::max(at, std::prev(next)->second);
  for (; at < to; ++next) {
    const uint64_t gapEnd = next == saved.end() ? to : std::min(to, next->first);
    if (at < gapEnd) gaps.emplace_back(at, gapEnd);
    if (next == saved.end()) break;
    at = std::max(at, next->second);
  }
  for (const auto& [gapFrom, gapTo] : gaps) saveRange(slot, gapFrom, gapTo);
}

void TRollbackJournal::saveRange(int slot, uint64_t from, uint64_t to) {
  TEngineFile& file = *files_.at(static_cast<size_t>(slot));
  std::vector<uint8_t> record;
  for (uint64_t at = from; at < to; at += kMaxRecordBytes) {
    const uint64_t length = std::min(kMaxRecordBytes, to - at);
    record.assign(kRecordHeaderSize + length, 0);
    StoreU32(record.data(), static_cast<uint32_t>(slot));
    StoreU64(record.data() + 4, at);
    StoreU32(record.data() + 12, static_cast<uint32_t>(length));
    file.read(at, record.data() + kRecordHeaderSize, static_cast<size_t>(length));
    StoreU32(record.data() + 16, Crc(record.data() + kRecordHeaderSize, static_cast<size_t>(length),
                                     Crc(record.data(), 16)));
    append(record.data(), record.size());
  }
  saved_.at(static_cast<size_t>(slot))[from] = to;
  // Neighbouring ranges merge so lookups stay short.
  auto& saved = saved_.at(static_cast<size_t>(slot));
  for (auto it = saved.begin(); it != saved.end();) {
    auto next = std::next(it);
    if (next != saved.end() && it->second >= next->first) {
      it->second = std::max(it->second, next->second);
      saved.erase(next);
    } else {
      it = next;
    }
  }
}

void TRollbackJournal::commit() {
  if (!active()) return;
  file_.close();
  Check(mindrel::RemoveFile(path_), path_);
  for (auto& saved : saved_) saved.clear();
  // Removing the journal is the moment the write counts as done; a removal
  // the disk never saw would roll the write back after a power failure.
  if (durable_) flushFolder();
}

std::optional<TRollbackJournal::Contents> TRollbackJournal::readJournal() const {
  mindrel::OsFile journal;
  const int openError = journal.open(path_, false);
  if (openError == ENOENT) return std::nullopt;
  Check(openError, path_);
  uint64_t size = 0;
  Check(journal.size(size), path_);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  Check(journal.readAt(0, bytes.data(), bytes.size(), done), path_);
  if (done != bytes.size()) raise(ErrorCode::KEEL_READERR, {.table = path_});
  Contents contents;
  contents.fingerprint = Crc(bytes.data(), bytes.size());
  const bool headerWhole = bytes.size() >= kHeaderSize && std::equal(kMagic.begin(), kMagic.end(), bytes.begin()) &&
                           Crc(bytes.data(), kHeaderCrcAt) == LoadU32(bytes.data() + kHeaderCrcAt);
  if (!headerWhole) return contents;
  contents.headerWhole = true;
  for (int slot = 0; slot < kFileSlots; ++slot) {
    contents.originalSizes[static_cast<size_t>(slot)] = LoadU64(bytes.data() + kSizesAt + 8 * static_cast<size_t>(slot));
  }
  // The first damaged or short record ends the list: its file write never
  // happened.
  size_t at = kHeaderSize;
  while (bytes.size() - at >= kRecordHeaderSize) {
    const uint8_t* head = bytes.data() + at;
    const uint32_t slot = LoadU32(head);
    const uint32_t length = LoadU32(head + 12);
    if (slot >= kFileSlots || length > bytes.size() - at - kRecordHeaderSize) break;
    const uint8_t* saved = head + kRecordHeaderSize;
    if (Crc(saved, length, Crc(head, 16)) != LoadU32(head + 16)) break;
    contents.records.push_back({static_cast<int>(slot), LoadU64(head + 4), std::vector<uint8_t>(saved, saved + length)});
    at += kRecordHeaderSize + length;
  }
  return contents;
}

bool TRollbackJournal::rollBack() {
  if (active()) file_.close();
  std::optional<Contents> contents = readJournal();
  if (!contents) return false;
  // Later records of a range can only repeat what an earlier one saved: the
  // earliest is written last.
  for (auto record = contents->records.rbegin(); record != contents->records.rend(); ++record) {
    TEngineFile* file = files_.at(static_cast<size_t>(record->slot));
    if (!file) raise(ErrorCode::KEEL_FILECORRUPT, {.table = path_});
    file->writeUnjournaled(record->offset, record->bytes.data(), record->bytes.size());
  }
  if (contents->headerWhole) {
    for (int slot = 0; slot < kFileSlots; ++slot) {
      TEngineFile* file = files_[static_cast<size_t>(slot)];
      if (!file) continue;
      const uint64_t original = contents->originalSizes[static_cast<size_t>(slot)];
      if (file->size() > original) file->truncateUnjournaled(original);
      file->flush();
    }
  }
  Check(mindrel::RemoveFile(path_), path_);
  for (auto& saved : saved_) saved.clear();
  flushFolder();
  return true;
}

bool TRollbackJournal::followForReading() {
  if (!found()) {
    if (!overlay_) return false;
    overlay_.reset();
    return true;
  }
  std::optional<Contents> contents = readJournal();
  if (overlay_ && contents && contents->fingerprint == overlay_->fingerprint) return false;
  overlay_ = std::move(contents);
  return true;
}

uint64_t TRollbackJournal::overlaySize(int slot, uint64_t actual) const {
  return overlay_->headerWhole ? overlay_->originalSizes.at(static_cast<size_t>(slot)) : actual;
}

size_t TRollbackJournal::overlayRead(int slot, uint64_t offset, uint8_t* buffer, size_t length, size_t done) const {
  const Contents& contents = *overlay_;
  const uint64_t original = contents.originalSizes.at(static_cast<size_t>(slot));
  if (!contents.headerWhole) return done;  // cut off before any file write
  const size_t visible = offset >= original ? 0 : static_cast<size_t>(std::min<uint64_t>(length, original - offset));
  if (done < visible) std::fill(buffer + done, buffer + visible, uint8_t{0});
  for (auto record = contents.records.rbegin(); record != contents.records.rend(); ++record) {
    if (record->slot != slot) continue;
    const uint64_t from = std::max(offset, record->offset);
    const uint64_t to = std::min<uint64_t>(offset + visible, record->offset + record->bytes.size());
    if (from >= to) continue;
    std::copy_n(record->bytes.data() + (from - record->offset), to - from, buffer + (from - offset));
  }
  return visible;
}

}  // namespace keel
