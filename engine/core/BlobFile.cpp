#include "engine/core/BlobFile.h"

#include <algorithm>
#include <array>
#include <limits>

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

bool validBlockSize(std::int32_t size) {
  return size >= kMinBlobBlockSize && size <= kMaxBlobBlockSize && size % 8 == 0;
}

}  // namespace

TBlobFile::TBlobFile(TBlobStorage& storage, Options options) : storage_(&storage), options_(std::move(options)) {
  if (!validBlockSize(options_.blockSize)) raise(ErrorCode::KEEL_BLOBLIMIT, {.table = options_.tableName});
}

TBlobFile TBlobFile::create(TBlobStorage& storage, Options options) {
  TBlobFile file(storage, std::move(options));
  file.header_.signature = file.options_.engineSignature;
  storage.truncate(0);
  file.writeHeaderBytes();
  return file;
}

TBlobFile TBlobFile::open(TBlobStorage& storage, Options options) {
  TBlobFile file(storage, std::move(options));
  const BlobFileHeader header = file.readHeaderBytes();
  file.checkHeader(header);
  file.header_ = header;
  return file;
}

[[noreturn]] void TBlobFile::corrupt() const { raise(ErrorCode::KEEL_MEMOCORRUPT, {.table = options_.tableName}); }

std::uint64_t TBlobFile::blockOffset(std::int32_t n) const {
  return BlobFileHeader::kSize + static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(options_.blockSize);
}

void TBlobFile::checkBlockNumber(std::int32_t n) const {
  if (n < 1 || n > blockCount()) corrupt();
}

BlobFileHeader TBlobFile::readHeaderBytes() const {
  std::array<std::uint8_t, BlobFileHeader::kSize> bytes{};
  storage_->read(0, bytes);
  if (options_.cipher) options_.cipher->decrypt(bytes);
  return BlobFileHeader::decode(bytes);
}

void TBlobFile::checkHeader(const BlobFileHeader& header) const {
  const ErrorContext context{.table = options_.tableName};
  if (header.version != kBlobFileVersion) {
    raise(header.version < 7 ? ErrorCode::KEEL_OLDVERSION : ErrorCode::KEEL_BADSIGNATURE, context);
  }
  if (header.signature != options_.engineSignature && header.signature != kStandardSignatureDigest) {
    raise(ErrorCode::KEEL_BADSIGNATURE, context);
  }
  const std::int32_t count = header.nextBlock - 1;
  const std::uint64_t needed =
      BlobFileHeader::kSize + static_cast<std::uint64_t>(std::max(count, 0)) * static_cast<std::uint64_t>(options_.blockSize);
  if (count < 0 || header.freeHead < 0 || header.freeHead > count || storage_->size() < needed) {
    raise(ErrorCode::KEEL_HEADERCORRUPT, context);
  }
}

BlobBlock TBlobFile::readBlock(std::int32_t n) const {
  checkBlockNumber(n);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(options_.blockSize));
  storage_->read(blockOffset(n), bytes);
  if (options_.cipher) options_.cipher->decrypt(bytes);
  BlobBlock block;
  block.header = BlobBlockHeader::decode(std::span<const std::uint8_t, BlobBlockHeader::kSize>(bytes.data(), BlobBlockHeader::kSize));
  block.data.assign(bytes.begin() + BlobBlockHeader::kSize, bytes.end());
  return block;
}

void TBlobFile::writeBlock(std::int32_t n, const BlobBlock& block) {
  if (block.data.size() > dataSize()) raise(ErrorCode::KEEL_INVALIDBLOBLEN, {.table = options_.tableName});
  checkBlockNumber(n);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(options_.blockSize), 0);
  block.header.encode(std::span<std::uint8_t, BlobBlockHeader::kSize>(bytes.data(), BlobBlockHeader::kSize));
  std::copy(block.data.begin(), block.data.end(), bytes.begin() + BlobBlockHeader::kSize);
  if (options_.cipher) options_.cipher->encrypt(bytes);
  storage_->write(blockOffset(n), bytes);
}

// A cycle in the free-block chain would hand out a block twice, so the chain
// is walked once before its first use.
void TBlobFile::checkFreeChain() const {
  if (freeChainChecked_) return;
  std::vector<bool> seen(static_cast<std::size_t>(blockCount()) + 1, false);
  for (std::int32_t n = header_.freeHead; n != 0;) {
    checkBlockNumber(n);
    if (seen[static_cast<std::size_t>(n)]) corrupt();
    seen[static_cast<std::size_t>(n)] = true;
    n = readBlock(n).header.next;
  }
  freeChainChecked_ = true;
}

std::int32_t TBlobFile::allocateBlock() {
  if (header_.freeHead == 0) return appendBlock();
  checkFreeChain();
  const std::int32_t n = header_.freeHead;
  header_.freeHead = readBlock(n).header.next;
  headerModified_ = true;
  writeBlock(n, BlobBlock{});
  return n;
}

std::int32_t TBlobFile::appendBlock() {
  const std::uint64_t grownSize = blockOffset(blockCount() + 2);
  if (grownSize > options_.sizeLimit || header_.nextBlock == std::numeric_limits<std::int32_t>::max()) {
    raise(ErrorCode::KEEL_TABLEFULL, {.table = options_.tableName});
  }
  const std::int32_t n = header_.nextBlock;
  header_.nextBlock += 1;
  headerModified_ = true;
  writeBlock(n, BlobBlock{});
  return n;
}

