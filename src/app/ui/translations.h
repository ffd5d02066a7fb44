// The program speaks Japanese, Qt's own dialogs and buttons included, in
// whatever locale it is started.
#pragma once

class QCoreApplication;

namespace lorvek {

// Loads Qt's Japanese translations into the application; false when they
// are not installed (the dialogs then stay in Qt's English).
bool InstallJapaneseTranslations(QCoreApplication& app);

}  // namespace lorvek
