#include "tablemodel.h"

#include "cp1252.h"
#include "settings/state.h"
#include "source/kinds.h"

namespace zevi {

SourceTableModel::SourceTableModel(AppState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {
  rows_ = std::max(0, state_.table.RowCount() - 1);
  columns_ = std::max(0, state_.table.ColumnCount() - 1);
}

int SourceTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int SourceTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant SourceTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return FromCp1252(state_.table.Cell(index.column() + 1, index.row() + 1));
}

QVariant SourceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(orientation == Qt::Horizontal ? Qt::AlignLeft | Qt::AlignVCenter
                                                             : Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return FromCp1252(HeadingOfColumn(state_, section + 1));
}

Qt::ItemFlags SourceTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void SourceTableModel::Refresh() {
  int rows = std::max(0, state_.table.RowCount() - 1);
  int columns = std::max(0, state_.table.ColumnCount() - 1);
  if (rows != rows_ || columns != columns_) {
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
    endResetModel();
    return;
  }
  if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
  if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

}  // namespace zevi
