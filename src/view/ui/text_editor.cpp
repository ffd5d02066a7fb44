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

}  // namespace

TEditorEx::TEditorEx(QWidget* parent) : QsciScintilla(parent) {
  setUtf8(true);
  setEolMode(EolUnix);
  setEolVisibility(false);
  SendScintilla(SCI_INDICSETSTYLE, kFoundIndicator, INDIC_FULLBOX);
  SendScintilla(SCI_INDICSETALPHA, kFoundIndicator, 120);
  ApplyProperties(properties_);
  connect(this, &QsciScintilla::cursorPositionChanged, this, [this] { emit CaretMoved(); });
  connect(this, &QsciScintilla::textChanged, this, [this] {
    highlight_stale_ = true;
    emit Changed();
  });
}

void TEditorEx::SetLines(const std::vector<std::string>& lines) {
  std::string sjis;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) sjis += '\n';
    sjis += lines[i];
  }
  const bool was_read_only = isReadOnly();
  setReadOnly(false);
  // Straight to the control as UTF-8: no round through UTF-16.
  const std::string utf8 = Cp932ToUtf8(sjis);
  SendScintilla(SCI_SETTEXT, utf8.c_str());
  setReadOnly(was_read_only);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  setModified(false);
  highlight_stale_ = true;
  RefreshHighlight();
}

std::string_view TEditorEx::Utf8Line(size_t l) const {
  const long a = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(l));
  const long b = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(l));
  if (a < 0 || b <= a) return {};
  const auto* p = reinterpret_cast<const char*>(
      SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(a), b - a));
  std::string_view line(p, static_cast<size_t>(b - a));
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

std::string TEditorEx::ToSjisLine(std::string_view utf8, bool* exact) {
  bool ascii = true;
  for (char c : utf8)
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return std::string(utf8);
  std::string sjis;
  if (ExternalToCp932Exact(utf8, &sjis)) return sjis;
  if (exact) *exact = false;
  return Utf8ToCp932(utf8);
}

std::vector<std::string> TEditorEx::Lines(bool* exact) const {
  std::vector<std::string> out;
  bool all = true;
  const size_t n = static_cast<size_t>(lines());
  out.reserve(n);
  for (size_t l = 0; l < n; ++l) out.push_back(ToSjisLine(Utf8Line(l), &all));
  if (exact) *exact = all;
  return out;
}

std::string TEditorEx::LineText(int line) const { return ToSjisLine(Utf8Line(static_cast<size_t>(line))); }

long TEditorEx::PositionOf(TextPoint p) const {
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(p.line));
  const std::string line = LineText(static_cast<int>(p.line));
  const size_t col = std::min(p.col, line.size());
  return start + static_cast<long>(Cp932ToUtf8(line.substr(0, col)).size());
}

TextPoint TEditorEx::PointOf(long position) const {
  const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
  const std::string_view utf8 = Utf8Line(static_cast<size_t>(line));
  return {static_cast<size_t>(line),
          ToSjisLine(utf8.substr(0, std::min(static_cast<size_t>(position - start), utf8.size()))).size()};
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
  ReplaceLines(first, last, new_lines, 0, new_lines.size());
}

void TEditorEx::ReplaceLines(size_t first, size_t last, const std::vector<std::string>& all, size_t from,
                             size_t count) {
  const long a = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
  const long b = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(last));
  std::string sjis;
  for (size_t i = from; i < all.size() && i < from + count; ++i) {
    if (i > from) sjis += '\n';
    sjis += all[i];
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
  highlight_stale_ = true;
  RefreshHighlight();
}

// Line by line from the caret: a search costs what it reads, not the
// whole text.
bool TEditorEx::FindNext() {
  if (!finder_) return false;
  // From the end of the selection, so that the selected match is passed.
  const TextPoint end = SelectionRange().second;
  const size_t n = static_cast<size_t>(lines());
  for (size_t l = end.line; l < n; ++l) {
    TextMatch m = finder_->FindIn(LineText(static_cast<int>(l)), l == end.line ? end.col : 0);
    if (m.found) {
      Select({l, m.at.col}, m.length);
      return true;
    }
  }
  return false;
}

bool TEditorEx::FindPrevious() {
  if (!finder_) return false;
  const TextPoint start = SelectionRange().first;
  for (size_t l = start.line + 1; l-- > 0;) {
    const TextMatch m = finder_->LastIn(LineText(static_cast<int>(l)), l == start.line ? start.col : SIZE_MAX);
    if (m.found) {
      Select({l, m.at.col}, m.length);
      return true;
    }
  }
  return false;
}

int TEditorEx::ReplaceAllMatches(const std::string& replacement) {
  if (!finder_) return -1;
  std::vector<std::string> all = Lines();
  const RangeReplaceResult r = ReplaceInRange(all, *finder_, replacement, {0, 0}, {SIZE_MAX, 0});
  if (r.count == 0) return -1;
  // One edit over the lines that changed: one undo step.
  ReplaceLines(r.first_line, r.last_line, all, r.first_line, r.last_line - r.first_line + 1);
  return static_cast<int>(r.count);
}

void TEditorEx::SetHighlight(bool on) {
  if (on != highlight_) highlight_stale_ = true;
  highlight_ = on;
  RefreshHighlight();
}

void TEditorEx::RefreshHighlight() {
  // Nothing to do while neither the text nor the word changed: finding
  // next refreshes after every step.
  if (!highlight_stale_) return;
  highlight_stale_ = false;
  SendScintilla(SCI_SETINDICATORCURRENT, kFoundIndicator);
  SendScintilla(SCI_INDICATORCLEARRANGE, 0L, SendScintilla(SCI_GETLENGTH));
  if (!highlight_ || !finder_) return;
  const size_t n = static_cast<size_t>(lines());
  for (size_t l = 0; l < n; ++l) {
    const std::string_view utf8 = Utf8Line(l);
    const std::string line = ToSjisLine(utf8);
    const bool ascii = line.size() == utf8.size();
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(l));
    auto position = [&](size_t col) {
      return start + static_cast<long>(ascii ? col : Cp932ToUtf8(std::string_view(line).substr(0, col)).size());
    };
    WholeWordJudge judge(line);
    for (size_t col = 0; col <= line.size();) {
      const TextMatch m = finder_->FindIn(line, col, judge);
      if (!m.found) break;
      const long a = position(m.at.col), b = position(m.at.col + m.length);
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
  highlight_stale_ = true;
  RefreshHighlight();
}

}  // namespace lorvek
