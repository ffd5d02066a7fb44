// The window that shows a replace before it is written.
#include <algorithm>

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "replace/ui/replace_dialogs.h"
#include "text/cp932.h"
#include "ui/common/qt_text.h"

namespace lorvek {
namespace {

enum Role {
  kLineNoRole = Qt::UserRole + 1,
  kOldRole,
  kNewRole,
  kOldSpansRole,
  kNewSpansRole,
  kTextWidthRole,
  kIndexRole,  // a file's place among the files, a line's among its file's lines
};

// A line longer than this shows the stretches around its replacements only.
constexpr int kLongLine = 300;
constexpr int kContext = 40;
const QChar kEllipsis(0x2026);

// A text with the replaced parts as character offsets (begin, end, begin, end...).
struct Marked {
  QString text;
  QList<int> spans;
};

// Tabs and other control characters would move or hide what follows them:
// each is shown as one visible mark, so the offsets still hold.
void MakeVisible(QString& s) {
  for (QChar& c : s) {
    if (c == '\t') c = QChar(0x2192);
    else if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QChar(0xb7);
  }
}

// Around the replacements only, joined by an ellipsis: a line of a
// megabyte would otherwise be a row of millions of pixels.
Marked Excerpt(const Marked& m) {
  if (m.text.size() <= kLongLine) return m;
  QList<QPair<int, int>> ranges;
  for (int k = 0; k + 1 < m.spans.size(); k += 2) {
    const int from = std::max(0, m.spans[k] - kContext);
    const int to = std::min(int(m.text.size()), m.spans[k + 1] + kContext);
    if (!ranges.isEmpty() && from <= ranges.back().second) ranges.back().second = std::max(ranges.back().second, to);
    else ranges.append({from, to});
  }
  if (ranges.isEmpty()) ranges.append({0, kLongLine});
  Marked out;
  int k = 0;
  for (const auto& [from, to] : ranges) {
    if (from > 0) out.text += kEllipsis;
    const int shift = int(out.text.size()) - from;
    out.text += m.text.mid(from, to - from);
    for (; k + 1 < m.spans.size() && m.spans[k] < to; k += 2) out.spans << m.spans[k] + shift << m.spans[k + 1] + shift;
  }
  if (ranges.back().second < m.text.size()) out.text += kEllipsis;
  return out;
}

// The Shift-JIS line with its replaced byte ranges as shown text.
Marked MarkedText(const std::string& sjis, const std::vector<ReplacedSpan>& spans, bool old_side) {
  Marked m;
  size_t at = 0;
  for (const ReplacedSpan& s : spans) {
    const size_t b = std::clamp(old_side ? s.old_begin : s.new_begin, at, sjis.size());
    const size_t e = std::clamp(old_side ? s.old_end : s.new_end, b, sjis.size());
    m.text += FromSjis(sjis.substr(at, b - at));
    m.spans << int(m.text.size());
    m.text += FromSjis(sjis.substr(b, e - b));
    m.spans << int(m.text.size());
    at = e;
  }
  m.text += FromSjis(sjis.substr(at));
  MakeVisible(m.text);
  return Excerpt(m);
}

QString NumberText(const QModelIndex& index) { return QString::number(index.data(kLineNoRole).toInt()) + ":"; }

// A line's row: its check box, its number, then the old text above the new,
// the replaced parts on a coloured ground.
class LineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  static int NumberWidth(const QFontMetrics& fm) { return fm.horizontalAdvance("0000000:") + 4; }
  static int LabelWidth(const QFontMetrics& fm) { return fm.horizontalAdvance(U("後")) + 8; }

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.data(kLineNoRole).isValid()) return QStyledItemDelegate::paint(p, option, index);
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* w = opt.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);
    const QRect check = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, w);
    const QFontMetrics fm(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor pen = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    p->save();
    p->setFont(opt.font);
    const int line_h = fm.lineSpacing();
    const int top = opt.rect.top() + (opt.rect.height() - 2 * line_h) / 2;
    int x = check.right() + 6;
    p->setPen(pen);
    p->drawText(QRect(x, top, NumberWidth(fm) - 4, line_h), Qt::AlignRight | Qt::AlignVCenter, NumberText(index));
    x += NumberWidth(fm);
    const struct {
      const char* label;
      int text_role, spans_role;
      QColor ground, label_color;
    } sides[] = {{"前", kOldRole, kOldSpansRole, QColor(255, 205, 205), QColor(170, 30, 30)},
                 {"後", kNewRole, kNewSpansRole, QColor(190, 240, 190), QColor(20, 120, 20)}};
    for (int k = 0; k < 2; ++k) {
      const int y = top + k * line_h;
      p->setPen(selected ? pen : sides[k].label_color);
      p->drawText(QRect(x, y, LabelWidth(fm), line_h), Qt::AlignLeft | Qt::AlignVCenter, U(sides[k].label));
      const QString text = index.data(sides[k].text_role).toString();
      const QList<int> spans = index.data(sides[k].spans_role).value<QList<int>>();
      int tx = x + LabelWidth(fm), pos = 0;
      auto draw = [&](const QString& seg, bool marked) {
        const int width = fm.horizontalAdvance(seg);
        if (marked) {
          // An empty replacement still shows where the text went.
          p->fillRect(QRect(tx, y, std::max(width, 2), line_h), sides[k].ground);
          p->setPen(Qt::black);
        } else {
          p->setPen(pen);
        }
        p->drawText(QRect(tx, y, width + 1, line_h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, seg);
        tx += width;
      };
      for (int s = 0; s + 1 < spans.size(); s += 2) {
        draw(text.mid(pos, spans[s] - pos), false);
        draw(text.mid(spans[s], spans[s + 1] - spans[s]), true);
        pos = spans[s + 1];
      }
      draw(text.mid(pos), false);
    }
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.data(kLineNoRole).isValid()) return QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics fm(option.font);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int check = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget) +
                      2 * style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 6;
    const int width = check + NumberWidth(fm) + LabelWidth(fm) + index.data(kTextWidthRole).toInt() + 16;
    return QSize(width, 2 * fm.lineSpacing() + 6);
  }
};

