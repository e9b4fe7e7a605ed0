#include "export/preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "export/recordreader.h"
#include "platform/helperthread.h"
#include "settings/state.h"
#include "source/loader.h"
#include "source/range.h"
#include "settings/userinterface.h"
#include "values/numbers.h"

namespace zevi {

namespace {

// Metres of one degree of latitude on the mean earth sphere.
constexpr double kMetresPerDegree = 6371008.8 * 3.14159265358979323846 / 180.0;
// What a single point is shown with: about a kilometre around it.
constexpr double kLonePointSpanMetres = 1000.0;
// A large mapped source lets the text of the rows read go in steps of this
// many rows, as samples spread over it would otherwise bring all of it in.
constexpr int kReleaseRows = 1 << 17;
// Rows in a run whose text is copied out of a mapped file at once.
constexpr int kHeldRows = 1 << 12;
// Rows read this many apart or closer are still copied a run at a time:
// the rows between cost less to copy than a read of their own each.
constexpr int kHeldStep = 32;
// Fewer rows to read than this are read on one thread: a second would cost
// more to start than it saves.
constexpr std::size_t kSplitReads = 2048;

// The last blank-separated token of a field text, and what is left before it.
std::string_view TakeLastToken(std::string_view& text) {
  text = TrimText(text);
  std::size_t blank = text.find_last_of(' ');
  std::string_view token = blank == std::string_view::npos ? text : text.substr(blank + 1);
  text = blank == std::string_view::npos ? std::string_view{} : text.substr(0, blank);
  return token;
}

// Answers every question as if the user closed it: the preview never asks.
class SilentUserInterface : public UserInterface {
 public:
  void ShowMessage(const std::string&) override {}
  Button Ask(MessageKind, const std::string&, const std::vector<Button>& buttons, int) override {
    return buttons.empty() ? Button::Cancel : buttons.back();
  }
  std::string InputBox(const std::string&, const std::string&, const std::string& proposed) override {
    return proposed;
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
};

// The export's lines for the range, read for their positions, IDs and track
// starts; nothing is written and nothing asked.
class PreviewReader {
 public:
  PreviewReader(const AppState& state, const ConversionSettings& settings, const KindColumn& kinds)
      : state_(state),
        kinds_(kinds),
        table_(state.table),
        settings_(settings),
        defaultZone_(settings.defaultZone),
        zoneQuestion_{defaultZone_, silent_},
        reader_(state, settings, kinds, ExportFlags{}, &zoneQuestion_) {}

  void Run(int first, int last, std::size_t atMost, PreviewData& data);

 private:
  // Rows from..last, every step-th, as Run reads them.
  void ReadRows(int from, int last, int step, PreviewData& data);
  // The rows first..end (all in the table), every step-th, read in two
  // halves on two threads where the records allow it. Returns the row the
  // reading goes on from: past end, or where the second half was given up.
  int ReadSplit(int first, int end, int step, PreviewData& data);
  // The later half's data after this reader's own.
  void TakeLater(PreviewData& later, PreviewData& data);
  // The point, ID, zone and track start written in the last line read.
  void TakeFields(PreviewPoint& point, std::string_view& id, std::string_view& zone) const;
  std::uint16_t ZoneIndex(std::string_view zone, PreviewData& data);
  double Number(std::string_view text) const {
    return StrToFloat(TrimText(text), settings_.decimalSeparator);
  }

