#pragma once

#include <QDialog>
#include <memory>

#include "lists/IgnoreList.h"

class QAction;
class QMenu;

namespace Ui {
class TIgnoreForm;
}

namespace keel {
class TKeelTable;
}

namespace mindrel {

// The ignore list window: the people on the list in one of five orders,
// the events ignored for the current one, widening to all events and
// reinstating. Shown modally from the main window.
class TIgnoreForm : public QDialog {
  Q_OBJECT

 public:
  // `table` is the open "Ignore.dat"; it must outlive the window.
  explicit TIgnoreForm(keel::TKeelTable& table, QWidget* parent = nullptr);
  ~TIgnoreForm() override;

  Ui::TIgnoreForm& ui() { return *ui_; }
  QMenu& PopupMenu1() { return *popup_; }

  void AllBtnClick();
  void ReinstateBtnClick();
  void Reinstateall1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RefreshControls();
  void HeaderControl1SectionClick(int section);

  std::unique_ptr<Ui::TIgnoreForm> ui_;
  TIgnoreList list_;
  QMenu* popup_ = nullptr;
  QAction* ignoreAll_ = nullptr;
  QAction* reinstate_ = nullptr;
  QAction* reinstateAll_ = nullptr;
};

}  // namespace mindrel
