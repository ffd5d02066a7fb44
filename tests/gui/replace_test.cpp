// The replace dialogs and commands, driven as a user drives them: clicks,
// keys and the boxes' real texts.
#include <algorithm>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QLabel>
#include <QStyleOptionViewItem>

#include "app/ui/main_window.h"
#include "app/ui/translations.h"
#include "gui_test_util.h"
#include "replace/ui/replace_dialogs.h"
#include "results/ui/result_list.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

// Runs action on the next modal widget that shows up.
void OnNextModal(std::function<void(QWidget*)> action) {
  QTimer::singleShot(0, [action] {
    QWidget* w = nullptr;
    for (int i = 0; i < 200 && !(w = QApplication::activeModalWidget()); ++i) QTest::qWait(10);
    if (w) action(w);
  });
}

// A style that lays out button boxes as one desktop does.
class ButtonLayoutStyle : public QProxyStyle {
 public:
  ButtonLayoutStyle(const QString& base, int layout) : QProxyStyle(QStyleFactory::create(base)), layout_(layout) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_DialogButtonLayout) return layout_;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }

 private:
  int layout_;
};

QAbstractButton* ButtonWithText(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QAbstractButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Runs action once a modal widget of that name shows up, polling from the
// event loop: the run before it processes events, and a nested wait there
// would hold it up.
void WhenShown(const QString& name, std::function<void(QWidget*)> action, int tries = 500) {
  QTimer::singleShot(10, [=] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && w->objectName() == name) action(w);
    else if (tries > 0) WhenShown(name, action, tries - 1);
  });
}

// Clicks the check box of a row of the preview, where the style puts it.
void ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  QStyleOptionViewItem opt;
  opt.initFrom(tree->viewport());
  opt.rect = tree->visualItemRect(item);
  opt.features |= QStyleOptionViewItem::HasCheckIndicator;
  const QRect check = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, tree);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, check.center());
}

// A window over a folder of files, searched for word.
struct Searched {
  QTemporaryDir dir, tree;
  std::unique_ptr<TLorvekMain> w;
  Quiet q;
  QString report;
  std::string Path(const std::string& name) const { return tree.path().toStdString() + "/" + name; }
  void Start(const std::vector<std::pair<std::string, std::string>>& files, const char* word) {
    for (const auto& [name, bytes] : files) WriteFile(Path(name), bytes);
    WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nWholeWord=0\r\nFuzzyChar=0\r\n");
    w = std::make_unique<TLorvekMain>(Folder(dir), std::vector<std::string>{});
    q.Attach(*w);
    w->show();
    w->show_report = [this](TReplReport& r) { report = r.Memo()->toPlainText(); };
    w->findChild<QComboBox*>("FindWord")->setEditText(word);
    w->findChild<QComboBox*>("FindPath")->setEditText(tree.path());
    w->FindButtonClick();
  }
  // すべて置換 with the replacement typed and "プレビュー(&V)..." clicked;
  // then in_preview with the preview window.
  void Preview(const char* with, std::function<void(TReplPreview*)> in_preview) {
    OnNextModal([=](QWidget* d) {
      QCOMPARE(d->objectName(), QString("TReplace"));
      QTest::keyClicks(d->findChild<QComboBox*>()->lineEdit(), with);
      WhenShown("TReplPreview", [=](QWidget* p) {
        auto* preview = qobject_cast<TReplPreview*>(p);
        QVERIFY(preview);
        in_preview(preview);
      });
      QTest::mouseClick(ButtonWithText(d, U8("プレビュー(&V)...")), Qt::LeftButton);
    });
    w->findChild<QAction*>("ReplAllBtn")->trigger();
  }
};

}  // namespace

class ReplaceDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    InstallJapaneseTranslations(*qApp);
  }

  void TheQuestionsFourAnswersAndEscape() {
    QWidget parent;
    struct Case {
      const char* button;
      ReplaceFrontEnd::Answer expected;
    } cases[] = {{"はい(&Y)", ReplaceFrontEnd::Answer::Yes},
                 {"いいえ(&N)", ReplaceFrontEnd::Answer::No},
                 {"中止(&A)", ReplaceFrontEnd::Answer::Abort},
                 {"すべて", ReplaceFrontEnd::Answer::All}};
    for (const Case& c : cases) {
      OnNextModal([&](QWidget* w) {
        QCOMPARE(w->windowTitle(), U8("置換"));
        QTest::mouseClick(ButtonWithText(w, U8(c.button)), Qt::LeftButton);
      });
      QCOMPARE(AskReplaceMatch(&parent, U8("a.txt : 1 [cat] を置換しますか?")), c.expected);
    }
    OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(AskReplaceMatch(&parent, "?"), ReplaceFrontEnd::Answer::No);  // Escape declines
    OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
    QCOMPARE(AskReplaceMatch(&parent, "?"), ReplaceFrontEnd::Answer::Yes);  // はい is the default
  }

  // The question's buttons read はい, いいえ, 中止, すべて whatever the style
  // and the writing direction, so すべて never sits where はい is expected.
  void TheQuestionsButtonsKeepTheirOrderOnEveryStyle() {
    QWidget parent;
    const QStringList expected{U8("はい(&Y)"), U8("いいえ(&N)"), U8("中止(&A)"), U8("すべて")};
    struct Look {
      QString base;
      int layout;  // -1: the style's own
    };
    const Look looks[] = {{"Fusion", -1},
                          {"Windows", -1},
                          {"Fusion", QDialogButtonBox::WinLayout},
                          {"Fusion", QDialogButtonBox::MacLayout},
                          {"Fusion", QDialogButtonBox::KdeLayout},
                          {"Fusion", QDialogButtonBox::GnomeLayout},
                          {"Windows", QDialogButtonBox::GnomeLayout},
                          {"Fusion", QDialogButtonBox::AndroidLayout}};
    for (const Look& look : looks) {
      for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        const QString where = QString("%1/%2/%3").arg(look.base).arg(look.layout).arg(direction);
        if (look.layout < 0) QApplication::setStyle(QStyleFactory::create(look.base));
        else QApplication::setStyle(new ButtonLayoutStyle(look.base, look.layout));
        QApplication::setLayoutDirection(direction);
        QStringList order;
        OnNextModal([&](QWidget* w) {
          QList<QAbstractButton*> buttons;
          for (const QString& text : expected)
            if (QAbstractButton* b = ButtonWithText(w, text)) buttons << b;
          std::sort(buttons.begin(), buttons.end(), [&](QAbstractButton* a, QAbstractButton* b) {
            const int ax = a->mapToGlobal(QPoint(0, 0)).x(), bx = b->mapToGlobal(QPoint(0, 0)).x();
            return direction == Qt::LeftToRight ? ax < bx : ax > bx;
          });
          for (QAbstractButton* b : buttons) order << b->text();
          // The button where はい is expected: the first in reading order.
          if (!buttons.isEmpty()) QTest::mouseClick(buttons.first(), Qt::LeftButton);
          else QTest::keyClick(w, Qt::Key_Escape);
        });
        const ReplaceFrontEnd::Answer answer = AskReplaceMatch(&parent, U8("a.txt : 1 [cat] を置換しますか?"));
        QVERIFY2(order == expected, qPrintable(where + ": " + order.join(" ")));
        QVERIFY2(answer == ReplaceFrontEnd::Answer::Yes, qPrintable(where));
      }
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
  }

  void WarningsWriteTheirKeyOnlyOnContinue() {
    QTemporaryDir dir;
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    {
      TReplQuery q(0, ini);
      QVERIFY(q.CancelButton()->isDefault());
      QTest::mouseClick(q.Box(), Qt::LeftButton);
      q.show();
      QTest::mouseClick(q.CancelButton(), Qt::LeftButton);
      QCOMPARE(q.result(), int(QDialog::Rejected));
      QVERIFY(q.DontShowAgain());
      QVERIFY(!ini.HasKey("Options", "ReplIgnore"));  // キャンセル writes nothing
    }
    for (int kind : {0, 1, 2}) {
      TReplQuery q(kind, ini);
      q.show();
      q.Box()->setChecked(true);
      QTest::mouseClick(q.ContinueButton(), Qt::LeftButton);
      QCOMPARE(q.result(), int(QDialog::Accepted));
      QCOMPARE(ini.ReadStr("Options", TReplQuery::KeyOf(kind), ""), std::string("1"));  // at once
    }
  }

  void ReplacementDialogHistoryAndKeys() {
    QTemporaryDir dir;
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    {
      TReplace d(ini);
      d.show();
      QTest::keyClicks(d.Box()->lineEdit(), "dog");
      QTest::mouseClick(d.OkButton(), Qt::LeftButton);
      QCOMPARE(d.result(), int(QDialog::Accepted));
      QCOMPARE(d.Text(), U8("dog"));
    }
    {
      TReplace d(ini);
      QCOMPARE(d.Box()->itemText(0), U8("dog"));  // OK put it in the history
      d.show();
      QTest::keyClicks(d.Box()->lineEdit(), "bird");
      QTest::keyClick(d.Box()->lineEdit(), Qt::Key_Return);
      QCOMPARE(d.result(), int(QDialog::Accepted));
      QCOMPARE(d.Text(), U8("bird"));
    }
    {
      TReplace d(ini);
      QCOMPARE(d.Box()->count(), 1);  // Enter left the history alone
      d.show();
      QTest::keyClick(d.Box()->lineEdit(), Qt::Key_Escape);
      QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    // The viewer's dialog shares the replacement history and keeps its switches.
    {
      TReplDlg v(ini, U8("検索"), false);
      QCOMPARE(v.ReplaceBox()->itemText(0), U8("dog"));
      QVERIFY(!v.InSelection()->isEnabled());
      v.show();
      QTest::mouseClick(v.FromTop(), Qt::LeftButton);
      QVERIFY(!v.Backward()->isEnabled() && !v.Forward()->isEnabled());
      QTest::mouseClick(v.FromCaret(), Qt::LeftButton);
      QVERIFY(v.Backward()->isEnabled());
      v.ReplaceBox()->setEditText("fish");
      QTest::mouseClick(v.ReplaceAllButton(), Qt::LeftButton);
      QVERIFY(v.Conditions().replace_all);
    }
    TReplace d(ini);
    QCOMPARE(d.Box()->itemText(0), U8("fish"));
  }

  void ReportWindow() {
    TReplReport r(U8("note\r\n\n\r1 個のファイルの 2 個の文字を変換しました."));
    QCOMPARE(r.windowTitle(), U8("レポート"));
    QCOMPARE(r.size(), QSize(403, 310));
    r.show();
    r.resize(500, 300);
    QCOMPARE(r.OkButton()->x(), 500 - 90);
    QVERIFY(r.Memo()->toPlainText().contains(U8("2 個の文字を変換しました.")));
    QTest::mouseClick(r.OkButton(), Qt::LeftButton);
    QCOMPARE(r.result(), int(QDialog::Accepted));
  }

  // XlsErrLog: the run's spreadsheet failures in the report window.
  void SpreadsheetFailuresReport() {
    QTemporaryDir dir, tree;
    WriteFile(tree.path().toStdString() + "/good.xls", ReadFileBytes(LORVEK_TEST_DATA "/docs/sample.xls"));
    WriteFile(tree.path().toStdString() + "/bad.xls", ReadFileBytes(LORVEK_TEST_DATA "/docs/oversize_sst.xls"));
    WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nXlsErrLog=1\r\nWholeWord=0\r\n");
    TLorvekMain w(Folder(dir), {});
    Quiet q;
    q.Attach(w);
    w.show();
    QString report;
    w.show_report = [&](TReplReport& r) { report = r.Memo()->toPlainText(); };
    w.findChild<QComboBox*>("FindWord")->setEditText("cat");
    w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
    w.FindButtonClick();
    QCOMPARE(report.trimmed(), U8("全 2 ファイル中 1 ファイルが失敗"));
    QCOMPARE(QString::fromStdString(std::string(w.store()[0].LineText)), U8("cat [Page:1(1:0)]"));
  }

  void CommandsFromTheWindow() {
    QTemporaryDir dir, tree;
    WriteFile(tree.path().toStdString() + "/a.txt", "one cat\r\ntwo cat\r\n");
    WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nFindOnece=1\r\nWholeWord=0\r\nFuzzyChar=0\r\n");
    TLorvekMain w(Folder(dir), {});
    Quiet q;
    q.Attach(w);
    w.show();
    auto* all = w.findChild<QAction*>("ReplAllBtn");
    auto* selected = w.findChild<QAction*>("ReplSelBtn");
    QVERIFY(!all->isEnabled() && !selected->isEnabled());
    w.findChild<QComboBox*>("FindWord")->setEditText("cat");
    w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
    w.FindButtonClick();
    QCOMPARE(w.store().size(), size_t{1});  // FindOnece: the first hit of the file
    QVERIFY(all->isEnabled());
    QVERIFY(!selected->isEnabled());
    w.findChild<ResultList*>("ExtListView1")->selectRow(0);
    QVERIFY(selected->isEnabled());

    // FindOnece: the warning first; キャンセル ends the command.
    bool replacement_shown = false;
    OnNextModal([&](QWidget* d) {
      QCOMPARE(d->objectName(), QString("TReplQuery"));
      QTest::mouseClick(ButtonWithText(d, U8("キャンセル(&C)")), Qt::LeftButton);
    });
    all->trigger();
    QTest::qWait(20);
    QVERIFY(!replacement_shown);
    // 続行 with the box: written, then the replacement, the question, the report.
    QString report;
    w.show_report = [&](TReplReport& r) { report = r.Memo()->toPlainText(); };
    OnNextModal([&](QWidget* d) {
      QCOMPARE(d->objectName(), QString("TReplQuery"));
      d->findChild<QCheckBox*>()->setChecked(true);
      QTest::mouseClick(ButtonWithText(d, U8("続行(&I)")), Qt::LeftButton);
      OnNextModal([&](QWidget* r) {
        QCOMPARE(r->objectName(), QString("TReplace"));
        replacement_shown = true;
        QTest::keyClicks(r->findChild<QComboBox*>()->lineEdit(), "dog");
        QTest::mouseClick(ButtonWithText(r, U8("&OK")), Qt::LeftButton);
        OnNextModal([&](QWidget* m) {
          // While the run asks, nothing can start a search, a second run or the close.
          for (const char* name : {"FindBtn", "ExitBtn", "ReplAllBtn", "ReplSelBtn"})
            QVERIFY2(!w.findChild<QAction*>(name)->isEnabled(), name);
          QTest::mouseClick(ButtonWithText(m, U8("すべて")), Qt::LeftButton);
        });
      });
    });
    all->trigger();
    QTRY_VERIFY(!report.isEmpty());
    QVERIFY(replacement_shown);
    QVERIFY(w.findChild<QAction*>("FindBtn")->isEnabled());
    QVERIFY(w.findChild<QAction*>("ExitBtn")->isEnabled());
    QVERIFY(report.contains(U8("1 個のファイルの 1 個の文字を変換しました.")));
    QCOMPARE(ReadFileBytes(tree.path().toStdString() + "/a.txt"), std::string("one dog\r\ntwo cat\r\n"));
    QCOMPARE(QString::fromStdString(std::string(w.store()[0].LineText)), U8("one dog"));
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    QCOMPARE(ini.ReadStr("Options", "ReplIgnore", ""), std::string("1"));

    // 編集 > 置換を元に戻す: the file and its row come back, once.
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* edit = w.findChild<QMenu*>("Edit1");
    auto* undo = w.findChild<QAction*>("UndoReplace");
    QVERIFY(edit && undo);
    report.clear();
    auto open_edit_menu = [&] {
      QMenuBar* bar = w.menuBar();
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
    };
    open_edit_menu();
    QTRY_VERIFY(edit->isVisible());
    QVERIFY(undo->isEnabled());
    QTest::keyClick(edit, Qt::Key_U);
    QTRY_COMPARE(ReadFileBytes(tree.path().toStdString() + "/a.txt"), std::string("one cat\r\ntwo cat\r\n"));
    QCOMPARE(QString::fromStdString(std::string(w.store()[0].LineText)), U8("one cat"));
    QTRY_VERIFY(report.contains(U8("1 個のファイルを元に戻しました.")));
    open_edit_menu();
    QTRY_VERIFY(edit->isVisible());
    QVERIFY(!undo->isEnabled());  // nothing left to undo
    QTest::keyClick(edit, Qt::Key_Escape);
  }

  // The replace takes the whole-word switch shown when it starts: searched
  // with 単 on, then 単 clicked off, every match of the word is replaced.
  void TheWholeWordSwitchInForceWhenTheReplaceStarts() {
    Searched s;
    WriteFile(s.Path("a.txt"), "dogs dog\r\n");
    WriteFile(Folder(s.dir) + "Lorvek.ini", "[Options]\r\nWholeWord=1\r\nFuzzyChar=0\r\n");
    s.w = std::make_unique<TLorvekMain>(Folder(s.dir), std::vector<std::string>{});
    s.q.Attach(*s.w);
    s.w->show();
    s.w->show_report = [&](TReplReport& r) { s.report = r.Memo()->toPlainText(); };
    s.w->findChild<QComboBox*>("FindWord")->setEditText("dog");
    s.w->findChild<QComboBox*>("FindPath")->setEditText(s.tree.path());
    s.w->FindButtonClick();
    QCOMPARE(s.w->store().size(), size_t{1});
    QAction* word = s.w->findChild<QAction*>("WholeWdBtn");
    QVERIFY(word->isChecked());
    QToolButton* button = nullptr;
    for (QToolButton* b : s.w->findChildren<QToolButton*>())
      if (b->defaultAction() == word) button = b;
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!word->isChecked());
    OnNextModal([&](QWidget* d) {
      QTest::keyClicks(d->findChild<QComboBox*>()->lineEdit(), "X");
      QTest::mouseClick(ButtonWithText(d, U8("&OK")), Qt::LeftButton);
      OnNextModal([&](QWidget* m) { QTest::mouseClick(ButtonWithText(m, U8("すべて")), Qt::LeftButton); });
    });
    s.w->findChild<QAction*>("ReplAllBtn")->trigger();
    QTRY_VERIFY(!s.report.isEmpty());
    QCOMPARE(ReadFileBytes(s.Path("a.txt")), std::string("Xs X\r\n"));
  }

  // The preview lists every line that would change; a line unticked by a
  // click stays as it was, a file unticked is not touched and gets no
  // backup; Enter writes the rest.
  void PreviewWritesOnlyTheTickedLines() {
    Searched s;
    s.Start({{"a.txt", "cat one\r\nkeep cat\r\ncat three\r\n"}, {"b.txt", "cat b\n"}}, "cat");
    QCOMPARE(s.w->store().size(), size_t{4});
    bool seen = false;
    s.Preview("dog", [&](TReplPreview* p) {
      seen = true;
      QCOMPARE(p->windowTitle(), U8("置換のプレビュー"));
      QCOMPARE(p->Tree()->topLevelItemCount(), 2);
      QCOMPARE(p->Item(0)->childCount(), 3);
      QCOMPARE(p->Counts()->text(), U8("2 / 2 ファイル、4 / 4 行、4 / 4 箇所を置換します."));
      ClickCheckBox(p->Tree(), p->Item(0, 1));
      QCOMPARE(p->Item(0, 1)->checkState(0), Qt::Unchecked);
      QCOMPARE(p->Item(0)->checkState(0), Qt::PartiallyChecked);
      ClickCheckBox(p->Tree(), p->Item(1));
      QCOMPARE(p->Item(1, 0)->checkState(0), Qt::Unchecked);  // the file takes its lines along
      QCOMPARE(p->Counts()->text(), U8("1 / 2 ファイル、2 / 4 行、2 / 4 箇所を置換します."));
      QTest::keyClick(p->Tree(), Qt::Key_Return);
    });
    QTRY_VERIFY(!s.report.isEmpty());
    QVERIFY(seen);
    QCOMPARE(ReadFileBytes(s.Path("a.txt")), std::string("dog one\r\nkeep cat\r\ndog three\r\n"));
    QCOMPARE(ReadFileBytes(s.Path("a.bak")), std::string("cat one\r\nkeep cat\r\ncat three\r\n"));
    QCOMPARE(ReadFileBytes(s.Path("b.txt")), std::string("cat b\n"));
    QVERIFY(!QFile::exists(QString::fromStdString(s.Path("b.bak"))));
    QVERIFY(s.report.contains(U8("1 個のファイルの 2 個の文字を変換しました.")));
    QCOMPARE(QString::fromStdString(std::string(s.w->store()[0].LineText)), U8("dog one"));
    QCOMPARE(QString::fromStdString(std::string(s.w->store()[1].LineText)), U8("keep cat"));
    // Undo: every row of the file shows its own line again.
    s.w->findChild<QAction*>("UndoReplace")->trigger();
    QCOMPARE(ReadFileBytes(s.Path("a.txt")), std::string("cat one\r\nkeep cat\r\ncat three\r\n"));
    const char* const lines[] = {"cat one", "keep cat", "cat three", "cat b"};
    for (size_t i = 0; i < 4; ++i)
      QCOMPARE(QString::fromStdString(std::string(s.w->store()[i].LineText)), U8(lines[i]));
  }

  // By keyboard alone: arrows move, Space unticks, Tab leaves the list for
  // the buttons, Escape cancels and nothing is written.
  void PreviewByKeyboardAndCancel() {
    Searched s;
    s.Start({{"a.txt", "cat\ncat\n"}}, "cat");
    s.Preview("dog", [&](TReplPreview* p) {
      QTRY_VERIFY(p->Tree()->hasFocus());
      QCOMPARE(p->Tree()->currentItem(), p->Item(0));
      QTest::keyClick(p->Tree(), Qt::Key_Down);
      QTest::keyClick(p->Tree(), Qt::Key_Down);
      QCOMPARE(p->Tree()->currentItem(), p->Item(0, 1));
      QTest::keyClick(p->Tree(), Qt::Key_Space);
      QCOMPARE(p->Item(0, 1)->checkState(0), Qt::Unchecked);
      QTest::keyClick(p->Tree(), Qt::Key_Space);
      QCOMPARE(p->Item(0, 1)->checkState(0), Qt::Checked);
      QTest::keyClick(p->Tree(), Qt::Key_Up);
      QTest::keyClick(p->Tree(), Qt::Key_Up);
      QTest::keyClick(p->Tree(), Qt::Key_Space);  // the file: all its lines
      QCOMPARE(p->Counts()->text(), U8("0 / 1 ファイル、0 / 2 行、0 / 2 箇所を置換します."));
      QVERIFY(!p->OkButton()->isEnabled());  // nothing to write
      QTest::keyClick(p->Tree(), Qt::Key_Tab);
      QVERIFY(!p->Tree()->hasFocus());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTest::qWait(20);
    QVERIFY(s.report.isEmpty());  // no run, no report
    QCOMPARE(ReadFileBytes(s.Path("a.txt")), std::string("cat\ncat\n"));
    QVERIFY(!QFile::exists(QString::fromStdString(s.Path("a.bak"))));
    QCOMPARE(s.w->StatusText(0), U8("置換を取り消しました."));
  }

  // A file of many lines ticked and unticked by Space: its lines follow at
  // once, and each key reads each line's box a bounded number of times (a
  // recount per line the file passes its tick to would never finish).
  void PreviewTicksOfALargeFileAreCountedOnce() {
    constexpr int kLines = 20000;
    ReplacePreview preview;
    preview.files.resize(2);
    preview.files[0].path = "/nowhere/big.txt";
    for (int i = 1; i <= kLines; ++i) preview.files[0].lines.push_back({i, "cat", "dog", {{0, 3, 0, 3}}});
    preview.files[1].path = "/nowhere/small.txt";
    preview.files[1].lines.push_back({1, "a cat cat", "a dog dog", {{2, 5, 2, 5}, {6, 9, 6, 9}}});
    TReplPreview p(preview);
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    QCOMPARE(p.Counts()->text(), U8("2 / 2 ファイル、20001 / 20001 行、20002 / 20002 箇所を置換します."));
    QCOMPARE(p.Tree()->currentItem(), p.Item(0));
    size_t before = p.LinesLookedAt();
    QTest::keyClick(p.Tree(), Qt::Key_Space);
    QCOMPARE(p.Item(0)->checkState(0), Qt::Unchecked);
    QCOMPARE(p.Item(0, 0)->checkState(0), Qt::Unchecked);
    QCOMPARE(p.Item(0, kLines - 1)->checkState(0), Qt::Unchecked);
    QCOMPARE(p.Counts()->text(), U8("1 / 2 ファイル、1 / 20001 行、2 / 20002 箇所を置換します."));
    QVERIFY(p.LinesLookedAt() - before <= size_t{2 * kLines});
    before = p.LinesLookedAt();
    QTest::keyClick(p.Tree(), Qt::Key_Space);
    QCOMPARE(p.Item(0, kLines / 2)->checkState(0), Qt::Checked);
    QCOMPARE(p.Counts()->text(), U8("2 / 2 ファイル、20001 / 20001 行、20002 / 20002 箇所を置換します."));
    QVERIFY(p.LinesLookedAt() - before <= size_t{2 * kLines});
    // One line off: the file is partly ticked; Space on it ticks it all again.
    before = p.LinesLookedAt();
    QTest::keyClick(p.Tree(), Qt::Key_Down);
    QTest::keyClick(p.Tree(), Qt::Key_Space);
    QCOMPARE(p.Item(0, 0)->checkState(0), Qt::Unchecked);
    QCOMPARE(p.Item(0)->checkState(0), Qt::PartiallyChecked);
    QCOMPARE(p.Counts()->text(), U8("2 / 2 ファイル、20000 / 20001 行、20001 / 20002 箇所を置換します."));
    QVERIFY(p.LinesLookedAt() - before <= size_t{10});
    QTest::keyClick(p.Tree(), Qt::Key_Up);
    QTest::keyClick(p.Tree(), Qt::Key_Space);
    QCOMPARE(p.Item(0)->checkState(0), Qt::Checked);
    QCOMPARE(p.Item(0, 0)->checkState(0), Qt::Checked);
    QCOMPARE(p.Counts()->text(), U8("2 / 2 ファイル、20001 / 20001 行、20002 / 20002 箇所を置換します."));
    // The small file's only line off: the file counts no more.
    QTest::mouseClick(ButtonWithText(&p, U8("すべて解除(&U)")), Qt::LeftButton);
    QCOMPARE(p.Counts()->text(), U8("0 / 2 ファイル、0 / 20001 行、0 / 20002 箇所を置換します."));
    QVERIFY(!p.OkButton()->isEnabled());
    QCOMPARE(p.Item(1, 0)->checkState(0), Qt::Unchecked);
    p.reject();
  }

  // OK with everything ticked writes what the replace without a preview
  // writes, and asks no question per match.
  void PreviewWithAllTickedIsThePlainReplace() {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.txt", "one cat and a cat\r\nnone\r\n"}, {"b.txt", "cat\ncatcat\n"}};
    Searched plain;
    plain.Start(files, "cat");
    OnNextModal([&](QWidget* d) {
      QTest::keyClicks(d->findChild<QComboBox*>()->lineEdit(), "dog");
      OnNextModal([&](QWidget* m) { QTest::mouseClick(ButtonWithText(m, U8("すべて")), Qt::LeftButton); });
      QTest::mouseClick(ButtonWithText(d, U8("&OK")), Qt::LeftButton);
    });
    plain.w->findChild<QAction*>("ReplAllBtn")->trigger();
    QTRY_VERIFY(!plain.report.isEmpty());
    Searched looked;
    looked.Start(files, "cat");
    looked.Preview("dog", [&](TReplPreview* p) {
      QCOMPARE(p->Counts()->text(), U8("2 / 2 ファイル、3 / 3 行、5 / 5 箇所を置換します."));
      QTest::mouseClick(p->OkButton(), Qt::LeftButton);  // then no question: the lines were seen
    });
    QTRY_VERIFY(!looked.report.isEmpty());
    for (const char* name : {"a.txt", "b.txt", "a.bak", "b.bak"})
      QCOMPARE(ReadFileBytes(looked.Path(name)), ReadFileBytes(plain.Path(name)));
    QCOMPARE(looked.report, plain.report);
  }
};

QTEST_MAIN(ReplaceDialogsTest)
#include "replace_test.moc"
