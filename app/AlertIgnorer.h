#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/AlertList.h"
#include "app/GedcomScanSources.h"
#include "lists/IgnoreList.h"

namespace keel {
class TKeelTable;
}

namespace mindrel {

// Puts the people behind selected alerts on the ignore list and takes the
// handled alerts out of the list. Person alerts name their person, family
// alerts every partner of the family; alerts of added events stay. A GEDCOM
// file's people and couples are read from the file, once per call.
class TAlertIgnorer {
 public:
  // The people and links tables are pointed at each alert's folder in turn
  // and closed again; the ignore list is left in the order it had.
  TAlertIgnorer(keel::TKeelTable& people, keel::TKeelTable& links, TIgnoreList& ignoreList)
      : people_(people), links_(links), ignoreList_(ignoreList) {}

  // `selected[i]` tells whether alert i is selected; `eventItems` are the
  // texts of the event list, named by the entries' EventIndex. With `all`
  // every event of the people is ignored, else the alert's event type.
  // `removed(i)` hears of each alert taken out, at the index it had at that
  // moment, after it left `alerts` (and `selected`).
  //
  // An alert that stays: an added event; a person that has gone from the
  // tree; and, for a single event type, an alert whose event type has gone
  // from the event list since the scan (there is no name to record).
  void Ignore(TAlertList& alerts, std::vector<bool>& selected, bool all, const std::vector<std::string>& eventItems,
              const std::function<void(int)>& removed);

 private:
  bool FindPerson(std::int32_t code);
  bool IgnoreEntry(const TOPObj& entry, const std::string& eventName, bool all);
  bool IgnoreFamily(const TOPObj& entry, const std::string& eventName, bool all);
  bool IgnoreGedcomEntry(const TOPObj& entry, const std::string& eventName, bool all);

  keel::TKeelTable& people_;
  keel::TKeelTable& links_;
  TIgnoreList& ignoreList_;
  TGedcomSource gedcom_;
};

}  // namespace mindrel
