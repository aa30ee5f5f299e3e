#pragma once

#include <string>

#include "platform/Clock.h"

namespace keel {
class TKeelTable;
}

namespace mindrel {

// Mindrel's own tables in its data folder: "Ignore.dat" (people left out of
// the alerts) and "Events.dat" (the user's added events). A missing table is
// created with its fixed schema. A table that cannot be opened, or that lost
// indexes of its schema, is repaired from its rows with the schema's indexes;
// one that cannot even be repaired is set aside under a new name
// ("Events.damaged-20261210-141500.dat", with its index and BLOB files) and
// made anew, so a damaged table never stops the start. Every readable row is
// kept. Opening answers what the user must be told: what a repair could not
// keep, or both names of a table set aside; empty when all went well. Errors
// of creating and opening a new table are not caught.
class TOwnTables {
 public:
  static std::string OpenIgnoreTable(keel::TKeelTable& table, const std::string& dataFolder,
                                     const Clock& clock = SystemClock::instance());
  static std::string OpenEventsTable(keel::TKeelTable& table, const std::string& dataFolder,
                                     const Clock& clock = SystemClock::instance());

  // The schemas, put into the table's field and index definitions.
  static void DefineIgnoreTable(keel::TKeelTable& table);
  static void DefineEventsTable(keel::TKeelTable& table);
};

}  // namespace mindrel
