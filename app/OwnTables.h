#pragma once

#include <string>

namespace keel {
class TKeelTable;
}

namespace mindrel {

// Mindrel's own tables in its data folder: "Ignore.dat" (people left out of
// the alerts) and "Events.dat" (the user's added events). Opening a table
// that cannot be opened creates it with its fixed schema and opens it then;
// an error of the creation or of that second open is not caught.
class TOwnTables {
 public:
  static void OpenIgnoreTable(keel::TKeelTable& table, const std::string& dataFolder);
  static void OpenEventsTable(keel::TKeelTable& table, const std::string& dataFolder);

  // The schemas, put into the table's field and index definitions.
  static void DefineIgnoreTable(keel::TKeelTable& table);
  static void DefineEventsTable(keel::TKeelTable& table);
};

}  // namespace mindrel
