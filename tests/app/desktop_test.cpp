// The window as a desktop user meets it: answers that Enter and Escape give,
// a progress box that never stands in the way, keyboard, drop and help.
#include <QLabel>
#include <QPushButton>
#include <QTableView>

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
};

static RegisterAppTest<DesktopTest> registerDesktopTest;

}  // namespace zevi::testing

#include "desktop_test.moc"
