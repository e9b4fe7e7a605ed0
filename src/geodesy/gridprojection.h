#pragma once
// Grid positions back to latitude and longitude, for drawing them on the base
// map and checking where they lie. The export never uses this: it writes grid
// values as they are.
//
// The grids converted are the transverse Mercator ones of the grid lists:
// "UTM" (zone and latitude band from the zone text) and every "TM" parameter
// line, whose fields 2-6 are the latitude and longitude of the origin, the
// scale factor and the false easting and northing:
//   "P   TM 49 -2 0.9996012717 400000 -100000 M 0 0 6 7"  British National Grid
// The ellipsoid and the shift to WGS 84 come from the grid's own datum line,
// else from the current datum line; a line without them (the built-in WGS 84
// line) means WGS 84. Other projections (SOMERC, STEREO, NZMG) are not
// converted.
#include <optional>
#include <string>
#include <string_view>

namespace zevi {

struct GridState;
struct DatumState;

struct LatLong {
  double lat = 0;
  double lon = 0;
};

// Ellipsoid and three-parameter shift read from a datum line (datums.txt layout:
// columns 5-25 the name, then ellipsoid name, a, 1/f, dX, dY, dZ).
struct DatumShape {
  double a = 6378137.0;
  double inverseFlattening = 298.257223563;
  double dx = 0, dy = 0, dz = 0;  // to WGS 84
};
// Nothing when the line does not carry a plausible ellipsoid.
std::optional<DatumShape> ReadDatumShape(std::string_view datumLine);

struct GridProjection {
  bool utm = false;
  double originLat = 0, originLon = 0;
  double scale = 1;
  double falseEasting = 0, falseNorthing = 0;
  DatumShape datum;
};

// The parameter line's projection; nothing for another projection or a line
// whose numbers do not read.
std::optional<GridProjection> ReadGridProjection(std::string_view parameterLine);

// The current grid's projection, looked up in the grid files as the grid
// box found it. Nothing for Lat/Long, a grid of another projection, or when
// the files cannot be read.
std::optional<GridProjection> CurrentGridProjection(const GridState& grid, const DatumState& datum);

// A UTM zone text: "30U", "05U", "5 U", "30" (no band: north). Nothing for a
// zone number outside 1-60 or a band letter that is not C-X (without I and O).
struct UtmZone {
  int number = 0;
  bool north = true;
};
std::optional<UtmZone> ReadUtmZone(std::string_view zone);

// Converts grid positions of one projection; built once, used per point.
class GridConverter {
 public:
  explicit GridConverter(const GridProjection& projection);
  ~GridConverter();
  GridConverter(const GridConverter&) = delete;
  GridConverter& operator=(const GridConverter&) = delete;

  // `otherHemisphere` reads a UTM zone as if its band letter were of the other
  // hemisphere. Nothing for a zone that does not read (UTM only) or a position
  // that lands off the Earth.
  std::optional<LatLong> ToLatLong(double easting, double northing, std::string_view zone,
                                   bool otherHemisphere = false) const;
  // The other way, for drawing the base map in grid metres: WGS 84 latitude
  // and longitude to easting and northing of the zone (UTM) or the grid.
  struct GridPosition {
    double easting = 0, northing = 0;
  };
  std::optional<GridPosition> ToGrid(const LatLong& position, std::string_view zone) const;
  // The grid's central meridian; nothing for a UTM zone that does not read.
  std::optional<double> CentralLongitude(std::string_view zone) const;
  bool Utm() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace zevi
