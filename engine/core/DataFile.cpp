#include "engine/core/DataFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/Password.h"
#include "engine/core/PasswordList.h"
#include "engine/core/TableCipher.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

constexpr uint8_t kFirstInvalidVersion = 7;

size_t RoundUpTo8(size_t n) { return (n + 7) / 8 * 8; }

double DaysSince18991230(const mindrel::LocalDateTime& moment) {
  const double milliseconds = ((moment.hour * 60.0 + moment.minute) * 60.0 + moment.second) * 1000.0 + moment.millisecond;
  return DayNumberOf(moment.date) - kDayNumberOf18991230 + milliseconds / static_cast<double>(kMillisecondsPerDay);
}

bool ValidFirstNameCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > ' ' && u != 0x7F;
}

std::string Folded(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool SizeFitsType(const FieldDescriptor& d) {
  if (!HasDeclaredSize(d.type)) return d.size == 0;
  const uint16_t maximum = (d.type == FieldType::String && d.subtype == FieldSubtype::WideString)
                               ? kMaxWideStringSize
                               : kMaxStringSize;
  return d.size >= 1 && d.size <= maximum;
}

}  // namespace

TDataFile::TDataFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, std::string tableName,
                     const TEngineSettings& settings, const mindrel::Clock& clock)
    : TBufferedFile(registry, std::move(path), flags),
      tableName_(std::move(tableName)),
      settings_(settings),
      clock_(clock) {}

void TDataFile::fail(ErrorCode code) const { raise(code, {.table = tableName_}); }

Md5Digest TDataFile::signatureDigest() const {
  return settings_.EngineSignature.empty() ? DataFileHeader::kStandardSignature : Md5(settings_.EngineSignature);
}

size_t TDataFile::cacheCapacity() const {
  const size_t byBytes = settings_.MaxTableDataBufferSize / (header_.rowSize + 36u);
  return std::max<size_t>(1, std::min(byBytes, settings_.MaxTableDataBufferCount));
}

void TDataFile::open(TPasswordList* passwords) {
  TEngineFile::open();
  readHeader();
  checkVersionAndSignature();
  if (header_.fieldCount == 0 || header_.fieldCount > kMaxFields) fail(ErrorCode::KEEL_HEADERCORRUPT);
  if (!LocaleAvailable(header_.locale)) fail(ErrorCode::KEEL_CANNOTLOADLDDRV);
  findPassword(passwords);
  readDescriptors();
  checkLayoutFitsRows();
  resetCapacity();
}

void TDataFile::findPassword(TPasswordList* passwords) {
  if (!header_.encrypted) return;
  if (!passwords) fail(ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
  password_ = passwords->findForTable(tableName_, header_.passwordCheck);
  setCipher(&password_->cipher());
}

std::vector<std::string> TDataFile::openForRepair(TPasswordList* passwords) {
  TEngineFile::open();
  readHeader();
  std::vector<std::string> mended;
  if (header_.version != DataFileHeader::kVersion) {
    mended.push_back("data header: version " + std::to_string(header_.version) + " set to " +
                     std::to_string(DataFileHeader::kVersion));
    header_.version = DataFileHeader::kVersion;
  }
  if (header_.signature != signatureDigest() && header_.signature != DataFileHeader::kStandardSignature) {
    mended.push_back("data header: engine signature restored");
    header_.signature = signatureDigest();
  }
  if (!LocaleAvailable(header_.locale)) fail(ErrorCode::KEEL_CANNOTLOADLDDRV);
  findPassword(passwords);
  mendLayout(mended);
  mendRowCount(mended);
  if (!mended.empty()) headerModified_ = true;
  resetCapacity();
  return mended;
}

// A count the file cannot hold is the header's damage; a count it can hold
// but whose descriptors do not chain is the descriptors', which no count
// mends.
void TDataFile::mendLayout(std::vector<std::string>& mended) {
  const uint64_t length = size();
  const bool countFits = header_.fieldCount >= 1 && header_.fieldCount <= kMaxFields &&
                         DataFileHeader::kSize + FieldDescriptor::kSize * uint64_t{header_.fieldCount} <= length;
  if (!countFits) {
    const uint16_t counted = countChainedDescriptors();
    if (counted == 0) fail(ErrorCode::KEEL_HEADERCORRUPT);
    mended.push_back("data header: field count " + std::to_string(header_.fieldCount) + " set to " +
                     std::to_string(counted) + " (the descriptors)");
    header_.fieldCount = counted;
  }
  readDescriptors();
  size_t end = kRowHeaderSize;
  uint16_t blobs = 0;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const FieldDescriptor& field = fields_[i];
    if (field.takesNoRoom()) continue;
    if (field.number != i + 1 || field.offset != end) fail(ErrorCode::KEEL_HEADERCORRUPT);
    end += field.dataLength + 1u;
    if (field.isBlob()) ++blobs;
  }
  const size_t rowSize = RoundUpTo8(end);
  if (rowSize > kMaxRowSize) fail(ErrorCode::KEEL_HEADERCORRUPT);
  if (header_.rowSize != rowSize) {
    mended.push_back("data header: row size " + std::to_string(header_.rowSize) + " set to " +
                     std::to_string(rowSize) + " (the descriptors)");
    header_.rowSize = static_cast<uint16_t>(rowSize);
  }
  if (header_.blobFieldCount != blobs) {
    mended.push_back("data header: BLOB field count " + std::to_string(header_.blobFieldCount) + " set to " +
                     std::to_string(blobs));
    header_.blobFieldCount = blobs;
  }
  checkLayoutFitsRows();
}

