#include "app/CalendarExport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AlertNotice.h"

namespace mindrel {
namespace {

TEST(CalendarExport, TextEscapesWhatTheCalendarFormatReserves) {
  const struct {
    std::string text, escaped;
  } cases[] = {
      {"John SMITH is 42 years old today", "John SMITH is 42 years old today"},
      {"a;b,c\\d", "a\\;b\\,c\\\\d"},
      {"line one\nline two\r\nthree\rfour", "line one\\nline two\\nthree\\nfour"},
      {"bell\x07 and tab\t, delete\x7F", "bell and tab\t\\, delete"},
      {"Zoë Müller", "Zoë Müller"},
  };
  for (const auto& c : cases) EXPECT_EQ(TCalendarExport::EscapeText(c.text), c.escaped) << c.text;
}

// Undoes the folding: every CRLF followed by one blank goes.
std::string Unfold(const std::string& folded) {
  std::string line;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (folded.compare(i, 3, "\r\n ") == 0) {
      i += 2;
    } else {
      line += folded[i];
    }
  }
  return line;
}

TEST(CalendarExport, LongLinesFoldAt75OctetsWithoutSplittingACharacter) {
  const std::string ascii(200, 'a');
  std::string accented = "SUMMARY:";
  for (int i = 0; i < 60; ++i) accented += "é";  // two octets each
  for (const std::string& line :
       {std::string("SUMMARY:short"), std::string(75, 'x'), std::string(76, 'x'), ascii, accented}) {
    const std::string folded = TCalendarExport::ContentLine(line);
    ASSERT_EQ(folded.substr(folded.size() - 2), "\r\n");
    EXPECT_EQ(Unfold(folded), line + "\r\n");
    std::size_t start = 0;
    while (start < folded.size()) {
      const std::size_t end = folded.find("\r\n", start);
      EXPECT_LE(end - start, 75u) << line;
      if (end + 2 < folded.size()) {
        // A continuation never starts inside a UTF-8 character.
        EXPECT_NE(static_cast<unsigned char>(folded[end + 3]) & 0xC0, 0x80) << line;
      }
      start = end + 2;
    }
  }
  EXPECT_EQ(TCalendarExport::ContentLine(std::string(76, 'x')), std::string(75, 'x') + "\r\n x\r\n");
}

TOPObj Alert(std::string folder, std::string kind, int code, int year, int month, int day,
             std::string name = "A") {
  TOPObj entry;
  entry.DBFolder = std::move(folder);
  entry.Kind = std::move(kind);
  entry.Code = code;
  entry.Date = EncodeDate(year, month, day);
  entry.Name = std::move(name);
  return entry;
}

TEST(CalendarExport, UidsNameTheAnniversaryNotTheRun) {
  const TOPObj base = Alert("/trees/a", "P", 17, 2026, 12, 12);
  const std::string uid = TCalendarExport::Uid(base, "Birth");
  EXPECT_EQ(uid.substr(uid.size() - 8), "@mindrel");
  TOPObj renamed = base;
  renamed.Name = "Another spelling";
  renamed.Years = 43;
  EXPECT_EQ(TCalendarExport::Uid(renamed, "birth"), uid) << "same record, event and year";

  const std::vector<std::pair<TOPObj, std::string>> others = {
      {Alert("/trees/b", "P", 17, 2026, 12, 12), "Birth"},
      {Alert("/trees/a", "F", 17, 2026, 12, 12), "Birth"},
      {Alert("/trees/a", "P", 18, 2026, 12, 12), "Birth"},
      {Alert("/trees/a", "P", 17, 2026, 12, 12), "Death"},
      {Alert("/trees/a", "P", 17, 2027, 12, 12), "Birth"},
  };
  for (const auto& [entry, event] : others) EXPECT_NE(TCalendarExport::Uid(entry, event), uid);

  // Added events all have code 0 and no folder: their names and days tell
  // them apart.
  const TOPObj added = Alert("", "AA", 0, 2026, 12, 20, "Club day");
  EXPECT_NE(TCalendarExport::Uid(added, "Added annual"),
            TCalendarExport::Uid(Alert("", "AA", 0, 2026, 12, 20, "Harvest"), "Added annual"));
  EXPECT_NE(TCalendarExport::Uid(added, "Added annual"),
            TCalendarExport::Uid(Alert("", "AA", 0, 2026, 12, 21, "Club day"), "Added annual"));
}

TEST(AlertNotice, ListsTheFirstSentencesAndCountsTheRest) {
  const std::vector<std::string> seven = {"one", "two", "three", "four", "five", "six", "seven"};
  EXPECT_EQ(TAlertNotice::Body({"one"}), "one");
  EXPECT_EQ(TAlertNotice::Body({seven.begin(), seven.begin() + 5}), "one\ntwo\nthree\nfour\nfive");
  EXPECT_EQ(TAlertNotice::Body(seven), "one\ntwo\nthree\nfour\nfive\nand 2 more");
}

}  // namespace
}  // namespace mindrel
