#include "mainwindow/meskmainwindow.h"
#include "mediadatabase.h"
#include "meskengine.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"
#include "tempstorage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QTimer>

// A clean run of the start-up function (not a first run): the main window shows and
// starts the updates; closing it ends the loop; the window goes before the
// engine, and the storage was cleaned up. One run per executable.
namespace {

struct SObserved
{
    int result = -1;
    bool windowSeen = false;
    QString title;
    bool updatesStarted = false;
    bool engineReady = false;
    QString applicationName;
    QString organisationName;
    QString version;
    QString locale;
    bool commonStyleImages = false;
    bool productStyle = false;
    bool productIcon = false;
    QStringList order;
    qsizetype eventsBefore = -1;
    qsizetype eventsAfter = -1;
    QPointer<QObject> engine;
};
SObserved s_seen;

QString storageRoot()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Velto/Velto Lumesk/mstorage");
}

qsizetype storedEvents()
{
    CMediaDataBase db(storageRoot());
    return db.open() ? db.eventItems(0).size() : -1;
}

// Runs as the start-up function makes its application object, before the engine exists.
void prepareRun()
{
    {
        // An event that no provider lists as in sync: the clean-up at the end drops it.
        CMediaDataBase db(storageRoot());
        if (db.open()) {
            SMediaItem event;
            event.provider = MeskProvider::Twitter;
            event.type = MeskItemType::Event1;
            event.content = QStringLiteral("stale");
            event.created = QDateTime(QDate(2024, 1, 1), QTime(9, 0));
            db.addMediaItem(event);
        }
    }
    s_seen.eventsBefore = storedEvents();

    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        CMeskMainWindow* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* candidate = qobject_cast<CMeskMainWindow*>(w); candidate && candidate->isVisible())
                window = candidate;
        }
        if (!window)
            return;
        timer->stop();
        s_seen.windowSeen = true;
        s_seen.title = window->windowTitle();
        s_seen.applicationName = QCoreApplication::applicationName();
        s_seen.organisationName = QCoreApplication::organizationName();
        s_seen.version = QCoreApplication::applicationVersion();
        s_seen.locale = QLocale().name();
        s_seen.commonStyleImages = !QDir(QStringLiteral(":/QuorCommonStyle/Images")).entryList().isEmpty();
        s_seen.productStyle = qobject_cast<CMeskUiStyle*>(QApplication::style()) != nullptr;
        s_seen.productIcon = !QApplication::style()->standardPixmap(QStyle::SP_TitleBarMenuButton).isNull();
        CMeskEngine* engine = window->engine();
        s_seen.engine = engine;
        s_seen.engineReady = engine && engine->isReady();
        if (auto* updates = engine ? engine->findChild<QTimer*>(QStringLiteral("updateTimer")) : nullptr)
            s_seen.updatesStarted = updates->isActive();
        QObject::connect(window, &QObject::destroyed, [] { s_seen.order << QStringLiteral("window"); });
        if (engine) {
            QObject::connect(engine, &QObject::destroyed, [] {
                s_seen.order << QStringLiteral("engine");
                s_seen.eventsAfter = storedEvents();
            });
        }
        // For a look at the window: TST_GRAB_WINDOW=/path/to.png.
        if (const QString grab = qEnvironmentVariable("TST_GRAB_WINDOW"); !grab.isEmpty())
            window->grab().save(grab);
        window->close();
        QCoreApplication::exit(3);
    });
    timer->start();
}
Q_COREAPP_STARTUP_FUNCTION(prepareRun)

} // namespace

class TestStartupRun : public QObject
{
    Q_OBJECT

private slots:
    void windowShown()
    {
        QVERIFY(s_seen.windowSeen);
        QCOMPARE(s_seen.title, QStringLiteral("Velto Lumesk"));
        QVERIFY(s_seen.engineReady);
        QVERIFY(s_seen.updatesStarted);
    }

    void identityAndLocale()
    {
        QCOMPARE(s_seen.organisationName, QStringLiteral("Velto"));
        QCOMPARE(s_seen.applicationName, QStringLiteral("Velto Lumesk"));
        QCOMPARE(s_seen.version, QStringLiteral("1.0"));
        // No installer values: English (United States).
        QCOMPARE(s_seen.locale, QStringLiteral("en_US"));
    }

    void resourcesRegistered()
    {
        QVERIFY(s_seen.commonStyleImages);
        QVERIFY(s_seen.productIcon);
    }

    void productStyleInstalled() { QVERIFY(s_seen.productStyle); }

    void returnsLoopResult() { QCOMPARE(s_seen.result, 3); }

    void windowGoesBeforeEngine()
    {
        QCOMPARE(s_seen.order, (QStringList{"window", "engine"}));
        QVERIFY(s_seen.engine.isNull());
    }

    void storageCleanedUp()
    {
        QCOMPARE(s_seen.eventsBefore, 1);
        QCOMPARE(s_seen.eventsAfter, 0);
    }
};

int main(int argc, char* argv[])
{
    TempStorageRoot root;
    qputenv("LUMESK_INSTALLER_INI", QFile::encodeName(root.path() + QStringLiteral("/none.ini")));
    MeskSms::registerFactories();
    // Fresh storage would make a first run, which starts no updates.
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .setValue(CMeskSettings::keyName(16), false);

    s_seen.result = MeskStartup::run(argc, argv);

    TestStartupRun test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startuprun.moc"
