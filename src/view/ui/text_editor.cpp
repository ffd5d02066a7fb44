#include "view/ui/text_editor.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

constexpr int kFoundIndicator = 8;

QColor Rgb(unsigned rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QString FromSjis(const std::string& sjis) { return QString::fromStdString(Cp932ToUtf8(sjis)); }

}  // namespace

TEditorEx::TEditorEx(QWidget* parent) : QsciScintilla(parent) {
  setUtf8(true);
  setEolMode(EolUnix);
  setEolVisibility(false);
  SendScintilla(SCI_INDICSETSTYLE, kFoundIndicator, INDIC_FULLBOX);
  SendScintilla(SCI_INDICSETALPHA, kFoundIndicator, 120);
  ApplyProperties(properties_);
  connect(this, &QsciScintilla::cursorPositionChanged, this, [this] { emit CaretMoved(); });
  connect(this, &QsciScintilla::textChanged, this, [this] { emit Changed(); });
}

void TEditorEx::SetLines(const std::vector<std::string>& lines) {
  std::string sjis;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) sjis += '\n';
    sjis += lines[i];
  }
  const bool was_read_only = isReadOnly();
  setReadOnly(false);
  setText(FromSjis(sjis));
  setReadOnly(was_read_only);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  setModified(false);
  RefreshHighlight();
}

std::vector<std::string> TEditorEx::Lines(bool* exact) const {
  std::vector<std::string> out;
  bool all = true;
  const int n = lines();
  for (int l = 0; l < n; ++l) {
    std::string utf8 = text(l).toStdString();
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r')) utf8.pop_back();
    std::string sjis;
    if (!ExternalToCp932Exact(utf8, &sjis)) all = false;
    out.push_back(sjis);
  }
  if (exact) *exact = all;
  return out;
}

std::string TEditorEx::LineText(int line) const {
  std::string utf8 = text(line).toStdString();
  while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r')) utf8.pop_back();
  return Utf8ToCp932(utf8);
}

long TEditorEx::PositionOf(TextPoint p) const {
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(p.line));
  const std::string line = LineText(static_cast<int>(p.line));
  const size_t col = std::min(p.col, line.size());
  return start + static_cast<long>(Cp932ToUtf8(line.substr(0, col)).size());
}

TextPoint TEditorEx::PointOf(long position) const {
  const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  std::string utf8 = text(static_cast<int>(line)).toStdString();
  utf8 = utf8.substr(0, std::min(static_cast<size_t>(position - start), utf8.size()));
  return {static_cast<size_t>(line), Utf8ToCp932(utf8).size()};
}

TextPoint TEditorEx::Caret() const { return PointOf(SendScintilla(SCI_GETCURRENTPOS)); }

void TEditorEx::SetCaret(TextPoint p) {
  const long pos = PositionOf(p);
  SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(pos));
}

void TEditorEx::Select(TextPoint from, size_t sjis_length) {
  const long a = PositionOf(from);
  const std::string line = LineText(static_cast<int>(from.line));
  const size_t end_col = std::min(from.col + sjis_length, line.size());
  const long b = PositionOf({from.line, end_col});
  SendScintilla(SCI_SETSEL, static_cast<unsigned long>(a), b);
  SendScintilla(SCI_SCROLLCARET);
}

std::pair<TextPoint, TextPoint> TEditorEx::SelectionRange() const {
  const long a = SendScintilla(SCI_GETSELECTIONSTART), b = SendScintilla(SCI_GETSELECTIONEND);
  return {PointOf(a), PointOf(b)};
}

std::string TEditorEx::SelectedSjis() const { return Utf8ToCp932(selectedText().toStdString()); }

std::string TEditorEx::WordAtCaret() const {
  const long pos = SendScintilla(SCI_GETCURRENTPOS);
  const long a = SendScintilla(SCI_WORDSTARTPOSITION, static_cast<unsigned long>(pos), 1L);
  const long b = SendScintilla(SCI_WORDENDPOSITION, static_cast<unsigned long>(pos), 1L);
  if (b <= a) return "";
  const TextPoint pa = PointOf(a), pb = PointOf(b);
  if (pa.line != pb.line) return "";
  return LineText(static_cast<int>(pa.line)).substr(pa.col, pb.col - pa.col);
}

void TEditorEx::InsertSjis(const std::string& text) {
  const QByteArray utf8 = QByteArray::fromStdString(Cp932ToUtf8(text));
  SendScintilla(SCI_REPLACESEL, static_cast<unsigned long>(0), utf8.constData());
}

void TEditorEx::DeleteCurrentLine() { SendScintilla(SCI_LINEDELETE); }

void TEditorEx::ReplaceLines(size_t first, size_t last, const std::vector<std::string>& new_lines) {
  const long a = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
  const long b = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(last));
  std::string sjis;
  for (size_t i = 0; i < new_lines.size(); ++i) {
    if (i) sjis += '\n';
    sjis += new_lines[i];
  }
  const QByteArray utf8 = QByteArray::fromStdString(Cp932ToUtf8(sjis));
  beginUndoAction();
  SendScintilla(SCI_SETTARGETSTART, static_cast<unsigned long>(a));
  SendScintilla(SCI_SETTARGETEND, static_cast<unsigned long>(b));
  SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(utf8.size()), utf8.constData());
  endUndoAction();
}

