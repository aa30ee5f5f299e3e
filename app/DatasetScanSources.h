#pragma once

// The alert scan's sources on the dataset layer: the query over a folder's
// tables, the people, families and links tables, the ignore list and the
// added-events table.

#include <memory>
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

// "People.dat", "Families.dat" and "Links.dat" (index "CFMIdx") of a folder.
// People are found by "Code" through their primary index; a folder whose
// people index was lost (the engine then only has the rows' own order) is
// read once into a table of who is dead instead.
class TFamilyTreeDatasets final : public TFamilyTreeTables {
 public:
  // The links' index whose first fields are "RecType" and "ChildMarr".
  static constexpr const char* kPartnerIndex = "CFMIdx";

  TFamilyTreeDatasets(keel::TKeelTable& people, keel::TKeelTable& families, keel::TKeelTable& links)
      : people_(people), families_(families), links_(links) {}
  void Open(const std::string& folder) override;
  bool PeopleHasColumn(const std::string& name) override;
  bool FamiliesHasColumn(const std::string& name) override;
  bool HasLivingPartner(std::int32_t familyCode) override;
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
  bool PeopleIndexedByCode();
  void ReadDeadByCode();
  bool PersonLiving(std::int32_t code);

  keel::TKeelTable& people_;
  keel::TKeelTable& families_;
  keel::TKeelTable& links_;
  // Only filled when the people index is missing.
  std::unordered_map<std::int32_t, bool> deadByCode_;
  bool peopleByCode_ = true;
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
