#include "app/ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/common/qt_text.h"
#include "sources/archive_reader.h"

namespace lorvek {
namespace {

const char* const kEditors[] = {"TEAD", "kmthNotePad", "秀丸", "ＱＸ", "EmEditor", "emo", "TeraPad", "その他"};
const char* const kPresets[] = {"/J", "/L ", "/j", "-J", "/l ", "/l", "/jl=", nullptr};

struct ArchiveBox {
  const char* key;
  const char* caption;
  const char* mask;
};
const ArchiveBox kArchiveBoxes[] = {
    {"Arc.LZH", "LHA書庫(*.LZH)[libarchive]", "*.LZH"}, {"Arc.ZIP", "ZIP書庫(*.ZIP)[libarchive]", "*.ZIP"},
    {"Arc.ARJ", "ARJ書庫(*.ARJ)[arj]", "*.ARJ"},         {"Arc.RAR", "RAR書庫(*.RAR)[libarchive]", "*.RAR"},
    {"Arc.CAB", "CAB書庫(*.CAB)[libarchive]", "*.CAB"}, {"Arc.TAR", "TAR書庫(*.TAR等)[libarchive]", "*.TAR"},
};

QCheckBox* Check(QWidget* page, const char* key, const char* caption, bool on) {
  auto* b = new QCheckBox(U(caption), page);
  b->setObjectName(key);
  b->setChecked(on);
  return b;
}

QLineEdit* Edit(QWidget* page, const char* key, const std::string& text) {
  auto* e = new QLineEdit(FromSjis(text), page);
  e->setObjectName(key);
  return e;
}

template <typename T>
T* Find(const QObject* root, const char* key) {
  return root->findChild<T*>(key);
}

// A mask set as the grid shows it: "!" empty, one trailing comma gone.
QString ShownMask(const std::string& mask) {
  if (mask == "!") return QString();
  std::string m = mask;
  if (!m.empty() && m.back() == ',') m.pop_back();
  return FromSjis(m);
}

}  // namespace

ArchiveProbe ArchiveProbe::OfThisMachine() {
  ArchiveProbe p;
  p.lzh = ArchiveFormatAvailable(ArchiveFormat::Lha);
  p.zip = p.zip_writer = ArchiveFormatAvailable(ArchiveFormat::Zip);
  p.arj = ArchiveFormatAvailable(ArchiveFormat::Arj);
  p.rar = ArchiveFormatAvailable(ArchiveFormat::Rar);
  p.cab = ArchiveFormatAvailable(ArchiveFormat::Cab);
  p.tar = ArchiveFormatAvailable(ArchiveFormat::Tar);
  return p;
}

TOptionPanel::TOptionPanel(const OptionsDialogData& data, const ArchiveProbe& probe, QWidget* parent)
    : QDialog(parent), base_(data) {
  setObjectName("TOptionPanel");
  setWindowTitle(U("ｵﾌﾟｼｮﾝ設定"));
  const Options& o = data.options;
  const SearchOptions& so = o.search;
  auto* outer = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("PageTree");
  tree_->setHeaderHidden(true);
  tree_->setMaximumWidth(170);
  pages_ = new QStackedWidget(this);
  body->addWidget(tree_);
  body->addWidget(pages_, 1);
  outer->addLayout(body);

  // テキスト表示
  {
    auto* page = new QWidget;
    auto* form = new QVBoxLayout(page);
    form->addWidget(Check(page, "UseEditor", "テキストを外部エディタで表示する(&E)", o.use_editor));
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(U("エディタ(&T)"), page);
    row->addWidget(label);
    auto* editor = Edit(page, "Editor", o.editor);
    label->setBuddy(editor);
    editor->setText(FromPath(o.editor));
    row->addWidget(editor, 1);
    auto* browse = new QPushButton(U("参照..."), page);
    row->addWidget(browse);
    form->addLayout(row);
    connect(browse, &QPushButton::clicked, this, [this, editor] {
      const QString chosen = Browse(U("エディタ"));
      if (chosen.isEmpty()) return;
      editor->setText(chosen);
      // The editor list follows the program's name.
      const QString name = QFileInfo(chosen).fileName().toUpper();
      const QStringList known = {"TEAD.EXE", "KMTHNOTEPAD.EXE", "HIDEMARU.EXE", "QXW32.EXE", "EMEDITOR.EXE", "EMO.EXE"};
      const int index = static_cast<int>(known.indexOf(name));
      if (index >= 0) editor_list_->setCurrentIndex(index);
      // Then the list's own rule, as if the user had chosen that entry.
      OnEditorChosen(editor_list_->currentIndex());
    });
    form->addWidget(Check(page, "EditExecDone", "外部エディタの複数起動を許可する(&L)", o.edit_exec_done));
    form->addStretch();
    AddPage(U("テキスト表示"), page);
  }
  // タグ表示
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    auto group = [&](const char* key, const char* caption, std::initializer_list<const char*> items, int value) {
      auto* g = new QGroupBox(U(caption), page);
      auto* v = new QVBoxLayout(g);
      auto* buttons = new QButtonGroup(g);
      buttons->setObjectName(key);
      int k = 0;
      for (const char* item : items) {
        auto* r = new QRadioButton(U(item), g);
        r->setObjectName(QString("%1.%2").arg(key).arg(k));
        r->setChecked(k == value);
        buttons->addButton(r, k++);
        v->addWidget(r);
      }
      box->addWidget(g);
    };
    group("PathPrint", "ファイルのパス表示(&P)", {"絶対(ルートから)", "相対(検索パスから)", "省略(ファイル名のみ)"}, so.path_print);
    group("SamePrint", "同一ファイルの表示(&F)", {"そのまま表示", "アイコンだけ省略", "全て省略"}, so.same_print);
    box->addWidget(Check(page, "Preview", "選択行のテキストをプレビューする(&V)", o.preview));
    auto* wide = new QHBoxLayout;
    wide->addWidget(Check(page, "WidePreview", "前後も表示(&W)", so.wide_preview));
    for (const auto& [key, caption, value] :
         {std::tuple{"PrevLine", "前", o.prev_line}, std::tuple{"NextLine", "後", o.next_line}}) {
      wide->addWidget(new QLabel(U(caption), page));
      auto* spin = new QSpinBox(page);
      spin->setObjectName(key);
      spin->setRange(0, 2);
      spin->setValue(value);
      wide->addWidget(spin);
    }
    wide->addStretch();
    box->addLayout(wide);
    box->addWidget(Check(page, "ShowFDate", "ファイルの日付を表示する(&D)", o.show_f_date));
    box->addStretch();
    AddPage(U("タグ表示"), page);
  }
  // 検索設定: the mask sets
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(new QLabel(U("ファイルマスク (複数指定はカンマで区切ります)"), page));
    grid_ = new QTableWidget(20, 2, page);
    grid_->setObjectName("MaskGrid");
    grid_->setHorizontalHeaderLabels({U("ファイルマスク"), U("除外")});
    grid_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int n = 0; n < 20; ++n) {
      grid_->setItem(n, 0, new QTableWidgetItem(ShownMask(data.masks[static_cast<size_t>(n)].mask)));
      auto* flag = new QTableWidgetItem;
      flag->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      flag->setCheckState(data.masks[static_cast<size_t>(n)].exclude ? Qt::Checked : Qt::Unchecked);
      grid_->setItem(n, 1, flag);
    }
    box->addWidget(grid_);
    AddPage(U("検索設定"), page);
  }
  // 基本設定
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(Check(page, "FindSub", "サブディレクトリ内(&S)", so.find_sub));
    box->addWidget(Check(page, "FindAlsoArchive", "書庫ファイル内(&Z)", so.find_also_archive));
    box->addWidget(Check(page, "WholeWord", "ワード検索(&W)", so.whole_word));
    // Hidden; the stored mode changes only when the user picks another.
    auto* mode = new QComboBox(page);
    mode->setObjectName("CodeCngMode");
    mode->addItems({U("変換しない(SJIS)"), U("自動変換")});
    code_mode_shown_ = so.code_cng_mode == 0 ? 0 : 1;
    mode->setCurrentIndex(code_mode_shown_);
    mode->hide();
    auto* force = Check(page, "ForceCRLF", "", so.force_crlf);
    force->hide();
    box->addStretch();
    AddPage(U("基本設定"), page);
    // "拡張検索" names the same switches.
    auto* also = new QTreeWidgetItem(QStringList{U("拡張検索")});
    also->setData(0, Qt::UserRole, pages_->indexOf(page));
    tree_->addTopLevelItem(also);
  }
  // 拡張設定
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(Check(page, "AutoDocDetect", "*.docはWORD文書を自動判別して検索する(&D)", so.auto_doc_detect));
    box->addWidget(Check(page, "XlsGrep", "*.xlsファイル内を変換して検索する(&X)", so.xls_grep));
    box->addWidget(Check(page, "XlsAlsoNum", "数値も検索する(&N)", so.xls_also_num));
    auto* err = Check(page, "XlsErrLog", "ｴﾗｰﾛｸﾞ表示(&E)", so.xls_err_log);
    box->addWidget(err);
    box->addWidget(Check(page, "FindOnece", "検索語が見つかれば次のファイルへ(&S)", so.find_onece));
    box->addWidget(Check(page, "HTMLTag", "HTMLファイルのタグを無視する(&H)", so.html_tag));
    box->addWidget(Check(page, "OfficeXmlGrep", "*.docx,*.xlsx,*.pptx,*.odt,*.ods,*.odpファイル内を検索する(&O)", so.office_xml_grep));
    box->addWidget(Check(page, "PdfGrep", "*.pdfファイル内を検索する(&P)", so.pdf_grep));
    box->addStretch();
    AddPage(U("拡張設定"), page);
  }
  // 書庫設定
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    const bool available[] = {probe.lzh, probe.zip, probe.arj, probe.rar, probe.cab, probe.tar};
    for (size_t i = 0; i < std::size(kArchiveBoxes); ++i) {
      const ArchiveBox& a = kArchiveBoxes[i];
      const bool listed = std::any_of(data.archive_masks.begin(), data.archive_masks.end(), [&](const std::string& m) {
        return QString::fromStdString(m).compare(QLatin1String(a.mask), Qt::CaseInsensitive) == 0;
      });
      archive_shown_[i] = listed && available[i];
      archive_available_[i] = available[i];
      auto* b = Check(page, a.key, a.caption, archive_shown_[i]);
      b->setEnabled(available[i]);
      box->addWidget(b);
    }
    box->addWidget(new QLabel(U("グレーになっているものは上記[ ]の読み込み機能が必要です."), page));
    box->addStretch();
    AddPage(U("書庫設定"), page);
  }
  // 外部フィルタ
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(Check(page, "UseFilter", "外部フィルタプログラムを使用する", so.use_filter));
    auto* form = new QFormLayout;
    auto* name_row = new QHBoxLayout;
    auto* name = Edit(page, "FilterName", so.filter_name);
    name->setText(FromPath(so.filter_name));
    auto* browse = new QPushButton(U("参照..."), page);
    name_row->addWidget(name, 1);
    name_row->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this, name] {
      const QString chosen = Browse(U("外部フィルタ"));
      if (!chosen.isEmpty()) name->setText(chosen);  // kept as typed: the command line quotes it
    });
    auto* name_label = new QLabel(U("外部フィルタ(&F)"), page);
    name_label->setBuddy(name);  // a row of several widgets gets no buddy by itself
    form->addRow(name_label, name_row);
    form->addRow(U("対象ファイル(&E)"), Edit(page, "FilterExt", o.filter_ext));
    form->addRow(QString(), new QLabel(U("例： *.PPT,*.PDF"), page));
    form->addRow(U("オプションSW(&O)"), Edit(page, "FilterSw", so.filter_sw));
    box->addLayout(form);
    box->addStretch();
    AddPage(U("外部フィルタ"), page);
  }
  // エクスプローラ
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(Check(page, "SilenceRestart", "Ｌｏｒｖｅｋ起動中は即Ｇｒｅｐする(&N)", o.silence_restart));
    box->addWidget(Check(page, "Register", "エクスプローラにシェル拡張を登録する(&S)", data.registered));
    box->addWidget(new QLabel(U("ファイルマネージャ (Nautilus, Dolphin, Nemo) の右クリックメニューに\n"
                                "「LorvekでGrep...」を追加します."),
                              page));
    box->addStretch();
    AddPage(U("エクスプローラ"), page);
  }
  // ビュワー
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(Check(page, "ShowTag", "検索タグ一覧を表示する(&T)", data.show_tag));
    box->addStretch();
    AddPage(U("ビュワー"), page);
  }
  // エディタ
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->addWidget(new QLabel(U("エディタ選択："), page));
    editor_list_ = new QComboBox(page);
    editor_list_->setObjectName("EditorIs");
    for (const char* e : kEditors) editor_list_->addItem(U(e));
    editor_list_->setCurrentIndex(std::clamp(o.editor_is, 0, 7));
    box->addWidget(editor_list_);
    auto* form = new QFormLayout;
    form->addRow(U("エディタのタグジャンプ･オプションスイッチ(&S)"), Edit(page, "EditorSw", o.editor_sw));
    auto* order = new QComboBox(page);
    order->setObjectName("EditorSwS");
    order->addItems({U("SW ﾌｧｲﾙ名"), U("ﾌｧｲﾙ名 SW")});
    order->setCurrentIndex(o.editor_sw_s ? 1 : 0);
    form->addRow(U("オプションS&W順序"), order);
    box->addLayout(form);
    box->addWidget(Check(page, "EdAddMark", "マーカを付ける(&M)", o.ed_add_mark));
    box->addWidget(Check(page, "TeadDde", "DDEリンク(&D)", o.tead_dde));
    for (const auto& [flag, caption, value, sw, sw_value] :
         {std::tuple{"EdSendkeyw", "エディタに検索語を渡す(&K)", o.ed_sendkeyw, "EdKeywSw", o.ed_keyw_sw},
          std::tuple{"EdSendCol", "エディタに検索桁を渡す(&C)", o.ed_send_col, "EdColSw", o.ed_col_sw},
          std::tuple{"EdSendkeywN", "エディタに検索語数を渡す(&N)", o.ed_sendkeyw_n, "EdKeywNSw", o.ed_keyw_n_sw}}) {
      auto* row = new QHBoxLayout;
      row->addWidget(Check(page, flag, caption, value));
      row->addWidget(Edit(page, sw, sw_value));
      box->addLayout(row);
    }
    box->addStretch();
    connect(editor_list_, qOverload<int>(&QComboBox::activated), this, &TOptionPanel::OnEditorChosen);
    connect(editor_list_, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { UpdateEditorEnabling(); });
    connect(Find<QCheckBox>(page, "TeadDde"), &QCheckBox::toggled, this, [this] { UpdateEditorEnabling(); });
    AddPage(U("エディタ"), page);
  }
  // タグファイル
  {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    auto* g = new QGroupBox(U("CSVでの書き出し設定"), page);
    auto* form = new QFormLayout(g);
    auto* terms = new QComboBox(g);
    terms->setObjectName("CSVTerms");
    terms->addItems({U("カンマ"), U("タブ")});
    terms->setCurrentIndex(std::clamp(o.csv_terms, 0, 1));
    auto* quotes = new QComboBox(g);
    quotes->setObjectName("CSVQuates");
    quotes->addItems({U("なし"), U("ダブルクォーテーション"), U("シングルクォーテーション")});
    quotes->setCurrentIndex(std::clamp(o.csv_quates, 0, 2));
    form->addRow(U("区切り"), terms);
    form->addRow(U("文字列の括り"), quotes);
    box->addWidget(g);
    box->addStretch();
    AddPage(U("タグファイル"), page);
  }

  // Turning archive search on goes back to the target masks (the mask page rule).
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(U("OK"), this);
  ok->setObjectName("OkButton");
  auto* cancel = new QPushButton(U("キャンセル"), this);
  cancel->setObjectName("CancelButton");
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) {
            if (item) pages_->setCurrentIndex(item->data(0, Qt::UserRole).toInt());
          });
  tree_->setCurrentItem(tree_->topLevelItem(0));
  tree_->setFocus();
  UpdateEditorEnabling();
  resize(640, 460);
  if (parent) move(parent->geometry().center() - rect().center());
}

