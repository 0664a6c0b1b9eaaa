#include "meskstartup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

// The installer values, the language table and the translators of start-up.
class TestStartupLanguage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTranslator* m_qtTranslator = nullptr;
    QTranslator* m_programTranslator = nullptr;

    // Writes an installer INI with the given values (a null value is left out)
    // and points start-up at it.
    void writeInstaller(const QString& code, const QString& installDir)
    {
        const QString path = m_dir.filePath(QStringLiteral("installer.ini"));
        QFile::remove(path);
        {
            QSettings ini(path, QSettings::IniFormat);
            if (!code.isNull())
                ini.setValue(QStringLiteral("LanguageCode"), code);
            if (!installDir.isNull())
                ini.setValue(QStringLiteral("INSTALLDIR"), installDir);
        }
        qputenv("LUMESK_INSTALLER_INI", QFile::encodeName(path));
    }

    QString translated() const { return QCoreApplication::translate("TestStartupLanguage", "Good morning"); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        m_qtTranslator = new QTranslator;
        m_programTranslator = new QTranslator;
    }

    void cleanup()
    {
        QCoreApplication::removeTranslator(m_qtTranslator);
        QCoreApplication::removeTranslator(m_programTranslator);
        delete m_qtTranslator;
        delete m_programTranslator;
        qunsetenv("LUMESK_INSTALLER_INI");
    }

    void supportedLanguages_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("supported");
        for (const char* code :
             {"en-us", "en-uk", "es-es", "es-us", "fr-fr", "it", "no", "sv", "da", "de", "fi"})
            QTest::newRow(code) << QString::fromLatin1(code) << true;
        QTest::newRow("upper case") << QStringLiteral("EN-US") << false;
        QTest::newRow("en-gb") << QStringLiteral("en-gb") << false;
        QTest::newRow("nb") << QStringLiteral("nb") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blank") << QStringLiteral("de ") << false;
    }

    void supportedLanguages()
    {
        QFETCH(QString, code);
        QFETCH(bool, supported);
        QCOMPARE(MeskStartup::isSupportedLanguage(code), supported);
    }

    void languageLocale_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("locale");
        QTest::newRow("en-us") << "en-us"
                               << "en_US";
        QTest::newRow("en-uk") << "en-uk"
                               << "en_GB";
        QTest::newRow("es-es") << "es-es"
                               << "es_ES";
        QTest::newRow("es-us") << "es-us"
                               << "es_US";
        QTest::newRow("fr-fr") << "fr-fr"
                               << "fr_FR";
        QTest::newRow("it") << "it"
                            << "it_IT";
        QTest::newRow("no") << "no"
                            << "nb_NO";
        QTest::newRow("sv") << "sv"
                            << "sv_SE";
        QTest::newRow("da") << "da"
                            << "da_DK";
        QTest::newRow("de") << "de"
                            << "de_DE";
        QTest::newRow("fi") << "fi"
                            << "fi_FI";
        QTest::newRow("unknown") << "xx"
                                 << "en_US";
        QTest::newRow("upper case") << "DE"
                                    << "en_US";
    }

    void languageLocale()
    {
        QFETCH(QString, code);
        QFETCH(QString, locale);
        MeskStartup::setLanguageLocale(code);
        QCOMPARE(QLocale().name(), locale);
    }

    void defaultLocale()
    {
        MeskStartup::setLanguageLocale(QStringLiteral("de"));
        MeskStartup::setDefaultLanguageLocale();
        QCOMPARE(QLocale().name(), QStringLiteral("en_US"));
    }

    void installerPath()
    {
        qunsetenv("LUMESK_INSTALLER_INI");
        QCOMPARE(MeskStartup::installerIniPath(), QStringLiteral("/etc/xdg/Velto/Velto Lumesk.ini"));
        qputenv("LUMESK_INSTALLER_INI", "/tmp/elsewhere.ini");
        QCOMPARE(MeskStartup::installerIniPath(), QStringLiteral("/tmp/elsewhere.ini"));
    }

    // Installer values that load nothing and leave English (United States).
    void installerRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("installDir");
        const QString folder = QStringLiteral(LUMESK_TEST_QM_DIR);
        QTest::newRow("upper case code") << "EN-US" << folder;
        QTest::newRow("empty folder") << "de"
                                      << "";
        QTest::newRow("empty code") << "" << folder;
        QTest::newRow("unsupported code") << "nb" << folder;
        QTest::newRow("code alone") << "it" << QString();
        QTest::newRow("folder alone") << QString() << folder;
        QTest::newRow("no file") << QString() << QString();
    }

    void installerRefused()
    {
        QFETCH(QString, code);
        QFETCH(QString, installDir);
        writeInstaller(code, installDir);
        QVERIFY(!MeskStartup::applyInstallerLanguage(m_qtTranslator, m_programTranslator));
        QVERIFY(m_qtTranslator->isEmpty());
        QVERIFY(m_programTranslator->isEmpty());
        QCOMPARE(translated(), QStringLiteral("Good morning"));
        QCOMPARE(QLocale().name(), QStringLiteral("en_US"));
    }

    void installerItalian()
    {
        writeInstaller(QStringLiteral("it"), QStringLiteral(LUMESK_TEST_QM_DIR));
        QVERIFY(MeskStartup::applyInstallerLanguage(m_qtTranslator, m_programTranslator));
        QVERIFY(!m_programTranslator->isEmpty());
        QCOMPARE(QDir::cleanPath(m_programTranslator->filePath()),
                 QDir::cleanPath(QStringLiteral(LUMESK_TEST_QM_DIR "/mesk_it.qm")));
        QCOMPARE(translated(), QStringLiteral("Buongiorno"));
        QCOMPARE(QLocale().name(), QStringLiteral("it_IT"));
    }

    // A supported code whose program file is missing still sets the locale;
    // the texts stay English.
    void installerMissingFile()
    {
        writeInstaller(QStringLiteral("fr-fr"), m_dir.path());
        QVERIFY(MeskStartup::applyInstallerLanguage(m_qtTranslator, m_programTranslator));
        QVERIFY(m_programTranslator->isEmpty());
        QCOMPARE(translated(), QStringLiteral("Good morning"));
        QCOMPARE(QLocale().name(), QStringLiteral("fr_FR"));
    }
};

QTEST_GUILESS_MAIN(TestStartupLanguage)
#include "tst_startuplanguage.moc"
