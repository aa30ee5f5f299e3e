#include "platform/ProfileFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mindrel-profile-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "Mindrel.INI").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(ProfileFileTest, ReadsStringsByTheRulesTheSettingsRelyOn) {
  WriteFile(
      "\xEF\xBB\xBF; written by hand\r\n"
      "[Prefs]\r\n"
      "DateFormat = ddd d mmm  \r\n"
      "Quoted=\"  keeps blanks  \"\r\n"
      "Half=\"open\r\n"
      "Empty=\r\n"
      "Twice=first\r\n"
      "Twice=second\r\n"
      "  [ Window ]  \n"
      "left=10\n");
  const TProfileFile file(path_);
  struct Case {
    const char *section, *key, *expected;
  } const cases[] = {
      {"Prefs", "DateFormat", "ddd d mmm"},
      {"PREFS", "dateformat", "ddd d mmm"},
      {"Prefs", "Quoted", "  keeps blanks  "},
      {"Prefs", "Half", "\"open"},
      {"Prefs", "Empty", ""},
      {"Prefs", "Twice", "first"},
      {"Window", "LEFT", "10"},
      {"Prefs", "Missing", "<default>"},
      {"Nowhere", "Left", "<default>"},
      {"Window", "DateFormat", "<default>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file.ReadString(c.section, c.key, "<default>"), c.expected) << c.section << "/" << c.key;
  }
}

TEST_F(ProfileFileTest, IntegerReadFallsBackUnlessTheWholeValueIsAnInteger) {
  WriteFile(
      "[N]\n"
      "plain=42\nnegative=-1\nplus=+7\nblanks=  12  \nquoted=\"5\"\n"
      "trailing=12abc\nfloat=1.5\nhex=0x1F\nempty=\nsign=-\n"
      "huge=99999999999\nmax=2147483647\nmin=-2147483648\nover=2147483648\n");
  const TProfileFile file(path_);
  struct Case {
    const char* key;
    int expected;
  } const cases[] = {
      {"plain", 42},    {"negative", -1}, {"plus", 7},           {"blanks", 12},         {"quoted", 5},
      {"trailing", 99}, {"float", 99},    {"hex", 99},           {"empty", 99},          {"sign", 99},
      {"huge", 99},     {"missing", 99},  {"max", 2147483647},   {"min", -2147483647 - 1}, {"over", 99},
  };
  for (const Case& c : cases) EXPECT_EQ(file.ReadInteger("N", c.key, 99), c.expected) << c.key;
}

TEST_F(ProfileFileTest, WritingReplacesInPlaceAppendsAndKeepsEverythingElse) {
  WriteFile(
      "; comment stays\n"
      "[Window]\n"
      "Left=1\n"
      "Unknown=kept\n"
      "\n"
      "[Prefs]\n"
      "Days=5\n");
  TProfileFile file(path_);
  file.WriteInteger("window", "LEFT", 300);
  file.WriteString("Window", "Top", "40");
  file.WriteString("Fields", "F1", "Birth");
  file.WriteString("Prefs", "DB0", "\"/data/a\nb\"");
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(ReadFile(),
            "; comment stays\n"
            "[Window]\n"
            "LEFT=300\n"
            "Unknown=kept\n"
            "Top=40\n"
            "\n"
            "[Prefs]\n"
            "Days=5\n"
            "DB0=\"/data/a b\"\n"
            "[Fields]\n"
            "F1=Birth\n");
  const TProfileFile reread(path_);
  EXPECT_EQ(reread.ReadInteger("Window", "Left", 0), 300);
  EXPECT_EQ(reread.ReadString("Prefs", "DB0", ""), "/data/a b");
}

TEST_F(ProfileFileTest, EraseSectionAndSectionLinesInFileOrder) {
  WriteFile(
      "[CustColors]\nColorB=FFFFFF\n; note\nColorA=00FF00\nstray line\n\n"
      "[Fields]\nF1=Birth\n"
      "[custcolors]\nColorC=123456\n");
  TProfileFile file(path_);
  EXPECT_EQ(file.ReadSectionValues("CUSTCOLORS"),
            (std::vector<std::string>{"ColorB=FFFFFF", "ColorA=00FF00", "stray line"}));
  EXPECT_TRUE(file.ReadSectionValues("Missing").empty());
  file.EraseSection("CustColors");
  EXPECT_EQ(file.Text(), "[Fields]\nF1=Birth\n");
  file.WriteString("Fields", "F2", "Death");
  file.DeleteKey("FIELDS", "f1");
  file.DeleteKey("Fields", "F9");
  EXPECT_EQ(file.Text(), "[Fields]\nF2=Death\n");
}

TEST_F(ProfileFileTest, MissingOrUnwritableFile) {
  const TProfileFile missing((dir_ / "none.ini").string());
  EXPECT_EQ(missing.ReadString("Prefs", "Days", "d"), "d");
  EXPECT_EQ(missing.ReadInteger("Prefs", "Days", 30), 30);

  TProfileFile nowhere((dir_ / "no-such-folder" / "Mindrel.INI").string());
  nowhere.WriteInteger("Prefs", "Days", 3);
  EXPECT_FALSE(nowhere.UpdateFile());

  // A folder in the file's place: reading gives defaults, writing fails and
  // leaves no temporary file behind.
  fs::create_directories(dir_ / "taken.ini");
  TProfileFile folder((dir_ / "taken.ini").string());
  EXPECT_EQ(folder.ReadInteger("Prefs", "Days", 30), 30);
  folder.WriteInteger("Prefs", "Days", 3);
  EXPECT_FALSE(folder.UpdateFile());
  EXPECT_FALSE(fs::exists(dir_ / "taken.ini.tmp"));
}

}  // namespace
}  // namespace mindrel
