// What the user sees of the main window: its title and status bar after a
// search, where it opens, Qt's own dialogs in Japanese, the small dialogs,
// paths that keep their bytes. Off screen, driven with real events.
#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include "app/ui/auto_search_dialog.h"
#include "app/ui/find_file_dialog.h"
#include "app/ui/main_window.h"
#include "ui/common/qt_text.h"
#include "app/ui/single_instance.h"
#include "app/ui/translations.h"
#include "gui_test_util.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"

using namespace lorvek;
using namespace lorvek::gui_test;

class WindowLookTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    QVERIFY2(InstallJapaneseTranslations(*qApp), "qtbase_ja is not installed");
  }
  void TitleAndStatusBarAfterASearch();
  void HintsGiveBackPanelZero();
  void WindowOpensWhereItCanBeSeenAndComesForward();
  void QtDialogsSpeakJapanese();
  void SmallDialogsAndMenus();
  void StartupWithoutFoldersCloses();
  void CopiedAndDraggedPathsKeepTheirBytes();
};

void WindowLookTest::TitleAndStatusBarAfterASearch() {
  QTemporaryDir dir, tree;
  MakeTree(tree.path().toStdString(), 3);
  WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nPreview=1\r\nShowFDate=1\r\n");
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto* word = w.findChild<QComboBox*>("FindWord");
  word->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  QTest::keyClick(word->lineEdit(), Qt::Key_Return);
  // One state in the caption, not two.
  QCOMPARE(w.windowTitle(), U8("Lorvek-完了"));
  // (A window system appends the display name to every caption.)
  QVERIFY2(!QGuiApplication::applicationDisplayName().contains(U8("完了")),
           qPrintable(QGuiApplication::applicationDisplayName()));
  // The preview shows the selected hit; the next search starts without it.
  auto* list = w.findChild<ResultList*>("ExtListView1");
  list->selectRow(0);
  auto* memo = w.findChild<PreviewPane*>("Memo1");
  QVERIFY(!memo->text().isEmpty());
  word->setEditText("(");
  QTest::keyClick(word->lineEdit(), Qt::Key_Return);
  QVERIFY(memo->text().isEmpty());
  QCOMPARE(q.messages.value(0), U8("右(閉じ)括弧が必要です"));
  QVERIFY(!w.windowTitle().contains(U8("検索中")));  // a pattern error ends the run
  // Counters are never cut, however large they grow.
  for (int panel : {2, 3}) {
    const std::string text = panel == 2 ? "検索ファイル: 12345678" : "マッチ : 12345678 行";
    w.SetStatusText(panel, text);
    auto* label = w.findChild<QLabel*>(QString("Panel%1").arg(panel));
    QTRY_COMPARE(label->text(), QString::fromUtf8(text));  // counters are shown a moment later
    QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), text.c_str());
  }
  // The date column holds a date and time in this font; the last column takes the rest.
  QHeaderView* h = list->horizontalHeader();
  const QString date = ResultModel::DateText(w.store().empty() ? 0 : w.store()[0].LastWriteTime);
  QVERIFY(h->sectionSize(ResultModel::kDate) >= list->fontMetrics().horizontalAdvance(date));
  QVERIFY(h->stretchLastSection());
}

void WindowLookTest::HintsGiveBackPanelZero() {
  QTemporaryDir dir;
  TLorvekMain w(Folder(dir), {});
  w.show();
  w.SetStatusText(0, "検索を終了しました.");
  QStatusTipEvent over(U8("Lorvekを終了します"));
  QApplication::sendEvent(&w, &over);
  QCOMPARE(w.StatusText(0), U8("Lorvekを終了します"));
  QStatusTipEvent left{QString()};  // the pointer leaves the control
  QApplication::sendEvent(&w, &left);
  QCOMPARE(w.StatusText(0), U8("検索を終了しました."));
}

