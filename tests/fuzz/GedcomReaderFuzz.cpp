// Treats the input as a whole GEDCOM file and reads it, then reads every
// DATE value it holds as a date. The only acceptable failure is the reader's
// own error; anything else (another exception, a crash, a hang, a sanitizer
// report) is a finding. What the reader gives must hold together: partners
// and dated rows point at records that exist, and a date that is not a phrase
// decodes to a day of the written years.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "gedcom/GedcomDate.h"
#include "gedcom/GedcomError.h"
#include "gedcom/GedcomReader.h"

namespace {

using namespace mindrel;

void Check(bool holds) {
  if (!holds) std::abort();
}

void CheckDate(const TJDate& date) {
  TDayMonthYear dmy;
  if (date.PhraseLength > 0) {
    Check(!JDateToDMY(date, dmy));
    return;
  }
  Check(JDateToDMY(date, dmy));
  Check(dmy.Year >= 1 && dmy.Year <= 9999);
}

// A Hebrew date kept beside its record names a day the calendar has, the
// day the record holds (apart from the offset of BEF and AFT), and has an
// anniversary in every later year.
void CheckHebrew(const THebrewDate& hebrew, const TJDate& date) {
  const std::optional<std::int32_t> jday = THebrewCalendar::ToJDay(hebrew);
  Check(jday.has_value() && date.PhraseLength == 0);
  Check(*jday - date.JDay >= -1 && *jday - date.JDay <= 1);
  for (const THebrewCalendar::Rule rule : {THebrewCalendar::Rule::Yahrzeit, THebrewCalendar::Rule::Birthday}) {
    const auto days = THebrewCalendar::AnniversariesBetween(hebrew, rule, *jday + 1, *jday + 400);
    Check(!days.empty() && days.front().Count == 1);
  }
}

void CheckTree(const TGedcomTree& tree) {
  for (const TGedcomFamily& family : tree.Families) {
    for (const std::uint32_t partner : {family.Husband, family.Wife})
      Check(partner == TGedcomFamily::kNoPartner || partner < tree.People.size());
    for (const std::uint32_t child : family.Children) Check(child < tree.People.size());
  }
  for (const TGedcomPerson& person : tree.People) {
    for (const std::uint32_t family : person.ChildOf) Check(family < tree.Families.size());
    for (const std::uint32_t family : person.PartnerIn) Check(family < tree.Families.size());
  }
  for (const TGedcomColumn& column : tree.Columns) {
    for (const TDatedRow& row : column.People) {
      Check(row.Row < tree.People.size());
      CheckDate(row.Date);
      if (row.Hebrew) CheckHebrew(*row.Hebrew, row.Date);
    }
    for (const TDatedRow& row : column.Families) {
      Check(row.Row < tree.Families.size());
      CheckDate(row.Date);
      if (row.Hebrew) CheckHebrew(*row.Hebrew, row.Date);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    CheckTree(TGedcomReader::Read(bytes, "fuzz.ged"));
  } catch (const EGedcomError&) {
  }
  TGedcomReader::StartsWithHead(bytes);
  // The input as one date value too, so the date forms get fuzzed directly.
  if (bytes.find_first_not_of(" \t") != std::string_view::npos && size < 200) {
    const TGedcomDate read = TGedcomDate::Read(bytes);
    CheckDate(read.Date);
    if (read.Hebrew) CheckHebrew(*read.Hebrew, read.Date);
  }
  return 0;
}
