#pragma once

// A cursor on one table: chooses an index (or physical order), moves through
// the rows, finds keys, keeps to a key range, reads the current row, and adds,
// changes and deletes rows keeping every index, the free-row chain and the
// header counters right. Row buffers are whole rows as stored (25-byte row
// header, then each field's null byte and value).
//
// Navigation results are return values (Nav); failures are engine errors.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/DataDirectory.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/KeyBuilder.h"

namespace keel {

class TPinnedUnit;

enum class Nav { Ok, Bof, Eof, NoRecord };

// The engine code of a navigation result (0, 8705, 8706, 8709).
ErrorCode NavCode(Nav result);

// A filter that judges rows by their physical row number, so that a cursor
// skips the rows it rejects without reading them. When few rows pass, it
// names them, and a cursor in index order then navigates over their keys
// instead of walking the whole index.
class TRowNumberFilter {
 public:
  virtual ~TRowNumberFilter() = default;
  // Brings the passing rows up to date with the table (called at the start
  // of every reading operation of the cursor).
  virtual void sync() = 0;
  virtual bool accepts(int64_t row) const = 0;
  // The number of passing rows.
  virtual int64_t count() const = 0;
  // The passing rows in ascending order when they are few enough to be
  // listed; null otherwise. Valid until the next sync().
  virtual const std::vector<int64_t>* listed() = 0;
  // Moves on whenever the passing rows may have changed.
  virtual uint64_t generation() const = 0;
};

struct CursorOpenFlags {
  bool exclusive = false;
  bool readOnly = false;
  bool temporary = false;
  bool physicalOrderOnly = false;
  ExpectedIndexes indexesIfLost{};  // see TableOpenFlags
};

class TDataCursor {
 public:
  static constexpr int kPhysicalOrder = 255;
  // Accepts or rejects a row; rejected rows are skipped by every move.
  using RowFilter = std::function<bool(std::span<const uint8_t> row)>;

  // Opens (or shares) the table and moves to the first row.
  TDataCursor(TDataDirectory& directory, const std::string& tableName, CursorOpenFlags flags = {});
  ~TDataCursor();
  TDataCursor(const TDataCursor&) = delete;
  TDataCursor& operator=(const TDataCursor&) = delete;

  TDataTable& table() { return *table_; }
  TDataDirectory& directory() const { return directory_; }
  // Forced on when any of the table's files could only be opened for reading.
  bool readOnly() const { return readOnly_; }
  size_t rowSize() const;
  const std::vector<FieldDescriptor>& fields() const { return table_->fields(); }
  // By number (1..N, 0xFFFF, 0xFFFE) or name; 9985 when there is none.
  const FieldDescriptor& field(uint16_t number) const;
  const FieldDescriptor& field(const std::string& name) const;
  // A new row: zeros, then the fields' default values.
  std::vector<uint8_t> newRow() const;

  int activeSlot() const { return slot_; }
  // 0..30, or 255 for physical order. Keeps the current row, cancels a range.
  void setIndex(int slot);
  // The primary index has the empty name; 10022 when no index has the name.
  void setIndex(const std::string& name);

  Nav first();
  Nav last();
  Nav next(std::span<uint8_t> out = {});
  Nav prior(std::span<uint8_t> out = {});
  // Copies the current row. With `lock` (Edit), takes the row for
  // modification: with pessimistic locking it locks the row (10258; released
  // by Modify or cancelEdit), and its RecordHash must still equal the one in
  // `out` as the caller read it (8708).
  Nav currentRow(std::span<uint8_t> out, bool lock = false);
  bool isBof() const { return where_ == Where::Bof || where_ == Where::Nowhere; }
  bool isEof() const { return where_ == Where::Eof || where_ == Where::Nowhere; }
  int64_t currentRowNumber() const { return where_ == Where::OnRow ? row_ : 0; }

  bool goToPosition(int64_t position);
  // The table's active rows; with a range, the keys in it; with a filter,
  // the rows that pass (within the range), or the table's active rows when
  // the engine's FilterRecordCounts is off.
  int64_t recordCount();
  // 1-based position of the current row in index and range; 0 off a row.
  int64_t position();

  // `values` is a row buffer with the key fields set; `fieldCount` 0 means all
  // key fields; `partialLength` characters of the next (string) key field.
  bool findKey(std::span<const uint8_t> values, size_t fieldCount = 0, size_t partialLength = 0,
               bool nearest = false);
  void setRange(std::span<const uint8_t> startValues, size_t startFieldCount, std::span<const uint8_t> endValues,
                size_t endFieldCount);
  void cancelRange();
  bool rangeActive() const { return rangeActive_; }

  // Filters by row contents (`filter`) and by row number (`rows`); either
  // may be installed alone. A cursor on a row that no longer passes moves to
  // the next passing row, or the last; `rows` must outlive its installation.
  void setFilter(RowFilter filter);
  void setRowNumberFilter(TRowNumberFilter* rows);
  TRowNumberFilter* rowNumberFilter() const { return rows_; }
  bool filtered() const { return filter_ || rows_; }
  // True while an index-order cursor navigates over the listed rows' keys.
  bool navigatesKeyList() const { return keyList_.active && !physical(); }

  // New values of BLOB fields by field number, uncompressed; an empty value is
  // NULL. Fields not named keep the reference the row holds.
  using BlobValues = std::map<uint16_t, std::vector<uint8_t>>;

