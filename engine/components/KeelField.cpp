#include "engine/components/KeelField.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/KeelDataSet.h"
#include "engine/components/StoredValue.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

struct IntegerRange {
  int64_t low;
  int64_t high;
};

std::optional<IntegerRange> RangeOf(FieldType type) {
  switch (type) {
    case FieldType::SmallInt: return IntegerRange{INT16_MIN, INT16_MAX};
    case FieldType::Integer: return IntegerRange{INT32_MIN, INT32_MAX};
    case FieldType::Word: return IntegerRange{0, UINT16_MAX};
    case FieldType::LargeInt: return IntegerRange{INT64_MIN, INT64_MAX};
    default: return std::nullopt;
  }
}

std::vector<uint8_t> StoredInteger(FieldType type, int64_t value) {
  std::vector<uint8_t> bytes(8, 0);
  switch (type) {
    case FieldType::SmallInt:
    case FieldType::Boolean: StoreI16(bytes.data(), static_cast<int16_t>(value)); bytes.resize(2); break;
    case FieldType::Word: StoreU16(bytes.data(), static_cast<uint16_t>(value)); bytes.resize(2); break;
    case FieldType::Integer: StoreI32(bytes.data(), static_cast<int32_t>(value)); bytes.resize(4); break;
    default: StoreI64(bytes.data(), value); break;
  }
  return bytes;
}

bool IsTextType(FieldType type) { return type == FieldType::String; }

bool IsTemporal(FieldType type) {
  return type == FieldType::Date || type == FieldType::Time || type == FieldType::Timestamp;
}

std::string NumberText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::optional<int64_t> ParseInteger(std::string_view text) {
  const std::string trimmed = TrimBlanks(text);
  int64_t value = 0;
  const auto result = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (result.ec != std::errc{} || result.ptr != trimmed.data() + trimmed.size() || trimmed.empty()) return std::nullopt;
  return value;
}

std::optional<double> ParseFloat(std::string_view text) {
  const std::string trimmed = TrimBlanks(text);
  double value = 0;
  const auto result = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (result.ec != std::errc{} || result.ptr != trimmed.data() + trimmed.size() || trimmed.empty()) return std::nullopt;
  return value;
}

constexpr double kMsPerDay = static_cast<double>(kMillisecondsPerDay);
constexpr double kLastDayNumber = 3652059;  // 9999-12-31

}  // namespace

TKeelField::TKeelField(TKeelDataSet& dataSet, const FieldDescriptor& descriptor, TFieldType type, uint16_t size,
                       int index)
    : dataSet_(dataSet),
      descriptor_(descriptor),
      name_(AnsiToUtf8(descriptor.name)),
      type_(type),
      size_(size),
      required_(descriptor.required && type != TFieldType::ftAutoInc),
      index_(index) {}

std::span<const uint8_t> TKeelField::storedBytes() const {
  return GetField(dataSet_.readBuffer(), descriptor_).bytes;
}

void TKeelField::store(std::span<const uint8_t> bytes) {
  SetFieldValue(dataSet_.writeBuffer(*this), descriptor_, bytes, dataSet_.locale());
  dataSet_.Notify(TDataEvent::deRecordChange);
}

void TKeelField::wrongType(const char* typeName) const {
  DatabaseError(db_messages::kWrongFieldType, {name_, typeName});
}

void TKeelField::invalidValue(const std::string& text) const {
  DatabaseError(db_messages::kInvalidValue, {text, name_});
}

bool TKeelField::IsNull() const {
  if (IsBlob()) {
    if (std::shared_ptr<TBlobBuffer> changed = dataSet_.changedBlob(*this)) return changed->value().empty();
  }
  return GetField(dataSet_.readBuffer(), descriptor_).isNull;
}

bool TKeelField::GetData(std::span<uint8_t> buffer) const {
  const FieldRead read = GetField(dataSet_.readBuffer(), descriptor_);
  if (read.isNull) return false;
  if (buffer.size() < read.bytes.size()) throw std::invalid_argument("buffer smaller than the field's data size");
  std::copy(read.bytes.begin(), read.bytes.end(), buffer.begin());
  return true;
}

void TKeelField::SetData(std::span<const uint8_t> value) {
  if (value.size() != DataSize()) throw std::invalid_argument("value not of the field's data size");
  store(value);
}

