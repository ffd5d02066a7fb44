// The start-up run of a command line and the hand-off of later starts.
#include <QComboBox>
#include <QGuiApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include "app/ui/auto_search_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/mask_box.h"
#include "ui/common/qt_text.h"
#include "app/ui/single_instance.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_model.h"
#include "search/mask.h"

namespace lorvek {

void TLorvekMain::ApplyParsed(const ParsedCommand& c) {
  parse_result_ = c.result;
  if (c.unmappable) refused_text_ = c.unmappable;
  if (c.folder_text) find_path_->setEditText(FromPath(*c.folder_text));
  if (c.mask_text) {
    file_masks_->setEditText(FromSjis(*c.mask_text));
    run_->WildMatch1().SetMasks(ParseMaskText(*c.mask_text));
  }
  if (c.word) find_word_->setEditText(FromSjis(*c.word));
  if (c.output_target) {
    output_target_ = *c.output_target;
    output_requested_ = true;
  }
}

void TLorvekMain::ResetForRun() {
  model_->SetRowCount(0);  // the list lets go of the rows before they are freed
  store_.Clear();
  // Nothing to replace in an empty list.
  repl_sel_act_->setEnabled(false);
  repl_all_act_->setEnabled(false);
  SetStatusText(2, "");
  SetStatusText(3, "");
  memo1_->Clear();
}

bool TLorvekMain::RunStartDialog(const QStringList& folders) {
  AutoSearchValues v;
  v.word = find_word_->currentText();
  v.mask_text = file_masks_->currentText();
  const SearchOptions& o = options_.search;
  v.fuzzy = fuzzy_act_->isChecked();
  // The whole-word button is the WholeWord setting: the shell start reads it
  // and writes it back through the button.
  v.whole_word = word_act_->isChecked();
  v.subfolders = o.find_sub;
  v.archives = o.find_also_archive;
  // The effective mode is shown: a missing or unknown value searches as mode 1.
  v.code_mode = NormalisedCodeMode(o.code_cng_mode);
  QStringList words, masks;
  for (const auto& w : history_words_.Entries()) words << FromSjis(w);
  for (int i = 0; i < file_masks_->count(); ++i) masks << file_masks_->itemText(i);
  TAutoSearch dlg(folders, v, words, masks, this);
  bool ok;
  if (run_dialog) {
    ok = run_dialog(dlg);
  } else if (headless_) {
    dlg.quiet = true;
    dlg.TryAccept();
    ok = dlg.result() == QDialog::Accepted;
    if (!ok) Message(dlg.LastMessage(), true);
  } else {
    ok = dlg.exec() == QDialog::Accepted;
  }
  if (!ok) return false;
  AutoSearchValues chosen = dlg.Values();
  // (Without a screen the values are taken as given, with the dialog's checks.)
  if (chosen.code_mode != v.code_mode) ChangeOptions([&](Options& opt) { opt.search.code_cng_mode = chosen.code_mode; });
  TakeDialogValues(chosen);
  return true;
}

void TLorvekMain::TakeDialogValues(const AutoSearchValues& v) {
  find_word_->setEditText(v.word);
  file_masks_->setEditText(v.mask_text);
  fuzzy_act_->setChecked(v.fuzzy);
  word_act_->setChecked(v.whole_word);
  sub_act_->setChecked(v.subfolders);
  arc_act_->setChecked(v.archives);
  OnSwitchToggled();
  AddWordHistory(ToSjis(v.word));
  run_->WildMatch1().SetMasks(ParseMaskText(ToSjis(v.mask_text)));
}

bool TLorvekMain::RunOver(const std::vector<std::string>& targets) {
  std::string word;
  if (!CheckedSjis(find_word_->currentText(), &word)) return false;
  if (headless_ && (word.empty() || targets.empty())) {
    // Nobody can fill in what is missing: say so instead of doing nothing.
    Message(U("検索フォルダまたはキーワードを設定して下さい."), true);
    return false;
  }
  for (const std::string& t : targets) AddFolderHistory(t);
  run_->options() = options_.search;
  run_->SetWord(word);
  run_->RunSearch(targets);
  return true;
}

void TLorvekMain::StartupRun() {
  ResetForRun();
  run_->SetSearching(true);
  SetSearchingState(true);  // the controls say so while the start dialog and the run are up
  bool done = false;
  std::string masks;
  if (refused_text_) {
    Message(QString::fromUtf8(UnmappableTextMessage(*refused_text_)), false);
  } else if (parse_result_ == kParseOptions) {
    if (!folder_list_.empty()) {
      QStringList folders;
      for (const auto& f : folder_list_) folders << FromPath(f);
      if (RunStartDialog(folders)) done = RunOver(folder_list_);
    } else if (headless_) {
      Message(U("検索フォルダまたはキーワードを設定して下さい."), true);
    }
  } else if (parse_result_ == kParseAutomatic || parse_result_ == kParseSilent) {
    // No folders collected (/A without /P): nothing runs and the program closes.
    if (!folder_list_.empty()) {
      if (CheckedSjis(file_masks_->currentText(), &masks)) {
        AddWordHistory(ToSjis(find_word_->currentText()));
        // Without a mask option the mask box's text applies.
        run_->WildMatch1().SetMasks(ParseMaskText(masks));
        done = RunOver(folder_list_);
      }
    } else if (headless_) {
      Message(U("検索フォルダまたはキーワードを設定して下さい."), true);
    }
  } else {
    SetTitle("Lorvek-シェル起動");
    std::vector<std::string> targets;
    QStringList folders;
    for (const auto& f : folder_list_) {
      targets.push_back(LongPathName(f));
      folders << FromPath(targets.back());
    }
    if (!targets.empty() && RunStartDialog(folders)) done = RunOver(targets);
  }
  FocusFirstRow();
  run_->SetSearching(false);
  SetSearchingState(false);
  // Without a screen a start that searched nothing has failed, and says so.
  if (headless_ && !done && !headless_failed_) Message(U("コマンドラインの指定が不正です."), false);
  if (!done && started_with_args_) close();
  // Without a screen nobody can use the window: a start-up search ends there.
  if (started_with_args_ && headless_) close();
}

void TLorvekMain::BringForward() {
  if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void TLorvekMain::ReceiveHandOff() {
  const std::string path = HandOffFilePath(program_folder_);
  if (run_->Searching()) {
    // Said without waiting for an answer: the running search goes on.
    Message(U("エクスプローラから起動メッセージを受け取りましたが\n\r現在Grep中ですので実行出来ません."), true,
            /*wait=*/false);
    return;
  }
  if (!QFileInfo::exists(FromPath(path))) return;
  std::vector<std::string> lines;
  try {
    lines = ReadHandOffFile(path);
  } catch (const std::exception&) {
  }
  std::remove(path.c_str());
  // The later start is answered now; the request runs at the next idle moment.
  QTimer::singleShot(0, this, [this, lines] { RunHandOff(lines); });
}

void TLorvekMain::RunHandOff(const std::vector<std::string>& lines) {
  if (run_->Searching()) return;
  BringForward();
  bool all_empty = true;
  bool has_option = false;
  for (const auto& l : lines) {
    if (!l.empty()) all_empty = false;
    if (IsOptionArgument(l)) has_option = true;
  }
  if (all_empty) return;
  std::vector<std::string> paths;
  if (has_option) {
    ApplyParsed(ParseOptions(lines, folder_list_));
    if (refused_text_) {
      Message(QString::fromUtf8(UnmappableTextMessage(*refused_text_)), false);
      refused_text_.reset();
      return;
    }
  } else {
    for (const auto& l : lines)
      if (!l.empty()) paths.push_back(l);  // an empty line is not a target
  }
  ResetForRun();
  run_->SetSearching(true);
  SetSearchingState(true);  // the controls say so while the start dialog and the run are up
  if (!paths.empty()) {
    SetTitle("Lorvek-シェル起動");
    QStringList folders;
    for (const auto& p : paths) folders << FromPath(p);
    RunStartDialog(folders);
    RunOver(paths);
  }
  FocusFirstRow();
  run_->SetSearching(false);
  SetSearchingState(false);
}

}  // namespace lorvek
