#include <cstdlib>
#include <exception>
#include <memory>

#include "app/MainForm.h"
#include "app/MindrelApplication.h"
#include "engine/components/DatabaseError.h"
#include "platform/Clock.h"
#include "platform/Folders.h"

namespace {

// MINDREL_TODAY=YYYY-MM-DD fixes the day the program takes for today, so a
// demonstration or a test sees the same alerts on any day.
std::unique_ptr<mindrel::Clock> MakeClock() {
  mindrel::CivilDate today;
  if (const char* fixed = std::getenv("MINDREL_TODAY"); fixed && mindrel::ParseIsoDate(fixed, today)) {
    return std::make_unique<mindrel::FixedClock>(today);
  }
  return std::make_unique<mindrel::SystemClock>();
}

}  // namespace

int main(int argc, char* argv[]) {
  mindrel::TMindrelApplication application(argc, argv);
  const std::unique_ptr<mindrel::Clock> clock = MakeClock();
  try {
    mindrel::TMainForm mainForm(mindrel::ExeFolder(), *clock);
    mainForm.InitializeForm(application.arguments());
    mainForm.Button1Click();
    if (!mainForm.FinishStart()) return 0;
    if (!mainForm.HiddenAtStart()) mainForm.show();
    return application.exec();
  } catch (const keel::EAbort&) {
    return 1;
  } catch (const std::exception& error) {
    mindrel::TMindrelApplication::ShowError(QString::fromStdString(error.what()));
    return 1;
  }
}
