#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/core/EngineFile.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FaultyFile.h"
#include "engine/core/FileRegistry.h"
#include "engine/core/PhysicalFile.h"
#include "platform/OsFile.h"

namespace keel {
namespace {

namespace fs = std::filesystem;

class FileLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string makeFile(const std::string& name, const std::string& content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  ErrorCode codeOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const EKeelEngineError& error) {
      return error.code();
    }
    return ErrorCode::KEEL_NONE;
  }

  std::string dir_;
  TFileRegistry registry_;
};

TEST_F(FileLayerTest, TwoOpensShareOneHandleWithTheirOwnPositions) {
  std::string path = makeFile("t.dat", "abcdef");
  FileHandle first = registry_.open(path, {});
  FileHandle second = registry_.open(dir_ + "/T.DAT", {});  // paths fold case
  ASSERT_EQ(first.file, second.file);
  EXPECT_EQ(registry_.openCount(path, false), 2);

  char a[3] = {}, b[2] = {};
  first.file->seek(first.openId, 1, Whence::Begin);
  first.file->read(first.openId, a, 2);
  second.file->read(second.openId, b, 2);
  EXPECT_EQ(std::string(a, 2), "bc");
  EXPECT_EQ(std::string(b, 2), "ab");
  first.file->read(first.openId, a, 3);
  EXPECT_EQ(std::string(a, 3), "def");

  registry_.close(first);
  EXPECT_EQ(registry_.openCount(path, false), 1);
  registry_.close(second);
  EXPECT_EQ(registry_.openCount(path, false), 0);
}

TEST_F(FileLayerTest, OpenErrorsMapToEngineCodes) {
  std::string path = makeFile("t.dat", "x");
  FileHandle shared = registry_.open(path, {});
  EXPECT_EQ(codeOf([&] { registry_.open(path, {.exclusive = true}); }), ErrorCode::KEEL_OSEACCES);
  registry_.close(shared);

  FileHandle exclusive = registry_.open(path, {.exclusive = true});
  EXPECT_EQ(codeOf([&] { registry_.open(path, {}); }), ErrorCode::KEEL_OSEACCES);
  EXPECT_EQ(codeOf([&] { registry_.create(path, {}, false); }), ErrorCode::KEEL_OSEACCES);
  registry_.close(exclusive);

  EXPECT_EQ(codeOf([&] { registry_.open(dir_ + "/missing.dat", {}); }), ErrorCode::KEEL_OSENOENT);
  EXPECT_EQ(codeOf([&] { registry_.open(dir_ + "/no/such/folder.dat", {}); }), ErrorCode::KEEL_OSENOENT);
}

TEST_F(FileLayerTest, AnotherProgramHoldingTheFileExclusivelyRefusesTheOpen) {
  std::string path = makeFile("t.dat", "x");
  mindrel::OsFile other;  // a second open file description acts as another program
  ASSERT_EQ(other.open(path, true), 0);
  ASSERT_EQ(other.lockRange(TPhysicalFile::kShareModeByte, 1, true), 0);
  EXPECT_EQ(codeOf([&] { registry_.open(path, {}); }), ErrorCode::KEEL_OSEACCES);
  other.unlockRange(TPhysicalFile::kShareModeByte, 1);
  ASSERT_EQ(other.lockRange(TPhysicalFile::kShareModeByte, 1, false), 0);  // shared: others may share
  FileHandle shared = registry_.open(path, {});
  EXPECT_TRUE(shared);
  registry_.close(shared);
  EXPECT_EQ(codeOf([&] { registry_.open(path, {.exclusive = true}); }), ErrorCode::KEEL_OSEACCES);
}

