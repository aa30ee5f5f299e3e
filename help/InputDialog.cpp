#include "help/InputDialog.h"

#include <QInputDialog>

namespace mindrel {

std::deque<std::optional<QString>> TInputDialog::nextAnswers_;
QString TInputDialog::lastProposed_;

std::optional<QString> TInputDialog::ask(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& proposed) {
  lastProposed_ = proposed;
  if (!nextAnswers_.empty()) {
    std::optional<QString> answer = nextAnswers_.front();
    nextAnswers_.pop_front();
    return answer;
  }
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, proposed, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace mindrel
