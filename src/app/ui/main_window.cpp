// Composition of the main window and its settings.
#include "app/ui/main_window.h"

#include "view/ui/view_window.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/ui/mask_box.h"
#include "ui/common/qt_text.h"
#include "ui/common/tool_bar_places.h"
#include "settings/settings_schema.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"

namespace lorvek {
namespace {

// 2026-12-28 23:58:58 UTC as a FILETIME: a date and time with wide digits.
constexpr int64_t kWideDate = (1798502338LL + 11644473600LL) * 10000000LL;

// "short|long" hints: the short text as tool tip, the long one for the status bar.
void SetHint(QAction* a, const char* hint) {
  QString h = U(hint);
  a->setToolTip(h.section('|', 0, 0));
  a->setStatusTip(h.section('|', 1));
}

QAction* Switch(QObject* parent, const char* name, const char* caption, const char* hint) {
  auto* a = new QAction(U(caption), parent);
  a->setObjectName(name);
  a->setCheckable(true);
  SetHint(a, hint);
  return a;
}

}  // namespace

TLorvekMain::TLorvekMain(std::string program_folder, std::vector<std::string> args, QWidget* parent)
    : QMainWindow(parent),
      program_folder_(std::move(program_folder)),
      args_(std::move(args)),
      ini_(program_folder_ + "Lorvek.ini", /*make_writable=*/true, /*own_file=*/true),
      history_words_(ini_, "HistoryEx1"),
      history_folders_(ini_, "HistoryEx2") {
  setObjectName("TLorvekMain");
  setWindowTitle("Lorvek");
  QApplication::setApplicationName("Lorvek");
  run_ = std::make_unique<SearchRun>(*this, store_, program_folder_);
  view_ = std::make_unique<TView>(program_folder_);
  run_->TagListOutput = [this] { TagListOutput(); };
  BuildActions();
  BuildToolBars();
  BuildMenus();
  BuildCentre();
  BuildStatusBar();
  ReadSettings();
  SetSearchingState(false);
  if (const std::string why = ini_.Distrust(); !why.empty()) {
    // Said once the window is up; the defaults hold and nothing is written there.
    const QString text = U("設定ファイルを信頼できないため使用しません: ") + FromPath(ini_.FileName()) + " (" +
                         QString::fromStdString(why) + ")";
    SetStatusText(0, text.toStdString());
    QTimer::singleShot(0, this, [this, text] { Message(text, true, /*wait=*/false); });
  }
  if (!args_.empty()) {
    ApplyParsed(ParseOptions(args_, folder_list_));
    started_with_args_ = true;
    QTimer::singleShot(0, this, [this] { StartupRun(); });
  }
}

TLorvekMain::~TLorvekMain() = default;

void TLorvekMain::BuildActions() {
  QStyle* st = style();
  find_act_ = new QAction(st->standardIcon(QStyle::SP_FileDialogContentsView), U("&Grep"), this);
  find_act_->setObjectName("FindBtn");
  find_act_->setShortcut(QKeySequence("Ctrl+G"));
  SetHint(find_act_, "Grep|検索を実行します");
  connect(find_act_, &QAction::triggered, this, &TLorvekMain::FindButtonClick);

  exit_act_ = new QAction(st->standardIcon(QStyle::SP_DialogCloseButton), U("閉じる(&X)"), this);
  exit_act_->setObjectName("ExitBtn");
  SetHint(exit_act_, "閉じる|Lorvekを終了します");
  connect(exit_act_, &QAction::triggered, this, &QWidget::close);

  abort_act_ = new QAction(st->standardIcon(QStyle::SP_BrowserStop), U("中止"), this);
  abort_act_->setObjectName("AbortBtn");
  SetHint(abort_act_, "中止|検索を中止します");
  connect(abort_act_, &QAction::triggered, this, &TLorvekMain::AbortBtnClick);

  // Both replace commands start disabled: they follow the store and the selection.
  repl_sel_act_ = new QAction(st->standardIcon(QStyle::SP_BrowserReload), U("選択行を置換(&R)..."), this);
  repl_sel_act_->setObjectName("ReplSelBtn");
  repl_sel_act_->setShortcut(QKeySequence("Ctrl+R"));
  SetHint(repl_sel_act_, "選択行置換|選択行を置換します");
  repl_all_act_ = new QAction(st->standardIcon(QStyle::SP_DialogApplyButton), U("すべて置換(&A)..."), this);
  repl_all_act_->setObjectName("ReplAllBtn");
  repl_all_act_->setShortcut(QKeySequence("Ctrl+A"));
  SetHint(repl_all_act_, "全て置換|全てを置換します");
  connect(repl_sel_act_, &QAction::triggered, this, &TLorvekMain::ReplaceSelectedCommand);
  connect(repl_all_act_, &QAction::triggered, this, &TLorvekMain::ReplaceAllCommand);

  arc_act_ = Switch(this, "FindArcBtn", "書庫", "書庫内検索|書庫内検索をON/OFFします.");
  fuzzy_act_ = Switch(this, "FuzzyBtn", "曖昧", "曖昧検索|曖昧検索をON/OFFします.");
  sub_act_ = Switch(this, "FindSubBtn", "ｻﾌﾞ", "ｻﾌﾞﾃﾞｨﾚｸﾄﾘ検索|ｻﾌﾞﾃﾞｨﾚｸﾄﾘ検索をON/OFFします.");
  word_act_ = Switch(this, "WholeWdBtn", "単", "ﾜｰﾄﾞ検索|ﾜｰﾄﾞ単位検索切替え");
  for (QAction* a : {arc_act_, fuzzy_act_, sub_act_, word_act_})
    connect(a, &QAction::toggled, this, &TLorvekMain::OnSwitchToggled);

  property_act_ = new QAction(U("設定(&P)..."), this);
  property_act_->setObjectName("Property1");
  property_act_->setShortcut(QKeySequence("Ctrl+P"));
  connect(property_act_, &QAction::triggered, this, &TLorvekMain::EditOptions);

  open_viewer_act_ = new QAction(U("内蔵ビュワーで開く(&V)..."), this);
  open_viewer_act_->setShortcut(QKeySequence("Ctrl+W"));
  open_editor_act_ = new QAction(U("エディタで開く(&E)..."), this);
  open_editor_act_->setShortcut(QKeySequence("Ctrl+J"));
  open_app_act_ = new QAction(U("アプリケーションで開く(&O)..."), this);
  open_app_act_->setShortcut(QKeySequence("Ctrl+X"));
  open_viewer_act_->setObjectName("OpenViewer");
  open_editor_act_->setObjectName("OpenEditor");
  open_app_act_->setObjectName("OpenApp");
  connect(open_viewer_act_, &QAction::triggered, this, [this] { OpenHit(OpenForce::Viewer); });
  connect(open_editor_act_, &QAction::triggered, this, [this] { OpenHit(OpenForce::Editor); });
  connect(open_app_act_, &QAction::triggered, this, &TLorvekMain::OpenWithApplication);

  copy_names_act_ = new QAction(U("ファイル名をコﾋﾟー(&C)"), this);
  connect(copy_names_act_, &QAction::triggered, this, &TLorvekMain::CopyFileNames);
  copy_folder_act_ = new QAction(U("パス名をコピー(&P)"), this);
  connect(copy_folder_act_, &QAction::triggered, this, &TLorvekMain::CopyFolder);
}

void TLorvekMain::BuildToolBars() {
  toolbar1_ = new QToolBar(U("検索パス"), this);
  toolbar1_->setObjectName("Toolbar1");
  auto* folder_btn = toolbar1_->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), U("ﾌｫﾙﾀﾞ参照"));
  folder_btn->setObjectName("FindPathButton");
  SetHint(folder_btn, "ﾌｫﾙﾀﾞ参照|検索を行なうﾌｫﾙﾀﾞを参照します");
  connect(folder_btn, &QAction::triggered, this, &TLorvekMain::BrowseFolder);
  find_path_ = new QComboBox(toolbar1_);
  find_path_->setObjectName("FindPath");
  find_path_->setEditable(true);
  find_path_->setInsertPolicy(QComboBox::NoInsert);
  find_path_->setCompleter(nullptr);  // an entry is taken only when chosen: no text the user did not type
  find_path_->setMinimumWidth(260);
  find_path_->installEventFilter(this);
  find_path_->setAcceptDrops(true);
  find_path_->lineEdit()->setAcceptDrops(false);
  connect(find_path_->lineEdit(), &QLineEdit::returnPressed, this, &TLorvekMain::FindButtonClick);
  // The entry under the pointer in the drop-down list becomes the box's hint.
  connect(find_path_, &QComboBox::highlighted, this, [this](int i) { find_path_->setToolTip(find_path_->itemText(i)); });
  toolbar1_->addWidget(find_path_);

  toolbar2_ = new QToolBar(U("コマンド"), this);
  toolbar2_->setObjectName("Toolbar2");
  toolbar2_->addAction(find_act_);
  toolbar2_->addAction(exit_act_);
  toolbar2_->addSeparator();
  toolbar2_->addAction(abort_act_);
  toolbar2_->addSeparator();
  toolbar2_->addAction(repl_sel_act_);
  toolbar2_->addAction(repl_all_act_);

  toolbar3_ = new QToolBar(U("検索単語"), this);
  toolbar3_->setObjectName("ToolBar3");
  toolbar3_->addWidget(new QLabel(U("検索："), toolbar3_));
  toolbar3_->addSeparator();
  for (QAction* a : {arc_act_, fuzzy_act_, sub_act_, word_act_}) toolbar3_->addAction(a);
  find_word_ = new QComboBox(toolbar3_);
  find_word_->setObjectName("FindWord");
  find_word_->setEditable(true);
  find_word_->setInsertPolicy(QComboBox::NoInsert);
  find_word_->setCompleter(nullptr);
  find_word_->setMinimumWidth(200);
  find_word_->setToolTip(U("検索する単語"));
  find_word_->setStatusTip(U("ここに検索する単語を入力します."));
  find_word_->installEventFilter(this);  // the box, not its line edit, hears the focus leave
  connect(find_word_->lineEdit(), &QLineEdit::returnPressed, this, &TLorvekMain::FindButtonClick);
  toolbar3_->addWidget(find_word_);

  toolbar4_ = new QToolBar(U("対象ファイル"), this);
  toolbar4_->setObjectName("Toolbar4");
  auto* edit_masks = toolbar4_->addAction(U("･･･"));
  edit_masks->setObjectName("FileMasksButton");
  connect(edit_masks, &QAction::triggered, this, &TLorvekMain::EditMasks);
  file_masks_ = new MaskBox(toolbar4_);
  file_masks_->installEventFilter(this);
  connect(file_masks_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    // Picking a mask set also picks its mode: exclusion sets exclude.
    if (index >= 0 && static_cast<size_t>(index) < mask_sets_.sets.size())
      ChangeOptions([&](Options& o) { o.search.find_mode = file_masks_->IsExcludeEntry(index) ? 1 : 0; });
  });
  toolbar4_->addWidget(file_masks_);

  for (QToolBar* tb : {toolbar1_, toolbar2_, toolbar3_, toolbar4_}) addToolBar(Qt::TopToolBarArea, tb);

  word_prog_ = new QToolBar(U("WordProg"), this);
  word_prog_->setObjectName("WordProg");
  word_prog_label_ = new QLabel(U("Word文書変換中：　"), word_prog_);
  word_prog_->addWidget(word_prog_label_);
  auto* bar = new QProgressBar(word_prog_);
  word_prog_bar_ = bar;
  bar->setRange(0, 100);
  word_prog_->addWidget(bar);
  addToolBar(Qt::BottomToolBarArea, word_prog_);
  word_prog_->hide();
  word_prog_->toggleViewAction()->setVisible(false);  // shown only while Word files convert
}

