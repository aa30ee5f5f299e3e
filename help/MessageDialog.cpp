#include "help/MessageDialog.h"

#include "help/conHTMLHelp.h"

namespace mindrel {

std::deque<QMessageBox::StandardButton> TMessageDialog::nextAnswers_;
QString TMessageDialog::lastText_;
QMessageBox::StandardButtons TMessageDialog::lastButtons_;

QMessageBox::StandardButton TMessageDialog::show(QWidget* parent, Kind kind, const QStringList& lines,
                                                 QMessageBox::StandardButtons buttons, int helpContext) {
  lastText_ = lines.join(QLatin1Char('\n'));
  if (helpContext != 0) buttons |= QMessageBox::Help;
  lastButtons_ = buttons;
  if (!nextAnswers_.empty()) {
    const auto answer = nextAnswers_.front();
    nextAnswers_.pop_front();
    return answer;
  }
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                 QMessageBox::Information, QMessageBox::Question};
  QMessageBox box(kIcons[static_cast<int>(kind)], QStringLiteral("Mindrel"), lastText_, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setProperty("helpContext", helpContext);
  for (;;) {
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    // The Help button shows the topic and leaves the question open.
    if (answer != QMessageBox::Help) return answer;
    TconHTMLHelp::ShowContext(helpContext);
  }
}

}  // namespace mindrel
