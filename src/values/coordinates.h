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
// Accepts (D) "51.5", "N51.5", "51.5S", "-51.5"; (M) "51 30.5", "51°30.5'";
// (N) "5130.25". Rejects "" and "x51" (Invalid Coordinate Format), (D) "51.5n".
double ReadCoordinate(char notation, std::string_view text, Hemisphere& hemisphere,
                      char decimalMark);

// The row's latitude with companions, hemisphere and sign, checked and
// formatted "%10.6f"; longitude likewise with the single 360 wrap, "%11.6f".
std::string LatitudeField(const RowCells& row, const ValueContext& context);
std::string LongitudeField(const RowCells& row, const ValueContext& context);

// "GARMIN 249F49F5 FFE93E94 A420C0000 B001A" -> latitude (10), longitude (11),
// symbol "%6.0d", altitude "%8.1f", joined by single blanks.
std::string GarminHexField(std::string_view cell, char decimalMark);

}  // namespace zevi
