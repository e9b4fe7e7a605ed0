#include "previewdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "cp1252.h"
#include "settings/state.h"

namespace zevi {

namespace {

// Room around the plot for the tick labels.
constexpr int kLeftRoom = 78;
constexpr int kBottomRoom = 42;
constexpr int kTopRoom = 10;
constexpr int kRightRoom = 18;
constexpr int kInnerMargin = 14;  // between the outermost points and the axes
constexpr double kHoverRadius = 6;
constexpr int kFailureListWidth = 280;

const QColor kTrackColour(200, 30, 30);
const QColor kStartColour(20, 140, 40);
const QColor kWaypointColour(20, 70, 190);
const QColor kGridLineColour(225, 225, 225);

constexpr int kColumnRole = Qt::UserRole;
constexpr int kRecordRole = Qt::UserRole + 1;

}  // namespace

PreviewMap::PreviewMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewMap"));
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  setPalette(colours);
  setMinimumSize(320, 240);
}

void PreviewMap::SetData(const PreviewData* data, char decimalMark) {
  data_ = data;
  decimalMark_ = decimalMark;
  prepared_ = false;
  update();
}

QRect PreviewMap::PlotArea() const {
  return QRect(kLeftRoom, kTopRoom, std::max(width() - kLeftRoom - kRightRoom, 1),
               std::max(height() - kTopRoom - kBottomRoom, 1));
}

void PreviewMap::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  drawn_.clear();
  if (data_ == nullptr) return;
  QRect area = PlotArea();
  frame_ = FitFrame(data_->bounds, data_->axes, area.width(), area.height(), kInnerMargin);
  drawn_ = ThinForDrawing(*data_, frame_, area.width(), area.height());
}

const std::vector<std::uint32_t>& PreviewMap::Drawn() {
  Prepare();
  return drawn_;
}

QPointF PreviewMap::PixelOf(double x, double y) {
  Prepare();
  QRect area = PlotArea();
  return QPointF(area.left() + frame_.PixelX(x), area.top() + frame_.PixelY(y));
}

void PreviewMap::resizeEvent(QResizeEvent* event) {
  prepared_ = false;
  QWidget::resizeEvent(event);
}

QString PreviewMap::TextAt(const QPoint& position) {
  Prepare();
  if (data_ == nullptr) return {};
  QRect area = PlotArea();
  int index = NearestPoint(*data_, drawn_, frame_, position.x() - area.left(),
                           position.y() - area.top(), kHoverRadius);
  if (index < 0) return {};
  QString record = QStringLiteral("record %1").arg(data_->points[static_cast<std::size_t>(index)].record);
  if (data_->mode == 'T') return record.replace(0, 1, QLatin1Char('R'));
  return FromCp1252(data_->IdOf(static_cast<std::size_t>(index))) + QStringLiteral(" (") + record +
         QLatin1Char(')');
}

void PreviewMap::mouseMoveEvent(QMouseEvent* event) {
  QString text = TextAt(event->position().toPoint());
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
  }
  QWidget::mouseMoveEvent(event);
}

void PreviewMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect area = PlotArea();
  if (data_ == nullptr || data_->points.empty()) {
    QString text = data_ == nullptr || data_->note.empty() ? QStringLiteral("No positions to show")
                                                           : FromCp1252(data_->note);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text);
    return;
  }
  Prepare();
  DrawAxes(painter, area);
  painter.save();
  painter.setClipRect(area);
  painter.translate(area.topLeft());
  painter.setRenderHint(QPainter::Antialiasing, drawn_.size() < 200000);
  DrawPositions(painter);
  painter.restore();
  DrawScaleBar(painter, area);
}

void PreviewMap::DrawAxes(QPainter& painter, const QRect& area) {
  const bool degrees = data_->axes == PreviewAxes::Degrees;
  const char mark = decimalMark_;
  QFontMetrics metrics(font());
  painter.setPen(Qt::black);
  painter.drawRect(area.adjusted(0, 0, -1, -1));

  AxisTicks across = ChooseTicks(frame_.DataX(0), frame_.DataX(area.width()),
                                 std::max(2, area.width() / 110));
  for (double value : across.values) {
    int x = area.left() + static_cast<int>(std::lround(frame_.PixelX(value)));
    painter.setPen(kGridLineColour);
    painter.drawLine(x, area.top() + 1, x, area.bottom() - 1);
    painter.setPen(Qt::black);
    painter.drawLine(x, area.bottom(), x, area.bottom() + 4);
    QString label = FromCp1252(TickLabel(value, across.step, data_->axes, mark));
    int labelWidth = metrics.horizontalAdvance(label);
    painter.drawText(x - labelWidth / 2, area.bottom() + 6 + metrics.ascent(), label);
  }
  AxisTicks up = ChooseTicks(frame_.DataY(area.height()), frame_.DataY(0),
                             std::max(2, area.height() / 60));
  for (double value : up.values) {
    int y = area.top() + static_cast<int>(std::lround(frame_.PixelY(value)));
    painter.setPen(kGridLineColour);
    painter.drawLine(area.left() + 1, y, area.right() - 1, y);
    painter.setPen(Qt::black);
    painter.drawLine(area.left() - 4, y, area.left(), y);
    QString label = FromCp1252(TickLabel(value, up.step, data_->axes, mark));
    painter.drawText(area.left() - 6 - metrics.horizontalAdvance(label),
                     y + metrics.ascent() / 2 - 1, label);
  }
  QString across_ = degrees ? QStringLiteral("Longitude") : QStringLiteral("Easting");
  QString up_ = degrees ? QStringLiteral("Latitude") : QStringLiteral("Northing");
  painter.drawText(area.left() + (area.width() - metrics.horizontalAdvance(across_)) / 2,
                   height() - 4, across_);
  painter.save();
  painter.translate(metrics.ascent() + 2, area.top() + (area.height() + metrics.horizontalAdvance(up_)) / 2);
  painter.rotate(-90);
  painter.drawText(0, 0, up_);
  painter.restore();
}

