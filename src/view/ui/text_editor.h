// The text-editing control of the viewer (and of the preview pane): a
// QScintilla editor that holds UTF-8, while the rest of the program sees
// Shift-JIS lines and Shift-JIS byte columns, converted here only. Finding
// uses the system's own matcher on those lines.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "view/environment.h"
#include "view/text_tools.h"

namespace lorvek {

class TEditorEx : public QsciScintilla {
  Q_OBJECT
 public:
  explicit TEditorEx(QWidget* parent = nullptr);

  // The whole text as Shift-JIS lines; setting it clears undo and the
  // modified flag.
  void SetLines(const std::vector<std::string>& lines);
  // exact: false when a character has no Shift-JIS form (it reads as '?').
  std::vector<std::string> Lines(bool* exact = nullptr) const;
  std::string LineText(int line) const;
  int LineCount() const { return lines(); }

  TextPoint Caret() const;
  void SetCaret(TextPoint p);
  void Select(TextPoint from, size_t sjis_length);
  // The selection as Shift-JIS points (start <= end); equal when none.
  std::pair<TextPoint, TextPoint> SelectionRange() const;
  std::string SelectedSjis() const;
  std::string WordAtCaret() const;
  void InsertSjis(const std::string& text);
  void DeleteCurrentLine();
  // Replaces lines [first, last] with new ones as one undoable step.
  void ReplaceLines(size_t first, size_t last, const std::vector<std::string>& lines);
  // The same with count lines of all from index from.
  void ReplaceLines(size_t first, size_t last, const std::vector<std::string>& all, size_t from, size_t count);

  // Finding with the option set (FindOption bits); raises ERegExpParser.
  void SetFind(const std::string& word, int options);
  const TextFinder* Finder() const { return finder_.get(); }
  const std::string& FindWord() const { return find_word_; }
  int FindOptions() const { return find_options_; }
  bool FindNext();
  bool FindPrevious();
  // Every match replaced (one undoable step); the count, -1 when none.
  int ReplaceAllMatches(const std::string& replacement);
  // Every match of the find word marked.
  void SetHighlight(bool on);
  bool Highlight() const { return highlight_; }
  void RefreshHighlight();

  void ApplyProperties(const EditorProperties& p);
  const EditorProperties& Properties() const { return properties_; }

  // Shift-JIS point <-> the control's byte position.
  long PositionOf(TextPoint p) const;
  TextPoint PointOf(long position) const;

 signals:
  void CaretMoved();
  void Changed();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  // With word wrap, lines wrap at the properties' width in half-width
  // cells: the rest of the window's width becomes right margin.
  void FitWrapWidth();
  // Line l as the control holds it (UTF-8, without its break); valid until
  // the next change.
  std::string_view Utf8Line(size_t l) const;
  // Shift-JIS from the control's UTF-8 (as it is when all ASCII).
  static std::string ToSjisLine(std::string_view utf8, bool* exact = nullptr);

  std::unique_ptr<TextFinder> finder_;
  std::string find_word_;
  int find_options_ = 0;
  bool highlight_ = false;
  bool highlight_stale_ = true;  // the text or the word changed since the last marking
  EditorProperties properties_;
};

}  // namespace lorvek
