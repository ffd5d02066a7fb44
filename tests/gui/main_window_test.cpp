// The main window under QT_QPA_PLATFORM=offscreen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QListWidget>
#include <QMenu>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "app/ui/auto_search_dialog.h"
#include "gui_test_util.h"
#include "app/ui/main_window.h"
#include "app/ui/single_instance.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_model.h"
#include "results/ui/result_list.h"
#include "text/cp932.h"
#include "text/file_bytes.h"

using namespace lorvek;

using namespace lorvek::gui_test;

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void SearchingStateEnablesExactlyTheListedControls();
  void CloseIsRefusedWhileSearching();
  void LeavingTheBoxesFillsTheHistories();
  void HiddenToolBarStaysHiddenAfterARestart();
  void TagOptionWritesTheHitsInShiftJis();
  void StartDialogRefusesMissingMaskOrWord();
  void HandOffFromASecondProcess();
  void AnInstanceWithoutAWindowIsNotHandedTheStart();
  void ListCommandsSortingPreviewAndCopies();
  void DragStartsOnlyBeyondTwoPixels();
  void ModelAnswersOnlyTheRowsItWasTold();
  void SearchStaysResponsiveAndAbortsAtOnce();
  void TypedTextIsNeverCompletedFromTheHistory();
  void CommandsStayDisabledWhileARunIsUnderWay();
  void TheHelpWindowOpensOnTheScreen();
};

void MainWindowTest::initTestCase() { IsolateFromTheUsersLorvek(); }

void MainWindowTest::SearchingStateEnablesExactlyTheListedControls() {
  QTemporaryDir dir;
  TLorvekMain w(Folder(dir), {});
  auto action = [&](const char* name) { return w.findChild<QAction*>(name); };
  auto menu = [&](const char* name) { return w.findChild<QMenu*>(name); };
  auto bar = [&](const char* name) { return w.findChild<QToolBar*>(name); };
  w.SetSearchingState(true);
  QVERIFY(!action("FindBtn")->isEnabled());
  QVERIFY(!action("ExitBtn")->isEnabled());
  QVERIFY(action("AbortBtn")->isEnabled());
  for (const char* m : {"File1", "Option1", "T1", "Help1", "Option2"}) QVERIFY2(!menu(m)->isEnabled(), m);
  for (const char* b : {"Toolbar1", "ToolBar3", "Toolbar4"}) QVERIFY2(!bar(b)->isEnabled(), b);
  QVERIFY(bar("Toolbar2")->isEnabled());
  QVERIFY(!w.findChild<PreviewPane*>("Memo1")->isEnabled());
  w.SetSearchingState(false);
  QVERIFY(action("FindBtn")->isEnabled());
  QVERIFY(action("ExitBtn")->isEnabled());
  QVERIFY(!action("AbortBtn")->isEnabled());
  for (const char* m : {"File1", "Option1", "T1", "Help1", "Option2"}) QVERIFY(menu(m)->isEnabled());
  for (const char* b : {"Toolbar1", "ToolBar3", "Toolbar4"}) QVERIFY(bar(b)->isEnabled());
  // Replacing the selection needs a selected row; the options dialog is
  // there whenever no search runs.
  QVERIFY(!action("ReplSelBtn")->isEnabled());
  QVERIFY(action("Property1")->isEnabled());
  w.SetSearchingState(true);
  QVERIFY(!action("Property1")->isEnabled());
  w.SetSearchingState(false);
}

