#pragma once

// The 768-byte field descriptor, the same layout in memory requests and in the
// data file (docs/formats/data-file.md), plus the two system descriptors every
// open data file carries without storing them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/core/FieldTypes.h"

namespace keel {

enum class CharCase : uint8_t { None = 0, Lower = 1, Upper = 2 };

struct FieldDescriptor {
  static constexpr size_t kSize = 768;
  static constexpr size_t kMaxNameLength = 60;
  static constexpr size_t kMaxTextLength = 100;  // description, min, max, default
  static constexpr uint16_t kRecordIdNumber = 0xFFFF;
  static constexpr uint16_t kRecordHashNumber = 0xFFFE;

  uint16_t number = 0;  // 1-based position; 0xFFFF / 0xFFFE for the system fields
  std::string name;
  std::string description;
  FieldType type = FieldType::None;
  FieldSubtype subtype = FieldSubtype::None;
  uint16_t size = 0;      // declared size (types 1, 9, 15)
  uint8_t decimals = 0;   // BCD only
  uint16_t dataLength = 0;  // stored length, without the null byte
  uint8_t storedDecimals = 0;
  uint16_t offset = 0;    // of the null byte within the row (of the data for system fields)
  bool required = false;
  CharCase charCase = CharCase::None;
  std::string minValue;
  std::string maxValue;
  std::string defaultValue;
  uint8_t compression = 0;  // BLOB compression level 0..9
  uint8_t noRoomMark = 0;   // byte 480: nonzero marks a field that takes no room in the row

  bool isSystem() const { return number == kRecordIdNumber || number == kRecordHashNumber; }
  bool takesNoRoom() const { return noRoomMark != 0; }
  bool isBlob() const { return type == FieldType::Blob; }

  void encode(std::span<uint8_t, kSize> out) const;
  static FieldDescriptor decode(std::span<const uint8_t, kSize> in);

  static FieldDescriptor RecordIdField();
  static FieldDescriptor RecordHashField();
};

}  // namespace keel
