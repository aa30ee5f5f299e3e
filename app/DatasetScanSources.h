#pragma once

// The alert scan's sources on the dataset layer: the query over a folder's
// tables, the people, families and links tables, the ignore list and the
// added-events table.

#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "app/ScanSource.h"
#include "engine/components/KeelQuery.h"
#include "engine/components/KeelReadBatch.h"
#include "engine/components/KeelTable.h"

namespace mindrel {

// The current record of a dataset.
class TDatasetRecord final : public TScanRecord {
 public:
  explicit TDatasetRecord(keel::TKeelDataSet& dataSet) : dataSet_(dataSet) {}
  std::string StringField(const std::string& name) const override;
  bool DateRecord(const std::string& column, TJDate& date) const override;
  std::int32_t IntegerField(const std::string& name) const override;
  bool BooleanField(const std::string& name) const override;

 private:
  keel::TKeelDataSet& dataSet_;
};

class TDatasetQuery final : public TScanQuery {
 public:
  explicit TDatasetQuery(keel::TKeelQuery& query) : query_(query), record_(query) {}
  void Open(const std::string& folder, const TEventQuery& query) override;
  bool Eof() const override { return query_.Eof(); }
  void Next() override { query_.Next(); }
  void First() override { query_.First(); }
  const TScanRecord& Current() const override { return record_; }
  void Close() override { query_.Close(); }

 private:
  keel::TKeelQuery& query_;
  TDatasetRecord record_;
};

// A row kept apart from its table: "Code", "Dead", "Sex" and every date record.
class TRowCopy final : public TScanRecord {
 public:
  explicit TRowCopy(keel::TKeelDataSet& dataSet);
  std::string StringField(const std::string& name) const override;
  bool DateRecord(const std::string& column, TJDate& date) const override;
  std::int32_t IntegerField(const std::string& name) const override;
  bool BooleanField(const std::string& name) const override;

 private:
  std::int32_t code_ = 0;
  bool dead_ = false;
  std::string sex_;
  std::map<std::string, TJDate> dates_;  // by column name in lower case
};

// The rows of a table found by "Code": through its primary index, or, in a
// folder that lost that index (the engine then only has the rows' own
// order), among copies of the rows read once when first asked for.
class TRowsByCode {
 public:
  explicit TRowsByCode(keel::TKeelTable& table) : table_(table), record_(table) {}
  // After the table was opened.
  void Reset();
  const TScanRecord* Find(std::int32_t code);

 private:
  bool IndexedByCode();

  keel::TKeelTable& table_;
  TDatasetRecord record_;
  std::optional<bool> indexed_;
  std::optional<std::unordered_map<std::int32_t, TRowCopy>> copies_;
};

// "People.dat", "Families.dat" and "Links.dat" (index "CFMIdx") of a folder.
// People and families are found by "Code" (TRowsByCode). The families a
// person belongs to are found through an index of the links table led by
// "PersFam" where the folder has one, else by one walk over the partner
// links made when first asked for; the families table, and the second cursor
// on the links, are opened only then.
class TFamilyTreeDatasets final : public TFamilyTreeTables {
 public:
  // The links' index whose first fields are "RecType" and "ChildMarr".
  static constexpr const char* kPartnerIndex = "CFMIdx";

  TFamilyTreeDatasets(keel::TKeelTable& people, keel::TKeelTable& families, keel::TKeelTable& links)
      : people_(people), families_(families), links_(links), peopleByCode_(people), familiesByCode_(families) {}
  void Open(const std::string& folder) override;
  bool PeopleHasColumn(const std::string& name) override;
  bool FamiliesHasColumn(const std::string& name) override;
  // The links' "P" and "C" rows; the people only where the table names
  // parents on their records ("Father" and "Mother"): reading every
  // person's row would cost more than the rest of the scan allows.
  std::string ReadKinship(TKinGraphBuilder& builder) override;
  std::optional<TSex> PersonSex(std::int32_t code) override;
  std::vector<std::int32_t> PartnerCodes(std::int32_t familyCode) override;
  const TScanRecord* FindPerson(std::int32_t code) override { return peopleByCode_.Find(code); }
  std::vector<TJDate> FamilyDates(std::int32_t personCode, const std::vector<std::string>& familyDateColumns) override;
  void BeginLookups() override;
  void NextLookupRow() override;
  void EndLookups() override;
  void ReadAsOneState(const std::function<void()>& read) override;
  void Close() override;

  // Goes to the first partner link of the family; false when it has none.
  static bool FirstPartnerLink(keel::TKeelTable& links, std::int32_t familyCode);
  // The links table still stands on a partner link of the family.
  static bool OnPartnerLink(const keel::TKeelTable& links, std::int32_t familyCode);

 private:
  void ReadPeopleKinship(TKinGraphBuilder& builder);
  void ReadLinksKinship(TKinGraphBuilder& builder);
  void ReadFamiliesOfPeople();
  // Opens the second cursor on an index of the links led by "PersFam"; false
  // when the folder's links have none.
  bool OpenLinksByPerson();
  std::vector<std::int32_t> FamiliesOf(std::int32_t personCode);

  keel::TKeelTable& people_;
  keel::TKeelTable& families_;
  keel::TKeelTable& links_;
  TRowsByCode peopleByCode_;
  TRowsByCode familiesByCode_;
  // Person code to the codes of their families, once read.
  std::optional<std::unordered_multimap<std::int32_t, std::int32_t>> familiesOfPeople_;
  keel::TKeelTable linksByPerson_;
  std::optional<bool> linksIndexedByPerson_;
  std::vector<std::unique_ptr<keel::TKeelReadBatch>> lookupReads_;
};

// The ignore list ("Ignore.dat"); family events look up the partners through
// the links table of the folder being scanned.
class TIgnoreTable final : public TIgnoreChecker {
 public:
  TIgnoreTable(keel::TKeelTable& ignore, keel::TKeelTable& links) : ignore_(ignore), links_(links) {}
  std::string SelectPrimaryIndex() override;
  void RestoreIndex(const std::string& indexName) override { ignore_.SetIndexName(indexName); }
  bool IsIgnored(bool family, std::int32_t code, const std::string& folder, const std::string& eventName) override;
  // The person of that code and source is ignored for the event.
  bool PersonIgnored(std::int32_t code, const std::string& folder, const std::string& eventName);

 private:

  keel::TKeelTable& ignore_;
  keel::TKeelTable& links_;
};

class TEventsTable final : public TAddedEvents {
 public:
  explicit TEventsTable(keel::TKeelTable& events) : events_(events), record_(events) {}
  void First() override { events_.First(); }
  bool Eof() const override { return events_.Eof(); }
  void Next() override { events_.Next(); }
  const TScanRecord& Current() const override { return record_; }

 private:
  keel::TKeelTable& events_;
  TDatasetRecord record_;
};

}  // namespace mindrel
