// The locks between real separate processes: the test starts the helper
// program (keel_lock_helper) and reads its one line of outcome; each helper
// keeps its locks until the test closes its input, and ends by itself after
// 30 seconds at the latest.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "engine/core/LockFile.h"
#include "tests/engine-locks/CodesTable.h"
#include "tests/engine-locks/LockTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace keel {
namespace {

using namespace std::chrono_literals;
using testing::AppendCodes;
using testing::CodeIn;
using testing::CodesTable;
using testing::QuickEngineSettings;
using testing::TempFolder;
using testing::WholeRow;

// keel_lock_helper, started with `args`.
class Helper : public mindrel::testing::ChildProcess {
 public:
  explicit Helper(const std::vector<std::string>& args) : ChildProcess(KEEL_LOCK_HELPER, args) {}
};

class SeparateProcesses : public ::testing::Test {
 protected:
  void SetUp() override { folder.write("People.dat"); }

  std::vector<std::string> args(const std::string& command, std::vector<std::string> more = {}) const {
    std::vector<std::string> all{command, folder.path(), "People"};
    all.insert(all.end(), more.begin(), more.end());
    return all;
  }

  TempFolder folder;
};

TEST_F(SeparateProcesses, WriteLocksOfTwoProcessesExcludeEachOther) {
  Helper first(args("hold-write"));
  ASSERT_EQ(first.line(), "held");
  Helper second(args("try-write"));
  EXPECT_EQ(second.line(), "10227");
  EXPECT_EQ(second.finish(), 0);
  EXPECT_EQ(first.finish(), 0);
  Helper third(args("try-write"));
  EXPECT_EQ(third.line(), "ok");
}

TEST_F(SeparateProcesses, ReadersShareATableWhileWritersAreRefused) {
  Helper reader1(args("hold-read"));
  Helper reader2(args("hold-read"));
  ASSERT_EQ(reader1.line(), "held");
  ASSERT_EQ(reader2.line(), "held");
  EXPECT_EQ(Helper(args("try-write")).line(), "10227");
  reader1.finish();
  EXPECT_EQ(Helper(args("try-write")).line(), "10227") << "one reader is left";
  reader2.finish();
  EXPECT_EQ(Helper(args("try-write")).line(), "ok");
}

TEST_F(SeparateProcesses, ARowLockedByOneProcessIsRefusedToAnotherAfterItsRetries) {
  Helper owner(args("hold-row", {"1"}));
  ASSERT_EQ(owner.line(), "held");
  const auto start = std::chrono::steady_clock::now();
  Helper editor(args("try-row", {"1", "3", "40"}));
  EXPECT_EQ(editor.line(), "10258");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms) << "3 waits of 40 ms";

  // While the refused editor still runs, a third party can write-lock the
  // table: neither the editor nor the row's owner kept a read lock.
  TFileRegistry files;
  TDataDirectoryLocks probe(files, folder.path(), QuickEngineSettings());
  probe.open();
  TDataTableLocks& people = probe.tableLocks("People", TableListing::Join);
  EXPECT_NO_THROW(people.writeLock());
  people.writeUnlock();
  EXPECT_EQ(editor.finish(), 0);
  EXPECT_EQ(Helper(args("try-row", {"2", "0", "1"})).line(), "ok") << "only row 1 is taken";
}

TEST_F(SeparateProcesses, ALockFileMadeByOneProcessIsReadByAnother) {
  folder.write("Families.dat");
  Helper maker({"slot", folder.path(), "Events"});
  EXPECT_EQ(maker.line(), "3") << "after the tables already in the folder";
  EXPECT_EQ(Helper({"slot", folder.path(), "EVENTS"}).line(), "3");
  EXPECT_EQ(Helper({"slot", folder.path(), "people"}).line(), "2");
  EXPECT_EQ(TLockFile::Decode(folder.read("keel.lck"), "keel.lck").names(),
            (std::vector<std::string>{"Families", "People", "Events"}));
}

// Programs that open a new folder at the same moment may all find the lock
// file missing: exactly one of them makes it, the others lock through its
// file, and every table gets a slot of its own.
TEST(SeparateProcessesTogether, OpeningAFreshFolderAtOnceGivesEveryTableItsOwnSlot) {
  for (int round = 0; round < 5; ++round) {
    TempFolder folder;
    std::vector<std::unique_ptr<Helper>> helpers;
    for (int i = 0; i < 6; ++i) {
      helpers.push_back(
          std::make_unique<Helper>(std::vector<std::string>{"join", folder.path(), "T" + std::to_string(i)}));
    }
    for (auto& helper : helpers) helper->say("go");
    std::set<std::string> slots;
    int makers = 0;
    for (auto& helper : helpers) {
      std::istringstream line(helper->line());
      std::string slot;
      std::string how;
      line >> slot >> how;
      slots.insert(slot);
      makers += how == "made" ? 1 : 0;
    }
    helpers.clear();
    EXPECT_EQ(slots, (std::set<std::string>{"1", "2", "3", "4", "5", "6"})) << "round " << round;
    EXPECT_EQ(makers, 1) << "round " << round;
    EXPECT_EQ(TLockFile::Decode(folder.read("keel.lck"), "keel.lck").names().size(), 6u) << "round " << round;
  }
}

