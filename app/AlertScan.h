#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/AlertList.h"
#include "app/LAObj.h"
#include "app/ScanSource.h"
#include "app/Settings.h"
#include "formats/EventFormats.h"
#include "platform/Clock.h"

namespace mindrel {

// The options a scan runs with, as the options panel shows them.
struct TScanOptions {
  int LookAhead = 30;  // days after today, 0..365
  bool Alive = true;
  bool Exclude = true;
  bool Partial = false;
  std::vector<TEventItem> EventItems;
  std::vector<std::string> Folders;
  std::string MarriageIndicator = "=";

  static TScanOptions From(const TSettings& settings, const TEventFormats& formats);
};

// Fills the alert list with the anniversaries of the next days: one query per
// ticked event type and folder, each stored date decoded and matched by day
// and month against the look-ahead window, then the user's added events.
// A folder that cannot be read, or not to its end, is named in Problems(),
// the entries found in it until then staying in the list, and the other
// sources are still scanned.
class TAlertScan {
 public:
  TAlertScan(const Clock& clock, TFamilyTreeTables& tables, TScanQuery& query, TIgnoreChecker& ignore,
             TAddedEvents& addedEvents)
      : clock_(clock), tables_(tables), query_(query), ignore_(ignore), addedEvents_(addedEvents) {}

  void RefreshOutputList(const TScanOptions& options, TAlertList& alerts);

  // The messages of folders and custom date columns that could not be read
  // in the last scan; each costs only its own alerts.
  const std::vector<std::string>& Problems() const { return problems_; }

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

  void BuildLookAhead(int days);
  void ScanFolder(const std::string& folder);
  void RunFolderQueries(const std::string& folder);
  void RunQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause);
  void RunColumnQuery(const std::string& folder, const RowKind& kind, const std::string& livingClause);
  void FindLivingCouples(const RowKind& kind);
  // The look-ahead day on which the row's date falls, or null; `date` and
  // `dmy` get the row's date.
  const TLAObj* DueDay(const RowKind& kind, const TScanRecord& row, TJDate& date, TDayMonthYear& dmy) const;
  void TakeRow(const std::string& folder, const RowKind& kind, const TScanRecord& row);
  void AddAddedEvents();
  // Marked dead, or a death date (or phrase) is stored.
  static bool PersonDead(const TScanRecord& person);
  bool Ticked(std::size_t item) const;

  const Clock& clock_;
  TFamilyTreeTables& tables_;
  TScanQuery& query_;
  TIgnoreChecker& ignore_;
  TAddedEvents& addedEvents_;
  const TScanOptions* options_ = nullptr;
  TAlertList* alerts_ = nullptr;
  std::map<std::string, TLAObj> lookAhead_;
  // The families of the query being run that have a living partner.
  std::unordered_set<std::int32_t> livingCouples_;
  std::vector<std::string> problems_;
};

}  // namespace mindrel
