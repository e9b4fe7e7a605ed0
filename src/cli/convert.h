#pragma once
// What zevi-convert does with its options: show the settings or the table, or
// convert every source.
#include <cstdio>
#include <string>

#include "cli/cli_ui.h"
#include "cli/options.h"

namespace zevi::cli {

enum ExitStatus : int {
  kExitWritten = 0,
  kExitMissingRecords = 1,
  kExitRefused = 2,     // bad usage, aborted, refused, a question answered No
  kExitUnreadable = 3,  // a source that cannot be read, a target that cannot be written,
                        // memory that ran out
};

// `programFolder` (ending with '/') holds the datum and grid lists unless
// --data-dir names another folder. Tables and settings go to `out`.
int RunCommand(const Options& options, const std::string& programFolder, CliUserInterface& ui,
               std::FILE* out);

}  // namespace zevi::cli
