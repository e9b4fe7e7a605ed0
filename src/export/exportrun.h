#pragma once
// The export command: from the target choice to the summary.
#include <string>

namespace zevi {

struct AppState;
class UserInterface;

enum class ExportOutcome {
  Written,             // "File written successfully"
  WrittenWithMissing,  // "File written with N missing records"
  Aborted,             // "File aborted"
  Refused,             // stopped before a file was touched (a question answered No, no symbol set...)
  WriteFailed,         // "Error writing file"
};

// ".gps" for a ".txt" source in any letter case, ".txt" otherwise.
std::string ProposedExportExtension(const std::string& sourcePath);

// "SaveAs..." and "Export As..": save dialog, overwrite question, then RunExport.
void ExportCommand(AppState& state, UserInterface& ui);

// Runs the export into `target` (the checks, the default-position questions,
// the writer, the summary message). The window calls it through
// ExportCommand; zevi-convert calls it directly after its own target checks.
// A read-only target shows "<name> is read only." and returns Refused here;
// ExportCommand then opens its dialog again.
ExportOutcome RunExport(AppState& state, UserInterface& ui, const std::string& target);

}  // namespace zevi
