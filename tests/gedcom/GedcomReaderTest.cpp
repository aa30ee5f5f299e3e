#include "gedcom/GedcomReader.h"

#include <gtest/gtest.h>

#include <string>

#include "gedcom/AnselDecoder.h"
#include "gedcom/GedcomDate.h"
#include "gedcom/GedcomError.h"

namespace mindrel {
namespace {

using namespace std::string_literals;

std::string Head(const std::string& charset) {
  return "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n" + (charset.empty() ? "" : "1 CHAR " + charset + "\n");
}

// A file of one person whose NAME value is `name` (bytes in the file's set).
std::string OnePerson(const std::string& charset, const std::string& name) {
  return Head(charset) + "0 @I1@ INDI\n1 NAME " + name + "\n0 TRLR\n";
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF"s : "\xFF\xFE"s;
  for (const char c : ascii) {
    if (c == '\x01') {  // stands for U+00E9
      out += bigEndian ? "\x00\xE9"s : "\xE9\x00"s;
    } else {
      out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
  }
  return out;
}

TGedcomTree Read(const std::string& bytes) { return TGedcomReader::Read(bytes, "test.ged"); }

TEST(GedcomReaderTest, EachCharacterSetGivesTheSameName) {
  struct Case {
    const char* label;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8 declared", OnePerson("UTF-8", "Ren\xC3\xA9 /M\xC3\xBCller/")},
      {"UTF-8 with its mark, no CHAR", "\xEF\xBB\xBF" + OnePerson("", "Ren\xC3\xA9 /M\xC3\xBCller/")},
      {"UTF-16 little-endian", Utf16(OnePerson("UNICODE", "Ren\x01 /M\x01ller/"), false)},
      {"UTF-16 big-endian", Utf16(OnePerson("UNICODE", "Ren\x01 /M\x01ller/"), true)},
      {"ANSEL declared", OnePerson("ANSEL", "Ren\xE2" "e /M\xE8uller/")},
      {"ANSEL by default", OnePerson("", "Ren\xE2" "e /M\xE8uller/")},
      {"ANSI", OnePerson("ANSI", "Ren\xE9 /M\xFCller/")},
      {"ASCII with a stray Windows-1252 letter", OnePerson("ASCII", "Ren\xE9 /M\xFCller/")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const TGedcomTree tree = Read(c.bytes);
    ASSERT_EQ(tree.People.size(), 1u);
    EXPECT_EQ(tree.People[0].GivenNames, "Ren\xC3\xA9");
    const bool utf16 = std::string(c.label).starts_with("UTF-16");
    EXPECT_EQ(tree.People[0].Surname, utf16 ? "M\xC3\xA9ller" : "M\xC3\xBCller");
  }
}

TEST(GedcomReaderTest, AnselSpecialLettersAndLoneMarks) {
  // Polish L with stroke, Danish o with stroke, es zet (both codes), euro,
  // and two marks on one letter (a with breve and acute).
  const TGedcomTree tree = Read(OnePerson("ANSEL", "\xA1ukasz \xB2 \xC7\xCF \xC8 /\xE6\xE2" "a/"));
  EXPECT_EQ(tree.People[0].GivenNames, "\xC5\x81ukasz \xC3\xB8 \xC3\x9F\xC3\x9F \xE2\x82\xAC");
  EXPECT_EQ(tree.People[0].Surname, "\xE1\xBA\xAF");  // U+1EAF, composed
  // A mark with no letter after it is kept on its own; an undefined byte
  // becomes the replacement character.
  EXPECT_EQ(TAnselDecoder::ToUtf8("ab\xE2"), "ab\xCC\x81");
  EXPECT_EQ(TAnselDecoder::ToUtf8("a\xD0"), "a\xEF\xBF\xBD");
}

TEST(GedcomReaderTest, LineEndsBlanksAndContinuations) {
  const std::string longPlace(300, 'p');
  const std::string bytes =
      "0 HEAD\r\n1 CHAR UTF-8\r0 @I7@ INDI\n\r  1 NAME Anna Maria\n    2 CONC  Louise /Sm\n    2 CONC ith/\r\n"
      "1 BIRT\n2 DATE 3 APR 1901\n2 PLAC " + longPlace + "\n\n1 NAME Other /Name/\n2 GIVN Nobody\n"
      "1 NOTE first\n2 CONT second\n0 TRLR\n";
  const TGedcomTree tree = Read(bytes);
  ASSERT_EQ(tree.People.size(), 1u);
  EXPECT_EQ(tree.People[0].GivenNames, "Anna Maria Louise");
  EXPECT_EQ(tree.People[0].Surname, "Smith");
  EXPECT_EQ(tree.People[0].BirthText, "3 APR 1901");
  EXPECT_EQ(tree.People[0].BirthPlace, longPlace);
  EXPECT_EQ(tree.People[0].Code, 7);
}

// Children and sexes, from the family's CHIL lines and the person's FAMC and
// FAMS lines alike; lines that point nowhere are counted, not fatal.
TEST(GedcomReaderTest, ChildrenSexesAndFamilyLinks) {
  const std::string bytes = Head("UTF-8") +
                            "0 @I1@ INDI\n1 SEX M\n1 FAMS @F1@\n"
                            "0 @I2@ INDI\n1 SEX F\n1 FAMS @F1@\n1 FAMC @F9@\n"
                            "0 @I3@ INDI\n1 SEX U\n1 FAMC @F1@\n2 PEDI birth\n"
                            "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 CHIL @I3@\n1 CHIL @I8@\n0 TRLR\n";
  const TGedcomTree tree = Read(bytes);
  ASSERT_EQ(tree.People.size(), 3u);
  EXPECT_EQ(tree.People[0].Sex, 'M');
  EXPECT_EQ(tree.People[1].Sex, 'F');
  EXPECT_EQ(tree.People[2].Sex, 0);
  EXPECT_EQ(tree.Families[0].Children, (std::vector<std::uint32_t>{2}));
  EXPECT_EQ(tree.People[2].ChildOf, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(tree.People[0].PartnerIn, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(tree.DanglingLinks, 2u);  // FAMC @F9@ and CHIL @I8@
}

TEST(GedcomReaderTest, PeopleCouplesAndTheirEvents) {
  const std::string bytes = Head("UTF-8") +
                            "0 @I1@ INDI\n1 NAME John /Smith/ Jr.\n1 BIRT\n2 DATE ABT 1850\n1 BIRT\n2 DATE 2 MAR 1851\n"
                            "1 BAPM\n2 DATE 9 MAR 1851\n1 BURI\n"
                            "0 @I2@ INDI\n1 NAME Mary\n1 DEAT\n2 DATE 4 MAY 1920\n1 EVEN\n2 TYPE Bar exam\n2 DATE 1 JUN 1880\n"
                            "0 @I3@ INDI\n1 NAME /Brown/\n1 BIRT\n1 EVEN\n2 DATE 5 JUN 1900\n"
                            "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 ENGA\n2 DATE 1 JAN 1875\n1 MARR\n2 DATE 14 FEB 1875\n"
                            "2 SOUR @S1@\n3 DATE 1 JAN 1999\n1 DIV\n2 DATE (never)\n"
                            "0 @S1@ SOUR\n1 TITL Register\n0 TRLR\n";
  const TGedcomTree tree = Read(bytes);
  ASSERT_EQ(tree.People.size(), 3u);
  EXPECT_EQ(tree.People[0].GivenNames, "John");
  EXPECT_EQ(tree.People[0].Surname, "Smith");
  EXPECT_TRUE(tree.People[0].Dead);  // a burial without a date
  EXPECT_TRUE(tree.People[1].Dead);
  EXPECT_FALSE(tree.People[2].Dead);
  EXPECT_EQ(tree.People[1].GivenNames, "Mary");
  EXPECT_EQ(tree.People[2].Surname, "Brown");
  EXPECT_EQ(tree.People[2].GivenNames, "");

  // The first dated birth counts.
  const TGedcomColumn* birth = tree.FindColumn("Birth");
  ASSERT_NE(birth, nullptr);
  ASSERT_EQ(birth->People.size(), 1u);
  EXPECT_EQ(birth->People[0].Date.Qualifier, qAbt);

  ASSERT_EQ(tree.Families.size(), 1u);
  EXPECT_EQ(tree.Families[0].Husband, 0u);
  EXPECT_EQ(tree.Families[0].Wife, 1u);
  const TGedcomColumn* marriage = tree.FindColumn("Marriage");
  ASSERT_NE(marriage, nullptr);
  ASSERT_EQ(marriage->Families.size(), 1u);
  // The source citation's date below the marriage is not the marriage's.
  EXPECT_EQ(marriage->Families[0].Date.JDay, DMYToJDay(14, 2, 1875, true));
  const TGedcomColumn* divorce = tree.FindColumn("Divorce");
  ASSERT_NE(divorce, nullptr);
  EXPECT_GT(divorce->Families[0].Date.PhraseLength, 0);

  EXPECT_EQ(tree.CustomColumnNames(),
            (std::vector<std::string>{"Baptism", "Bar exam", "Event", "Engagement"}));
}

// Old Style dates: the Julian calendar with the year beginning on 25 March,
// the dual year naming both reckonings. The New Style days are the published
// ones: Washington's, Franklin's and Madison's births, Newton's death, and
// the difference of ten days to the end of February 1700 (Julian) and eleven
// from its leap day to the end of February 1800.
TEST(GedcomReaderTest, DualDatedDatesFallOnTheirNewStyleDay) {
  struct Case {
    const char* value;
    int day, month, year;  // New Style
    bool dayUnknown, monthUnknown;
  };
  const Case cases[] = {
      {"11 FEB 1731/32", 22, 2, 1732, false, false},    // George Washington born
      {"6 JAN 1705/06", 17, 1, 1706, false, false},     // Benjamin Franklin born
      {"5 MAR 1750/51", 16, 3, 1751, false, false},     // James Madison born
      {"20 MAR 1726/27", 31, 3, 1727, false, false},    // Isaac Newton died
      {"11 FEB 1731/2", 22, 2, 1732, false, false},     // the later year in one digit
      {"11 FEB 1731/1732", 22, 2, 1732, false, false},  // and in four
      {"3 JAN 1742/43", 14, 1, 1743, false, false},
      {"9 JAN 1744/45", 20, 1, 1745, false, false},
      {"13 JAN 1704/05", 24, 1, 1705, false, false},
      {"1 JAN 1750/51", 12, 1, 1751, false, false},     // first day of the dual span
      {"24 MAR 1750/51", 4, 4, 1751, false, false},     // last day of the dual span
      {"28 FEB 1699/00", 10, 3, 1700, false, false},    // a century turned on the dual year
      {"29 FEB 1699/1700", 11, 3, 1700, false, false},  // a leap day the Gregorian year lacks
      {"ABT 11 FEB 1731/32", 22, 2, 1732, false, false},
      {"@#DJULIAN@ 11 FEB 1731/32", 22, 2, 1732, false, false},
      {"@#DGREGORIAN@ 11 FEB 1731/32", 22, 2, 1732, false, false},
      {"JAN 1740/41", 1, 1, 1741, true, false},  // partial dates stay partial, in the later year
      {"1589/90", 1, 1, 1590, true, true},
  };
  std::string bytes = Head("UTF-8");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    bytes += "0 @I" + std::to_string(i + 1) + "@ INDI\n0 @F" + std::to_string(i + 1) + "@ FAM\n1 HUSB @I" +
             std::to_string(i + 1) + "@\n1 MARR\n2 DATE " + cases[i].value + "\n";
  }
  const TGedcomTree tree = Read(bytes + "0 TRLR\n");
  const TGedcomColumn* marriage = tree.FindColumn("Marriage");
  ASSERT_NE(marriage, nullptr);
  ASSERT_EQ(marriage->Families.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.value);
    const TJDate& date = marriage->Families[i].Date;
    ASSERT_EQ(date.PhraseLength, 0);
    EXPECT_EQ(date.JDay, DMYToJDay(c.day, c.month, c.year, true));
    EXPECT_EQ(date.DayUnknown != 0, c.dayUnknown);
    EXPECT_EQ(date.MonthUnknown != 0, c.monthUnknown);
  }
  // A dual year whose second part is not the next year, or a day the Julian
  // month lacks, names no day.
  for (const char* value : {"11 FEB 1731/33", "29 FEB 1730/31", "30 FEB 1731/32", "11 FEB 1731/", "11 FEB 1731/32 B.C."}) {
    SCOPED_TRACE(value);
    EXPECT_GT(TGedcomDate::ToJDate(value).PhraseLength, 0);
  }
}

TEST(GedcomReaderTest, CodesFollowTheCrossReferences) {
  const std::string bytes = Head("UTF-8") +
                            "0 @I42@ INDI\n0 @P7@ INDI\n0 @I7@ INDI\n0 @X_Y@ INDI\n0 @I0123@ INDI\n0 @F3@ FAM\n0 TRLR\n";
  const TGedcomTree tree = Read(bytes);
  ASSERT_EQ(tree.People.size(), 5u);
  EXPECT_EQ(tree.People[0].Code, 42);
  EXPECT_EQ(tree.People[4].Code, 123);
  EXPECT_EQ(tree.Families[0].Code, 3);
  // Two records with the number 7 and one without a number get codes of
  // their own, from a range no plain number reaches.
  for (const std::size_t i : {1u, 2u, 3u}) EXPECT_GE(tree.People[i].Code, 1'000'000'000) << i;
  EXPECT_NE(tree.People[1].Code, tree.People[2].Code);
  // Reading again gives the same codes.
  const TGedcomTree again = Read(bytes);
  for (std::size_t i = 0; i < tree.People.size(); ++i) EXPECT_EQ(again.People[i].Code, tree.People[i].Code);
  // An edit elsewhere keeps a person's code.
  const TGedcomTree edited = Read(Head("UTF-8") + "0 @X_Y@ INDI\n1 NAME New /Name/\n0 @I99@ INDI\n0 TRLR\n");
  EXPECT_EQ(edited.People[0].Code, tree.People[3].Code);
}

TEST(GedcomReaderTest, DamagedFilesNameTheLine) {
  struct Case {
    const char* label;
    std::string bytes;
    int line;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", "", 0, "empty"},
      {"no header", "0 @I1@ INDI\n0 TRLR\n", 1, "does not begin with \"0 HEAD\""},
      {"unknown set", Head("EBCDIC") + "0 TRLR\n", 4, "character set \"EBCDIC\" is unknown"},
      {"broken line", Head("UTF-8") + "0 @I1@ INDI\n1NAME John\n0 TRLR\n", 6, "no GEDCOM line"},
      {"no tag", Head("UTF-8") + "0 @I1@ INDI\n1 @X@\n0 TRLR\n", 6, "no GEDCOM line"},
      {"level jump", Head("UTF-8") + "0 @I1@ INDI\n2 DATE 1900\n0 TRLR\n", 6, "level jumps from 0 to 2"},
      {"bad UTF-8", Head("UTF-8") + "0 @I1@ INDI\n1 NAME Ren\xE9\n0 TRLR\n", 6, "no well-formed UTF-8"},
      {"truncated", Head("UTF-8") + "0 @I1@ INDI\n1 BIRT\n2 DATE 12 MA", 8, "cut short"},
      {"missing partner", Head("UTF-8") + "0 @F1@ FAM\n1 HUSB @I9@\n0 TRLR\n", 6, "no person"},
      {"pointer that is none", Head("UTF-8") + "0 @F1@ FAM\n1 WIFE I9\n0 TRLR\n", 6, "does not point"},
      {"twice", Head("UTF-8") + "0 @I1@ INDI\n0 @I1@ INDI\n0 TRLR\n", 6, "used twice"},
      {"no cross-reference", Head("UTF-8") + "0 INDI\n0 TRLR\n", 5, "without a cross-reference"},
      {"continuation at level 0", Head("UTF-8") + "0 CONC x\n0 TRLR\n", 5, "continues nothing"},
      {"continuation off its line", Head("UTF-8") + "0 @I1@ INDI\n1 NAME A\n2 GIVN A\n1 CONC x\n0 TRLR\n", 8,
       "one level below"},
      {"UTF-16 without mark", "0\0 \0H\0"s, 1, "without a byte-order mark"},
      {"UTF-16 odd length", "\xFF\xFE" "0\0 "s, 0, "UTF-16 text is damaged"},
      {"UTF-16 lone surrogate", "\xFF\xFE" "0\0\x00\xD8"s, 0, "UTF-16 text is damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      Read(c.bytes);
      ADD_FAILURE() << "read without complaint";
    } catch (const EGedcomError& error) {
      EXPECT_EQ(error.Line(), c.line);
      const std::string message = error.what();
      EXPECT_TRUE(message.starts_with("GEDCOM file \"test.ged\"")) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
      if (c.line > 0) {
        EXPECT_NE(message.find(", line " + std::to_string(c.line) + ":"), std::string::npos) << message;
      }
    }
  }
}

TEST(GedcomReaderTest, TheFirstLineTellsAGedcomFile) {
  EXPECT_TRUE(TGedcomReader::StartsWithHead("0 HEAD\n1 CHAR ANSEL\n"));
  EXPECT_TRUE(TGedcomReader::StartsWithHead("\xEF\xBB\xBF" "0 HEAD\r\n"));
  EXPECT_TRUE(TGedcomReader::StartsWithHead(Utf16("0 HEAD\n1 CHAR UNICODE\n", false)));
  EXPECT_TRUE(TGedcomReader::StartsWithHead(Utf16("0 HEAD\n", true)));
  EXPECT_TRUE(TGedcomReader::StartsWithHead("0 HEAD"));
  EXPECT_FALSE(TGedcomReader::StartsWithHead(""));
  EXPECT_FALSE(TGedcomReader::StartsWithHead("0 @I1@ INDI\n"));
  EXPECT_FALSE(TGedcomReader::StartsWithHead("1 HEAD\n"));
  EXPECT_FALSE(TGedcomReader::StartsWithHead("People.dat is no text"));
}

}  // namespace
}  // namespace mindrel
