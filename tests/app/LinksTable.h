#pragma once

// A family-tree folder's "Links.dat" as the family-tree program lays it out:
// one row per link (type "P" partner or "C" child, the family, the person),
// with the "CFMIdx" index the scan and the ignore list walk.

#include <initializer_list>
#include <string>
#include <tuple>

#include "engine/components/KeelField.h"
#include "engine/components/KeelTable.h"

namespace mindrel::testing {

// `personIndex`: also an index led by the person, as some folders have.
inline void CreateLinksTable(const std::string& folder,
                             std::initializer_list<std::tuple<const char*, int, int>> links,
                             bool personIndex = false) {
  keel::TKeelTable table;
  table.SetDatabaseName(folder);
  table.SetTableName("Links.dat");
  table.FieldDefs().Add("LinkID", keel::TFieldType::ftAutoInc);
  table.FieldDefs().Add("RecType", keel::TFieldType::ftString, 1);
  table.FieldDefs().Add("ChildMarr", keel::TFieldType::ftInteger);
  table.FieldDefs().Add("PersFam", keel::TFieldType::ftInteger);
  table.IndexDefs().Add("", "LinkID", keel::ixPrimary | keel::ixUnique);
  table.IndexDefs().Add("CFMIdx", "RecType;ChildMarr");
  if (personIndex) table.IndexDefs().Add("PersonIdx", "PersFam;RecType");
  table.CreateTableFromDefs();
  table.Open();
  for (const auto& [type, family, person] : links) {
    table.Append();
    table.FieldByName("RecType").SetAsString(type);
    table.FieldByName("ChildMarr").SetAsInteger(family);
    table.FieldByName("PersFam").SetAsInteger(person);
    table.Post();
  }
}

}  // namespace mindrel::testing
