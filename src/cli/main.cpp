// zevi-convert: the converter for scripts and large files.
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_ui.h"
#include "cli/convert.h"
#include "cli/options.h"
#include "geodesy/datums.h"
#include "platform/folders.h"
#include "platform/locale.h"

namespace {

// Ending with '/'; "./" when the system will not name the program file.
std::string ProgramFolder() {
  std::string folder = zevi::ProgramFolder(zevi::ProgramFilePath(), zevi::kDatumFileName);
  return folder.empty() ? "./" : folder;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zevi::cli;
  // A closed pipe is a write error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    ParseResult parsed = ParseOptions(arguments);
    if (!parsed.error.empty()) {
      std::fprintf(stderr, "zevi-convert: %s\nTry 'zevi-convert --help'.\n", parsed.error.c_str());
      return kExitRefused;
    }
    CliUserInterface ui(parsed.options, stderr, stdin, ::isatty(STDIN_FILENO) != 0,
                        ::isatty(STDERR_FILENO) != 0, zevi::UserCharsetIsUtf8());
    int status = RunCommand(parsed.options, ProgramFolder(), ui, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fputs("zevi-convert: cannot write to standard output\n", stderr);
      return kExitUnreadable;
    }
    return status;
  } catch (const std::bad_alloc&) {
    std::fputs("zevi-convert: Out of memory\n", stderr);
    return kExitUnreadable;
  }
}
