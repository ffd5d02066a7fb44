// TView: construction, menus and shortcuts, settings, loading and saving.
#include "view/ui/view_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include <sys/stat.h>

#include <system_error>

#include "settings/history.h"
#include "settings/settings_schema.h"
#include "ui/common/qt_text.h"
#include "ui/common/tool_bar_places.h"
#include "view/ui/tag_list_model.h"
#include "view/ui/text_editor.h"
#include "text/encoding_table.h"
#include "view/view_document.h"

namespace lorvek {
namespace {

struct CommandRow {
  const char* key;      // the [Viewer] key of its shortcut (its default is the schema's)
  const char* caption;  // the menu text
};

// The 31 commands with a shortcut of their own, in the settings' order.
const CommandRow kCommands[] = {
    {"Save", "上書き保存(&S)"},          {"SaveAs", "名前を付けて保存(&A)..."},
    {"Undo", "元に戻す(&U)"},            {"Redo", "やり直し(&R)"},
    {"Cut", "切り取り(&T)"},             {"Copy", "コピー(&C)"},
    {"Paste", "貼り付け(&P)"},           {"Delete", "削除(&D)"},
    {"DelLine", "行削除(&L)"},           {"FindAll", "すべて検索(&O)..."},
    {"LineNext", "次のタグ(&J)"},            {"LinePrev", "前のタグ(&K)"},
    {"Find", "検索(&F)..."},             {"FindNext", "次を検索(&N)"},
    {"FIndPrev", "前を検索(&V)"},      {"Replace", "置換(&R)..."},
    {"Indent", "インデント(&I)"},        {"UnIndent", "逆インデント(&U)"},
    {"Quate", "引用(&Q)"},                {"UnQuate", "引用解除(&W)"},
    {"InsDate", "日付の挿入(&D)"},        {"InsTime", "時刻の挿入(&T)"},
    {"InsSign", "署名の挿入(&S)"},        {"Seikei", "整形(&K)..."},
    {"ViewTag", "タグリスト(&T)"},       {"ViewFound", "検索語のハイライト(&H)"},
    {"InsFile", "ファイルの挿入(&F)..."},      {"Print", "印刷(&P)..."},
    {"Command", "コマンド実行(&E)..."}, {"MacroRec", "マクロ記録(&R)"},
    {"MacroPlay", "マクロ実行(&P)"},
};

}  // namespace

TView::TView(std::string program_folder, QWidget* parent)
    : QMainWindow(parent), program_folder_(std::move(program_folder)) {
  if (!program_folder_.empty() && program_folder_.back() != '/') program_folder_ += '/';
  ini_ = std::make_unique<TIniGT>(program_folder_ + "Lorvek.ini", /*make_writable=*/true, /*own_file=*/true);
  setObjectName("TView");
  setWindowTitle(U("LorvekのView"));
  // The program ends with its main window, whatever the viewer shows.
  setAttribute(Qt::WA_QuitOnClose, false);
  editor_ = new TEditorEx(this);
  editor_->setObjectName("Editor");
  tags_ = new QTreeView(this);
  tags_->setObjectName("TagList");
  tag_model_ = new TagListModel(this);
  tags_->setModel(tag_model_);
  tags_->setRootIsDecorated(false);
  tags_->header()->setFirstSectionMovable(true);
  tags_->setUniformRowHeights(true);
  tags_->header()->setStretchLastSection(true);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->addWidget(editor_);
  splitter_->addWidget(tags_);
  setCentralWidget(splitter_);
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QString("ViewPanel%1").arg(i));
    statusBar()->addWidget(panels_[i], i == 0 ? 1 : 0);
  }
  BuildActions();
  BuildMenus();
  ReadSettings();
  ApplyShortcuts();
  editor_->installEventFilter(this);
  // Text an input method commits reaches the text area itself.
  editor_->viewport()->installEventFilter(this);
  // Paste is offered as soon as there is text to paste.
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TView::UpdateEnabling);
  connect(editor_, &TEditorEx::CaretMoved, this, [this] {
    UpdateCaretPanels();
    UpdateEnabling();
  });
  connect(editor_, &QsciScintilla::modificationChanged, this, [this](bool m) {
    if (editable_) SetStatus(3, m ? U("変更あり") : QString());
    UpdateEnabling();
  });
  connect(editor_, &QsciScintilla::selectionChanged, this, [this] { UpdateEnabling(); });
  connect(tags_, &QTreeView::activated, this, [this](const QModelIndex& index) { JumpToTag(index.row()); });
  connect(tags_, &QTreeView::clicked, this, [this](const QModelIndex& index) { JumpToTag(index.row()); });
  New();
  editor_->setModified(false);
  SetStatus(0, QString());
  UpdateEnabling();
}

