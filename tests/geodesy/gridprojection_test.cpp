#include "geodesy/gridprojection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geodesy/datums.h"
#include "geodesy/grids.h"

namespace zevi {
namespace {

TEST(GridProjection, UtmZones) {
  struct Case {
    const char* zone;
    int number;  // 0: refused
    bool north;
  } cases[] = {
      {"30U", 30, true},  {"05U", 5, true},   {"5", 5, true},     {"30", 30, true},
      {" 30 u ", 30, true}, {"30N", 30, true}, {"30M", 30, false}, {"56H", 56, false},
      {"30C", 30, false}, {"30X", 30, true},  {"61U", 0, false},  {"0U", 0, false},
      {"30I", 0, false},  {"30O", 0, false},  {"30Y", 0, false},  {"30B", 0, false},
      {"", 0, false},     {"U30", 0, false},  {"30UU", 0, false}, {"123", 0, false},
  };
  for (const Case& c : cases) {
    auto zone = ReadUtmZone(c.zone);
    if (c.number == 0) {
      EXPECT_FALSE(zone) << c.zone;
      continue;
    }
    ASSERT_TRUE(zone) << c.zone;
    EXPECT_EQ(zone->number, c.number) << c.zone;
    EXPECT_EQ(zone->north, c.north) << c.zone;
  }
}

TEST(GridProjection, ParameterAndDatumLines) {
  auto tm = ReadGridProjection("P   TM      49.000000000   -2.000000000  0.9996012717   400000.000  -100000.000 M 0   0  6  7");
  ASSERT_TRUE(tm);
  EXPECT_FALSE(tm->utm);
  EXPECT_DOUBLE_EQ(tm->originLat, 49);
  EXPECT_DOUBLE_EQ(tm->originLon, -2);
  EXPECT_DOUBLE_EQ(tm->scale, 0.9996012717);
  EXPECT_DOUBLE_EQ(tm->falseEasting, 400000);
  EXPECT_DOUBLE_EQ(tm->falseNorthing, -100000);
  auto utm = ReadGridProjection("P   UTM      0.000000000    0.000000000  0.9996000000   500000.000        0.000 M 0   3  6  7");
  ASSERT_TRUE(utm);
  EXPECT_TRUE(utm->utm);
  EXPECT_DOUBLE_EQ(utm->scale, 0.9996);
  EXPECT_DOUBLE_EQ(utm->falseEasting, 500000);

  const char* refused[] = {
      "P   SOMERC  46.952405556    7.439583333  1.0000000000   600000.000   200000.000 M 0   0  6  6",
      "P   TM      49.0x   -2.0  0.9996  400000  -100000 M 0 0 6 7",
      "P   TM      95   -2.0  0.9996  400000  -100000 M 0 0 6 7",
      "P   TM      49   -2.0  0  400000  -100000 M 0 0 6 7",
      "P   TM      49   -2.0",
      "P",
  };
  for (const char* line : refused) EXPECT_FALSE(ReadGridProjection(line)) << line;

  auto osgb = ReadDatumShape(
      "M E OSGB 1936             Airy1830      6377563.396  299.324964600   375.000  -111.000   431.000");
  ASSERT_TRUE(osgb);
  EXPECT_DOUBLE_EQ(osgb->a, 6377563.396);
  EXPECT_DOUBLE_EQ(osgb->inverseFlattening, 299.3249646);
  EXPECT_DOUBLE_EQ(osgb->dx, 375);
  EXPECT_DOUBLE_EQ(osgb->dy, -111);
  EXPECT_DOUBLE_EQ(osgb->dz, 431);
  EXPECT_FALSE(ReadDatumShape(kBuiltinWgs84Line)) << "the built-in line has no ellipsoid";
  EXPECT_FALSE(ReadDatumShape("M E short"));
}

// Reference positions: UTM values from GeographicLib's own UTMUPS (another
// road through the library than the converter's), and the Ordnance Survey's
// worked example of the National Grid. That example is on the Airy
// ellipsoid; the converter moves it onto WGS 84, about 75 m north, so it is
// checked to 0.001 degrees: enough to catch a wrong origin, scale or offset.
TEST(GridProjection, GridToLatitudeAndLongitude) {
  GridProjection utm;
  utm.utm = true;
  utm.scale = 0.9996;
  utm.falseEasting = 500000;
  GridConverter toUtm(utm);

  GridProjection national = *ReadGridProjection("P   TM 49 -2 0.9996012717 400000 -100000 M 0 0 6 7");
  national.datum = DatumShape{6377563.396, 299.3249646, 0, 0, 0};
  GridConverter toNational(national);

  struct Case {
    const GridConverter& converter;
    double easting, northing;
    const char* zone;
    bool otherHemisphere;
    double lat, lon;  // NaN: refused
    double tolerance;
    const char* why;
  } cases[] = {
      {toUtm, 498471.6, 6034527.0, "30U", false, 54.458412, -3.023577, 1e-6, "northern band"},
      {toUtm, 498471.6, 6034527.0, "30F", true, 54.458412, -3.023577, 1e-6, "southern band read as northern"},
      {toUtm, 498471.6, 6034527.0, "30F", false, -35.8334228, -3.0169227, 1e-6, "southern band"},
      {toUtm, 498471.6, 6034527.0, "30U", true, -35.8334228, -3.0169227, 1e-6, "northern band read as southern"},
      {toUtm, 334900.570, 6252288.753, "56H", false, -33.8568, 151.2153, 1e-6, "Sydney"},
      {toUtm, 498471.6, 6034527.0, "30Y", false, NAN, NAN, 0, "no such band"},
      {toUtm, 98e6, 6034527.0, "30U", false, NAN, NAN, 0, "far outside the zone"},
      {toNational, 651409.903, 313177.270, "", false, 52.6575703, 1.7179215, 1e-3, "OS worked example"},
  };
  for (const Case& c : cases) {
    auto position = c.converter.ToLatLong(c.easting, c.northing, c.zone, c.otherHemisphere);
    if (std::isnan(c.lat)) {
      EXPECT_FALSE(position) << c.why;
      continue;
    }
    ASSERT_TRUE(position) << c.why;
    EXPECT_NEAR(position->lat, c.lat, c.tolerance) << c.why;
    EXPECT_NEAR(position->lon, c.lon, c.tolerance) << c.why;
    if (c.otherHemisphere) continue;
    // And back, to the centimetre (the height the ellipsoid change makes
    // is not kept): the map in grid metres goes this way.
    auto grid = c.converter.ToGrid(*position, c.zone);
    ASSERT_TRUE(grid) << c.why;
    EXPECT_NEAR(grid->easting, c.easting, 1e-2) << c.why;
    EXPECT_NEAR(grid->northing, c.northing, 1e-2) << c.why;
  }
  EXPECT_FALSE(toUtm.ToGrid({54.0, -3.0}, "30Y")) << "no zone, no grid position";
  EXPECT_FALSE(toUtm.CentralLongitude("61U"));
  EXPECT_EQ(toUtm.CentralLongitude("30U"), -3.0);
  EXPECT_EQ(toNational.CentralLongitude(""), -2.0);
}

// The current grid's entry, found in the shipped lists, brings its own datum;
// UTM takes the current datum's ellipsoid.
TEST(GridProjection, CurrentGridFromTheShippedLists) {
  GridState grid;
  SetGridFiles(grid, std::string(ZEVI_DATA_DIR) + "/");
  DatumState datum;
  grid.name = "BRITISH NATIONAL GRID";
  auto national = CurrentGridProjection(grid, datum);
  ASSERT_TRUE(national);
  EXPECT_DOUBLE_EQ(national->datum.a, 6377563.396);
  EXPECT_DOUBLE_EQ(national->datum.dx, 375);
  // Buckingham Palace on the National Grid, about 529090 179645: WGS 84 after the shift.
  GridConverter converter(*national);
  auto palace = converter.ToLatLong(529090, 179645, "");
  ASSERT_TRUE(palace);
  EXPECT_NEAR(palace->lat, 51.5014, 2e-3);
  EXPECT_NEAR(palace->lon, -0.1419, 2e-3);
  auto back = converter.ToGrid(*palace, "");
  ASSERT_TRUE(back) << "through the datum shift and back";
  EXPECT_NEAR(back->easting, 529090, 1e-2);
  EXPECT_NEAR(back->northing, 179645, 1e-2);

  grid.name = "UTM";
  auto utm = CurrentGridProjection(grid, datum);
  ASSERT_TRUE(utm);
  EXPECT_TRUE(utm->utm);
  EXPECT_DOUBLE_EQ(utm->datum.a, 6378137.0);

  grid.name = "SWISS GRID";
  EXPECT_FALSE(CurrentGridProjection(grid, datum)) << "an oblique projection is not converted";
  grid.name = "";
  EXPECT_FALSE(CurrentGridProjection(grid, datum));
  grid.name = "NO SUCH GRID";
  EXPECT_FALSE(CurrentGridProjection(grid, datum));
}

}  // namespace
}  // namespace zevi
