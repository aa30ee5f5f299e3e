#pragma once

// Makes up a family tree that is the same for the same seed, size and day:
// founding couples, their children, the partners those children marry, and
// their children in turn, with dates in every form the family-tree program
// can store. A fixed set of awkward cases comes first so that even a small
// tree holds them: a couple of antiquity (dates before Christ, a 29 February,
// both partners dead), a couple with no names, and birth dates as a phrase,
// without a year, with month and year or the year only, and under each
// qualifier.
//
// Families are linked as real ones are: a widowed or divorced partner may
// marry again (half-siblings, stepchildren), some grown children marry
// other trees' children instead of newcomers, and now and then first
// cousins marry, so that later generations meet the same ancestors along
// several lines.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "tools/mktree/FamilyTree.h"
#include "tools/mktree/SeededRandom.h"

namespace mindrel {

struct TGeneratorOptions {
  int People = 200;
  std::uint64_t Seed = 1;
  CivilDate Today;  // dates lie before it; a fair share of anniversaries follows it
};

class TTreeGenerator {
 public:
  // Share of freely chosen days that are put within the 30 days after today.
  static constexpr int kNearTodayPercent = 30;
  static constexpr int kNearTodayDays = 30;

  explicit TTreeGenerator(const TGeneratorOptions& options);
  TFamilyTree Generate();

 private:
  // Abt, Aft, Bef and Est follow each other in the order of the Qualifier values.
  enum class Shape { Full, Feb29, Phrase, NoYear, MonthYear, YearOnly, Abt, Aft, Bef, Est };

  struct TLife {
    int BirthYear = 0;             // astronomical
    std::optional<int> DeathYear;  // nothing while alive
  };

  bool Room() const { return static_cast<int>(tree_.People.size()) < options_.People; }
  int LastYear() const { return options_.Today.year - 1; }

  void AddCoupleOfAntiquity();
  void AddNamelessCouple();
  void AddGeneration();
  // A widowed or divorced partner marries again; false when none can.
  bool AddRemarriage();
  // A first cousin of the person still waiting to marry, of the other sex;
  // 0 when there is none.
  std::int32_t WaitingCousin(std::int32_t person);
  std::int32_t NextSingle();

  std::int32_t NewPerson(char sex, int birthYear, const std::string& surname, bool mayDieYoung);
  void AddCustomPersonDates(TTreePerson& person, const TLife& life);
  struct TMarriage {
    std::int32_t Code = 0;
    int Year = 0;  // of the marriage, dated or not
  };
  // The family of the two partners (0: unknown) with its dates and links,
  // married in `year` where given.
  TMarriage Marry(std::int32_t father, std::int32_t mother, std::optional<int> year = std::nullopt);
  // The partners who outlive the marriage's end young enough may marry again.
  void NoteMarriageEnd(const TTreeFamily& family, int marriageYear, std::optional<int> divorceYear);
  void AddChildren(TTreeFamily& family, int marriageYear);
  void LinkPartners(const TTreeFamily& family);

  TTreePerson& Person(std::int32_t code) { return tree_.People[static_cast<size_t>(code - 1)]; }
  TLife& Life(std::int32_t code) { return lives_[static_cast<size_t>(code - 1)]; }
  static std::string RegisterName(const TTreePerson& person);

  TTreeDate BirthDate(int& year);
  TTreeDate RandomDate(int year, bool allowVague);
  TTreeDate DateOfShape(Shape shape, int year);
  void DayAndMonth(int year, int& day, int& month);
  // A day of the last few years, "YYYY-MM-DD": when a record was last edited.
  std::string RecentDay();
  std::string FirstNames(char sex);
  const std::string& Pick(std::span<const std::string> items) { return random_.Pick(items); }

  TGeneratorOptions options_;
  TSeededRandom random_;
  std::int32_t todayJDay_;
  TFamilyTree tree_;
  std::vector<TLife> lives_;
  std::deque<std::int32_t> singles_;  // grown children still to be married
  std::vector<bool> married_;         // by code - 1
  std::vector<bool> queued_;          // by code - 1: put among the singles once
  std::vector<std::vector<std::int32_t>> familiesOf_;  // by code - 1: the families a person is partner of
  struct TFreeAgain {
    std::int32_t Person;
    int FromYear;
  };
  std::deque<TFreeAgain> free_;  // widowed or divorced, may marry again
  std::deque<Shape> forcedBirthShapes_;
};

}  // namespace mindrel
