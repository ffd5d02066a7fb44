#include "app/ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace lorvek {

bool InstallJapaneseTranslations(QCoreApplication& app) {
  auto* qt = new QTranslator(&app);
  if (!qt->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  app.installTranslator(qt);
  return true;
}

}  // namespace lorvek
