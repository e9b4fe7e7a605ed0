#pragma once
// "Suggest Kinds": shows the core's proposal (export/suggest.h) with a reason
// per column; nothing is assigned unless the user applies it.
#include <QDialog>

#include "export/suggest.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

namespace zevi {

struct AppState;
class UserInterface;

class SuggestDialog : public QDialog {
  Q_OBJECT

 public:
  SuggestDialog(const AppState& state, const KindSuggestion& suggestion, QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }
  QPushButton* ApplyButton() const { return apply_; }
  QLabel* Note() const { return note_; }

 private:
  QTableWidget* table_ = nullptr;
  QPushButton* apply_ = nullptr;
  QLabel* note_ = nullptr;
};

// Suggests, asks, and applies through the Fields menu's assignment when the
// user accepts. True when anything was assigned.
bool SuggestKindsCommand(AppState& state, UserInterface& ui, QWidget* parent);

}  // namespace zevi
