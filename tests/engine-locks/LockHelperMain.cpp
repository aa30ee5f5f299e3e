// A second program for the lock tests: takes or tries one lock on a folder,
// prints one line with the outcome, then keeps every lock until its standard
// input closes, so that the test can look at the locks from outside. It never
// runs longer than 30 seconds.
//
//   keel_lock_helper [--as-nobody] COMMAND FOLDER TABLE [ARGS]
//     hold-read | hold-write       "held" or the error code
//     try-read  | try-write        "ok" or the error code
//     hold-row ROW                 "held" or the error code
//     try-row ROW RETRIES WAIT_MS  "ok" or the error code
//     slot                         the table's slot
//     locking                      "on"/"off", then "all-ok" or the error code of
//                                  the first lock of every kind that failed
//     join                         waits for a line on its input (so that
//                                  several helpers can start at one moment),
//                                  then the table's slot, then "made" when
//                                  this program made the lock file, else
//                                  "found"
// Commands on a real table (see CodesTable.h) through a folder object:
//     hold-exclusive               opens the table exclusively: "held" or the
//                                  error code
//     table-writer                 "ready", then per line on its input
//                                  "append FROM TO", "delete FROM TO" or
//                                  "churn FROM TO" (append each code, deleting
//                                  the odd ones again at once) answers "done"
//                                  or "error CODE"
// --as-nobody drops root rights first (user and group 65534), so that
// permissions apply to it.

#ifndef _WIN32
#include <grp.h>
#endif
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/LockProtocol.h"
#include "tests/engine-locks/CodesTable.h"

namespace {

using namespace keel;

class HelperTable final : public TLockTarget {
 public:
  HelperTable(TFileRegistry& files, const std::string& path, std::string name)
      : files_(files), name_(std::move(name)) {
    handle_ = files_.open(path, {});
  }
  ~HelperTable() override { files_.close(handle_); }
  const std::string& lockName() const override { return name_; }
  bool lockDataRange(const LockRange& range) override {
    return handle_.file->lockRange(range.offset, range.length);
  }
  bool unlockDataRange(const LockRange& range) override {
    return handle_.file->unlockRange(range.offset, range.length);
  }
  bool refresh() override { return false; }
  void writeBack() override {}

