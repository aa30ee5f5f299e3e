#include "engine/core/DataDirectory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexDefinitions.h"
#include "engine/core/RollbackJournal.h"
#include "engine/core/TextCase.h"
#include "platform/FileSystem.h"

namespace keel {

namespace {

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  return !suffix.empty() && text.size() >= suffix.size() &&
         Folded(text.substr(text.size() - suffix.size())) == Folded(suffix);
}

int32_t RoundUpTo8(int32_t n) { return (n + 7) / 8 * 8; }

bool SizeFitsType(const FieldDescriptor& d) {
  if (!HasDeclaredSize(d.type)) return d.size == 0;
  const uint16_t maximum = (d.type == FieldType::String && d.subtype == FieldSubtype::WideString)
                               ? kMaxWideStringSize
                               : kMaxStringSize;
  return d.size >= 1 && d.size <= maximum;
}

bool DefinitionValid(const FieldDescriptor& d) {
  if (StoredLength(d.type, d.subtype, d.size) == 0 && d.type != FieldType::Bytes && d.type != FieldType::VarBytes)
    return false;
  if (!SizeFitsType(d)) return false;
  if (d.decimals != 0 && (d.type != FieldType::Bcd || d.decimals > kMaxBcdDecimals)) return false;
  if (d.compression != 0 && (!d.isBlob() || d.compression > 9)) return false;
  return static_cast<uint8_t>(d.charCase) <= 2;
}

// Numbers, stored lengths and offsets as the data file will give them, so the
// index definitions can be checked against the fields.
std::vector<FieldDescriptor> LaidOut(std::vector<FieldDescriptor> fields) {
  size_t offset = kRowHeaderSize;
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldDescriptor& f = fields[i];
    f.number = static_cast<uint16_t>(i + 1);
    f.dataLength = StoredLength(f.type, f.subtype, f.size);
    f.storedDecimals = f.decimals;
    f.offset = static_cast<uint16_t>(std::min<size_t>(offset, UINT16_MAX));
    offset += f.dataLength + 1u;
  }
  return fields;
}

LockRetryPolicy RetryPolicy(int retryCount, std::chrono::milliseconds wait) {
  return {static_cast<uint32_t>(std::max(retryCount, 0)), wait};
}

EngineLockSettings LockSettingsOf(const TEngineSettings& settings) {
  EngineLockSettings locks;
  locks.largeFileSupport = settings.LargeFileSupport;
  locks.lockFileName = settings.LockFileName;
  locks.dataExtension = settings.TableDataExtension;
  locks.tableRead = RetryPolicy(settings.TableReadLockRetryCount, settings.TableReadLockWaitTime);
  locks.tableWrite = RetryPolicy(settings.TableWriteLockRetryCount, settings.TableWriteLockWaitTime);
  locks.transaction = RetryPolicy(settings.TableTransLockRetryCount, settings.TableTransLockWaitTime);
  return locks;
}

}  // namespace

TDataDirectory::TDataDirectory(TDataSession& session, std::string path, bool inMemory)
    : session_(session), path_(std::move(path)), inMemory_(inMemory) {
  if (!path_.empty() && path_.back() != '/') path_ += '/';
  locks_ = std::make_unique<TDataDirectoryLocks>(session_.engine().files(), path_,
                                                 LockSettingsOf(session_.engine().settings()), inMemory_);
  locks_->open();
}

TDataDirectory::~TDataDirectory() {
  tables_.clear();
  locks_->close();
}

void TDataDirectory::setKeepTablesOpen(bool keep) {
  keepTablesOpen_ = keep;
  if (!keep) std::erase_if(tables_, [](const auto& entry) { return entry.second->useCount == 0; });
}

std::string TDataDirectory::fileName(const std::string& tableName, const std::string& extension) const {
  const TEngineSettings& settings = session_.engine().settings();
  std::string name = Trimmed(tableName);
  for (const std::string& dataExtension : {settings.TableDataExtension, settings.TableDataTempExtension}) {
    if (EndsWithIgnoringCase(name, dataExtension)) {
      name.resize(name.size() - dataExtension.size());
      break;
    }
  }
  return name + extension;
}

