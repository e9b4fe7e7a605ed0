// The main window driven through its menus, pop-ups and controls, with a
// scripted user, checking what the state and the controls show afterwards.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "apptest.h"
#include "fbform.h"
#include "spinbutton.h"

namespace zevi::testing {
namespace {

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (QAction* item : menu->actions()) texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
  return texts;
}

QMenu* SubMenu(const QMenu* menu, const QString& title) {
  for (QAction* item : menu->actions())
    if (item->menu() != nullptr && item->text() == title) return item->menu();
  return nullptr;
}

QStringList ComboItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// The worked example of the output format: two waypoints with a comment.
const char* const kRouteSource = "HOME,51.5,-0.125,35,Front door\r\nMILL,51.52,-0.2,12.5,\r\n";

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void captionsAndMenus() {
    WindowFixture f;
    QCOMPARE(f.form->windowTitle(), QStringLiteral("ZEVI Import File Converter - Version 1.36"));
    QStringList titles;
    for (QAction* item : f.form->menuBar()->actions()) titles << item->text().remove('&');
    QCOMPARE(titles, QStringList({"File", "Export", "Fields", "Settings", "View", "Help"}));

    QMenu* file = f.Find<QMenu>("mnuFile");
    QStringList fileTexts = MenuTexts(file);
    QCOMPARE(fileTexts.mid(0, 2), QStringList({"Open...", "-"}));
    QCOMPARE(fileTexts.size(), 13);
    QCOMPARE(fileTexts.mid(11), QStringList({"-", "Quit"}));
    for (int i = 1; i <= 9; ++i) QVERIFY(!f.Find<QAction>(qPrintable(QString("mnuRecent%1").arg(i)))->isVisible());
    QCOMPARE(MenuTexts(f.Find<QMenu>("mnuExport")), QStringList({"SaveAs..."}));
    QCOMPARE(MenuTexts(f.Find<QMenu>("mnuSettings")),
             QStringList({"Date", "List Separator", "Decimal Separator", "Sign Lat/Long (+ is) ",
                          "Auxiliary Data ...", "Grid files", "Grid decimal place ...", "Source Encoding", "-",
                          "Open Settings...", "Save Settings", "Save Settings As...", "No settings file"}));
    QCOMPARE(MenuTexts(f.Find<QMenu>("mnuListSep")),
             QStringList({"comma (,)", "Semicolon (;)", "Space ( )", "User Defined (:)",
                          "(none) - using Column Breaks"}));
    QCOMPARE(MenuTexts(f.Find<QMenu>("mnuSign")), QStringList({"North", "South", "-", "East", "West"}));
    QCOMPARE(MenuTexts(f.Find<QMenu>("mnuHelp")), QStringList({"Contents", "Topic Search", "-", "About..."}));

    for (const char* name : {"filegrid", "rbmode", "cbgrid", "cbdatum", "cbautodatum", "ebdefzone", "lbldefzone",
                             "ebidprefix", "cbtextopt", "cbsymtype", "cbtrackstartcol", "gbwpts", "gbtracks",
                             "btnFieldBreak", "lblscale", "SpinButton1", "ebformat", "cbalignment", "rgfirstrec",
                             "ebfirstrec", "spbtnfirst", "rglastrec", "eblastrec", "spbtlast", "btnopenlast",
                             "btnexportas", "ebfilename", "lblsetfile", "PopupMenuRows", "PopupMenu1"})
      QVERIFY2(f.form->findChild<QWidget*>(name) != nullptr, name);
    for (const char* name : {"mnuscale", "mnuwgrids", "mnuugrids", "mnuogrids", "Open1", "mnuExsaveAs", "mnuIgnoreall"})
      QVERIFY2(f.form->findChild<QAction*>(name) != nullptr, name);
    QCOMPARE(f.Find<QLabel>("ebfilename")->text(), QStringLiteral("Source File = (None)  "));
    QCOMPARE(f.Find<QLabel>("lblsetfile")->text(), QStringLiteral("Settings File = (None)"));
    QCOMPARE(f.Find<QGroupBox>("rbmode")->title(), QStringLiteral("Convert to"));
    QStringList modes;
    for (QRadioButton* radio : f.Find<QGroupBox>("rbmode")->findChildren<QRadioButton*>()) modes << radio->text();
    QCOMPARE(modes, QStringList({"Waypoints", "Wpts+Route", "Trackpoints"}));
    QCOMPARE(f.Find<QGroupBox>("gbwpts")->title(), QStringLiteral("Waypoint Settings"));
    QCOMPARE(f.Find<QGroupBox>("gbtracks")->title(), QStringLiteral("Track Settings"));
    QCOMPARE(f.Find<QGroupBox>("rgfirstrec")->title(), QStringLiteral("First Record"));
    QCOMPARE(f.Find<QGroupBox>("rglastrec")->title(), QStringLiteral("Last Record"));
    QCOMPARE(f.Find<QPushButton>("btnFieldBreak")->text(), QStringLiteral("Column Breaks..."));
    QCOMPARE(f.Find<QPushButton>("btnexportas")->text(), QStringLiteral("Export As.."));
    QCOMPARE(f.Find<QCheckBox>("cbautodatum")->text(), QStringLiteral("Autoset on Grid change"));
    QCOMPARE(ComboItems(f.Find<QComboBox>("cbalignment")),
             QStringList({"Right Aligned ", "x 10", "x 100", "x 1000", "Left Aligned"}));
    QCOMPARE(ComboItems(f.Find<QComboBox>("cbtextopt")),
             QStringList({"(None)", "ID", "Comment", "Altitude", "ID&Comment", "ID+Altitude", "Comment Altitude"}));
    QStringList symbols = ComboItems(f.Find<QComboBox>("cbsymtype"));
    QCOMPARE(symbols.size(), 23);
    QCOMPARE(symbols[15], QStringLiteral("Garmin (colour)"));
    QCOMPARE(symbols[22], QStringLiteral("Raymarine"));
    QCOMPARE(f.Find<QComboBox>("cbgrid")->itemText(0), QStringLiteral("Lat/Long"));
    QCOMPARE(f.Find<QComboBox>("cbdatum")->itemText(0), QStringLiteral("WGS84"));
    QVERIFY(f.Find<QComboBox>("cbgrid")->count() > 1);
    QVERIFY(!f.Find<QAction>("mnuSaveSettings")->isEnabled());
    QVERIFY(f.ui.messages.empty());
  }

