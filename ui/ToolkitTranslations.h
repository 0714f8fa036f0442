#pragma once

// The toolkit's own dialogs (file, print, message box buttons) speak the language the
// user chose for the program. Qt's translations come with the system
// (qt6-translations-l10n on Debian).

#include <string>

class QCoreApplication;

namespace kanvio {

// Loads qtbase_<code> from Qt's translation folder into the application, replacing one
// loaded before. False when there is none for the language (English needs none).
bool InstallToolkitTranslations(QCoreApplication& application, const std::string& languageCode);

} // namespace kanvio
