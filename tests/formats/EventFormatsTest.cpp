#include "formats/EventFormats.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "formats/DateTime.h"
#include "platform/ProfileFile.h"

namespace mindrel {
namespace {

namespace fs = std::filesystem;

class EventFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("mindrel-formats-" + std::to_string(getpid()) + ".ini")).string();
    fs::remove(path_);
  }
  void TearDown() override { fs::remove(path_); }
  std::string path_;
};

TEST_F(EventFormatsTest, BuiltInValues) {
  const TEventFormats formats;
  ASSERT_EQ(formats.RowCount(), 7);
  EXPECT_EQ(formats.Row(4).Name, "Added fixed");
  EXPECT_EQ(formats.Row(6).Name, "Yahrzeit");
  EXPECT_EQ(formats.Row(3).Template, "<when> it will be <yy> years since the death of <name>, <relation>");
  EXPECT_EQ(formats.WhenText(2), "in <dd> days");
  EXPECT_EQ(formats.Suffix(3), "rd");
  EXPECT_EQ(formats.Suffix(10), "th");
  EXPECT_EQ(formats.MarriageIndicator(), "=");
  EXPECT_FALSE(formats.IncludeCodes());
  const int numbers[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75};
  for (int row = 0; row < TEventFormats::kMaterialRows; ++row) EXPECT_EQ(TEventFormats::MaterialNumber(row), numbers[row]);
  EXPECT_EQ(formats.MaterialText(0), " (paper)");
  EXPECT_EQ(formats.MaterialText(26), "");
}

TEST_F(EventFormatsTest, RowsAddFindDeleteAndDefaults) {
  TEventFormats formats;
  EXPECT_FALSE(formats.DeleteRow(5)) << "fixed rows stay";
  EXPECT_FALSE(formats.DeleteRow(TEventFormats::kYahrzeitRow));
  const int baptism = formats.AddRow("Baptism");
  const int burial = formats.AddRow("Burial");
  formats.SetTemplate(burial, "<name> buried");
  EXPECT_EQ(formats.FindRow("bApTiSm"), baptism);
  EXPECT_EQ(formats.FindRow("BIRTH"), 0);
  EXPECT_EQ(formats.FindRow("Birth", 4), -1);

  formats.SetTemplate(0, "changed");
  formats.SetWhenText(0, "now");
  formats.SetSuffix(1, "x");
  formats.SetMaterialText(0, " (card)");
  formats.SetMarriageIndicator("&");
  formats.SetIncludeCodes(true);
  formats.SetVariantText(TEventFormats::kBirthDead, "changed");
  formats.SetVariantText(TEventFormats::kMarriageDead, "");
  formats.SetWhenText(TEventFormats::kWhenNextYear, "");
  formats.RestoreDefaults();
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthDead), "<name>, <relation>, would have been <yy> <when>");
  EXPECT_EQ(formats.VariantText(TEventFormats::kMarriageDead),
            "it would have been the <yy><th><material> wedding anniversary of <name>, <relation>, <when>");
  EXPECT_EQ(formats.WhenText(TEventFormats::kWhenNextYear), "next year");
  EXPECT_EQ(formats.Row(0).Template, TEventFormats::DefaultTemplate(0));
  EXPECT_EQ(formats.WhenText(0), "today");
  EXPECT_EQ(formats.Suffix(1), "st");
  EXPECT_EQ(formats.Material(1), " (paper)");
  EXPECT_EQ(formats.MarriageIndicator(), "=");
  EXPECT_TRUE(formats.IncludeCodes()) << "the include-codes flag is no format";
  EXPECT_EQ(formats.Row(burial).Template, "<name> buried") << "user rows keep their templates";

  EXPECT_TRUE(formats.DeleteRow(baptism));
  EXPECT_EQ(formats.RowCount(), 8);
  EXPECT_EQ(formats.Row(7).Name, "Burial");
}

