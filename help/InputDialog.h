#pragma once

#include <QString>
#include <deque>

class QWidget;

namespace mindrel {

// Every input box of the program goes through here, so tests can answer
// boxes before they would block (setNextAnswer, setNextCancel, in order) and
// see what the last box proposed.
class TInputDialog {
 public:
  // The text the user confirmed goes to `text`; false when the box was
  // cancelled.
  static bool ask(QWidget* parent, const QString& caption, const QString& prompt, const QString& proposed,
                  QString& text);

  static void setNextAnswer(const QString& text) { nextAnswers_.push_back({true, text}); }
  static void setNextCancel() { nextAnswers_.push_back({false, {}}); }
  // Takes back the answers that no box used; false when all were used.
  static bool takeBackNextAnswers() {
    const bool unused = !nextAnswers_.empty();
    nextAnswers_.clear();
    return unused;
  }
  static QString lastProposed() { return lastProposed_; }

 private:
  struct Answer {
    bool confirmed;
    QString text;
  };
  static std::deque<Answer> nextAnswers_;
  static QString lastProposed_;
};

}  // namespace mindrel
