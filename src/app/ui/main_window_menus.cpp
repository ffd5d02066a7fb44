// The main menu of the main window.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "app/ui/main_window.h"
#include "replace/replace_journal.h"
#include "ui/common/qt_text.h"
#include "results/ui/preview_pane.h"

namespace lorvek {

void TLorvekMain::BuildMenus() {
  QMenuBar* bar = menuBar();

  file_menu_ = bar->addMenu(U("ファイル(&F)"));
  file_menu_->setObjectName("File1");
  find_act_->setText(U("&Grep"));
  file_menu_->addAction(find_act_);
  file_menu_->addAction(U("検索語(&W)..."), this, &TLorvekMain::InputWord);
  file_menu_->addAction(U("検索対象ファイル(&L)..."), this, &TLorvekMain::InputMasks);
  file_menu_->addAction(U("検索フォルダ参照(&B)..."), this, &TLorvekMain::BrowseFolder);
  file_menu_->addSeparator();
  for (QAction* a : {open_viewer_act_, open_editor_act_, open_app_act_}) file_menu_->addAction(a);
  file_menu_->addSeparator();
  file_menu_->addAction(exit_act_);
  connect(file_menu_, &QMenu::aboutToShow, this, &TLorvekMain::UpdateRowCommands);

  // The 編集 menu's text commands stay hidden; the way back from the last
  // replace is what it shows.
  QMenu* edit = bar->addMenu(U("編集(&E)"));
  edit->setObjectName("Edit1");
  for (const char* hidden : {"切り取り(&T)", "コピー(&C)", "削除(&D)"}) edit->addAction(U(hidden))->setVisible(false);
  undo_replace_act_ = edit->addAction(U("置換を元に戻す(&U)"), this, &TLorvekMain::UndoReplaceCommand);
  undo_replace_act_->setObjectName("UndoReplace");
  connect(edit, &QMenu::aboutToShow, this, [this] {
    undo_replace_act_->setEnabled(!run_->Searching() && HasReplaceJournal(ReplaceJournalPath(program_folder_)));
  });

  view_menu_ = bar->addMenu(U("表示(&V)"));
  view_menu_->setObjectName("Option1");
  QMenu* bars = view_menu_->addMenu(U("ツールバー(&T)"));
  const std::pair<const char*, QToolBar*> switches[] = {{"検索パス(&P)", toolbar1_},
                                                        {"検索単語(&W)", toolbar3_},
                                                        {"対象ファイル(&F)", toolbar4_},
                                                        {"コマンド(&C)", toolbar2_}};
  for (const auto& [caption, tb] : switches) {
    QAction* a = bars->addAction(U(caption));
    a->setCheckable(true);
    QToolBar* target = tb;
    connect(a, &QAction::triggered, this, [target](bool on) { target->setVisible(on); });
    toolbar_switches_ << a;
  }
  connect(bars, &QMenu::aboutToShow, this, [this] {
    QToolBar* order[4] = {toolbar1_, toolbar3_, toolbar4_, toolbar2_};
    for (int i = 0; i < 4; ++i) toolbar_switches_[i]->setChecked(order[i]->isVisibleTo(this));
  });
  preview_act_ = view_menu_->addAction(U("プレビュー(&V)"));
  preview_act_->setCheckable(true);
  preview_act_->setShortcut(QKeySequence("Ctrl+F1"));
  connect(preview_act_, &QAction::triggered, this, &TLorvekMain::TogglePreview);
  connect(view_menu_, &QMenu::aboutToShow, this, [this] { preview_act_->setChecked(memo1_->isVisible()); });

  tool_menu_ = bar->addMenu(U("ツール(&T)"));
  tool_menu_->setObjectName("T1");
  tool_menu_->addAction(repl_all_act_);
  tool_menu_->addAction(repl_sel_act_);
  tool_menu_->addSeparator();
  tool_menu_->addAction(copy_names_act_);
  tool_menu_->addAction(copy_folder_act_);
  tool_menu_->addSeparator();
  tag_menu_ = tool_menu_->addMenu(U("タグファイル(&T)"));
  tag_menu_->addAction(U("テキストファイル書き出し(&F)"), this, &TLorvekMain::ExportTagFile);
  tag_menu_->addAction(U("CSVファイル書き出し(&S)"), this, &TLorvekMain::ExportCsv);
  tag_menu_->addAction(U("HTMLファイル書き出し(&H)"), this, &TLorvekMain::ExportHtml);
  tag_menu_->addSeparator();
  tag_menu_->addAction(U("クリップボードへコピー(&C)"), this, &TLorvekMain::CopyTagList);
  tag_menu_->addAction(U("エディタで開く(&E)..."), this, &TLorvekMain::OpenTagListInEditor);
  connect(tool_menu_, &QMenu::aboutToShow, this, &TLorvekMain::UpdateRowCommands);

  option_menu_ = bar->addMenu(U("オプション(&O)"));
  option_menu_->setObjectName("Option2");
  const std::pair<const char*, QAction*> option_switches[] = {
      {"曖昧検索(&Z)", fuzzy_act_}, {"ワード検索(&W)", word_act_}, {"サブディレクトリ(&S)", sub_act_},
      {"書庫内検索(&A)", arc_act_}};
  QList<QAction*> menu_switches;
  for (const auto& [caption, button] : option_switches) {
    QAction* a = option_menu_->addAction(U(caption));
    a->setCheckable(true);
    QAction* b = button;
    connect(a, &QAction::triggered, this, [b](bool on) { b->setChecked(on); });
    menu_switches << a;
  }
  QMenu* code = option_menu_->addMenu(U("文字コード(&C)"));
  code->menuAction()->setVisible(false);
  QList<QAction*> code_items;
  const std::pair<const char*, int> modes[] = {{"SJIS(&S)", 0}, {"自動変換(&A)", 1}, {"変換しない(&N)", 2}};
  for (const auto& [caption, mode] : modes) {
    QAction* a = code->addAction(U(caption));
    a->setCheckable(true);
    int m = mode;
    connect(a, &QAction::triggered, this, [this, m] { ChangeOptions([m](Options& o) { o.search.code_cng_mode = m; }); });
    code_items << a;
  }
  connect(option_menu_, &QMenu::aboutToShow, this, [this, menu_switches, code_items] {
    QAction* buttons[4] = {fuzzy_act_, word_act_, sub_act_, arc_act_};
    for (int i = 0; i < 4; ++i) menu_switches[i]->setChecked(buttons[i]->isChecked());
    // Mode 3 has no item of its own here (only the start dialog offers it).
    const int mode = NormalisedCodeMode(options_.search.code_cng_mode);
    for (int i = 0; i < code_items.size(); ++i) code_items[i]->setChecked(i == mode);
  });
  option_menu_->addSeparator();
  option_menu_->addAction(property_act_);
  QMenu* clear = option_menu_->addMenu(U("履歴消去(&H)"));
  clear->addAction(U("検索フォルダ消去(&F)"), this, [this] { ClearHistory(false); });
  clear->addAction(U("検索語消去(&W)"), this, [this] { ClearHistory(true); });

  help_menu_ = bar->addMenu(U("ヘルプ&H)"));
  help_menu_->setObjectName("Help1");
  help_menu_->addAction(U("目次(&C)..."), this, &TLorvekMain::ShowHelp);
  QAction* ask = help_menu_->addAction(U("作者へ問合せ(&S)..."));
  ask->setVisible(false);
  help_menu_->addAction(U("バージョン情報(&A)..."), this, &TLorvekMain::ShowAbout);

  error_log_act_ = bar->addAction(U("エラーログ(&E)"));
  error_log_act_->setObjectName("E1");
  error_log_act_->setVisible(false);
  connect(error_log_act_, &QAction::triggered, this, &TLorvekMain::ShowErrorLog);
}

}  // namespace lorvek
