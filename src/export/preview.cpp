#include "export/preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "export/format.h"
#include "export/writer.h"
#include "settings/state.h"
#include "source/loader.h"
#include "source/range.h"
#include "values/coordinates.h"
#include "values/datetime.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace zevi {

namespace {

// Metres of one degree of latitude on the mean earth sphere.
constexpr double kMetresPerDegree = 6371008.8 * 3.14159265358979323846 / 180.0;
// What a single point is shown with: about a kilometre around it.
constexpr double kLonePointSpanMetres = 1000.0;

// A record box that holds a whole number replaces the number, as the export
// takes it over when it starts.
void TakeRecordNumber(const std::string& boxText, std::int32_t& number) {
  std::optional<std::int64_t> value = TryStrToInt(boxText);
  if (value && *value >= std::numeric_limits<std::int32_t>::min() &&
      *value <= std::numeric_limits<std::int32_t>::max()) {
    number = static_cast<std::int32_t>(*value);
  }
}

// The last blank-separated token of a field text, and what is left before it.
std::string_view TakeLastToken(std::string_view& text) {
  text = TrimText(text);
  std::size_t blank = text.find_last_of(' ');
  std::string_view token = blank == std::string_view::npos ? text : text.substr(blank + 1);
  text = blank == std::string_view::npos ? std::string_view{} : text.substr(0, blank);
  return token;
}

// Reads one record's fields the way the record writer builds its line, in
// layout order with the time first, without writing anything.
//
// The writer keeps the same steps inside its own class; both call the same
// field functions, and the track-start and ID rules below follow its rules
// one for one.
class PreviewReader {
 public:
  PreviewReader(const AppState& state, const ConversionSettings& settings, const KindColumn& kinds)
      : state_(state),
        settings_(settings),
        kinds_(kinds),
        setup_{settings, kinds, state.grid, state.datum, ExportFlags{}, settings.decimalSeparator},
        values_{settings, kinds, state.grid, state.locale, *state.clock, settings.decimalSeparator} {}

  void Run(int first, int last, PreviewData& data);

 private:
  // False when the record failed; the failure is in data.
  bool ReadRecord(int r, PreviewPoint& point, std::string& id);
  void ReadField(char letter, int r, PreviewPoint& point, std::string& id);
  bool TrackStartFlag(int r);
  std::string_view Cell(Slot slot) const { return CellOf(row_, kinds_[slot]); }
  double Number(std::string_view text) const {
    return StrToFloat(TrimText(text), setup_.decimalMark);
  }

  const AppState& state_;
  const ConversionSettings& settings_;
  const KindColumn& kinds_;
  ExportSetup setup_;
  ValueContext values_;

