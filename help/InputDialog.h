#pragma once

#include <QString>
#include <deque>
#include <optional>

class QWidget;

namespace mindrel {

// Every input box of the program goes through here, so tests can answer
// boxes before they would block (setNextAnswer, in order; no text means
// Cancel) and see what the last box proposed.
class TInputDialog {
 public:
  // The text the user confirmed, or nothing when the box was cancelled.
  static std::optional<QString> ask(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& proposed);

  static void setNextAnswer(std::optional<QString> answer) { nextAnswers_.push_back(std::move(answer)); }
  // Takes back the answers that no box used; false when all were used.
  static bool takeBackNextAnswers() {
    const bool unused = !nextAnswers_.empty();
    nextAnswers_.clear();
    return unused;
  }
  static QString lastProposed() { return lastProposed_; }

 private:
  static std::deque<std::optional<QString>> nextAnswers_;
  static QString lastProposed_;
};

}  // namespace mindrel
