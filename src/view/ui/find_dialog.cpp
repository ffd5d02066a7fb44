#include "view/ui/find_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/history.h"
#include "settings/settings_schema.h"
#include "ui/common/qt_text.h"
#include "view/text_tools.h"

namespace lorvek {

TFindDlg::TFindDlg(TIniGT& ini, Mode mode, const QString& word, bool has_selection, QWidget* parent)
    : QDialog(parent), ini_(ini) {
  setObjectName("TFindDlg");
  setWindowTitle(mode == Mode::Find ? U("検索") : U("すべて検索"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* word_label = new QLabel(U("検索する文字列(&K):"), this);
  row->addWidget(word_label);
  word_ = new QComboBox(this);
  word_label->setBuddy(word_);  // Alt+F goes to the box, and the label shows F underlined
  word_->setEditable(true);
  word_->setCompleter(nullptr);  // typed text stays as typed
  word_->setMinimumWidth(280);
  // The history is offered, never filled in: Enter searches for what the box
  // shows, and typing is not completed into an older entry.
  word_->setInsertPolicy(QComboBox::NoInsert);
  word_->setCompleter(nullptr);
  THistoryEx history(ini_, "FindHistory");
  history.LoadHistory();
  for (const std::string& e : history.Entries()) word_->addItem(FromSjis(e));
  word_->setCurrentIndex(-1);
  word_->setEditText(word);
  row->addWidget(word_, 1);
  layout->addLayout(row);
  // The same captions and [Find] keys as the viewer's replace dialog.
  match_case_ = new QCheckBox(U("大/小文字の区別(&C)"), this);
  regexp_ = new QCheckBox(U("正規表現(&E)"), this);
  fuzzy_ = new QCheckBox(U("あいまい検索(&F)"), this);
  whole_word_ = new QCheckBox(U("ﾜｰﾄﾞ単位(&W)"), this);
  selection_ = new QCheckBox(U("選択した範囲内(&S)"), this);
  const FindSection saved = ReadSection<FindSection>(ini_);
  whole_word_->setChecked(saved.whole_word);
  regexp_->setChecked(saved.regexp);
  fuzzy_->setChecked(saved.fuzzy);
  match_case_->setChecked(saved.match_case);
  selection_->setEnabled(has_selection);
  selection_->setChecked(has_selection && saved.find_area);
  for (QCheckBox* b : {match_case_, regexp_, fuzzy_, whole_word_, selection_}) layout->addWidget(b);
  if (mode == Mode::Find) {
    // Where the search starts: at the caret, or at the top of the text.
    auto* start = new QGroupBox(this);
    auto* st = new QHBoxLayout(start);
    from_caret_ = new QRadioButton(U("現在位置から(&G)"), start);
    from_top_ = new QRadioButton(U("ﾍﾟｰｼﾞ先頭から(&T)"), start);
    st->addWidget(from_caret_);
    st->addWidget(from_top_);
    if (saved.from_top) from_top_->setChecked(true);
    else from_caret_->setChecked(true);
    layout->addWidget(start);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  if (mode == Mode::Find) {
    up_ = new QPushButton(U("上検索(&P)"), this);
    down_ = new QPushButton(U("下検索(&N)"), this);
    down_->setDefault(true);
    buttons->addWidget(up_);
    buttons->addWidget(down_);
    connect(up_, &QPushButton::clicked, this, [this] { Finish(Result::Up); });
    connect(down_, &QPushButton::clicked, this, [this] { Finish(Result::Down); });
  } else {
    all_ = new QPushButton(U("検索(&O)"), this);
    all_->setDefault(true);
    buttons->addWidget(all_);
    connect(all_, &QPushButton::clicked, this, [this] { Finish(Result::All); });
  }
  auto* cancel = new QPushButton(U("キャンセル"), this);
  buttons->addWidget(cancel);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addLayout(buttons);
  word_->lineEdit()->selectAll();
  word_->setFocus();
}

QString TFindDlg::Word() const { return word_->currentText(); }

int TFindDlg::Options() const {
  return (match_case_->isChecked() ? kMatchCase : 0) | (regexp_->isChecked() ? kRegExp : 0) |
         (fuzzy_->isChecked() ? kFuzzy : 0) | (whole_word_->isChecked() ? kWholeWord : 0);
}

bool TFindDlg::InSelection() const { return selection_->isEnabled() && selection_->isChecked(); }
bool TFindDlg::FromTop() const { return from_top_ && from_top_->isChecked(); }

void TFindDlg::Finish(Result r) {
  if (Word().isEmpty()) return;
  chosen_ = r;
  // Only the keys this dialog has controls for: the replace dialog owns the others.
  FindSection f;
  f.whole_word = whole_word_->isChecked();
  f.regexp = regexp_->isChecked();
  f.fuzzy = fuzzy_->isChecked();
  f.match_case = match_case_->isChecked();
  f.find_area = selection_->isChecked();
  {
    IniUpdate update(ini_);
    WriteSection(ini_, f,
                 {&FindSection::whole_word, &FindSection::regexp, &FindSection::fuzzy, &FindSection::match_case,
                  &FindSection::find_area});
    if (from_top_) {
      f.from = from_caret_->isChecked();
      f.from_top = from_top_->isChecked();
      WriteSection(ini_, f, {&FindSection::from, &FindSection::from_top});
    }
  }
  THistoryEx history(ini_, "FindHistory");
  history.LoadHistory();
  history.AddHistory(ToSjis(Word()));
  history.SaveHistory();
  accept();
}

}  // namespace lorvek