void TKeelField::Clear() {
  if (IsBlob()) {
    setBlobText({});
    return;
  }
  SetFieldNull(dataSet_.writeBuffer(*this), descriptor_);
  dataSet_.Notify(TDataEvent::deRecordChange);
}

void TKeelField::Assign(const TKeelField& other) {
  if (other.IsNull()) {
    Clear();
  } else if (IsBlob() || other.IsBlob()) {
    setBlobText(other.IsBlob() ? other.blobText() : other.AsString());
  } else if (other.DataType() == DataType() && other.DataSize() == DataSize()) {
    store(other.storedBytes());
  } else {
    SetAsString(other.AsString());
  }
}

// ---- BLOB values ----

std::string TKeelField::blobText() const {
  std::unique_ptr<TKeelBlobStream> stream = dataSet_.CreateBlobStream(*this, TBlobStreamMode::bmRead);
  std::string bytes(stream->Size(), '\0');
  stream->Read({reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()});
  return bytes;
}

void TKeelField::setBlobText(const std::string& bytes) {
  std::unique_ptr<TKeelBlobStream> stream = dataSet_.CreateBlobStream(*this, TBlobStreamMode::bmWrite);
  stream->Write({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  dataSet_.Notify(TDataEvent::deRecordChange);
}

// ---- typed access ----

std::string TKeelField::AsString() const {
  if (IsNull()) return {};
  if (IsBlob()) return DataType() == TFieldType::ftMemo ? AnsiToUtf8(blobText()) : blobText();
  const std::span<const uint8_t> bytes = storedBytes();
  if (IsTextType(descriptor_.type)) return AnsiToUtf8(TextOfStored(bytes));
  if (descriptor_.type == FieldType::Boolean) return LoadI16(bytes.data()) != 0 ? "True" : "False";
  if (std::optional<int64_t> value = LoadInteger(descriptor_.type, bytes)) return std::to_string(*value);
  if (descriptor_.type == FieldType::Float) return NumberText(LoadF64(bytes.data()));
  return FormatFieldText(descriptor_, bytes);
}

void TKeelField::SetAsString(const std::string& text) {
  if (IsBlob()) {
    setBlobText(DataType() == TFieldType::ftMemo ? Utf8ToAnsi(text) : text);
    return;
  }
  if (IsTextType(descriptor_.type)) {
    SetFieldText(dataSet_.writeBuffer(*this), descriptor_, Utf8ToAnsi(text), dataSet_.locale());
    dataSet_.Notify(TDataEvent::deRecordChange);
    return;
  }
  if (TrimBlanks(text).empty()) {
    Clear();
    return;
  }
  if (descriptor_.type == FieldType::Boolean) {
    if (SameName(text, "True") || SameName(text, "T")) return SetAsBoolean(true);
    if (SameName(text, "False") || SameName(text, "F")) return SetAsBoolean(false);
    invalidValue(text);
  }
  if (RangeOf(descriptor_.type)) {
    std::optional<int64_t> value = ParseInteger(text);
    if (!value) invalidValue(text);
    return SetAsInteger(*value);
  }
  if (descriptor_.type == FieldType::Float) {
    std::optional<double> value = ParseFloat(text);
    if (!value) invalidValue(text);
    return SetAsFloat(*value);
  }
  std::optional<std::vector<uint8_t>> stored = ParseFieldText(descriptor_, Utf8ToAnsi(TrimBlanks(text)));
  if (!stored) invalidValue(text);
  store(*stored);
}

int64_t TKeelField::AsInteger() const {
  if (IsNull()) return 0;
  const std::span<const uint8_t> bytes = storedBytes();
  if (std::optional<int64_t> value = LoadInteger(descriptor_.type, bytes)) return *value;
  if (descriptor_.type == FieldType::Float) return std::llround(LoadF64(bytes.data()));
  if (IsTextType(descriptor_.type)) {
    const std::string text = AsString();
    std::optional<int64_t> value = ParseInteger(text);
    if (!value) invalidValue(text);
    return *value;
  }
  wrongType("Integer");
}

void TKeelField::SetAsInteger(int64_t value) {
  if (std::optional<IntegerRange> range = RangeOf(descriptor_.type)) {
    if (value < range->low || value > range->high) {
      DatabaseError(db_messages::kOutOfRange,
                    {std::to_string(value), name_, std::to_string(range->low), std::to_string(range->high)});
    }
    store(StoredInteger(descriptor_.type, value));
  } else if (descriptor_.type == FieldType::Boolean) {
    SetAsBoolean(value != 0);
  } else if (descriptor_.type == FieldType::Float) {
    SetAsFloat(static_cast<double>(value));
  } else if (IsTextType(descriptor_.type) || descriptor_.type == FieldType::Bcd) {
    SetAsString(std::to_string(value));
  } else {
    wrongType("Integer");
  }
}

bool TKeelField::AsBoolean() const {
  if (IsNull()) return false;
  if (descriptor_.type == FieldType::Boolean) return LoadI16(storedBytes().data()) != 0;
  if (IsTextType(descriptor_.type)) {
    const std::string text = AsString();
    if (SameName(text, "True") || SameName(text, "T")) return true;
    if (SameName(text, "False") || SameName(text, "F")) return false;
    invalidValue(text);
  }
  wrongType("Boolean");
}

void TKeelField::SetAsBoolean(bool value) {
  if (descriptor_.type == FieldType::Boolean) {
    store(StoredInteger(FieldType::Boolean, value ? 1 : 0));
  } else if (IsTextType(descriptor_.type)) {
    SetAsString(value ? "True" : "False");
  } else {
    wrongType("Boolean");
  }
}

double TKeelField::AsFloat() const {
  if (IsNull()) return 0.0;
  const std::span<const uint8_t> bytes = storedBytes();
  if (descriptor_.type == FieldType::Float) return LoadF64(bytes.data());
  if (descriptor_.type == FieldType::Bcd) return BcdToCurrency(bytes);
  if (IsTemporal(descriptor_.type)) return AsDateTime();
  if (std::optional<int64_t> value = LoadInteger(descriptor_.type, bytes)) return static_cast<double>(*value);
  if (IsTextType(descriptor_.type)) {
    const std::string text = AsString();
    std::optional<double> value = ParseFloat(text);
    if (!value) invalidValue(text);
    return *value;
  }
  wrongType("Float");
}

void TKeelField::SetAsFloat(double value) {
  if (!std::isfinite(value)) invalidValue(NumberText(value));
  if (descriptor_.type == FieldType::Float) {
    std::vector<uint8_t> bytes(8);
    StoreF64(bytes.data(), value);
    store(bytes);
  } else if (IsTemporal(descriptor_.type)) {
    SetAsDateTime(value);
  } else if (RangeOf(descriptor_.type)) {
    SetAsInteger(std::llround(value));
  } else if (IsTextType(descriptor_.type) || descriptor_.type == FieldType::Bcd) {
    SetAsString(NumberText(value));
  } else {
    wrongType("Float");
  }
}

double TKeelField::AsDateTime() const {
  if (IsNull()) return 0.0;
  const std::span<const uint8_t> bytes = storedBytes();
  switch (descriptor_.type) {
    case FieldType::Date: return LoadI32(bytes.data()) - kDayNumberOf18991230;
    case FieldType::Time: return LoadI32(bytes.data()) / kMsPerDay;
    case FieldType::Timestamp: {
      const double total = LoadF64(bytes.data());
      const double day = std::floor(total / kMsPerDay);
      return day - kDayNumberOf18991230 + (total - day * kMsPerDay) / kMsPerDay;
    }
    case FieldType::Float: return LoadF64(bytes.data());
    default: wrongType("DateTime");
  }
}

void TKeelField::SetAsDateTime(double value) {
  if (!std::isfinite(value)) invalidValue(NumberText(value));
  const double day = std::floor(value);
  const double ms = std::round((value - day) * kMsPerDay);
  const double dayNumber = day + kDayNumberOf18991230;
  const bool dated = descriptor_.type == FieldType::Date || descriptor_.type == FieldType::Timestamp;
  if (dated && (dayNumber < 1 || dayNumber > kLastDayNumber)) invalidValue(NumberText(value));
  std::vector<uint8_t> bytes(8);
  switch (descriptor_.type) {
    case FieldType::Date:
      bytes.resize(4);
      StoreI32(bytes.data(), static_cast<int32_t>(dayNumber));
      break;
    case FieldType::Time:
      bytes.resize(4);
      StoreI32(bytes.data(), static_cast<int32_t>(ms));
      break;
    case FieldType::Timestamp: StoreF64(bytes.data(), dayNumber * kMsPerDay + ms); break;
    case FieldType::Float: StoreF64(bytes.data(), value); break;
    default: wrongType("DateTime");
  }
  store(bytes);
}

}  // namespace keel
