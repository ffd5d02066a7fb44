// The viewer's tag list as a model over the entries themselves: a hundred
// thousand hits cost no item each, and a row's text is converted for
// display only when the row is shown.
#pragma once

#include <QAbstractTableModel>

#include <vector>

#include "view/text_tools.h"

namespace lorvek {

class TagListModel : public QAbstractTableModel {
 public:
  explicit TagListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetEntries(std::vector<TagEntry> entries);
  const std::vector<TagEntry>& Entries() const { return entries_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<TagEntry> entries_;
};

}  // namespace lorvek
