#include "geodesy/basemap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/mappedfile.h"
#include "platform/memory.h"

namespace zevi {

namespace {

constexpr std::string_view kMagic("ZEVIMAP\x1A", 8);
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = kMagic.size() + 4;
constexpr std::size_t kTransformSize = 4 * sizeof(double);
constexpr std::size_t kPointsMappedAhead = (std::size_t{256} << 10) / sizeof(MapPoint);
// A map read rather than mapped is read no further: the shipped one is about 1 MB.
constexpr std::size_t kMaxReadBytes = std::size_t{256} << 20;
// The land index's latitude bands: a tenth of a degree keeps a band of the
// finest coast to a few thousand edges at most.
constexpr double kBandDegrees = 0.1;
constexpr int kBandCount = static_cast<int>(180 / kBandDegrees);

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t Left() const { return bytes_.size() - at_; }
  bool Failed() const { return failed_; }

  template <typename T>
  T Fixed() {
    T value{};
    if (Left() < sizeof(T)) {
      failed_ = true;
      return value;
    }
    // The file is little-endian, as is every machine this builds for.
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }

  std::uint64_t Varint() {
    // Through locals: the map has hundreds of thousands of them.
    const char* const start = bytes_.data();
    const char* at = start + at_;
    const char* const end = start + bytes_.size();
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64 && at < end; shift += 7) {
      auto byte = static_cast<unsigned char>(*at++);
      value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) {
        at_ = static_cast<std::size_t>(at - start);
        return value;
      }
    }
    at_ = static_cast<std::size_t>(at - start);
    failed_ = true;
    return 0;
  }

  std::int64_t ZigZag() {
    std::uint64_t raw = Varint();
    return static_cast<std::int64_t>(raw >> 1) ^ -static_cast<std::int64_t>(raw & 1);
  }

  ByteReader Sub(std::size_t size) {
    if (Left() < size) {
      failed_ = true;
      return ByteReader({});
    }
    ByteReader part(bytes_.substr(at_, size));
    at_ += size;
    return part;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

struct Transform {
  double scaleX = 0, scaleY = 0, translateX = 0, translateY = 0;
};

bool OnEarth(double lon, double lat) {
  return std::isfinite(lon) && std::isfinite(lat) && std::fabs(lon) <= 180.0 + 1e-6 &&
         std::fabs(lat) <= 90.0 + 1e-6;
}

// False when the bytes do not hold what they claim.
bool ReadLines(ByteReader& in, const Transform& transform, MapLines& lines) {
  std::uint64_t count = in.Varint();
  // Every line takes at least one byte, so a count beyond the bytes left is a lie.
  if (in.Failed() || count > in.Left()) return false;
  lines.ends.reserve(count);
  lines.boxes.reserve(count);
  // Every point takes two bytes at least: room for all there can be, so that
  // the points are never copied to grow (pages not written stay untouched).
  lines.points.reserve(lines.points.size() + in.Left() / 2);
  std::size_t mapped = lines.points.size();  // points with their pages mapped in
  for (std::uint64_t l = 0; l < count; ++l) {
    std::uint64_t size = in.Varint();
    if (in.Failed() || size > in.Left() / 2 || size < 2) return false;
    if (lines.points.size() + size > mapped) {
      // Mapped in ahead, a quarter of a megabyte at a time: a page fault for
      // every few hundred points costs more than reading them.
      const std::size_t next = std::min(lines.points.capacity(), lines.points.size() + size + kPointsMappedAhead);
      PrepareForWriting(lines.points.data() + mapped, (next - mapped) * sizeof(MapPoint));
      mapped = next;
    }
    std::int64_t x = 0, y = 0;
    MapBox box{180, 90, -180, -90};
    // Sums wrap rather than overflow: a file that runs off the ends of the
    // integers lands off the Earth and is refused there.
    auto add = [](std::int64_t sum, std::int64_t delta) {
      return static_cast<std::int64_t>(static_cast<std::uint64_t>(sum) + static_cast<std::uint64_t>(delta));
    };
    for (std::uint64_t p = 0; p < size; ++p) {
      x = add(x, in.ZigZag());
      y = add(y, in.ZigZag());
      if (in.Failed()) return false;
      double lon = transform.translateX + transform.scaleX * static_cast<double>(x);
      double lat = transform.translateY + transform.scaleY * static_cast<double>(y);
      if (!OnEarth(lon, lat)) return false;
      MapPoint point{static_cast<float>(lon), static_cast<float>(lat)};
      lines.points.push_back(point);
      box.minLon = std::min(box.minLon, point.lon);
      box.maxLon = std::max(box.maxLon, point.lon);
      box.minLat = std::min(box.minLat, point.lat);
      box.maxLat = std::max(box.maxLat, point.lat);
    }
    lines.ends.push_back(static_cast<std::uint32_t>(lines.points.size()));
    lines.boxes.push_back(box);
  }
  lines.IndexChunks();
  return true;
}

}  // namespace

