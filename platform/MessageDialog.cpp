#include "platform/MessageDialog.h"

namespace mindrel {

std::optional<QMessageBox::StandardButton> TMessageDialog::nextAnswer_;
QString TMessageDialog::lastText_;

QMessageBox::StandardButton TMessageDialog::show(QWidget* parent, Kind kind, const QStringList& lines,
                                                 QMessageBox::StandardButtons buttons, int helpContext) {
  lastText_ = lines.join(QLatin1Char('\n'));
  if (nextAnswer_) {
    const auto answer = *nextAnswer_;
    nextAnswer_.reset();
    return answer;
  }
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                 QMessageBox::Information, QMessageBox::Question};
  if (helpContext != 0) buttons |= QMessageBox::Help;
  QMessageBox box(kIcons[static_cast<int>(kind)], QStringLiteral("Mindrel"), lastText_, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setProperty("helpContext", helpContext);
  for (;;) {
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    // The Help button shows the topic and leaves the question open.
    if (answer != QMessageBox::Help) return answer;
  }
}

}  // namespace mindrel
