#include "engine/sql/FieldColumns.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "engine/core/FieldTypes.h"
#include "engine/sql/ExpToken.h"

namespace keel {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool TFieldColumns::ResolveColumn(TExpToken& column) {
  for (const FieldDescriptor& field : fields_) {
    if (!SameName(field.name, column.ColumnName)) continue;
    column.Type = field.type;
    column.Subtype = field.subtype;
    column.Size = StoredLength(field.type, field.subtype, field.size);
    column.Decimals = field.decimals;
    column.FieldNumber = field.number;
    column.SourceNumber = 0;
    return true;
  }
  return false;
}

}  // namespace keel
