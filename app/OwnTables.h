#pragma once

#include <string>

#include "platform/Clock.h"

namespace keel {
class TKeelTable;
}

namespace mindrel {

// Mindrel's own tables in its data folder: "Ignore.dat" (people left out of
// the alerts) and "Events.dat" (the user's added events). A missing table is
// created with its fixed schema. An existing one is checked whole at every
// start, as a verification does; one that cannot be opened, fails the check
// or lost indexes of its schema is repaired in place from its rows with the
// schema's indexes, keeping every readable row. Only one none of whose rows
// can be read (no header, no descriptors) is set aside under a new name
// ("Events.damaged-20261210-141500.dat", with its index and BLOB files) and
// made anew, so a damaged table never stops the start. Opening answers what
// the user must be told, naming the file: how many entries a repair kept and
// what it could not keep, or why a table was set aside and both names; empty
// when nothing was lost. Errors of creating and opening a new table are not
// caught.
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
