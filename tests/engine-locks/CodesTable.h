#pragma once

// A small real table for the tests that read and write through cursors, in
// this process and in the helper program: "Codes" with an integer Code
// (unique index "ByCode") and a Name that always reads "row <Code>", so a
// row put together from two versions shows at once.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/FieldCodec.h"

namespace keel::testing {

inline TableCreateRequest CodesTable(const std::string& name = "Codes") {
  TableCreateRequest request;
  request.name = name;
  FieldDescriptor code;
  code.name = "Code";
  code.type = FieldType::Integer;
  FieldDescriptor text;
  text.name = "Name";
  text.type = FieldType::String;
  text.size = 20;
  request.fields = {code, text};
  IndexDescriptor byCode;
  byCode.name = "ByCode";
  byCode.unique = true;
  byCode.fields.push_back({1, false});
  request.secondaries = {byCode};
  return request;
}

inline std::string NameFor(int32_t code) {
  return "row " + std::to_string(code);
}

inline std::vector<uint8_t> CodeRow(TDataCursor& cursor, int32_t code) {
  std::vector<uint8_t> row = cursor.newRow();
  std::vector<uint8_t> value(4);
  StoreI32(value.data(), code);
  SetFieldValue(row, cursor.field("Code"), value, 0);
  SetFieldText(row, cursor.field("Name"), NameFor(code), 0);
  return row;
}

inline int32_t CodeIn(TDataCursor& cursor, std::span<const uint8_t> row) {
  return LoadI32(GetField(row, cursor.field("Code")).bytes.data());
}

// The row's Name belongs to its Code.
inline bool WholeRow(TDataCursor& cursor, std::span<const uint8_t> row) {
  const FieldDescriptor& name = cursor.field("Name");
  return FormatFieldText(name, GetField(row, name).bytes) == NameFor(CodeIn(cursor, row));
}

inline void AppendCodes(TDataCursor& cursor, int32_t from, int32_t to, int32_t step = 1) {
  for (int32_t code = from; code <= to; code += step) {
    std::vector<uint8_t> row = CodeRow(cursor, code);
    cursor.append(row);
  }
}

// Deletes the row of `code` through the cursor's ByCode order; false when
// there is none.
inline bool DeleteCode(TDataCursor& cursor, int32_t code) {
  cursor.setIndex("ByCode");
  if (!cursor.findKey(CodeRow(cursor, code))) return false;
  std::vector<uint8_t> row(cursor.rowSize());
  if (cursor.currentRow(row) != Nav::Ok) return false;
  cursor.remove(row);
  return true;
}

}  // namespace keel::testing
