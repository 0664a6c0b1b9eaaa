#include "meskstartup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace {

struct SLanguage
{
    const char* code;
    QLocale::Language language;
    QLocale::Territory territory;
};

constexpr SLanguage kLanguages[] = {
    {"en-us", QLocale::English, QLocale::UnitedStates},
    {"en-uk", QLocale::English, QLocale::UnitedKingdom},
    {"es-es", QLocale::Spanish, QLocale::Spain},
    {"es-us", QLocale::Spanish, QLocale::UnitedStates},
    {"fr-fr", QLocale::French, QLocale::France},
    {"it", QLocale::Italian, QLocale::AnyTerritory},
    {"no", QLocale::NorwegianBokmal, QLocale::AnyTerritory},
    {"sv", QLocale::Swedish, QLocale::AnyTerritory},
    {"da", QLocale::Danish, QLocale::AnyTerritory},
    {"de", QLocale::German, QLocale::AnyTerritory},
    {"fi", QLocale::Finnish, QLocale::AnyTerritory},
};

const SLanguage* findLanguage(const QString& code)
{
    for (const SLanguage& language : kLanguages) {
        if (code == QLatin1String(language.code))
            return &language;
    }
    return nullptr;
}

} // namespace

namespace MeskStartup {

bool isSupportedLanguage(const QString& code)
{
    return findLanguage(code) != nullptr;
}

void setLanguageLocale(const QString& code)
{
    const SLanguage* language = findLanguage(code);
    if (!language)
        language = findLanguage(QStringLiteral("en-us"));
    QLocale::setDefault(QLocale(language->language, language->territory));
}

void setDefaultLanguageLocale()
{
    setLanguageLocale(QStringLiteral("en-us"));
}

QString installerIniPath()
{
    const QString path = qEnvironmentVariable("LUMESK_INSTALLER_INI");
    if (!path.isEmpty())
        return path;
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Velto"),
                     QStringLiteral("Velto Lumesk"))
        .fileName();
}

bool applyInstallerLanguage(QTranslator* qtTranslator, QTranslator* programTranslator)
{
    const QSettings installer(installerIniPath(), QSettings::IniFormat);
    const QString codeKey = QStringLiteral("LanguageCode");
    const QString dirKey = QStringLiteral("INSTALLDIR");
    if (installer.contains(codeKey) && installer.contains(dirKey)) {
        const QString code = installer.value(codeKey).toString();
        const QString installDir = installer.value(dirKey).toString();
        if (!code.isEmpty() && !installDir.isEmpty() && isSupportedLanguage(code)) {
            // A missing file leaves its translator empty: the English texts show.
            (void)qtTranslator->load(QStringLiteral("qt_") + code,
                                     QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            QCoreApplication::installTranslator(qtTranslator);
            (void)programTranslator->load(
                QDir(installDir).filePath(QStringLiteral("mesk_") + code + QStringLiteral(".qm")));
            QCoreApplication::installTranslator(programTranslator);
            setLanguageLocale(code);
            return true;
        }
    }
    setDefaultLanguageLocale();
    return false;
}

} // namespace MeskStartup