std::optional<std::vector<std::uint8_t>> TBlobFile::readChain(BlobReference reference) const {
  if (reference.firstBlock == 0) return std::vector<std::uint8_t>{};
  BlobBlock block = readBlock(reference.firstBlock);
  if (block.header.stamp != reference.stamp) return std::nullopt;

  const std::int64_t total = block.header.totalLength;
  if (total < 0 || static_cast<std::uint64_t>(total) > static_cast<std::uint64_t>(blockCount()) * dataSize()) corrupt();
  const auto length = static_cast<std::size_t>(total);
  std::vector<std::uint8_t> stored;
  stored.reserve(length);
  std::vector<bool> seen(static_cast<std::size_t>(blockCount()) + 1, false);
  std::int32_t current = reference.firstBlock;
  for (;;) {
    seen[static_cast<std::size_t>(current)] = true;
    const std::size_t wanted = std::min(dataSize(), length - stored.size());
    if (block.header.used < wanted) raise(ErrorCode::KEEL_ENDOFBLOB, {.table = options_.tableName});
    stored.insert(stored.end(), block.data.begin(), block.data.begin() + static_cast<std::ptrdiff_t>(wanted));
    if (stored.size() == length) return stored;

    const std::int32_t next = block.header.next;
    if (next == 0) raise(ErrorCode::KEEL_ENDOFBLOB, {.table = options_.tableName});
    checkBlockNumber(next);
    if (seen[static_cast<std::size_t>(next)]) corrupt();
    block = readBlock(next);
    current = next;
  }
}

void TBlobFile::writeChain(BlobReference& reference, std::span<const std::uint8_t> stored, std::int32_t stamp) {
  if (stored.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    raise(ErrorCode::KEEL_INVALIDBLOBLEN, {.table = options_.tableName});
  }
  // A slot without a chain gets its first block only with its first byte.
  if (stored.empty()) {
    emptyChain(reference, stamp);
    return;
  }
  if (reference.firstBlock == 0) reference.firstBlock = allocateBlock();

  // Find or allocate every block first, so that a full file leaves the old
  // value readable instead of a half-written one.
  const std::size_t blocksNeeded = (stored.size() + dataSize() - 1) / dataSize();
  std::vector<std::int32_t> numbers{reference.firstBlock};
  std::vector<BlobBlock> blocks{readBlock(reference.firstBlock)};
  while (blocks.size() < blocksNeeded) {
    std::int32_t next = blocks.back().header.next;
    if (next == 0) {
      next = allocateBlock();
      blocks.back().header.next = next;
      blocks.push_back(BlobBlock{});
    } else {
      checkBlockNumber(next);
      if (std::find(numbers.begin(), numbers.end(), next) != numbers.end()) corrupt();
      blocks.push_back(readBlock(next));
    }
    blocks.back().header.previous = numbers.back();
    numbers.push_back(next);
  }

  for (std::size_t i = 0; i < blocks.size(); ++i) {
    BlobBlock& block = blocks[i];
    const bool first = i == 0;
    block.header.stamp = first ? stamp : 0;
    block.header.totalLength = first ? static_cast<std::int32_t>(stored.size()) : 0;
    const std::size_t at = i * dataSize();
    const std::size_t count = std::min(dataSize(), stored.size() - at);
    block.data.assign(dataSize(), 0);
    std::copy_n(stored.begin() + static_cast<std::ptrdiff_t>(at), count, block.data.begin());
    block.header.used = static_cast<std::uint16_t>(count);
    writeBlock(numbers[i], block);
  }
  reference.stamp = stamp;
}

void TBlobFile::emptyChain(BlobReference& reference, std::int32_t stamp) {
  reference.stamp = stamp;
  if (reference.firstBlock == 0) return;
  BlobBlock first = readBlock(reference.firstBlock);
  first.header.stamp = stamp;
  first.header.totalLength = 0;
  writeBlock(reference.firstBlock, first);
}

void TBlobFile::writeHeader(bool force) {
  if (!headerModified_ && !force) return;
  header_.changeCount = NextCounterValue(header_.changeCount);
  header_.modified = headerModified_ ? 1 : 0;
  writeHeaderBytes();
  headerModified_ = false;
}

void TBlobFile::writeHeaderBytes() {
  std::array<std::uint8_t, BlobFileHeader::kSize> bytes{};
  header_.encode(bytes);
  if (options_.cipher) options_.cipher->encrypt(bytes);
  storage_->write(0, bytes);
}

bool TBlobFile::refreshHeader() {
  const BlobFileHeader latest = readHeaderBytes();
  if (latest.changeCount == header_.changeCount) return false;
  checkHeader(latest);
  header_ = latest;
  freeChainChecked_ = false;
  return true;
}

void TBlobFile::empty() {
  storage_->truncate(BlobFileHeader::kSize);
  header_.freeHead = 0;
  header_.nextBlock = 1;
  headerModified_ = true;
  freeChainChecked_ = false;
}

}  // namespace keel
