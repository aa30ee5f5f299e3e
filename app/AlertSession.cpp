#include "app/AlertSession.h"

#include "app/DatasetScanSources.h"
#include "app/OwnTables.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelSession.h"

namespace mindrel {

TAlertSession::TAlertSession() {
  peopleTable_.SetTableName("People.dat");
  familiesTable_.SetTableName("Families.dat");
  linksTable_.SetTableName("Links.dat");
  // The family-tree program's tables are only ever read.
  for (keel::TKeelTable* table : {&peopleTable_, &familiesTable_, &linksTable_}) table->SetReadOnly(true);
}

void TAlertSession::Initialize(const std::string& dataFolder) {
  auto& engine = keel::TKeelEngine::Instance();
  engine.DefaultSession().SetPrivateDir(dataFolder);
  engine.SetTableDataTempExtension(".tmpd");
  engine.SetTableIndexTempExtension(".tmpi");
  engine.SetTableBlobTempExtension(".tmpb");
  // The own tables are the only ones written; a post must survive a crash.
  engine.DefaultSession().SetForceBufferFlush(true);
  ownTableMessages_.clear();
  for (const std::string& message :
       {TOwnTables::OpenIgnoreTable(ignoreTable_, dataFolder), TOwnTables::OpenEventsTable(eventsTable_, dataFolder)}) {
    if (!message.empty()) ownTableMessages_.push_back(message);
  }
}

void TAlertSession::RefreshOutputList(const TScanOptions& options, const Clock& clock, TAlertList& alerts) {
  TFamilyTreeDatasets tables(peopleTable_, familiesTable_, linksTable_);
  TDatasetQuery query(query_);
  TIgnoreTable ignore(ignoreTable_, linksTable_);
  TEventsTable events(eventsTable_);
  TAlertScan(clock, tables, query, ignore, events).RefreshOutputList(options, alerts);
}

}  // namespace mindrel