TEST_F(FileLayerTest, ReadOnlyAttributeOpensReadOnlyAndRefusesWrites) {
  std::string path = makeFile("ro.dat", "abc");
  chmod(path.c_str(), 0444);
  TEngineFile file(registry_, path, {});
  file.open();
  EXPECT_TRUE(file.openedReadOnly());
  char c = 0;
  file.read(1, &c, 1);
  EXPECT_EQ(c, 'b');
  EXPECT_EQ(codeOf([&] { file.write(0, "z", 1); }), ErrorCode::KEEL_OSEACCES);
  EXPECT_EQ(codeOf([&] { file.read(2, &c, 5); }), ErrorCode::KEEL_READERR);  // short read
  chmod(path.c_str(), 0644);  // Windows removes no read-only file
}

TEST_F(FileLayerTest, RangeLocksRefuseOverlapsOnTheHandleAndBetweenHandles) {
  std::string path = makeFile("t.dat", "x");
  TEngineFile file(registry_, path, {});
  file.open();
  const uint64_t far = 0x7FFFFFFF00000000ULL;  // beyond 4 GiB
  EXPECT_TRUE(file.lockRange(far, 100));
  EXPECT_FALSE(file.lockRange(far + 99, 1));  // overlaps through the same handle
  EXPECT_FALSE(file.lockRange(far - 1, 2));
  EXPECT_TRUE(file.lockRange(far + 100, 1));  // adjacent is fine
  EXPECT_TRUE(file.lockRange(4294967294ULL, 1));

  mindrel::OsFile other;
  ASSERT_EQ(other.open(path, true), 0);
  EXPECT_EQ(other.lockRange(far + 50, 1, true), EAGAIN);
  EXPECT_EQ(other.lockRange(far + 101, 1, true), 0);
  EXPECT_FALSE(file.lockRange(far + 101, 1));  // held by the other handle

  EXPECT_FALSE(file.unlockRange(far, 50));  // not held as such
  EXPECT_TRUE(file.unlockRange(far, 100));
  EXPECT_EQ(other.lockRange(far + 50, 1, true), 0);
}

TEST_F(FileLayerTest, TemporaryFileGoesWithItsLastClose) {
  std::string path = dir_ + "/result.tmpd";
  FileHandle created = registry_.create(path, {}, true);
  FileHandle again = registry_.open(path, {});
  created.file->writeAt(0, "abc", 3);
  registry_.close(created);
  EXPECT_TRUE(fs::exists(path));
  registry_.close(again);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(FileLayerTest, MemoryFilesKeepBytesAcrossChunksAndCuts) {
  FileHandle file = registry_.create("mem/a.dat", {.inMemory = true}, false);
  std::string big(70000, 'q');
  file.file->writeAt(65530, big.data(), big.size());  // crosses a chunk border
  EXPECT_EQ(file.file->size(), 65530u + 70000u);
  std::string back(10, '\0');
  file.file->readAt(65530 + 69995, back.data(), 10);
  EXPECT_EQ(back.substr(0, 5), "qqqqq");
  file.file->seek(file.openId, 100, Whence::Begin);
  file.file->write(file.openId, nullptr, 0);  // cut at the position
  EXPECT_EQ(file.file->size(), 100u);
  file.file->truncate(200);
  char c = 'x';
  file.file->readAt(150, &c, 1);
  EXPECT_EQ(c, 0);
  registry_.close(file);
  EXPECT_TRUE(registry_.exists("MEM/A.DAT", true));
  registry_.remove("mem/a.dat", true);
  EXPECT_FALSE(registry_.exists("mem/a.dat", true));
}

TEST_F(FileLayerTest, FaultyFileFailsItsNthCall) {
  auto faulty = std::make_shared<TFaultyFile>("mem/f.dat");
  registry_.adopt(faulty);
  TEngineFile file(registry_, "mem/f.dat", {.inMemory = true});
  file.open();
  faulty->failCall(2, ENOSPC);
  file.write(0, "ab", 2);
  try {
    file.write(2, "cd", 2);
    FAIL() << "second call should fail";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_OSUNKNOWN);
    EXPECT_EQ(error.osError(), ENOSPC);
  }
  EXPECT_EQ(file.size(), 2u);
  EXPECT_EQ(faulty->count(TFaultyFile::Op::Write), 2u);
}

}  // namespace
}  // namespace keel
