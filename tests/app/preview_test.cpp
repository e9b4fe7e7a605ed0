// The preview dialog and the suggestion dialog on a state of their own: what
// they show, where the track is drawn, the failing records, and applying.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QScreen>
#include <QWheelEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "apptest.h"
#include "previewdialog.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "source/loader.h"
#include "suggestdialog.h"
#include "support/scripted_ui.h"

namespace zevi::testing {

namespace {

void Columns(AppState& state, const std::vector<const char*>& codes) {
  int column = 1;
  for (const char* code : codes) state.settings.columns.entries[column++].code = code;
  state.columnCount = column;
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
}

// Rows as a loaded file would give them.
void Fill(AppState& state, const std::vector<std::vector<std::string>>& rows) {
  state.sourceFile = "filled.txt";
  state.table.Layout(state.columnCount, static_cast<int>(rows.size()) + 1);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].empty()) continue;
    std::vector<std::string_view> cells(rows[r].begin(), rows[r].end());
    state.table.FillRow(static_cast<int>(r) + 1, cells);
  }
}

// The share of pixels around a point that have the colour, within a tolerance.
bool ColourNear(const QImage& image, QPointF at, QColor colour, int radius) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      QPoint p(static_cast<int>(std::lround(at.x())) + dx, static_cast<int>(std::lround(at.y())) + dy);
      if (!image.rect().contains(p)) continue;
      QColor c = image.pixelColor(p);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40) {
        return true;
      }
    }
  }
  return false;
}

const QColor kTrack(200, 30, 30);
const QColor kSea(214, 230, 245);
const QColor kLand(242, 238, 224);

// The dialog on the screen at the size the map checks assume.
bool ShownAtMapSize(QWidget& dialog) {
  dialog.resize(900, 640);
  dialog.show();
  return QTest::qWaitForWindowExposed(&dialog);
}

// The walk example with its west signs lost: in the North Sea.
void UnsignedWalk(AppState& state) {
  state.programFolder = std::string(ZEVI_DATA_DIR) + "/";
  Columns(state, {"I_", "KD", "LD"});
  Fill(state, {{"EAS01", "54.458412", "3.023577"}, {"EAS10", "54.462511", "3.040688"},
               {"EAS20", "54.460450", "3.059675"}, {"EAS23", "54.458641", "3.065448"}});
}

const char* kWestWarning =
    "100% of the positions are in the sea; with west longitudes they are all on land: set "
    "Settings > Sign to West, or check the longitude column";

