// The user's side of replacing: the warning before or during a run
// (TReplQuery), the replacement text (TReplace), the per-match question, the
// report that closes a run (TReplReport), and the viewer's
// replace-conditions dialog (TReplDlg).
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "settings/history.h"
#include "settings/settings_schema.h"
#include "replace/replace_preview.h"
#include "replace/replace_run.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace lorvek {

// "確認": a warning of kind 0 (FindOnece), 1 (HTML tags) or 2 (no code
// conversion), a box "次回から表示しない(&N)", 続行 and キャンセル (the
// default). 続行 with the box ticked writes the kind's key ("1") at once.
class TReplQuery : public QDialog {
  Q_OBJECT
 public:
  TReplQuery(int kind, TIniGT& ini, QWidget* parent = nullptr);
  // The setting a kind's box sets: ReplIgnore, HtmlReplIgnore, CodeReplIgnore.
  static OptionMember MemberOf(int kind);
  static const char* KeyOf(int kind);
  bool DontShowAgain() const;
  QCheckBox* Box() const { return box_; }
  QPushButton* ContinueButton() const { return continue_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  int kind_;
  TIniGT& ini_;
  QCheckBox* box_;
  QPushButton* continue_;
  QPushButton* cancel_;
};

// "文字列の置換": the replacement text with its history (ReplHistory). OK
// puts the text at the top of the history; Enter in the box closes as OK
// without touching it; Escape closes as キャンセル. "プレビュー(&V)..." closes
// with the result Preview (and takes the text into the history as OK does).
class TReplace : public QDialog {
  Q_OBJECT
 public:
  static constexpr int Preview = 2;
  TReplace(TIniGT& ini, QWidget* parent = nullptr);
  QString Text() const;
  QComboBox* Box() const { return box_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* PreviewButton() const { return preview_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void done(int result) override;

 private:
  THistoryEx history_;
  QComboBox* box_;
  QPushButton* ok_;
  QPushButton* preview_;
  bool by_button_ = false;
};

// "置換のプレビュー": every line a replace would change, file by file, the
// old text above the new with the replaced parts marked, each file and each
// line with a check box (all ticked). OK: replace the ticked lines.
class TReplPreview : public QDialog {
  Q_OBJECT
 public:
  // preview must outlive the window.
  TReplPreview(const ReplacePreview& preview, QWidget* parent = nullptr);
  // The ticked lines, with the bytes each file had when looked at.
  ReplaceChoice Choice() const;
  QTreeWidget* Tree() const { return tree_; }
  QLabel* Counts() const { return counts_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  // Where the check box of a file (line_row < 0) or of one of its lines sits in the tree.
  QTreeWidgetItem* Item(int file, int line_row = -1) const;
  // Tests only: how many line check boxes keeping the counts has read.
  size_t LinesLookedAt() const { return lines_looked_at_; }

 private:
  void ItemChanged(QTreeWidgetItem* item);
  void TickFile(size_t file, bool ticked);
  void TickLine(size_t file, size_t line, bool ticked);
  void ShowFileState(size_t file);
  void ShowCounts();
  void SetAll(bool checked);

  // What is ticked, kept beside the tree so that a tick costs no walk
  // over every line.
  std::vector<std::vector<char>> ticked_;  // per file, per line
  std::vector<size_t> ticked_lines_;       // per file
  size_t ticked_files_ = 0, ticked_line_count_ = 0, ticked_replacements_ = 0;
  size_t total_lines_ = 0, total_replacements_ = 0;  // of the whole preview
  size_t lines_looked_at_ = 0;

  const ReplacePreview& preview_;
  QTreeWidget* tree_;
  QLabel* counts_;
  QPushButton *ok_, *cancel_;
};

// The per-match question "置換": はい(&Y), いいえ(&N), 中止(&A), すべて; はい is the
// default, Escape answers いいえ.
ReplaceFrontEnd::Answer AskReplaceMatch(QWidget* parent, const QString& question);

// "レポート": the run's summary in an editable fixed-pitch box with &OK.
class TReplReport : public QDialog {
  Q_OBJECT
 public:
  TReplReport(const QString& text, QWidget* parent = nullptr);
  QPlainTextEdit* Memo() const { return memo_; }
  QPushButton* OkButton() const { return ok_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QPlainTextEdit* memo_;
  QPushButton* ok_;
};

// "ReplDlg": the viewer's replace conditions, with the [Find] settings read
// when it is created and written whenever it closes.
struct ReplaceConditions {
  QString find, replace;
  bool match_case = false, regexp = false, fuzzy = false, whole_word = false;
  bool query = true;      // 置換の確認
  bool backward = false;  // 前方, only from the current position
  enum Start { FromCaret, FromTop, InSelection } start = FromCaret;
  bool replace_all = false;  // closed by 全置換
};

class TReplDlg : public QDialog {
  Q_OBJECT
 public:
  // find: the text to search (the selection or the word at the caret);
  // has_selection: whether "選択範囲(&A)" can be chosen.
  TReplDlg(TIniGT& ini, const QString& find, bool has_selection, QWidget* parent = nullptr);
  ReplaceConditions Conditions() const;
  QComboBox* FindBox() const { return find_; }
  QComboBox* ReplaceBox() const { return replace_; }
  QRadioButton* Backward() const { return backward_; }
  QRadioButton* Forward() const { return forward_; }
  QRadioButton* FromCaret() const { return from_caret_; }
  QRadioButton* FromTop() const { return from_top_; }
  QRadioButton* InSelection() const { return in_selection_; }
  QPushButton* ReplaceAllButton() const { return all_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void done(int result) override;

 private:
  void TakeIntoHistories();

  TIniGT& ini_;
  THistoryEx find_history_, replace_history_;
  QComboBox *find_, *replace_;
  QCheckBox *match_case_, *regexp_, *fuzzy_, *whole_word_, *query_;
  QRadioButton *backward_, *forward_, *from_caret_, *from_top_, *in_selection_;
  QPushButton *ok_, *all_, *cancel_;
  bool replace_all_ = false;
};

}  // namespace lorvek
