#include "app/OwnTables.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app/AlertSession.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelSession.h"
#include "engine/components/KeelTable.h"

namespace mindrel {
namespace {

namespace fs = std::filesystem;

// Events.dat with three added events in a fresh data folder.
class OwnTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keel::TKeelEngine::Acquire();
    char pattern[] = "/tmp/mindrel-own-tables-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    ASSERT_EQ(TOwnTables::OpenEventsTable(events_, folder_, clock_), "");
    for (const char* description : {"Moved to Leith", "Bought the mill", "Chapel consecrated"}) {
      events_.Append();
      events_.FieldByName("Description").SetAsString(description);
      events_.FieldByName("Event date DD").SetAsInteger(static_cast<int>(std::string(description).size()));
      events_.FieldByName("Event date MM").SetAsInteger(5);
      events_.Post();
    }
    events_.Close();
  }
  void TearDown() override {
    events_.Close();
    keel::TKeelEngine::Release();
    fs::remove_all(folder_);
  }

  // Descriptions in the order of the table's current index (DateIdx).
  std::vector<std::string> descriptions() {
    std::vector<std::string> texts;
    for (events_.First(); !events_.Eof(); events_.Next()) texts.push_back(events_.FieldByName("Description").AsString());
    return texts;
  }
  void scribble(const std::string& file, std::streamoff at, size_t length, char byte = '\x5A') {
    std::fstream bytes(folder_ + file, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(at);
    bytes.write(std::string(length, byte).data(), static_cast<std::streamsize>(length));
  }

  const FixedClock clock_{LocalDateTime{{2026, 12, 10}, 14, 15, 0, 0}};
  std::string folder_;
  keel::TKeelTable events_;
};

const std::vector<std::string> kByDate{"Moved to Leith", "Bought the mill", "Chapel consecrated"};

TEST_F(OwnTablesTest, AnIndexFileLostOrReplacedByAPrimaryOnlyOneIsRebuiltFromTheRows) {
  const std::string scratch = folder_ + "scratch/";
  fs::create_directory(scratch);
  {  // the index file an earlier version made in place of a lost one: the primary index only
    keel::TKeelTable primaryOnly;
    primaryOnly.SetDatabaseName(scratch);
    primaryOnly.SetTableName("Events.dat");
    TOwnTables::DefineEventsTable(primaryOnly);
    keel::TKeelIndexDefs& indexes = primaryOnly.IndexDefs();
    const keel::TKeelIndexDef primary = indexes[0];
    indexes.Clear();
    indexes.Add(primary.Name, primary.Fields, primary.Options);
    primaryOnly.CreateTableFromDefs();
  }
  for (const bool lost : {true, false}) {
    SCOPED_TRACE(lost ? "index file lost" : "primary-only index file");
    fs::remove(folder_ + "Events.idx");
    if (!lost) fs::copy_file(scratch + "Events.idx", folder_ + "Events.idx");
    EXPECT_EQ(TOwnTables::OpenEventsTable(events_, folder_, clock_), "") << "nothing was lost";
    EXPECT_EQ(events_.IndexName(), "DateIdx");
    EXPECT_EQ(descriptions(), kByDate);
    events_.SetIndexName("DescIdx");
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"Bought the mill", "Chapel consecrated", "Moved to Leith"}));
    events_.Close();
  }
}

TEST_F(OwnTablesTest, ADamagedIndexFileIsRepairedKeepingEveryRowAndTakesNewOnes) {
  scribble("Events.idx", 0, 64);    // the header: the table no longer opens
  scribble("Events.dat", 37, 4, 0);  // and the last auto-increment value is lost
  EXPECT_EQ(TOwnTables::OpenEventsTable(events_, folder_, clock_), "");
  EXPECT_EQ(descriptions(), kByDate);
  events_.Append();
  events_.FieldByName("Description").SetAsString("Flood");
  events_.FieldByName("Event date MM").SetAsInteger(1);
  events_.Post();
  EXPECT_EQ(events_.RecordCount(), 4);
  EXPECT_EQ(events_.FieldByName("Code").AsInteger(), 4) << "the auto-increment counter went on from the rows";
}

