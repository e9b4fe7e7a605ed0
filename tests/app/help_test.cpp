// Help: every request opens the manual page of its context in the help
// window; the manual's pages, links, contents and index hang together; a
// missing manual is reported with the folder searched.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextBrowser>

#include "apptest.h"
#include "helprouting.h"
#include "helpwindow.h"
#include "platform/help.h"
#include "qtui.h"

namespace zevi::testing {
namespace {

const QString kManual = QStringLiteral(ZEVI_DATA_DIR "/help/");

HelpWindow* ShownHelp(WindowFixture& f) {
  HelpWindow* window = f.form->findChild<HelpWindow*>();
  return window != nullptr && window->isVisible() ? window : nullptr;
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void eachRequestHasItsPage() {
    struct Row {
      HtmlHelpCall call;
      std::string page;
      const char* reason;
    };
    const std::string file = "/opt/zevi/rirido.chm";
    const Row rows[] = {
        {{HtmlHelpCommand::HelpContext, file, 10}, "/opt/zevi/help/mainwindow.html", "main window"},
        {{HtmlHelpCommand::HelpContext, file, 300}, "/opt/zevi/help/missing-position.html", "missing position"},
        {{HtmlHelpCommand::HelpContext, file, 400}, "/opt/zevi/help/export-questions.html", "export questions"},
        {{HtmlHelpCommand::HelpContext, file, 500}, "/opt/zevi/help/settings-questions.html", "settings questions"},
        {{HtmlHelpCommand::HelpContext, file, 77}, "/opt/zevi/help/index.html", "a context without a page"},
        {{HtmlHelpCommand::DisplayTopic, file, 0}, "/opt/zevi/help/index.html", "contents and topic search"},
        {{HtmlHelpCommand::DisplayIndex, file, 5}, "/opt/zevi/help/index.html", "index"},
        {{HtmlHelpCommand::CloseAll, "", 0}, "", "closing opens nothing"},
        {{HtmlHelpCommand::HelpContext, "", 10}, "", "no help file named"},
        {{HtmlHelpCommand::HelpContext, "rirido.chm", 10}, "help/mainwindow.html", "a bare file name"},
    };
    for (const Row& row : rows) QVERIFY2(HelpPagePath(row.call) == row.page, row.reason);
  }

  void theManualHangsTogether() {
    QDir folder(kManual);
    QStringList pages = folder.entryList({"*.html"}, QDir::Files);
    for (int context : {10, 300, 400, 500})
      QVERIFY2(pages.contains(QString::fromStdString(HelpPageOfContext(context))), qPrintable(QString::number(context)));
    for (const char* topic : {"kinds.html", "dates.html", "grids.html", "record-range.html", "column-breaks.html",
                              "settings-files.html", "encodings.html", "zevi-convert.html", "index.html"})
      QVERIFY2(pages.contains(topic), topic);
    static const QRegularExpression link("href=\"([^\"#:]+)\"");
    for (const QString& page : pages) {
      QFile file(kManual + page);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QString text = QString::fromUtf8(file.readAll());
      QVERIFY2(text.contains("<meta name=\"keywords\""), qPrintable(page));
      for (QRegularExpressionMatchIterator it = link.globalMatch(text); it.hasNext();) {
        QString target = it.next().captured(1);
        QVERIFY2(QFile::exists(kManual + target), qPrintable(page + " links to " + target));
      }
    }
  }

  void everyWayToHelpOpensTheRightPage() {
    struct Row {
      std::function<void(WindowFixture&)> ask;
      const char* page;
      const char* reason;
    };
    auto trigger = [](const char* name) { return [name](WindowFixture& f) { f.Trigger(name); }; };
    auto questionHelp = [](int context) {
      return [context](WindowFixture& f) {
        QuestionDialog box(f.form.get(), MessageKind::Confirmation, "Confirmation", "?", {Button::Yes, Button::No},
                           context, &f.form->Help());
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QTest::keyClick(&box, Qt::Key_F1);
        QVERIFY2(box.isVisible(), "help leaves the question open");
      };
    };
    const Row rows[] = {
        {trigger("mnuContents"), "index.html", "Help > Contents"},
        {trigger("mnuTopicSearch"), "index.html", "Help > Topic Search"},
        {[](WindowFixture& f) { f.Find<QPushButton>("btnHelp")->click(); }, "mainwindow.html", "the Help button"},
        {[](WindowFixture& f) { QTest::keyClick(f.form.get(), Qt::Key_F1); }, "mainwindow.html", "F1"},
        {questionHelp(kHelpMissingPosition), "missing-position.html", "F1 on the default-position question"},
        {questionHelp(kHelpExport), "export-questions.html", "F1 on an export question"},
        {questionHelp(kHelpSettings), "settings-questions.html", "F1 on a settings question"},
    };
    for (const Row& row : rows) {
      WindowFixture f(Dialogs::Real);
      f.form->show();
      QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
      row.ask(f);
      HelpWindow* help = ShownHelp(f);
      QVERIFY2(help != nullptr, row.reason);
      QVERIFY2(help->PageName() == row.page, qPrintable(help->PageName() + ": " + row.reason));
    }
  }

  void topicSearchNarrowsTheIndexAndHistoryGoesBack() {
    WindowFixture f(Dialogs::Real);
    f.Trigger("mnuTopicSearch");
    HelpWindow* help = ShownHelp(f);
    QVERIFY(help != nullptr);
    QCOMPARE(help->TopicSearch()->placeholderText(), QStringLiteral("Topic Search"));
    QCOMPARE(help->findChild<QTabWidget*>("helpTabs")->currentIndex(), 1);
    QCOMPARE(help->Contents()->item(0)->text(), QStringLiteral("The main window"));
    QTest::keyClicks(help->TopicSearch(), "overwrite");
    QStringList shown;
    for (int i = 0; i < help->Index()->count(); ++i)
      if (!help->Index()->item(i)->isHidden()) shown << help->Index()->item(i)->text();
    QCOMPARE(shown, QStringList({"overwrite", "overwrite settings"}));
    QTest::keyClick(help->TopicSearch(), Qt::Key_Return);
    QCOMPARE(help->PageName(), QStringLiteral("export-questions.html"));
    auto* back = help->findChild<QPushButton*>("btnHelpBack");
    auto* forward = help->findChild<QPushButton*>("btnHelpForward");
    QVERIFY(back->isEnabled());
    back->click();
    QCOMPARE(help->PageName(), QStringLiteral("index.html"));
    QVERIFY(forward->isEnabled());
    forward->click();
    QCOMPARE(help->PageName(), QStringLiteral("export-questions.html"));
  }

  void aMissingManualIsReported() {
    QTemporaryDir folder;
    std::vector<std::string> reports;
    QtHelpViewer viewer(nullptr, [&reports](const std::string& text) { reports.push_back(text); });
    viewer.HtmlHelp({HtmlHelpCommand::HelpContext, folder.path().toStdString() + "/rirido.chm", 10});
    QVERIFY(viewer.Window() == nullptr);
    QCOMPARE(reports, std::vector<std::string>{"User manual not found\r\n" + folder.path().toStdString() + "/help/"});
    viewer.HtmlHelp({HtmlHelpCommand::CloseAll, "", 0});
    QCOMPARE(reports.size(), std::size_t{1});
  }
};

static RegisterAppTest<HelpTest> registerHelpTest;

}  // namespace zevi::testing

#include "help_test.moc"