  void fieldsMenuAndPopupFollowTheVocabulary() {
    WindowFixture f;
    QMenu* fields = f.Find<QMenu>("mnuFields");
    QCOMPARE(MenuTexts(fields),
             QStringList({"Ignore", "ID", "Zone", "Easting", "Northing", "Latitude", "Longitude", "Altitude",
                          "Date/Time", "Symbol", "Depth", "Track Start", "Comment", "Other", "-", "Ignore All",
                          "Suggest Kinds"}));
    QCOMPARE(MenuTexts(SubMenu(fields, "Latitude")),
             QStringList({"DD.dddddd", "DD MM.mmmm", "DD MM SS.ss", "DDMM.mmmm", "-", "minutes", "seconds",
                          "hemisphere (N/S)"}));
    QCOMPARE(MenuTexts(SubMenu(fields, "Other")), QStringList({"Grid", "Garmin(IQue Hex)"}));
    QMenu* popup = f.form->KindPopup();
    QCOMPARE(MenuTexts(popup),
             QStringList({"Ignore", "ID", "Zone", "Easting", "Northing", "Latitude", "Longitude", "Altitude",
                          "Date/Time", "Symbols", "Depth", "Track Start", "Comment", "Other"}));
    QCOMPARE(MenuTexts(SubMenu(popup, "Date/Time")).last(), QStringLiteral("Secs from 31/12/1989"));
    QCOMPARE(MenuTexts(SubMenu(fields, "Date/Time")).last(), QStringLiteral("Secs from 31/12/89"));
    QCOMPARE(MenuTexts(f.form->RowPopup()), QStringList({"Make first record", "Make last record"}));
  }

