// TView ("LorvekのView"): the built-in viewer. It shows a file with every
// hit of the search word highlighted and listed beside it (the tag list),
// edits it and saves it back in its own format; a file that cannot come
// back exactly is shown read-only.
#pragma once

#include <QMainWindow>
#include <QMessageBox>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "settings/options.h"
#include "view/environment.h"
#include "view/key_macro.h"
#include "view/text_tools.h"
#include "text/file_bytes.h"
#include "text/text_format.h"

class QAction;
class QPrinter;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeView;

namespace lorvek {

class TEditorEx;
class TagListModel;

class TView : public QMainWindow {
  Q_OBJECT
 public:
  // program_folder: where Lorvek.ini, signature.txt, Sent/ and macro/ live.
  explicit TView(std::string program_folder, QWidget* parent = nullptr);
  ~TView() override;

  // What the opener (and the viewer's own open command) drives.
  bool LoadIntoViewer(const std::string& path);
  // A prepared text (Word paragraphs, cells, a filter's output, HTML without
  // tags) shown under the path it came from; never saved over it.
  void LoadLines(const std::vector<std::string>& lines, const std::string& path, int32_t code);
  // Before the text is replaced: the save question when it has changes;
  // false when the user cancelled.
  bool AskToSaveChanges() { return AskToSave(); }
  void ShowTagPanel(bool on);
  // The name the text is shown under (an archive member's "archive/member").
  void SetShownName(const std::string& name);
  void SetTags(std::vector<TagEntry> entries);
  // Makes a row of the tag list the current one.
  void SetCurrentTag(int row, bool scroll);
  // The tag list's chosen row (-1: none).
  int CurrentTagRow() const;
  void SetFindString(const std::string& sjis_word, int options);
  // Caret to the hit (0-based line, Shift-JIS byte column) with a selection.
  bool JumpToHit(size_t col, size_t line, size_t length);
  void SetEditable(bool on);

  TEditorEx* Editor() const { return editor_; }
  QTreeView* TagList() const { return tags_; }
  QAction* Action(const std::string& key) const;
  QString Panel(int i) const;
  const std::string& FileName() const { return file_name_; }
  bool Editable() const { return editable_; }
  bool Modified() const;
  const std::vector<MacroEvent>& Macro() const { return macro_; }
  int Bookmark(int n) const { return bookmarks_[static_cast<size_t>(n)]; }

  // Test hooks: answers instead of modal boxes and dialogs.
  std::function<QMessageBox::StandardButton(const QString& caption, const QString& text,
                                            QMessageBox::StandardButtons buttons)>
      ask;
  std::function<QString(const QString& caption, const QString& label, const QString& value, bool* ok)> input;
  std::function<QString(bool save, const QString& folder, const QString& filters)> choose_file;
  std::function<void(QDialog&)> show_dialog;  // runs a dialog instead of exec()
  // Told each command line the command entry starts (for /bin/sh -c)
  // instead of starting it.
  std::function<void(const std::string& command)> started_command;
  // Errors the printer reports, shown in a box (a test takes them instead).
  std::function<void(const QString& text)> show_error;

  // Commands.
  bool Save();
  bool SaveAs();
  void Open();
  void New();
  void Exit();
  void Find();
  void FindNextCommand(bool forward);
  void FindAllCommand();
  void MoveTag(int step);
  void Replace();
  void QuoteCommand(bool quote);
  void IndentCommand(bool indent);
  void InsertDateTime(bool date);
  void InsertSignature();
  void Reformat();
  void InsertFileCommand();
  void RunCommand();
  void ToggleMacroRecording();
  void PlayMacro();
  void SaveMacro();
  void LoadMacro(const std::string& path);
  void SetBookmark(int n);
  void JumpToBookmark(int n);
  void InsertCannedText(const std::string& path);
  void EditProperties();
  void EditEnvironments();
  void PrintCommand();
  QPrinter& Printer();
  // Tests: told the layout's progress (false cancels it).
  std::function<bool(size_t done, size_t total)> print_progress;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void BuildActions();
  void BuildMenus();
  void ApplyShortcuts();
  void ReadSettings();
  void WriteSettings();
  void UpdateCaretPanels();
  void UpdateEnabling();
  void SetStatus(int panel, const QString& text);
  void SetCaption();
  bool AskToSave();  // false: the user cancelled
  bool WriteTo(const std::string& path);
  void ApplyEnvironment(const std::string& file_name);
  void ApplyEnvironmentRow(size_t row);
  // The open and save dialogs' filters, from the environments' masks.
  QString DialogFilters() const;
  void RestoreLayout();
  void SaveLayout();
  void ShowError(const QString& text);
  void JumpToTag(int row);
  void SelectTagOfCaretLine();
  void RebuildCannedTexts();
  void RebuildMacroMenu();
  // A character's macro code: lead * 256 + trail, or the single byte.
  static int CharacterCode(const std::string& sjis);
  QMessageBox::StandardButton Ask(const QString& text, QMessageBox::StandardButtons buttons,
                                  const QString& caption = "Lorvek");
  QString Input(const QString& caption, const QString& label, const QString& value, bool* ok);
  int RunDialog(QDialog& d);
  std::string DialogFolder() const;

  std::string program_folder_;
  std::unique_ptr<TIniGT> ini_;
  TEditorEx* editor_;
  QTreeView* tags_;
  TagListModel* tag_model_;
  QSplitter* splitter_;
  QToolBar *toolbar1_, *toolbar2_;
  QMenu *edit_menu_, *canned_menu_, *canned_popup_, *macro_menu_, *popup_;
  std::vector<QAction*> canned_actions_;  // shared by the edit menu and the pop-up menu
  std::array<QLabel*, 6> panels_{};
  std::map<std::string, QAction*> actions_;
  std::array<QAction*, 5> jump_actions_{}, mark_actions_{};

  std::string file_name_ = "新規";
  TextFileFormat format_ = TextFileFormat::FromCodes(ecSjis, leCrLf);
  int32_t encoding_code_ = ecSjis;
  bool editable_ = true;
  std::string read_only_reason_;
  FileStamp loaded_stamp_;  // the file as it was loaded or last saved
  std::string last_open_folder_;  // LastOpen: where the open dialog starts
  std::array<int, 5> bookmarks_{-1, -1, -1, -1, -1};
  EnvTable env_table_;
  size_t env_row_ = 0;
  std::vector<MacroEvent> macro_;
  bool recording_ = false, playing_ = false;
  bool feeding_ = false;         // a played event is being sent to the editor
  bool cancel_playing_ = false;  // the user pressed Escape while a macro played
  int search_ = 0;               // [Viewer] Search: kept as read
  ViewerLayoutSection layout_;   // the sort state is kept as read
  bool shown_ = false;  // settings are written only by a viewer that was seen
  std::unique_ptr<QPrinter> printer_;
  int ime_pending_ = 0;
};

}  // namespace lorvek
