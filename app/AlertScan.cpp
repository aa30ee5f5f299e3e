#include "app/AlertScan.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/ErrorCodes.h"

namespace mindrel {

namespace {

constexpr const char* kLivingClause = "P.[Dead] <> True AND ";

class TLookupRun {
 public:
  explicit TLookupRun(TFamilyTreeTables& tables) : tables_(tables) { tables_.BeginLookups(); }
  ~TLookupRun() { tables_.EndLookups(); }
  TLookupRun(const TLookupRun&) = delete;
  TLookupRun& operator=(const TLookupRun&) = delete;

 private:
  TFamilyTreeTables& tables_;
};

}  // namespace

TScanOptions TScanOptions::From(const TSettings& settings, const TEventFormats& formats) {
  TScanOptions options;
  options.LookAhead = settings.Days;
  options.Alive = settings.Alive;
  options.Exclude = settings.Exclude;
  options.Partial = settings.Partial;
  options.EventItems = settings.EventItems;
  options.Folders = settings.Folders;
  options.MarriageIndicator = formats.MarriageIndicator();
  options.MarkJubilees = settings.MarkJubilees;
  options.Jubilees = settings.Jubilees;
  options.WhileAway = settings.WhileAway;
  CivilDate lastShown;
  if (ParseIsoDate(settings.LastShown, lastShown)) options.LastShown = lastShown;
  return options;
}

std::string TAlertScan::DayKey(int month, int day) {
  char key[32];
  std::snprintf(key, sizeof key, "%02d%02d", month, day);
  return key;
}

// Brackets hold any name without "]" or quotes; other names stand in double
// quotes with each quote doubled (an apostrophe too: the name reader folds
// doubled ones), so that every column name can be asked for.
std::string TAlertScan::QuotedColumn(const std::string& alias, const std::string& column) {
  if (column.find_first_of("]\"'") == std::string::npos) return alias + ".[" + column + "]";
  std::string quoted = alias + ".\"";
  for (char c : column) {
    if (c == '"' || c == '\'') quoted += c;
    quoted += c;
  }
  return quoted + "\"";
}

std::vector<std::string> TAlertScan::QueryLines(bool families, const std::string& dateColumn,
                                                const std::string& livingClause) {
  const std::string column = QuotedColumn(families ? "F" : "P", dateColumn + "~J");
  return {"SELECT *", families ? "FROM Families F" : "FROM People P",
          "WHERE " + livingClause + column + " IS NOT NULL", "ORDER BY " + column};
}

bool TAlertScan::Ticked(std::size_t item) const {
  return item < options_->EventItems.size() && options_->EventItems[item].Ticked;
}

void TAlertScan::RefreshOutputList(const TScanOptions& options, TAlertList& alerts) {
  options_ = &options;
  alerts_ = &alerts;
  alerts.FreeOPList();
  columnErrors_.clear();
  const std::string ignoreIndex = ignore_.SelectPrimaryIndex();
  BuildWindows();
  for (const std::string& folder : options.Folders) ScanFolder(folder);
  if (Ticked(kAddedFixed) || Ticked(kAddedAnnual)) AddAddedEvents();
  if (options.MarkJubilees) alerts.MarkJubilees(options.Jubilees);
  tables_.Close();
  query_.Close();
  ignore_.RestoreIndex(ignoreIndex);
  windows_.clear();
}

// The missed days begin after the day last shown and end yesterday, no
// further back than the look-ahead days; a clock set back leaves none.
void TAlertScan::BuildWindows() {
  windows_.clear();
  TJDate today;
  TodayJDate(today, clock_);
  const int days = options_->LookAhead;
  windows_.push_back(MakeWindow(today.JDay, today.JDay + days, false));
  if (!options_->WhileAway || !options_->LastShown) return;
  const CivilDate& shown = *options_->LastShown;
  const std::int32_t first = std::max(DMYToJDay(shown.day, shown.month, shown.year, true) + 1, today.JDay - days);
  if (first < today.JDay) windows_.push_back(MakeWindow(first, today.JDay - 1, true));
}

TAlertScan::TWindow TAlertScan::MakeWindow(std::int32_t first, std::int32_t last, bool missed) {
  TWindow window{first, last, missed, {}};
  for (std::int32_t jday = first; jday <= last; ++jday) {
    const TLAObj day = WindowDay(jday);
    TDayMonthYear dmy;
    JDateToDMY(day.DateRec, dmy);
    // A day a year on has the key of the first: the earlier day keeps it.
    window.Days.try_emplace(DayKey(dmy.Month, dmy.Day), day);
  }
  return window;
}

TLAObj TAlertScan::WindowDay(std::int32_t jday) {
  TJDate day;
  ClearJDate(day);
  day.DayUnknown = day.MonthUnknown = day.YearUnknown = 0;
  day.JDay = jday;
  TDayMonthYear dmy;
  JDateToDMY(day, dmy);
  return {day, dmy.Year};
}

void TAlertScan::ScanFolder(const std::string& folder) {
  tables_.Open(folder);
  const std::string living = options_->Alive ? kLivingClause : "";
  if (Ticked(kBirth)) RunQuery(folder, {false, kBirth, "Search date"}, living);
  if (Ticked(kDeath) && !options_->Alive) RunQuery(folder, {false, kDeath, "Death date"}, "");
  if (Ticked(kYahrzeit) && !options_->Alive) RunQuery(folder, {false, kYahrzeit, "Death date"}, "");
  if (Ticked(kMarriage)) RunQuery(folder, {true, kMarriage, "Marriage date"}, "");
  if (Ticked(kDivorce)) RunQuery(folder, {true, kDivorce, "Divorce date"}, "");
  for (std::size_t item = TSettings::kFixedEventItems; item < options_->EventItems.size(); ++item) {
    if (!Ticked(item)) continue;
    const std::string& column = options_->EventItems[item].Text;
    const auto index = static_cast<std::uint8_t>(item);
    if (tables_.PeopleHasColumn(column)) RunColumnQuery(folder, {false, index, column}, living);
    if (tables_.FamiliesHasColumn(column)) RunColumnQuery(folder, {true, index, column}, "");
  }
  tables_.Close();
}

void TAlertScan::RunQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause) {
  query_.Open(folder, {kind.family, kind.dateColumn, !livingClause.empty(),
                       QueryLines(kind.family, kind.dateColumn, livingClause)});
  if (kind.family && options_->Alive) FindLivingCouples(kind);
  for (; !query_.Eof(); query_.Next()) TakeRow(folder, kind, query_.Current());
  query_.Close();
}

