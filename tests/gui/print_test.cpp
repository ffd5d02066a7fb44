// Printing from the viewer as a user does it: the print dialog answered
// through its own controls, the text printed to a PDF file and read back
// with pdftotext, the preview paged through, a cancelled layout.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "app/ui/translations.h"
#include "gui_test_util.h"
#include "view/ui/printing.h"
#include "view/ui/view_window.h"

using namespace lorvek;
using namespace lorvek::gui_test;

namespace {

// 120 numbered lines, every tenth one long enough to wrap.
std::string Fixture() {
  std::string text;
  for (int i = 1; i <= 120; ++i) {
    std::string line = "第" + std::to_string(i) + "行 日本語の印刷テスト";
    if (i % 10 == 0)
      for (int k = 0; k < 12; ++k) line += " 長い行の続き";
    text += Utf8ToCp932(line) + "\r\n";
  }
  return text;
}

QString Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Check boxes and radio buttons take clicks only on their mark and text,
// so click near their left edge.
void Click(QAbstractButton* b) {
  const bool mark = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
  QTest::mouseClick(b, Qt::LeftButton, {}, mark ? QPoint(8, b->height() / 2) : b->rect().center());
}

struct Viewer {
  QTemporaryDir dir;
  std::string path;
  QString pdf;
  std::unique_ptr<TView> v;
  Viewer() {
    path = Folder(dir) + "印刷見本.txt";
    pdf = dir.path() + "/out.pdf";
    WriteFile(path, Fixture());
    v = std::make_unique<TView>(Folder(dir));
    v->show();
    v->LoadIntoViewer(path);
    v->Printer().setOutputFormat(QPrinter::PdfFormat);
    v->Printer().setOutputFileName(pdf);
  }
};

}  // namespace

class PrintTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    IsolateFromTheUsersLorvek();
    InstallJapaneseTranslations(*qApp);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
      QFAIL("pdftotext (poppler-utils) is needed");
  }

  void PreviewThenPrintTwoColumnsWithNumbersToPdf() {
    Viewer w;
    int dialogs = 0, previews = 0, pages = 0;
    w.v->show_dialog = [&](QDialog& d) {
      if (auto* p = qobject_cast<TPrintDlg*>(&d)) {
        ++dialogs;
        QVERIFY(p->Button("Cancel")->isDefault());
        if (dialogs == 1) {
          // Choosing "ファイル名" shows its code.
          p->HeaderBox()->setFocus();
          QTest::keyClick(p->HeaderBox(), Qt::Key_Down);
          QCOMPARE(p->HeaderBox()->currentText(), QString("%F"));
          QTest::keyClick(p->FooterBox(), Qt::Key_Down);
          QTest::keyClick(p->FooterBox(), Qt::Key_Down);
          QCOMPARE(p->FooterBox()->currentText(), QString("%f"));
          Click(p->Columns(1));
          Click(p->LineNumbers());
          Click(p->Button("Preview"));
        } else if (dialogs == 2) {
          // Back after the preview with the same settings.
          QCOMPARE(p->HeaderBox()->currentText(), QString("%F"));
          QVERIFY(p->Columns(1)->isChecked());
          QVERIFY(p->LineNumbers()->isChecked());
          Click(p->Button("Ok"));
        }
      } else if (auto* preview = qobject_cast<TPreviewWindow*>(&d)) {
        ++previews;
        QCOMPARE(d.windowTitle(), QString("Preview"));
        QCOMPARE(d.size(), QSize(520, 459));
        const QRegularExpressionMatch m = QRegularExpression("^  1 / +(\\d+)$").match(preview->PageLabel()->text());
        QVERIFY2(m.hasMatch(), qPrintable(preview->PageLabel()->text()));
        pages = m.captured(1).toInt();
        QVERIFY(!preview->Button("First")->isEnabled());
        QVERIFY(!preview->Button("Previous")->isEnabled());
        Click(preview->Button("FitWidth"));
        const double fitted = preview->Zoom();
        Click(preview->Button("Last"));
        QCOMPARE(preview->Zoom(), fitted);  // the zoom stays with the page
        QCOMPARE(preview->PageLabel()->text(), QString::asprintf("%3d / %3d", pages, pages));
        QVERIFY(!preview->Button("Next")->isEnabled());
        QVERIFY(preview->Button("Previous")->isEnabled());
        Click(preview->Button("Close"));
      }
    };
    w.v->Action("Print")->trigger();
    QCOMPARE(dialogs, 2);
    QCOMPARE(previews, 1);
    QCOMPARE(w.v->Panel(0), U8("印刷しました."));
    QVERIFY(QFile::exists(w.pdf));

    const QString info = Run("pdfinfo", {w.pdf});
    const QRegularExpressionMatch count = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    QVERIFY(count.hasMatch());
    QVERIFY(pages >= 2);
    QCOMPARE(count.captured(1).toInt(), pages);

    if (qEnvironmentVariableIsSet("LORVEK_KEEP_PDF")) QFile::copy(w.pdf, qEnvironmentVariable("LORVEK_KEEP_PDF"));
    const QString text = Run("pdftotext", {"-layout", "-f", "1", "-l", "1", w.pdf, "-"});
    const QStringList rows = text.split('\n');
    // The header is the bare file name, the footer the full path.
    QVERIFY2(rows.value(0).contains(U8("印刷見本.txt")), qPrintable(text.left(400)));
    QVERIFY(!rows.value(0).contains(w.dir.path()));
    QVERIFY(text.contains(QString::fromStdString(w.path)));
    // Two columns: the first body row holds line 1 and, further right, the
    // first line of the second column.
    const QRegularExpression two_columns("^\\s*1:第1行 日本語の印刷テスト\\s+(\\d+):\\S");
    bool found = false;
    for (const QString& row : rows) {
      const QRegularExpressionMatch m = two_columns.match(row);
      if (!m.hasMatch()) continue;
      found = true;
      QVERIFY(m.captured(1).toInt() > 20);
    }
    QVERIFY2(found, qPrintable(text.left(1500)));
    // A wrapped line shows its number on every piece.
    const QString all = Run("pdftotext", {"-layout", w.pdf, "-"});
    QVERIFY(all.count(QRegularExpression("\\b10:")) >= 2);

    // The settings were written when the dialog closed.
    std::ifstream ini(Folder(w.dir) + "Lorvek.ini");
    const std::string stored((std::istreambuf_iterator<char>(ini)), {});
    QVERIFY2(stored.find("ColumnCount=1") != std::string::npos, stored.c_str());
    QVERIFY(stored.find("Header=%F") != std::string::npos);
    QVERIFY(stored.find("LineNo=1") != std::string::npos);
  }

  void CancelInTheProgressPrintsNothing() {
    Viewer w;
    int dialogs = 0;
    w.v->print_progress = [](size_t done, size_t) { return done < 5; };
    w.v->show_dialog = [&](QDialog& d) {
      if (auto* p = qobject_cast<TPrintDlg*>(&d)) {
        ++dialogs;
        Click(p->Button("Ok"));
      }
    };
    w.v->Action("Print")->trigger();
    QCOMPARE(dialogs, 1);  // a cancelled print does not bring the dialog back
    QVERIFY(!QFile::exists(w.pdf));
    QVERIFY(w.v->Panel(0) != U8("印刷しました."));
  }

  void TypedHeaderTextIsKeptAsTyped() {
    Viewer w;
    w.v->show_dialog = [&](QDialog& d) {
      auto* p = qobject_cast<TPrintDlg*>(&d);
      if (!p) return;
      p->show();
      QVERIFY(QTest::qWaitForWindowExposed(p));
      p->HeaderBox()->setFocus();
      QTest::keyClick(p->HeaderBox(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(p->HeaderBox(), "CONFIDENTIAL %p");
      QTest::keyClick(p->HeaderBox(), Qt::Key_Return);  // the default button: キャンセル
      QCOMPARE(p->HeaderBox()->count(), 6);
      QCOMPARE(p->Settings().header, std::string("CONFIDENTIAL %p"));
      QVERIFY(!p->isVisible());  // Enter pressed the default button
    };
    w.v->Action("Print")->trigger();
    QVERIFY(!QFile::exists(w.pdf));
    std::ifstream ini(Folder(w.dir) + "Lorvek.ini");
    const std::string stored((std::istreambuf_iterator<char>(ini)), {});
    QVERIFY2(stored.find("Header=CONFIDENTIAL %p") != std::string::npos, stored.c_str());
  }

  void CancelInTheDialogPrintsNothing() {
    Viewer w;
    w.v->show_dialog = [&](QDialog& d) {
      if (auto* p = qobject_cast<TPrintDlg*>(&d)) Click(p->Button("Cancel"));
    };
    w.v->Action("Print")->trigger();
    QVERIFY(!QFile::exists(w.pdf));
  }
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"
