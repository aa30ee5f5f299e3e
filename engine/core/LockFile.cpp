#include "engine/core/LockFile.h"

#include <cerrno>
#include <limits>

#include "engine/core/ByteOrder.h"
#include "engine/core/Collation.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/LockLayout.h"

namespace keel {

bool TLockFile::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  static const auto ansi = TCollation::ForLocale(0, {});
  for (size_t i = 0; i < a.size(); ++i) {
    if (ansi->upper(static_cast<uint8_t>(a[i])) != ansi->upper(static_cast<uint8_t>(b[i]))) return false;
  }
  return true;
}

int32_t TLockFile::NextCounter(int32_t counter) {
  return counter == std::numeric_limits<int32_t>::max() ? 1 : counter + 1;
}

int32_t TLockFile::DecodeCounter(const std::vector<uint8_t>& bytes) {
  return bytes.size() < kLengthOffset ? 0 : LoadI32(bytes.data() + kCounterOffset);
}

TLockFile TLockFile::Decode(const std::vector<uint8_t>& bytes, const std::string& path) {
  TLockFile list;
  if (bytes.empty()) return list;
  if (bytes.size() < kEntriesOffset) raise(ErrorCode::KEEL_BADSIGNATURE, {.table = path});
  list.counter_ = LoadI32(bytes.data() + kCounterOffset);
  const int64_t length = LoadI32(bytes.data() + kLengthOffset);
  if (length < 4 || static_cast<uint64_t>(length) + kLengthOffset > bytes.size()) {
    raise(ErrorCode::KEEL_BADSIGNATURE, {.table = path});
  }
  const size_t end = kLengthOffset + static_cast<size_t>(length);
  for (size_t at = kEntriesOffset; at < end;) {
    const size_t nameLength = bytes[at];
    if (at + 1 + nameLength > end || list.names_.size() == TLockLayout::kMaxSlots) {
      raise(ErrorCode::KEEL_BADSIGNATURE, {.table = path});
    }
    list.names_.emplace_back(reinterpret_cast<const char*>(bytes.data() + at + 1), nameLength);
    at += 1 + nameLength;
  }
  return list;
}

std::vector<uint8_t> TLockFile::encode() const {
  size_t entries = 0;
  for (const std::string& name : names_) entries += 1 + name.size();
  std::vector<uint8_t> bytes(kEntriesOffset + entries);
  StoreI32(bytes.data() + kCounterOffset, counter_);
  StoreI32(bytes.data() + kLengthOffset, static_cast<int32_t>(4 + entries));
  size_t at = kEntriesOffset;
  for (const std::string& name : names_) {
    bytes[at] = static_cast<uint8_t>(name.size());
    std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 1));
    at += 1 + name.size();
  }
  return bytes;
}

uint32_t TLockFile::slotOf(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (SameName(names_[i], name)) return static_cast<uint32_t>(i + 1);
  }
  return 0;
}

uint32_t TLockFile::append(const std::string& name, const std::string& database) {
  if (names_.size() >= TLockLayout::kMaxSlots) raise(ErrorCode::KEEL_DATABASEFULL, {.database = database});
  if (name.empty() || name.size() > kMaxNameLength) raiseOsError(EACCES, name);
  names_.push_back(name);
  return static_cast<uint32_t>(names_.size());
}

}  // namespace keel
