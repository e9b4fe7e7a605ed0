#include "previewdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <optional>

#include "cp1252.h"
#include "screenfit.h"
#include "export/positioncheck.h"
#include "geodesy/basemap.h"
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
constexpr int kFailureListLeast = 160;
constexpr int kLocatorWidth = 180;  // the world locator, 2:1
constexpr double kLocatorLongestView = 60;  // degrees of longitude
// Transverse Mercator means little far from its central meridian: the map
// in grid metres reaches this many degrees either side.
constexpr double kGridMapReach = 20;
constexpr double kWheelStep = 1.25;  // zoom per notch of the wheel
constexpr int kTrackPiece = 256;      // points per polyline drawn
// Smooth lines cost several times plain ones; past this many points drawn
// the picture is too dense for it to show.
constexpr std::size_t kSmoothPoints = 20000;
// A map at 1:S million shows its detail down to about S x 50 m per pixel;
// finer views take the next level.
constexpr double kMetresPerPixelPerMillion = 50.0;
constexpr int kMinDialogWidth = 480;  // narrower beside the window is no use

const QColor kTrackColour(200, 30, 30);
const QColor kStartColour(20, 140, 40);
const QColor kWaypointColour(20, 70, 190);
const QColor kGridLineColour(225, 225, 225);
const QColor kSeaColour(214, 230, 245);
const QColor kLandColour(242, 238, 224);
const QColor kCoastColour(110, 140, 170);
const QColor kBorderColour(165, 140, 140);
const QColor kMapGridLineColour(255, 255, 255, 140);

constexpr int kColumnRole = Qt::UserRole;
constexpr int kRecordRole = Qt::UserRole + 1;

// The base map is read once per program folder and kept.
struct LoadedMap {
  std::string path;
  std::optional<BaseMap> map;
  std::string failure;
};

const LoadedMap& BaseMapIn(const std::string& folder) {
  static LoadedMap loaded;
  std::string path = folder + kBaseMapFileName;
  if (loaded.path != path || (!loaded.map && loaded.failure.empty())) {
    loaded = LoadedMap{};
    loaded.path = path;
    loaded.map = LoadBaseMap(path, loaded.failure);
  }
  return loaded;
}

}  // namespace

PreviewMap::PreviewMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewMap"));
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  setPalette(colours);
  setMinimumSize(240, 200);
}

void PreviewMap::SetData(const PreviewData* data, char decimalMark) {
  data_ = data;
  decimalMark_ = decimalMark;
  fitted_ = false;
  thinned_ = false;
  update();
}

void PreviewMap::SetBaseMap(const BaseMap* map) {
  if (map != map_) {
    locator_ = QPixmap();
    projected_.clear();
  }
  map_ = map;
  update();
}

void PreviewMap::SetGrid(std::shared_ptr<const GridConverter> converter, const std::string& zone) {
  if (converter != grid_ || zone != gridZone_) projected_.clear();
  grid_ = std::move(converter);
  gridZone_ = zone;
  update();
}

QRect PreviewMap::PlotArea() const {
  return QRect(kLeftRoom, kTopRoom, std::max(width() - kLeftRoom - kRightRoom, 1),
               std::max(height() - kTopRoom - kBottomRoom, 1));
}

bool PreviewMap::MapShown() const {
  return map_ != nullptr && data_ != nullptr && (data_->axes == PreviewAxes::Degrees || grid_);
}

