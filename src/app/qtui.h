#pragma once
// The user interface of the window: message boxes, questions with a Help
// button that does not close them, the input box, file dialogs, the failing
// cell and a progress dialog for long work.
#include <QDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QTableView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "settings/userinterface.h"

class QAbstractButton;
class QWidget;

namespace zevi {

class TUseHTMLHelp;

// The title of the application's own boxes (message boxes, progress).
inline constexpr const char* kApplicationTitle = "ZEVI Import File Converter";
inline constexpr std::int64_t kProgressThreshold = 100000;

// "Text (txt)|*.txt|All files (*.*)|*.*" as Qt name filters; the patterns of
// an entry are separated by ";".
QStringList QtNameFilters(const std::string& filter);

QString ButtonCaption(Button button);

// A modal question whose Help button opens the help context and stays open.
class QuestionDialog : public QDialog {
  Q_OBJECT

 public:
  QuestionDialog(QWidget* parent, MessageKind kind, const QString& title, const QString& text,
                 const std::vector<Button>& buttons, int helpContext, TUseHTMLHelp* help);

  // The button pressed; closing the box counts as the last button of the set.
  Button Answer() const { return answer_; }
  QAbstractButton* ButtonFor(Button button) const;
  QAbstractButton* HelpButton() const { return helpButton_; }

  void reject() override;

 private:
  std::vector<std::pair<Button, QAbstractButton*>> buttons_;
  QAbstractButton* helpButton_ = nullptr;
  Button answer_;
};

class QtUserInterface : public UserInterface {
 public:
  QtUserInterface(QWidget* parent, TUseHTMLHelp* help) : parent_(parent), help_(help) {}
  ~QtUserInterface() override;

  void SetTable(QTableView* table) { table_ = table; }

  void ShowMessage(const std::string& text) override;
  Button Ask(MessageKind kind, const std::string& text, const std::vector<Button>& buttons,
             int helpContext) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& proposed) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void ShowFailingCell(int column, int row) override;
  void Progress(std::string_view task, std::int64_t done, std::int64_t total) override;
  // Closes the progress dialog when a command is over, whether or not the
  // work reported its end.
  void EndProgress() { progress_.reset(); }

 private:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save);

  QWidget* parent_;
  TUseHTMLHelp* help_;
  QPointer<QTableView> table_;
  std::unique_ptr<QProgressDialog> progress_;
};

// Selects the cell (1-based data column and row) and scrolls so that its row
// stands three rows below the top, as far as the table allows.
void ShowCellOfTable(QTableView& table, int column, int row);

}  // namespace zevi
