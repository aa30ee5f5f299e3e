#include "engine/components/KeelTable.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/EngineErrorText.h"
#include "engine/components/KeelDatabase.h"
#include "engine/core/IndexDefinitions.h"
#include "engine/core/TableVerifier.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

// Detaches from the database when the scope ends, however it ends.
class AttachedScope {
 public:
  explicit AttachedScope(std::function<void()> detach) : detach_(std::move(detach)) {}
  ~AttachedScope() { detach_(); }
  AttachedScope(const AttachedScope&) = delete;
  AttachedScope& operator=(const AttachedScope&) = delete;

 private:
  std::function<void()> detach_;
};

std::string FieldList(const IndexDescriptor& index, const std::vector<FieldDescriptor>& fields) {
  std::string list;
  for (const IndexKeyField& key : index.fields) {
    if (!list.empty()) list += ';';
    if (key.fieldNumber >= 1 && key.fieldNumber <= fields.size()) list += AnsiToUtf8(fields[key.fieldNumber - 1].name);
    else if (key.fieldNumber == FieldDescriptor::kRecordIdNumber) list += "RecordID";
    else if (key.fieldNumber == FieldDescriptor::kRecordHashNumber) list += "RecordHash";
  }
  return list;
}

bool AnyDescending(const IndexDescriptor& index) {
  return std::any_of(index.fields.begin(), index.fields.end(), [](const IndexKeyField& k) { return k.descending; });
}

}  // namespace

TKeelTable::~TKeelTable() { Close(); }

std::string TKeelTable::engineName() const { return Utf8ToAnsi(tableName_); }

void TKeelTable::SetTableName(const std::string& name) {
  if (name == tableName_) return;
  CheckInactive();
  tableName_ = name;
}

void TKeelTable::SetReadOnly(bool on) {
  if (on == readOnly_) return;
  CheckInactive();
  readOnly_ = on;
}

void TKeelTable::SetExclusive(bool on) {
  if (on == exclusive_) return;
  CheckInactive();
  exclusive_ = on;
}

// ---- opening ----

void TKeelTable::CheckOpenable() const {
  if (TrimBlanks(tableName_).empty()) DatabaseError(db_messages::kMissingTableName);
}

TDataCursor& TKeelTable::OpenCursor(TKeelDatabase& database) {
  CursorOpenFlags flags{.exclusive = exclusive_, .readOnly = readOnly_};
  if (expectedIndexDefs_.Count() > 0) {
    flags.indexesIfLost = [this](const std::vector<FieldDescriptor>& fields) {
      return indexesOf(expectedIndexDefs_, fields, TTableCreateOptions{}.IndexPageSize);
    };
  }
  tableCursor_ = std::make_unique<TDataCursor>(database.Folder(), engineName(), flags);
  readOnly_ = tableCursor_->readOnly();
  return *tableCursor_;
}

void TKeelTable::CloseCursor() { tableCursor_.reset(); }

void TKeelTable::CursorOpened() {
  refreshDefs(cursor());
  applyIndex();
  clearKeys();
}

void TKeelTable::refreshDefs(TDataCursor& cursor) {
  fieldDefs_.Clear();
  for (const FieldDescriptor& descriptor : cursor.fields()) {
    TKeelFieldDef def = TKeelFieldDef::FromDescriptor(descriptor);
    fieldDefs_.Add(def.Name, def.DataType) = def;
  }
  indexDefs_.Clear();
  TDataTable& table = cursor.table();
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    TKeelIndexDef def = TKeelIndexDef::FromDescriptor(table.index().descriptor(slot), slot, cursor.fields());
    indexDefs_.Add(def.Name, def.Fields) = def;
  }
}

void TKeelTable::withCursor(const std::function<void(TDataCursor&)>& read) {
  if (Active()) {
    read(cursor());
    return;
  }
  CheckOpenable();
  TKeelDatabase& database = AttachDatabase();
  AttachedScope detach([this] { DetachDatabase(); });
  TDataCursor temporary(database.Folder(), engineName(), CursorOpenFlags{.readOnly = true});
  read(temporary);
}

void TKeelTable::RefreshDefs() {
  AtEdge([&] {
    withCursor([this](TDataCursor& cursor) { refreshDefs(cursor); });
  });
}

int16_t TKeelTable::UserMajorVersion() {
  return AtEdge([&]() -> int16_t {
    int16_t version = 0;
    withCursor([&](TDataCursor& cursor) { version = cursor.table().data().header().userMajor; });
    return version;
  });
}

std::vector<std::string> TKeelTable::Verify() {
  return AtEdge([&] {
    std::vector<std::string> problems;
    withCursor([&](TDataCursor& cursor) { problems = TTableVerifier::Check(cursor.table()); });
    for (std::string& line : problems) line = AnsiToUtf8(line);
    return problems;
  });
}

