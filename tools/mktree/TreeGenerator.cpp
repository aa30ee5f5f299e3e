#include "tools/mktree/TreeGenerator.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <stdexcept>

#include "tools/mktree/NameLists.h"

namespace mindrel {

namespace {

// Shares of the marriages made up: a widowed or divorced partner marrying
// again, a grown child marrying a first cousin, or another tree's child.
constexpr int kRemarriagePercent = 12;
constexpr int kCousinMarriagePercent = 15;
constexpr int kSingleMarriagePercent = 30;
// Nobody over this age at the end of a marriage marries again here.
constexpr int kLatestRemarriageAge = 60;

bool IsLeapYear(int astronomicalYear) {
  return IsLeapInternalYear(static_cast<std::int64_t>(astronomicalYear) + 12000);
}

// Forces a written date that is known to be valid; the fixed texts and the
// generated ones are all of this kind, so a failure is a fault here.
TTreeDate Written(const std::string& text) {
  std::optional<TTreeDate> date = TTreeDate::FromText(text);
  if (!date) throw std::logic_error("not a date: " + text);
  return *date;
}

// The full date `days` after a full date.
TTreeDate DaysAfter(const TTreeDate& date, int days) {
  const TDayMonthYear base = *date.Decoded();
  TJDate later;
  ClearJDate(later);
  later.JDay = DMYToJDay(base.Day, base.Month, base.Year, base.Ad) + days;
  TDayMonthYear dmy;
  JDateToDMY(later, dmy);
  return Written(WrittenDate(dmy.Day, dmy.Month, dmy.Ad ? dmy.Year : 1 - dmy.Year));
}

}  // namespace

TTreeGenerator::TTreeGenerator(const TGeneratorOptions& options)
    : options_(options),
      random_(options.Seed),
      todayJDay_(DMYToJDay(options.Today.day, options.Today.month, options.Today.year, true)),
      forcedBirthShapes_{Shape::Feb29, Shape::Phrase, Shape::NoYear, Shape::MonthYear, Shape::YearOnly,
                         Shape::Abt,   Shape::Aft,    Shape::Bef,    Shape::Est} {}

TFamilyTree TTreeGenerator::Generate() {
  if (options_.People >= 3) AddCoupleOfAntiquity();
  if (options_.People >= 5) AddNamelessCouple();
  while (Room()) AddGeneration();
  return std::move(tree_);
}

void TTreeGenerator::AddCoupleOfAntiquity() {
  auto add = [&](const char* first, const char* surname, char sex, const char* born, const char* died,
                 int birthYear) {
    TTreePerson person;
    person.Code = static_cast<std::int32_t>(tree_.People.size() + 1);
    person.FirstNames = first;
    person.Surname = surname;
    person.Sex = sex;
    person.Dead = true;
    person.Birth = Written(born);
    person.BirthPlace = "Roma";
    person.Death = Written(died);
    person.DeathPlace = "Roma";
    person.LastChanged = RecentDay();
    tree_.People.push_back(person);
    lives_.push_back({birthYear, birthYear + 50});
    married_.push_back(true);
    queued_.push_back(false);
    familiesOf_.emplace_back();
    return person.Code;
  };
  const std::int32_t father = add("Aulus", "Varro", 'M', "ABT 60 BC", "12 Mar 5 BC", -59);
  const std::int32_t mother = add("Calpurnia", "Drusa", 'F', "29 Feb 49 BC", "BEF 1 BC", -48);
  TTreeFamily& family = tree_.Families[static_cast<size_t>(Marry(father, mother).Code - 1)];
  family.Marriage = Written("15 Jun 30 BC");
  family.MarriagePlace = "Roma";
  family.Engagement = Written("2 Feb 31 BC");
  family.Divorce.reset();
  family.Status = "Widowed";
  const std::int32_t son = add("Gaius", "Varro", 'M', "10 Jun 28 BC", "AFT 20", -27);
  Person(son).ParentFamily = family.Code;
  family.Children.push_back(son);
  tree_.Links.push_back({'C', family.Code, son, 1});
}

void TTreeGenerator::AddNamelessCouple() {
  const std::int32_t father = NewPerson('M', LastYear() - 120, "", false);
  const std::int32_t mother = NewPerson('F', LastYear() - 118, "", false);
  for (std::int32_t code : {father, mother}) {
    Person(code).FirstNames.clear();
    Person(code).Surname.clear();
  }
  Marry(father, mother);
}

void TTreeGenerator::AddGeneration() {
  if (!free_.empty() && random_.Chance(kRemarriagePercent) && AddRemarriage()) return;
  std::int32_t first = NextSingle();
  if (first == 0) {
    // One draw after the other: the order in which a call's arguments are
    // worked out differs between compilers, and the tree must not.
    const std::string& surname = Pick(names::Surnames());
    const int birthYear = random_.Between(LastYear() - 190, LastYear() - 40);
    first = NewPerson('M', birthYear, surname, false);
  }
  const bool lonely = Person(first).Sex == 'F' && random_.Chance(5);
  if (lonely || !Room()) {
    // A mother whose partner nobody recorded still heads a family of her own.
    if (lonely) {
      const TMarriage marriage = Marry(0, first);
      AddChildren(tree_.Families[static_cast<size_t>(marriage.Code - 1)], marriage.Year);
    }
    return;
  }
  const char otherSex = Person(first).Sex == 'M' ? 'F' : 'M';
  std::int32_t partner = random_.Chance(kCousinMarriagePercent) ? WaitingCousin(first) : 0;
  if (partner == 0 && random_.Chance(kSingleMarriagePercent)) {
    // Another tree's grown child: their lines meet in the children.
    for (std::size_t i = 0; i < singles_.size() && partner == 0; ++i) {
      const std::int32_t other = singles_[i];
      if (!married_[static_cast<size_t>(other - 1)] && Person(other).Sex == otherSex) partner = other;
    }
  }
  if (partner != 0) {
    married_[static_cast<size_t>(partner - 1)] = true;
  } else {
    const int partnerBirth = std::min(Life(first).BirthYear + random_.Between(-5, 5), LastYear() - 17);
    partner = NewPerson(otherSex, partnerBirth, Pick(names::Surnames()), false);
  }
  const TMarriage marriage = otherSex == 'F' ? Marry(first, partner) : Marry(partner, first);
  AddChildren(tree_.Families[static_cast<size_t>(marriage.Code - 1)], marriage.Year);
}

std::int32_t TTreeGenerator::NextSingle() {
  while (!singles_.empty() && random_.Chance(75)) {
    const std::int32_t single = singles_.front();
    singles_.pop_front();
    if (married_[static_cast<size_t>(single - 1)]) continue;
    married_[static_cast<size_t>(single - 1)] = true;
    return single;
  }
  return 0;
}

std::int32_t TTreeGenerator::WaitingCousin(std::int32_t person) {
  const char otherSex = Person(person).Sex == 'M' ? 'F' : 'M';
  const std::int32_t parents = Person(person).ParentFamily;
  if (parents == 0) return 0;
  const TTreeFamily& parentFamily = tree_.Families[static_cast<size_t>(parents - 1)];
  for (const std::int32_t parent : {parentFamily.Father, parentFamily.Mother}) {
    if (parent == 0 || Person(parent).ParentFamily == 0) continue;
    const TTreeFamily& grandparents = tree_.Families[static_cast<size_t>(Person(parent).ParentFamily - 1)];
    for (const std::int32_t uncle : grandparents.Children) {
      if (uncle == parent) continue;
      for (const std::int32_t family : familiesOf_[static_cast<size_t>(uncle - 1)]) {
        for (const std::int32_t cousin : tree_.Families[static_cast<size_t>(family - 1)].Children) {
          const bool waiting = queued_[static_cast<size_t>(cousin - 1)] && !married_[static_cast<size_t>(cousin - 1)];
          if (waiting && Person(cousin).Sex == otherSex) return cousin;
        }
      }
    }
  }
  return 0;
}

bool TTreeGenerator::AddRemarriage() {
  const TFreeAgain free = free_.front();
  free_.pop_front();
  const std::int32_t first = free.Person;
  const char otherSex = Person(first).Sex == 'M' ? 'F' : 'M';
  const int year = std::min(free.FromYear + random_.Between(0, 4), LastYear());
  auto aliveIn = [&](std::int32_t code) { return !Life(code).DeathYear || *Life(code).DeathYear > year; };
  if (!aliveIn(first)) return false;
  std::int32_t partner = 0;
  // Half the time both bring children of their own: stepbrothers and sisters.
  if (random_.Chance(50)) {
    for (auto other = free_.begin(); other != free_.end(); ++other) {
      if (Person(other->Person).Sex != otherSex || other->FromYear > year || !aliveIn(other->Person)) continue;
      partner = other->Person;
      free_.erase(other);
      break;
    }
  }
  if (partner == 0) {
    const int partnerBirth = std::min(Life(first).BirthYear + random_.Between(-8, 8), year - 18);
    partner = NewPerson(otherSex, partnerBirth, Pick(names::Surnames()), false);
    if (!aliveIn(partner)) return true;
  }
  const std::int32_t father = otherSex == 'F' ? first : partner;
  const std::int32_t mother = otherSex == 'F' ? partner : first;
  const TMarriage marriage = Marry(father, mother, year);
  AddChildren(tree_.Families[static_cast<size_t>(marriage.Code - 1)], marriage.Year);
  return true;
}

std::int32_t TTreeGenerator::NewPerson(char sex, int birthYear, const std::string& surname,
                                       bool mayDieYoung) {
  TTreePerson person;
  person.Code = static_cast<std::int32_t>(tree_.People.size() + 1);
  person.Sex = sex;
  person.FirstNames = FirstNames(sex);
  person.Surname = surname;
  const bool birthUnknown = forcedBirthShapes_.empty() && random_.Chance(4);
  if (!birthUnknown) {
    person.Birth = BirthDate(birthYear);
    person.BirthPlace = Pick(names::Places());
  }

  TLife life{birthYear, std::nullopt};
  const int lifespan = mayDieYoung && random_.Chance(6) ? random_.Between(1, 15) : random_.Between(40, 98);
  if (birthYear + lifespan <= LastYear()) life.DeathYear = birthYear + lifespan;
  if (life.DeathYear) {
    person.Dead = true;
    person.Death = RandomDate(*life.DeathYear, true);
    person.DeathPlace = Pick(names::Places());
    if (person.Death->IsFullDate() && random_.Chance(50)) {
      TTreeDate burial = DaysAfter(*person.Death, random_.Between(2, 7));
      if (burial.Record.JDay < todayJDay_) person.Burial = std::move(burial);
    }
  } else if (!random_.Chance(7)) {
    person.Dead = false;
  }
  if (lifespan >= 16) person.Occupation = Pick(names::Occupations());
  person.Notes = Pick(names::Notes());
  person.LastChanged = RecentDay();
  AddCustomPersonDates(person, life);
  tree_.People.push_back(std::move(person));
  lives_.push_back(life);
  married_.push_back(false);
  queued_.push_back(false);
  familiesOf_.emplace_back();
  return tree_.People.back().Code;
}

void TTreeGenerator::AddCustomPersonDates(TTreePerson& person, const TLife& life) {
  if (person.Birth && person.Birth->IsFullDate() && random_.Chance(55)) {
    TTreeDate baptism = DaysAfter(*person.Birth, random_.Between(2, 40));
    if (baptism.Record.JDay < todayJDay_) {
      person.Baptism = std::move(baptism);
      person.BaptismPlace = person.BirthPlace;
    }
  }
  const int lastYear = std::min(life.DeathYear.value_or(LastYear()), LastYear());
  if (life.BirthYear + 16 <= lastYear && random_.Chance(8))
    person.Emigration = RandomDate(random_.Between(life.BirthYear + 16, lastYear), false);
}

TTreeGenerator::TMarriage TTreeGenerator::Marry(std::int32_t father, std::int32_t mother, std::optional<int> year) {
  TTreeFamily family;
  family.Code = static_cast<std::int32_t>(tree_.Families.size() + 1);
  family.Father = father;
  family.Mother = mother;
  if (father != 0) family.FathersName = RegisterName(Person(father));
  if (mother != 0) family.MothersName = RegisterName(Person(mother));

  int youngest = INT32_MIN;
  int firstDeath = LastYear();
  bool widowed = false;
  for (std::int32_t code : {father, mother}) {
    if (code == 0) continue;
    youngest = std::max(youngest, Life(code).BirthYear);
    firstDeath = std::min(firstDeath, Life(code).DeathYear.value_or(LastYear()));
    widowed = widowed || Life(code).DeathYear.has_value();
  }
  const int marriageYear = year ? *year : std::min(youngest + random_.Between(18, 32), LastYear());
  if (!random_.Chance(5)) {
    family.Marriage = RandomDate(marriageYear, true);
    family.MarriagePlace = Pick(names::Places());
  }
  family.Status = widowed ? "Widowed" : "Married";
  std::optional<int> divorceYear;
  if (father != 0 && mother != 0 && random_.Chance(12)) {
    const int year = marriageYear + random_.Between(1, 15);
    if (year <= firstDeath) {
      divorceYear = year;
      family.Divorce = RandomDate(year, false);
      family.Status = "Divorced";
    }
  }
  if (family.Marriage && random_.Chance(35)) family.Engagement = RandomDate(marriageYear - 1, false);
  if (random_.Chance(6)) {
    const int emigrationYear = marriageYear + random_.Between(1, 10);
    if (emigrationYear <= firstDeath) family.Emigration = RandomDate(emigrationYear, false);
  }
  family.LastChanged = RecentDay();
  tree_.Families.push_back(family);
  LinkPartners(family);
  NoteMarriageEnd(family, marriageYear, divorceYear);
  return {family.Code, marriageYear};
}

void TTreeGenerator::NoteMarriageEnd(const TTreeFamily& family, int marriageYear, std::optional<int> divorceYear) {
  if (family.Father == 0 || family.Mother == 0) return;
  for (const auto& [partner, other] : {std::pair{family.Father, family.Mother}, std::pair{family.Mother, family.Father}}) {
    const std::optional<int> otherDeath = Life(other).DeathYear;
    int end = 0;
    if (divorceYear) {
      end = *divorceYear;
    } else if (otherDeath && *otherDeath >= marriageYear) {
      end = *otherDeath;
    } else {
      continue;
    }
    const TLife& life = Life(partner);
    const bool aliveAfter = !life.DeathYear || *life.DeathYear > end + 2;
    if (aliveAfter && end + 1 <= LastYear() - 1 && end - life.BirthYear <= kLatestRemarriageAge) {
      free_.push_back({partner, end + 1});
    }
  }
}

void TTreeGenerator::AddChildren(TTreeFamily& family, int marriageYear) {
  const std::string surname = family.Father != 0   ? Person(family.Father).Surname
                              : family.Mother != 0 ? Person(family.Mother).Surname
                                                   : "";
  int lastBirth = LastYear();
  if (family.Mother != 0 && Life(family.Mother).DeathYear)
    lastBirth = std::min(lastBirth, *Life(family.Mother).DeathYear);
  if (family.Father != 0 && Life(family.Father).DeathYear)
    lastBirth = std::min(lastBirth, *Life(family.Father).DeathYear + 1);

  const int count = random_.Between(0, 4);
  for (int i = 0; i < count && Room(); ++i) {
    const int birthYear = marriageYear + random_.Between(1, 20);
    if (birthYear > lastBirth) continue;
    const std::int32_t child = NewPerson(random_.Chance(50) ? 'M' : 'F', birthYear, surname, true);
    Person(child).ParentFamily = family.Code;
    family.Children.push_back(child);
    tree_.Links.push_back({'C', family.Code, child, static_cast<std::int16_t>(family.Children.size())});
    const TLife& life = Life(child);
    const bool grownUp =
        life.BirthYear <= LastYear() - 22 && (!life.DeathYear || *life.DeathYear - life.BirthYear >= 40);
    if (grownUp) {
      singles_.push_back(child);
      queued_[static_cast<size_t>(child - 1)] = true;
    }
  }
}

void TTreeGenerator::LinkPartners(const TTreeFamily& family) {
  for (std::int32_t code : {family.Father, family.Mother}) {
    if (code == 0) continue;
    tree_.Links.push_back({'P', family.Code, code, 0});
    familiesOf_[static_cast<size_t>(code - 1)].push_back(family.Code);
  }
}

std::string TTreeGenerator::RegisterName(const TTreePerson& person) {
  if (person.Surname.empty() && person.FirstNames.empty()) return "";
  return person.Surname + ", " + person.FirstNames;
}

std::string TTreeGenerator::FirstNames(char sex) {
  const auto list = sex == 'M' ? names::MaleFirstNames() : names::FemaleFirstNames();
  std::string first = Pick(list);
  if (random_.Chance(30)) {
    const std::string& second = Pick(list);
    if (second != first) first += " " + second;
  }
  return first;
}

TTreeDate TTreeGenerator::BirthDate(int& year) {
  if (forcedBirthShapes_.empty()) return RandomDate(year, true);
  const Shape shape = forcedBirthShapes_.front();
  forcedBirthShapes_.pop_front();
  if (shape == Shape::Feb29)
    while (!IsLeapYear(year)) --year;
  return DateOfShape(shape, year);
}

TTreeDate TTreeGenerator::RandomDate(int year, bool allowVague) {
  if (!allowVague) return DateOfShape(Shape::Full, year);
  const int roll = random_.Below(100);
  if (roll < 2) return DateOfShape(Shape::Phrase, year);
  if (roll < 5) return DateOfShape(Shape::NoYear, year);
  if (roll < 10) return DateOfShape(Shape::MonthYear, year);
  if (roll < 14) return DateOfShape(Shape::YearOnly, year);
  if (roll < 24) {
    static constexpr std::array<Shape, 4> kQualified = {Shape::Abt, Shape::Aft, Shape::Bef, Shape::Est};
    return DateOfShape(random_.Pick(std::span<const Shape>(kQualified)), year);
  }
  return DateOfShape(Shape::Full, year);
}

TTreeDate TTreeGenerator::DateOfShape(Shape shape, int year) {
  int day = 1;
  int month = 1;
  switch (shape) {
    case Shape::Phrase:
      return Written("'" + Pick(names::Phrases()));
    case Shape::NoYear:
      DayAndMonth(year, day, month);
      // The unknown year counts as AD 1, which has no 29 February.
      return TTreeDate::WithoutYear(month == 2 && day == 29 ? 28 : day, month);
    case Shape::MonthYear:
      DayAndMonth(year, day, month);
      return Written(MonthAbbreviation(month) + " " + WrittenYear(year));
    case Shape::YearOnly:
      return Written(WrittenYear(year));
    case Shape::Feb29:
      return Written(WrittenDate(29, 2, year));
    case Shape::Abt:
    case Shape::Aft:
    case Shape::Bef:
    case Shape::Est: {
      const int qualifier = static_cast<int>(shape) - static_cast<int>(Shape::Abt);
      DayAndMonth(year, day, month);
      const std::string body = random_.Chance(50) ? WrittenYear(year) : WrittenDate(day, month, year);
      return Written(std::string(QualifierPrefixes[static_cast<size_t>(qualifier)]) + " " + body);
    }
    case Shape::Full:
      break;
  }
  DayAndMonth(year, day, month);
  return Written(WrittenDate(day, month, year));
}

std::string TTreeGenerator::RecentDay() {
  TJDate day;
  ClearJDate(day);
  day.JDay = todayJDay_ - random_.Below(3000);
  TDayMonthYear dmy;
  JDateToDMY(day, dmy);
  char iso[16];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", dmy.Year, dmy.Month, dmy.Day);
  return iso;
}

void TTreeGenerator::DayAndMonth(int year, int& day, int& month) {
  if (random_.Chance(kNearTodayPercent)) {
    TJDate near;
    ClearJDate(near);
    near.JDay = todayJDay_ + random_.Below(kNearTodayDays + 1);
    TDayMonthYear dmy;
    JDateToDMY(near, dmy);
    day = dmy.Day;
    month = dmy.Month;
  } else if (IsLeapYear(year) && random_.Chance(2)) {
    day = 29;
    month = 2;
    return;
  } else {
    month = random_.Between(1, 12);
    day = random_.Between(1, MonthTable[static_cast<size_t>(month - 1)].Days);
  }
  if (month == 2 && day == 29 && !IsLeapYear(year)) day = 28;
}

}  // namespace mindrel
