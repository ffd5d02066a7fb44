// The viewer driven as a user drives it: keys into the editor, menu
// commands by their shortcuts, dialogs answered through their own buttons.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeySequenceEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <QTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTabWidget>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMimeDatabase>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QScrollBar>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QMouseEvent>

#include "app/ui/options_dialog.h"
#include "app/ui/translations.h"
#include "gui_test_util.h"
#include "text/file_bytes.h"
#include "replace/ui/replace_dialogs.h"
#include "view/ui/environment_dialogs.h"
#include "view/ui/find_dialog.h"
#include "view/ui/printing.h"
#include "view/ui/text_editor.h"
#include "view/ui/view_window.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

std::string Sj(const char* utf8) { return Utf8ToCp932(utf8); }

// Shown and active, as a window must be for its shortcuts.
// The find dialog, when it opens, gets word and its すべて検索 button clicked.
void AnswerFindAllWith(TView& v, const QString& word) {
  v.show_dialog = [word](QDialog& d) {
    auto& f = static_cast<TFindDlg&>(d);
    f.WordBox()->setEditText(word);
    QTest::mouseClick(f.AllButton(), Qt::LeftButton);
  };
}

void Show(TView& v) {
  v.show();
  v.activateWindow();
  QApplication::setActiveWindow(&v);
  QTest::qWaitForWindowActive(&v);
  v.Editor()->setFocus();
}

const std::string kText = Sj("一行目の文\r\n検索と検索と検索の行\r\n三行目\r\nもう一度の検索\r\n最後の行\r\n");

}  // namespace

class ViewerTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    InstallJapaneseTranslations(*qApp);
  }

  void LoadJumpTypeAndSaveKeepsTheOtherLines() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", kText);
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    QCOMPARE(v.Panel(5), QString("SJIS"));
    QCOMPARE(v.windowTitle(), QString::fromStdString(Folder(dir) + "a.txt"));
    v.SetFindString(Sj("検索"), 0);
    QVERIFY(v.JumpToHit(0, 3, 4));  // 検索 at the start of the fourth line's text? no: "もう一度の"
    QCOMPARE(v.Panel(2), U8("行:4"));
    v.Editor()->setFocus();
    QTest::keyClick(v.Editor(), Qt::Key_End);
    // Alt with a letter no menu takes types nothing.
    QTest::keyClick(v.Editor(), Qt::Key_Z, Qt::AltModifier);
    QCOMPARE(v.Panel(3), QString());
    QTest::keyClicks(v.Editor(), "X");
    QCOMPARE(v.Panel(3), U8("変更あり"));
    QTest::keyClick(v.Editor(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(v.Panel(3), QString());
    QCOMPARE(ReadFileBytes(Folder(dir) + "a.txt"),
             Sj("一行目の文\r\n検索と検索と検索の行\r\n三行目\r\nもう一度の検索X\r\n最後の行\r\n"));
  }

  // The find dialog opens with the selected text as its word, and Enter
  // searches for what the box shows, whatever the history holds.
  void FindSearchesForTheSelectedWordNotTheHistorys() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "alpha beta\r\nbeta gamma\r\nolder\r\n");
    WriteFile(Folder(dir) + "Lorvek.ini", "[FindHistory]\r\n0=older\r\n1=oldest\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    v.Editor()->Select({0, 6}, 4);  // "beta"
    QString shown;
    v.show_dialog = [&](QDialog& d) {
      auto& f = static_cast<TFindDlg&>(d);
      d.show();
      QVERIFY(QTest::qWaitForWindowExposed(&d));
      shown = f.WordBox()->currentText();
      QTest::keyClick(f.WordBox()->lineEdit(), Qt::Key_Return);
    };
    QTest::keyClick(v.Editor(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(shown, QString("beta"));
    QCOMPARE(QString::fromStdString(v.Editor()->FindWord()), QString("beta"));
    QCOMPARE(v.Panel(2), U8("行:2"));
  }

  // The find dialog's options are those of the replace dialog, with the
  // same captions and keys, and ﾍﾟｰｼﾞ先頭から starts at the top.
  void FindDialogCaptionsAndItsStart() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "cat one\r\ntwo\r\ncat three\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    v.Editor()->SetCaret({2, 0});
    QStringList captions;
    v.show_dialog = [&](QDialog& d) {
      auto& f = static_cast<TFindDlg&>(d);
      for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) captions << b->text();
      f.WordBox()->setEditText("cat");
      QTest::mouseClick(f.FromTopButton(), Qt::LeftButton);
      QTest::mouseClick(f.DownButton(), Qt::LeftButton);
    };
    QTest::keyClick(v.Editor(), Qt::Key_F, Qt::ControlModifier);
    for (const char* c : {"大/小文字の区別(&C)", "ﾜｰﾄﾞ単位(&W)", "正規表現(&E)", "あいまい検索(&F)", "現在位置から(&G)",
                          "ﾍﾟｰｼﾞ先頭から(&T)"})
      QVERIFY2(captions.contains(U8(c)), c);
    QCOMPARE(v.Panel(2), U8("行:1"));  // from the top, not from the caret on line 3
  }

  // [Find] is shared: the find dialog keeps its switches there for the
  // replace dialog, and each writes only the keys it has controls for.
  void FindAndReplaceDialogsShareTheirSwitches() {
    QTemporaryDir dir;
    const std::string path = Folder(dir) + "Lorvek.ini";
    TIniGT ini(path);
    {
      // A fresh file: every switch off, the search from the caret.
      TFindDlg f(ini, TFindDlg::Mode::Find, "cat", true);
      QVERIFY(!f.WholeWordBox()->isChecked() && !f.MatchCaseBox()->isChecked() && !f.RegExpBox()->isChecked() &&
              !f.FuzzyBox()->isChecked() && !f.SelectionBox()->isChecked() && !f.FromTopButton()->isChecked());
      f.show();
      // On the box itself: the check boxes are as wide as the dialog.
      for (QCheckBox* b : {f.WholeWordBox(), f.SelectionBox()})
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
      QTest::mouseClick(f.FromTopButton(), Qt::LeftButton);
      QTest::mouseClick(f.DownButton(), Qt::LeftButton);
    }
    const std::string after_find = ReadFileBytes(path);
    for (const char* line : {"WholeWord=1", "MatchCase=0", "RegExp=0", "Fuzzy=0", "FindArea=1", "From=0", "FromTop=1"})
      QVERIFY2(after_find.find(std::string("\r\n") + line + "\r\n") != std::string::npos, line);
    for (const char* key : {"QueryRepl", "ReplFor", "ForNext", "ForPrev", "FromSel"})
      QVERIFY2(after_find.find(key) == std::string::npos, key);
    {
      // The replace dialog takes the shared switches and its own defaults.
      TReplDlg r(ini, "cat", false);
      const ReplaceConditions c = r.Conditions();
      QVERIFY(c.whole_word && !c.match_case && !c.regexp && !c.fuzzy);
      QVERIFY(c.query);
      QVERIFY(r.Forward()->isChecked() && !r.Backward()->isChecked());
      QCOMPARE(int(c.start), int(ReplaceConditions::FromTop));
      r.show();
      for (QRadioButton* b : {r.FromCaret(), r.Backward()})
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
      QVERIFY(r.Backward()->isChecked());
      QTest::keyClick(r.FindBox()->lineEdit(), Qt::Key_Escape);
    }
    const std::string after_replace = ReadFileBytes(path);
    for (const char* line : {"WholeWord=1", "FindArea=1", "From=1", "FromTop=0", "FromSel=0", "QueryRepl=1",
                             "ReplFor=0", "ForPrev=1", "ForNext=0"})
      QVERIFY2(after_replace.find(std::string("\r\n") + line + "\r\n") != std::string::npos, line);
    QVERIFY(after_replace.rfind("[Find]", 0) == 0);
    {
      TFindDlg f(ini, TFindDlg::Mode::Find, "cat", true);
      QVERIFY(f.WholeWordBox()->isChecked() && f.SelectionBox()->isChecked() && !f.FromTopButton()->isChecked());
    }
  }

  // The viewer's questions keep their buttons in one order, each with its
  // key, whatever the desktop style would do with their roles.
  void QuestionsKeepTheirButtonsInOrder() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    QTest::keyClicks(v.Editor(), "x");
    QStringList order;
    QTimer::singleShot(0, [&] {
      QWidget* box = nullptr;
      for (int i = 0; i < 200 && !(box = QApplication::activeModalWidget()); ++i) QTest::qWait(10);
      QVERIFY(box);
      QList<QAbstractButton*> buttons = box->findChildren<QAbstractButton*>();
      std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint(0, 0)).x() < b->mapToGlobal(QPoint(0, 0)).x();
      });
      for (QAbstractButton* b : buttons)
        if (b->isVisible()) order << b->text();
      for (QAbstractButton* b : buttons)
        if (b->text() == U8("キャンセル(&C)")) QTest::mouseClick(b, Qt::LeftButton);
    });
    v.Exit();
    QCOMPARE(order, (QStringList{U8("はい(&Y)"), U8("いいえ(&N)"), U8("キャンセル(&C)")}));
    QVERIFY(v.Modified());  // キャンセル: the text stays
  }

  // Paste is enabled the moment the clipboard holds text.
  void PasteFollowsTheClipboard() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    QApplication::clipboard()->clear();
    QTRY_VERIFY(!v.Action("Paste")->isEnabled());
    QApplication::clipboard()->setText("pasted");
    QTRY_VERIFY(v.Action("Paste")->isEnabled());
  }

  // LastOpen is the folder of the file last opened: the open dialog starts
  // there, and the viewer remembers it.
  void TheOpenDialogStartsInTheLastOpenFolder() {
    QTemporaryDir dir, other;
    WriteFile(Folder(other) + "b.txt", "two\r\n");
    WriteFile(Folder(dir) + "Lorvek.ini", "[Viewer]\r\nLastOpen=" + other.path().toStdString() +
                                              "\r\n[Environ]\r\nEnvName2=" + Sj("Cソース") +
                                              "\r\nFileExt2=*.c,*.h\r\n");
    {
      TView v(Folder(dir));
      Show(v);
      // A file shown from elsewhere does not move where the dialog starts.
      QTemporaryDir third;
      WriteFile(Folder(third) + "c.txt", "three\r\n");
      QVERIFY(v.LoadIntoViewer(Folder(third) + "c.txt"));
      QString started_in, filters;
      v.choose_file = [&](bool, const QString& folder, const QString& offered) {
        started_in = folder;
        filters = offered;
        return QString::fromStdString(Folder(other) + "b.txt");
      };
      v.Open();
      QCOMPARE(started_in, other.path());
      // The environments' file types: every file first, then each named one.
      QCOMPARE(filters, U8("(*.*) (*);;") + U8("Cソース(*.c,*.h) (*.c *.h)"));
      QCOMPARE(QString::fromStdString(v.Editor()->Lines().front()), QString("two"));
    }
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    QCOMPARE(QString::fromStdString(ini.ReadStr("Viewer", "LastOpen", "")), other.path());
  }

  void FindAllListsALineOnceAndCountsEveryHit() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", kText);
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "a.txt");
    AnswerFindAllWith(v, U8("検索"));
    QTest::keyClick(v.Editor(), Qt::Key_F5);
    QCOMPARE(v.TagList()->model()->rowCount(), 2);
    QCOMPARE(v.Panel(0), U8("4 個見つかりました."));
    QCOMPARE(v.TagList()->model()->index(0, 0).data().toString(), QString("2"));
    QCOMPARE(v.TagList()->model()->index(1, 1).data().toString(), U8("もう一度の検索"));
    // A click on a row goes to its line, Enter on a row too.
    QTest::mouseClick(v.TagList()->viewport(), Qt::LeftButton, {},
                      v.TagList()->visualRect(v.TagList()->model()->index(1, 1)).center());
    QCOMPARE(v.Panel(2), U8("行:4"));
    v.TagList()->setFocus();
    QTest::keyClick(v.TagList(), Qt::Key_Up);
    QTest::keyClick(v.TagList(), Qt::Key_Return);
    QCOMPARE(v.Panel(2), U8("行:2"));
    v.Editor()->setFocus();
    v.SetCurrentTag(-1, false);
    // F4 goes down the list and stops at its end.
    QTest::keyClick(v.Editor(), Qt::Key_F4);
    QTest::keyClick(v.Editor(), Qt::Key_F4);
    QCOMPARE(v.Panel(2), U8("行:4"));
    QTest::keyClick(v.Editor(), Qt::Key_F4);
    QCOMPARE(v.TagList()->currentIndex().row(), 1);
    QCOMPARE(v.Editor()->SelectedSjis(), Sj("検索"));
    // Not found: the status says so.
    AnswerFindAllWith(v, U8("鵺"));
    QTest::keyClick(v.Editor(), Qt::Key_F5);
    QCOMPARE(v.Panel(0), U8("鵺 は見つかりませんでした."));
  }

  void WritingAidsBookmarksAndReformat() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one\r\ntwo\r\nthree\r\n");
    WriteFile(Folder(dir) + "signature.txt", "-- \r\nme\r\n");
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "a.txt");
    v.Editor()->setFocus();
    QTest::keyClick(v.Editor(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(v.Editor(), Qt::Key_Q, Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines(), (std::vector<std::string>{"> one", "two", "three"}));
    QTest::keyClick(v.Editor(), Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines()[0], std::string("one"));
    // Bookmark 1 on the third line, then back to it from the top.
    v.Editor()->SetCaret({2, 0});
    QTest::keyClick(v.Editor(), Qt::Key_1, Qt::AltModifier);
    QCOMPARE(v.Bookmark(0), 2);
    v.Editor()->SetCaret({0, 0});
    QTest::keyClick(v.Editor(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(v.Editor()->Caret().line, size_t{2});
    QCOMPARE(v.Panel(0), U8("ｼﾞｬﾝﾌﾟ 1"));
    // The signature goes in at the caret.
    QTest::keyClick(v.Editor(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines()[2], std::string("-- "));
    // Reformat: 9 columns refused, 10 accepted.
    QStringList said;
    v.ask = [&](const QString&, const QString& text, QMessageBox::StandardButtons) {
      said << text;
      return QMessageBox::Ok;
    };
    QString width = "9";
    v.input = [&](const QString&, const QString&, const QString&, bool* ok) {
      *ok = true;
      return width;
    };
    v.Editor()->SetLines({"abcdefghijklmnop"});
    QTest::keyClick(v.Editor(), Qt::Key_K, Qt::AltModifier);
    QCOMPARE(said, QStringList{U8("10桁以上で指定してください.")});
    QCOMPARE(v.Editor()->Lines().size(), size_t{1});
    width = "10";
    QTest::keyClick(v.Editor(), Qt::Key_K, Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines(), (std::vector<std::string>{"abcdefghij", "klmnop"}));
    QCOMPARE(v.Panel(0), U8("整形しました."));
    // The line-breaking rules: "。" does not begin a line; switched off in
    // the environment, the width alone decides.
    v.Editor()->SetLines({Sj("あいうえお。かき")});
    QTest::keyClick(v.Editor(), Qt::Key_K, Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines(), (std::vector<std::string>{Sj("あいうえ"), Sj("お。かき")}));
    EditorProperties plain = v.Editor()->Properties();
    plain.kinsoku = false;
    v.Editor()->ApplyProperties(plain);
    v.Editor()->SetLines({Sj("あいうえお。かき")});
    QTest::keyClick(v.Editor(), Qt::Key_K, Qt::AltModifier);
    QCOMPARE(v.Editor()->Lines(), (std::vector<std::string>{Sj("あいうえお"), Sj("。かき")}));
  }

  void ReadOnlyFilesCannotBeChangedOrSaved() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "b.bin", std::string("text\0\0\x01\x02 more\r\n", 16));
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "b.bin");
    QCOMPARE(v.Panel(3), U8("編集不可"));
    QVERIFY(!v.Panel(0).isEmpty());
    QVERIFY(!v.Action("Save")->isEnabled());
    QTest::keyClicks(v.Editor(), "zzz");
    QVERIFY(!v.Modified());
    QVERIFY(!v.Save());
    QCOMPARE(ReadFileBytes(Folder(dir) + "b.bin"), std::string("text\0\0\x01\x02 more\r\n", 16));
  }

  void AMacroRecordedSavedLoadedAndPlayedTypesTheSame() {
    QTemporaryDir dir;
    TView v(Folder(dir));
    Show(v);
    v.Editor()->setFocus();
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.Panel(0), U8("マクロ記録中..."));
    QTest::keyClicks(v.Editor(), "ab");
    // Text committed through an input method is recorded as typed.
    QInputMethodEvent commit;
    commit.setCommitString(U8("日本"));
    QApplication::sendEvent(QApplication::focusWidget(), &commit);
    QTest::keyClick(v.Editor(), Qt::Key_Return);
    QTest::keyClicks(v.Editor(), "c");
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.Panel(0), U8("マクロ記録完了."));
    const std::vector<std::string> typed = v.Editor()->Lines();
    QCOMPARE(typed, (std::vector<std::string>{Sj("ab日本"), "c"}));
    const std::string file = Folder(dir) + "m.mcr";
    v.choose_file = [&](bool, const QString&, const QString&) { return QString::fromStdString(file); };
    v.SaveMacro();
    QVERIFY(ReadFileBytes(file).find("CN_CHAR: 48386, CharCode: 97") != std::string::npos);
    v.ask = [](const QString&, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; };
    v.New();
    v.LoadMacro(file);
    QTest::keyClick(v.Editor(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.Panel(0), U8("マクロ実行完了."));
    QCOMPARE(v.Editor()->Lines(), typed);
  }

  void ExitAsksAndKeepsTheUnsavedText() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one\r\n");
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "a.txt");
    QTest::keyClicks(v.Editor(), "new ");
    QString asked;
    v.ask = [&](const QString&, const QString& text, QMessageBox::StandardButtons) {
      asked = text;
      return QMessageBox::Cancel;
    };
    QTest::keyClick(v.Editor(), Qt::Key_Escape);
    QVERIFY(!v.isVisible());
    QVERIFY(asked.endsWith(U8("]は変更されています.保存しますか?")));
    Show(v);
    QVERIFY(v.Modified());
    QCOMPARE(v.Editor()->Lines()[0], std::string("new one"));
    QCOMPARE(ReadFileBytes(Folder(dir) + "a.txt"), std::string("one\r\n"));
  }

  void ReplaceAsksForEachMatch() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "cat cat\r\ncat\r\n");
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "a.txt");
    v.show_dialog = [](QDialog& d) {
      auto& r = static_cast<TReplDlg&>(d);
      r.FindBox()->setEditText("cat");
      r.ReplaceBox()->setEditText("dog");
      QTest::mouseClick(r.FromTop(), Qt::LeftButton);
      QTest::mouseClick(r.ReplaceAllButton(), Qt::LeftButton);
    };
    int asked = 0;
    v.ask = [&](const QString& caption, const QString&, QMessageBox::StandardButtons) {
      if (caption != U8("置換の確認")) asked += 100;
      return ++asked == 2 ? QMessageBox::No : QMessageBox::Yes;
    };
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(asked, 3);
    QCOMPARE(v.Editor()->Lines(), (std::vector<std::string>{"dog cat", "dog"}));
    QCOMPARE(v.Panel(0), U8("2個を置換しました."));
  }

  // Replacing without confirmation from the caret takes the matches of the
  // whole lines (an anchor sees the line's real start) and is one edit:
  // one Ctrl+Z brings every line back.
  void ReplaceFromTheCaretIsOneEditOverWholeLines() {
    QTemporaryDir dir;
    std::string text;
    for (int i = 0; i < 300; ++i) text += "aaa\r\n";
    WriteFile(Folder(dir) + "a.txt", text);
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "a.txt");
    v.show_dialog = [](QDialog& d) {
      auto& r = static_cast<TReplDlg&>(d);
      r.FindBox()->setEditText("^a");
      r.ReplaceBox()->setEditText("");
      for (auto* box : r.findChildren<QCheckBox*>()) {
        if (box->text() == U8("正規表現(&E)")) box->setChecked(true);
        if (box->text() == U8("置換の確認(&Q)")) box->setChecked(false);
      }
      QTest::mouseClick(r.FromCaret(), Qt::LeftButton);
      QTest::mouseClick(r.ReplaceAllButton(), Qt::LeftButton);
    };
    v.Editor()->SetCaret({1, 0});
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier);
    std::vector<std::string> lines = v.Editor()->Lines();
    QCOMPARE(lines[0], std::string("aaa"));
    QCOMPARE(lines[1], std::string("aa"));
    QCOMPARE(lines[299], std::string("aa"));
    QCOMPARE(v.Panel(0), U8("299個を置換しました."));
    QTest::keyClick(v.Editor(), Qt::Key_Z, Qt::ControlModifier);
    lines = v.Editor()->Lines();
    QCOMPARE(lines[1], std::string("aaa"));
    QCOMPARE(lines[299], std::string("aaa"));
  }

  // Within a selection: the end keeps in step with the replacements, so
  // nothing past it is replaced whether the replacement is shorter or
  // longer, and the selection comes back over the replaced text.
  void ReplaceInASelectionStaysInsideAndReselects() {
    for (const QString repl : {QString("Z"), QString("ZZZ")}) {
      QTemporaryDir dir;
      WriteFile(Folder(dir) + "a.txt", "aa aa aa aa aa\r\n");
      TView v(Folder(dir));
      Show(v);
      v.LoadIntoViewer(Folder(dir) + "a.txt");
      v.Editor()->Select({0, 3}, 5);  // "aa aa"
      v.show_dialog = [&](QDialog& d) {
        auto& r = static_cast<TReplDlg&>(d);
        r.FindBox()->setEditText("aa");
        r.ReplaceBox()->setEditText(repl);
        for (auto* box : r.findChildren<QCheckBox*>())
          if (box->text() == U8("置換の確認(&Q)")) box->setChecked(false);
        QTest::mouseClick(r.InSelection(), Qt::LeftButton);
        QTest::mouseClick(r.ReplaceAllButton(), Qt::LeftButton);
      };
      QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier);
      const std::string z = repl.toStdString();
      QCOMPARE(v.Editor()->Lines()[0], "aa " + z + " " + z + " aa aa");
      QCOMPARE(v.Editor()->SelectedSjis(), z + " " + z);
    }
  }

  void EnvironmentTableRules() {
    QTemporaryDir dir;
    const std::string f = Folder(dir);
    EditorProperties p;
    for (int i = 2; i <= 6; ++i) WriteEnvFile(f + "e" + std::to_string(i) + ".env", "Env" + std::to_string(i), "*.x", p);
    WriteEnvFile(f + "other.env", "ENV3", "*.new", p);  // a name already in row 3 (case aside)
    WriteFile(f + "broken.env", "[Environ]\r\nName=B\r\n");
    TIniGT ini(f + "Lorvek.ini");
    TFileEnv d(ini, f);
    QStringList told;
    d.tell = [&](const QString& m) { told << m; };
    d.confirm = [](const QString&) { return true; };
    for (int i = 2; i <= 6; ++i) QVERIFY(d.LoadFile(f + "e" + std::to_string(i) + ".env"));
    QCOMPARE(d.Table()[5].name, std::string("Env6"));
    QVERIFY(d.LoadFile(f + "other.env"));
    QCOMPARE(d.Table()[2].ext, std::string("*.new"));
    QCOMPARE(d.Table()[2].file, f + "e3.env");  // its file stays
    QVERIFY(!d.LoadFile(f + "broken.env"));
    QCOMPARE(told, QStringList{U8("環境ﾌｧｲﾙが異常です.")});
    // Row 1 can be neither deleted nor renamed.
    d.Grid()->setCurrentCell(0, 0);
    QVERIFY(!d.Button("Delete")->isEnabled());
    QVERIFY(!d.NameEdit()->isEnabled());
    QVERIFY(d.Button("Settings")->isEnabled());
    d.Grid()->setCurrentCell(3, 0);  // row 4 of 6 named rows
    QTest::mouseClick(d.Button("Delete"), Qt::LeftButton);
    QCOMPARE(d.Table()[3].name, std::string("Env5"));
    QCOMPARE(d.Table()[4].name, std::string("Env6"));
    QVERIFY(d.Table()[5].name.empty());
    QTest::mouseClick(d.Button("Ok"), Qt::LeftButton);
    QCOMPARE(ReadEnvTable(ini, f), d.Table());
  }

  // Names, masks and paths are Shift-JIS in the settings and in the
  // environment files, and shown as the characters they are; a viewer whose
  // environment has no file keeps what it shows.
  void EnvironmentNamesAndPathsAreShiftJis() {
    QTemporaryDir dir;
    const std::string f = Folder(dir);
    EditorProperties p;
    p.font_size = 15;
    WriteEnvFile(f + "text.env", Sj("テキスト"), "*.txt", p);
    TIniGT ini(f + "Lorvek.ini");
    {
      TFileEnv d(ini, f);
      QVERIFY(d.LoadFile(f + "text.env"));
      QCOMPARE(d.Grid()->item(1, 0)->text(), U8("テキスト"));
      d.Grid()->setCurrentCell(1, 0);
      QCOMPARE(d.NameEdit()->text(), U8("テキスト"));
      // Typed through an input method, as Japanese is.
      d.NameEdit()->setFocus();
      d.NameEdit()->selectAll();
      QInputMethodEvent typed;
      typed.setCommitString(U8("日本語の環境"));
      QApplication::sendEvent(d.NameEdit(), &typed);
      const std::string env_file = f + "日本語.env";
      d.choose_file = [&](bool, const QString&) { return QString::fromStdString(env_file); };
      QFile::remove(QString::fromStdString(f + "text.env"));  // 更新 asks for a file
      QTest::mouseClick(d.Button("Update"), Qt::LeftButton);
      QTest::mouseClick(d.Button("Ok"), Qt::LeftButton);
      TIniGT env(env_file, false);
      QCOMPARE(env.ReadStr("Environ", "Name", ""), Sj("日本語の環境"));
    }
    TIniGT again(f + "Lorvek.ini");
    QCOMPARE(again.ReadStr("Environ", "EnvName2", ""), Sj("日本語の環境"));
    QCOMPARE(again.ReadStr("Environ", "EnvFile2", ""), Sj((f + "日本語.env").c_str()));
    QCOMPARE(ReadEnvTable(again, f)[1].file, f + "日本語.env");
    // No file for the environment of a.txt: the font and the wrap stay.
    WriteFile(f + "Lorvek.ini", "[Environ]\r\nEnvFile1=" + f + "none.env\r\n");
    WriteFile(f + "a.txt", "x\r\n");
    TView v(f);
    EditorProperties mine = v.Editor()->Properties();
    mine.font_size = 19;
    mine.word_wrap = true;
    v.Editor()->ApplyProperties(mine);
    QVERIFY(v.LoadIntoViewer(f + "a.txt"));
    QCOMPARE(v.Editor()->Properties().font_size, 19);
    QVERIFY(v.Editor()->Properties().word_wrap);
  }

  void PropertiesDialogWritesShortcutsAndTheEnvironment() {
    QTemporaryDir dir;
    TView v(Folder(dir));
    Show(v);
    QSize wanted;
    QStringList labels;
    v.show_dialog = [&](QDialog& d) {
      auto& prop = static_cast<TmEditorProp&>(d);
      wanted = d.sizeHint();
      for (auto* label : d.findChildren<QLabel*>()) labels << label->text();
      prop.FontSize()->setValue(17);
      auto* save = prop.findChild<QKeySequenceEdit*>("Save");
      save->setKeySequence(QKeySequence("Ctrl+W"));
      d.accept();
    };
    v.EditProperties();
    // It fits a 1366x768 screen, and every command goes by its caption.
    QVERIFY2(wanted.height() <= 700 && wanted.width() <= 1366, qPrintable(QString("%1x%2").arg(wanted.width()).arg(wanted.height())));
    QVERIFY(labels.contains(U8("前を検索")));
    QVERIFY(labels.contains(U8("引用")));
    QVERIFY(!labels.contains("FIndPrev"));
    QCOMPARE(v.Editor()->Properties().font_size, 17);
    QCOMPARE(v.Action("Save")->shortcut(), QKeySequence("Ctrl+W"));
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    QCOMPARE(ini.ReadStr("Viewer", "Save", ""), std::string("Ctrl+W"));
    QCOMPARE(ReadEnvFileProperties(Folder(dir) + "default.env")->font_size, 17);
  }

  // The command entry opens as the desktop does: a document in the
  // application associated with its type, a program with its parameters.
  void TheCommandEntryOpensDocumentsAndPrograms() {
    QTemporaryDir dir, xdg;
    WriteFile(Folder(dir) + "a.txt", "text\r\n");
    QDir(xdg.path()).mkpath("data/applications");
    WriteFile(Folder(xdg) + "data/applications/fake.desktop", "[Desktop Entry]\nExec=/bin/true --open %U\n");
    WriteFile(Folder(xdg) + "mimeapps.list", "[Default Applications]\ntext/plain=fake.desktop\n");
    QMimeDatabase().mimeTypeForFile(QString::fromStdString(Folder(dir) + "a.txt"));
    qputenv("XDG_DATA_HOME", (xdg.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", xdg.path().toUtf8());
    qputenv("XDG_DATA_DIRS", (xdg.path() + "/none").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (xdg.path() + "/none").toUtf8());
    TView v(Folder(dir));
    Show(v);
    std::vector<std::string> started;
    QStringList errors;
    v.started_command = [&](const std::string& c) { started.push_back(c); };
    v.show_error = [&](const QString& text) { errors << text; };
    QString typed;
    v.input = [&](const QString&, const QString&, const QString&, bool* ok) {
      *ok = true;
      return typed;
    };
    typed = QString::fromStdString(Folder(dir) + "a.txt");
    QTest::keyClick(v.Editor(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    typed = "/bin/echo one two";
    QTest::keyClick(v.Editor(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(started, (std::vector<std::string>{"/bin/true --open '" + Folder(dir) + "a.txt'",
                                                "'/bin/echo' 'one' 'two'"}));
    // A document of a type nothing opens: the error names its extension.
    WriteFile(Folder(dir) + "b.zzq", std::string(64, '\0'));
    typed = QString::fromStdString(Folder(dir) + "b.zzq");
    QTest::keyClick(v.Editor(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(started.size(), size_t{2});
    QCOMPARE(errors, QStringList{U8("関連づけられたアプリケーションはありません.(.zzq)")});
    for (const char* e : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) qunsetenv(e);
  }

  // The canned texts are offered in the editor's pop-up menu too.
  void CannedTextsInThePopUpMenu() {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Sent");
    WriteFile(Folder(dir) + "Sent/" + "挨拶.txt", Sj("お世話になります。\r\n"));
    WriteFile(Folder(dir) + "a.txt", "one\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    v.Editor()->SetCaret({0, 3});
    const QPoint at = v.Editor()->viewport()->rect().center();
    QContextMenuEvent menu_event(QContextMenuEvent::Mouse, at, v.Editor()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(v.Editor()->viewport(), &menu_event);
    auto* popup = v.findChild<QMenu*>("EditorPopup");
    QVERIFY(popup);
    QTRY_VERIFY(popup->isVisible());
    auto* canned = v.findChild<QMenu*>("CannedPopup");
    QVERIFY(canned && popup->actions().contains(canned->menuAction()));
    QCOMPARE(canned->actions().size(), 1);
    QCOMPARE(canned->actions()[0]->text(), U8("挨拶"));
    popup->close();
    canned->actions()[0]->trigger();
    QCOMPARE(v.Editor()->Lines()[0], Sj("oneお世話になります。"));
  }

  // A binary file is shown with the default environment, whatever its name.
  void ABinaryFileGetsTheDefaultEnvironment() {
    QTemporaryDir dir;
    EditorProperties plain;
    plain.font_size = 15;
    WriteEnvFile(Folder(dir) + "default.env", "Default", "*.*", plain);
    EditorProperties big;
    big.font_size = 23;
    WriteEnvFile(Folder(dir) + "bin.env", "Bin", "*.bin", big);
    WriteFile(Folder(dir) + "Lorvek.ini", "[Environ]\r\nEnvName2=Bin\r\nFileExt2=*.bin\r\nEnvFile2=" + Folder(dir) +
                                              "bin.env\r\n");
    WriteFile(Folder(dir) + "text.bin", "plain text\r\n");
    WriteFile(Folder(dir) + "data.bin", std::string("MZ\0\0\x01\x02\x03 data\r\n", 15));
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "text.bin"));
    QCOMPARE(v.Editor()->Properties().font_size, 23);  // the masks do take the name
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "data.bin"));
    QCOMPARE(v.Panel(5), QString("BINARY"));
    QCOMPARE(v.Editor()->Properties().font_size, 15);
  }

  // Escape while a long macro plays stops it (and leaves the viewer open).
  void EscapeCancelsAPlayingMacro() {
    QTemporaryDir dir;
    TView v(Folder(dir));
    Show(v);
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(v.Editor(), QString(400, 'x'));
    QTest::keyClick(v.Editor(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(v.Macro().size() >= size_t{400});
    v.Editor()->SetLines({""});
    int typed_when_cancelled = -1;
    QTimer::singleShot(0, &v, [&] {
      typed_when_cancelled = static_cast<int>(v.Editor()->Lines()[0].size());
      QTest::keyClick(v.Editor(), Qt::Key_Escape);
    });
    QTest::keyClick(v.Editor(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.Panel(0), U8("Cancel Execute KeyMacro"));
    QVERIFY(v.isVisible());
    QVERIFY(typed_when_cancelled >= 0);
    QCOMPARE(static_cast<int>(v.Editor()->Lines()[0].size()), typed_when_cancelled);
    QVERIFY(typed_when_cancelled < 400);
    // Played again without interruption it types everything.
    v.Editor()->SetLines({""});
    QTest::keyClick(v.Editor(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(v.Panel(0), U8("マクロ実行完了."));
    QCOMPARE(v.Editor()->Lines()[0], std::string(400, 'x'));
  }

  // What the viewer keeps of its layout: [Viewer] Search as it was read,
  // the tool bars' places in [TBar] and [ABar], the tag list's column
  // widths and order.
  void TheLayoutIsKeptInItsSections() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "Lorvek.ini",
              "[Viewer]\r\nSearch=7\r\n[ABar]\r\nDockedTo=1\r\n[ViewClmn.Columns]\r\nSizes=55,300\r\n"
              "[ViewClmn.Sort]\r\nAscending=0\r\nSortCol=1\r\n[Columns]\r\nOrder=1,0\r\n");
    {
      TView v(Folder(dir));
      Show(v);
      auto bars = v.findChildren<QToolBar*>();
      QCOMPARE(bars.size(), 2);
      QToolBar* second = v.findChild<QToolBar*>("ViewToolbar2");
      QCOMPARE(v.toolBarArea(second), Qt::BottomToolBarArea);
      QCOMPARE(v.toolBarArea(v.findChild<QToolBar*>("ViewToolbar1")), Qt::TopToolBarArea);
      // The text column comes first; the line column, now last, takes the rest.
      QCOMPARE(v.TagList()->header()->visualIndex(1), 0);
      QCOMPARE(v.TagList()->header()->sectionSize(1), 300);
      // The user narrows the text column and turns tool bar 1 off.
      v.TagList()->header()->resizeSection(1, 280);
      v.Action("Toolbar1")->trigger();
    }
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    QCOMPARE(ini.ReadInt("Viewer", "Search", 0), 7);
    QCOMPARE(QString::fromStdString(ini.ReadStr("ViewClmn.Columns", "Sizes", "")).section(',', 1, 1), QString("280"));
    QCOMPARE(ini.ReadStr("Columns", "Order", ""), std::string("1,0"));
    QCOMPARE(ini.ReadInt("ViewClmn.Sort", "SortCol", 0), 1);
    QCOMPARE(ini.ReadBool("ViewClmn.Sort", "Ascending", true), false);
    QCOMPARE(ini.ReadInt("ABar", "DockedTo", 0), 1);
    QCOMPARE(ini.ReadInt("TBar", "DockedTo", 9), 0);
    QCOMPARE(ini.ReadBool("TBar", "Visible", true), false);
    QCOMPARE(ini.ReadBool("ABar", "Visible", false), true);
  }

  // Printing errors come as errors, in the printer layer's words.
  void AMissingPrinterIsReportedAsAnError() {
    if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("this machine has a printer");
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one\r\n");
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.LoadIntoViewer(Folder(dir) + "a.txt"));
    QStringList errors;
    v.show_error = [&](const QString& text) { errors << text; };
    v.show_dialog = [&](QDialog& d) {
      if (auto* p = qobject_cast<TPrintDlg*>(&d)) QTest::mouseClick(p->Button("Ok"), Qt::LeftButton);
    };
    v.Action("Print")->trigger();
    QCOMPARE(errors, QStringList{U8("ﾃﾞﾌｫﾙﾄ ﾌﾟﾘﾝﾀが存在しません")});
  }

  // The report is read, not edited: Enter closes it.
  void TheReportWindowIsReadOnly() {
    TReplReport r(U8("置換しました.\r\n3 個"));
    r.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r));
    r.Memo()->setFocus();
    QTest::keyClick(r.Memo(), Qt::Key_X);
    QTest::keyClick(r.Memo(), Qt::Key_Return);
    QCOMPARE(r.Memo()->toPlainText(), U8("置換しました.\n3 個"));
    QCOMPARE(r.result(), int(QDialog::Accepted));
  }

  // A second find-all starts its list at the top with nothing chosen, even
  // when the list had the focus and was scrolled far down: the next-tag key
  // then goes to the first entry. Both columns can be dragged.
  void AFreshTagListStartsAtItsTop() {
    QTemporaryDir dir;
    std::string text;
    for (int i = 1; i <= 300; ++i) text += Sj("行") + std::to_string(i) + Sj(" 検索\r\n");
    WriteFile(Folder(dir) + "many.txt", text);
    TView v(Folder(dir));
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "many.txt");
    AnswerFindAllWith(v, U8("検索"));
    QTest::keyClick(v.Editor(), Qt::Key_F5);
    QCOMPARE(v.TagList()->model()->rowCount(), 300);
    QTest::qWait(50);  // the list is laid out
    QScrollBar* bar = v.TagList()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QVERIFY(bar->value() > 0);
    const QModelIndex shown = v.TagList()->indexAt(QPoint(5, 5));
    QTest::mouseClick(v.TagList()->viewport(), Qt::LeftButton, {}, v.TagList()->visualRect(shown).center());
    QVERIFY(v.CurrentTagRow() > 100);
    v.TagList()->setFocus();
    QTest::keyClick(v.TagList(), Qt::Key_F5);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(v.CurrentTagRow(), -1);
    // The list takes the focus again, as after the dialog closes.
    v.Editor()->setFocus();
    v.TagList()->setFocus();
    QTest::keyClick(v.TagList(), Qt::Key_F4);
    QCOMPARE(v.Panel(2), U8("行:1"));
    QCOMPARE(v.CurrentTagRow(), 0);
    // The line numbers' column may be dragged after the text's.
    QHeaderView* header = v.TagList()->header();
    const QPoint from(header->sectionViewportPosition(0) + 5, header->height() / 2);
    const QPoint to(header->sectionViewportPosition(1) + header->sectionSize(1) - 5, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, header->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    for (int x = from.x(); x <= to.x(); x += 20) {
      const QPoint p(x, from.y());
      QMouseEvent step(QEvent::MouseMove, p, header->viewport()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(header->viewport(), &step);
    }
    QApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    QCOMPARE(header->visualIndex(0), 1);
  }

  // The tag list's menu entry carries a check mark that follows the list.
  void TheTagListEntryIsChecked() {
    QTemporaryDir dir;
    TView v(Folder(dir));
    Show(v);
    QVERIFY(v.Action("ViewTag")->isCheckable());
    QVERIFY(v.Action("ViewTag")->isChecked());
    QTest::keyClick(v.Editor(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(!v.TagList()->isVisible());
    QVERIFY(!v.Action("ViewTag")->isChecked());
    QTest::keyClick(v.Editor(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(v.TagList()->isVisible());
    QVERIFY(v.Action("ViewTag")->isChecked());
  }

  // Qt's own file dialog speaks Japanese too, down to a folder's type.
  void TheFileDialogSpeaksJapanese() {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("sub");
    WriteFile(Folder(dir) + "zz.txt", "text\n");
    QFileDialog d(nullptr, U8("開く"), dir.path());
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setViewMode(QFileDialog::Detail);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto* view = d.findChild<QTreeView*>("treeView");
    QVERIFY(view);
    QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) > 0);
    QStringList english;
    static const QRegularExpression word("[A-Za-z]{3,}");
    auto check = [&](const QString& t) {
      if (word.match(t).hasMatch()) english << t;
    };
    for (QLabel* l : d.findChildren<QLabel*>())
      if (l->isVisible()) check(l->text());
    for (QAbstractButton* b : d.findChildren<QAbstractButton*>())
      if (b->isVisible()) check(b->text());
    for (int c = 0; c < view->model()->columnCount(); ++c)
      check(view->model()->headerData(c, Qt::Horizontal).toString());
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
    // The type column (sizes and dates are in the user's own locale).
    for (int row = 0; row < 2; ++row) check(view->model()->index(row, 2, view->rootIndex()).data().toString());
    QVERIFY2(english.isEmpty(), qPrintable(english.join(" | ")));
  }

  // The environment grid shows both captions whole and all ten rows.
  void TheEnvironmentGridShowsItsCaptionsWhole() {
    QTemporaryDir dir;
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    TFileEnv d(ini, Folder(dir));
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto* grid = d.findChild<QTableWidget*>();
    QVERIFY(grid);
    QHeaderView* header = grid->horizontalHeader();
    const QFontMetrics fm(header->font());
    for (int c = 0; c < 2; ++c) {
      const QString caption = grid->horizontalHeaderItem(c)->text();
      QVERIFY2(header->sectionSize(c) >= fm.horizontalAdvance(caption) + 8, qPrintable(caption));
    }
    QVERIFY(header->sectionPosition(1) + header->sectionSize(1) <= grid->viewport()->width());
    QVERIFY(!grid->verticalScrollBar()->isVisible());
  }

  // The viewer, its dialogs and the options dialog on the whole screen, each
  // shot with the window manager's frame (LORVEK_SCREEN_SHOTS=folder; run
  // under an X server with a window manager and QT_QPA_PLATFORM=xcb).
  void ScreenShotsOfEveryWindow() {
    const QByteArray folder = qgetenv("LORVEK_SCREEN_SHOTS");
    if (folder.isEmpty()) QSKIP("LORVEK_SCREEN_SHOTS not set");
    int n = 0;
    auto shoot = [&](QWidget& w, const QString& name) {
      w.show();
      w.raise();
      w.activateWindow();
      QTest::qWait(700);
      const QString path = QString("%1/%2-%3.png").arg(QString::fromUtf8(folder)).arg(++n, 2, 10, QChar('0')).arg(name);
      QProcess::execute("import", {"-window", "root", path});
    };
    QTemporaryDir dir;
    std::string text;
    for (int i = 1; i <= 60; ++i)
      text += Sj(i % 7 == 3 ? "この行には検索という語があり、もう一度検索が出てきます。" : "日本語の文章の行です。半角ｶﾀｶﾅも。") +
              "\r\n";
    WriteFile(Folder(dir) + "sample.txt", text);
    WriteFile(Folder(dir) + "Lorvek.ini", "[Environ]\r\nEnvName2=" + Sj("Cソース") + "\r\nFileExt2=*.c,*.h\r\n");
    TView v(Folder(dir));
    v.show();
    v.LoadIntoViewer(Folder(dir) + "sample.txt");
    v.SetFindString(Sj("検索"), 0);
    v.Editor()->SetHighlight(true);
    std::vector<TagEntry> tags;
    for (int i = 1; i <= 60; ++i)
      if (i % 7 == 3) tags.push_back({i, Sj("この行には検索という語があり、もう一度検索が出てきます。")});
    v.SetTags(tags);
    v.JumpToHit(10, 9, 4);
    shoot(v, "viewer");
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    {
      TFindDlg d(ini, TFindDlg::Mode::Find, U8("検索"), true, &v);
      shoot(d, "find");
    }
    {
      TFindDlg d(ini, TFindDlg::Mode::FindAll, U8("検索"), true, &v);
      shoot(d, "findall");
    }
    {
      TReplDlg d(ini, U8("検索"), true, &v);
      shoot(d, "replace");
    }
    {
      TReplReport d(U8("置換しました.\r\n3 個"), &v);
      shoot(d, "report");
    }
    {
      TFileEnv d(ini, Folder(dir), &v);
      shoot(d, "environments");
    }
    {
      std::map<std::string, std::string> keys = ViewerSection::DefaultViewerShortcuts();
      TmEditorProp d(U8("Default のプロパティ"), EditorProperties{}, &keys, &v);
      auto* tabs = d.findChild<QTabWidget*>();
      for (int i = 0; tabs && i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        shoot(d, QString("properties%1").arg(i));
      }
    }
    {
      TPrintDlg d(ini, v.Printer(), &v);
      shoot(d, "print");
    }
    {
      QFileDialog d(&v, U8("開く"), dir.path());
      d.setOption(QFileDialog::DontUseNativeDialog);
      d.setViewMode(QFileDialog::Detail);
      shoot(d, "filedialog");
    }
    {
      OptionsDialogData data;
      TOptionPanel d(data, ArchiveProbe::OfThisMachine());
      for (int i = 0; i < d.Tree()->topLevelItemCount(); ++i) {
        d.Tree()->setCurrentItem(d.Tree()->topLevelItem(i));
        shoot(d, QString("options%1").arg(i));
      }
    }
  }

  // A screenshot for a look by eye (LORVEK_VIEWER_SHOT=path, under Xvfb).
  void Screenshot() {
    const QByteArray target = qgetenv("LORVEK_VIEWER_SHOT");
    if (target.isEmpty()) QSKIP("LORVEK_VIEWER_SHOT not set");
    QTemporaryDir dir;
    std::string text;
    for (int i = 1; i <= 40; ++i)
      text += Sj(i % 7 == 3 ? "この行には検索という語があり、もう一度検索が出てきます。" : "日本語の文章の行です。半角ｶﾀｶﾅも。") +
              "\r\n";
    WriteFile(Folder(dir) + "sample.txt", text);
    TView v(Folder(dir));
    v.resize(800, 560);
    Show(v);
    v.LoadIntoViewer(Folder(dir) + "sample.txt");
    v.SetFindString(Sj("検索"), 0);
    v.Editor()->SetHighlight(true);
    std::vector<TagEntry> tags;
    for (int i = 1; i <= 40; ++i)
      if (i % 7 == 3) tags.push_back({i, Sj("この行には検索という語があり、もう一度検索が出てきます。")});
    v.SetTags(tags);
    v.JumpToHit(10, 9, 4);
    QTest::qWait(300);
    v.grab().save(QString::fromUtf8(target));
  }
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