void TLorvekMain::BuildCentre() {
  model_ = new ResultModel(store_, this);
  list_ = new ResultList(this);
  list_->setModel(model_);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* h = list_->horizontalHeader();
  h->resizeSection(ResultModel::kFile, 250);
  h->resizeSection(ResultModel::kText, 300);
  h->setStretchLastSection(true);
  list_->setColumnHidden(ResultModel::kC, true);
  list_->setColumnHidden(ResultModel::kPath, true);
  h->setSortIndicator(-1, Qt::DescendingOrder);  // no arrow until a header is clicked
  connect(h, &QHeaderView::sectionClicked, this, &TLorvekMain::OnHeaderClicked);
  connect(list_, &QWidget::customContextMenuRequested, this, &TLorvekMain::ShowContextMenu);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TLorvekMain::OnSelectionChanged);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TLorvekMain::OnSelectionChanged, Qt::UniqueConnection);
  });
  list_->on_escape = [this] { run_->RequestAbort(); };
  list_->drag_paths = [this] { return HitFilePaths(store_, list_->SelectedRows(), work_folder_.Folder()); };
  list_->on_enter = [this] { OpenHit(OpenForce::None); };
  connect(list_, &QAbstractItemView::doubleClicked, this, [this] { OpenHit(OpenForce::None); });

  memo1_ = new PreviewPane(this);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->addWidget(list_);
  splitter_->addWidget(memo1_);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  setCentralWidget(splitter_);
}

void TLorvekMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("PBar");
  const int widths[5] = {300, 40, 100, 100, 50};
  for (int i = 0; i < 5; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setObjectName(QString("Panel%1").arg(i));
    // The counters' panels start wide enough for a large count in this font.
    int width = widths[i];
    if (i == 2) width = std::max(width, panels_[i]->fontMetrics().horizontalAdvance(U("検索ファイル: 9999999")) + 12);
    if (i == 3) width = std::max(width, panels_[i]->fontMetrics().horizontalAdvance(U("マッチ : 9999999 行")) + 12);
    if (i == 0 || i == 1) panels_[i]->setFixedWidth(width);
    else panels_[i]->setMinimumWidth(width);
    if (i == 1) panels_[i]->setAlignment(Qt::AlignCenter);
    if (i != 4) panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panels_[i]);
  }
  progress_ = new QProgressBar(bar);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(120);
  bar->addWidget(progress_, 1);
}

void TLorvekMain::ReadSettings() {
  // Placement (the XSize/YSize keys hold the right and bottom edges); a key
  // not stored keeps the designed placement.
  const DesktopSection placement = ReadSection<DesktopSection>(ini_);
  // Damaged values must not overflow the arithmetic below: no screen is that large.
  auto coordinate = [](std::optional<int> stored, int designed) {
    return std::clamp(stored.value_or(designed), -100000, 100000);
  };
  int x = coordinate(placement.main_x, 100), y = coordinate(placement.main_y, 100);
  int right = coordinate(placement.main_x_size, x + 900);
  int bottom = coordinate(placement.main_y_size, y + 600);
  QRect g = QRect(QPoint(x, y), QPoint(right - 1, bottom - 1));
  if (g.width() > 200 && g.height() > 150) setGeometry(g);
  else resize(900, 600);
  KeepOnScreen();
  if (placement.main_show == 3) setWindowState(Qt::WindowMaximized);
  RestoreToolBars(placement.main_tool_bars);

  options_ = ReadOptions(ini_);
  ApplyStartupOptions(options_, *run_);
  SyncSwitchesFromOptions();
  const bool preview = options_.preview;
  memo1_->setVisible(preview);
  splitter_->setSizes({400, std::max(10, options_.prev_hight)});
  list_->setColumnHidden(ResultModel::kDate, !options_.show_f_date);
  // Wide enough for a date and time in this font (120 pixels at the usual font size).
  list_->horizontalHeader()->resizeSection(
      ResultModel::kDate, std::max(120, list_->fontMetrics().horizontalAdvance(ResultModel::DateText(kWideDate)) + 16));
  if (preview_act_) preview_act_->setChecked(preview);

  history_words_.LoadHistory();
  history_folders_.LoadHistory();
  FillHistoryBox(find_word_, history_words_, true);
  FillHistoryBox(find_path_, history_folders_, true);
  mask_sets_ = ReadMaskSets(ini_);
  file_masks_->SetEntries(mask_sets_);
}

