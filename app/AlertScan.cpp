#include "app/AlertScan.h"

#include <algorithm>
#include <cstdio>

#include "app/ReadProblem.h"
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
  problems_.clear();
  const std::string ignoreIndex = ignore_.SelectPrimaryIndex();
  BuildLookAhead(options.LookAhead);
  for (const std::string& folder : options.Folders) {
    try {
      ScanFolder(folder);
    } catch (const std::exception& error) {
      tables_.Close();
      query_.Close();
      problems_.push_back(TReadProblem::FamilyTreeInPart(folder, error));
    }
  }
  if (Ticked(kAddedFixed) || Ticked(kAddedAnnual)) AddAddedEvents();
  tables_.Close();
  query_.Close();
  ignore_.RestoreIndex(ignoreIndex);
  lookAhead_.clear();
}

void TAlertScan::BuildLookAhead(int days) {
  lookAhead_.clear();
  TJDate today;
  TodayJDate(today, clock_);
  TJDate day;
  ClearJDate(day);
  day.DayUnknown = day.MonthUnknown = day.YearUnknown = 0;
  for (int offset = 0; offset <= days; ++offset) {
    day.JDay = today.JDay + offset;
    TDayMonthYear dmy;
    JDateToDMY(day, dmy);
    // A day a year on has the key of today: the earlier day keeps it.
    lookAhead_.try_emplace(DayKey(dmy.Month, dmy.Day), TLAObj{day, dmy.Year});
  }
}

// A folder's alerts are one state of its tables: a person changed while they
// are read would otherwise give a wedding of the new version beside a
// birthday of the old. What an earlier reading found is dropped before the
// next.
void TAlertScan::ScanFolder(const std::string& folder) {
  tables_.Open(folder);
  const int alertsBefore = alerts_->Count();
  const std::size_t errorsBefore = problems_.size();
  tables_.ReadAsOneState([&] {
    alerts_->DropAddedSince(alertsBefore);
    problems_.resize(errorsBefore);
    RunFolderQueries(folder);
  });
  tables_.Close();
}

void TAlertScan::RunFolderQueries(const std::string& folder) {
  const std::string living = options_->Alive ? kLivingClause : "";
  if (Ticked(kBirth)) RunQuery(folder, {false, kBirth, "Search date"}, living);
  if (Ticked(kDeath) && !options_->Alive) RunQuery(folder, {false, kDeath, "Death date"}, "");
  if (Ticked(kMarriage)) RunQuery(folder, {true, kMarriage, "Marriage date"}, "");
  if (Ticked(kDivorce)) RunQuery(folder, {true, kDivorce, "Divorce date"}, "");
  for (std::size_t item = TSettings::kFixedEventItems; item < options_->EventItems.size(); ++item) {
    if (!Ticked(item)) continue;
    const std::string& column = options_->EventItems[item].Text;
    const auto index = static_cast<std::uint8_t>(item);
    if (tables_.PeopleHasColumn(column)) RunColumnQuery(folder, {false, index, column}, living);
    if (tables_.FamiliesHasColumn(column)) RunColumnQuery(folder, {true, index, column}, "");
  }
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
    if (DueDay(kind, query_.Current(), date, dmy)) due.push_back(query_.Current().IntegerField("Code"));
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
    problems_.push_back(error.what());
  }
}

const TLAObj* TAlertScan::DueDay(const RowKind& kind, const TScanRecord& row, TJDate& date,
                                 TDayMonthYear& dmy) const {
  if (!row.DateRecord(kind.dateColumn + "~B", date)) return nullptr;
  if (!JDateToDMY(date, dmy)) return nullptr;
  // Only a damaged record decodes outside the written years; it has no
  // anniversary to announce.
  if (dmy.Year < 1 || dmy.Year > 9999) return nullptr;
  if (!options_->Partial && (date.DayUnknown || date.MonthUnknown)) return nullptr;
  const auto day = lookAhead_.find(DayKey(dmy.Month, dmy.Day));
  return day == lookAhead_.end() ? nullptr : &day->second;
}

void TAlertScan::TakeRow(const std::string& folder, const RowKind& kind, const TScanRecord& row) {
  TJDate date;
  TDayMonthYear dmy;
  const TLAObj* day = DueDay(kind, row, date, dmy);
  if (day == nullptr) return;
  const std::int32_t code = row.IntegerField("Code");
  if (kind.family && options_->Alive && !livingCouples_.contains(code)) return;
  if (options_->Exclude &&
      ignore_.IsIgnored(kind.family, code, folder, options_->EventItems[kind.eventIndex].Text)) {
    return;
  }
  TEventFacts facts{options_->EventItems[kind.eventIndex].Text, date.YearUnknown != 0, false};
  if (!kind.family) facts.Dead = PersonDead(row);
  alerts_->AddAlert(kind.eventIndex, dmy.Year, *day, code, folder, kind.family ? "F" : "P", !dmy.Ad, row,
                    options_->MarriageIndicator, facts);
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
    const auto day =
        lookAhead_.find(DayKey(record.IntegerField("Event date MM"), record.IntegerField("Event date DD")));
    if (day == lookAhead_.end()) continue;
    TEventFacts facts;
    facts.EventName = options_->EventItems[static_cast<std::size_t>(type)].Text;
    alerts_->AddAlert(static_cast<std::uint8_t>(type), record.IntegerField("Event date YY"), day->second, 0, "",
                      type == kAddedFixed ? "AF" : "AA", false, record, options_->MarriageIndicator, facts);
  }
}

}  // namespace mindrel
