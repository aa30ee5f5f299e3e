#include "app/Jubilees.h"

#include <gtest/gtest.h>

#include "app/AlertList.h"
#include "app/AlertNotice.h"

namespace mindrel {
namespace {

TOPObj Entry(int eventIndex, int years, const std::string& kind = "P", bool yearUnknown = false) {
  TOPObj entry;
  entry.EventIndex = static_cast<std::uint8_t>(eventIndex);
  entry.Years = years;
  entry.Kind = kind;
  entry.YearUnknown = yearUnknown;
  return entry;
}

TEST(JubileesTest, TheBuiltInNumbersOfEachKind) {
  const TJubilees jubilees;
  struct Case {
    TOPObj entry;
    bool jubilee;
  } const cases[] = {
      {Entry(kBirth, 18), true},           {Entry(kBirth, 21), true},
      {Entry(kBirth, 65), true},           {Entry(kBirth, 100), true},
      {Entry(kBirth, 25), false},          {Entry(kBirth, 110), false},
      {Entry(kMarriage, 10, "F"), true},   {Entry(kMarriage, 25, "F"), true},
      {Entry(kMarriage, 65, "F"), true},   {Entry(kMarriage, 30, "F"), false},
      {Entry(kMarriage, 100, "F"), false}, {Entry(kDeath, 25), true},
      {Entry(kDeath, 150), true},          {Entry(kDeath, 40), false},
      {Entry(kDivorce, 50, "F"), true},    {Entry(kYahrzeit, 75), true},
      {Entry(kAddedFixed, 50, "AF"), true}, {Entry(8, 100), true},  // a date column of the user's own
      // No count, no jubilee: a year nobody recorded, an annual event.
      {Entry(kBirth, 50, "P", true), false}, {Entry(kAddedAnnual, 2025, "AA"), false},
      {Entry(kAddedAnnual, 2000, "AA"), false}, {Entry(kDeath, 0), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jubilees.Holds(c.entry), c.jubilee) << "event " << int{c.entry.EventIndex} << ", " << c.entry.Years;
  }
}

TEST(JubileesTest, TheUsersListsAndWhatIsNoList) {
  TJubilees jubilees;
  EXPECT_TRUE(jubilees.SetText(TJubilees::kBirthdays, " 1,2  *10 "));
  EXPECT_EQ(jubilees.Text(TJubilees::kBirthdays), " 1,2  *10 ");
  for (const int years : {1, 2, 10, 30}) EXPECT_TRUE(jubilees.Holds(Entry(kBirth, years))) << years;
  for (const int years : {3, 18, 25}) EXPECT_FALSE(jubilees.Holds(Entry(kBirth, years))) << years;
  EXPECT_TRUE(jubilees.SetText(TJubilees::kOtherEvents, ""));
  EXPECT_FALSE(jubilees.Holds(Entry(kDeath, 50))) << "an empty list has no jubilees";

  for (const char* wrong : {"18, x", "0", "*", "*0", "10000", "18,-21", "18;21", "1e2"}) {
    EXPECT_FALSE(jubilees.SetText(TJubilees::kWeddings, wrong)) << wrong;
    EXPECT_EQ(jubilees.Text(TJubilees::kWeddings), TJubilees::DefaultText(TJubilees::kWeddings)) << wrong;
  }
  EXPECT_TRUE(jubilees.Holds(Entry(kMarriage, 25, "F")));
}

TEST(JubileesTest, TheNotificationNamesJubileesFirst) {
  struct Source : TEntrySource {
    std::string StringField(const std::string& name) const override { return name == "Description" ? "x" : ""; }
  } const source;
  TAlertList alerts;
  TLAObj day;
  day.Year = 2026;
  for (const int years : {49, 50, 7, 100, 3}) {
    TEventFacts facts;
    facts.EventName = std::to_string(years);
    alerts.AddCountedAlert(kAddedFixed, years, day, 0, "", "AF", source, "=", facts);
  }
  alerts.MarkJubilees(TJubilees());
  const auto sentences =
      TAlertNotice::Sentences(alerts, [](const TOPObj& entry) { return entry.EventName; });
  EXPECT_EQ(sentences, (std::vector<std::string>{"50", "100", "49", "7", "3"}));
}

}  // namespace
}  // namespace mindrel