TEST_F(OwnTablesTest, AnUnreadableTableIsSetAsideAndMadeAnewWithAMessageNamingBoth) {
  const std::string before = [&] {
    std::ifstream file(folder_ + "Events.dat", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }();
  fs::resize_file(folder_ + "Events.dat", 300);  // not even a whole header is left

  keel::TKeelEngine::Release();  // a fresh engine, as at the program's start
  keel::TKeelEngine::Acquire();
  TAlertSession session;
  session.Initialize(folder_);
  ASSERT_EQ(session.OwnTableMessages().size(), 1u);
  const std::string& message = session.OwnTableMessages()[0];
  EXPECT_EQ(message.rfind("\"" + folder_ + "Events.dat\" could not be read (Keel Engine Error # 9217 ", 0), 0u)
      << message;
  EXPECT_NE(message.find("). It was set aside as \"Events.damaged-"), std::string::npos) << message;
  EXPECT_EQ(session.EventsTable().RecordCount(), 0);
  EXPECT_TRUE(keel::TKeelEngine::Instance().DefaultSession().ForceBufferFlush()) << "own posts reach the disk";

  const size_t start = message.find("Events.damaged-");
  const std::string aside = message.substr(start, message.find('"', start) - start);
  EXPECT_TRUE(fs::exists(folder_ + aside.substr(0, aside.size() - 4) + ".idx"));
  std::ifstream kept(folder_ + aside, std::ios::binary);
  const std::string after(std::istreambuf_iterator<char>(kept), {});
  EXPECT_EQ(after, before.substr(0, 300)) << "the damaged table is kept as it was";
  session.EventsTable().Close();
  session.IgnoreTable().Close();
}

TEST_F(OwnTablesTest, SettingAsideUsesTheClockAndNeverOverwritesAnEarlierOne) {
  for (const char* expected : {"Events.damaged-20261210-141500.dat", "Events.damaged-20261210-141500-2.dat"}) {
    fs::resize_file(folder_ + "Events.dat", 100);
    const std::string message = TOwnTables::OpenEventsTable(events_, folder_, clock_);
    EXPECT_NE(message.find(std::string("\"") + expected + "\""), std::string::npos) << message;
    events_.Close();
  }
}

// Damage that opening alone does not see, and header damage the file itself
// mends: the start repairs the table in place, keeps every whole entry, names
// the file and what it kept when anything was lost, and the table takes new
// entries again ("table is full" and "duplicate key" were what came later).
TEST_F(OwnTablesTest, DamageIsRepairedInPlaceKeepingEveryWholeEntry) {
  const std::uintmax_t whole = fs::file_size(folder_ + "Events.dat");
  const std::uintmax_t rowSize = (whole - 512 - 7 * 768) / 3;
  struct Damage {
    const char* what;
    std::function<void()> apply;
    std::vector<std::string> kept;
    const char* lost;  // what the message must name; null: no message
  };
  const std::vector<Damage> damages{
      {"cut inside the last row", [&] { fs::resize_file(folder_ + "Events.dat", whole - rowSize / 2); },
       {"Moved to Leith", "Bought the mill"}, "row 3 left out: the data file ends inside it"},
      {"cut at a row boundary", [&] { fs::resize_file(folder_ + "Events.dat", whole - rowSize); },
       {"Moved to Leith", "Bought the mill"}, "the data header counts 3 rows, the file holds 2 whole ones"},
      {"version byte", [&] { scribble("Events.dat", 8, 1); }, kByDate, nullptr},
      {"row size", [&] { scribble("Events.dat", 45, 1); }, kByDate, nullptr},
      {"free-row chain into a live row", [&] { scribble("Events.dat", 25, 1, '\x02'); }, kByDate, nullptr},
      {"row counter past the file", [&] { scribble("Events.dat", 32, 1, '\x40'); }, kByDate,
       "the data header counts 1073741827 rows, the file holds 3 whole ones"},
  };
  const std::string pristine = folder_ + "pristine/";
  fs::create_directory(pristine);
  for (const char* file : {"Events.dat", "Events.idx"}) fs::copy_file(folder_ + file, pristine + file);
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    // Removed first: the Windows build's library cannot copy over a file.
    for (const char* file : {"Events.dat", "Events.idx"}) {
      fs::remove(folder_ + file);
      fs::copy_file(pristine + file, folder_ + file);
    }
    damage.apply();
    const std::string message = TOwnTables::OpenEventsTable(events_, folder_, clock_);
    if (damage.lost == nullptr) {
      EXPECT_EQ(message, "");
    } else {
      const std::string kept = std::to_string(damage.kept.size()) + " entries were kept";
      EXPECT_EQ(message.rfind("\"" + folder_ + "Events.dat\" was damaged and has been repaired. " + kept, 0), 0u)
          << message;
      EXPECT_NE(message.find(damage.lost), std::string::npos) << message;
    }
    EXPECT_EQ(descriptions(), damage.kept);
    EXPECT_EQ(events_.Verify(), std::vector<std::string>{});
    events_.Append();
    events_.FieldByName("Description").SetAsString("Flood");
    events_.FieldByName("Event date MM").SetAsInteger(12);
    events_.Post();
    EXPECT_EQ(events_.RecordCount(), static_cast<int>(damage.kept.size()) + 1);
    events_.Close();
    EXPECT_TRUE(fs::directory_iterator(folder_) != fs::directory_iterator());
    for (const auto& entry : fs::directory_iterator(folder_))
      EXPECT_EQ(entry.path().filename().string().find(".damaged-"), std::string::npos) << "nothing was set aside";
  }
}

}  // namespace
}  // namespace mindrel
