#pragma once

// The 512-byte header at the start of every data file (docs/formats/data-file.md).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/core/Md5.h"

namespace keel {

struct DataFileHeader {
  static constexpr size_t kSize = 512;
  static constexpr uint8_t kVersion = 6;  // reported as "4.00"
  static constexpr size_t kMaxDescriptionLength = 100;
  // Stored moments are (days since 1899-12-30) - kMomentBias.
  static constexpr double kMomentBias = 693594.0;
  // Digest of the engine's built-in standard signature.
  static constexpr Md5Digest kStandardSignature = {0x8A, 0xBE, 0x8E, 0x59, 0x23, 0x64, 0xCB, 0x40,
                                                   0x3D, 0x71, 0xD2, 0xE3, 0xBC, 0x64, 0xD0, 0x01};

  int32_t changeCount = 0;
  uint8_t version = kVersion;
  Md5Digest signature{};
  int32_t freeRowHead = 0;
  int32_t nextRowNumber = 1;
  int32_t lastRecordId = 0;
  int32_t lastAutoInc = 0;
  int32_t activeRowCount = 0;
  uint16_t rowSize = 0;
  uint16_t fieldCount = 0;
  uint16_t blobFieldCount = 0;
  int32_t blobBlockSize = 0;
  int32_t lastBlobStamp = 0;
  int32_t indexPageSize = 0;
  double lastUpdated = 0;  // as stored: negative for every real date
  std::string description;
  bool encrypted = false;
  std::array<uint8_t, 16> passwordCheck{};
  uint32_t locale = 0;
  int16_t userMajor = 0;
  int16_t userMinor = 0;
  uint8_t modifiedFlag = 0;

  void encode(std::span<uint8_t, kSize> out) const;
  static DataFileHeader decode(std::span<const uint8_t, kSize> in);
};

// Header counters advance by one, 2147483647 being followed by 1.
constexpr int32_t NextCounter(int32_t value) { return value == INT32_MAX ? 1 : value + 1; }

}  // namespace keel
