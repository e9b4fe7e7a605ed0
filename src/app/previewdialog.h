#pragma once
// "Preview Positions": a map of what an export would write, beside the
// records it would fail on. The reading is the core's (export/preview.h);
// this file only draws it.
#include <QDialog>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "export/preview.h"
#include "geodesy/gridprojection.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace zevi {

struct AppState;
struct BaseMap;
struct MapLevel;

// The picture: land, sea, coasts and borders of the base map under the
// points (positions in degrees only), axes with degree (or easting and
// northing) labels, a scale bar, a world locator, tracks as lines broken
// where a track starts, waypoints as dots. The wheel zooms about the
// pointer, a drag pans, a double click fits the points again. Hovering over
// a point shows its ID and record number.
class PreviewMap : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewMap(QWidget* parent = nullptr);

  // Tick labels are written with the system's decimal mark.
  void SetData(const PreviewData* data, char decimalMark);
  // Drawn under degree positions; none: bare axes.
  void SetBaseMap(const BaseMap* map);
  // Grid positions: the base map drawn in the grid's metres through this
  // converter, in the zone given (UTM). None: grid positions on bare axes.
  void SetGrid(std::shared_ptr<const GridConverter> converter, const std::string& zone);
  // Shown in the middle when there is nothing to draw (first line and more).
  void SetEmptyText(const QString& text) { emptyText_ = text; update(); }
  // Why there is no base map, shown in a corner of the plot; empty: none.
  void SetMapNote(const QString& text) { mapNote_ = text; update(); }
  const QString& MapNote() const { return mapNote_; }
  // The tooltip text for a position in the widget; empty when no point is near.
  QString TextAt(const QPoint& position);
  // The points drawn at the current size, as indices into the data's points.
  const std::vector<std::uint32_t>& Drawn();
  // Where a data position is drawn.
  QPointF PixelOf(double x, double y);

  // The view: zoom by `factor` keeping the data under `pixel` in place, pan
  // by pixels, and fit the points again.
  void ZoomAt(const QPointF& pixel, double factor);
  void PanBy(const QPointF& pixels);
  void FitPoints();
  // The scale of the base map drawn now (110, 50, 10); 0 when none is.
  int MapScaleShown();

  QSize sizeHint() const override { return {640, 480}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // Frame and thinned points for the current size and view.
  void Prepare();
  QRect PlotArea() const;
  bool MapShown() const;
  const MapLevel* LevelForView() const;
  void DrawBaseMap(QPainter& painter, const QRect& area);
  void DrawGridLines(QPainter& painter, const QRect& area, const AxisTicks& across, const AxisTicks& up);
  void DrawAxes(QPainter& painter, const QRect& area, const AxisTicks& across, const AxisTicks& up);
  void DrawPositions(QPainter& painter);
  void DrawScaleBar(QPainter& painter, const QRect& area);
  void DrawLocator(QPainter& painter, const QRect& area);

  // A level's outlines in grid metres, within reach of the central meridian.
  struct ProjectedLines {
    std::vector<QPointF> points;
    std::vector<std::uint32_t> ends;
    std::vector<QRectF> boxes;
  };
  struct ProjectedLevel {
    const MapLevel* level = nullptr;
    ProjectedLines land, borders;
  };
  const ProjectedLevel& Projected(const MapLevel& level);
  // The view's corners in degrees, for the locator.
  QRectF ViewInDegrees(const QRect& area) const;

  const PreviewData* data_ = nullptr;
  const BaseMap* map_ = nullptr;
  std::shared_ptr<const GridConverter> grid_;
  std::string gridZone_;
  std::vector<ProjectedLevel> projected_;
  QString emptyText_;
  QString mapNote_;
  char decimalMark_ = '.';
  bool fitted_ = false;   // the frame fits the points (or the user moved it)
  bool thinned_ = false;  // drawn_ belongs to the frame
  PlotFrame frame_;
  std::vector<std::uint32_t> drawn_;
  QPixmap locator_;       // the world, drawn once per base map
  bool dragging_ = false;
  QPointF dragFrom_;
};

class PreviewDialog : public QDialog {
  Q_OBJECT

 public:
  // `selectCell` (data column, record) selects a failing record's cell in the table.
  PreviewDialog(const AppState& state, std::function<void(int, int)> selectCell,
                QWidget* parent = nullptr);

  // Reads the record range again with the state as it is now.
  void Reload();
  // Puts the dialog beside `window` on its screen, so the table stays in view.
  void PlaceBeside(const QWidget& window);

  PreviewMap* Map() const { return map_; }
  QListWidget* Failures() const { return failures_; }
  QLabel* Summary() const { return summary_; }
  QLabel* PositionCheck() const { return check_; }
  QComboBox* Axes() const { return axes_; }
  // What was read (grid positions in grid units), and what is drawn.
  const PreviewData& Data() const { return data_; }
  const PreviewData& Shown() const;

 private:
  void FailureClicked(QListWidgetItem* item);
  void AxesChosen();

  const AppState& state_;
  std::function<void(int, int)> selectCell_;
  PreviewData data_;
  PreviewData degrees_;         // grid positions converted for the map
  std::shared_ptr<const GridConverter> converter_;
  bool degreesShown_ = false;
  PreviewMap* map_ = nullptr;
  QListWidget* failures_ = nullptr;
  QWidget* failurePanel_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* check_ = nullptr;
  QComboBox* axes_ = nullptr;
  QLabel* axesLabel_ = nullptr;
};

}  // namespace zevi
