// The source table, its heading and row-number pop-ups, and kind assignment.
#include "mainform.h"

#include <QAbstractButton>
#include <QAction>
#include <QHeaderView>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>
#include <exception>
#include <optional>

#include "cp1252.h"
#include "mainform_parts.h"
#include "settings/options.h"
#include "qtui.h"
#include "settings/startup.h"
#include "settings/state.h"
#include "source/kinds.h"
#include "source/range.h"
#include "tablemodel.h"

namespace zevi {
namespace {

int StoredWidth(const AppState& state, std::size_t column) {
  return state.settings.columns.entries[std::min<std::size_t>(column, kMaxDataColumns)].width;
}

int HeadingWidth(const QHeaderView& headings, int section) {
  QString text = headings.model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
  int margin = headings.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &headings);
  return headings.fontMetrics().horizontalAdvance(text) + 2 * margin + 4;
}

}  // namespace

void TFileconvForm::CreateTable(QWidget* panel) {
  filegrid_ = new QTableView(panel);
  filegrid_->setObjectName(QStringLiteral("filegrid"));
  model_ = new SourceTableModel(state_, this);
  filegrid_->setModel(model_);
  filegrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  filegrid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  filegrid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  filegrid_->setWordWrap(false);
  filegrid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  filegrid_->setCornerButtonEnabled(false);
  connect(filegrid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { rowChosen_ = false; });
  // Tab goes on to the next control, as everywhere else in the window.
  filegrid_->setTabKeyNavigation(false);

  // Uniform sizes: no per-row measuring, so a million rows open at once.
  QHeaderView* rows = filegrid_->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(kRowHeight);
  rows->setFixedWidth(kRowNumberWidth);
  rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QHeaderView* headings = filegrid_->horizontalHeader();
  headings->setSectionResizeMode(QHeaderView::Interactive);
  headings->setMinimumSectionSize(1);
  headings->setDefaultSectionSize(kDefaultColumnWidth);
  headings->setFixedHeight(kHeadingRowHeight);
  headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  headings->setHighlightSections(false);
  rows->setHighlightSections(false);
  connect(headings, &QHeaderView::sectionResized, this, &TFileconvForm::filegridColumnResized);

  // Left presses come as section presses (a press on a column edge starts a
  // drag instead); other buttons are caught on the headers' viewports.
  connect(headings, &QHeaderView::sectionPressed, this,
          [this](int section) { filegridMouseDown(Qt::Horizontal, section, QCursor::pos()); });
  connect(rows, &QHeaderView::sectionPressed, this,
          [this](int section) { filegridMouseDown(Qt::Vertical, section, QCursor::pos()); });
  headings->viewport()->installEventFilter(this);
  rows->viewport()->installEventFilter(this);
  if (auto* corner = filegrid_->findChild<QAbstractButton*>()) corner->installEventFilter(this);
}

void TFileconvForm::ShowTable() {
  model_->Refresh();
  // 40 pixels hold five digits; a cut number would name another row.
  QHeaderView* rows = filegrid_->verticalHeader();
  int numberWidth = rows->fontMetrics().horizontalAdvance(QString::number(model_->rowCount())) + 10;
  rows->setFixedWidth(std::max(kRowNumberWidth, numberWidth));
  QHeaderView* headings = filegrid_->horizontalHeader();
  applyingWidths_ = true;
  for (int section = 0; section < model_->columnCount(); ++section) {
    std::size_t column = static_cast<std::size_t>(section) + 1;
    int width = column < state_.displayedWidths.size() ? state_.displayedWidths[column] : StoredWidth(state_, column);
    // A width the user has not dragged shows the whole heading; the map keeps its own.
    if (width == StoredWidth(state_, column)) width = std::max(width, HeadingWidth(*headings, section));
    if (headings->sectionSize(section) != width) headings->resizeSection(section, std::max(width, 0));
  }
  applyingWidths_ = false;
  if (!filegrid_->currentIndex().isValid() && model_->rowCount() > 0 && model_->columnCount() > 0)
    filegrid_->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::ClearAndSelect);
}

QAction* TFileconvForm::FieldsAction(const QString& code) const {
  return menuBar()->findChild<QAction*>(ObjectNameOfCode("mnuFmt", code.toStdString()));
}

QAction* TFileconvForm::PopupAction(const QString& code) const {
  return kindPopup_->findChild<QAction*>(ObjectNameOfCode("pup", code.toStdString()));
}

int TFileconvForm::SelectedColumn() const {
  if (rowChosen_) return 0;
  QModelIndex current = filegrid_->currentIndex();
  return current.isValid() ? current.column() + 1 : 0;
}

void TFileconvForm::mnuFormatClick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  const KindInfo& kind = KindVocabulary()[static_cast<std::size_t>(item->data().toInt())];
  int target = SelectedColumn();
  Run([&] { AssignColumnKind(state_, *ui_, CodeOfMenuItem(kind, state_.settings.auxData), target); });
}

void TFileconvForm::PopupMenuClick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  const KindInfo& kind = KindVocabulary()[static_cast<std::size_t>(item->data().toInt())];
  int target = popupColumn_;
  Run([&] { AssignColumnKind(state_, *ui_, CodeOfMenuItem(kind, state_.settings.auxData), target); });
}

void TFileconvForm::mnuIgnoreallClick() {
  Run([&] { IgnoreAllColumns(state_); });
}

void TFileconvForm::filegridMouseDown(Qt::Orientation orientation, int section, const QPoint& globalPos) {
  if (section < 0) return;
  QPoint at = globalPos - QPoint(kKindPopupShiftX, kKindPopupShiftY);
  QMenu* menu = nullptr;
  if (orientation == Qt::Horizontal) {
    if (section >= model_->columnCount()) return;
    filegrid_->selectColumn(section);
    popupColumn_ = section + 1;
    menu = kindPopup_;
  } else {
    if (section >= model_->rowCount()) return;
    filegrid_->selectRow(section);
    rowChosen_ = true;
    popupRow_ = section + 1;
    menu = rowPopup_;
  }
  // After the press has been handled, so the header is not left mid-press.
  QTimer::singleShot(0, menu, [menu, at] { menu->popup(at); });
}

void TFileconvForm::puprowsclick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (item == nullptr) return;
  bool first = item->objectName() == QStringLiteral("pupfirstrec");
  int row = popupRow_;
  Run([&] {
    if (first)
      MakeFirstRecord(state_, *ui_, row);
    else
      MakeLastRecord(state_, *ui_, row);
  });
}

void TFileconvForm::filegridColumnResized(int section, int /*oldSize*/, int newSize) {
  if (applyingWidths_) return;
  std::size_t column = static_cast<std::size_t>(section) + 1;
  if (column > static_cast<std::size_t>(kMaxDataColumns)) return;
  if (state_.displayedWidths.size() <= column) state_.displayedWidths.resize(column + 1, kDefaultColumnWidth);
  state_.displayedWidths[column] = newSize;
}

}  // namespace zevi
