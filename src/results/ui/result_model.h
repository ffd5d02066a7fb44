// The result list's model: a virtual table over the ResultStore that answers
// each visible cell when the view asks for it and never walks the store.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include "search/result_store.h"

namespace lorvek {

class ResultModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kFile = 0, kDate = 1, kLine = 2, kText = 3, kC = 4, kPath = 5, kColumns = 6 };

  explicit ResultModel(ResultStore& store, QObject* parent = nullptr);

  // The row count the list was told (0, 20 during a run, the store's size).
  void SetRowCount(size_t rows);
  size_t RowCount() const { return rows_; }
  // Every row asked for again (after a sort or a replace).
  void Refresh();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The date text of column 1 (locale short date and long time, the time
  // left out at midnight; zero is 1899-12-30).
  static QString DateText(int64_t file_time);

 private:
  QIcon IconFor(std::string_view name) const;

  ResultStore& store_;
  size_t rows_ = 0;
  mutable QHash<QString, QIcon> icons_;
};

}  // namespace lorvek