TView::~TView() { WriteSettings(); }

QAction* TView::Action(const std::string& key) const {
  auto it = actions_.find(key);
  return it == actions_.end() ? nullptr : it->second;
}

QString TView::Panel(int i) const { return panels_[static_cast<size_t>(i)]->text(); }

bool TView::Modified() const { return editor_->isModified(); }

void TView::SetStatus(int panel, const QString& text) { panels_[static_cast<size_t>(panel)]->setText(text); }

void TView::BuildActions() {
  std::map<std::string, std::function<void()>> run = {
      {"Save", [this] { Save(); }},
      {"SaveAs", [this] { SaveAs(); }},
      {"Undo", [this] { editor_->undo(); }},
      {"Redo", [this] { editor_->redo(); }},
      {"Cut", [this] { editor_->cut(); }},
      {"Copy",
       [this] {
         // The caret stays where it was; the selection collapses.
         editor_->copy();
         const long pos = editor_->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
         editor_->SendScintilla(QsciScintilla::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(pos));
       }},
      {"Paste", [this] { editor_->paste(); }},
      {"Delete", [this] { editor_->removeSelectedText(); }},
      {"DelLine", [this] { editor_->DeleteCurrentLine(); }},
      {"FindAll", [this] { FindAllCommand(); }},
      {"LineNext", [this] { MoveTag(1); }},
      {"LinePrev", [this] { MoveTag(-1); }},
      {"Find", [this] { Find(); }},
      {"FindNext", [this] { FindNextCommand(true); }},
      {"FIndPrev", [this] { FindNextCommand(false); }},
      {"Replace", [this] { Replace(); }},
      {"Indent", [this] { IndentCommand(true); }},
      {"UnIndent", [this] { IndentCommand(false); }},
      {"Quate", [this] { QuoteCommand(true); }},
      {"UnQuate", [this] { QuoteCommand(false); }},
      {"InsDate", [this] { InsertDateTime(true); }},
      {"InsTime", [this] { InsertDateTime(false); }},
      {"InsSign", [this] { InsertSignature(); }},
      {"Seikei", [this] { Reformat(); }},
      {"ViewTag", [this] { tags_->setVisible(actions_["ViewTag"]->isChecked()); }},
      {"ViewFound", [this] { editor_->SetHighlight(actions_["ViewFound"]->isChecked()); }},
      {"InsFile", [this] { InsertFileCommand(); }},
      {"Print", [this] { PrintCommand(); }},
      {"Command", [this] { RunCommand(); }},
      {"MacroRec", [this] { ToggleMacroRecording(); }},
      {"MacroPlay", [this] { PlayMacro(); }},
  };
  for (const CommandRow& row : kCommands) {
    auto* a = new QAction(U(row.caption), this);
    a->setObjectName(row.key);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, run[row.key]);
    addAction(a);
    actions_[row.key] = a;
  }
  actions_["ViewFound"]->setCheckable(true);
  // The tag list's entry shows whether the list is shown.
  actions_["ViewTag"]->setCheckable(true);
  actions_["ViewTag"]->setChecked(true);
  auto add = [this](const char* key, const char* caption, std::function<void()> f, const QKeySequence& keys = {}) {
    auto* a = new QAction(U(caption), this);
    a->setObjectName(key);
    a->setShortcut(keys);
    connect(a, &QAction::triggered, this, std::move(f));
    addAction(a);
    actions_[key] = a;
  };
  add("Open", "開く(&O)...", [this] { Open(); });
  add("New", "新規作成(&N)", [this] { New(); });
  add("Exit", "閉じる(&X)", [this] { Exit(); }, QKeySequence(Qt::Key_Escape));
  add("SelectAll", "すべて選択(&A)", [this] { editor_->selectAll(); });
  add("MacroSave", "マクロの保存(&S)...", [this] { SaveMacro(); });
  add("Properties", "現在の設定(&P)...", [this] { EditProperties(); });
  add("Environments", "ﾌｧｲﾙ毎の環境設定(&E)...", [this] { EditEnvironments(); });
  add("Toolbar1", "ツールバー1(&1)", [this] { toolbar1_->setVisible(actions_["Toolbar1"]->isChecked()); });
  add("Toolbar2", "ツールバー2(&2)", [this] { toolbar2_->setVisible(actions_["Toolbar2"]->isChecked()); });
  actions_["Toolbar1"]->setCheckable(true);
  actions_["Toolbar2"]->setCheckable(true);
  for (int n = 0; n < 5; ++n) {
    jump_actions_[static_cast<size_t>(n)] = new QAction(QString("&%1").arg(n + 1), this);
    jump_actions_[static_cast<size_t>(n)]->setObjectName(QString("Jump%1").arg(n + 1));
    jump_actions_[static_cast<size_t>(n)]->setShortcut(QKeySequence(QString("Ctrl+%1").arg(n + 1)));
    connect(jump_actions_[static_cast<size_t>(n)], &QAction::triggered, this, [this, n] { JumpToBookmark(n); });
    mark_actions_[static_cast<size_t>(n)] = new QAction(QString("&%1").arg(n + 1), this);
    mark_actions_[static_cast<size_t>(n)]->setObjectName(QString("Mark%1").arg(n + 1));
    mark_actions_[static_cast<size_t>(n)]->setShortcut(QKeySequence(QString("Alt+%1").arg(n + 1)));
    connect(mark_actions_[static_cast<size_t>(n)], &QAction::triggered, this, [this, n] { SetBookmark(n); });
    addAction(jump_actions_[static_cast<size_t>(n)]);
    addAction(mark_actions_[static_cast<size_t>(n)]);
  }
}

