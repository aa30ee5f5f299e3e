#pragma once

// Byte layout of the index file (.idx). docs/formats/index-file.md draws it
// with a worked example; every offset used by the index code is named here.

#include <cstddef>
#include <cstdint>

namespace keel::index_layout {

inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kDescriptorSize = 768;
inline constexpr int kSlotCount = 32;
inline constexpr std::size_t kDescriptorAreaSize = kSlotCount * kDescriptorSize;  // 24576
inline constexpr std::size_t kPagesStart = kHeaderSize + kDescriptorAreaSize;     // 25088

inline constexpr std::uint8_t kVersion = 6;
inline constexpr int kPrimarySlot = 0;
inline constexpr int kFullTextSlot = 31;
inline constexpr int kMaxSecondaryIndexes = 30;
inline constexpr int kMaxKeyFields = 128;
inline constexpr std::size_t kMaxNameLength = 60;

// Page sizes a table may declare; they are also multiples of 8.
inline constexpr std::size_t kMinPageSize = 1024;
inline constexpr std::size_t kMaxPageSize = 16384;

// Longest key without the RecordID suffix, and the suffix itself.
inline constexpr std::size_t kMaxKeyWithoutSuffix = 4106;
inline constexpr std::size_t kRecordIdSuffix = 4;
inline constexpr std::size_t kMaxKeySize = kMaxKeyWithoutSuffix + kRecordIdSuffix;

// Trees deeper than this can only come from a damaged file.
inline constexpr int kMaxDepth = 64;

// Field numbers that stand for the row's system fields inside a key.
inline constexpr std::uint16_t kRecordIdField = 0xFFFF;
inline constexpr std::uint16_t kRecordHashField = 0xFFFE;

namespace header {
inline constexpr std::size_t kChangeCount = 0;
inline constexpr std::size_t kVersion = 8;
inline constexpr std::size_t kSignature = 9;
inline constexpr std::size_t kSignatureSize = 16;
inline constexpr std::size_t kFreeHead = 25;
inline constexpr std::size_t kNextPage = 29;
inline constexpr std::size_t kSecondaryCount = 33;
inline constexpr std::size_t kRoots = 34;
inline constexpr std::size_t kDataRoots = kRoots + 4 * kSlotCount;         // 162
inline constexpr std::size_t kModifiedFlag = kDataRoots + 4 * kSlotCount;  // 290
}  // namespace header

namespace descriptor {
inline constexpr std::size_t kName = 0;  // shortstring of 61 bytes
inline constexpr std::size_t kKeySize = 61;
inline constexpr std::size_t kDescending = 126;
inline constexpr std::size_t kCaseInsensitive = 127;
inline constexpr std::size_t kUnique = 128;
inline constexpr std::size_t kCompression = 129;
inline constexpr std::size_t kFieldCount = 130;
inline constexpr std::size_t kFieldDescending = 131;  // key field j (1-based) at 130 + j
inline constexpr std::size_t kFieldNumbers = 259;     // key field j (1-based) at 257 + 2j
inline constexpr std::size_t kNoKeyStatistics = 515;
}  // namespace descriptor

namespace page {
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kCount = 1;
inline constexpr std::size_t kPrev = 3;
inline constexpr std::size_t kNext = 7;
inline constexpr std::size_t kPackedBytes = 11;
inline constexpr std::size_t kHeaderSize = 1 + 2 + 4 + 4 + 2;  // 13
}  // namespace page

}  // namespace keel::index_layout
