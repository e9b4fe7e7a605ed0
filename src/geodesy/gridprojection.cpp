#include "geodesy/gridprojection.h"

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/TransverseMercator.hpp>

#include <charconv>
#include <cmath>
#include <fstream>
#include <vector>

#include "geodesy/datums.h"
#include "geodesy/grids.h"

namespace zevi {

namespace {

constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84InverseFlattening = 298.257223563;
constexpr double kUtmScale = 0.9996;
constexpr double kUtmFalseEasting = 500000.0;
constexpr double kUtmSouthFalseNorthing = 10000000.0;
// Columns 5-25 of a datum line hold its name; its parameters follow.
constexpr std::size_t kDatumParametersColumn = 25;
// The first characters of a parameter line are its tag and are skipped.
constexpr std::size_t kParameterLineSkip = 4;

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
    std::size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r') ++end;
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

std::optional<double> Number(std::string_view text) {
  double value = 0;
  const char* begin = text.data();
  if (!text.empty() && text.front() == '+') ++begin;
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The datum and parameter lines of the entry `upperName` in one grid file.
bool FindEntryLines(const std::string& path, const std::string& upperName, std::string& datumLine,
                    std::string& parameterLine) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line.front() != 'U') continue;
    if (Upper(Trim(std::string_view(line).substr(1))) != upperName) continue;
    datumLine.clear();
    if (!std::getline(file, parameterLine)) return false;
    if (StartsWith(parameterLine, "M E")) {
      datumLine = parameterLine;
      if (!std::getline(file, parameterLine)) return false;
    }
    return true;
  }
  return false;
}

}  // namespace

std::optional<DatumShape> ReadDatumShape(std::string_view datumLine) {
  if (datumLine.size() <= kDatumParametersColumn) return std::nullopt;
  auto words = Words(datumLine.substr(kDatumParametersColumn));
  if (words.size() < 6) return std::nullopt;
  auto a = Number(words[1]);
  auto inverse = Number(words[2]);
  auto dx = Number(words[3]), dy = Number(words[4]), dz = Number(words[5]);
  // Every ellipsoid of the lists is within these; anything else is another layout.
  if (!a || !inverse || !dx || !dy || !dz || *a < 6.3e6 || *a > 6.4e6 || *inverse < 250 ||
      *inverse > 350)
    return std::nullopt;
  return DatumShape{*a, *inverse, *dx, *dy, *dz};
}

std::optional<GridProjection> ReadGridProjection(std::string_view parameterLine) {
  if (parameterLine.size() <= kParameterLineSkip) return std::nullopt;
  auto words = Words(parameterLine.substr(kParameterLineSkip));
  if (words.size() < 6) return std::nullopt;
  GridProjection projection;
  std::string kind = Upper(words[0]);
  if (kind == "UTM") {
    projection.utm = true;
    projection.scale = kUtmScale;
    projection.falseEasting = kUtmFalseEasting;
    return projection;
  }
  if (kind != "TM") return std::nullopt;
  auto lat = Number(words[1]), lon = Number(words[2]), scale = Number(words[3]);
  auto east = Number(words[4]), north = Number(words[5]);
  if (!lat || !lon || !scale || !east || !north || std::fabs(*lat) > 90 || std::fabs(*lon) > 180 ||
      *scale <= 0)
    return std::nullopt;
  projection.originLat = *lat;
  projection.originLon = *lon;
  projection.scale = *scale;
  projection.falseEasting = *east;
  projection.falseNorthing = *north;
  return projection;
}

std::optional<GridProjection> CurrentGridProjection(const GridState& grid, const DatumState& datum) {
  if (grid.name.empty()) return std::nullopt;
  for (const std::string& path : grid.files) {
    std::string datumLine, parameterLine;
    if (path.empty() || !FindEntryLines(path, grid.name, datumLine, parameterLine)) continue;
    auto projection = ReadGridProjection(parameterLine);
    if (!projection) return std::nullopt;
    auto shape = ReadDatumShape(datumLine.empty() ? std::string_view(datum.line) : datumLine);
    if (shape) projection->datum = *shape;
    return projection;
  }
  return std::nullopt;
}

