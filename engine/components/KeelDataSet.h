#pragma once

// The record-at-a-time dataset shared by tables and queries: open and close,
// navigation with beginning- and end-of-data flags, field objects, editing
// with its states and events, BLOB streams, and the database the dataset
// reaches through its session (DatabaseName, SessionName).
//
// A grid or item model sits on it through current-record navigation,
// RecordCount, RecNo and SetRecNo, and the scroll and post events.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/components/KeelBlobStream.h"
#include "engine/components/KeelField.h"
#include "engine/core/BlobBuffer.h"
#include "engine/core/DataCursor.h"
#include "engine/sql/FilterList.h"

namespace keel {

class TKeelDatabase;
class TKeelSession;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey };

// What an attached view (a grid, an item model) is told.
enum class TDataEvent {
  deLayoutChange,   // opened or closed: fields and records anew
  deDataSetChange,  // records added, changed or removed; state changed
  deDataSetScroll,  // another record is current
  deRecordChange,   // a field of the record being edited changed
};

class TKeelDataSet {
 public:
  using Event = std::function<void(TKeelDataSet&)>;

  TKeelDataSet() = default;
  // Derived classes close the dataset in their own destructor.
  virtual ~TKeelDataSet();
  TKeelDataSet(const TKeelDataSet&) = delete;
  TKeelDataSet& operator=(const TKeelDataSet&) = delete;

  // Stored with "\" as the separator. Changing either needs the dataset
  // closed and detached from its database.
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  // The session named by SessionName (empty: the default one).
  TKeelSession& Session() const;
  const char* EngineVersion() const;

  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  // A failed open leaves the dataset inactive.
  void Open();
  // Cancels a pending edit, insert or key entry first.
  void Close();
  TDataSetState State() const { return state_; }