uint16_t TDataFile::countChainedDescriptors() {
  const uint64_t room = (size() - DataFileHeader::kSize) / FieldDescriptor::kSize;
  std::vector<uint8_t> area(FieldDescriptor::kSize * std::min<uint64_t>(room, kMaxFields));
  read(DataFileHeader::kSize, area.data(), area.size());
  // Chained encryption: each descriptor deciphers alone from the one before.
  if (cipher()) cipher()->decrypt(area);
  size_t offset = kRowHeaderSize;
  uint16_t count = 0;
  for (size_t i = 0; i * FieldDescriptor::kSize < area.size(); ++i) {
    const FieldDescriptor field = FieldDescriptor::decode(
        std::span<const uint8_t, FieldDescriptor::kSize>(area.data() + i * FieldDescriptor::kSize,
                                                         FieldDescriptor::kSize));
    const bool chains = field.number == i + 1 && !field.name.empty() && ValidFirstNameCharacter(field.name[0]) &&
                        field.type != FieldType::None && (field.takesNoRoom() || field.offset == offset);
    if (!chains) break;
    if (!field.takesNoRoom()) offset += field.dataLength + 1u;
    count = static_cast<uint16_t>(i + 1);
  }
  return count;
}

void TDataFile::mendRowCount(std::vector<std::string>& mended) {
  const uint64_t length = size();
  if (length < dataStart()) fail(ErrorCode::KEEL_HEADERCORRUPT);
  const uint64_t slots = (length - dataStart()) / header_.rowSize;
  cutRowBytes_ = static_cast<size_t>((length - dataStart()) % header_.rowSize);
  if (slots >= static_cast<uint64_t>(settings_.maxRows())) fail(ErrorCode::KEEL_TABLEFULL);
  const int32_t next = static_cast<int32_t>(slots + 1);
  rowsCountedByHeader_ = physicalRowCount();
  if (header_.nextRowNumber != next) {
    mended.push_back("data header: next row number " + std::to_string(header_.nextRowNumber) + " set to " +
                     std::to_string(next) + " (the rows the file holds)");
    header_.nextRowNumber = next;
  }
}

void TDataFile::checkVersionAndSignature() const {
  if (header_.version != DataFileHeader::kVersion)
    fail(header_.version < kFirstInvalidVersion ? ErrorCode::KEEL_OLDVERSION : ErrorCode::KEEL_BADSIGNATURE);
  if (header_.signature != signatureDigest() && header_.signature != DataFileHeader::kStandardSignature)
    fail(ErrorCode::KEEL_BADSIGNATURE);
}

