#include "app/AlertScan.h"

#include <algorithm>
#include <cstdio>

#include "app/ReadProblem.h"
#include "engine/core/ErrorCodes.h"

namespace mindrel {

namespace {

constexpr const char* kLivingClause = "P.[Dead] <> True AND ";
constexpr const char* kLeapDayKey = "0229";
constexpr const char* kDivorceDate = "Divorce date";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }


std::string Counted(std::uint32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The faults of a tree's links that the relationships had to leave out, in
// one sentence; empty when there are none.
std::string LinkFaults(const std::string& folder, const TKinGraphProblems& problems) {
  if (!problems.Any()) return "";
  std::vector<std::string> faults;
  if (problems.MissingPeople) faults.push_back(Counted(problems.MissingPeople, "link names", "links name") +
                                               " a person who is not in the tree");
  if (problems.OwnParents) faults.push_back(Counted(problems.OwnParents, "person is", "people are") +
                                            " linked as their own parent");
  if (problems.ExtraPartners) faults.push_back(Counted(problems.ExtraPartners, "family has", "families have") +
                                               " more than two partners");
  if (problems.RepeatedCodes) faults.push_back(Counted(problems.RepeatedCodes, "code is", "codes are") +
                                               " given to more than one person");
  if (problems.ParentCycle) faults.push_back("parent links make someone their own ancestor");
  std::string text = "The family links of " + Quoted(folder) + " have faults: ";
  for (std::size_t i = 0; i < faults.size(); ++i) text += (i ? "; " : "") + faults[i];
  return text + ". The relationships leave them out.";
}

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
  options.MaxAge = settings.MaxAge;
  options.NoWeddingAfterDivorce = settings.NoWeddingAfterDivorce;
  options.LeapDay = settings.LeapDay;
  options.EventItems = settings.EventItems;
  options.Folders = settings.Folders;
  options.MarriageIndicator = formats.MarriageIndicator();
  options.HomePeople = settings.HomePeople;
  options.Limit = settings.Limit;
  options.Degrees = settings.Degrees;
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
  problems_.clear();
  kinshipMessages_.clear();
  lostHomes_.clear();
  const std::string ignoreIndex = ignore_.SelectPrimaryIndex();
  BuildWindows();
  for (const std::string& folder : options.Folders) {
    try {
      ScanFolder(folder);
    } catch (const std::exception& error) {
      kinship_.reset();
      tables_.Close();
      query_.Close();
      problems_.push_back(TReadProblem::FamilyTreeInPart(folder, error));
    }
  }
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
  lifeRule_.emplace(today.JDay, options_->MaxAge);
  const int days = options_->LookAhead;
  windows_.push_back(MakeWindow(today.JDay, today.JDay + days, false));
  if (!options_->WhileAway || !options_->LastShown) return;
  const CivilDate& shown = *options_->LastShown;
  const std::int32_t first = std::max(DMYToJDay(shown.day, shown.month, shown.year, true) + 1, today.JDay - days);
  if (first < today.JDay) windows_.push_back(MakeWindow(first, today.JDay - 1, true));
}

TAlertScan::TWindow TAlertScan::MakeWindow(std::int32_t first, std::int32_t last, bool missed) const {
  TWindow window{first, last, missed, {}};
  for (std::int32_t jday = first; jday <= last; ++jday) {
    const TLAObj day = WindowDay(jday);
    TDayMonthYear dmy;
    JDateToDMY(day.DateRec, dmy);
    // A day a year on has the key of the first: the earlier day keeps it.
    window.Days.try_emplace(DayKey(dmy.Month, dmy.Day), day);
    if (StandsInForLeapDay(dmy)) window.Days.try_emplace(kLeapDayKey, day);
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

void TAlertScan::LoadKinship(const std::string& folder) {
  kinship_.reset();
  const auto home = options_->HomePeople.find(folder);
  if (home == options_->HomePeople.end()) return;
  const std::optional<TSex> homeSex = tables_.PersonSex(home->second);
  TKinGraphBuilder builder;
  const std::string unread = tables_.ReadKinship(builder);
  TKinGraph graph = builder.Build();
  if (!unread.empty()) {
    kinshipMessages_.push_back("The relationships in " + Quoted(folder) + " are incomplete: " + unread +
                               ". Whoever could not be read counts as unrelated.");
  }
  const std::string faults = LinkFaults(folder, graph.Problems());
  if (!faults.empty()) kinshipMessages_.push_back(faults);
  std::uint32_t homeIndex = graph.PersonIndex(home->second);
  if (homeIndex == TKinGraph::kNone && homeSex) {
    // In the tree, but named by no link: related to nobody but themselves.
    TKinGraphBuilder alone;
    alone.AddPerson(home->second, *homeSex);
    graph = alone.Build();
    homeIndex = 0;
  }
  if (homeIndex != TKinGraph::kNone) {
    kinship_.emplace(std::move(graph), homeIndex);
    return;
  }
  // A tree that could not be read whole may yet hold the home person.
  if (!unread.empty()) return;
  lostHomes_.push_back(folder);
  kinshipMessages_.push_back("The home person [P" + std::to_string(home->second) + "] of " + Quoted(folder) +
                             " is no longer in the tree, and is no longer set.");
}

bool TAlertScan::RelateRow(const RowKind& kind, const TScanRecord& row, std::int32_t code, TEventFacts& facts) {
  if (!kinship_) return true;
  const auto degrees = static_cast<std::uint32_t>(options_->Degrees);
  if (kind.family) {
    if (!kinship_->FamilyWithin(code, options_->Limit, degrees)) return false;
    facts.Relation = kinship_->FamilyPhrase(code, [&](std::int32_t partner) {
      const std::optional<TSex> sex = tables_.PersonSex(partner);
      if (!sex) missingPartners_.insert(partner);
      return sex.value_or(TSex::Unknown);
    });
  } else {
    if (!kinship_->PersonWithin(code, options_->Limit, degrees)) return false;
    facts.Relation = kinship_->PersonPhrase(code, SexOfLetter(row.StringField("Sex")));
  }
  return true;
}

bool TAlertScan::StandsInForLeapDay(const TDayMonthYear& day) const {
  constexpr int kFebruary = 2;
  constexpr int kLeapFebruaryDays = 29;
  if (DaysInMonth(kFebruary, day.Year, day.Ad) == kLeapFebruaryDays) return false;
  switch (options_->LeapDay) {
    case TLeapDay::Feb28:
      return day.Month == 2 && day.Day == 28;
    case TLeapDay::Mar1:
      return day.Month == 3 && day.Day == 1;
    case TLeapDay::LeapYearsOnly:
      break;
  }
  return false;
}

// A folder's alerts are one state of its tables: a person changed while they
// are read would otherwise give a wedding of the new version beside a
// birthday of the old. What an earlier reading found is dropped before the
// next.
void TAlertScan::ScanFolder(const std::string& folder) {
  tables_.Open(folder);
  const int alertsBefore = alerts_->Count();
  const std::size_t problemsBefore = problems_.size();
  const std::size_t kinshipBefore = kinshipMessages_.size();
  const std::size_t lostBefore = lostHomes_.size();
  tables_.ReadAsOneState([&] {
    alerts_->DropAddedSince(alertsBefore);
    problems_.resize(problemsBefore);
    kinshipMessages_.resize(kinshipBefore);
    lostHomes_.resize(lostBefore);
    missingPartners_.clear();
    LoadKinship(folder);
    FindDateColumns();
    RunFolderQueries(folder);
  });
  TellMissingPartners(folder);
  kinship_.reset();
  tables_.Close();
}

void TAlertScan::RunFolderQueries(const std::string& folder) {
  const std::string living = options_->Alive ? kLivingClause : "";
  if (Ticked(kBirth)) RunQuery(folder, {false, kBirth, "Search date"}, living);
  // "Only living people" decides whose birthdays and weddings are announced;
  // the anniversaries of deaths are the point of ticking "Death" or "Yahrzeit".
  if (Ticked(kDeath)) RunQuery(folder, {false, kDeath, "Death date"}, "");
  if (Ticked(kYahrzeit)) RunQuery(folder, {false, kYahrzeit, "Death date"}, "");
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

void TAlertScan::TellMissingPartners(const std::string& folder) {
  if (!missingPartners_.empty()) {
    kinshipMessages_.push_back("The family links of " + Quoted(folder) + " have faults: " +
                               Counted(static_cast<std::uint32_t>(missingPartners_.size()), "partner", "partners") +
                               " of couples in the list " + (missingPartners_.size() == 1 ? "is" : "are") +
                               " not in the tree. The relationships leave them out.");
  }
  missingPartners_.clear();
}

// Every date column of the folder may date a person's life: the ticked ones
// and the others alike.
void TAlertScan::FindDateColumns() {
  peopleDateColumns_.clear();
  familyDateColumns_ = {"Marriage date", kDivorceDate};
  for (std::size_t item = TSettings::kFixedEventItems; item < options_->EventItems.size(); ++item) {
    const std::string& column = options_->EventItems[item].Text;
    if (tables_.PeopleHasColumn(column)) peopleDateColumns_.push_back(column);
    if (tables_.FamiliesHasColumn(column)) familyDateColumns_.push_back(column);
  }
}

void TAlertScan::RunQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause) {
  query_.Open(folder, {kind.family, kind.dateColumn, !livingClause.empty(),
                       QueryLines(kind.family, kind.dateColumn, livingClause)});
  couples_.clear();
  // A wedding anniversary is worded for a dead partner even when the dead
  // are shown; other family dates need the partners only to leave out
  // couples without a living one.
  if (kind.family && (options_->Alive || kind.eventIndex == kMarriage)) FindCouples(kind);
  for (; !query_.Eof(); query_.Next()) TakeRow(folder, kind, query_.Current());
  query_.Close();
}

// The families that fall due look up their partners in the order of their
// codes, which is close to the order in which their links and partners were
// written: neighbouring lookups then share their reads, where the order of
// the dates scattered them over the tables.
void TAlertScan::FindCouples(const RowKind& kind) {
  std::vector<std::int32_t> due;
  for (; !query_.Eof(); query_.Next()) {
    TJDate date;
    TDayMonthYear dmy;
    if (!DueDays(kind, query_.Current(), date, dmy).empty()) due.push_back(query_.Current().IntegerField("Code"));
  }
  query_.First();
  std::sort(due.begin(), due.end());
  due.erase(std::unique(due.begin(), due.end()), due.end());
  TLookupRun lookups(tables_);
  for (const std::int32_t code : due) {
    couples_.emplace(code, CoupleOf(code, kind.eventIndex == kMarriage));
    tables_.NextLookupRow();
  }
}

// A link to a person who is not there names no partner.
TAlertScan::TCouple TAlertScan::CoupleOf(std::int32_t familyCode, bool wedding) {
  TCouple couple;
  for (const std::int32_t code : tables_.PartnerCodes(familyCode)) {
    const TScanRecord* partner = tables_.FindPerson(code);
    if (partner == nullptr) continue;
    const bool dead = PersonDead(*partner, code);
    ++(dead ? couple.Dead : couple.Living);
    if (dead == wedding) break;
  }
  return couple;
}

bool TAlertScan::PersonDead(const TScanRecord& person, std::int32_t code) {
  return lifeRule_->Dead(TLifeRule::LifeOf(person, peopleDateColumns_),
                         [&] { return tables_.FamilyDates(code, familyDateColumns_); });
}

void TAlertScan::RunColumnQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause) {
  try {
    RunQuery(folder, kind, livingClause);
  } catch (const keel::EKeelEngineError& error) {
    query_.Close();
    problems_.push_back(error.what());
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
  const bool personDead = !kind.family && PersonDead(row, code);
  if (personDead && options_->Alive && kind.eventIndex != kDeath && kind.eventIndex != kYahrzeit) return;
  TEventFacts facts;
  facts.EventName = options_->EventItems[kind.eventIndex].Text;
  if (!RelateRow(kind, row, code, facts)) return;
  if (options_->Exclude &&
      ignore_.IsIgnored(kind.family, code, folder, options_->EventItems[kind.eventIndex].Text)) {
    return;
  }
  facts.YearUnknown = date.YearUnknown != 0;
  facts.Approximate = date.Qualifier < qNone;
  facts.Precision = date.MonthUnknown ? TDatePrecision::Year
                    : date.DayUnknown ? TDatePrecision::Month
                                      : TDatePrecision::Day;
  const std::string entryKind = kind.family ? "F" : "P";
  for (const TDueDay& day : days) {
    bool dead = personDead;
    if (kind.family && FamilyLeftOut(kind, row, day.Day, dead)) continue;
    facts.Dead = dead;
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

bool TAlertScan::FamilyLeftOut(const RowKind& kind, const TScanRecord& family, const TLAObj& day, bool& dead) {
  const bool wedding = kind.eventIndex == kMarriage;
  if (wedding && options_->NoWeddingAfterDivorce && DivorcedBefore(family, day)) return true;
  const auto found = couples_.find(family.IntegerField("Code"));
  if (found == couples_.end()) return false;
  const TCouple& couple = found->second;
  // A marriage ends with a partner's death; other family dates stay a
  // living couple's while one of them lives.
  dead = wedding && couple.Dead > 0;
  return options_->Alive && (couple.Living == 0 || dead);
}

bool TAlertScan::DivorcedBefore(const TScanRecord& family, const TLAObj& day) {
  TJDate divorce;
  if (!family.DateRecord(std::string(kDivorceDate) + "~B", divorce) || !TLifeRule::Recorded(divorce)) return false;
  const std::optional<std::int32_t> lastDay = TLifeRule::LastPossibleDay(divorce);
  return !lastDay || day.DateRec.JDay > *lastDay;
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
