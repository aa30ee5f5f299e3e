#pragma once

#include <QImage>
#include <array>
#include <QListWidgetItem>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AlertList.h"
#include "app/AlertSession.h"
#include "app/StartupIntegration.h"
#include "app/DateFormatter.h"
#include "app/HomePersonForm.h"
#include "app/JubileesForm.h"
#include "app/LocaleNamesQt.h"
#include "app/Settings.h"
#include "formats/EntryFormatter.h"
#include "formats/EventEditorForm.h"
#include "formats/EventFormats.h"
#include "help/ContextHelpQt.h"
#include "help/HelpForm.h"
#include "help/HelpViewerForm.h"
#include "help/SelectFolderForm.h"
#include "help/conHTMLHelp.h"
#include "lists/EventsForm.h"
#include "lists/IgnoreForm.h"
#include "platform/Clock.h"
#include "platform/desktop/DesktopNotifier.h"

namespace Ui {
class TMainForm;
}

namespace mindrel {

// Mindrel's main window: tool bar, alert list and the options panel that
// slides open below the list. The controls hold the options while the
// program runs; TSettings carries them from and to the settings file.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // exeFolder: the program's folder, ending in '/'; pictures, icons and the
  // help collection come from its program files (ProgramFilesFolder). The
  // clock gives "today" for the sentences; it must outlive the window.
  TMainForm(std::string exeFolder, const Clock& clock, QWidget* parent = nullptr);
  ~TMainForm() override;

  Ui::TMainForm& ui() { return *ui_; }
  bool animating() const { return OptionsTimer.isActive(); }
  int toolBarHeight() const;
  int alertListHeight() const;
  int panelHeight() const;
  int DateColWidthPixels() const { return DateColWidth; }

  // "Mindrel for today", "... today and tomorrow", "... next n days".
  static QString CaptionFor(int lookAhead);

  // Finds the program and data folders, applies the settings file and the
  // start-up option. Raises std::runtime_error("Unable to create directory")
  // when the data folder cannot be made.
  void InitializeForm(const QStringList& arguments);
  bool SilentStart() const { return silentStart_; }
  bool HasFolders() const;
  // The refresh command of the tool bar.
  void Button1Click();
  // The end of the start after the first scan: false when a log-on start
  // ("-s") with folders found nothing, and the program ends unseen; otherwise
  // the sound and the desktop notification of a log-on start with alerts, or
  // the options panel of any other start, and true: the program goes on.
  bool FinishStart();
  // After FinishStart: a log-on start whose notification was sent while
  // "Show window at startup" is off waits unseen; the notification's action
  // shows the window, and closing the notification ends the program.
  bool HiddenAtStart() const { return hiddenAtStart_; }
  // The folder the Add command starts its picker in.
  std::string AddStartFolder() const;
  // "Set home person..." of the folder list's menu: the window for the
  // selected source, and its choice kept and shown in the list.
  void SetHomePersonClick();
  THomePersonForm& HomePersonForm() { return *HomePersonForm_; }
  // Adds a picked folder to the list after validating it (warnings as the
  // folder list shows them); false when it was refused.
  bool AddFolder(const std::string& folder);
  // Presses the options button, which opens the options panel.
  void OpenOptions();
  const std::string& IniPath() const { return iniPath_; }

  // Puts the options into the controls and the window geometry.
  void ApplySettings(const TSettings& settings);
  // The options as the controls show them.
  TSettings CollectSettings() const;

  // What OK in the font dialog does with the font it returns.
  void ApplyChosenFont(const QFont& chosen);
  // What OK in the font colour's dialog does with the colour it returns.
  void ApplyChosenFontColour(const QColor& chosen);

  TEventFormats& Formats() { return formats_; }
  TEventEditorForm& EventEditor() { return *EventEditorForm; }
  THelpForm& HelpWindow() { return *HelpForm; }
  TSelectFolderForm& SelectFolder() { return *SelectFolderForm; }
  THelpViewerForm& HelpViewer() { return helpViewer_; }
  TAlertList& Alerts() { return OPList; }
  // Rebuilds the alert list from every folder of the list (the scan). Errors
  // of the table layer reach the caller; the entries found until then stay.
  void RefreshOutputList();
  // Loads the icons of the event list and sets the item height and the date
  // column width from the alert font (done once per scan).
  void RebuildIconsAndMetrics();
  // Shows the alert list's entries, bands set, and the caption for the
  // look-ahead value.
  void ShowAlerts();
  // Names what the scan could not read (GEDCOM files with the line at fault,
  // custom date columns), when there is anything.
  void ShowScanProblems(const std::vector<std::string>& problems);

  // The alert list's context menu, prepared for the selection.
  QMenu& PopupMenu1() { return PopupMenu1_; }
  void PopupMenu1Popup();
  // Ignores the people of the selected alerts: all their events, or the
  // alerts' event types.
  void Ignore1Click(bool all);
  TIgnoreForm& IgnoreForm() { return *IgnoreForm_; }
  TJubileesForm& JubileesForm() { return *JubileesForm_; }
  TEventsForm& EventsForm() { return *EventsForm_; }

