#include "export/positioncheck.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "geodesy/basemap.h"
#include "geodesy/gridprojection.h"
#include "settings/state.h"

namespace zevi {

namespace {

// One way the positions might have been meant.
struct Reading {
  bool swapped = false;  // latitude and longitude (or easting and northing) trade places
  int changes = 1;       // swaps and flips together
  std::string with;  // "west longitudes"
  std::string fix;   // "set Settings > Sign to West, or check the longitude column"
  std::vector<LatLong> positions;
};

// Whole percent, but never 0 for some or 100 for not all.
int Percent(std::size_t part, std::size_t whole) {
  if (whole == 0) return 0;
  auto percent = static_cast<int>(std::lround(100.0 * static_cast<double>(part) / static_cast<double>(whole)));
  if (part > 0) percent = std::max(percent, 1);
  if (part < whole) percent = std::min(percent, 99);
  return percent;
}

std::size_t OnLand(const LandIndex& land, const std::vector<LatLong>& positions) {
  std::size_t count = 0;
  for (const LatLong& p : positions) count += land.OnLand(p.lat, p.lon) ? 1 : 0;
  return count;
}

bool MostlyNegative(const std::vector<LatLong>& positions, bool latitude) {
  std::size_t negative = 0;
  for (const LatLong& p : positions) negative += (latitude ? p.lat : p.lon) < 0 ? 1 : 0;
  return 2 * negative > positions.size();
}

// Swaps and sign flips of degree positions, simplest first.
std::vector<Reading> DegreeReadings(const std::vector<LatLong>& asRead) {
  struct Change {
    bool swap, flipLat, flipLon;
  };
  static constexpr Change kChanges[] = {{false, false, true}, {false, true, false}, {true, false, false},
                                        {false, true, true},  {true, false, true},  {true, true, false},
                                        {true, true, true}};
  std::vector<Reading> readings;
  for (const Change& change : kChanges) {
    Reading reading;
    reading.swapped = change.swap;
    reading.changes = int{change.swap} + int{change.flipLat} + int{change.flipLon};
    reading.positions.reserve(asRead.size());
    for (const LatLong& p : asRead) {
      LatLong q = change.swap ? LatLong{p.lon, p.lat} : p;
      if (change.flipLat) q.lat = -q.lat;
      if (change.flipLon) q.lon = -q.lon;
      reading.positions.push_back(q);
    }
    const bool south = MostlyNegative(reading.positions, true);
    const bool west = MostlyNegative(reading.positions, false);
    std::string latitudes = south ? "south latitudes" : "north latitudes";
    std::string longitudes = west ? "west longitudes" : "east longitudes";
    std::string sign;
    if (change.flipLat) sign = south ? "South" : "North";
    if (change.flipLon) sign += std::string(sign.empty() ? "" : " and ") + (west ? "West" : "East");
    if (!change.swap) {
      reading.with = change.flipLat && change.flipLon ? latitudes + " and " + longitudes
                     : change.flipLat                 ? latitudes
                                                      : longitudes;
      std::string column = change.flipLat && change.flipLon ? "the latitude and longitude columns"
                           : change.flipLat                 ? "the latitude column"
                                                            : "the longitude column";
      reading.fix = "set Settings > Sign to " + sign + ", or check " + column;
    } else {
      reading.with = "latitude and longitude swapped";
      std::string flips = change.flipLat && change.flipLon ? latitudes + " and " + longitudes
                          : change.flipLat                 ? latitudes
                          : change.flipLon                 ? longitudes
                                                           : "";
      if (!flips.empty()) reading.with += " and " + flips;
      reading.fix = "swap the Latitude and Longitude columns";
      if (!sign.empty()) reading.fix += ", then set Settings > Sign to " + sign;
    }
    readings.push_back(std::move(reading));
  }
  return readings;
}

// Other hemisphere zone letters (UTM), and easting and northing swapped.
std::vector<Reading> GridReadings(const AppState& state, const PreviewData& data,
                                  const GridConverter& converter) {
  std::vector<Reading> readings;
  if (converter.Utm()) {
    Reading reading;
    reading.positions = LocatePoints(data, &converter, true);
    const bool south = MostlyNegative(reading.positions, true);
    reading.with = south ? "zone letters of the southern hemisphere (C to M)"
                         : "zone letters of the northern hemisphere (N to X)";
    reading.fix = state.kinds.Has(Slot::Zone) || state.kinds.Has(Slot::Grid)
                      ? "check the zone column"
                      : "change the letter of the Default Zone";
    readings.push_back(std::move(reading));
  }
  PreviewData swapped = data;
  for (PreviewPoint& point : swapped.points) std::swap(point.x, point.y);
  Reading reading;
  reading.swapped = true;
  reading.positions = LocatePoints(swapped, &converter);
  reading.with = "easting and northing swapped";
  reading.fix = "swap the Easting and Northing columns";
  readings.push_back(std::move(reading));
  return readings;
}

// Sample positions and the readings alike lose what does not convert.
void DropUnlocated(std::vector<LatLong>& asRead, std::vector<Reading>& readings) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < asRead.size(); ++i) {
    if (!std::isfinite(asRead[i].lat) || !std::isfinite(asRead[i].lon)) continue;
    asRead[kept] = asRead[i];
    for (Reading& reading : readings) reading.positions[kept] = reading.positions[i];
    ++kept;
  }
  asRead.resize(kept);
  for (Reading& reading : readings) reading.positions.resize(kept);
}