void TDataFile::readDescriptors() {
  std::vector<uint8_t> area(FieldDescriptor::kSize * header_.fieldCount);
  read(DataFileHeader::kSize, area.data(), area.size());
  if (cipher()) cipher()->decrypt(area);
  fields_.clear();
  for (size_t i = 0; i < header_.fieldCount; ++i) {
    fields_.push_back(FieldDescriptor::decode(
        std::span<const uint8_t, FieldDescriptor::kSize>(area.data() + i * FieldDescriptor::kSize,
                                                         FieldDescriptor::kSize)));
  }
}

// Every later access trusts that a field's bytes lie inside the row; a file
// that says otherwise is refused here rather than read out of bounds.
void TDataFile::checkLayoutFitsRows() const {
  if (header_.rowSize < kRowHeaderSize) fail(ErrorCode::KEEL_HEADERCORRUPT);
  for (const FieldDescriptor& field : fields_) {
    if (field.takesNoRoom()) continue;
    if (field.offset < kRowHeaderSize || field.offset + 1u + field.dataLength > header_.rowSize)
      fail(ErrorCode::KEEL_HEADERCORRUPT);
  }
}

void TDataFile::layOutFields(std::vector<FieldDescriptor>& fields) {
  if (fields.empty() || fields.size() > kMaxFields) fail(ErrorCode::KEEL_FLDLIMIT);
  size_t offset = kRowHeaderSize;
  size_t blobs = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldDescriptor& field = fields[i];
    field.number = static_cast<uint16_t>(i + 1);
    field.dataLength = StoredLength(field.type, field.subtype, field.size);
    field.storedDecimals = field.decimals;
    field.offset = static_cast<uint16_t>(std::min<size_t>(offset, UINT16_MAX));
    offset += field.dataLength + 1u;
    if (field.isBlob()) ++blobs;
  }
  if (blobs > kMaxBlobFields) fail(ErrorCode::KEEL_BLOBLIMIT);
  const size_t rowSize = RoundUpTo8(offset);
  if (rowSize > kMaxRowSize) fail(ErrorCode::KEEL_RECTOOBIG);
  header_.rowSize = static_cast<uint16_t>(rowSize);
  header_.fieldCount = static_cast<uint16_t>(fields.size());
  header_.blobFieldCount = static_cast<uint16_t>(blobs);
}

void TDataFile::create(const DataFileCreateRequest& request) {
  std::vector<FieldDescriptor> fields = request.fields;
  header_ = DataFileHeader{};
  layOutFields(fields);
  header_.signature = signatureDigest();
  header_.locale = request.locale;
  header_.userMajor = request.userMajor;
  header_.userMinor = request.userMinor;
  header_.description = request.description.substr(0, DataFileHeader::kMaxDescriptionLength);
  header_.blobBlockSize = request.blobBlockSize;
  header_.indexPageSize = request.indexPageSize;
  header_.lastAutoInc = request.lastAutoInc == -1 ? 0 : request.lastAutoInc;
  password_ = request.password;
  if (password_) {
    header_.encrypted = true;
    header_.passwordCheck = password_->cipher().passwordCheck();
  }
  fields_ = std::move(fields);
  TEngineFile::create();
  setCipher(password_ ? &password_->cipher() : nullptr);
  resetCapacity();
  headerModified_ = true;
  writeHeader(true);
  writeDescriptors();
}

void TDataFile::writeDescriptors() {
  std::vector<uint8_t> area(FieldDescriptor::kSize * fields_.size());
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i].encode(
        std::span<uint8_t, FieldDescriptor::kSize>(area.data() + i * FieldDescriptor::kSize, FieldDescriptor::kSize));
  }
  if (cipher()) cipher()->encrypt(area);
  write(DataFileHeader::kSize, area.data(), area.size());
}

void TDataFile::empty() {
  discardUnits();
  truncate(dataStart());
  header_.freeRowHead = 0;
  header_.nextRowNumber = 1;
  header_.lastRecordId = 0;
  header_.lastAutoInc = 0;
  header_.activeRowCount = 0;
  headerModified_ = true;
  if (forceFlush()) flush();
}

void TDataFile::readHeader() {
  std::array<uint8_t, DataFileHeader::kSize> bytes{};
  read(0, bytes.data(), bytes.size());
  header_ = DataFileHeader::decode(bytes);
}