TEST_F(EventFormatsTest, SettingsRoundTripKeepsBlanksAndUserRows) {
  TEventFormats written;
  const int row = written.AddRow(" Baptism ");
  written.SetTemplate(row, "  <name> \"baptised\"  ");
  written.SetWhenText(1, " tomorrow ");
  written.SetSuffix(10, "");
  written.SetMaterialText(26, " (oak)");
  written.SetMarriageIndicator(" & ");
  written.SetVariantText(TEventFormats::kOtherDateYearUnknown, " <event> of <name> ");
  written.SetPastText(TEventFormats::kPastThisWeek, " last <weekday> ");
  TProfileFile file(path_);
  written.WriteSettings(file);
  ASSERT_TRUE(file.UpdateFile());

  TEventFormats read;
  read.ReadSettings(TProfileFile(path_));
  ASSERT_EQ(read.RowCount(), 8);
  EXPECT_EQ(read.Row(7).Name, " Baptism ");
  EXPECT_EQ(read.Row(7).Template, "  <name> \"baptised\"  ");
  EXPECT_EQ(read.WhenText(1), " tomorrow ");
  EXPECT_EQ(read.Suffix(10), "");
  EXPECT_EQ(read.Material(75), " (oak)");
  EXPECT_EQ(read.MarriageIndicator(), " & ");
  EXPECT_EQ(read.Row(0).Template, TEventFormats::DefaultTemplate(0));
  EXPECT_EQ(read.VariantText(TEventFormats::kOtherDateYearUnknown), " <event> of <name> ");
  EXPECT_EQ(read.VariantText(TEventFormats::kBirthYearUnknown), "it's <name>'s birthday (<relation>) <when>");
  EXPECT_EQ(read.PastText(TEventFormats::kPastThisWeek), " last <weekday> ");
  EXPECT_EQ(read.PastText(TEventFormats::kPastBirth), "<name>, <relation>, turned <yy> <when>");
}

// A file written before relationships were told holds the built-in wording
// of its day: it gets today's, which names the relationship; a wording of
// the user's own stays as it is.
TEST_F(EventFormatsTest, FormerBuiltInWordingsBecomeTodays) {
  std::ofstream(path_) << "[Text]\nRows=6\nT0=\"<name> is <yy> years old <when>\"\n"
                       << "T3=\"<when> it's <yy> years since <name> died\"\n"
                       << "[Variants]\nV1=\"<name> would have been <yy> <when>\"\n";
  TEventFormats formats;
  formats.ReadSettings(TProfileFile(path_));
  EXPECT_EQ(formats.Row(0).Template, "<name>, <relation>, is <yy> years old <when>");
  EXPECT_EQ(formats.Row(3).Template, "<when> it's <yy> years since <name> died");
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthDead), "<name>, <relation>, would have been <yy> <when>");
}

// The variants live in a section of their own, so a file that an older
// version wrote (and reads) keeps its keys as they were.
TEST_F(EventFormatsTest, VariantsHaveTheirOwnSectionAndLabels) {
  std::ofstream(path_) << "[Text]\nRows=6\nT0=\"<name> turns <yy>\"\n";
  TEventFormats formats;
  formats.ReadSettings(TProfileFile(path_));
  EXPECT_EQ(formats.VariantText(TEventFormats::kDeathOneYear),
            "<when> it will be <yy> year since the death of <name>, <relation>");
  TProfileFile file(path_);
  formats.WriteSettings(file);
  ASSERT_TRUE(file.UpdateFile());
  const TProfileFile back(path_);
  EXPECT_EQ(back.ReadString("Text", "T0", ""), "<name> turns <yy>");
  EXPECT_EQ(back.ReadSectionValues("Variants").size(), static_cast<std::size_t>(TEventFormats::kVariantRows));
  EXPECT_EQ(back.ReadString("Variants", "V8", ""), "<when> it's <name>");
  EXPECT_EQ(TEventFormats::VariantLabel(TEventFormats::kAddedFixedOwnDay), "Added fixed, its own day");
}

// A file written before some variants existed: where its user wrote an
// event's wording, that wording goes on being used for the new cases (the
// variant starts empty); variants the file holds, and those of events still
// worded as built in, read as usual.
TEST_F(EventFormatsTest, MissingVariantsOfAnEventWithTheUsersOwnWordingStartEmpty) {
  std::ofstream(path_) << "[Text]\nRows=6\nT0=\"<name> fête ses <yy> ans <when>\"\n"
                       << "[Variants]\nV1=\"<name> aurait eu <yy> ans <when>\"\n";
  TEventFormats formats;
  formats.ReadSettings(TProfileFile(path_));
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthDead), "<name> aurait eu <yy> ans <when>");
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthApproximate), "");
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthYearUnknown), "");
  EXPECT_EQ(formats.VariantText(TEventFormats::kMarriageDead), TEventFormats::DefaultVariant(TEventFormats::kMarriageDead));
  EXPECT_EQ(formats.VariantText(TEventFormats::kOtherDate), TEventFormats::DefaultVariant(TEventFormats::kOtherDate));

  // Once written, an emptied variant stays empty.
  TProfileFile file(path_);
  formats.WriteSettings(file);
  ASSERT_TRUE(file.UpdateFile());
  formats.RestoreDefaults();
  formats.ReadSettings(TProfileFile(path_));
  EXPECT_EQ(formats.VariantText(TEventFormats::kBirthApproximate), "");
  EXPECT_EQ(TEventFormats::VariantLabel(TEventFormats::kMarriageDeadApproximate), "Marriage, dead, approximate");
  EXPECT_EQ(TEventFormats::VariantLabel(TEventFormats::kOtherDate), "Other date");
}