std::optional<BaseMap> ParseBaseMap(std::string_view bytes, std::string& failure, MapParts parts) {
  failure.clear();
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) {
    failure = "is not a base map";
    return std::nullopt;
  }
  ByteReader in(bytes.substr(kMagic.size()));
  auto version = in.Fixed<std::uint16_t>();
  auto levelCount = in.Fixed<std::uint16_t>();
  if (version != kVersion) {
    failure = "is not a base map";
    return std::nullopt;
  }
  // The finest land alone: the levels before it are passed over unread, and
  // its borders after it.
  const bool landOnly = parts == MapParts::FinestLand;
  BaseMap map;
  for (int l = 0; l < levelCount; ++l) {
    MapLevel level;
    level.scaleMillions = static_cast<int>(in.Fixed<std::uint32_t>());
    auto size = in.Fixed<std::uint32_t>();
    ByteReader body = in.Sub(size);
    if (in.Failed() || size < kTransformSize) break;
    if (landOnly && l + 1 < levelCount) continue;
    Transform transform{body.Fixed<double>(), body.Fixed<double>(), body.Fixed<double>(),
                        body.Fixed<double>()};
    if (!std::isfinite(transform.scaleX) || !std::isfinite(transform.scaleY) ||
        !std::isfinite(transform.translateX) || !std::isfinite(transform.translateY) ||
        !ReadLines(body, transform, level.land) ||
        (!landOnly && (!ReadLines(body, transform, level.borders) || body.Left() != 0))) {
      failure = "is damaged";
      return std::nullopt;
    }
    map.levels.push_back(std::move(level));
  }
  if (in.Failed() || map.levels.empty() || in.Left() != 0) {
    failure = "is damaged";
    return std::nullopt;
  }
  return map;
}

std::optional<BaseMap> LoadBaseMap(const std::string& path, std::string& failure, MapParts parts) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    failure = "Base map file:" + path + " does not exist";
    return std::nullopt;
  }
  std::optional<BaseMap> map;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    failure = "is not a base map";  // a folder or a device: no bytes to take a map from
  } else if (MappedFile mapped; mapped.Map(fd)) {
    // Mapped: its pages come from the cache as they are parsed, where a
    // buffer of its size is fresh memory for the kernel to clear.
    map = ParseBaseMap(mapped.View(), failure, parts);
    if (map && mapped.Changed()) {
      map.reset();
      failure = "is damaged";  // cut or rewritten while it was read
    }
  } else {
    // Empty, or no mapping to be had: read, as far as a map could go.
    std::string bytes;
    char chunk[1 << 16];
    ssize_t got = 0;
    while (bytes.size() <= kMaxReadBytes && (got = ::read(fd, chunk, sizeof chunk)) != 0) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      bytes.append(chunk, static_cast<std::size_t>(got));
    }
    map = ParseBaseMap(bytes, failure, parts);
  }
  ::close(fd);
  if (!map) failure = "Base map file:" + path + " " + failure;
  return map;
}

namespace {

int BandOf(double lat) {
  return std::clamp(static_cast<int>(std::floor((lat + 90.0) / kBandDegrees)), 0, kBandCount - 1);
}

}  // namespace

