// The preview dialog and the suggestion dialog on a state of their own: what
// they show, where the track is drawn, the failing records, and applying.
#include <QApplication>
#include <QImage>
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

void Fill(AppState& state, const std::vector<std::vector<std::string>>& rows) {
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
