#pragma once

// The index file (.idx) of one open table: its header, the 32 index
// descriptor slots and the pages of every tree, cached as TPage units.
// Layout: docs/formats/index-file.md; offsets in IndexLayout.h.
//
// The header and descriptors live in memory from open to close, each with a
// modified flag; they and the changed pages are written by writeBack() at the
// end of each modifying operation. In an encrypted table the header (512
// bytes), the descriptor area (24576 bytes) and each page pass through the
// table cipher as one unit each.
//
// Trees are reached through TIndexSlotStore (pages of one slot) and
// TIndexTree; TIndexAccess bundles them for a cursor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/DataFileHeader.h"
#include "engine/core/BufferedFile.h"
#include "engine/core/EngineSettings.h"
#include "engine/core/IndexDescriptor.h"
#include "engine/core/IndexFileHeader.h"
#include "engine/core/Md5.h"

namespace keel {

class TIndexFile : public TBufferedFile {
 public:
  static constexpr uint64_t kDefaultSizeLimit = 4'000'000'000ULL;

  struct Options {
    std::string tableName;   // named by the index errors
    size_t pageSize = 4096;  // from the data file header
    Md5Digest engineSignature = DataFileHeader::kStandardSignature;
    uint64_t sizeLimit = kDefaultSizeLimit;  // the engine's file size limit
    size_t maxBufferBytes = 65536;           // MaxTableIndexBufferSize
    size_t maxBufferCount = 8192;            // MaxTableIndexBufferCount
  };

  TIndexFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, Options options);
  // The options of the index file of the table with this data file header.
  static Options OptionsFor(const std::string& tableName, const TEngineSettings& settings,
                            const DataFileHeader& dataHeader);

  // Opens the file and reads the header and descriptors. Raises 12035 for a
  // version byte below 7 other than 6, 12036 for 7 or more or a signature
  // matching neither digest, 8961 for more than 30 secondary indexes, a page
  // size outside 1024..16384, header counters the file cannot hold, or a used
  // descriptor slot that is malformed; 9217 when the file is too short.
  void openIndex();
  // Creates (or replaces) the file with no pages: the primary descriptor in
  // slot 0 (stored unnamed), the secondaries in slots 1..n, and in slot 31
  // "Sys Text" over the key fields of `fullText` (none: an empty one).
  void createIndex(const IndexDescriptor& primary, const std::vector<IndexDescriptor>& secondaries,
                   const IndexDescriptor& fullText);
  // Cuts the file back to its page area; every tree empty, no free pages.
  void emptyIndex();
  // Re-reads the header; true when another writer changed it.
  bool refreshHeader();
  // Re-reads header and descriptors and drops the cache, changed or not.
  void reloadHeader();

  const Options& options() const { return options_; }
  const IndexFileHeader& header() const { return header_; }
  int secondaryCount() const { return header_.secondaryCount; }
  const IndexDescriptor& descriptor(int slot) const { return descriptors_.at(static_cast<size_t>(slot)); }
  // Slot 0 or 1..secondaryCount whose name equals `name` without regard to case.
  std::optional<int> slotOf(std::string_view name) const;
  // Takes the next secondary slot (its tree empty).
  void addSecondary(const IndexDescriptor& index);
  // Removes secondary `slot`; the following slots move down, the last clears.
  void removeSecondary(int slot);

  int32_t root(int slot) const { return header_.roots.at(static_cast<size_t>(slot)); }
  void setRoot(int slot, int32_t page);
  int32_t freeHead() const { return header_.freeHead; }
  void setFreeHead(int32_t page);
  // The page an allocation takes: the free head, else the next new page.
  int32_t nextPageToUse() const { return header_.freeHead != 0 ? header_.freeHead : header_.nextPage; }

  size_t unitSize() const override { return options_.pageSize; }
  uint64_t dataStart() const override { return index_layout::kPagesStart; }
  int64_t unitCount() const override { return header_.nextPage - 1; }
  size_t cacheCapacity() const override;

 protected:
  std::unique_ptr<TBuffer> makeBuffer() override;
  ErrorCode corruptError() const override { return ErrorCode::KEEL_INDEXCORRUPT; }
  void checkGrowth() override;
  void countAppendedUnit() override;
  size_t growthStep() const override { return 4; }
  size_t mruProbeCount() const override { return 2; }
  void writeHeader(bool force) override;
  bool headerModified() const override { return headerModified_ || descriptorsModified_; }

 private:
  [[noreturn]] void headerCorrupt() const;
  IndexFileHeader readHeaderBytes();
  void adoptHeader(const IndexFileHeader& fresh);
  void checkHeader(const IndexFileHeader& header);
  void readDescriptors();
  void writeDescriptors();
  void writeHeaderBytes();
  void markHeader() { headerModified_ = true; }

  Options options_;
  IndexFileHeader header_;
  std::array<IndexDescriptor, index_layout::kSlotCount> descriptors_;
  bool headerModified_ = false;
  bool descriptorsModified_ = false;
};

}  // namespace keel
