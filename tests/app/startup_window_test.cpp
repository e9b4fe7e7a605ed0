// Start-up of the real window against a corrupt configuration: the window
// opens on the screen and its start-up messages wait until it is shown.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "apptest.h"
#include "settings/appconfig.h"

namespace zevi::testing {

class StartupWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void offScreenBoundsOpenCentredAndMessagesWaitForTheShow() {
    std::string text = "[MAIN]\r\nWBounds=-5000 -5000 -4300 -4500\r\n[SETTINGS]\r\nColumns=";
    for (char c = 'a'; c <= 'z'; ++c) text += std::string(c == 'a' ? "" : ",") + "__/" + c;
    WindowFixture f(text.c_str());
    QVERIFY2(f.ui.messages.empty(), "nothing is shown before the window");

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    int left, top, right, bottom;
    f.form->GetBounds(left, top, right, bottom);
    QCOMPARE(right - left, 720);
    QCOMPARE(bottom - top, 500);
    QCOMPARE(left, screen.left() + (screen.width() - std::min(720, screen.width())) / 2);
    QVERIFY(screen.contains(QPoint(left + 100, top + kTitleBarHeight - 1)));

    f.form->FormShow();
    QCOMPARE(f.ui.messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(f.ui.messages.front()),
             QString::fromStdString("Bad Settings file: Column=a, Column=b, Column=c, Column=d, Column=e and "
                                    "21 more\r\nSection SETTINGS of " + f.Path("config/Vozirado/ZEVI/rirido.ini")));
  }

};

static RegisterAppTest<StartupWindowTest> registerStartupWindowTest;

}  // namespace zevi::testing

#include "startup_window_test.moc"
