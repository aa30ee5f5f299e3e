#pragma once

#include <array>
#include <string>
#include <vector>

namespace mindrel {

class TProfileFile;

// One event format: the event type's name and its template.
struct TEventFormatRow {
  std::string Name;
  std::string Template;
};

// The event formats and the texts of their tags, shared by the expansion of
// entries into sentences and the editor. Rows 0..6 are the fixed event types
// ("Birth" .. "Added annual", "Yahrzeit"), always present under their fixed
// names; rows from 7 on belong to the user's own date columns. Variants are
// templates for the cases where a row's wording would mislead: a year nobody
// recorded, the dead, a count of one, an approximate date, a date known only
// to its month or year, an added fixed event on its own day, and a date
// column without a format of its own. Each belongs to one fixed event type
// (the "Other date" ones to the user's date columns); an empty variant gives
// way to its event's own template.
class TEventFormats {
 public:
  // The numbers are the "V" keys of the settings file: new ones go last.
  enum Variant : int {
    kBirthYearUnknown,
    kBirthDead,
    kBirthDeadYearUnknown,
    kBirthOneYear,
    kMarriageYearUnknown,
    kDivorceYearUnknown,
    kDeathYearUnknown,
    kDeathOneYear,
    kAddedFixedOwnDay,
    kOtherDate,
    kOtherDateYearUnknown,
    kBirthApproximate,
    kBirthApproximateOneYear,
    kBirthDeadApproximate,
    kBirthPartial,
    kMarriageDead,
    kMarriageDeadYearUnknown,
    kMarriageApproximate,
    kMarriageDeadApproximate,
    kDivorceApproximate,
    kDeathApproximate,
    kDeathApproximateOneYear,
    kOtherDateApproximate,
    kVariantRows
  };
  // The event a variant belongs to for the "Other date" ones.
  static constexpr int kOtherDateEvent = -1;

  // The "when" texts: a day (today, tomorrow, in <dd> days), a month-and-year
  // date's month, a year-only date's year.
  enum WhenRow : int {
    kWhenToday,
    kWhenTomorrow,
    kWhenOther,
    kWhenThisMonth,
    kWhenNextMonth,
    kWhenOtherMonth,
    kWhenThisYear,
    kWhenNextYear,
    kWhenRows
  };

  // The wordings of anniversaries that fell while the program was not shown
  // ("Anna Weber turned 40 on Saturday"), one per case of the rows and
  // variants, and the "when" texts of days gone by.
  enum Past : int {
    kPastBirth,
    kPastBirthYearUnknown,
    kPastBirthDead,
    kPastBirthDeadYearUnknown,
    kPastMarriage,
    kPastMarriageYearUnknown,
    kPastDivorce,
    kPastDivorceYearUnknown,
    kPastDeath,
    kPastDeathOneYear,
    kPastDeathYearUnknown,
    kPastAddedFixed,
    kPastAddedFixedOwnDay,
    kPastAddedAnnual,
    kPastYahrzeit,
    kPastOtherDate,
    kPastOtherDateYearUnknown,
    kPastYesterday,
    kPastThisWeek,
    kPastEarlier,
    kPastRows
  };

  static constexpr int kFixedRows = 7;
  static constexpr int kYahrzeitRow = 6;
  static constexpr int kSuffixRows = 11;    // last digits 0..9, then 11th-19th
  static constexpr int kTeenSuffixRow = 10;
  static constexpr int kMaterialRows = 27;  // anniversaries 1..15, 20, 25 .. 75
  static constexpr int kMaxMaterialYears = 75;
  // A hand-edited "Rows" cannot make the table larger than this.
  static constexpr int kMaxRows = 1000;

  // Every text at its built-in value, include-codes off.
  TEventFormats();

