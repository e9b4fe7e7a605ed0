// The loader on arbitrary bytes, under arbitrary separators, column breaks and
// record ranges; then every cell of the table is read back.
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

  testing::ScriptedUi ui;
  LoadSourceFile(state, ui, fuzz::WriteScratchFile("source.txt", in.Rest()));

  const SourceTable& table = state.table;
  ZEVI_FUZZ_CHECK(table.ColumnCount() <= kMaxColumnCount);
  std::size_t total = 0;
  RowCells cells;
  for (int row = 0; row <= table.RowCount(); ++row) {
    for (int column = 0; column <= table.ColumnCount(); ++column) total += table.Cell(column, row).size();
    if (row >= 1 && row <= table.LastRow()) GetRowCells(table, row, cells);
  }
  ZEVI_FUZZ_CHECK(total <= 2 * in.Rest().size() + 64 * static_cast<std::size_t>(table.RowCount()));
  return 0;
}
