#include "meskstartup.h"

#include "mainwindow/meskmainwindow.h"
#include "meskengine.h"
#include "mesksingleinstance.h"
#include "meskstoragelock.h"
#include "meskuistyle.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>

#include <future>
#include <memory>

#include <fontconfig/fontconfig.h>

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

// What the start-up failure box says after its first paragraph: what the user can look into.
QString storageFailureText(const TMeskStorageFailure& failure)
{
    using Kind = TMeskStorageFailure::Kind;
    const QString path = QDir::toNativeSeparators(failure.path);
    switch (failure.kind) {
    case Kind::FolderNotWritable:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of a folder.
        return QCoreApplication::translate("MeskStartup", "Velto Lumesk cannot write to the folder \"%1\".")
            .arg(path);
    case Kind::NotAFolder:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of a file that is where the program needs a folder.
        return QCoreApplication::translate("MeskStartup",
                                           "Velto Lumesk cannot use \"%1\": it is a file, not a folder.")
            .arg(path);
    case Kind::FileNotWritable:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of the program's database file.
        return QCoreApplication::translate("MeskStartup", "Velto Lumesk cannot write to the file \"%1\".")
            .arg(path);
    case Kind::FileNotReadable:
        if (failure.detail.isEmpty()) {
            //: Error information, the paragraph after "The program could not be initialized...". %1 is
            //: the path of the program's database file, which the user may not read.
            return QCoreApplication::translate("MeskStartup", "Velto Lumesk cannot read the file \"%1\".")
                .arg(path);
        }
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of the program's database file, %2 the database's own English message, such as "database
        //: is locked".
        return QCoreApplication::translate("MeskStartup", "Velto Lumesk cannot read the file \"%1\": %2.")
            .arg(path, failure.detail);
    case Kind::NotSaved:
        //: Error information, the paragraph after "The program could not be initialized...", or alone
        //: in a box over the main window. %1 is the path of the program's database file, %2 the
        //: database's own English message, such as "disk I/O error".
        return QCoreApplication::translate("MeskStartup",
                                           "Velto Lumesk could not save its data in the file \"%1\": %2.")
            .arg(path, failure.detail);
    case Kind::DiskFull:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of the folder where the program keeps its data.
        return QCoreApplication::translate("MeskStartup", "The disk that holds the folder \"%1\" is full.")
            .arg(path);
    case Kind::HomeNotSet:
        //: Error information, the paragraph after "The program could not be initialized...". HOME is the
        //: name of an environment variable: keep it as it is.
        return QCoreApplication::translate("MeskStartup", "Velto Lumesk keeps its data in the home folder, "
                                                          "but the environment variable HOME is not set.");
    case Kind::HomeNotFound:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of the folder the environment variable HOME names. HOME is the name of an environment
        //: variable: keep it as it is.
        return QCoreApplication::translate(
                   "MeskStartup", "Velto Lumesk keeps its data in the home folder \"%1\", but that "
                                  "folder does not exist. Please check the environment variable HOME.")
            .arg(path);
    case Kind::BrokenLink:
        //: Error information, the paragraph after "The program could not be initialized...". %1 is the
        //: path of a link (a file or folder of the program's data), %2 the path it names, which does
        //: not exist (a disk that is not connected, say).
        return QCoreApplication::translate("MeskStartup", "Velto Lumesk cannot use \"%1\": it is a link to "
                                                          "\"%2\", which does not exist.")
            .arg(path, QDir::toNativeSeparators(failure.detail));
    case Kind::None:
    case Kind::Other:
        break;
    }
    //: Error information, the paragraph after "The program could not be initialized...". %1 is the path
    //: of the folder where the program keeps its data.
    return QCoreApplication::translate("MeskStartup",
                                       "Velto Lumesk could not open its data in the folder \"%1\".")
        .arg(QDir::toNativeSeparators(CMeskEngine::storageFolder()));
}

