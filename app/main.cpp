#include <QApplication>

#include "app/MainForm.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  mindrel::TMainForm mainForm;
  mainForm.show();
  return application.exec();
}
