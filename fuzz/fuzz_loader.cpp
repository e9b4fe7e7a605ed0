// The loader on arbitrary bytes, under arbitrary separators, column breaks,
// record ranges and line limits; then every cell of the table is read back,
// one at a time and a row at once, and both must agree.
#include "fuzz_support.h"
#include "settings/state.h"
#include "source/loader.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  AppState state;
  ConversionSettings& settings = state.settings;
  settings.listSeparator = in.Pick({',', ';', ' ', ':', '|', kNoListSeparator});
  int breaks = in.Byte() % 5;
  for (int k = 0; k < breaks; ++k) {
    settings.breaks[k].position = in.Byte();
    settings.breaks[k].mark = in.Pick({'^', '.', ','});
  }
  if (in.Flag()) {
    settings.firstRecordMode = 'R';
    settings.firstRecord = static_cast<std::int8_t>(in.Byte());
  }
  if (in.Flag()) {
    settings.lastRecordMode = 'R';
    settings.lastRecord = static_cast<std::int8_t>(in.Byte());
  }

  LoadLimits limits;
  if (in.Flag()) limits.maxLineBytes = in.Byte();

  testing::ScriptedUi ui;
  LoadSourceFile(state, ui, fuzz::WriteScratchFile("source.txt", in.Rest()), {}, limits);

  const SourceTable& table = state.table;
  ZEVI_FUZZ_CHECK(table.ColumnCount() <= kMaxColumnCount);
  std::size_t total = 0;
  RowCells cells;
  for (int row = 0; row <= table.RowCount(); ++row) {
    for (int column = 0; column <= table.ColumnCount(); ++column) total += table.Cell(column, row).size();
    if (row < 1 || row > table.LastRow()) continue;
    GetRowCells(table, row, cells);
    for (int column = 0; column <= table.ColumnCount(); ++column) {
      ZEVI_FUZZ_CHECK(CellOf(cells, column) == table.Cell(column, row));
    }
  }
  ZEVI_FUZZ_CHECK(total <= 2 * in.Rest().size() + 64 * static_cast<std::size_t>(table.RowCount()));
  return 0;
}