  // Adds the row; it becomes the current row, and `row` gets its physical row
  // number in the row link and its RecordID and RecordHash.
  void append(std::span<uint8_t> row, const BlobValues& blobs = {});
  // Writes the current row from `row` (RecordID kept); the cursor stays on it.
  void modify(std::span<const uint8_t> row, const BlobValues& blobs = {});
  // The uncompressed value of a BLOB field of `row`; empty when NULL. When
  // the value was rewritten since `row` was read, the row is read once more
  // and its current value returned: 8708 when the row is gone, 8963 when the
  // stamp still differs.
  std::vector<uint8_t> blobValue(std::span<const uint8_t> row, const FieldDescriptor& field);
  // Deletes the current row (as read into `asRead`) and moves to the next one.
  void remove(std::span<const uint8_t> asRead);
  // Releases the row lock an Edit (currentRow with `lock`) took.
  void cancelEdit();
  // Removes every row, key and BLOB value; the counters start again.
  void emptyTable();

 private:
  enum class Where { OnRow, Bof, Eof, Nowhere };

  TIndexAccess& access() { return table_->access(slot_); }
  template <typename Body>
  auto reading(Body&& body) -> decltype(body());
  bool physical() const { return slot_ == kPhysicalOrder; }
  void checkWritable() const;
  [[noreturn]] void fail(ErrorCode code) const;
  TPinnedUnit pinRow(int64_t k, size_t wanted = 1, ReadDirection direction = ReadDirection::Forward);
  std::vector<uint8_t> copyRow(const TPinnedUnit& unit);
  std::vector<uint8_t> readRow(int64_t k, size_t wanted = 1, ReadDirection direction = ReadDirection::Forward);
  bool visible(const TPinnedUnit& unit) const;
  void recycle(std::vector<uint8_t>&& row);
  bool deleted(std::span<const uint8_t> row) const { return row[0] == 1; }
  static bool sameRecord(std::span<const uint8_t> a, std::span<const uint8_t> b);
  bool passesFilter(std::span<const uint8_t> row) const { return !filter_ || filter_(row); }
  bool admits(int64_t k) const { return !rows_ || rows_->accepts(k); }
  void syncRowNumberFilter();
  void buildKeyList(const std::vector<int64_t>& rows);
  Nav stepKeyList(std::ptrdiff_t at, bool forward);
  std::ptrdiff_t keyListPosition(std::span<const uint8_t> key, bool forward, bool inclusive);
  void repositionAfterFilterChange();
  bool withinRange(std::span<const uint8_t> key);
  // The key is the row's in the active index, or the index entry's it was
  // reached by.
  void land(int64_t k, std::vector<uint8_t> row);
  void land(int64_t k, std::vector<uint8_t> row, KeyBuffer key);
  void afterRefresh(bool changed);

  // A key search reads ahead only the rows that fit in one small read: it
  // often wants a single row, and rows can be kilobytes wide.
  enum class ReadAhead { IndexRun, Landing };
  static constexpr size_t kLandingReadBytes = 4096;
  Nav stepIndex(IndexEntryRef from, bool forward, ReadAhead ahead = ReadAhead::IndexRun);
  Nav stepPhysical(int64_t from, bool forward);
  void stampRowHash(std::span<uint8_t> image);
  size_t physicalRunAhead(int64_t k, bool forward);
  size_t rowsAhead(IndexEntryRef at, int64_t k, bool forward, ReadAhead ahead);
  Nav moveFrom(bool forward);
  Nav settle();
  int64_t positionInOrder();
  Nav place(IndexEntryRef at);
  IndexEntryRef currentEntry(bool& exact);
  IndexEntryRef rangeFirst();
  IndexEntryRef rangeLast();

  KeyBuffer searchKey(std::span<const uint8_t> values, size_t length, bool high);
  std::vector<uint8_t> prepared(std::span<const uint8_t> row, int32_t recordId);
  bool keyUniqueByRecordId(const IndexDescriptor& index) const;
  void checkUnique(std::span<const uint8_t> row, std::span<const uint8_t> old);
  int32_t fillAutoIncrements(std::span<uint8_t> row);
  void writeBlobs(std::span<uint8_t> image, const BlobValues& blobs);
  void markBlobPresence(std::span<uint8_t> image, const BlobValues& blobs);
  void adoptSlotChains(std::span<uint8_t> image);
  std::optional<std::vector<uint8_t>> rowAsStoredNow(std::span<const uint8_t> asRead);

  TDataDirectory& directory_;
  std::shared_ptr<TDataTable> table_;
  CursorOpenFlags flags_;
  bool readOnly_ = false;
  int slot_ = 0;
  Where where_ = Where::Nowhere;
  int64_t row_ = 0;
  KeyBuffer key_;
  std::vector<uint8_t> current_;
  std::vector<uint8_t> spareRow_;
  bool rangeActive_ = false;
  KeyBuffer rangeStart_;
  KeyBuffer rangeEnd_;
  RowFilter filter_;
  TRowNumberFilter* rows_ = nullptr;
  // The keys of the rows a row-number filter lists, in the active index's
  // order, for the index slot and filter generation they were built for.
  struct ListedKey {
    KeyBuffer key;
    int64_t row;
  };
  struct KeyList {
    bool active = false;
    int slot = -1;
    uint64_t generation = 0;
    std::vector<ListedKey> keys;
  } keyList_;
};

}  // namespace keel
