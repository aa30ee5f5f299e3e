#pragma once

// Shared pieces of the index tests: tables of fields, rows, in-memory index
// files, and the engine-error expectation.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/EngineFile.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/FieldTypes.h"
#include "engine/core/FileRegistry.h"
#include "engine/core/IndexFile.h"

namespace keel::index_testing {

#define EXPECT_ENGINE_ERROR(statement, expectedCode)                                             \
  do {                                                                                           \
    try {                                                                                        \
      statement;                                                                                 \
      ADD_FAILURE() << "expected engine error " << static_cast<int>(expectedCode);               \
    } catch (const ::keel::EKeelEngineError& error) {                                            \
      EXPECT_EQ(static_cast<int>(error.code()), static_cast<int>(expectedCode)) << error.what(); \
    }                                                                                            \
  } while (false)

struct FieldShape {
  FieldType type;
  uint16_t size = 0;  // strings and bytes
};

// User fields laid out from row offset 25 as a table would have them.
inline std::vector<FieldDescriptor> MakeFields(const std::vector<FieldShape>& shapes) {
  std::vector<FieldDescriptor> fields;
  uint16_t offset = 25;
  for (const FieldShape& shape : shapes) {
    FieldDescriptor f;
    f.number = static_cast<uint16_t>(fields.size() + 1);
    f.name = "F" + std::to_string(f.number);
    f.type = shape.type;
    f.size = shape.size;
    f.dataLength = StoredLength(shape.type, FieldSubtype::None, shape.size);
    f.offset = offset;
    offset = static_cast<uint16_t>(offset + 1 + f.dataLength);
    fields.push_back(f);
  }
  return fields;
}

// A row buffer with a RecordID and field values in stored form.
class Row {
 public:
  Row(const std::vector<FieldDescriptor>& fields, int32_t recordId) : fields_(fields) {
    size_t end = 25;
    for (const auto& f : fields) end = f.offset + 1u + f.dataLength;
    bytes_.assign((end + 7) / 8 * 8, 0);
    StoreI32(bytes_.data() + 5, recordId);
  }
  Row& integer(int field, int32_t value) {
    uint8_t* p = slot(field);
    p[0] = 1;
    StoreI32(p + 1, value);
    return *this;
  }
  Row& text(int field, const std::string& value) {
    uint8_t* p = slot(field);
    p[0] = value.empty() ? 0 : 1;
    std::copy(value.begin(), value.end(), p + 1);
    return *this;
  }
  Row& raw(int field, const std::vector<uint8_t>& value) {
    uint8_t* p = slot(field);
    p[0] = 1;
    std::copy(value.begin(), value.end(), p + 1);
    return *this;
  }
  Row& null(int field) {
    slot(field)[0] = 0;
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  uint8_t* slot(int field) { return bytes_.data() + fields_[static_cast<size_t>(field - 1)].offset; }
  const std::vector<FieldDescriptor>& fields_;
  std::vector<uint8_t> bytes_;
};

// Index files living in the registry's memory, written and read as bytes.
class MemoryFiles {
 public:
  std::unique_ptr<TIndexFile> indexFile(const std::string& path, size_t pageSize) {
    TIndexFile::Options options;
    options.tableName = "T";
    options.pageSize = pageSize;
    return std::make_unique<TIndexFile>(registry_, path, EngineFileFlags{.inMemory = true}, options);
  }
  void put(const std::string& path, const std::vector<uint8_t>& bytes) {
    TEngineFile file(registry_, path, EngineFileFlags{.inMemory = true});
    file.create();
    file.write(0, bytes.data(), bytes.size());
    file.close();
  }
  std::vector<uint8_t> get(const std::string& path) {
    TEngineFile file(registry_, path, EngineFileFlags{.inMemory = true});
    file.open();
    std::vector<uint8_t> bytes(file.size());
    file.read(0, bytes.data(), bytes.size());
    file.close();
    return bytes;
  }
  TFileRegistry& registry() { return registry_; }

 private:
  TFileRegistry registry_;
};

inline std::vector<uint8_t> Hex(std::string_view text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return bytes;
}

}  // namespace keel::index_testing
