#include "cli/convert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <new>

#include "export/exportrun.h"
#include "export/format.h"
#include "export/positioncheck.h"
#include "export/suggest.h"
#include "geodesy/basemap.h"
#include "geodesy/datums.h"
#include "geodesy/grids.h"
#include "platform/atomicfile.h"
#include "platform/helperthread.h"
#include "platform/locale.h"
#include "settings/files.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "source/loader.h"

namespace zevi::cli {

namespace {

bool IsFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsStandardStream(const std::string& path) { return path == kStandardOutputName; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperTrimmed(std::string_view text) {
  std::string out(TrimText(text));
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

bool HasSettingsSection(const IniFile& file) {
  const std::string text = file.Text();
  const std::string wanted = UpperTrimmed(kSettingsSection);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line = TrimText(std::string_view(text).substr(start, end - start));
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
        UpperTrimmed(line.substr(1, line.size() - 2)) == wanted) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The settings for one source: the named or the associated settings file over
// the defaults, then the --set keys. Empty when a named file cannot be read.
std::optional<ConversionSettings> SettingsFor(const Options& options, const std::string& source,
                                              const LocaleValues& locale, CliUserInterface& ui) {
  IniFile file;
  if (options.settingsFile) {
    if (!IsFile(*options.settingsFile)) {
      ui.ShowMessage("Settings file: " + *options.settingsFile + " does not exist.");
      return std::nullopt;
    }
    file = IniFile(*options.settingsFile);
  } else if (!source.empty() && !IsStandardStream(source) &&
             IsFile(StripExtension(source) + ".ini")) {
    file = IniFile(StripExtension(source) + ".ini");
  }
  if (!file.Path().empty() && !file.Load()) {
    ui.ShowMessage("Unable to read " + file.Path());
    return std::nullopt;
  }
  // A file named on purpose that holds no settings is a mistake, not the defaults.
  if (options.settingsFile && !HasSettingsSection(file)) {
    ui.ShowMessage("Settings file: " + file.Path() + " has no " + kSettingsSection + " section.");
    return std::nullopt;
  }
  for (const auto& [key, value] : options.sets) file.Set(kSettingsSection, key, value);
  ConversionSettings settings;
  ReadSettings(file, settings, locale, ui);
  return settings;
}

void Write(std::FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

void PrintSettings(const ConversionSettings& settings, std::FILE* out) {
  IniFile file;
  WriteSettings(file, settings);
  Write(out, file.Text());
}

void PrintTable(const AppState& state, const CliUserInterface& ui, std::FILE* out) {
  const SourceTable& table = state.table;
  const int columns = table.ColumnCount();
  std::string line = "#";
  for (int c = 1; c < columns; ++c) line += "\t" + HeadingOfColumn(state, c);
  line += '\n';
  Write(out, ui.ForUser(line));
  // Lines are gathered into one buffer, so a table of a million rows is a few writes.
  std::string buffer;
  constexpr std::size_t kFlushSize = 1 << 16;
  for (int r = 1; r <= table.LastRow(); ++r) {
    buffer += std::to_string(r);
    buffer += table.Marker(r) ? "\t1" : "\t0";
    for (int c = 1; c < columns; ++c) {
      buffer += '\t';
      buffer += table.Cell(c, r);
    }
    buffer += '\n';
    if (buffer.size() >= kFlushSize) {
      Write(out, ui.ForUser(buffer));
      buffer.clear();
    }
  }
  Write(out, ui.ForUser(buffer));
}

// "Columns=" with the suggestion applied, then a line per column.
void PrintSuggestion(const AppState& state, CliUserInterface& ui, std::FILE* out) {
  KindSuggestion suggestion = SuggestKinds(state);
  std::string text = "Columns=" + SuggestedColumnsValue(state, suggestion) + "\n";
  for (const ColumnSuggestion& column : suggestion.columns) text += SuggestionLine(state, column) + "\n";
  Write(out, ui.ForUser(text));
  if (!suggestion.note.empty()) ui.Note(suggestion.note);
  if (!suggestion.separators.empty()) ui.Note(suggestion.separators);
}

// The state as the window has it after start-up with these settings: datum and
// grid lists read and selected, edit boxes filled.
void PrepareState(AppState& state, const std::string& dataFolder, CliUserInterface& ui) {
  state.programFolder = dataFolder;
  ReadDatumList(state.datum, state.DatumFilePath(), ui);
  SetGridFiles(state.grid, state.programFolder);
  ReadGridList(state.grid, state.settings.gridFiles, ui);
  ShowGrid(state.grid, state.settings.grid);
  if (!state.settings.datum.empty()) {
    SelectDatum(state.datum, state.settings.datum, state.DatumFilePath(), ui);
    ShowDatum(state.datum, state.settings.datum);
  }
  SelectGrid(state.grid, state.datum, state.settings.grid, false, state.settings.gridFiles, ui);
  RefreshAll(state, ui);
  ShowSettingsInEdits(state);
}

bool IsWgs84Name(const std::string& upperName) {
  return upperName == "WGS 84" || upperName == "WGS84";
}

// A Datum or Grid value that selected nothing would leave WGS 84 or
// latitude/longitude in the file without a word: refused, naming what is missing.
bool DatumAndGridFound(const AppState& state, CliUserInterface& ui) {
  const std::string datum = UpperTrimmed(state.settings.datum);
  if (!datum.empty() && state.datum.name != datum &&
      !(IsWgs84Name(datum) && state.datum.line == kBuiltinWgs84Line)) {
    ui.Note("zevi-convert: datum " + std::string(TrimText(state.settings.datum)) +
            (IsFile(state.DatumFilePath()) ? " not found in " : " not found: there is no ") +
            state.DatumFilePath());
    return false;
  }
  const std::string grid = UpperTrimmed(state.settings.grid);
  if (grid.empty() || state.grid.name == grid || grid == UpperTrimmed(kFirstGridEntry)) return true;
  const auto& listed = state.grid.entries;
  bool inLists = std::any_of(listed.begin() + 1, listed.end(),
                             [&](const std::string& entry) { return UpperTrimmed(entry) == grid; });
  std::string searched;
  for (std::size_t i = 0; i < state.grid.files.size(); ++i) {
    if (i > 0 && !GridFileSwitchOn(state.settings.gridFiles, static_cast<int>(i) - 1)) continue;
    searched += (searched.empty() ? "" : ", ") + state.grid.files[i];
  }
  ui.Note("zevi-convert: grid " + std::string(TrimText(state.settings.grid)) +
          (inLists ? " cannot be read from " : " not found in ") + searched);
  return false;
}

bool SourceRead(const AppState& state, const std::string& source, const CliUserInterface& ui) {
  if (state.sourceFile != source) return false;  // "File does not exist", an open failure
  const auto& messages = ui.Messages();
  return std::none_of(messages.begin(), messages.end(),
                      [](const std::string& m) { return m == "Error A" || m == "Error B"; });
}

// Empty for standard input into a folder: it has no name to give.
std::string TargetFor(const Options& options, const std::string& source) {
  if (options.output && IsStandardStream(*options.output)) return kStandardOutputName;
  if (IsStandardStream(source)) {
    if (!options.output) return kStandardOutputName;
    return IsFolder(*options.output) ? "" : *options.output;
  }
  std::string name = StripExtension(source) + ProposedExportExtension(source);
  if (!options.output) return name;
  if (IsFolder(*options.output)) return WithSlash(*options.output) + FileNameOf(name);
  return *options.output;
}

// Same device and inode, so links count; a path that is not there yet is
// compared by its full form.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat infoA, infoB;
  auto look = [](const std::string& path, struct stat& info) {
    return IsStandardStream(path) ? ::fstat(STDIN_FILENO, &info) == 0
                                  : ::stat(path.c_str(), &info) == 0;
  };
  bool hasA = look(a, infoA);
  bool hasB = look(b, infoB);
  if (hasA && hasB) return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
  if (IsStandardStream(a) || IsStandardStream(b)) return false;
  std::error_code ignored;
  return std::filesystem::weakly_canonical(a, ignored) ==
         std::filesystem::weakly_canonical(b, ignored);
}

// Before anything is written: no target is a source, no two sources share a target.
int CheckTargets(const Options& options, CliUserInterface& ui) {
  const std::vector<std::string>& sources = options.sources;
  std::vector<std::string> targets;
  for (const std::string& source : sources) {
    std::string target = TargetFor(options, source);
    if (target.empty()) {
      ui.Note("zevi-convert: standard input has no name for a target in a folder: give -o FILE");
      return kExitRefused;
    }
    if (!IsStandardStream(target)) {
      for (const std::string& other : sources) {
        if (!SameFile(target, other)) continue;
        ui.Note(std::string("Overwrite existing file? ") + kLineEnd + kSameAsSourceText);
        ui.Note("zevi-convert: " + target + " is the source " + other +
                "; nothing is written over a source, not even with --force");
        return kExitRefused;
      }
    }
    for (std::size_t earlier = 0; earlier < targets.size(); ++earlier) {
      const bool shared = IsStandardStream(target) ? IsStandardStream(targets[earlier])
                                                   : !IsStandardStream(targets[earlier]) &&
                                                         SameFile(target, targets[earlier]);
      if (!shared) continue;
      ui.Note("zevi-convert: " + sources[earlier] + " and " + source +
              " would both be written to " +
              (IsStandardStream(target) ? std::string("standard output") : target) +
              "; nothing written");
      return kExitRefused;
    }
    targets.push_back(std::move(target));
  }
  return kExitWritten;
}

int StatusOf(ExportOutcome outcome, const CliUserInterface& ui) {
  switch (outcome) {
    case ExportOutcome::Written: return kExitWritten;
    case ExportOutcome::WrittenWithMissing: return kExitMissingRecords;
    case ExportOutcome::WriteFailed: return kExitUnreadable;
    case ExportOutcome::Aborted: return kExitRefused;
    case ExportOutcome::Refused: break;
  }
  const auto& messages = ui.Messages();
  bool readOnly = std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
    const std::string end = " is read only.";
    return m.size() >= end.size() && m.compare(m.size() - end.size(), end.size(), end) == 0;
  });
  return readOnly ? kExitUnreadable : kExitRefused;
}

int ProcessSource(const Options& options, const std::string& source, const std::string& dataFolder,
                  CliUserInterface& ui, std::FILE* out) {
  ui.ClearMessages();
  // The base map for the position check loads while the settings, the lists
  // and the source do: the lists are read on one thread, with the other idle.
  std::promise<std::optional<BaseMap>> loadedMap;
  std::future<std::optional<BaseMap>> baseMap = loadedMap.get_future();
  HelperThread mapLoader;
  if (!options.showTable) {
    mapLoader = HelperThread([&loadedMap, path = dataFolder + kBaseMapFileName] {
      try {
        std::string failure;
        loadedMap.set_value(LoadBaseMap(path, failure, MapParts::FinestLand));
      } catch (...) {
        loadedMap.set_exception(std::current_exception());
      }
    });
  }
  AppState state;
  state.locale = SystemLocaleValues();
  auto settings = SettingsFor(options, source, state.locale, ui);
  if (!settings) return kExitRefused;
  state.settings = *settings;
  PrepareState(state, dataFolder, ui);
  const bool converting = !options.showTable && !options.suggestColumns;
  if (converting && !DatumAndGridFound(state, ui)) return kExitRefused;

  ui.ClearMessages();
  // A batch run maps the source: the export checks it is unchanged before
  // its output goes in place.
  LoadLimits limits;
  limits.mapRegularFile = true;
  LoadSourceFile(state, ui, source, {}, limits);
  ui.EndProgress();  // the table or the suggestion may go to the same terminal
  if (!SourceRead(state, source, ui)) {
    // "Is a directory" and "Error A" do not say which of the sources failed.
    const auto& messages = ui.Messages();
    if (std::none_of(messages.begin(), messages.end(),
                     [&](const std::string& m) { return m.find(source) != std::string::npos; })) {
      ui.Note("zevi-convert: " + source + " was not read");
    }
    return kExitUnreadable;
  }
  if (options.showTable) {
    PrintTable(state, ui, out);
    return kExitWritten;
  }
  // A warning only: the export goes on as asked.
  if (std::string warning = PositionWarning(state, baseMap.get()); !warning.empty()) ui.Note(warning);
  if (options.suggestColumns) {
    PrintSuggestion(state, ui, out);
    return kExitWritten;
  }

  std::string target = TargetFor(options, source);
  if (!IsStandardStream(target) && IsFile(target) && !options.force) {
    ui.Note("Overwrite existing file? ");
    ui.Note("zevi-convert: " + target + " exists; --force overwrites it");
    return kExitRefused;
  }
  ui.ClearMessages();
  ExportOutcome outcome = RunExport(state, ui, target);
  int status = StatusOf(outcome, ui);
  if (status <= kExitMissingRecords && !IsStandardStream(target)) ui.Inform(target);
  return status;
}

}  // namespace

int RunCommand(const Options& options, const std::string& programFolder, CliUserInterface& ui,
               std::FILE* out) {
  if (options.help) {
    Write(out, UsageText());
    return kExitWritten;
  }
  if (options.version) {
    Write(out, std::string(kVersionText) + "\n");
    return kExitWritten;
  }
  if (options.showSettings) {
    LocaleValues locale = SystemLocaleValues();
    auto settings =
        SettingsFor(options, options.sources.empty() ? "" : options.sources.front(), locale, ui);
    if (!settings) return kExitRefused;
    PrintSettings(*settings, out);
    return kExitWritten;
  }
  if (options.output && options.sources.size() > 1 && !IsFolder(*options.output)) {
    ui.Note("zevi-convert: -o names a file: give one SOURCE, or an existing folder");
    return kExitRefused;
  }
  std::string dataFolder = options.dataDir ? WithSlash(*options.dataDir) : programFolder;
  if (!options.showTable && !options.suggestColumns) {
    if (int refused = CheckTargets(options, ui)) return refused;
  }
  int status = kExitWritten;
  for (const std::string& source : options.sources) {
    ui.StartWork(IsStandardStream(source) ? "standard input" : FileNameOf(source));
    int sourceStatus;
    try {
      sourceStatus = ProcessSource(options, source, dataFolder, ui, out);
    } catch (const std::bad_alloc&) {
      // The source's table is gone by now, so there is memory to say so.
      ui.Note("zevi-convert: " + source + ": " + kOutOfMemoryText);
      sourceStatus = kExitUnreadable;
    }
    ui.EndProgress();
    status = std::max(status, sourceStatus);
  }
  std::fflush(out);
  return status;
}

}  // namespace zevi::cli