// The families that fall due look up their partners in the order of their
// codes, which is close to the order in which their links and partners were
// written: neighbouring lookups then share their reads, where the order of
// the dates scattered them over the tables.
void TAlertScan::FindLivingCouples(const RowKind& kind) {
  std::vector<std::int32_t> due;
  for (; !query_.Eof(); query_.Next()) {
    TJDate date;
    TDayMonthYear dmy;
    if (!DueDays(kind, query_.Current(), date, dmy).empty()) due.push_back(query_.Current().IntegerField("Code"));
  }
  query_.First();
  std::sort(due.begin(), due.end());
  due.erase(std::unique(due.begin(), due.end()), due.end());
  livingCouples_.clear();
  TLookupRun lookups(tables_);
  for (const std::int32_t code : due) {
    if (tables_.HasLivingPartner(code)) livingCouples_.insert(code);
    tables_.NextLookupRow();
  }
}

void TAlertScan::RunColumnQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause) {
  try {
    RunQuery(folder, kind, livingClause);
  } catch (const keel::EKeelEngineError& error) {
    query_.Close();
    columnErrors_.push_back(error.what());
  }
}

std::vector<TAlertScan::TDueDay> TAlertScan::DueDays(const RowKind& kind, const TScanRecord& row, TJDate& date,
                                                     TDayMonthYear& dmy) const {
  const std::string column = kind.dateColumn + "~B";
  if (!row.DateRecord(column, date)) return {};
  if (!JDateToDMY(date, dmy)) return {};
  // Only a damaged record decodes outside the written years; it has no
  // anniversary to announce.
  if (dmy.Year < 1 || dmy.Year > 9999) return {};
  if (kind.eventIndex == kYahrzeit) return YahrzeitDueDays(row, column, date, dmy);
  // A death is remembered by its yahrzeit, every other event by the rule of
  // Hebrew birthdays.
  if (const std::optional<THebrewDate> hebrew = row.HebrewDate(column)) {
    return HebrewDueDays(*hebrew, kind.eventIndex == kDeath ? THebrewCalendar::Rule::Yahrzeit
                                                            : THebrewCalendar::Rule::Birthday);
  }
  if (!options_->Partial && (date.DayUnknown || date.MonthUnknown)) return {};
  return GregorianDueDays(dmy.Month, dmy.Day);
}

std::vector<TAlertScan::TDueDay> TAlertScan::GregorianDueDays(int month, int day) const {
  std::vector<TDueDay> days;
  for (const TWindow& window : windows_) {
    const auto found = window.Days.find(DayKey(month, day));
    if (found != window.Days.end()) days.push_back({found->second, std::nullopt, {}, window.Missed});
  }
  return days;
}

