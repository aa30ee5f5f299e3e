#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/AlertList.h"
#include "app/LAObj.h"
#include "app/LifeRule.h"
#include "app/ScanSource.h"
#include "app/Settings.h"
#include "formats/EventFormats.h"
#include "kinship/HomeKinship.h"
#include "platform/Clock.h"

namespace mindrel {

// The options a scan runs with, as the options panel shows them.
struct TScanOptions {
  int LookAhead = 30;  // days after today, 0..365
  bool Alive = true;
  bool Exclude = true;
  bool Partial = false;
  int MaxAge = 110;
  bool NoWeddingAfterDivorce = true;
  TLeapDay LeapDay = TLeapDay::Feb28;
  std::vector<TEventItem> EventItems;
  std::vector<std::string> Folders;
  std::string MarriageIndicator = "=";
  std::map<std::string, std::int32_t> HomePeople;  // by folder
  TFamilyLimit Limit = TFamilyLimit::AllPeople;
  int Degrees = TSettings::kDefaultDegrees;
  bool MarkJubilees = true;
  TJubilees Jubilees;
  // "While &you were away": the anniversaries of the days after the day the
  // list was last shown, up to yesterday and at most LookAhead days back, are
  // listed too, marked as missed. Nothing is missed before a first showing.
  bool WhileAway = true;
  std::optional<CivilDate> LastShown;

  static TScanOptions From(const TSettings& settings, const TEventFormats& formats);
};

// Fills the alert list with the anniversaries of the next days: one query per
// ticked event type and folder, each stored date decoded and matched by day
// and month against the look-ahead window, then the user's added events.
// Who counts as dead follows TLifeRule; "Only living people" leaves out the
// birthdays and other dates of the dead, the wedding anniversaries of couples
// with a dead partner and the other family dates of couples without a living
// one, never the death anniversaries. A 29 February falls on the day the
// options say in a common year. A folder that cannot be read, or not to its
// end, is named in Problems(), the entries found in it until then staying in
// the list, and the other sources are still scanned.
class TAlertScan {
 public:
  TAlertScan(const Clock& clock, TFamilyTreeTables& tables, TScanQuery& query, TIgnoreChecker& ignore,
             TAddedEvents& addedEvents)
      : clock_(clock), tables_(tables), query_(query), ignore_(ignore), addedEvents_(addedEvents) {}

  void RefreshOutputList(const TScanOptions& options, TAlertList& alerts);

  // The messages of folders and custom date columns that could not be read
  // in the last scan; each costs only its own alerts.
  const std::vector<std::string>& Problems() const { return problems_; }
  // What the last scan has to tell about the relationships: a tree whose
  // links could not all be read or have faults, a home person who has gone
  // (one message per source and kind).
  const std::vector<std::string>& KinshipMessages() const { return kinshipMessages_; }
  // The sources whose home person is no longer in the tree: their setting
  // is to be dropped.
  const std::vector<std::string>& LostHomes() const { return lostHomes_; }

  // "P.[Birth date~J]", or in double quotes for names brackets cannot hold.
  static std::string QuotedColumn(const std::string& alias, const std::string& column);
  // The four lines of one query: "SELECT *", "FROM People P", the WHERE line
  // (with the living clause where given) and the ORDER BY line.
  static std::vector<std::string> QueryLines(bool families, const std::string& dateColumn,
                                             const std::string& livingClause);
  // Month and day as four digits ("0105" for 5 January).
  static std::string DayKey(int month, int day);

 private:
  struct RowKind {
    bool family;
    std::uint8_t eventIndex;
    std::string dateColumn;
  };
  // How many of a family's partners were found living and dead; the count
  // stops once it settles what the query asks (see CoupleOf).
  struct TCouple {
    int Living = 0;
    int Dead = 0;
  };

