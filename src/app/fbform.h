#pragma once
// Tfbform, the "Column Position Break Dialog": marks typed under a sample
// line; the caller reads the edited mark line back into the breaks.
#include <QDialog>
#include <string>

#include "settings/settings.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zevi {

class Tfbform : public QDialog {
  Q_OBJECT

 public:
  Tfbform(const BreakTable& breaks, std::string sample, QWidget* parent = nullptr);

  // Set by any edit of the mark line.
  bool Changed() const { return changed_; }
  std::string MarkLine() const;
  QLineEdit* MarkEdit() const { return ebbreaks_; }
  QLabel* SampleLabel() const { return sampletxt_; }

 public slots:
  void FormShow();
  void ebbreaksChange();
  void OKbtnClick();

 private:
  const BreakTable& breaks_;
  std::string sample_;
  bool changed_ = false;
  QLabel* sampletxt_;
  QLineEdit* ebbreaks_;
  QPushButton* okbtn_;
};

}  // namespace zevi
