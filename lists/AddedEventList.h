#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <string>

namespace keel {
class TKeelTable;
}

namespace mindrel {

// What the window's radio buttons and spin edits say about an event.
struct TEventInputs {
  bool Annual = false;
  int Day = 1;
  int Month = 1;
  int Year = 2000;

  bool operator==(const TEventInputs&) const = default;
};

// The user's own events, "Events.dat": fixed events with a year, annual
// ones without. Wraps the open table for the window.
class TAddedEventList {
 public:
  static constexpr std::int16_t kFixedType = 4;
  static constexpr std::int16_t kAnnualType = 5;
  static constexpr int kSectionCount = 2;

  // month 1..12 to its abbreviated name in the user's locale.
  using MonthNames = std::function<std::string(int month)>;

  TAddedEventList(keel::TKeelTable& table, MonthNames monthNames) : table_(table), monthNames_(std::move(monthNames)) {}

  keel::TKeelTable& Table() { return table_; }

  // Whether the inputs name a day that exists: a fixed event in its own
  // year, an annual one in some year (29 February included).
  static bool DateExists(const TEventInputs& inputs);

  // Writes the date fields and the event type of the record being edited or
  // inserted; false, with nothing written, when the date does not exist.
  bool CompleteRecord(const TEventInputs& inputs);

  // The inputs that show the current record; an annual event keeps the year
  // of `current`, and values outside the spin edits' ranges stand at the
  // nearest bound.
  TEventInputs ShownInputs(const TEventInputs& current) const;

  bool HasRecords() const;
  bool Editing() const;

  // Header section 0 orders by description, 1 by date.
  void SelectOrder(int section);
  // The section whose order is in force, -1 for another order.
  int BoldSection() const;

 private:
  keel::TKeelTable& table_;
  MonthNames monthNames_;
};

}  // namespace mindrel
