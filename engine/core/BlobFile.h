#pragma once

// The BLOB file of one open table: values of BLOB fields as chains of blocks.
// Layout: docs/formats/blob-file.md.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobFormat.h"
#include "engine/core/BlobStorage.h"
#include "engine/core/TableCipher.h"

namespace keel {

// One block as held in memory: its header and its S - 18 data bytes.
struct BlobBlock {
  BlobBlockHeader header;
  std::vector<std::uint8_t> data;
};

class TBlobFile {
public:
  static constexpr std::uint64_t kDefaultSizeLimit = 4'000'000'000ULL;

  struct Options {
    std::string tableName;  // context of every error raised
    std::int32_t blockSize = 512;  // from the data file header
    const TTableCipher* cipher = nullptr;  // null for plain tables; must outlive the file
    Md5Digest engineSignature = kStandardSignatureDigest;
    std::uint64_t sizeLimit = kDefaultSizeLimit;  // the engine's file size limit
  };

  // A new, empty BLOB file: header with version 6, the engine signature,
  // next block 1 and HeaderChangeCount 0. Anything `storage` held is cut away.
  static TBlobFile create(TBlobStorage& storage, Options options);
  // Reads and checks the header: version byte below 7 but not 6 gives 12035,
  // 7 or more 12036; a signature matching neither the engine's nor the
  // standard digest 12036; a block count that the file cannot hold 8961.
  static TBlobFile open(TBlobStorage& storage, Options options);

  std::int32_t blockSize() const { return options_.blockSize; }
  std::size_t dataSize() const { return static_cast<std::size_t>(options_.blockSize) - BlobBlockHeader::kSize; }
  std::int32_t blockCount() const { return header_.nextBlock - 1; }
  const BlobFileHeader& header() const { return header_; }
  const std::string& tableName() const { return options_.tableName; }

  // Block n (1..block count), decrypted; another n gives 8963.
  BlobBlock readBlock(std::int32_t n) const;
  // Writes block n (1..block count); data larger than a block's data area
  // gives 10029. Shorter data is padded with zeros.
  void writeBlock(std::int32_t n, const BlobBlock& block);
  // A block for a chain: the head of the free-block chain when there is one
  // (its next link becomes the head), else a new block at the end of the file
  // (9479 when that would pass the size limit). The block comes back cleared.
  std::int32_t allocateBlock();

  // The stored bytes of the value at `reference` (not yet decompressed);
  // nullopt when the first block's stamp differs from the reference's, i.e.
  // the value was rewritten since the row was read. Damage raises 8963 (bad
  // or cyclic link, impossible length) or 8711 (a chain ending early).
  std::optional<std::vector<std::uint8_t>> readChain(BlobReference reference) const;
  // Stores `stored` under `stamp` in the chain of `reference`, allocating a
  // first block when it has none (then reference.firstBlock is set) and more
  // blocks as the chain needs. Blocks past the value stay linked for later.
  void writeChain(BlobReference& reference, std::span<const std::uint8_t> stored, std::int32_t stamp);
  // Length 0 under `stamp`; the chain stays with the row slot. No-op without
  // a chain.
  void emptyChain(BlobReference& reference, std::int32_t stamp);

  // Writes the header when it changed (or always when forced), advancing
  // HeaderChangeCount.
  void writeHeader(bool force = false);
  bool headerModified() const { return headerModified_; }
  // Re-reads the header; true when someone else wrote it since it was read.
  bool refreshHeader();
  // Cuts the file back to its header and forgets every block.
  void empty();

private:
  TBlobFile(TBlobStorage& storage, Options options);

  std::uint64_t blockOffset(std::int32_t n) const;
  void checkBlockNumber(std::int32_t n) const;
  BlobFileHeader readHeaderBytes() const;
  void writeHeaderBytes();
  void checkHeader(const BlobFileHeader& header) const;
  void checkFreeChain() const;
  std::int32_t appendBlock();
  [[noreturn]] void corrupt() const;

  TBlobStorage* storage_;
  Options options_;
  BlobFileHeader header_;
  bool headerModified_ = false;
  mutable bool freeChainChecked_ = false;
};

}  // namespace keel
