// From start to the painted alert list, with the program's own window, over a
// made-up tree of 10,000 people (default settings, 30 days): the window made,
// the settings read, the folder scanned, the list filled and painted, as the
// program's main does it. The scan alone, through the same session, is
// measured in the same process for comparison. Each is the median of five.
//
// Run: build/bin/bench_window [--people N]   (offscreen unless DISPLAY is set)

#include <QApplication>
#include <QListWidget>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/AlertSession.h"
#include "app/MainForm.h"
#include "app/Settings.h"
#include "formats/EventFormats.h"
#include "platform/Folders.h"
#include "tools/mktree/TreeGenerator.h"
#include "tools/mktree/TreeWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace mindrel;

constexpr CivilDate kToday{2026, 12, 10};
constexpr int kRuns = 5;

double MedianMilliseconds(const std::function<void()>& work) {
  std::vector<double> runs;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    work();
    runs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

int PeopleWanted(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--people") == 0) return std::atoi(argv[i + 1]);
  }
  return 10'000;
}

// The window as main starts it, shown and painted; answers the alerts listed.
int StartWindow(const Clock& clock) {
  TMainForm form(ExeFolder(), clock);
  form.InitializeForm(QApplication::arguments());
  form.Button1Click();
  if (!form.FinishStart()) return -1;
  form.show();
  QApplication::processEvents();
  auto* list = form.findChild<QListWidget*>(QStringLiteral("OutputList"));
  const QPixmap painted = list->grab();
  return painted.isNull() ? -1 : list->count();
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char pattern[] = "/tmp/bench-window-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  const fs::path tree = root / "tree";
  const fs::path data = root / "data";
  fs::create_directories(tree);
  fs::create_directories(data);
  const int people = PeopleWanted(argc, argv);
  const FixedClock clock(kToday);
  TTreeWriter(tree.string(), clock).Write(TTreeGenerator({people, 1, kToday}).Generate(), false);
  std::ofstream(data / "Mindrel.INI") << "[Prefs]\nNDBs=1\nDB0=\"" << tree.string() << "/\"\n";
  setenv("MINDREL_DATA_DIR", data.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  setenv("WINEPREFIX", (root / "no-wine").c_str(), 1);

  QApplication application(argc, argv);
  int listed = 0;
  const double window = MedianMilliseconds([&] { listed = StartWindow(clock); });

  TAlertSession session;
  session.Initialize(data.string() + "/");
  TSettings settings;
  for (int index : {0, 1, 4, 5}) settings.EventItems[static_cast<std::size_t>(index)].Ticked = true;
  TScanOptions options = TScanOptions::From(settings, TEventFormats());
  options.Folders = {tree.string() + "/"};
  TAlertList alerts;
  const double scan = MedianMilliseconds([&] { session.RefreshOutputList(options, clock, alerts); });

  std::printf("%d people: start to painted list %.1f ms (%d alerts listed); the scan alone %.1f ms (%d alerts)\n",
              people, window, listed, scan, alerts.Count());
  fs::remove_all(root);
  return listed == alerts.Count() ? 0 : 1;
}