  const AppState& state_;
  const KindColumn& kinds_;
  const SourceTable& table_;
  const ConversionSettings& settings_;
  std::string defaultZone_;
  SilentUserInterface silent_;
  ZoneQuestion zoneQuestion_;
  RecordReader reader_;
  std::unordered_map<std::string, std::uint16_t> zoneIndex_;
  int releaseRows_ = kReleaseRows;
};

std::uint16_t PreviewReader::ZoneIndex(std::string_view zone, PreviewData& data) {
  if (!data.zones.empty() && data.zones.back() == zone) return static_cast<std::uint16_t>(data.zones.size() - 1);
  auto found = zoneIndex_.find(std::string(zone));
  if (found != zoneIndex_.end()) return found->second;
  if (data.zones.size() >= kNoZone) return kNoZone;
  auto index = static_cast<std::uint16_t>(data.zones.size());
  data.zones.emplace_back(zone);
  zoneIndex_.emplace(std::string(zone), index);
  return index;
}

void PreviewReader::Run(int first, int last, std::size_t atMost, PreviewData& data) {
  first = std::max(first, 1);
  reader_.Start(first, last);
  const std::string& layout = reader_.Layout();
  const bool hasDegrees = layout.find_first_of("KX") != std::string::npos;
  const bool hasGrid = layout.find_first_of("GE") != std::string::npos;
  if (!hasDegrees && !hasGrid) {
    data.note = "No position columns: assign Latitude and Longitude, a Grid column, or "
                "Easting and Northing";
    return;
  }
  data.axes = hasDegrees ? PreviewAxes::Degrees : PreviewAxes::Grid;

  const int end = std::min(last, table_.LastRow());
  int step = 1;
  if (atMost > 0 && end >= first && static_cast<std::size_t>(end - first + 1) > atMost) {
    step = static_cast<int>((static_cast<std::size_t>(end - first + 1) + atMost - 1) / atMost);
  }
  int from = first;
  if (end >= first) {
    data.points.reserve(static_cast<std::size_t>((end - first) / step + 1));
    from = ReadSplit(first, end, step, data);
  }
  ReadRows(from, last, step, data);
}

int PreviewReader::ReadSplit(int first, int end, int step, PreviewData& data) {
  const auto reads = static_cast<std::size_t>((end - first) / step + 1);
  if (reads < kSplitReads || std::thread::hardware_concurrency() < 2 || !reader_.ReadsRecordsApart()) return first;
  const int middle = first + static_cast<int>(reads / 2) * step;
  // The later half starts as the whole read would reach it: every record
  // read before it counted (for generated IDs), and a track pending when the
  // row read just before it is an empty line.
  int records = 0;
  if (step == 1) {
    records = table_.CountRecords(first, middle - 1);
  } else {
    for (int r = first; r < middle; r += step) records += table_.Marker(r) ? 1 : 0;
  }
  PreviewReader later(state_, settings_, kinds_);
  // Two halves hold the text of as many rows at a time as one read does.
  releaseRows_ = later.releaseRows_ = kReleaseRows / 2;
  later.reader_.StartAs(reader_);
  later.reader_.ResumeAt(middle - step + 1, records);
  PreviewData laterData;
  laterData.axes = data.axes;
  laterData.points.reserve(reads - reads / 2);
  std::exception_ptr laterFailure;
  {
    HelperThread helper([&] {
      try {
        later.ReadRows(middle, end, step, laterData);
      } catch (...) {
        laterFailure = std::current_exception();
      }
    });
    ReadRows(first, middle - 1, step, data);
  }
  if (laterFailure) std::rethrow_exception(laterFailure);
  // A failed record before the middle may change what comes after it (a
  // generated ID's number), and a zone list at its limit may number zones
  // differently: the later half is then read again, after this one.
  if (data.failureCount > 0 || laterData.zones.size() >= kNoZone) return middle;
  TakeLater(laterData, data);
  return first + static_cast<int>(reads) * step;
}

void PreviewReader::TakeLater(PreviewData& later, PreviewData& data) {
  if (!later.zoneOf.empty()) {
    std::vector<std::uint16_t> renumbered;
    renumbered.reserve(later.zones.size());
    for (const std::string& zone : later.zones) renumbered.push_back(ZoneIndex(zone, data));
    for (std::uint16_t z : later.zoneOf) data.zoneOf.push_back(z < renumbered.size() ? renumbered[z] : kNoZone);
  }
  const std::size_t idBase = data.idText.size();
  data.idText += later.idText;
  for (std::uint32_t idEnd : later.idEnds) data.idEnds.push_back(static_cast<std::uint32_t>(idBase + idEnd));
  data.points.insert(data.points.end(), later.points.begin(), later.points.end());
  if (!later.bounds.empty) {
    data.bounds.Add(later.bounds.minX, later.bounds.minY);
    data.bounds.Add(later.bounds.maxX, later.bounds.maxY);
  }
  for (PreviewFailure& failure : later.failures) {
    if (data.failures.size() >= kMaxListedFailures) break;
    data.failures.push_back(std::move(failure));
  }
  data.failureCount += later.failureCount;
}

void PreviewReader::ReadRows(int from, int last, int step, PreviewData& data) {
  const bool waypoints = settings_.mode != 'T';
  const bool zoned = data.axes == PreviewAxes::Grid;
  int released = from;  // rows before this have let their text go
  int held = from - 1;    // rows up to this have their text copied out
  for (int r = from; r <= last; r += step) {
    if (r - released >= releaseRows_) {
      table_.DoneWithRows(released, r - 1);
      released = r;
    }
    if (r > held) {
      // Rows read far apart are copied one by one, each rather than the
      // pages around it mapped in; rows close together a run at a time.
      held = step <= kHeldStep ? static_cast<int>(std::min<std::int64_t>(last, std::int64_t{r} + kHeldRows - 1)) : r;
      reader_.HoldRows(r, held);
    }
    RecordReader::RowKind kind = reader_.Classify(r);
    if (kind == RecordReader::RowKind::PastTable) {
      data.note = RangePastTableText(last);
      break;
    }
    if (kind == RecordReader::RowKind::EmptyLine) continue;
    PreviewPoint point;
    point.record = r;
    std::string_view id;
    std::string_view zone;
    try {
      reader_.ReadLine(r);
      TakeFields(point, id, zone);
    } catch (const std::runtime_error& failure) {
      if (data.failures.size() < kMaxListedFailures) {
        data.failures.push_back({r, reader_.FailingColumn(), failure.what()});
      }
      ++data.failureCount;
      reader_.RecordFailed(r);
      continue;
    }
    data.points.push_back(point);
    data.bounds.Add(point.x, point.y);
    if (zoned) data.zoneOf.push_back(ZoneIndex(zone, data));
    if (waypoints) {
      data.idText += id;
      data.idEnds.push_back(static_cast<std::uint32_t>(data.idText.size()));
    }
  }
}

void PreviewReader::TakeFields(PreviewPoint& point, std::string_view& id,
                               std::string_view& zone) const {
  const char mark = settings_.decimalSeparator;
  const std::string& layout = reader_.Layout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    std::string_view field = reader_.Field(i);
    switch (layout[i]) {
      case 'I': id = field; break;
      case 'K': point.y = Number(field); break;
      case 'L': point.x = Number(field); break;
      case 'X': {
        std::string_view rest = field;
        TakeLastToken(rest);  // altitude
        TakeLastToken(rest);  // symbol
        point.x = Number(TakeLastToken(rest));
        point.y = Number(rest);
        break;
      }
      case 'G': {
        std::string_view rest = field;
        point.y = ReadNumber(TakeLastToken(rest), mark);
        point.x = ReadNumber(TakeLastToken(rest), mark);
        zone = TrimText(rest);
        break;
      }
      case 'Z': zone = TrimText(field); break;
      case 'E': point.x = ReadNumber(field, mark); break;
      case 'N': point.y = ReadNumber(field, mark); break;
      case 'Q': point.trackStart = field == "1"; break;
      default: break;
    }
  }
}

}  // namespace

void PreviewBounds::Add(double x, double y) {
  if (empty) {
    minX = maxX = x;
    minY = maxY = y;
    empty = false;
    return;
  }
  minX = std::min(minX, x);
  maxX = std::max(maxX, x);
  minY = std::min(minY, y);
  maxY = std::max(maxY, y);
}

std::string_view PreviewData::IdOf(std::size_t index) const {
  if (index >= idEnds.size()) return {};
  std::size_t begin = index == 0 ? 0 : idEnds[index - 1];
  return std::string_view(idText).substr(begin, idEnds[index] - begin);
}

std::string_view PreviewData::ZoneOf(std::size_t index) const {
  if (index >= zoneOf.size() || zoneOf[index] >= zones.size()) return {};
  return zones[zoneOf[index]];
}

PreviewData ReadPreview(const AppState& state, std::size_t atMost) {
  KindColumn kinds;
  ConversionSettings settings = SettingsAsExportTakesThem(state, kinds);

  PreviewData data;
  data.mode = settings.mode;
  RecordRange range = EffectiveRange(settings, state.table.LastRow());
  PreviewReader reader(state, settings, kinds);
  reader.Run(range.first, range.last, atMost, data);
  return data;
}

std::vector<LatLong> LocatePoints(const PreviewData& data, const GridConverter* converter,
                                  bool otherHemisphere) {
  std::vector<LatLong> positions;
  if (data.axes == PreviewAxes::Degrees) {
    positions.reserve(data.points.size());
    for (const PreviewPoint& point : data.points) positions.push_back({point.y, point.x});
    return positions;
  }
  if (converter == nullptr) return positions;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  // Positions in one grid cell share the exact conversion of its corners and
  // are placed between them: a kilometre cell bends by a few centimetres, and a
  // million positions cost a few thousand conversions, not a million.
  constexpr double kCell = 1000.0;
  std::unordered_map<std::uint64_t, std::optional<LatLong>> corners;
  auto corner = [&](std::size_t i, std::int64_t column, std::int64_t row) -> const std::optional<LatLong>& {
    const std::uint64_t zone = i < data.zoneOf.size() ? data.zoneOf[i] : 0;
    const std::uint64_t key = (zone << 48) | ((static_cast<std::uint64_t>(column) & 0xFFFFFF) << 24) |
                              (static_cast<std::uint64_t>(row) & 0xFFFFFF);
    auto found = corners.find(key);
    if (found != corners.end()) return found->second;
    return corners
        .emplace(key, converter->ToLatLong(static_cast<double>(column) * kCell,
                                           static_cast<double>(row) * kCell, data.ZoneOf(i), otherHemisphere))
        .first->second;
  };
  positions.reserve(data.points.size());
  for (std::size_t i = 0; i < data.points.size(); ++i) {
    const PreviewPoint& point = data.points[i];
    const double cx = std::floor(point.x / kCell), cy = std::floor(point.y / kCell);
    std::optional<LatLong> position;
    if (std::fabs(cx) < 8e6 && std::fabs(cy) < 8e6) {
      const auto column = static_cast<std::int64_t>(cx), row = static_cast<std::int64_t>(cy);
      const auto& sw = corner(i, column, row);
      const auto& se = corner(i, column + 1, row);
      const auto& nw = corner(i, column, row + 1);
      const auto& ne = corner(i, column + 1, row + 1);
      // Near the edge of what converts, or where the corners would straddle
      // the antimeridian, each position is converted on its own.
      if (sw && se && nw && ne && std::fabs(ne->lon - sw->lon) < 90) {
        const double fx = point.x / kCell - cx, fy = point.y / kCell - cy;
        position = LatLong{
            (1 - fy) * ((1 - fx) * sw->lat + fx * se->lat) + fy * ((1 - fx) * nw->lat + fx * ne->lat),
            (1 - fy) * ((1 - fx) * sw->lon + fx * se->lon) + fy * ((1 - fx) * nw->lon + fx * ne->lon)};
      }
    }
    if (!position) position = converter->ToLatLong(point.x, point.y, data.ZoneOf(i), otherHemisphere);
    positions.push_back(position ? *position : LatLong{kNaN, kNaN});
  }
  return positions;
}

PreviewData InDegrees(const PreviewData& data, const std::vector<LatLong>& positions) {
  PreviewData degrees;
  degrees.axes = PreviewAxes::Degrees;
  degrees.mode = data.mode;
  degrees.failures = data.failures;
  degrees.failureCount = data.failureCount;
  degrees.note = data.note;
  degrees.points.reserve(positions.size());
  const bool ids = !data.idEnds.empty();
  bool trackStartPending = false;
  for (std::size_t i = 0; i < positions.size() && i < data.points.size(); ++i) {
    const LatLong& position = positions[i];
    if (!std::isfinite(position.lat) || !std::isfinite(position.lon)) {
      // A dropped point's track start passes to the next point drawn.
      trackStartPending = trackStartPending || data.points[i].trackStart;
      continue;
    }
    PreviewPoint point = data.points[i];
    point.x = position.lon;
    point.y = position.lat;
    point.trackStart = point.trackStart || trackStartPending;
    trackStartPending = false;
    degrees.points.push_back(point);
    degrees.bounds.Add(point.x, point.y);
    if (ids) {
      degrees.idText += data.IdOf(i);
      degrees.idEnds.push_back(static_cast<std::uint32_t>(degrees.idText.size()));
    }
  }
  return degrees;
}

namespace {

double LongitudeFactor(PreviewAxes axes, double latitude) {
  if (axes == PreviewAxes::Grid) return 1.0;
  return std::max(std::cos(latitude * 3.14159265358979323846 / 180.0), 0.01);
}

// 1, 2 or 5 times a power of ten, the largest not above `limit` (> 0).
double RoundDown125(double limit) {
  double power = std::pow(10.0, std::floor(std::log10(limit)));
  for (double multiple : {5.0, 2.0, 1.0}) {
    if (multiple * power <= limit * (1 + 1e-12)) return multiple * power;
  }
  return power / 2;
}

std::string ShortestNumber(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

double PlotFrame::MetresPerPixel() const {
  return (axes == PreviewAxes::Degrees ? kMetresPerDegree : 1.0) / pixelsPerY;
}

PlotFrame FitFrame(const PreviewBounds& bounds, PreviewAxes axes, int width, int height,
                   int margin) {
  PlotFrame frame;
  frame.axes = axes;
  const double centreX = bounds.empty ? 0.0 : (bounds.minX + bounds.maxX) / 2;
  const double centreY = bounds.empty ? 0.0 : (bounds.minY + bounds.maxY) / 2;
  const double factor = LongitudeFactor(axes, centreY);
  const double unitMetres = axes == PreviewAxes::Degrees ? kMetresPerDegree : 1.0;
  const double minimumSpan = kLonePointSpanMetres / unitMetres;
  const double groundWidth = bounds.empty ? 0.0 : (bounds.maxX - bounds.minX) * factor;
  const double groundHeight = bounds.empty ? 0.0 : bounds.maxY - bounds.minY;
  const double usableWidth = std::max(width - 2 * margin, 1);
  const double usableHeight = std::max(height - 2 * margin, 1);
  double scale = std::min(usableWidth, usableHeight) / minimumSpan;
  if (groundWidth > 0) scale = std::min(scale, usableWidth / groundWidth);
  if (groundHeight > 0) scale = std::min(scale, usableHeight / groundHeight);
  frame.pixelsPerY = scale;
  frame.pixelsPerX = scale * factor;
  frame.left = centreX - width / 2.0 / frame.pixelsPerX;
  frame.top = centreY + height / 2.0 / frame.pixelsPerY;
  return frame;
}

AxisTicks ChooseTicks(double min, double max, int maxCount) {
  AxisTicks ticks;
  if (!(max > min) || maxCount < 1) return ticks;
  double step = RoundDown125((max - min) / maxCount);
  for (;;) {
    double firstIndex = std::ceil(min / step - 1e-9);
    double lastIndex = std::floor(max / step + 1e-9);
    if (lastIndex - firstIndex + 1 <= maxCount) {
      ticks.step = step;
      for (double i = firstIndex; i <= lastIndex; ++i) ticks.values.push_back(i * step + 0.0);
      return ticks;
    }
    // The next of 1, 2, 5, 10, 20, 50...
    double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    double multiple = std::round(step / power);
    step = (multiple == 1 ? 2 : multiple == 2 ? 5 : 10) * power;
  }
}

std::string TickLabel(double value, double step, PreviewAxes axes, char decimalMark) {
  int decimals = step > 0 ? std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))) : 0;
  // A tick at zero may come out of the step arithmetic as -0.000000001.
  if (std::abs(value) < step * 1e-6) value = 0;
  std::string label = FormatFloat(value, 0, decimals, decimalMark);
  if (axes == PreviewAxes::Degrees) label += '\xB0';
  return label;
}

