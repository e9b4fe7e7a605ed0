#pragma once
// The user of zevi-convert: messages go to standard error, one per line, and
// questions are answered from the command-line options.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "settings/userinterface.h"

namespace zevi::cli {

inline constexpr const char* kZoneLetterCaption = "Which Hemisphere? Need a Zone letter";

class CliUserInterface : public UserInterface {
 public:
  // `terminal`: questions set to "ask" are put to the user through `in`.
  CliUserInterface(const Options& options, std::FILE* err, std::FILE* in, bool terminal);

  void ShowMessage(const std::string& text) override;
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }

  // Every message shown so far, as shown (for reading the outcome of a command).
  const std::vector<std::string>& Messages() const { return messages_; }
  void ClearMessages() { messages_.clear(); }
  // A line of the program's own (a warning, a refusal).
  void Note(const std::string& text);

 private:
  Button AnswerRecordError(const std::string& text);
  Button AskOnTerminal();

  const Options& options_;
  std::FILE* err_;
  std::FILE* in_;
  bool terminal_;
  bool zoneWarningShown_ = false;
  std::vector<std::string> messages_;
};

}  // namespace zevi::cli
