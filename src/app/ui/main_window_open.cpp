// Opening a hit: in the built-in viewer, in the external editor at the hit,
// or in the application the desktop associates with the file.
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QTimer>
#include <QTreeWidget>

#include <sys/stat.h>

#include <cerrno>
#include <unistd.h>

#include "app/ui/main_window.h"
#include "ui/common/desktop_open.h"
#include "ui/common/qt_text.h"
#include "settings/settings_schema.h"
#include "results/ui/result_list.h"
#include "search/compiled_word.h"
#include "search/open_path.h"
#include "search/search_terms.h"
#include "sources/office_text.h"
#include "sources/archive_reader.h"
#include "sources/excel_biff.h"
#include "sources/filter_source.h"
#include "sources/html_strip.h"
#include "sources/word_document.h"
#include "text/file_bytes.h"
#include "text/path_names.h"
#include "text/text_codec.h"
#include "view/editor_command.h"
#include "view/text_tools.h"
#include "view/ui/text_editor.h"
#include "view/ui/view_window.h"
#include "text/encoding_table.h"
#include "view/view_document.h"

namespace lorvek {
namespace {

bool IsHtml(const std::string& path) {
  const std::string ext = UpperExtension(path);
  return ext == ".HTM" || ext == ".HTML";
}

std::vector<std::string> SplitAt(const std::string& text, const std::string& breaks) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (breaks.find(text[i]) != std::string::npos) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(text[i]);
    }
  }
  if (!lines.empty() && lines.back().empty() && lines.size() > 1) lines.pop_back();
  return lines;
}

}  // namespace

std::vector<std::string> TLorvekMain::PreparedLines(const std::string& path, int32_t code, bool filtered, bool html,
                                                    bool* prepared) {
  *prepared = true;
  const OfficeFormat office = OfficeFormatOf(path);
  if ((code == ecWord || code == ecExcel) && office != OfficeFormat::None) {
    // Today's formats: the lines or cells as the search saw them.
    std::vector<std::string> lines;
    try {
      if (IsSheetFormat(office))
        ReadOfficeCells(path, office, [&](const ExcelCell& c) {
          lines.push_back(c.text);
          return true;
        });
      else
        ReadOfficeLines(path, office, [&](std::string_view l) {
          lines.emplace_back(l);
          return true;
        });
    } catch (const std::exception&) {
      Message(U("テキスト変換に失敗しました."), true);
    }
    return lines;
  }
  if (code == ecWord) {
    std::vector<std::string> lines;
    if (ExtractWordText(path, [&](std::string_view text, int) {
          lines.emplace_back(text);
          return true;
        }))
      return lines;
    Message(U("テキスト変換に失敗しました."), true);
  } else if (code == ecExcel) {
    std::vector<std::string> cells;
    TXBiff reader;
    reader.OnReadCell = [&](const ExcelCell& c) {
      cells.push_back(c.text);
      return true;
    };
    reader.Read(path);
    return cells;
  } else if (filtered) {
    work_folder_.Ensure();
    const std::string output = work_folder_.WorkFile();
    ::unlink(output.c_str());
    RunShellCommand(FilterCommandLine(options_.search.filter_name, options_.search.filter_sw, path, output),
                    [] { return true; }, FilterOutputBound(options_.search));
    std::vector<std::string> lines;
    try {
      lines = LoadViewDocument(output).lines;
    } catch (const std::exception&) {
    }
    ::unlink(output.c_str());
    return lines;
  } else if (html) {
    const ViewDocument doc = LoadViewDocument(path);
    return SplitAt(StripHtmlTags(JoinLinesCrLf(doc.lines)), "\r\n");
  }
  *prepared = false;
  return {};
}