void Wheel(QWidget* widget, QPointF at, int notches) {
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

void Mouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

class PreviewDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void waypointsFailuresAndHover() {
    AppState state;
    state.edits.idPrefix = "WPT";
    Columns(state, {"KD", "LD", "HM"});
    Fill(state, {{"54.53", "-3.02", "950"}, {"54.54", "x", "800"}, {}, {"54.55", "-2.95", "1o0"},
                 {"54.54", "-2.96", "150"}});
    std::vector<std::pair<int, int>> selected;
    PreviewDialog dialog(state, [&](int column, int row) { selected.emplace_back(column, row); });
    dialog.resize(900, 600);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.Summary()->text(), QStringLiteral("2 waypoints; 2 failing records"));
    QListWidget* failures = dialog.Failures();
    QCOMPARE(failures->count(), 2);
    QCOMPARE(failures->item(0)->text(), QStringLiteral("Record 2: Invalid Coordinate Format"));
    QCOMPARE(failures->item(1)->text(),
             QStringLiteral("Record 4: '1o0' is not a valid floating point value"));
    QTest::mouseClick(failures->viewport(), Qt::LeftButton, Qt::NoModifier,
                      failures->visualItemRect(failures->item(1)).center());
    QCOMPARE(selected, (std::vector<std::pair<int, int>>{{3, 4}}));

    PreviewMap* map = dialog.Map();
    QCOMPARE(map->Drawn().size(), std::size_t{2});
    QPointF first = map->PixelOf(-3.02, 54.53);
    QCOMPARE(map->TextAt(first.toPoint()), QStringLiteral("WPT001 (record 1)"));
    QCOMPARE(map->TextAt(map->PixelOf(-2.96, 54.54).toPoint() + QPoint(3, -2)),
             QStringLiteral("WPT004 (record 5)"));
    QCOMPARE(map->TextAt(first.toPoint() + QPoint(20, 0)), QString());
    QVERIFY2(first.x() < map->PixelOf(-2.96, 54.54).x(), "west is left");
  }

  void emptyAndRefreshed() {
    AppState state;
    Columns(state, {"I_"});
    Fill(state, {{"A"}});
    PreviewDialog dialog(state, {});
    QVERIFY(dialog.Data().points.empty());
    QVERIFY(dialog.Summary()->text().endsWith(
        "No position columns: assign Latitude and Longitude, a Grid column, or Easting and Northing"));
    Columns(state, {"KD", "LD"});
    Fill(state, {{"1", "2"}});
    dialog.findChild<QPushButton*>("btnPreviewRefresh")->click();
    QCOMPARE(dialog.Data().points.size(), std::size_t{1});
  }

  // The example track, read as a user would set it up: its suggested kinds,
  // trackpoints from record 2, no change column (the default, column A,
  // holds the time and would start a track at every point). The picture shows it where it lies: the summit
  // of Helvellyn left of and below Glenridding, two tracks.
  void ridgeTrackDrawnWhereItBelongs() {
    AppState state;
    ScriptedUi ui;
    state.settings.mode = 'T';
    LoadSourceFile(state, ui, std::string(ZEVI_DATA_DIR) + "/examples/ridge-track.csv");
    ApplySuggestion(state, ui, SuggestKinds(state));
    state.settings.firstRecordMode = 'R';
    state.settings.firstRecord = 2;
    state.edits.firstRecord = "2";
    state.settings.trackStart = 0;
    QVERIFY(ui.messages.empty());

    PreviewDialog dialog(state, {});
    dialog.resize(960, 620);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.Summary()->text(), QStringLiteral("1917 trackpoints in 2 tracks; 0 failing records"));
    // Under Xvfb the picture is kept for the README.
    QByteArray shot = qgetenv("ZEVI_PREVIEW_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(dialog.grab().save(QString::fromLocal8Bit(shot)));
    QImage image = dialog.Map()->grab().toImage();
    QPointF summit = dialog.Map()->PixelOf(-3.0164, 54.5271);
    QPointF village = dialog.Map()->PixelOf(-2.9510, 54.5445);
    QVERIFY(summit.x() < village.x() && summit.y() > village.y());
    QVERIFY2(ColourNear(image, dialog.Map()->PixelOf(-3.0030, 54.5300), kTrack, 3),
             "the track runs along Striding Edge");
    QVERIFY2(ColourNear(image, dialog.Map()->PixelOf(-3.0102, 54.5338), kTrack, 3),
             "and over Catstye Cam");
    QVERIFY2(ColourNear(image, dialog.Map()->PixelOf(-2.9600, 54.5418), kTrack, 3),
             "and leaves the village westwards");
    QVERIFY2(!ColourNear(image, dialog.Map()->PixelOf(-2.96, 54.528), kTrack, 3),
             "nothing south of the village");
  }

  void suggestionShownAndApplied() {
    AppState state;
    ScriptedUi ui;
    Columns(state, {"__", "__", "__"});
    Fill(state, {{"name", "lat", "lon"}, {"HOME", "51.50123", "-0.12345"}});
    bool shown = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<SuggestDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      shown = true;
      QTableWidget* table = dialog->Table();
      QCOMPARE(table->rowCount(), 3);
      QCOMPARE(table->item(1, 1)->text(), QStringLiteral("Lat (DD.dd)"));
      QCOMPARE(table->item(1, 2)->text(),
               QStringLiteral("heading \"lat\"; values read as DD.dddddd, 51.5012 to 51.5012"));
      QVERIFY(dialog->Note()->text().startsWith("The first line is read as headings."));
      dialog->ApplyButton()->click();
    });
    QVERIFY(SuggestKindsCommand(state, ui, nullptr));
    QVERIFY(shown);
    QVERIFY(state.settingsChanged);
    QCOMPARE(state.settings.columns.entries[1].code, std::string("I_"));
    QCOMPARE(state.settings.columns.entries[3].code, std::string("LD"));

    // Cancel leaves everything as it was.
    Columns(state, {"__", "__", "__"});
    state.settingsChanged = false;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QVERIFY(!SuggestKindsCommand(state, ui, nullptr));
    QVERIFY(!state.settingsChanged);
    QCOMPARE(state.settings.columns.entries[2].code, std::string("__"));
  }
};

