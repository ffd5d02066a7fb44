// FileMasks: the mask box with the named mask sets; exclusion sets are drawn
// in red, and the current text joins the list when it drops down.
#pragma once

#include <QComboBox>
#include <vector>

#include "settings/mask_sets.h"

namespace lorvek {

class MaskBox : public QComboBox {
  Q_OBJECT
 public:
  static constexpr int kExcludeRole = Qt::UserRole + 1;
  explicit MaskBox(QWidget* parent = nullptr);

  // The sets first (exclusion sets marked), then the other entries.
  void SetEntries(const MaskSets& sets);
  // Whether the entry at index comes from an exclusion set.
  bool IsExcludeEntry(int index) const;

  void showPopup() override;
};

}  // namespace lorvek
