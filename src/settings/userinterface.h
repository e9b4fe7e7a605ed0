#pragma once
// The one way the core talks to the user. The window answers with dialogs,
// zevi-convert with its options and standard error, tests with a script.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zevi {

enum class Button { Ok, Cancel, Yes, No, Abort, Ignore, All };

enum class MessageKind { Information, Warning, Confirmation };

// Help contexts of the questions.
inline constexpr int kHelpMainWindow = 10;
inline constexpr int kHelpMissingPosition = 300;
inline constexpr int kHelpExport = 400;
inline constexpr int kHelpSettings = 500;

struct FileDialogRequest {
  std::string title;
  std::string filter;          // "Text (txt)|*.txt|CSV (csv)|*.csv"
  int filterIndex = 1;         // 1-based entry of the filter list to preselect
  std::string initialFolder;
  std::string fileName;        // proposed name
  std::string defaultExtension;  // without its dot, appended when the user types none
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A plain message box with OK.
  virtual void ShowMessage(const std::string& text) = 0;

  // A modal question. helpContext > 0 adds a Help button, which opens that
  // context and leaves the question open, so Help is never an answer.
  // Closing the box without a button counts as the last button of the set,
  // or as Abort where the set has one.
  virtual Button Ask(MessageKind kind, const std::string& text,
                     const std::vector<Button>& buttons, int helpContext) = 0;

  // The same question where the answer Enter gives is named: for a question
  // whose every answer keeps the user's work, the usual one. Where the
  // question cannot be put that way, it is put as Ask puts it.
  virtual Button AskPreferring(MessageKind kind, const std::string& text,
                               const std::vector<Button>& buttons, int helpContext,
                               Button /*preferred*/) {
    return Ask(kind, text, buttons, helpContext);
  }

  // One-line input box; cancelling returns the proposed answer.
  virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                               const std::string& proposed) = 0;

  // Empty when the user cancels.
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;

  // The export's failing record: select that cell and scroll it into view.
  virtual void ShowFailingCell(int /*column*/, int /*row*/) {}

  // Long work (loading, exporting) reports how far it got.
  virtual void Progress(std::string_view /*task*/, std::int64_t /*done*/, std::int64_t /*total*/) {}
};

// Passes everything on to another user interface; a subclass changes only
// the part it is for.
class ForwardingUserInterface : public UserInterface {
 public:
  explicit ForwardingUserInterface(UserInterface& ui) : ui_(ui) {}

  void ShowMessage(const std::string& text) override { ui_.ShowMessage(text); }
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override {
    return ui_.Ask(kind, text, buttons, helpContext);
  }
  Button AskPreferring(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
                       int helpContext, Button preferred) override {
    return ui_.AskPreferring(kind, text, buttons, helpContext, preferred);
  }
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override {
    return ui_.InputBox(caption, prompt, proposed);
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    return ui_.ChooseOpenFile(request);
  }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    return ui_.ChooseSaveFile(request);
  }
  void ShowFailingCell(int column, int row) override { ui_.ShowFailingCell(column, row); }
  void Progress(std::string_view task, std::int64_t done, std::int64_t total) override {
    ui_.Progress(task, done, total);
  }

 protected:
  UserInterface& ui_;
};

}  // namespace zevi
