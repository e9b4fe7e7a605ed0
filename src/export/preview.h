#pragma once
// The positions an export would write, read for a look before exporting: the
// record range with the current column map and settings, through the export's
// layout and value readers, with the export's track starts and per-record
// failures. Reading never asks a question and never changes the state.
//
// Also the plain geometry of drawing them: fitting the points into a picture,
// axis ticks, a scale bar, and thinning a million points down to what a
// picture can show (thinned for drawing only; every record is read).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/recordreader.h"
#include "geodesy/gridprojection.h"

namespace zevi {

struct AppState;

// Degrees: x is the longitude, y the latitude (the layout writes "KL" or
// "X"). Grid: x is the easting, y the northing ("G", "EN" or "ZEN").
enum class PreviewAxes { Degrees, Grid };

struct PreviewPoint {
  double x = 0;
  double y = 0;
  int record = 0;
  bool trackStart = false;  // trackpoints: the export writes "1" in the track-start field
};

struct PreviewFailure {
  int record = 0;
  int column = 1;           // the data column the export would select
  std::string message;      // the text the export's record question shows
};

struct PreviewBounds {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool empty = true;

  void Add(double x, double y);
};

// Only this many failures are kept with their texts; all are counted.
inline constexpr std::size_t kMaxListedFailures = 10000;

struct PreviewData {
  PreviewAxes axes = PreviewAxes::Degrees;
  char mode = 'W';                          // 'W', 'R' or 'T', as the settings say
  std::vector<PreviewPoint> points;         // in record order
  std::vector<PreviewFailure> failures;     // the first kMaxListedFailures
  std::size_t failureCount = 0;
  PreviewBounds bounds;
  // Why nothing or not everything could be read: no position columns, or
  // "Less than 500 records in source date" when the range runs past the table.
  std::string note;

  // Waypoint modes: the ID the export writes for point `index` (a generated
  // ID is cut to the ID field as the export cuts it). Empty for trackpoints.
  std::string_view IdOf(std::size_t index) const;

  // Filled by ReadPreview.
  std::string idText;
  std::vector<std::uint32_t> idEnds;

  // Grid layouts with a zone field: the zone of point i is zones[zoneOf[i]]
  // (kNoZone past 65535 different zones).
  std::vector<std::string> zones;
  std::vector<std::uint16_t> zoneOf;
  std::string_view ZoneOf(std::size_t index) const;
};

inline constexpr std::uint16_t kNoZone = 0xFFFF;

// Reads the record range as the export would. The first and last record come
// from the record boxes, as the export takes them. `atMost` > 0 reads no more
// than that many records, spread evenly over the range: enough to tell where
// the positions lie without reading a million lines. A UTM zone without its
// latitude band takes the default zone's, else "T", as an export answering
// nothing would; nothing is asked.
PreviewData ReadPreview(const AppState& state, std::size_t atMost = 0);

// Latitude and longitude of every point: degree layouts as read, grid
// positions through `converter` (none: no positions). A point that does not
// convert gets NaN. `otherHemisphere` reads UTM zones as if their band letter
// were of the other hemisphere.
std::vector<LatLong> LocatePoints(const PreviewData& data, const GridConverter* converter,
                                  bool otherHemisphere = false);

// The same preview in degrees, for drawing over the base map: the points with
// a position, with their records, IDs and track starts.
PreviewData InDegrees(const PreviewData& data, const std::vector<LatLong>& positions);

// Data to pixels: equal distances on the ground are equal in the picture.
// Degrees are drawn equirectangular, the longitude scaled by the cosine of the
// middle latitude; grid units are taken as metres.
struct PlotFrame {
  PreviewAxes axes = PreviewAxes::Degrees;
  double left = 0, top = 0;        // data x at pixel 0, data y at pixel 0
  double pixelsPerX = 1, pixelsPerY = 1;

  double PixelX(double x) const { return (x - left) * pixelsPerX; }
  double PixelY(double y) const { return (top - y) * pixelsPerY; }
  double DataX(double pixel) const { return left + pixel / pixelsPerX; }
  double DataY(double pixel) const { return top - pixel / pixelsPerY; }
  double MetresPerPixel() const;
};

// The largest frame that shows the bounds inside a width x height picture
// less `margin` pixels on every side, centred. A single point (or none) gets
// about a kilometre around it.
PlotFrame FitFrame(const PreviewBounds& bounds, PreviewAxes axes, int width, int height,
                   int margin);

struct AxisTicks {
  double step = 0;
  std::vector<double> values;
};
// Multiples of a step of 1, 2 or 5 times a power of ten in [min, max], at
// most `maxCount` of them: (0.12, 0.93, 5) -> step 0.2: 0.2, 0.4, 0.6, 0.8.
AxisTicks ChooseTicks(double min, double max, int maxCount);
// A tick's label with as many decimals as the step needs; degrees end with a
// degree sign: (51.25, 0.05, Degrees, '.') -> "51.25\xB0", (512000, 1000,
// Grid, '.') -> "512000".
std::string TickLabel(double value, double step, PreviewAxes axes, char decimalMark);

struct ScaleBar {
  double metres = 0;
  double pixels = 0;
  std::string label;  // "500 m", "2 km"
};
// The longest round distance (1, 2 or 5 times a power of ten) not longer
// than `maxPixels`.
ScaleBar ChooseScaleBar(const PlotFrame& frame, double maxPixels);

// The points worth drawing in this frame, as indices into data.points. A
// point is kept when it starts or ends a track, or lies a pixel or more from
// the last kept point of its track; waypoints are kept once per pixel.
std::vector<std::uint32_t> ThinForDrawing(const PreviewData& data, const PlotFrame& frame,
                                          int width, int height);

// The kept point nearest to a pixel, within `radius` pixels; -1 when none.
int NearestPoint(const PreviewData& data, const std::vector<std::uint32_t>& kept,
                 const PlotFrame& frame, double px, double py, double radius);

}  // namespace zevi
