#pragma once
// Qt's own texts in Czech: the standard dialogs (open, save, print, font),
// the question before replacing a file and the buttons of every message box
// speak the language of the rest of the program, whatever the system's
// locale. The translations are Qt's (Debian: qt6-translations-l10n), read
// from the toolkit's translations folder.

class QCoreApplication;
class QTranslator;

namespace karto {

// Installs Qt's Czech translations in the application. Returns the installed
// translator (owned by the application), nullptr when they are not there:
// the texts then stay Qt's English.
QTranslator* installQtCzechTranslations(QCoreApplication& app);

} // namespace karto
