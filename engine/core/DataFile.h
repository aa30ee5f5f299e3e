#pragma once

// One open data file (.dat): header, field descriptors and fixed-length rows
// with the free-row chain. A buffered file whose unit is one row.
// Layout: docs/formats/data-file.md.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BufferedFile.h"
#include "engine/core/DataFileHeader.h"
#include "engine/core/EngineSettings.h"
#include "engine/core/FieldDescriptor.h"
#include "platform/Clock.h"

namespace keel {

class TDataPassword;
class TPasswordList;

// Row header offsets.
constexpr size_t kRowStatusAt = 0;
constexpr size_t kRowLinkAt = 1;
constexpr size_t kRowRecordIdAt = 5;
constexpr size_t kRowHashAt = 9;
constexpr uint8_t kRowDeleted = 1;

constexpr size_t kMaxFields = 1024;
constexpr size_t kMaxBlobFields = 128;
constexpr size_t kMaxRowSize = 65534;

// What the data file needs to be created; the fields carry name, type,
// subtype, size, decimals and their texts and flags (offsets are assigned).
struct DataFileCreateRequest {
  uint32_t locale = 0;
  int16_t userMajor = 0;
  int16_t userMinor = 0;
  std::string description;
  int32_t indexPageSize = 4096;
  int32_t blobBlockSize = 512;
  int32_t lastAutoInc = -1;  // -1: none
  std::vector<FieldDescriptor> fields;
  std::shared_ptr<const TDataPassword> password;  // null: plain table
};

class TDataFile final : public TBufferedFile {
 public:
  // `tableName` is the name errors about the table's contents carry.
  TDataFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, std::string tableName,
            const TEngineSettings& settings, const mindrel::Clock& clock);

  // Opens and checks the header and descriptors. `passwords` may be null when
  // the session knows none.
  void open(TPasswordList* passwords);
  // For a repair, which trusts no counter it can recompute: opens the file
  // and mends its header where the file itself tells better: the version and
  // signature, a field count no descriptor area could hold (counted from the
  // descriptors), the row size and BLOB field count (from the descriptors),
  // and the row count (from the file's length; a cut row at the end is
  // counted in cutRowBytes()). Answers one line per item mended; the header
  // is written by the repair's write back. Raises 8961 when the descriptors
  // themselves cannot be read, and what open() raises for the password.
  std::vector<std::string> openForRepair(TPasswordList* passwords);
  // Bytes of a row the file holds only in part, and the rows the header
  // counted, after openForRepair.
  size_t cutRowBytes() const { return cutRowBytes_; }
  int64_t rowsCountedByHeader() const { return rowsCountedByHeader_; }
  // Lays out the fields, writes header and descriptors. Raises 9498 (more than
  // 128 BLOB fields) and 9477 (row over 65534 bytes) before anything is made.
  void create(const DataFileCreateRequest& request);
  // Cuts the rows and resets the counters.
  void empty();

  void readHeader();
  void writeHeader(bool force) override;
  // Re-reads the header; true when its change count differs from before.
  bool headerChanged();
  void markHeaderModified() { headerModified_ = true; }

  const DataFileHeader& header() const { return header_; }
  const std::string& tableName() const { return tableName_; }
  const mindrel::Clock& clock() const { return clock_; }
  uint64_t dataStart() const override { return DataFileHeader::kSize + FieldDescriptor::kSize * header_.fieldCount; }
  size_t unitSize() const override { return header_.rowSize; }
  int64_t unitCount() const override { return physicalRowCount(); }
  size_t cacheCapacity() const override;
  size_t readAheadLimit() const override { return std::max<size_t>(1, cacheCapacity() / 2); }

  size_t rowSize() const { return header_.rowSize; }
  size_t fieldCount() const { return header_.fieldCount; }
  int64_t physicalRowCount() const { return static_cast<int64_t>(header_.nextRowNumber) - 1; }
  uint32_t locale() const { return header_.locale; }
  bool encrypted() const { return header_.encrypted; }
  // Last-updated moment as days since 1899-12-30.
  double lastUpdated() const { return header_.lastUpdated + DataFileHeader::kMomentBias; }

  void addActiveRows(int32_t delta);
  int32_t nextRecordId();                // advances LastRecordID
  void noteRecordId(int32_t recordId);   // raises LastRecordID to it
  int32_t nextAutoInc();                 // advances LastAutoInc
  void noteAutoInc(int32_t value);       // raises LastAutoInc to it
  int32_t nextBlobStamp();               // advances LastBlobStamp
  void noteBlobStamp(int32_t stamp);     // raises LastBlobStamp to it
  // After a repair relinked the deleted rows and counted the active ones.
  void resetRowChain(int32_t freeRowHead, int32_t activeRowCount);
  // Takes back LastRecordID and LastAutoInc after a refused new row.
  void restoreCounters(const DataFileHeader& before);

  const std::vector<FieldDescriptor>& fields() const { return fields_; }
  // 1..N, or 0xFFFF / 0xFFFE for the system fields; null when there is none.
  const FieldDescriptor* field(uint16_t number) const;
  // Case-insensitive; "RecordID" and "RecordHash" give the system fields.
  const FieldDescriptor* fieldByName(std::string_view name) const;

  // Row k pinned; appending when k = NextRowNumber.
  TPinnedUnit row(int64_t k, size_t wanted = 1, ReadDirection direction = ReadDirection::Forward) {
    return getUnit(k, wanted, direction);
  }
  // Takes the row for a new record: the head of the free-row chain, else a new
  // row at the end. Its link is set to its own number; status and contents
  // are the caller's.
  TPinnedUnit takeRowForNewRecord();
  // Puts row k on the free-row chain and counts one active row less.
  void deleteRow(TBuffer& row);

  // MD5 of row bytes 25..R-1 with the BLOB slots zeroed.
  Md5Digest recordHash(std::span<const uint8_t> row) const;

  // The structural checks of verification, as messages; empty when sound.
  std::vector<std::string> verifyStructure();

 protected:
  ErrorCode corruptError() const override { return ErrorCode::KEEL_FILECORRUPT; }
  void checkGrowth() override;
  void countAppendedUnit() override;
  size_t growthStep() const override { return 64; }
  size_t mruProbeCount() const override { return 4; }
  bool headerModified() const override { return headerModified_; }

 private:
  [[noreturn]] void fail(ErrorCode code) const;
  Md5Digest signatureDigest() const;
  void checkVersionAndSignature() const;
  void readDescriptors();
  void checkLayoutFitsRows() const;
  void findPassword(TPasswordList* passwords);
  // The leading descriptors that chain as a table's fields do.
  uint16_t countChainedDescriptors();
  void mendLayout(std::vector<std::string>& mended);
  void mendRowCount(std::vector<std::string>& mended);
  void layOutFields(std::vector<FieldDescriptor>& fields);
  void writeDescriptors();

  std::string tableName_;
  const TEngineSettings& settings_;
  const mindrel::Clock& clock_;
  DataFileHeader header_;
  bool headerModified_ = false;
  std::vector<FieldDescriptor> fields_;
  FieldDescriptor recordIdField_ = FieldDescriptor::RecordIdField();
  FieldDescriptor recordHashField_ = FieldDescriptor::RecordHashField();
  std::shared_ptr<const TDataPassword> password_;
  size_t cutRowBytes_ = 0;
  int64_t rowsCountedByHeader_ = 0;
};

}  // namespace keel