  // Writes the alerts of the list as an iCalendar file; an error message
  // when it cannot be written.
  bool ExportCalendar(const QString& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadButtonPictures();
  void NameIconButtons();
  void ShowEntries();
  bool SendAlertNotification();
  void ShowFromNotification();
  void ExportCalendar1Click();
  QString AlertSpeech(const TOPObj& entry) const;
  int DrawMissedCaption(QPainter& painter, const QRect& sentence);
  void OutputListContextMenu(const QPoint& at);
  void TallowynBtnClick();
  void AddGedcomFileClick();
  void TextTreeBtnClick();
  void HelpBtnClick();
  void TallowynDelBtnClick();
  void TallowynListClick();
  void TallowynPopupPopup(const QPoint& at);
  // The source an item of the folder list stands for.
  static std::string FolderOf(const QListWidgetItem& item);
  // An item for the source, naming its home person where one is set.
  void AddFolderItem(const std::string& folder);
  QString FolderItemText(const std::string& folder) const;
  // The sources whose home person the last scan no longer found lose it.
  void DropLostHomes();
  void FamilyComboChange();
  bool ValidDatabase(const std::string& folder, bool showMessage);
  void RefreshFieldsList();
  void FieldsListClickCheck(QListWidgetItem* item);
  void StartCBClick(bool ticked);
  void ShowRegistryError(const std::string& message);
  void LoadNoIcon();
  std::optional<QImage> LoadIcon(const QString& path) const;
  void Options1Click(bool down);
  void OptionsTimerTimer();
  void FormResize();
  void LookAheadSpinChange();
  void ColorPanelClick(QWidget* panel);
  void ColorPanelDblClick(QWidget* panel);
  void FontPanelDblClick();
  void FontColourBtnClick();
  void ShowFontColour();
  void JubileeBtnClick();
  void PlacePanel();
  void OutputListDrawItem(QPainter& painter, int index, const QRect& rect, bool selected);
  QFont AlertFont() const;
  QColor AlertFontColour() const;
  std::vector<std::string> EventItemTexts() const;

  std::unique_ptr<Ui::TMainForm> ui_;
  const std::string ExeFolder;
  const std::string ProgramFiles;
  const Clock& clock_;
  QTimer OptionsTimer;
  bool Opening = false;
  int TargetHeight = 0;
  // Which edges the options panel follows when the window is resized.
  bool panelFollowsBottom_ = false;
  bool Closing = false;
  bool hints_ = true;
  bool silentStart_ = false;
  std::string DataFolder;
  std::string iniPath_;
  TStartupIntegration startup_;

  TAlertSession tables_;
  TEventFormats formats_;
  // The help viewer stands in for the platform's help program; the router
  // answers every help request of the program through it.
  THelpViewerForm helpViewer_;
  TconHTMLHelp helpRouter_{helpViewer_};
  TQtContextHelp contextHelp_{helpRouter_, helpViewer_};
  TAlertList OPList;
  TEntryFormatter formatter_{formats_, clock_};
  TQtLocaleNames localeNames_;
  TDateFormatter dateFormatter_{localeNames_};
  std::string DateFormat = "ddd d mmm";
  // The alert font as the settings name it; the panel may draw it with a
  // stand-in face.
  TFontSettings alertFont_;
  // The custom colour lines as read, and the dialog's colours they gave.
  std::vector<std::string> CustColors;
  // The jubilee numbers, edited in their own window.
  TJubilees jubilees_;
  // The day the list was last shown, as the settings file had it when the
  // program started: every scan of the run catches up from it. The day of
  // the last scan shown since goes back to the file.
  std::string shownBeforeStart_;
  std::string lastShown_;
  std::array<QRgb, 16> appliedCustomColours_{};
  std::vector<std::optional<QImage>> IconList;
  QImage NoIcon;
  int DateColWidth = 0;
  std::unique_ptr<TEventEditorForm> EventEditorForm;
  std::unique_ptr<THelpForm> HelpForm;
  std::unique_ptr<TSelectFolderForm> SelectFolderForm;
  std::unique_ptr<THomePersonForm> HomePersonForm_;
  // The home people of the listed sources, by source, and how the folder
  // list names each (read when set, so the list need not read the trees).
  std::map<std::string, std::int32_t> homePeople_;
  std::map<std::string, std::string> homeLabels_;
  std::unique_ptr<TJubileesForm> JubileesForm_;
  TDesktopNotifier notifier_;
  bool hiddenAtStart_ = false;
  QMenu PopupMenu1_{this};
  QAction* Ignore1 = nullptr;
  QAction* Ignoreall1 = nullptr;
  QAction* ExportCalendar1 = nullptr;
  // Declared after the tables they show, so they go first.
  std::unique_ptr<TEventsForm> EventsForm_;
  std::unique_ptr<TIgnoreForm> IgnoreForm_;
};

}  // namespace mindrel
