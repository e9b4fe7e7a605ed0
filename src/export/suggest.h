#pragma once
// Suggested column kinds for the ignored columns of a loaded file: from the
// words of a heading row and from what the values of the record range read
// as. Nothing changes until the suggestion is applied, and then only through
// the Fields menu's own assignment, so its duplicate rules hold and the
// settings count as changed.
//
// Heading words (any case, whole words: "Latitude (deg)" has "latitude",
// "platform" has no "lat"): lat latitude, lon lng long longitude, alt
// altitude ele elevation height (with "ft" or "feet": feet), date, time,
// datetime timestamp (or "date" and "time" in one heading), name id ident,
// comment desc description note, symbol sym, easting, northing, zone, and
// the aux kinds depth, temp temperature, heading, hr (only the current aux
// kind can be proposed).
//
// Values (at least 95% of the non-empty cells of up to 1000 records spread
// over the range must read): latitude and longitude in each notation, with
// a hemisphere letter or column deciding the axis, else values beyond 90
// (longitude), else left to right; N/S and E/W columns; dates (31/12/2003,
// 31.12.2003, 2003-12-31), times (13:45:10), both in one cell; days from
// 1/1/1900 (fractions between 1980 and 2100); seconds from 31/12/89 (whole
// numbers from 1995 to 2100); with a projected grid chosen, eastings and
// northings that fill the grid's digit counts, zones (30U, TQ) and whole grid
// cells; Garmin iQue cells. Numbers that only read with the other decimal
// mark are proposed with a word about the decimal separator.
//
// Separators: lines that hold the same number of semicolons each and no such
// run of commas (or the reverse) are meant to be cut there; the note says
// which list and decimal separator to choose.
#include <string>
#include <vector>

#include "source/columns.h"

namespace zevi {

struct AppState;
class UserInterface;

struct ColumnSuggestion {
  int column = 0;            // data column 1..
  ColumnCode code = "__";    // the proposal; an Ignore code proposes nothing
  std::string reason;
  bool assigned = false;     // the column held a kind already and is left alone
};

struct KindSuggestion {
  bool headingRow = false;                // the first line was read as headings
  std::vector<ColumnSuggestion> columns;  // every data column of the table
  std::string note;                       // about the record range, when it matters
  // Where the positions of the current assignment lie, when a swap or a sign
  // flip would put them on land (see positioncheck.h); empty otherwise.
  std::string positions;
  // The list and decimal separators to choose, when the lines are plainly
  // cut at the other of comma and semicolon; empty otherwise.
  std::string separators;
};

KindSuggestion SuggestKinds(const AppState& state);

// True when the suggestion proposes at least one kind.
bool ProposesAnything(const KindSuggestion& suggestion);

// Assigns every proposed kind as the Fields menu does. Returns how many were
// assigned.
int ApplySuggestion(AppState& state, UserInterface& ui, const KindSuggestion& suggestion);

// The Columns key a settings file would hold with the suggestion applied.
std::string SuggestedColumnsValue(const AppState& state, const KindSuggestion& suggestion);

// One line per column: letter, heading of the proposed (or kept) kind, reason:
// "B: Lat (DD.dd) - heading \"Latitude\"; values read as DD.dddddd".
std::string SuggestionLine(const AppState& state, const ColumnSuggestion& column);

}  // namespace zevi
