#pragma once
// A user who answers from a script and remembers everything shown.
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/userinterface.h"

namespace zevi::testing {

struct AskedQuestion {
  MessageKind kind;
  std::string text;
  std::vector<Button> buttons;
  int helpContext;
  std::optional<Button> preferred = std::nullopt;  // the answer Enter gives, where the question names it
};

class ScriptedUi : public UserInterface {
 public:
  std::vector<std::string> messages;
  std::vector<AskedQuestion> questions;
  std::vector<std::string> inputPrompts;
  std::vector<std::pair<int, int>> failingCells;  // (column, row)

  std::deque<Button> answers;                 // for Ask, in order
  std::deque<std::string> inputAnswers;       // for InputBox; empty deque: the proposal
  std::deque<std::optional<std::string>> fileChoices;
  std::vector<FileDialogRequest> fileRequests;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override {
    questions.push_back({kind, text, buttons, helpContext});
    if (answers.empty()) throw std::logic_error("unexpected question: " + text);
    Button answer = answers.front();
    answers.pop_front();
    return answer;
  }

  Button AskPreferring(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
                       int helpContext, Button preferred) override {
    Button answer = Ask(kind, text, buttons, helpContext);
    questions.back().preferred = preferred;
    return answer;
  }

  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override {
    inputPrompts.push_back(caption + "|" + prompt);
    if (inputAnswers.empty()) return proposed;
    std::string answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
  }

  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    return NextFile(request);
  }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    return NextFile(request);
  }

  void ShowFailingCell(int column, int row) override { failingCells.emplace_back(column, row); }

 private:
  std::optional<std::string> NextFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (fileChoices.empty()) return std::nullopt;
    auto choice = fileChoices.front();
    fileChoices.pop_front();
    return choice;
  }
};

}  // namespace zevi::testing