void MainWindowTest::CloseIsRefusedWhileSearching() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 50);
  SlowMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  bool closed = true, searching_seen = false;
  QTimer::singleShot(0, &w, [&] {
    searching_seen = w.run().Searching();
    closed = w.close();
  });
  w.FindButtonClick();
  QVERIFY(searching_seen);
  QVERIFY(!closed);
  QVERIFY(w.isVisible());
  QCOMPARE(w.store().size(), size_t{50});
  QCOMPARE(w.StatusText(0), U8("検索を終了しました."));
  // The hit counter, shown a moment after the last count, says every hit.
  QCOMPARE(w.StatusText(3), U8("マッチ : 50 行"));
  QTRY_COMPARE(w.findChild<QLabel*>("Panel3")->text(), U8("マッチ : 50 行"));
  QCOMPARE(w.windowTitle(), U8("Lorvek-完了"));
  QVERIFY(w.close());
}

void MainWindowTest::LeavingTheBoxesFillsTheHistories() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 2);
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* word_box = w.findChild<QComboBox*>("FindWord");
  auto* path_box = w.findChild<QComboBox*>("FindPath");
  auto items = [](QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  };
  // Typing a word and leaving the box with Tab, as a user does.
  auto type_and_leave = [&](QComboBox* box, const QString& text) {
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    QTRY_VERIFY(box->lineEdit()->hasFocus());
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
    QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
    QTRY_VERIFY(!box->lineEdit()->hasFocus());
  };
  type_and_leave(word_box, "abc");
  type_and_leave(word_box, "def");
  type_and_leave(word_box, "abc");
  QCOMPARE(w.WordHistory().Entries().size(), size_t{2});
  QCOMPARE(QString::fromStdString(w.WordHistory().Entries()[0]), U8("abc"));
  QCOMPARE(items(word_box), (QStringList{"abc", "def"}));
  QCOMPARE(word_box->currentText(), U8("abc"));  // leaving keeps the text
  type_and_leave(path_box, "/tmp");
  QCOMPARE(QString::fromStdString(w.FolderHistory().Entries()[0]), U8("/tmp"));
  QCOMPARE(path_box->toolTip(), U8("/tmp"));
  // A search enters its word and its folder, in the boxes' lists too.
  QTest::mouseClick(word_box->lineEdit(), Qt::LeftButton);
  word_box->lineEdit()->selectAll();
  QTest::keyClicks(word_box->lineEdit(), "cat");
  path_box->setEditText(tree.path());
  QTest::keyClick(word_box->lineEdit(), Qt::Key_Return);
  QTRY_VERIFY(w.windowTitle() == U8("Lorvek-完了"));
  QCOMPARE(items(word_box).value(0), U8("cat"));
  QCOMPARE(items(path_box).value(0), tree.path());
  QCOMPARE(QString::fromStdString(w.FolderHistory().Entries()[0]), tree.path());
  // An empty box adds nothing.
  word_box->setEditText("");
  QTest::mouseClick(word_box->lineEdit(), Qt::LeftButton);
  QTest::keyClick(word_box->lineEdit(), Qt::Key_Tab);
  QCOMPARE(w.WordHistory().Entries().size(), size_t{3});
}

void MainWindowTest::HiddenToolBarStaysHiddenAfterARestart() {
  QTemporaryDir dir;
  {
    TLorvekMain w(Folder(dir), {});
    w.show();
    w.findChild<QToolBar*>("Toolbar2")->setVisible(false);
    w.findChild<QComboBox*>("FindWord")->setEditText("kept");
    QVERIFY(w.close());
  }
  TLorvekMain again(Folder(dir), {});
  again.show();
  QVERIFY(!again.findChild<QToolBar*>("Toolbar2")->isVisible());
  QVERIFY(again.findChild<QToolBar*>("Toolbar1")->isVisible());
  std::string ini = ReadFileBytes(Folder(dir) + "Lorvek.ini");
  QVERIFY(ini.find("[Toolbar2]") != std::string::npos);
  QVERIFY(ini.find("FuzzyChar=1") != std::string::npos);
}