void TOptionPanel::AddPage(const QString& name, QWidget* page) {
  page->setObjectName("Page." + name);
  auto* item = new QTreeWidgetItem(QStringList{name});
  item->setData(0, Qt::UserRole, pages_->addWidget(page));
  tree_->addTopLevelItem(item);
}

QWidget* TOptionPanel::Control(const QString& key) const { return findChild<QWidget*>(key); }

QString TOptionPanel::Browse(const QString& caption) {
  if (choose_program) return choose_program(caption);
  return QFileDialog::getOpenFileName(this, caption, "/usr/bin");
}

void TOptionPanel::OnEditorChosen(int index) {
  auto* sw = Find<QLineEdit>(this, "EditorSw");
  if (index >= 0 && index < 7) sw->setText(kPresets[index]);
  if (index == 5) {  // emo also takes the search word
    Find<QCheckBox>(this, "EdSendkeyw")->setChecked(true);
    Find<QLineEdit>(this, "EdKeywSw")->setText("/ff");
  }
  if (index != 0) Find<QCheckBox>(this, "TeadDde")->setChecked(false);
  UpdateEditorEnabling();
}

void TOptionPanel::UpdateEditorEnabling() {
  const int index = editor_list_->currentIndex();
  const bool other = index == 7, tead = index == 0;
  Find<QLineEdit>(this, "EditorSw")->setEnabled(other);
  Find<QComboBox>(this, "EditorSwS")->setEnabled(other);
  auto* dde = Find<QCheckBox>(this, "TeadDde");
  dde->setEnabled(tead);
  if (!tead) dde->setChecked(false);
  Find<QCheckBox>(this, "EdAddMark")->setEnabled(tead && !dde->isChecked());
}

