#include "app/SettingsFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace mindrel {
namespace {

namespace fs = std::filesystem;

// Stands in for the window and table layers; records every call and whether
// the settings were loading when it came.
class FakeHost : public TSettingsHost {
 public:
  FakeHost(const TStartupIntegration& startup) : startup_(startup) {}

  std::string GetDatabasePath() override {
    Record("registry");
    return registryPath;
  }
  bool ValidDatabase(const std::string& folder) override {
    Record("validate " + folder);
    return validFolders.count(folder) > 0;
  }
  std::vector<std::string> CustomDateColumns(const std::vector<std::string>& folders) override {
    Record("columns for " + std::to_string(folders.size()));
    return columns;
  }
  int ScreenWidth() override { return 1920; }
  int ScreenHeight() override { return 1080; }

  std::string registryPath;
  std::set<std::string> validFolders;
  std::vector<std::string> columns;
  std::vector<std::string> calls;
  bool calledOutsideLoading = false;

 private:
  void Record(const std::string& call) {
    calls.push_back(call);
    if (!startup_.Loading()) calledOutsideLoading = true;
  }
  const TStartupIntegration& startup_;
};

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(root_);
    fs::create_directories(root_);
    iniPath_ = (root_ / "Mindrel.INI").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteIni(const std::string& text) const { std::ofstream(iniPath_, std::ios::binary) << text; }
  std::string ReadIni() const {
    std::ifstream in(iniPath_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Applies the file as the program does at start.
  // Answers what the settings file named as not used.
  std::vector<std::string> Read() {
    TSettingsFile file(iniPath_);
    file.ReadINIFile(settings_, formats_, host_, startup_);
    return file.Problems();
  }
  bool Write() const { return TSettingsFile(iniPath_).WriteINIFile(settings_, formats_); }

  std::vector<std::string> Ticked() const {
    std::vector<std::string> ticked;
    for (const TEventItem& item : settings_.EventItems) {
      if (item.Ticked) ticked.push_back(item.Text);
    }
    return ticked;
  }

  // Set before the members below, which use it.
  fs::path root_ = fs::temp_directory_path() / ("mindrel-settings-" + std::to_string(getpid()));
  std::string iniPath_;
  std::vector<std::string> errors_;
  TStartupIntegration startup_{TAutostart((root_ / "autostart").string()), "/opt/Mindrel/",
                               [this](const std::string& message) { errors_.push_back(message); },
                               [](const std::string&) {}};
  FakeHost host_{startup_};
  TSettings settings_;
  TEventFormats formats_;
};

TEST_F(SettingsFileTest, NoFileGivesEveryDefault) {
#ifdef _WIN32
  GTEST_SKIP() << "the log-on start given here is a folder of desktop entries, which Windows does not have";
#endif
  host_.registryPath = "/trees/main";
  host_.validFolders = {"/trees/main"};
  Read();

  TSettings expected;
  expected.Folders = {"/trees/main"};
  for (int index : {0, 1, 4, 5}) expected.EventItems[static_cast<std::size_t>(index)].Ticked = true;
  EXPECT_EQ(settings_, expected);
  EXPECT_EQ(settings_.Days, 30);
  EXPECT_EQ(settings_.Color1, 0xD9F9FFu);
  EXPECT_EQ(settings_.Font, TFontSettings{});
  EXPECT_EQ(settings_.Font.Name, "Arial");
  EXPECT_EQ(settings_.Font.Colour, 128u);
  EXPECT_EQ(Ticked(), (std::vector<std::string>{"Birth", "Marriage", "Added fixed", "Added annual"}));
  EXPECT_EQ(formats_.RowCount(), 7);
  EXPECT_EQ(formats_.Row(0).Template, TEventFormats::DefaultTemplate(0));
  EXPECT_FALSE(formats_.IncludeCodes());

  EXPECT_EQ(host_.calls, (std::vector<std::string>{"registry", "validate /trees/main", "columns for 1"}));
  EXPECT_FALSE(host_.calledOutsideLoading);
  EXPECT_FALSE(startup_.Loading());
  EXPECT_TRUE(fs::exists(root_ / "autostart" / "Mindrel.desktop")) << "start-up is on by default";
  EXPECT_TRUE(errors_.empty());
}

TEST_F(SettingsFileTest, RegistryFolderThatDoesNotValidateIsNotTaken) {
  host_.registryPath = "";
  Read();
  EXPECT_TRUE(settings_.Folders.empty());
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"registry", "validate ", "columns for 0"}));
}