  void openAssignThroughPopupAndRefuseADuplicate() {
    WindowFixture f;
    std::string path = f.WriteFile("walk.txt", "EAS01,54.458412,-3.023577,65\nEAS02,54.459037,-3.025506,66\n");
    f.Open(path);
    QAbstractItemModel* model = f.form->Table()->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->data(model->index(1, 2)).toString(), QStringLiteral("-3.025506"));
    QCOMPARE(model->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
    QCOMPARE(f.HeadingOf(3), QStringLiteral("C: Ignore"));
    QCOMPARE(f.Find<QLabel>("ebfilename")->text(), QString::fromStdString("Data File = " + path));
    QCOMPARE(f.Find<QAction>("mnuRecent1")->text(), QStringLiteral("&1 walk.txt"));
    QVERIFY(f.Find<QPushButton>("btnopenlast")->isVisibleTo(f.form.get()));
    QVERIFY(f.ui.fileRequests.at(0).filter.find("Text (txt)|*.txt") != std::string::npos);

    // Left click on the heading of column B, then the pop-up's latitude item.
    f.Find<QTableView>("filegrid")->setCurrentIndex(model->index(0, 3));
    f.PressHeader(Qt::Horizontal, 1, Qt::LeftButton);
    QTRY_VERIFY(f.form->KindPopup()->isVisible());
    QCOMPARE(f.form->SelectedColumn(), 2);
    f.form->PopupAction("KD")->trigger();
    f.form->KindPopup()->hide();
    QCOMPARE(f.state.settings.columns.entries[2].code, ColumnCode("KD"));
    QCOMPARE(f.HeadingOf(2), QStringLiteral("Lat (DD.dd)"));
    QVERIFY(f.Find<QAction>("mnuSaveSettings")->isEnabled());

    // Right click on column D: another main latitude notation is refused.
    f.PressHeader(Qt::Horizontal, 3, Qt::RightButton);
    QTRY_VERIFY(f.form->KindPopup()->isVisible());
    f.form->PopupAction("KM")->trigger();
    f.form->KindPopup()->hide();
    QCOMPARE(f.ui.messages, std::vector<std::string>{"'Lat (D\xB0M.m) already exists !\r\nColumn B holds it"});
    QCOMPARE(f.state.settings.columns.entries[4].code, ColumnCode("__"));

    // The Fields menu acts on the current cell's column.
    f.Find<QTableView>("filegrid")->setCurrentIndex(model->index(1, 2));
    f.form->FieldsAction("LD")->trigger();
    QCOMPARE(f.state.settings.columns.entries[3].code, ColumnCode("LD"));
    QCOMPARE(f.Find<QLineEdit>("ebformat")->text(), QStringLiteral("DD.ddddd DDD.ddddd"));

    f.Find<QTableView>("filegrid")->setCurrentIndex(model->index(0, 0));
    f.form->FieldsAction("I_")->trigger();
    QVERIFY(!f.Find<QLineEdit>("ebidprefix")->isEnabled());
    f.Trigger("mnuIgnoreall");
    QVERIFY(f.Find<QLineEdit>("ebidprefix")->isEnabled());
    for (int column = 1; column <= 26; ++column)
      QCOMPARE(f.state.settings.columns.entries[column].code, ColumnCode("__"));
    QCOMPARE(f.HeadingOf(2), QStringLiteral("B: Ignore"));
  }

