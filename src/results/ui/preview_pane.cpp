#include "results/ui/preview_pane.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include "text/cp932.h"

namespace lorvek {

PreviewPane::PreviewPane(QWidget* parent) : QsciScintilla(parent) {
  setObjectName("Memo1");
  setUtf8(true);
  setReadOnly(true);
  setMarginWidth(1, 0);
  setMarginLineNumbers(1, false);
  setWrapMode(QsciScintilla::WrapCharacter);
  QFont font("IPAGothic");
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  if (!QFontDatabase::families().contains("IPAGothic")) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  setFont(font);
  setSelectionForegroundColor(Qt::white);
  setSelectionBackgroundColor(QColor(0, 0, 128));
  setCaretLineVisible(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void PreviewPane::FitWrapWidth() {
  // Lines wrap at 80 half-width cells: the rest of the width is right margin.
  QFontMetrics fm(font());
  int text_width = fm.horizontalAdvance(QString(kWrapColumns, 'x'));
  int spare = viewport()->width() - text_width;
  SendScintilla(SCI_SETMARGINRIGHT, spare > 0 ? spare : 0);
}

void PreviewPane::resizeEvent(QResizeEvent* e) {
  QsciScintilla::resizeEvent(e);
  FitWrapWidth();
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
