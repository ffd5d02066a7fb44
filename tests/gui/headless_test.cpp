// lorvek started without a screen: it stands alone, never waits for a
// dialog, says what went wrong on standard error and in its exit status, and
// leaves the settings as they were.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/single_instance.h"
#include "gui_test_util.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

struct Run {
  QByteArray out, err;
  int status = -1;
  bool finished = false;
};

QProcess* Start(const QStringList& args) {
  auto* p = new QProcess;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p->setProcessEnvironment(env);
  p->start(QString::fromUtf8(LORVEK_GUI_BIN), args);
  return p;
}

Run Finish(QProcess* p) {
  Run r;
  r.finished = p->state() == QProcess::NotRunning || p->waitForFinished(20000);
  r.out = p->readAllStandardOutput();
  r.err = p->readAllStandardError();
  r.status = r.finished && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
  if (!r.finished) p->kill(), p->waitForFinished();
  delete p;
  return r;
}

Run Lorvek(const QStringList& args) { return Finish(Start(args)); }

}  // namespace

class HeadlessTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { IsolateFromTheUsersLorvek(); }

  void NothingWaitsForADialog() {
    QTemporaryDir tree;
    MakeTree(tree.path().toStdString(), 2);
    struct Case {
      QStringList args;
      const char* says;
    } cases[] = {
        {{"/K", "(", "/P", tree.path(), "/H", "-"}, "右(閉じ)括弧が必要です"},
        {{"/K", "cat", "/P", tree.path(), "/E", "[ABC", "/H", "-"}, "invalid mask"},
        {{"/K", "cat", "/P", tree.path(), "/H", "/nonexistent/folder/out.txt"}, "/nonexistent/folder/out.txt"},
        {{"/T", "-"}, "検索フォルダまたはキーワード"},
        {{tree.path()}, "検索語を指定してください."},
        {{"/Z", "x"}, "コマンドライン"},
        {{"/K", "cat", "/A"}, "検索フォルダまたはキーワード"},
        {{"/K", "cat", "/P", tree.path(), "/H", "/dev/full"}, "ｽﾄﾘｰﾑへの書き込みｴﾗｰ"},
    };
    for (const Case& c : cases) {
      Run r = Lorvek(c.args);
      QVERIFY2(r.finished, qPrintable(c.args.join(' ')));
      QVERIFY2(r.status == 2, qPrintable(c.args.join(' ') + " status " + QString::number(r.status)));
      QVERIFY2(QString::fromUtf8(r.err).contains(U8(c.says)), qPrintable(c.args.join(' ') + ": " + r.err));
    }
  }

  void TwoAtOnceAndBesideAWindowEachPrintTheirOwn() {
    // A window of the user's is running: headless starts do not hand over to it.
    SingleInstance running;
    QVERIFY(running.Claim());
    bool handed = false;
    running.take_hand_off = [&] { handed = true; };
    QTemporaryDir a, b;
    MakeTree(a.path().toStdString(), 40);
    MakeTree(b.path().toStdString(), 60);
    QProcess* first = Start({"/K", "cat", "/P", a.path(), "/H", "-"});
    QProcess* second = Start({"/K", "cat", "/P", b.path(), "/H", "-"});
    QElapsedTimer t;
    t.start();
    while ((first->state() != QProcess::NotRunning || second->state() != QProcess::NotRunning) && t.elapsed() < 20000)
      QTest::qWait(20);  // the running window answers whoever knocks
    Run r1 = Finish(first), r2 = Finish(second);
    QCOMPARE(r1.status, 0);
    QCOMPARE(r2.status, 0);
    QCOMPARE(r1.out.count('\n'), 40);
    QCOMPARE(r2.out.count('\n'), 60);
    QVERIFY(!r1.out.contains(b.path().toUtf8()));
    QVERIFY(!handed);
  }

  void SettingsAreLeftAsTheyWere() {
    const QString ini = QFileInfo(QString::fromUtf8(LORVEK_GUI_BIN)).absolutePath() + "/Lorvek.ini";
    QFile::remove(ini);
    QTemporaryDir tree;
    MakeTree(tree.path().toStdString(), 1);
    Run r = Lorvek({"/K", "cat", "/P", tree.path(), "/E", "*.bin", "/H", "-"});
    QCOMPARE(r.status, 0);
    QVERIFY2(!QFile::exists(ini), "a headless run wrote Lorvek.ini");
  }
};

QTEST_MAIN(HeadlessTest)
#include "headless_test.moc"