void TLorvekMain::FillHistoryBox(QComboBox* box, const THistoryEx& history, bool take_top) {
  const QString text = box->currentText();
  box->clear();
  for (const auto& e : history.Entries()) box->addItem(box == find_path_ ? FromPath(e) : FromSjis(e));
  box->setEditText(take_top ? (box->count() ? box->itemText(0) : QString()) : text);
}

void TLorvekMain::ChangeOptions(const std::function<void(Options&)>& change) {
  change(options_);
  SyncSwitchesFromOptions();
}

void TLorvekMain::SyncSwitchesFromOptions() {
  const SearchOptions& o = options_.search;
  for (QAction* a : {arc_act_, fuzzy_act_, sub_act_, word_act_}) a->blockSignals(true);
  arc_act_->setChecked(o.find_also_archive);
  fuzzy_act_->setChecked(o.fuzzy_char);
  sub_act_->setChecked(o.find_sub);
  word_act_->setChecked(o.whole_word);
  for (QAction* a : {arc_act_, fuzzy_act_, sub_act_, word_act_}) a->blockSignals(false);
}

void TLorvekMain::KeepOnScreen() {
  // A position saved on a larger or another screen must not open the window
  // where nobody can see it.
  for (QScreen* s : QGuiApplication::screens())
    if (s->availableGeometry().intersects(frameGeometry().adjusted(40, 40, -40, -40))) return;
  QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return;
  QRect avail = primary->availableGeometry();
  resize(std::min(width(), avail.width()), std::min(height(), avail.height()));
  move(avail.center() - QPoint(width() / 2, height() / 2));
}

