#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace keel {
class TKeelDataSet;
class TKeelTable;
}  // namespace keel

namespace mindrel {

// The ignore list, "Ignore.dat": people whose events the alerts leave out,
// for all their events or for the event types named in "Events". Wraps the
// open table; the window shows it, the alert list's menu adds to it.
class TIgnoreList {
 public:
  // The header sections of the window, one per order of the list.
  static constexpr int kSectionCount = 5;

  // A person as the list records it; a value the source lacks stays NULL.
  struct TPerson {
    std::int32_t Code = 0;
    std::optional<std::string> Firstnames;
    std::optional<std::string> Surname;
    std::optional<std::int64_t> BirthDay;  // day number of the birth
    std::optional<std::string> BirthText;  // the birth date as shown
    std::optional<std::string> BirthPlace;
  };

  explicit TIgnoreList(keel::TKeelTable& table) : table_(table) {}

  // The person on which a family tree's people table stands.
  static TPerson PersonOf(const keel::TKeelDataSet& people);

  keel::TKeelTable& Table() { return table_; }

  // "Tree [P12]": the folder's last path component, a blank and the code.
  static std::string DBCode(const std::string& folder, std::int32_t code);

  // Puts the person of the source `folder` (a family-tree folder or a
  // GEDCOM file) on the list: for all events, or for `eventName` (kept in
  // lower case, once) unless all are ignored already.
  // REQUIRES: the primary index of the list is selected.
  void IgnorePerson(const TPerson& person, const std::string& folder, const std::string& eventName, bool all);

  bool HasRecords() const;
  // "ALL EVENTS", the current record's events, or "" for an empty list.
  std::string EventsText() const;
  // Whether "&All" can widen the current record.
  bool CanIgnoreAll() const;
  // The current person's events widened to all of them.
  void IgnoreAllEvents();
  // Takes the current person off the list.
  void Reinstate();
  // Takes everybody off the list; the views hear of it once, at the end.
  void ReinstateAll();

  // Header section 0..4 to the order: folder and code, surname, first names,
  // birth date, birth place.
  void SelectOrder(int section);
  // The section whose order is in force.
  int BoldSection() const;

 private:
  keel::TKeelTable& table_;
};

}  // namespace mindrel