void WindowLookTest::WindowOpensWhereItCanBeSeenAndComesForward() {
  QTemporaryDir dir;
  // A position saved on a much larger screen.
  WriteFile(Folder(dir) + "Lorvek.ini",
            "[Desktop]\r\nMainForm.X=9000\r\nMainForm.Y=2147483647\r\nMainForm.XSize=9900\r\nMainForm.YSize=-2147483648\r\n");
  TLorvekMain w(Folder(dir), {});
  w.show();
  QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY2(screen.intersects(w.frameGeometry()), "the window opened off screen");
  // A hand-off reaching a minimised window brings it back.
  w.showMinimized();
  QTRY_VERIFY(w.isMinimized());
  WriteHandOffFile(HandOffFilePath(Folder(dir)), {"/K", "abc"});
  w.ReceiveHandOff();
  QTRY_COMPARE(w.findChild<QComboBox*>("FindWord")->currentText(), U8("abc"));
  QVERIFY(!w.isMinimized());
  // An empty line of the hand-off file is not a folder to search.
  QTemporaryDir tree;
  MakeTree(tree.path().toStdString(), 1);
  QStringList listed;
  w.run_dialog = [&](TAutoSearch& d) {
    for (int i = 0; i < d.findChild<QListWidget*>("FolderList")->count(); ++i)
      listed << d.findChild<QListWidget*>("FolderList")->item(i)->text();
    d.WordBox()->setEditText("cat");
    return true;
  };
  WriteHandOffFile(HandOffFilePath(Folder(dir)), {"", tree.path().toStdString()});
  w.ReceiveHandOff();
  QTRY_COMPARE(listed, QStringList{tree.path()});
  QTRY_COMPARE(w.store().size(), size_t{1});
}

void WindowLookTest::QtDialogsSpeakJapanese() {
  QMessageBox box(QMessageBox::Question, "Lorvek", "?", QMessageBox::Yes | QMessageBox::No);
  QVERIFY2(box.button(QMessageBox::Yes)->text().contains(U8("はい")), qPrintable(box.button(QMessageBox::Yes)->text()));
  QVERIFY(box.button(QMessageBox::No)->text().contains(U8("いいえ")));
}

void WindowLookTest::SmallDialogsAndMenus() {
  QTemporaryDir dir;
  TLorvekMain w(Folder(dir), {});
  w.show();
  // The about box is wide enough to read its caption.
  QTimer::singleShot(0, &w, [] {
    auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(about);
    QVERIFY(about->width() >= about->fontMetrics().horizontalAdvance(about->windowTitle()) + 100);
    about->accept();
  });
  for (QAction* a : w.findChild<QMenu*>("Help1")->actions())
    if (a->text() == U8("バージョン情報(&A)...")) a->trigger();
  // The mask editor has a frame and a caption a window manager can show.
  TFindFileDlg masks("*.txt", 0, &w);
  QVERIFY(!(masks.windowFlags() & Qt::FramelessWindowHint));
  QCOMPARE(masks.windowTitle(), U8("ﾌｧｲﾙﾏｽｸ編集"));
  // The tool bars' context menu offers the user's bars only.
  std::unique_ptr<QMenu> menu(w.createPopupMenu());
  QStringList offered;
  for (QAction* a : menu->actions())
    if (a->isVisible() && !a->isSeparator()) offered << a->text();
  QVERIFY2(!offered.contains("WordProg"), qPrintable(offered.join(",")));
  QCOMPARE(offered.size(), 4);
}

void WindowLookTest::StartupWithoutFoldersCloses() {
  QTemporaryDir dir;
  auto* w = new TLorvekMain(Folder(dir), {"/K", "cat", "/A"});
  Quiet q;
  q.Attach(*w);
  w->show();
  QTRY_VERIFY(!w->isVisible());  // nothing to search: the program closes
  QVERIFY2(q.messages.isEmpty(), qPrintable(q.messages.join(",")));  // and says nothing
  QCOMPARE(w->store().size(), size_t{0});
  delete w;
}

void WindowLookTest::CopiedAndDraggedPathsKeepTheirBytes() {
  QTemporaryDir dir, tree;
  const std::string name = Utf8ToCp932("検索メモ.txt");  // a Shift-JIS name, not UTF-8
  const std::string path = tree.path().toStdString() + "/" + name;
  WriteFile(path, "cat\r\n");
  TLorvekMain w(Folder(dir), {});
  Quiet q;
  q.Attach(w);
  w.show();
  w.findChild<QComboBox*>("FindWord")->setEditText("cat");
  w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
  w.FindButtonClick();
  QCOMPARE(w.store().size(), size_t{1});
  auto* list = w.findChild<ResultList*>("ExtListView1");
  list->selectRow(0);
  w.findChild<QMenu*>("T1")->aboutToShow();
  for (QAction* a : w.findChild<QMenu*>("T1")->actions())
    if (a->text() == U8("ファイル名をコﾋﾟー(&C)")) a->trigger();
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  QCOMPARE(copied->urls().size(), 1);
  QCOMPARE(QByteArray::fromPercentEncoding(copied->urls()[0].path(QUrl::FullyEncoded).toLatin1()).toStdString(), path);
  QCOMPARE(UrlFromPathBytes(path).toEncoded(), "file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

QTEST_MAIN(WindowLookTest)
#include "window_look_test.moc"