ScaleBar ChooseScaleBar(const PlotFrame& frame, double maxPixels) {
  ScaleBar bar;
  const double metresPerPixel = frame.MetresPerPixel();
  if (!(maxPixels > 0) || !(metresPerPixel > 0)) return bar;
  bar.metres = RoundDown125(maxPixels * metresPerPixel);
  bar.pixels = bar.metres / metresPerPixel;
  bar.label = bar.metres >= 1000 ? ShortestNumber(bar.metres / 1000) + " km"
                                 : ShortestNumber(bar.metres) + " m";
  return bar;
}

std::vector<std::uint32_t> ThinForDrawing(const PreviewData& data, const PlotFrame& frame,
                                          int width, int height) {
  std::vector<std::uint32_t> kept;
  const auto& points = data.points;
  if (data.mode != 'T') {
    if (width <= 0 || height <= 0) return kept;
    std::vector<bool> taken(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::uint32_t i = 0; i < points.size(); ++i) {
      double px = std::floor(frame.PixelX(points[i].x));
      double py = std::floor(frame.PixelY(points[i].y));
      if (px < 0 || py < 0 || px >= width || py >= height) continue;
      std::size_t cell = static_cast<std::size_t>(py) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(px);
      if (taken[cell]) continue;
      taken[cell] = true;
      kept.push_back(i);
    }
    return kept;
  }
  double lastX = 0, lastY = 0;
  for (std::uint32_t i = 0; i < points.size(); ++i) {
    double px = frame.PixelX(points[i].x);
    double py = frame.PixelY(points[i].y);
    bool starts = i == 0 || points[i].trackStart;
    bool ends = i + 1 == points.size() || points[i + 1].trackStart;
    if (starts || ends || std::abs(px - lastX) >= 1 || std::abs(py - lastY) >= 1) {
      kept.push_back(i);
      lastX = px;
      lastY = py;
    }
  }
  return kept;
}

int NearestPoint(const PreviewData& data, const std::vector<std::uint32_t>& kept,
                 const PlotFrame& frame, double px, double py, double radius) {
  int nearest = -1;
  double best = radius * radius;
  for (std::uint32_t index : kept) {
    double dx = frame.PixelX(data.points[index].x) - px;
    double dy = frame.PixelY(data.points[index].y) - py;
    double distance = dx * dx + dy * dy;
    if (distance <= best) {
      best = distance;
      nearest = static_cast<int>(index);
    }
  }
  return nearest;
}

}  // namespace zevi
