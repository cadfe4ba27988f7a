#pragma once

class QCoreApplication;

namespace vemra {

// Qt's own dialogs (the printer dialog, file choosers, standard buttons)
// speak Japanese like the rest of the program, whatever the desktop's
// language: installs Qt's Japanese translation when the system has it
// (Debian's qt6-translations-l10n). False when it is not installed; Qt's
// dialogs then stay in English.
bool installQtTranslations(QCoreApplication& application);

} // namespace vemra