void PreviewMap::Prepare() {
  if (data_ == nullptr) {
    drawn_.clear();
    return;
  }
  QRect area = PlotArea();
  if (!fitted_) {
    frame_ = FitFrame(data_->bounds, data_->axes, area.width(), area.height(), kInnerMargin);
    fitted_ = true;
    thinned_ = false;
  }
  if (!thinned_) {
    drawn_ = ThinForDrawing(*data_, frame_, area.width(), area.height());
    thinned_ = true;
  }
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

void PreviewMap::ZoomAt(const QPointF& pixel, double factor) {
  if (data_ == nullptr || !(factor > 0)) return;
  Prepare();
  QRect area = PlotArea();
  const double px = pixel.x() - area.left();
  const double py = pixel.y() - area.top();
  const double x = frame_.DataX(px);
  const double y = frame_.DataY(py);
  // From the whole Earth on the plot down to about a centimetre per pixel.
  const double earthUnits = data_->axes == PreviewAxes::Degrees ? 180.0 : 2.0e7;
  const double least = std::min(area.height() / earthUnits, frame_.pixelsPerY);
  const double most = area.height() / earthUnits * 2.0e9;
  const double pixelsPerY = std::clamp(frame_.pixelsPerY * factor, least, most);
  const double applied = pixelsPerY / frame_.pixelsPerY;
  frame_.pixelsPerY = pixelsPerY;
  frame_.pixelsPerX *= applied;
  frame_.left = x - px / frame_.pixelsPerX;
  frame_.top = y + py / frame_.pixelsPerY;
  thinned_ = false;
  update();
}

void PreviewMap::PanBy(const QPointF& pixels) {
  if (data_ == nullptr) return;
  Prepare();
  frame_.left -= pixels.x() / frame_.pixelsPerX;
  frame_.top += pixels.y() / frame_.pixelsPerY;
  thinned_ = false;
  update();
}

void PreviewMap::FitPoints() {
  fitted_ = false;
  update();
}

void PreviewMap::resizeEvent(QResizeEvent* event) {
  fitted_ = false;
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

void PreviewMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragFrom_ = event->position();
    setCursor(Qt::ClosedHandCursor);
  }
  QWidget::mousePressEvent(event);
}

void PreviewMap::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) {
    PanBy(event->position() - dragFrom_);
    dragFrom_ = event->position();
    return;
  }
  QString text = TextAt(event->position().toPoint());
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
  }
  QWidget::mouseMoveEvent(event);
}

void PreviewMap::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    unsetCursor();
  }
  QWidget::mouseReleaseEvent(event);
}

void PreviewMap::mouseDoubleClickEvent(QMouseEvent*) { FitPoints(); }

void PreviewMap::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0) ZoomAt(event->position(), std::pow(kWheelStep, notches));
  event->accept();
}

void PreviewMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect area = PlotArea();
  if (data_ == nullptr || data_->points.empty()) {
    QString text = !emptyText_.isEmpty() ? emptyText_
                   : data_ == nullptr || data_->note.empty() ? QStringLiteral("No positions to show")
                                                             : FromCp1252(data_->note);
    painter.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, text);
    return;
  }
  Prepare();
  AxisTicks across = ChooseTicks(frame_.DataX(0), frame_.DataX(area.width()),
                                 std::max(2, area.width() / 110));
  AxisTicks up = ChooseTicks(frame_.DataY(area.height()), frame_.DataY(0),
                             std::max(2, area.height() / 60));
  painter.save();
  painter.setClipRect(area);
  painter.translate(area.topLeft());
  if (MapShown()) DrawBaseMap(painter, area);
  DrawGridLines(painter, area, across, up);
  painter.setRenderHint(QPainter::Antialiasing, drawn_.size() < kSmoothPoints);
  DrawPositions(painter);
  painter.restore();
  DrawAxes(painter, area, across, up);
  DrawScaleBar(painter, area);
  if (MapShown()) DrawLocator(painter, area);
  if (!mapNote_.isEmpty()) {
    painter.setPen(Qt::darkGray);
    painter.drawText(area.adjusted(8, 8, -8, -8), Qt::AlignRight | Qt::AlignBottom | Qt::TextWordWrap,
                     mapNote_);
  }
}

const MapLevel* PreviewMap::LevelForView() const {
  if (map_ == nullptr || map_->levels.empty()) return nullptr;
  const double metresPerPixel = frame_.MetresPerPixel();
  for (const MapLevel& level : map_->levels) {
    if (metresPerPixel >= level.scaleMillions * kMetresPerPixelPerMillion) return &level;
  }
  return &map_->levels.back();
}

