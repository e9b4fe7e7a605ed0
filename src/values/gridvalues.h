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

// One easting or northing with `digits` whole digits after the shift and the
// alignment (0 right, 1..3 x 10..x 1000, anything else left aligned); at most
// ten zeros are added per step. Digits 6, right: "12345" -> "012345",
// "-12345" -> "-012345", "" -> "000000"; x 10: "1234.5" -> "012345.0".
// Throws EInvalidLine "Coordinate too large" ("1234567"), and the number
// reader's failure for a text that is no number after the shift ("12a45").
std::string GridValueField(std::string_view text, int digits, int shift, int alignment);

// False when ZoneField can never ask: no UTM grid, or a default zone that
// already holds its band letter ("30U").
bool ZoneFieldMayAsk(const GridState& grid, std::string_view defaultZone);

// The zone of a record: the Zone cell or the default zone, completed for UTM.
// May ask for a latitude-band letter, which is also appended to `defaultZone`;
// the caller shows the changed default zone in its edit box.
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
