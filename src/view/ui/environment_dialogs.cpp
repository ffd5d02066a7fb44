#include "view/ui/environment_dialogs.h"

#include <algorithm>

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "text/path_names.h"
#include "ui/common/qt_text.h"

namespace lorvek {
namespace {

QString ColorName(unsigned rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF).name(); }

}  // namespace

// ---- TmEditorProp ----

TmEditorProp::TmEditorProp(const QString& caption, const EditorProperties& p,
                           const std::map<std::string, std::string>* shortcuts, QWidget* parent,
                           const std::vector<std::pair<std::string, QString>>* commands)
    : QDialog(parent), base_(p) {
  setObjectName("TmEditorProp");
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  layout->addWidget(tabs);

  auto* edit = new QWidget;
  auto* edit_form = new QFormLayout(edit);
  tab_width_ = new QSpinBox;
  tab_width_->setRange(1, 32);
  tab_width_->setValue(p.tab_width);
  edit_form->addRow(U("タブ幅(&T):"), tab_width_);
  caret_line_ = new QCheckBox(U("カーソル行を強調する(&L)"));
  caret_line_->setChecked(p.caret_line_visible);
  edit_form->addRow(caret_line_);
  tabs->addTab(edit, U("編集"));

  auto* view1 = new QWidget;
  auto* form1 = new QFormLayout(view1);
  font_ = new QFontComboBox;
  font_->setCurrentFont(QFont(QString::fromStdString(p.font_family)));
  font_size_ = new QSpinBox;
  font_size_->setRange(6, 72);
  font_size_->setValue(p.font_size);
  form1->addRow(U("フォント(&F):"), font_);
  form1->addRow(U("サイズ(&S):"), font_size_);
  tabs->addTab(view1, U("表示１"));

  auto* view2 = new QWidget;
  auto* box2 = new QVBoxLayout(view2);
  line_numbers_ = new QCheckBox(U("行番号を表示する(&N)"));
  show_tabs_ = new QCheckBox(U("タブを表示する(&T)"));
  show_line_ends_ = new QCheckBox(U("改行を表示する(&E)"));
  h_scroll_ = new QCheckBox(U("水平スクロールバー(&H)"));
  v_scroll_ = new QCheckBox(U("垂直スクロールバー(&V)"));
  line_numbers_->setChecked(p.line_numbers);
  show_tabs_->setChecked(p.show_tabs);
  show_line_ends_->setChecked(p.show_line_ends);
  h_scroll_->setChecked(p.horizontal_scroll_bar);
  v_scroll_->setChecked(p.vertical_scroll_bar);
  for (QCheckBox* b : {line_numbers_, show_tabs_, show_line_ends_, h_scroll_, v_scroll_}) box2->addWidget(b);
  box2->addStretch();
  tabs->addTab(view2, U("表示２"));

  auto* colors = new QWidget;
  auto* color_form = new QFormLayout(colors);
  colors_ = {p.text_color, p.back_color, p.found_color, p.line_number_color};
  const char* names[] = {"文字(&C):", "背景(&B):", "検索語(&F):", "行番号(&N):"};
  for (size_t i = 0; i < colors_.size(); ++i) {
    auto* button = new QPushButton(ColorName(colors_[i]));
    connect(button, &QPushButton::clicked, this, [this, i, button] {
      const QColor c = QColorDialog::getColor(QColor(ColorName(colors_[i])), this);
      if (!c.isValid()) return;
      colors_[i] = static_cast<unsigned>(c.red() << 16 | c.green() << 8 | c.blue());
      button->setText(c.name());
    });
    color_form->addRow(U(names[i]), button);
  }
  tabs->addTab(colors, U("表示色"));

  auto* wrap = new QWidget;
  auto* wrap_form = new QFormLayout(wrap);
  word_wrap_ = new QCheckBox(U("ワードラップする(&W)"));
  word_wrap_->setChecked(p.word_wrap);
  wrap_width_ = new QSpinBox;
  wrap_width_->setRange(10, 1000);
  wrap_width_->setValue(p.wrap_width);
  wrap_form->addRow(word_wrap_);
  wrap_form->addRow(U("折り返し桁数(&D):"), wrap_width_);
  kinsoku_ = new QCheckBox(U("禁則処理を行う(&K)"));
  kinsoku_->setObjectName("Kinsoku");
  kinsoku_->setChecked(p.kinsoku);
  wrap_form->addRow(kinsoku_);
  // The screen's own wrapping breaks at the width only; the rules are kept
  // where the program breaks the lines itself (整形).
  auto* rules = new QLabel(U("行頭禁則: 。、，．・：；？！ー 閉じ括弧 小書きの仮名\n"
                             "行末禁則: 開き括弧\n"
                             "(整形のとき適用します)"));
  rules->setWordWrap(true);
  wrap_form->addRow(rules);
  tabs->addTab(wrap, U("ワードラップ"));

  if (shortcuts) {
    // Two columns of commands in a scroll area: the dialog fits a laptop's
    // screen whatever the number of keys.
    std::vector<std::pair<std::string, QString>> order;
    if (commands)
      for (const auto& c : *commands)
        if (shortcuts->count(c.first)) order.push_back(c);
    for (const auto& shortcut : *shortcuts) {
      const std::string& key = shortcut.first;
      if (std::none_of(order.begin(), order.end(), [&](const auto& c) { return c.first == key; }))
        order.emplace_back(key, QString::fromStdString(key));
    }
    auto* keys = new QWidget;
    auto* grid = new QGridLayout(keys);
    const int rows = static_cast<int>((order.size() + 1) / 2);
    for (size_t i = 0; i < order.size(); ++i) {
      const auto& [key, caption] = order[i];
      auto* edit_key = new QKeySequenceEdit(QKeySequence(QString::fromStdString(shortcuts->at(key))));
      edit_key->setObjectName(QString::fromStdString(key));
      keys_[key] = edit_key;
      auto* label = new QLabel(caption);
      label->setBuddy(edit_key);
      const int row = static_cast<int>(i) % rows, column = static_cast<int>(i) / rows * 2;
      grid->addWidget(label, row, column);
      grid->addWidget(edit_key, row, column + 1);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(keys);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    tabs->addTab(scroll, U("キー設定"));
  }
  // Never taller than the screen leaves room for.
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    setMaximumSize(room.width(), room.height() - 40);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(U("OK"));
  auto* cancel = new QPushButton(U("キャンセル"));
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

EditorProperties TmEditorProp::Properties() const {
  EditorProperties p = base_;
  p.font_family = font_->currentFont().family().toStdString();
  p.font_size = font_size_->value();
  p.tab_width = tab_width_->value();
  p.caret_line_visible = caret_line_->isChecked();
  p.line_numbers = line_numbers_->isChecked();
  p.show_tabs = show_tabs_->isChecked();
  p.show_line_ends = show_line_ends_->isChecked();
  p.horizontal_scroll_bar = h_scroll_->isChecked();
  p.vertical_scroll_bar = v_scroll_->isChecked();
  p.text_color = colors_[0];
  p.back_color = colors_[1];
  p.found_color = colors_[2];
  p.line_number_color = colors_[3];
  p.word_wrap = word_wrap_->isChecked();
  p.wrap_width = wrap_width_->value();
  p.kinsoku = kinsoku_->isChecked();
  return p;
}

std::map<std::string, std::string> TmEditorProp::Shortcuts() const {
  std::map<std::string, std::string> out;
  for (const auto& [key, edit] : keys_) out[key] = edit->keySequence().toString().toStdString();
  return out;
}

// ---- TEnvSaveAs ----

TEnvSaveAs::TEnvSaveAs(const QString& name, const QString& ext, QWidget* parent) : QDialog(parent) {
  setObjectName("TEnvSaveAs");
  setWindowTitle(U("環境の保存"));
  auto* form = new QFormLayout(this);
  name_ = new QLineEdit(name);
  ext_ = new QLineEdit(ext);
  form->addRow(U("環境名(&V):"), name_);
  form->addRow(U("拡張子(&E):"), ext_);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(U("OK"));
  auto* cancel = new QPushButton(U("キャンセル"));
  ok->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (parent) move(parent->geometry().center() - rect().center());
}

QString TEnvSaveAs::Name() const { return name_->text(); }
QString TEnvSaveAs::Ext() const { return ext_->text(); }

// ---- TFileEnv ----

TFileEnv::TFileEnv(TIniGT& ini, std::string program_folder, QWidget* parent)
    : QDialog(parent), ini_(ini), program_folder_(std::move(program_folder)) {
  setObjectName("TFileEnv");
  setWindowTitle(U("ﾌｧｲﾙ毎の環境設定"));
  table_ = ReadEnvTable(ini_, program_folder_);
  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  grid_ = new QTableWidget(static_cast<int>(kEnvRows), 2, this);
  grid_->setHorizontalHeaderLabels({U("環境名"), U("適用するﾌｧｲﾙの拡張子")});
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setStretchLastSection(true);
  // Wide and tall enough for both captions and all ten rows in any font:
  // the grid never clips its header or hides a row behind a scroll bar.
  {
    const QFontMetrics fm(grid_->horizontalHeader()->font());
    const int pad = 4 * grid_->horizontalHeader()->style()->pixelMetric(QStyle::PM_HeaderMargin) + 16;
    grid_->setColumnWidth(0, std::max(140, fm.horizontalAdvance(U("環境名")) + pad));
    const int ext = std::max(200, fm.horizontalAdvance(U("適用するﾌｧｲﾙの拡張子")) + pad);
    const int frame = 2 * grid_->frameWidth();
    grid_->setMinimumWidth(grid_->verticalHeader()->sizeHint().width() + grid_->columnWidth(0) + ext + frame);
    grid_->setMinimumHeight(grid_->horizontalHeader()->sizeHint().height() +
                            static_cast<int>(kEnvRows) * grid_->verticalHeader()->defaultSectionSize() + frame);
  }
  left->addWidget(grid_);
  auto* fields = new QFormLayout;
  name_ = new QLineEdit;
  ext_ = new QLineEdit;
  fields->addRow(U("環境名(&V):"), name_);
  fields->addRow(U("拡張子(&E):"), ext_);
  left->addLayout(fields);
  layout->addLayout(left, 1);
  auto* column = new QVBoxLayout;
  const std::pair<const char*, const char*> kButtons[] = {{"Load", "読込み(&R)"}, {"Save", "保存(&S)"},
                                                          {"Update", "更新(&U)"}, {"Settings", "設定(&E)"},
                                                          {"Delete", "削除(&D)"}, {"Ok", "&OK"}};
  for (const auto& [key, caption] : kButtons) {
    auto* b = new QPushButton(U(caption));
    b->setObjectName(key);
    buttons_[key] = b;
    column->addWidget(b);
  }
  column->addStretch();
  layout->addLayout(column);
  connect(buttons_["Load"], &QPushButton::clicked, this, [this] {
    const QString path = Choose(false, FromPath(program_folder_));
    if (!path.isEmpty()) LoadFile(ToPath(path));
  });
  connect(buttons_["Save"], &QPushButton::clicked, this, [this] { SaveAsRow(); });
  connect(buttons_["Update"], &QPushButton::clicked, this, [this] { UpdateRow(); });
  connect(buttons_["Settings"], &QPushButton::clicked, this, [this] { Settings(); });
  connect(buttons_["Delete"], &QPushButton::clicked, this, [this] { Delete(); });
  connect(buttons_["Ok"], &QPushButton::clicked, this, &QDialog::accept);
  connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row) { SelectRow(row); });
  Fill();
  grid_->setCurrentCell(0, 0);
  SelectRow(0);
}