  void optionsSetTheirFieldAndTheChangedState() {
    struct Row {
      std::function<void(WindowFixture&)> act;
      std::function<bool(WindowFixture&)> holds;
      bool changed;
      const char* reason;
    };
    auto trigger = [](const char* name) { return [name](WindowFixture& f) { f.Trigger(name); }; };
    auto activate = [](const char* name, int entry) {
      return [name, entry](WindowFixture& f) {
        QComboBox* box = f.Find<QComboBox>(name);
        box->setCurrentIndex(entry);  // as a pick from the list does before it reports
        emit box->activated(entry);
      };
    };
    const std::vector<Row> rows = {
        {trigger("mnuMDY"), [](WindowFixture& f) { return f.state.settings.dateFormat == 'M' &&
                                                        f.Find<QAction>("mnuMDY")->isChecked(); },
         true, "date order"},
        {trigger("mnuDScomma"), [](WindowFixture& f) { return f.state.settings.decimalSeparator == ',' &&
                                                            f.state.settings.listSeparator == ';'; },
         true, "a decimal comma makes the list separator ';'"},
        {trigger("mnuLScomma"), [](WindowFixture& f) { return f.state.settings.listSeparator == ',' &&
                                                            f.state.settings.decimalSeparator == '.' &&
                                                            f.Find<QAction>("mnuDSpoint")->isChecked(); },
         true, "a comma list separator makes the decimal separator '.'"},
        {trigger("mnuLSnone"), [](WindowFixture& f) { return f.state.settings.listSeparator == '\xA5'; },
         true, "no list separator"},
        {trigger("mnuSouth"), [](WindowFixture& f) { return f.state.settings.latitudeSign == -1; }, true, "south"},
        {trigger("mnuWest"), [](WindowFixture& f) { return f.state.settings.longitudeSign == -1; }, true, "west"},
        {trigger("mnuHeading"), [](WindowFixture& f) { return f.state.settings.auxData == 'B' &&
                                                            f.form->FieldsAction("A")->text() == "Heading" &&
                                                            f.form->PopupAction("A")->text() == "Heading"; },
         true, "aux kind and the aux item captions"},
        {trigger("mnuogrids"), [](WindowFixture& f) { return f.state.settings.gridFiles == "XXX" &&
                                                           f.Find<QAction>("mnuogrids")->isChecked(); },
         false, "grid files are no change of the settings"},
        {trigger("mnuogrids"), [](WindowFixture& f) { return f.state.settings.gridFiles == "XX-"; },
         false, "toggling twice restores"},
        {[](WindowFixture& f) { f.Find<QGroupBox>("rbmode")->findChildren<QRadioButton*>()[2]->click(); },
         [](WindowFixture& f) { return f.state.settings.mode == 'T' &&
                                       !f.Find<QGroupBox>("gbwpts")->isVisibleTo(f.form.get()) &&
                                       f.Find<QGroupBox>("gbtracks")->isVisibleTo(f.form.get()); },
         true, "trackpoints show the track settings in place of the waypoint settings"},
        {activate("cbtextopt", 0), [](WindowFixture& f) { return f.state.settings.textOption == '-'; }, true,
         "text option"},
        {activate("cbsymtype", 3), [](WindowFixture& f) { return f.state.settings.symbolType == 3; }, false,
         "symbol set type is no change"},
        {[](WindowFixture& f) { QTest::keyClicks(f.Find<QComboBox>("cbsymtype")->lineEdit(), "x"); },
         [](WindowFixture& f) { return f.state.settings.symbolType == -1; }, false, "typed text that is no entry"},
        {activate("cbtrackstartcol", 2), [](WindowFixture& f) { return f.state.settings.trackStart == 2; }, true,
         "track-start column"},
        {activate("cbalignment", 4), [](WindowFixture& f) { return f.state.settings.alignment == 9; }, true,
         "left aligned stores 9"},
        {[](WindowFixture& f) { f.Find<QCheckBox>("cbautodatum")->click(); },
         [](WindowFixture& f) { return !f.state.settings.autoDatum; }, false, "auto-datum is no change"},
        {[](WindowFixture& f) { emit f.Find<TSpinButton>("SpinButton1")->upClick(); },
         [](WindowFixture& f) { return f.state.settings.scaleFactor == 1; }, false, "scale spin is no change"},
        {[](WindowFixture& f) { QTest::keyClicks(f.Find<QLineEdit>("ebdefzone"), "X"); },
         [](WindowFixture& f) { return f.state.edits.defaultZone == "30UX"; }, true, "every edit of the zone"},
        {[](WindowFixture& f) { QTest::keyClicks(f.Find<QLineEdit>("ebidprefix"), "P"); },
         [](WindowFixture& f) { return f.state.edits.idPrefix == "WP"; }, false, "the ID prefix is no change"},
    };
    WindowFixture f;
    QAction* save = f.Find<QAction>("mnuSaveSettings");
    for (const Row& row : rows) {
      f.state.settingsChanged = false;
      f.form->ShowAll();
      QVERIFY(!save->isEnabled());
      row.act(f);
      QVERIFY2(row.holds(f), row.reason);
      QVERIFY2(f.state.settingsChanged == row.changed, row.reason);
      QVERIFY2(save->isEnabled() == row.changed, row.reason);
    }
    QVERIFY(f.ui.messages.empty());
  }