// A real table shared with a writing program: a cursor of this process reads
// it in index order while the other program appends and deletes rows.
class SharedWithAnotherProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    session.StrictChangeDetection = true;  // every read sees the other program's last change
    directory.createTable(CodesTable());
    TDataCursor seed(directory, "Codes");
    AppendCodes(seed, 10, 100, 10);
  }

  std::vector<std::string> args(const std::string& command) const {
    return {command, folder.path(), "Codes"};
  }

  // The codes from the cursor's current row on; fails the test on a row that
  // is out of key order or put together from two versions.
  static std::vector<int32_t> CodesFrom(TDataCursor& cursor, Nav start) {
    std::vector<int32_t> codes;
    std::vector<uint8_t> row(cursor.rowSize());
    for (Nav r = start; r == Nav::Ok; r = cursor.next()) {
      EXPECT_EQ(cursor.currentRow(row), Nav::Ok);
      EXPECT_TRUE(WholeRow(cursor, row)) << "torn row";
      const int32_t code = CodeIn(cursor, row);
      EXPECT_TRUE(codes.empty() || codes.back() < code) << code << " after " << codes.back();
      codes.push_back(code);
    }
    return codes;
  }

  TempFolder folder;
  TDataEngine engine;
  TDataSession session{engine};
  TDataDirectory directory{session, folder.path()};
};

TEST_F(SharedWithAnotherProgram, AnOpenReaderMeetsTheOtherProgramsNewRowsInKeyOrderAndNoDeletedOne) {
  TDataCursor reader(directory, "Codes");
  reader.setIndex("ByCode");
  ASSERT_EQ(reader.first(), Nav::Ok);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(reader.next(), Nav::Ok);  // on 50

  Helper writer(args("table-writer"));
  ASSERT_EQ(writer.line(), "ready");
  for (const char* change : {"append 55 55", "append 5 5", "append 105 105", "delete 60 60"}) {
    writer.say(change);
    ASSERT_EQ(writer.line(), "done") << change;
  }
  EXPECT_EQ(CodesFrom(reader, reader.next()), (std::vector<int32_t>{55, 70, 80, 90, 100, 105}));

  // Now while the other program is at it: the same cursor walks the table
  // again and again, meeting only whole rows in key order.
  writer.say("churn 1000 1399");
  std::string answer;
  int walks = 0;
  while ((answer = writer.line(0ms)).empty() && walks < 10000) {
    CodesFrom(reader, reader.first());
    ++walks;
  }
  if (answer.empty()) answer = writer.line();
  ASSERT_EQ(answer, "done");
  EXPECT_GT(walks, 0);

  std::vector<int32_t> expected{5, 10, 20, 30, 40, 50, 55, 70, 80, 90, 100, 105};
  for (int32_t code = 1000; code <= 1399; code += 2) expected.push_back(code);
  EXPECT_EQ(CodesFrom(reader, reader.first()), expected) << "the odd codes were deleted again";
  EXPECT_EQ(reader.recordCount(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(writer.finish(), 0);
}

TEST_F(SharedWithAnotherProgram, ATableOpenedExclusivelyByAnotherProgramIsRefused) {
  Helper owner(args("hold-exclusive"));
  ASSERT_EQ(owner.line(), "held");
  EXPECT_EQ(testing::CodeOf([&] { TDataCursor refused(directory, "Codes"); }), 11013);
  EXPECT_EQ(owner.finish(), 0);
  TDataCursor opened(directory, "Codes");
  EXPECT_EQ(opened.recordCount(), 10);
  EXPECT_EQ(Helper(args("hold-exclusive")).line(), "11013") << "and the other way round";
}

// Permissions bind root only once it has dropped its rights; the helper does
// that with --as-nobody.
class ReadOnlyFolder : public SeparateProcesses {
 protected:
  std::vector<std::string> asOtherUser(const std::string& command) const {
    std::vector<std::string> all = args(command);
    all.insert(all.begin(), "--as-nobody");
    return all;
  }
  void holdRowOneElsewhere() {
    other_.open(false, false);
    const LockRange row1 = TLockLayout(false).row(1);
    ASSERT_TRUE(other_.lockRange(row1.offset, row1.length));
  }
  TPhysicalFile other_{folder.file("People.dat")};
};

TEST_F(ReadOnlyFolder, OpensWithLockingOffAndRefusesNoLock) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows folder's read-only attribute does not keep files from being made in it";
#endif
  holdRowOneElsewhere();
  chmod(folder.path().c_str(), 0555);
  Helper reader(asOtherUser("locking"));
  const std::string outcome = reader.line();
  if (outcome == "cannot-drop-root") GTEST_SKIP() << "this machine does not let root drop its rights";
  EXPECT_EQ(outcome, "off all-ok");
  EXPECT_FALSE(std::filesystem::exists(folder.file("keel.lck")));
}

TEST_F(ReadOnlyFolder, AReadOnlyLockFileSwitchesLockingOff) {
  chmod(folder.path().c_str(), 0755);
  EXPECT_EQ(Helper(args("slot")).line(), "1");  // makes the lock file
  chmod(folder.file("keel.lck").c_str(), 0444);
  holdRowOneElsewhere();
  Helper reader(asOtherUser("locking"));
  const std::string outcome = reader.line();
  if (outcome == "cannot-drop-root") GTEST_SKIP() << "this machine does not let root drop its rights";
  EXPECT_EQ(outcome, "off all-ok");
}

}  // namespace
}  // namespace keel
