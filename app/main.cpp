#include <QApplication>

#include "app/MainForm.h"
#include "platform/Folders.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  mindrel::TMainForm mainForm(mindrel::ExeFolder(), mindrel::SystemClock::instance());
  mainForm.show();
  return application.exec();
}
