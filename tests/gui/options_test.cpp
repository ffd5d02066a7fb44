// The options dialog through its controls: every setting filled and taken
// back, Cancel changing nothing, the pages' rules, and the file managers'
// command registered, run and removed.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/desktop_integration.h"
#include "settings/settings_schema.h"
#include "app/ui/auto_search_dialog.h"
#include "app/ui/options_dialog.h"
#include "app/ui/single_instance.h"
#include "app/ui/translations.h"
#include "view/ui/find_dialog.h"
#include "gui_test_util.h"
#include "text/file_bytes.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

// Every [Options] value as the file would hold it.
std::map<std::string, std::string> Texts(const Options& o) {
  std::map<std::string, std::string> out;
  for (const SettingKey& k : SettingKeys())
    if (k.member) out[k.key] = k.member.Text(o);
  return out;
}

const char kIni[] =
    "[Options]\r\nEditor=\"/usr/bin/gvim\"\r\nEditorSw=\"+\"\r\nEditorSwS=1\r\nEditorIs=7\r\nEdAddMark=0\r\n"
    "UseEditor=1\r\nEditExecDone=0\r\nEdSendkeyw=1\r\nEdKeywSw=-k\r\nEdSendCol=1\r\nEdColSw=-c\r\n"
    "EdSendkeywN=1\r\nEdKeywNSw=-n\r\nPathPrint=2\r\nSamePrint=1\r\nPreview=1\r\nWidePreview=1\r\n"
    "PrevLine=2\r\nNextLine=1\r\nShowFDate=1\r\nFuzzyChar=0\r\nWholeWord=0\r\nFindSub=0\r\n"
    "FindAlsoArchive=1\r\nCodeCngMode=3\r\nAutoDocDetect=1\r\nXlsGrep=0\r\nXlsAlsoNum=1\r\nXlsErrLog=1\r\n"
    "FindOnece=1\r\nHTMLTag=1\r\nUseFilter=1\r\nFilterName=/opt/my filter\r\nFilterExt=*.PDF,*.PPT\r\n"
    "FilterSw=-s\r\nSilenceRestart=1\r\nCSVTerms=1\r\nCSVQuates=2\r\nArcFiles=*.ZIP\r\n"
    "[MaskSet]\r\nMask0=\"*.txt,\"\r\nExcd0=0\r\nMask1=\"*.o,*.a\"\r\nExcd1=1\r\nMask2=\"!\"\r\n";

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    InstallJapaneseTranslations(*qApp);
  }

  void OkKeepsEverySettingAndCancelChangesNothing() {
    QTemporaryDir dir;
    WriteFile(Folder(dir) + "Lorvek.ini", kIni);
    TLorvekMain w(Folder(dir), {});
    Quiet q;
    q.Attach(w);
    const std::string before = ReadFileBytes(Folder(dir) + "Lorvek.ini");
    const Options loaded = w.options();
    // Cancel: the file and the live settings stay as they were, mode 3 too.
    w.show_options = [](TOptionPanel& d) { QTest::mouseClick(d.findChild<QPushButton*>("CancelButton"), Qt::LeftButton); };
    w.findChild<QAction*>("Property1")->trigger();
    QCOMPARE(ReadFileBytes(Folder(dir) + "Lorvek.ini"), before);
    QCOMPARE(Texts(w.options()), Texts(loaded));
    // OK without a change: every setting comes back as it was.
    QStringList grid;
    w.show_options = [&](TOptionPanel& d) {
      for (int n = 0; n < 3; ++n) grid << d.MaskGrid()->item(n, 0)->text();
      QTest::mouseClick(d.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    };
    w.findChild<QAction*>("Property1")->trigger();
    QCOMPARE(grid, (QStringList{"*.txt", "*.o,*.a", ""}));  // one trailing comma and "!" not shown
    QCOMPARE(Texts(w.options())["CodeCngMode"], std::string("3"));
    std::map<std::string, std::string> now = Texts(w.options()), then = Texts(loaded);
    now.erase("ArcFiles");
    then.erase("ArcFiles");
    QCOMPARE(now, then);
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    QCOMPARE(ini.ReadStr("Options", "ArcFiles", ""), std::string("*.ZIP"));
    QCOMPARE(ini.ReadStr("MaskSet", "Mask0", ""), std::string("*.txt"));
    QCOMPARE(ini.ReadStr("MaskSet", "Excd1", ""), std::string("1"));
  }

  // OK without a change leaves every archive mask the search uses (the Java
  // archives and 7-Zip of the start-up list too); a box turned off and on
  // again brings its formats back.
  void OkWithoutChangesKeepsTheArchiveMasks() {
    QTemporaryDir dir, tree;
    WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\nFindAlsoArchive=1\r\nWholeWord=0\r\n");
    QFile::copy(QString(LORVEK_TEST_DATA) + "/archives/sample.jar", tree.path() + "/sample.jar");
    TLorvekMain w(Folder(dir), {});
    Quiet q;
    q.Attach(w);
    const std::vector<std::string> before = w.run().WildMatch2().Mask();
    QVERIFY(std::find(before.begin(), before.end(), "*.JAR") != before.end());
    auto ok = [](TOptionPanel& d) { QTest::mouseClick(d.findChild<QPushButton*>("OkButton"), Qt::LeftButton); };
    w.show_options = ok;
    w.findChild<QAction*>("Property1")->trigger();
    QCOMPARE(w.run().WildMatch2().Mask(), before);
    // The search still looks into the Java archive.
    w.findChild<QComboBox*>("FindWord")->setEditText(U8("検索"));
    w.findChild<QComboBox*>("FindPath")->setEditText(tree.path());
    w.findChild<QComboBox*>("FileMasks")->setEditText("*.txt");
    w.FindButtonClick();
    QVERIFY(w.store().size() > 0);
    QVERIFY(QString::fromStdString(std::string(w.store()[0].OpenPath)).contains("sample.jar@"));
    // ZIP off, then on again.
    w.show_options = [](TOptionPanel& d) {
      static_cast<QCheckBox*>(d.Control("Arc.ZIP"))->setChecked(false);
      QTest::mouseClick(d.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    };
    w.findChild<QAction*>("Property1")->trigger();
    const std::vector<std::string> off = w.run().WildMatch2().Mask();
    QVERIFY(std::find(off.begin(), off.end(), "*.JAR") == off.end());
    QVERIFY(std::find(off.begin(), off.end(), "*.ZIP") == off.end());
    QVERIFY(std::find(off.begin(), off.end(), "*.7Z") != off.end());
    w.show_options = [](TOptionPanel& d) {
      static_cast<QCheckBox*>(d.Control("Arc.ZIP"))->setChecked(true);
      QTest::mouseClick(d.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    };
    w.findChild<QAction*>("Property1")->trigger();
    const std::vector<std::string> on = w.run().WildMatch2().Mask();
    QVERIFY(std::find(on.begin(), on.end(), "*.JAR") != on.end());
    QVERIFY(std::find(on.begin(), on.end(), "*.ZIP") != on.end());
  }

  // The labels' mnemonics are real: Alt+F goes to the box they name.
  void TheLabelsMnemonicsWork() {
    OptionsDialogData data;
    TOptionPanel d(data, ArchiveProbe{});
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    for (int i = 0; i < d.Tree()->topLevelItemCount(); ++i)
      if (d.Tree()->topLevelItem(i)->text(0) == U8("外部フィルタ")) d.Tree()->setCurrentItem(d.Tree()->topLevelItem(i));
    QWidget* filter_name = d.Control("FilterName");
    QTRY_VERIFY(filter_name->isVisible());
    d.Tree()->setFocus();
    QTRY_VERIFY(d.Tree()->hasFocus());
    QTest::keyClick(&d, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(filter_name->hasFocus());
    bool labelled = false;
    for (auto* l : d.findChildren<QLabel*>())
      if (l->text() == U8("外部フィルタ(&F)")) labelled = l->buddy() == filter_name;
    QVERIFY(labelled);
    // The viewer's find dialog: Alt+K goes to the word box, Alt+F to fuzzy.
    QTemporaryDir dir;
    TIniGT ini(Folder(dir) + "Lorvek.ini");
    TFindDlg find(ini, TFindDlg::Mode::Find, "x", false);
    find.show();
    QApplication::setActiveWindow(&find);
    QVERIFY(QTest::qWaitForWindowActive(&find));
    find.RegExpBox()->setFocus();
    QTRY_VERIFY(find.RegExpBox()->hasFocus());
    QTest::keyClick(&find, Qt::Key_K, Qt::AltModifier);
    QTRY_VERIFY(find.WordBox()->hasFocus() || find.WordBox()->lineEdit()->hasFocus());
    QVERIFY(!find.FuzzyBox()->isChecked());
    QTest::keyClick(&find, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(find.FuzzyBox()->isChecked());
  }

  void PageRulesAndAMissingBackEnd() {
    OptionsDialogData data;
    data.archive_masks = {"*.LZH", "*.RAR", "*.ZIP"};
    ArchiveProbe probe;
    probe.lzh = probe.zip = probe.tar = true;  // no RAR reader here
    TOptionPanel d(data, probe);
    d.show();
    auto* rar = static_cast<QCheckBox*>(d.Control("Arc.RAR"));
    QVERIFY(!rar->isEnabled());
    QVERIFY(!rar->isChecked());
    QCOMPARE(d.Values().archive_masks, (std::vector<std::string>{"*.LZH", "*.ZIP"}));
    // emo takes the word with /ff; kmthNotePad clears the DDE link.
    d.EditorList()->setFocus();
    d.EditorList()->setCurrentIndex(4);
    QTest::keyClick(d.EditorList(), Qt::Key_Down);  // to emo
    QCOMPARE(d.EditorList()->currentIndex(), 5);
    QVERIFY(static_cast<QCheckBox*>(d.Control("EdSendkeyw"))->isChecked());
    QCOMPARE(static_cast<QLineEdit*>(d.Control("EdKeywSw"))->text(), QString("/ff"));
    QCOMPARE(static_cast<QLineEdit*>(d.Control("EditorSw"))->text(), QString("/l"));
    QVERIFY(!d.Control("EditorSw")->isEnabled());
    d.EditorList()->setCurrentIndex(0);
    static_cast<QCheckBox*>(d.Control("TeadDde"))->setChecked(true);
    QVERIFY(!d.Control("EdAddMark")->isEnabled());
    d.EditorList()->setCurrentIndex(2);
    QTest::keyClick(d.EditorList(), Qt::Key_Up);  // to kmthNotePad
    QVERIFY(!static_cast<QCheckBox*>(d.Control("TeadDde"))->isChecked());
    QVERIFY(!d.Control("TeadDde")->isEnabled());
    // The tree chooses the page; "拡張検索" shows the switches of "基本設定".
    auto item = [&](const char* name) {
      for (int i = 0; i < d.Tree()->topLevelItemCount(); ++i)
        if (d.Tree()->topLevelItem(i)->text(0) == U8(name)) return d.Tree()->topLevelItem(i);
      return static_cast<QTreeWidgetItem*>(nullptr);
    };
    QVERIFY(item("拡張検索"));
    d.Tree()->setCurrentItem(item("書庫設定"));
    QCOMPARE(d.Pages()->currentWidget()->objectName(), U8("Page.書庫設定"));
    d.Tree()->setCurrentItem(item("拡張検索"));
    QCOMPARE(d.Pages()->currentWidget()->objectName(), U8("Page.基本設定"));
    QVERIFY(d.Pages()->currentWidget()->isAncestorOf(d.Control("FindSub")));
  }

  // Browsing to a known editor picks it in the list, and then the list's
  // own rule applies: emo also passes the search word with /ff.
  void BrowsingToAnEditorAppliesItsPreset() {
    OptionsDialogData data;
    TOptionPanel d(data, ArchiveProbe{});
    d.choose_program = [](const QString&) { return QString("/opt/emo/emo.exe"); };
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QPushButton* browse = nullptr;
    for (QPushButton* b : d.Pages()->widget(0)->findChildren<QPushButton*>())
      if (b->text() == U8("参照...")) browse = b;
    QVERIFY(browse);
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(static_cast<QLineEdit*>(d.Control("Editor"))->text(), QString("/opt/emo/emo.exe"));
    QCOMPARE(d.EditorList()->currentIndex(), 5);
    QCOMPARE(static_cast<QLineEdit*>(d.Control("EditorSw"))->text(), QString("/l"));
    QVERIFY(static_cast<QCheckBox*>(d.Control("EdSendkeyw"))->isChecked());
    QCOMPARE(static_cast<QLineEdit*>(d.Control("EdKeywSw"))->text(), QString("/ff"));
  }

  // Every page for a look by eye (LORVEK_OPTIONS_SHOTS=folder, under Xvfb).
  void Screenshots() {
    const QByteArray folder = qgetenv("LORVEK_OPTIONS_SHOTS");
    if (folder.isEmpty()) QSKIP("LORVEK_OPTIONS_SHOTS not set");
    OptionsDialogData data;
    data.archive_masks = {"*.LZH", "*.ZIP", "*.TAR"};
    data.masks[0] = {"*.txt,*.htm", false};
    data.masks[1] = {"*.o,*.a", true};
    TOptionPanel d(data, ArchiveProbe::OfThisMachine());
    d.show();
    for (int i = 0; i < d.Tree()->topLevelItemCount(); ++i) {
      d.Tree()->setCurrentItem(d.Tree()->topLevelItem(i));
      QTest::qWait(100);
      d.grab().save(QString("%1/page%2.png").arg(QString::fromUtf8(folder)).arg(i, 2, 10, QChar('0')));
    }
  }

  void TheFileManagersCommandIsRegisteredRunAndRemoved() {
    QTemporaryDir data, dir, tree1, tree2;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    WriteFile(Folder(dir) + "Lorvek.ini", "[Options]\r\n");
    {
      TLorvekMain w(Folder(dir), {});
      Quiet q;
      q.Attach(w);
      w.show_options = [](TOptionPanel& d) {
        static_cast<QCheckBox*>(d.Control("Register"))->setChecked(true);
        QTest::mouseClick(d.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
      };
      w.findChild<QAction*>("Property1")->trigger();
      QCOMPARE(q.messages, QStringList{U8(kRegistered)});
    }
    QVERIFY(IsIntegrationRegistered());
    for (const std::string& f : IntegrationFiles()) QVERIFY2(QFileInfo::exists(QString::fromStdString(f)), f.c_str());
    const QString validate = "/usr/bin/desktop-file-validate";
    if (QFileInfo::exists(validate)) {
      QProcess p;
      p.start(validate, {QString::fromStdString(IntegrationFiles()[0])});
      p.waitForFinished();
      QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
    }
    // The installed script with two folders selected starts a search on both.
    QVERIFY(RegisterIntegration(LORVEK_GUI_BIN).empty());
    const QString bin = QString::fromUtf8(LORVEK_GUI_BIN);
    SingleInstance instance;
    QVERIFY2(instance.Claim(), "another Lorvek is running");
    MakeTree(tree1.path().toStdString(), 2);
    MakeTree(tree2.path().toStdString(), 3);
    TLorvekMain w(QFileInfo(bin).absolutePath().toStdString() + "/", {});
    Quiet q;
    q.Attach(w);
    QStringList folders;
    w.run_dialog = [&](TAutoSearch& d) {
      for (int i = 0; i < d.findChild<QListWidget*>("FolderList")->count(); ++i)
        folders << d.findChild<QListWidget*>("FolderList")->item(i)->text();
      d.WordBox()->setEditText("cat");
      return true;
    };
    instance.take_hand_off = [&w] { w.ReceiveHandOff(); };
    QVERIFY(RunLaterStart("/bin/sh", {QString::fromStdString(IntegrationFiles()[1])},
                          {{"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", tree1.path() + "\n" + tree2.path() + "\n"}}));
    QTRY_COMPARE(folders, (QStringList{tree1.path(), tree2.path()}));
    QTRY_COMPARE(w.store().size(), size_t{5});
    // Unregistering removes exactly those files, and leaves another's alone.
    WriteFile(data.path().toStdString() + "/applications/other.desktop", "[Desktop Entry]\n");
    QVERIFY(UnregisterIntegration().empty());
    for (const std::string& f : IntegrationFiles()) QVERIFY(!QFileInfo::exists(QString::fromStdString(f)));
    QVERIFY(QFileInfo::exists(data.path() + "/applications/other.desktop"));
    qunsetenv("XDG_DATA_HOME");
  }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
