#include "cli/convert.h"

#include <sys/stat.h>

#include <algorithm>

#include "export/exportrun.h"
#include "export/positioncheck.h"
#include "export/suggest.h"
#include "geodesy/datums.h"
#include "geodesy/grids.h"
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
  } else if (!source.empty() && IsFile(StripExtension(source) + ".ini")) {
    file = IniFile(StripExtension(source) + ".ini");
  }
  if (!file.Path().empty() && !file.Load()) {
    ui.ShowMessage("Unable to read " + file.Path());
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

void PrintTable(const AppState& state, std::FILE* out) {
  const SourceTable& table = state.table;
  const int columns = table.ColumnCount();
  std::string line = "#";
  for (int c = 1; c < columns; ++c) line += "\t" + HeadingOfColumn(state, c);
  line += '\n';
  Write(out, line);
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
      Write(out, buffer);
      buffer.clear();
    }
  }
  Write(out, buffer);
}

// "Columns=" with the suggestion applied, then a line per column.
void PrintSuggestion(const AppState& state, CliUserInterface& ui, std::FILE* out) {
  KindSuggestion suggestion = SuggestKinds(state);
  std::string text = "Columns=" + SuggestedColumnsValue(state, suggestion) + "\n";
  for (const ColumnSuggestion& column : suggestion.columns) text += SuggestionLine(state, column) + "\n";
  Write(out, text);
  if (!suggestion.note.empty()) ui.Note(suggestion.note);
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

bool SourceRead(const AppState& state, const std::string& source, const CliUserInterface& ui) {
  if (state.sourceFile != source) return false;  // "File does not exist", an open failure
  const auto& messages = ui.Messages();
  return std::none_of(messages.begin(), messages.end(),
                      [](const std::string& m) { return m == "Error A" || m == "Error B"; });
}

std::string TargetFor(const Options& options, const std::string& source) {
  std::string name = StripExtension(source) + ProposedExportExtension(source);
  if (!options.output) return name;
  if (IsFolder(*options.output)) return WithSlash(*options.output) + FileNameOf(name);
  return *options.output;
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
  AppState state;
  state.locale = SystemLocaleValues();
  auto settings = SettingsFor(options, source, state.locale, ui);
  if (!settings) return kExitRefused;
  state.settings = *settings;
  PrepareState(state, dataFolder, ui);

  ui.ClearMessages();
  LoadSourceFile(state, ui, source);
  if (!SourceRead(state, source, ui)) return kExitUnreadable;
  if (options.showTable) {
    PrintTable(state, out);
    return kExitWritten;
  }
  // A warning only: the export goes on as asked.
  if (std::string warning = PositionWarning(state); !warning.empty()) ui.Note(warning);
  if (options.suggestColumns) {
    PrintSuggestion(state, ui, out);
    return kExitWritten;
  }

  std::string target = TargetFor(options, source);
  if (IsFile(target) && !options.force) {
    ui.Note("Overwrite existing file? ");
    ui.Note("zevi-convert: " + target + " exists; --force overwrites it");
    return kExitRefused;
  }
  ui.ClearMessages();
  ExportOutcome outcome = RunExport(state, ui, target);
  int status = StatusOf(outcome, ui);
  if (status <= kExitMissingRecords) ui.Note(target);
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
  int status = kExitWritten;
  for (const std::string& source : options.sources)
    status = std::max(status, ProcessSource(options, source, dataFolder, ui, out));
  std::fflush(out);
  return status;
}

}  // namespace zevi::cli