bool TKeelTable::Exists() {
  return AtEdge([&]() -> bool {
    if (Active()) return true;
    if (TrimBlanks(tableName_).empty()) return false;
    TKeelDatabase& database = AttachDatabase();
    AttachedScope detach([this] { DetachDatabase(); });
    return database.Folder().tableExists(engineName());
  });
}

// ---- indexes ----

int TKeelTable::slotForFields(TDataCursor& cursor, const std::string& fieldNames) const {
  TDataTable& table = cursor.table();
  int prefixMatch = -1;
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    const IndexDescriptor& index = table.index().descriptor(slot);
    if (AnyDescending(index)) continue;
    const std::string list = FieldList(index, cursor.fields());
    if (SameName(list, fieldNames)) return slot;
    const std::string prefix = fieldNames + ";";
    if (prefixMatch < 0 && list.size() > prefix.size() && SameName(list.substr(0, prefix.size()), prefix))
      prefixMatch = slot;
  }
  if (prefixMatch < 0) DatabaseError(db_messages::kNoIndexForFields, {fieldNames});
  return prefixMatch;
}

void TKeelTable::applyIndex() {
  if (!indexFieldNames_.empty()) cursor().setIndex(slotForFields(cursor(), indexFieldNames_));
  else cursor().setIndex(Utf8ToAnsi(indexName_));
}

void TKeelTable::clearKeys() {
  for (TKeyEntry* key : {&searchKey_, &rangeStart_, &rangeEnd_}) {
    key->values.assign(cursor().rowSize(), 0);
    key->fieldCount = 0;
  }
  entered_ = &searchKey_;
}

void TKeelTable::toBrowseKeepingKey() {
  CheckActive();
  if (State() == TDataSetState::dsSetKey) SetState(TDataSetState::dsBrowse);
  else CheckBrowseMode();
}

void TKeelTable::enterKey(TKeyEntry& key) {
  toBrowseKeepingKey();
  std::fill(key.values.begin(), key.values.end(), uint8_t{0});
  key.fieldCount = 0;
  entered_ = &key;
  BeginKeyEntry(key.values);
}

void TKeelTable::SetIndexName(const std::string& name) {
  AtEdge([&] {
    if (!Active()) {
      indexName_ = name;
      indexFieldNames_.clear();
      return;
    }
    CheckBrowseMode();
    if (name == indexName_ && indexFieldNames_.empty()) return;
    cursor().setIndex(Utf8ToAnsi(name));
    indexName_ = name;
    indexFieldNames_.clear();
    clearKeys();
    ReadCurrent();
    Notify(TDataEvent::deDataSetScroll);
  });
}

void TKeelTable::SetIndexFieldNames(const std::string& fieldNames) {
  AtEdge([&] {
    if (!Active()) {
      indexFieldNames_ = fieldNames;
      indexName_.clear();
      return;
    }
    CheckBrowseMode();
    if (fieldNames == indexFieldNames_ && !fieldNames.empty()) return;
    if (fieldNames.empty()) cursor().setIndex(Utf8ToAnsi(indexName_));
    else cursor().setIndex(slotForFields(cursor(), fieldNames));
    indexFieldNames_ = fieldNames;
    if (!fieldNames.empty()) indexName_.clear();
    clearKeys();
    ReadCurrent();
    Notify(TDataEvent::deDataSetScroll);
  });
}

// ---- key search ----

void TKeelTable::EnterKeyMode() { enterKey(searchKey_); }

void TKeelTable::SetKeyFieldCount(int count) { entered_->fieldCount = std::max(0, count); }

void TKeelTable::CheckKeyField(const TKeelField& field) const {
  if (cursor().activeSlot() != TDataCursor::kPhysicalOrder) {
    const IndexDescriptor& index = cursor().table().index().descriptor(cursor().activeSlot());
    const uint16_t number = field.Descriptor().number;
    if (std::any_of(index.fields.begin(), index.fields.end(),
                    [&](const IndexKeyField& k) { return k.fieldNumber == number; }))
      return;
  }
  DatabaseError(db_messages::kFieldNotInIndex, {field.FieldName()});
}

bool TKeelTable::SearchKey() {
  return AtEdge([&]() -> bool {
    toBrowseKeepingKey();
    RunEvent(BeforeScroll);
    // A partial search moves the cursor even when it finds nothing; the
    // position brings it back.
    const int64_t position = IsEmpty() ? 0 : cursor().position();
    bool found = false;
    try {
      found = cursor().findKey(searchKey_.values, static_cast<size_t>(searchKey_.fieldCount));
    } catch (const EKeelEngineError& error) {
      if (error.code() != ErrorCode::KEEL_NOCURRREC) throw;
    }
    if (!found && position > 0) cursor().goToPosition(position);
    ReadCurrent();
    Notify(TDataEvent::deDataSetScroll);
    RunEvent(AfterScroll);
    return found;
  });
}

// ---- ranges ----

void TKeelTable::SetRangeStart() { enterKey(rangeStart_); }

void TKeelTable::SetRangeEnd() { enterKey(rangeEnd_); }

