// The help launcher opens the help file with the desktop's viewer and never
// waits for it; requests it cannot serve are dropped without a word.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "apptest.h"
#include "platform/help.h"

namespace zevi::testing {

class HelpLauncherTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  QByteArray oldPath_;

  std::string Path(const char* name) const { return folder_.path().toStdString() + "/" + name; }

 private slots:
  void initTestCase() {
    // A stand-in viewer that writes down what it was asked to open.
    std::string viewer = Path("xdg-open");
    std::ofstream(viewer) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                             "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n";
    QFile::setPermissions(QString::fromStdString(viewer), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    oldPath_ = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(folder_.path().toStdString() + ":") + oldPath_);
    std::ofstream(Path("rirido.chm")) << "help";
  }

  void cleanupTestCase() { qputenv("PATH", oldPath_); }

  void opensAnExistingHelpFile() {
    QFile::remove(QString::fromStdString(Path("opened")));
    DesktopHelpViewer viewer;
    viewer.HtmlHelp({HtmlHelpCommand::HelpContext, Path("rirido.chm"), 300});
    QTRY_VERIFY(QFile::exists(QString::fromStdString(Path("opened"))));
    std::ifstream opened(Path("opened"));
    std::string argument((std::istreambuf_iterator<char>(opened)), {});
    QCOMPARE(argument, Path("rirido.chm"));
  }

  void dropsWhatItCannotServe() {
    QFile::remove(QString::fromStdString(Path("opened")));
    DesktopHelpViewer viewer;
    viewer.HtmlHelp({HtmlHelpCommand::DisplayTopic, Path("missing.chm"), 0});
    viewer.HtmlHelp({HtmlHelpCommand::CloseAll, "", 0});
    viewer.HtmlHelp({HtmlHelpCommand::DisplayTopic, folder_.path().toStdString(), 0});  // a folder
    QTest::qWait(300);
    QVERIFY(!QFile::exists(QString::fromStdString(Path("opened"))));
  }

  void launchingDoesNotWait() {
    QElapsedTimer clock;
    clock.start();
    QVERIFY(LaunchDetached({"sleep", "4"}));
    QVERIFY(clock.elapsed() < 3000);
  }
};

static RegisterAppTest<HelpLauncherTest> registerHelpLauncherTest;

}  // namespace zevi::testing

#include "help_test.moc"