static RegisterAppTest<PreviewDialogTest> registerPreviewDialogTest;

// The base map under the points, the view, grid positions and the check.
class MapPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void noFileLoaded() {
    AppState state;
    PreviewDialog dialog(state, {});
    QCOMPARE(dialog.Summary()->text(), QStringLiteral("No file loaded"));
    QVERIFY(dialog.Data().points.empty());
    dialog.resize(700, 500);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.PositionCheck()->isHidden());
    QVERIFY(dialog.Failures()->parentWidget()->isHidden());
  }

  void landAndSeaUnderThePointsAndTheCheck() {
    AppState state;
    UnsignedWalk(state);
    PreviewDialog dialog(state, {});
    QVERIFY(ShownAtMapSize(dialog));
    QCOMPARE(dialog.PositionCheck()->text(), QString::fromLatin1(kWestWarning));
    QVERIFY(dialog.PositionCheck()->isVisible());
    QVERIFY2(dialog.Failures()->parentWidget()->isHidden(), "no failing records: the map takes the room");

    PreviewMap* map = dialog.Map();
    QCOMPARE(map->MapNote(), QString());
    QCOMPARE(map->MapScaleShown(), 10);
    QImage image = map->grab().toImage();
    QVERIFY2(ColourNear(image, map->PixelOf(3.05, 54.455), kSea, 2), "the points lie in the sea");

    // Out to a few kilometres a pixel: coarser outlines, and the Lake
    // District (where the walk belongs) is land.
    QPointF centre = map->PixelOf(3.04, 54.46);
    map->ZoomAt(centre, 1.0 / 1000);
    QVERIFY(map->MapScaleShown() > 10);
    image = map->grab().toImage();
    QVERIFY2(ColourNear(image, map->PixelOf(-2.5, 54.2), kLand, 2), "northern England is land");
    QVERIFY2(ColourNear(image, map->PixelOf(4.0, 55.5), kSea, 2), "the North Sea is sea");
    QCOMPARE(map->PixelOf(3.04, 54.46), centre);
  }

  void wheelZoomsAboutThePointerAndDragPans() {
    AppState state;
    UnsignedWalk(state);
    PreviewDialog dialog(state, {});
    QVERIFY(ShownAtMapSize(dialog));
    PreviewMap* map = dialog.Map();
    const QPointF first = map->PixelOf(3.023577, 54.458412);
    const QPointF last = map->PixelOf(3.065448, 54.458641);
    const double span = last.x() - first.x();

    Wheel(map, first, 2);  // two notches in: 1.25 x 1.25 larger, the first point stays put
    QVERIFY(std::abs(map->PixelOf(3.023577, 54.458412).x() - first.x()) < 1e-6);
    QVERIFY(std::abs((map->PixelOf(3.065448, 54.458641).x() - first.x()) - span * 1.5625) < 1e-6);
    Wheel(map, first, -2);
    QVERIFY(std::abs((map->PixelOf(3.065448, 54.458641).x() - first.x()) - span) < 1e-6);

    Mouse(map, QEvent::MouseButtonPress, QPointF(300, 300), Qt::LeftButton);
    Mouse(map, QEvent::MouseMove, QPointF(340, 280), Qt::LeftButton);
    Mouse(map, QEvent::MouseMove, QPointF(350, 270), Qt::LeftButton);
    Mouse(map, QEvent::MouseButtonRelease, QPointF(350, 270), Qt::NoButton);
    QPointF moved = map->PixelOf(3.023577, 54.458412);
    QVERIFY(std::abs(moved.x() - (first.x() + 50)) < 1e-6 && std::abs(moved.y() - (first.y() - 30)) < 1e-6);

    map->FitPoints();
    QCOMPARE(map->PixelOf(3.023577, 54.458412), first);
  }

  // UTM positions whose zone letters are of the other hemisphere: drawn in
  // degrees where the letters put them, the check names the fix, and the
  // axes switch to grid metres.
  void gridPositionsInDegreesOrGridMetres() {
    AppState state;
    state.programFolder = std::string(ZEVI_DATA_DIR) + "/";
    SetGridFiles(state.grid, state.programFolder);
    state.grid.name = "UTM";
    state.grid.zoneWidth = 3;
    state.grid.eastingDigits = 6;
    state.grid.northingDigits = 7;
    state.settings.grid = "UTM";
    Columns(state, {"Z_", "E_", "N_"});
    Fill(state, {{"30F", "498471.6", "6034527.0"}, {"30F", "496638.6", "6034751.4"},
                 {"30F", "494745.4", "6034532.2"}});
    PreviewDialog dialog(state, {});
    QCOMPARE(dialog.PositionCheck()->text(),
             QStringLiteral("100% of the positions are in the sea; with zone letters of the northern "
                            "hemisphere (N to X) they are all on land: check the zone column"));
    QVERIFY(!dialog.Axes()->isHidden());
    QCOMPARE(dialog.Data().axes, PreviewAxes::Grid);
    QCOMPARE(dialog.Shown().axes, PreviewAxes::Degrees);
    QCOMPARE(dialog.Shown().points.size(), std::size_t{3});
    QVERIFY(std::abs(dialog.Shown().points[0].y - -35.8334228) < 1e-6);
    QVERIFY(std::abs(dialog.Shown().points[0].x - -3.0169227) < 1e-6);

    QVERIFY(ShownAtMapSize(dialog));
    QCOMPARE(dialog.Map()->MapScaleShown(), 10);

    // In grid metres the map is drawn in the zone's own projection: out at
    // a few kilometres a pixel the positions lie in the South Atlantic, and
    // the same grid values in the northern band are on the English coast.
    dialog.Axes()->setCurrentIndex(1);
    emit dialog.Axes()->activated(1);
    QCOMPARE(&dialog.Shown(), &dialog.Data());
    QCOMPARE(dialog.Map()->Drawn().size(), std::size_t{3});
    PreviewMap* map = dialog.Map();
    QCOMPARE(map->MapScaleShown(), 10);
    map->ZoomAt(map->PixelOf(498471.6, 6034527.0), 1.0 / 1000);
    QVERIFY(map->MapScaleShown() > 10);
    QImage image = map->grab().toImage();
    QVERIFY2(ColourNear(image, map->PixelOf(498471.6 + 40000, 6034527.0), kSea, 2), "open sea");

    // With northern letters the same values are in the Lake District: land
    // under the points in grid metres too, and nothing to say.
    Fill(state, {{"30U", "498471.6", "6034527.0"}, {"30U", "496638.6", "6034751.4"},
                 {"30U", "494745.4", "6034532.2"}});
    dialog.findChild<QPushButton*>("btnPreviewRefresh")->click();
    QCOMPARE(dialog.Axes()->currentIndex(), 1);
    QVERIFY(dialog.PositionCheck()->isHidden());
    image = map->grab().toImage();
    QVERIFY2(ColourNear(image, map->PixelOf(497000, 6034000), kLand, 2), "the fells are land");
    map->ZoomAt(map->PixelOf(496638.6, 6034751.4), 1.0 / 1000);
    image = map->grab().toImage();
    QVERIFY2(ColourNear(image, map->PixelOf(498471.6 + 250000, 6034527.0), kSea, 2),
             "the North Sea, 250 km east");
    QVERIFY2(ColourNear(image, map->PixelOf(498471.6 + 60000, 6034527.0), kLand, 2),
             "the Pennines, 60 km east");
  }

  void withoutTheBaseMap() {
    AppState state;
    UnsignedWalk(state);
    state.programFolder = "/nonexistent/";
    PreviewDialog dialog(state, {});
    QCOMPARE(dialog.Map()->MapNote(), QStringLiteral("Base map file:/nonexistent/worldmap.bin does not exist"));
    QCOMPARE(dialog.Map()->MapScaleShown(), 0);
    QVERIFY2(dialog.PositionCheck()->isHidden(), "no map, no check");
    QCOMPARE(dialog.Map()->Drawn().size(), std::size_t{4});
  }

  void wholeFailureTexts() {
    AppState state;
    Columns(state, {"KD", "LD"});
    Fill(state, {{"54.5", std::string(60, '9') + "x"}});
    PreviewDialog dialog(state, {});
    QListWidget* failures = dialog.Failures();
    QCOMPARE(failures->count(), 1);
    QVERIFY(failures->wordWrap());
    QCOMPARE(failures->textElideMode(), Qt::ElideNone);
    QCOMPARE(failures->item(0)->toolTip(), failures->item(0)->text());
  }

  void opensBesideTheWindow() {
    QWidget window;
    QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    if (free.width() < 760) QSKIP("the screen has no room beside a window");
    // Room for a preview of 520 pixels on the right.
    window.setGeometry(free.left(), free.top(), free.width() - 540, free.height() / 2);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    AppState state;
    PreviewDialog dialog(state, {}, &window);
    QVERIFY2(dialog.x() > window.frameGeometry().right(),
             qPrintable(QStringLiteral("dialog at %1, window ends at %2").arg(dialog.x()).arg(window.frameGeometry().right())));
    QVERIFY(dialog.x() + dialog.width() - 1 <= free.right());
  }

  // With no room beside a window that fills the screen, the preview still
  // fits the screen, its buttons in sight (a scaled screen has little room).
  void withNoRoomBesideTheWindowItStaysOnTheScreen() {
    QWidget window;
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    window.setGeometry(free);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    AppState state;
    PreviewDialog dialog(state, {}, &window);
    QVERIFY2(dialog.width() <= free.width() && dialog.height() <= free.height(),
             qPrintable(QStringLiteral("%1x%2 on %3x%4").arg(dialog.width()).arg(dialog.height())
                            .arg(free.width()).arg(free.height())));
    QVERIFY(free.contains(QRect(dialog.pos(), dialog.size())));
  }

  void suggestKindsSaysWhereThePositionsLie() {
    AppState state;
    ScriptedUi ui;
    UnsignedWalk(state);
    QString note;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<SuggestDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      note = dialog->Note()->text();
      dialog->close();
    });
    SuggestKindsCommand(state, ui, nullptr);
    QVERIFY2(note.endsWith(QStringLiteral("\n") + QString::fromLatin1(kWestWarning)), qPrintable(note));
  }
};