void TKeelTable::ApplyRange() {
  AtEdge([&] {
    toBrowseKeepingKey();
    entered_ = &searchKey_;
    cursor().setRange(rangeStart_.values, static_cast<size_t>(rangeStart_.fieldCount), rangeEnd_.values,
                      static_cast<size_t>(rangeEnd_.fieldCount));
    Resync();
  });
}

void TKeelTable::CancelRange() {
  AtEdge([&] {
    CheckBrowseMode();
    cursor().cancelRange();
    Resync();
  });
}

void TKeelTable::SetRange(const std::vector<std::string>& startValues, const std::vector<std::string>& endValues) {
  SetRangeStart();
  assignKeyValues(startValues);
  SetRangeEnd();
  assignKeyValues(endValues);
  ApplyRange();
}

// The i-th value to the i-th field of the active index.
void TKeelTable::assignKeyValues(const std::vector<std::string>& values) {
  if (cursor().activeSlot() == TDataCursor::kPhysicalOrder) return;
  const IndexDescriptor& index = cursor().table().index().descriptor(cursor().activeSlot());
  const size_t count = std::min(values.size(), index.fields.size());
  for (size_t i = 0; i < count; ++i) {
    const uint16_t number = index.fields[i].fieldNumber;
    for (int f = 0; f < FieldCount(); ++f) {
      if (Fields(f).Descriptor().number == number) Fields(f).SetAsString(values[i]);
    }
  }
  SetKeyFieldCount(static_cast<int>(count));
}

// ---- creation ----

KnownIndexes TKeelTable::indexesFromDefs(int32_t indexPageSize) const {
  std::vector<FieldDescriptor> numbered;
  for (const TKeelFieldDef& def : fieldDefs_) numbered.push_back(def.ToDescriptor());
  for (size_t i = 0; i < numbered.size(); ++i) numbered[i].number = static_cast<uint16_t>(i + 1);
  return indexesOf(indexDefs_, numbered, indexPageSize);
}

KnownIndexes TKeelTable::indexesOf(const TKeelIndexDefs& defs, std::span<const FieldDescriptor> fields,
                                   int32_t indexPageSize) const {
  const TIndexDefinitions definitions(fields, static_cast<size_t>(std::max(indexPageSize, 0)), engineName());
  KnownIndexes indexes;
  for (const TKeelIndexDef& def : defs.CheckedForCreation()) {
    IndexDescriptor index;
    index.name = Utf8ToAnsi(def.Name);
    index.unique = def.Has(ixUnique) || def.Has(ixPrimary);
    index.caseInsensitive = def.Has(ixCaseInsensitive);
    index.descending = def.Has(ixDescending);
    index.compression = def.Compression;
    index.noKeyStatistics = def.NoKeyStatistics;
    // A descending index without a list of descending fields is descending
    // in every field.
    const std::string descending = def.Has(ixDescending) && def.DescFields.empty() ? def.Fields : def.DescFields;
    index.fields = definitions.resolveFields(Utf8ToAnsi(def.Fields), Utf8ToAnsi(descending), index.name);
    if (def.Has(ixPrimary)) indexes.primary = index;
    else indexes.secondaries.push_back(index);
  }
  return indexes;
}

TableRepairReport TKeelTable::RepairFromDefs() {
  return AtEdge([&] {
    CheckInactive();
    CheckOpenable();
    TKeelDatabase& database = AttachDatabase();
    AttachedScope detach([this] { DetachDatabase(); });
    TTableRepair repair(database.Folder(), engineName());
    repair.useKnownIndexes(indexesFromDefs(TTableCreateOptions{}.IndexPageSize));
    TableRepairReport report = repair.run();
    for (std::vector<std::string>* lines : {&report.rebuilt, &report.lost}) {
      for (std::string& line : *lines) line = AnsiToUtf8(line);
    }
    return report;
  });
}

void TKeelTable::CreateTableFromDefs(const TTableCreateOptions& options) {
  AtEdge([&] {
    CheckInactive();
    CheckOpenable();
    TableCreateRequest request;
    request.name = engineName();
    for (const TKeelFieldDef& def : fieldDefs_) request.fields.push_back(def.ToDescriptor());
    KnownIndexes indexes = indexesFromDefs(options.IndexPageSize);
    request.primary = std::move(indexes.primary);
    request.secondaries = std::move(indexes.secondaries);
    request.locale = options.Locale;
    request.userMajor = options.UserMajorVersion;
    request.userMinor = options.UserMinorVersion;
    request.encrypted = options.Encrypted;
    request.password = Utf8ToAnsi(options.Password);
    request.description = Utf8ToAnsi(options.Description);
    request.indexPageSize = options.IndexPageSize;
    request.blobBlockSize = options.BlobBlockSize;
    request.lastAutoInc = options.LastAutoIncValue;

    TKeelDatabase& database = AttachDatabase();
    AttachedScope detach([this] { DetachDatabase(); });
    database.Folder().createTable(request);
  });
}

}  // namespace keel