void TDataFile::writeHeader(bool force) {
  if (!force && !headerModified_) return;
  header_.changeCount = NextCounter(header_.changeCount);
  header_.lastUpdated = DaysSince18991230(clock_.now()) - DataFileHeader::kMomentBias;
  header_.modifiedFlag = headerModified_ ? 1 : 0;
  std::array<uint8_t, DataFileHeader::kSize> bytes{};
  header_.encode(bytes);
  write(0, bytes.data(), bytes.size());
  headerModified_ = false;
}

bool TDataFile::headerChanged() {
  const int32_t seen = header_.changeCount;
  readHeader();
  return header_.changeCount != seen;
}

void TDataFile::addActiveRows(int32_t delta) {
  header_.activeRowCount += delta;
  headerModified_ = true;
}

int32_t TDataFile::nextRecordId() {
  header_.lastRecordId = NextCounter(header_.lastRecordId);
  headerModified_ = true;
  return header_.lastRecordId;
}

void TDataFile::noteRecordId(int32_t recordId) {
  if (recordId <= header_.lastRecordId) return;
  header_.lastRecordId = recordId;
  headerModified_ = true;
}

int32_t TDataFile::nextAutoInc() {
  header_.lastAutoInc = NextCounter(header_.lastAutoInc);
  headerModified_ = true;
  return header_.lastAutoInc;
}

void TDataFile::noteAutoInc(int32_t value) {
  if (value <= header_.lastAutoInc) return;
  header_.lastAutoInc = value;
  headerModified_ = true;
}

int32_t TDataFile::nextBlobStamp() {
  header_.lastBlobStamp = NextCounter(header_.lastBlobStamp);
  headerModified_ = true;
  return header_.lastBlobStamp;
}

void TDataFile::noteBlobStamp(int32_t stamp) {
  if (stamp <= header_.lastBlobStamp) return;
  header_.lastBlobStamp = stamp;
  headerModified_ = true;
}

void TDataFile::resetRowChain(int32_t freeRowHead, int32_t activeRowCount) {
  header_.freeRowHead = freeRowHead;
  header_.activeRowCount = activeRowCount;
  headerModified_ = true;
}

void TDataFile::restoreCounters(const DataFileHeader& before) {
  header_.lastRecordId = before.lastRecordId;
  header_.lastAutoInc = before.lastAutoInc;
}

const FieldDescriptor* TDataFile::field(uint16_t number) const {
  if (number == FieldDescriptor::kRecordIdNumber) return &recordIdField_;
  if (number == FieldDescriptor::kRecordHashNumber) return &recordHashField_;
  if (number == 0 || number > fields_.size()) return nullptr;
  return &fields_[number - 1u];
}

const FieldDescriptor* TDataFile::fieldByName(std::string_view name) const {
  const std::string wanted = Folded(name);
  if (wanted == Folded(recordIdField_.name)) return &recordIdField_;
  if (wanted == Folded(recordHashField_.name)) return &recordHashField_;
  for (const FieldDescriptor& f : fields_) {
    if (Folded(f.name) == wanted) return &f;
  }
  return nullptr;
}

void TDataFile::checkGrowth() {
  const int64_t count = physicalRowCount();
  const uint64_t dataSize = dataStart() + static_cast<uint64_t>(count) * header_.rowSize;
  if (count >= settings_.maxRows() || dataSize > settings_.maxDataBytes()) fail(ErrorCode::KEEL_TABLEFULL);
}

void TDataFile::countAppendedUnit() {
  header_.nextRowNumber += 1;
  headerModified_ = true;
}

TPinnedUnit TDataFile::takeRowForNewRecord() {
  const int64_t k = header_.freeRowHead != 0 ? header_.freeRowHead : header_.nextRowNumber;
  if (header_.freeRowHead < 0 || header_.freeRowHead > physicalRowCount()) fail(ErrorCode::KEEL_FILECORRUPT);
  TPinnedUnit row = getUnit(k);
  if (!row) return row;
  uint8_t* bytes = row->data();
  // A free-row chain leading to an active row is damage: taking the row would
  // overwrite a record its indexes still point to.
  if (header_.freeRowHead != 0 && bytes[kRowStatusAt] != kRowDeleted) fail(ErrorCode::KEEL_FILECORRUPT);
  header_.freeRowHead = header_.freeRowHead != 0 ? LoadI32(bytes + kRowLinkAt) : 0;
  StoreI32(bytes + kRowLinkAt, static_cast<int32_t>(k));
  row.markModified();
  headerModified_ = true;
  return row;
}

