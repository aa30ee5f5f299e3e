#pragma once

#include <string>
#include <vector>

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
  // (creating or repairing when needed) "Ignore.dat" and "Events.dat" in the
  // data folder; every write to them reaches the disk before it returns.
  void Initialize(const std::string& dataFolder);
  // What opening the own tables must tell the user (a repair's losses, a
  // table set aside); one message each.
  const std::vector<std::string>& OwnTableMessages() const { return ownTableMessages_; }

  // Runs the scan over the folders and GEDCOM files of the options into
  // `alerts`. Answers the messages of custom date columns that could not be
  // scanned and of GEDCOM files that could not be read (naming the file and
  // the line), and what the relationships to a home person have to tell;
  // the other sources are scanned all the same.
  std::vector<std::string> RefreshOutputList(const TScanOptions& options, const Clock& clock, TAlertList& alerts);
  // The sources of the last scan whose home person has gone from the tree.
  const std::vector<std::string>& LostHomes() const { return lostHomes_; }

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
  std::vector<std::string> ownTableMessages_;
  std::vector<std::string> lostHomes_;
};

}  // namespace mindrel
