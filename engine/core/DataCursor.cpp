#include "engine/core/DataCursor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/core/BlobRow.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/Compression.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/ReadAheadRun.h"

namespace keel {

namespace {

constexpr size_t kWholeKey = TKeyComparer::kWholeKey;

// The row lock of a Modify or Delete: taken here when asked and not held yet
// (an Edit may hold it already). Success ends the lock whoever took it; a
// failure gives back only a lock taken here, so a refused post leaves the
// Edit's lock with the edit that goes on.
class TRowLock {
 public:
  TRowLock(TDataTable& table, int64_t row, bool take) : table_(table), row_(row) {
    taken_ = take && !table_.rowLocked(row_);
    if (taken_) table_.lockRow(row_);
  }
  ~TRowLock() {
    try {
      if ((taken_ || succeeded_) && table_.rowLocked(row_)) table_.unlockRow(row_);
    } catch (...) {
    }
  }
  TRowLock(const TRowLock&) = delete;
  TRowLock& operator=(const TRowLock&) = delete;
  void succeeded() { succeeded_ = true; }

 private:
  TDataTable& table_;
  int64_t row_;
  bool taken_ = false;
  bool succeeded_ = false;
};

// Thrown when a row had to come from disk and the refresh before it found the
// table changed by someone else: the operation starts again.
class TTableChanged {};

// One reading operation of a cursor: the table read lock and the refresh.
class TReadScope {
 public:
  explicit TReadScope(TDataTable& table) : table_(table), changed_(table.beginRead()) {}
  ~TReadScope() {
    try {
      table_.endRead();
    } catch (...) {
      // A failed release leaves nothing held that a later operation could trip on.
    }
  }
  TReadScope(const TReadScope&) = delete;
  TReadScope& operator=(const TReadScope&) = delete;
  bool changed() const { return changed_; }

