#include "view/ui/printing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTime>
#include <QVBoxLayout>

#include "settings/settings_schema.h"
#include "ui/common/qt_text.h"

namespace lorvek {
namespace {

const char* const kEntries[][2] = {{"ページ番号", "%p"},         {"ファイル名", "%F"}, {"ファイル名（フルパス名）", "%f"},
                                   {"年月日と時刻", "%y/%m/%d %t"}, {"年月日", "%y/%m/%d"}, {"時刻", "%t"}};

class QtMeasure : public TextMeasure {
 public:
  explicit QtMeasure(const QFont& font) : fm_(font) {}
  double Width(const std::string& sjis) const override { return fm_.horizontalAdvance(FromSjis(sjis)); }
  double AverageCharWidth() const override { return fm_.averageCharWidth(); }
  double LineHeight() const override { return fm_.height() + fm_.leading(); }

 private:
  QFontMetricsF fm_;
};

std::string LongTime(std::time_t t) {
  return ToSjis(QLocale::system().toString(QDateTime::fromSecsSinceEpoch(t).time(), QLocale::LongFormat));
}

int ScreenDpi() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? static_cast<int>(s->logicalDotsPerInchX()) : 96;
}

}  // namespace

std::string PrintEntryCodes(const std::string& utf8_text) {
  for (const auto& e : kEntries)
    if (utf8_text == e[0]) return e[1];
  return Utf8ToCp932(utf8_text);
}

// ---- TPrintDlg ----

TPrintDlg::TPrintDlg(TIniGT& ini, QPrinter& printer, QWidget* parent) : QDialog(parent), ini_(ini), printer_(printer) {
  setObjectName("TPrintDlg");
  setWindowTitle(U("印刷"));
  auto* layout = new QVBoxLayout(this);
  const PrintSection saved = ReadSection<PrintSection>(ini_);
  auto band = [&](const char* caption, const char* pos_caption, const std::string& text, int align,
                  QComboBox*& box, std::array<QRadioButton*, 3>& pos) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(U(caption), this);
    box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // typed text is the text, never a new entry
    box->setCompleter(nullptr);
    for (const auto& e : kEntries) box->addItem(U(e[0]));
    box->setEditText(FromSjis(text));
    label->setBuddy(box);
    // An entry chosen stands for its codes.
    connect(box, qOverload<int>(&QComboBox::activated), box,
            [box](int i) {
              if (i >= 0 && static_cast<size_t>(i) < std::size(kEntries)) box->setEditText(QString::fromUtf8(kEntries[i][1]));
            });
    row->addWidget(label);
    row->addWidget(box, 1);
    auto* g = new QGroupBox(U(pos_caption), this);
    auto* h = new QHBoxLayout(g);
    const char* names[] = {"左", "中央", "右"};
    for (int k = 0; k < 3; ++k) {
      pos[static_cast<size_t>(k)] = new QRadioButton(U(names[k]), g);
      pos[static_cast<size_t>(k)]->setChecked(k == align);
      h->addWidget(pos[static_cast<size_t>(k)]);
    }
    row->addWidget(g);
    layout->addLayout(row);
  };
  band("ヘッダー(&H)", "ヘッダー位置", saved.header, saved.header_align, header_, header_pos_);
  band("フッター(&F)", "フッター位置", saved.footer, saved.footer_align, footer_, footer_pos_);
  auto* margins = new QGroupBox(U("余白"), this);
  auto* mh = new QHBoxLayout(margins);
  const char* margin_names[][2] = {{"左(&L)", "LeftMargin"}, {"右(&R)", "RightMargin"}, {"上(&T)", "TopMargin"}, {"下(&B)", "BottomMargin"}};
  const int margin_values[] = {saved.left_margin, saved.right_margin, saved.top_margin, saved.bottom_margin};
  for (size_t k = 0; k < 4; ++k) {
    auto* label = new QLabel(U(margin_names[k][0]), margins);
    margins_[k] = new QSpinBox(margins);
    margins_[k]->setObjectName(margin_names[k][1]);
    margins_[k]->setRange(5, 100);
    margins_[k]->setValue(margin_values[k]);
    label->setBuddy(margins_[k]);
    mh->addWidget(label);
    mh->addWidget(margins_[k]);
  }
  layout->addWidget(margins);
  auto* cols = new QGroupBox(U("段組み"), this);
  auto* ch = new QHBoxLayout(cols);
  const char* col_names[] = {"なし(&1)", "二段(&2)", "三段(&3)"};
  const int column_count = saved.column_count;
  for (int k = 0; k < 3; ++k) {
    columns_[static_cast<size_t>(k)] = new QRadioButton(U(col_names[k]), cols);
    columns_[static_cast<size_t>(k)]->setChecked(k == column_count);
    ch->addWidget(columns_[static_cast<size_t>(k)]);
  }
  layout->addWidget(cols);
  line_numbers_ = new QCheckBox(U("行番号(&G)"), this);
  line_numbers_->setChecked(saved.line_no);
  layout->addWidget(line_numbers_);
  auto* buttons = new QHBoxLayout;
  const char* button_names[][2] = {{"Setup", "プリンタ設定(&P)..."}, {"Preview", "プレビュー(&V)"}, {"Ok", "&OK"}, {"Cancel", "キャンセル(&C)"}};
  for (const auto& [key, caption] : button_names) {
    auto* b = new QPushButton(U(caption), this);
    b->setObjectName(key);
    buttons_[key] = b;
    buttons->addWidget(b);
  }
  buttons_["Cancel"]->setDefault(true);
  layout->addLayout(buttons);
  connect(buttons_["Setup"], &QPushButton::clicked, this, [this] {
    QPrintDialog setup(&printer_, this);
    setup.exec();
  });
  connect(buttons_["Preview"], &QPushButton::clicked, this, [this] {
    chosen_ = Choice::Preview;
    accept();
  });
  connect(buttons_["Ok"], &QPushButton::clicked, this, [this] {
    chosen_ = Choice::Ok;
    accept();
  });
  connect(buttons_["Cancel"], &QPushButton::clicked, this, &QDialog::reject);
  adjustSize();
  if (parent) move(parent->geometry().center() - rect().center());
}

