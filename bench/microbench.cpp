// Micro-benchmarks of the loader and the value readers: where the time of a
// million-line conversion goes, one reader at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "export/recordreader.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "source/loader.h"
#include "support/scripted_ui.h"
#include "values/coordinates.h"
#include "values/datetime.h"
#include "values/gridvalues.h"
#include "values/numbers.h"

namespace {

using namespace zevi;

constexpr const char* kSampleLine = "W0000001,51.123456,-1.234567,123.4,2024-03-15,13:45:10";

// A comma file of `lines` records like kSampleLine, written once per size
// and removed when the program ends.
struct SampleFiles {
  std::vector<std::string> paths;
  ~SampleFiles() {
    for (const std::string& path : paths) std::remove(path.c_str());
  }
};

std::string SampleFile(int lines) {
  static SampleFiles files;
  std::string path = "/tmp/zevi-microbench-" + std::to_string(getpid()) + "-" + std::to_string(lines) + ".txt";
  if (std::find(files.paths.begin(), files.paths.end(), path) != files.paths.end()) return path;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  for (int n = 1; n <= lines; ++n)
    std::fprintf(file, "W%07d,%.6f,%.6f,%.1f,2024-03-15,13:%02d:%02d\r\n", n, 51 + n % 1000 * 1e-6,
                 -1 - n % 777 * 1e-6, 100 + n % 50 * 0.1, n / 60 % 60, n % 60);
  std::fclose(file);
  files.paths.push_back(path);
  return path;
}

void BM_ReadSourceLine(benchmark::State& state) {
  const std::string path = SampleFile(static_cast<int>(state.range(0)));
  std::string_view line;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const SourceRead read = ReadSource(OpenSourceFile(path), LoadLimits{});
    SourceLines lines(read.text.View());
    while (lines.ReadSourceLine(line)) bytes += static_cast<std::int64_t>(line.size()) + 2;
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadSourceLine)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LoadSourceFile(benchmark::State& state) {
  const std::string path = SampleFile(static_cast<int>(state.range(0)));
  testing::ScriptedUi ui;
  for (auto _ : state) {
    AppState app;
    LoadSourceFile(app, ui, path);
    benchmark::DoNotOptimize(app.table.RowCount());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadSourceFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The export's view of the table: every row cut into its cells.
void BM_GetRowCells(benchmark::State& state) {
  const std::string path = SampleFile(static_cast<int>(state.range(0)));
  testing::ScriptedUi ui;
  AppState app;
  app.settings.listSeparator = ',';
  LoadSourceFile(app, ui, path);
  RowCells cells;
  for (auto _ : state) {
    for (int row = 1; row <= app.table.LastRow(); ++row) GetRowCells(app.table, row, cells);
    benchmark::DoNotOptimize(cells.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetRowCells)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NextField(benchmark::State& state) {
  for (auto _ : state) {
    std::string_view rest = kSampleLine;
    for (int column = 0; column < 6; ++column) {
      auto [field, after] = NextField(',', rest);
      benchmark::DoNotOptimize(field);
      rest = after;
    }
  }
}
BENCHMARK(BM_NextField);

void BM_StrToFloat(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(StrToFloat("51.123456", '.'));
}
BENCHMARK(BM_StrToFloat);

void BM_ReadNumber(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReadNumber("123,4", '.'));
}
BENCHMARK(BM_ReadNumber);

void BM_FormatFloat(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatFloat(51.123456, 10, 6, '.'));
}
BENCHMARK(BM_FormatFloat);

void BM_ReadCoordinate(benchmark::State& state, char notation, const char* text) {
  for (auto _ : state) {
    Hemisphere hemisphere = Hemisphere::Unknown;
    benchmark::DoNotOptimize(ReadCoordinate(notation, text, hemisphere, '.'));
  }
}
BENCHMARK_CAPTURE(BM_ReadCoordinate, degrees, 'D', "51.123456");
BENCHMARK_CAPTURE(BM_ReadCoordinate, minutes, 'M', "N51 07.4074");
BENCHMARK_CAPTURE(BM_ReadCoordinate, nmea, 'N', "5107.4074");

// The readers that take a whole row, on one row of the sample layout.
struct RowFixture {
  ConversionSettings settings;
  KindColumn kinds;
  GridState grid;
  LocaleValues locale;
  FixedClock clock{{std::chrono::year{2024} / 3 / 15, std::chrono::seconds{0}}};
  RowCells row{"", "W0000001", "51.123456", "-1.234567", "123.4", "2024/03/15", "13:45:10"};

  RowFixture() {
    const char* codes[] = {"I_", "KD", "LD", "HM", "DD", "DT"};
    for (int column = 1; column <= 6; ++column) settings.columns.entries[column].code = codes[column - 1];
    RebuildKindColumns(settings.columns, 7, kinds);
  }
  ValueContext Context() const { return {settings, kinds, grid, locale, clock, '.'}; }
};

void BM_LatitudeLongitudeField(benchmark::State& state) {
  RowFixture fixture;
  const ValueContext context = fixture.Context();
  for (auto _ : state) {
    benchmark::DoNotOptimize(LatitudeField(fixture.row, context));
    benchmark::DoNotOptimize(LongitudeField(fixture.row, context));
  }
}
BENCHMARK(BM_LatitudeLongitudeField);

void BM_TimeDateField(benchmark::State& state) {
  RowFixture fixture;
  const ValueContext context = fixture.Context();
  for (auto _ : state) {
    DayCarry carry;
    benchmark::DoNotOptimize(TimeField(fixture.row, context, carry));
    benchmark::DoNotOptimize(DateField(fixture.row, context, carry));
  }
}
BENCHMARK(BM_TimeDateField);

// The export's own loop on one thread: every row read into its line, as
// the waypoint layout of the sample file has it.
void BM_RecordLines(benchmark::State& state) {
  const std::string path = SampleFile(static_cast<int>(state.range(0)));
  testing::ScriptedUi ui;
  AppState app;
  app.settings.listSeparator = ',';
  app.settings.dateFormat = 'Y';
  app.settings.mode = 'W';
  const char* codes[] = {"I_", "KD", "LD", "HM", "DD", "DT"};
  for (int column = 1; column <= 6; ++column) app.settings.columns.entries[column].code = codes[column - 1];
  LoadSourceFile(app, ui, path);
  RebuildKindColumns(app.settings.columns, app.columnCount, app.kinds);
  RecordReader reader(app, app.settings, app.kinds, ExportFlags{});
  reader.Start(1, app.table.LastRow());
  ByteBuffer block;
  for (auto _ : state) {
    std::size_t used = 0;
    for (int row = 1; row <= app.table.LastRow(); ++row) {
      if (reader.Classify(row) != RecordReader::RowKind::Record) continue;
      used = reader.ReadLineInto(row, block, used);
      if (used > (std::size_t{1} << 20)) used = 0;
    }
    benchmark::DoNotOptimize(block.Data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RecordLines)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_GridValueField(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(GridValueField("699316", 6, 0, kAlignRight));
    benchmark::DoNotOptimize(GridValueField("5710164", 7, 0, kAlignRight));
  }
}
BENCHMARK(BM_GridValueField);

}  // namespace

BENCHMARK_MAIN();
