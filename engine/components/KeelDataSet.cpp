#include "engine/components/KeelDataSet.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/components/EngineErrorText.h"
#include "engine/components/KeelDatabase.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelSession.h"
#include "engine/core/BlobRow.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"

namespace keel {

TKeelDataSet::~TKeelDataSet() = default;

void TKeelDataSet::Run(const Event& event, TKeelDataSet& dataSet) {
  if (event) event(dataSet);
}

// ---- database and session ----

void TKeelDataSet::SetDatabaseName(const std::string& name) {
  const std::string normalised = BackslashPath(name);
  if (normalised == databaseName_) return;
  CheckInactive();
  DatabaseNameChanging();
  if (Attached()) DatabaseError(db_messages::kDatabaseOpen);
  databaseName_ = normalised;
}

void TKeelDataSet::SetSessionName(const std::string& name) {
  if (name == sessionName_) return;
  CheckInactive();
  DatabaseNameChanging();
  if (Attached()) DatabaseError(db_messages::kDatabaseOpen);
  sessionName_ = name;
}

TKeelSession& TKeelDataSet::Session() const { return TKeelEngine::Instance().FindSession(sessionName_); }

const char* TKeelDataSet::EngineVersion() const { return TKeelEngine::kEngineVersion; }

TKeelDatabase& TKeelDataSet::AttachDatabase() {
  if (!database_) {
    TKeelDatabase& database = Session().OpenDatabase(databaseName_);
    database.Attach(*this);
    database_ = &database;
  }
  ++attachments_;
  return *database_;
}

void TKeelDataSet::DetachDatabase() {
  if (!database_ || --attachments_ > 0) return;
  TKeelDatabase* database = database_;
  database_ = nullptr;
  database->Detach(*this);
}

void TKeelDataSet::DatabaseClosed() {
  database_ = nullptr;
  attachments_ = 0;
  Close();
}

// ---- views ----

int TKeelDataSet::AddDataLink(DataLink link) {
  dataLinks_[nextDataLink_] = std::move(link);
  return nextDataLink_++;
}

void TKeelDataSet::RemoveDataLink(int id) { dataLinks_.erase(id); }

void TKeelDataSet::EnableControls() {
  if (controlsDisabled_ == 0) return;
  if (--controlsDisabled_ == 0) Notify(TDataEvent::deDataSetChange);
}

void TKeelDataSet::Notify(TDataEvent event) {
  if (ControlsDisabled()) return;
  // A view may detach itself while it is told.
  const std::map<int, DataLink> links = dataLinks_;
  for (const auto& [id, link] : links) link(*this, event);
}

// ---- open and close ----

void TKeelDataSet::CheckInactive() const {
  if (Active()) DatabaseError(db_messages::kDataSetOpen);
}

void TKeelDataSet::CheckActive() const {
  if (!Active()) DatabaseError(db_messages::kDataSetClosed);
}

void TKeelDataSet::SetActive(bool active) {
  if (active) Open();
  else Close();
}

void TKeelDataSet::Open() {
  AtEdge([&] {
    if (Active()) return;
    CheckOpenable();
    Run(BeforeOpen, *this);
    TKeelDatabase& database = AttachDatabase();
    try {
      cursor_ = &OpenCursor(database);
      createFields();
      CursorOpened();
      attachFilters();
      applyFilter(filterText_, filtered_, filterOptions_);
      state_ = TDataSetState::dsBrowse;
      scrollTo([this] { return cursor_->first(); }, true);
      bof_ = true;
    } catch (...) {
      state_ = TDataSetState::dsInactive;
      detachFilters();
      fields_.clear();
      CloseCursor();  // also what a failed OpenCursor left prepared
      cursor_ = nullptr;
      DetachDatabase();
      throw;
    }
    Notify(TDataEvent::deLayoutChange);
    Run(AfterOpen, *this);
  });
}

void TKeelDataSet::Close() {
  AtEdge([&] {
    if (!Active()) return;
    Run(BeforeClose, *this);
    if (state_ != TDataSetState::dsBrowse) Cancel();
    state_ = TDataSetState::dsInactive;
    changedBlobs_.clear();
    fields_.clear();
    record_.clear();
    edit_.clear();
    hasRecord_ = false;
    bof_ = eof_ = true;
    detachFilters();  // before the cursor it filters
    CloseCursor();
    cursor_ = nullptr;
    DetachDatabase();
    Notify(TDataEvent::deLayoutChange);
    Run(AfterClose, *this);
  });
}

void TKeelDataSet::createFields() {
  int index = 0;
  for (const FieldDescriptor& descriptor : cursor_->fields()) {
    const DatasetFieldType mapped =
        ToDatasetFieldType(descriptor.type, descriptor.subtype, descriptor.size, descriptor.storedDecimals);
    if (mapped.type == TFieldType::ftUnknown) continue;
    auto field = std::make_unique<TKeelField>(*this, descriptor, mapped.type, mapped.size, index++);
    field->DisplayLabel = AutoDisplayLabels && !descriptor.description.empty() ? AnsiToUtf8(descriptor.description)
                                                                              : field->FieldName();
    fields_.push_back(std::move(field));
  }
}

// ---- navigation ----

void TKeelDataSet::ReadCurrent() {
  record_.assign(cursor_->rowSize(), 0);
  hasRecord_ = cursor_->currentRow(record_) == Nav::Ok;
  if (!hasRecord_) std::fill(record_.begin(), record_.end(), uint8_t{0});
  bof_ = eof_ = !hasRecord_;
}

// Moves the cursor with `move`; when that leaves the records behind, the
// cursor steps back onto the last (or first) one and the dataset keeps it as
// current with its end (or beginning) flag set.
void TKeelDataSet::scrollTo(const std::function<Nav()>& move, bool forward) {
  const Nav result = move();
  if (result != Nav::Ok && result != Nav::NoRecord) {
    if (forward) cursor_->prior();
    else cursor_->next();
  }
  ReadCurrent();
  if (!hasRecord_ || result == Nav::Ok) return;
  if (forward) eof_ = true;
  else bof_ = true;
}

void TKeelDataSet::First() {
  scroll([this] { return cursor_->first(); }, Heading::Start);
}

void TKeelDataSet::Last() {
  scroll([this] { return cursor_->last(); }, Heading::End);
}

void TKeelDataSet::Next() {
  scroll([this] { return cursor_->next(); }, Heading::Forward);
}

void TKeelDataSet::Prior() {
  scroll([this] { return cursor_->prior(); }, Heading::Backward);
}

// A user's move between the scroll events. A step at the end it heads for
// does nothing at all; a jump to the start or end stands there afterwards.
void TKeelDataSet::scroll(const std::function<Nav()>& move, Heading heading) {
  AtEdge([&] {
    CheckBrowseMode();
    if ((heading == Heading::Forward && eof_) || (heading == Heading::Backward && bof_)) return;
    Run(BeforeScroll, *this);
    const bool forward = heading == Heading::Start || heading == Heading::Forward;
    scrollTo(move, forward);
    if (heading == Heading::Start) bof_ = true;
    if (heading == Heading::End) eof_ = true;
    Notify(TDataEvent::deDataSetScroll);
    Run(AfterScroll, *this);
  });
}

int64_t TKeelDataSet::RecordCount() {
  return AtEdge([&]() -> int64_t {
    CheckActive();
    return cursor_->recordCount();
  });
}

void TKeelDataSet::Resync() {
  scrollTo([this] { return cursor_->first(); }, true);
  bof_ = true;
  Notify(TDataEvent::deDataSetChange);
}

// ---- filter ----

void TKeelDataSet::attachFilters() {
  filters_ = dynamic_cast<TFilterList*>(cursor_->rowNumberFilter());
  if (filters_ == nullptr) {
    ownFilters_ = std::make_unique<TFilterList>(*cursor_);
    filters_ = ownFilters_.get();
  }
}

void TKeelDataSet::detachFilters() noexcept {
  try {
    if (filter_ && !ownFilters_) filters_->remove(*filter_);
  } catch (...) {
    // Repositioning failed; the list that stays is the query's, and the
    // cursor closes next.
  }
  filter_ = nullptr;
  ownFilters_.reset();
  filters_ = nullptr;
}

void TKeelDataSet::applyFilter(const std::string& text, bool filtered, TFilterOptions options) {
  if (!filtered || TrimBlanks(text).empty()) {
    if (filter_) filters_->remove(*filter_);
    filter_ = nullptr;
    return;
  }
  // The new filter is in force before the old one goes, so a refused text
  // changes nothing.
  const TFilter& added = filters_->add(Utf8ToAnsi(text), options);
  if (filter_) filters_->remove(*filter_);
  filter_ = &added;
}

void TKeelDataSet::SetFilter(const std::string& text) {
  if (text != filterText_) changeFilter(text, filtered_, filterOptions_);
}

void TKeelDataSet::SetFiltered(bool on) {
  if (on != filtered_) changeFilter(filterText_, on, filterOptions_);
}

void TKeelDataSet::SetFilterOptions(TFilterOptions options) {
  if (options.CaseInsensitive != filterOptions_.CaseInsensitive || options.WholeValue != filterOptions_.WholeValue)
    changeFilter(filterText_, filtered_, options);
}

void TKeelDataSet::changeFilter(const std::string& text, bool filtered, TFilterOptions options) {
  AtEdge([&] {
    // Only an open dataset whose filter is, or comes, in force filters now.
    const bool filtersNow = Active() && (filtered || filtered_);
    if (filtersNow) {
      CheckBrowseMode();
      applyFilter(text, filtered, options);
    }
    filterText_ = text;
    filtered_ = filtered;
    filterOptions_ = options;
    if (filtersNow) Resync();
  });
}

int64_t TKeelDataSet::RecNo() {
  return AtEdge([&]() -> int64_t {
    CheckActive();
    return hasRecord_ && state_ != TDataSetState::dsInsert ? cursor_->position() : 0;
  });
}

bool TKeelDataSet::SetRecNo(int64_t recNo) {
  return AtEdge([&]() -> bool {
    CheckBrowseMode();
    Run(BeforeScroll, *this);
    const bool landed = cursor_->goToPosition(recNo);
    if (!landed) cursor_->first();
    ReadCurrent();
    Notify(TDataEvent::deDataSetScroll);
    Run(AfterScroll, *this);
    return landed;
  });
}

// ---- fields ----

TKeelField* TKeelDataSet::FindField(const std::string& name) const {
  auto found = std::find_if(fields_.begin(), fields_.end(),
                            [&](const std::unique_ptr<TKeelField>& f) { return SameName(f->FieldName(), name); });
  return found == fields_.end() ? nullptr : found->get();
}

TKeelField& TKeelDataSet::FieldByName(const std::string& name) const {
  TKeelField* field = FindField(name);
  if (!field) DatabaseError(db_messages::kFieldNotFound, {name});
  return *field;
}

std::span<const uint8_t> TKeelDataSet::readBuffer() const {
  switch (state_) {
    case TDataSetState::dsSetKey: return *enteredKey_;
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert: return edit_;
    default: return record_;
  }
}

std::span<uint8_t> TKeelDataSet::writeBuffer(const TKeelField& field) {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert && state_ != TDataSetState::dsSetKey)
    DatabaseError(db_messages::kNotEditing);
  if (state_ == TDataSetState::dsSetKey) {
    CheckKeyField(field);
    return *enteredKey_;
  }
  if (field.ReadOnly) DatabaseError(db_messages::kFieldReadOnly, {field.FieldName()});
  return edit_;
}

