// TLorvekMain: the main window. Tool bars for the request and the commands,
// the result list with the preview pane, the status bar; the search run's
// front end; settings read when it is created and written when it closes.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "settings/history.h"
#include "settings/ini_file.h"
#include "settings/mask_sets.h"
#include "settings/options.h"
#include "search/work_folder.h"
#include "search/result_store.h"
#include "search/search_front_end.h"
#include "search/search_run.h"

class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;

namespace lorvek {

class MaskBox;
class PreviewPane;
class ResultList;
class ResultModel;
struct AutoSearchValues;

class TView;

class TLorvekMain : public QMainWindow, public SearchFrontEnd {
  Q_OBJECT
 public:
  // program_folder: where Lorvek.ini, LOG.TXT and cmmd.$$$ live.
  TLorvekMain(std::string program_folder, std::vector<std::string> args, QWidget* parent = nullptr);
  ~TLorvekMain() override;

  // SearchFrontEnd
  void SetStatusText(int panel, const std::string& text) override;
  void SetTitle(const std::string& title) override;
  void SetRowCount(size_t rows) override;
  void SetErrorLogVisible(bool visible) override;
  void ShowError(const std::string& message) override;
  void ShowWarning(const std::string& message) override;
  void SetSearchingState(bool searching) override;
  void ProcessPendingEvents() override;
  void ClearPreview() override;
  void ShowReport(const std::vector<std::string>& lines) override;

  // Commands.
  void FindButtonClick();
  // Opening the first selected hit (main_window_open.cpp).
  enum class OpenForce { None, Viewer, Editor };
  void OpenHit(OpenForce force);
  void OpenWithApplication();
  // The options dialog: filled, shown, taken back (main_window_options.cpp).
  void EditOptions();
  std::function<void(class TOptionPanel&)> show_options;  // runs the dialog instead of exec()
  void AbortBtnClick();
  // A later start's hand-off: taken at once (the later start waits for
  // that), carried out at the next idle moment.
  void ReceiveHandOff();
  void BringForward();
  void StartupRun();

  // A start without a screen (QT_QPA_PLATFORM=offscreen): every message goes
  // to standard error instead of a box, no dialog opens (the start dialog's
  // values are taken as given), nothing is written back to Lorvek.ini, and
  // a failure makes the program's exit status non-zero.
  void SetHeadless(bool on) {
    headless_ = on;
    if (on) {  // a run beside the desktop program keeps its scratch files apart
      work_folder_ = WorkFolder::ForThisProcess();
      run_->SetWorkFolder(work_folder_);
    }
  }
  bool HeadlessFailed() const { return headless_failed_; }

  // For tests and the start-up paths.
  SearchRun& run() { return *run_; }
  TView& Viewer() { return *view_; }
  const Options& options() const { return options_; }
  ResultStore& store() { return store_; }
  THistoryEx& WordHistory() { return history_words_; }
  THistoryEx& FolderHistory() { return history_folders_; }
  QString StatusText(int panel) const;
  std::vector<std::string>& FolderList() { return folder_list_; }
  const std::string& OutputTarget() const { return output_target_; }
  // Shows dialogs as usual, or hands them to this hook (tests).
  std::function<bool(class TAutoSearch&)> run_dialog;
  std::function<void(const QString& title, const QString& text)> show_message;
  // Shows the replace report as usual, or hands it to this hook (tests).
  std::function<void(class TReplReport&)> show_report;
  // Told every command line started for an editor or an application.
  std::function<void(const std::string& command)> started_command;

  // The replace commands of the tool menu and the command tool bar.
  void ReplaceAllCommand();
  // Puts back the files the last replace run wrote (those unchanged since).
  void UndoReplaceCommand();
  void ReplaceSelectedCommand();

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void BuildActions();
  void BuildToolBars();
  void BuildMenus();
  void BuildCentre();
  void BuildStatusBar();
  void ReadSettings();
  void WriteSettings();
  // tool_bar_state: the window's own record of its bars (base64), or empty.
  void RestoreToolBars(const std::string& tool_bar_state);
  void KeepOnScreen();
  // Places a new top-level window centred over this one, wholly on this
  // window's screen (shrunk to fit it).
  void PlaceOnScreenOver(QWidget* w) const;
  void SaveToolBars();

  // The history's entries as the box's list; the box keeps its text unless
  // take_top asks for the newest entry.
  void FillHistoryBox(QComboBox* box, const THistoryEx& history, bool take_top);
  // Enters a text in a history and the box's list (nothing for an empty one).
  void AddWordHistory(const std::string& word);
  void AddFolderHistory(const std::string& folder);
  // Every change of the options goes through here; the switches follow.
  void ChangeOptions(const std::function<void(Options&)>& change);
  void SyncSwitchesFromOptions();
  void OnSwitchToggled();
  void OnSelectionChanged();
  void OnHeaderClicked(int column);
  void ShowContextMenu(const QPoint& pos);
  void UpdateRowCommands();
  void CopyFileNames();
  void CopyFolder();
  void ExportTagFile();
  void ExportCsv();
  void ExportHtml();
  void CopyTagList();
  void OpenTagListInEditor();

