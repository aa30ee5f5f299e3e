#pragma once

// What the alert scan reads, as the dataset layer offers it. The scan depends
// only on these, so its rules can be checked against small hand-made records.

#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "app/EntrySource.h"
#include "dates/HebrewCalendar.h"
#include "dates/UDate.h"
#include "kinship/KinGraphBuilder.h"

namespace mindrel {

// The current record of a query or table.
class TScanRecord : public TEntrySource {
 public:
  // The raw 72 bytes of a date record column; false for a null value and
  // for a column the row does not have.
  virtual bool DateRecord(const std::string& column, TJDate& date) const = 0;
  // An integer column; 0 for a null value.
  virtual std::int32_t IntegerField(const std::string& name) const = 0;
  // A Boolean column; false for a null value.
  virtual bool BooleanField(const std::string& name) const = 0;
  // The date of a date record column as written on the Hebrew calendar, when
  // it was; the family-tree tables know of no calendar but their own.
  virtual std::optional<THebrewDate> HebrewDate(const std::string& /*column*/) const { return std::nullopt; }
  // The event of a date record column happened after sunset, on the eve of
  // the next Hebrew day; the family-tree tables do not say so.
  virtual bool AfterSunset(const std::string& /*column*/) const { return false; }
};

// One query of the scan: the rows of one table that carry one date.
struct TEventQuery {
  bool Families = false;
  std::string DateColumn;  // "Search date", "Marriage date", a custom column ...
  bool LivingOnly = false;  // people marked dead are left out
  std::vector<std::string> SqlLines;  // the same query as the four lines of SQL
};

// The query dataset: one query over a source's records, read from first to
// last in the order of their dates' day numbers.
class TScanQuery {
 public:
  virtual ~TScanQuery() = default;
  virtual void Open(const std::string& folder, const TEventQuery& query) = 0;
  virtual bool Eof() const = 0;
  virtual void Next() = 0;
  // Back to the first row.
  virtual void First() = 0;
  // REQUIRES: !Eof()
  virtual const TScanRecord& Current() const = 0;
  virtual void Close() = 0;
};

// The people and links tables of the folder being scanned.
class TFamilyTreeTables {
 public:
  virtual ~TFamilyTreeTables() = default;
  virtual void Open(const std::string& folder) = 0;
  virtual bool PeopleHasColumn(const std::string& name) = 0;
  virtual bool FamiliesHasColumn(const std::string& name) = 0;
  // Reads every partner and parent link, and the people where the links do
  // not name them all, into `builder`. Answers what could not be read, empty
  // when all was; what was read before the fault stays in the builder.
  virtual std::string ReadKinship(TKinGraphBuilder& builder) = 0;
  // The sex of the person of that code; nothing when the tree has no such
  // person.
  virtual std::optional<TSex> PersonSex(std::int32_t code) = 0;
  // The codes of the people the family's partner links name, in link order.
  virtual std::vector<std::int32_t> PartnerCodes(std::int32_t familyCode) = 0;
  // The row of the person with that code, valid until the next call; nullptr
  // when there is none.
  virtual const TScanRecord* FindPerson(std::int32_t code) = 0;
  // The dates of `familyDateColumns` ("Marriage date", "Divorce date" ...)
  // of every family the person is a partner of, those stored.
  virtual std::vector<TJDate> FamilyDates(std::int32_t personCode,
                                          const std::vector<std::string>& familyDateColumns) = 0;
  // The rows of one family query are about to be looked at: the tables may
  // keep their read locks from one row's lookups to the next. NextLookupRow
  // marks each row (now and then the locks are let go for other programs'
  // writers); EndLookups lets them go.
  virtual void BeginLookups() {}
  virtual void NextLookupRow() {}
  virtual void EndLookups() {}
  // Runs `read` (the whole scan of the open source) so that what it reads is
  // one state of the source: again when another program changed it
  // meanwhile. `read` must start afresh every time.
  virtual void ReadAsOneState(const std::function<void()>& read) { read(); }
  // Closes whatever is open; harmless when nothing is.
  virtual void Close() = 0;
};

// The ignore list.
class TIgnoreChecker {
 public:
  virtual ~TIgnoreChecker() = default;
  // Selects the primary index; returns the index name chosen before.
  virtual std::string SelectPrimaryIndex() = 0;
  virtual void RestoreIndex(const std::string& indexName) = 0;
  // The person (or, for a family, either partner) is ignored for the event.
  virtual bool IsIgnored(bool family, std::int32_t code, const std::string& folder,
                         const std::string& eventName) = 0;
};

// The added-events table, walked in its current order.
class TAddedEvents {
 public:
  virtual ~TAddedEvents() = default;
  virtual void First() = 0;
  virtual bool Eof() const = 0;
  virtual void Next() = 0;
  // REQUIRES: !Eof()
  virtual const TScanRecord& Current() const = 0;
};

}  // namespace mindrel
