// lorvek: the desktop program. One instance per user: a later start hands
// its arguments to the running window and ends.
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <cstring>
#include <iostream>

#include "app/ui/main_window.h"
#include "app/settings/program_folder.h"
#include "app/ui/single_instance.h"
#include "app/ui/translations.h"

namespace {

const char kUsage[] =
    "Usage: lorvek [/P FOLDER] [/E MASKS...] [/K WORD] [/T FILE|COPY|-] [/H FILE|COPY|-] [/A] [FOLDER...]\n"
    "Options may also be written -P. /A and /H search at once without the start dialog;\n"
    "/T and /H write the hit list after the search (- is standard output).\n";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
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
  QApplication app(argc, argv);
  lorvek::InstallJapaneseTranslations(app);
  app.setQuitOnLastWindowClosed(true);
  const std::string folder = lorvek::ProgramFolder();
  lorvek::SingleInstance instance;
  // A running instance of this user takes the request; when none answers
  // (or the hand-off cannot be delivered) this start runs on its own.
  if (!instance.Claim() && instance.HandOver(folder, args)) return 0;
  lorvek::TLorvekMain window(folder, args);
  instance.take_hand_off = [&window] { window.ReceiveHandOff(); };
  window.show();
  return app.exec();
}
