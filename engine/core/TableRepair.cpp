#include "engine/core/TableRepair.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/core/BlobChainChecker.h"
#include "engine/core/BlobRow.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/DataDirectory.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/IndexDefinitions.h"

namespace keel {
namespace {

constexpr const char* kRebuildSuffix = ".rebuilding";

struct IndexSet {
  IndexDescriptor primary = IndexDescriptor::DefaultPrimary();
  std::vector<IndexDescriptor> secondaries;
  IndexDescriptor fullText;
};

std::string RowName(int64_t k, std::span<const uint8_t> row) {
  return "row " + std::to_string(k) + " (RecordID " + std::to_string(LoadI32(row.data() + kRowRecordIdAt)) + ")";
}

// One run of the repair: the three files opened exclusively, then rebuilt.
class Repairer {
 public:
  Repairer(TDataDirectory& folder, const std::string& name, const std::optional<KnownIndexes>& known)
      : folder_(folder), name_(name), known_(known) {}

  TableRepairReport run() {
    openFiles();
    try {
      rebuildFromRows();
    } catch (...) {
      index_->remove();  // the old index file stays as it was
      if (blobReplaced_) blob_->remove();
      throw;
    }
    writeFiles();
    return std::move(report_);
  }

 private:
  void openFiles() {
    TDataSession& session = folder_.session();
    TDataEngine& engine = session.engine();
    paths_ = folder_.paths(name_, false);
    data_ = std::make_unique<TDataFile>(engine.files(), paths_.data, flags(), name_, engine.settings(), engine.clock());
    for (std::string& line : data_->openForRepair(&session.passwords())) report_.rebuilt.push_back(std::move(line));
    if (data_->openedReadOnly()) raise(ErrorCode::KEEL_OSEACCES, {.table = name_});
    const int64_t rows = data_->physicalRowCount();
    if (data_->rowsCountedByHeader() > rows + (data_->cutRowBytes() > 0 ? 1 : 0)) {
      report_.lost.push_back("the data header counts " + std::to_string(data_->rowsCountedByHeader()) +
                             " rows, the file holds " + std::to_string(rows) + " whole ones");
    }
    if (data_->cutRowBytes() > 0) {
      report_.lost.push_back("row " + std::to_string(data_->physicalRowCount() + 1) +
                             " left out: the data file ends inside it (" + std::to_string(data_->cutRowBytes()) +
                             " of " + std::to_string(data_->rowSize()) + " bytes)");
    }
    collation_ = TCollation::ForLocale(data_->locale(), name_);
    if (data_->header().blobFieldCount > 0) openBlobFile();
    const TIndexFile::Options options = TIndexFile::OptionsFor(name_, engine.settings(), data_->header());
    TIndexFile existing(engine.files(), paths_.index, flags(), options);
    existing.setCipher(data_->cipher());
    const IndexSet indexes = chooseIndexes(existing);
    // The new index is made beside the old one and takes its place last.
    index_ = std::make_unique<TIndexFile>(engine.files(), paths_.index + kRebuildSuffix, flags(), options);
    index_->setCipher(data_->cipher());
    index_->createIndex(indexes.primary, indexes.secondaries, indexes.fullText);
  }

  EngineFileFlags flags() const { return {.exclusive = true, .inMemory = folder_.inMemory()}; }

  // A BLOB file that is missing or holds no header is made anew beside the
  // old one: every value is then emptied (and named by the chain checks).
  void openBlobFile() {
    TDataEngine& engine = folder_.session().engine();
    const TBlobFile::Options options{name_, data_->header().blobBlockSize, engine.settings(), 0};
    blob_ = std::make_unique<TBlobFile>(engine.files(), paths_.blob, flags(), options);
    blob_->setCipher(data_->cipher());
    try {
      for (std::string& line : blob_->openForRepair()) report_.rebuilt.push_back(std::move(line));
      if (blob_->openedReadOnly()) raise(ErrorCode::KEEL_OSEACCES, {.table = name_});
      return;
    } catch (const EKeelEngineError& error) {
      if (error.code() != ErrorCode::KEEL_OSENOENT && error.code() != ErrorCode::KEEL_READERR) throw;
      report_.rebuilt.push_back(std::string("BLOB file made anew: ") + error.what());
    }
    blob_ = std::make_unique<TBlobFile>(engine.files(), paths_.blob + kRebuildSuffix, flags(), options);
    blob_->setCipher(data_->cipher());
    blob_->createFile();
    blobReplaced_ = true;
  }

