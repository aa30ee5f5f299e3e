#include "kinship/KinshipTerms.h"

#include <array>
#include <string_view>

namespace mindrel {

namespace {

// The person's own word, by sex.
struct TWords {
  const char* Male;
  const char* Female;
  const char* Unknown;
};
constexpr TWords kParent{"father", "mother", "parent"};
constexpr TWords kChild{"son", "daughter", "child"};
constexpr TWords kSibling{"brother", "sister", "sibling"};
constexpr TWords kParentsSibling{"uncle", "aunt", "uncle or aunt"};
constexpr TWords kSiblingsChild{"nephew", "niece", "nephew or niece"};
constexpr TWords kSpouse{"husband", "wife", "spouse"};

const char* WordFor(const TWords& words, TSex sex) {
  return sex == TSex::Male ? words.Male : sex == TSex::Female ? words.Female : words.Unknown;
}

// "1st", "2nd", "3rd", "4th" ... "11th", "12th", "13th", "21st".
std::string NumberedOrdinal(std::uint32_t n) {
  const std::uint32_t lastTwo = n % 100;
  const char* suffix = "th";
  if (lastTwo < 11 || lastTwo > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

// Cousins are counted in words up to the tenth, as they are usually written.
std::string CousinOrdinal(std::uint32_t n) {
  static constexpr std::array<const char*, 10> kWords = {"first",   "second", "third", "fourth", "fifth",
                                                         "sixth",   "seventh", "eighth", "ninth", "tenth"};
  return n >= 1 && n <= kWords.size() ? kWords[n - 1] : NumberedOrdinal(n);
}

std::string Removed(std::uint32_t times) {
  static constexpr std::array<const char*, 10> kTimes = {"once",  "twice", "three times", "four times",
                                                         "five times", "six times", "seven times",
                                                         "eight times", "nine times", "ten times"};
  if (times == 0) return "";
  if (times <= kTimes.size()) return std::string(" ") + kTimes[times - 1] + " removed";
  return " " + std::to_string(times) + " times removed";
}

// Words of one generation that take "step" without a hyphen.
bool ClosedStepWord(std::string_view term) {
  for (const TWords& words : {kParent, kChild, kSibling, kParentsSibling}) {
    if (term == words.Male || term == words.Female || term == words.Unknown) return true;
  }
  return false;
}

}  // namespace

std::string TKinshipTerms::Greats(std::uint32_t count) {
  if (count == 0) return "";
  if (count == 1) return "great-";
  return NumberedOrdinal(count) + " great-";
}

std::string TKinshipTerms::Ancestor(std::uint32_t generations, TSex sex) {
  const char* parent = WordFor(kParent, sex);
  if (generations == 1) return parent;
  return Greats(generations - 2) + "grand" + parent;
}

std::string TKinshipTerms::Descendant(std::uint32_t generations, TSex sex) {
  // The grandchild of unknown sex is a "grandchild", as the son is a "grandson".
  const char* child = WordFor(kChild, sex);
  if (generations == 1) return child;
  return Greats(generations - 2) + "grand" + child;
}

std::string TKinshipTerms::Cousin(std::uint32_t up, std::uint32_t down) {
  const std::uint32_t nearer = up < down ? up : down;
  const std::uint32_t removed = up < down ? down - up : up - down;
  return CousinOrdinal(nearer - 1) + " cousin" + Removed(removed);
}

std::string TKinshipTerms::Blood(std::uint32_t up, std::uint32_t down, TSex sex) {
  if (up == 0 && down == 0) return "you";
  if (down == 0) return Ancestor(up, sex);
  if (up == 0) return Descendant(down, sex);
  if (up == 1 && down == 1) return WordFor(kSibling, sex);
  if (up == 1) return Greats(down - 2) + WordFor(kSiblingsChild, sex);
  if (down == 1) return Greats(up - 2) + WordFor(kParentsSibling, sex);
  return Cousin(up, down);
}

std::string TKinshipTerms::Step(const std::string& term) {
  return (ClosedStepWord(term) ? "step" : "step-") + term;
}

std::string TKinshipTerms::RelativesSpouse(const TKinship& kinship, TSex sex) {
  const std::uint32_t up = kinship.Up;
  const std::uint32_t down = kinship.Down;
  if (up == 0 && down == 0) return WordFor(kSpouse, sex);
  // An ancestor's spouse who is no ancestor: a stepparent.
  if (down == 0) return Step(Ancestor(up, sex));
  // A descendant's or a sibling's spouse.
  if (up == 0 || (up == 1 && down == 1)) return Blood(up, down, sex) + "-in-law";
  return Blood(up, down, sex) + " by marriage";
}

std::string TKinshipTerms::Term(const TKinship& kinship, TSex sex) {
  switch (kinship.Path) {
    case TKinship::TPath::None:
      return "";
    case TKinship::TPath::Blood: {
      std::string term = Blood(kinship.Up, kinship.Down, sex);
      if (!kinship.Half) return term;
      // "half-brother", but "half first cousin": the cousin's degree stays
      // with the cousin.
      return (kinship.Up >= 2 && kinship.Down >= 2 ? "half " : "half-") + term;
    }
    case TKinship::TPath::RelativesSpouse:
      return RelativesSpouse(kinship, sex);
    case TKinship::TPath::StepDescendant:
      return Step(Blood(kinship.Up, kinship.Down + kinship.MarriedDown, sex));
    case TKinship::TPath::SpousesRelative:
      // The spouse's own relatives are in-laws; a stepparent's relatives are
      // step-relatives, as if the stepparent were a parent.
      if (kinship.Up == 0) return Blood(kinship.MarriedUp, kinship.MarriedDown, sex) + "-in-law";
      return Step(Blood(kinship.Up + kinship.MarriedUp, kinship.MarriedDown, sex));
  }
  return "";
}

std::string TKinshipTerms::Phrase(const TKinship& kinship, TSex sex) {
  if (!kinship.Related()) return "";
  if (kinship.Self()) return "you";
  return "your " + Term(kinship, sex);
}

}  // namespace mindrel
