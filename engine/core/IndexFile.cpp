#include "engine/core/IndexFile.h"

#include <algorithm>
#include <span>

#include "engine/core/Collation.h"
#include "engine/core/Page.h"
#include "engine/core/TableCipher.h"

namespace keel {

namespace {

bool ValidPageSize(size_t pageSize) {
  return pageSize >= index_layout::kMinPageSize && pageSize <= index_layout::kMaxPageSize &&
         pageSize % 8 == 0;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  // Names typed by users: the plain letter pairs of locale 0.
  return TCollation::ForLocale(0, {})->equalIgnoringCase(a, b);
}

}  // namespace

TIndexFile::TIndexFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, Options options)
    : TBufferedFile(registry, std::move(path), flags), options_(std::move(options)) {}

TIndexFile::Options TIndexFile::OptionsFor(const std::string& tableName, const TEngineSettings& settings,
                                           const DataFileHeader& dataHeader) {
  Options options;
  options.tableName = tableName;
  options.pageSize = static_cast<size_t>(dataHeader.indexPageSize);
  options.engineSignature =
      settings.EngineSignature.empty() ? DataFileHeader::kStandardSignature : Md5(settings.EngineSignature);
  options.sizeLimit = settings.maxDataBytes();
  options.maxBufferBytes = settings.MaxTableIndexBufferSize;
  options.maxBufferCount = settings.MaxTableIndexBufferCount;
  return options;
}

size_t TIndexFile::cacheCapacity() const {
  const size_t byBytes = options_.maxBufferBytes / (options_.pageSize + 56);
  return std::max<size_t>(1, std::min(byBytes, options_.maxBufferCount));
}

std::unique_ptr<TBuffer> TIndexFile::makeBuffer() {
  return std::make_unique<TPage>(options_.pageSize);
}

void TIndexFile::headerCorrupt() const {
  raise(ErrorCode::KEEL_HEADERCORRUPT, {.table = options_.tableName});
}

IndexFileHeader TIndexFile::readHeaderBytes() {
  std::array<uint8_t, IndexFileHeader::kSize> bytes{};
  read(0, bytes.data(), bytes.size());
  if (cipher()) cipher()->decrypt(bytes);
  return IndexFileHeader::decode(bytes);
}

void TIndexFile::checkHeader(const IndexFileHeader& h) {
  if (h.version != index_layout::kVersion) {
    raise(h.version < 7 ? ErrorCode::KEEL_OLDVERSION : ErrorCode::KEEL_BADSIGNATURE,
          {.table = options_.tableName});
  }
  if (h.signature != options_.engineSignature && h.signature != DataFileHeader::kStandardSignature) {
    raise(ErrorCode::KEEL_BADSIGNATURE, {.table = options_.tableName});
  }
  if (h.secondaryCount > index_layout::kMaxSecondaryIndexes || !ValidPageSize(options_.pageSize))
    headerCorrupt();
  // Every page the header names must be one the file can hold.
  if (h.nextPage < 1 || h.freeHead < 0 || h.freeHead >= h.nextPage) headerCorrupt();
  for (int32_t root : h.roots) {
    if (root < 0 || root >= h.nextPage) headerCorrupt();
  }
  const uint64_t needed =
      index_layout::kPagesStart + static_cast<uint64_t>(h.nextPage - 1) * options_.pageSize;
  if (size() < needed) headerCorrupt();
}

void TIndexFile::readDescriptors() {
  std::vector<uint8_t> area(index_layout::kDescriptorAreaSize);
  read(index_layout::kHeaderSize, area.data(), area.size());
  if (cipher()) cipher()->decrypt(area);
  for (size_t slot = 0; slot < descriptors_.size(); ++slot) {
    std::span<const uint8_t, IndexDescriptor::kSize> bytes(area.data() + slot * IndexDescriptor::kSize,
                                                           IndexDescriptor::kSize);
    descriptors_[slot] = IndexDescriptor::decode(bytes);
  }
  // The primary and every counted secondary must be usable as trees.
  for (int slot = 0; slot <= header_.secondaryCount; ++slot) {
    if (!descriptors_[static_cast<size_t>(slot)].isWellFormed(options_.pageSize)) headerCorrupt();
  }
}

void TIndexFile::openIndex() {
  open();
  header_ = readHeaderBytes();
  checkHeader(header_);
  readDescriptors();
  headerModified_ = descriptorsModified_ = false;
  resetCapacity();
}