void TLorvekMain::OpenHit(OpenForce force) {
  if (run_->Searching()) return;
  const std::vector<size_t> rows = list_->SelectedRows();
  if (rows.empty()) return;
  const RecordView rec = store_[rows[0]];
  const OpenPath open = rec.Path();
  std::string path = open.file;
  bool temporary = false;
  try {
    if (open.IsMember()) {
      work_folder_.Ensure();
      const std::string dest = work_folder_.Folder() + "/open";
      ::mkdir(dest.c_str(), 0700);
      path = ExtractArchiveMember(open.file, open.member, dest);
      temporary = true;
    }
  } catch (const std::exception& e) {
    return ShowError(e.what());
  }
  const bool html = options_.search.html_tag && IsHtml(path);
  // Where the word matches in the hit's line: the column and length to select.
  const std::string word = run_->Word();
  int col = 1, len = static_cast<int>(word.size());
  try {
    auto compiled = CompiledWord::Compile(word, options_.search.fuzzy_char);
    const MatchPos m = compiled->FindHit(rec.LineText, options_.search.whole_word);
    if (m) {
      col = static_cast<int>(m.start);
      len = static_cast<int>(m.length);
    }
  } catch (const std::exception&) {
  }
  const bool to_editor =
      force == OpenForce::Editor || (force != OpenForce::Viewer && options_.use_editor && rec.EncodingCode != ecExcel);
  if (to_editor) OpenInEditor(rec, rows[0], path, col, len, html);
  else OpenInViewer(rec, rows[0], path, temporary, col, len, html);
  // A prepared file goes once it has been read: at once for the viewer,
  // after the editor for one waited for; one left to a running editor stays
  // in the work folder until the program ends.
  if (temporary && (!to_editor || !options_.edit_exec_done)) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      Message(U("作業ファイルの削除に失敗しました.\n\r次回起動時に削除します."), true);
    } else if (open.IsMember()) {
      // Folders the member brought with it go too.
      std::string dir = path.substr(0, path.find_last_of('/'));
      const std::string root = work_folder_.Folder() + "/open";
      while (dir.size() > root.size() && ::rmdir(dir.c_str()) == 0) dir = dir.substr(0, dir.find_last_of('/'));
    }
  }
}

void TLorvekMain::OpenInViewer(const RecordView& rec, size_t row, const std::string& path, bool temporary, int col, int len,
                               bool html) {
  TView& v = *view_;
  // Shown or hidden, the viewer's unsaved text is never dropped unasked.
  if (!v.AskToSaveChanges()) return;
  const bool show_tag = ReadMember(ini_, &ViewerSection::show_tag);
  std::vector<TagEntry> tags;
  int current = -1;
  if (show_tag)
    for (size_t i = 0; i < store_.size(); ++i)
      if (store_[i].OpenPath == rec.OpenPath) {
        if (i == row) current = static_cast<int>(tags.size());
        tags.push_back({store_[i].LineNo, std::string(store_[i].LineText)});
      }
  v.ShowTagPanel(show_tag);
  v.SetTags(std::move(tags));
  bool prepared = false;
  std::vector<std::string> lines;
  try {
    lines = PreparedLines(path, rec.EncodingCode, rec.Filtered, html, &prepared);
  } catch (const std::exception& e) {
    return ShowError(e.what());
  }
  const std::string shown = rec.Path().IsMember() ? rec.Path().DisplayPath() : rec.Path().file;
  if (prepared) v.LoadLines(lines, shown, rec.EncodingCode);
  else if (!v.LoadIntoViewer(path)) return;
  if (rec.Path().IsMember()) v.SetShownName(shown);
  const int32_t code = rec.EncodingCode;
  const EncodingRow* kind = FindEncoding(code);
  const bool editable = !temporary && !prepared && (!kind || kind->opens_editable);
  v.SetEditable(editable);
  // The word highlighted as the search found it.
  const std::vector<std::string> terms = SplitSearchTerms(run_->Word());
  const int options = kRegExp | (options_.search.fuzzy_char ? kFuzzy : 0) | (options_.search.whole_word ? kWholeWord : 0);
  v.SetFindString(terms.empty() ? run_->Word() : terms[0], options);
  v.Editor()->SetHighlight(true);
  v.show();
  v.raise();
  v.activateWindow();
  ProcessPendingEvents();
  const size_t line = rec.LineNo >= 1 && rec.LineNo <= v.Editor()->LineCount() ? static_cast<size_t>(rec.LineNo - 1) : 0;
  v.JumpToHit(static_cast<size_t>(std::max(col, 1) - 1), line, static_cast<size_t>(std::max(len, 0)));
  v.Editor()->setModified(false);
  if (current >= 0) v.SetCurrentTag(current, false);
  v.Editor()->setFocus();
}

