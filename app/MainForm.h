#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

namespace Ui {
class TMainForm;
}

namespace mindrel {

// Mindrel's main window: tool bar, alert list and the options panel that
// slides open below the list.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // exeFolder: the program's folder, ending in '/'; pictures and icons come from there.
  explicit TMainForm(std::string exeFolder, QWidget* parent = nullptr);
  ~TMainForm() override;

  Ui::TMainForm& ui() { return *ui_; }
  bool animating() const { return OptionsTimer.isActive(); }
  int toolBarHeight() const;
  int alertListHeight() const;
  int panelHeight() const;

  // "Mindrel for today", "... today and tomorrow", "... next n days".
  static QString CaptionFor(int lookAhead);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadButtonPictures();
  void Options1Click(bool down);
  void OptionsTimerTimer();
  void FormResize();
  void LookAheadSpinChange();
  void ColorPanelClick(QWidget* panel);
  void ColorPanelDblClick(QWidget* panel);
  void FontPanelDblClick();
  void PlacePanel();

  std::unique_ptr<Ui::TMainForm> ui_;
  const std::string ExeFolder;
  QTimer OptionsTimer;
  bool Opening = false;
  int TargetHeight = 0;
  // Which edges the options panel follows when the window is resized.
  bool panelFollowsBottom_ = false;
};

}  // namespace mindrel