  IndexSet chooseIndexes(TIndexFile& existing) {
    IndexSet set;
    if (known_) {
      const TIndexDefinitions definitions(data_->fields(), static_cast<size_t>(data_->header().indexPageSize), name_);
      TIndexDefinitions::Validated validated = definitions.validate(known_->primary, known_->secondaries);
      set.primary = std::move(validated.primary);
      set.secondaries = std::move(validated.secondaries);
      return set;
    }
    try {
      existing.openIndex();
    } catch (const EKeelEngineError& error) {
      report_.lost.push_back(std::string("index file cannot be read (") + error.what() +
                             "): its secondary indexes are gone, the primary index is the one on RecordID");
      return set;
    }
    if (fitsFields(existing.descriptor(0), "primary index")) set.primary = existing.descriptor(0);
    for (int slot = 1; slot <= existing.secondaryCount(); ++slot) {
      const IndexDescriptor& secondary = existing.descriptor(slot);
      if (fitsFields(secondary, "index " + secondary.name)) set.secondaries.push_back(secondary);
    }
    set.fullText = existing.descriptor(index_layout::kSlotCount - 1);
    existing.close();
    return set;
  }

  bool fitsFields(const IndexDescriptor& index, const std::string& label) {
    try {
      TKeyLayout(index, data_->fields(), collation_, name_);
      return true;
    } catch (const EKeelEngineError& error) {
      report_.lost.push_back(label + " dropped: " + error.what());
      return false;
    }
  }

  void rebuildFromRows() {
    std::vector<std::unique_ptr<TIndexAccess>> indexes;
    for (int slot = 0; slot <= index_->secondaryCount(); ++slot)
      indexes.push_back(std::make_unique<TIndexAccess>(*index_, slot, data_->fields(), collation_));
    if (blob_) checker_ = std::make_unique<TBlobChainChecker>(*blob_);

    const int64_t count = data_->physicalRowCount();
    std::vector<int64_t> freeRows;
    int32_t active = 0;
    for (int64_t k = 1; k <= count; ++k) {
      TPinnedUnit unit = data_->row(k, static_cast<size_t>(count - k + 1));
      if (!unit) raise(ErrorCode::KEEL_KEYORRECDELETED, {.table = name_});
      std::span<uint8_t> row{unit->data(), unit->size()};
      const std::vector<uint8_t> before(row.begin(), row.end());
      bool deleted = row[kRowStatusAt] == kRowDeleted;
      if (!deleted && (!contentsWhole(k, row) || !keysFree(indexes, k, row))) {
        row[kRowStatusAt] = kRowDeleted;
        deleted = true;
      }
      keepBlobs(k, row, deleted);
      if (deleted) {
        freeRows.push_back(k);
      } else {
        keepRow(indexes, k, row);
        ++active;
      }
      if (!std::equal(before.begin(), before.end(), row.begin())) unit.markModified();
    }
    report_.rebuilt.push_back(std::to_string(indexes.size()) + " index trees from " + std::to_string(active) + " rows");
    report_.keptRows = active;
    linkFreeRows(freeRows, active);
    if (blob_) rebuildFreeBlocks();
  }

  // False, with the reason reported, when the row's bytes are not those its
  // RecordHash was taken over: a slot never written (a hole or a cut file
  // filled with zeros) or a row damaged since.
  bool contentsWhole(int64_t k, std::span<const uint8_t> row) {
    const Md5Digest hash = data_->recordHash(row);
    if (std::memcmp(hash.data(), row.data() + kRowHashAt, hash.size()) == 0) return true;
    if (std::all_of(row.begin(), row.end(), [](uint8_t byte) { return byte == 0; })) {
      report_.lost.push_back("row " + std::to_string(k) + " left out: it holds nothing but zero bytes");
    } else {
      report_.lost.push_back(RowName(k, row) + " left out: its contents do not match its RecordHash");
    }
    return false;
  }

  // False, with the reason reported, when a key of the row is already held by
  // a row kept before it (a RecordID or unique key met twice).
  bool keysFree(const std::vector<std::unique_ptr<TIndexAccess>>& indexes, int64_t k, std::span<const uint8_t> row) {
    for (const auto& index : indexes) {
      const IndexEntryRef at = index->tree().find(index->keys().build(row));
      if (!at.valid()) continue;
      const std::string label = index->slot() == 0 ? "the primary index" : "index " + index->descriptor().name;
      report_.lost.push_back(RowName(k, row) + " left out: its key in " + label + " is that of row " +
                             std::to_string(index->tree().rowAt(at)));
      return false;
    }
    return true;
  }