int PreviewMap::MapScaleShown() {
  Prepare();
  if (!MapShown()) return 0;
  const MapLevel* level = LevelForView();
  return level == nullptr ? 0 : level->scaleMillions;
}

namespace {

// The lines of `lines` whose box meets the view, as pixel polylines.
template <typename Take>
void VisibleLines(const MapLines& lines, const PlotFrame& frame, const QRect& area, Take&& take) {
  const double west = frame.DataX(0), east = frame.DataX(area.width());
  const double north = frame.DataY(0), south = frame.DataY(area.height());
  QPolygonF polygon;
  for (std::size_t line = 0; line < lines.LineCount(); ++line) {
    const MapBox& box = lines.boxes[line];
    if (box.maxLon < west || box.minLon > east || box.maxLat < south || box.minLat > north) continue;
    polygon.clear();
    polygon.reserve(static_cast<int>(lines.ends[line] - lines.Begin(line)));
    for (std::uint32_t p = lines.Begin(line); p < lines.ends[line]; ++p) {
      polygon << QPointF(frame.PixelX(lines.points[p].lon), frame.PixelY(lines.points[p].lat));
    }
    take(polygon);
  }
}

}  // namespace

namespace {

// The part of a closed ring where keep() holds, cut where it leaves: one pass
// of Sutherland and Hodgman.
template <typename Keep, typename Cross>
std::vector<LatLong> ClipRing(const std::vector<LatLong>& ring, Keep&& keep, Cross&& cross) {
  std::vector<LatLong> out;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const LatLong& previous = ring[i == 0 ? ring.size() - 1 : i - 1];
    const LatLong& current = ring[i];
    if (keep(current)) {
      if (!keep(previous)) out.push_back(cross(previous, current));
      out.push_back(current);
    } else if (keep(previous)) {
      out.push_back(cross(previous, current));
    }
  }
  return out;
}

LatLong AtLongitude(const LatLong& a, const LatLong& b, double lon) {
  const double t = (lon - a.lon) / (b.lon - a.lon);
  return {a.lat + t * (b.lat - a.lat), lon};
}

}  // namespace

const PreviewMap::ProjectedLevel& PreviewMap::Projected(const MapLevel& level) {
  for (const ProjectedLevel& done : projected_) {
    if (done.level == &level) return done;
  }
  ProjectedLevel projected;
  projected.level = &level;
  const double central = grid_->CentralLongitude(gridZone_).value_or(0.0);
  const double west = central - kGridMapReach, east = central + kGridMapReach;
  auto add = [&](ProjectedLines& lines, const std::vector<LatLong>& part) {
    QRectF box;
    bool any = false;
    for (const LatLong& p : part) {
      auto grid = grid_->ToGrid(p, gridZone_);
      if (!grid) continue;
      QPointF point(grid->easting, grid->northing);
      lines.points.push_back(point);
      box = any ? box.united(QRectF(point, point)) : QRectF(point, point);
      any = true;
    }
    if (!any) return;
    lines.ends.push_back(static_cast<std::uint32_t>(lines.points.size()));
    lines.boxes.push_back(box);
  };
  std::vector<LatLong> ring;
  for (std::size_t line = 0; line < level.land.LineCount(); ++line) {
    const MapBox& box = level.land.boxes[line];
    if (box.maxLon < west || box.minLon > east) continue;
    ring.clear();
    for (std::uint32_t p = level.land.Begin(line); p < level.land.ends[line]; ++p)
      ring.push_back({level.land.points[p].lat, level.land.points[p].lon});
    ring = ClipRing(ring, [&](const LatLong& p) { return p.lon >= west; },
                    [&](const LatLong& a, const LatLong& b) { return AtLongitude(a, b, west); });
    ring = ClipRing(ring, [&](const LatLong& p) { return p.lon <= east; },
                    [&](const LatLong& a, const LatLong& b) { return AtLongitude(a, b, east); });
    if (ring.size() >= 3) {
      ring.push_back(ring.front());
      add(projected.land, ring);
    }
  }
  // Borders: only the stretches within reach, broken where they leave it.
  std::vector<LatLong> part;
  for (std::size_t line = 0; line < level.borders.LineCount(); ++line) {
    const MapBox& box = level.borders.boxes[line];
    if (box.maxLon < west || box.minLon > east) continue;
    part.clear();
    for (std::uint32_t p = level.borders.Begin(line); p < level.borders.ends[line]; ++p) {
      const MapPoint& point = level.borders.points[p];
      if (point.lon < west || point.lon > east) {
        if (part.size() >= 2) add(projected.borders, part);
        part.clear();
        continue;
      }
      part.push_back({point.lat, point.lon});
    }
    if (part.size() >= 2) add(projected.borders, part);
  }
  projected_.push_back(std::move(projected));
  return projected_.back();
}

