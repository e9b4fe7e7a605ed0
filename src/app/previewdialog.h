#pragma once
// "Preview Positions": a map of what an export would write, beside the
// records it would fail on. The reading is the core's (export/preview.h);
// this file only draws it.
#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "export/preview.h"

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace zevi {

struct AppState;

// The picture: axes with degree (or easting and northing) labels, a scale
// bar, tracks as lines broken where a track starts, waypoints as dots.
// Hovering over a point shows its ID and record number.
class PreviewMap : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewMap(QWidget* parent = nullptr);

  // Tick labels are written with the system's decimal mark.
  void SetData(const PreviewData* data, char decimalMark);
  // The tooltip text for a position in the widget; empty when no point is near.
  QString TextAt(const QPoint& position);
  // The points drawn at the current size, as indices into the data's points.
  const std::vector<std::uint32_t>& Drawn();
  // Where a data position is drawn.
  QPointF PixelOf(double x, double y);

  QSize sizeHint() const override { return {640, 480}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  // Frame and thinned points for the current size.
  void Prepare();
  QRect PlotArea() const;
  void DrawAxes(QPainter& painter, const QRect& area);
  void DrawPositions(QPainter& painter);
  void DrawScaleBar(QPainter& painter, const QRect& area);

  const PreviewData* data_ = nullptr;
  char decimalMark_ = '.';
  bool prepared_ = false;
  PlotFrame frame_;
  std::vector<std::uint32_t> drawn_;
};

class PreviewDialog : public QDialog {
  Q_OBJECT

 public:
  // `selectCell` (data column, record) selects a failing record's cell in the table.
  PreviewDialog(const AppState& state, std::function<void(int, int)> selectCell,
                QWidget* parent = nullptr);

  // Reads the record range again with the state as it is now.
  void Reload();

  PreviewMap* Map() const { return map_; }
  QListWidget* Failures() const { return failures_; }
  QLabel* Summary() const { return summary_; }
  const PreviewData& Data() const { return data_; }

 private:
  void FailureClicked(QListWidgetItem* item);

  const AppState& state_;
  std::function<void(int, int)> selectCell_;
  PreviewData data_;
  PreviewMap* map_ = nullptr;
  QListWidget* failures_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace zevi