void MainWindowTest::TagOptionWritesTheHitsInShiftJis() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 2);
  std::string out = tree.path().toStdString() + "/out.lst";
  TLorvekMain w(Folder(dir), {"/T", out, "/K", "cat", "/P", tree.path().toStdString(), "/A"});
  Quiet q;
  q.Attach(w);
  QTRY_VERIFY(QFile::exists(QString::fromStdString(out)));
  std::string bytes = ReadFileBytes(out);
  QVERIFY(bytes.find(Utf8ToCp932("\" 2: cat 検索 ")) != std::string::npos);
  QVERIFY(bytes.find("\r\n") != std::string::npos);
  QCOMPARE(w.OutputTarget(), out);
}

void MainWindowTest::StartDialogRefusesMissingMaskOrWord() {
  AutoSearchValues v;
  v.word = "";
  v.mask_text = "";
  TAutoSearch dlg({"/tmp"}, v, {}, {});
  dlg.quiet = true;
  dlg.TryAccept();
  QCOMPARE(dlg.LastMessage(), U8("ファイルマスクを指定してください."));
  dlg.MaskBox()->setEditText("*.*");
  dlg.TryAccept();
  QCOMPARE(dlg.LastMessage(), U8("検索語を指定してください."));
  dlg.WordBox()->setEditText("x");
  dlg.TryAccept();
  QCOMPARE(dlg.result(), int(QDialog::Accepted));
  QCOMPARE(dlg.windowTitle(), U8("LorvekでGrep"));
}

void MainWindowTest::HandOffFromASecondProcess() {
  // This process is the first instance; the real program is the later start.
  const QString bin = QString::fromUtf8(LORVEK_GUI_BIN);
  const std::string folder = QFileInfo(bin).absolutePath().toStdString() + "/";
  SingleInstance instance;
  QVERIFY2(instance.Claim(), "another Lorvek is running");
  QTemporaryDir tree;
  MakeTree(tree.path().toStdString(), 300);
  SlowMain w(folder, {});
  Quiet q;
  q.Attach(w);
  QStringList dialog_folders;
  w.run_dialog = [&](TAutoSearch& d) {
    dialog_folders.clear();
    for (int i = 0; i < d.findChild<QListWidget*>("FolderList")->count(); ++i)
      dialog_folders << d.findChild<QListWidget*>("FolderList")->item(i)->text();
    d.WordBox()->setEditText("cat");
    return true;
  };
  instance.take_hand_off = [&w] { w.ReceiveHandOff(); };
  auto second = [&](const QStringList& args) { return RunLaterStart(bin, args); };

  // A plain folder: the start dialog lists it under "Lorvek-シェル起動".
  QVERIFY(second({tree.path()}));
  QTRY_COMPARE(dialog_folders, QStringList{tree.path()});
  QTRY_COMPARE(w.store().size(), size_t{300});
  QVERIFY(w.windowTitle() == U8("Lorvek-完了"));

  // /K abc: only the word box changes, the list is emptied, nothing runs.
  dialog_folders.clear();
  QVERIFY(second({"/K", "abc"}));
  QTRY_COMPARE(w.findChild<QComboBox*>("FindWord")->currentText(), U8("abc"));
  QCOMPARE(w.store().size(), size_t{0});
  QVERIFY(dialog_folders.isEmpty());

  // While a search runs: the busy message, and the file stays for the next one.
  const QString handoff = QString::fromStdString(HandOffFilePath(folder));
  QProcess later;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "vnc:port=0");
  later.setProcessEnvironment(env);
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  bool started = false;
  const QString busy = U8("エクスプローラから起動メッセージを受け取りましたが\n現在Grep中ですので実行出来ません.");  // one break shown
  w.hold = [&] { return started && !q.messages.contains(busy); };
  QTimer::singleShot(0, &w, [&] {
    later.start(bin, {tree.path()});
    started = true;
  });
  w.FindButtonClick();
  w.hold = nullptr;
  QVERIFY(started);
  QTRY_VERIFY_WITH_TIMEOUT(later.state() == QProcess::NotRunning, 10000);
  QVERIFY(q.messages.contains(busy));
  QVERIFY(QFile::exists(handoff));
  QVERIFY(second({"/K", "next"}));  // consumes the stale file's successor
  QTRY_VERIFY(!QFile::exists(handoff));
}