// The menus' mnemonics keep clear of the default shortcuts (Alt+Q, D, T, S,
// K and the digits belong to the writing aids and the bookmarks).
void TView::BuildMenus() {
  auto a = [this](const char* key) { return actions_.at(key); };
  QMenu* file = menuBar()->addMenu(U("ファイル(&F)"));
  for (const char* k : {"Open", "New", "Save", "SaveAs", "InsFile", "Print"}) file->addAction(a(k));
  file->addSeparator();
  file->addAction(a("Exit"));
  edit_menu_ = menuBar()->addMenu(U("編集(&E)"));
  edit_menu_->setObjectName("ViewEditMenu");
  for (const char* k : {"Undo", "Redo"}) edit_menu_->addAction(a(k));
  edit_menu_->addSeparator();
  for (const char* k : {"Cut", "Copy", "Paste", "Delete", "DelLine", "SelectAll"}) edit_menu_->addAction(a(k));
  edit_menu_->addSeparator();
  for (const char* k : {"Indent", "UnIndent", "Quate", "UnQuate", "InsDate", "InsTime", "InsSign", "Seikei"})
    edit_menu_->addAction(a(k));
  canned_menu_ = edit_menu_->addMenu(U("定型文(&Y)"));
  canned_menu_->setObjectName("CannedMenu");
  QMenu* find = menuBar()->addMenu(U("検索(&R)"));
  for (const char* k : {"Find", "FindNext", "FIndPrev", "FindAll", "LineNext", "LinePrev", "Replace"})
    find->addAction(a(k));
  QMenu* marks = menuBar()->addMenu(U("しおり(&B)"));
  QMenu* jump = marks->addMenu(U("ジャンプ(&J)"));
  QMenu* set = marks->addMenu(U("設定(&S)"));
  for (int n = 0; n < 5; ++n) {
    jump->addAction(jump_actions_[static_cast<size_t>(n)]);
    set->addAction(mark_actions_[static_cast<size_t>(n)]);
  }
  QMenu* tools = menuBar()->addMenu(U("ツール(&O)"));
  for (const char* k : {"Command", "MacroRec", "MacroPlay", "MacroSave"}) tools->addAction(a(k));
  macro_menu_ = tools->addMenu(U("マクロ(&M)"));
  macro_menu_->setObjectName("MacroMenu");
  QMenu* view = menuBar()->addMenu(U("表示(&V)"));
  for (const char* k : {"ViewTag", "ViewFound", "Toolbar1", "Toolbar2"}) view->addAction(a(k));
  connect(view, &QMenu::aboutToShow, this, [this] { actions_["ViewTag"]->setChecked(!tags_->isHidden()); });
  view->addSeparator();
  view->addAction(a("Properties"));
  view->addAction(a("Environments"));
  toolbar1_ = addToolBar(U("ツールバー1"));
  toolbar1_->setObjectName("ViewToolbar1");
  for (const char* k : {"Open", "Save", "Find", "FindNext", "FindAll", "Replace"}) toolbar1_->addAction(a(k));
  toolbar2_ = addToolBar(U("ツールバー2"));
  toolbar2_->setObjectName("ViewToolbar2");
  for (const char* k : {"Cut", "Copy", "Paste", "Undo", "Redo", "Quate", "UnQuate"}) toolbar2_->addAction(a(k));
  popup_ = new QMenu(this);
  popup_->setObjectName("EditorPopup");
  for (const char* k : {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "SelectAll"}) popup_->addAction(a(k));
  popup_->addSeparator();
  canned_popup_ = popup_->addMenu(U("定型文(&Y)"));
  canned_popup_->setObjectName("CannedPopup");
  editor_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(editor_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    UpdateEnabling();
    actions_["Paste"]->setEnabled(actions_["Paste"]->isEnabled() && !editor_->isReadOnly());
    popup_->popup(editor_->mapToGlobal(p));
  });
  RebuildCannedTexts();
  RebuildMacroMenu();
}

