// The window as a desktop user meets it: answers that Enter and Escape give,
// a progress box that never stands in the way, keyboard, drop and help.
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QUrl>

#include "apptest.h"
#include "qtui.h"

namespace zevi::testing {
namespace {

QString ButtonsText(const std::vector<Button>& buttons) {
  QStringList names;
  for (Button button : buttons) names << ButtonCaption(button).remove('&');
  return names.join(',');
}

// Lines "Pn,51.5,-0.1", one of them (1-based; 0 for none) with a latitude that cannot be read.
std::string Waypoints(int count, int bad) {
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * 16);
  for (int i = 1; i <= count; ++i) text += i == bad ? "P,north,-0.1\n" : "P" + std::to_string(i) + ",51.5,-0.1\n";
  return text;
}

void AssignWaypointKinds(WindowFixture& f) {
  QTableView* table = f.form->Table();
  const char* codes[] = {"I_", "KD", "LD"};
  for (int column = 0; column < 3; ++column) {
    table->setCurrentIndex(table->model()->index(0, column));
    f.form->FieldsAction(codes[column])->trigger();
  }
}

// What is wrong with the visible controls of one container: one outside its
// parent, two that overlap, a caption wider than its control.
QStringList LayoutFaults(QWidget* container, const QWidget* table) {
  QStringList faults;
  std::vector<QWidget*> shown;
  for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isVisibleTo(container) && child != table && !child->isWindow()) shown.push_back(child);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    QWidget* w = shown[i];
    const QString name = w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
    if (!container->rect().contains(w->geometry())) faults << name + " outside " + container->objectName();
    for (std::size_t j = i + 1; j < shown.size(); ++j)
      if (w->geometry().intersects(shown[j]->geometry()))
        faults << name + " overlaps " + (shown[j]->objectName().isEmpty() ? shown[j]->metaObject()->className()
                                                                          : shown[j]->objectName());
    QString caption;
    int room = w->width();
    if (auto* label = qobject_cast<QLabel*>(w)) caption = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      caption = button->text();
      if (qobject_cast<QPushButton*>(w) == nullptr) room -= 22;  // the radio circle or check box
      else room -= 8;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit != nullptr && edit->isReadOnly()) {
      caption = edit->text();
      room -= 10;
    }
    // The two file labels show paths, which may be long.
    bool path = w->objectName() == "ebfilename" || w->objectName() == "lblsetfile";
    if (!path && w->fontMetrics().horizontalAdvance(caption) > room) faults << name + " cuts '" + caption + "'";
    if (qobject_cast<QGroupBox*>(w) != nullptr) faults << LayoutFaults(w, table);
  }
  return faults;
}