TablePaths TDataDirectory::paths(const std::string& tableName, bool temporary) const {
  const TEngineSettings& s = session_.engine().settings();
  // Table names are single-byte texts like every name inside the engine; the
  // platform's file names are UTF-8.
  return {path_ + AnsiToUtf8(fileName(tableName, temporary ? s.TableDataTempExtension : s.TableDataExtension)),
          path_ + AnsiToUtf8(fileName(tableName, temporary ? s.TableIndexTempExtension : s.TableIndexExtension)),
          path_ + AnsiToUtf8(fileName(tableName, temporary ? s.TableBlobTempExtension : s.TableBlobExtension)),
          path_ + AnsiToUtf8(fileName(tableName, TRollbackJournal::kExtension))};
}

bool TDataDirectory::tableExists(const std::string& tableName) const {
  TFileRegistry& files = session_.engine().files();
  return files.exists(paths(tableName, false).data, inMemory_) || files.exists(paths(tableName, true).data, inMemory_);
}

std::string TDataDirectory::Key(const std::string& tableName) { return Folded(Trimmed(tableName)); }

bool TDataDirectory::isOpen(const std::string& tableName) const {
  return tables_.count(Key(fileName(tableName, ""))) != 0;
}

void TDataDirectory::validateFields(const TableCreateRequest& request) const {
  std::set<std::string> names = {Folded("RecordID"), Folded("RecordHash")};
  for (const FieldDescriptor& field : request.fields) {
    ErrorContext context{.table = request.name, .field = field.name};
    const bool nameValid = !field.name.empty() && field.name.size() <= FieldDescriptor::kMaxNameLength &&
                           static_cast<unsigned char>(field.name[0]) > ' ';
    if (!nameValid || !names.insert(Folded(field.name)).second) raise(ErrorCode::KEEL_INVALIDFIELDNAME, context);
    if (!DefinitionValid(field)) raise(ErrorCode::KEEL_INVALIDFLDTYPE, context);
    FieldDescriptor laidOut = field;
    laidOut.dataLength = StoredLength(field.type, field.subtype, field.size);
    laidOut.storedDecimals = field.decimals;
    if (!ConstraintTextsValid(laidOut)) raise(ErrorCode::KEEL_INVALIDVCHKSTRUCT, context);
  }
}

