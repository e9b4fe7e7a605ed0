#pragma once
// Easting, northing and zone cells to the texts a grid prescribes, and the
// window texts that describe the grid coordinate options.
#include <optional>
#include <string>
#include <string_view>

#include "source/table.h"
#include "values/context.h"

namespace zevi {

class UserInterface;

inline constexpr int kAlignRight = 0;
inline constexpr int kAlignLeft = 9;

// Throws EInvalidLine "Coordinate too large".
std::string GridValueField(std::string_view text, int digits, int shift, int alignment);

// The zone of a record: the Zone cell or the default zone, completed for UTM.
// May ask for a latitude-band letter, which is also appended to `defaultZone`.
std::string ZoneField(const RowCells& row, const ValueContext& context, std::string& defaultZone,
                      UserInterface& ui);

// The coordinate-format sample for the current grid choice and alignment.
std::string FormatSample(const ConversionSettings& settings, const KindColumn& kinds,
                         const GridState& grid);

// "Scale =1", "Scale X100", "Scale /1000".
std::string ScaleLabel(int shift);

// The "Grid decimal place ..." answer: the new shift, or nothing when the
// answer is no whole number. Throws ERangeError outside -128..127.
std::optional<int> ParseScaleAnswer(std::string_view answer);

// The spin button: one step, wrapping within -128..127.
int StepScale(int shift, int delta);

}  // namespace zevi