  int RowCount() const { return static_cast<int>(rows_.size()); }
  // REQUIRES: 0 <= row < RowCount()
  const TEventFormatRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  void SetTemplate(int row, const std::string& text);
  // Appends a row with an empty template; returns its index.
  int AddRow(const std::string& name);
  // Removes a user row; rows 0..5 cannot be removed (false).
  bool DeleteRow(int row);
  // First row from `firstRow` on whose name equals `name` without regard to
  // case; -1 when there is none.
  int FindRow(const std::string& name, int firstRow = 0) const;

  const std::string& WhenText(int row) const { return when_[static_cast<std::size_t>(row)]; }
  void SetWhenText(int row, const std::string& text) { when_[static_cast<std::size_t>(row)] = text; }
  const std::string& Suffix(int row) const { return suffixes_[static_cast<std::size_t>(row)]; }
  void SetSuffix(int row, const std::string& text) { suffixes_[static_cast<std::size_t>(row)] = text; }

  // The anniversary number of material row 0..26.
  static int MaterialNumber(int row);
  const std::string& MaterialText(int row) const { return materials_[static_cast<std::size_t>(row)]; }
  void SetMaterialText(int row, const std::string& text);
  // The material of an anniversary; empty outside 1..75 and for numbers
  // without a row.
  std::string Material(int years) const;

  const std::string& VariantText(int row) const { return variants_[static_cast<std::size_t>(row)]; }
  void SetVariantText(int row, const std::string& text) { variants_[static_cast<std::size_t>(row)] = text; }
  // What a variant is for ("Birth, year unknown"): its event's name and its case.
  static std::string VariantLabel(int row);
  // The case alone ("year unknown"); empty for the plain "Other date".
  static const std::string& VariantCase(int row);
  // The fixed event row (0..5) a variant belongs to, or kOtherDateEvent.
  static int VariantEvent(int row);
  static const std::string& DefaultVariant(int row);
  static const std::string& WhenLabel(int row);

  const std::string& PastText(int row) const { return past_[static_cast<std::size_t>(row)]; }
  void SetPastText(int row, const std::string& text) { past_[static_cast<std::size_t>(row)] = text; }
  // What a past wording is for ("Birth, while away", "When, yesterday").
  static const std::string& PastLabel(int row);

  const std::string& MarriageIndicator() const { return marriageIndicator_; }
  void SetMarriageIndicator(const std::string& text) { marriageIndicator_ = text; }
  bool IncludeCodes() const { return includeCodes_; }
  void SetIncludeCodes(bool on) { includeCodes_ = on; }

  // Built-in templates of the fixed rows, variants, past wordings, "when" texts, suffixes,
  // materials and the marriage indicator; user rows and the include-codes
  // flag stay.
  void RestoreDefaults();

  static const std::string& FixedRowName(int row);
  static const std::string& DefaultTemplate(int row);

  // The "Text", "Variants", "Past", "When", "Suffix" and "Materials" keys of
  // the settings file; missing keys give the built-in values, except that a
  // variant missing from a file whose event template the user changed starts
  // empty, so that the user's wording goes on being used. The file numbers
  // the rows without the yahrzeit ("T0".."T5" the first six fixed types, "T6"
  // and on with "TT6" and on the user's rows), as files written before it was
  // there do, and keeps its template under "Yahrzeit" of "Text". The variants
  // have a section of their own, which readers that do not know it leave
  // alone. The include-codes flag is a key of the main preferences and is
  // read and written with them.
  void ReadSettings(const TProfileFile& file);
  void WriteSettings(TProfileFile& file) const;

 private:
  // The number of a row in the settings file; REQUIRES: row != kYahrzeitRow.
  static int FileRow(int row) { return row < kYahrzeitRow ? row : row - 1; }

  std::vector<TEventFormatRow> rows_;
  std::array<std::string, kVariantRows> variants_;
  std::array<std::string, kPastRows> past_;
  std::array<std::string, kWhenRows> when_;
  std::array<std::string, kSuffixRows> suffixes_;
  std::array<std::string, kMaterialRows> materials_;
  std::string marriageIndicator_;
  bool includeCodes_ = false;
};

}  // namespace mindrel
