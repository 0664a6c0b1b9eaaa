#pragma once

#include <QString>

class QTranslator;

// The program's start-up and shutdown, callable from tests: main() only calls run().
namespace MeskStartup {

// The eleven installer language codes; compared exactly, case-sensitively.
bool isSupportedLanguage(const QString& code);
// Sets Qt's default locale from the language table; an unknown code gives
// English (United States).
void setLanguageLocale(const QString& code);
void setDefaultLanguageLocale();

// The INI file holding the installer values "LanguageCode" and "INSTALLDIR":
// LUMESK_INSTALLER_INI when set, else the system-scope settings file of the program.
QString installerIniPath();

// Reads the installer values; when both exist, neither is empty and the code
// is supported, loads Qt's and the program's translations for it into the two
// translators, installs both (also when a file was missing) and sets the
// locale. Otherwise sets the default locale. Returns whether the translators
// were installed. Needs the application object.
bool applyInstallerLanguage(QTranslator* qtTranslator, QTranslator* programTranslator);

// The program: the single-instance guard, the application object with the
// program's identity, translations and locale, the storage lock (waiting up to
// storageWaitMs for an earlier copy's clean-up), the engine and, once the engine
// is initialised, the main window and its event loop; then the shutdown in order
// (guard released, main window, storage clean-up, engine, storage lock,
// application, translators). Returns the event loop's result, 0 when another
// copy runs, or 1 when the storage stays locked, when the single-instance guard
// cannot be used and the storage lock cannot be taken at once (the start cannot
// tell whether another copy runs; the box names the runtime folder and the
// error), or when the engine cannot be initialised (after telling the user; for
// the engine also what failed where, as its storageFailure() says).
int run(int argc, char* argv[], int storageWaitMs = 10000);

} // namespace MeskStartup