void TView::ApplyShortcuts() {
  const ViewerSection saved = ReadSection<ViewerSection>(*ini_);
  for (const CommandRow& row : kCommands) {
    auto it = saved.shortcuts.find(row.key);
    const std::string value = it == saved.shortcuts.end() ? std::string() : it->second;
    actions_[row.key]->setShortcut(QKeySequence(QString::fromStdString(value)));
  }
}

void TView::ReadSettings() {
  const DesktopSection desktop = ReadSection<DesktopSection>(*ini_);
  const ViewerSection saved = ReadSection<ViewerSection>(*ini_);
  const int height = desktop.view_height;
  setGeometry(desktop.view_left, desktop.view_top, std::max(desktop.view_width, 200), std::max(height, 150));
  last_open_folder_ = saved.last_open;
  search_ = saved.search;
  const int tag_height = saved.prev_h;
  splitter_->setSizes({std::max(height - tag_height, 50), std::max(tag_height, 0)});
  actions_["Toolbar1"]->setChecked(saved.toolbar1);
  actions_["Toolbar2"]->setChecked(saved.toolbar2);
  toolbar1_->setVisible(actions_["Toolbar1"]->isChecked());
  toolbar2_->setVisible(actions_["Toolbar2"]->isChecked());
  actions_["ViewFound"]->setChecked(saved.st_view);
  editor_->SetHighlight(actions_["ViewFound"]->isChecked());
  env_table_ = ReadEnvTable(*ini_, program_folder_);
  RestoreLayout();
}