TEST_F(SettingsFileTest, FreshFileIsWrittenInItsFixedOrder) {
  settings_.Folders = {"/trees/a", "/trees/b c"};
  settings_.HomePeople["/trees/b c"] = 42;
  settings_.Font.Bold = settings_.Font.Italic = true;
  settings_.CustColors = {"ColorA=FFFFFF", "ColorB=00FF00"};
  settings_.EventItems[0].Ticked = settings_.EventItems[3].Ticked = true;
  ASSERT_TRUE(Write());
  EXPECT_EQ(ReadIni(),
            "[Window]\nLeft=185\nTop=112\nWidth=552\nHeight=470\n"
            "[Prefs]\nNDBs=2\nDB0=\"/trees/a\"\nDB1=\"/trees/b c\"\nHome1=42\nAlive=yes\nDays=30\nExclude=yes\n"
            "Audio=yes\nPartial=no\nLimit=all\nDegrees=4\nStart=yes\nShowWindow=yes\nJubilees=yes\nWhileAway=yes\nCodes=no\n"
            "DateFormat=\"ddd d mmm\"\nHints=yes\nColor1=14285311\nColor2=10744319\n"
            "MaxAge=110\nNoWeddingAfterDivorce=yes\nLeapDay=0\n"
            "[CustColors]\nColorA=FFFFFF\nColorB=00FF00\n"
            "[OPFont]\nName=Arial\nSize=10\nColour=128\nStyle=Bold,Italic\nScript=1\n"
            "[Jubilees]\nBirth=18, 21, 30, 40, 50, 60, 65, 70, 75, 80, 90, 100\nMarriage=10, 25, 40, 50, 60, 65, 70, 75\n"
            "Other=*25\n"
            "[Fields]\nF1=Birth\nF2=Death\nCount=2\n"
            "[Text]\nRows=6\n"
            "T0=\"<name>, <relation>, is <yy> years old <when>\"\n"
            "T1=\"it's the <yy><th><material> wedding anniversary of <name>, <relation>, <when>\"\n"
            "T2=\"it's the <yy><th> anniversary of the divorce of <name>, <relation>, <when>\"\n"
            "T3=\"<when> it will be <yy> years since the death of <name>, <relation>\"\n"
            "T4=\"it's the <yy><th> anniversary of <name> <when>\"\n"
            "T5=\"<when> it's <name>\"\n"
            "Yahrzeit=\"the <yy><th> yahrzeit of <name>, <hebrew>, is <when>\"\n"
            "Marr=\"=\"\n"
            "[Variants]\n"
            "V0=\"it's <name>'s birthday (<relation>) <when>\"\n"
            "V1=\"<name>, <relation>, would have been <yy> <when>\"\n"
            "V2=\"it's the anniversary of the birth of <name>, <relation>, <when>\"\n"
            "V3=\"<name>, <relation>, is <yy> year old <when>\"\n"
            "V4=\"it's the wedding anniversary of <name>, <relation>, <when>\"\n"
            "V5=\"it's the anniversary of the divorce of <name>, <relation>, <when>\"\n"
            "V6=\"<when> it's the anniversary of the death of <name>, <relation>\"\n"
            "V7=\"<when> it will be <yy> year since the death of <name>, <relation>\"\n"
            "V8=\"<when> it's <name>\"\n"
            "V9=\"it's the <yy><th> anniversary of the <event> of <name>, <relation>, <when>\"\n"
            "V10=\"it's the anniversary of the <event> of <name>, <relation>, <when>\"\n"
            "V11=\"<name>, <relation>, is about <yy> years old <when>\"\n"
            "V12=\"<name>, <relation>, is about <yy> year old <when>\"\n"
            "V13=\"<name>, <relation>, would have been about <yy> <when>\"\n"
            "V14=\"<name>, <relation>, turns <yy> <when>\"\n"
            "V15=\"it would have been the <yy><th><material> wedding anniversary of <name>, <relation>, <when>\"\n"
            "V16=\"it would have been the wedding anniversary of <name>, <relation>, <when>\"\n"
            "V17=\"it's about the <yy><th><material> wedding anniversary of <name>, <relation>, <when>\"\n"
            "V18=\"it would have been about the <yy><th><material> wedding anniversary of <name>, <relation>, <when>\"\n"
            "V19=\"it's about the <yy><th> anniversary of the divorce of <name>, <relation>, <when>\"\n"
            "V20=\"<when> it will be about <yy> years since the death of <name>, <relation>\"\n"
            "V21=\"<when> it will be about <yy> year since the death of <name>, <relation>\"\n"
            "V22=\"it's about the <yy><th> anniversary of the <event> of <name>, <relation>, <when>\"\n"
            "[Past]\n"
            "P0=\"<name>, <relation>, turned <yy> <when>\"\n"
            "P1=\"it was <name>'s birthday (<relation>) <when>\"\n"
            "P2=\"<name>, <relation>, would have turned <yy> <when>\"\n"
            "P3=\"it was the anniversary of the birth of <name>, <relation>, <when>\"\n"
            "P4=\"it was the <yy><th><material> wedding anniversary of <name>, <relation>, <when>\"\n"
            "P5=\"it was the wedding anniversary of <name>, <relation>, <when>\"\n"
            "P6=\"it was the <yy><th> anniversary of the divorce of <name>, <relation>, <when>\"\n"
            "P7=\"it was the anniversary of the divorce of <name>, <relation>, <when>\"\n"
            "P8=\"<when> it was <yy> years since the death of <name>, <relation>\"\n"
            "P9=\"<when> it was <yy> year since the death of <name>, <relation>\"\n"
            "P10=\"<when> it was the anniversary of the death of <name>, <relation>\"\n"
            "P11=\"it was the <yy><th> anniversary of <name> <when>\"\n"
            "P12=\"<when> it was <name>\"\n"
            "P13=\"<when> it was <name>\"\n"
            "P14=\"the <yy><th> yahrzeit of <name>, <hebrew>, was <when>\"\n"
            "P15=\"it was the <yy><th> anniversary of the <event> of <name> <when>\"\n"
            "P16=\"it was the anniversary of the <event> of <name> <when>\"\n"
            "P17=\"yesterday\"\n"
            "P18=\"on <weekday>\"\n"
            "P19=\"<ago> days ago\"\n"
            "[When]\nW0=\"today\"\nW1=\"tomorrow\"\nW2=\"in <dd> days\"\nW3=\"this month\"\nW4=\"next month\"\n"
            "W5=\"in <mm> months\"\nW6=\"this year\"\nW7=\"next year\"\n"
            "[Suffix]\nS0=\"th\"\nS1=\"st\"\nS2=\"nd\"\nS3=\"rd\"\nS4=\"th\"\nS5=\"th\"\nS6=\"th\"\nS7=\"th\"\n"
            "S8=\"th\"\nS9=\"th\"\nS10=\"th\"\n"
            "[Materials]\nM0=\" (paper)\"\nM1=\" (cotton)\"\nM2=\" (leather)\"\nM3=\" (linen)\"\nM4=\" (wood)\"\n"
            "M5=\" (iron)\"\nM6=\" (wool)\"\nM7=\" (bronze)\"\nM8=\" (pottery)\"\nM9=\" (tin)\"\nM10=\" (steel)\"\n"
            "M11=\" (silk)\"\nM12=\" (lace)\"\nM13=\" (ivory)\"\nM14=\" (crystal)\"\nM15=\" (china)\"\n"
            "M16=\" (silver)\"\nM17=\" (pearl)\"\nM18=\" (coral)\"\nM19=\" (ruby)\"\nM20=\" (sapphire)\"\n"
            "M21=\" (gold)\"\nM22=\" (emerald)\"\nM23=\" (diamond)\"\nM24=\"\"\nM25=\" (platinum)\"\nM26=\"\"\n");
}

