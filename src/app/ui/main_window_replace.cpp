// The replace commands of the main window and its side of a replace run.
#include <unistd.h>

#include <map>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QToolBar>

#include "app/ui/main_window.h"
#include "ui/common/qt_text.h"
#include "replace/replace_journal.h"
#include "replace/replace_preview.h"
#include "replace/replace_run.h"
#include "text/file_bytes.h"
#include "text/text_codec.h"
#include "replace/ui/replace_dialogs.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"

namespace lorvek {
namespace {

const char kReplacing[] = "置換中...";
const char kConvertingWord[] = "Word文書変換中：　";

}  // namespace

// The window as the replace run sees it.
class TLorvekMain::ReplaceSide : public ReplaceFrontEnd {
 public:
  explicit ReplaceSide(TLorvekMain& w) : w_(w) {}
  Answer AskReplace(const std::string& question) override {
    return AskReplaceMatch(&w_, QString::fromUtf8(question));
  }
  bool ContinueDespiteHtmlTags(bool& dont_show_again) override {
    TReplQuery query(1, w_.ini_, &w_);
    const bool go_on = query.exec() == QDialog::Accepted;
    dont_show_again = query.DontShowAgain();
    w_.options_.html_repl_ignore = dont_show_again;
    return go_on;
  }
  void ShowProgress(size_t rows) override {
    w_.word_prog_label_->setText(U(kReplacing));
    w_.word_prog_bar_->setRange(0, rows > 0 ? static_cast<int>(rows) - 1 : 0);
    w_.word_prog_bar_->setValue(0);
    w_.word_prog_->show();
  }
  void SetProgress(size_t row) override { w_.word_prog_bar_->setValue(static_cast<int>(row)); }
  void HideProgress() override {
    w_.word_prog_->hide();
    w_.word_prog_bar_->setValue(0);
    w_.word_prog_label_->setText(U(kConvertingWord));
  }
  void SetStatusText(const std::string& text) override { w_.SetStatusText(0, text); }
  void EnableAbort(bool on) override { w_.abort_act_->setEnabled(on); }
  void ProcessPendingEvents() override { QApplication::processEvents(); }
  bool AbortRequested() override { return w_.run_->AbortRequested(); }
  void RowChanged(size_t) override {}