void MapLines::IndexChunks() {
  chunks.assign((points.size() + kChunkPoints - 1) / kChunkPoints, LatRange{90, -90});
  for (std::size_t c = 0; c < chunks.size(); ++c) {
    // The point before a chunk starts the edge into it.
    const std::size_t begin = c == 0 ? 0 : c * kChunkPoints - 1;
    const std::size_t end = std::min<std::size_t>((c + 1) * kChunkPoints, points.size());
    LatRange range = chunks[c];
    for (std::size_t p = begin; p < end; ++p) {
      range.min = std::min(range.min, points[p].lat);
      range.max = std::max(range.max, points[p].lat);
    }
    chunks[c] = range;
  }
}

LandIndex::LandIndex(const MapLines& land, const std::vector<double>& latitudes)
    : bandStarts_(kBandCount + 1, 0) {
  std::vector<bool> wanted(kBandCount, latitudes.empty());
  int lowest = latitudes.empty() ? 0 : kBandCount, highest = latitudes.empty() ? kBandCount - 1 : -1;
  for (double lat : latitudes) {
    if (!(std::fabs(lat) <= 90.0)) continue;
    const int band = BandOf(lat);
    wanted[static_cast<std::size_t>(band)] = true;
    lowest = std::min(lowest, band);
    highest = std::max(highest, band);
  }
  // Two passes: count the edges of each band, then place them. Lines wholly
  // outside the bands asked for are passed over.
  constexpr std::uint32_t kChunk = MapLines::kChunkPoints;
  const bool chunked = land.chunks.size() == (land.points.size() + kChunk - 1) / kChunk;
  auto forEachEdge = [&](auto&& take) {
    for (std::size_t line = 0; line < land.LineCount(); ++line) {
      if (BandOf(land.boxes[line].maxLat) < lowest || BandOf(land.boxes[line].minLat) > highest) continue;
      for (std::uint32_t p = land.Begin(line) + 1; p < land.ends[line]; ++p) {
        if (chunked && (p % kChunk == 0 || p == land.Begin(line) + 1)) {
          // A chunk of edges wholly outside the bands asked for adds nothing.
          const MapLines::LatRange& chunk = land.chunks[p / kChunk];
          if (BandOf(chunk.max) < lowest || BandOf(chunk.min) > highest) {
            p = std::min(land.ends[line], (p / kChunk + 1) * kChunk) - 1;
            continue;
          }
        }
        const MapPoint& a = land.points[p - 1];
        const MapPoint& b = land.points[p];
        if (a.lat == b.lat) continue;  // crosses no ray
        int first = std::max(BandOf(std::min(a.lat, b.lat)), lowest);
        int last = std::min(BandOf(std::max(a.lat, b.lat)), highest);
        for (int band = first; band <= last; ++band) {
          if (wanted[static_cast<std::size_t>(band)]) take(band, Edge{a.lon, a.lat, b.lon, b.lat});
        }
      }
    }
  };
  forEachEdge([&](int band, const Edge&) { ++bandStarts_[static_cast<std::size_t>(band) + 1]; });
  for (std::size_t b = 1; b < bandStarts_.size(); ++b) bandStarts_[b] += bandStarts_[b - 1];
  edges_.resize(bandStarts_.back());
  std::vector<std::uint32_t> next(bandStarts_.begin(), bandStarts_.end() - 1);
  forEachEdge([&](int band, const Edge& edge) { edges_[next[static_cast<std::size_t>(band)]++] = edge; });
}

bool LandIndex::OnLand(double lat, double lon) const {
  if (!(std::fabs(lat) <= 90.0) || !(std::fabs(lon) <= 180.0)) return false;
  auto band = static_cast<std::size_t>(BandOf(lat));
  bool inside = false;
  // Half-open in latitude, so a ray through a vertex counts it once.
  for (std::uint32_t e = bandStarts_[band]; e < bandStarts_[band + 1]; ++e) {
    const Edge& edge = edges_[e];
    if ((edge.lat0 > lat) == (edge.lat1 > lat)) continue;
    double crossing = edge.lon0 + (lat - edge.lat0) * (edge.lon1 - edge.lon0) / (edge.lat1 - edge.lat0);
    if (crossing > lon) inside = !inside;
  }
  return inside;
}

}  // namespace zevi