QString FileText(const PreviewFile& f) {
  return QString::fromUtf8(PathForDisplay(f.path)) + U("  (%1 行)").arg(f.lines.size());
}

}  // namespace

TReplPreview::TReplPreview(const ReplacePreview& preview, QWidget* parent) : QDialog(parent), preview_(preview) {
  setObjectName("TReplPreview");
  setWindowTitle(U("置換のプレビュー"));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("PreviewTree");
  tree_->setColumnCount(1);
  tree_->setHeaderHidden(true);
  // The column is as wide as its widest row: long lines scroll sideways.
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  tree_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  tree_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setItemDelegate(new LineDelegate(tree_));
  const QFontMetrics fm(tree_->font());
  // Built whole before the tree sees them: one insertion, and no file
  // looking over its lines as each of them is ticked. A file's tick is
  // passed to its lines here (ItemChanged), not by the tree, which would
  // report every line on its own.
  QList<QTreeWidgetItem*> files;
  ticked_.resize(preview.files.size());
  ticked_lines_.resize(preview.files.size());
  for (size_t i = 0; i < preview.files.size(); ++i) {
    const PreviewFile& f = preview.files[i];
    auto* file = new QTreeWidgetItem(QStringList{FileText(f)});
    file->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    file->setToolTip(0, QString::fromUtf8(PathForDisplay(f.path)));
    file->setData(0, kIndexRole, static_cast<int>(i));
    QList<QTreeWidgetItem*> lines;
    lines.reserve(static_cast<qsizetype>(f.lines.size()));
    for (size_t j = 0; j < f.lines.size(); ++j) {
      const PreviewLine& l = f.lines[j];
      auto* line = new QTreeWidgetItem;
      line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
      const Marked old_text = MarkedText(l.old_text, l.spans, true), new_text = MarkedText(l.new_text, l.spans, false);
      line->setData(0, kLineNoRole, l.line_no);
      line->setData(0, kIndexRole, static_cast<int>(j));
      line->setData(0, kOldRole, old_text.text);
      line->setData(0, kNewRole, new_text.text);
      line->setData(0, kOldSpansRole, QVariant::fromValue(old_text.spans));
      line->setData(0, kNewSpansRole, QVariant::fromValue(new_text.spans));
      line->setData(0, kTextWidthRole,
                    std::max(fm.horizontalAdvance(old_text.text), fm.horizontalAdvance(new_text.text)));
      // What a screen reader and type-ahead find: the number and the new text.
      line->setData(0, Qt::AccessibleTextRole, U("%1 行: %2").arg(l.line_no).arg(new_text.text));
      line->setCheckState(0, Qt::Checked);
      lines.append(line);
    }
    file->addChildren(lines);
    file->setCheckState(0, f.lines.empty() ? Qt::Unchecked : Qt::Checked);
    files.append(file);
    ticked_[i].assign(f.lines.size(), 1);
    ticked_lines_[i] = f.lines.size();
    if (!f.lines.empty()) ++ticked_files_;
    ticked_line_count_ += f.lines.size();
    for (const PreviewLine& l : f.lines) ticked_replacements_ += l.spans.size();
  }
  tree_->addTopLevelItems(files);
  total_lines_ = ticked_line_count_;
  total_replacements_ = ticked_replacements_;
  tree_->expandAll();
  layout->addWidget(tree_, 1);

  counts_ = new QLabel(this);
  counts_->setObjectName("PreviewCounts");
  layout->addWidget(counts_);
  if (!preview.notes.empty()) {
    layout->addWidget(new QLabel(U("置換しないもの:"), this));
    auto* notes = new QPlainTextEdit(this);
    notes->setObjectName("PreviewNotes");
    notes->setReadOnly(true);
    notes->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString text;
    for (const std::string& n : preview.notes) text += QString::fromUtf8(n) + "\n";
    notes->setPlainText(text.trimmed());
    notes->setMaximumHeight(QFontMetrics(notes->font()).lineSpacing() * 4 + 12);
    layout->addWidget(notes);
  }

  auto* buttons = new QHBoxLayout;
  auto* check_all = new QPushButton(U("すべて選択(&S)"), this);
  auto* uncheck_all = new QPushButton(U("すべて解除(&U)"), this);
  ok_ = new QPushButton(U("&OK"), this);
  cancel_ = new QPushButton(U("キャンセル(&C)"), this);
  for (QPushButton* b : {check_all, uncheck_all, cancel_}) b->setAutoDefault(false);
  ok_->setDefault(true);
  buttons->addWidget(check_all);
  buttons->addWidget(uncheck_all);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(check_all, &QPushButton::clicked, this, [this] { SetAll(true); });
  connect(uncheck_all, &QPushButton::clicked, this, [this] { SetAll(false); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::itemChanged, this, &TReplPreview::ItemChanged);
  ShowCounts();

  if (tree_->topLevelItemCount() > 0) tree_->setCurrentItem(tree_->topLevelItem(0));
  tree_->setFocus();
  const QScreen* screen = parent ? parent->screen() : QApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  resize(std::min(960, avail.width() - 40), std::min(640, avail.height() - 60));
  const QPoint centre = parent ? parent->geometry().center() : avail.center();
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(centre);
  // Kept on the screen: its buttons must stay reachable.
  frame.moveLeft(std::clamp(frame.left(), avail.left(), std::max(avail.left(), avail.right() - frame.width())));
  frame.moveTop(std::clamp(frame.top(), avail.top(), std::max(avail.top(), avail.bottom() - frame.height() - 30)));
  move(frame.topLeft());
}

QTreeWidgetItem* TReplPreview::Item(int file, int line_row) const {
  QTreeWidgetItem* f = tree_->topLevelItem(file);
  if (!f || line_row < 0) return f;
  return f->child(line_row);
}

void TReplPreview::SetAll(bool checked) {
  for (size_t i = 0; i < ticked_.size(); ++i) TickFile(i, checked);
  ShowCounts();
}

// One user action, one update: a file's tick goes to its lines with the
// tree quiet, a line's tick moves its file's state and the counts by itself.
void TReplPreview::ItemChanged(QTreeWidgetItem* item) {
  const QVariant index = item->data(0, kIndexRole);
  if (!index.isValid()) return;
  const Qt::CheckState state = item->checkState(0);
  if (QTreeWidgetItem* file = item->parent()) {
    const size_t i = static_cast<size_t>(file->data(0, kIndexRole).toInt());
    TickLine(i, static_cast<size_t>(index.toInt()), state == Qt::Checked);
    ShowFileState(i);
  } else {
    if (state == Qt::PartiallyChecked) return;  // only ever set by ShowFileState
    TickFile(static_cast<size_t>(index.toInt()), state == Qt::Checked);
  }
  ShowCounts();
}

void TReplPreview::TickLine(size_t file, size_t line, bool ticked) {
  if (file >= ticked_.size() || line >= ticked_[file].size()) return;
  ++lines_looked_at_;
  if (static_cast<bool>(ticked_[file][line]) == ticked) return;
  ticked_[file][line] = ticked;
  const size_t spans = preview_.files[file].lines[line].spans.size();
  if (ticked) {
    if (ticked_lines_[file]++ == 0) ++ticked_files_;
    ++ticked_line_count_;
    ticked_replacements_ += spans;
  } else {
    if (--ticked_lines_[file] == 0) --ticked_files_;
    --ticked_line_count_;
    ticked_replacements_ -= spans;
  }
}

void TReplPreview::TickFile(size_t file, bool ticked) {
  if (file >= ticked_.size()) return;
  QTreeWidgetItem* f = tree_->topLevelItem(static_cast<int>(file));
  {
    const QSignalBlocker quiet(tree_);
    for (size_t j = 0; j < ticked_[file].size(); ++j) {
      if (static_cast<bool>(ticked_[file][j]) != ticked)
        f->child(static_cast<int>(j))->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
      TickLine(file, j, ticked);
    }
  }
  ShowFileState(file);
}

void TReplPreview::ShowFileState(size_t file) {
  const size_t all = ticked_[file].size(), on = ticked_lines_[file];
  const Qt::CheckState state = on == 0 ? Qt::Unchecked : on == all ? Qt::Checked : Qt::PartiallyChecked;
  const QSignalBlocker quiet(tree_);
  tree_->topLevelItem(static_cast<int>(file))->setCheckState(0, state);
}

void TReplPreview::ShowCounts() {
  counts_->setText(U("%1 / %2 ファイル、%3 / %4 行、%5 / %6 箇所を置換します.")
                       .arg(ticked_files_)
                       .arg(preview_.files.size())
                       .arg(ticked_line_count_)
                       .arg(total_lines_)
                       .arg(ticked_replacements_)
                       .arg(total_replacements_));
  ok_->setEnabled(ticked_line_count_ > 0);
}

ReplaceChoice TReplPreview::Choice() const {
  ReplaceChoice choice;
  for (size_t i = 0; i < preview_.files.size(); ++i) {
    const PreviewFile& pf = preview_.files[i];
    for (size_t j = 0; j < ticked_[i].size(); ++j)
      if (ticked_[i][j]) choice.lines[pf.path].insert(pf.lines[j].line_no);
    if (choice.lines.count(pf.path)) choice.seen_bytes[pf.path] = pf.bytes;
  }
  return choice;
}

}  // namespace lorvek