  void userDefinedSeparator() {
    struct Row {
      std::vector<std::string> answers;
      char separator;
      const char* caption;
      const char* reason;
    };
    const Row rows[] = {
        {{" # "}, '#', "User Defined (#)", "blanks around are trimmed"},
        {{"   "}, ':', "User Defined (:)", "only blanks give ':'"},
        {{}, ':', "User Defined (:)", "cancel answers the proposal"},
        {{";;"}, ';', "User Defined (;)", "the first character counts"},
    };
    for (const Row& row : rows) {
      WindowFixture f;
      f.ui.inputAnswers.assign(row.answers.begin(), row.answers.end());
      f.Trigger("mnuLSuser");
      QVERIFY2(f.state.settings.listSeparator == row.separator, row.reason);
      QVERIFY2(f.Find<QAction>("mnuLSuser")->text() == row.caption, row.reason);
      QCOMPARE(f.ui.inputPrompts.back(), std::string("List Separator Query|Enter list separator (single character)"));
    }
  }

  void gridChoiceAndScale() {
    WindowFixture f;
    QVERIFY(!f.Find<QLabel>("lblscale")->isVisibleTo(f.form.get()));
    QComboBox* grid = f.Find<QComboBox>("cbgrid");
    int utm = grid->findText("UTM");
    QVERIFY(utm > 0);
    emit grid->activated(utm);
    QCOMPARE(f.state.settings.grid, std::string("UTM"));
    QVERIFY(f.state.settingsChanged);
    QVERIFY(f.Find<QLabel>("lblscale")->isVisibleTo(f.form.get()));
    QVERIFY(f.Find<QLineEdit>("ebdefzone")->isVisibleTo(f.form.get()));
    QCOMPARE(f.Find<QLabel>("lblscale")->text(), QStringLiteral("Scale =1"));

    struct Row {
      const char* answer;
      int scale;
      std::vector<std::string> messages;
      const char* reason;
    };
    const Row rows[] = {
        {"3", 3, {}, "a whole number"},
        {"200", 3, {"Range check error"}, "outside -128..127"},
        {"x", 3, {}, "no number: unchanged, silently"},
        {"-2", -2, {}, "a shift to the left"},
    };
    for (const Row& row : rows) {
      f.ui.messages.clear();
      f.ui.inputAnswers = {row.answer};
      f.Trigger("mnuscale");
      QVERIFY2(f.state.settings.scaleFactor == row.scale, row.reason);
      QVERIFY2(f.ui.messages == row.messages, row.reason);
    }
    QCOMPARE(f.Find<QLabel>("lblscale")->text(), QStringLiteral("Scale /100"));
    f.state.settings.scaleFactor = 127;
    emit f.Find<TSpinButton>("SpinButton1")->upClick();
    QCOMPARE(f.state.settings.scaleFactor, -128);

    emit grid->activated(0);
    QVERIFY(!f.Find<QLabel>("lblscale")->isVisibleTo(f.form.get()));
    QVERIFY(!f.Find<QLineEdit>("ebdefzone")->isVisibleTo(f.form.get()));
    QCOMPARE(f.state.settings.grid, std::string());
  }