TEST_F(SettingsFileTest, EverythingWrittenReadsBack) {
  TSettings written;
  written.Left = -20;
  written.Top = 30;
  written.Width = 700;
  written.Height = 300;
  written.Folders = {"/trees/one", " /trees/with blanks ", "/trees/\"quoted\""};
  written.Alive = false;
  written.Days = 0;
  written.Exclude = false;
  written.Audio = false;
  written.Partial = true;
  written.Start = false;
  written.ShowWindow = false;
  written.MarkJubilees = false;
  written.WhileAway = false;
  written.LastShown = "2026-12-01";
  ASSERT_TRUE(written.Jubilees.SetText(TJubilees::kOtherEvents, "*10, 5"));
  written.DateFormat = " dddd, d mmmm yyyy ";
  written.Hints = false;
  written.Color1 = 0xFFFFFF;
  written.Color2 = 0;
  written.CustColors = {"ColorA=123456", "ColorP=FFFFFF"};
  written.Font = TFontSettings{"DejaVu Sans", 14, 0x00FF00, true, false, true, true, 0};
  written.MaxAge = 95;
  written.NoWeddingAfterDivorce = false;
  written.LeapDay = TLeapDay::LeapYearsOnly;
  host_.columns = {"Baptism", "Census"};
  written.SetCustomColumns(host_.columns);
  written.EventItems[2].Ticked = written.EventItems[6].Ticked = written.EventItems[7].Ticked = true;
  TEventFormats writtenFormats;
  writtenFormats.SetIncludeCodes(true);
  writtenFormats.SetTemplate(writtenFormats.AddRow("Baptism"), "<name> baptised <when>");
  writtenFormats.SetMarriageIndicator("&");
  ASSERT_TRUE(TSettingsFile(iniPath_).WriteINIFile(written, writtenFormats));

  host_.validFolders = {written.Folders.begin(), written.Folders.end()};
  Read();
  EXPECT_EQ(settings_, written);
  EXPECT_TRUE(formats_.IncludeCodes());
  ASSERT_EQ(formats_.RowCount(), 8);
  EXPECT_EQ(formats_.Row(7).Name, "Baptism");
  EXPECT_EQ(formats_.Row(7).Template, "<name> baptised <when>");
  EXPECT_EQ(formats_.MarriageIndicator(), "&");
  EXPECT_FALSE(fs::exists(root_ / "autostart" / "Mindrel.desktop")) << "start-up is off";
}

