// The preview pane under the result list: a read-only text control showing
// the hit with its context lines, the match selected.
#pragma once

#include <Qsci/qsciscintilla.h>

#include "results/result_rows.h"

namespace lorvek {

class PreviewPane : public QsciScintilla {
  Q_OBJECT
 public:
  static constexpr int kWrapColumns = 80;
  explicit PreviewPane(QWidget* parent = nullptr);

  // Shows the Shift-JIS preview text and selects its byte range.
  void ShowPreview(const PreviewText& preview);
  void Clear();
  // The selected text (UTF-8), for tests.
  QString SelectedText() const { return selectedText(); }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FitWrapWidth();
};

}  // namespace lorvek
