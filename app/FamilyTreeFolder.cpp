#include "app/FamilyTreeFolder.h"

#include "engine/core/DataFile.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldTypes.h"
#include "engine/core/FileRegistry.h"
#include "engine/core/TextCase.h"
#include "platform/Folders.h"

namespace mindrel {

namespace {

constexpr int kPeopleUserMajorVersion = 3;

// One table's data file, open read-only for as long as the object lives.
class TReadOnlyTable {
 public:
  explicit TReadOnlyTable(const std::string& path)
      : file_(registry_, path, keel::EngineFileFlags{.readOnly = true}, path, settings_, SystemClock::instance()) {
    file_.open(nullptr);
  }
  const keel::TDataFile& file() const { return file_; }

 private:
  keel::TFileRegistry registry_;
  keel::TEngineSettings settings_;
  keel::TDataFile file_;
};

}  // namespace

std::string TFamilyTreeFolder::TablePath(const char* name) const {
  return WithTrailingSeparator(folder_) + name;
}

bool TFamilyTreeFolder::Valid() const {
  if (folder_.empty()) return false;
  try {
    const TReadOnlyTable people(TablePath("People.dat"));
    if (people.file().header().userMajor != kPeopleUserMajorVersion) return false;
    const TReadOnlyTable families(TablePath("Families.dat"));
    const TReadOnlyTable links(TablePath("Links.dat"));
    return true;
  } catch (const keel::EKeelEngineError&) {
    return false;
  }
}

std::vector<std::string> TFamilyTreeFolder::DateColumns(const char* table, int firstColumn) const {
  std::vector<std::string> names;
  try {
    const TReadOnlyTable data(TablePath(table));
    const auto& fields = data.file().fields();
    for (std::size_t i = static_cast<std::size_t>(firstColumn); i < fields.size(); ++i) {
      if (fields[i].type == keel::FieldType::Date) names.push_back(keel::AnsiToUtf8(fields[i].name));
    }
  } catch (const keel::EKeelEngineError&) {
  }
  return names;
}

std::vector<std::string> TFamilyTreeFolder::CustomDateColumns() const {
  std::vector<std::string> names = DateColumns("People.dat", kFirstCustomPeopleColumn);
  std::vector<std::string> families = DateColumns("Families.dat", kFirstCustomFamiliesColumn);
  names.insert(names.end(), families.begin(), families.end());
  return names;
}

}  // namespace mindrel
