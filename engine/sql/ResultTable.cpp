#include "engine/sql/ResultTable.h"

#include <filesystem>
#include <sstream>
#include <thread>
#include <utility>

#include "engine/core/DataSession.h"
#include "engine/core/IndexLayout.h"
#include "engine/core/KeyLayout.h"

namespace keel {

namespace {

std::string FolderOrCurrent(const std::string& privateDir) {
  if (!privateDir.empty()) return privateDir;
  std::error_code error;
  std::string current = std::filesystem::current_path(error).string();
  return current + '/';
}

// Key bytes of the index without its suffix, as the index file counts them.
size_t KeyBytes(const TResultTableDefinition& definition) {
  size_t size = 0;
  for (const IndexKeyField& key : definition.Primary.fields) {
    FieldDescriptor field = key.fieldNumber == FieldDescriptor::kRecordIdNumber
                                ? FieldDescriptor::RecordIdField()
                                : definition.Fields.at(key.fieldNumber - 1u);
    uint16_t stored = key.fieldNumber == FieldDescriptor::kRecordIdNumber
                          ? field.dataLength
                          : StoredLength(field.type, field.subtype, field.size);
    size += 1u + TKeyLayout::KeyLength(field.type, stored);
  }
  return size;
}

// The smallest page size whose interior pages hold at least three keys.
int32_t PageSizeFor(const TResultTableDefinition& definition) {
  const size_t key = KeyBytes(definition);
  for (int32_t size : {4096, 8192, 16384}) {
    if (key <= (static_cast<size_t>(size) - index_layout::page::kHeaderSize) / 3) return size;
  }
  return 16384;  // the index definitions refuse the key with their own error
}

}  // namespace

std::string TResultTable::ThreadPrefix() {
  std::ostringstream text;
  text << std::this_thread::get_id();
  std::string digits;
  for (char c : text.str()) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.substr(0, 5);
}

TResultTable::TResultTable(TDataSession& session, const std::string& privateDir,
                           const TResultTableDefinition& definition)
    : folder_(std::make_unique<TDataDirectory>(session, FolderOrCurrent(privateDir))) {
  name_ = FreeName();
  try {
    Create(definition);
  } catch (...) {
    cursor_.reset();
    RemoveFiles(true);
    throw;
  }
}

TResultTable::~TResultTable() {
  cursor_.reset();
  RemoveFiles(false);
}

std::string TResultTable::FreeName() const {
  const std::string prefix = ThreadPrefix();
  for (int i = 0;; ++i) {
    std::string name = prefix + std::to_string(i);
    if (!folder_->tableExists(name) && !folder_->isOpen(name)) return name;
  }
}

// The core creates tables under the standard extensions; the files move to
// the temporary ones before the table is opened.
void TResultTable::Create(const TResultTableDefinition& definition) {
  TableCreateRequest request;
  request.name = name_;
  request.locale = definition.Locale;
  request.fields = definition.Fields;
  request.primary = definition.Primary;
  request.indexPageSize = PageSizeFor(definition);
  folder_->createTable(request);
  TFileRegistry& files = folder_->session().engine().files();
  const TablePaths standard = folder_->paths(name_, false);
  const TablePaths temporary = Paths();
  for (auto [from, to] :
       {std::pair{standard.data, temporary.data}, std::pair{standard.index, temporary.index},
        std::pair{standard.blob, temporary.blob}}) {
    if (from != to && files.exists(from, false)) files.rename(from, to, false);
  }
  cursor_ =
      std::make_unique<TDataCursor>(*folder_, name_, CursorOpenFlags{.exclusive = true, .temporary = true});
}

void TResultTable::RemoveFiles(bool alsoStandardNames) noexcept {
  TFileRegistry& files = folder_->session().engine().files();
  const TablePaths temporary = Paths();
  std::vector<std::string> paths{temporary.data, temporary.index, temporary.blob};
  if (alsoStandardNames) {
    const TablePaths standard = folder_->paths(name_, false);
    paths.insert(paths.end(), {standard.data, standard.index, standard.blob});
  }
  for (const std::string& path : paths) {
    try {
      if (files.exists(path, false)) files.remove(path, false);
    } catch (...) {
      // Nothing can be reported from here; the file stays behind.
    }
  }
}

}  // namespace keel
