// TFindDlg: the viewer's find dialog. In find mode it searches up or down;
// in find-all mode it has one button "検索(&O)" and no direction or start
// options. Its options live in [Find].
#pragma once

#include <QDialog>

#include "settings/ini_file.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace lorvek {

class TFindDlg : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { Find, FindAll };
  enum class Result { Cancelled, Up, Down, All };

  TFindDlg(TIniGT& ini, Mode mode, const QString& word, bool has_selection, QWidget* parent = nullptr);
  Result Chosen() const { return chosen_; }
  QString Word() const;
  int Options() const;  // FindOption bits
  bool InSelection() const;
  bool FromTop() const;
  QComboBox* WordBox() const { return word_; }
  QPushButton* UpButton() const { return up_; }
  QPushButton* DownButton() const { return down_; }
  QPushButton* AllButton() const { return all_; }
  QCheckBox* RegExpBox() const { return regexp_; }
  QCheckBox* MatchCaseBox() const { return match_case_; }
  QCheckBox* WholeWordBox() const { return whole_word_; }
  QCheckBox* FuzzyBox() const { return fuzzy_; }
  QCheckBox* SelectionBox() const { return selection_; }
  QRadioButton* FromTopButton() const { return from_top_; }

 private:
  void Finish(Result r);

  TIniGT& ini_;
  Result chosen_ = Result::Cancelled;
  QComboBox* word_;
  QCheckBox *match_case_, *regexp_, *fuzzy_, *whole_word_, *selection_;
  QRadioButton *from_caret_ = nullptr, *from_top_ = nullptr;
  QPushButton *up_ = nullptr, *down_ = nullptr, *all_ = nullptr;
};

}  // namespace lorvek
