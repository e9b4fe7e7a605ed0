#pragma once
// Tfbform, the "Column Position Break Dialog": marks typed under a sample
// line become the column breaks of the settings.
#include <QDialog>
#include <string>

#include "settings/settings.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zevi {

class UserInterface;

class Tfbform : public QDialog {
  Q_OBJECT

 public:
  // `breaks` is read when the dialog is shown and written by OK.
  Tfbform(BreakTable& breaks, std::string sample, UserInterface& ui, QWidget* parent = nullptr);

  // Set by any edit of the mark line.
  bool Changed() const { return changed_; }
  QLineEdit* MarkEdit() const { return ebbreaks_; }
  QLabel* SampleLabel() const { return sampletxt_; }

 public slots:
  void FormShow();
  void ebbreaksChange();
  void OKbtnClick();

 private:
  BreakTable& breaks_;
  std::string sample_;
  UserInterface& ui_;
  bool changed_ = false;
  QLabel* sampletxt_;
  QLineEdit* ebbreaks_;
  QPushButton* okbtn_;
};

}  // namespace zevi