void TDataDirectory::createTable(const TableCreateRequest& request) {
  TDataEngine& engine = session_.engine();
  const ErrorContext table{.table = request.name};
  std::shared_ptr<const TDataPassword> password;
  if (request.encrypted) password = session_.passwords().forNewTable(request.name, request.password);
  if (!LocaleAvailable(request.locale)) raise(ErrorCode::KEEL_CANNOTLOADLDDRV, table);
  if (request.fields.empty() || request.fields.size() > kMaxFields) raise(ErrorCode::KEEL_FLDLIMIT, table);
  const int32_t pageSize = RoundUpTo8(request.indexPageSize);
  if (pageSize < 1024 || pageSize > 16384 || request.secondaries.size() > index_layout::kMaxSecondaryIndexes)
    raise(ErrorCode::KEEL_INDEXLIMIT, table);
  const int32_t blockSize = RoundUpTo8(request.blobBlockSize);
  if (blockSize < 64 || blockSize > 65536) raise(ErrorCode::KEEL_BLOBLIMIT, table);
  validateFields(request);
  const std::vector<FieldDescriptor> fields = LaidOut(request.fields);
  TIndexDefinitions definitions(fields, static_cast<size_t>(pageSize), request.name);
  TIndexDefinitions::Validated indexes = definitions.validate(request.primary, request.secondaries);

  if (tableExists(request.name) && !request.replaceExisting) raise(ErrorCode::KEEL_TABLEEXISTS, table);
  const TablePaths files = paths(request.name, false);
  closeIfIdle(request.name);
  if (isOpen(request.name)) raiseOsError(EACCES, files.data);

  const EngineFileFlags flags{.exclusive = true, .inMemory = inMemory_};
  TDataFile data(engine.files(), files.data, flags, request.name, engine.settings(), engine.clock());
  TIndexFile::Options indexOptions;
  indexOptions.tableName = request.name;
  indexOptions.pageSize = static_cast<size_t>(pageSize);
  indexOptions.engineSignature = engine.settings().EngineSignature.empty()
                                     ? DataFileHeader::kStandardSignature
                                     : Md5(engine.settings().EngineSignature);
  indexOptions.maxBufferBytes = engine.settings().MaxTableIndexBufferSize;
  indexOptions.maxBufferCount = engine.settings().MaxTableIndexBufferCount;
  TIndexFile index(engine.files(), files.index, flags, indexOptions);
  std::unique_ptr<TBlobFile> blob;

  DataFileCreateRequest dataRequest{request.locale, request.userMajor, request.userMinor, request.description,
                                    pageSize,       blockSize,         request.lastAutoInc, request.fields,
                                    password};
  data.create(dataRequest);
  index.setCipher(data.cipher());
  index.createIndex(indexes.primary, indexes.secondaries, IndexDescriptor{});
  if (data.header().blobFieldCount > 0) {
    blob = std::make_unique<TBlobFile>(engine.files(), files.blob, flags,
                                       TBlobFile::Options{request.name, blockSize, engine.settings(), 0});
    blob->setCipher(data.cipher());
    blob->createFile();
    if (session_.flushesBuffers()) blob->flush();
    blob->close();
  }
  if (session_.flushesBuffers()) {
    data.flush();
    index.flush();
    flushFolder();
  }
  index.close();
  data.close();
}

void TDataDirectory::flushFolder() const {
  if (inMemory_) return;
  if (int error = mindrel::FlushFolder(path_); error != 0) raiseOsError(error, path_);
}

std::shared_ptr<TDataTable> TDataDirectory::openTable(const std::string& tableName, const TableOpenFlags& flags) {
  const std::string key = Key(fileName(tableName, ""));
  auto found = tables_.find(key);
  if (found != tables_.end() && found->second->useCount == 0) {
    std::shared_ptr<TDataTable> idle = found->second;
    if (idle->flags().temporary == flags.temporary && !flags.exclusive) {
      if (!flags.readOnly) idle->openForWriting();
      idle->reopen();
      idle->useCount = 1;
      return idle;
    }
    tables_.erase(found);  // opened otherwise now: its files open anew
    found = tables_.end();
  }
  if (found != tables_.end()) {
    std::shared_ptr<TDataTable>& table = found->second;
    if (table->flags().exclusive || flags.exclusive) raiseOsError(EACCES, paths(tableName, flags.temporary).data);
    if (!flags.readOnly) table->openForWriting();
    ++table->useCount;
    return table;
  }
  TableOpenFlags effective = flags;
  effective.inMemory = inMemory_;
  auto table = std::make_shared<TDataTable>(session_, *locks_, Trimmed(fileName(tableName, "")),
                                            paths(tableName, flags.temporary), effective);
  table->useCount = 1;
  tables_[key] = table;
  return table;
}

void TDataDirectory::releaseTable(const std::shared_ptr<TDataTable>& table) {
  if (--table->useCount > 0) return;
  // An exclusive table is not kept: it would hold its files from every other
  // program, and its changes reach the files only when it closes.
  if (keepTablesOpen_ && !table->flags().exclusive) {
    table->releaseLocks();
    return;
  }
  std::erase_if(tables_, [&](const auto& entry) { return entry.second == table; });
}

void TDataDirectory::closeIfIdle(const std::string& tableName) {
  auto found = tables_.find(Key(fileName(tableName, "")));
  if (found != tables_.end() && found->second->useCount == 0) tables_.erase(found);
}

}  // namespace keel
