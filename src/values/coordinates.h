#pragma once
// Latitude and longitude cells to signed decimal-degree texts; Garmin iQue
// hexadecimal cells to their latitude, longitude, symbol and altitude.
#include <string>
#include <string_view>

#include "source/table.h"
#include "values/context.h"

namespace zevi {

enum class Hemisphere : int { Unknown = 0, NorthEast = 1, SouthWest = -1 };

// One coordinate text in notation 'D', 'M', 'S' or 'N' (any other reads as 'M').
// Sets `hemisphere` only when the text carries a letter. Returns degrees with
// the text's own sign, without the hemisphere.
// Accepts (D) "51.5", "N51.5", "51.5S", "-51.5"; (M) "51 30.5", "51°30.5'",
// "N 51 30.5"; (S) "51°30'15"; (N) "5130.25", "00007.5".
// Rejects with EInvalidLine "Invalid Coordinate Format": "", "x51", "n51.5",
// a sign or letter alone ("N", "-", "-S"), (N) "30.5" and "5130".
// Rejects with the number reader's failure: (D) "51.5n", (M) "51" (no minutes).
// A text of more than 127 characters without a leading sign or letter throws
// ERangeError; after a leading sign or letter only 99 characters are kept.
double ReadCoordinate(char notation, std::string_view text, Hemisphere& hemisphere,
                      char decimalMark);

// The row's latitude with companions, hemisphere and sign, checked and
// formatted "%10.6f"; longitude likewise with the single 360 wrap, "%11.6f".
// Minutes and seconds columns add minutes/60 and seconds/3600 (also a seconds
// column alone) with the sign of the main value. Throws EInvalidLine
// "Latitude Range" / "Longitude Range".
std::string LatitudeField(const RowCells& row, const ValueContext& context);
std::string LongitudeField(const RowCells& row, const ValueContext& context);
// The same checked values before formatting, for a caller that writes them
// straight into its line.
double LatitudeValue(const RowCells& row, const ValueContext& context);
double LongitudeValue(const RowCells& row, const ValueContext& context);
// True when the axis value is the number in its main cell as it stands
// (decimal degrees, no hemisphere, minutes or seconds column, no sign turned
// by the settings), so that a plain decimal there may be copied as text.
bool AxisIsPlainDegrees(const ValueContext& context, bool latitude);
// True when the axis value is its main cell read in degrees and minutes ("M")
// alone, with no hemisphere, minutes or seconds column.
bool AxisIsPlainMinutes(const ValueContext& context, bool latitude);

// "GARMIN 249F49F5 FFE93E94 A420C0000 B001A" -> latitude (10), longitude (11),
// symbol "%6.0d", altitude "%8.1f", joined by single blanks:
// " 51.500000   -0.125000     26     35.0". Symbol 18 and altitude 0 when the
// cell has no "B" or "A" token. A latitude beyond 90 degrees throws EInvalidLine
// "Latitude Range" (cut to ten characters it would lose its sign); digits that
// are no 32-bit hexadecimal number throw "'...' is not a valid integer value".
std::string GarminHexField(std::string_view cell, char decimalMark);

}  // namespace zevi