void MainWindowTest::AnInstanceWithoutAWindowIsNotHandedTheStart() {
  const QString bin = QString::fromUtf8(LORVEK_GUI_BIN);
  SingleInstance windowless;
  QVERIFY2(windowless.Claim(), "another Lorvek is running");
  bool handed = false;
  windowless.take_hand_off = [&] { handed = true; };
  windowless.has_window = [] { return false; };
  QTemporaryDir tree;
  QProcess later;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "vnc:port=0");
  later.setProcessEnvironment(env);
  later.start(bin, {"/K", "abc", tree.path()});
  QVERIFY(later.waitForStarted());
  // The later start runs on its own and becomes the instance others reach.
  QElapsedTimer t;
  t.start();
  bool answered = false;
  while (t.elapsed() < 8000 && !answered && later.state() == QProcess::Running) {
    QCoreApplication::processEvents();
    QLocalSocket probe;
    probe.connectToServer(QString::fromStdString(ServerName()));
    if (probe.waitForConnected(200)) {
      probe.write("29983\n");
      probe.waitForBytesWritten(200);
      while (!probe.canReadLine() && probe.waitForReadyRead(300)) QCoreApplication::processEvents();
      answered = probe.canReadLine() && probe.readLine().trimmed() == "29983";
    }
    QThread::msleep(100);
  }
  QVERIFY(later.state() == QProcess::Running);
  QVERIFY(answered);
  QVERIFY(!handed);
  later.kill();
  later.waitForFinished();
}

void MainWindowTest::ListCommandsSortingPreviewAndCopies() {
  QTemporaryDir dir, tree;
  WriteFile(tree.path().toStdString() + "/b.txt", Utf8ToCp932("x\r\nここで検索する\r\n"));
  WriteFile(tree.path().toStdString() + "/a.txt", Utf8ToCp932("検索\r\n"));
  WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nPreview=1\r\nWholeWord=0\r\n");
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  w.findChild<QComboBox*>("FindWord")->setEditText(U8("検索"));
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  w.FindButtonClick();
  QCOMPARE(w.store().size(), size_t{2});
  auto* list = w.findChild<ResultList*>("ExtListView1");
  // The first click on the file column sorts descending.
  list->horizontalHeader()->sectionClicked(0);
  QVERIFY(QString::fromStdString(std::string(w.store()[0].DisplayName)).endsWith("b.txt"));
  list->horizontalHeader()->sectionClicked(0);
  QVERIFY(QString::fromStdString(std::string(w.store()[0].DisplayName)).endsWith("a.txt"));
  list->horizontalHeader()->sectionClicked(2);  // the line column sorts nothing
  QVERIFY(QString::fromStdString(std::string(w.store()[0].DisplayName)).endsWith("a.txt"));
  // A real click: the arrow as the control decides (a new column descends, the same flips).
  QHeaderView* h = list->horizontalHeader();
  auto click = [&](int section) {
    QPoint at(h->sectionViewportPosition(section) + h->sectionSize(section) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
  };
  click(0);
  QCOMPARE(h->sortIndicatorSection(), 0);
  QCOMPARE(h->sortIndicatorOrder(), Qt::DescendingOrder);
  QVERIFY(QString::fromStdString(std::string(w.store()[0].DisplayName)).endsWith("b.txt"));
  click(0);
  QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
  QVERIFY(QString::fromStdString(std::string(w.store()[0].DisplayName)).endsWith("a.txt"));
  // Selecting the second row: status text and the match selected in the preview.
  list->selectRow(1);
  QCOMPARE(w.StatusText(0), U8("b.txt"));
  QCOMPARE(w.findChild<PreviewPane*>("Memo1")->SelectedText(), U8("検索"));
  // Copy commands.
  w.findChild<QMenu*>("T1")->aboutToShow();
  QAction* copy_names = nullptr;
  for (QAction* a : w.findChild<QMenu*>("T1")->actions())
    if (a->text() == U8("ファイル名をコﾋﾟー(&C)")) copy_names = a;
  QVERIFY(copy_names && copy_names->isEnabled());
  copy_names->trigger();
  QCOMPARE(QApplication::clipboard()->text(), tree.path() + "/b.txt\n");
  list->clearSelection();
  copy_names->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QString());
}