void TKeelDataSet::CheckKeyField(const TKeelField& field) const {
  DatabaseError(db_messages::kFieldNotInIndex, {field.FieldName()});
}

uint32_t TKeelDataSet::locale() const { return cursor_->table().locale(); }

std::shared_ptr<TBlobBuffer> TKeelDataSet::changedBlob(const TKeelField& field) const {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return nullptr;
  auto found = changedBlobs_.find(field.Descriptor().number);
  return found == changedBlobs_.end() ? nullptr : found->second;
}

// ---- editing ----

bool TKeelDataSet::CanModify() const { return Active() && !cursor_->readOnly(); }

void TKeelDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) Post();
  else if (state_ == TDataSetState::dsSetKey) Cancel();
}

void TKeelDataSet::Edit() {
  AtEdge([&] {
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
    CheckBrowseMode();
    if (!hasRecord_) {
      Insert();
      return;
    }
    if (!CanModify()) DatabaseError(db_messages::kDataSetReadOnly);
    Run(BeforeEdit, *this);
    // Taking the record for modification re-reads it; a record changed or
    // deleted since it was read raises the engine's error here.
    std::vector<uint8_t> row = record_;
    if (cursor_->currentRow(row, true) != Nav::Ok)
      raise(ErrorCode::KEEL_NOCURRREC, {.table = cursor_->table().name()});
    record_ = row;
    edit_ = std::move(row);
    state_ = TDataSetState::dsEdit;
    Notify(TDataEvent::deDataSetChange);
    Run(AfterEdit, *this);
  });
}