// Every k-th point, so that no more than `limit` are looked at.
PreviewData SampleOf(const PreviewData& data, std::size_t limit) {
  PreviewData sample;
  sample.axes = data.axes;
  sample.mode = data.mode;
  sample.zones = data.zones;
  const std::size_t step = (data.points.size() + limit - 1) / limit;
  for (std::size_t i = 0; i < data.points.size(); i += step) {
    sample.points.push_back(data.points[i]);
    if (i < data.zoneOf.size()) sample.zoneOf.push_back(data.zoneOf[i]);
  }
  return sample;
}

}  // namespace

std::string CheckPositions(const AppState& state, const PreviewData& data, const MapLines& landLines,
                           const PositionCheckLimits& limits) {
  if (data.points.empty()) return {};
  if (limits.samples > 0 && data.points.size() > limits.samples)
    return CheckPositions(state, SampleOf(data, limits.samples), landLines, limits);
  std::unique_ptr<GridConverter> converter;
  if (data.axes == PreviewAxes::Grid) {
    auto projection = CurrentGridProjection(state.grid, state.datum);
    if (!projection) return {};
    converter = std::make_unique<GridConverter>(*projection);
  }
  std::vector<LatLong> asRead = LocatePoints(data, converter.get());
  std::vector<Reading> readings =
      converter ? GridReadings(state, data, *converter) : DegreeReadings(asRead);
  DropUnlocated(asRead, readings);
  if (asRead.empty()) return {};
  // Where readings land alike, the one with fewer changes wins. Among as many
  // changes: signs lost on the way leave no minus anywhere, so with minus
  // signs in the file columns in each other's places are the likelier mistake.
  const bool anyMinus = std::any_of(asRead.begin(), asRead.end(),
                                    [](const LatLong& p) { return p.lat < 0 || p.lon < 0; });
  std::stable_sort(readings.begin(), readings.end(), [&](const Reading& a, const Reading& b) {
    if (a.changes != b.changes) return a.changes < b.changes;
    return anyMinus && !converter && a.swapped && !b.swapped;
  });

  // The land is indexed only in the latitudes asked about: those of the
  // positions as read, and only when too many of them are in the sea, those
  // of the other readings.
  std::vector<double> latitudes;
  for (const LatLong& p : asRead) latitudes.push_back(p.lat);
  const std::size_t total = asRead.size();
  const std::size_t inSea = total - OnLand(LandIndex(landLines, latitudes), asRead);
  if (static_cast<double>(inSea) <= limits.mostInSea * static_cast<double>(total)) return {};
  for (const Reading& reading : readings)
    for (const LatLong& p : reading.positions) latitudes.push_back(p.lat);
  const LandIndex land(landLines, latitudes);

  const Reading* best = nullptr;
  std::size_t bestOnLand = 0;
  for (const Reading& reading : readings) {
    std::size_t onLand = OnLand(land, reading.positions);
    if (static_cast<double>(onLand) < limits.nearlyAllOnLand * static_cast<double>(total)) continue;
    if (best == nullptr || onLand > bestOnLand) {
      best = &reading;
      bestOnLand = onLand;
    }
  }
  if (best == nullptr) return {};
  std::string text = std::to_string(Percent(inSea, total)) + "% of the positions are in the sea; with " +
                     best->with + " ";
  text += bestOnLand == total ? std::string("they are all on land")
                              : std::to_string(Percent(bestOnLand, total)) + "% of them are on land";
  return text + ": " + best->fix;
}

std::string PositionWarning(const AppState& state) {
  std::string failure;
  return PositionWarning(state, LoadBaseMap(state.programFolder + kBaseMapFileName, failure, MapParts::FinestLand));
}

std::string PositionWarning(const AppState& state, const std::optional<BaseMap>& map) {
  if (!map) return {};
  PreviewData sample = ReadPreview(state, kPositionCheckLimits.samples);
  if (sample.points.empty()) return {};
  return CheckPositions(state, sample, map->Finest().land);
}

}  // namespace zevi
