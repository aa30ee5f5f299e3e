#pragma once

// A dataset over one table of a database folder, in the order of one of its
// indexes: index choice by name or by field names, key search, the table's
// user version, and creation from field and index definitions.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/components/FieldDefs.h"
#include "engine/components/IndexDefs.h"
#include "engine/components/KeelDataSet.h"
#include "engine/core/TableRepair.h"

namespace keel {

// Arguments of CreateTableFromDefs; the defaults are what the application uses.
struct TTableCreateOptions {
  uint32_t Locale = 0;
  int16_t UserMajorVersion = 1;
  int16_t UserMinorVersion = 0;
  bool Encrypted = false;
  std::string Password;
  std::string Description;
  int32_t IndexPageSize = 4096;
  int32_t BlobBlockSize = 512;
  int32_t LastAutoIncValue = -1;  // none
};

class TKeelTable : public TKeelDataSet {
 public:
  TKeelTable() = default;
  ~TKeelTable() override;

  // "People" and "People.dat" name the same table.
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on);

  // Empty while IndexFieldNames is in use; empty selects the primary index.
  const std::string& IndexName() const { return indexName_; }
  // On an open table: switches the index (names compared without regard to
  // case) and keeps the current record.
  void SetIndexName(const std::string& name);
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  // "Field;Other": the index over exactly these fields, else the first whose
  // fields begin with them; "No index for fields '%s'" when none.
  void SetIndexFieldNames(const std::string& fieldNames);

  TKeelFieldDefs& FieldDefs() { return fieldDefs_; }
  TKeelIndexDefs& IndexDefs() { return indexDefs_; }
  // The secondary indexes the table is expected to have. When a table opened
  // read-only has lost its index file, or the file's header is damaged, these
  // are built in memory from its rows (beside the primary index on RecordID),
  // so they can still be chosen; the folder is not written.
  TKeelIndexDefs& ExpectedIndexDefs() { return expectedIndexDefs_; }
  // Reads both definitions from the table (a closed table is opened for it).
  void RefreshDefs();

  // True when open; false without a TableName; else whether the folder holds it.
  bool Exists();
  // Creates the closed table from FieldDefs and IndexDefs. The definitions
  // are checked before anything is written.
  void CreateTableFromDefs(const TTableCreateOptions& options = {});
  // The problems a verification finds in the table (see TTableVerifier), as
  // UTF-8 lines; empty when it is sound. A closed table is opened for it.
  std::vector<std::string> Verify();
  // Rebuilds the closed table's indexes and free chains from its rows (see
  // TTableRepair), the indexes being those of IndexDefs over FieldDefs. The
  // report's lines are UTF-8.
  TableRepairReport RepairFromDefs();
  // Read from the header; a closed table is opened for it and stays closed.
  int16_t UserMajorVersion();

  // Key entry: field assignments go to the search key, all NULL at first.
  void EnterKeyMode();
  // Of the key being entered (else the search key's): 0 is every field of
  // the active index, n its n leading fields.
  int KeyFieldCount() const { return entered_->fieldCount; }
  void SetKeyFieldCount(int count);
  // Leaves key entry (pending edits are posted) and looks the key up in the
  // active index: true and positioned on the record found, else false with
  // the current record unchanged.
  bool SearchKey();

  // A range over the active index: only records whose key lies between the
  // start and end keys (both included, each compared over its KeyFieldCount
  // leading fields) are visible, and RecordCount counts them. Changing the
  // index cancels the range.
  // Key entry for the start (or end) key, all NULL at first.
  void SetRangeStart();
  void SetRangeEnd();
  // Leaves key entry keeping the key and puts the range in force; the first
  // record of the range becomes current.
  void ApplyRange();
  void CancelRange();
  // The range from the leading index fields given as texts: as many leading
  // fields as values on each side.
  void SetRange(const std::vector<std::string>& startValues, const std::vector<std::string>& endValues);

 protected:
  void CheckOpenable() const override;
  TDataCursor& OpenCursor(TKeelDatabase& database) override;
  void CloseCursor() override;
  void CursorOpened() override;
  void CheckKeyField(const TKeelField& field) const override;

 private:
  // Runs `read` on this table's cursor, or on one opened for the purpose
  // while the table is closed.
  void withCursor(const std::function<void(TDataCursor&)>& read);
  void refreshDefs(TDataCursor& cursor);
  void applyIndex();
  // A key of the active index being entered or kept, as a row buffer.
  struct TKeyEntry {
    std::vector<uint8_t> values;
    int fieldCount = 0;
  };
  void clearKeys();
  // Leaves key entry keeping the key entered; posts a pending edit.
  void toBrowseKeepingKey();
  void enterKey(TKeyEntry& key);
  void assignKeyValues(const std::vector<std::string>& values);
  int slotForFields(TDataCursor& cursor, const std::string& fieldNames) const;
  std::string engineName() const;
  // IndexDefs over the fields of FieldDefs, as the engine stores them.
  KnownIndexes indexesFromDefs(int32_t indexPageSize) const;
  // `defs` over `fields` (numbered), as the engine stores them.
  KnownIndexes indexesOf(const TKeelIndexDefs& defs, std::span<const FieldDescriptor> fields,
                         int32_t indexPageSize) const;

  std::string tableName_;
  std::string indexName_;
  std::string indexFieldNames_;
  bool readOnly_ = false;
  bool exclusive_ = false;
  TKeyEntry searchKey_;
  TKeyEntry rangeStart_;
  TKeyEntry rangeEnd_;
  TKeyEntry* entered_ = &searchKey_;  // the key KeyFieldCount refers to
  TKeelFieldDefs fieldDefs_;
  TKeelIndexDefs indexDefs_;
  TKeelIndexDefs expectedIndexDefs_;
  std::unique_ptr<TDataCursor> tableCursor_;
};

}  // namespace keel