  // A day of the window on which a row's event is remembered. Dates of the
  // Hebrew calendar come with their count of Hebrew years and the Hebrew
  // date of the day; the others count their years from the alert day's.
  struct TDueDay {
    TLAObj Day;
    std::optional<int> HebrewCount;
    std::string HebrewDate;
    bool Missed = false;
  };
  // A span of days whose anniversaries are looked for: the look-ahead days,
  // or the days missed while the list was not shown.
  struct TWindow {
    std::int32_t First = 0;
    std::int32_t Last = 0;
    bool Missed = false;
    std::map<std::string, TLAObj> Days;  // by DayKey; the earlier day keeps a key
  };

  void BuildWindows();
  TWindow MakeWindow(std::int32_t first, std::int32_t last, bool missed) const;
  // The day a 29 February anniversary falls on in the common year of
  // (month, day), when that is the day.
  bool StandsInForLeapDay(const TDayMonthYear& day) const;
  void ScanFolder(const std::string& folder);
  // The relationships of the folder's people to its home person, when one is set.
  void LoadKinship(const std::string& folder);
  // Whether the row passes the family limit; its relation into `facts`.
  bool RelateRow(const RowKind& kind, const TScanRecord& row, std::int32_t code, TEventFacts& facts);
  void FindDateColumns();
  void RunFolderQueries(const std::string& folder);
  // The partners of listed couples the folder lacks, told once per folder.
  void TellMissingPartners(const std::string& folder);
  void RunQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause);
  void RunColumnQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause);
  void FindCouples(const RowKind& kind);
  // A wedding asks whether a partner is dead, other family dates whether one
  // lives: the partners are looked up until the answer is known.
  TCouple CoupleOf(std::int32_t familyCode, bool wedding);
  // The look-ahead days on which the row's date is remembered: at most one
  // for a Gregorian date, every Hebrew anniversary in the window for a date
  // of the Hebrew calendar. `date` and `dmy` get the row's date.
  std::vector<TDueDay> DueDays(const RowKind& kind, const TScanRecord& row, TJDate& date, TDayMonthYear& dmy) const;
  std::vector<TDueDay> YahrzeitDueDays(const TScanRecord& row, const std::string& column, const TJDate& date,
                                       const TDayMonthYear& dmy) const;
  std::vector<TDueDay> HebrewDueDays(const THebrewDate& event, THebrewCalendar::Rule rule) const;
  // The window's day of that month and day, in each window that has one.
  std::vector<TDueDay> GregorianDueDays(int month, int day) const;
  // The window's day of that day number.
  static TLAObj WindowDay(std::int32_t jday);
  void TakeRow(const std::string& folder, const RowKind& kind, const TScanRecord& row);
  // Whether the family row's anniversary on `day` is left out, and whether a
  // partner is dead (for its wording).
  bool FamilyLeftOut(const RowKind& kind, const TScanRecord& family, const TLAObj& day, bool& dead);
  // The couple's stored divorce came before `day` (a divorce of no known
  // day always did).
  static bool DivorcedBefore(const TScanRecord& family, const TLAObj& day);
  bool PersonDead(const TScanRecord& person, std::int32_t code);
  void AddAddedEvents();
  bool Ticked(std::size_t item) const;

  const Clock& clock_;
  TFamilyTreeTables& tables_;
  TScanQuery& query_;
  TIgnoreChecker& ignore_;
  TAddedEvents& addedEvents_;
  const TScanOptions* options_ = nullptr;
  TAlertList* alerts_ = nullptr;
  std::vector<TWindow> windows_;
  std::optional<TLifeRule> lifeRule_;
  // The date columns of the folder being scanned that tell of a person's
  // life beyond birth and death, and those of its families.
  std::vector<std::string> peopleDateColumns_;
  std::vector<std::string> familyDateColumns_;
  // The partners of the families that fall due in the query being run, when
  // the query needs them.
  std::unordered_map<std::int32_t, TCouple> couples_;
  std::vector<std::string> problems_;
  std::optional<THomeKinship> kinship_;  // of the folder being scanned
  // Partners of the folder's couples whom its people table lacks.
  std::set<std::int32_t> missingPartners_;
  std::vector<std::string> kinshipMessages_;
  std::vector<std::string> lostHomes_;
};

}  // namespace mindrel
