#include "gedcom/GedcomFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "gedcom/GedcomError.h"
#include "gedcom/GedcomReader.h"

namespace mindrel {

namespace {

// Enough for the first line in any character set, a mark included.
constexpr std::size_t kFirstLineBytes = 512;

}  // namespace

bool TGedcomFile::IsFile() const {
  std::error_code error;
  return !path_.empty() && std::filesystem::is_regular_file(path_, error);
}

bool TGedcomFile::Valid() const {
  if (!IsFile()) return false;
  std::ifstream file(path_, std::ios::binary);
  std::string start(kFirstLineBytes, '\0');
  file.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(file.gcount()));
  return TGedcomReader::StartsWithHead(start);
}

TGedcomTree TGedcomFile::Read() const {
  std::ifstream file(path_, std::ios::binary);
  if (!file) throw EGedcomError(path_, 0, "the file cannot be opened for reading");
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw EGedcomError(path_, 0, "the file cannot be read");
  if (bytes.empty()) throw EGedcomError(path_, 0, "the file is empty");
  return TGedcomReader::Read(bytes, path_);
}

}  // namespace mindrel