// The critical box of a start that cannot go on. Plain text: a path or SQLite's words may hold anything.
void showCritical(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velto Lumesk"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// Why a start whose single-instance guard cannot be used does not go on: it cannot tell whether
// another copy runs.
QString cannotTellText(const CMeskSingleInstance& guard)
{
    if (guard.folder().isEmpty()) {
        //: Error information. XDG_RUNTIME_DIR is the name of an environment variable: keep it as it is.
        return QCoreApplication::translate(
            "MeskStartup", "Velto Lumesk cannot tell whether it is running already: it has no runtime folder "
                           "for its lock file. Please check the environment variable XDG_RUNTIME_DIR.");
    }
    //: Error information. %1 is the path of the folder where the program keeps the file that tells
    //: whether it runs (the user's runtime folder), %2 the system's message for the error, such as
    //: "Permission denied" or "No space left on device".
    return QCoreApplication::translate("MeskStartup",
                                       "Velto Lumesk cannot tell whether it is running already: "
                                       "it cannot use its lock file in the folder \"%1\": %2.")
        .arg(QDir::toNativeSeparators(guard.folder()), qt_error_string(guard.error()));
}

// Takes the storage lock. An earlier copy whose window has closed may still be cleaning up its storage:
// it is waited for. Without the single-instance guard, the storage lock is the only sign of another
// copy: one that holds it may be running or closing, and a storage that cannot be locked tells nothing,
// so the start cannot go on. False once the user has been told why.
bool takeStorage(const CMeskSingleInstance& guard, CMeskStorageLock& storageLock, int storageWaitMs)
{
    const bool storageTaken = storageLock.acquire(guard.isUnusable() ? 0 : storageWaitMs);
    if (guard.isUnusable() && !storageLock.isHeld()) {
        showCritical(nullptr, cannotTellText(guard));
        return false;
    }
    if (!storageTaken) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Velto Lumesk"),
            //: Error information
            QCoreApplication::translate("MeskStartup", "Velto Lumesk is still closing. Please try again in a "
                                                       "moment."),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

// Tells why the start failed. Reinstalling mends a broken installation (a missing plug-in, say), not
// the user's files or folders: only a failure that names nothing of those gets that advice.
void tellFailedStart(const TMeskStorageFailure& failure)
{
    using Kind = TMeskStorageFailure::Kind;
    QString text;
    if (failure.kind == Kind::None || failure.kind == Kind::Other) {
        //: Error information
        text = QCoreApplication::translate("MeskStartup",
                                           "The program could not be initialized. Please uninstall the "
                                           "application, and install it again via Velto Update Manager. If "
                                           "the problem persists, consult Velto's support pages online.");
    } else {
        //: Error information, the first paragraph when the program's data or its folders cannot be used.
        text = QCoreApplication::translate("MeskStartup", "The program could not be initialized.");
    }
    text += QStringLiteral("\n\n") + storageFailureText(failure);
    // A read or write of the open file that failed: the file is checked whole at the next start.
    if ((failure.kind == Kind::FileNotReadable && !failure.detail.isEmpty()) ||
        failure.kind == Kind::NotSaved) {
        text += QStringLiteral("\n\n") +
                //: Error information, the last paragraph after a read or write of the program's
                //: database file failed.
                QCoreApplication::translate("MeskStartup",
                                            "Velto Lumesk checks the whole file when it starts next.");
    }
    showCritical(nullptr, text);
}

// What the user is told over the shown window: a box before it would run an event loop in which the
// engine, started already, stores and announces messages with no window to take them.
void tellOverWindow(CMeskEngine* engine, CMeskMainWindow* window)
{
    // A read or write that fails later (from the first fill, which runs as the window shows, on) leaves
    // what the views show, and is told once (out of the call that failed: the box runs an event loop,
    // which no storage batch may span).
    QObject::connect(engine, &CMeskEngine::storageAccessFailed, window,
                     [window](const TMeskStorageFailure& failure) {
                         QMetaObject::invokeMethod(
                             window, [window, failure] { showCritical(window, storageFailureText(failure)); },
                             Qt::QueuedConnection);
                     });
    // The copies may have been made by earlier starts that ended before they told: the notice goes once
    // the box closes.
    if (const QList<SMediaDataBaseCopy> copies = engine->damagedStorageCopies(); !copies.isEmpty()) {
        QMetaObject::invokeMethod(
            window,
            [window, engine, copies] {
                window->tellDamagedData(copies);
                engine->damagedStorageCopyTold();
            },
            Qt::QueuedConnection);
    }
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

int run(int argc, char* argv[], int storageWaitMs)
{
    CMeskSingleInstance guard;
    if (guard.isAlreadyRunning())
        return 0;

    // Building the font list is mostly fontconfig reading its configuration and font caches. It starts
    // on a thread of its own at once, while the application connects to the display (fontconfig is
    // thread-safe); the font database built once the application exists finds it done or waits for it.
    const std::shared_future<void> fontConfiguration =
        std::async(std::launch::async, [] { (void)FcInit(); }).share();

    // Declared before the application, so they are destroyed after it.
    auto qtTranslator = std::make_unique<QTranslator>();
    auto programTranslator = std::make_unique<QTranslator>();
    // No Qt::AA_ShareOpenGLContexts: it would load the GL driver at start. The browser plugin
    // makes the shared context when a wizard first needs it (MeskPlugins::makeSharedOpenGLContext).
    auto app = std::make_unique<QApplication>(argc, argv);
    // The font list (every font file's record) is built on a thread of its own while the storage opens
    // and the window is made; the first text measured waits for it if it must. The font database may
    // be used from any thread.
    std::future<void> fonts = std::async(std::launch::async, [fontConfiguration] {
        fontConfiguration.wait();
        (void)QFontDatabase::families();
    });
    QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velto.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    applyInstallerLanguage(qtTranslator.get(), programTranslator.get());

    // Qt plug-ins such as the SQLite driver may sit beside the program.
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath());

    // The compiled-in resource trees register themselves with the libraries that hold
    // them (":/QuorCommonStyle" with the common style, ":/meskstyle" with the product
    // style). The application owns the style from here on.
    QApplication::setStyle(new CMeskUiStyle);

    CMeskStorageLock storageLock(CMeskEngine::storageFolder());
    if (!takeStorage(guard, storageLock, storageWaitMs))
        return 1;

    auto engine = std::make_unique<CMeskEngine>();
    const auto failStart = [&engine](const TMeskStorageFailure& failure) {
        // Nothing of the SMS side runs behind the box.
        engine->stopSmsForFailedStart();
        tellFailedStart(failure);
        // The engine's network and HTTP threads stop before the program ends.
        engine.reset();
        return 1;
    };
    if (!engine->init())
        return failStart(engine->storageFailure());

    int result = 0;
    {
        // The views hold the engine and objects of its providers: they go first.
        auto window = std::make_unique<CMeskMainWindow>(engine.get());
        // A read or write of the window's making that failed fails the start as one of init() does:
        // what the window would show was taken for nothing there.
        if (const TMeskStorageFailure failure = engine->storageAccessFailure();
            failure.kind != TMeskStorageFailure::Kind::None) {
            window.reset();
            return failStart(failure);
        }
        // Before show(): the stream's first entries are built as it shows, and a read that fails there
        // is told over the window as a later one is.
        tellOverWindow(engine.get(), window.get());
        window->show();
        fonts.wait();
        result = QApplication::exec();
        // The window has closed: the next copy may start (it waits for the storage lock).
        guard.release();
        window.reset();
    }
    engine->cleanupStorage();
    engine.reset();
    storageLock.release();
    app.reset();
    programTranslator.reset();
    qtTranslator.reset();
    return result;
}

} // namespace MeskStartup
