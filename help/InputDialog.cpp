#include "help/InputDialog.h"

#include <QInputDialog>

namespace mindrel {

std::deque<TInputDialog::Answer> TInputDialog::nextAnswers_;
QString TInputDialog::lastProposed_;

bool TInputDialog::ask(QWidget* parent, const QString& caption, const QString& prompt, const QString& proposed,
                       QString& text) {
  lastProposed_ = proposed;
  if (!nextAnswers_.empty()) {
    const Answer answer = nextAnswers_.front();
    nextAnswers_.pop_front();
    text = answer.text;
    return answer.confirmed;
  }
  bool confirmed = false;
  text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, proposed, &confirmed);
  return confirmed;
}

}  // namespace mindrel