void TView::RestoreLayout() {
  layout_ = ReadSection<ViewerLayoutSection>(*ini_);
  DockToolBars(*this, {{toolbar1_, layout_.tbar}, {toolbar2_, layout_.abar}});
  // The tag list's column widths and order; a damaged list is passed over.
  QHeaderView* header = tags_->header();
  const QStringList sizes = QString::fromStdString(layout_.column_sizes).split(',', Qt::SkipEmptyParts);
  for (int i = 0; i < std::min<int>(static_cast<int>(sizes.size()), tag_model_->columnCount()); ++i) {
    bool ok = false;
    const int w = sizes[i].trimmed().toInt(&ok);
    if (ok && w > 0 && w <= 10000) header->resizeSection(i, w);
  }
  const QStringList order = QString::fromStdString(layout_.column_order).split(',', Qt::SkipEmptyParts);
  std::vector<int> logical;
  for (const QString& o : order) logical.push_back(o.trimmed().toInt());
  std::vector<int> sorted = logical;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> every(static_cast<size_t>(tag_model_->columnCount()));
  for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<int>(i);
  if (sorted == every)
    for (int v = 0; v < static_cast<int>(logical.size()); ++v)
      header->moveSection(header->visualIndex(logical[static_cast<size_t>(v)]), v);
}

void TView::SaveLayout() {
  layout_.tbar = PlacementOf(*this, *toolbar1_, actions_["Toolbar1"]->isChecked());
  layout_.abar = PlacementOf(*this, *toolbar2_, actions_["Toolbar2"]->isChecked());
  QStringList sizes, order;
  for (int i = 0; i < tag_model_->columnCount(); ++i) {
    sizes << QString::number(tags_->header()->sectionSize(i));
    order << QString::number(tags_->header()->logicalIndex(i));
  }
  layout_.column_sizes = sizes.join(',').toStdString();
  layout_.column_order = order.join(',').toStdString();
  WriteSection(*ini_, layout_);
}

void TView::WriteSettings() {
  if (!shown_ || ini_->IsReadOnly()) return;
  IniUpdate update(*ini_);
  const QRect g = geometry();
  DesktopSection desktop;
  desktop.view_top = g.top();
  desktop.view_left = g.left();
  desktop.view_height = g.height();
  desktop.view_width = g.width();
  WriteSection(*ini_, desktop,
               {&DesktopSection::view_top, &DesktopSection::view_left, &DesktopSection::view_height,
                &DesktopSection::view_width});
  ViewerSection v;
  const QList<int> sizes = splitter_->sizes();
  if (sizes.size() == 2) {
    v.prev_h = sizes[1];
    WriteSection(*ini_, v, {&ViewerSection::prev_h});
  }
  v.toolbar1 = actions_["Toolbar1"]->isChecked();
  v.toolbar2 = actions_["Toolbar2"]->isChecked();
  v.st_view = actions_["ViewFound"]->isChecked();
  v.search = search_;  // nothing here changes it; it goes back as it came
  WriteSection(*ini_, v,
               {&ViewerSection::search, &ViewerSection::toolbar1, &ViewerSection::toolbar2, &ViewerSection::st_view});
  SaveLayout();
  // The folder of the file last opened, where the open dialog starts next time.
  v.last_open = last_open_folder_;
  if (!v.last_open.empty()) WriteSection(*ini_, v, {&ViewerSection::last_open});
}

void TView::SetCaption() { setWindowTitle(QString::fromStdString(file_name_ == "新規" ? "新規" : PathForDisplay(file_name_))); }

void TView::UpdateCaretPanels() {
  const TextPoint p = editor_->Caret();
  SetStatus(1, U("桁:") + QString::number(p.col + 1));
  SetStatus(2, U("行:") + QString::number(p.line + 1));
}

void TView::UpdateEnabling() {
  const bool selected = editor_->hasSelectedText();
  const bool writable = editable_ && !editor_->isReadOnly();
  actions_["Cut"]->setEnabled(selected && writable);
  actions_["Copy"]->setEnabled(selected);
  actions_["Delete"]->setEnabled(selected && writable);
  actions_["Indent"]->setEnabled(selected && writable);
  actions_["UnIndent"]->setEnabled(selected && writable);
  actions_["Paste"]->setEnabled(writable && !QApplication::clipboard()->text().isEmpty());
  actions_["Undo"]->setEnabled(writable && editor_->isUndoAvailable());
  actions_["Redo"]->setEnabled(writable && editor_->isRedoAvailable());
  for (const char* k : {"Save", "SaveAs", "Replace", "DelLine", "Quate", "UnQuate", "InsDate", "InsTime", "InsSign",
                        "Seikei", "InsFile"})
    actions_[k]->setEnabled(writable && !playing_);
  actions_["MacroPlay"]->setEnabled(!macro_.empty() && !recording_ && !playing_);
  actions_["MacroSave"]->setEnabled(!macro_.empty() && !recording_ && !playing_);
  actions_["MacroRec"]->setEnabled(!playing_);
  edit_menu_->menuAction()->setVisible(editable_);
}

