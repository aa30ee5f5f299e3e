#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "app/PersonDirectory.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mindrel {

// "Set home person": finds a person of one source by name as one types
// (surname and first names, birth year shown) and makes them the home
// person the sentences tell relationships to, or sets none.
class THomePersonForm : public QDialog {
  Q_OBJECT

 public:
  // Shows at most this many people; typing more narrows the list.
  static constexpr std::size_t kMaxShown = 1000;

  explicit THomePersonForm(QWidget* parent = nullptr);

  // Lists the people of `directory` (which must outlive the call), the
  // current home person selected; modal. Accepted when a person was chosen
  // or "No home person" pressed.
  int Execute(const QString& sourceName, const TPersonDirectory& directory, std::optional<std::int32_t> current);
  // After an accepted Execute: the code chosen; nothing for no home person.
  std::optional<std::int32_t> Chosen() const { return chosen_; }

  QLineEdit& FindEdit() { return *findEdit_; }
  QListWidget& PeopleList() { return *peopleList_; }
  QPushButton& OkButton() { return *okButton_; }
  QPushButton& NoHomeButton() { return *noHomeButton_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowMatches();
  void Choose();
  void ChooseNobody();

  const TPersonDirectory* directory_ = nullptr;
  std::optional<std::int32_t> current_;
  std::optional<std::int32_t> chosen_;
  QLabel* sourceLabel_ = nullptr;
  QLineEdit* findEdit_ = nullptr;
  QListWidget* peopleList_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* noHomeButton_ = nullptr;
};

}  // namespace mindrel
