#include "app/AlertSession.h"

#include "app/DatasetScanSources.h"
#include "app/OwnTables.h"
#include "app/RoutedScanSources.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelSession.h"
#include "platform/Folders.h"

namespace mindrel {

TAlertSession::TAlertSession() {
  peopleTable_.SetTableName("People.dat");
  familiesTable_.SetTableName("Families.dat");
  linksTable_.SetTableName("Links.dat");
  // The family-tree program's tables are only ever read.
  for (keel::TKeelTable* table : {&peopleTable_, &familiesTable_, &linksTable_}) table->SetReadOnly(true);
  // Partners are found through the links' index; should its file be lost,
  // the index is built in memory from the rows instead.
  linksTable_.ExpectedIndexDefs().Add(TFamilyTreeDatasets::kPartnerIndex, "RecType;ChildMarr");
}

void TAlertSession::Initialize(const std::string& dataFolder) {
  auto& engine = keel::TKeelEngine::Instance();
  // Query results need a folder to write; a data folder that may only be read
  // hands them to a folder of the user's own.
  engine.DefaultSession().SetPrivateDir(WritableTemporaryFolder(dataFolder));
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

std::vector<std::string> TAlertSession::RefreshOutputList(const TScanOptions& options, const Clock& clock,
                                                          TAlertList& alerts) {
  TFamilyTreeDatasets folderTables(peopleTable_, familiesTable_, linksTable_);
  TDatasetQuery folderQuery(query_);
  TIgnoreTable ignoreTable(ignoreTable_, linksTable_);
  // Each scan reads the GEDCOM files afresh: they may have been exported again.
  TGedcomSource files;
  TGedcomTables fileTables(files);
  TGedcomQuery fileQuery(files);
  TRoutedTables tables(folderTables, fileTables);
  TRoutedQuery query(folderQuery, fileQuery);
  TRoutedIgnore ignore(ignoreTable, fileTables);
  TEventsTable events(eventsTable_);
  TAlertScan scan(clock, tables, query, ignore, events);
  lostHomes_.clear();
  scan.RefreshOutputList(options, alerts);
  lostHomes_ = scan.LostHomes();
  std::vector<std::string> problems = files.Messages();
  problems.insert(problems.end(), scan.Problems().begin(), scan.Problems().end());
  problems.insert(problems.end(), scan.KinshipMessages().begin(), scan.KinshipMessages().end());
  return problems;
}

}  // namespace mindrel
