#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <string>

namespace mindrel {

// The small "Help" window: the product and its version, the way into the
// help file, the updater and the maker's web site. A click on the picture,
// the text or the window's background closes it.
class THelpForm : public QDialog {
  Q_OBJECT

 public:
  // exeFolder: the program's folder, ending in '/', where "updater.exe" and
  // "Quorvin.url" live when they are installed.
  explicit THelpForm(std::string exeFolder, QWidget* parent = nullptr);

  QString LabelText() const { return Label1->text(); }
  void BitBtn1Click();
  void UpdateBtnClick();
  void BitBtn3Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const std::string ExeFolder;
  QFrame* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* UpdateBtn = nullptr;
  QPushButton* BitBtn3 = nullptr;
};

}  // namespace mindrel
