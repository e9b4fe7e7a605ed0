// The pieces of the window that stand alone: text conversion, dialog
// filters, help routing, the question box, the failing cell, the dialogs.
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include "aboutform.h"
#include "apptest.h"
#include "cp1252.h"
#include "fbform.h"
#include "helprouting.h"
#include "qtui.h"

namespace zevi::testing {

class WidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void cp1252BothWays() {
    struct Row {
      std::string bytes;
      char16_t unicode;
      const char* reason;
    };
    const Row rows[] = {
        {"A", u'A', "ASCII stays"},
        {"\x80", u'\u20AC', "euro sign, not a C1 control as in Latin-1"},
        {"\x92", u'\u2019', "right single quote"},
        {"\x96", u'\u2013', "en dash"},
        {"\x9F", u'\u0178', "Y with diaeresis"},
        {"\xB0", u'\u00B0', "degree sign as in Latin-1"},
        {"\xE9", u'\u00E9', "e acute as in Latin-1"},
        {"\x81", u'\u0081', "undefined byte passes through"},
    };
    for (const Row& row : rows) {
      QString text = FromCp1252(row.bytes);
      QVERIFY2(text.size() == 1 && text.at(0).unicode() == row.unicode, row.reason);
      QVERIFY2(ToCp1252(text) == row.bytes, row.reason);
    }
    QCOMPARE(ToCp1252(QString::fromUtf8("x\xE4\xB8\xAD" "y")), std::string("x?y"));
    QCOMPARE(MessageText("a\r\nb\rc"), QStringLiteral("a\nb\nc"));
    // A cell's NUL or escape byte is shown, not cut at or passed on.
    QCOMPARE(MessageText(std::string_view("Error in record 1: '1\0" "2\x1B'\t", 26)),
             QStringLiteral("Error in record 1: '1\\02\\x1B'\\x09"));
    QCOMPARE(MessageText("Error in record 2: 'h\xF6he' is not a valid floating point value"),
             QString::fromUtf8("Error in record 2: 'h\xC3\xB6he' is not a valid floating point value"));
    QCOMPARE(MessageText("Unable to write to /home/z/Z\xC3\xBCrich/walk.ini"),
             QString::fromUtf8("Unable to write to /home/z/Z\xC3\xBCrich/walk.ini"));
  }

  void nameFiltersFromTheFilterList() {
    QCOMPARE(QtNameFilters("Text (txt)|*.txt|CSV (csv)|*.csv|All files (*.*)|*.*"),
             QStringList({"Text (txt) (*.txt)", "CSV (csv) (*.csv)", "All files (*.*) (*)"}));
    QCOMPARE(QtNameFilters("Data|*.TXT;*.dat"), QStringList({"Data (*.TXT *.dat)"}));
    QCOMPARE(QtNameFilters(""), QStringList());
  }

  void helpRequestsGoToTheViewer() {
    struct Row {
      int command;
      std::int64_t data;
      HtmlHelpCall expected;
      const char* reason;
    };
    const std::string file = "/p/rirido.chm";
    const Row rows[] = {
        {kHelpContext, 300, {HtmlHelpCommand::HelpContext, file, 300}, "context"},
        {kHelpContextPopup, 10, {HtmlHelpCommand::HelpContext, file, 10}, "context pop-up"},
        {kHelpKey, 7, {HtmlHelpCommand::DisplayIndex, file, 7}, "key: the index"},
        {kHelpQuit, 5, {HtmlHelpCommand::CloseAll, "", 0}, "quit closes all, no file"},
        {kHelpContents, 10, {HtmlHelpCommand::DisplayTopic, file, 0}, "contents: default topic"},
        {kHelpPartialKey, 0, {HtmlHelpCommand::DisplayTopic, file, 0}, "topic search: default topic"},
    };
    for (const Row& row : rows) QVERIFY2(RouteHelpRequest(row.command, row.data, file) == row.expected, row.reason);
  }

