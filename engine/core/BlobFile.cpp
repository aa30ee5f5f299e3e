#include "engine/core/BlobFile.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "engine/core/TableCipher.h"

namespace keel {
namespace {

bool validBlockSize(std::int32_t size) {
  return size >= kMinBlobBlockSize && size <= kMaxBlobBlockSize && size % 8 == 0;
}

BlobBlockHeader headerOf(const TBuffer& unit) {
  return BlobBlockHeader::decode(std::span<const std::uint8_t, BlobBlockHeader::kSize>(unit.data(), BlobBlockHeader::kSize));
}

void storeHeader(TBuffer& unit, const BlobBlockHeader& header) {
  header.encode(std::span<std::uint8_t, BlobBlockHeader::kSize>(unit.data(), BlobBlockHeader::kSize));
}

}  // namespace

TBlobFile::TBlobFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, Options options)
    : TBufferedFile(registry, std::move(path), flags), options_(std::move(options)) {
  if (!validBlockSize(options_.blockSize)) fail(ErrorCode::KEEL_BLOBLIMIT);
  engineSignature_ = options_.settings.EngineSignature.empty() ? DataFileHeader::kStandardSignature
                                                               : Md5(options_.settings.EngineSignature);
  resetCapacity();
}

[[noreturn]] void TBlobFile::fail(ErrorCode code) const { raise(code, {.table = options_.tableName}); }

std::size_t TBlobFile::cacheCapacity() const {
  const std::size_t byBudget = options_.settings.MaxTableBlobBufferSize / (unitSize() + 56);
  return std::max<std::size_t>(1, std::min(byBudget, options_.settings.MaxTableBlobBufferCount));
}

void TBlobFile::createFile() {
  create();
  header_ = BlobFileHeader{};
  header_.signature = engineSignature_;
  headerModified_ = false;
  freeChainChecked_ = false;
  writeHeaderBytes();
}

void TBlobFile::openFile() {
  open();
  const BlobFileHeader header = readHeaderBytes();
  checkHeader(header);
  header_ = header;
  headerModified_ = false;
  freeChainChecked_ = false;
}

std::vector<std::string> TBlobFile::openForRepair() {
  open();
  std::vector<std::string> mended;
  BlobFileHeader header = readHeaderBytes();
  if (header.version != kBlobFileVersion) {
    mended.push_back("BLOB header: version " + std::to_string(header.version) + " set to " +
                     std::to_string(kBlobFileVersion));
    header.version = kBlobFileVersion;
  }
  if (header.signature != engineSignature_ && header.signature != DataFileHeader::kStandardSignature) {
    mended.push_back("BLOB header: engine signature restored");
    header.signature = engineSignature_;
  }
  const std::uint64_t length = size();
  const std::uint64_t blocks = (length - dataStart()) / unitSize();
  if (blocks >= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) fail(ErrorCode::KEEL_TABLEFULL);
  if ((length - dataStart()) % unitSize() != 0) mended.push_back("BLOB file: a block cut short at its end dropped");
  const auto next = static_cast<std::int32_t>(blocks + 1);
  if (header.nextBlock != next) {
    mended.push_back("BLOB header: next block number " + std::to_string(header.nextBlock) + " set to " +
                     std::to_string(next) + " (the blocks the file holds)");
    header.nextBlock = next;
  }
  if (header.freeHead < 0 || header.freeHead >= next) header.freeHead = 0;  // the repair rebuilds the chain
  header_ = header;
  headerModified_ = !mended.empty();
  freeChainChecked_ = false;
  return mended;
}

BlobFileHeader TBlobFile::readHeaderBytes() {
  std::array<std::uint8_t, BlobFileHeader::kSize> bytes{};
  read(0, bytes.data(), bytes.size());
  if (cipher()) cipher()->decrypt(bytes);
  return BlobFileHeader::decode(bytes);
}

void TBlobFile::writeHeaderBytes() {
  std::array<std::uint8_t, BlobFileHeader::kSize> bytes{};
  header_.encode(bytes);
  if (cipher()) cipher()->encrypt(bytes);
  write(0, bytes.data(), bytes.size());
}

void TBlobFile::checkHeader(const BlobFileHeader& header) {
  if (header.version != kBlobFileVersion) {
    fail(header.version < 7 ? ErrorCode::KEEL_OLDVERSION : ErrorCode::KEEL_BADSIGNATURE);
  }
  if (header.signature != engineSignature_ && header.signature != DataFileHeader::kStandardSignature) {
    fail(ErrorCode::KEEL_BADSIGNATURE);
  }
  const std::int64_t count = static_cast<std::int64_t>(header.nextBlock) - 1;
  if (count < 0 || header.freeHead < 0 || header.freeHead > count) fail(ErrorCode::KEEL_HEADERCORRUPT);
  const std::uint64_t needed = dataStart() + static_cast<std::uint64_t>(count) * unitSize();
  if (size() < needed) fail(ErrorCode::KEEL_HEADERCORRUPT);
}

