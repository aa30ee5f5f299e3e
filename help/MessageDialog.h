#pragma once

#include <QMessageBox>
#include <QString>
#include <deque>

namespace mindrel {

// Every message box of the program goes through here, so tests can answer
// boxes before they would block (setNextAnswer, one answer per box, in order)
// and read what the last one said (lastText, lastButtons).
class TMessageDialog {
 public:
  enum class Kind { Warning, Error, Information, Confirmation };

  // Lines are joined with line breaks. helpContext 0 means no Help button.
  static QMessageBox::StandardButton show(QWidget* parent, Kind kind, const QStringList& lines,
                                          QMessageBox::StandardButtons buttons, int helpContext = 0);

  static void setNextAnswer(QMessageBox::StandardButton answer) { nextAnswers_.push_back(answer); }
  // Takes back the answers that no message box used; false when all were used.
  static bool takeBackNextAnswer() {
    const bool unused = !nextAnswers_.empty();
    nextAnswers_.clear();
    return unused;
  }
  static QString lastText() { return lastText_; }
  // The buttons the last message offered, Help included.
  static QMessageBox::StandardButtons lastButtons() { return lastButtons_; }

 private:
  static std::deque<QMessageBox::StandardButton> nextAnswers_;
  static QString lastText_;
  static QMessageBox::StandardButtons lastButtons_;
};

}  // namespace mindrel
