#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ComponentFixture.h"
#include "engine/components/ComponentNames.h"
#include "engine/components/KeelDatabase.h"
#include "engine/core/DataDirectoryLocks.h"

namespace keel::testing {
namespace {

using namespace std::chrono_literals;

class KeelEngineSessionTest : public ComponentTest {
 protected:
  // The folder's lock file opened through a file registry of its own: its
  // locks conflict with the engine's as another program's would.
  std::unique_ptr<TDataDirectoryLocks> otherProgram() {
    auto locks = std::make_unique<TDataDirectoryLocks>(otherFiles_, folder(), EngineLockSettings{});
    locks->open();
    return locks;
  }

 private:
  TFileRegistry otherFiles_;
};

TEST_F(KeelEngineSessionTest, OneSharedEngineWithAtMostTwoHolders) {
  EXPECT_EQ(&TKeelEngine::Instance(), &engine());
  TKeelEngine& second = TKeelEngine::Acquire();
  EXPECT_EQ(&second, &engine());
  EXPECT_EQ(TKeelEngine::Holders(), 2);
  EXPECT_EQ(DatabaseErrorOf([] { TKeelEngine::Acquire(); }), "An engine component already exists");
  TKeelEngine::Release();
  EXPECT_EQ(TKeelEngine::Holders(), 1);
  EXPECT_EQ(engine().DefaultSession().SessionName(), "Default");
  EXPECT_STREQ(engine().EngineVersion(), "4.29 Build 4");
}

TEST_F(KeelEngineSessionTest, PropertiesChangeOnlyWhileInactive) {
  engine().SetTableDataTempExtension("tmpd");
  engine().SetTableIndexTempExtension(".tmpi");
  engine().SetTableFilterIndexThreshhold(101);
  EXPECT_EQ(engine().TableDataTempExtension(), ".tmpd");
  EXPECT_EQ(engine().core().settings().TableDataTempExtension, ".tmpd");  // reaches the core engine
  EXPECT_EQ(engine().TableIndexTempExtension(), ".tmpi");
  EXPECT_EQ(engine().TableFilterIndexThreshhold(), 1);
  // What the filters read from the core engine.
  engine().SetTableFilterIndexThreshhold(40);
  engine().SetTableMaxReadLockCount(7);
  engine().SetFilterRecordCounts(false);
  const TEngineSettings& core = engine().core().settings();
  EXPECT_EQ(core.TableFilterIndexThreshhold, 40);
  EXPECT_EQ(core.TableMaxReadLockCount, 7);
  EXPECT_FALSE(core.FilterRecordCounts);

  createEventsTable();  // starts the default session and with it the engine
  EXPECT_TRUE(engine().Active());
  EXPECT_TRUE(engine().DefaultSession().Active());
  engine().SetTableDataTempExtension(".tmpd");  // the value it has
  const std::string active = "Cannot perform this operation when the engine is active";
  EXPECT_EQ(DatabaseErrorOf([&] { engine().SetTableBlobTempExtension(".tmpb"); }), active);
  EXPECT_EQ(DatabaseErrorOf([&] { engine().SetMaxTableDataBufferSize(1); }), active);
  EXPECT_EQ(DatabaseErrorOf([&] { engine().SetTableReadLockRetryCount(1); }), active);
  EXPECT_EQ(engine().TableBlobTempExtension(), ".blb");
}

TEST_F(KeelEngineSessionTest, SessionsAreFoundByNameAndStartInOrder) {
  EXPECT_EQ(&engine().FindSession(""), &engine().DefaultSession());
  EXPECT_EQ(&engine().FindSession("default"), &engine().DefaultSession());
  EXPECT_EQ(DatabaseErrorOf([&] { engine().FindSession("Nightly"); }), "Session name 'Nightly' is not valid");

  std::vector<std::string> order;
  engine().OnStartup = [&](TKeelEngine&) { order.push_back("engine"); };
  TKeelSession nightly(engine());
  nightly.OnStartup = [&](TKeelSession&) { order.push_back("nightly"); };
  EXPECT_EQ(DatabaseErrorOf([&] { nightly.Start(); }), "Session name is missing");
  EXPECT_FALSE(nightly.Active());

  nightly.SetSessionName("Nightly");
  nightly.Start();
  EXPECT_TRUE(engine().DefaultSession().Active());
  EXPECT_EQ(order, (std::vector<std::string>{"engine", "nightly", "nightly"}));
  EXPECT_EQ(&engine().FindSession("NIGHTLY"), &nightly);

  TKeelSession automatic(engine());
  automatic.SetAutoSessionName(true);
  EXPECT_FALSE(automatic.SessionName().empty());
  EXPECT_NE(automatic.SessionName(), nightly.SessionName());
  automatic.SetSessionType(TSessionType::stRemote);
  engine().SetActive(false);
  engine().SetEngineType(TEngineType::etServer);
  EXPECT_EQ(DatabaseErrorOf([&] { automatic.Start(); }),
            "Cannot activate a remote session with the server engine");
}

TEST_F(KeelEngineSessionTest, SessionSettingsReachTheCoreSession) {
  TKeelSession& session = engine().DefaultSession();
  session.SetLockRetryCount(3);
  session.SetLockProtocol(LockProtocol::lpOptimistic);
  session.SetForceBufferFlush(true);
  session.SetProgressSteps(101);
  session.Start();
  EXPECT_EQ(session.core().LockRetryCount, 3);
  EXPECT_EQ(session.core().Protocol, LockProtocol::lpOptimistic);
  EXPECT_TRUE(session.core().ForceBufferFlush);
  EXPECT_EQ(session.core().ProgressSteps, 20);
  session.SetLockWaitTime(std::chrono::milliseconds(7));
  session.SetForceBufferFlush(false);
  EXPECT_EQ(session.core().LockWaitTime, std::chrono::milliseconds(7));
  EXPECT_FALSE(session.core().ForceBufferFlush);
  EXPECT_EQ(session.ProgressSteps(), 20);

  EXPECT_EQ(session.PrivateFolder(), std::filesystem::current_path().string() + "/");
  session.SetPrivateDir(" " + folder() + " ");
  EXPECT_EQ(session.PrivateFolder(), folder() + "/");
}

// With the shipped 32768 attempts 3 ms apart a refused table lock takes
// about 100 s to fail; the engine's settings make it fail at once.
TEST_F(KeelEngineSessionTest, TableLockTimingsOfTheEngineGovernTheCoreTables) {
  engine().SetTableWriteLockRetryCount(2);
  engine().SetTableWriteLockWaitTime(1ms);
  engine().SetTableReadLockRetryCount(2);
  engine().SetTableReadLockWaitTime(1ms);
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  t.Open();
  auto other = otherProgram();
  other->tableLocks("Events", TableListing::Join).writeLock();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(EngineErrorOf([&] {
              t.Append();
              t.FieldByName("Description").SetAsString("refused");
              t.Post();
            }),
            ErrorCode::KEEL_WRITELOCK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  t.Cancel();
  other->tableLocks("Events", TableListing::Join).writeUnlock();
  t.Append();
  t.FieldByName("Description").SetAsString("written");
  t.Post();
  EXPECT_EQ(t.RecordCount(), 1);
}

// Strict change detection makes every read take the table read lock, which
// another program's write lock refuses; without it the cached table is read.
TEST_F(KeelEngineSessionTest, StrictChangeDetectionSetOnTheSessionReachesOpenTables) {
  engine().SetTableReadLockRetryCount(1);
  engine().SetTableReadLockWaitTime(1ms);
  createEventsTable();
  TKeelTable t;
  point(t, "Events");
  t.Open();
  auto other = otherProgram();
  other->tableLocks("Events", TableListing::Join).writeLock();
  EXPECT_NO_THROW(t.First());
  engine().DefaultSession().SetStrictChangeDetection(true);
  EXPECT_EQ(EngineErrorOf([&] { t.First(); }), ErrorCode::KEEL_READLOCK);
  engine().DefaultSession().SetStrictChangeDetection(false);
  EXPECT_NO_THROW(t.First());
}

TEST_F(KeelEngineSessionTest, KeepTablesOpenKeepsTheFilesOpenUntilTheDatabaseCloses) {
  createEventsTable();
  const std::string dataFile = folder() + "/Events.dat";
  TFileRegistry& files = engine().core().files();
  TKeelDatabase database(engine().DefaultSession());
  database.SetDatabaseName("Family");
  database.SetDirectory(folder());
  for (bool keep : {false, true}) {
    database.SetKeepTablesOpen(keep);
    database.Open();
    {
      TKeelTable t;
      t.SetDatabaseName("Family");
      t.SetTableName("Events");
      t.Open();
    }
    EXPECT_EQ(files.openCount(dataFile, false) > 0, keep) << "keep " << keep;
    database.Close();
    EXPECT_EQ(files.openCount(dataFile, false), 0) << "keep " << keep;
  }
}

TEST_F(KeelEngineSessionTest, ThePasswordEventSuppliesAMissingPassword) {
  TKeelTable t;
  point(t, "Secret");
  t.FieldDefs().Add("Text", TFieldType::ftString, 10);
  TTableCreateOptions options;
  options.Encrypted = true;
  options.Password = "Sesam";
  t.CreateTableFromDefs(options);
  TKeelSession& session = engine().DefaultSession();
  session.RemoveAllPasswords();
  EXPECT_EQ(EngineErrorOf([&] { t.Open(); }), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);

  int asked = 0;
  session.OnPassword = [&](TKeelSession& s, bool& retry) {
    ++asked;
    s.AddPassword("Sesam");
    retry = true;
  };
  t.Open();
  EXPECT_EQ(asked, 1);
  t.Edit();
  t.FieldByName("Text").SetAsString("hidden");
  t.Post();
  EXPECT_EQ(t.FieldByName("Text").AsString(), "hidden");
}

TEST_F(KeelEngineSessionTest, SlashesAndBackslashesReachTheSameFolderObject) {
  createEventsTable();
  createIgnoreTable();
  TKeelTable a;
  TKeelTable b;
  a.SetDatabaseName(folder() + "/");
  a.SetTableName("Events");
  b.SetDatabaseName(folder());
  b.SetTableName("Ignore");
  a.Open();
  b.Open();
  TKeelSession& session = engine().DefaultSession();
  TKeelDatabase* database = session.FindDatabase(folder());
  ASSERT_NE(database, nullptr);
  EXPECT_TRUE(database->Temporary());
  EXPECT_EQ(database->UseCount(), 2);
  EXPECT_EQ(database, session.FindDatabase(BackslashPath(folder()) + "\\"));
  // A folder differing only by case is another folder here.
  EXPECT_EQ(session.FindDatabase(folder() + "X"), nullptr);
  EXPECT_EQ(DatabaseErrorOf([&] { a.SetDatabaseName("/elsewhere"); }),
            "Cannot perform this operation on an open dataset");
}

TEST_F(KeelEngineSessionTest, TemporaryDatabasesStayConnectedUnlessTheSessionSaysOtherwise) {
  createEventsTable();
  TKeelSession& session = engine().DefaultSession();
  {
    TKeelTable t;
    point(t, "Events");
    t.Open();
  }
  TKeelDatabase* kept = session.FindDatabase(folder());
  ASSERT_NE(kept, nullptr);
  EXPECT_TRUE(kept->Connected());
  EXPECT_EQ(kept->UseCount(), 0);

  session.Stop();
  EXPECT_EQ(session.FindDatabase(folder()), nullptr);  // freed with the session
  session.SetKeepConnections(false);
  {
    TKeelTable t;
    point(t, "Events");
    t.Open();
    EXPECT_NE(session.FindDatabase(folder()), nullptr);
  }
  EXPECT_EQ(session.FindDatabase(folder()), nullptr);
}

TEST_F(KeelEngineSessionTest, NamedDatabasesAndTheirLifeCycle) {
  createEventsTable();
  TKeelSession& session = engine().DefaultSession();
  std::vector<std::string> events;  // outlives the database, whose end disconnects it
  TKeelDatabase database(session);
  EXPECT_EQ(DatabaseErrorOf([&] { database.SetDatabaseName(folder()); }),
            "Database name '" + folder() + "' is not valid");
  database.SetDatabaseName("Family");
  database.SetDirectory(folder() + "/");
  EXPECT_EQ(database.Directory().back(), folder().back());  // trailing separator removed
  database.AfterConnect = [&](TKeelDatabase&) { events.push_back("connect"); };
  database.BeforeDisconnect = [&](TKeelDatabase&) { events.push_back("disconnect"); };

  TKeelTable t;
  t.SetDatabaseName("family");
  t.SetTableName("Events");
  t.Open();
  EXPECT_TRUE(database.Connected());
  EXPECT_EQ(database.UseCount(), 1);
  EXPECT_EQ(DatabaseErrorOf([&] { database.SetDirectory("/tmp"); }),
            "Cannot perform this operation on an open database");

  database.Close();  // closes the table with it
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));