void TBlobFile::writeHeader(bool force) {
  if (!force && !headerModified_) return;
  header_.changeCount = NextCounter(header_.changeCount);
  header_.modified = headerModified_ ? 1 : 0;
  writeHeaderBytes();
  headerModified_ = false;
}

bool TBlobFile::refreshHeader() {
  const BlobFileHeader latest = readHeaderBytes();
  if (latest.changeCount == header_.changeCount) return false;
  adoptHeader(latest);
  return true;
}

void TBlobFile::reloadHeader() { adoptHeader(readHeaderBytes()); }

void TBlobFile::adoptHeader(const BlobFileHeader& latest) {
  checkHeader(latest);
  header_ = latest;
  headerModified_ = false;
  freeChainChecked_ = false;
  dropCache();
}

void TBlobFile::empty() {
  truncate(dataStart());
  discardUnits();
  header_.freeHead = 0;
  header_.nextBlock = 1;
  headerModified_ = true;
  freeChainChecked_ = false;
  if (forceFlush()) flush();
}

void TBlobFile::checkGrowth() {
  const std::uint64_t grown = dataStart() + static_cast<std::uint64_t>(blockCount() + 1) * unitSize();
  const std::uint64_t limit = options_.sizeLimit != 0 ? options_.sizeLimit : options_.settings.maxDataBytes();
  if (grown > limit || header_.nextBlock == std::numeric_limits<std::int32_t>::max()) {
    fail(ErrorCode::KEEL_TABLEFULL);
  }
}

void TBlobFile::countAppendedUnit() {
  header_.nextBlock += 1;
  headerModified_ = true;
}

void TBlobFile::checkBlockNumber(std::int32_t n) const {
  if (n < 1 || n > blockCount()) fail(ErrorCode::KEEL_MEMOCORRUPT);
}

// Empty when the table changed under a non-strict reader (see TBufferedFile).
// `wanted` blocks of the chain are still to come, a read-ahead wish.
TPinnedUnit TBlobFile::pinBlock(std::int32_t n, std::size_t wanted) {
  checkBlockNumber(n);
  return getUnit(n, wanted);
}

BlobBlock TBlobFile::readBlock(std::int32_t n) {
  TPinnedUnit unit = pinBlock(n);
  if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
  return {headerOf(*unit), std::vector<std::uint8_t>(unit->data() + BlobBlockHeader::kSize, unit->data() + unit->size())};
}

void TBlobFile::writeBlock(std::int32_t n, const BlobBlock& block) {
  if (block.data.size() > dataSize()) fail(ErrorCode::KEEL_INVALIDBLOBLEN);
  TPinnedUnit unit = pinBlock(n);
  if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
  unit->clear();
  storeHeader(*unit, block.header);
  std::copy(block.data.begin(), block.data.end(), unit->data() + BlobBlockHeader::kSize);
  unit.markModified();
}

// A cycle in the free-block chain would hand out one block twice, so the
// chain is walked once before its first use.
void TBlobFile::checkFreeChain() {
  if (freeChainChecked_) return;
  std::unordered_set<std::int32_t> seen;
  for (std::int32_t n = header_.freeHead; n != 0;) {
    if (!seen.insert(n).second) fail(ErrorCode::KEEL_MEMOCORRUPT);
    TPinnedUnit unit = pinBlock(n);
    if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
    n = headerOf(*unit).next;
  }
  freeChainChecked_ = true;
}

std::int32_t TBlobFile::allocateBlock() {
  if (header_.freeHead == 0) {
    TPinnedUnit appended = appendUnit();
    return static_cast<std::int32_t>(appended->unit());
  }
  checkFreeChain();
  const std::int32_t n = header_.freeHead;
  TPinnedUnit unit = pinBlock(n);
  if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
  header_.freeHead = headerOf(*unit).next;
  headerModified_ = true;
  unit->clear();
  unit.markModified();
  return n;
}

void TBlobFile::rebuildFreeChain(const std::vector<std::int32_t>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    BlobBlock cleared;
    cleared.header.next = i + 1 < blocks.size() ? blocks[i + 1] : 0;
    writeBlock(blocks[i], cleared);
  }
  header_.freeHead = blocks.empty() ? 0 : blocks.front();
  headerModified_ = true;
  freeChainChecked_ = false;
}