  std::string layout_;
  bool layoutHasTime_ = false;
  int first_ = 1;
  int idCounter_ = 1;
  bool newTrackPending_ = true;
  std::string lastTrackValue_ = kNewTrackMarker;
  std::string failure_;
  RowCells row_;
  DayCarry carry_;
  char currentLetter_ = 0;
};

void PreviewReader::Run(int first, int last, PreviewData& data) {
  layout_ = BuildFieldLayout(settings_.mode, setup_);
  layoutHasTime_ = layout_.find('T') != std::string::npos;
  const bool hasDegrees = layout_.find_first_of("KX") != std::string::npos;
  const bool hasGrid = layout_.find_first_of("GE") != std::string::npos;
  if (!hasDegrees && !hasGrid) {
    data.note = "No position columns: assign Latitude and Longitude, a Grid column, or "
                "Easting and Northing";
    return;
  }
  data.axes = hasDegrees ? PreviewAxes::Degrees : PreviewAxes::Grid;

  const SourceTable& table = state_.table;
  first_ = std::max(first, 1);
  const bool waypoints = settings_.mode != 'T';
  row_.reserve(kMaxColumnCount);
  const int end = std::min(last, table.LastRow());
  if (end >= first_) data.points.reserve(static_cast<std::size_t>(end - first_ + 1));
  std::string id;
  for (int r = first_; r <= last; ++r) {
    if (r > table.LastRow()) {
      data.note = "Less than " + std::to_string(last) + " records in source date";
      break;
    }
    if (!table.Marker(r)) {
      newTrackPending_ = true;
      continue;
    }
    PreviewPoint point;
    point.record = r;
    id.clear();
    if (ReadRecord(r, point, id)) {
      data.points.push_back(point);
      data.bounds.Add(point.x, point.y);
      if (waypoints) {
        data.idText += id;
        data.idEnds.push_back(static_cast<std::uint32_t>(data.idText.size()));
      }
    } else {
      if (data.failures.size() < kMaxListedFailures) {
        data.failures.push_back({r, FailingFieldColumn(currentLetter_, kinds_), failure_});
      }
      ++data.failureCount;
      if (settings_.trackStart > 0) lastTrackValue_ = kFailedRecordMarker + std::to_string(r);
    }
    newTrackPending_ = false;
  }
}

bool PreviewReader::ReadRecord(int r, PreviewPoint& point, std::string& id) {
  try {
    GetRowCells(state_.table, r, row_);
    carry_ = {};
    currentLetter_ = 0;
    if (layoutHasTime_) {
      currentLetter_ = 'T';
      TimeField(row_, values_, carry_);
    }
    for (char letter : layout_) {
      currentLetter_ = letter;
      ReadField(letter, r, point, id);
    }
    return true;
  } catch (const std::runtime_error& failure) {
    failure_ = failure.what();
    return false;
  }
}

void PreviewReader::ReadField(char letter, int r, PreviewPoint& point, std::string& id) {
  const GridState& grid = state_.grid;
  const char mark = setup_.decimalMark;
  switch (letter) {
    case 'I':
      // Generated IDs are cut to the ID field; ID cells never are (the field
      // is as wide as the longest of them).
      if (kinds_.Has(Slot::ID)) {
        id = Cell(Slot::ID);
      } else {
        id = GeneratedId(state_.edits.idPrefix, idCounter_++).substr(0, kMinFieldWidth);
      }
      break;
    case 'K': point.y = Number(LatitudeField(row_, values_)); break;
    case 'L': point.x = Number(LongitudeField(row_, values_)); break;
    case 'X': {
      std::string field = GarminHexField(Cell(Slot::Grid), mark);
      std::string_view rest = field;
      TakeLastToken(rest);  // altitude
      TakeLastToken(rest);  // symbol
      point.x = Number(TakeLastToken(rest));
      point.y = Number(rest);
      break;
    }
    case 'G': {
      std::string field = GridGroupField(Cell(Slot::Grid), setup_);
      std::string_view rest = field;
      point.y = ReadNumber(TakeLastToken(rest), mark);
      point.x = ReadNumber(TakeLastToken(rest), mark);
      break;
    }
    case 'E':
      point.x = ReadNumber(GridValueField(Cell(Slot::Easting), grid.eastingDigits,
                                          settings_.scaleFactor, settings_.alignment),
                           mark);
      break;
    case 'N':
      point.y = ReadNumber(GridValueField(Cell(Slot::Northing), grid.northingDigits,
                                          settings_.scaleFactor, settings_.alignment),
                           mark);
      break;
    case 'H': ReadNumber(Cell(Slot::Altitude), mark); break;
    case 'A': ReadNumber(Cell(Slot::Aux), mark); break;
    case 'D': DateField(row_, values_, carry_); break;
    case 'Q': point.trackStart = TrackStartFlag(r); break;
    // The zone can only ask for a band letter, which the picture does not
    // need; ID cells, symbols, the text option and comments never fail.
    default: break;
  }
}

bool PreviewReader::TrackStartFlag(int r) {
  if (newTrackPending_) return true;
  if (kinds_.Has(Slot::TrackStart)) return TrimText(Cell(Slot::TrackStart)) != "0";
  if (settings_.trackStart > 0) {
    std::string_view value = TrimText(CellOf(row_, settings_.trackStart));
    if (value.empty() || value == lastTrackValue_) return false;
    lastTrackValue_ = value;
    return true;
  }
  return r == first_;
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

ConversionSettings SettingsAsExportTakesThem(const AppState& state, KindColumn& kinds) {
  ConversionSettings settings = state.settings;
  TakeRecordNumber(state.edits.firstRecord, settings.firstRecord);
  TakeRecordNumber(state.edits.lastRecord, settings.lastRecord);
  settings.defaultZone = state.edits.defaultZone.substr(0, 5);
  RebuildKindColumns(settings.columns, state.columnCount, kinds);
  return settings;
}

PreviewData ReadPreview(const AppState& state) {
  KindColumn kinds;
  ConversionSettings settings = SettingsAsExportTakesThem(state, kinds);

  PreviewData data;
  data.mode = settings.mode;
  RecordRange range = EffectiveRange(settings, state.table.LastRow());
  PreviewReader reader(state, settings, kinds);
  reader.Run(range.first, range.last, data);
  return data;
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
