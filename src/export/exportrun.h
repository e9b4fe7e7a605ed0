#pragma once
// The export command: from the target choice to the summary.
#include <string>

namespace zevi {

struct AppState;
class UserInterface;

inline constexpr const char* kOutOfMemoryText = "Out of memory";
// The export read a mapped source that changed under it: the target is left as it was.
inline constexpr const char* kSourceChangedText =
    "The source file changed during the export: the target was not written";
// The second line of the overwrite question when the target is the source.
inline constexpr const char* kSameAsSourceText = "(!! SAME AS SOURCE FILE !!)";

enum class ExportOutcome {
  Written,             // "File written successfully"
  WrittenWithMissing,  // "File written with N missing records"
  Aborted,             // "File aborted"
  Refused,             // stopped before a file was touched (a question answered No, no symbol set...)
  WriteFailed,         // "Error writing file" and why; the old target is kept
};

// ".gps" for a ".txt" source in any letter case, ".txt" otherwise.
std::string ProposedExportExtension(const std::string& sourcePath);

// "SaveAs..." and "Export As..": save dialog, overwrite question, then RunExport.
void ExportCommand(AppState& state, UserInterface& ui);

// Runs the export into `target` (the checks, the default-position questions,
// the writer, the summary message). The window calls it through
// ExportCommand; zevi-convert calls it directly after its own target checks.
// A read-only target shows "<name> is read only." and returns Refused here;
// ExportCommand then opens its dialog again. The target changes only when the
// export ends written, with missing records or aborted, and then all at once;
// "-" is standard output.
ExportOutcome RunExport(AppState& state, UserInterface& ui, const std::string& target);

}  // namespace zevi