void TLorvekMain::OpenInEditor(const RecordView& rec, size_t row, const std::string& original, int col, int len,
                               bool html) {
  std::string path = original;
  bool prepared = false;
  std::vector<std::string> lines;
  try {
    if (rec.EncodingCode == ecWord || html) lines = PreparedLines(path, rec.EncodingCode, false, html, &prepared);
  } catch (const std::exception&) {
  }
  if (prepared) {
    // The prepared text goes to the editor as UTF-8, as Linux editors read it.
    try {
      work_folder_.Ensure();
      std::string text;
      for (const std::string& l : lines) text += Cp932ToUtf8(l) + "\n";
      WriteFileAtomically(work_folder_.WorkFile(), text);
      path = work_folder_.WorkFile();
    } catch (const std::exception& e) {
      return ShowError(e.what());
    }
  }
  if (options_.tead_dde) {
    // There is no DDE here: TEAD cannot be reached this way.
    Message(U("TEADとの接続を確立出来ませんでした."), true);
    return;
  }
  EditorSettings s;
  s.editor = options_.editor;
  s.editor_sw = options_.editor_sw;
  s.editor_sw_s = options_.editor_sw_s;
  s.editor_is = options_.editor_is;
  s.ed_add_mark = options_.ed_add_mark;
  s.ed_sendkeyw = options_.ed_sendkeyw;
  s.ed_send_col = options_.ed_send_col;
  s.ed_sendkeyw_n = options_.ed_sendkeyw_n;
  s.ed_keyw_sw = options_.ed_keyw_sw;
  s.ed_col_sw = options_.ed_col_sw;
  s.ed_keyw_n_sw = options_.ed_keyw_n_sw;
  EditorHit hit;
  hit.path = path;
  hit.line = rec.LineNo;
  hit.col = std::max(col, 1);
  hit.len = len;
  const std::vector<std::string> terms = SplitSearchTerms(run_->Word());
  hit.word = Cp932ToUtf8(terms.empty() ? run_->Word() : terms[0]);
  for (size_t i = row; i < store_.size(); ++i)
    if (store_[i].OpenPath == rec.OpenPath) hit.mark_lines.push_back(store_[i].LineNo);
  if (s.editor.empty() || !QFileInfo::exists(FromPath(s.editor))) {
    ShowError(s.editor + "が見つかりません.");
    return;
  }
  const std::string command = EditorCommandLine(s, hit);
  const std::string shown = "\"" + s.editor + "\" " + EditorArguments(s, hit);
  // The shell would only say so on its own error stream: a program that
  // cannot be started is told here, before it is handed over.
  if (const int error = EditorStartError(s.editor); error != 0) {
    ShowError("実行エラー(" + std::to_string(error) + ")\r\n" + shown);
    return;
  }
  if (started_command) started_command(command);
  QProcess process;
  if (options_.edit_exec_done) {
    if (!QProcess::startDetached("/bin/sh", {"-c", QString::fromStdString(command)}))
      ShowError("実行エラー(" + std::to_string(errno) + ")\r\n" + shown);
    return;
  }
  // Waited for with the window alive: painted, its input held back and the
  // search commands off, as during a run.
  process.start("/bin/sh", {"-c", QString::fromStdString(command)});
  if (!process.waitForStarted()) {
    ShowError("実行エラー(" + std::to_string(errno) + ")\r\n" + shown);
    return;
  }
  find_act_->setEnabled(false);
  QEventLoop loop;
  connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  if (process.state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
  find_act_->setEnabled(true);
  // 126 and 127 are the shell's own: it could not run the program.
  if (process.exitStatus() == QProcess::NormalExit && (process.exitCode() == 126 || process.exitCode() == 127))
    ShowError("実行エラー(" + std::to_string(process.exitCode() == 127 ? ENOENT : ENOEXEC) + ")\r\n" + shown);
}

void TLorvekMain::OpenWithApplication() {
  if (run_->Searching()) return;
  const std::vector<size_t> rows = list_->SelectedRows();
  if (rows.empty()) return;
  const OpenPath open = store_[rows[0]].Path();
  std::string path = open.file;
  try {
    if (open.IsMember()) {
      work_folder_.Ensure();
      const std::string dest = work_folder_.Folder() + "/open";
      ::mkdir(dest.c_str(), 0700);
      path = ExtractArchiveMember(open.file, open.member, dest);  // stays until the program ends
    }
  } catch (const std::exception& e) {
    return ShowError(e.what());
  }
  const DesktopOpenCommand open_with = AssociatedOpenCommand(path);
  if (open_with.command.empty()) return ShowError(open_with.error);
  const std::string& command = open_with.command;
  if (started_command) started_command(command);
  if (!QProcess::startDetached("/bin/sh", {"-c", QString::fromStdString(command)}))
    ShowError("実行エラー(" + std::to_string(errno) + ")\r\n" + command);
}

}  // namespace lorvek
