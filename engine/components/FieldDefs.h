#pragma once

// Field definitions of a table (TKeelFieldDef and its collection): what a
// table is created from, and what an opened table reports of its columns.
// Names and texts are UTF-8 here; the table stores them in its single-byte
// code page.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/FieldTypes.h"

namespace keel {

enum class TFieldCharCase { fcNoChange, fcLowerCase, fcUpperCase };

struct TKeelFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  uint16_t Size = 0;
  bool Required = false;
  std::string DefaultValue;
  std::string MinValue;
  std::string MaxValue;
  std::string Description;
  TFieldCharCase CharCase = TFieldCharCase::fcNoChange;
  uint8_t Compression = 0;

  // The definition of an opened table's column.
  static TKeelFieldDef FromDescriptor(const FieldDescriptor& descriptor);
  // The column descriptor to create; "Field name missing" and "Invalid field
  // size" are raised here, before the engine sees the definition.
  FieldDescriptor ToDescriptor() const;
};

class TKeelFieldDefs {
 public:
  TKeelFieldDef& Add(const std::string& name, TFieldType type, uint16_t size = 0, bool required = false);
  void Clear() { defs_.clear(); }
  size_t Count() const { return defs_.size(); }
  const TKeelFieldDef& operator[](size_t i) const { return defs_.at(i); }
  TKeelFieldDef& operator[](size_t i) { return defs_.at(i); }
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

 private:
  std::vector<TKeelFieldDef> defs_;
};

}  // namespace keel
