#include "export/positioncheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geodesy/basemap.h"
#include "settings/state.h"

namespace zevi {
namespace {

struct Square {
  float lat0, lon0, lat1, lon1;
};

// Square islands in whole degrees.
MapLines Islands(const std::vector<Square>& squares) {
  MapLines land;
  for (const Square& s : squares) {
    for (MapPoint p : {MapPoint{s.lon0, s.lat0}, MapPoint{s.lon1, s.lat0}, MapPoint{s.lon1, s.lat1},
                       MapPoint{s.lon0, s.lat1}, MapPoint{s.lon0, s.lat0}})
      land.points.push_back(p);
    land.ends.push_back(static_cast<std::uint32_t>(land.points.size()));
    land.boxes.push_back({s.lon0, s.lat0, s.lon1, s.lat1});
  }
  return land;
}

// A off the diagonal, B where a swap of its neighbours lands, S straddling
// the prime meridian (a flip of the longitude's sign leaves it in place).
MapLines Islands() { return Islands({{10, 10, 20, 20}, {30, 50, 40, 60}, {10, -5, 20, 5}}); }

struct Group {
  int count;
  double lat, lon;
};

PreviewData Degrees(const std::vector<Group>& groups) {
  PreviewData data;
  data.axes = PreviewAxes::Degrees;
  for (const Group& group : groups)
    for (int i = 0; i < group.count; ++i) data.points.push_back({group.lon, group.lat, i + 1, false});
  return data;
}

TEST(PositionCheck, SaysWhichSwapOrFlipLandsThePositions) {
  MapLines land = Islands();
  AppState state;
  struct Case {
    std::vector<Group> points;
    std::string message;
  } cases[] = {
      {{{10, 15, -15}},
       "100% of the positions are in the sea; with east longitudes they are all on land: set "
       "Settings > Sign to East, or check the longitude column"},
      {{{10, -15, 15}},
       "100% of the positions are in the sea; with north latitudes they are all on land: set "
       "Settings > Sign to North, or check the latitude column"},
      {{{10, -15, -15}},
       "100% of the positions are in the sea; with north latitudes and east longitudes they are all "
       "on land: set Settings > Sign to North and East, or check the latitude and longitude columns"},
      {{{10, 55, 35}},
       "100% of the positions are in the sea; with latitude and longitude swapped they are all on "
       "land: swap the Latitude and Longitude columns"},
      {{{10, -55, 35}},
       "100% of the positions are in the sea; with latitude and longitude swapped and east "
       "longitudes they are all on land: swap the Latitude and Longitude columns, then set "
       "Settings > Sign to East"},
      // Points on S stay on land under the flip, so only the rest is in the sea.
      {{{3, 15, 0}, {7, 15, -15}},
       "70% of the positions are in the sea; with east longitudes they are all on land: set "
       "Settings > Sign to East, or check the longitude column"},
      // Nearly all is 90%: one point of ten may stay in the sea, two may not.
      {{{9, 15, -15}, {1, 15, -100}},
       "100% of the positions are in the sea; with east longitudes 90% of them are on land: set "
       "Settings > Sign to East, or check the longitude column"},
      {{{8, 15, -15}, {2, 15, -100}}, ""},
      // Half in the sea is not most.
      {{{5, 15, 15}, {5, 15, -15}}, ""},
      {{{10, 15, 15}}, ""},
      // A sailing track: in the sea under every swap and flip.
      {{{10, 0.5, -150}}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckPositions(state, Degrees(c.points), land), c.message)
        << (c.points.empty() ? 0.0 : c.points.front().lat) << " "
        << (c.points.empty() ? 0.0 : c.points.front().lon);
  }
}

// With minus signs in the file, a swap that lands wins over a sign flip that
// lands as well; without, the flip of the lost sign is named first.
TEST(PositionCheck, MinusSignsTipATieTowardsTheSwap) {
  // (-15, 15) lands swapped on the first island and with west longitudes on
  // the second; (15, 25) swapped on the third and with west longitudes on the fourth.
  MapLines land = Islands({{10, -20, 20, -10}, {-20, -20, -10, -10}, {20, 10, 30, 20}, {10, -30, 20, -20}});
  AppState state;
  EXPECT_EQ(CheckPositions(state, Degrees({{4, -15, 15}}), land),
            "100% of the positions are in the sea; with latitude and longitude swapped they are all "
            "on land: swap the Latitude and Longitude columns");
  EXPECT_EQ(CheckPositions(state, Degrees({{4, 15, 25}}), land),
            "100% of the positions are in the sea; with west longitudes they are all on land: set "
            "Settings > Sign to West, or check the longitude column");
}

}  // namespace
}  // namespace zevi
