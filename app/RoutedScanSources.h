#pragma once

// The alert scan's sources for a list that mixes family-tree folders and
// GEDCOM files: each call goes to the folder's datasets or to the file's
// reader, by what the entry names.

#include "app/DatasetScanSources.h"
#include "app/GedcomScanSources.h"

namespace mindrel {

class TRoutedQuery final : public TScanQuery {
 public:
  TRoutedQuery(TScanQuery& folders, TScanQuery& files) : folders_(folders), files_(files) {}
  void Open(const std::string& folder, const TEventQuery& query) override;
  bool Eof() const override { return active_->Eof(); }
  void Next() override { active_->Next(); }
  void First() override { active_->First(); }
  const TScanRecord& Current() const override { return active_->Current(); }
  void Close() override { active_->Close(); }

 private:
  TScanQuery& folders_;
  TScanQuery& files_;
  TScanQuery* active_ = &folders_;
};

class TRoutedTables final : public TFamilyTreeTables {
 public:
  TRoutedTables(TFamilyTreeTables& folders, TGedcomTables& files) : folders_(folders), files_(files) {}
  void Open(const std::string& folder) override;
  bool PeopleHasColumn(const std::string& name) override { return active_->PeopleHasColumn(name); }
  bool FamiliesHasColumn(const std::string& name) override { return active_->FamiliesHasColumn(name); }
  std::string ReadKinship(TKinGraphBuilder& builder) override { return active_->ReadKinship(builder); }
  std::optional<TSex> PersonSex(std::int32_t code) override { return active_->PersonSex(code); }
  std::vector<std::int32_t> PartnerCodes(std::int32_t familyCode) override {
    return active_->PartnerCodes(familyCode);
  }
  const TScanRecord* FindPerson(std::int32_t code) override { return active_->FindPerson(code); }
  std::vector<TJDate> FamilyDates(std::int32_t personCode, const std::vector<std::string>& familyDateColumns) override {
    return active_->FamilyDates(personCode, familyDateColumns);
  }
  void BeginLookups() override { active_->BeginLookups(); }
  void NextLookupRow() override { active_->NextLookupRow(); }
  void EndLookups() override { active_->EndLookups(); }
  void ReadAsOneState(const std::function<void()>& read) override { active_->ReadAsOneState(read); }
  void Close() override;

 private:
  TFamilyTreeTables& folders_;
  TGedcomTables& files_;
  TFamilyTreeTables* active_ = &folders_;
};

// The one ignore list serves both kinds of source; only the partners of a
// GEDCOM couple come from the file rather than from a links table.
class TRoutedIgnore final : public TIgnoreChecker {
 public:
  TRoutedIgnore(TIgnoreTable& ignore, TGedcomTables& files) : ignore_(ignore), files_(files) {}
  std::string SelectPrimaryIndex() override { return ignore_.SelectPrimaryIndex(); }
  void RestoreIndex(const std::string& indexName) override { ignore_.RestoreIndex(indexName); }
  bool IsIgnored(bool family, std::int32_t code, const std::string& folder, const std::string& eventName) override;

 private:
  // Asked for every alert; the answer is kept for the folder last asked about.
  bool IsGedcomFile(const std::string& folder);

  TIgnoreTable& ignore_;
  TGedcomTables& files_;
  std::string knownFolder_;
  bool knownIsFile_ = false;
};

}  // namespace mindrel
