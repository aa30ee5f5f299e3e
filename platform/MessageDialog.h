#pragma once

#include <QMessageBox>
#include <QString>
#include <optional>
#include <utility>

namespace mindrel {

// Every message box of the program goes through here, so tests can answer one
// before it would block (setNextAnswer) and read what it said (lastText).
class TMessageDialog {
 public:
  enum class Kind { Warning, Error, Information, Confirmation };

  // Lines are joined with line breaks. helpContext 0 means no Help button.
  static QMessageBox::StandardButton show(QWidget* parent, Kind kind, const QStringList& lines,
                                          QMessageBox::StandardButtons buttons, int helpContext = 0);

  static void setNextAnswer(QMessageBox::StandardButton answer) { nextAnswer_ = answer; }
  // Takes back an answer that no message box used; false when one used it.
  static bool takeBackNextAnswer() { return std::exchange(nextAnswer_, std::nullopt).has_value(); }
  static QString lastText() { return lastText_; }

 private:
  static std::optional<QMessageBox::StandardButton> nextAnswer_;
  static QString lastText_;
};

}  // namespace mindrel
