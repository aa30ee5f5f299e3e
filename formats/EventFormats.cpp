#include "formats/EventFormats.h"

#include <algorithm>

#include "formats/OPObj.h"
#include "formats/Utf8Text.h"
#include "platform/ProfileFile.h"

namespace mindrel {

namespace {

const std::array<std::string, TEventFormats::kFixedRows> kFixedRowNames = {
    "Birth", "Marriage", "Divorce", "Death", "Added fixed", "Added annual", "Yahrzeit"};

// The people's templates name the relationship to the home person; where
// there is none, "<relation>" takes its commas along and the sentence reads
// as the templates before it.
const std::array<std::string, TEventFormats::kFixedRows> kDefaultTemplates = {
    "<name>, <relation>, is <yy> years old <when>",
    "it's the <yy><th><material> wedding anniversary of <name>, <relation>, <when>",
    "it's the <yy><th> anniversary of the divorce of <name>, <relation>, <when>",
    "<when> it will be <yy> years since the death of <name>, <relation>",
    "it's the <yy><th> anniversary of <name> <when>",
    "<when> it's <name>",
    "the <yy><th> yahrzeit of <name>, <hebrew>, is <when>",
};

// The built-in templates before "<relation>": a file that still holds one of
// them kept the default, not a wording of the user's own, and gets today's.
const std::array<std::string, TEventFormats::kFixedRows> kFormerTemplates = {
    "<name> is <yy> years old <when>",
    "it's the <yy><th><material> wedding anniversary of <name> <when>",
    "it's the <yy><th> anniversary of the divorce of <name> <when>",
    "<when> it will be <yy> years since the death of <name>",
    "it's the <yy><th> anniversary of <name> <when>",
    "<when> it's <name>",
    "the <yy><th> yahrzeit of <name>, <hebrew>, is <when>",
};

// One variant: the fixed event row it belongs to, the case it words and its
// built-in template.
struct TVariantDefinition {
  int Event;
  std::string Case;
  std::string Template;
  // The built-in template before "<relation>": a file that still holds it
  // kept the default, not a wording of the user's own.
  std::string Former;
};

// The rows the settings file has always numbered; the yahrzeit has a key of its own.
constexpr int kFileFixedRows = 6;
constexpr const char* kYahrzeitKey = "Yahrzeit";

const std::array<TVariantDefinition, TEventFormats::kVariantRows> kVariants = {{
    {kBirth, "year unknown", "it's <name>'s birthday (<relation>) <when>", "it's <name>'s birthday <when>"},
    {kBirth, "dead", "<name>, <relation>, would have been <yy> <when>", "<name> would have been <yy> <when>"},
    {kBirth, "dead, year unknown", "it's the anniversary of the birth of <name>, <relation>, <when>",
     "it's the anniversary of the birth of <name> <when>"},
    {kBirth, "1 year", "<name>, <relation>, is <yy> year old <when>", "<name> is <yy> year old <when>"},
    {kMarriage, "year unknown", "it's the wedding anniversary of <name>, <relation>, <when>",
     "it's the wedding anniversary of <name> <when>"},
    {kDivorce, "year unknown", "it's the anniversary of the divorce of <name>, <relation>, <when>",
     "it's the anniversary of the divorce of <name> <when>"},
    {kDeath, "year unknown", "<when> it's the anniversary of the death of <name>, <relation>",
     "<when> it's the anniversary of the death of <name>"},
    {kDeath, "1 year", "<when> it will be <yy> year since the death of <name>, <relation>",
     "<when> it will be <yy> year since the death of <name>"},
    {kAddedFixed, "its own day", "<when> it's <name>", ""},
    {TEventFormats::kOtherDateEvent, "", "it's the <yy><th> anniversary of the <event> of <name>, <relation>, <when>",
     "it's the <yy><th> anniversary of the <event> of <name> <when>"},
    {TEventFormats::kOtherDateEvent, "year unknown", "it's the anniversary of the <event> of <name>, <relation>, <when>",
     "it's the anniversary of the <event> of <name> <when>"},
    {kBirth, "approximate", "<name>, <relation>, is about <yy> years old <when>", ""},
    {kBirth, "approximate, 1 year", "<name>, <relation>, is about <yy> year old <when>", ""},
    {kBirth, "dead, approximate", "<name>, <relation>, would have been about <yy> <when>", ""},
    {kBirth, "month or year only", "<name>, <relation>, turns <yy> <when>", ""},
    {kMarriage, "dead", "it would have been the <yy><th><material> wedding anniversary of <name>, <relation>, <when>", ""},
    {kMarriage, "dead, year unknown", "it would have been the wedding anniversary of <name>, <relation>, <when>", ""},
    {kMarriage, "approximate", "it's about the <yy><th><material> wedding anniversary of <name>, <relation>, <when>",
     ""},
    {kMarriage, "dead, approximate",
     "it would have been about the <yy><th><material> wedding anniversary of <name>, <relation>, <when>", ""},
    {kDivorce, "approximate", "it's about the <yy><th> anniversary of the divorce of <name>, <relation>, <when>", ""},
    {kDeath, "approximate", "<when> it will be about <yy> years since the death of <name>, <relation>", ""},
    {kDeath, "approximate, 1 year", "<when> it will be about <yy> year since the death of <name>, <relation>", ""},
    {TEventFormats::kOtherDateEvent, "approximate",
     "it's about the <yy><th> anniversary of the <event> of <name>, <relation>, <when>", ""},
}};

// A template read from the file: a former built-in one becomes today's.
std::string Current(const std::string& stored, const std::string& former, const std::string& builtIn) {
  return !former.empty() && stored == former ? builtIn : stored;
}

const std::string kOtherDateName = "Other date";

const std::array<std::string, TEventFormats::kWhenRows> kWhenLabels = {
    "Today", "Tomorrow", "Other", "This month", "Next month", "Other month", "This year", "Next year"};

const std::array<std::string, TEventFormats::kWhenRows> kDefaultWhen = {
    "today", "tomorrow", "in <dd> days", "this month", "next month", "in <mm> months", "this year", "next year"};

const std::array<std::string, TEventFormats::kPastRows> kPastLabels = {
    "Birth, while away",
    "Birth, while away, year unknown",
    "Birth, while away, dead",
    "Birth, while away, dead, year unknown",
    "Marriage, while away",
    "Marriage, while away, year unknown",
    "Divorce, while away",
    "Divorce, while away, year unknown",
    "Death, while away",
    "Death, while away, 1 year",
    "Death, while away, year unknown",
    "Added fixed, while away",
    "Added fixed, while away, its own day",
    "Added annual, while away",
    "Yahrzeit, while away",
    "Other date, while away",
    "Other date, while away, year unknown",
    "When, yesterday",
    "When, 2 to 6 days ago",
    "When, a week ago or more",
};

const std::array<std::string, TEventFormats::kPastRows> kDefaultPast = {
    "<name>, <relation>, turned <yy> <when>",
    "it was <name>'s birthday (<relation>) <when>",
    "<name>, <relation>, would have turned <yy> <when>",
    "it was the anniversary of the birth of <name>, <relation>, <when>",
    "it was the <yy><th><material> wedding anniversary of <name>, <relation>, <when>",
    "it was the wedding anniversary of <name>, <relation>, <when>",
    "it was the <yy><th> anniversary of the divorce of <name>, <relation>, <when>",
    "it was the anniversary of the divorce of <name>, <relation>, <when>",
    "<when> it was <yy> years since the death of <name>, <relation>",
    "<when> it was <yy> year since the death of <name>, <relation>",
    "<when> it was the anniversary of the death of <name>, <relation>",
    "it was the <yy><th> anniversary of <name> <when>",
    "<when> it was <name>",
    "<when> it was <name>",
    "the <yy><th> yahrzeit of <name>, <hebrew>, was <when>",
    "it was the <yy><th> anniversary of the <event> of <name> <when>",
    "it was the anniversary of the <event> of <name> <when>",
    "yesterday",
    "on <weekday>",
    "<ago> days ago",
};


const std::array<std::string, TEventFormats::kSuffixRows> kDefaultSuffixes = {
    "th", "st", "nd", "rd", "th", "th", "th", "th", "th", "th", "th"};

const std::array<std::string, TEventFormats::kMaterialRows> kDefaultMaterials = {
    " (paper)",   " (cotton)", " (leather)", " (linen)",  " (wood)",     " (iron)",    " (wool)",
    " (bronze)",  " (pottery)", " (tin)",    " (steel)",  " (silk)",     " (lace)",    " (ivory)",
    " (crystal)", " (china)",  " (silver)",  " (pearl)",  " (coral)",    " (ruby)",    " (sapphire)",
    " (gold)",    " (emerald)", " (diamond)", "",         " (platinum)", "",
};

const std::string kDefaultMarriageIndicator = "=";

// Rows 0..14 are the anniversaries 1..15, then every fifth from 20 to 75.
constexpr int kYearlyMaterialRows = 15;
constexpr int kFirstFifthYear = 20;
static_assert(kYearlyMaterialRows + (TEventFormats::kMaxMaterialYears - kFirstFifthYear) / 5 + 1 ==
              TEventFormats::kMaterialRows);

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

}  // namespace

TEventFormats::TEventFormats() {
  for (int row = 0; row < kFixedRows; ++row) rows_.push_back({FixedRowName(row), {}});
  RestoreDefaults();
}

void TEventFormats::RestoreDefaults() {
  for (int row = 0; row < kFixedRows; ++row) rows_[static_cast<std::size_t>(row)].Template = DefaultTemplate(row);
  for (int n = 0; n < kVariantRows; ++n) variants_[static_cast<std::size_t>(n)] = DefaultVariant(n);
  past_ = kDefaultPast;
  when_ = kDefaultWhen;
  suffixes_ = kDefaultSuffixes;
  materials_ = kDefaultMaterials;
  marriageIndicator_ = kDefaultMarriageIndicator;
}

const std::string& TEventFormats::FixedRowName(int row) { return kFixedRowNames[static_cast<std::size_t>(row)]; }

std::string TEventFormats::VariantLabel(int row) {
  const int event = VariantEvent(row);
  const std::string& name = event == kOtherDateEvent ? kOtherDateName : FixedRowName(event);
  return VariantCase(row).empty() ? name : name + ", " + VariantCase(row);
}

const std::string& TEventFormats::VariantCase(int row) { return kVariants[static_cast<std::size_t>(row)].Case; }

int TEventFormats::VariantEvent(int row) { return kVariants[static_cast<std::size_t>(row)].Event; }

const std::string& TEventFormats::DefaultVariant(int row) { return kVariants[static_cast<std::size_t>(row)].Template; }

const std::string& TEventFormats::WhenLabel(int row) { return kWhenLabels[static_cast<std::size_t>(row)]; }

const std::string& TEventFormats::PastLabel(int row) { return kPastLabels[static_cast<std::size_t>(row)]; }

const std::string& TEventFormats::DefaultTemplate(int row) {
  return kDefaultTemplates[static_cast<std::size_t>(row)];
}

void TEventFormats::SetTemplate(int row, const std::string& text) {
  rows_[static_cast<std::size_t>(row)].Template = text;
}

int TEventFormats::AddRow(const std::string& name) {
  rows_.push_back({name, {}});
  return RowCount() - 1;
}

bool TEventFormats::DeleteRow(int row) {
  if (row < kFixedRows || row >= RowCount()) return false;
  rows_.erase(rows_.begin() + row);
  return true;
}

int TEventFormats::FindRow(const std::string& name, int firstRow) const {
  for (int row = std::max(firstRow, 0); row < RowCount(); ++row) {
    if (SameText(Row(row).Name, name)) return row;
  }
  return -1;
}

int TEventFormats::MaterialNumber(int row) {
  return row < kYearlyMaterialRows ? row + 1 : kFirstFifthYear + (row - kYearlyMaterialRows) * 5;
}

void TEventFormats::SetMaterialText(int row, const std::string& text) {
  materials_[static_cast<std::size_t>(row)] = text;
}

std::string TEventFormats::Material(int years) const {
  if (years < 1 || years > kMaxMaterialYears) return {};
  for (int row = 0; row < kMaterialRows; ++row) {
    if (MaterialNumber(row) == years) return MaterialText(row);
  }
  return {};
}

void TEventFormats::ReadSettings(const TProfileFile& file) {
  // The fixed rows always stay, and a count beyond the keys the section can
  // hold would only add empty rows.
  const int keysInText = static_cast<int>(file.ReadSectionValues("Text").size());
  const int fileRows = std::clamp(file.ReadInteger("Text", "Rows", kFileFixedRows), kFileFixedRows,
                                  std::min(kMaxRows - 1, kFileFixedRows + keysInText));
  rows_.resize(static_cast<std::size_t>(fileRows + 1));
  for (int row = 0; row < RowCount(); ++row) {
    TEventFormatRow& format = rows_[static_cast<std::size_t>(row)];
    if (row == kYahrzeitRow) {
      format = {FixedRowName(row), file.ReadString("Text", kYahrzeitKey, DefaultTemplate(row))};
      continue;
    }
    const bool fixed = row < kFixedRows;
    format.Template =
        file.ReadString("Text", Numbered("T", FileRow(row)), fixed ? DefaultTemplate(row) : std::string());
    if (fixed) format.Template = Current(format.Template, kFormerTemplates[row], DefaultTemplate(row));
    format.Name = fixed ? FixedRowName(row) : file.ReadString("Text", Numbered("TT", FileRow(row)), {});
  }
  for (int n = 0; n < kVariantRows; ++n) {
    const int event = VariantEvent(n);
    // A file from before this variant existed, whose user wrote the event's
    // own wording, keeps that wording for the variant's case too.
    const bool ownWording = event != kOtherDateEvent && Row(event).Template != DefaultTemplate(event);
    const std::string key = Numbered("V", n);
    if (!file.HasKey("Variants", key) && ownWording) {
      variants_[n].clear();
      continue;
    }
    variants_[n] = Current(file.ReadString("Variants", key, DefaultVariant(n)),
                           kVariants[static_cast<std::size_t>(n)].Former, DefaultVariant(n));
  }
  for (int n = 0; n < kPastRows; ++n) past_[n] = file.ReadString("Past", Numbered("P", n), kDefaultPast[n]);
  for (int n = 0; n < kWhenRows; ++n) when_[n] = file.ReadString("When", Numbered("W", n), kDefaultWhen[n]);
  for (int n = 0; n < kSuffixRows; ++n) {
    suffixes_[n] = file.ReadString("Suffix", Numbered("S", n), kDefaultSuffixes[n]);
  }
  for (int n = 0; n < kMaterialRows; ++n) {
    materials_[n] = file.ReadString("Materials", Numbered("M", n), kDefaultMaterials[n]);
  }
  marriageIndicator_ = file.ReadString("Text", "Marr", kDefaultMarriageIndicator);
}

void TEventFormats::WriteSettings(TProfileFile& file) const {
  file.WriteInteger("Text", "Rows", RowCount() - 1);
  for (int row = 0; row < RowCount(); ++row) {
    if (row != kYahrzeitRow) file.WriteString("Text", Numbered("T", FileRow(row)), Quoted(Row(row).Template));
  }
  for (int row = kFixedRows; row < RowCount(); ++row) {
    file.WriteString("Text", Numbered("TT", FileRow(row)), Quoted(Row(row).Name));
  }
  file.WriteString("Text", kYahrzeitKey, Quoted(Row(kYahrzeitRow).Template));
  for (int n = 0; n < kVariantRows; ++n) file.WriteString("Variants", Numbered("V", n), Quoted(variants_[n]));
  for (int n = 0; n < kPastRows; ++n) file.WriteString("Past", Numbered("P", n), Quoted(past_[n]));
  for (int n = 0; n < kWhenRows; ++n) file.WriteString("When", Numbered("W", n), Quoted(when_[n]));
  for (int n = 0; n < kSuffixRows; ++n) file.WriteString("Suffix", Numbered("S", n), Quoted(suffixes_[n]));
  for (int n = 0; n < kMaterialRows; ++n) file.WriteString("Materials", Numbered("M", n), Quoted(materials_[n]));
  file.WriteString("Text", "Marr", Quoted(marriageIndicator_));
}

}  // namespace mindrel
