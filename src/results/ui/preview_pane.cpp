#include "results/ui/preview_pane.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include "text/cp932.h"

namespace lorvek {

PreviewPane::PreviewPane(QWidget* parent) : TEditorEx(parent) {
  setObjectName("Memo1");
  setReadOnly(true);
  EditorProperties p;
  p.line_numbers = false;
  p.word_wrap = true;
  p.wrap_width = kWrapColumns;
  p.horizontal_scroll_bar = false;
  if (!QFontDatabase::families().contains("IPAGothic"))
    p.font_family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family().toStdString();
  ApplyProperties(p);
  setSelectionForegroundColor(Qt::white);
  setSelectionBackgroundColor(QColor(0, 0, 128));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void PreviewPane::Clear() {
  setReadOnly(false);
  clear();
  setReadOnly(true);
}

void PreviewPane::ShowPreview(const PreviewText& p) {
  setReadOnly(false);
  setText(QString::fromUtf8(Cp932ToUtf8(p.text)));
  setReadOnly(true);
  if (p.select_length == 0) return;
  // Byte offsets of the Shift-JIS text become UTF-8 byte positions.
  long start = static_cast<long>(Cp932ToUtf8(p.text.substr(0, p.select_start)).size());
  long end = static_cast<long>(Cp932ToUtf8(p.text.substr(0, p.select_start + p.select_length)).size());
  SendScintilla(SCI_SETSEL, start, end);
}

}  // namespace lorvek