  void First();
  void Last();
  // After the last record: stays on it with Eof() set.
  void Next();
  // Before the first record: stays on it with Bof() set.
  void Prior();
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return !hasRecord_; }
  // The records the dataset shows: within the range, passing the filter. With
  // the engine's FilterRecordCounts off, a filtered dataset answers the
  // table's total instead.
  int64_t RecordCount();
  // 1-based position of the current record in the dataset's order; 0 off one.
  int64_t RecNo();
  // Moves to the record at a 1-based position; false when there is none.
  bool SetRecNo(int64_t recNo);

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TKeelField& Fields(int index) const { return *fields_.at(static_cast<size_t>(index)); }
  // Case-insensitive; "Field '%s' not found".
  TKeelField& FieldByName(const std::string& name) const;
  TKeelField* FindField(const std::string& name) const;

  // Whether records may be changed: open and its cursor not read-only.
  virtual bool CanModify() const;
  // On an empty dataset Edit inserts.
  void Edit();
  // A new record; the active index decides where it stands once posted.
  void Insert();
  void Append() { Insert(); }
  // A failed post leaves the state and the record being edited as they were.
  void Post();
  void Cancel();
  void Delete();

  // Write modes need the field writable and the dataset in edit, insert or
  // key-entry state.
  std::unique_ptr<TKeelBlobStream> CreateBlobStream(const TKeelField& field, TBlobStreamMode mode);

  // Views attached to the dataset; the id removes the link again.
  using DataLink = std::function<void(TKeelDataSet&, TDataEvent)>;
  int AddDataLink(DataLink link);
  void RemoveDataLink(int id);
  // Suspends the views' notifications; the last EnableControls sends one
  // deDataSetChange. Calls nest.
  void DisableControls() { ++controlsDisabled_; }
  void EnableControls();
  bool ControlsDisabled() const { return controlsDisabled_ > 0; }

  bool AutoDisplayLabels = false;

  // A filter expression over the dataset's columns, in force while Filtered
  // is on; navigation, RecNo and RecordCount see only the records that pass.
  // A text the engine refuses (10051) leaves the filter, Filtered and the
  // position as they were.
  const std::string& Filter() const { return filterText_; }
  void SetFilter(const std::string& text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool on);
  // Case-insensitive comparisons; WholeValue: a trailing "*" is no wildcard.
  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(TFilterOptions options);

  Event BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  Event BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  Event BeforePost, AfterPost, BeforeCancel, AfterCancel;
  Event BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  Event OnNewRecord;

 protected:
  // The cursor the dataset reads, on `database`'s folder. A table owns it; a
  // query's belongs to its statement.
  virtual TDataCursor& OpenCursor(TKeelDatabase& database) = 0;
  // Releases whatever OpenCursor made, also after it failed half-way.
  virtual void CloseCursor() = 0;
  // Raises when the dataset lacks what opening needs; runs before the database
  // is attached.
  virtual void CheckOpenable() const {}
  // Runs after the field objects exist, before the first record is read.
  virtual void CursorOpened() {}
  // Key entry: may `field` be assigned? Raises when not.
  virtual void CheckKeyField(const TKeelField& field) const;
  // Called before the name of the database or session changes.
  virtual void DatabaseNameChanging() {}

  TDataCursor& cursor() const { return *cursor_; }
  // While attached the database stays connected; attachments count.
  TKeelDatabase& AttachDatabase();
  void DetachDatabase();
  bool Attached() const { return database_ != nullptr; }
  void CheckInactive() const;
  void CheckActive() const;
  // Leaves edit and insert by posting, key entry by cancelling.
  void CheckBrowseMode();
  void SetState(TDataSetState state) { state_ = state; }
  // Re-reads the cursor's current record (after the cursor moved itself);
  // the beginning and end flags are set only when there is none.
  void ReadCurrent();
  void RunEvent(const Event& event) { Run(event, *this); }
  void Notify(TDataEvent event);
  // Back to the first record after the set of visible records changed.
  void Resync();

  // Enters key-entry state: field assignments go to `key` (a row buffer, all
  // NULL when cleared) until a search, post or cancel ends it; cancel gives
  // it back the values it had here. `key` must outlive the key entry.
  void BeginKeyEntry(std::vector<uint8_t>& key);

 private:
  friend class TKeelField;
  friend class TKeelDatabase;
  friend class TKeelReadBatch;
  friend class TKeelTableWalk;
  friend class TKeelConsistentRead;

  // The record the fields read now and the one they write to.
  std::span<const uint8_t> readBuffer() const;
  std::span<uint8_t> writeBuffer(const TKeelField& field);
  uint32_t locale() const;
  // The value of a BLOB field changed in the current edit, or null.
  std::shared_ptr<TBlobBuffer> changedBlob(const TKeelField& field) const;
  // The database closes under the dataset.
  void DatabaseClosed();
  void createFields();
  void settleAfterRemoval();
  enum class Heading { Start, End, Forward, Backward };
  void scroll(const std::function<Nav()>& move, Heading heading);
  void scrollTo(const std::function<Nav()>& move, bool forward);
  void dropEdit();
  // Puts `text` in force on the open cursor (none when empty or not
  // `filtered`); the filter in force before stays when the text is refused.
  void applyFilter(const std::string& text, bool filtered, TFilterOptions options);
  // Sets the three filter properties at once, filtering anew when open.
  void changeFilter(const std::string& text, bool filtered, TFilterOptions options);
  void attachFilters();
  void detachFilters() noexcept;
  static void Run(const Event& event, TKeelDataSet& dataSet);

  std::string databaseName_;
  std::string sessionName_;
  TKeelDatabase* database_ = nullptr;
  int attachments_ = 0;
  TDataCursor* cursor_ = nullptr;
  TDataSetState state_ = TDataSetState::dsInactive;
  std::vector<std::unique_ptr<TKeelField>> fields_;
  std::vector<uint8_t> record_;  // the current record as read
  std::vector<uint8_t> edit_;    // the record being edited or inserted
  bool hasRecord_ = false;
  bool bof_ = true;
  bool eof_ = true;
  std::map<uint16_t, std::shared_ptr<TBlobBuffer>> changedBlobs_;
  std::vector<uint8_t>* enteredKey_ = nullptr;  // in dsSetKey
  std::vector<uint8_t> savedKey_;
  std::string filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_;
  // While open: the cursor's filters. A live query result's cursor has its
  // WHERE there already; the dataset then adds its own filter to that list.
  std::unique_ptr<TFilterList> ownFilters_;
  TFilterList* filters_ = nullptr;
  const TFilter* filter_ = nullptr;  // the dataset's own one in force, in filters_
  std::map<int, DataLink> dataLinks_;
  int nextDataLink_ = 1;
  int controlsDisabled_ = 0;
};

}  // namespace keel
