// The datum list and the grid lists on any file: listing, then choosing each
// listed entry (and one name from the input) as the window would.
#include "fuzz_support.h"
#include "geodesy/datums.h"
#include "geodesy/grids.h"

using namespace zevi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const bool takeDatum = in.Flag();
  const std::string name(in.Piece());
  const std::string_view list = in.Rest();
  testing::ScriptedUi ui;

  DatumState datum;
  const std::string datumPath = fuzz::WriteScratchFile("datums.txt", list);
  ReadDatumList(datum, datumPath, ui);
  for (std::size_t k = 0; k < datum.entries.size() && k < 8; ++k)
    SelectDatum(datum, datum.entries[k], datumPath, ui);
  SelectDatum(datum, name, datumPath, ui);
  ShowDatum(datum, name);

  // The same bytes as the base grid file; the optional files are switched off.
  const std::string folder = fuzz::ScratchPath("grids/");
  std::filesystem::create_directories(folder);
  fuzz::WriteScratchFile("grids/basegrids.txt", list);
  GridState grid;
  SetGridFiles(grid, folder);
  ReadGridList(grid, "---", ui);
  const std::vector<std::string> entries = grid.entries;
  for (std::size_t k = 0; k < entries.size() && k < 8; ++k)
    fuzz::Attempt([&] { SelectGrid(grid, datum, entries[k], takeDatum, "---", ui); return 0; });
  fuzz::Attempt([&] { SelectGrid(grid, datum, name, takeDatum, "---", ui); return 0; });
  return 0;
}
