#pragma once
// The column-kind commands and the table layout, on the process-wide state;
// the window shows what they leave in it.
#include <string>
#include <string_view>

#include "source/columns.h"

namespace zevi {

struct AppState;
class UserInterface;

// Date order and the selected grid's zone width, as the headings need them.
HeadingContext HeadingContextOf(const AppState& state);

// Heading of data column `column` from the column map.
std::string HeadingOfColumn(const AppState& state, int column);

// Assigns a kind to data column `target`; refuses a kind another column of
// the table holds ("'Lat (D°M.m) already exists !", then the holder:
// "Column B holds it"). True when assigned.
bool AssignColumnKind(AppState& state, UserInterface& ui, std::string_view code, int target);

// "Ignore All": every entry 1..26 becomes "__"; widths stay.
void IgnoreAllColumns(AppState& state);

// Widths, headings and the track-start list from the column map.
void RefreshHeadings(AppState& state);

// Gives the table its column and row counts (both with the fixed row and
// column), blanks it, rebuilds the kind index and the headings.
void LayoutTable(AppState& state, int columns, int rows);

// The aux kind changes: every "A" code gets the new letter.
void ChangeAuxKind(AppState& state, char auxLetter);

// Brings the state in line with the settings after start-up or a settings
// load: edit texts, table layout, and a reload of a loaded source file.
void RefreshAll(AppState& state, UserInterface& ui);

// Column width take-over: the displayed widths go into the column map; a
// width that differs marks the settings as changed.
void TakeOverColumnWidths(AppState& state);

}  // namespace zevi
