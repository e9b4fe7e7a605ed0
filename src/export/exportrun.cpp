#include "export/exportrun.h"

#include <algorithm>
#include <new>
#include <optional>

#include "export/recordreader.h"
#include "export/writer.h"
#include "platform/folders.h"
#include "settings/files.h"
#include "settings/state.h"
#include "settings/userinterface.h"
#include "source/range.h"

namespace zevi {

namespace {

constexpr const char* kPositionQuestionEnd =
    " click \"NO\".\r\n\r\nDo you want to continue but using a default coordinate?";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string GridEntryText(const GridState& grid) {
  if (grid.selected >= 0 && grid.selected < static_cast<int>(grid.entries.size())) {
    return grid.entries[grid.selected];
  }
  return grid.name;
}

// True when the run may go on; sets the default-coordinate flag the user accepted.
bool CheckPositions(const AppState& state, UserInterface& ui, ExportFlags& flags) {
  const KindColumn& kinds = state.kinds;
  ExportSetup setup{state.settings, kinds, state.grid, state.datum, flags};
  std::string question;
  if (ProjectedGridChosen(state.grid)) {
    if (setup.OtherIsGrid() || (kinds.Has(Slot::Easting) && kinds.Has(Slot::Northing))) return true;
    question = "Missing Easting/Northing field for '" + GridEntryText(state.grid) +
               "' grid.\r\nTo correct fields or change Grid to Lat/Long";
  } else {
    if (setup.OtherIsGarmin() || (kinds.Has(Slot::Latitude) && kinds.Has(Slot::Longitude))) {
      return true;
    }
    question = "Missing Latitude/Longitude field for '" + GridEntryText(state.grid) +
               "' grid.\r\nTo correct fields or select a Grid";
  }
  question += kPositionQuestionEnd;
  if (ui.Ask(MessageKind::Warning, question, {Button::Yes, Button::No}, kHelpMissingPosition) ==
      Button::No) {
    return false;
  }
  if (ProjectedGridChosen(state.grid)) {
    flags.useDefaultEastNorth = true;
  } else {
    flags.useDefaultLatLong = true;
  }
  return true;
}

struct RunResult {
  ExportOutcome outcome;
  bool chooseAgain = false;  // the target could not be taken: the save dialog opens again
};

RunResult RunExportInto(AppState& state, UserInterface& ui, const std::string& target) {
  state.settings = SettingsAsExportTakesThem(state, state.kinds);
  const ConversionSettings& settings = state.settings;

  ExportFlags flags;
  if (!CheckPositions(state, ui, flags)) return {ExportOutcome::Refused};
  if (state.kinds.Has(Slot::Symbol) && settings.symbolType == 0) {
    ui.ShowMessage("Cannot export as there is a Symbol column but no Symbol Set Type defined.");
    return {ExportOutcome::Refused};
  }
  if (target.empty()) return {ExportOutcome::Refused, true};
  if (target != kStandardOutputName && IsReadOnly(target)) {
    ui.Ask(MessageKind::Warning, FileNameOf(target) + " is read only.", {Button::Ok}, kHelpExport);
    return {ExportOutcome::Refused, true};
  }

  ExportOutput out;
  state.missingRecords = 0;
  RecordRange range = EffectiveRange(settings, state.table.LastRow());
  WriteResult result;
  try {
    out.Open(target);
    result = WriteRecords(state, ui, out, range.first, range.last, flags);
    if (state.table.SourceChanged()) {
      out.Discard();
      ui.ShowMessage(std::string(kSourceChangedText) + kLineEnd + state.sourceFile);
      return {ExportOutcome::WriteFailed};
    }
    // The summary speaks of the file on disk, so it must be in place first.
    out.Commit();
  } catch (const EWriteError& failure) {
    out.Discard();
    ui.ShowMessage(WriteFailureText(target, failure.Error()));
    return {ExportOutcome::WriteFailed};
  } catch (const std::bad_alloc&) {
    out.Discard();
    ui.ShowMessage(kOutOfMemoryText);
    return {ExportOutcome::WriteFailed};
  } catch (const std::exception&) {
    out.Discard();
    ui.ShowMessage("Error writing file");
    return {ExportOutcome::WriteFailed};
  }
  switch (result) {
    case WriteResult::Clean:
      ui.ShowMessage("File written successfully");
      return {ExportOutcome::Written};
    case WriteResult::SomeMissing:
      ui.ShowMessage("File written with " + std::to_string(state.missingRecords) +
                     " missing records");
      return {ExportOutcome::WrittenWithMissing};
    case WriteResult::Aborted: break;
  }
  ui.ShowMessage("File aborted");
  return {ExportOutcome::Aborted};
}

}  // namespace

std::string ProposedExportExtension(const std::string& sourcePath) {
  return EqualIgnoringCase(ExtensionOf(sourcePath), ".txt") ? ".gps" : ".txt";
}

void ExportCommand(AppState& state, UserInterface& ui) {
  for (;;) {
    if (state.sourceFile.empty()) {
      ui.ShowMessage("No file loaded\r\nOpen a file with File > Open... or drop it on the window");
      return;
    }
    if (state.lastExportFolder.empty()) state.lastExportFolder = FolderOf(state.sourceFile);

    std::string extension = ProposedExportExtension(state.sourceFile);
    DialogFilter filter = BuildDialogFilter(extension, state.exportFilters);
    FileDialogRequest request;
    request.filter = filter.text;
    request.filterIndex = filter.index + 1;
    request.initialFolder = state.lastExportFolder;
    request.fileName = FileNameOf(StripExtension(state.sourceFile));
    request.defaultExtension = extension.substr(1);
    std::optional<std::string> target = ui.ChooseSaveFile(request);
    if (!target) return;

    if (FileExists(*target)) {
      std::string question = "Overwrite existing file? ";
      if (EqualIgnoringCase(*target, state.sourceFile))
        question += std::string(kLineEnd) + kSameAsSourceText;
      if (ui.Ask(MessageKind::Warning, question, {Button::Yes, Button::Cancel}, kHelpExport) !=
          Button::Yes) {
        return;
      }
    }
    RunResult run = RunExportInto(state, ui, *target);
    state.lastExportFolder = FolderOf(*target);
    if (!run.chooseAgain) return;
  }
}

ExportOutcome RunExport(AppState& state, UserInterface& ui, const std::string& target) {
  return RunExportInto(state, ui, target).outcome;
}

}  // namespace zevi
