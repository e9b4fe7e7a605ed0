#pragma once
// The user of zevi-convert: messages go to standard error, one per line, and
// questions are answered from the command-line options.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "settings/userinterface.h"
#include "settings/visibletext.h"

namespace zevi::cli {

inline constexpr const char* kZoneLetterCaption = "Which Hemisphere? Need a Zone letter";


class CliUserInterface : public UserInterface {
 public:
  // `terminal`: questions set to "ask" are put to the user through `in`.
  // `errTerminal`: `err` is a terminal, where long work shows its progress.
  // `utf8`: the user's locale is UTF-8, so what the user reads is too.
  CliUserInterface(const Options& options, std::FILE* err, std::FILE* in, bool terminal,
                   bool errTerminal = false, bool utf8 = false);

  void ShowMessage(const std::string& text) override;
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  // One line on the terminal, redrawn in place, once the work has taken a second.
  void Progress(std::string_view task, std::int64_t done, std::int64_t total) override;

  // A new piece of work, named in its progress line, which shows only after
  // a second from here.
  void StartWork(const std::string& name);
  // Takes the progress line off the terminal.
  void EndProgress();

  // Every message shown so far, as shown (for reading the outcome of a command).
  const std::vector<std::string>& Messages() const { return messages_; }
  void ClearMessages() { messages_.clear(); }
  // A line of the program's own (a warning, a refusal). Control bytes show
  // as \0 or \x1B, so a message is never cut or turned into terminal commands.
  void Note(const std::string& text);
  // A line that --quiet leaves out (the written target, a summary without failure).
  void Inform(const std::string& text);
  // Cells and headings (Windows-1252) as the user's locale writes text.
  std::string ForUser(std::string_view text) const;

 private:
  Button AnswerRecordError(const std::string& text);
  Button AskOnTerminal();

  const Options& options_;
  std::FILE* err_;
  std::FILE* in_;
  bool terminal_;
  bool errTerminal_;
  bool utf8_;
  bool zoneWarningShown_ = false;
  std::chrono::steady_clock::time_point workStart_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDrawn_;
  std::string workName_;
  std::size_t progressWidth_ = 0;  // characters of the progress line on the terminal
  std::vector<std::string> messages_;
};

}  // namespace zevi::cli