  void WriteTagList();
  void ClearHistory(bool words);
  void BrowseFolder();
  void InputWord();
  void InputMasks();
  void EditMasks();
  void ShowHelp();
  void ShowAbout();
  void ShowErrorLog();
  void TogglePreview(bool on);
  bool RunStartDialog(const QStringList& folders);
  void TakeDialogValues(const AutoSearchValues& v);
  void ApplyParsed(const ParsedCommand& c);
  void ResetForRun();
  // Runs the search over targets with the boxes' word; false when it did not start.
  bool RunOver(const std::vector<std::string>& targets);
  void FocusFirstRow();
  void TagListOutput();
  // wait false: the box is shown and the caller goes on at once.
  void Message(const QString& text, bool warning, bool wait = true);
  // The text in Shift-JIS; false (and the message) when a character of it
  // cannot be held by code page 932.
  bool CheckedSjis(const QString& text, std::string* out);
  void RunHandOff(const std::vector<std::string>& lines);
  class ReplaceSide;
  // A warning before a replace: true to go on; ignore takes the box's state.
  bool PassReplaceWarning(int kind, bool& ignore);
  // preview: the lines that would change are shown first, and only those
  // the user keeps are replaced.
  void RunReplace(const QString& text, bool selected_only, bool preview = false);
  // While a replace runs the window is busy as in a search: no search, no
  // second replace, no close, and their buttons show it.
  class ReplacingScope {
   public:
    explicit ReplacingScope(TLorvekMain& w);
    ~ReplacingScope();
    ReplacingScope(const ReplacingScope&) = delete;
    ReplacingScope& operator=(const ReplacingScope&) = delete;

   private:
    TLorvekMain& w_;
  };

  std::string program_folder_;
  std::vector<std::string> args_;
  TIniGT ini_;
  Options options_;
  THistoryEx history_words_;
  THistoryEx history_folders_;
  MaskSets mask_sets_;
  WorkFolder work_folder_;
  ResultStore store_;
  std::unique_ptr<SearchRun> run_;
  // The built-in viewer: made at start-up, hidden until a hit is opened in it.
  std::unique_ptr<TView> view_;
  void OpenInViewer(const RecordView& rec, size_t row, const std::string& path, bool temporary, int col, int len, bool html);
  void OpenInEditor(const RecordView& rec, size_t row, const std::string& path, int col, int len, bool html);
  // The readable text of a Word, Excel, filtered or HTML hit; prepared is
  // false when the file is read as it is.
  std::vector<std::string> PreparedLines(const std::string& path, int32_t code, bool filtered, bool html,
                                         bool* prepared);

  std::vector<std::string> folder_list_;
  bool headless_ = false;
  std::chrono::steady_clock::time_point last_events_{};
  bool headless_failed_ = false;
  std::optional<std::string> refused_text_;  // a /K or /E value code page 932 cannot hold
  int parse_result_ = kParseNone;
  bool started_with_args_ = false;
  bool output_requested_ = false;
  std::string output_target_;
  bool sort_flags_[2] = {false, false};
  int last_sort_column_ = -1;
  bool last_sort_descending_ = false;
  QString last_tag_name_, last_csv_name_, last_html_name_;

  // Widgets, named as the controls they are.
  QToolBar* toolbar1_ = nullptr;  // 検索パス
  QToolBar* toolbar2_ = nullptr;  // コマンド
  QToolBar* toolbar3_ = nullptr;  // 検索単語
  QToolBar* toolbar4_ = nullptr;  // 対象ファイル
  QToolBar* word_prog_ = nullptr;
  QLabel* word_prog_label_ = nullptr;
  QProgressBar* word_prog_bar_ = nullptr;
  QComboBox* find_path_ = nullptr;
  QComboBox* find_word_ = nullptr;
  MaskBox* file_masks_ = nullptr;
  ResultList* list_ = nullptr;
  ResultModel* model_ = nullptr;
  PreviewPane* memo1_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QLabel* panels_[5] = {};
  QString panel0_text_;  // what panel 0 says when no hint covers it
  QString panel_shape_[5];  // a panel's text last measured, its digits as the widest digit
  QChar widest_digit_[5];   // in the panel's font; null until first needed
  // A counter's newest text, shown at most every few tens of milliseconds
  // (a run counts every hit; laying the bar out for each would cost more
  // than finding it). Null: the panel shows its newest text.
  QString pending_text_[5];
  QTimer* status_timer_ = nullptr;
  void ShowStatusText(int panel, const QString& text);
  void ShowPendingStatusTexts();
  QProgressBar* progress_ = nullptr;

  QAction* find_act_ = nullptr;      // FindBtn / Search1
  QAction* exit_act_ = nullptr;      // ExitBtn / Exit1
  QAction* abort_act_ = nullptr;     // AbortBtn
  QAction* repl_sel_act_ = nullptr;  // ReplSelBtn / ReplSelMnu
  QAction* undo_replace_act_ = nullptr;
  QAction* repl_all_act_ = nullptr;  // ReplAllBtn / ReplAllMnu
  QAction* arc_act_ = nullptr;       // FindArcBtn / ArcSw
  QAction* fuzzy_act_ = nullptr;     // FuzzyBtn / FuzzySw
  QAction* sub_act_ = nullptr;       // FindSubBtn / SubDirSw
  QAction* word_act_ = nullptr;      // WholeWdBtn / WordSw
  QAction* property_act_ = nullptr;  // Property1
  QAction* preview_act_ = nullptr;
  QAction* open_viewer_act_ = nullptr;
  QAction* open_editor_act_ = nullptr;
  QAction* open_app_act_ = nullptr;
  QAction* copy_names_act_ = nullptr;
  QAction* copy_folder_act_ = nullptr;
  QMenu* file_menu_ = nullptr;     // File1
  QMenu* view_menu_ = nullptr;     // Option1
  QMenu* tool_menu_ = nullptr;     // T1
  QMenu* option_menu_ = nullptr;   // Option2
  QMenu* help_menu_ = nullptr;     // Help1
  QMenu* tag_menu_ = nullptr;
  QAction* error_log_act_ = nullptr;  // E1
  QList<QAction*> toolbar_switches_;
};

}  // namespace lorvek
