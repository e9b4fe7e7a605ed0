// Start-up of the real window against a corrupt configuration: the window
// opens on the screen and its start-up messages wait until it is shown.
#include <QGuiApplication>
#include <QDir>
#include <QScreen>
#include <algorithm>

#include "apptest.h"
#include "settings/appconfig.h"

namespace zevi::testing {

class StartupWindowTest : public QObject {
  Q_OBJECT

 private:
  struct Run {
    QTemporaryDir folder;
    AppState state;
    ScriptedUi ui;
    RecordingHelpViewer help;
    std::unique_ptr<StartupPlatform> platform;
    std::unique_ptr<TFileconvForm> form;

    std::string Path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    // Creates the window on a configuration holding `text`, without showing it.
    void Create(const std::string& text) {
      qputenv("HOME", Path("home").c_str());
      qputenv("XDG_CONFIG_HOME", Path("config").c_str());
      qputenv("XDG_DOCUMENTS_DIR", Path("documents").c_str());
      QDir().mkpath(QString::fromStdString(Path("config/Vozirado/ZEVI")));
      std::ofstream(Path("config/Vozirado/ZEVI/rirido.ini"), std::ios::binary) << text;
      platform = std::make_unique<StartupPlatform>(StartupPlatform{
          std::string(ZEVI_DATA_DIR) + "/zevi-fileconv", KeyStore(Path("machine")), KeyStore(Path("user"))});
      FormEnvironment environment;
      environment.ui = &ui;
      environment.helpViewer = &help;
      environment.platform = platform.get();
      form = std::make_unique<TFileconvForm>(state, environment);
    }
  };

 private slots:
  void offScreenBoundsOpenCentredAndMessagesWaitForTheShow() {
    std::string columns;
    for (char c = 'a'; c <= 'z'; ++c) columns += std::string(columns.empty() ? "" : ",") + "__/" + c;
    Run run;
    run.Create("[MAIN]\r\nWBounds=-5000 -5000 -4300 -4500\r\n[SETTINGS]\r\nColumns=" + columns + "\r\n");
    QVERIFY2(run.ui.messages.empty(), "nothing is shown before the window");

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    int left, top, right, bottom;
    run.form->GetBounds(left, top, right, bottom);
    QCOMPARE(right - left, 720);
    QCOMPARE(bottom - top, 500);
    QCOMPARE(left, screen.left() + (screen.width() - std::min(720, screen.width())) / 2);
    QVERIFY(screen.contains(QPoint(left + 100, top + kTitleBarHeight - 1)));

    run.form->FormShow();
    const std::string configPath = run.Path("config/Vozirado/ZEVI/rirido.ini");
    QCOMPARE(run.ui.messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(run.ui.messages.front()),
             QString::fromStdString("Bad Settings file: Column=a, Column=b, Column=c, Column=d, Column=e and "
                                    "21 more\r\nSection SETTINGS of " + configPath));
  }

  void boundsOnTheScreenAreKept() {
    Run run;
    run.Create("[MAIN]\r\nWBounds=30 40 530 440\r\n");
    int left, top, right, bottom;
    run.form->GetBounds(left, top, right, bottom);
    QCOMPARE(QString::fromStdString(FormatBounds({left, top, right, bottom})), QStringLiteral("30 40 530 440"));
    run.form->FormShow();
    QVERIFY(run.ui.messages.empty());
  }
};

static RegisterAppTest<StartupWindowTest> registerStartupWindowTest;

}  // namespace zevi::testing

#include "startup_window_test.moc"
