#include "app/SettingsFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>

#include "formats/Utf8Text.h"

namespace mindrel {

namespace {

// A folder count or tick count that was never written.
constexpr int kNeverWritten = -1;
constexpr const char* kMissingFolder = "#*#*";
constexpr const char* kMissingField = "#";
constexpr std::size_t kMaxCustomColourValue = 255;

const char* const kStyleNames[] = {"Bold", "Italic", "Underline", "Strikeout"};
// The keys of the jubilee numbers, in the order of TJubilees::Kind.
const char* const kJubileeKeys[] = {"Birth", "Marriage", "Other"};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

int ReadColour(const TProfileFile& file, const char* section, const char* key, TColor defaultValue) {
  return file.ReadInteger(section, key, static_cast<int>(defaultValue));
}

// A count read from the file, bounded by the keys its section can hold, so a
// hand-edited count cannot make the program read billions of missing keys.
// One more than the section's lines still reaches the default of a missing key.
int BoundedCount(const TProfileFile& file, const char* section, int count) {
  const int lines = static_cast<int>(file.ReadSectionValues(section).size());
  return std::min(count, lines + 1);
}

// The flag of the style named exactly so (case and blanks included), or null.
bool* StyleFlag(TFontSettings& font, const std::string& name) {
  if (name == kStyleNames[0]) return &font.Bold;
  if (name == kStyleNames[1]) return &font.Italic;
  if (name == kStyleNames[2]) return &font.Underline;
  if (name == kStyleNames[3]) return &font.Strikeout;
  return nullptr;
}

// The family limit as the file writes it.
constexpr std::pair<TFamilyLimit, const char*> kLimitNames[] = {
    {TFamilyLimit::AllPeople, "all"}, {TFamilyLimit::Relatives, "relatives"}, {TFamilyLimit::BloodRelatives, "blood"}};

TFamilyLimit ReadLimit(const TProfileFile& file) {
  const std::string text = LowerCase(file.ReadString("Prefs", "Limit", "all"));
  for (const auto& [limit, name] : kLimitNames) {
    if (text == name) return limit;
  }
  return TFamilyLimit::AllPeople;
}

const char* LimitName(TFamilyLimit limit) {
  for (const auto& [known, name] : kLimitNames) {
    if (known == limit) return name;
  }
  return "all";
}

// "Home<n>": the code of the home person of source n; none when missing or
// no whole number.
std::optional<std::int32_t> ReadHome(const TProfileFile& file, int n) {
  const std::string text = Trim(file.ReadString("Prefs", Numbered("Home", n), ""));
  std::int32_t code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return code;
}

// Removes every "Home<n>" key, so that a source that lost its home person,
// or a number now given to another source, keeps none.
void EraseHomes(TProfileFile& file) {
  for (const std::string& line : file.ReadSectionValues("Prefs")) {
    const std::string key = Trim(line.substr(0, line.find('=')));
    if (key.size() > 4 && SameText(key.substr(0, 4), "Home") &&
        key.find_first_not_of("0123456789", 4) == std::string::npos) {
      file.DeleteKey("Prefs", key);
    }
  }
}

// One option of the "Prefs" section beyond the design's own keys: its key and
// how it is read and written. The default is the option's initial value in
// TSettings, so a new option is one member there and one line in kAddedPrefs.
struct TAddedPref {
  const char* Key;
  void (*Read)(const TProfileFile& file, const char* key, TSettings& settings);
  void (*Write)(TProfileFile& file, const char* key, const TSettings& settings);
};

const TSettings& Defaults() {
  static const TSettings defaults;
  return defaults;
}

template <bool TSettings::*Member>
TAddedPref YesNoPref(const char* key) {
  return {key,
          [](const TProfileFile& file, const char* name, TSettings& settings) {
            settings.*Member = TSettingsFile::ReadYesNo(file, "Prefs", name, Defaults().*Member);
          },
          [](TProfileFile& file, const char* name, const TSettings& settings) {
            TSettingsFile::WriteYesNo(file, "Prefs", name, settings.*Member);
          }};
}

// An integer (or an enumeration counted from 0) within [low, high]; a value
// outside gives the default.
template <auto Member, int Low, int High>
TAddedPref NumberPref(const char* key) {
  using Value = std::remove_reference_t<decltype(Defaults().*Member)>;
  return {key,
          [](const TProfileFile& file, const char* name, TSettings& settings) {
            const int fallback = static_cast<int>(Defaults().*Member);
            const int value = file.ReadInteger("Prefs", name, fallback);
            settings.*Member = static_cast<Value>(value < Low || value > High ? fallback : value);
          },
          [](TProfileFile& file, const char* name, const TSettings& settings) {
            file.WriteInteger("Prefs", name, static_cast<int>(settings.*Member));
          }};
}

// Read after "Partial", written after "Color2", in this order.
const TAddedPref kAddedPrefs[] = {
    NumberPref<&TSettings::MaxAge, TSettings::kMinMaxAge, TSettings::kMaxMaxAge>("MaxAge"),
    YesNoPref<&TSettings::NoWeddingAfterDivorce>("NoWeddingAfterDivorce"),
    NumberPref<&TSettings::LeapDay, 0, static_cast<int>(TLeapDay::LeapYearsOnly)>("LeapDay"),
};

}  // namespace

bool TSettingsFile::ReadYesNo(const TProfileFile& file, const std::string& section, const std::string& key,
                              bool defaultValue) {
  return LowerCase(file.ReadString(section, key, defaultValue ? "yes" : "no")) == "yes";
}

void TSettingsFile::WriteYesNo(TProfileFile& file, const std::string& section, const std::string& key, bool value) {
  file.WriteString(section, key, value ? "yes" : "no");
}

TFontSettings TSettingsFile::ReadFont(const TProfileFile& file, const std::string& section,
                                      const std::string& defaultName, int defaultSize,
                                      TColor defaultColour, const std::string& defaultStyle) {
  TFontSettings font;
  font.Name = file.ReadString(section, "Name", defaultName);
  font.Size = file.ReadInteger(section, "Size", defaultSize);
  font.Colour = static_cast<TColor>(file.ReadInteger(section, "Colour", static_cast<int>(defaultColour)));
  const std::string style = file.ReadString(section, "Style", defaultStyle);
  std::size_t start = 0;
  while (start <= style.size()) {
    std::size_t comma = style.find(',', start);
    if (comma == std::string::npos) comma = style.size();
    if (bool* flag = StyleFlag(font, style.substr(start, comma - start))) *flag = true;
    start = comma + 1;
  }
  font.Script = file.ReadInteger(section, "Script", 1);
  return font;
}

void TSettingsFile::WriteFont(TProfileFile& file, const TFontSettings& font, const std::string& section) {
  file.WriteString(section, "Name", font.Name);
  file.WriteInteger(section, "Size", font.Size);
  file.WriteInteger(section, "Colour", static_cast<int>(font.Colour));
  const bool styles[] = {font.Bold, font.Italic, font.Underline, font.Strikeout};
  std::string style;
  for (std::size_t i = 0; i < std::size(styles); ++i) {
    if (!styles[i]) continue;
    if (!style.empty()) style += ",";
    style += kStyleNames[i];
  }
  file.WriteString(section, "Style", style);
  file.WriteInteger(section, "Script", font.Script);
}

void TSettingsFile::Problem(const std::string& what) {
  problems_.push_back("The settings file \"" + path_ + "\" " + what);
}

void TSettingsFile::CheckReadable(const TProfileFile& file) {
  std::ifstream raw(path_, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
  if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) return;
  const bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                           (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
  if (utf16) {
    Problem("could not be read: it is written in UTF-16, not in UTF-8. The default settings are used.");
  } else if (bytes.find('\0') != std::string::npos) {
    Problem("could not be read: it is no text. The default settings are used.");
  } else if (file.ReadSectionValues("Prefs").empty()) {
    Problem("could not be read: it holds no [Prefs] section. The default settings are used.");
  }
}

void TSettingsFile::ReadINIFile(TSettings& settings, TEventFormats& formats, TSettingsHost& host,
                                TStartupIntegration& startup) {
  // Loading ends with this call even when a host call throws.
  struct LoadingScope {
    TStartupIntegration& startup;
    explicit LoadingScope(TStartupIntegration& s) : startup(s) { startup.SetLoading(true); }
    ~LoadingScope() { startup.SetLoading(false); }
  } loading(startup);
  const TProfileFile file(path_);
  problems_.clear();
  CheckReadable(file);

  ReadFolders(file, settings, host);
  settings.SetCustomColumns(host.CustomDateColumns(settings.Folders));
  ReadWindow(file, settings, host);

  settings.Alive = ReadYesNo(file, "Prefs", "Alive", true);
  settings.Days = std::clamp(file.ReadInteger("Prefs", "Days", 30), 0, TSettings::kMaxLookAheadDays);
  settings.Exclude = ReadYesNo(file, "Prefs", "Exclude", true);
  settings.Audio = ReadYesNo(file, "Prefs", "Audio", true);
  settings.Partial = ReadYesNo(file, "Prefs", "Partial", false);
  settings.Limit = ReadLimit(file);
  settings.Degrees = std::clamp(file.ReadInteger("Prefs", "Degrees", TSettings::kDefaultDegrees), 1, TSettings::kMaxDegrees);
  for (const TAddedPref& pref : kAddedPrefs) pref.Read(file, pref.Key, settings);
  formats.SetIncludeCodes(ReadYesNo(file, "Prefs", "Codes", false));
  settings.DateFormat = file.ReadString("Prefs", "DateFormat", "ddd d mmm");
  settings.Hints = ReadYesNo(file, "Prefs", "Hints", true);

  settings.Start = ReadYesNo(file, "Prefs", "Start", true);
  startup.AddToStartupMenu(false);
  if (!startup.AddToStartupRegistry(settings.Start)) settings.Start = false;
  settings.ShowWindow = ReadYesNo(file, "Prefs", "ShowWindow", true);
  settings.MarkJubilees = ReadYesNo(file, "Prefs", "Jubilees", true);
  settings.WhileAway = ReadYesNo(file, "Prefs", "WhileAway", true);
  settings.LastShown = file.ReadString("Prefs", "LastShown", "");
  ReadJubilees(file, settings.Jubilees);

  settings.Color1 = static_cast<TColor>(ReadColour(file, "Prefs", "Color1", 0xD9F9FF));
  settings.Color2 = static_cast<TColor>(ReadColour(file, "Prefs", "Color2", 0xA3F1FF));
  settings.CustColors = file.ReadSectionValues("CustColors");
  settings.Font = ReadFont(file, "OPFont", "Arial", 10, 128, "");
  ReadTicks(file, settings);
  formats.ReadSettings(file);
}


void TSettingsFile::ReadFolders(const TProfileFile& file, TSettings& settings, TSettingsHost& host) {
  settings.Folders.clear();
  settings.HomePeople.clear();
  const int count = file.ReadInteger("Prefs", "NDBs", kNeverWritten);
  if (count == kNeverWritten) {
    const std::string folder = host.GetDatabasePath();
    if (host.ValidDatabase(folder)) settings.Folders.push_back(folder);
    return;
  }
  for (int n = 0; n < BoundedCount(file, "Prefs", count); ++n) {
    const std::string folder = file.ReadString("Prefs", Numbered("DB", n), kMissingFolder);
    if (folder == kMissingFolder || !host.ValidDatabase(folder)) continue;
    settings.Folders.push_back(folder);
    if (const auto home = ReadHome(file, n)) settings.HomePeople[folder] = *home;
  }
}

// A list that is no list of numbers leaves the built-in numbers.
void TSettingsFile::ReadJubilees(const TProfileFile& file, TJubilees& jubilees) {
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    const auto jubileeKind = static_cast<TJubilees::Kind>(kind);
    jubilees.SetText(jubileeKind, file.ReadString("Jubilees", kJubileeKeys[kind], TJubilees::DefaultText(jubileeKind)));
  }
}

void TSettingsFile::ReadWindow(const TProfileFile& file, TSettings& settings, TSettingsHost& host) {
  settings.Left = file.ReadInteger("Window", "Left", settings.Left);
  settings.Top = file.ReadInteger("Window", "Top", settings.Top);
  settings.Width = file.ReadInteger("Window", "Width", settings.Width);
  settings.Height = file.ReadInteger("Window", "Height", settings.Height);
  if (std::int64_t{settings.Left} + settings.Width < 0 || settings.Left > host.ScreenWidth()) settings.Left = 0;
  if (settings.Top < 0 || settings.Top > host.ScreenHeight()) settings.Top = 0;
}

void TSettingsFile::ReadTicks(const TProfileFile& file, TSettings& settings) {
  const int count = file.ReadInteger("Fields", "Count", kNeverWritten);
  if (count == kNeverWritten) {
    for (int index : {0, 1, 4, 5}) settings.EventItems[static_cast<std::size_t>(index)].Ticked = true;
    return;
  }
  for (int n = 1; n <= BoundedCount(file, "Fields", count); ++n) {
    const std::string name = file.ReadString("Fields", Numbered("F", n), kMissingField);
    const int item = settings.FindEventItem(name);
    if (item >= 0) {
      settings.EventItems[static_cast<std::size_t>(item)].Ticked = true;
    } else if (name != kMissingField) {
      Problem("ticks the event type \"" + name + "\" ([Fields] " + Numbered("F", n) +
              "), which none of the folders offers; it is left out.");
    }
  }
}

bool TSettingsFile::WriteLastShown(const std::string& day) const {
  TProfileFile file(path_);
  file.WriteString("Prefs", "LastShown", day);
  return file.UpdateFile();
}

bool TSettingsFile::WriteINIFile(const TSettings& settings, const TEventFormats& formats) const {
  TProfileFile file(path_);
  file.WriteInteger("Window", "Left", settings.Left);
  file.WriteInteger("Window", "Top", settings.Top);
  file.WriteInteger("Window", "Width", settings.Width);
  file.WriteInteger("Window", "Height", settings.Height);

  file.WriteInteger("Prefs", "NDBs", static_cast<int>(settings.Folders.size()));
  EraseHomes(file);
  for (std::size_t n = 0; n < settings.Folders.size(); ++n) {
    file.WriteString("Prefs", Numbered("DB", static_cast<int>(n)), Quoted(settings.Folders[n]));
    const auto home = settings.HomePeople.find(settings.Folders[n]);
    if (home != settings.HomePeople.end()) file.WriteInteger("Prefs", Numbered("Home", static_cast<int>(n)), home->second);
  }
  WriteYesNo(file, "Prefs", "Alive", settings.Alive);
  file.WriteInteger("Prefs", "Days", settings.Days);
  WriteYesNo(file, "Prefs", "Exclude", settings.Exclude);
  WriteYesNo(file, "Prefs", "Audio", settings.Audio);
  WriteYesNo(file, "Prefs", "Partial", settings.Partial);
  file.WriteString("Prefs", "Limit", LimitName(settings.Limit));
  file.WriteInteger("Prefs", "Degrees", settings.Degrees);
  WriteYesNo(file, "Prefs", "Start", settings.Start);
  WriteYesNo(file, "Prefs", "ShowWindow", settings.ShowWindow);
  WriteYesNo(file, "Prefs", "Jubilees", settings.MarkJubilees);
  WriteYesNo(file, "Prefs", "WhileAway", settings.WhileAway);
  if (!settings.LastShown.empty()) file.WriteString("Prefs", "LastShown", settings.LastShown);
  WriteYesNo(file, "Prefs", "Codes", formats.IncludeCodes());
  file.WriteString("Prefs", "DateFormat", Quoted(settings.DateFormat));
  WriteYesNo(file, "Prefs", "Hints", settings.Hints);
  file.WriteInteger("Prefs", "Color1", static_cast<int>(settings.Color1));
  file.WriteInteger("Prefs", "Color2", static_cast<int>(settings.Color2));
  for (const TAddedPref& pref : kAddedPrefs) pref.Write(file, pref.Key, settings);

  file.EraseSection("CustColors");
  for (const std::string& line : settings.CustColors) {
    const std::size_t equals = line.find('=', 1);
    if (line.empty() || equals == std::string::npos) continue;
    file.WriteString("CustColors", line.substr(0, equals), LeftChars(line.substr(equals + 1), kMaxCustomColourValue));
  }

  WriteFont(file, settings.Font, "OPFont");
  for (int kind = 0; kind < TJubilees::kKinds; ++kind) {
    file.WriteString("Jubilees", kJubileeKeys[kind], settings.Jubilees.Text(static_cast<TJubilees::Kind>(kind)));
  }

  file.EraseSection("Fields");
  int ticked = 0;
  for (const TEventItem& item : settings.EventItems) {
    if (item.Ticked) file.WriteString("Fields", Numbered("F", ++ticked), item.Text);
  }
  file.WriteInteger("Fields", "Count", ticked);

  formats.WriteSettings(file);
  return file.UpdateFile();
}

}  // namespace mindrel
