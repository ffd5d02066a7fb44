// Opening hits from the result list: the viewer for every kind of hit, the
// external editor through a fake one that records its arguments, and the
// desktop's association through a fake desktop entry.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QTest>
#include <QTreeWidget>

#include "app/ui/translations.h"
#include "gui_test_util.h"
#include "results/ui/result_list.h"
#include "text/file_bytes.h"
#include "view/ui/text_editor.h"
#include "view/ui/view_window.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

const std::string kData = LORVEK_TEST_DATA;

std::string Copy(const std::string& from, const QTemporaryDir& to, const std::string& name) {
  const std::string path = Folder(to) + name;
  WriteFile(path, ReadFileBytes(from));
  return path;
}

struct Window {
  QTemporaryDir program;
  std::unique_ptr<TLorvekMain> w;
  Quiet quiet;
  std::vector<std::string> started;
  explicit Window(const std::string& ini = "") {
    WriteFile(Folder(program) + "Lorvek.ini", "[Options]\r\nWholeWord=0\r\nFuzzyChar=0\r\n" + ini);
    w = std::make_unique<TLorvekMain>(Folder(program), std::vector<std::string>{});
    quiet.Attach(*w);
    w->started_command = [this](const std::string& c) { started.push_back(c); };
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w.get());
    QTest::qWaitForWindowActive(w.get());
  }
  void Search(const QString& word, const QString& path) {
    w->findChild<QComboBox*>("FindWord")->setEditText(word);
    w->findChild<QComboBox*>("FindPath")->setEditText(path);
    w->FindButtonClick();
  }
  // The hit in row, opened by a key in the list.
  void Open(int row, QKeyCombination key = QKeyCombination(Qt::Key_Return)) {
    auto* list = w->findChild<ResultList*>("ExtListView1");
    list->setFocus();
    list->clearSelection();
    list->selectRow(row);
    QTest::keyClick(list, key.key(), key.keyboardModifiers());
  }
};

}  // namespace

class OpenTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    InstallJapaneseTranslations(*qApp);
  }

  void APlainHitOpensEditableAtItsLineWithItsTags() {
    QTemporaryDir dir;
    Copy(kData + "/text/sjis_crlf.txt", dir, "a.txt");
    Window win;
    win.Search(U8("検索"), dir.path());
    QCOMPARE(win.w->store().size(), size_t{5});
    win.Open(1);
    TView& v = win.w->Viewer();
    QVERIFY(v.isVisible());
    QCOMPARE(v.Panel(3), QString());
    QVERIFY(v.Editable());
    QCOMPARE(v.Editor()->Caret().line, size_t(win.w->store()[1].LineNo - 1));
    QCOMPARE(v.Editor()->SelectedSjis(), Utf8ToCp932("検索"));
    QCOMPARE(v.TagList()->model()->rowCount(), 5);
    QCOMPARE(v.TagList()->currentIndex().row(), 1);
    QVERIFY(v.Editor()->Highlight());
  }

  void UnicodeExcelWordAndFilteredHitsAreReadOnly() {
    QTemporaryDir dir;
    Copy(kData + "/text/utf8_bom.txt", dir, "u.txt");
    Copy(kData + "/docs/sample.xls", dir, "s.xls");
    Copy(kData + "/docs/sample.doc", dir, "w.doc");
    WriteFile(Folder(dir) + "f.pdf", "filtered cat line\n");
    const std::string filter = Folder(dir) + "cat.sh";
    WriteFile(filter, "#!/bin/sh\ncat \"$1\"\n");
    QFile::setPermissions(QString::fromStdString(filter), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Window win("AutoDocDetect=1\r\nUseFilter=1\r\nFilterName=" + filter + "\r\nFilterExt=*.pdf\r\n");
    win.Search("cat", dir.path());
    std::map<std::string, size_t> row_of;
    for (size_t i = 0; i < win.w->store().size(); ++i) {
      const std::string p(win.w->store()[i].OpenPath);
      row_of.emplace(p.substr(p.find_last_of('/') + 1), i);
    }
    TView& v = win.w->Viewer();
    for (const char* name : {"u.txt", "s.xls", "w.doc", "f.pdf"}) {
      QVERIFY2(row_of.count(name), name);
      const RecordView rec = win.w->store()[row_of[name]];
      win.Open(static_cast<int>(row_of[name]));
      QVERIFY2(v.isVisible(), name);
      QCOMPARE(v.Panel(3), U8("編集不可"));
      QVERIFY(!v.Action("Save")->isEnabled());
      // The hit's line is where the caret stands, holding the word.
      const std::string line = v.Editor()->LineText(static_cast<int>(v.Editor()->Caret().line));
      QVERIFY2(line.find("cat") != std::string::npos, name);
      QCOMPARE(static_cast<int>(v.Editor()->Caret().line) + 1, rec.LineNo);
    }
    QVERIFY(!QFile::exists(QDir::tempPath() + "/Lorvek-" + QString::number(getuid()) + "/____temp.txt"));
  }

  void TodaysDocumentsOpenReadOnlyAtTheirHits() {
    QTemporaryDir dir;
    for (const char* name : {"sample.docx", "sample.ods", "sample.pptx", "sample.pdf"})
      Copy(kData + "/office/" + name, dir, name);
    Window win("");
    win.Search(U8("検索語"), dir.path());
    QVERIFY(win.w->store().size() >= 8);
    TView& v = win.w->Viewer();
    for (size_t i = 0; i < win.w->store().size(); ++i) {
      const RecordView rec = win.w->store()[i];
      win.Open(static_cast<int>(i));
      QVERIFY2(v.isVisible(), std::string(rec.OpenPath).c_str());
      QCOMPARE(v.Panel(3), U8("編集不可"));
      const std::string line = v.Editor()->LineText(static_cast<int>(v.Editor()->Caret().line));
      QVERIFY2(line.find(Utf8ToCp932("検索語")) != std::string::npos, std::string(rec.OpenPath).c_str());
      QCOMPARE(static_cast<int>(v.Editor()->Caret().line) + 1, rec.LineNo);
    }
  }

  void AnArchiveMemberIsExtractedShownAndDeleted() {
    QTemporaryDir dir;
    Copy(kData + "/archives/sample.zip", dir, "s.zip");
    Window win("FindAlsoArchive=1\r\nArcFiles=*.ZIP\r\n");
    win.Search(U8("検索"), dir.path());
    QVERIFY(!win.w->store().empty());
    win.Open(0);
    TView& v = win.w->Viewer();
    QVERIFY(v.isVisible());
    QCOMPARE(v.Panel(3), U8("編集不可"));
    QVERIFY(v.windowTitle().endsWith("s.zip/docs/a.txt"));
    const QString open = QDir::tempPath() + "/Lorvek-" + QString::number(getuid()) + "/open";
    QVERIFY(QDir(open).isEmpty());
  }

  void TheEditorGetsItsArgumentsAndExcelStillGoesToTheViewer() {
    QTemporaryDir dir, tools;
    Copy(kData + "/text/sjis_crlf.txt", dir, "a b.txt");
    Copy(kData + "/docs/sample.xls", dir, "s.xls");
    const std::string record = Folder(tools) + "args";
    const std::string editor = Folder(tools) + "editor.sh";
    WriteFile(editor, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n");
    QFile::setPermissions(QString::fromStdString(editor), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Window win("Editor=" + editor + "\r\nEditorIs=7\r\nEditorSw=+\r\nUseEditor=1\r\nEditExecDone=0\r\n");
    win.Search("cat", dir.path());
    size_t text_row = 0, cell_row = 0;
    for (size_t i = 0; i < win.w->store().size(); ++i)
      (win.w->store()[i].EncodingCode == 1008 ? cell_row : text_row) = i;
    const RecordView rec = win.w->store()[text_row];
    win.Open(static_cast<int>(text_row));  // UseEditor: the editor, waited for
    QCOMPARE(win.started.size(), size_t{1});
    QCOMPARE(QString::fromStdString(ReadFileBytes(record)),
             QString::fromStdString("+" + std::to_string(rec.LineNo) + "\n" + Folder(dir) + "a b.txt\n"));
    win.Open(static_cast<int>(cell_row));  // a cell: the viewer all the same
    QCOMPARE(win.started.size(), size_t{1});
    QVERIFY(win.w->Viewer().isVisible());
    // A missing editor is said by name.
    Window missing("Editor=/no/such/editor\r\n");
    missing.Search("cat", dir.path());
    missing.Open(0, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
    QVERIFY(missing.quiet.messages.join("|").contains(U8("/no/such/editorが見つかりません.")));
    // One that is there but cannot be run is said too, with the command.
    const std::string plain = Folder(tools) + "plain.sh";
    WriteFile(plain, "#!/bin/sh\n");
    QFile::setPermissions(QString::fromStdString(plain), QFile::ReadOwner | QFile::WriteOwner);
    Window stuck("Editor=" + plain + "\r\nEditExecDone=0\r\n");
    stuck.Search("cat", dir.path());
    stuck.Open(0, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
    QVERIFY2(stuck.quiet.messages.join("|").contains(U8("実行エラー(13)\n\"") + QString::fromStdString(plain) + "\""),
             qPrintable(stuck.quiet.messages.join("|")));
    QVERIFY(stuck.started.empty());
  }

  // The viewer's unsaved text is never dropped unasked: not by opening
  // another hit while it is hidden, not by closing the main window; and a
  // file changed on disk since it was loaded is not saved over unasked.
  void UnsavedViewerTextIsNeverDroppedUnasked() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "a.txt", "one cat\r\n");
    WriteFile(Folder(dir) + "b.txt", "two cat\r\n");
    Window win;
    win.Search("cat", dir.path());
    QCOMPARE(win.w->store().size(), size_t{2});
    TView& v = win.w->Viewer();
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    v.ask = [&](const QString&, const QString& text, QMessageBox::StandardButtons) {
      asked << text;
      return answer;
    };
    win.Open(0);
    QVERIFY(v.isVisible());
    v.activateWindow();
    QApplication::setActiveWindow(&v);
    QVERIFY(QTest::qWaitForWindowActive(&v));
    v.Editor()->setFocus();
    QTest::keyClick(v.Editor(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(v.Editor(), "X");
    QVERIFY(v.Modified());
    QTest::keyClick(v.Editor(), Qt::Key_Escape);  // the question, キャンセル: hidden with its text
    QCOMPARE(asked.size(), 1);
    QVERIFY(!v.isVisible());
    win.Open(1);  // キャンセル again: the open does not happen
    QCOMPARE(asked.size(), 2);
    QVERIFY(v.Editor()->Lines().back() == "X" || v.Editor()->Lines().front().find('X') != std::string::npos);
    QVERIFY(v.FileName().find("a.txt") != std::string::npos);
    QVERIFY(!v.isVisible());
    // Closing the main window asks too; キャンセル keeps it open.
    QVERIFY(!win.w->close());
    QCOMPARE(asked.size(), 3);
    QVERIFY(win.w->isVisible());
    QCOMPARE(QString::fromStdString(ReadFileBytes(Folder(dir) + "a.txt")), QString("one cat\r\n"));
    // The file changed on disk meanwhile: saving asks, いいえ keeps the change.
    WriteFile(Folder(dir) + "a.txt", "changed elsewhere\r\n");
    answer = QMessageBox::No;
    QVERIFY(!v.Save());
    QCOMPARE(asked.size(), 4);
    QVERIFY(asked.back().contains(U8("他で変更されています")));
    QCOMPARE(QString::fromStdString(ReadFileBytes(Folder(dir) + "a.txt")), QString("changed elsewhere\r\n"));
    // いいえ to the save question: the main window closes, the viewer with it.
    v.show();
    QVERIFY(win.w->close());
    QVERIFY(!v.isVisible());
  }

  void TheAssociatedApplicationOrTheMessage() {
    QTemporaryDir dir, xdg;
    Copy(kData + "/text/sjis_crlf.txt", dir, "a.txt");
    WriteFile(Folder(dir) + "b.zzq", std::string(64, '\0') + "\ncat\n");  // no type the desktop knows
    QDir(xdg.path()).mkpath("data/applications");
    WriteFile(Folder(xdg) + "data/applications/fake.desktop", "[Desktop Entry]\nExec=/bin/true --open %U\n");
    WriteFile(Folder(xdg) + "mimeapps.list", "[Default Applications]\ntext/plain=fake.desktop\n");
    // The MIME database is read once, from the system's folders, before the
    // association folders are pointed at the fake ones.
    QMimeDatabase().mimeTypeForFile(QString::fromStdString(Folder(dir) + "a.txt"));
    qputenv("XDG_DATA_HOME", (xdg.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", xdg.path().toUtf8());
    qputenv("XDG_DATA_DIRS", (xdg.path() + "/none").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (xdg.path() + "/none").toUtf8());
    Window win;
    win.Search("cat", dir.path());
    size_t txt = 0, other = 0;
    for (size_t i = 0; i < win.w->store().size(); ++i)
      (win.w->store()[i].OpenPath.find(".zzq") != std::string::npos ? other : txt) = i;
    win.Open(static_cast<int>(txt), QKeyCombination(Qt::ControlModifier, Qt::Key_X));
    QCOMPARE(win.started, (std::vector<std::string>{"/bin/true --open '" + Folder(dir) + "a.txt'"}));
    win.Open(static_cast<int>(other), QKeyCombination(Qt::ControlModifier, Qt::Key_X));
    QVERIFY(win.quiet.messages.join("|").contains(U8("関連づけられたアプリケーションはありません.(.zzq)")));
    for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) qunsetenv(v);
  }
};

QTEST_MAIN(OpenTest)
#include "open_test.moc"
