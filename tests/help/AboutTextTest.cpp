#include "help/AboutText.h"

#include <gtest/gtest.h>

namespace mindrel {
namespace {

TEST(AboutText, ProductLineIsReadableAndNotStoredAsPlainText) {
  EXPECT_EQ(ProductLine(), "Mindrel - the anniversary reminder for family historians");
}

TEST(AboutText, VersionDigitsAreSeparatedByPoints) {
  EXPECT_EQ(VersionLine(kProgramVersion), "Version: 1.2.3");
  EXPECT_EQ(VersionLine(7), "Version: 7");
  EXPECT_EQ(VersionLine(1040), "Version: 1.0.4.0");
}

TEST(AboutText, ShortcutUrlIsTheValueOfTheUrlLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"[InternetShortcut]\r\nURL=https://example.org/mindrel\r\n", "https://example.org/mindrel"},
      {"[InternetShortcut]\nIconIndex=0\n  url= https://example.org/a b \n", "https://example.org/a b"},
      {"[InternetShortcut]\nURLX=https://no\nURL=https://yes\nURL=https://second\n", "https://yes"},
      {"[InternetShortcut]\nIconIndex=0\n", ""},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ShortcutUrl(text), expected) << text;
}

}  // namespace
}  // namespace mindrel
