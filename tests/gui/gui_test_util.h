// Helpers shared by the widget tests.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>
#include <functional>
#include <string>

#include "app/ui/main_window.h"
#include "text/cp932.h"

namespace lorvek::gui_test {

inline QString U8(const char* s) { return QString::fromUtf8(s); }

inline std::string Folder(const QTemporaryDir& d) { return d.path().toStdString() + "/"; }

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A tree of files holding "cat 検索" in Shift-JIS.
inline void MakeTree(const std::string& dir, int files) {
  for (int i = 0; i < files; ++i)
    WriteFile(dir + "/f" + std::to_string(i) + ".txt", Utf8ToCp932("line\r\ncat 検索 " + std::to_string(i) + "\r\n"));
}

// Records every message instead of showing a box.
struct Quiet {
  QStringList messages;
  void Attach(TLorvekMain& w) {
    w.show_message = [this](const QString&, const QString& text) { messages << text; };
  }
};

// A run that takes its time: each directory entry waits a little, and while
// hold() says so the run waits (bounded) so that another process can act.
class SlowMain : public TLorvekMain {
 public:
  using TLorvekMain::TLorvekMain;
  std::function<bool()> hold;
  void ProcessPendingEvents() override {
    TLorvekMain::ProcessPendingEvents();
    QThread::msleep(2);
    QElapsedTimer t;
    t.start();
    while (hold && hold() && t.elapsed() < 15000) {
      TLorvekMain::ProcessPendingEvents();
      QThread::msleep(5);
    }
  }
};

}  // namespace lorvek::gui_test

namespace lorvek::gui_test {

// Each test program gets a runtime and temporary folder of its own, so a
// Lorvek the user runs meanwhile is neither reached nor disturbed.
// Runs a later start (program with args, or a script that starts it) and
// keeps this process answering its hand-off until it ends; true when it
// ended well. env: further variables for it.
inline bool RunLaterStart(const QString& program, const QStringList& args,
                          const QList<QPair<QString, QString>>& env = {}) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert("QT_QPA_PLATFORM", "vnc:port=0");  // a screen of sorts: a later start hands over
  for (const auto& [k, v] : env) e.insert(k, v);
  p.setProcessEnvironment(e);
  p.start(program, args);
  QElapsedTimer t;
  t.start();
  while (p.state() != QProcess::NotRunning && t.elapsed() < 10000) {
    QCoreApplication::processEvents();
    p.waitForFinished(10);
  }
  return p.state() == QProcess::NotRunning && p.exitCode() == 0;
}

inline void IsolateFromTheUsersLorvek() {
  static QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("TMPDIR", runtime.path().toUtf8());
}

}  // namespace lorvek::gui_test