QPushButton* TPrintDlg::Button(const char* name) const { return buttons_.at(name); }
QRadioButton* TPrintDlg::Columns(int n) const { return columns_[static_cast<size_t>(n)]; }

PrintSettings TPrintDlg::Settings() const {
  PrintSettings s;
  auto align = [](const std::array<QRadioButton*, 3>& pos) {
    for (int k = 0; k < 3; ++k)
      if (pos[static_cast<size_t>(k)]->isChecked()) return k;
    return -1;
  };
  s.header = PrintEntryCodes(header_->currentText().toStdString());
  s.footer = PrintEntryCodes(footer_->currentText().toStdString());
  s.header_align = align(header_pos_);
  s.footer_align = align(footer_pos_);
  s.left_margin = margins_[0]->value();
  s.right_margin = margins_[1]->value();
  s.top_margin = margins_[2]->value();
  s.bottom_margin = margins_[3]->value();
  s.columns = 1;
  for (int k = 0; k < 3; ++k)
    if (columns_[static_cast<size_t>(k)]->isChecked()) s.columns = k + 1;
  s.line_numbers = line_numbers_->isChecked();
  return s;
}

void TPrintDlg::done(int result) {
  // Written whenever the dialog closes, whatever closed it.
  if (!ini_.IsReadOnly()) {
    const PrintSettings s = Settings();
    PrintSection p;
    p.header = ToSjis(header_->currentText());
    p.footer = ToSjis(footer_->currentText());
    p.header_align = std::max(0, s.header_align);
    p.footer_align = std::max(0, s.footer_align);
    p.left_margin = s.left_margin;
    p.right_margin = s.right_margin;
    p.top_margin = s.top_margin;
    p.bottom_margin = s.bottom_margin;
    p.column_count = s.columns - 1;
    p.line_no = s.line_numbers;
    WriteSection(ini_, p);
  }
  QDialog::done(result);
}