// The file numbers its rows as files did before the yahrzeit: the user's
// rows of an older file come back after it, and a file written now reads
// the same in a version without it.
TEST_F(EventFormatsTest, TheYahrzeitKeepsTheFileNumberingOfTheRows) {
  std::ofstream(path_) << "[Text]\nRows=7\nT5=\"<when> it's <name>!\"\nT6=\"<name> baptised\"\nTT6=\"Baptism\"\n";
  TEventFormats formats;
  formats.ReadSettings(TProfileFile(path_));
  ASSERT_EQ(formats.RowCount(), 8);
  EXPECT_EQ(formats.Row(5).Template, "<when> it's <name>!");
  EXPECT_EQ(formats.Row(6).Name, "Yahrzeit");
  EXPECT_EQ(formats.Row(6).Template, TEventFormats::DefaultTemplate(6));
  EXPECT_EQ(formats.Row(7).Name, "Baptism");
  EXPECT_EQ(formats.Row(7).Template, "<name> baptised");

  formats.SetTemplate(TEventFormats::kYahrzeitRow, "yahrzeit of <name>");
  TProfileFile file(path_);
  formats.WriteSettings(file);
  ASSERT_TRUE(file.UpdateFile());
  const TProfileFile back(path_);
  EXPECT_EQ(back.ReadInteger("Text", "Rows", 0), 7);
  EXPECT_EQ(back.ReadString("Text", "T6", ""), "<name> baptised");
  EXPECT_EQ(back.ReadString("Text", "TT6", ""), "Baptism");
  EXPECT_EQ(back.ReadString("Text", "T7", "none"), "none");
  EXPECT_EQ(back.ReadString("Text", "Yahrzeit", ""), "yahrzeit of <name>");
  TEventFormats again;
  again.ReadSettings(back);
  EXPECT_EQ(again.Row(TEventFormats::kYahrzeitRow).Template, "yahrzeit of <name>");
  EXPECT_EQ(again.RowCount(), 8);
}

TEST_F(EventFormatsTest, HandEditedFilesCannotBreakTheTable) {
  struct Case {
    const char* text;
    int rows;
  } const cases[] = {
      {"[Text]\nRows=2\nT0=\"mine\"\n", 7},              // fixed rows always stay
      {"[Text]\nRows=seven\n", 7},                       // malformed count
      {"[Text]\nRows=2000000000\nTT6=\"Baptism\"\n", 9},  // no larger than its keys allow
      {"", 7},
  };
  for (const Case& c : cases) {
    std::ofstream(path_) << c.text;
    TEventFormats formats;
    formats.ReadSettings(TProfileFile(path_));
    EXPECT_EQ(formats.RowCount(), c.rows) << c.text;
    for (int row = 0; row < TEventFormats::kFixedRows; ++row) {
      EXPECT_EQ(formats.Row(row).Name, TEventFormats::FixedRowName(row));
    }
  }
  std::ofstream(path_) << "[Text]\nRows=2\nT0=\"mine\"\n";
  TEventFormats formats;
  formats.ReadSettings(TProfileFile(path_));
  EXPECT_EQ(formats.Row(0).Template, "mine");
  EXPECT_EQ(formats.Row(1).Template, TEventFormats::DefaultTemplate(1));
}

TEST(DateTime, MatchesTheDayScale) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(2005, 12, 28), 38714.0);
  EXPECT_EQ(DayOfWeek(EncodeDate(2005, 12, 28)), 4) << "a Wednesday";
  EXPECT_EQ(DayOfWeek(0), 7) << "a Saturday";
  EXPECT_EQ(DecodeDate(38714.75), (CivilDate{2005, 12, 28}));
  EXPECT_EQ(DecodeDate(EncodeDate(2024, 2, 29)), (CivilDate{2024, 2, 29}));
  EXPECT_DOUBLE_EQ(DateTimeOf(LocalDateTime{{2005, 12, 28}, 18, 0}), 38714.75);
}

}  // namespace
}  // namespace mindrel
