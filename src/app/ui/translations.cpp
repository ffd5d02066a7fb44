#include "app/ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace lorvek {
namespace {

// Texts of Qt's file dialog that Qt's own Japanese catalogue lacks (the
// file-type names moved to a context of their own, which it has no entries
// for). Asked after the catalogue, so it fills only these gaps.
class MissingQtTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                    int /*n*/) const override {
    struct Row {
      const char* context;
      const char* source;
      const char* japanese;
    };
    static const Row kRows[] = {
        {"QAbstractFileIconProvider", "Folder", "フォルダ"},
        {"QAbstractFileIconProvider", "Drive", "ドライブ"},
        {"QAbstractFileIconProvider", "File", "ファイル"},
        {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
        {"QAbstractFileIconProvider", "Alias", "エイリアス"},
        {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
        {"QAbstractFileIconProvider", "Unknown", "不明"},
        {"QFileIconProvider", "Folder", "フォルダ"},
        {"QFileIconProvider", "Drive", "ドライブ"},
        {"QFileIconProvider", "File", "ファイル"},
        {"QFileIconProvider", "%1 File", "%1 ファイル"},
        {"QFileIconProvider", "Unknown", "不明"},
    };
    if (!context || !source) return {};
    for (const Row& r : kRows)
      if (std::strcmp(context, r.context) == 0 && std::strcmp(source, r.source) == 0)
        return QString::fromUtf8(r.japanese);
    return {};
  }
};

}  // namespace

bool InstallJapaneseTranslations(QCoreApplication& app) {
  // Qt's own texts that follow the default locale (the file dialog's file
  // types) in Japanese; dates and sizes keep the user's own locale
  // (QLocale::system()), as the program's dates do.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  // Installed first, so asked last: Qt's catalogue has the word where it can.
  app.installTranslator(new MissingQtTexts(&app));
  auto* qt = new QTranslator(&app);
  if (!qt->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  app.installTranslator(qt);
  return true;
}

}  // namespace lorvek
