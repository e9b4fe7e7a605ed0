#pragma once
// The source table as Qt sees it: data rows and columns straight out of
// state.table, headings from the column map, row numbers as the vertical
// header. Nothing is copied, so a million-line file costs no extra memory.
#include <QAbstractTableModel>

namespace zevi {

struct AppState;

class SourceTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit SourceTableModel(AppState& state, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Re-reads the state: a new shape resets the views, the same shape only
  // repaints cells and headings.
  void Refresh();

 private:
  AppState& state_;
  int rows_ = 0;
  int columns_ = 0;
};

}  // namespace zevi