void TIndexFile::createIndex(const IndexDescriptor& primary, const std::vector<IndexDescriptor>& secondaries,
                             const IndexDescriptor& fullText) {
  if (!ValidPageSize(options_.pageSize) || secondaries.size() > index_layout::kMaxSecondaryIndexes) {
    raise(ErrorCode::KEEL_INDEXLIMIT, {.table = options_.tableName});
  }
  create();
  header_ = IndexFileHeader{};
  header_.signature = options_.engineSignature;
  header_.secondaryCount = static_cast<uint8_t>(secondaries.size());
  descriptors_ = {};
  descriptors_[index_layout::kPrimarySlot] = primary;
  descriptors_[index_layout::kPrimarySlot].name.clear();
  std::copy(secondaries.begin(), secondaries.end(), descriptors_.begin() + 1);
  // Slot 31 always describes the full-text index, whatever the caller filled in.
  std::vector<uint16_t> wordFields;
  for (const IndexKeyField& field : fullText.fields) wordFields.push_back(field.fieldNumber);
  descriptors_[index_layout::kFullTextSlot] = IndexDescriptor::FullText(std::move(wordFields));
  dropCache();
  resetCapacity();
  writeHeaderBytes();
  writeDescriptors();
  headerModified_ = false;
}

void TIndexFile::emptyIndex() {
  discardUnits();
  truncate(index_layout::kPagesStart);
  header_.roots = {};
  header_.dataRoots = {};
  header_.freeHead = 0;
  header_.nextPage = 1;
  markHeader();
}

bool TIndexFile::refreshHeader() {
  const IndexFileHeader fresh = readHeaderBytes();
  if (fresh.changeCount == header_.changeCount) return false;
  adoptHeader(fresh);
  return true;
}

void TIndexFile::reloadHeader() { adoptHeader(readHeaderBytes()); }

void TIndexFile::adoptHeader(const IndexFileHeader& fresh) {
  checkHeader(fresh);
  header_ = fresh;
  readDescriptors();
  dropCache();
}

std::optional<int> TIndexFile::slotOf(std::string_view name) const {
  for (int slot = 0; slot <= header_.secondaryCount; ++slot) {
    if (SameNameIgnoringCase(descriptors_[static_cast<size_t>(slot)].name, name)) return slot;
  }
  return std::nullopt;
}

void TIndexFile::addSecondary(const IndexDescriptor& index) {
  if (header_.secondaryCount >= index_layout::kMaxSecondaryIndexes) {
    raise(ErrorCode::KEEL_INDEXLIMIT, {.table = options_.tableName});
  }
  ++header_.secondaryCount;
  descriptors_[header_.secondaryCount] = index;
  header_.roots[header_.secondaryCount] = 0;
  descriptorsModified_ = true;
  markHeader();
}

void TIndexFile::removeSecondary(int slot) {
  if (slot < 1 || slot > header_.secondaryCount)
    raise(ErrorCode::KEEL_INVALIDINDEXNAME, {.table = options_.tableName});
  const auto at = static_cast<size_t>(slot);
  const size_t lastSecondary = index_layout::kMaxSecondaryIndexes;
  std::move(descriptors_.begin() + at + 1, descriptors_.begin() + lastSecondary + 1,
            descriptors_.begin() + at);
  descriptors_[lastSecondary] = IndexDescriptor{};
  std::move(header_.roots.begin() + at + 1, header_.roots.begin() + lastSecondary + 1,
            header_.roots.begin() + at);
  header_.roots[lastSecondary] = 0;
  --header_.secondaryCount;
  descriptorsModified_ = true;
  markHeader();
}

void TIndexFile::setRoot(int slot, int32_t page) {
  header_.roots.at(static_cast<size_t>(slot)) = page;
  markHeader();
}

void TIndexFile::setFreeHead(int32_t page) {
  header_.freeHead = page;
  markHeader();
}

void TIndexFile::checkGrowth() {
  const uint64_t grown =
      index_layout::kPagesStart + static_cast<uint64_t>(header_.nextPage) * options_.pageSize;
  if (grown > options_.sizeLimit) raise(ErrorCode::KEEL_TABLEFULL, {.table = options_.tableName});
}

void TIndexFile::countAppendedUnit() {
  ++header_.nextPage;
  markHeader();
}

void TIndexFile::writeHeader(bool force) {
  if (descriptorsModified_) writeDescriptors();
  if (!headerModified_ && !force) return;
  header_.changeCount = NextCounter(header_.changeCount);
  header_.modified = headerModified_ ? 1 : 0;
  writeHeaderBytes();
  headerModified_ = false;
}

void TIndexFile::writeHeaderBytes() {
  std::array<uint8_t, IndexFileHeader::kSize> bytes{};
  header_.encode(bytes);
  if (cipher()) cipher()->encrypt(bytes);
  write(0, bytes.data(), bytes.size());
}

void TIndexFile::writeDescriptors() {
  std::vector<uint8_t> area(index_layout::kDescriptorAreaSize);
  for (size_t slot = 0; slot < descriptors_.size(); ++slot) {
    descriptors_[slot].encode(std::span<uint8_t, IndexDescriptor::kSize>(
        area.data() + slot * IndexDescriptor::kSize, IndexDescriptor::kSize));
  }
  if (cipher()) cipher()->encrypt(area);
  write(index_layout::kHeaderSize, area.data(), area.size());
  descriptorsModified_ = false;
}

}  // namespace keel