QPushButton* TFileEnv::Button(const char* name) const { return buttons_.at(name); }

int TFileEnv::Row() const { return std::max(0, grid_->currentRow()); }

void TFileEnv::Fill() {
  for (size_t i = 0; i < kEnvRows; ++i) {
    grid_->setItem(static_cast<int>(i), 0, new QTableWidgetItem(FromSjis(table_[i].name)));
    grid_->setItem(static_cast<int>(i), 1, new QTableWidgetItem(FromSjis(table_[i].ext)));
  }
}

void TFileEnv::SelectRow(int row) {
  if (row < 0) return;
  name_->setText(FromSjis(table_[static_cast<size_t>(row)].name));
  ext_->setText(FromSjis(table_[static_cast<size_t>(row)].ext));
  name_->setEnabled(row > 0);
  ext_->setEnabled(row > 0);
  UpdateButtons();
}

void TFileEnv::UpdateButtons() {
  const int row = Row();
  const std::string& name = table_[static_cast<size_t>(row)].name;
  const bool named = !name.empty() && name != "Default";
  buttons_["Delete"]->setEnabled(named);
  buttons_["Save"]->setEnabled(named);
  buttons_["Settings"]->setEnabled(named || row == 0);
  buttons_["Update"]->setEnabled(named && row > 0);
}