std::optional<std::vector<std::uint8_t>> TBlobFile::readChain(BlobReference reference) {
  if (reference.firstBlock == 0) return std::vector<std::uint8_t>{};
  TPinnedUnit unit = pinBlock(reference.firstBlock);
  if (!unit) return std::nullopt;
  BlobBlockHeader block = headerOf(*unit);
  if (block.stamp != reference.stamp) return std::nullopt;

  const std::int64_t total = block.totalLength;
  if (total < 0 || static_cast<std::uint64_t>(total) > static_cast<std::uint64_t>(blockCount()) * dataSize()) {
    fail(ErrorCode::KEEL_MEMOCORRUPT);
  }
  const auto length = static_cast<std::size_t>(total);
  std::vector<std::uint8_t> stored;
  stored.reserve(length);
  std::unordered_set<std::int32_t> seen{reference.firstBlock};
  for (;;) {
    const std::size_t wanted = std::min(dataSize(), length - stored.size());
    if (block.used < wanted) fail(ErrorCode::KEEL_ENDOFBLOB);
    const std::uint8_t* data = unit->data() + BlobBlockHeader::kSize;
    stored.insert(stored.end(), data, data + wanted);
    if (stored.size() == length) return stored;

    const std::int32_t next = block.next;
    if (next == 0) fail(ErrorCode::KEEL_ENDOFBLOB);
    if (!seen.insert(next).second) fail(ErrorCode::KEEL_MEMOCORRUPT);
    unit.release();
    unit = pinBlock(next, (length - stored.size() + dataSize() - 1) / dataSize());
    if (!unit) return std::nullopt;
    block = headerOf(*unit);
  }
}

std::vector<std::int32_t> TBlobFile::chainFor(BlobReference& reference, std::size_t blocksNeeded) {
  if (reference.firstBlock == 0) reference.firstBlock = allocateBlock();
  std::vector<std::int32_t> numbers{reference.firstBlock};
  while (numbers.size() < blocksNeeded) {
    std::int32_t next = 0;
    {
      TPinnedUnit unit = pinBlock(numbers.back());
      if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
      next = headerOf(*unit).next;
    }
    if (next == 0) {
      next = allocateBlock();
    } else {
      checkBlockNumber(next);
      if (std::find(numbers.begin(), numbers.end(), next) != numbers.end()) fail(ErrorCode::KEEL_MEMOCORRUPT);
    }
    numbers.push_back(next);
  }
  return numbers;
}

void TBlobFile::writeChain(BlobReference& reference, std::span<const std::uint8_t> stored, std::int32_t stamp) {
  if (stored.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    fail(ErrorCode::KEEL_INVALIDBLOBLEN);
  }
  // A slot without a chain gets its first block only with its first byte.
  if (stored.empty()) {
    emptyChain(reference, stamp);
    return;
  }
  const std::vector<std::int32_t> numbers = chainFor(reference, (stored.size() + dataSize() - 1) / dataSize());
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    TPinnedUnit unit = pinBlock(numbers[i]);
    if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
    BlobBlockHeader block = headerOf(*unit);
    const bool first = i == 0;
    const bool last = i + 1 == numbers.size();
    const std::size_t at = i * dataSize();
    const std::size_t count = std::min(dataSize(), stored.size() - at);
    block.previous = first ? 0 : numbers[i - 1];
    if (!last) block.next = numbers[i + 1];  // the last keeps its link to blocks kept for later
    block.used = static_cast<std::uint16_t>(count);
    block.stamp = first ? stamp : 0;
    block.totalLength = first ? static_cast<std::int32_t>(stored.size()) : 0;
    unit->clear();
    storeHeader(*unit, block);
    std::copy_n(stored.begin() + static_cast<std::ptrdiff_t>(at), count, unit->data() + BlobBlockHeader::kSize);
    unit.markModified();
  }
  reference.stamp = stamp;
}

void TBlobFile::emptyChain(BlobReference& reference, std::int32_t stamp) {
  reference.stamp = stamp;
  if (reference.firstBlock == 0) return;
  TPinnedUnit unit = pinBlock(reference.firstBlock);
  if (!unit) fail(ErrorCode::KEEL_KEYORRECDELETED);
  BlobBlockHeader block = headerOf(*unit);
  block.stamp = stamp;
  block.totalLength = 0;
  storeHeader(*unit, block);
  unit.markModified();
}

}  // namespace keel
