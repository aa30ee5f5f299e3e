// The locks between real separate processes: the test starts the helper
// program (keel_lock_helper) and reads its one line of outcome; each helper
// keeps its locks until the test closes its input, and ends by itself after
// 30 seconds at the latest.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/LockFile.h"
#include "tests/engine-locks/LockTestSupport.h"

namespace keel {
namespace {

using namespace std::chrono_literals;
using testing::QuickEngineSettings;
using testing::TempFolder;

class Helper {
 public:
  explicit Helper(const std::vector<std::string>& args) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> all{KEEL_LOCK_HELPER};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], STDIN_FILENO);
      dup2(fromChild[1], STDOUT_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
  }
  ~Helper() { finish(); }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // The helper's line of outcome; empty when none came within 10 seconds.
  std::string line() {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{output_, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char c = 0;
      if (read(output_, &c, 1) != 1 || c == '\n') break;
      text += c;
    }
    return text;
  }

  // Lets the helper release its locks and end; its exit status, -1 when it
  // had to be killed.
  int finish() {
    if (pid_ <= 0) return -1;
    close(input_);
    close(output_);
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
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
  TDataTableLocks& people = probe.tableLocks("People", true);
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
// file missing; whoever loses the race to create it must still lock through
// the winner's file, and every table gets a slot of its own.
TEST(SeparateProcessesTogether, OpeningAFreshFolderAtOnceGivesEveryTableItsOwnSlot) {
  for (int round = 0; round < 5; ++round) {
    TempFolder folder;
    std::vector<std::unique_ptr<Helper>> helpers;
    for (int i = 0; i < 6; ++i) {
      helpers.push_back(
          std::make_unique<Helper>(std::vector<std::string>{"slot", folder.path(), "T" + std::to_string(i)}));
    }
    std::set<std::string> slots;
    for (auto& helper : helpers) slots.insert(helper->line());
    helpers.clear();
    EXPECT_EQ(slots, (std::set<std::string>{"1", "2", "3", "4", "5", "6"})) << "round " << round;
    EXPECT_EQ(TLockFile::Decode(folder.read("keel.lck"), "keel.lck").names().size(), 6u) << "round " << round;
  }
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
