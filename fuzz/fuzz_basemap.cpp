// The base map file on any bytes: read it, and when it reads, ask the land
// look-up about positions taken from the input; and the grid parameter and
// datum lines and zone texts that turn grid positions into degrees.
#include <cstring>

#include "fuzz_support.h"
#include "geodesy/basemap.h"
#include "geodesy/gridprojection.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::string_view parameterLine = in.Piece();
  const std::string_view datumLine = in.Piece();
  const std::string_view zone = in.Piece();
  const std::string_view bytes = in.Rest();

  std::string failure;
  if (auto map = ParseBaseMap(bytes, failure)) {
    LandIndex land(map->Finest().land);
    for (std::size_t at = 0; at + 2 * sizeof(double) <= zone.size(); at += 2 * sizeof(double)) {
      double position[2];
      std::memcpy(position, zone.data() + at, sizeof position);
      land.OnLand(position[0], position[1]);
    }
    land.OnLand(54.5, -3.0);
  } else if (failure != "is not a base map" && failure != "is damaged") {
    __builtin_trap();  // every refusal says why
  }

  if (auto projection = ReadGridProjection(parameterLine)) {
    if (auto shape = ReadDatumShape(datumLine)) projection->datum = *shape;
    GridConverter converter(*projection);
    converter.ToLatLong(500000, 6000000, zone);
    converter.ToLatLong(-1e300, 1e300, zone, true);
  }
  ReadUtmZone(zone);
  return 0;
}