void MainWindowTest::DragStartsOnlyBeyondTwoPixels() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 1);
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.resize(800, 500);
  w.show();
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  w.FindButtonClick();
  auto* list = w.findChild<ResultList*>("ExtListView1");
  std::vector<std::string> dragged;
  list->start_drag = [&](const std::vector<std::string>& p) { dragged = p; };
  QPoint start = list->visualRect(list->model()->index(0, 0)).center();
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
  QMouseEvent two(QEvent::MouseMove, QPointF(start + QPoint(2, 0)), list->viewport()->mapToGlobal(QPointF(start)),
                  Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &two);
  QVERIFY(dragged.empty());
  QMouseEvent three(QEvent::MouseMove, QPointF(start + QPoint(3, 0)), list->viewport()->mapToGlobal(QPointF(start)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &three);
  QCOMPARE(dragged.size(), size_t{1});
  QVERIFY(QString::fromStdString(dragged[0]).endsWith("f0.txt"));
}

void MainWindowTest::ModelAnswersOnlyTheRowsItWasTold() {
  ResultStore store;
  for (int i = 0; i < 25; ++i) {
    auto r = std::make_unique<MatchRecord>();
    r->DisplayName = "/d/f.txt";
    r->IconKey = "f.txt";
    r->IconIndex = i == 1 ? -1 : 0;
    r->LineNo = i + 1;
    r->LineText = Utf8ToCp932("検索 " + std::to_string(i));
    store.Append(std::move(r));
  }
  ResultModel model(store);
  QCOMPARE(model.rowCount(), 0);
  QCOMPARE(model.columnCount(), 6);
  QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), U8("見つかったファイル"));
  QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), U8("見つかった行"));
  model.SetRowCount(20);
  QCOMPARE(model.rowCount(), 20);
  QVERIFY(!model.data(model.index(20, 0), Qt::DisplayRole).isValid());
  QCOMPARE(model.data(model.index(2, 2), Qt::DisplayRole).toString(), U8("3"));
  QCOMPARE(model.data(model.index(2, 3), Qt::DisplayRole).toString(), U8("検索 2"));
  QCOMPARE(model.data(model.index(2, 4), Qt::DisplayRole).toString(), QString());
  QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
  QVERIFY(!model.data(model.index(1, 0), Qt::DecorationRole).isValid());  // a repeated file has no icon
  QVERIFY(!(model.flags(model.index(0, 3)) & Qt::ItemIsEditable));
  model.SetRowCount(100);  // never more rows than records
  QCOMPARE(model.rowCount(), 25);
  QCOMPARE(ResultModel::DateText(0), QLocale::system().toString(QDate(1899, 12, 30), QLocale::ShortFormat));
}

