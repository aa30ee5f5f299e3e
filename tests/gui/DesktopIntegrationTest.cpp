#include <signal.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <optional>

#include "PrivateHome.h"
#include "ScreenshotSaver.h"
#include "app/MainForm.h"
#include "help/MessageDialog.h"
#include "engine/components/KeelEngine.h"
#include "ui_MainForm.h"

using mindrel::TMainForm;
using mindrel::TMessageDialog;

namespace {

const std::string kProgramFolder = MINDREL_BIN_DIR "/";
const mindrel::FixedClock kToday(mindrel::CivilDate{2026, 12, 10});
// The machine is shared with other builds: programs may start slowly.
constexpr int kPatienceMs = 60000;

// A session bus of this test process alone, started before the application
// object so that every D-Bus connection of the process goes to it.
class PrivateBus {
 public:
  bool Start(const QString& folder) {
    const QString config = folder + "/bus.conf";
    std::ofstream(config.toStdString())
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>\n"
           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    const std::string command =
        "dbus-daemon --fork --print-address=1 --print-pid=1 --config-file='" + config.toStdString() + "'";
    FILE* daemon = popen(command.c_str(), "r");
    if (daemon == nullptr) return false;
    char address[512] = {}, pid[32] = {};
    const bool read = fgets(address, sizeof address, daemon) && fgets(pid, sizeof pid, daemon);
    pclose(daemon);
    if (!read) return false;
    address_ = QByteArray(address).trimmed();
    pid_ = QByteArray(pid).trimmed().toInt();
    return pid_ > 0 && !address_.isEmpty();
  }
  ~PrivateBus() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }
  const QByteArray& Address() const { return address_; }

 private:
  QByteArray address_;
  pid_t pid_ = 0;
};

}  // namespace

// The log-on start's desktop notification, against a notification service of
// the test's own that logs every Notify call, and the window's calendar export.
class DesktopIntegrationTest : public QObject {
  Q_OBJECT

 public:
  explicit DesktopIntegrationTest(QString home) : home_(std::move(home)) {}

 private slots:
  void initTestCase() {
    UsePrivateHome(home_);
    tree_ = home_ + "/tree";
    QVERIFY(MakeDemoTree(tree_, 150, 3));
    keel::TKeelEngine::Acquire();
  }
  void cleanupTestCase() { keel::TKeelEngine::Release(); }

  void init() {
    QVERIFY(data_.emplace().isValid());
    qputenv("MINDREL_DATA_DIR", data_->path().toUtf8());
    log_ = data_->path() + "/notifications.log";
  }
  void cleanup() { StopService(); }

  void logOnStartWithAlertsNotifiesOnceAndEndsWhenTheNotificationCloses() {
    const QString settings = Settings("ShowWindow=no\n");
    WriteSettings(settings);
    StartService("dismiss");
    QProcess mindrel;
    QCOMPARE(RunMindrel(mindrel, {"-s"}), 0);

    const QList<QJsonObject> calls = NotifyCalls();
    QCOMPARE(calls.size(), 1);
    const QJsonObject call = calls.first();
    QCOMPARE(call["app_name"].toString(), QStringLiteral("Mindrel"));
    QCOMPARE(call["app_icon"].toString(), QStringLiteral("mindrel"));
    QCOMPARE(call["summary"].toString(), QStringLiteral("Mindrel for next 30 days"));
    QCOMPARE(call["actions"].toVariant().toStringList().first(), QStringLiteral("default"));
    QCOMPARE(call["expire_timeout"].toInt(), 0);

    // The body holds the first five sentences of the list, the jubilees
    // first, and the count of the rest, as mindrel-list shows the same alerts.
    const QStringList sentences = ListedSentences();
    QVERIFY2(sentences.size() > 5, "the demo tree has more alerts than the notification lists");
    QStringList expected = sentences.mid(0, 5);
    expected << QStringLiteral("and %1 more").arg(sentences.size() - 5);
    QCOMPARE(call["body"].toString().split('\n'), expected);
    // A start whose window stays unseen writes nothing but the day its
    // notification showed the list.
    QCOMPARE(ReadSettings(), settings.toStdString() + "LastShown=2026-12-10\n");
  }

