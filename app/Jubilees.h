#pragma once

#include <array>
#include <string>
#include <vector>

#include "formats/OPObj.h"

namespace mindrel {

// The round anniversaries that matter more than the others: numbers of
// birthdays, of wedding anniversaries and of every other event (a death, a
// yahrzeit, an added fixed event, a date column of the user's own). Each is
// kept as the text the user edits: numbers separated by commas or blanks,
// where "*25" stands for every 25th.
class TJubilees {
 public:
  enum Kind : int { kBirthdays, kWeddings, kOtherEvents, kKinds };

  // The built-in numbers: birthdays 18, 21, 30, 40, 50, 60, 65, 70, 75, 80,
  // 90 and 100; weddings 10, 25, 40, 50, 60, 65, 70 and 75; every 25th of
  // other events.
  TJubilees();

  static const std::string& DefaultText(Kind kind);
  // The text as the user wrote it.
  const std::string& Text(Kind kind) const { return texts_[kind]; }
  // Takes the text when it is a list of numbers from 1 to 9999 (empty: none
  // of that kind); otherwise false, and the list stays as it was.
  bool SetText(Kind kind, const std::string& text);

  // The entry's count is one of its kind's numbers. Entries without a count
  // (a year nobody recorded, an annual event) are never jubilees.
  bool Holds(const TOPObj& entry) const;

  bool operator==(const TJubilees& other) const { return texts_ == other.texts_; }

 private:
  struct TNumbers {
    std::vector<int> Exactly;
    std::vector<int> EveryMultipleOf;
  };
  static bool Parse(const std::string& text, TNumbers& numbers);
  static Kind KindOf(const TOPObj& entry);

  std::array<std::string, kKinds> texts_;
  std::array<TNumbers, kKinds> numbers_;
};

}  // namespace mindrel