void TEditorEx::SetFind(const std::string& word, int options) {
  finder_ = std::make_unique<TextFinder>(word, options);
  find_word_ = word;
  find_options_ = options;
  RefreshHighlight();
}

bool TEditorEx::FindNext() {
  if (!finder_) return false;
  const auto [start, end] = SelectionRange();
  const std::vector<std::string> all = Lines();
  // From the end of the selection, so that the selected match is passed.
  const TextMatch m = finder_->Next(all, end);
  if (!m.found) return false;
  Select(m.at, m.length == 0 ? 0 : m.length);
  (void)start;
  return true;
}

bool TEditorEx::FindPrevious() {
  if (!finder_) return false;
  const auto [start, end] = SelectionRange();
  const TextMatch m = finder_->Previous(Lines(), start);
  (void)end;
  if (!m.found) return false;
  Select(m.at, m.length);
  return true;
}

int TEditorEx::ReplaceAllMatches(const std::string& replacement) {
  if (!finder_) return -1;
  std::vector<std::string> all = Lines();
  const size_t count = ReplaceAll(all, *finder_, replacement);
  if (count == 0) return -1;
  ReplaceLines(0, all.empty() ? 0 : static_cast<size_t>(lines() - 1), all);
  return static_cast<int>(count);
}

void TEditorEx::SetHighlight(bool on) {
  highlight_ = on;
  RefreshHighlight();
}

void TEditorEx::RefreshHighlight() {
  SendScintilla(SCI_SETINDICATORCURRENT, kFoundIndicator);
  SendScintilla(SCI_INDICATORCLEARRANGE, 0L, SendScintilla(SCI_GETLENGTH));
  if (!highlight_ || !finder_) return;
  const std::vector<std::string> all = Lines();
  for (size_t l = 0; l < all.size(); ++l) {
    for (size_t col = 0; col <= all[l].size();) {
      const TextMatch m = finder_->FindIn(all[l], col);
      if (!m.found) break;
      const long a = PositionOf({l, m.at.col}), b = PositionOf({l, m.at.col + m.length});
      if (b > a) SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(a), b - a);
      col = m.at.col + std::max<size_t>(1, m.length);
    }
  }
}

void TEditorEx::resizeEvent(QResizeEvent* e) {
  QsciScintilla::resizeEvent(e);
  FitWrapWidth();
}

void TEditorEx::FitWrapWidth() {
  if (!properties_.word_wrap) {
    SendScintilla(SCI_SETMARGINRIGHT, 0);
    return;
  }
  const QFontMetrics fm(font());
  const int text_width = fm.horizontalAdvance(QString(properties_.wrap_width, 'x'));
  int margins = 0;
  for (int m = 0; m < 3; ++m) margins += marginWidth(m);
  const int spare = viewport()->width() - margins - text_width;
  SendScintilla(SCI_SETMARGINRIGHT, spare > 0 ? spare : 0);
}

void TEditorEx::ApplyProperties(const EditorProperties& p) {
  properties_ = p;
  QFont font(QString::fromStdString(p.font_family), p.font_size);
  font.setStyleHint(QFont::Monospace);
  setFont(font);
  SendScintilla(SCI_STYLESETFONT, STYLE_DEFAULT, font.family().toUtf8().constData());
  SendScintilla(SCI_STYLESETSIZE, STYLE_DEFAULT, p.font_size);
  setColor(Rgb(p.text_color));
  setPaper(Rgb(p.back_color));
  SendScintilla(SCI_STYLESETFORE, STYLE_DEFAULT, Rgb(p.text_color));
  SendScintilla(SCI_STYLESETBACK, STYLE_DEFAULT, Rgb(p.back_color));
  SendScintilla(SCI_STYLECLEARALL);
  SendScintilla(SCI_INDICSETFORE, kFoundIndicator, Rgb(p.found_color));
  setMarginsForegroundColor(Rgb(p.line_number_color));
  setMarginLineNumbers(0, p.line_numbers);
  setMarginWidth(0, p.line_numbers ? QStringLiteral("000000") : QString());
  setWrapMode(p.word_wrap ? WrapCharacter : WrapNone);
  setTabWidth(p.tab_width);
  setWhitespaceVisibility(p.show_tabs ? WsVisible : WsInvisible);
  setEolVisibility(p.show_line_ends);
  SendScintilla(SCI_SETHSCROLLBAR, p.horizontal_scroll_bar ? 1 : 0);
  SendScintilla(SCI_SETVSCROLLBAR, p.vertical_scroll_bar ? 1 : 0);
  setCaretLineVisible(p.caret_line_visible);
  FitWrapWidth();
  RefreshHighlight();
}

}  // namespace lorvek