std::optional<UtmZone> ReadUtmZone(std::string_view zone) {
  zone = Trim(zone);
  int number = 0;
  std::size_t at = 0;
  while (at < zone.size() && at < 2 && zone[at] >= '0' && zone[at] <= '9') number = number * 10 + (zone[at++] - '0');
  if (at == 0 || number < 1 || number > 60) return std::nullopt;
  std::string_view band = Trim(zone.substr(at));
  if (band.empty()) return UtmZone{number, true};
  if (band.size() != 1) return std::nullopt;
  char letter = static_cast<char>(band.front() >= 'a' && band.front() <= 'z' ? band.front() - 'a' + 'A' : band.front());
  if (letter < 'C' || letter > 'X' || letter == 'I' || letter == 'O') return std::nullopt;
  return UtmZone{number, letter >= 'N'};
}

struct GridConverter::Impl {
  GridProjection projection;
  GeographicLib::TransverseMercator mercator;
  GeographicLib::Geocentric local;
  bool shifted = false;
  double originNorthing = 0;  // of the origin latitude on the central meridian

  explicit Impl(const GridProjection& p)
      : projection(p),
        mercator(p.datum.a, 1 / p.datum.inverseFlattening, p.scale),
        local(p.datum.a, 1 / p.datum.inverseFlattening),
        shifted(p.datum.dx != 0 || p.datum.dy != 0 || p.datum.dz != 0 || p.datum.a != kWgs84A ||
                p.datum.inverseFlattening != kWgs84InverseFlattening) {
    double x = 0;
    mercator.Forward(0, p.originLat, 0, x, originNorthing);
  }
};

GridConverter::GridConverter(const GridProjection& projection) : impl_(new Impl(projection)) {}
GridConverter::~GridConverter() { delete impl_; }
bool GridConverter::Utm() const { return impl_->projection.utm; }

std::optional<double> GridConverter::CentralLongitude(std::string_view zone) const {
  if (!impl_->projection.utm) return impl_->projection.originLon;
  auto utm = ReadUtmZone(zone);
  if (!utm) return std::nullopt;
  return 6.0 * utm->number - 183.0;
}

std::optional<GridConverter::GridPosition> GridConverter::ToGrid(const LatLong& position,
                                                                 std::string_view zone) const {
  const GridProjection& p = impl_->projection;
  auto centralLon = CentralLongitude(zone);
  if (!centralLon || !std::isfinite(position.lat) || !std::isfinite(position.lon)) return std::nullopt;
  double falseNorthing = p.falseNorthing;
  if (p.utm) falseNorthing = ReadUtmZone(zone)->north ? 0.0 : kUtmSouthFalseNorthing;
  double lat = position.lat, lon = position.lon;
  if (impl_->shifted) {
    double X = 0, Y = 0, Z = 0, h = 0;
    GeographicLib::Geocentric::WGS84().Forward(lat, lon, 0, X, Y, Z);
    impl_->local.Reverse(X - p.datum.dx, Y - p.datum.dy, Z - p.datum.dz, lat, lon, h);
  }
  double x = 0, y = 0;
  impl_->mercator.Forward(*centralLon, lat, lon, x, y);
  GridPosition grid{x + p.falseEasting, y - impl_->originNorthing + falseNorthing};
  if (!std::isfinite(grid.easting) || !std::isfinite(grid.northing)) return std::nullopt;
  return grid;
}

std::optional<LatLong> GridConverter::ToLatLong(double easting, double northing, std::string_view zone,
                                                bool otherHemisphere) const {
  const GridProjection& p = impl_->projection;
  double centralLon = p.originLon;
  double falseNorthing = p.falseNorthing;
  if (p.utm) {
    auto utm = ReadUtmZone(zone);
    if (!utm) return std::nullopt;
    centralLon = 6.0 * utm->number - 183.0;
    falseNorthing = (utm->north != otherHemisphere) ? 0.0 : kUtmSouthFalseNorthing;
  }
  double x = easting - p.falseEasting;
  double y = northing - falseNorthing + impl_->originNorthing;
  // Far outside a transverse Mercator strip the series mean nothing.
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 4.0e6 || std::fabs(y) > 1.0e7)
    return std::nullopt;
  LatLong position;
  impl_->mercator.Reverse(centralLon, x, y, position.lat, position.lon);
  if (impl_->shifted) {
    double X = 0, Y = 0, Z = 0, h = 0;
    impl_->local.Forward(position.lat, position.lon, 0, X, Y, Z);
    GeographicLib::Geocentric::WGS84().Reverse(X + p.datum.dx, Y + p.datum.dy, Z + p.datum.dz,
                                               position.lat, position.lon, h);
  }
  if (!std::isfinite(position.lat) || !std::isfinite(position.lon)) return std::nullopt;
  return position;
}

}  // namespace zevi
