#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kinship/HomeKinship.h"
#include "app/Jubilees.h"

namespace mindrel {

// A colour as a 0x00BBGGRR value: low byte red, then green, then blue.
using TColor = std::uint32_t;

struct TFontSettings {
  std::string Name = "Arial";
  int Size = 10;        // points
  TColor Colour = 128;  // dark red
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikeout = false;
  int Script = 1;  // character set number; 1 is the default set
  bool operator==(const TFontSettings&) const = default;
};

// One item of the main window's event list.
struct TEventItem {
  std::string Text;
  bool Ticked = false;
  bool operator==(const TEventItem&) const = default;
};

// Where a 29 February anniversary goes in a common year.
enum class TLeapDay : int { Feb28, Mar1, LeapYearsOnly };

// The main window's options as the settings file stores them, starting at
// the window's design values. The event formats are kept apart (they belong
// to the format editor).
struct TSettings {
  static constexpr int kFixedEventItems = 7;
  static constexpr int kMaxLookAheadDays = 365;
  // First cousins are blood relatives of the fourth degree.
  static constexpr int kDefaultDegrees = 4;
  static constexpr int kMaxDegrees = 99;
  static constexpr int kMinMaxAge = 1;
  static constexpr int kMaxMaxAge = 200;

  TSettings();

  int Left = 185;
  int Top = 112;
  int Width = 552;
  int Height = 470;  // without the options panel

  std::vector<std::string> Folders;  // database folders, in scan order
  // The home person of a source: the code of the person the relationships
  // are told to, by the source's path as Folders holds it.
  std::map<std::string, std::int32_t> HomePeople;
  // "Limit the list to my family".
  TFamilyLimit Limit = TFamilyLimit::AllPeople;
  int Degrees = kDefaultDegrees;  // of blood relatives, with BloodRelatives

  bool Alive = true;     // "&Only living people"
  int Days = 30;         // look-ahead days, 0..365
  bool Exclude = true;   // "E&xclude the Ignore List"
  bool Audio = true;     // "&Play alert sound"
  bool Partial = false;  // "&Include partial dates"
  // Anyone whose birth (or, lacking a birth date, earliest dated event) lies
  // more than this many years back counts as dead.
  int MaxAge = 110;
  // No wedding anniversary is announced after the couple's divorce.
  bool NoWeddingAfterDivorce = true;
  TLeapDay LeapDay = TLeapDay::Feb28;
  bool Start = true;     // "&Check at system startup"
  // "Show &window at startup": a log-on start that finds alerts shows the
  // window at once; otherwise only the sound and the desktop notification,
  // whose action shows it.
  bool ShowWindow = true;
  // "Mark &jubilees": round anniversaries stand out in the list and come
  // first in the log-on notification.
  bool MarkJubilees = true;
  TJubilees Jubilees;
  // "While &you were away": a start also lists what fell on the days since
  // the list was last shown (LastShown, "YYYY-MM-DD"; empty before the first).
  bool WhileAway = true;
  std::string LastShown;
  std::string DateFormat = "ddd d mmm";
  bool Hints = true;
  TColor Color1 = 0xD9F9FF;
  TColor Color2 = 0xA3F1FF;
  std::vector<std::string> CustColors;  // the colour dialog's "name=value" lines
  TFontSettings Font;

  // "Birth", "Marriage", "Divorce", "Death", "Added fixed", "Added annual",
  // "Yahrzeit", then the custom date columns of the folders.
  std::vector<TEventItem> EventItems;

  // Replaces the custom items (6 and on) by `columns` in their order,
  // leaving out names already in the list (compared without regard to case);
  // a column that was there before keeps its tick.
  void SetCustomColumns(const std::vector<std::string>& columns);
  // Index of the first item whose text equals `text` exactly; -1 if none.
  int FindEventItem(const std::string& text) const;
  // Sets the value of the custom colour line named `key` (compared without
  // regard to case), or appends a line; every other line stays as it is.
  void SetCustColor(const std::string& key, const std::string& value);

  bool operator==(const TSettings&) const = default;
};

}  // namespace mindrel