void PreviewMap::DrawBaseMap(QPainter& painter, const QRect& area) {
  painter.fillRect(QRect(0, 0, area.width(), area.height()), kSeaColour);
  const MapLevel* level = LevelForView();
  if (level == nullptr) return;
  painter.setRenderHint(QPainter::Antialiasing, true);
  // One path, odd-even: lakes cut out of the land they lie in.
  QPainterPath land;
  land.setFillRule(Qt::OddEvenFill);
  painter.setPen(QPen(kCoastColour, 1));
  painter.setBrush(kLandColour);
  if (data_->axes == PreviewAxes::Degrees) {
    VisibleLines(level->land, frame_, area, [&](const QPolygonF& ring) { land.addPolygon(ring); });
    painter.drawPath(land);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kBorderColour, 1, Qt::DashLine));
    VisibleLines(level->borders, frame_, area, [&](const QPolygonF& line) { painter.drawPolyline(line); });
    return;
  }
  const ProjectedLevel& projected = Projected(*level);
  const QRectF view(QPointF(frame_.DataX(0), frame_.DataY(area.height())),
                    QPointF(frame_.DataX(area.width()), frame_.DataY(0)));
  auto visible = [&](const ProjectedLines& lines, auto&& take) {
    QPolygonF polygon;
    for (std::size_t line = 0; line < lines.ends.size(); ++line) {
      if (!lines.boxes[line].intersects(view) && !view.contains(lines.boxes[line].topLeft())) continue;
      polygon.clear();
      for (std::uint32_t p = line == 0 ? 0 : lines.ends[line - 1]; p < lines.ends[line]; ++p)
        polygon << QPointF(frame_.PixelX(lines.points[p].x()), frame_.PixelY(lines.points[p].y()));
      take(polygon);
    }
  };
  visible(projected.land, [&](const QPolygonF& ring) { land.addPolygon(ring); });
  painter.drawPath(land);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kBorderColour, 1, Qt::DashLine));
  visible(projected.borders, [&](const QPolygonF& line) { painter.drawPolyline(line); });
}

void PreviewMap::DrawGridLines(QPainter& painter, const QRect& area, const AxisTicks& across,
                               const AxisTicks& up) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(MapShown() ? kMapGridLineColour : kGridLineColour);
  for (double value : across.values) {
    int x = static_cast<int>(std::lround(frame_.PixelX(value)));
    painter.drawLine(x, 1, x, area.height() - 2);
  }
  for (double value : up.values) {
    int y = static_cast<int>(std::lround(frame_.PixelY(value)));
    painter.drawLine(1, y, area.width() - 2, y);
  }
}

