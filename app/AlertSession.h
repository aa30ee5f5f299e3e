#pragma once

#include <string>

#include "app/AlertList.h"
#include "app/AlertScan.h"
#include "engine/components/KeelQuery.h"
#include "engine/components/KeelTable.h"
#include "platform/Clock.h"

namespace mindrel {

// The datasets Mindrel works with for the whole run: its own ignore and
// added-events tables in the data folder, and the family-tree tables and the
// query that a scan points at each folder in turn. Shared by the window and
// the terminal listing, so both start and scan alike.
class TAlertSession {
 public:
  TAlertSession();

  // Sets the engine's private folder and temporary-file extensions, and opens
  // (creating when needed) "Ignore.dat" and "Events.dat" in the data folder.
  void Initialize(const std::string& dataFolder);

  // Runs the scan over the folders of the options into `alerts`.
  void RefreshOutputList(const TScanOptions& options, const Clock& clock, TAlertList& alerts);

  keel::TKeelTable& IgnoreTable() { return ignoreTable_; }
  keel::TKeelTable& EventsTable() { return eventsTable_; }
  // Closed between uses; whoever points them at a folder closes them again.
  keel::TKeelTable& PeopleTable() { return peopleTable_; }
  keel::TKeelTable& LinksTable() { return linksTable_; }

 private:
  keel::TKeelTable peopleTable_;
  keel::TKeelTable familiesTable_;
  keel::TKeelTable linksTable_;
  keel::TKeelQuery query_;
  keel::TKeelTable ignoreTable_;
  keel::TKeelTable eventsTable_;
};

}  // namespace mindrel