  void recordRangeControlsAndRowPopup() {
    WindowFixture f;
    std::string lines;
    for (int i = 1; i <= 10; ++i) lines += "p" + std::to_string(i) + ",1,2\n";
    f.Open(f.WriteFile("ten.txt", lines));
    f.state.settingsChanged = false;

    f.Find<QGroupBox>("rgfirstrec")->findChildren<QRadioButton*>()[1]->click();
    QCOMPARE(f.state.settings.firstRecordMode, 'R');
    QVERIFY(f.Find<QLineEdit>("ebfirstrec")->isEnabled());
    QVERIFY(!f.Find<QLineEdit>("eblastrec")->isEnabled());
    QVERIFY(f.Find<QAction>("mnuSaveSettings")->isEnabled());
    emit f.Find<TSpinButton>("spbtnfirst")->upClick();
    QCOMPARE(f.Find<QLineEdit>("ebfirstrec")->text(), QStringLiteral("2"));

    f.PressHeader(Qt::Vertical, 4, Qt::LeftButton);
    QTRY_VERIFY(f.form->RowPopup()->isVisible());
    f.Trigger("pupfirstrec");
    f.form->RowPopup()->hide();
    QCOMPARE(f.state.settings.firstRecord, 5);
    QCOMPARE(f.Find<QLineEdit>("ebfirstrec")->text(), QStringLiteral("5"));
    QCOMPARE(f.state.firstRecordText, std::string("p5,1,2"));

    f.PressHeader(Qt::Vertical, 2, Qt::RightButton);
    QTRY_VERIFY(f.form->RowPopup()->isVisible());
    f.Trigger("puplastrec");
    f.form->RowPopup()->hide();
    QCOMPARE(f.state.settings.lastRecord, 3);
    QCOMPARE(f.state.settings.firstRecord, 3);
    QCOMPARE(f.state.settings.lastRecordMode, 'R');
    QVERIFY(f.Find<QGroupBox>("rglastrec")->findChildren<QRadioButton*>()[1]->isChecked());
    QVERIFY(f.Find<QLineEdit>("eblastrec")->isEnabled());

    // Typed numbers reach the state's edits, for the export to take.
    QLineEdit* last = f.Find<QLineEdit>("eblastrec");
    last->selectAll();
    QTest::keyClicks(last, "8");
    QCOMPARE(f.state.edits.lastRecord, std::string("8"));
  }

