#pragma once

// The alert scan's sources on a GEDCOM file: the query over its people or
// couples and the tables' questions (columns, living partners), answered
// from the file read once per scan.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/ScanSource.h"
#include "gedcom/GedcomTree.h"

namespace mindrel {

// The GEDCOM files of one scan, each read when the scan reaches it. A file
// that cannot be read counts as empty, and its message is kept, so the other
// sources are still scanned.
class TGedcomSource {
 public:
  // The tree of the file at `path`.
  const TGedcomTree& Load(const std::string& path);
  // The messages of the files that could not be read, each naming the file
  // and the line.
  const std::vector<std::string>& Messages() const { return messages_; }
  // The family (or person) of that code in the file loaded last; nullptr when none.
  const TGedcomFamily* FamilyByCode(std::int32_t code) const;
  std::optional<std::uint32_t> PersonByCode(std::int32_t code) const;
  // The families the person (by row) is a partner of, as rows.
  const std::vector<std::uint32_t>& FamiliesOf(std::uint32_t person) const;
  // The date of the person's or family's row in the column the family-tree
  // tables would call `dateColumn` ("Search date", "Marriage date", a custom
  // column); false when it has none.
  bool DateOf(bool family, std::uint32_t row, const std::string& dateColumn, TJDate& date) const;
  // The whole dated row behind such a date (with its Hebrew date and sunset
  // note); null when there is none.
  const TDatedRow* DatedRowOf(bool family, std::uint32_t row, const std::string& dateColumn) const;
  const TGedcomTree& Tree() const { return tree_; }

 private:
  // One date of one row: its column (an index into the tree's columns).
  struct TRowDate {
    std::uint32_t Column;
    const TDatedRow* Row;
  };
  void IndexTree();

  std::string path_;
  bool loaded_ = false;
  TGedcomTree tree_;
  std::unordered_map<std::int32_t, std::uint32_t> familyByCode_;
  std::unordered_map<std::int32_t, std::uint32_t> personByCode_;
  std::vector<std::vector<TRowDate>> personDates_, familyDates_;
  std::vector<std::vector<std::uint32_t>> familiesOfPerson_;
  std::vector<std::string> messages_;
};

// A person or couple of the file as a table row: "Code", "FirstNames",
// "Surname", "Search date~D" and "Search place" for people, "Fathers name"
// and "Mothers name" ("Surname, Given names") for couples, and its dates by
// the names the family-tree tables give them, each with "~B".
class TGedcomRecord final : public TScanRecord {
 public:
  TGedcomRecord(const TGedcomSource& source, bool family, std::uint32_t row)
      : source_(source), tree_(source.Tree()), family_(family), row_(row) {}
  std::string StringField(const std::string& name) const override;
  bool DateRecord(const std::string& column, TJDate& date) const override;
  std::int32_t IntegerField(const std::string& name) const override;
  // "Dead" of a person: a death or burial record.
  bool BooleanField(const std::string& name) const override;
  std::optional<THebrewDate> HebrewDate(const std::string& column) const override;
  bool AfterSunset(const std::string& column) const override;

 private:
  std::string PartnerName(std::uint32_t person) const;
  const TDatedRow* DatedRow(const std::string& column) const;

  const TGedcomSource& source_;
  const TGedcomTree& tree_;
  bool family_;
  std::uint32_t row_;
};

class TGedcomQuery final : public TScanQuery {
 public:
  explicit TGedcomQuery(TGedcomSource& source) : source_(source) {}
  void Open(const std::string& folder, const TEventQuery& query) override;
  bool Eof() const override { return position_ >= rows_.size(); }
  void Next() override { ++position_; }
  void First() override { position_ = 0; }
  const TScanRecord& Current() const override;
  void Close() override { rows_.clear(); }

  // The column of the file's tree that a query's date column names: the
  // birth, death, marriage and divorce of the family-tree tables, or a
  // custom column of the same name in any letter case. nullptr when none.
  static const TGedcomColumn* Column(const TGedcomTree& tree, const std::string& dateColumn);

 private:
  TGedcomSource& source_;
  const TGedcomTree* tree_ = nullptr;
  TEventQuery query_;
  std::vector<const TDatedRow*> rows_;
  std::size_t position_ = 0;
  mutable std::optional<TGedcomRecord> current_;
};

class TGedcomTables final : public TFamilyTreeTables {
 public:
  explicit TGedcomTables(TGedcomSource& source) : source_(source) {}
  void Open(const std::string& folder) override { tree_ = &source_.Load(folder); }
  bool PeopleHasColumn(const std::string& name) override;
  bool FamiliesHasColumn(const std::string& name) override;
  // The file is read whole already: nothing can fail here.
  std::string ReadKinship(TKinGraphBuilder& builder) override;
  std::optional<TSex> PersonSex(std::int32_t code) override;
  // The codes of the family's partners in the open file.
  std::vector<std::int32_t> PartnerCodes(std::int32_t familyCode) override;
  const TScanRecord* FindPerson(std::int32_t code) override;
  std::vector<TJDate> FamilyDates(std::int32_t personCode, const std::vector<std::string>& familyDateColumns) override;
  void Close() override { tree_ = nullptr; }

 private:
  TGedcomSource& source_;
  const TGedcomTree* tree_ = nullptr;
  std::optional<TGedcomRecord> person_;
};

}  // namespace mindrel