void TView::SetEditable(bool on) {
  editable_ = on && read_only_reason_.empty();
  editor_->setReadOnly(!editable_);
  SetStatus(3, editable_ ? (editor_->isModified() ? U("変更あり") : QString()) : U("編集不可"));
  UpdateEnabling();
}

QMessageBox::StandardButton TView::Ask(const QString& text, QMessageBox::StandardButtons buttons,
                                      const QString& caption) {
  if (ask) return ask(caption, OneBreak(text), buttons);
  // The buttons in one order on every desktop style (one role for all: a
  // button box moves buttons of distinct roles around), each with its key.
  QMessageBox box(QMessageBox::Question, caption, OneBreak(text), QMessageBox::NoButton, this);
  const std::pair<QMessageBox::StandardButton, const char*> order[] = {{QMessageBox::Yes, "はい(&Y)"},
                                                                       {QMessageBox::No, "いいえ(&N)"},
                                                                       {QMessageBox::Cancel, "キャンセル(&C)"},
                                                                       {QMessageBox::YesToAll, "すべて(&A)"}};
  std::vector<std::pair<QAbstractButton*, QMessageBox::StandardButton>> made;
  for (const auto& [button, label] : order)
    if (buttons & button) made.emplace_back(box.addButton(U(label), QMessageBox::ActionRole), button);
  if (made.empty()) return QMessageBox::NoButton;
  box.setDefaultButton(static_cast<QPushButton*>(made.front().first));
  for (const auto& [b, which] : made)
    if (which == QMessageBox::Cancel || (which == QMessageBox::No && !(buttons & QMessageBox::Cancel)))
      box.setEscapeButton(b);
  box.exec();
  for (const auto& [b, which] : made)
    if (box.clickedButton() == b) return which;
  return buttons & QMessageBox::Cancel ? QMessageBox::Cancel : QMessageBox::No;
}

QString TView::Input(const QString& caption, const QString& label, const QString& value, bool* ok) {
  if (input) return input(caption, label, value, ok);
  return QInputDialog::getText(this, caption, label, QLineEdit::Normal, value, ok);
}

int TView::RunDialog(QDialog& d) {
  if (show_dialog) {
    show_dialog(d);
    return d.result();
  }
  return d.exec();
}

std::string TView::DialogFolder() const {
  if (file_name_ == "新規") return last_open_folder_.empty() ? program_folder_ : last_open_folder_;
  const size_t slash = file_name_.find_last_of('/');
  return slash == std::string::npos ? program_folder_ : file_name_.substr(0, slash);
}

void TView::ApplyEnvironment(const std::string& file_name) {
  ApplyEnvironmentRow(ChooseEnvironment(env_table_, file_name));
}

void TView::ApplyEnvironmentRow(size_t row) {
  env_row_ = row;
  const std::optional<EditorProperties> p = ReadEnvFileProperties(env_table_[env_row_].file);
  if (!p) return;  // no file: the control keeps what it shows
  EditorProperties properties = *p;
  properties.line_numbers = true;  // an applied environment numbers the lines
  editor_->ApplyProperties(properties);
}

