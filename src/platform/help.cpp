#include "platform/help.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zevi {

bool LaunchDetached(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  // A shell puts the program in the background and exits at once, so the
  // converter reaps the shell and never waits for the viewer.
  std::vector<std::string> shell = {"/bin/sh", "-c", "\"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
  shell.insert(shell.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : shell) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void DesktopHelpViewer::HtmlHelp(const HtmlHelpCall& call) {
  if (call.command == HtmlHelpCommand::CloseAll || call.file.empty()) return;
  struct stat info {};
  if (stat(call.file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  LaunchDetached({"xdg-open", call.file});
}

}  // namespace zevi