void PreviewMap::DrawAxes(QPainter& painter, const QRect& area, const AxisTicks& across,
                          const AxisTicks& up) {
  const bool degrees = data_->axes == PreviewAxes::Degrees;
  const char mark = decimalMark_;
  QFontMetrics metrics(font());
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  for (double value : across.values) {
    int x = area.left() + static_cast<int>(std::lround(frame_.PixelX(value)));
    painter.drawLine(x, area.bottom(), x, area.bottom() + 4);
    QString label = FromCp1252(TickLabel(value, across.step, data_->axes, mark));
    int labelWidth = metrics.horizontalAdvance(label);
    painter.drawText(x - labelWidth / 2, area.bottom() + 6 + metrics.ascent(), label);
  }
  for (double value : up.values) {
    int y = area.top() + static_cast<int>(std::lround(frame_.PixelY(value)));
    painter.drawLine(area.left() - 4, y, area.left(), y);
    QString label = FromCp1252(TickLabel(value, up.step, data_->axes, mark));
    painter.drawText(area.left() - 6 - metrics.horizontalAdvance(label),
                     y + metrics.ascent() / 2 - 1, label);
  }
  QString acrossName = degrees ? QStringLiteral("Longitude") : QStringLiteral("Easting");
  QString upName = degrees ? QStringLiteral("Latitude") : QStringLiteral("Northing");
  painter.drawText(area.left() + (area.width() - metrics.horizontalAdvance(acrossName)) / 2,
                   height() - 4, acrossName);
  painter.save();
  painter.translate(metrics.ascent() + 2,
                    area.top() + (area.height() + metrics.horizontalAdvance(upName)) / 2);
  painter.rotate(-90);
  painter.drawText(0, 0, upName);
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
    // A hairline is drawn without building an outline: the dense case.
    const bool dense = drawn_.size() >= kSmoothPoints;
    painter.setPen(QPen(kTrackColour, dense ? 0 : 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (std::uint32_t index : drawn_) {
      if (points[index].trackStart || index == drawn_.front()) {
        if (line.size() > 1) painter.drawPolyline(line);
        line.clear();
        starts.push_back(pixel(index));
      }
      line << pixel(index);
      // A wide pen's outline of a long tangled line costs far more than
      // that of its pieces: a track is drawn a few hundred points at a time.
      if (line.size() >= kTrackPiece) {
        painter.drawPolyline(line);
        QPointF joint = line.back();
        line.clear();
        line << joint;
      }
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
  painter.fillRect(QRect(left - 4, y - metrics.height() - 6,
                         std::max(right - left, metrics.horizontalAdvance(label)) + 8,
                         metrics.height() + 12),
                   QColor(255, 255, 255, 210));
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(left, y, right, y);
  painter.drawLine(left, y - 4, left, y + 2);
  painter.drawLine(right, y - 4, right, y + 2);
  painter.setPen(Qt::black);
  painter.drawText(left, y - 6, label);
}

// The whole Earth, plate carrée, with the view marked on it.
void PreviewMap::DrawLocator(QPainter& painter, const QRect& area) {
  const int w = kLocatorWidth;
  const int h = kLocatorWidth / 2;
  // Of no use on a small plot, or when the view shows a good part of the world.
  if (area.width() < 2 * w || area.height() < 3 * h || ViewInDegrees(area).width() > kLocatorLongestView)
    return;
  if (locator_.isNull()) {
    locator_ = QPixmap(w, h);
    locator_.fill(kSeaColour);
    QPainter world(&locator_);
    world.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    const MapLines& rings = map_->levels.front().land;
    for (std::size_t line = 0; line < rings.LineCount(); ++line) {
      QPolygonF ring;
      for (std::uint32_t p = rings.Begin(line); p < rings.ends[line]; ++p) {
        ring << QPointF((rings.points[p].lon + 180.0) / 360.0 * w, (90.0 - rings.points[p].lat) / 180.0 * h);
      }
      land.addPolygon(ring);
    }
    world.setPen(Qt::NoPen);
    world.setBrush(kLandColour.darker(115));
    world.drawPath(land);
  }
  const QPoint corner(area.right() - w - 8, area.top() + 8);
  painter.drawPixmap(corner, locator_);
  painter.setPen(QPen(Qt::darkGray, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(corner, QSize(w, h)));
  auto at = [&](double lon, double lat) {
    return QPointF(corner.x() + (std::clamp(lon, -180.0, 180.0) + 180.0) / 360.0 * w,
                   corner.y() + (90.0 - std::clamp(lat, -90.0, 90.0)) / 180.0 * h);
  };
  const QRectF degrees = ViewInDegrees(area);
  QRectF view(at(degrees.left(), degrees.bottom()), at(degrees.right(), degrees.top()));
  // A view smaller than a few pixels of the world is marked by a cross.
  painter.setPen(QPen(kTrackColour, 2));
  if (view.width() < 6 && view.height() < 6) {
    QPointF centre = view.center();
    painter.drawLine(centre - QPointF(6, 0), centre + QPointF(6, 0));
    painter.drawLine(centre - QPointF(0, 6), centre + QPointF(0, 6));
  } else {
    painter.drawRect(view);
  }
}

QRectF PreviewMap::ViewInDegrees(const QRect& area) const {
  const double x0 = frame_.DataX(0), x1 = frame_.DataX(area.width());
  const double y0 = frame_.DataY(area.height()), y1 = frame_.DataY(0);
  if (data_ == nullptr || data_->axes == PreviewAxes::Degrees || !grid_) {
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
  }
  QRectF box;
  bool any = false;
  for (double x : {x0, (x0 + x1) / 2, x1}) {
    for (double y : {y0, (y0 + y1) / 2, y1}) {
      auto position = grid_->ToLatLong(x, y, gridZone_);
      if (!position) continue;
      QPointF point(position->lon, position->lat);
      box = any ? box.united(QRectF(point, point)) : QRectF(point, point);
      any = true;
    }
  }
  return any ? box : QRectF(-180, -90, 360, 180);
}

PreviewDialog::PreviewDialog(const AppState& state, std::function<void(int, int)> selectCell,
                             QWidget* parent)
    : QDialog(parent), state_(state), selectCell_(std::move(selectCell)) {
  setObjectName(QStringLiteral("PreviewDialog"));
  setWindowTitle(QStringLiteral("Preview Positions"));
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("lblPreviewSummary"));
  summary_->setWordWrap(true);
  check_ = new QLabel(this);
  check_->setObjectName(QStringLiteral("lblPositionCheck"));
  check_->setWordWrap(true);
  check_->setStyleSheet(QStringLiteral("color: #a01010; font-weight: bold"));
  check_->hide();
  axes_ = new QComboBox(this);
  axes_->setObjectName(QStringLiteral("cbPreviewAxes"));
  axes_->addItems({QStringLiteral("Degrees"), QStringLiteral("Grid metres")});
  axes_->setToolTip(QStringLiteral("Axes of grid positions"));
  connect(axes_, &QComboBox::activated, this, &PreviewDialog::AxesChosen);
  map_ = new PreviewMap(this);
  failures_ = new QListWidget(this);
  failures_->setObjectName(QStringLiteral("lstFailures"));
  failures_->setMinimumWidth(kFailureListLeast);
  failures_->setMaximumWidth(kFailureListWidth);
  // Whole failure texts: long ones wrap instead of running out of sight.
  failures_->setWordWrap(true);
  failures_->setTextElideMode(Qt::ElideNone);
  connect(failures_, &QListWidget::itemClicked, this, &PreviewDialog::FailureClicked);
  connect(failures_, &QListWidget::itemActivated, this, &PreviewDialog::FailureClicked);

  // Only there when there are failing records: otherwise the map takes the room.
  failurePanel_ = new QWidget(this);
  auto* side = new QVBoxLayout(failurePanel_);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(new QLabel(QStringLiteral("Failing records"), failurePanel_));
  side->addWidget(failures_, 1);
  auto* middle = new QHBoxLayout;
  middle->addWidget(map_, 1);
  middle->addWidget(failurePanel_);
  auto* top = new QHBoxLayout;
  top->addWidget(summary_, 1);
  axesLabel_ = new QLabel(QStringLiteral("Axes"), this);
  axesLabel_->setObjectName(QStringLiteral("lblPreviewAxes"));
  axesLabel_->setBuddy(axes_);
  top->addWidget(axesLabel_);
  top->addWidget(axes_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* refresh = buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ActionRole);
  refresh->setObjectName(QStringLiteral("btnPreviewRefresh"));
  connect(refresh, &QPushButton::clicked, this, &PreviewDialog::Reload);
  QPushButton* fit = buttons->addButton(QStringLiteral("Fit"), QDialogButtonBox::ActionRole);
  fit->setObjectName(QStringLiteral("btnPreviewFit"));
  connect(fit, &QPushButton::clicked, map_, &PreviewMap::FitPoints);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(check_);
  layout->addLayout(middle, 1);
  layout->addWidget(buttons);
  resize(960, 620);
  if (parent != nullptr) PlaceBeside(*parent->window());
  Reload();
}

const PreviewData& PreviewDialog::Shown() const { return degreesShown_ ? degrees_ : data_; }

void PreviewDialog::PlaceBeside(const QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect free = screen->availableGeometry();
  const QRect main = window.frameGeometry();
  const int right = free.right() - main.right();
  const int left = main.left() - free.left();
  const int room = std::max(right, left);
  const int width = std::min(this->width(), room);
  if (width >= kMinDialogWidth) {
    resize(width, std::min(height(), free.height()));
    move(right >= left ? main.right() + 1 : main.left() - width, std::max(free.top(), main.top()));
    return;
  }
  // No room on either side: the screen's right edge, where it covers the
  // least of the table's left-hand columns, no larger than the screen (a
  // tenth left for the frame).
  resize(BoundedToScreen(size(), &window));
  move(free.right() - this->width() + 1, free.top());
}

void PreviewDialog::Reload() {
  map_->SetData(nullptr, '.');
  data_ = ReadPreview(state_);
  degrees_ = PreviewData{};
  converter_.reset();
  const LoadedMap& loaded = BaseMapIn(state_.programFolder);

  // Grid positions are drawn over the map in degrees when the grid converts.
  std::string check;
  if (data_.axes == PreviewAxes::Grid && !data_.points.empty()) {
    auto projection = CurrentGridProjection(state_.grid, state_.datum);
    if (projection) {
      converter_ = std::make_shared<GridConverter>(*projection);
      degrees_ = InDegrees(data_, LocatePoints(data_, converter_.get()));
    }
  }
  if (loaded.map) check = CheckPositions(state_, data_, loaded.map->Finest().land);
  const bool convertible = !degrees_.points.empty();
  axes_->setVisible(convertible);
  axesLabel_->setVisible(convertible);
  if (!convertible) axes_->setCurrentIndex(0);
  degreesShown_ = convertible && axes_->currentIndex() == 0;
  map_->SetBaseMap(loaded.map ? &*loaded.map : nullptr);
  map_->SetMapNote(FromCp1252(loaded.failure));
  map_->SetGrid(convertible ? converter_ : nullptr,
                convertible ? std::string(data_.ZoneOf(0)) : std::string());
  const bool noFile = state_.sourceFile.empty();
  map_->SetEmptyText(noFile ? QStringLiteral("No file loaded\nOpen a file with File > Open... or drop it on the window")
                         : QString());
  map_->SetData(&Shown(), state_.locale.decimalSeparator);
  check_->setText(FromCp1252(check));
  check_->setVisible(!check.empty());

  failures_->clear();
  failurePanel_->setVisible(data_.failureCount > 0);
  for (const PreviewFailure& failure : data_.failures) {
    QString text = QStringLiteral("Record %1: ").arg(failure.record) + MessageText(failure.message);
    auto* item = new QListWidgetItem(text);
    item->setToolTip(text);
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

  if (noFile) {
    summary_->setText(QStringLiteral("No file loaded"));
    return;
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

void PreviewDialog::AxesChosen() {
  degreesShown_ = !degrees_.points.empty() && axes_->currentIndex() == 0;
  map_->SetData(&Shown(), state_.locale.decimalSeparator);
}

void PreviewDialog::FailureClicked(QListWidgetItem* item) {
  if (item == nullptr || !selectCell_ || !item->data(kRecordRole).isValid()) return;
  selectCell_(item->data(kColumnRole).toInt(), item->data(kRecordRole).toInt());
}

}  // namespace zevi