void TDataFile::deleteRow(TBuffer& row) {
  uint8_t* bytes = row.data();
  bytes[kRowStatusAt] = kRowDeleted;
  StoreI32(bytes + kRowLinkAt, header_.freeRowHead);
  header_.freeRowHead = static_cast<int32_t>(row.unit());
  row.setModified();
  addActiveRows(-1);
}

Md5Digest TDataFile::recordHash(std::span<const uint8_t> row) const {
  if (header_.blobFieldCount == 0) return Md5(row.data() + kRowHeaderSize, row.size() - kRowHeaderSize);
  std::vector<uint8_t> copy(row.begin() + kRowHeaderSize, row.end());
  for (const FieldDescriptor& field : fields_) {
    if (!field.isBlob() || field.takesNoRoom()) continue;
    std::memset(copy.data() + (field.offset - kRowHeaderSize), 0, field.dataLength + 1u);
  }
  return Md5(copy.data(), copy.size());
}

std::vector<std::string> TDataFile::verifyStructure() {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& text) { problems.push_back(text); };
  if (!LocaleAvailable(header_.locale)) problem("locale " + std::to_string(header_.locale) + " is not available");
  std::set<std::string> names = {Folded("RecordID"), Folded("RecordHash")};
  size_t offset = kRowHeaderSize;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const FieldDescriptor& f = fields_[i];
    const std::string label = "field " + std::to_string(i + 1) + " (" + f.name + ")";
    if (f.number != i + 1) problem(label + ": number " + std::to_string(f.number));
    if (f.name.empty() || f.name.size() > FieldDescriptor::kMaxNameLength || !ValidFirstNameCharacter(f.name[0]))
      problem(label + ": invalid name");
    else if (!names.insert(Folded(f.name)).second)
      problem(label + ": duplicate name");
    if (f.type == FieldType::None) problem(label + ": no type");
    if (!SizeFitsType(f)) problem(label + ": invalid size " + std::to_string(f.size));
    if (!ConstraintTextsValid(f)) problem(label + ": invalid default, minimum or maximum");
    if (f.decimals != 0 && f.type != FieldType::Bcd) problem(label + ": decimals on a non-BCD field");
    if (f.decimals > kMaxBcdDecimals) problem(label + ": too many decimals");
    const uint16_t expected = StoredLength(f.type, f.subtype, f.size);
    if (expected != 0 && f.dataLength != expected) problem(label + ": stored length " + std::to_string(f.dataLength));
    if (f.takesNoRoom()) continue;
    if (f.offset != offset) problem(label + ": offset " + std::to_string(f.offset) + ", expected " + std::to_string(offset));
    offset += f.dataLength + 1u;
  }
  if (RoundUpTo8(offset) != header_.rowSize)
    problem("row size " + std::to_string(header_.rowSize) + ", expected " + std::to_string(RoundUpTo8(offset)));
  size_t blobs = static_cast<size_t>(std::count_if(fields_.begin(), fields_.end(), [](auto& f) { return f.isBlob(); }));
  if (blobs != header_.blobFieldCount) problem("BLOB field count " + std::to_string(header_.blobFieldCount));
  const uint64_t length = size();
  if (length < dataStart()) {
    problem("file shorter than its descriptors");
    return problems;
  }
  if (header_.rowSize != 0 && (length - dataStart()) % header_.rowSize != 0)
    problem("file length is not a whole number of rows");
  const int64_t rows = header_.rowSize == 0 ? 0 : static_cast<int64_t>((length - dataStart()) / header_.rowSize);
  if (header_.nextRowNumber != rows + 1)
    problem("next row number " + std::to_string(header_.nextRowNumber) + ", expected " + std::to_string(rows + 1));
  if (header_.freeRowHead < 0 || header_.freeRowHead > rows)
    problem("free row head " + std::to_string(header_.freeRowHead) + " outside the rows");
  return problems;
}

}  // namespace keel