 private:
  TDataTable& table_;
  bool changed_;
};

bool SameHash(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::memcmp(a.data() + kRowHashAt, b.data() + kRowHashAt, 16) == 0;
}

}  // namespace

ErrorCode NavCode(Nav result) {
  switch (result) {
    case Nav::Ok: return ErrorCode::KEEL_NONE;
    case Nav::Bof: return ErrorCode::KEEL_BOF;
    case Nav::Eof: return ErrorCode::KEEL_EOF;
    case Nav::NoRecord: return ErrorCode::KEEL_NOCURRREC;
  }
  return ErrorCode::KEEL_NONE;
}

TDataCursor::TDataCursor(TDataDirectory& directory, const std::string& tableName, CursorOpenFlags flags)
    : directory_(directory), flags_(flags) {
  table_ = directory_.openTable(tableName,
                                {flags.exclusive, flags.readOnly, flags.temporary, false, flags.indexesIfLost});
  readOnly_ = flags.readOnly || table_->filesWriteProtected() || table_->indexInMemory();
  slot_ = flags.physicalOrderOnly ? kPhysicalOrder : 0;
  try {
    first();
  } catch (...) {
    directory_.releaseTable(table_);
    throw;
  }
}

TDataCursor::~TDataCursor() {
  try {
    cancelEdit();  // other cursors may keep the table open
  } catch (...) {
  }
  directory_.releaseTable(table_);
}

size_t TDataCursor::rowSize() const { return table_->data().rowSize(); }

void TDataCursor::fail(ErrorCode code) const { raise(code, {.table = table_->name()}); }

void TDataCursor::checkWritable() const {
  if (readOnly_) raiseOsError(EACCES, table_->data().path());
}

const FieldDescriptor& TDataCursor::field(uint16_t number) const {
  const FieldDescriptor* found = table_->data().field(number);
  if (!found) raise(ErrorCode::KEEL_OUTOFRANGE, {.table = table_->name(), .field = std::to_string(number)});
  return *found;
}

const FieldDescriptor& TDataCursor::field(const std::string& name) const {
  const FieldDescriptor* found = table_->data().fieldByName(name);
  if (!found) raise(ErrorCode::KEEL_OUTOFRANGE, {.table = table_->name(), .field = name});
  return *found;
}

std::vector<uint8_t> TDataCursor::newRow() const {
  std::vector<uint8_t> row(rowSize(), 0);
  ApplyDefaults(row, fields(), table_->data().clock(), table_->locale());
  return row;
}

// Runs one reading operation under its read scope, starting it again when a
// page miss finds the table changed meanwhile (the read lock is held by then,
// so it runs at most twice).
template <typename Body>
auto TDataCursor::reading(Body&& body) -> decltype(body()) {
  TReadScope read(*table_);
  afterRefresh(read.changed());
  for (;;) {
    try {
      syncRowNumberFilter();
      return body();
    } catch (const TTableChanged&) {
    } catch (const EIndexTableChanged&) {
    }
    table_->recoverFromChange();
    afterRefresh(true);
  }
}

TPinnedUnit TDataCursor::pinRow(int64_t k, size_t wanted, ReadDirection direction) {
  TPinnedUnit unit = table_->data().row(k, wanted, direction);
  if (!unit) throw TTableChanged();
  return unit;
}

// Rows are copied into the buffer the last landed or passed-over row left
// behind: a scan then allocates nothing per row.
std::vector<uint8_t> TDataCursor::copyRow(const TPinnedUnit& unit) {
  std::vector<uint8_t> row = std::move(spareRow_);
  row.assign(unit->data(), unit->data() + unit->size());
  return row;
}

std::vector<uint8_t> TDataCursor::readRow(int64_t k, size_t wanted, ReadDirection direction) {
  return copyRow(pinRow(k, wanted, direction));
}

// A row is judged where it lies in the cache and copied only when it passes.
bool TDataCursor::visible(const TPinnedUnit& unit) const {
  const std::span<const uint8_t> image(unit->data(), unit->size());
  return !deleted(image) && passesFilter(image);
}

void TDataCursor::recycle(std::vector<uint8_t>&& row) { spareRow_ = std::move(row); }

bool TDataCursor::sameRecord(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return LoadI32(a.data() + kRowRecordIdAt) == LoadI32(b.data() + kRowRecordIdAt);
}

bool TDataCursor::withinRange(std::span<const uint8_t> key) {
  if (!rangeActive_ || physical()) return true;
  const TKeyComparer& comparer = access().comparer();
  return comparer.compare(key, rangeStart_) >= 0 && comparer.compare(key, rangeEnd_) <= 0;
}

void TDataCursor::land(int64_t k, std::vector<uint8_t> row) {
  KeyBuffer key = physical() ? KeyBuffer{} : access().keys().build(row);
  land(k, std::move(row), std::move(key));
}

void TDataCursor::land(int64_t k, std::vector<uint8_t> row, KeyBuffer key) {
  where_ = Where::OnRow;
  row_ = k;
  recycle(std::move(current_));
  current_ = std::move(row);
  key_ = std::move(key);
}

// Another writer changed the table: cached pages were dropped and the cursor
// continues from its current key, which every move looks up anew.
void TDataCursor::afterRefresh(bool changed) {
  if (!changed || where_ != Where::OnRow) return;
  if (physical() && row_ > table_->data().physicalRowCount()) where_ = Where::Eof;
}

IndexEntryRef TDataCursor::rangeFirst() {
  TIndexTree& tree = access().tree();
  return rangeActive_ ? tree.seek(rangeStart_) : tree.first();
}

IndexEntryRef TDataCursor::rangeLast() {
  TIndexTree& tree = access().tree();
  return rangeActive_ ? tree.seekLast(rangeEnd_) : tree.last();
}

// The row-number filter catches up with the table, and the key list with
// the filter and the active index.
void TDataCursor::syncRowNumberFilter() {
  if (!rows_) return;
  rows_->sync();
  const std::vector<int64_t>* listed = physical() ? nullptr : rows_->listed();
  if (!listed) {
    keyList_ = {};
    return;
  }
  if (keyList_.active && keyList_.slot == slot_ && keyList_.generation == rows_->generation()) return;
  buildKeyList(*listed);
}

// Reads only the listed rows: their keys in the active index, sorted as the
// index sorts them.
void TDataCursor::buildKeyList(const std::vector<int64_t>& rows) {
  keyList_ = {};
  const int64_t count = table_->data().physicalRowCount();
  std::vector<ListedKey> keys;
  keys.reserve(rows.size());
  for (const int64_t k : rows) {
    if (k < 1 || k > count) continue;
    std::vector<uint8_t> row = readRow(k);
    if (!deleted(row)) keys.push_back({access().keys().build(row), k});
  }
  const TKeyComparer& comparer = access().comparer();
  std::sort(keys.begin(), keys.end(),
            [&](const ListedKey& a, const ListedKey& b) { return comparer.compare(a.key, b.key) < 0; });
  keyList_ = {.active = true, .slot = slot_, .generation = rows_->generation(), .keys = std::move(keys)};
}

// The first listed key at or after `key` (forward), or the last at or before
// it (backward); without `inclusive` an equal key does not count. Off the
// list's ends: its size, or -1.
std::ptrdiff_t TDataCursor::keyListPosition(std::span<const uint8_t> key, bool forward, bool inclusive) {
  const TKeyComparer& comparer = access().comparer();
  const std::vector<ListedKey>& keys = keyList_.keys;
  auto below = [&](const ListedKey& listed, std::span<const uint8_t> k) { return comparer.compare(listed.key, k) < 0; };
  auto above = [&](std::span<const uint8_t> k, const ListedKey& listed) { return comparer.compare(k, listed.key) < 0; };
  const bool lower = forward == inclusive;
  const auto at = lower ? std::lower_bound(keys.begin(), keys.end(), key, below)
                        : std::upper_bound(keys.begin(), keys.end(), key, above);
  return (at - keys.begin()) - (forward ? 0 : 1);
}

Nav TDataCursor::stepKeyList(std::ptrdiff_t at, bool forward) {
  const auto size = static_cast<std::ptrdiff_t>(keyList_.keys.size());
  for (; at >= 0 && at < size; at += forward ? 1 : -1) {
    const ListedKey& listed = keyList_.keys[static_cast<size_t>(at)];
    if (!withinRange(listed.key)) break;
    if (!admits(listed.row)) continue;
    const TPinnedUnit unit = pinRow(listed.row);
    if (!visible(unit)) continue;
    land(listed.row, copyRow(unit), listed.key);
    return Nav::Ok;
  }
  where_ = forward ? Where::Eof : Where::Bof;
  return forward ? Nav::Eof : Nav::Bof;
}

Nav TDataCursor::stepIndex(IndexEntryRef at, bool forward, ReadAhead ahead) {
  TIndexTree& tree = access().tree();
  if (navigatesKeyList()) {
    // Like the walk below, a start outside the range ends the move at once.
    const KeyBuffer start = at.valid() ? tree.keyAt(at) : KeyBuffer{};
    const bool off = !at.valid() || !withinRange(start);
    const std::ptrdiff_t end = forward ? static_cast<std::ptrdiff_t>(keyList_.keys.size()) : -1;
    return stepKeyList(off ? end : keyListPosition(start, forward, true), forward);
  }
  while (at.valid()) {
    KeyBuffer key = tree.keyAt(at);
    if (!withinRange(key)) break;
    const int64_t k = tree.rowAt(at);
    if (k < 1 || k > table_->data().physicalRowCount()) fail(ErrorCode::KEEL_INDEXCORRUPT);
    if (admits(k)) {
      const ReadDirection direction = forward ? ReadDirection::Forward : ReadDirection::Backward;
      const TPinnedUnit unit = pinRow(k, rowsAhead(at, k, forward, ahead), direction);
      if (visible(unit)) {
        // The position is the entry, even where a damaged index holds a key
        // its row would not give: the next move goes on from here.
        land(k, copyRow(unit), std::move(key));
        return Nav::Ok;
      }
    }
    at = forward ? tree.next(at) : tree.prior(at);
  }
  where_ = forward ? Where::Eof : Where::Bof;
  return forward ? Nav::Eof : Nav::Bof;
}

// Rows the cursor will need next when row k has to come from disk: the run of
// physically adjacent rows that the following index entries point to, so a
// table read in an order close to its physical one comes in few requests.
// The run ends before a row that the row-number filter rejects.
size_t TDataCursor::rowsAhead(IndexEntryRef at, int64_t k, bool forward, ReadAhead ahead) {
  TDataFile& data = table_->data();
  if (data.isCached(k)) return 1;
  TIndexTree& tree = access().tree();
  const size_t limit = ahead == ReadAhead::IndexRun
                           ? data.readAheadLimit()
                           : std::clamp<size_t>(kLandingReadBytes / data.unitSize(), 1, data.readAheadLimit());
  size_t wanted = 1;
  for (IndexEntryRef next = forward ? tree.next(at) : tree.prior(at); next.valid() && wanted < limit;
       next = forward ? tree.next(next) : tree.prior(next)) {
    const int64_t expected = forward ? k + static_cast<int64_t>(wanted) : k - static_cast<int64_t>(wanted);
    if (tree.rowAt(next) != expected || !admits(expected)) break;
    ++wanted;
  }
  return wanted;
}

// Rows to read when row k has to come from disk in physical order: those up
// to the table's end, or under a row-number filter a run over the rows it
// admits.
size_t TDataCursor::physicalRunAhead(int64_t k, bool forward) {
  TDataFile& data = table_->data();
  const int64_t count = data.physicalRowCount();
  const size_t left = static_cast<size_t>(forward ? count - k + 1 : k);
  if (!rows_ || data.isCached(k)) return left;
  return ReadAheadRun(std::min(left, data.readAheadLimit()), [&](size_t offset) {
    const auto step = static_cast<int64_t>(offset);
    return admits(forward ? k + step : k - step);
  });
}

Nav TDataCursor::stepPhysical(int64_t from, bool forward) {
  const int64_t count = table_->data().physicalRowCount();
  for (int64_t k = from; k >= 1 && k <= count; k += forward ? 1 : -1) {
    if (!admits(k)) continue;
    const TPinnedUnit unit =
        pinRow(k, physicalRunAhead(k, forward), forward ? ReadDirection::Forward : ReadDirection::Backward);
    if (visible(unit)) {
      land(k, copyRow(unit));
      return Nav::Ok;
    }
  }
  where_ = forward ? Where::Eof : Where::Bof;
  return forward ? Nav::Eof : Nav::Bof;
}

Nav TDataCursor::first() {
  return reading([&]() -> Nav {
    Nav result = physical() ? stepPhysical(1, true) : stepIndex(rangeFirst(), true);
    if (result != Nav::Ok) where_ = Where::Nowhere;
    return result;
  });
}

Nav TDataCursor::last() {
  return reading([&]() -> Nav {
    Nav result = physical() ? stepPhysical(table_->data().physicalRowCount(), false) : stepIndex(rangeLast(), false);
    if (result != Nav::Ok) where_ = Where::Nowhere;
    return result;
  });
}

// The leaf entry of the current row; `exact` false when the row's key is gone
// (deleted meanwhile) and the entry is the first one after it.
IndexEntryRef TDataCursor::currentEntry(bool& exact) {
  TIndexTree& tree = access().tree();
  IndexEntryRef at = tree.find(key_);
  exact = at.valid();
  return exact ? at : tree.seek(key_);
}

Nav TDataCursor::moveFrom(bool forward) {
  if (physical()) return stepPhysical(row_ + (forward ? 1 : -1), forward);
  const KeyBuffer from = key_;
  Nav result;
  if (navigatesKeyList()) {
    result = stepKeyList(keyListPosition(key_, forward, false), forward);
  } else {
    bool exact = false;
    IndexEntryRef at = currentEntry(exact);
    TIndexTree& tree = access().tree();
    if (forward) result = stepIndex(exact ? tree.next(at) : at, true);
    else result = stepIndex(at.valid() ? tree.prior(at) : rangeLast(), false);
  }
  // Keys of a sound tree are strictly ordered; a move that does not advance
  // (duplicate or unsorted keys) would come back here for ever.
  const int order = access().comparer().compare(key_, from);
  if (result == Nav::Ok && (forward ? order <= 0 : order >= 0)) fail(ErrorCode::KEEL_INDEXCORRUPT);
  return result;
}

Nav TDataCursor::next(std::span<uint8_t> out) {
  return reading([&]() -> Nav {
    Nav result;
    switch (where_) {
      case Where::Nowhere:
      case Where::Eof: return Nav::Eof;
      case Where::Bof: result = first(); break;
      default: result = moveFrom(true);
    }
    if (result == Nav::Ok && !out.empty()) std::copy(current_.begin(), current_.end(), out.begin());
    return result;
  });
}

Nav TDataCursor::prior(std::span<uint8_t> out) {
  return reading([&]() -> Nav {
    Nav result;
    switch (where_) {
      case Where::Nowhere:
      case Where::Bof: return Nav::Bof;
      case Where::Eof: result = last(); break;
      default: result = moveFrom(false);
    }
    if (result == Nav::Ok && !out.empty()) std::copy(current_.begin(), current_.end(), out.begin());
    return result;
  });
}

Nav TDataCursor::currentRow(std::span<uint8_t> out, bool lock) {
  return reading([&]() -> Nav {
    if (where_ != Where::OnRow) {
      if (where_ == Where::Nowhere) std::fill(out.begin(), out.end(), uint8_t{0});
      return where_ == Where::Bof ? Nav::Bof : where_ == Where::Eof ? Nav::Eof : Nav::NoRecord;
    }
    const bool pessimistic = directory_.session().Protocol == LockProtocol::lpPessimistic;
    if (lock && pessimistic && !table_->rowLocked(row_)) table_->lockRow(row_);
    std::vector<uint8_t> stored = readRow(row_);
    if (lock && !flags_.exclusive && (deleted(stored) || !SameHash(stored, out))) {
      if (table_->rowLocked(row_)) table_->unlockRow(row_);
      fail(ErrorCode::KEEL_KEYORRECDELETED);
    }
    // A deleted record's slot may already hold a newer record, which lies
    // elsewhere in key order: the cursor keeps the row it stood on.
    if (deleted(stored) || !sameRecord(stored, current_)) {
      recycle(std::move(stored));
    } else {
      recycle(std::move(current_));
      current_ = std::move(stored);
    }
    std::copy(current_.begin(), current_.end(), out.begin());
    return Nav::Ok;
  });
}

// After a jump (find, range, delete): stay on the entry when a row there
// passes, else the nearest passing row after it, else before it.
Nav TDataCursor::place(IndexEntryRef at) {
  if (stepIndex(at, true) == Nav::Ok) return Nav::Ok;
  if (stepIndex(rangeLast(), false) == Nav::Ok) return Nav::Ok;
  where_ = Where::Nowhere;
  return Nav::Eof;
}

Nav TDataCursor::settle() {
  if (where_ != Where::OnRow) return first();
  if (physical()) return Nav::Ok;
  bool exact = false;
  IndexEntryRef at = currentEntry(exact);
  if (exact && withinRange(key_)) return Nav::Ok;
  TIndexTree& tree = access().tree();
  if (rangeActive_ && access().comparer().compare(key_, rangeStart_) < 0) return place(tree.seek(rangeStart_));
  if (rangeActive_ && access().comparer().compare(key_, rangeEnd_) > 0) return place(rangeLast());
  return place(at);
}

void TDataCursor::setIndex(int slot) {
  if (slot != kPhysicalOrder && (slot < 0 || slot >= table_->indexCount()))
    raise(ErrorCode::KEEL_INVALIDINDEXNAME, {.table = table_->name(), .index = std::to_string(slot)});
  slot_ = slot;
  rangeActive_ = false;
  rangeStart_.clear();
  rangeEnd_.clear();
  if (where_ == Where::OnRow) {
    reading([&] {
      key_ = physical() ? KeyBuffer{} : access().keys().build(current_);
      settle();
    });
  }
}

void TDataCursor::setIndex(const std::string& name) {
  std::optional<int> slot = table_->index().slotOf(name);
  if (!physical() && slot == std::optional<int>(slot_)) return;
  if (!slot) raise(ErrorCode::KEEL_INVALIDINDEXNAME, {.table = table_->name(), .index = name});
  setIndex(*slot);
}

void TDataCursor::setFilter(RowFilter filter) {
  filter_ = std::move(filter);
  repositionAfterFilterChange();
}

void TDataCursor::setRowNumberFilter(TRowNumberFilter* rows) {
  rows_ = rows;
  keyList_ = {};
  repositionAfterFilterChange();
}

void TDataCursor::repositionAfterFilterChange() {
  if (where_ != Where::OnRow) return;
  reading([&] {
    if (admits(row_) && passesFilter(current_)) return;
    if (moveFrom(true) != Nav::Ok) last();
  });
}

// With FilterRecordCounts off, a filtered cursor answers the table's total
// without counting; a range alone is always counted exactly.
int64_t TDataCursor::recordCount() {
  return reading([&]() -> int64_t {
    const int64_t total = table_->data().header().activeRowCount;
    if (!filtered() && !rangeActive_) return total;
    if (filtered() && !directory_.session().engine().settings().FilterRecordCounts) return total;
    if (!filtered()) return access().tree().countRange(rangeStart_, kWholeKey, rangeEnd_, kWholeKey);
    if (!filter_ && !rangeActive_) return rows_->count();
    const Where where = where_;
    const int64_t row = row_;
    const KeyBuffer key = key_;
    const std::vector<uint8_t> current = current_;
    int64_t count = 0;
    for (Nav result = first(); result == Nav::Ok; result = moveFrom(true)) ++count;
    where_ = where;
    row_ = row;
    key_ = key;
    current_ = current;
    return count;
  });
}

int64_t TDataCursor::position() {
  return reading([&]() -> int64_t { return positionInOrder(); });
}

int64_t TDataCursor::positionInOrder() {
  if (where_ != Where::OnRow) return 0;
  if (!physical() && !filtered()) {
    bool exact = false;
    IndexEntryRef at = currentEntry(exact);
    if (!exact) return 0;
    TIndexTree& tree = access().tree();
    return tree.positionOf(at) - (rangeActive_ ? tree.countLess(rangeStart_) : 0);
  }
  const int64_t row = row_;
  int64_t n = 0;
  for (Nav result = first(); result == Nav::Ok; result = moveFrom(true)) {
    ++n;
    if (row_ == row) return n;
  }
  return 0;
}

bool TDataCursor::goToPosition(int64_t position) {
  return reading([&]() -> bool {
    if (position < 1) return false;
    if (!physical() && !filtered()) {
      TIndexTree& tree = access().tree();
      const int64_t base = rangeActive_ ? tree.countLess(rangeStart_) : 0;
      IndexEntryRef at = tree.entryAt(base + position);
      if (!at.valid() || !withinRange(tree.keyAt(at))) return false;
      return stepIndex(at, true) == Nav::Ok;
    }
    Nav result = first();
    for (int64_t n = 1; n < position && result == Nav::Ok; ++n) result = moveFrom(true);
    return result == Nav::Ok;
  });
}

KeyBuffer TDataCursor::searchKey(std::span<const uint8_t> values, size_t length, bool high) {
  KeyBuffer key = access().keys().build(values);
  if (length < key.size()) {
    if (high) access().keys().fillRangeEnd(key, length);
    else access().keys().fillRangeStart(key, length);
  }
  return key;
}

bool TDataCursor::findKey(std::span<const uint8_t> values, size_t fieldCount, size_t partialLength, bool nearest) {
  return reading([&]() -> bool {
    if (physical()) fail(ErrorCode::KEEL_RECNOTFOUND);
    TIndexAccess& index = access();
    const size_t keyFields = index.descriptor().fields.size();
    const bool unique = index.descriptor().unique;
    if (fieldCount > keyFields) fieldCount = keyFields;
    const bool partial = (fieldCount > 0 && fieldCount < keyFields) || !unique || (fieldCount == 0 && partialLength > 0);
    const size_t fields = fieldCount == 0 && partialLength == 0 ? keyFields : fieldCount;
    const size_t length = partial ? index.layout().compareLength(fields, partialLength) : index.layout().keySize();
    KeyBuffer key = searchKey(values, length, false);
    TIndexTree& tree = index.tree();
    bool found = false;
    IndexEntryRef at;
    if (partial) {
      at = tree.seek(key, length);
      found = at.valid() && index.comparer().compare(tree.keyAt(at), key, length) == 0;
    } else {
      at = tree.find(key);
      found = at.valid();
      if (!found && !nearest) return false;
      if (!found) at = tree.seek(key);
    }
    if (stepIndex(at, true, ReadAhead::Landing) != Nav::Ok && stepIndex(rangeLast(), false) != Nav::Ok) {
      where_ = Where::Nowhere;
      return nearest && found;
    }
    if (!nearest && found) found = index.comparer().compare(key_, key, length) == 0;
    return found;
  });
}

void TDataCursor::setRange(std::span<const uint8_t> startValues, size_t startFieldCount,
                           std::span<const uint8_t> endValues, size_t endFieldCount) {
  return reading([&]() -> void {
    if (physical()) return;
    const TKeyLayout& layout = access().layout();
    const size_t keyFields = access().descriptor().fields.size();
    auto lengthFor = [&](size_t count) { return layout.compareLength(count == 0 ? keyFields : count, 0); };
    rangeStart_ = searchKey(startValues, lengthFor(startFieldCount), false);
    rangeEnd_ = searchKey(endValues, lengthFor(endFieldCount), true);
    rangeActive_ = true;
    if (access().comparer().compare(rangeStart_, rangeEnd_) > 0) {
      where_ = Where::Nowhere;
      return;
    }
    if (settle() != Nav::Ok) where_ = Where::Nowhere;
  });
}

void TDataCursor::cancelRange() {
  rangeActive_ = false;
  rangeStart_.clear();
  rangeEnd_.clear();
}

// Fills NULL auto-increment fields from LastAutoInc; answers the highest
// auto-increment value the row then holds (0 when none).
int32_t TDataCursor::fillAutoIncrements(std::span<uint8_t> row) {
  TDataFile& data = table_->data();
  int32_t highest = 0;
  for (const FieldDescriptor& f : fields()) {
    if (f.type != FieldType::Integer || f.subtype != FieldSubtype::AutoInc) continue;
    if (GetField(row, f).isNull) {
      std::vector<uint8_t> value(4);
      StoreI32(value.data(), data.nextAutoInc());
      SetFieldValue(row, f, value, table_->locale());
    }
    highest = std::max(highest, LoadI32(GetField(row, f).bytes.data()));
  }
  return highest;
}

std::vector<uint8_t> TDataCursor::prepared(std::span<const uint8_t> row, int32_t recordId) {
  if (row.size() < rowSize()) fail(ErrorCode::KEEL_FILECORRUPT);
  std::vector<uint8_t> image(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(rowSize()));
  image[kRowStatusAt] = 0;
  StoreI32(image.data() + kRowRecordIdAt, recordId);
  return image;
}

// 9729 when a unique index already holds the new key of `row` (other than
// its own old key, for a modification).
// A temporary table held exclusively is this process's own new table (a
// query result): its RecordIDs count up from 1 and never wrap, so a key that
// holds the RecordID cannot repeat and needs no search.
bool TDataCursor::keyUniqueByRecordId(const IndexDescriptor& index) const {
  return flags_.temporary && flags_.exclusive && std::any_of(index.fields.begin(), index.fields.end(), [](const IndexKeyField& key) {
           return key.fieldNumber == FieldDescriptor::kRecordIdNumber;
         });
}

void TDataCursor::checkUnique(std::span<const uint8_t> row, std::span<const uint8_t> old) {
  for (int slot = 0; slot < table_->indexCount(); ++slot) {
    TIndexAccess& index = table_->access(slot);
    if (!index.descriptor().unique || keyUniqueByRecordId(index.descriptor())) continue;
    KeyBuffer key = index.keys().build(row);
    if (!old.empty() && index.comparer().compare(key, index.keys().build(old)) == 0) continue;
    if (index.tree().find(key).valid())
      raise(ErrorCode::KEEL_KEYVIOL, {.table = table_->name(), .index = index.descriptor().name});
  }
}

// Stores each given value in the chain the row's reference names (a new chain
// for a new row), compressed at the field's level, under a new stamp.
void TDataCursor::writeBlobs(std::span<uint8_t> image, const BlobValues& blobs) {
  if (blobs.empty()) return;
  TBlobFile* file = table_->blob();
  for (const auto& [number, value] : blobs) {
    const FieldDescriptor& f = field(number);
    if (!f.isBlob() || !file) raise(ErrorCode::KEEL_NOTABLOB, {.table = table_->name(), .field = f.name});
    BlobReference reference = ReadBlobReference(image, f, table_->name());
    const std::vector<uint8_t> stored = f.compression > 0 && !value.empty() ? CompressBlobValue(value, f.compression)
                                                                            : value;
    if (stored.empty() && reference.firstBlock <= 0) {
      reference = {};
    } else if (stored.empty()) {
      file->emptyChain(reference, table_->data().nextBlobStamp());
    } else {
      if (reference.firstBlock < 0) reference = {};
      file->writeChain(reference, stored, table_->data().nextBlobStamp());
    }
    WriteBlobReference(image, f, reference, table_->name());
    SetBlobPresent(image, f, !value.empty());
  }
}

// The chains belong to the row slot: a new row taking a deleted row's slot
// (the head of the free-row chain) writes its values into that row's chains,
// so the BLOB file grows only when a slot's values do. A row at the end of
// the file owns no chain yet.
void TDataCursor::adoptSlotChains(std::span<uint8_t> image) {
  std::vector<uint8_t> slotRow;
  TDataFile& data = table_->data();
  const int64_t slot = data.header().freeRowHead;
  if (table_->blob() && slot >= 1 && slot <= data.physicalRowCount()) {
    TPinnedUnit unit = data.row(slot);
    if (unit && unit->data()[kRowStatusAt] == kRowDeleted) slotRow.assign(unit->data(), unit->data() + unit->size());
  }
  for (const FieldDescriptor& f : fields()) {
    if (!f.isBlob()) continue;
    const BlobReference chain = slotRow.empty() ? BlobReference{} : ReadBlobReference(slotRow, f, table_->name());
    WriteBlobReference(image, f, chain, table_->name());
  }
}

void TDataCursor::markBlobPresence(std::span<uint8_t> image, const BlobValues& blobs) {
  for (const auto& [number, value] : blobs) {
    const FieldDescriptor& f = field(number);
    if (f.isBlob()) SetBlobPresent(image, f, !value.empty());
  }
}

std::vector<uint8_t> TDataCursor::blobValue(std::span<const uint8_t> row, const FieldDescriptor& f) {
  TBlobFile* file = table_->blob();
  if (!f.isBlob() || !file) raise(ErrorCode::KEEL_NOTABLOB, {.table = table_->name(), .field = f.name});
  if (GetField(row, f).isNull) return {};
  if (ReadBlobReference(row, f, table_->name()).firstBlock <= 0) return {};
  std::vector<uint8_t> asRead(row.begin(), row.end());
  return reading([&] { return ReadBlobValue(*file, f, asRead, [&] { return rowAsStoredNow(asRead); }); });
}

// The row `asRead` was read from, as the table holds it now; nullopt when it
// was deleted or its slot holds another record since.
std::optional<std::vector<uint8_t>> TDataCursor::rowAsStoredNow(std::span<const uint8_t> asRead) {
  const int64_t k = LoadI32(asRead.data() + kRowLinkAt);
  if (k < 1 || k > table_->data().physicalRowCount()) return std::nullopt;
  std::vector<uint8_t> now = readRow(k);
  if (deleted(now) || !sameRecord(now, asRead)) return std::nullopt;
  return now;
}

void TDataCursor::emptyTable() {
  checkWritable();
  TWriteScope write(*table_);
  table_->data().empty();
  table_->index().emptyIndex();
  if (TBlobFile* file = table_->blob()) file->empty();
  table_->forgetIndexAccess();
  write.commit();
  where_ = Where::Nowhere;
  row_ = 0;
}

void TDataCursor::cancelEdit() {
  if (where_ == Where::OnRow && table_->rowLocked(row_)) table_->unlockRow(row_);
}

// A temporary table (a query's result) is private to this process and gone
// with its statement: nobody compares its rows' hashes, so they stay zero.
void TDataCursor::stampRowHash(std::span<uint8_t> image) {
  if (table_->flags().temporary) return;
  const Md5Digest hash = table_->data().recordHash(image);
  std::memcpy(image.data() + kRowHashAt, hash.data(), hash.size());
}

void TDataCursor::append(std::span<uint8_t> row, const BlobValues& blobs) {
  checkWritable();
  TWriteScope write(*table_);
  TDataFile& data = table_->data();
  const DataFileHeader before = data.header();
  std::vector<uint8_t> image;
  int32_t highestAutoInc = 0;
  try {
    image = prepared(row, NextCounter(before.lastRecordId));
    markBlobPresence(image, blobs);
    highestAutoInc = fillAutoIncrements(image);
    CheckConstraints(image, fields(), table_->name(), table_->locale());
    checkUnique(image, {});
  } catch (...) {
    data.restoreCounters(before);
    throw;
  }
  data.nextRecordId();
  data.noteAutoInc(highestAutoInc);
  adoptSlotChains(image);
  writeBlobs(image, blobs);
  stampRowHash(image);
  int64_t k = 0;
  {
    TPinnedUnit unit = data.takeRowForNewRecord();
    k = unit->unit();
    StoreI32(image.data() + kRowLinkAt, static_cast<int32_t>(k));
    std::copy(image.begin(), image.end(), unit->data());
    unit.markModified();
  }
  data.addActiveRows(1);
  for (int slot = 0; slot < table_->indexCount(); ++slot) {
    TIndexAccess& index = table_->access(slot);
    index.tree().insert(index.keys().build(image), static_cast<int32_t>(k));
  }
  write.commit();
  std::copy(image.begin(), image.end(), row.begin());
  land(k, std::move(image));
}

void TDataCursor::modify(std::span<const uint8_t> row, const BlobValues& blobs) {
  if (where_ != Where::OnRow) fail(ErrorCode::KEEL_NOCURRREC);
  checkWritable();
  TWriteScope write(*table_);
  TDataFile& data = table_->data();
  const bool optimistic = directory_.session().Protocol == LockProtocol::lpOptimistic;
  TRowLock rowLock(*table_, row_, optimistic);
  std::vector<uint8_t> stored = readRow(row_);
  if (deleted(stored) || (optimistic && !flags_.exclusive && !SameHash(stored, current_)))
    fail(ErrorCode::KEEL_KEYORRECDELETED);
  std::vector<uint8_t> image = prepared(row, LoadI32(stored.data() + kRowRecordIdAt));
  StoreI32(image.data() + kRowLinkAt, static_cast<int32_t>(row_));
  for (const FieldDescriptor& f : fields()) {
    // The chains stay with the row slot whatever the caller's buffer says.
    if (f.isBlob()) {
      WriteBlobReference(image, f, ReadBlobReference(stored, f, table_->name()), table_->name());
      image[f.offset] = stored[f.offset];
    }
  }
  markBlobPresence(image, blobs);
  CheckConstraints(image, fields(), table_->name(), table_->locale());
  checkUnique(image, stored);
  writeBlobs(image, blobs);
  stampRowHash(image);
  {
    TPinnedUnit unit = data.row(row_);
    std::copy(image.begin(), image.end(), unit->data());
    unit.markModified();
  }
  for (const FieldDescriptor& f : fields()) {
    if (f.type == FieldType::Integer && f.subtype == FieldSubtype::AutoInc && !GetField(image, f).isNull)
      data.noteAutoInc(LoadI32(GetField(image, f).bytes.data()));
  }
  for (int slot = 0; slot < table_->indexCount(); ++slot) {
    TIndexAccess& index = table_->access(slot);
    KeyBuffer oldKey = index.keys().build(stored);
    KeyBuffer newKey = index.keys().build(image);
    if (oldKey == newKey) continue;
    index.tree().remove(oldKey, static_cast<int32_t>(row_));
    index.tree().insert(newKey, static_cast<int32_t>(row_));
  }
  write.commit();
  rowLock.succeeded();
  land(row_, std::move(image));
}

void TDataCursor::remove(std::span<const uint8_t> asRead) {
  if (where_ != Where::OnRow) fail(ErrorCode::KEEL_NOCURRREC);
  checkWritable();
  TWriteScope write(*table_);
  TDataFile& data = table_->data();
  TRowLock rowLock(*table_, row_, true);
  std::vector<uint8_t> stored = readRow(row_);
  const std::span<const uint8_t> seen = asRead.size() >= rowSize() ? asRead : std::span<const uint8_t>(current_);
  if (deleted(stored) || (!flags_.exclusive && !SameHash(stored, seen))) fail(ErrorCode::KEEL_KEYORRECDELETED);
  for (int slot = 0; slot < table_->indexCount(); ++slot) {
    TIndexAccess& index = table_->access(slot);
    index.tree().remove(index.keys().build(stored), static_cast<int32_t>(row_));
  }
  {
    TPinnedUnit unit = data.row(row_);
    if (TBlobFile* file = table_->blob()) {
      EmptyBlobsOfDeletedRow(*file, fields(), {unit->data(), unit->size()}, [&] { return data.nextBlobStamp(); });
    }
    data.deleteRow(*unit);
  }
  write.commit();
  rowLock.succeeded();
  if (physical()) {
    stepPhysical(row_ + 1, true);
    return;
  }
  IndexEntryRef after = access().tree().seek(key_);
  stepIndex(after, true);
}

}  // namespace keel