void TKeelDataSet::BeginKeyEntry(std::vector<uint8_t>& key) {
  savedKey_ = key;
  enteredKey_ = &key;
  state_ = TDataSetState::dsSetKey;
}

void TKeelDataSet::Insert() {
  AtEdge([&] {
    CheckBrowseMode();
    if (!CanModify()) DatabaseError(db_messages::kDataSetReadOnly);
    Run(BeforeInsert, *this);
    edit_ = cursor_->newRow();
    state_ = TDataSetState::dsInsert;
    Run(OnNewRecord, *this);
    Notify(TDataEvent::deDataSetChange);
    Run(AfterInsert, *this);
  });
}

void TKeelDataSet::Post() {
  AtEdge([&] {
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) {
      state_ = TDataSetState::dsBrowse;
      return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    Run(BeforePost, *this);
    TDataCursor::BlobValues blobs;
    for (const auto& [number, value] : changedBlobs_) {
      if (value->modified()) blobs[number] = value->value();
    }
    // The engine works on a copy: a refused post leaves the edit untouched.
    std::vector<uint8_t> row = edit_;
    if (state_ == TDataSetState::dsEdit) cursor_->modify(row, blobs);
    else cursor_->append(row, blobs);
    dropEdit();
    ReadCurrent();
    Notify(TDataEvent::deDataSetChange);
    Run(AfterPost, *this);
  });
}

