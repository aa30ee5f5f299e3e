#pragma once

// Table schemas of `keel create` and the report of `keel info`.

#include <string>

#include "engine/core/DataCursor.h"
#include "engine/core/DataDirectory.h"
#include "tools/keel/Json.h"

namespace mindrel {

// Members not given take their defaults; unknown members, types and options
// raise EUsageError.
keel::TableCreateRequest SchemaToRequest(const TJsonValue& schema, const std::string& tableName);
TJsonValue TableInfo(keel::TDataCursor& cursor);

}  // namespace mindrel
