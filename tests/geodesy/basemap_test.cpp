#include "geodesy/basemap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zevi {
namespace {

// Writes the file layout the reader expects, one piece at a time, so a test
// can damage any piece.
struct MapBytes {
  std::string bytes;

  template <typename T>
  MapBytes& Fixed(T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes.append(raw, sizeof(T));
    return *this;
  }
  MapBytes& Varint(std::uint64_t value) {
    do {
      char byte = static_cast<char>(value & 0x7F);
      value >>= 7;
      bytes += static_cast<char>(byte | (value ? 0x80 : 0));
    } while (value);
    return *this;
  }
  MapBytes& Delta(std::int64_t value) { return Varint(value < 0 ? (~static_cast<std::uint64_t>(value) << 1) | 1 : static_cast<std::uint64_t>(value) << 1); }
  MapBytes& Lines(const std::vector<std::vector<std::pair<int, int>>>& lines) {
    Varint(lines.size());
    for (const auto& line : lines) {
      Varint(line.size());
      int x = 0, y = 0;
      for (auto [px, py] : line) {
        Delta(px - x).Delta(py - y);
        x = px;
        y = py;
      }
    }
    return *this;
  }
};

// Whole degrees: a 10 x 10 island with a 2 x 2 lake, and one border line.
std::string Level(double scale = 1.0, double translate = 0.0) {
  MapBytes body;
  body.Fixed(scale).Fixed(scale).Fixed(translate).Fixed(translate);
  body.Lines({{{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}},
              {{14, 14}, {16, 14}, {16, 16}, {14, 16}, {14, 14}}});
  body.Lines({{{15, 10}, {15, 14}}});
  return body.bytes;
}

std::string File(const std::vector<std::string>& levels, std::uint16_t version = 1) {
  MapBytes file;
  file.bytes = std::string("ZEVIMAP\x1A", 8);
  file.Fixed(version).Fixed(static_cast<std::uint16_t>(levels.size()));
  for (const std::string& level : levels) {
    file.Fixed(std::uint32_t{110}).Fixed(static_cast<std::uint32_t>(level.size()));
    file.bytes += level;
  }
  return file.bytes;
}

std::string File(const std::string& level, std::uint16_t version = 1) {
  return File(std::vector<std::string>{level}, version);
}

TEST(BaseMap, ReadsLevelsAndAnswersLandOrSea) {
  std::string failure = "stale";
  auto map = ParseBaseMap(File(Level()), failure);
  ASSERT_TRUE(map) << failure;
  EXPECT_EQ(failure, "");
  ASSERT_EQ(map->levels.size(), 1u);
  const MapLevel& level = map->Finest();
  EXPECT_EQ(level.scaleMillions, 110);
  ASSERT_EQ(level.land.LineCount(), 2u);
  EXPECT_EQ(level.land.Begin(1), 5u);
  EXPECT_EQ(level.borders.LineCount(), 1u);
  EXPECT_FLOAT_EQ(level.land.boxes[0].maxLon, 20.0f);
  EXPECT_FLOAT_EQ(level.land.boxes[1].minLat, 14.0f);

  LandIndex land(level.land);
  struct Case {
    double lat, lon;
    bool onLand;
    const char* why;
  } cases[] = {
      {12, 12, true, "inside the island"},
      {15, 15, false, "in the lake"},
      {15, 13, true, "beside the lake, the ray crosses the lake twice"},
      {14, 12, true, "on the latitude of the lake's corner"},
      {9.99, 15, false, "just south of the island"},
      {15, 25, false, "east of the island"},
      {15, 5, false, "west of the island"},
      {91, 15, false, "off the Earth"},
      {15, 181, false, "off the Earth"},
  };
  for (const Case& c : cases) EXPECT_EQ(land.OnLand(c.lat, c.lon), c.onLand) << c.why;

  // Indexed in a few latitudes only: the same answers there, none elsewhere.
  LandIndex some(level.land, {12.0, 15.0, 9.99});
  for (const Case& c : cases) {
    if (c.lat == 12 || c.lat == 15 || c.lat == 9.99) {
      EXPECT_EQ(some.OnLand(c.lat, c.lon), c.onLand) << c.why;
    }
  }
  EXPECT_FALSE(some.OnLand(18, 12)) << "a band left out";
}

TEST(BaseMap, RefusesWhatIsNoMapOrDamaged) {
  std::string good = File(Level());
  std::string bigCount = File([] {
    MapBytes body;
    body.Fixed(1.0).Fixed(1.0).Fixed(0.0).Fixed(0.0).Varint(1000000);
    return body.bytes;
  }());
  std::string offEarth = File([] {
    MapBytes body;
    body.Fixed(1.0).Fixed(1.0).Fixed(0.0).Fixed(0.0).Lines({{{0, 0}, {200, 0}}}).Lines({});
    return body.bytes;
  }());
  std::string endless = File([] {
    MapBytes body;
    body.Fixed(1.0).Fixed(1.0).Fixed(0.0).Fixed(0.0).Varint(1).Varint(2);
    body.bytes += std::string(12, '\xFF');
    return body.bytes;
  }());
  std::string shortLevel = good;
  shortLevel.resize(shortLevel.size() - 1);
  struct Case {
    std::string bytes;
    const char* failure;
    const char* why;
  } cases[] = {
      {"", "is not a base map", "empty"},
      {"PK\x03\x04 not a map at all", "is not a base map", "another kind of file"},
      {File(Level(), 2), "is not a base map", "a version this reader does not know"},
      {std::string("ZEVIMAP\x1A\x01\x00\x00\x00", 12), "is damaged", "no levels"},
      {shortLevel, "is damaged", "cut short inside a level"},
      {good + "x", "is damaged", "bytes after the last level"},
      {bigCount, "is damaged", "more lines than bytes"},
      {offEarth, "is damaged", "a coordinate off the Earth"},
      {endless, "is damaged", "a varint that never ends"},
      {File(Level(std::numeric_limits<double>::quiet_NaN())), "is damaged", "a scale that is no number"},
  };
  for (const Case& c : cases) {
    std::string failure;
    EXPECT_FALSE(ParseBaseMap(c.bytes, failure)) << c.why;
    EXPECT_EQ(failure, c.failure) << c.why;
  }
}

// Files on disk, mapped or (empty) read: each failure names the file, and
// none that is no map ends the program.
TEST(BaseMap, LoadNamesTheFileInItsFailure) {
  const std::string folder = ::testing::TempDir() + "basemap-load";
  std::filesystem::create_directories(folder);
  auto write = [&](const std::string& name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  std::string cut = File(Level());
  cut.resize(cut.size() - 3);
  struct Case {
    std::string path;
    const char* ending;
  } cases[] = {
      {"/nonexistent/worldmap.bin", " does not exist"},
      {std::string(ZEVI_DATA_DIR) + "/README.md", " is not a base map"},
      {write("empty.bin", ""), " is not a base map"},
      {write("cut.bin", cut), " is damaged"},
      {folder, " is not a base map"},
      {"/dev/null", " is not a base map"},
  };
  for (const Case& c : cases) {
    std::string failure;
    EXPECT_FALSE(LoadBaseMap(c.path, failure)) << c.path;
    EXPECT_EQ(failure, "Base map file:" + c.path + c.ending);
  }
  std::string failure = "stale";
  auto map = LoadBaseMap(write("good.bin", File(Level())), failure);
  ASSERT_TRUE(map) << failure;
  EXPECT_EQ(failure, "");
  EXPECT_EQ(map->levels.size(), 1u);
  std::filesystem::remove_all(folder);
}

// The shipped map: coarsest level first, and places known to be land or sea.
TEST(BaseMap, ShippedMapKnowsLandFromSea) {
  std::string failure;
  auto map = LoadBaseMap(std::string(ZEVI_DATA_DIR) + "/" + kBaseMapFileName, failure);
  ASSERT_TRUE(map) << failure;
  ASSERT_EQ(map->levels.size(), 3u);
  EXPECT_EQ(map->levels.front().scaleMillions, 110);
  EXPECT_EQ(map->Finest().scaleMillions, 10);
  EXPECT_GT(map->Finest().land.points.size(), map->levels.front().land.points.size());
  EXPECT_GT(map->levels.front().borders.LineCount(), 100u);

  LandIndex land(map->Finest().land);
  struct Case {
    double lat, lon;
    bool onLand;
    const char* place;
  } cases[] = {
      {54.4584, -3.0236, true, "Lake District"},
      {54.4584, 3.0236, false, "North Sea"},
      {-3.0236, 54.4584, false, "Indian Ocean"},
      {50.45, -0.2, false, "English Channel"},
      {51.5007, -0.1246, true, "London"},
      {48.8584, 2.2945, true, "Paris"},
      {23.0, 13.0, true, "Sahara"},
      {-33.86, 151.0, true, "Sydney"},
      {33.86, 151.0, false, "Pacific east of Japan"},
      {40.0, -40.0, false, "Atlantic"},
      {-80.0, 0.0, true, "Antarctica"},
      {64.1466, -21.9426, true, "Reykjavik"},
      {0.0, -150.0, false, "Pacific"},
      // Rings stitched over the antimeridian are cut there: no band of
      // false land right round the Earth in their latitudes.
      {68.0, 0.0, false, "Norwegian Sea, in the latitudes of Chukotka"},
      {-16.5, 20.0, true, "Zambia, in the latitudes of Fiji"},
      {-16.5, -20.0, false, "South Atlantic, in the latitudes of Fiji"},
      {66.0, -174.0, true, "Chukotka east of the antimeridian"},
      {67.0, 175.0, true, "Chukotka west of it"},
      {-89.5, 179.9, true, "Antarctica at the antimeridian"},
  };
  for (const Case& c : cases) EXPECT_EQ(land.OnLand(c.lat, c.lon), c.onLand) << c.place;
}

// The finest land alone, as the land check reads it: what the whole map holds
// at that level, with the other levels and the borders passed over unread.
TEST(BaseMap, FinestLandAloneIsTheWholeMapsFinestLand) {
  std::string failure;
  const std::string path = std::string(ZEVI_DATA_DIR) + "/" + kBaseMapFileName;
  auto whole = LoadBaseMap(path, failure);
  ASSERT_TRUE(whole) << failure;
  auto landOnly = LoadBaseMap(path, failure, MapParts::FinestLand);
  ASSERT_TRUE(landOnly) << failure;
  ASSERT_EQ(landOnly->levels.size(), 1u);
  const MapLevel& want = whole->Finest();
  const MapLevel& got = landOnly->Finest();
  EXPECT_EQ(got.scaleMillions, want.scaleMillions);
  EXPECT_EQ(got.land.ends, want.land.ends);
  ASSERT_EQ(got.land.points.size(), want.land.points.size());
  EXPECT_EQ(std::memcmp(got.land.points.data(), want.land.points.data(),
                        want.land.points.size() * sizeof(MapPoint)), 0);
  ASSERT_EQ(got.land.chunks.size(), want.land.chunks.size());
  EXPECT_EQ(got.borders.LineCount(), 0u);

  // Damage where it is not read passes; where it is read, or in the file's
  // frame, it is refused as ever.
  auto level = [](const std::vector<std::vector<std::pair<int, int>>>& land,
                  const std::vector<std::vector<std::pair<int, int>>>& borders) {
    MapBytes body;
    body.Fixed(1.0).Fixed(1.0).Fixed(0.0).Fixed(0.0).Lines(land).Lines(borders);
    return body.bytes;
  };
  const std::vector<std::vector<std::pair<int, int>>> island = {{{10, 10}, {20, 10}, {20, 20}, {10, 10}}};
  const std::vector<std::vector<std::pair<int, int>>> offEarth = {{{0, 0}, {200, 0}}};
  const std::string good = level(island, island);
  struct Case {
    std::string bytes;
    bool whole, landOnly;
    const char* why;
  } cases[] = {
      {File({good, good}), true, true, "sound"},
      {File({level(offEarth, {}), good}), false, true, "a coarser level damaged"},
      {File({good, level(island, offEarth)}), false, true, "the finest borders damaged"},
      {File({good, level(offEarth, island)}), false, false, "the finest land damaged"},
      {File({good, good}) + "x", false, false, "bytes after the last level"},
      {File({good, good}).substr(0, 30), false, false, "cut short in the first level"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseBaseMap(c.bytes, failure).has_value(), c.whole) << c.why;
    auto map = ParseBaseMap(c.bytes, failure, MapParts::FinestLand);
    ASSERT_EQ(map.has_value(), c.landOnly) << c.why;
    if (map) {
      EXPECT_EQ(map->Finest().land.LineCount(), 1u) << c.why;
    }
  }
}

// An index over a few latitudes passes over chunks of coastline outside them:
// it must answer as one built from every edge does, over the shipped map.
TEST(BaseMap, IndexOverSomeLatitudesAnswersAsOneOverAllEdges) {
  std::string failure;
  auto map = LoadBaseMap(std::string(ZEVI_DATA_DIR) + "/" + kBaseMapFileName, failure);
  ASSERT_TRUE(map) << failure;
  MapLines unchunked = map->Finest().land;
  unchunked.chunks.clear();
  const std::vector<std::vector<double>> asked = {{51.2}, {-33.9, -33.0}, {0.4, 12.0, 66.9}, {-89.9, 89.9}};
  for (const std::vector<double>& latitudes : asked) {
    const LandIndex chunked(map->Finest().land, latitudes);
    const LandIndex whole(unchunked, latitudes);
    std::size_t differing = 0, onLand = 0;
    for (double lat : latitudes) {
      for (double shift = -0.4; shift <= 0.4; shift += 0.05) {
        for (double lon = -180; lon <= 180; lon += 0.37) {
          const bool answer = chunked.OnLand(lat + shift, lon);
          differing += answer != whole.OnLand(lat + shift, lon);
          onLand += answer;
        }
      }
    }
    EXPECT_EQ(differing, 0u) << latitudes.front();
    EXPECT_GT(onLand, 0u) << latitudes.front();
  }
}

// The edge that joins two chunks belongs to the later one: here it is the one
// edge of the ring's east side that crosses the latitude asked about.
TEST(BaseMap, EdgeAcrossChunksCountsWhereItCrosses) {
  MapLines ring;
  const auto chunk = static_cast<int>(MapLines::kChunkPoints);
  for (int i = 0; i < chunk; ++i) ring.points.push_back({static_cast<float>(i), 10.0f});
  for (int i = chunk - 1; i >= 0; --i) ring.points.push_back({static_cast<float>(i), 30.0f});
  ring.points.push_back({0.0f, 10.0f});
  ring.ends.push_back(static_cast<std::uint32_t>(ring.points.size()));
  ring.boxes.push_back({0, 10, static_cast<float>(chunk - 1), 30});
  ring.IndexChunks();
  const LandIndex land(ring, {20.0});
  EXPECT_TRUE(land.OnLand(20.0, 30.0));
  EXPECT_FALSE(land.OnLand(20.0, chunk + 1.0));
}

}  // namespace
}  // namespace zevi