TEST_F(SettingsFileTest, MalformedValuesFallBackToDefaults) {
  WriteIni(
      "[Prefs]\nNDBs=0\nDays=thirty\nAlive=Yes\nExclude=true\nAudio=\"yes\"\nPartial= YES \nHints=1\n"
      "Color1=red\nColor2=-\nDateFormat=\"  d mmm  \"\n"
      "[OPFont]\nSize=big\nScript=x\nColour=\n"
      "[Fields]\nCount=lots\n"
      "[Jubilees]\nBirth=18, twenty\nMarriage=\n");
  Read();
  EXPECT_EQ(settings_.Days, 30);
  EXPECT_TRUE(settings_.Alive);
  EXPECT_FALSE(settings_.Exclude) << "only yes counts";
  EXPECT_TRUE(settings_.Audio);
  EXPECT_TRUE(settings_.Partial);
  EXPECT_FALSE(settings_.Hints);
  EXPECT_EQ(settings_.Color1, 0xD9F9FFu);
  EXPECT_EQ(settings_.Color2, 0xA3F1FFu);
  EXPECT_EQ(settings_.DateFormat, "  d mmm  ");
  EXPECT_EQ(settings_.Font, TFontSettings{});
  EXPECT_EQ(Ticked(), (std::vector<std::string>{"Birth", "Marriage", "Added fixed", "Added annual"}));
  EXPECT_EQ(settings_.Jubilees.Text(TJubilees::kBirthdays), TJubilees::DefaultText(TJubilees::kBirthdays));
  EXPECT_EQ(settings_.Jubilees.Text(TJubilees::kWeddings), "") << "an empty list is a list";
  EXPECT_TRUE(settings_.MarkJubilees);
  EXPECT_TRUE(settings_.Folders.empty());
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"columns for 0"})) << "a stored count of 0 asks no registry";

  struct Case {
    const char* days;
    int read;
  } const cases[] = {{"-4", 0}, {"999", 365}, {"365", 365}, {"0", 0}, {"2.5", 30}};
  for (const Case& c : cases) {
    WriteIni(std::string("[Prefs]\nDays=") + c.days + "\n");
    Read();
    EXPECT_EQ(settings_.Days, c.read) << c.days;
  }

  // The added options: a value out of range gives the default.
  struct Added {
    const char* prefs;
    int maxAge;
    TLeapDay leapDay;
    bool noWeddingAfterDivorce;
  } const added[] = {
      {"MaxAge=0\nLeapDay=3\nNoWeddingAfterDivorce=maybe\n", 110, TLeapDay::Feb28, false},
      {"MaxAge=201\nLeapDay=-1\n", 110, TLeapDay::Feb28, true},
      {"MaxAge=200\nLeapDay=1\nNoWeddingAfterDivorce=YES\n", 200, TLeapDay::Mar1, true},
      {"MaxAge=ninety\nLeapDay=2\n", 110, TLeapDay::LeapYearsOnly, true},
  };
  for (const Added& c : added) {
    WriteIni(std::string("[Prefs]\n") + c.prefs);
    Read();
    EXPECT_EQ(settings_.MaxAge, c.maxAge) << c.prefs;
    EXPECT_EQ(settings_.LeapDay, c.leapDay) << c.prefs;
    EXPECT_EQ(settings_.NoWeddingAfterDivorce, c.noWeddingAfterDivorce) << c.prefs;
  }
}

