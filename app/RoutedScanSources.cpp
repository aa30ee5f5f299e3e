#include "app/RoutedScanSources.h"

#include "gedcom/GedcomFile.h"

namespace mindrel {

void TRoutedQuery::Open(const std::string& folder, const TEventQuery& query) {
  active_ = TGedcomFile(folder).IsFile() ? &files_ : &folders_;
  active_->Open(folder, query);
}

void TRoutedTables::Open(const std::string& folder) {
  active_ = TGedcomFile(folder).IsFile() ? static_cast<TFamilyTreeTables*>(&files_) : &folders_;
  active_->Open(folder);
}

void TRoutedTables::Close() {
  folders_.Close();
  files_.Close();
}

bool TRoutedIgnore::IsIgnored(bool family, std::int32_t code, const std::string& folder,
                              const std::string& eventName) {
  if (!TGedcomFile(folder).IsFile()) return ignore_.IsIgnored(family, code, folder, eventName);
  if (!family) return ignore_.PersonIgnored(code, folder, eventName);
  for (const std::int32_t partner : files_.PartnerCodes(code)) {
    if (ignore_.PersonIgnored(partner, folder, eventName)) return true;
  }
  return false;
}

}  // namespace mindrel