  void logOnStartWithNothingDueNotifiesNothing() {
    WriteSettings(Settings("[Fields]\nCount=0\n"));
    StartService("keep");
    QProcess mindrel;
    QCOMPARE(RunMindrel(mindrel, {"-s"}), 0);
    QCOMPARE(NotifyCalls().size(), 0);
  }

  void notificationDecidesWhetherTheWindowWaits_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<QString>("showWindow");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<int>("expiry");
    QTest::newRow("window shown at once, notification expires") << true << "yes" << false << -1;
    QTest::newRow("window waits for the notification, which stays") << true << "no" << true << 0;
    QTest::newRow("no notification service: window shown as before") << false << "no" << false << 0;
  }
  void notificationDecidesWhetherTheWindowWaits() {
    QFETCH(bool, service);
    QFETCH(QString, showWindow);
    QFETCH(bool, hidden);
    QFETCH(int, expiry);
    WriteSettings(Settings("ShowWindow=" + showWindow + "\n"));
    if (service) StartService("keep");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    QCOMPARE(form.ui().ShowCB->isChecked(), showWindow == "yes");
    form.Button1Click();
    QVERIFY(form.Alerts().Count() > 0);
    QVERIFY(form.FinishStart());
    QCOMPARE(form.HiddenAtStart(), hidden);
    const QList<QJsonObject> calls = NotifyCalls();
    QCOMPARE(calls.size(), service ? 1 : 0);
    if (service) QCOMPARE(calls.first()["expire_timeout"].toInt(), expiry);
  }

  void notificationActionShowsTheWaitingWindow() {
    WriteSettings(Settings("ShowWindow=no\n"));
    StartService("action");
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel", "-s"});
    form.Button1Click();
    QVERIFY(form.FinishStart());
    QVERIFY(form.HiddenAtStart());
    QVERIFY(!form.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(form.isVisible(), kPatienceMs);
    QVERIFY(!form.ui().OptionsBtn->isChecked());
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(SaveScreenshot(form, QStringLiteral("start-silent-shown-from-notification")));
  }

  void alertListMenuExportsTheAlertsThroughASaveDialog() {
    WriteSettings(Settings(""));
    TMainForm form(kProgramFolder, kToday);
    form.InitializeForm({"Mindrel"});
    form.Button1Click();
    QVERIFY(form.Alerts().Count() > 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // As a user: a right click on the list, "Export to calendar...", a file
    // name typed into the save dialog.
    const QString path = data_->path() + "/alerts.ics";
    bool menuChosen = false;
    int ticksSinceReturn = 0;
    QString dialogTitle;
    QTimer user;
    connect(&user, &QTimer::timeout, &form, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu) {
        QAction* exportAction = nullptr;
        for (QAction* action : menu->actions()) {
          if (action->text() == QStringLiteral("Export to calendar...")) exportAction = action;
        }
        if (exportAction == nullptr || !exportAction->isEnabled()) return;
        // On a busy machine a Return can reach the menu before it is ready
        // for it: press it again while the menu stays open.
        if (menuChosen && ++ticksSinceReturn < 25) return;
        if (!menuChosen) SaveScreenshotWithMenu(form, *menu, QStringLiteral("main-window-export-to-calendar-menu"));
        menuChosen = true;
        ticksSinceReturn = 0;
        menu->setActiveAction(exportAction);
        // Queued, as the dialog's own loop must leave this timer free to fire.
        QTimer::singleShot(0, menu, [menu] { QTest::keyClick(menu, Qt::Key_Return); });
        return;
      }
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      // As a user does: the name typed into the name box and Save pressed at
      // once. The dialog reloads its folder in the background and then puts
      // back the name it was opened with, so a name chosen one moment may be
      // gone the next.
      auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (nameEdit == nullptr) return;
      nameEdit->setText(path);
      if (dialog->selectedFiles() != QStringList{path}) return;
      user.stop();
      dialogTitle = dialog->windowTitle();
      SaveScreenshot(*dialog, QStringLiteral("export-to-calendar-dialog"));
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      QVERIFY(buttons != nullptr && buttons->button(QDialogButtonBox::Save) != nullptr);
      buttons->button(QDialogButtonBox::Save)->click();
    });
    user.start(20);
    QListWidget& list = *form.ui().OutputList;
    emit list.customContextMenuRequested(list.visualItemRect(list.item(0)).center());
    QTRY_VERIFY_WITH_TIMEOUT(!user.isActive(), kPatienceMs);
    QVERIFY(menuChosen);
    QCOMPARE(dialogTitle, QStringLiteral("Export to calendar"));

    // A real calendar parser finds one event per alert.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), kPatienceMs);
    QProcess parse;
    parse.start(QStringLiteral("/usr/bin/python3"),
                {"-c",
                 "import sys, icalendar\n"
                 "calendar = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
                 "print(len(calendar.walk('VEVENT')))\n",
                 path});
    QVERIFY(parse.waitForFinished(kPatienceMs));
    QCOMPARE(parse.exitCode(), 0);
    QCOMPARE(parse.readAllStandardOutput().trimmed().toInt(), form.Alerts().Count());

    TMessageDialog::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!form.ExportCalendar(data_->path() + "/no such folder/alerts.ics"));
    QVERIFY(TMessageDialog::lastText().startsWith(QStringLiteral("Mindrel\nUnable to write \"")));
  }

 private:
  QString Settings(const QString& extra) const {
    return "[Prefs]\nNDBs=1\nDB0=\"" + tree_ + "\"\nAudio=no\n" + extra;
  }
  void WriteSettings(const QString& text) {
    std::ofstream(data_->path().toStdString() + "/Mindrel.INI") << text.toStdString();
  }
  std::string ReadSettings() const {
    std::ifstream file(data_->path().toStdString() + "/Mindrel.INI");
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }

  void StartService(const QString& mode) {
    service_.emplace();
    service_->start(QStringLiteral("/usr/bin/python3"),
                    {QFINDTESTDATA("notification_service.py"), log_, mode});
    QVERIFY(service_->waitForReadyRead(kPatienceMs));
    QCOMPARE(service_->readLine().trimmed(), QByteArray("ready"));
  }
  void StopService() {
    if (!service_) return;
    service_->terminate();
    service_->waitForFinished(kPatienceMs);
    service_.reset();
  }

  QList<QJsonObject> NotifyCalls() const {
    QFile file(log_);
    QList<QJsonObject> calls;
    if (!file.open(QIODevice::ReadOnly)) return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (!line.isEmpty()) calls << QJsonDocument::fromJson(line).object();
    }
    return calls;
  }

  // Runs the program as the log-on entry does; its exit code, -1 when it
  // did not end by itself.
  int RunMindrel(QProcess& mindrel, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MINDREL_TODAY", "2026-12-10");
    mindrel.setProcessEnvironment(environment);
    mindrel.start(QStringLiteral(MINDREL_BIN_DIR "/Mindrel"), arguments);
    if (!mindrel.waitForFinished(kPatienceMs)) {
      mindrel.kill();
      mindrel.waitForFinished();
      return -1;
    }
    return mindrel.exitStatus() == QProcess::NormalExit ? mindrel.exitCode() : -1;
  }

  // The sentences mindrel-list prints, those it marks as jubilees first.
  QStringList ListedSentences() const {
    QProcess list;
    list.start(QStringLiteral(MINDREL_BIN_DIR "/mindrel-list"), {"--today", "2026-12-10"});
    list.waitForFinished(kPatienceMs);
    QStringList jubilees, others;
    for (const QString& line :
         QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
      (line.section('\t', 2) == QStringLiteral("jubilee") ? jubilees : others) << line.section('\t', 1, 1);
    }
    return jubilees + others;
  }

  QString home_;
  QString tree_;
  QString log_;
  std::optional<QTemporaryDir> data_;
  std::optional<QProcess> service_;
};

int main(int argc, char* argv[]) {
  QTemporaryDir home;
  PrivateBus bus;
  if (!home.isValid() || !bus.Start(home.path())) {
    std::fprintf(stderr, "no private session bus: dbus-daemon is missing or failed\n");
    return 1;
  }
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  QApplication application(argc, argv);
  DesktopIntegrationTest test(home.path());
  return QTest::qExec(&test, argc, argv);
}

#include "DesktopIntegrationTest.moc"