TEST_F(SettingsFileTest, FontStyleNamesMustMatchExactly) {
  struct Case {
    const char* style;
    bool bold, italic, underline, strikeout;
  } const cases[] = {
      {"Bold,Italic", true, true, false, false},     {"bold,italic", false, false, false, false},
      {"Bold, Italic", true, false, false, false},   {"Underline,Strikeout,Shadow", false, false, true, true},
      {",Italic,", false, true, false, false},        {"", false, false, false, false},
  };
  for (const Case& c : cases) {
    WriteIni(std::string("[OPFont]\nStyle=") + c.style + "\n");
    const TFontSettings font = TSettingsFile::ReadFont(TProfileFile(iniPath_), "OPFont", "Arial", 10, 128, "");
    EXPECT_EQ(font.Bold, c.bold) << c.style;
    EXPECT_EQ(font.Italic, c.italic) << c.style;
    EXPECT_EQ(font.Underline, c.underline) << c.style;
    EXPECT_EQ(font.Strikeout, c.strikeout) << c.style;
  }
}

TEST_F(SettingsFileTest, FoldersAndTicksThatNoLongerExistAreDropped) {
  WriteIni(
      "[Prefs]\nNDBs=3\nDB0=\"/trees/gone\"\nDB1=\"/trees/kept\"\n"
      "[Fields]\nF1=Baptism\nF2=Death\nF3=census\nCount=3\n");
  host_.validFolders = {"/trees/kept"};
  host_.columns = {"Census"};
  const std::vector<std::string> problems = Read();
  EXPECT_EQ(settings_.Folders, (std::vector<std::string>{"/trees/kept"}));
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"validate /trees/gone", "validate /trees/kept", "columns for 1"}))
      << "a key the count promises but the file lacks names no folder";
  EXPECT_EQ(Ticked(), (std::vector<std::string>{"Death"})) << "names tick exactly, case included";
  const std::string ticks = "The settings file \"" + iniPath_ + "\" ticks the event type ";
  EXPECT_EQ(problems, (std::vector<std::string>{
                          ticks + "\"Baptism\" ([Fields] F1), which none of the folders offers; it is left out.",
                          ticks + "\"census\" ([Fields] F3), which none of the folders offers; it is left out."}));

  ASSERT_TRUE(Write());
  const TProfileFile file(iniPath_);
  EXPECT_EQ(file.ReadInteger("Prefs", "NDBs", -1), 1);
  EXPECT_EQ(file.ReadSectionValues("Fields"), (std::vector<std::string>{"F1=Death", "Count=1"}));
  EXPECT_EQ(file.ReadString("Prefs", "DB0", "none"), "/trees/kept");
  EXPECT_EQ(file.ReadString("Prefs", "DB1", "none"), "/trees/kept") << "keys not written stay as they were";
}

