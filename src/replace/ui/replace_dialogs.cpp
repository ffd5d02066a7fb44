#include "replace/ui/replace_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/settings_schema.h"
#include "ui/common/qt_text.h"

namespace lorvek {
namespace {

const char* const kLines[3][2] = {
    {"検索オプションで「検索語が見つかれば次のファイルへ」が", "設定されており、一部しか置換できない可能性があります。"},
    {"検索オプションで「HTMLファイルのタグを無視する」が設定", "されており、置換結果が異なる可能性があります。"},
    {"検索オプションで「文字コードを変換しない」設定になって", "おり、SJIS以外のファイルを破壊する可能性があります。"},
};

// The history is offered in the drop-down, never filled in while typing.
void FillFromHistory(QComboBox* box, const THistoryEx& history) {
  box->setCompleter(nullptr);
  for (const std::string& e : history.Entries()) box->addItem(FromSjis(e));
}

}  // namespace

// ---- TReplQuery ----

OptionMember TReplQuery::MemberOf(int kind) {
  return kind == 0 ? &Options::repl_ignore : kind == 1 ? &Options::html_repl_ignore : &Options::code_repl_ignore;
}

const char* TReplQuery::KeyOf(int kind) { return SettingKeyOf(MemberOf(kind))->key; }

TReplQuery::TReplQuery(int kind, TIniGT& ini, QWidget* parent) : QDialog(parent), kind_(kind), ini_(ini) {
  setObjectName("TReplQuery");
  setWindowTitle(U("確認"));
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  auto* layout = new QVBoxLayout(this);
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* lines = new QVBoxLayout(panel);
  const int k = kind >= 0 && kind <= 2 ? kind : 0;
  lines->addWidget(new QLabel(U(kLines[k][0]), panel));
  lines->addWidget(new QLabel(U(kLines[k][1]), panel));
  lines->addWidget(new QLabel(U("置換作業を続行しますか？"), panel));
  layout->addWidget(panel);
  box_ = new QCheckBox(U("次回から表示しない(&N)"), this);
  layout->addWidget(box_);
  auto* buttons = new QHBoxLayout;
  continue_ = new QPushButton(U("続行(&I)"), this);
  cancel_ = new QPushButton(U("キャンセル(&C)"), this);
  cancel_->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(continue_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(continue_, &QPushButton::clicked, this, [this] {
    // Said once and for all: the key is written at once.
    if (box_->isChecked()) {
      Options o;
      MemberOf(kind_).Bool(o) = true;
      WriteOptionKeys(ini_, o, {MemberOf(kind_)});
    }
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  if (parent) move(parent->geometry().topLeft() + QPoint(120, 120));
}

bool TReplQuery::DontShowAgain() const { return box_->isChecked(); }

// ---- TReplace ----

TReplace::TReplace(TIniGT& ini, QWidget* parent) : QDialog(parent), history_(ini, "ReplHistory") {
  setObjectName("TReplace");
  setWindowTitle(U("文字列の置換"));
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  history_.LoadHistory();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(U("置換する文字列"), this));
  box_ = new QComboBox(this);
  box_->setObjectName("ReplaceText");
  box_->setEditable(true);
  box_->setInsertPolicy(QComboBox::NoInsert);
  box_->setCompleter(nullptr);  // typed text stays as typed
  box_->setMinimumWidth(260);
  FillFromHistory(box_, history_);
  box_->setEditText(QString());
  box_->installEventFilter(this);
  box_->lineEdit()->installEventFilter(this);
  layout->addWidget(box_);
  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(U("&OK"), this);
  preview_ = new QPushButton(U("プレビュー(&V)..."), this);
  preview_->setObjectName("PreviewButton");
  auto* cancel = new QPushButton(U("キャンセル(&C)"), this);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(preview_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, [this] {
    by_button_ = true;
    accept();
  });
  connect(preview_, &QPushButton::clicked, this, [this] {
    by_button_ = true;
    done(Preview);
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (parent) adjustSize(), move(parent->geometry().center() - rect().center());
}

QString TReplace::Text() const { return box_->currentText(); }

bool TReplace::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      accept();  // Enter closes as OK but leaves the history as it is
      return true;
    }
    if (k->key() == Qt::Key_Escape) {
      reject();
      return true;
    }
  }
  return QDialog::eventFilter(o, e);
}

void TReplace::done(int result) {
  if ((result == QDialog::Accepted || result == Preview) && by_button_) history_.AddHistory(ToSjis(Text()));
  history_.SaveHistory();  // written whenever the dialog closes
  QDialog::done(result);
}

// ---- the per-match question ----

ReplaceFrontEnd::Answer AskReplaceMatch(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Information, U("置換"), question, QMessageBox::NoButton, parent);
  // One role for all four: the button box orders buttons of one role as
  // they were added on every desktop style, while distinct roles would be
  // moved around (すべて could land where はい is expected).
  QPushButton* yes = box.addButton(U("はい(&Y)"), QMessageBox::ActionRole);
  QPushButton* no = box.addButton(U("いいえ(&N)"), QMessageBox::ActionRole);
  QPushButton* abort = box.addButton(U("中止(&A)"), QMessageBox::ActionRole);
  QPushButton* all = box.addButton(U("すべて"), QMessageBox::ActionRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.setObjectName("ReplaceQuestion");
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == no) return ReplaceFrontEnd::Answer::No;
  if (clicked == abort) return ReplaceFrontEnd::Answer::Abort;
  if (clicked == all) return ReplaceFrontEnd::Answer::All;
  return ReplaceFrontEnd::Answer::Yes;  // はい, or closed any other way
}

// ---- TReplReport ----

TReplReport::TReplReport(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName("TReplReport");
  setWindowTitle(U("レポート"));
  setWindowFlags(Qt::Tool);
  resize(403, 310);
  memo_ = new QPlainTextEdit(this);
  memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The summary's line breaks are CR LF and LF CR: each is one line end.
  QString shown = text;
  shown.replace("\r\n", "\n").replace("\n\r", "\n");
  memo_->setPlainText(shown);
  // A report to read and copy from, not to edit: Enter goes to the OK button.
  memo_->setReadOnly(true);
  memo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  ok_ = new QPushButton(U("&OK"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  if (parent) move(parent->geometry().center() - rect().center());
}

void TReplReport::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  const int button_height = ok_->sizeHint().height();
  memo_->setGeometry(0, 0, width(), height() - button_height - 12);
  // The button's left edge stays 90 pixels left of the right edge.
  ok_->setGeometry(width() - 90, height() - button_height - 6, 80, button_height);
}

// ---- TReplDlg ----

TReplDlg::TReplDlg(TIniGT& ini, const QString& find, bool has_selection, QWidget* parent)
    : QDialog(parent), ini_(ini), find_history_(ini, "FindHistory"), replace_history_(ini, "ReplHistory") {
  setObjectName("TReplDlg");
  setWindowTitle(U("ReplDlg"));
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  find_history_.LoadHistory();
  replace_history_.LoadHistory();
  auto* layout = new QVBoxLayout(this);
  auto combo = [&](const char* label, const THistoryEx& history) {
    auto* row = new QHBoxLayout;
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMinimumWidth(240);
    FillFromHistory(box, history);
    auto* l = new QLabel(U(label), this);
    l->setBuddy(box);
    row->addWidget(l);
    row->addWidget(box, 1);
    layout->addLayout(row);
    box->lineEdit()->installEventFilter(this);
    return box;
  };
  find_ = combo("検索(&S)", find_history_);
  find_->setEditText(find);
  replace_ = combo("置換(&R)", replace_history_);
  replace_->setEditText(replace_->count() ? replace_->itemText(0) : QString());

  auto* options = new QGroupBox(U("検索ｵﾌﾟｼｮﾝ"), this);
  auto* opt = new QVBoxLayout(options);
  match_case_ = new QCheckBox(U("大/小文字の区別(&C)"), options);
  regexp_ = new QCheckBox(U("正規表現(&E)"), options);
  fuzzy_ = new QCheckBox(U("あいまい検索(&F)"), options);
  whole_word_ = new QCheckBox(U("ﾜｰﾄﾞ単位(&W)"), options);
  for (QCheckBox* c : {match_case_, regexp_, fuzzy_, whole_word_}) opt->addWidget(c);
  layout->addWidget(options);
  query_ = new QCheckBox(U("置換の確認(&Q)"), this);
  layout->addWidget(query_);

  auto* direction = new QGroupBox(this);
  auto* dir = new QHBoxLayout(direction);
  backward_ = new QRadioButton(U("前方(&P)"), direction);
  forward_ = new QRadioButton(U("後方(&N)"), direction);
  dir->addWidget(backward_);
  dir->addWidget(forward_);
  layout->addWidget(direction);
  auto* start = new QGroupBox(this);
  auto* st = new QHBoxLayout(start);
  from_caret_ = new QRadioButton(U("現在位置から(&G)"), start);
  from_top_ = new QRadioButton(U("ﾍﾟｰｼﾞ先頭から(&T)"), start);
  in_selection_ = new QRadioButton(U("選択範囲(&A)"), start);
  for (QRadioButton* r : {from_caret_, from_top_, in_selection_}) st->addWidget(r);
  layout->addWidget(start);

  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(U("&OK"), this);
  all_ = new QPushButton(U("全置換(&L)"), this);
  cancel_ = new QPushButton(U("キャンセル(&C)"), this);
  ok_->setDefault(true);
  buttons->addWidget(ok_);
  buttons->addWidget(all_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);

  // [Find], read now, written whenever the dialog closes.
  const FindSection saved = ReadSection<FindSection>(ini);
  match_case_->setChecked(saved.match_case);
  whole_word_->setChecked(saved.whole_word);
  regexp_->setChecked(saved.regexp);
  fuzzy_->setChecked(saved.fuzzy);
  query_->setChecked(saved.query_repl);
  forward_->setChecked(saved.repl_for);
  backward_->setChecked(saved.for_prev);
  if (saved.for_next) forward_->setChecked(true);
  if (!forward_->isChecked() && !backward_->isChecked()) forward_->setChecked(true);
  if (saved.from_sel) in_selection_->setChecked(true);
  else if (saved.from_top) from_top_->setChecked(true);
  else from_caret_->setChecked(true);
  // Without a selection there is no range to replace in.
  in_selection_->setEnabled(has_selection);
  if (!has_selection && in_selection_->isChecked()) from_top_->setChecked(true);
  // Direction means something only from the current position (enabled on opening whatever is stored).
  for (QRadioButton* r : {from_caret_, from_top_, in_selection_})
    connect(r, &QRadioButton::clicked, this, [this] {
      const bool caret = from_caret_->isChecked();
      backward_->setEnabled(caret);
      forward_->setEnabled(caret);
    });
  connect(ok_, &QPushButton::clicked, this, [this] {
    TakeIntoHistories();
    accept();
  });
  connect(all_, &QPushButton::clicked, this, [this] {
    TakeIntoHistories();
    replace_all_ = true;
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  if (parent) adjustSize(), move(parent->geometry().center() - rect().center());
}

void TReplDlg::TakeIntoHistories() {
  if (!find_->currentText().isEmpty()) find_history_.AddHistory(ToSjis(find_->currentText()));
  if (!replace_->currentText().isEmpty()) replace_history_.AddHistory(ToSjis(replace_->currentText()));
}

bool TReplDlg::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    reject();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

void TReplDlg::done(int result) {
  try {
    IniUpdate update(ini_);
    FindSection f;
    f.match_case = match_case_->isChecked();
    f.whole_word = whole_word_->isChecked();
    f.regexp = regexp_->isChecked();
    f.fuzzy = fuzzy_->isChecked();
    f.query_repl = query_->isChecked();
    f.repl_for = forward_->isChecked();
    f.for_prev = backward_->isChecked();
    f.for_next = forward_->isChecked();
    f.from = from_caret_->isChecked();
    f.from_top = from_top_->isChecked();
    f.from_sel = in_selection_->isChecked();
    // Every key but the find dialog's own FindArea.
    WriteSection(ini_, f,
                 {&FindSection::match_case, &FindSection::whole_word, &FindSection::regexp, &FindSection::fuzzy,
                  &FindSection::query_repl, &FindSection::repl_for, &FindSection::for_prev, &FindSection::for_next,
                  &FindSection::from, &FindSection::from_top, &FindSection::from_sel});
    find_history_.SaveHistory();
    replace_history_.SaveHistory();
  } catch (const std::exception&) {
    // The settings file could not be written: the dialog still closes.
  }
  QDialog::done(result);
}

ReplaceConditions TReplDlg::Conditions() const {
  ReplaceConditions c;
  c.find = find_->currentText();
  c.replace = replace_->currentText();
  c.match_case = match_case_->isChecked();
  c.regexp = regexp_->isChecked();
  c.fuzzy = fuzzy_->isChecked();
  c.whole_word = whole_word_->isChecked();
  c.query = query_->isChecked();
  c.start = from_caret_->isChecked() ? ReplaceConditions::FromCaret
            : from_top_->isChecked() ? ReplaceConditions::FromTop
                                     : ReplaceConditions::InSelection;
  c.backward = backward_->isChecked() && c.start == ReplaceConditions::FromCaret;
  c.replace_all = replace_all_;
  return c;
}

}  // namespace lorvek