bool TView::LoadIntoViewer(const std::string& path) {
  SetStatus(0, U("読込み中..."));
  ViewDocument doc;
  try {
    doc = LoadViewDocument(path);
  } catch (const std::system_error& e) {
    SetStatus(0, U("ファイルを読めません: ") + FromPath(path) + ": " + QString::fromLocal8Bit(e.code().message().c_str()));
    return false;
  }
  editor_->setReadOnly(false);
  editor_->clear();
  // A binary file is no text of any kind: the default environment shows it.
  if (doc.encoding_code == ecBinary) ApplyEnvironmentRow(0);
  else ApplyEnvironment(path);
  editor_->SetLines(doc.lines);
  format_ = doc.format;
  encoding_code_ = doc.encoding_code;
  read_only_reason_ = doc.read_only_reason;
  loaded_stamp_ = doc.stamp;
  file_name_ = path;
  SetCaption();
  SetStatus(5, QString::fromStdString(EncodingDisplayName(encoding_code_)));
  bookmarks_.fill(-1);
  for (int n = 0; n < 5; ++n) {
    jump_actions_[static_cast<size_t>(n)]->setText(QString("&%1").arg(n + 1));
    mark_actions_[static_cast<size_t>(n)]->setText(QString("&%1").arg(n + 1));
  }
  editor_->setModified(false);
  SetEditable(true);
  SetStatus(0, doc.editable() ? U("ファイルを読込みました.") : QString::fromStdString(doc.read_only_reason));
  UpdateCaretPanels();
  return true;
}

void TView::LoadLines(const std::vector<std::string>& lines, const std::string& path, int32_t code) {
  editor_->setReadOnly(false);
  editor_->clear();
  ApplyEnvironment(path);
  editor_->SetLines(lines);
  format_ = TextFileFormat::FromCodes(ecSjis, leCrLf);
  encoding_code_ = code;
  read_only_reason_ = "変換したテキストのため編集できません.";
  loaded_stamp_ = {};
  file_name_ = path;
  SetCaption();
  SetStatus(5, QString::fromStdString(EncodingDisplayName(code)));
  bookmarks_.fill(-1);
  editor_->setModified(false);
  SetEditable(false);
  SetStatus(0, U("ファイルを読込みました."));
  UpdateCaretPanels();
}

void TView::SetShownName(const std::string& name) {
  file_name_ = name;
  SetCaption();
}

void TView::ShowTagPanel(bool on) {
  tags_->setVisible(on);
  actions_["ViewTag"]->setChecked(on);
  actions_["ViewTag"]->setVisible(on);
}

void TView::SetTags(std::vector<TagEntry> entries) {
  tag_model_->SetEntries(std::move(entries));
  // A new list starts at its top (the reset leaves no entry chosen).
  tags_->scrollToTop();
}