// A home person belongs to the source numbered like it: a source dropped at
// start takes its home person along, and writing numbers them afresh.
TEST_F(SettingsFileTest, HomePeopleFollowTheirSources) {
  WriteIni("[Prefs]\nNDBs=3\nDB0=\"/trees/gone\"\nHome0=7\nDB1=\"/trees/kept\"\nHome1=12\nDB2=\"/trees/other\"\n"
           "Home2=twelve\nLimit=BLOOD\nDegrees=6\n");
  host_.validFolders = {"/trees/kept", "/trees/other"};
  Read();
  EXPECT_EQ(settings_.HomePeople, (std::map<std::string, std::int32_t>{{"/trees/kept", 12}}));
  EXPECT_EQ(settings_.Limit, TFamilyLimit::BloodRelatives);
  EXPECT_EQ(settings_.Degrees, 6);

  settings_.HomePeople = {{"/trees/other", -5}};
  ASSERT_TRUE(Write());
  const TProfileFile file(iniPath_);
  EXPECT_EQ(file.ReadString("Prefs", "Home0", "none"), "none") << "the kept source lost its home person";
  EXPECT_EQ(file.ReadString("Prefs", "Home1", "none"), "-5");
  EXPECT_EQ(file.ReadString("Prefs", "Home2", "none"), "none") << "a stale key would follow another source";
  EXPECT_EQ(file.ReadString("Prefs", "Limit", ""), "blood");

  WriteIni("[Prefs]\nLimit=family\nDegrees=-3\n");
  Read();
  EXPECT_EQ(settings_.Limit, TFamilyLimit::AllPeople);
  EXPECT_EQ(settings_.Degrees, 1);
}

TEST_F(SettingsFileTest, HandEditedHugeCountsStayCheap) {
  WriteIni("[Prefs]\nNDBs=2000000000\nDB0=\"/trees/a\"\n[Fields]\nCount=2000000000\nF1=Birth\n");
  host_.validFolders = {"/trees/a"};
  Read();
  EXPECT_EQ(settings_.Folders, (std::vector<std::string>{"/trees/a"}));
  EXPECT_LE(host_.calls.size(), 5u);
  EXPECT_EQ(Ticked(), (std::vector<std::string>{"Birth"}));
}

TEST_F(SettingsFileTest, OffScreenWindowComesBack) {
  struct Case {
    int left, top, width;
    int readLeft, readTop;
  } const cases[] = {
      {-600, 10, 552, 0, 10},      // wholly left of the screen
      {-500, 10, 552, -500, 10},   // partly visible: kept
      {1921, 10, 552, 0, 10},      // beyond the width
      {1920, 1080, 552, 1920, 1080},
      {10, -1, 552, 10, 0},
      {10, 1081, 552, 10, 0},
  };
  for (const Case& c : cases) {
    WriteIni("[Window]\nLeft=" + std::to_string(c.left) + "\nTop=" + std::to_string(c.top) +
             "\nWidth=" + std::to_string(c.width) + "\n");
    Read();
    EXPECT_EQ(settings_.Left, c.readLeft) << c.left;
    EXPECT_EQ(settings_.Top, c.readTop) << c.top;
  }
}