bool TOptionPanel::RegistrationWanted() const { return Find<QCheckBox>(this, "Register")->isChecked(); }

OptionsDialogData TOptionPanel::Values() const {
  OptionsDialogData d = base_;
  Options& o = d.options;
  SearchOptions& so = o.search;
  auto on = [this](const char* key) { return Find<QCheckBox>(this, key)->isChecked(); };
  auto text = [this](const char* key) { return ToSjis(Find<QLineEdit>(this, key)->text()); };
  auto path = [this](const char* key) { return ToPath(Find<QLineEdit>(this, key)->text()); };
  auto index = [this](const char* key) { return Find<QComboBox>(this, key)->currentIndex(); };
  auto choice = [this](const char* key) {
    const auto* g = findChild<QButtonGroup*>(key);
    return g && g->checkedId() >= 0 ? g->checkedId() : 0;
  };
  o.use_editor = on("UseEditor");
  o.editor = path("Editor");
  o.edit_exec_done = on("EditExecDone");
  so.path_print = choice("PathPrint");
  so.same_print = choice("SamePrint");
  o.preview = on("Preview");
  so.wide_preview = on("WidePreview");
  o.prev_line = Find<QSpinBox>(this, "PrevLine")->value();
  o.next_line = Find<QSpinBox>(this, "NextLine")->value();
  o.show_f_date = on("ShowFDate");
  for (int n = 0; n < 20; ++n) {
    d.masks[static_cast<size_t>(n)].mask = ToSjis(grid_->item(n, 0)->text());
    d.masks[static_cast<size_t>(n)].exclude = grid_->item(n, 1)->checkState() == Qt::Checked;
  }
  so.find_sub = on("FindSub");
  so.find_also_archive = on("FindAlsoArchive");
  so.whole_word = on("WholeWord");
  if (index("CodeCngMode") != code_mode_shown_) so.code_cng_mode = index("CodeCngMode");
  so.force_crlf = on("ForceCRLF");
  so.auto_doc_detect = on("AutoDocDetect");
  so.xls_grep = on("XlsGrep");
  so.xls_also_num = on("XlsAlsoNum");
  so.xls_err_log = on("XlsErrLog");
  so.find_onece = on("FindOnece");
  so.html_tag = on("HTMLTag");
  so.office_xml_grep = on("OfficeXmlGrep");
  so.pdf_grep = on("PdfGrep");
  // Archive masks: a box left as it was changes nothing a search does (the
  // masks it stands for beyond its own, *.JAR or *.TXZ, stay too).
  std::array<bool, 6> keep{}, now{};
  for (size_t i = 0; i < std::size(kArchiveBoxes); ++i) {
    now[i] = on(kArchiveBoxes[i].key);
    keep[i] = archive_available_[i] && now[i] == archive_shown_[i];
  }
  d.archive_masks = RebuildArchiveMasks(base_.archive_masks, keep, now);
  so.use_filter = on("UseFilter");
  so.filter_name = path("FilterName");
  o.filter_ext = text("FilterExt");
  so.filter_sw = text("FilterSw");
  o.silence_restart = on("SilenceRestart");
  d.registered = on("Register");
  d.show_tag = on("ShowTag");
  o.editor_is = editor_list_->currentIndex();
  o.m_editor = ToSjis(editor_list_->currentText());
  o.editor_sw = text("EditorSw");
  o.editor_sw_s = index("EditorSwS");
  o.ed_add_mark = on("EdAddMark");
  o.tead_dde = on("TeadDde");
  o.ed_sendkeyw = on("EdSendkeyw");
  o.ed_keyw_sw = text("EdKeywSw");
  o.ed_send_col = on("EdSendCol");
  o.ed_col_sw = text("EdColSw");
  o.ed_sendkeyw_n = on("EdSendkeywN");
  o.ed_keyw_n_sw = text("EdKeywNSw");
  o.csv_terms = index("CSVTerms");
  o.csv_quates = index("CSVQuates");
  return d;
}

}  // namespace lorvek