  void questionHelpButtonKeepsTheBoxOpen() {
    RecordingHelpViewer viewer;
    TUseHTMLHelp help(viewer, "/p/rirido.chm");
    QuestionDialog box(nullptr, MessageKind::Confirmation, "Confirmation", "Save?",
                       {Button::Yes, Button::No, Button::Cancel}, kHelpSettings, &help);
    box.show();
    QVERIFY(box.HelpButton() != nullptr);
    QTest::mouseClick(box.HelpButton(), Qt::LeftButton);
    QCOMPARE(viewer.calls.size(), std::size_t{1});
    QVERIFY(viewer.calls[0] == (HtmlHelpCall{HtmlHelpCommand::HelpContext, "/p/rirido.chm", 500}));
    QVERIFY(box.isVisible());
    QTest::mouseClick(box.ButtonFor(Button::No), Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QVERIFY(box.Answer() == Button::No);
    QCOMPARE(box.ButtonFor(Button::Yes)->text(), QStringLiteral("&Yes"));
  }

  void closingTheRecordQuestionAborts() {
    QuestionDialog box(nullptr, MessageKind::Confirmation, "Confirmation", "Error in record 3",
                       {Button::Abort, Button::Ignore, Button::All}, kHelpExport, nullptr);
    box.show();
    box.reject();
    QVERIFY(box.Answer() == Button::Abort);
    QuestionDialog plain(nullptr, MessageKind::Information, "t", "File written successfully", {Button::Ok}, 0, nullptr);
    QVERIFY(plain.HelpButton() == nullptr);
  }

  void saveDialogTakesTheRequest() {
    QTemporaryDir folder;
    QtUserInterface ui(nullptr, nullptr);
    FileDialogRequest request;
    request.filter = "Text (txt)|*.txt|GPS (gps)|*.gps";
    request.filterIndex = 2;
    request.initialFolder = folder.path().toStdString() + "/";
    request.fileName = "walk";
    request.defaultExtension = "gps";
    QString filter, directory, proposed;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      filter = dialog->selectedNameFilter();
      directory = dialog->directory().absolutePath();
      proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
      dialog->selectFile("out");
      QMetaObject::invokeMethod(dialog, "accept");
    });
    std::optional<std::string> chosen = ui.ChooseSaveFile(request);
    QCOMPARE(filter, QStringLiteral("GPS (gps)"));  // shown without its pattern
    QCOMPARE(directory, folder.path());
    QCOMPARE(proposed, QStringLiteral("walk"));
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, folder.path().toStdString() + "/out.gps");  // the default extension added

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QVERIFY(!ui.ChooseOpenFile(request).has_value());
  }

  void inputBoxAnswersInWindows1252() {
    QtUserInterface ui(nullptr, nullptr);
    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      QCOMPARE(box->windowTitle(), QStringLiteral("Which Hemisphere? Need a Zone letter"));
      QCOMPARE(box->textValue(), QStringLiteral("T"));
      box->setTextValue(QString::fromUtf8("\xE2\x82\xAC"));  // the euro sign
      box->accept();
    });
    QCOMPARE(ui.InputBox("Which Hemisphere? Need a Zone letter",
                         "Enter C-M for southern or N-X for northern hemisphere", "T"),
             std::string("\x80"));
    QTimer::singleShot(0, [] { qobject_cast<QDialog*>(QApplication::activeModalWidget())->reject(); });
    QCOMPARE(ui.InputBox("List Separator Query", "Enter list separator (single character)", ":"),
             std::string(":"));  // cancel answers the proposal
  }

  void failingCellStandsThreeRowsBelowTheTop() {
    QStandardItemModel model(100, 5);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(17);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    struct Row {
      int column, row, top;
      const char* reason;
    };
    const Row rows[] = {
        {3, 50, 46, "row 50 is the fourth visible row"},
        {1, 2, 0, "never above the first data row"},
        {9, 60, 56, "a column beyond the table selects the last one"},
    };
    for (const Row& row : rows) {
      ShowCellOfTable(view, row.column, row.row);
      QCoreApplication::processEvents();
      QVERIFY2(view.rowAt(0) == row.top, row.reason);
      QVERIFY2(view.currentIndex().row() == row.row - 1, row.reason);
      QVERIFY2(view.selectionModel()->isSelected(view.currentIndex()), row.reason);
    }
    QCOMPARE(view.currentIndex().column(), 4);
  }

  void columnBreakDialogShowsAndReturnsTheMarks() {
    BreakTable breaks{};
    breaks[0] = {4, '^'};
    breaks[1] = {9, '.'};
    Tfbform dialog(breaks, "ABCDEFGHIJKL");
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Column Position Break Dialog"));
    QCOMPARE(dialog.SampleLabel()->text(), QStringLiteral("ABCDEFGHIJKL"));
    QCOMPARE(dialog.MarkEdit()->text(), QStringLiteral("^   ^    .  ^"));
    QVERIFY(!dialog.Changed());
    QFontMetrics sample(dialog.SampleLabel()->font());
    QCOMPARE(sample.horizontalAdvance('i'), sample.horizontalAdvance('W'));
    QVERIFY(dialog.MarkEdit()->font() == dialog.SampleLabel()->font());
    dialog.MarkEdit()->selectAll();
    QTest::keyClicks(dialog.MarkEdit(), "^  ^        ^");
    QVERIFY(dialog.Changed());
    QCOMPARE(dialog.MarkLine(), std::string("^  ^        ^"));
    QTest::mouseClick(dialog.findChild<QPushButton*>("OKbtn"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void aboutBox() {
    TAboutFrm about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.findChild<QLabel*>("lblProgramName")->text(), QStringLiteral("ZEVI Import File Converter"));
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), QStringLiteral("Version 1.36"));
    QStringList texts;
    for (QLabel* label : about.findChildren<QLabel*>())
      if (!label->text().isEmpty()) texts << label->text();
    QVERIFY(texts.contains("Vozirado Import File Converter"));
    QVERIFY(texts.contains("A program to help with the import of GPS data into Vozirado"));
    QCOMPARE(about.findChild<QLabel*>("Image1")->pixmap().size(), QSize(96, 96));
    about.show();
    about.reject();  // the close box
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }
};

static RegisterAppTest<WidgetsTest> registerWidgetsTest;

}  // namespace zevi::testing

#include "widgets_test.moc"
