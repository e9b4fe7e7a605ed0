#pragma once
// Where the previewed positions lie: when most are in the sea and a swap of
// latitude and longitude, or a flip of a sign, would put nearly all of them
// on land, the columns or the sign settings are likely wrong, and the check
// says so with the fix:
//   "87% of the positions are in the sea; with west longitudes they are all
//    on land: set Settings > Sign to West, or check the longitude column"
// For UTM positions a zone letter of the other hemisphere counts as a flip of
// the latitude's sign. A track that stays in the sea under every swap and
// flip (a sailing track) gets no word.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "export/preview.h"
#include "geodesy/basemap.h"

namespace zevi {

struct AppState;
struct MapLines;

// Every threshold of the check, in one place.
struct PositionCheckLimits {
  double mostInSea = 0.5;          // warn only when more than this share is in the sea
  double nearlyAllOnLand = 0.9;    // and a fix puts at least this share on land
  std::size_t samples = 4000;      // positions looked at, spread over the range
};
inline constexpr PositionCheckLimits kPositionCheckLimits{};

// The warning for these positions, or empty. `data` may be a sample
// (ReadPreview with atMost); grid positions need the current grid's
// projection, without one there is nothing to say.
// `land` is the base map's land (its finest level).
std::string CheckPositions(const AppState& state, const PreviewData& data, const MapLines& land,
                           const PositionCheckLimits& limits = kPositionCheckLimits);

// The check on a sample of the record range, with the base map beside the
// program. Empty when there is nothing to say, or no base map to say it with.
std::string PositionWarning(const AppState& state);
// The same with a base map already loaded (nothing: none to check with).
std::string PositionWarning(const AppState& state, const std::optional<BaseMap>& map);

}  // namespace zevi
