#pragma once

#include <QDialog>
#include <QLineEdit>
#include <array>

#include "app/Jubilees.h"

namespace mindrel {

// The numbers of the jubilees, edited as three lists: birthdays, wedding
// anniversaries and every other event. OK takes them only when each is a
// list of numbers; otherwise it names the list at fault, which keeps the
// focus, and the window stays open.
class TJubileesForm : public QDialog {
  Q_OBJECT

 public:
  explicit TJubileesForm(QWidget* parent = nullptr);

  // Shows the lists of `jubilees` modally; on OK they replace them (true).
  bool Execute(TJubilees& jubilees);

  QLineEdit& ListEdit(TJubilees::Kind kind) { return *listEdits_[kind]; }
  void OkBtnClick();
  void DefaultBtnClick();

 private:
  std::array<QLineEdit*, TJubilees::kKinds> listEdits_{};
  TJubilees edited_;
};

}  // namespace mindrel