// The window is served while the search runs (files read ahead on workers,
// a filter program waited for), and the abort command ends the run at once,
// killing the filter.
void MainWindowTest::SearchStaysResponsiveAndAbortsAtOnce() {
  QTemporaryDir dir, tree;
  std::string text;
  for (int k = 0; k < 300; ++k) text += "line " + std::to_string(k) + (k == 150 ? " with a cat" : "") + "\r\n";
  for (int i = 0; i < 400; ++i) WriteFile(tree.path().toStdString() + "/a" + std::to_string(1000 + i) + ".txt", text);
  WriteFile(tree.path().toStdString() + "/zz.pdf", "x");
  const std::string filter = Folder(dir) + "slow.sh";
  WriteFile(filter, "#!/bin/sh\nsleep 30\n");
  QFile::setPermissions(QString::fromStdString(filter), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nUseFilter=1\r\nFilterName=" + filter +
                                            "\r\nFilterExt=*.pdf\r\nWholeWord=0\r\n");
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  // Counted in turns of the event loop, not in milliseconds, so that a busy
  // machine cannot fail it: the loop turns again and again while the run
  // goes on, and the abort ends the run while the filter would still sleep
  // for half a minute.
  QElapsedTimer clock;
  clock.start();
  int turns = 0, turns_at_filter = -1;
  bool clicked = false;
  QTimer tick;
  tick.setInterval(0);
  connect(&tick, &QTimer::timeout, [&] {
    ++turns;
    // Once every text file is searched the filter sleeps: the window must
    // go on turning, and the abort then ends the run at once.
    if (turns_at_filter < 0 && w.store().size() >= 400) turns_at_filter = turns;
    if (!clicked && turns_at_filter >= 0 && turns >= turns_at_filter + 50) {
      clicked = true;
      w.findChild<QAction*>("AbortBtn")->trigger();
    }
  });
  tick.start();
  w.FindButtonClick();
  const qint64 ended = clock.elapsed();
  tick.stop();
  QVERIFY(clicked);
  QVERIFY2(ended < 20000, qPrintable(QString::number(ended)));  // not after the filter's 30 s
  QCOMPARE(w.store().size(), size_t{400});  // every text file was searched before the filter
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

// Typing a prefix of a history entry leaves the typed text: the folder
// searched is the one typed, never an entry's subfolder.
void MainWindowTest::TypedTextIsNeverCompletedFromTheHistory() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 1);
  QDir(tree.path()).mkdir("sub");
  MakeTree(tree.path().toStdString() + "/sub", 3);
  WriteFile(Folder(dir) + "Lorvek.ini",
            Utf8ToCp932("[HistoryEx2]\r\n0=" + tree.path().toStdString() +
                        "/sub\r\n[HistoryEx1]\r\n0=catalog\r\n"
                        "[MaskSet]\r\nMask0=\"*.txt,*.htm\"\r\nExcd0=0\r\n"));
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* path_box = w.findChild<QComboBox*>("FindPath");
  auto* word_box = w.findChild<QComboBox*>("FindWord");
  auto* mask_box = w.findChild<QComboBox*>("FileMasks");
  QCOMPARE(path_box->itemText(0), tree.path() + "/sub");
  QCOMPARE(word_box->itemText(0), U8("catalog"));
  auto type = [](QComboBox* box, const QString& text) {
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    QTRY_VERIFY(box->lineEdit()->hasFocus());
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(box->lineEdit(), text);
  };
  type(mask_box, "*.t");
  QCOMPARE(mask_box->currentText(), U8("*.t"));
  type(mask_box, "*.txt");
  type(word_box, "cat");
  QCOMPARE(word_box->currentText(), U8("cat"));
  type(path_box, tree.path());
  QCOMPARE(path_box->currentText(), tree.path());
  QTest::keyClick(path_box->lineEdit(), Qt::Key_Return);  // Enter searches
  QTRY_VERIFY(w.windowTitle() == U8("Lorvek-完了"));
  QCOMPARE(QString::fromStdString(w.FolderHistory().Entries()[0]), tree.path());
  QCOMPARE(QString::fromStdString(w.WordHistory().Entries()[0]), U8("cat"));
  QCOMPARE(w.store().size(), size_t{4});  // the folder and its subfolder, not the subfolder alone
  // The drop-down is still there: Down takes the history entry on purpose.
  QTest::keyClick(path_box->lineEdit(), Qt::Key_Down);
  QCOMPARE(path_box->currentText(), tree.path() + "/sub");
}