  void columnBreaksSplitTheReloadedFile() {
    WindowFixture f;
    f.Trigger("mnuLSnone");
    f.Open(f.WriteFile("fixed.txt", "ABCDEFGHIJKL\n"));
    QCOMPARE(f.form->Table()->model()->columnCount(), 1);
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<Tfbform*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      QCOMPARE(dialog->SampleLabel()->text(), QStringLiteral("ABCDEFGHIJKL"));
      dialog->MarkEdit()->selectAll();
      QTest::keyClicks(dialog->MarkEdit(), "^   ^    ^  ^");
      dialog->OKbtnClick();
    });
    f.Find<QPushButton>("btnFieldBreak")->click();
    QAbstractItemModel* model = f.form->Table()->model();
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("EFGHI"));
    QCOMPARE(model->data(model->index(0, 2)).toString(), QStringLiteral("JKL"));
  }

  void exportWritesTheFileTheUserChose() {
    WindowFixture f;
    std::string source = f.WriteFile("route.txt", kRouteSource);
    f.Open(source);
    QTableView* table = f.form->Table();
    const char* codes[] = {"I_", "KD", "LD", "HM", "C1"};
    for (int column = 0; column < 5; ++column) {
      table->setCurrentIndex(table->model()->index(0, column));
      f.form->FieldsAction(codes[column])->trigger();
    }
    std::string target = f.Path("route.gps");
    f.ui.fileChoices.push_back(target);
    f.Find<QPushButton>("btnexportas")->click();
    QCOMPARE(f.ui.messages, std::vector<std::string>{"File written successfully"});
    const FileDialogRequest& request = f.ui.fileRequests.back();
    QCOMPARE(request.fileName, std::string("route"));
    QCOMPARE(request.defaultExtension, std::string("gps"));
    QCOMPARE(request.initialFolder, f.Path(""));
    QCOMPARE(WindowFixture::ReadFile(target),
             std::string("I ZADI 1.36\r\n"
                         "U LAT LON DEG\r\n"
                         "M E               WGS 84 100  0.0000000E+00  0.0000000E+00 0 0 0\r\n"
                         "\r\n"
                         "F ID---- Latitude   Longitude     Alt(m) T Comment\r\n"
                         "W HOME    51.500000   -0.125000     35.0 I Front door\r\n"
                         "W MILL    51.520000   -0.200000     12.5 I \r\n"));
  }

  void failingRecordIsShownAndCounted() {
    WindowFixture f;
    f.Open(f.WriteFile("bad.txt", "A,51.5,-0.1\nB,north,-0.2\nC,51.7,-0.3\n"));
    QTableView* table = f.form->Table();
    const char* codes[] = {"I_", "KD", "LD"};
    for (int column = 0; column < 3; ++column) {
      table->setCurrentIndex(table->model()->index(0, column));
      f.form->FieldsAction(codes[column])->trigger();
    }
    f.ui.fileChoices.push_back(f.Path("bad.gps"));
    f.ui.answers = {Button::Ignore};
    f.Trigger("mnuExsaveAs");
    QCOMPARE(f.ui.questions.size(), std::size_t{1});
    const AskedQuestion& question = f.ui.questions[0];
    QVERIFY(question.text.rfind("Error in record 2\r\n", 0) == 0);
    QVERIFY(question.text.find("\r\n\r\nABORT = Abort export?\r\nIGNORE = Ignore record\r\nALL = Ignore All") !=
            std::string::npos);
    QVERIFY(question.buttons == (std::vector<Button>{Button::Abort, Button::Ignore, Button::All}));
    QCOMPARE(question.helpContext, 400);
    QVERIFY(f.ui.failingCells == (std::vector<std::pair<int, int>>{{2, 2}}));
    QCOMPARE(f.ui.messages, std::vector<std::string>{"File written with 1 missing records"});
  }

  void saveSettingsAsAndTheLabel() {
    WindowFixture f;
    f.Trigger("mnuMDY");
    std::string path = f.Path("layout.ini");
    f.ui.fileChoices.push_back(path);
    f.Trigger("mnuSaveSettings");  // no settings file yet: "Save Settings As..."
    QCOMPARE(f.ui.messages, std::vector<std::string>{"Settings saved in file: layout.ini"});
    QCOMPARE(f.Find<QLabel>("lblsetfile")->text(), QString::fromStdString("Settings File = " + path));
    QVERIFY(!f.Find<QAction>("mnuSaveSettings")->isEnabled());
    QVERIFY(WindowFixture::ReadFile(path).find("Dateformat=M") != std::string::npos);
    f.Trigger("mnuNoSettings");
    QCOMPARE(f.Find<QLabel>("lblsetfile")->text(), QStringLiteral("Settings File = (None)"));
  }

  void closeAsksWhenTheSettingsChanged() {
    WindowFixture f;
    std::string path = f.Path("layout.ini");
    f.ui.fileChoices.push_back(path);
    f.Trigger("mnuSaveSettingsAs");
    f.Trigger("mnuSouth");
    f.ui.answers = {Button::Cancel};
    QVERIFY(!f.form->close());
    QCOMPARE(f.ui.questions.back().text, std::string("The settings have changed. Save settings in file: layout.ini?"));
    QCOMPARE(f.ui.questions.back().helpContext, 500);
    f.ui.answers = {Button::No};
    QVERIFY(f.form->close());
    QVERIFY(WindowFixture::ReadFile(f.state.configPath).find("SettingsFile=" + path) != std::string::npos);
  }

  void helpCommands() {
    WindowFixture f;
    const std::string file = f.state.programFolder + "rirido.chm";
    f.Trigger("mnuContents");
    f.Trigger("mnuTopicSearch");
    f.Find<QPushButton>("btnHelp")->click();
    QCOMPARE(f.help.calls.size(), std::size_t{3});
    QVERIFY(f.help.calls[0] == (HtmlHelpCall{HtmlHelpCommand::DisplayTopic, file, 0}));
    QVERIFY(f.help.calls[1] == (HtmlHelpCall{HtmlHelpCommand::DisplayTopic, file, 0}));
    QVERIFY(f.help.calls[2] == (HtmlHelpCall{HtmlHelpCommand::HelpContext, file, 10}));
  }

  void layoutRule() {
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QWidget* panel = f.form->centralWidget();
    QPushButton* open = f.Find<QPushButton>("btnopenlast");
    QGroupBox* first = f.Find<QGroupBox>("rgfirstrec");
    QCOMPARE(f.form->minimumSize(), QSize(kMinimumWidth, kMinimumHeight));
    for (int width : {820, 720, kMinimumWidth}) {
      f.form->resize(width, 500);
      QTRY_COMPARE(panel->width(), width);
      int expected = std::max(width - open->width() - 24, first->geometry().right() + 1 + 10);
      for (const char* name : {"btnopenlast", "btnexportas", "btnpreview", "btnHelp"})
        QCOMPARE(f.Find<QPushButton>(name)->x(), expected);
      QCOMPARE(f.form->Table()->height(), panel->height() - 209);
      QCOMPARE(f.form->Table()->y(), 209);
    }
    QCOMPARE(f.form->Table()->verticalHeader()->width(), 40);
    QCOMPARE(f.form->Table()->horizontalHeader()->height(), 24);
    QCOMPARE(f.form->Table()->verticalHeader()->defaultSectionSize(), 17);
  }

  // A screen smaller than the minimum (a small one, or one scaled up) lets the
  // window shrink to it: the panel then keeps its minimum and scrolls, so no
  // control is squeezed over another or out of reach.
  void aWindowSmallerThanItsMinimumScrollsItsPanel() {
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    auto* area = qobject_cast<QScrollArea*>(f.form->centralWidget());
    QVERIFY(area != nullptr);
    QWidget* panel = area->widget();
    QGroupBox* first = f.Find<QGroupBox>("rgfirstrec");
    f.form->setMinimumSize(320, 240);
    f.form->resize(400, 300);
    QTRY_COMPARE(f.form->width(), 400);
    QCOMPARE(panel->width(), kMinimumWidth);
    QCOMPARE(panel->height(), kMinimumHeight - f.form->menuBar()->height());
    QTRY_VERIFY(area->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(area->verticalScrollBar()->isVisible());
    for (const char* name : {"btnexportas", "btnpreview", "btnHelp"}) {
      auto* button = f.Find<QPushButton>(name);
      QCOMPARE(button->x(), kMinimumWidth - button->width() - 24);
      QVERIFY(button->x() > first->geometry().right());
      area->ensureWidgetVisible(button);
      const QRect shown(button->mapTo(area->viewport(), QPoint()), button->size());
      QVERIFY2(area->viewport()->rect().contains(shown), name);
    }
    QCOMPARE(f.form->Table()->y(), 209);
  }

  void draggedWidthsReachTheState() {
    WindowFixture f;
    f.Open(f.WriteFile("w.txt", "a,b,c\n"));
    f.state.settingsChanged = false;
    f.form->Table()->horizontalHeader()->resizeSection(1, 133);
    QCOMPARE(f.state.displayedWidths.at(2), 133);
    QCOMPARE(f.form->Table()->horizontalHeader()->sectionSize(0), f.state.settings.columns.entries[1].width);
  }

  void aMillionRowsOpenAtOnce() {
    WindowFixture f;
    std::string text;
    text.reserve(12'000'000);
    for (int i = 0; i < 1'000'000; ++i) text += "p,1." + std::to_string(i % 10) + "\n";
    std::string path = f.WriteFile("big.txt", text);
    f.form->resize(720, 500);
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QElapsedTimer clock;
    clock.start();
    f.Open(path);
    QTableView* table = f.form->Table();
    QCOMPARE(table->model()->rowCount(), 1'000'000);
    table->scrollToBottom();
    QCoreApplication::processEvents();
    table->scrollToTop();
    QCoreApplication::processEvents();
    qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 5000, qPrintable(QString("open and scroll took %1 ms").arg(elapsed)));
    QCOMPARE(table->model()->headerData(999'999, Qt::Vertical).toString(), QStringLiteral("1000000"));
    QHeaderView* rows = table->verticalHeader();
    QVERIFY(rows->width() >= rows->fontMetrics().horizontalAdvance("1000000"));
  }
};

static RegisterAppTest<WindowTest> registerWindowTest;

}  // namespace zevi::testing

#include "window_test.moc"