 private:
  TFileRegistry& files_;
  std::string name_;
  FileHandle handle_;
};

EngineLockSettings HelperEngineSettings() {
  EngineLockSettings settings;
  const LockRetryPolicy quick{20, std::chrono::milliseconds(5)};
  settings.list = settings.tableRead = settings.tableWrite = settings.transaction = quick;
  return settings;
}

void WaitForStdinToClose() {
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
}

// "ok" (or `success`) when `action` returns, else the engine error code.
std::string Outcome(const std::function<void()>& action, const std::string& success = "ok") {
  try {
    action();
    return success;
  } catch (const EKeelEngineError& error) {
    return std::to_string(static_cast<int>(error.code()));
  }
}

void TakeEveryKindOfLock(TDataTableLocks& entry, TLockProtocol& protocol) {
  entry.readLock();
  entry.readUnlock();
  entry.writeLock();
  entry.writeUnlock();
  protocol.lockRow(1);
  protocol.endRead();
  protocol.unlockRow(1);
  protocol.lockTable();
  if (!protocol.lockSemaphore(1)) raise(ErrorCode::KEEL_LOCKED, {.table = entry.name()});
}

// One command line of the table writer.
void WriteCodes(TDataCursor& cursor, const std::string& command, int32_t from, int32_t to) {
  for (int32_t code = from; code <= to; ++code) {
    if (command == "append" || command == "churn") testing::AppendCodes(cursor, code, code);
    if (command == "delete" || (command == "churn" && code % 2 != 0)) testing::DeleteCode(cursor, code);
  }
}

int RunTableCommand(const std::string& command, const std::string& folder, const std::string& name) {
  TDataEngine engine;
  TDataSession session(engine);
  TDataDirectory directory(session, folder);
  if (command == "hold-exclusive") {
    std::unique_ptr<TDataCursor> cursor;
    std::cout << Outcome(
                     [&] {
                       cursor =
                           std::make_unique<TDataCursor>(directory, name, CursorOpenFlags{.exclusive = true});
                     },
                     "held")
              << std::endl;
    WaitForStdinToClose();
    return 0;
  }
  TDataCursor cursor(directory, name);
  std::cout << "ready" << std::endl;
  std::string verb;
  int32_t from = 0;
  int32_t to = 0;
  while (std::cin >> verb >> from >> to) {
    const std::string outcome = Outcome([&] { WriteCodes(cursor, verb, from, to); }, "done");
    std::cout << (outcome == "done" ? outcome : "error " + outcome) << std::endl;
  }
  return 0;
}

#ifdef _WIN32
// Windows has no root whose rights permissions ignore.
bool DropRoot() { return true; }
#else
bool DropRoot() {
  if (geteuid() != 0) return true;
  return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}
#endif

int Run(std::vector<std::string> args) {
  if (!args.empty() && args[0] == "--as-nobody") {
    if (!DropRoot()) {
      std::cout << "cannot-drop-root" << std::endl;
      return 3;
    }
    args.erase(args.begin());
  }
  if (args.size() < 3) {
    std::cerr << "usage: keel_lock_helper [--as-nobody] COMMAND FOLDER TABLE [ARGS]\n";
    return 2;
  }
  const std::string& command = args[0];
  const std::string& folder = args[1];
  const std::string& name = args[2];
  if (command == "hold-exclusive" || command == "table-writer") return RunTableCommand(command, folder, name);

  TFileRegistry files;
  TDataDirectoryLocks directory(files, folder, HelperEngineSettings());
  SessionLockSettings session;
  session.record = {3, std::chrono::milliseconds(10)};
  if (command == "try-row" && args.size() >= 6) {
    session.record = {static_cast<uint32_t>(std::stoul(args[4])),
                      std::chrono::milliseconds(std::stoul(args[5]))};
  }
  if (command == "join") {
    std::string go;
    std::getline(std::cin, go);
  }
  std::string line = Outcome([&] { directory.open(); });
  std::unique_ptr<HelperTable> table;
  std::unique_ptr<TLockProtocol> protocol;
  if (line == "ok") {
    line = Outcome([&] {
      TDataTableLocks& entry = directory.tableLocks(name, TableListing::Join);
      if (command == "slot" || command == "join") return;
      table = std::make_unique<HelperTable>(files, folder + "/" + name + ".dat", name);
      protocol = std::make_unique<TLockProtocol>(*table, entry, session, false);
    });
  }
  if (line == "ok") {
    TDataTableLocks& entry = directory.tableLocks(name, TableListing::Join);
    if (command == "hold-read" || command == "try-read") {
      line = Outcome([&] { entry.readLock(); }, command == "hold-read" ? "held" : "ok");
    } else if (command == "hold-write" || command == "try-write") {
      line = Outcome([&] { entry.writeLock(); }, command == "hold-write" ? "held" : "ok");
    } else if (command == "hold-row" || command == "try-row") {
      const uint64_t row = std::stoull(args.at(3));
      line = Outcome(
          [&] {
            protocol->lockRow(row);
            protocol->endRead();
          },
          command == "hold-row" ? "held" : "ok");
    } else if (command == "slot") {
      line = std::to_string(entry.slot());
    } else if (command == "join") {
      line = std::to_string(entry.slot()) + (directory.madeLockFile() ? " made" : " found");
    } else if (command == "locking") {
      line = std::string(directory.lockingEnabled() ? "on " : "off ") +
             Outcome([&] { TakeEveryKindOfLock(entry, *protocol); }, "all-ok");
    } else {
      std::cerr << "unknown command " << command << "\n";
      return 2;
    }
  }
  std::cout << line << std::endl;
  WaitForStdinToClose();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::_Exit(4);
  }).detach();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cout << "error " << error.what() << std::endl;
    return 1;
  }
}
