// The Windows side of the platform layer: what the engine and the program
// rely on from files, byte-range locks, the registry and the folders.

#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Autostart.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/OsFile.h"
#include "platform/WineRegistry.h"

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class WindowsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mindrel-windows-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string file(const std::string& name) const { return folder_ + "/" + name; }

  std::string folder_;
};

TEST_F(WindowsFiles, PositionedReadsAndWritesCutsAndSizes) {
  OsFile file;
  ASSERT_EQ(file.create(this->file("t.dat")), 0);
  size_t done = 0;
  ASSERT_EQ(file.writeAt(5000000000ULL, "far", 3, done), 0) << "64-bit offsets";
  EXPECT_EQ(done, 3u);
  uint64_t size = 0;
  ASSERT_EQ(file.size(size), 0);
  EXPECT_EQ(size, 5000000003ULL);
  ASSERT_EQ(file.truncate(4), 0);
  ASSERT_EQ(file.writeAt(0, "abcd", 4, done), 0);
  char read[8] = {};
  ASSERT_EQ(file.readAt(2, read, sizeof read, done), 0);
  EXPECT_EQ(std::string(read, done), "cd") << "a short read at the end is no error";
  EXPECT_EQ(file.sync(), 0);
}

TEST_F(WindowsFiles, OpenErrorsAreTheErrnoValuesTheEngineMaps) {
  OsFile file;
  EXPECT_EQ(file.open(this->file("missing.dat"), true), ENOENT);
  EXPECT_EQ(file.open(this->file("no/such/folder.dat"), true), ENOENT);
  ASSERT_EQ(file.createNew(this->file("once.dat")), 0);
  OsFile second;
  EXPECT_EQ(second.createNew(this->file("once.dat")), EEXIST);
  EXPECT_FALSE(second.isOpen());
}

// The lock protocol needs locks that fail at once on any overlap, through the
// same handle too, and shared locks that only exclusive ones refuse.
TEST_F(WindowsFiles, RangeLocksRefuseOverlapsOnOneHandleAndBetweenHandles) {
  OsFile first, second;
  ASSERT_EQ(first.create(file("keel.lck")), 0);
  ASSERT_EQ(second.open(file("keel.lck"), true), 0);
  const uint64_t table = 0xFFFDF001ULL;
  const uint64_t region = 65535;

  ASSERT_EQ(first.lockRange(table, region, true), 0);
  EXPECT_EQ(first.lockRange(table + 10, 1, true), EAGAIN) << "same handle";
  EXPECT_EQ(second.lockRange(table + 10, 1, false), EAGAIN) << "another handle";
  ASSERT_EQ(first.unlockRange(table, region), 0);

  EXPECT_EQ(first.lockRange(table + 10, 1, false), 0);
  EXPECT_EQ(second.lockRange(table + 10, 1, false), 0) << "readers share";
  EXPECT_EQ(second.lockRange(table, region, true), EAGAIN) << "a writer waits for the readers";
  EXPECT_EQ(second.unlockRange(table + 10, 1), 0);
  EXPECT_EQ(first.unlockRange(table + 10, 1), 0);
  EXPECT_EQ(second.lockRange(table, region, true), 0);
  EXPECT_NE(second.unlockRange(table + 1, 1), 0) << "only a range that was locked can be unlocked";
  second.close();
  EXPECT_EQ(first.lockRange(table, region, true), 0) << "closing a handle releases its locks";
}