// ---- TStringsPrinter ----

TStringsPrinter::TStringsPrinter(QPrinter& printer, const QFont& font, const PrintSettings& s, std::string path,
                                 std::vector<std::string> lines)
    : printer_(printer), font_(font), settings_(s), path_(std::move(path)), lines_(std::move(lines)) {
  const int dpi = printer_.resolution();
  const QPageLayout layout = printer_.pageLayout();
  const QRect paper = layout.fullRectPixels(dpi), page = layout.paintRectPixels(dpi);
  paper_ = paper.size();
  geometry_.dpi = dpi;
  geometry_.page_width = page.width();
  geometry_.page_height = page.height();
  geometry_.offsets = PrintableOffsets(paper.width(), paper.height(), page.width(), page.height());
  // The recording is in printer pixels: a pixel-sized font keeps its size
  // whatever device plays it.
  const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / ScreenDpi();
  font_.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi / 72.0))));
}

bool TStringsPrinter::Prepare(bool for_preview) {
  QProgressDialog progress(U(for_preview ? "プレビューを作成中" : "印刷中"), "Cancel", 0, 100);
  progress.setWindowTitle("TStringsPrinter");
  progress.setMinimumDuration(0);
  progress.setWindowModality(Qt::ApplicationModal);
  const QtMeasure measure(font_);
  layout_ = LayOutPages(lines_, settings_, geometry_, measure, path_, std::time(nullptr), LongTime,
                        [&](size_t done, size_t total) {
                          progress.setValue(total > 1 ? static_cast<int>(done * 100 / (total - 1)) : 100);
                          QApplication::processEvents();
                          if (on_progress && !on_progress(done, total)) progress.cancel();
                          return !progress.wasCanceled();
                        });
  if (progress.wasCanceled()) {
    layout_.clear();
    return false;
  }
  pages_.clear();
  for (const PrintPage& page : layout_) {
    QPicture picture;
    QPainter p(&picture);
    // A picture plays back scaled by the target's resolution over its own;
    // recording in printer pixels under the inverse scale makes it play at
    // the printer's size on the printer.
    p.scale(picture.logicalDpiX() / double(geometry_.dpi), picture.logicalDpiY() / double(geometry_.dpi));
    p.setFont(font_);
    p.setPen(Qt::black);
    const double h = measure.LineHeight();
    for (const PrintItem& item : page.items) {
      const int flags = Qt::TextSingleLine | Qt::TextExpandTabs | Qt::AlignVCenter |
                        (item.align == 1 ? Qt::AlignHCenter : item.align == 2 ? Qt::AlignRight : Qt::AlignLeft);
      p.drawText(QRectF(item.x, item.y, item.width, h), flags, FromSjis(item.text));
    }
    p.end();
    pages_.push_back(picture);
  }
  return true;
}

std::string TStringsPrinter::Print() {
  QPainter painter;
  if (!painter.begin(&printer_)) return "ﾌﾟﾘﾝﾀに印刷できる状態ではありません";
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (i > 0) printer_.newPage();
    pages_[i].play(&painter);
  }
  painter.end();
  return "";
}

void TStringsPrinter::DrawPage(QPainter& painter, int index, double scale) const {
  if (index < 0 || index >= PageCount()) return;
  painter.save();
  painter.scale(scale, scale);
  painter.fillRect(QRect(QPoint(0, 0), paper_), Qt::white);
  painter.translate(geometry_.offsets.left, geometry_.offsets.top);
  // Undo the resolution scale the picture applies when it plays.
  QPaintDevice* device = painter.device();
  painter.scale(geometry_.dpi / double(device->logicalDpiX()), geometry_.dpi / double(device->logicalDpiY()));
  pages_[static_cast<size_t>(index)].play(&painter);
  painter.restore();
}

// ---- TPreviewWindow ----