// Any death with a full date, of whatever calendar, has a yahrzeit. A death
// after sunset fell on the Hebrew day that had begun that evening; a date
// written on the Hebrew calendar already is that day.
std::vector<TAlertScan::TDueDay> TAlertScan::YahrzeitDueDays(const TScanRecord& row, const std::string& column,
                                                             const TJDate& date, const TDayMonthYear& dmy) const {
  if (date.DayUnknown || date.MonthUnknown || date.YearUnknown) return {};
  std::optional<THebrewDate> death = row.HebrewDate(column);
  if (!death) {
    const std::int32_t evening = row.AfterSunset(column) ? 1 : 0;
    death = THebrewCalendar::FromJDay(DMYToJDay(dmy.Day, dmy.Month, dmy.Year, dmy.Ad) + evening);
  }
  // Before the Hebrew calendar's first day there is no Hebrew date.
  if (!death) return {};
  return HebrewDueDays(*death, THebrewCalendar::Rule::Yahrzeit);
}

std::vector<TAlertScan::TDueDay> TAlertScan::HebrewDueDays(const THebrewDate& event,
                                                           THebrewCalendar::Rule rule) const {
  std::vector<TDueDay> days;
  for (const TWindow& window : windows_) {
    for (const THebrewAnniversaryDay& day :
         THebrewCalendar::AnniversariesBetween(event, rule, window.First, window.Last)) {
      const std::optional<THebrewDate> hebrew = THebrewCalendar::FromJDay(day.JDay);
      days.push_back({WindowDay(day.JDay), day.Count, hebrew ? THebrewCalendar::DayAndMonth(*hebrew) : std::string(),
                      window.Missed});
    }
  }
  return days;
}

void TAlertScan::TakeRow(const std::string& folder, const RowKind& kind, const TScanRecord& row) {
  TJDate date;
  TDayMonthYear dmy;
  const std::vector<TDueDay> days = DueDays(kind, row, date, dmy);
  if (days.empty()) return;
  const std::int32_t code = row.IntegerField("Code");
  if (kind.family && options_->Alive && !livingCouples_.contains(code)) return;
  if (options_->Exclude &&
      ignore_.IsIgnored(kind.family, code, folder, options_->EventItems[kind.eventIndex].Text)) {
    return;
  }
  TEventFacts facts;
  facts.EventName = options_->EventItems[kind.eventIndex].Text;
  facts.YearUnknown = date.YearUnknown != 0;
  if (!kind.family) facts.Dead = PersonDead(row);
  const std::string entryKind = kind.family ? "F" : "P";
  for (const TDueDay& day : days) {
    facts.HebrewDate = day.HebrewDate;
    facts.Missed = day.Missed;
    if (day.HebrewCount) {
      alerts_->AddCountedAlert(kind.eventIndex, *day.HebrewCount, day.Day, code, folder, entryKind, row,
                               options_->MarriageIndicator, facts);
    } else {
      alerts_->AddAlert(kind.eventIndex, dmy.Year, day.Day, code, folder, entryKind, !dmy.Ad, row,
                        options_->MarriageIndicator, facts);
    }
  }
}

bool TAlertScan::PersonDead(const TScanRecord& person) {
  if (person.BooleanField("Dead")) return true;
  TJDate death;
  if (!person.DateRecord("Death date~B", death)) return false;
  // A cleared record (everything unknown, no phrase) holds no date at all.
  return death.PhraseLength > 0 || !(death.DayUnknown && death.MonthUnknown && death.YearUnknown);
}

void TAlertScan::AddAddedEvents() {
  for (addedEvents_.First(); !addedEvents_.Eof(); addedEvents_.Next()) {
    const TScanRecord& record = addedEvents_.Current();
    const std::int32_t type = record.IntegerField("EventType");
    if (type < 0 || !Ticked(static_cast<std::size_t>(type))) continue;
    for (const TDueDay& day :
         GregorianDueDays(record.IntegerField("Event date MM"), record.IntegerField("Event date DD"))) {
      TEventFacts facts;
      facts.EventName = options_->EventItems[static_cast<std::size_t>(type)].Text;
      facts.Missed = day.Missed;
      alerts_->AddAlert(static_cast<std::uint8_t>(type), record.IntegerField("Event date YY"), day.Day, 0, "",
                        type == kAddedFixed ? "AF" : "AA", false, record, options_->MarriageIndicator, facts);
    }
  }
}

}  // namespace mindrel
