#pragma once
// The base map under the preview: land outlines and the borders between
// countries at a few levels of detail, read from our own file
// "worldmap.bin" (scripts/build-basemap.py builds it from Natural Earth).
//
// The reader trusts nothing in the file: a wrong magic or version, a count
// larger than the bytes left, a varint running off the end or a coordinate
// off the Earth refuse the whole file with a message, never read past it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory.h"

namespace zevi {

inline constexpr const char* kBaseMapFileName = "worldmap.bin";

struct MapPoint {
  float lon = 0;
  float lat = 0;
};

struct MapBox {
  float minLon = 0, minLat = 0, maxLon = 0, maxLat = 0;
};

// Polylines one after another: line i is points[ends[i-1]..ends[i]).
struct MapLines {
  // Megabytes for the finest level: in large pages, which fill in far fewer faults.
  std::vector<MapPoint, LargePageAllocator<MapPoint>> points;
  std::vector<std::uint32_t> ends;
  std::vector<MapBox> boxes;  // one per line
  // The latitudes the edges ending at points [c * kChunkPoints, (c + 1) *
  // kChunkPoints) span, so that a search in a few latitudes passes over most
  // of a long coastline. Empty until IndexChunks.
  static constexpr std::uint32_t kChunkPoints = 64;
  struct LatRange {
    float min, max;
  };
  std::vector<LatRange> chunks;

  std::size_t LineCount() const { return ends.size(); }
  std::uint32_t Begin(std::size_t line) const { return line == 0 ? 0 : ends[line - 1]; }
  void IndexChunks();
};

struct MapLevel {
  int scaleMillions = 0;  // 110 is 1:110,000,000
  MapLines land;          // closed rings
  MapLines borders;
};

struct BaseMap {
  std::vector<MapLevel> levels;  // coarsest first

  // The most detailed level, for questions of land and sea.
  const MapLevel& Finest() const { return levels.back(); }
};

// What of the map to read: all of it, for drawing; or the land of the finest
// level alone, for telling land from sea, in a third less time. Then the map
// holds that one level, with no borders, and only what is read is checked.
enum class MapParts { All, FinestLand };

// The bytes of a base map file. Empty `failure` on success; otherwise it
// holds the reason: "is not a base map" or "is damaged".
std::optional<BaseMap> ParseBaseMap(std::string_view bytes, std::string& failure,
                                    MapParts parts = MapParts::All);

// Reads the file. A failure's text is whole: "Base map file:<path> does not
// exist", "Base map file:<path> is not a base map", "Base map file:<path> is
// damaged".
std::optional<BaseMap> LoadBaseMap(const std::string& path, std::string& failure,
                                   MapParts parts = MapParts::All);

// Point in land by ray crossings, over the edges of one latitude band at a
// time, so a look-up touches a few hundred edges, not half a million.
// Positions off the Earth (|lat| > 90, |lon| > 180) are not on land.
class LandIndex {
 public:
  // Every band; or only the bands of `latitudes`, for a few questions asked
  // at once (a position in a band left out is not on land).
  explicit LandIndex(const MapLines& land, const std::vector<double>& latitudes = {});
  bool OnLand(double lat, double lon) const;

 private:
  struct Edge {
    float lon0, lat0, lon1, lat1;
  };
  std::vector<std::uint32_t> bandStarts_;  // edges of band b: [bandStarts_[b], bandStarts_[b+1])
  std::vector<Edge> edges_;
};

}  // namespace zevi
