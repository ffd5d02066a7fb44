#include "app/ui/auto_search_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "ui/common/qt_text.h"

namespace lorvek {

const char* const TAutoSearch::kNeedMask = "ファイルマスクを指定してください.";
const char* const TAutoSearch::kNeedWord = "検索語を指定してください.";

TAutoSearch::TAutoSearch(const QStringList& folders, const AutoSearchValues& v, const QStringList& word_history,
                         const QStringList& mask_items, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setObjectName("TAutoSearch");
  setWindowTitle(U("LorvekでGrep"));
  auto* grid = new QGridLayout(this);
  auto* list_label = new QLabel(U("検索するﾌｫﾙﾀﾞの一覧(&L)"), this);
  folders_ = new QListWidget(this);
  folders_->setObjectName("FolderList");
  folders_->addItems(folders);
  folders_->setSelectionMode(QAbstractItemView::NoSelection);
  list_label->setBuddy(folders_);
  grid->addWidget(list_label, 0, 0, 1, 2);
  grid->addWidget(folders_, 1, 0, 1, 2);

  auto* word_label = new QLabel(U("検索する単語(&W)"), this);
  word_ = new QComboBox(this);
  word_->setObjectName("FindWord");
  word_->setEditable(true);
  word_->setInsertPolicy(QComboBox::NoInsert);
  word_->setCompleter(nullptr);  // typed text stays as typed
  word_->addItems(word_history);
  word_->setEditText(v.word);
  word_label->setBuddy(word_);
  word_->lineEdit()->installEventFilter(this);
  grid->addWidget(word_label, 2, 0);
  grid->addWidget(word_, 2, 1);

  auto* mask_label = new QLabel(U("対象ﾌｧｲﾙﾏｽｸ(&M)"), this);
  masks_ = new QComboBox(this);
  masks_->setObjectName("FileMasks");
  masks_->setEditable(true);
  masks_->setInsertPolicy(QComboBox::NoInsert);
  masks_->setCompleter(nullptr);
  masks_->addItems(mask_items);
  masks_->setEditText(v.mask_text);
  mask_label->setBuddy(masks_);
  grid->addWidget(mask_label, 3, 0);
  grid->addWidget(masks_, 3, 1);

  auto* switches = new QHBoxLayout;
  fuzzy_ = new QCheckBox(U("曖昧検索(&F)"), this);
  whole_word_ = new QCheckBox(U("ﾜｰﾄﾞ検索(&D)"), this);
  subfolders_ = new QCheckBox(U("ｻﾌﾞﾃﾞｨﾚｸﾄﾘ(&S)"), this);
  archives_ = new QCheckBox(U("書庫内(&Z)"), this);
  fuzzy_->setChecked(v.fuzzy);
  whole_word_->setChecked(v.whole_word);
  subfolders_->setChecked(v.subfolders);
  archives_->setChecked(v.archives);
  for (QCheckBox* c : {fuzzy_, whole_word_, subfolders_, archives_}) switches->addWidget(c);
  grid->addLayout(switches, 4, 0, 1, 2);

  // The code-conversion choice exists but stays hidden.
  auto* code_group = new QGroupBox(this);
  code_group->setObjectName("CodeCngMode");
  auto* code_row = new QHBoxLayout(code_group);
  code_mode_ = new QButtonGroup(this);
  const char* const modes[] = {"SJIS(&J)", "自動(&U)", "しない(&N)", "SJISのみ(&O)"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QRadioButton(U(modes[i]), code_group);
    code_mode_->addButton(b, i);
    code_row->addWidget(b);
  }
  code_mode_->button(v.code_mode >= 0 && v.code_mode <= 3 ? v.code_mode : 1)->setChecked(true);
  code_group->setVisible(false);
  grid->addWidget(code_group, 5, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(U("&OK"), this);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  auto* abort = new QPushButton(U("中止(&A)"), this);
  abort->setObjectName("AbortBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(abort);
  grid->addLayout(buttons, 6, 0, 1, 2);
  connect(ok, &QPushButton::clicked, this, &TAutoSearch::TryAccept);
  connect(abort, &QPushButton::clicked, this, &QDialog::reject);
  resize(460, 320);
}

void TAutoSearch::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (parentWidget()) {
    QRect p = parentWidget()->frameGeometry();
    move(p.left() + (p.width() - width()) / 2, p.top() + (p.height() - height()) / 2);
  }
  QTimer::singleShot(0, this, [this] {
    word_->setFocus();
    word_->lineEdit()->selectAll();
  });
}

bool TAutoSearch::eventFilter(QObject* o, QEvent* e) {
  if (o == word_->lineEdit() && e->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    reject();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

void TAutoSearch::TryAccept() {
  last_message_.clear();
  if (masks_->currentText().isEmpty()) last_message_ = U(kNeedMask);
  else if (word_->currentText().isEmpty()) last_message_ = U(kNeedWord);
  if (!last_message_.isEmpty()) {
    if (!quiet) QMessageBox::warning(this, windowTitle(), last_message_);
    return;
  }
  accept();
}

AutoSearchValues TAutoSearch::Values() const {
  AutoSearchValues v;
  v.word = word_->currentText();
  v.mask_text = masks_->currentText();
  v.fuzzy = fuzzy_->isChecked();
  v.whole_word = whole_word_->isChecked();
  v.subfolders = subfolders_->isChecked();
  v.archives = archives_->isChecked();
  v.code_mode = code_mode_->checkedId();
  return v;
}

}  // namespace lorvek
