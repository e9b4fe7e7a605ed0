#include "source/kinds.h"

#include <algorithm>

#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/loader.h"

namespace zevi {

namespace {

int LastDataColumn(const AppState& state) {
  return std::min(state.columnCount - 1, kMaxDataColumns);
}

void ShowInTrackStartList(AppState& state, int column) {
  if (column >= static_cast<int>(state.trackStartList.size())) {
    state.trackStartList.resize(static_cast<std::size_t>(column) + 1);
  }
  state.trackStartList[column] = HeadingOfColumn(state, column);
}

// Rebuilds the index and shows at once the columns it turned into Ignore.
void RebuildAndShow(AppState& state) {
  const ColumnMap before = state.settings.columns;
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  for (int column = 1; column <= LastDataColumn(state); ++column) {
    if (state.settings.columns.entries[column].code != before.entries[column].code) {
      ShowInTrackStartList(state, column);
    }
  }
}

}  // namespace

HeadingContext HeadingContextOf(const AppState& state) {
  return HeadingContext{state.settings.dateFormat, state.grid.zoneWidth};
}

std::string HeadingOfColumn(const AppState& state, int column) {
  if (column < 1 || column > kMaxDataColumns) return {};
  return ColumnHeading(state.settings.columns.entries[column].code, column,
                       HeadingContextOf(state));
}

bool AssignColumnKind(AppState& state, UserInterface& ui, std::string_view code, int target) {
  // The row-number column (or nothing) selected: there is no data column to take the kind.
  if (target < 1 || target > LastDataColumn(state)) return false;
  const ColumnCode stored = NormalizedCode(code);
  const int holder = FindKindColumn(state.settings.columns, stored);
  const bool allowed = stored[0] == '_' || holder == kNoColumn || holder == target ||
                       holder >= state.columnCount;
  if (!allowed) {
    ui.ShowMessage("'" + ColumnHeading(stored, target, HeadingContextOf(state)) +
                   " already exists !\r\nColumn " + ColumnLetter(holder) + " holds it");
    return false;
  }
  state.settings.columns.entries[target].code = stored;
  ShowInTrackStartList(state, target);
  RebuildAndShow(state);
  state.settingsChanged = true;
  return true;
}

void IgnoreAllColumns(AppState& state) {
  for (int column = 1; column <= kMaxDataColumns; ++column) {
    state.settings.columns.entries[column].code = "__";
  }
  for (int column = 1; column <= LastDataColumn(state); ++column) ShowInTrackStartList(state, column);
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  state.settingsChanged = true;
}

void RefreshHeadings(AppState& state) {
  const int lastColumn = LastDataColumn(state);
  state.displayedWidths.assign(static_cast<std::size_t>(lastColumn) + 1, 0);
  state.trackStartList.assign(1, "(None)");
  for (int column = 1; column <= lastColumn; ++column) {
    state.displayedWidths[column] = state.settings.columns.entries[column].width;
    state.trackStartList.push_back(HeadingOfColumn(state, column));
  }
}

void LayoutTable(AppState& state, int columns, int rows) {
  state.table.Layout(columns, rows);
  state.columnCount = state.table.ColumnCount();
  RebuildKindColumns(state.settings.columns, state.columnCount, state.kinds);
  RefreshHeadings(state);
}

void ChangeAuxKind(AppState& state, char auxLetter) {
  // The headings are re-shown with the map's widths: keep what the user dragged.
  TakeOverColumnWidths(state);
  state.settings.auxData = auxLetter;
  for (int column = 1; column <= kMaxDataColumns; ++column) {
    ColumnCode& code = state.settings.columns.entries[column].code;
    if (!code.empty() && code[0] == 'A') code = ColumnCode{'A', auxLetter};
  }
  RefreshHeadings(state);
  state.settingsChanged = true;
}

void TakeOverColumnWidths(AppState& state) {
  const int lastColumn =
      std::min(LastDataColumn(state), static_cast<int>(state.displayedWidths.size()) - 1);
  for (int column = 1; column <= lastColumn; ++column) {
    std::int32_t& width = state.settings.columns.entries[column].width;
    if (width != state.displayedWidths[column]) {
      state.settingsChanged = true;
      width = state.displayedWidths[column];
    }
  }
}

void RefreshAll(AppState& state, UserInterface& ui) {
  ShowSettingsInEdits(state);
  LayoutTable(state, state.table.ColumnCount(), state.table.RowCount());
  if (!state.sourceFile.empty()) LoadSourceFile(state, ui, state.sourceFile);
}

}  // namespace zevi