TEST_F(WindowsFiles, ReadOnlyAttributeRenameOverAndListingByPattern) {
  std::ofstream(file("People.dat")) << "p";
  std::ofstream(file("Events.DAT")) << "e";
  std::ofstream(file("People.idx")) << "i";
  fs::create_directory(file("Folder.dat"));
  EXPECT_EQ(ListFiles(folder_, "*.dat"), (std::vector<std::string>{"Events.DAT", "People.dat"}));
  EXPECT_TRUE(FileExists(file("People.dat")));
  EXPECT_FALSE(FileExists(file("Folder.dat")));

  EXPECT_FALSE(IsReadOnlyFile(file("People.dat")));
  ASSERT_TRUE(SetFileAttributesW(fs::path(file("People.dat")).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(IsReadOnlyFile(file("People.dat")));
  ASSERT_TRUE(SetFileAttributesW(fs::path(file("People.dat")).c_str(), FILE_ATTRIBUTE_NORMAL));

  EXPECT_EQ(RenameFile(file("People.idx"), file("Events.DAT")), 0) << "replaces the target";
  EXPECT_FALSE(FileExists(file("People.idx")));
  EXPECT_EQ(RemoveFile(file("Events.DAT")), 0);
  EXPECT_EQ(RemoveFile(file("Events.DAT")), ENOENT);
}

TEST(WindowsFolders, DataFolderIsUnderAppDataUnlessNamed) {
  char pattern[] = "/tmp/mindrel-appdata-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string appData = pattern;
  unsetenv("MINDREL_DATA_DIR");
  ASSERT_TRUE(SetEnvironmentVariableW(L"APPDATA", fs::path(appData).c_str()));
  EXPECT_EQ(GetDataFolder(), appData + "\\Mindrel\\");
  EXPECT_TRUE(DirectoryExists(appData + "\\Mindrel"));
  ASSERT_TRUE(SetEnvironmentVariableW(L"MINDREL_DATA_DIR", fs::path(appData + "/own").c_str()));
  EXPECT_EQ(GetDataFolder(), appData + "/own/");
  SetEnvironmentVariableW(L"MINDREL_DATA_DIR", nullptr);
  fs::remove_all(appData);

  EXPECT_EQ(WithTrailingSeparator("C:\\Trees"), "C:\\Trees\\");
  EXPECT_EQ(WithTrailingSeparator("C:\\Trees\\"), "C:\\Trees\\");
  EXPECT_EQ(WithTrailingSeparator("/tmp/trees"), "/tmp/trees/");
  const std::string exe = ExeFolder();
  EXPECT_TRUE(exe.ends_with("\\"));
  EXPECT_TRUE(FileExists(exe + "platform_tests.exe"));
}

// A key of the current user's hive made for the test and removed after it.
class WindowsRegistry : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kKey = L"Software\\MindrelPlatformTest";
  void SetUp() override {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  static std::wstring Value(const wchar_t* name) {
    wchar_t data[512] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return {};
    return data;
  }
};

TEST_F(WindowsRegistry, LogOnStartIsTheRunValueWithTheQuotedProgramAndSwitch) {
  const TAutostart autostart("Software\\MindrelPlatformTest");
  ASSERT_TRUE(autostart.Register("C:\\Apps\\Mindrel\\"));
  EXPECT_EQ(Value(L"Mindrel"), L"\"C:\\Apps\\Mindrel\\Mindrel.exe\" -s");
  ASSERT_TRUE(autostart.Register("D:\\Moved"));
  EXPECT_EQ(Value(L"Mindrel"), L"\"D:\\Moved\\Mindrel.exe\" -s") << "rewritten with the new folder";
  EXPECT_TRUE(autostart.Unregister());
  EXPECT_EQ(Value(L"Mindrel"), L"");
  EXPECT_TRUE(autostart.Unregister()) << "a missing value is no failure";

  EXPECT_FALSE(TAutostart("Software\\MindrelPlatformTest\\Missing").Register("C:\\Apps\\"))
      << "the key is opened, never made";
  EXPECT_FALSE(TAutostart(std::string()).Register("C:\\Apps\\"));
}

TEST_F(WindowsRegistry, DefaultFolderIsReadFromTheUsersHiveAsStored) {
  const std::wstring folder = L"C:\\Family\\Tr\u00e9e";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"DB_Path", REG_SZ, folder.c_str(),
                            static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  const TWineRegistry registry;
  EXPECT_EQ(registry.ReadUserString("Software\\MindrelPlatformTest", "DB_Path"), "C:\\Family\\Tr\xC3\xA9" "e");
  EXPECT_EQ(registry.ReadUserString("Software\\MindrelPlatformTest", "Missing"), "");
  EXPECT_EQ(registry.ReadUserString("Software\\NoSuchKeyAnywhere", "DB_Path"), "");
  EXPECT_EQ(registry.MapWindowsPath("C:\\Family\\Tree"), "C:\\Family\\Tree");
}

}  // namespace
}  // namespace mindrel
