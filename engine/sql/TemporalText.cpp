#include "engine/sql/TemporalText.h"

#include <optional>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"

namespace keel {

namespace {

// The field codec owns the text forms; an expression value goes through a
// field of the wanted type.
std::optional<std::vector<uint8_t>> StoredForm(FieldType type, std::string_view text) {
  FieldDescriptor field;
  field.type = type;
  return ParseFieldText(field, text);
}

std::string TextForm(FieldType type, const uint8_t* stored, size_t length) {
  FieldDescriptor field;
  field.type = type;
  return FormatFieldText(field, std::span<const uint8_t>(stored, length));
}

}  // namespace

bool ParseDateText(std::string_view text, int32_t& dayNumber) {
  auto stored = StoredForm(FieldType::Date, text);
  if (stored) dayNumber = LoadI32(stored->data());
  return stored.has_value();
}

bool ParseTimeText(std::string_view text, int32_t& msecsOfDay) {
  auto stored = StoredForm(FieldType::Time, text);
  if (stored) msecsOfDay = LoadI32(stored->data());
  return stored.has_value();
}

bool ParseTimestampText(std::string_view text, double& msecs) {
  auto stored = StoredForm(FieldType::Timestamp, text);
  if (stored) msecs = LoadF64(stored->data());
  return stored.has_value();
}

bool ParseBooleanText(std::string_view text, bool& value) {
  auto stored = StoredForm(FieldType::Boolean, text);
  if (stored) value = LoadI16(stored->data()) != 0;
  return stored.has_value();
}

std::string FormatDateText(int32_t dayNumber) {
  uint8_t stored[4];
  StoreI32(stored, dayNumber);
  return TextForm(FieldType::Date, stored, sizeof stored);
}

std::string FormatTimeText(int32_t msecsOfDay) {
  uint8_t stored[4];
  StoreI32(stored, msecsOfDay);
  return TextForm(FieldType::Time, stored, sizeof stored);
}

std::string FormatTimestampText(double msecs) {
  uint8_t stored[8];
  StoreF64(stored, msecs);
  return TextForm(FieldType::Timestamp, stored, sizeof stored);
}

}  // namespace keel
