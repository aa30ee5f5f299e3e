#pragma once

#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/SettingsHost.h"
#include "app/StartupIntegration.h"
#include "formats/EventFormats.h"
#include "platform/ProfileFile.h"

namespace mindrel {

// "Mindrel.INI": read once when the program starts, written once when the
// main window closes. Keys the program does not know stay in the file.
class TSettingsFile {
 public:
  explicit TSettingsFile(std::string path) : path_(std::move(path)) {}

  // Applies the file to `settings` and `formats`; a missing or unreadable
  // file gives the defaults. The values already in `settings` stand for the
  // window's current geometry. Validates each folder and brings the log-on
  // start entry in line with the "Start" option (unticking it when that
  // fails), all silently: `startup` is loading for the whole run. What of
  // the file could not be used is left in Problems().
  void ReadINIFile(TSettings& settings, TEventFormats& formats, TSettingsHost& host, TStartupIntegration& startup);
  // The last ReadINIFile's messages naming the file and what of it was not
  // used: a file that is no UTF-8 text or holds no settings, event types it
  // ticks that do not exist.
  const std::vector<std::string>& Problems() const { return problems_; }
  // Writes every key in its fixed order. False when the file could not be
  // written (not reported to the user).
  bool WriteINIFile(const TSettings& settings, const TEventFormats& formats) const;
  // Records the day the list was last shown ("YYYY-MM-DD") on its own, for
  // a log-on start that shows only its notification and so never writes the
  // whole file. False when the file could not be written.
  bool WriteLastShown(const std::string& day) const;

  // "yes" or "no"; on reading only "yes" (any case) is true.
  static bool ReadYesNo(const TProfileFile& file, const std::string& section, const std::string& key,
                        bool defaultValue);
  static void WriteYesNo(TProfileFile& file, const std::string& section, const std::string& key, bool value);
  // "Name", "Size" (points), "Colour", "Style" (a comma-separated list of
  // "Bold", "Italic", "Underline", "Strikeout"; other pieces are ignored),
  // "Script".
  static TFontSettings ReadFont(const TProfileFile& file, const std::string& section, const std::string& defaultName,
                                int defaultSize, TColor defaultColour,
                                const std::string& defaultStyle);
  static void WriteFont(TProfileFile& file, const TFontSettings& font, const std::string& section);

 private:
  static void ReadFolders(const TProfileFile& file, TSettings& settings, TSettingsHost& host);
  static void ReadWindow(const TProfileFile& file, TSettings& settings, TSettingsHost& host);
  void ReadTicks(const TProfileFile& file, TSettings& settings);
  static void ReadJubilees(const TProfileFile& file, TJubilees& jubilees);
  // A file that exists but is no settings file Mindrel can read.
  void CheckReadable(const TProfileFile& file);
  void Problem(const std::string& what);

  std::string path_;
  std::vector<std::string> problems_;
};

}  // namespace mindrel