int TView::CurrentTagRow() const {
  // The chosen row, not the view's current one: the view makes its first row
  // current, unchosen, when it merely takes the focus.
  const QModelIndexList rows = tags_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void TView::SetCurrentTag(int row, bool scroll) {
  const QModelIndex index = tag_model_->index(row, 0);
  tags_->setCurrentIndex(index);
  if (scroll) tags_->scrollTo(index);
}

void TView::SetFindString(const std::string& sjis_word, int options) {
  try {
    editor_->SetFind(sjis_word, options);
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
  }
}

bool TView::JumpToHit(size_t col, size_t line, size_t length) {
  if (line >= static_cast<size_t>(editor_->LineCount())) {
    SetStatus(0, U("ジャンプ失敗"));
    return false;
  }
  editor_->Select({line, col}, length);
  UpdateCaretPanels();
  SelectTagOfCaretLine();
  return true;
}

bool TView::WriteTo(const std::string& path) {
  bool exact = true;
  const std::vector<std::string> lines = editor_->Lines(&exact);
  std::string failure;
  // The file loaded is written over only in the state it was loaded in,
  // unless the user says to after being told.
  FileStamp expected;
  if (path == file_name_ && loaded_stamp_.valid()) {
    const FileStamp now = StampOf(path);
    if (now.valid() && !(now == loaded_stamp_)) {
      const QString name = QString::fromStdString(PathForDisplay(path));
      if (Ask("[" + name + U("]は読み込んだ後に他で変更されています.上書きしますか?"),
              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    } else {
      expected = loaded_stamp_;
    }
  }
  if (!exact) failure = "Shift-JIS で表せない文字を含むため保存できません.";
  else failure = SaveViewDocument(path, lines, format_, expected);
  if (!failure.empty()) {
    SetStatus(0, QString::fromStdString(failure));
    if (!ask) QMessageBox::warning(this, U("Lorvek"), QString::fromStdString(failure));
    return false;
  }
  editor_->setModified(false);
  SetStatus(3, QString());
  loaded_stamp_ = StampOf(path);
  return true;
}

bool TView::Save() {
  if (!editable_) return false;
  if (file_name_ == "新規") return SaveAs();
  return WriteTo(file_name_);
}

bool TView::SaveAs() {
  if (!editable_) return false;
  QString chosen;
  if (choose_file) {
    chosen = choose_file(true, QString::fromStdString(DialogFolder()), DialogFilters());
  } else {
    chosen = QFileDialog::getSaveFileName(this, U("名前を付けて保存"),
                                          QString::fromStdString(file_name_ == "新規" ? DialogFolder() : file_name_),
                                          DialogFilters());
  }
  if (chosen.isEmpty()) return false;
  const std::string path = ToPath(chosen);
  if (!WriteTo(path)) return false;
  file_name_ = path;
  SetCaption();
  THistoryEx history(*ini_, "OpenHistory");
  history.LoadHistory();
  history.AddHistory(path);
  history.SaveHistory();
  return true;
}

bool TView::AskToSave() {
  if (!editor_->isModified() || !editable_) return true;
  const QString name = QString::fromStdString(file_name_ == "新規" ? "新規" : PathForDisplay(file_name_));
  const auto answer = Ask("[" + name + U("]は変更されています.保存しますか?"),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Yes) return Save();
  return true;
}

void TView::Open() {
  if (!AskToSave()) return;
  // The open dialog starts where the last file was opened from.
  const QString folder = QString::fromStdString(last_open_folder_.empty() ? DialogFolder() : last_open_folder_);
  QString chosen;
  if (choose_file) chosen = choose_file(false, folder, DialogFilters());
  else chosen = QFileDialog::getOpenFileName(this, U("開く"), folder, DialogFilters());
  if (chosen.isEmpty()) return;
  if (LoadIntoViewer(ToPath(chosen))) {
    const std::string opened = ToPath(chosen);
    last_open_folder_ = opened.substr(0, opened.find_last_of('/') == std::string::npos ? 0 : opened.find_last_of('/'));
    SetTags({});
    THistoryEx history(*ini_, "OpenHistory");
    history.LoadHistory();
    history.AddHistory(ToPath(chosen));
    history.SaveHistory();
  }
}

void TView::New() {
  if (!AskToSave()) return;
  editor_->setReadOnly(false);
  ApplyEnvironmentRow(0);
  editor_->SetLines({""});
  format_ = TextFileFormat::FromCodes(ecSjis, leCrLf);
  encoding_code_ = ecSjis;
  read_only_reason_.clear();
  loaded_stamp_ = {};
  file_name_ = "新規";
  SetCaption();
  SetTags({});
  SetEditable(true);
  SetStatus(5, QString());
  SetStatus(0, U("新規作成"));
}

QString TView::DialogFilters() const {
  QStringList filters;
  for (const std::string& f : EnvDialogFilters(env_table_)) {
    const size_t bar = f.find('|');
    QString masks = FromSjis(f.substr(bar + 1)).replace(';', ' ');
    // "*.*" means every file, also one without a dot in its name.
    masks = QString(" " + masks + " ").replace(" *.* ", " * ").trimmed();
    filters << FromSjis(f.substr(0, bar)) + " (" + masks + ")";
  }
  return filters.join(";;");
}

void TView::ShowError(const QString& text) {
  SetStatus(0, text);
  if (show_error) show_error(text);
  else QMessageBox::critical(this, U("Lorvek"), text);
}

void TView::Exit() {
  // Escape while a macro plays stops the macro, not the viewer.
  if (playing_) {
    cancel_playing_ = true;
    return;
  }
  // The question comes first; the window goes whatever the answer, and an
  // unsaved text stays in it for the next time it is shown.
  AskToSave();
  hide();
}

void TView::showEvent(QShowEvent* e) {
  shown_ = true;
  QMainWindow::showEvent(e);
}

void TView::closeEvent(QCloseEvent* e) {
  e->ignore();
  Exit();
}

}  // namespace lorvek