static RegisterAppTest<MapPreviewTest> registerMapPreviewTest;

// The commands as the window offers them.
class PreviewWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void suggestThenPreviewFromTheMenus() {
    WindowFixture window;
    window.Open(std::string(ZEVI_DATA_DIR) + "/examples/ridge-track.csv");
    QCOMPARE(window.HeadingOf(2), QStringLiteral("B: Ignore"));

    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<SuggestDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      dialog->ApplyButton()->click();
    });
    window.Trigger("mnuSuggestKinds");
    QCOMPARE(window.HeadingOf(1), QStringLiteral("Date(DMY)  Time"));
    QCOMPARE(window.HeadingOf(2), QStringLiteral("Lat (DD.dd)"));
    QVERIFY(window.state.settingsChanged);

    // The heading line is still record 1: the preview lists it, and a click
    // on it selects its latitude cell.
    window.Trigger("mnuPreview");
    auto* preview = window.form->findChild<PreviewDialog*>();
    QVERIFY(preview != nullptr);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->Data().points.size(), std::size_t{1917});
    QListWidget* failures = preview->Failures();
    QCOMPARE(failures->item(0)->text(), QStringLiteral("Record 1: Invalid Coordinate Format"));
    QTest::mouseClick(failures->viewport(), Qt::LeftButton, Qt::NoModifier,
                      failures->visualItemRect(failures->item(0)).center());
    QCOMPARE(window.form->Table()->currentIndex().row(), 0);
    QCOMPARE(window.form->Table()->currentIndex().column(), 1);

    // The button beside "Export As.." reads again into the same dialog.
    window.form->rgfirstrecClick(1);
    auto* firstRecord = window.Find<QLineEdit>("ebfirstrec");
    firstRecord->selectAll();
    QTest::keyClicks(firstRecord, "2");
    window.Find<QPushButton>("btnpreview")->click();
    QCOMPARE(window.form->findChildren<PreviewDialog*>().size(), 1);
    QCOMPARE(preview->Failures()->count(), 0);
  }
};

static RegisterAppTest<PreviewWindowTest> registerPreviewWindowTest;

}  // namespace zevi::testing

#include "preview_test.moc"
