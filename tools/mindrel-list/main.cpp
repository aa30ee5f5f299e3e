// mindrel-list: Mindrel's terminal face. Starts like the program does (data
// folder, own tables, settings, folder validation), scans with the same
// options, and prints one line per alert: the date in the "DateFormat" of the
// settings, a tab, the sentence, then for an anniversary missed since the
// list was last shown a tab and "missed", and for a jubilee a tab and
// "jubilee"; or, with --ical, the same alerts as an iCalendar document. It
// never records that the list was shown. --home CODE takes the person of that
// code as the home person of the first source for this run alone.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "app/AlertSession.h"
#include "app/CalendarExport.h"
#include "app/DateFormatter.h"
#include "app/EnglishNames.h"
#include "app/FolderSettingsHost.h"
#include "app/SettingsFile.h"
#include "app/StartupIntegration.h"
#include "engine/core/ErrorCodes.h"
#include "formats/EntryFormatter.h"
#include "platform/Folders.h"

namespace {

using namespace mindrel;

constexpr int kExitUsage = 64;
constexpr int kExitNoFolder = 1;
constexpr int kExitEngineError = 2;

struct Arguments {
  std::string dataFolder;
  bool calendar = false;
  std::optional<std::int32_t> home;
  std::unique_ptr<Clock> clock = std::make_unique<SystemClock>();
};

bool ParseArguments(int argc, char* argv[], Arguments& arguments) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--ical") {
      arguments.calendar = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (option == "--today") {
      CivilDate today;
      if (!ParseIsoDate(value, today)) return false;
      arguments.clock = std::make_unique<FixedClock>(today);
    } else if (option == "--data-dir") {
      arguments.dataFolder = WithTrailingSeparator(value);
    } else if (option == "--home") {
      std::int32_t code = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), code);
      if (value.empty() || error != std::errc() || end != value.data() + value.size()) return false;
      arguments.home = code;
    } else {
      return false;
    }
  }
  return true;
}

void PrintAlerts(const TAlertList& alerts, const TSettings& settings, const TEventFormats& formats,
                 const Clock& clock, bool calendar) {
  std::vector<std::string> eventItems;
  for (const TEventItem& item : settings.EventItems) eventItems.push_back(item.Text);
  const TEntryFormatter formatter(formats, clock);
  if (calendar) {
    std::cout << TCalendarExport::Document(alerts, formatter, eventItems, std::chrono::system_clock::now());
    std::cout.flush();
    return;
  }
  const TEnglishNames names;
  const TDateFormatter dates(names);
  for (int i = 0; i < alerts.Count(); ++i) {
    const TOPObj& entry = alerts.Entry(i);
    std::cout << dates.FormatDateTime(settings.DateFormat, entry.Date) << '\t'
              << formatter.FormatEntry(entry, false, eventItems) << (entry.Missed ? "\tmissed" : "")
              << (entry.Jubilee ? "\tjubilee\n" : "\n");
  }
  std::cout.flush();
}

}  // namespace

int main(int argc, char* argv[]) {
  Arguments arguments;
  if (!ParseArguments(argc, argv, arguments)) {
    std::cerr << "usage: mindrel-list [--today YYYY-MM-DD] [--data-dir DIR] [--home CODE] [--ical]\n";
    return kExitUsage;
  }
  std::string dataFolder = arguments.dataFolder.empty() ? GetDataFolder() : arguments.dataFolder;
  if (!ForceDirectories(dataFolder)) {
    std::cerr << "Unable to create directory\n";
    return kExitNoFolder;
  }

  TAlertSession session;
  TSettings settings;
  TEventFormats formats;
  TAlertList alerts;
  try {
    session.Initialize(dataFolder);
    for (const std::string& message : session.OwnTableMessages()) std::cerr << message << '\n';
    TFolderSettingsHost host(1 << 20, 1 << 20);
    // Listing alerts leaves the log-on start alone: an integration without an
    // autostart folder registers nothing.
    TStartupIntegration startup(TAutostart(std::string()), ExeFolder(), nullptr, nullptr);
    TSettingsFile settingsFile(dataFolder + "Mindrel.INI");
    settingsFile.ReadINIFile(settings, formats, host, startup);
    for (const std::string& problem : settingsFile.Problems()) std::cerr << problem << '\n';
    for (const std::string& problem : host.Problems()) std::cerr << problem << '\n';
    if (settings.Folders.empty()) {
      std::cerr << "No valid databases selected.\n";
      return kExitNoFolder;
    }
    if (arguments.home) settings.HomePeople[settings.Folders.front()] = *arguments.home;
    for (const std::string& problem :
         session.RefreshOutputList(TScanOptions::From(settings, formats), *arguments.clock, alerts)) {
      std::cerr << problem << '\n';
    }
  } catch (const std::exception& error) {
    PrintAlerts(alerts, settings, formats, *arguments.clock, arguments.calendar);
    std::cerr << error.what() << '\n';
    return kExitEngineError;
  }
  PrintAlerts(alerts, settings, formats, *arguments.clock, arguments.calendar);
  return 0;
}
