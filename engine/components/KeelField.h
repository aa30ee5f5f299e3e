#pragma once

// One column of an open dataset. Reads and writes go to the dataset's record
// buffer of the moment (the current record, the record being edited or the
// key being entered) in the engine's stored form; texts cross into UTF-8
// here. A NULL reads as "", 0, false or 0.0.

#include <cstdint>
#include <span>
#include <string>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/FieldTypes.h"

namespace keel {

class TKeelDataSet;

class TKeelField {
 public:
  TKeelField(TKeelDataSet& dataSet, const FieldDescriptor& descriptor, TFieldType type, uint16_t size, int index);
  TKeelField(const TKeelField&) = delete;
  TKeelField& operator=(const TKeelField&) = delete;

  TKeelDataSet& DataSet() const { return dataSet_; }
  const FieldDescriptor& Descriptor() const { return descriptor_; }
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  uint16_t Size() const { return size_; }
  bool Required() const { return required_; }
  // 0-based position among the dataset's fields.
  int Index() const { return index_; }
  bool IsBlob() const { return descriptor_.isBlob(); }
  // Bytes of the raw value: the stored length (a string's includes its zero).
  size_t DataSize() const { return descriptor_.dataLength; }

  std::string DisplayLabel;
  bool ReadOnly = false;

  bool IsNull() const;
  // Copies the stored value (for ftBytes exactly Size() bytes) into `buffer`,
  // which must hold DataSize() bytes; false, with the buffer untouched, for
  // NULL.
  bool GetData(std::span<uint8_t> buffer) const;
  // Writes a stored value of DataSize() bytes.
  void SetData(std::span<const uint8_t> value);
  void Clear();
  // Copies the other field's value, NULL included.
  void Assign(const TKeelField& other);

  std::string AsString() const;
  void SetAsString(const std::string& text);
  int64_t AsInteger() const;
  void SetAsInteger(int64_t value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  double AsFloat() const;
  void SetAsFloat(double value);
  // Days since 1899-12-30, the time of day as the fraction.
  double AsDateTime() const;
  void SetAsDateTime(double value);

 private:
  std::span<const uint8_t> storedBytes() const;
  void store(std::span<const uint8_t> bytes);
  std::string blobText() const;
  void setBlobText(const std::string& bytes);
  [[noreturn]] void wrongType(const char* typeName) const;
  [[noreturn]] void invalidValue(const std::string& text) const;

  TKeelDataSet& dataSet_;
  FieldDescriptor descriptor_;
  std::string name_;
  TFieldType type_;
  uint16_t size_;
  bool required_;
  int index_;
};

}  // namespace keel