void PreviewMap::DrawPositions(QPainter& painter) {
  const auto& points = data_->points;
  auto pixel = [&](std::uint32_t index) {
    return QPointF(frame_.PixelX(points[index].x), frame_.PixelY(points[index].y));
  };
  if (data_->mode == 'T') {
    QPolygonF line;
    std::vector<QPointF> starts;
    painter.setPen(QPen(kTrackColour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (std::uint32_t index : drawn_) {
      if (points[index].trackStart || index == drawn_.front()) {
        if (line.size() > 1) painter.drawPolyline(line);
        line.clear();
        starts.push_back(pixel(index));
      }
      line << pixel(index);
    }
    if (line.size() > 1) painter.drawPolyline(line);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kStartColour);
    for (const QPointF& start : starts) painter.drawEllipse(start, 4, 4);
    return;
  }
  if (data_->mode == 'R' && drawn_.size() > 1) {
    QPolygonF route;
    for (std::uint32_t index : drawn_) route << pixel(index);
    painter.setPen(QPen(kWaypointColour, 1, Qt::DashLine));
    painter.drawPolyline(route);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kWaypointColour);
  for (std::uint32_t index : drawn_) painter.drawEllipse(pixel(index), 3, 3);
}

void PreviewMap::DrawScaleBar(QPainter& painter, const QRect& area) {
  ScaleBar bar = ChooseScaleBar(frame_, area.width() / 4.0);
  if (bar.pixels <= 0) return;
  QFontMetrics metrics(font());
  const int left = area.left() + 12;
  const int y = area.bottom() - 12;
  const int right = left + static_cast<int>(std::lround(bar.pixels));
  QString label = FromCp1252(bar.label);
  painter.fillRect(QRect(left - 4, y - metrics.height() - 6, std::max(right - left, metrics.horizontalAdvance(label)) + 8,
                         metrics.height() + 12),
                   QColor(255, 255, 255, 210));
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(left, y, right, y);
  painter.drawLine(left, y - 4, left, y + 2);
  painter.drawLine(right, y - 4, right, y + 2);
  painter.setPen(Qt::black);
  painter.drawText(left, y - 6, label);
}

PreviewDialog::PreviewDialog(const AppState& state, std::function<void(int, int)> selectCell,
                             QWidget* parent)
    : QDialog(parent), state_(state), selectCell_(std::move(selectCell)) {
  setObjectName(QStringLiteral("PreviewDialog"));
  setWindowTitle(QStringLiteral("Preview Positions"));
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("lblPreviewSummary"));
  summary_->setWordWrap(true);
  map_ = new PreviewMap(this);
  failures_ = new QListWidget(this);
  failures_->setObjectName(QStringLiteral("lstFailures"));
  failures_->setFixedWidth(kFailureListWidth);
  connect(failures_, &QListWidget::itemClicked, this, &PreviewDialog::FailureClicked);
  connect(failures_, &QListWidget::itemActivated, this, &PreviewDialog::FailureClicked);

  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(QStringLiteral("Failing records"), this));
  side->addWidget(failures_, 1);
  auto* middle = new QHBoxLayout;
  middle->addWidget(map_, 1);
  middle->addLayout(side);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* refresh = buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ActionRole);
  refresh->setObjectName(QStringLiteral("btnPreviewRefresh"));
  connect(refresh, &QPushButton::clicked, this, &PreviewDialog::Reload);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addLayout(middle, 1);
  layout->addWidget(buttons);
  resize(960, 620);
  Reload();
}

void PreviewDialog::Reload() {
  map_->SetData(nullptr, '.');
  data_ = ReadPreview(state_);
  map_->SetData(&data_, state_.locale.decimalSeparator);

  failures_->clear();
  for (const PreviewFailure& failure : data_.failures) {
    auto* item = new QListWidgetItem(QStringLiteral("Record %1: ").arg(failure.record) +
                                     MessageText(failure.message));
    item->setData(kColumnRole, failure.column);
    item->setData(kRecordRole, failure.record);
    failures_->addItem(item);
  }
  if (data_.failureCount > data_.failures.size()) {
    auto* more = new QListWidgetItem(
        QStringLiteral("... and %1 more").arg(data_.failureCount - data_.failures.size()));
    more->setFlags(Qt::NoItemFlags);
    failures_->addItem(more);
  }

  std::size_t tracks = 0;
  for (const PreviewPoint& point : data_.points) tracks += point.trackStart ? 1 : 0;
  QString text;
  if (data_.mode == 'T') {
    text = QStringLiteral("%1 trackpoints in %2 %3").arg(data_.points.size()).arg(tracks)
               .arg(tracks == 1 ? QStringLiteral("track") : QStringLiteral("tracks"));
  } else {
    text = QStringLiteral("%1 waypoints").arg(data_.points.size());
  }
  text += QStringLiteral("; %1 failing %2").arg(data_.failureCount)
              .arg(data_.failureCount == 1 ? QStringLiteral("record") : QStringLiteral("records"));
  if (!data_.note.empty()) text += QStringLiteral(". ") + FromCp1252(data_.note);
  summary_->setText(text);
}

void PreviewDialog::FailureClicked(QListWidgetItem* item) {
  if (item == nullptr || !selectCell_ || !item->data(kRecordRole).isValid()) return;
  selectCell_(item->data(kColumnRole).toInt(), item->data(kRecordRole).toInt());
}

}  // namespace zevi