  t.Open();
  session.Stop();  // the session closes its databases and their tables
  EXPECT_FALSE(t.Active());
  EXPECT_FALSE(database.Connected());
  t.Open();  // and starts again on demand
  EXPECT_TRUE(t.Active());
}

TEST_F(KeelEngineSessionTest, StoppingTheEngineClosesEveryTable) {
  createEventsTable();
  TKeelSession other(engine());
  other.SetSessionName("Other");
  TKeelTable a;
  TKeelTable b;
  point(a, "Events");
  point(b, "Events");
  b.SetSessionName("other");
  a.Open();
  b.Open();
  EXPECT_TRUE(other.Active());
  engine().SetActive(false);
  EXPECT_FALSE(a.Active());
  EXPECT_FALSE(b.Active());
  EXPECT_FALSE(other.Active());

  TKeelTable c;
  c.SetSessionName("Missing");
  c.SetTableName("Events");
  EXPECT_EQ(DatabaseErrorOf([&] { c.Open(); }), "Session name 'Missing' is not valid");
}

TEST_F(KeelEngineSessionTest, MissingFolderFailsWithTheEngineErrorAndLeavesTheSessionRunning) {
  TKeelTable t;
  t.SetDatabaseName(folder() + "/absent");
  t.SetTableName("Events");
  EXPECT_EQ(EngineErrorOf([&] { t.Open(); }), ErrorCode::KEEL_OSENOENT);
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(engine().DefaultSession().Active());
  t.SetDatabaseName(folder());  // detached again after the failure
}

}  // namespace
}  // namespace keel::testing
