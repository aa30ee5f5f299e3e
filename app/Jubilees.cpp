#include "app/Jubilees.h"

#include <algorithm>

namespace mindrel {

namespace {

constexpr int kLargestNumber = 9999;

const std::array<std::string, TJubilees::kKinds> kDefaultTexts = {
    "18, 21, 30, 40, 50, 60, 65, 70, 75, 80, 90, 100",
    "10, 25, 40, 50, 60, 65, 70, 75",
    "*25",
};

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t'; }

}  // namespace

TJubilees::TJubilees() {
  for (int kind = 0; kind < kKinds; ++kind) SetText(static_cast<Kind>(kind), DefaultText(static_cast<Kind>(kind)));
}

const std::string& TJubilees::DefaultText(Kind kind) { return kDefaultTexts[kind]; }

bool TJubilees::SetText(Kind kind, const std::string& text) {
  TNumbers numbers;
  if (!Parse(text, numbers)) return false;
  texts_[kind] = text;
  numbers_[kind] = std::move(numbers);
  return true;
}

bool TJubilees::Parse(const std::string& text, TNumbers& numbers) {
  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && IsSeparator(text[at])) ++at;
    if (at == text.size()) return true;
    const bool every = text[at] == '*';
    if (every) ++at;
    int value = 0;
    const std::size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= kLargestNumber) {
      value = value * 10 + (text[at++] - '0');
    }
    const bool ended = at == text.size() || IsSeparator(text[at]);
    if (at == digits || !ended || value < 1 || value > kLargestNumber) return false;
    (every ? numbers.EveryMultipleOf : numbers.Exactly).push_back(value);
  }
}

TJubilees::Kind TJubilees::KindOf(const TOPObj& entry) {
  if (entry.EventIndex == kBirth) return kBirthdays;
  if (entry.EventIndex == kMarriage) return kWeddings;
  return kOtherEvents;
}

bool TJubilees::Holds(const TOPObj& entry) const {
  if (entry.YearUnknown || entry.Kind == "AA" || entry.Years < 1) return false;
  const TNumbers& numbers = numbers_[KindOf(entry)];
  const int years = entry.Years;
  return std::find(numbers.Exactly.begin(), numbers.Exactly.end(), years) != numbers.Exactly.end() ||
         std::any_of(numbers.EveryMultipleOf.begin(), numbers.EveryMultipleOf.end(),
                     [years](int step) { return years % step == 0; });
}

}  // namespace mindrel