void TLorvekMain::RestoreToolBars(const std::string& tool_bar_state) {
  const MainToolBarsSection saved = ReadSection<MainToolBarsSection>(ini_);
  DockToolBars(*this, {{toolbar1_, saved.toolbar1}, {toolbar2_, saved.toolbar2}, {toolbar3_, saved.toolbar3},
                       {toolbar4_, saved.toolbar4}});
  for (const auto& [tb, p] : {std::pair{toolbar1_, &saved.toolbar1}, std::pair{toolbar2_, &saved.toolbar2},
                              std::pair{toolbar3_, &saved.toolbar3}, std::pair{toolbar4_, &saved.toolbar4}})
    tb->setVisible(p->visible);
  // The keys above place docked bars; the window's own record also brings
  // back a bar the user left floating.
  if (!tool_bar_state.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(tool_bar_state)));
  word_prog_->hide();
}

void TLorvekMain::SaveToolBars() {
  MainToolBarsSection bars;
  const std::pair<QToolBar*, ToolBarPlacement*> placements[] = {{toolbar1_, &bars.toolbar1},
                                                                {toolbar2_, &bars.toolbar2},
                                                                {toolbar3_, &bars.toolbar3},
                                                                {toolbar4_, &bars.toolbar4},
                                                                {word_prog_, &bars.word_prog}};
  for (const auto& [tb, p] : placements) *p = PlacementOf(*this, *tb, tb == word_prog_ ? false : tb->isVisibleTo(this));
  WriteSection(ini_, bars);
  DesktopSection placement;
  placement.main_tool_bars = saveState().toBase64().toStdString();
  WriteSection(ini_, placement, {&DesktopSection::main_tool_bars});
}

void TLorvekMain::WriteSettings() {
  try {
    IniUpdate update(ini_);
    SaveToolBars();
    history_words_.SaveHistory();
    history_folders_.SaveHistory();
    QRect g = normalGeometry();
    DesktopSection placement;
    placement.main_flags = 0;
    placement.main_show = isMaximized() ? 3 : 1;
    placement.main_max_x = -1;
    placement.main_max_y = -1;
    placement.main_x = g.left();
    placement.main_y = g.top();
    placement.main_x_size = g.right() + 1;
    placement.main_y_size = g.bottom() + 1;
    WriteSection(ini_, placement,
                 {&DesktopSection::main_flags, &DesktopSection::main_show, &DesktopSection::main_max_x,
                  &DesktopSection::main_max_y, &DesktopSection::main_x, &DesktopSection::main_y,
                  &DesktopSection::main_x_size, &DesktopSection::main_y_size});
    ChangeOptions([&](Options& o) {
      o.preview = memo1_->isVisible();
      if (o.preview) o.prev_hight = memo1_->height();
    });
    WriteSettingsAtClose(ini_, options_, ReadMember(ini_, &ViewerSection::show_tag),
                         ToSjis(file_masks_->currentText()));
  } catch (const std::exception&) {
    // The settings file could not be written: the program still closes.
  }
}

void TLorvekMain::closeEvent(QCloseEvent* e) {
  if (run_->Searching()) {
    e->ignore();
    return;
  }
  // The viewer goes with the main window, its unsaved text not unasked;
  // キャンセル there keeps both open.
  if (!view_->AskToSaveChanges()) {
    e->ignore();
    return;
  }
  view_->hide();
  find_path_->setAcceptDrops(false);
  // A run without a screen must not become the next run's defaults.
  if (!headless_) WriteSettings();
  model_->SetRowCount(0);
  store_.Clear();
  if (work_folder_.Exists() && !work_folder_.Remove()) Message(U(kWorkFolderRemoveFailed), true);
  e->accept();
}

}  // namespace lorvek
