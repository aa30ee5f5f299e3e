#pragma once

// Field values inside a row buffer: the get-field and set-field rules, the
// text forms of values (defaults, minimum and maximum texts, tools), default
// values of new rows and the minimum/maximum/required checks.
// Row layout and encodings: docs/formats/data-file.md.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "platform/Clock.h"

namespace keel {

constexpr size_t kRowHeaderSize = 25;  // status 1 + link 4 + RecordID 4 + RecordHash 16
constexpr int32_t kDayNumberOf18991230 = 693594;
constexpr int64_t kMillisecondsPerDay = 86'400'000;

struct FieldRead {
  bool isNull = true;
  std::span<const uint8_t> bytes;  // the stored bytes (the first 4 of a BLOB reference)
};

// System fields are never NULL and carry no null byte.
FieldRead GetField(std::span<const uint8_t> row, const FieldDescriptor& field);

// Writes NULL (data zeroed; BLOB references are left as they are).
void SetFieldNull(std::span<uint8_t> row, const FieldDescriptor& field);
// Writes a value in its stored form (`value` holds the stored length bytes; for
// strings the characters, of any length). Strings are cut, stripped of trailing
// blanks unless fixed-width, case-mapped with `lcid`, and stored as NULL when
// nothing is left; booleans normalise to 0/1. System fields and fields that
// take no room are left unchanged.
void SetFieldValue(std::span<uint8_t> row, const FieldDescriptor& field, std::span<const uint8_t> value,
                   uint32_t lcid);
void SetFieldText(std::span<uint8_t> row, const FieldDescriptor& field, std::string_view text, uint32_t lcid);

// Stored bytes of a value given in the field's text form; nullopt when the text
// does not convert. Strings: the text; date "Y-M-D"; time "H:M[:S[.mmm]]"
// with optional AM/PM; timestamp date, blank, time; boolean TRUE/FALSE;
// integers decimal; float with '.'; BCD decimal text. BLOB fields have none.
std::optional<std::vector<uint8_t>> ParseFieldText(const FieldDescriptor& field, std::string_view text);
// Text form of stored bytes: date "YYYY-MM-DD", time "HH:MM:SS.mmm",
// timestamp "YYYY-MM-DD HH:MM:SS.mmm", BCD with the field's decimals,
// booleans "TRUE"/"FALSE"; byte fields lowercase hex.
std::string FormatFieldText(const FieldDescriptor& field, std::span<const uint8_t> stored);

// Orders two stored values of the field (strings by the table's locale).
int CompareFieldValues(const FieldDescriptor& field, std::span<const uint8_t> a, std::span<const uint8_t> b,
                       uint32_t lcid);

// Whether the default, minimum and maximum texts fit the field's type; BLOB
// fields may carry none.
bool ConstraintTextsValid(const FieldDescriptor& field);

// Fills the defaults of a new row (not BLOB fields).
void ApplyDefaults(std::span<uint8_t> row, std::span<const FieldDescriptor> fields, const mindrel::Clock& clock,
                   uint32_t lcid);
// Raises 9732, 9730 or 9731 for the first field that breaks its rule.
void CheckConstraints(std::span<const uint8_t> row, std::span<const FieldDescriptor> fields,
                      const std::string& tableName, uint32_t lcid);

// Date arithmetic of the encodings: 0001-01-01 is day 1, 1899-12-30 day 693594.
int32_t DayNumberOf(const mindrel::CivilDate& date);
mindrel::CivilDate CivilDateOf(int32_t dayNumber);

// BCD record of a decimal text with `decimals` places; nullopt when the text is
// not a number or needs more than 32 digits.
std::optional<std::array<uint8_t, kBcdLength>> BcdFromText(std::string_view text, uint8_t decimals);
std::string BcdToText(std::span<const uint8_t> record, uint8_t decimals);
double BcdToCurrency(std::span<const uint8_t> record);

// "{8-4-4-4-12}" hexadecimal digits, upper case, from the random source.
std::string NewGuidText();

}  // namespace keel
