#include "app/ui/mask_box.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "ui/common/qt_text.h"

namespace lorvek {
namespace {

class MaskEntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    // Selected in white (on the highlight), exclusion sets in red, others black.
    QColor color = (option->state & QStyle::State_Selected) ? QColor(Qt::white)
                   : index.data(MaskBox::kExcludeRole).toBool() ? QColor(Qt::red)
                                                                : QColor(Qt::black);
    option->palette.setColor(QPalette::Text, color);
    option->palette.setColor(QPalette::HighlightedText, Qt::white);
  }
};

}  // namespace

MaskBox::MaskBox(QWidget* parent) : QComboBox(parent) {
  setObjectName("FileMasks");
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);  // a mask set is taken only when chosen from the list
  setItemDelegate(new MaskEntryDelegate(this));
  setMinimumWidth(160);
}

void MaskBox::SetEntries(const MaskSets& sets) {
  clear();
  for (size_t i = 0; i < sets.box_items.size(); ++i) {
    addItem(FromSjis(sets.box_items[i]));
    bool exclude = i < sets.sets.size() && sets.sets[i].exclude;
    setItemData(count() - 1, exclude, kExcludeRole);
  }
  setEditText(FromSjis(sets.default_text));
}

bool MaskBox::IsExcludeEntry(int index) const { return itemData(index, kExcludeRole).toBool(); }

void MaskBox::showPopup() {
  QString text = currentText();
  if (!text.isEmpty() && findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
    addItem(text);
    setEditText(text);
  }
  QComboBox::showPopup();
}

}  // namespace lorvek