void TKeelDataSet::dropEdit() {
  changedBlobs_.clear();
  edit_.clear();
  state_ = TDataSetState::dsBrowse;
}

void TKeelDataSet::Cancel() {
  AtEdge([&] {
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) {
      *enteredKey_ = savedKey_;
      state_ = TDataSetState::dsBrowse;
      return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
    Run(BeforeCancel, *this);
    if (state_ == TDataSetState::dsEdit) cursor_->cancelEdit();
    dropEdit();
    ReadCurrent();
    Notify(TDataEvent::deDataSetChange);
    Run(AfterCancel, *this);
  });
}

void TKeelDataSet::Delete() {
  AtEdge([&] {
    CheckActive();
    if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
      Cancel();
      return;
    }
    if (!hasRecord_) DatabaseError(db_messages::kEmptyDataSet);
    if (!CanModify()) DatabaseError(db_messages::kDataSetReadOnly);
    Run(BeforeDelete, *this);
    Run(BeforeScroll, *this);
    if (state_ == TDataSetState::dsEdit) dropEdit();
    cursor_->remove(record_);
    settleAfterRemoval();
    Notify(TDataEvent::deDataSetChange);
    Run(AfterDelete, *this);
    Run(AfterScroll, *this);
  });
}

// The cursor stands on the record after the deleted one, or at the end.
void TKeelDataSet::settleAfterRemoval() {
  const bool atEnd = cursor_->isEof();
  if (atEnd) cursor_->last();
  ReadCurrent();
  if (atEnd) eof_ = true;
}

// ---- BLOB streams ----

std::unique_ptr<TKeelBlobStream> TKeelDataSet::CreateBlobStream(const TKeelField& field, TBlobStreamMode mode) {
  return AtEdge([&]() -> std::unique_ptr<TKeelBlobStream> {
    CheckActive();
    const FieldDescriptor& descriptor = field.Descriptor();
    if (!field.IsBlob())
      raise(ErrorCode::KEEL_NOTABLOB, {.table = cursor_->table().name(), .field = descriptor.name});
    const bool writing = mode != TBlobStreamMode::bmRead;
    if (writing) writeBuffer(field);
    std::shared_ptr<TBlobBuffer> value = changedBlob(field);
    if (!value) {
      std::span<const uint8_t> row = readBuffer();
      const BlobReference reference = ReadBlobReference(row, descriptor, cursor_->table().name());
      value = std::make_shared<TBlobBuffer>(descriptor, reference, cursor_->blobValue(row, descriptor),
                                            writing ? BlobMode::ReadWrite : BlobMode::Read);
      if (writing) changedBlobs_[descriptor.number] = value;
    }
    if (mode == TBlobStreamMode::bmWrite) value->resize(0);
    return std::make_unique<TKeelBlobStream>(value, writing, field.FieldName());
  });
}

}  // namespace keel
