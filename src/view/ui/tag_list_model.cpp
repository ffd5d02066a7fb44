#include "view/ui/tag_list_model.h"

#include "ui/common/qt_text.h"

namespace lorvek {

void TagListModel::SetEntries(std::vector<TagEntry> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

int TagListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TagListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TagListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  // Line numbers line up on the right, as in the result list.
  if (role == Qt::TextAlignmentRole && index.column() == 0) return int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  const TagEntry& e = entries_[static_cast<size_t>(index.row())];
  return index.column() == 0 ? QVariant(QString::number(e.line_no)) : QVariant(FromSjis(e.text));
}

QVariant TagListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == 0 ? QString::fromUtf8("行") : QString::fromUtf8("テキスト");
}

}  // namespace lorvek