int LinesOf(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void enterAndEscapeGiveTheAnswerThatLosesNothing() {
    struct Row {
      std::vector<Button> buttons;
      Button enter, escape;
      const char* reason;
    };
    const Row rows[] = {
        {{Button::Yes, Button::No}, Button::No, Button::No, "default position: no record at 0,0"},
        {{Button::Yes, Button::Cancel}, Button::Cancel, Button::Cancel, "overwrite, above all the source file"},
        {{Button::Abort, Button::Ignore, Button::All}, Button::Ignore, Button::Abort, "failing record"},
        {{Button::Yes, Button::No, Button::Cancel}, Button::Cancel, Button::Cancel, "save before closing"},
        {{Button::Yes, Button::No, Button::Ok}, Button::No, Button::Ok, "settings file exists; OK saves as"},
        {{Button::Ok}, Button::Ok, Button::Ok, "a plain message"},
    };
    for (const Row& row : rows) {
      const QString name = ButtonsText(row.buttons) + ": " + row.reason;
      QVERIFY2(DefaultAnswer(row.buttons) == row.enter, qPrintable(name));
      QVERIFY2(EscapeAnswer(row.buttons) == row.escape, qPrintable(name));
      for (auto [key, expected] : {std::pair{Qt::Key_Return, row.enter}, std::pair{Qt::Key_Escape, row.escape}}) {
        QuestionDialog box(nullptr, MessageKind::Warning, "Warning", "Overwrite existing file? ", row.buttons,
                           kHelpExport, nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        auto* focused = qobject_cast<QPushButton*>(box.focusWidget());
        QVERIFY2(focused != nullptr && focused->isDefault() && focused == box.ButtonFor(row.enter), qPrintable(name));
        ModalDriver::Press(&box, key);
        QVERIFY2(!box.isVisible(), qPrintable(name));
        QVERIFY2(box.Answer() == expected, qPrintable(name + (key == Qt::Key_Return ? " (Enter)" : " (Escape)")));
      }
    }
  }

  void aQuestionThatNamesItsAnswerGivesItOnEnter() {
    // The associated settings offer: loading them loses nothing unless the
    // settings in force were changed.
    for (Button preferred : {Button::Yes, Button::No}) {
      QuestionDialog box(nullptr, MessageKind::Confirmation, "Confirmation", "Associated Settings file exists.",
                         {Button::Yes, Button::No}, kHelpSettings, nullptr, preferred);
      box.show();
      QVERIFY(QTest::qWaitForWindowActive(&box));
      ModalDriver::Press(&box, Qt::Key_Return);
      QVERIFY(box.Answer() == preferred);
    }
  }

  void progressBoxWaitsAndGoesBeforeAQuestion() {
    QWidget parent;
    QtUserInterface ui(&parent, nullptr);
    auto box = [&parent] { return parent.findChild<ProgressBox*>(); };
    ui.Progress("Loading", 10, kProgressThreshold);
    QVERIFY(box() == nullptr);
    ui.Progress("Exporting", 0, 4 * kProgressThreshold);
    QVERIFY2(box() == nullptr, "short work shows nothing");
    QTest::qWait(kProgressDelayMs + 50);
    ui.Progress("Exporting", 2 * kProgressThreshold, 4 * kProgressThreshold);
    QVERIFY(box() != nullptr && box()->isVisible());
    QCOMPARE(box()->Task(), QStringLiteral("Exporting"));
    QCOMPARE(box()->Permille(), 500);
    box()->close();
    QVERIFY2(box()->isVisible(), "the user cannot close it while the work runs");

    bool boxDuringQuestion = true;
    QTimer::singleShot(0, [&] {
      boxDuringQuestion = box() != nullptr;
      ModalDriver::Press(QApplication::activeModalWidget(), Qt::Key_Return);
    });
    Button answer = ui.Ask(MessageKind::Confirmation, "Error in record 3",
                           {Button::Abort, Button::Ignore, Button::All}, kHelpExport);
    QVERIFY(answer == Button::Ignore);
    QVERIFY2(!boxDuringQuestion, "the question stands alone");
    ui.Progress("Exporting", 3 * kProgressThreshold, 4 * kProgressThreshold);
    QVERIFY2(box() == nullptr, "after an answer the delay starts again");
    ui.Progress("Exporting", 4 * kProgressThreshold, 4 * kProgressThreshold);
    QVERIFY(box() == nullptr);
  }

  // A large export, then its summary, then a late failing record: the
  // progress box is up while the work runs and never beside a question.
  void largeExportsAnswerTheirQuestionsWithEnter() {
    struct Row {
      int lines, bad;
      std::vector<QString> texts;
      int written;
      const char* reason;
    };
    const Row rows[] = {
        {600000, 0, {"File written successfully"}, 600000, "the summary after the progress"},
        {600000, 599990,
         {"Error in record 599990\n", "File written with 1 missing records"}, 599999,
         "a record question late in the run, Enter ignores the record"},
    };
    // However fast the machine, the box is up from the first report on.
    QtUserInterface::SetProgressDelay(0);
    struct RestoreDelay {
      ~RestoreDelay() { QtUserInterface::SetProgressDelay(kProgressDelayMs); }
    } restore;
    for (const Row& row : rows) {
      QTemporaryDir folder;
      std::string source = folder.path().toStdString() + "/big.txt";
      std::ofstream(source, std::ios::binary) << Waypoints(row.lines, row.bad);
      WindowFixture f(Dialogs::Real, {source});
      AssignWaypointKinds(f);
      ModalDriver driver;
      driver.saveTarget = folder.path().toStdString() + "/big.gps";
      f.Find<QPushButton>("btnexportas")->click();
      QVERIFY2(driver.progressSeen, row.reason);
      QVERIFY2(!driver.progressBesideModal, row.reason);
      QVERIFY2(driver.texts.size() == row.texts.size(), row.reason);
      for (std::size_t i = 0; i < row.texts.size(); ++i)
        QVERIFY2(driver.texts[i].startsWith(row.texts[i]), qPrintable(driver.texts[i] + " / " + row.reason));
      QVERIFY2(f.form->findChild<ProgressBox*>() == nullptr, row.reason);
      QCOMPARE(LinesOf(WindowFixture::ReadFile(driver.saveTarget)), row.written + 5);
    }
  }

  void nothingOverlapsOrIsCut() {
    struct Row {
      QSize size;
      const char* grid;
      std::vector<const char*> kinds;  // for columns A, B, ...
      const char* mode;
      const char* reason;
    };
    const Row rows[] = {
        {{720, 500}, "Lat/Long", {"KS", "LS"}, "Waypoints", "default size, the longest lat/long sample"},
        {{kMinimumWidth, kMinimumHeight}, "UTM", {}, "Trackpoints", "smallest size, grid rows and track settings"},
        {{1000, 700}, "Lat/Long", {"KN", "LN"}, "Wpts+Route", "a large window, DDMM notation"},
    };
    for (const Row& row : rows) {
      WindowFixture f;
      f.Open(f.WriteFile("w.txt", "P1,5130.5,00007.5,a,b,c,d\n"));
      QTableView* table = f.form->Table();
      for (std::size_t i = 0; i < row.kinds.size(); ++i) {
        table->setCurrentIndex(table->model()->index(0, static_cast<int>(i)));
        f.form->FieldsAction(row.kinds[i])->trigger();
      }
      QComboBox* grid = f.Find<QComboBox>("cbgrid");
      emit grid->activated(grid->findText(row.grid));
      for (QRadioButton* radio : f.Find<QGroupBox>("rbmode")->findChildren<QRadioButton*>())
        if (radio->text() == row.mode) radio->click();
      f.form->resize(row.size);
      f.form->show();
      QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
      QTRY_COMPARE(f.form->size(), row.size);
      QStringList faults = LayoutFaults(f.form->centralWidget(), table);
      QVERIFY2(faults.isEmpty(), qPrintable(QString(row.reason) + ": " + faults.join("; ")));
      // Every heading shows whole.
      QHeaderView* headings = table->horizontalHeader();
      for (int section = 0; section < headings->count(); ++section) {
        QString text = table->model()->headerData(section, Qt::Horizontal).toString();
        QVERIFY2(headings->fontMetrics().horizontalAdvance(text) < headings->sectionSize(section),
                 qPrintable(text + ": " + row.reason));
      }
    }
  }

  void keyboardShortcutsAndTabOrder() {
    WindowFixture f;
    f.Open(f.WriteFile("keys.txt", "P1,51.5,-0.1\n"));  // "Open last file" shows
    struct Row {
      const char* action;
      QKeySequence keys;
    };
    const Row rows[] = {
        {"Open1", QKeySequence("Ctrl+O")},
        {"mnuExsaveAs", QKeySequence("Ctrl+E")},
        {"mnuSaveSettings", QKeySequence("Ctrl+S")},
        {"mnuSaveSettingsAs", QKeySequence("Ctrl+Shift+S")},
        {"mnuQuit", QKeySequence("Ctrl+Q")},
    };
    for (const Row& row : rows) QVERIFY2(f.Find<QAction>(row.action)->shortcut() == row.keys, row.action);

    f.form->show();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    // F1 asks for the main window's help.
    QTest::keyClick(f.form.get(), Qt::Key_F1);
    QCOMPARE(f.help.calls.size(), std::size_t{1});
    QCOMPARE(f.help.calls[0].data, std::int64_t{10});

    // Tab: the options, the buttons in their column, the table, and out again.
    QStringList visited;
    f.Find<QComboBox>("cbalignment")->setFocus();
    for (int i = 0; i < 7; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited.mid(0, 5), QStringList({"btnopenlast", "btnexportas", "btnpreview", "btnHelp", "filegrid"}));
    QVERIFY2(visited[5] != "filegrid", "Tab leaves the table");
    QCOMPARE(f.Find<QLineEdit>("ebformat")->focusPolicy(), Qt::NoFocus);

    // Ctrl+Q closes through the close query: changed settings with a file are asked about.
    f.ui.fileChoices.push_back(f.Path("layout.ini"));
    f.Trigger("mnuSaveSettingsAs");
    f.Trigger("mnuSouth");
    f.ui.answers = {Button::Cancel};
    f.Trigger("mnuQuit");
    QVERIFY(f.form->isVisible());
    QCOMPARE(f.ui.questions.back().text, std::string("The settings have changed. Save settings in file: layout.ini?"));
    f.ui.answers = {Button::No};
    f.Trigger("mnuQuit");
    QVERIFY(!f.form->isVisible());
  }

  void fieldsMenuIgnoresARowNumberChoice() {
    WindowFixture f;
    f.Open(f.WriteFile("rows.txt", "P1,51.5,-0.1\nP2,51.6,-0.2\n"));
    QTableView* table = f.form->Table();
    table->setCurrentIndex(table->model()->index(0, 1));
    QCOMPARE(f.form->SelectedColumn(), 2);
    f.PressHeader(Qt::Vertical, 1, Qt::LeftButton);
    QTRY_VERIFY(f.form->RowPopup()->isVisible());
    f.form->RowPopup()->hide();
    QCOMPARE(f.form->SelectedColumn(), 0);
    const ColumnMap before = f.state.settings.columns;
    f.form->FieldsAction("KD")->trigger();
    for (int column = 1; column <= 3; ++column)
      QVERIFY2(f.state.settings.columns.entries[column].code == before.entries[column].code, "no column changes");
    table->setCurrentIndex(table->model()->index(1, 2));
    f.form->FieldsAction("KD")->trigger();
    QCOMPARE(f.state.settings.columns.entries[3].code, ColumnCode("KD"));
  }

  void droppedFilesOpenAsTheMenuWould() {
    WindowFixture f;
    std::string source = f.WriteFile("walk.txt", "P1,51.5,-0.1\n");
    std::string settings = f.WriteFile("walk.ini", "[SETTINGS]\nDateformat=Y\n");
    std::string other = f.WriteFile("other.INI", "[SETTINGS]\nDateformat=M\n");
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    auto drop = [&f](const std::string& path) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
      QPoint at = f.form->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(f.form.get(), &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(f.form.get(), &dropped);
      QVERIFY(dropped.isAccepted());
      QCoreApplication::processEvents();
    };
    // The source file: the associated settings offer, the table, the recent files.
    f.ui.answers = {Button::Yes};
    drop(source);
    QCOMPARE(f.ui.questions.at(0).text, "Associated Settings file exists.\r\n" + settings + "\r\nDo you wish to load this?");
    QCOMPARE(f.state.sourceFile, source);
    QCOMPARE(f.state.settings.dateFormat, 'Y');
    QCOMPARE(f.form->Table()->model()->rowCount(), 1);
    QCOMPARE(f.Find<QAction>("mnuRecent1")->text(), QStringLiteral("&1 walk.txt"));
    QVERIFY(f.ui.fileRequests.empty());
    // A settings file, whatever the case of its extension: loaded, the table stays.
    drop(other);
    QCOMPARE(f.state.settingsFile, other);
    QCOMPARE(f.state.settings.dateFormat, 'M');
    QCOMPARE(f.state.sourceFile, source);
    QCOMPARE(f.Find<QLabel>("lblsetfile")->text(), QString::fromStdString("Settings File = " + other));
    QVERIFY(f.ui.fileRequests.empty());
  }
};

static RegisterAppTest<DesktopTest> registerDesktopTest;

}  // namespace zevi::testing

#include "desktop_test.moc"
