#pragma once

// What Mindrel takes from a GEDCOM file: its people and couples with their
// names, codes and dated events, in the shape the alert scan reads from a
// family-tree folder's tables.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dates/HebrewCalendar.h"
#include "dates/UDate.h"

namespace mindrel {

struct TGedcomPerson {
  std::string Xref;  // "@I1@"
  std::int32_t Code = 0;
  std::string GivenNames;  // UTF-8, blanks trimmed
  std::string Surname;
  bool Dead = false;  // a death or burial record, dated or not
  std::string BirthText;  // the birth's DATE value as written
  std::string BirthPlace;
  char Sex = 0;  // 'M', 'F', or 0 when the SEX line says neither
  // Families by FAMC (a child of) and FAMS (a partner in): indexes into the
  // families, each kept whether or not the family's own lines agree.
  std::vector<std::uint32_t> ChildOf;
  std::vector<std::uint32_t> PartnerIn;
};

struct TGedcomFamily {
  std::string Xref;
  std::int32_t Code = 0;
  static constexpr std::uint32_t kNoPartner = UINT32_MAX;
  std::uint32_t Husband = kNoPartner;  // index into the people
  std::uint32_t Wife = kNoPartner;
  std::vector<std::uint32_t> Children;  // by CHIL, indexes into the people
};

// One date of one record: the row is an index into the people or families.
struct TDatedRow {
  std::uint32_t Row = 0;
  TJDate Date;
  // A full date written on the Hebrew calendar, as written.
  std::optional<THebrewDate> Hebrew;
  // A note of the event says it happened after sunset, when the Hebrew day
  // has already turned to the next.
  bool AfterSunset = false;
};

// All dates of one kind of event, by its English name ("Birth", "Baptism",
// an EVEN record's TYPE ...). A person or family has at most one date in a
// column, the first dated record of its kind.
struct TGedcomColumn {
  std::string Name;
  std::vector<TDatedRow> People;  // in file order
  std::vector<TDatedRow> Families;
};

class TGedcomTree {
 public:
  static constexpr const char* kBirth = "Birth";
  static constexpr const char* kDeath = "Death";
  static constexpr const char* kMarriage = "Marriage";
  static constexpr const char* kDivorce = "Divorce";

  std::vector<TGedcomPerson> People;
  std::vector<TGedcomFamily> Families;
  std::vector<TGedcomColumn> Columns;  // in the order first met
  // CHIL, FAMC and FAMS lines that point to no record of the file: left out.
  std::uint32_t DanglingLinks = 0;

  // The column of that name, exactly; nullptr when no record has such a date.
  const TGedcomColumn* FindColumn(const std::string& name) const;
  // The columns other than birth, death, marriage and divorce that people
  // have, then those that families have, each in the order first met.
  std::vector<std::string> CustomColumnNames() const;
};

}  // namespace mindrel