  // Enters the row into every index and mends its link and the counters.
  void keepRow(const std::vector<std::unique_ptr<TIndexAccess>>& indexes, int64_t k, std::span<uint8_t> row) {
    for (const auto& index : indexes) index->tree().insert(index->keys().build(row), static_cast<int32_t>(k));
    StoreI32(row.data() + kRowLinkAt, static_cast<int32_t>(k));
    data_->noteRecordId(LoadI32(row.data() + kRowRecordIdAt));
    for (const FieldDescriptor& field : data_->fields()) {
      if (field.type != FieldType::Integer || field.subtype != FieldSubtype::AutoInc) continue;
      const FieldRead value = GetField(row, field);
      if (!value.isNull) data_->noteAutoInc(LoadI32(value.bytes.data()));
    }
  }

  // Chains of deleted slots are checked too: the next row in the slot takes
  // them over.
  void keepBlobs(int64_t k, std::span<uint8_t> row, bool deleted) {
    if (!checker_) return;
    for (const FieldDescriptor& field : data_->fields()) {
      if (!field.isBlob() || field.takesNoRoom()) continue;
      const BlobReference reference = ReadBlobReference(row, field, name_);
      const size_t problemsBefore = checker_->problems().size();
      const BlobChainVerdict verdict = checker_->checkChain(reference, BlobOwnerName(k, deleted, field));
      if (!verdict.valueWhole) {
        WriteBlobReference(row, field, BlobReference{0, reference.stamp}, name_);
        SetBlobPresent(row, field, false);
        if (!deleted) {
          for (size_t i = problemsBefore; i < checker_->problems().size(); ++i)
            report_.lost.push_back(checker_->problems()[i] + "; value emptied");
        }
        continue;
      }
      data_->noteBlobStamp(reference.stamp);
      if (verdict.tailCut) cutChainAfter(verdict.kept.back());
    }
  }

  void cutChainAfter(int32_t block) {
    BlobBlock last = blob_->readBlock(block);
    last.header.next = 0;
    blob_->writeBlock(block, last);
  }

  void linkFreeRows(const std::vector<int64_t>& freeRows, int32_t active) {
    for (size_t i = 0; i < freeRows.size(); ++i) {
      TPinnedUnit unit = data_->row(freeRows[i]);
      const int32_t next = i + 1 < freeRows.size() ? static_cast<int32_t>(freeRows[i + 1]) : 0;
      if (LoadI32(unit->data() + kRowLinkAt) == next) continue;
      StoreI32(unit->data() + kRowLinkAt, next);
      unit.markModified();
    }
    data_->resetRowChain(freeRows.empty() ? 0 : static_cast<int32_t>(freeRows.front()), active);
    report_.rebuilt.push_back("rows on the free-row chain: " + std::to_string(freeRows.size()));
  }

  void rebuildFreeBlocks() {
    const std::vector<int32_t> free = checker_->unclaimedBlocks();
    blob_->rebuildFreeChain(free);
    report_.rebuilt.push_back("blocks on the free-block chain: " + std::to_string(free.size()));
  }

  // Rows first: an interrupted repair leaves at worst blocks in no chain and
  // the old index file, and is simply run again. Bytes past the last whole
  // row or block are cut off.
  void writeFiles() {
    for (TBufferedFile* file : std::initializer_list<TBufferedFile*>{data_.get(), blob_.get(), index_.get()}) {
      if (!file) continue;
      file->setForceFlush(true);
      file->writeBack();
      const uint64_t whole = file->dataStart() + static_cast<uint64_t>(file->unitCount()) * file->unitSize();
      if (file->size() > whole) {
        file->truncate(whole);
        file->flush();
      }
      file->close();
    }
    if (blobReplaced_) blob_->rename(paths_.blob);
    index_->rename(paths_.index);
    folder_.flushFolder();
  }

  TDataDirectory& folder_;
  std::string name_;
  const std::optional<KnownIndexes>& known_;
  TablePaths paths_;
  bool blobReplaced_ = false;
  std::unique_ptr<TDataFile> data_;
  std::unique_ptr<TBlobFile> blob_;
  std::unique_ptr<TIndexFile> index_;
  std::shared_ptr<const TCollation> collation_;
  std::unique_ptr<TBlobChainChecker> checker_;
  TableRepairReport report_;
};

}  // namespace

TableRepairReport TTableRepair::run() {
  if (folder_.isOpen(tableName_)) raise(ErrorCode::KEEL_OSEACCES, {.table = tableName_});
  return Repairer(folder_, tableName_, known_).run();
}

}  // namespace keel
