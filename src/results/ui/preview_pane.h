// The preview pane under the result list: a read-only text control showing
// the hit with its context lines, the match selected.
#pragma once

#include "view/ui/text_editor.h"

#include "results/result_rows.h"

namespace lorvek {

// The viewer's own editing control, read-only, wrapping at 80 cells.
class PreviewPane : public TEditorEx {
  Q_OBJECT
 public:
  static constexpr int kWrapColumns = 80;
  explicit PreviewPane(QWidget* parent = nullptr);

  // Shows the Shift-JIS preview text and selects its byte range.
  void ShowPreview(const PreviewText& preview);
  void Clear();
  // The selected text (UTF-8), for tests.
  QString SelectedText() const { return selectedText(); }
};

}  // namespace lorvek
