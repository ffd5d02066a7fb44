// lorvek: the desktop program. One instance per user: a later start hands
// its arguments to the running window and ends.
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/ui/main_window.h"
#include "settings/program_folder.h"
#include "app/ui/single_instance.h"
#include "app/ui/translations.h"
#include "search/exit_cleanup.h"
#include "search/work_folder.h"

namespace {

const char kUsage[] =
    "Usage: lorvek [/P FOLDER] [/E MASKS...] [/K WORD] [/T FILE|COPY|-] [/H FILE|COPY|-] [/A] [FOLDER...]\n"
    "Options may also be written -P. /A and /H search at once without the start dialog;\n"
    "/T and /H write the hit list after the search (- is standard output).\n";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // A file-size limit makes a write fail (and be reported), not the program end.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << kUsage;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "lorvek " << LORVEK_VERSION << "\n";
      return 0;
    }
    args.emplace_back(argv[i]);
  }
  // Without a screen, standard error is for the program's own messages: Qt's
  // chatter about the missing screen is left out.
  if (const char* p = std::getenv("QT_QPA_PLATFORM"); p && (std::strncmp(p, "offscreen", 9) == 0 || std::strncmp(p, "minimal", 7) == 0))
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << "\n";
    });
  // Without a screen the run has a scratch folder of its own (Lorvek-UID-PID),
  // which a signal must not leave behind; the signals are held back before
  // Qt starts any thread.
  const bool offscreen = [] {
    const char* p = std::getenv("QT_QPA_PLATFORM");
    return p && (std::strncmp(p, "offscreen", 9) == 0 || std::strncmp(p, "minimal", 7) == 0);
  }();
  if (offscreen) lorvek::CleanUpOnTermination(lorvek::WorkFolder::ForThisProcess().Folder());
  QApplication app(argc, argv);
  lorvek::InstallJapaneseTranslations(app);
  app.setQuitOnLastWindowClosed(true);
  const std::string folder = lorvek::ProgramFolder();
  // Without a screen the run stands alone: it neither takes nor hands over
  // the single instance, and writes nothing back to the settings.
  const QString platform = QGuiApplication::platformName();
  const bool headless = platform == "offscreen" || platform == "minimal";
  lorvek::SingleInstance instance;
  // A running instance of this user takes the request; when none answers
  // (or the hand-off cannot be delivered) this start runs on its own.
  if (!headless && !instance.Claim()) {
    if (instance.HandOver(folder, args)) return 0;
    instance.TakeOver();
  }
  if (headless && args.empty()) {
    std::cerr << "lorvek: 検索フォルダまたはキーワードを設定して下さい.\n" << kUsage;
    return 2;
  }
  // Runs that were killed before they could remove their scratch folders.
  if (!headless) lorvek::WorkFolder::RemoveLeftovers();
  lorvek::TLorvekMain window(folder, args);
  window.SetHeadless(headless);
  if (!headless) {
    instance.take_hand_off = [&window] { window.ReceiveHandOff(); };
    instance.has_window = [&window] { return window.isVisible(); };
  }
  window.show();
  const int status = app.exec();
  return window.HeadlessFailed() ? 2 : status;
}