TEST_F(SettingsFileTest, StartUpThatCannotBeRegisteredIsUntickedSilently) {
  std::ofstream(root_ / "autostart") << "a file where the folder should be";
  WriteIni("[Prefs]\nStart=yes\n");
  Read();
  EXPECT_FALSE(settings_.Start);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(SettingsFileTest, UnknownKeysStayAndRewrittenSectionsLoseStaleKeys) {
  WriteIni(
      "; kept comment\n[Window]\nLeft=5\nMaximised=yes\n"
      "[CustColors]\nColorA=111111\nColorZ=222222\n"
      "[Fields]\nF1=Birth\nF2=Death\nF3=Divorce\nCount=3\n"
      "[Other]\nkey=value\n");
  host_.registryPath = "/trees/a";
  Read();
  EXPECT_EQ(settings_.CustColors, (std::vector<std::string>{"ColorA=111111", "ColorZ=222222"}));
  settings_.CustColors = {"ColorA=333333", "=nameless", "no equals"};
  settings_.EventItems[3].Ticked = settings_.EventItems[2].Ticked = false;
  ASSERT_TRUE(Write());

  const TProfileFile file(iniPath_);
  EXPECT_EQ(file.ReadString("Window", "Maximised", ""), "yes");
  EXPECT_EQ(file.ReadString("Other", "key", ""), "value");
  EXPECT_EQ(file.ReadSectionValues("CustColors"), (std::vector<std::string>{"ColorA=333333"}));
  EXPECT_EQ(file.ReadSectionValues("Fields"), (std::vector<std::string>{"F1=Birth", "Count=1"}));
  EXPECT_EQ(ReadIni().rfind("; kept comment\n[Window]\nLeft=5\nMaximised=yes\nTop=", 0), 0u);
}

// The colour dialog sets only the colours the user changed; every other line,
// whatever its name, is written back as it was read.
TEST_F(SettingsFileTest, ChangedCustomColoursReplaceTheirLineAndKeepTheRest) {
  WriteIni("[CustColors]\ncolorb=00FF00\nColorX=ABCDEF\n[OPFont]\nScript=0\n");
  Read();
  EXPECT_EQ(settings_.Font.Script, 0);
  settings_.SetCustColor("ColorB", "0000FF");
  settings_.SetCustColor("ColorC", "FF0000");
  ASSERT_TRUE(Write());
  const TProfileFile file(iniPath_);
  EXPECT_EQ(file.ReadSectionValues("CustColors"),
            (std::vector<std::string>{"colorb=0000FF", "ColorX=ABCDEF", "ColorC=FF0000"}));
  EXPECT_EQ(file.ReadInteger("OPFont", "Script", 1), 0);
}

TEST_F(SettingsFileTest, WriteFailureIsReportedToTheCaller) {
  fs::create_directories(iniPath_);
  EXPECT_FALSE(Write());
}

// A settings file that is no settings file (UTF-16, or bytes of anything) is
// named, and the defaults apply.
TEST_F(SettingsFileTest, AnUnreadableFileIsNamedAndTheDefaultsApply) {
  struct Case {
    std::string bytes;
    const char* named;
  };
  const std::vector<Case> cases{
      {std::string("\xFF\xFE[\0P\0r\0e\0f\0s\0]\0\n\0", 18), "it is written in UTF-16, not in UTF-8"},
      {std::string("\x13\x9A\0\x7F\x01 ]][", 8), "it is no text"},
      {"\x13\x9A garbage \x7F\x01 ]]][ = ==\n\x02", "it holds no [Prefs] section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    WriteIni(c.bytes);
    const std::vector<std::string> problems = Read();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "The settings file \"" + iniPath_ + "\" could not be read: " + c.named +
                               ". The default settings are used.");
    EXPECT_EQ(Ticked(), (std::vector<std::string>{"Birth", "Marriage", "Added fixed", "Added annual"}));
  }
  WriteIni("");
  EXPECT_EQ(Read(), std::vector<std::string>{}) << "an empty file is a new one";
}

}  // namespace
}  // namespace mindrel