 private:
  TLorvekMain& w_;
};

bool TLorvekMain::PassReplaceWarning(int kind, bool& ignore) {
  if (ignore) return true;
  TReplQuery query(kind, ini_, this);
  const bool go_on = query.exec() == QDialog::Accepted;
  // The box holds for this session whichever way the dialog closed; 続行 wrote it.
  ignore = query.DontShowAgain();
  return go_on;
}

void TLorvekMain::ReplaceAllCommand() {
  if (run_->Searching() || store_.empty()) return;
  if (options_.search.find_onece && !PassReplaceWarning(0, options_.repl_ignore)) return;
  if (options_.search.code_cng_mode == 2 && !PassReplaceWarning(2, options_.code_repl_ignore)) return;
  TReplace dialog(ini_, this);
  const int answer = dialog.exec();
  if (answer != QDialog::Accepted && answer != TReplace::Preview) return;
  RunReplace(dialog.Text(), false, answer == TReplace::Preview);
}

void TLorvekMain::ReplaceSelectedCommand() {
  if (run_->Searching() || list_->SelectedRows().empty()) return;
  TReplace dialog(ini_, this);
  const int answer = dialog.exec();
  if (answer != QDialog::Accepted && answer != TReplace::Preview) return;
  RunReplace(dialog.Text(), true, answer == TReplace::Preview);
}

void TLorvekMain::RunReplace(const QString& text, bool selected_only, bool preview) {
  CompiledWordRef word = run_->Compiled();
  // The word of the search, with the fuzzy switch shown now (as the
  // whole-word switch below).
  if (word) {
    try {
      word = CompiledWord::Compile(word->Word(), fuzzy_act_->isChecked());
    } catch (const std::exception&) {
    }
  }
  std::string replacement;
  if (!word || !CheckedSjis(text, &replacement)) return;
  ReplaceSide side(*this);
  ReplaceSettings settings;
  // The whole-word switch as the window shows it now: a user who turned it
  // off after the search means every match of the word.
  settings.whole_word = word_act_->isChecked();
  settings.code_cng_mode = options_.search.code_cng_mode;
  settings.html_tag = options_.search.html_tag;
  settings.html_repl_ignore = options_.html_repl_ignore;
  run_->ClearAbortRequest();
  const ReplacingScope busy(*this);
  const std::vector<size_t> rows = list_->SelectedRows();
  ReplacePreview seen;
  ReplaceChoice choice;
  if (preview) {
    seen = PreviewReplace(store_, *word, settings, side, replacement, selected_only, rows);
    if (seen.aborted) {  // キャンセル at the HTML warning
      SetStatusText(0, "処理を中断しました.");
      return;
    }
    TReplPreview window(seen, this);
    if (window.exec() != QDialog::Accepted) {
      SetStatusText(0, "置換を取り消しました.");
      return;
    }
    choice = window.Choice();
    // The warning was answered for what the window showed.
    settings.html_repl_ignore = true;
    run_->ClearAbortRequest();
  }
  ReplaceRun replace(store_, *word, settings, side);
  ReplaceJournal journal(ReplaceJournalPath(program_folder_));
  replace.SetJournal(&journal);
  if (preview) replace.LimitTo(&choice);
  const ReplaceResult result = replace.Run(replacement, selected_only, rows);
  model_->Refresh();
  OnSelectionChanged();
  TReplReport report(QString::fromUtf8(result.summary), this);
  if (show_report) show_report(report);
  else report.exec();
}

void TLorvekMain::UndoReplaceCommand() {
  if (run_->Searching()) return;
  const UndoResult r = UndoLastReplace(ReplaceJournalPath(program_folder_));
  SetStatusText(0, r.nothing || r.refused ? r.report : std::to_string(r.restored) + " 個のファイルを元に戻しました.");
  if (r.nothing || r.refused) return Message(QString::fromStdString(r.report), r.refused);
  // The rows show the files' lines as the search found them again: each
  // file read and decoded once for all its rows, wherever they stand.
  std::map<std::string, std::vector<size_t>> rows_of;
  for (size_t i = 0; i < store_.size(); ++i) {
    const RecordView row = store_[i];
    const int32_t code = row.EncodingCode;
    if ((!row.OpenPath.empty() && row.OpenPath[0] == '@') || code == ecBinary || code >= ecWord) continue;
    rows_of[std::string(row.OpenPath)].push_back(i);
  }
  for (const auto& [path, rows] : rows_of) {
    std::string bytes;
    try {
      bytes = ReadFileBytes(path);
    } catch (const std::exception&) {
      continue;
    }
    std::map<std::pair<int32_t, int32_t>, DecodedText> decoded;  // by the codes a row carries
    for (size_t i : rows) {
      const RecordView row = store_[i];
      auto [at, fresh] = decoded.try_emplace({row.EncodingCode, row.LineEndCode});
      try {
        if (fresh) at->second = DecodeFileText(bytes, TextFileFormat::FromCodes(row.EncodingCode, row.LineEndCode));
      } catch (const std::exception&) {
        continue;
      }
      const DecodedText& text = at->second;
      if (row.LineNo >= 1 && static_cast<size_t>(row.LineNo) <= text.size())
        store_.SetLineText(i, CutAtBytes(std::string(text.Line(static_cast<size_t>(row.LineNo) - 1)), 255));
    }
  }
  model_->Refresh();
  ShowReport({r.report});
}

void TLorvekMain::ShowReport(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  if (headless_) {
    const std::string out = "lorvek: " + text;
    ssize_t ignored = write(STDERR_FILENO, out.data(), out.size());
    (void)ignored;
    return;
  }
  TReplReport report(QString::fromUtf8(text), this);
  if (show_report) show_report(report);
  else report.exec();
}

}  // namespace lorvek
