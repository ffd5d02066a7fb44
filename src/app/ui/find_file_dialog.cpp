#include "app/ui/find_file_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/qt_text.h"
#include "search/mask.h"

namespace lorvek {

TFindFileDlg::TFindFileDlg(const QString& mask_text, int find_mode, QWidget* parent)
    : QDialog(parent) {  // framed and captioned: a window manager must let the user move and close it
  setObjectName("TFindFileDlg");
  setWindowTitle(U("ﾌｧｲﾙﾏｽｸ編集"));
  auto* layout = new QVBoxLayout(this);
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("Memo1");
  QStringList lines;
  for (const auto& m : SplitCommaText(ToSjis(mask_text))) lines << FromSjis(m);
  memo_->setPlainText(lines.join('\n'));
  layout->addWidget(memo_);
  auto* group = new QGroupBox(this);
  group->setObjectName("FindMode");
  auto* row = new QHBoxLayout(group);
  select_ = new QRadioButton(U("対象(&I)"), group);
  exclude_ = new QRadioButton(U("対象外(&E)"), group);
  row->addWidget(select_);
  row->addWidget(exclude_);
  (find_mode == 1 ? exclude_ : select_)->setChecked(true);
  layout->addWidget(group);
  auto* ok = new QPushButton(U("OK"), this);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

QStringList TFindFileDlg::Masks() const {
  QStringList out;
  for (const QString& line : memo_->toPlainText().split('\n'))
    if (!line.trimmed().isEmpty()) out << line.trimmed();
  return out;
}

int TFindFileDlg::FindMode() const { return exclude_->isChecked() ? 1 : 0; }

QString TFindFileDlg::MaskText() const {
  std::vector<std::string> items;
  for (const QString& m : Masks()) items.push_back(ToSjis(m));
  return FromSjis(JoinCommaText(items));
}

}  // namespace lorvek