TPreviewWindow::TPreviewWindow(const TStringsPrinter& printer, QWidget* parent) : QDialog(parent), printer_(printer) {
  setObjectName("Preview");
  setWindowTitle("Preview");
  resize(520, 459);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  label_ = new QLabel(this);
  label_->setObjectName("PageLabel");
  bar->addWidget(label_);
  const char* names[][2] = {{"First", "|<"}, {"Previous", "<"}, {"Next", ">"}, {"Last", ">|"},
                            {"FitHeight", "高さに合せる"}, {"FitWidth", "巾に合せる"}, {"Actual", "100%"}, {"Close", "閉じる"}};
  for (const auto& [key, caption] : names) {
    auto* b = new QPushButton(U(caption), this);
    b->setObjectName(key);
    b->setAutoDefault(false);  // Enter does not turn pages or change the zoom
    buttons_[key] = b;
    bar->addWidget(b);
  }
  // Wide enough for five-digit page counts, so the bar never shifts.
  label_->setMinimumWidth(label_->fontMetrics().horizontalAdvance("99999 / 99999 "));
  layout->addLayout(bar);
  area_ = new QScrollArea(this);
  area_->setAlignment(Qt::AlignCenter);
  picture_ = new QLabel;
  area_->setWidget(picture_);
  layout->addWidget(area_, 1);
  connect(buttons_["First"], &QPushButton::clicked, this, [this] { ShowPage(0); });
  connect(buttons_["Previous"], &QPushButton::clicked, this, [this] { ShowPage(page_ - 1); });
  connect(buttons_["Next"], &QPushButton::clicked, this, [this] { ShowPage(page_ + 1); });
  connect(buttons_["Last"], &QPushButton::clicked, this, [this] { ShowPage(printer_.PageCount() - 1); });
  connect(buttons_["Actual"], &QPushButton::clicked, this, [this] {
    zoom_ = 1;
    Redraw();
  });
  connect(buttons_["FitWidth"], &QPushButton::clicked, this, [this] {
    const double full = printer_.PaperPixels().width() * ScreenDpi() / double(printer_.Geometry().dpi);
    // The area without its scroll bars, less the one the other side needs.
    zoom_ = (area_->maximumViewportSize().width() - area_->verticalScrollBar()->sizeHint().width()) / full;
    Redraw();
  });
  connect(buttons_["FitHeight"], &QPushButton::clicked, this, [this] {
    const double full = printer_.PaperPixels().height() * ScreenDpi() / double(printer_.Geometry().dpi);
    zoom_ = (area_->maximumViewportSize().height() - area_->horizontalScrollBar()->sizeHint().height()) / full;
    Redraw();
  });
  connect(buttons_["Close"], &QPushButton::clicked, this, &QDialog::accept);
  ShowPage(0);
}

void TPreviewWindow::showEvent(QShowEvent* e) {
  // Centred once the layout has given the window its final size.
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->availableGeometry().center() - rect().center());
  QDialog::showEvent(e);
}

QPushButton* TPreviewWindow::Button(const char* name) const { return buttons_.at(name); }

void TPreviewWindow::ShowPage(int page) {
  const int count = printer_.PageCount();
  page_ = std::clamp(page, 0, std::max(0, count - 1));
  label_->setText(QString::asprintf("%3d / %3d", page_ + 1, count));
  buttons_["First"]->setEnabled(page_ > 0);
  buttons_["Previous"]->setEnabled(page_ > 0);
  buttons_["Next"]->setEnabled(page_ + 1 < count);
  buttons_["Last"]->setEnabled(page_ + 1 < count);
  Redraw();
}

void TPreviewWindow::Redraw() {
  const double scale = zoom_ * ScreenDpi() / printer_.Geometry().dpi;
  const QSize size(std::max(1, static_cast<int>(printer_.PaperPixels().width() * scale)),
                   std::max(1, static_cast<int>(printer_.PaperPixels().height() * scale)));
  QPixmap pixmap(size);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::TextAntialiasing);
  printer_.DrawPage(p, page_, scale);
  p.end();
  picture_->setPixmap(pixmap);
  picture_->resize(size);
  area_->horizontalScrollBar()->setValue(0);
  area_->verticalScrollBar()->setValue(0);
}

}  // namespace lorvek
