#pragma once
// The user interface of the window: message boxes, questions with a Help
// button that does not close them, the input box, file dialogs, the failing
// cell and a progress box for long work.
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTableView>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "settings/userinterface.h"

class QAbstractButton;
class QKeyEvent;
class QLabel;
class QProgressBar;
class QWidget;

namespace zevi {

class TUseHTMLHelp;

// The title of the application's own boxes (message boxes, progress).
inline constexpr const char* kApplicationTitle = "ZEVI Import File Converter";
inline constexpr std::int64_t kProgressThreshold = 100000;
// Work that ends sooner shows no progress box at all.
inline constexpr int kProgressDelayMs = 300;

// "Text (txt)|*.txt|All files (*.*)|*.*" as Qt name filters; the patterns of
// an entry are separated by ";".
QStringList QtNameFilters(const std::string& filter);

QString ButtonCaption(Button button);

// The answers Enter and Escape give: the ones that lose nothing. Enter:
// Cancel, else No, else Ignore (skip one record, keep writing), else the
// first button. Escape (and the close box): Abort where the set has it, else
// the last button.
Button DefaultAnswer(const std::vector<Button>& buttons);
Button EscapeAnswer(const std::vector<Button>& buttons);

// A modal question whose Help button opens the help context and stays open.
class QuestionDialog : public QDialog {
  Q_OBJECT

 public:
  // `preferred`, when given and in the set, is the answer Enter gives.
  QuestionDialog(QWidget* parent, MessageKind kind, const QString& title, const QString& text,
                 const std::vector<Button>& buttons, int helpContext, TUseHTMLHelp* help,
                 std::optional<Button> preferred = std::nullopt);

  // The button pressed; closing the box counts as EscapeAnswer.
  Button Answer() const { return answer_; }
  QAbstractButton* ButtonFor(Button button) const;
  QAbstractButton* HelpButton() const { return helpButton_; }

  void reject() override;

 protected:
  // F1 is the Help button.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<std::pair<Button, QAbstractButton*>> buttons_;
  QAbstractButton* helpButton_ = nullptr;
  Button answer_;
};

// The box shown while long work runs. The work drives it: it shows and
// paints only when the work reports, so it never pops up by itself inside
// a later question's event loop. The user cannot close it.
class ProgressBox : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressBox(QWidget* parent);
  void Show(const QString& task, int permille);
  QString Task() const;
  int Permille() const;

  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* label_;
  QProgressBar* bar_;
};

class QtUserInterface : public UserInterface {
 public:
  QtUserInterface(QWidget* parent, TUseHTMLHelp* help) : parent_(parent), help_(help) {}
  ~QtUserInterface() override;

  void SetTable(QTableView* table) { table_ = table; }

  void ShowMessage(const std::string& text) override;
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override;
  Button AskPreferring(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
                       int helpContext, Button preferred) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void ShowFailingCell(int column, int row) override;
  void Progress(std::string_view task, std::int64_t done, std::int64_t total) override;
  // Closes the progress box when a command is over, whether or not the work
  // reported its end; and before anything the user must answer.
  void EndProgress();

  // How long work runs before its box shows (kProgressDelayMs); tests that
  // must see the box on a fast machine shorten it.
  static void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }

 private:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save);

  QWidget* parent_;
  TUseHTMLHelp* help_;
  QPointer<QTableView> table_;
  std::unique_ptr<ProgressBox> progress_;
  QElapsedTimer workClock_;  // since the work's first report, or since the last answer
  static inline int progressDelayMs_ = kProgressDelayMs;

};

// Selects the cell (1-based data column and row) and scrolls so that its row
// stands three rows below the top, as far as the table allows.
void ShowCellOfTable(QTableView& table, int column, int row);

}  // namespace zevi
