#include "suggestdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "cp1252.h"
#include "screenfit.h"
#include "settings/state.h"
#include "source/kinds.h"

namespace zevi {

SuggestDialog::SuggestDialog(const AppState& state, const KindSuggestion& suggestion, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SuggestDialog"));
  setWindowTitle(QStringLiteral("Suggest Kinds"));
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("lblSuggestNote"));
  note_->setWordWrap(true);
  QString intro = suggestion.headingRow ? QStringLiteral("The first line is read as headings.")
                                        : QStringLiteral("The first line is read as data.");
  if (!suggestion.note.empty()) intro += QLatin1Char(' ') + FromCp1252(suggestion.note);
  if (!suggestion.separators.empty()) intro += QLatin1Char('\n') + FromCp1252(suggestion.separators);
  if (!suggestion.positions.empty()) intro += QLatin1Char('\n') + FromCp1252(suggestion.positions);
  note_->setText(intro);

  table_ = new QTableWidget(static_cast<int>(suggestion.columns.size()), 3, this);
  table_->setObjectName(QStringLiteral("tblSuggestion"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Column"), QStringLiteral("Kind"), QStringLiteral("Reason")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setStretchLastSection(true);
  int row = 0;
  for (const ColumnSuggestion& column : suggestion.columns) {
    QString kind = column.code[0] == '_'
                       ? QStringLiteral("Ignore")
                       : FromCp1252(ColumnHeading(column.code, column.column, HeadingContextOf(state)));
    auto* letter = new QTableWidgetItem(FromCp1252(ColumnLetter(column.column)));
    auto* kindItem = new QTableWidgetItem(kind);
    auto* reason = new QTableWidgetItem(FromCp1252(column.reason));
    // Columns the proposal would change stand out; the rest are greyed.
    if (column.assigned || column.code[0] == '_') {
      for (QTableWidgetItem* item : {letter, kindItem, reason}) item->setForeground(Qt::gray);
    } else {
      QFont bold = kindItem->font();
      bold.setBold(true);
      kindItem->setFont(bold);
    }
    table_->setItem(row, 0, letter);
    table_->setItem(row, 1, kindItem);
    table_->setItem(row, 2, reason);
    ++row;
  }
  table_->resizeColumnsToContents();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  apply_ = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::AcceptRole);
  apply_->setObjectName(QStringLiteral("btnSuggestApply"));
  apply_->setEnabled(ProposesAnything(suggestion));
  apply_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note_);
  layout->addWidget(table_, 1);
  layout->addWidget(buttons);
  // Within the screen, so that the note and the buttons stay in sight on a
  // small or scaled screen; the table scrolls instead.
  resize(BoundedToScreen(QSize(820, 360), parent));
}

bool SuggestKindsCommand(AppState& state, UserInterface& ui, QWidget* parent) {
  KindSuggestion suggestion = SuggestKinds(state);
  SuggestDialog dialog(state, suggestion, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  return ApplySuggestion(state, ui, suggestion) > 0;
}

}  // namespace zevi