QString TFileEnv::Choose(bool save, const QString& suggested) {
  if (choose_file) return choose_file(save, suggested);
  // The overwrite question is asked once, by this dialog.
  return save ? QFileDialog::getSaveFileName(this, U("環境ファイル"), suggested, U("環境ファイル (*.env)"), nullptr,
                                             QFileDialog::DontConfirmOverwrite)
              : QFileDialog::getOpenFileName(this, U("環境ファイル"), suggested, U("環境ファイル (*.env)"));
}

bool TFileEnv::Confirm(const QString& question) {
  if (confirm) return confirm(question);
  return QMessageBox::question(this, U("Lorvek"), question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TFileEnv::Tell(const QString& message) {
  if (tell) return tell(message);
  QMessageBox::warning(this, U("Lorvek"), message);
}

int TFileEnv::Run(QDialog& d) { return run ? run(d) : d.exec(); }

bool TFileEnv::LoadFile(const std::string& path) {
  TIniGT file(path, false);
  const std::string name = file.ReadStr("Environ", "Name", "");
  const std::string ext = file.ReadStr("Environ", "Ext", "");
  if (name.empty() || !ReadEnvFileProperties(path)) {
    Tell(U("環境ﾌｧｲﾙが異常です."));
    return false;
  }
  for (size_t i = 0; i < kEnvRows; ++i) {
    EnvRow& row = table_[i];
    if (SameIniName(row.name, name)) {  // the same name: only its masks change
      row.ext = ext;
      break;
    }
    if (row.name.empty()) {
      row = {path, name, ext};
      grid_->setCurrentCell(static_cast<int>(i), 0);
      break;
    }
  }
  Fill();
  SelectRow(Row());
  return true;
}

void TFileEnv::Delete() {
  const int row = Row();
  if (row == 0 || table_[static_cast<size_t>(row)].name.empty()) return;
  if (!Confirm(FromSjis(table_[static_cast<size_t>(row)].name) + U(" を削除しますか?"))) return;
  DeleteEnvRow(table_, static_cast<size_t>(row));
  Fill();
  SelectRow(row);
}

void TFileEnv::SaveAsRow() {
  const int selected = Row();
  TEnvSaveAs d(name_->text(), ext_->text(), this);
  if (Run(d) != QDialog::Accepted || d.Name().isEmpty()) return;
  const std::string name = ToSjis(d.Name());
  size_t target = static_cast<size_t>(selected);
  if (!SameIniName(name, table_[target].name)) {
    target = kEnvRows;
    for (size_t i = 1; i < kEnvRows; ++i)
      if (SameIniName(table_[i].name, name) || table_[i].name.empty()) {
        target = i;
        break;
      }
    if (target == kEnvRows) {
      Tell(U("環境保存数が一杯のため保存出来ません."));
      return;
    }
  }
  const QString chosen = Choose(true, table_[target].file.empty()
                                          ? FromPath(program_folder_) + d.Name() + ".env"
                                          : FromPath(table_[target].file));
  if (chosen.isEmpty()) return;
  const std::string path = ToPath(chosen);
  if (PathExists(path) && !Confirm(chosen + U(" はすでに存在します.上書きしますか?"))) return;
  const std::optional<EditorProperties> p = ReadEnvFileProperties(table_[static_cast<size_t>(selected)].file);
  if (!p) {
    Tell(U("環境ﾌｧｲﾙが異常です."));
    return;
  }
  WriteEnvFile(path, name, ToSjis(d.Ext()), *p);
  table_[target] = {path, name, ToSjis(d.Ext())};
  Fill();
  grid_->setCurrentCell(static_cast<int>(target), 0);
}

void TFileEnv::UpdateRow() {
  const int row = Row();
  if (row == 0) return;
  EnvRow& r = table_[static_cast<size_t>(row)];
  if (r.file.empty() || !PathExists(r.file)) {
    const QString chosen = Choose(true, FromPath(program_folder_) + name_->text() + ".env");
    if (chosen.isEmpty()) return;
    r.file = ToPath(chosen);
  }
  r.name = ToSjis(name_->text());
  r.ext = ToSjis(ext_->text());
  // A fresh set in the fixed-width font this system has.
  EditorProperties fresh;
  fresh.font_family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family().toStdString();
  fresh.font_size = 11;
  fresh.horizontal_scroll_bar = fresh.vertical_scroll_bar = true;
  WriteEnvFile(r.file, r.name, r.ext, fresh);
  Fill();
}

void TFileEnv::Settings() {
  const int row = Row();
  EnvRow& r = table_[static_cast<size_t>(row)];
  const std::optional<EditorProperties> p = ReadEnvFileProperties(r.file);
  TmEditorProp d(FromSjis(r.name) + U(" の環境設定"), p ? *p : EditorProperties{}, nullptr, this);
  if (Run(d) != QDialog::Accepted) return;
  if (r.file.empty()) {
    const QString chosen = Choose(true, FromPath(program_folder_) + FromSjis(r.name) + ".env");
    if (chosen.isEmpty()) return;
    r.file = ToPath(chosen);
  }
  WriteEnvFile(r.file, r.name, r.ext, d.Properties());
}

void TFileEnv::done(int result) {
  WriteEnvTable(ini_, table_);
  QDialog::done(result);
}

}  // namespace lorvek
