#include "app/SourceEntry.h"

#include "app/FamilyTreeFolder.h"
#include "gedcom/GedcomError.h"
#include "gedcom/GedcomFile.h"

namespace mindrel {

bool TSourceEntry::IsGedcomFile() const { return TGedcomFile(path_).IsFile(); }

bool TSourceEntry::Valid() const {
  return IsGedcomFile() ? TGedcomFile(path_).Valid() : TFamilyTreeFolder(path_).Valid();
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