// A hand-off's start dialog and run, and the end of an aborted run, keep
// Grep and 閉じる disabled; a hand-off that empties the list leaves nothing
// to replace.
void MainWindowTest::CommandsStayDisabledWhileARunIsUnderWay() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 30);
  SlowMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  auto action = [&](const char* name) { return w.findChild<QAction*>(name); };
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  w.FindButtonClick();
  QCOMPARE(w.store().size(), size_t{30});
  QVERIFY(action("ReplAllBtn")->isEnabled());
  // A hand-off of options empties the list.
  WriteHandOffFile(HandOffFilePath(Folder(dir)), {"/K", "dog"});
  w.ReceiveHandOff();
  QTRY_COMPARE(w.findChild<QComboBox*>("FindWord")->currentText(), U8("dog"));
  QCOMPARE(w.store().size(), size_t{0});
  QVERIFY(!action("ReplAllBtn")->isEnabled());
  QVERIFY(!action("ReplSelBtn")->isEnabled());
  // A hand-off of a folder: busy from its start dialog to the run's end.
  bool find_enabled = true, exit_enabled = true;
  w.run_dialog = [&](TAutoSearch& d) {
    find_enabled = action("FindBtn")->isEnabled();
    exit_enabled = action("ExitBtn")->isEnabled();
    d.WordBox()->setEditText("cat");
    return true;
  };
  WriteHandOffFile(HandOffFilePath(Folder(dir)), {tree.path().toStdString()});
  w.ReceiveHandOff();
  QTRY_COMPARE(w.store().size(), size_t{30});
  QVERIFY(!find_enabled);
  QVERIFY(!exit_enabled);
  QTRY_VERIFY(action("FindBtn")->isEnabled());
  QVERIFY(action("ExitBtn")->isEnabled());
  // Abort: the run finishes its file first, with the commands still disabled.
  bool after_abort_find = true, after_abort_exit = true, still_searching = false;
  bool aborted = false;
  w.hold = [&] {
    if (!aborted && w.store().size() >= 3) {
      aborted = true;
      action("AbortBtn")->trigger();
      after_abort_find = action("FindBtn")->isEnabled();
      after_abort_exit = action("ExitBtn")->isEnabled();
      still_searching = w.run().Searching();
    }
    return false;
  };
  w.FindButtonClick();
  QVERIFY(aborted);
  QVERIFY(!after_abort_find);
  QVERIFY(!after_abort_exit);
  QVERIFY(still_searching);
  QCOMPARE(w.windowTitle(), U8("Lorvek-中止"));
  QVERIFY(action("FindBtn")->isEnabled());
  QVERIFY(action("ExitBtn")->isEnabled());
  QVERIFY(!action("AbortBtn")->isEnabled());
}

void MainWindowTest::TheHelpWindowOpensOnTheScreen() {
  QTemporaryDir dir;
  TLorvekMain w(Folder(dir), {});
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QRect avail = w.screen()->availableGeometry();
  // The main window low on the right: the help window cannot be centred
  // over it and goes as near as the screen allows.
  w.setGeometry(avail.right() - 300, avail.bottom() - 200, 280, 180);
  QMenu* help = w.findChild<QMenu*>("Help1");
  QAction* contents = nullptr;
  for (QAction* a : help->actions())
    if (a->text() == U8("目次(&C)...")) contents = a;
  QVERIFY(contents);
  contents->trigger();
  QWidget* h = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (t->objectName() == "HelpWindow" && t->isVisible()) h = t;
  QVERIFY(h);
  QVERIFY2(avail.contains(h->frameGeometry()), qPrintable(QString("%1,%2 %3x%4").arg(h->x()).arg(h->y()).arg(h->width()).arg(h->height())));
  QCOMPARE(h->frameGeometry().right(), avail.right());
  QCOMPARE(h->frameGeometry().bottom(), avail.bottom());
  h->close();
}
