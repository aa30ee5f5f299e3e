#include "app/SourceEntry.h"

#include "app/FamilyTreeFolder.h"
#include "gedcom/GedcomError.h"
#include "gedcom/GedcomFile.h"

namespace mindrel {

bool TSourceEntry::IsGedcomFile() const { return TGedcomFile(path_).IsFile(); }

std::string TSourceEntry::Problem() const {
  if (!IsGedcomFile()) return TFamilyTreeFolder(path_).Problem();
  const TGedcomFile file(path_);
  if (file.Valid()) return {};
  // Read in full only to name the fault as the scan would.
  try {
    file.Read();
  } catch (const EGedcomError& error) {
    return error.what();
  }
  return EGedcomError(path_, 1, "the file does not begin with \"0 HEAD\"").what();
}

std::vector<std::string> TSourceEntry::CustomDateColumns() const {
  if (!IsGedcomFile()) return TFamilyTreeFolder(path_).CustomDateColumns();
  try {
    return TGedcomFile(path_).Read().CustomColumnNames();
  } catch (const EGedcomError&) {
    // The scan names the fault; the event list just offers nothing of it.
    return {};
  }
}

}  // namespace mindrel
