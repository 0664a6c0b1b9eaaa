#include "failingstorage.h"
#include "fakeitemwidget.h"
#include "fakeprovider.h"
#include "faultvfs.h"
#include "mainwindow/meskmainwindow.h"
#include "mediadatabase.h"
#include "meskengine.h"
#include "meskhttptaskpool.h"
#include "meskmessagebox.h"
#include "mesknetworkmanager.h"
#include "meskprovidermanager.h"
#include "mesksingleinstance.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"
#include "meskstoragelock.h"
#include "privatemounts.h"
#include "tempstorage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <utility>

#include <pwd.h>
#include <unistd.h>

// The start-up function when the storage cannot be opened or stays locked: the user is told what
// failed and where, the engine and its threads are gone, and the program ends with 1. The start-up
// function makes the application object, so each case runs it once in a child process (this program
// again), which writes what it saw to a report file.
namespace {

constexpr char kReportVariable[] = "LUMESK_STARTUPFAILURE_REPORT";
constexpr char kScreenshotVariable[] = "LUMESK_STARTUPFAILURE_SCREENSHOT";
// The reads whose statement holds this text fail throughout the start, or (with kLaterVariable set) twice
// once the window shows; kProviderVariable: an activated provider is registered (the window fills its feed).
constexpr char kFailReadsVariable[] = "LUMESK_STARTUPFAILURE_FAILREADS";
constexpr char kLaterVariable[] = "LUMESK_STARTUPFAILURE_LATER";
constexpr char kProviderVariable[] = "LUMESK_STARTUPFAILURE_PROVIDER";
// Every write of the storage's files fails throughout the start (the device refuses it).
constexpr char kFailWritesVariable[] = "LUMESK_STARTUPFAILURE_FAILWRITES";
// The provider's entries read their fields as they are built (as the window shows).
constexpr char kEntriesReadVariable[] = "LUMESK_STARTUPFAILURE_ENTRIESREAD";

// Mounts a small file system of its own on $1 (in the private mount namespace it runs in), takes
// every file entry on it and runs $2.
const QString fillDisk = QStringLiteral("mount -t tmpfs -o size=1m,nr_inodes=8 lumesk \"$1\" || exit 1\n"
                                        "i=0\n"
                                        "while { true > \"$1/f$i\"; } 2>/dev/null; do i=$((i+1)); done\n"
                                        "exec \"$2\"\n");

// Where the storage folder lies below a test's root.
const QString storageUnderRoot = QStringLiteral("data/Velto/Velto Lumesk/mstorage");

// The failed-start box's first paragraph when the user's data or folders are at fault: no advice to
// reinstall, which mends none of them.
const QString firstParagraph = QStringLiteral("The program could not be initialized.");
// Its last paragraph when a read or write of the database file failed.
const QString checkedNext = QStringLiteral("Velto Lumesk checks the whole file when it starts next.");

// --- The child: the start-up function and what it shows --------------------------------------------

struct SObserved
{
    bool boxSeen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QPointer<QObject> engine;
    QPointer<QObject> pool;
    QPointer<QObject> network;
    bool networkAlive = false;
    // The SMS engine's state while the box shows (0: stopped, or never started).
    int smsState = -1;
    int boxes = 0;
};
SObserved s_seen;

// Runs as the start-up function makes its application object.
void watchForMessageBox()
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    // Every box is counted and closed; the first one is described.
    static QPointer<QMessageBox> last;
    QObject::connect(timer, &QTimer::timeout, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == last)
            return;
        last = box;
        if (s_seen.boxes++ > 0) {
            box->button(QMessageBox::Ok)->click();
            return;
        }
        s_seen.boxSeen = true;
        s_seen.title = box->windowTitle();
        s_seen.text = box->text();
        s_seen.icon = box->icon();
        s_seen.buttons = box->standardButtons();
        // The engine is alive while the box shows; the pool is its child.
        if (CMeskHttpTaskPool::isPoolRunning()) {
            s_seen.pool = CMeskHttpTaskPool::instance();
            s_seen.engine = s_seen.pool->parent();
            if (s_seen.engine)
                s_seen.network = s_seen.engine->findChild<CMeskNetworkManager*>();
            s_seen.networkAlive = !s_seen.network.isNull();
            if (const auto* engine = qobject_cast<CMeskEngine*>(s_seen.engine.data()))
                s_seen.smsState = int(engine->smsState());
        }
        const QString screenshot = qEnvironmentVariable(kScreenshotVariable);
        if (!screenshot.isEmpty() && QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR)))
            box->grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/") + screenshot);
        box->button(QMessageBox::Ok)->click();
    });
    timer->start();
}

// A start that opens the window: the information box told over it, if any, is noted and closed, and
// then the window.
struct SInformed
{
    QString text;
    bool overWindow = false;
};
SInformed s_informed;

void watchForInformation()
{
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
        // Reads that fail once the window shows, one after the other.
        if (qEnvironmentVariableIsSet(kLaterVariable) && window->engine()) {
            static bool failed = false;
            if (!std::exchange(failed, true)) {
                FailingReads reads(qEnvironmentVariable(kFailReadsVariable));
                window->engine()->smsMessages();
                window->engine()->smsMessages();
            }
        }
        if (auto* box = qobject_cast<CMeskMessageBox*>(QApplication::activeModalWidget())) {
            s_informed = {box->textLabel()->text(), box->parentWidget() == window};
            const QString screenshot = qEnvironmentVariable(kScreenshotVariable);
            if (!screenshot.isEmpty() && QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR)))
                box->grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/") + screenshot);
            box->accept();
            return;
        }
        // The start queues its box before its event loop runs: a call queued now runs after it, with the
        // box open if there is one.
        timer->stop();
        QMetaObject::invokeMethod(
            window,
            [timer, window] {
                if (QApplication::activeModalWidget())
                    timer->start();
                else
                    window->close();
            },
            Qt::QueuedConnection);
    });
    timer->start();
}

// What the single-instance guard logged.
QStringList s_guardWarnings;
QtMessageHandler s_previousHandler = nullptr;

void noteGuardWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("CMeskSingleInstance")))
        s_guardWarnings << message;
    s_previousHandler(type, context, message);
}

int runStartup(int argc, char* argv[])
{
    s_previousHandler = qInstallMessageHandler(noteGuardWarning);
    MeskSms::registerFactories();
    qAddPreRoutine(watchForMessageBox);
    qAddPreRoutine(watchForInformation);
    if (qEnvironmentVariableIsSet(kProviderVariable)) {
        CMeskProviderManager::setProviderFactories({[](QObject* parent) -> IMediaItemProvider* {
            auto* provider = new FakeProvider(MeskProvider::Twitter, QStringLiteral("Twitter"), parent);
            provider->setActivated(true);
            if (qEnvironmentVariableIsSet(kEntriesReadVariable)) {
                provider->setItemWidgetFactory([provider](const SMediaItem& item) {
                    QHash<QString, QString> fields;
                    provider->storage->mediaItemFields(item.id, fields);
                    return FakeItemWidget::factory()(item);
                });
            }
            return provider;
        }});
    }
    std::unique_ptr<FailingReads> reads;
    if (qEnvironmentVariableIsSet(kFailReadsVariable) && !qEnvironmentVariableIsSet(kLaterVariable))
        reads = std::make_unique<FailingReads>(qEnvironmentVariable(kFailReadsVariable));
    std::unique_ptr<FaultVfs> writes;
    if (qEnvironmentVariableIsSet(kFailWritesVariable)) {
        writes = std::make_unique<FaultVfs>();
        writes->failAt(1, FaultVfs::AnyWrite, FaultVfs::Fault::IoError, true);
    }
    // A copy still closing is waited for briefly: the test holds the storage lock throughout.
    const int result = MeskStartup::run(argc, argv, 100);
    reads.reset();
    writes.reset();
    const QJsonObject report{
        {QStringLiteral("result"), result},
        {QStringLiteral("boxSeen"), s_seen.boxSeen},
        {QStringLiteral("boxes"), s_seen.boxes},
        {QStringLiteral("title"), s_seen.title},
        {QStringLiteral("text"), s_seen.text},
        {QStringLiteral("icon"), int(s_seen.icon)},
        {QStringLiteral("buttons"), int(s_seen.buttons.toInt())},
        {QStringLiteral("engineAliveWhileShown"), s_seen.networkAlive},
        {QStringLiteral("smsStateWhileShown"), s_seen.smsState},
        {QStringLiteral("engineGone"), s_seen.engine.isNull() && s_seen.pool.isNull() &&
                                           s_seen.network.isNull() && !CMeskHttpTaskPool::isPoolRunning()},
        {QStringLiteral("information"), s_informed.text},
        {QStringLiteral("informedOverWindow"), s_informed.overWindow},
        {QStringLiteral("guardWarnings"), s_guardWarnings.join(QLatin1Char('\n'))},
    };
    QFile file(qEnvironmentVariable(kReportVariable));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(report).toJson()) < 0)
        return 2;
    return 0;
}

} // namespace

// --- The test: one child per case ---------------------------------------------------------------------

class TestStartupFailure : public QObject
{
    Q_OBJECT

public:
    enum Case
    {
        FolderUnderFile,
        StorageIsFile,
        ItemsIsFile,
        DataFolderReadOnly,
        HomeUnset,
        DatabaseReadOnly,
        DatabaseUnreadable,
        DatabaseIsFolder,
        DiskFull,
        StorageLinksToNothing,
        DatabaseLinksToNothing,
        HomeMissing
    };
    Q_ENUM(Case)

private:
    // Runs the start-up function in a child (program with arguments: this program, or one that runs
    // it) with its data folder dataHome (none: XDG_DATA_HOME not set, and HOME set to home or, when that
    // is empty, not set either) and reads its report: a start that fails with the critical box, or
    // (failing false) one that opens its window.
    void runChild(const TempStorageRoot& root, const QString& dataHome, const QString& program,
                  const QStringList& arguments, QJsonObject& seen, bool failing = true,
                  const QString& home = {}, const QProcessEnvironment& extra = {})
    {
        const QString reportPath = root.path() + QStringLiteral("/report.json");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(extra);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        if (dataHome.isEmpty()) {
            env.remove(QStringLiteral("XDG_DATA_HOME"));
            env.remove(QStringLiteral("HOME"));
            if (!home.isEmpty())
                env.insert(QStringLiteral("HOME"), home);
        }
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LUMESK_INSTALLER_INI"), root.path() + QStringLiteral("/none.ini"));
        env.insert(QString::fromLatin1(kReportVariable), reportPath);
        env.insert(QString::fromLatin1(kScreenshotVariable),
                   QString::fromLatin1(failing ? "startup-failure-%1.png" : "startup-%1.png")
                       .arg(QString::fromLatin1(QTest::currentDataTag() ? QTest::currentDataTag()
                                                                        : QTest::currentTestFunction())
                                .replace(QLatin1Char(' '), QLatin1Char('-'))));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(program, arguments);
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);

        QFile file(reportPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        seen = QJsonDocument::fromJson(file.readAll()).object();
        if (!extra.contains(QString::fromLatin1(kLaterVariable)) &&
            !extra.contains(QString::fromLatin1(kEntriesReadVariable)))
            QCOMPARE(seen.value(QStringLiteral("boxSeen")).toBool(), failing);
        if (!failing) {
            QCOMPARE(seen.value(QStringLiteral("result")).toInt(-1), 0);
            return;
        }
        QCOMPARE(seen.value(QStringLiteral("title")).toString(), QStringLiteral("Velto Lumesk"));
        QCOMPARE(seen.value(QStringLiteral("icon")).toInt(), int(QMessageBox::Critical));
        QCOMPARE(seen.value(QStringLiteral("buttons")).toInt(), int(QMessageBox::Ok));
        // A failed start tells scripts and service managers so.
        QCOMPARE(seen.value(QStringLiteral("result")).toInt(-1), 1);
    }

private slots:
    void userIsTold_data()
    {
        // told: the second paragraph, %1 the concerned path (below the test's root).
        QTest::addColumn<Case>("setup");
        QTest::addColumn<QString>("concerned");
        QTest::addColumn<QString>("told");
        const QString notAFolder =
            QStringLiteral("Velto Lumesk cannot use \"%1\": it is a file, not a folder.");
        const QString database = storageUnderRoot + QStringLiteral("/mindex.db");
        QTest::newRow("storage folder cannot be made")
            << FolderUnderFile << QStringLiteral("plain") << notAFolder;
        QTest::newRow("storage folder is a file") << StorageIsFile << storageUnderRoot << notAFolder;
        QTest::newRow("items folder is a file")
            << ItemsIsFile << storageUnderRoot + QStringLiteral("/items") << notAFolder;
        QTest::newRow("data folder read-only")
            << DataFolderReadOnly << QStringLiteral("data")
            << QStringLiteral("Velto Lumesk cannot write to the folder \"%1\".");
        QTest::newRow("home not set")
            << HomeUnset << QString()
            << QStringLiteral("Velto Lumesk keeps its data in the home folder, but the "
                              "environment variable HOME is not set.");
        QTest::newRow("database read-only")
            << DatabaseReadOnly << database
            << QStringLiteral("Velto Lumesk cannot write to the file \"%1\".");
        QTest::newRow("database may not be read")
            << DatabaseUnreadable << database << QStringLiteral("Velto Lumesk cannot read the file \"%1\".");
        QTest::newRow("database unreadable")
            << DatabaseIsFolder << database
            << QStringLiteral("Velto Lumesk cannot read the file \"%1\": unable to open database file.\n\n") +
                   checkedNext;
        QTest::newRow("disk full") << DiskFull << storageUnderRoot
                                   << QStringLiteral("The disk that holds the folder \"%1\" is full.");
        // The link's target (%2) lies in the folder "unmounted" below the test's root.
        const QString linkToNothing =
            QStringLiteral("Velto Lumesk cannot use \"%1\": it is a link to \"%2\", which does not exist.");
        QTest::newRow("storage folder links to nothing")
            << StorageLinksToNothing << storageUnderRoot << linkToNothing;
        QTest::newRow("database links to nothing") << DatabaseLinksToNothing << database << linkToNothing;
        QTest::newRow("home folder missing")
            << HomeMissing << QStringLiteral("plain/home")
            << QStringLiteral("Velto Lumesk keeps its data in the home folder \"%1\", but that folder does "
                              "not exist. Please check the environment variable HOME.");
    }

    void userIsTold()
    {
        QFETCH(Case, setup);
        QFETCH(QString, concerned);
        QFETCH(QString, told);
        const bool needsNonRoot = setup == DataFolderReadOnly || setup == HomeUnset ||
                                  setup == DatabaseReadOnly || setup == DatabaseUnreadable;
        if (needsNonRoot && ::geteuid() == 0)
            QSKIP("root writes and reads every file, and may write the folder \"/\"");

        TempStorageRoot root;
        QVERIFY(root.isValid());
        QString dataHome = root.dataHome();
        QString home;
        if (setup == FolderUnderFile || setup == HomeMissing) {
            // The storage folder (or the home folder) would have to be made under a regular file.
            QFile plain(root.path() + QStringLiteral("/plain"));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            dataHome = plain.fileName() + QStringLiteral("/data");
            if (setup == HomeMissing) {
                home = plain.fileName() + QStringLiteral("/home");
                dataHome.clear();
            }
        }
        const QString unmounted = root.path() + QStringLiteral("/unmounted");
        const QString storage = dataHome + QStringLiteral("/Velto/Velto Lumesk/mstorage");
        const QString database = storage + QStringLiteral("/mindex.db");
        switch (setup) {
        case FolderUnderFile:
        case DiskFull:
        case HomeMissing:
            break;
        case StorageLinksToNothing:
            QVERIFY(QDir().mkpath(QFileInfo(storage).path()));
            QVERIFY(QFile::link(unmounted + QStringLiteral("/mstorage"), storage));
            told = told.arg(QStringLiteral("%1"),
                            QDir::toNativeSeparators(unmounted + QStringLiteral("/mstorage")));
            break;
        case DatabaseLinksToNothing: {
            QVERIFY(QDir().mkpath(storage + QStringLiteral("/users")));
            QVERIFY(QFile::link(unmounted + QStringLiteral("/mindex.db"), database));
            QFile avatar(storage + QStringLiteral("/users/3.jpg"));
            QVERIFY(avatar.open(QIODevice::WriteOnly));
            told = told.arg(QStringLiteral("%1"),
                            QDir::toNativeSeparators(unmounted + QStringLiteral("/mindex.db")));
            break;
        }
        case StorageIsFile:
        case ItemsIsFile: {
            const QString plain = setup == StorageIsFile ? storage : storage + QStringLiteral("/items");
            QVERIFY(QDir().mkpath(QFileInfo(plain).path()));
            QFile file(plain);
            QVERIFY(file.open(QIODevice::WriteOnly));
            break;
        }
        case DataFolderReadOnly:
            QVERIFY(QFile::setPermissions(dataHome, QFile::ReadOwner | QFile::ExeOwner));
            break;
        case HomeUnset:
            dataHome.clear();
            break;
        case DatabaseReadOnly:
        case DatabaseUnreadable: {
            QVERIFY(QDir().mkpath(storage));
            QFile file(database);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(setup == DatabaseReadOnly ? QFile::ReadOwner : QFile::Permissions()));
            break;
        }
        case DatabaseIsFolder:
            QVERIFY(QDir().mkpath(database));
            break;
        }
        QString program = QCoreApplication::applicationFilePath();
        QStringList arguments;
        if (setup == DiskFull) {
            // The full file system is made in a private user and mount namespace, where the child runs.
            QVERIFY(QDir().mkpath(dataHome));
            const SPrivateMounts mounts = privateMounts(fillDisk, {dataHome});
            if (!mounts.unavailable.isEmpty())
                QSKIP(qPrintable(mounts.unavailable));
            arguments = mounts.arguments + QStringList{program};
            program = mounts.program;
        }

        QJsonObject seen;
        runChild(root, dataHome, program, arguments, seen, true, home);
        if (QTest::currentTestFailed())
            return;
        if (!concerned.isEmpty())
            told = told.arg(QDir::toNativeSeparators(root.path() + QLatin1Char('/') + concerned));
        QCOMPARE(seen.value(QStringLiteral("text")).toString(),
                 firstParagraph + QStringLiteral("\n\n") + told);
        // The engine, its HTTP pool and its network thread were up while the box showed, and are gone.
        QVERIFY(seen.value(QStringLiteral("engineAliveWhileShown")).toBool());
        QVERIFY(seen.value(QStringLiteral("engineGone")).toBool());
    }

    // A read or write that fails after the storage opened is no empty answer, nor a write that took: in
    // the engine's start or the window's making it fails the start as open()'s read errors do; once
    // the window shows (its first entries are built then) it stays and the failure is told once over it.
    void failedReadIsTold_data()
    {
        QTest::addColumn<QString>("statement"); // the reads whose statement holds this fail
        QTest::addColumn<bool>("provider");     // an activated provider: the window fills its feed
        QTest::addColumn<int>("when");          // 0 start, 1 the reads fail (twice) once the window shows,
                                                // 2 the entries read their fields as the window shows
        QTest::addColumn<bool>("write");        // every write fails instead (a text message being sent
                                                // is marked failed in the engine's start)
        QTest::newRow("engine's start") << QStringLiteral("FROM MEDIASMSMESSAGES") << false << 0 << false;
        QTest::newRow("window's making") << QStringLiteral("FROM MEDIAITEMS") << true << 0 << false;
        QTest::newRow("after the start") << QStringLiteral("FROM MEDIASMSMESSAGES") << false << 1 << false;
        QTest::newRow("window's first entries")
            << QStringLiteral("FROM MEDIAITEMFIELDS") << true << 2 << false;
        QTest::newRow("write in the engine's start") << QString() << false << 0 << true;
    }
    void failedReadIsTold()
    {
        QFETCH(QString, statement);
        QFETCH(bool, provider);
        QFETCH(int, when);
        QFETCH(bool, write);
        TempStorageRoot root;
        QVERIFY(root.isValid());
        const QString database =
            root.path() + QLatin1Char('/') + storageUnderRoot + QStringLiteral("/mindex.db");
        QProcessEnvironment extra;
        if (write) {
            extra.insert(QString::fromLatin1(kFailWritesVariable), QStringLiteral("1"));
        } else {
            extra.insert(QString::fromLatin1(kFailReadsVariable), statement);
        }
        if (write || when == 2) {
            // A stored store: a message being sent (which the start marks failed), an event to show.
            CMediaDataBase storage(QFileInfo(database).path());
            QVERIFY(storage.open());
            SSmsMessage message;
            message.phone = QStringLiteral("+123");
            message.message = QStringLiteral("hello");
            message.created = QDateTime::currentDateTime();
            message.type = SSmsMessage::BeingSent;
            QVERIFY(storage.addSmsMessage(message));
            SMediaItem event;
            event.provider = MeskProvider::Twitter;
            event.type = 1;
            event.content = QStringLiteral("shown");
            event.created = QDateTime::currentDateTime();
            QVERIFY(storage.addMediaItem(event, {{QStringLiteral("text"), QStringLiteral("shown")}}));
        }
        if (provider)
            extra.insert(QString::fromLatin1(kProviderVariable), QStringLiteral("1"));
        if (when == 1)
            extra.insert(QString::fromLatin1(kLaterVariable), QStringLiteral("1"));
        if (when == 2)
            extra.insert(QString::fromLatin1(kEntriesReadVariable), QStringLiteral("1"));
        QJsonObject seen;
        runChild(root, root.dataHome(), QCoreApplication::applicationFilePath(), {}, seen, when == 0, {},
                 extra);
        if (QTest::currentTestFailed())
            return;
        const QString told =
            write ? QStringLiteral("Velto Lumesk could not save its data in the file \"%1\": disk I/O error.")
                        .arg(QDir::toNativeSeparators(database))
                  : QStringLiteral("Velto Lumesk cannot read the file \"%1\": disk I/O error.")
                        .arg(QDir::toNativeSeparators(database));
        QCOMPARE(seen.value(QStringLiteral("boxes")).toInt(), 1);
        QCOMPARE(seen.value(QStringLiteral("text")).toString(),
                 when != 0
                     ? told
                     : firstParagraph + QStringLiteral("\n\n") + told + QStringLiteral("\n\n") + checkedNext);
        if (when != 0) {
            QCOMPARE(seen.value(QStringLiteral("icon")).toInt(), int(QMessageBox::Critical));
        } else {
            QVERIFY(seen.value(QStringLiteral("engineAliveWhileShown")).toBool());
            QVERIFY(seen.value(QStringLiteral("engineGone")).toBool());
            // The run vouched for nothing: the next start checks the whole file.
            QVERIFY(!QFileInfo::exists(QFileInfo(database).path() + QStringLiteral("/mindex.clean")));
            // Nothing of the SMS side runs behind the box (the window's first fill ran with it started).
            QCOMPARE(seen.value(QStringLiteral("smsStateWhileShown")).toInt(), 0);
        }
    }

    void stillClosingIsTold()
    {
        TempStorageRoot root;
        QVERIFY(root.isValid());
        // This process stands in for an earlier copy that is still cleaning up its storage.
        CMeskStorageLock earlier(root.path() + QLatin1Char('/') + storageUnderRoot);
        QVERIFY(earlier.acquire(0));
        QJsonObject seen;
        runChild(root, root.dataHome(), QCoreApplication::applicationFilePath(), {}, seen);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(seen.value(QStringLiteral("text")).toString(),
                 QStringLiteral("Velto Lumesk is still closing. Please try again in a moment."));
        QVERIFY(earlier.isHeld());
    }

    // A start whose single-instance lock file cannot be made starts and logs why while no other copy
    // uses the storage; while one does (running or closing: it cannot tell), or when the storage
    // cannot be locked either, it says why in its box, at once.
    void unusableGuardIsTold_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("otherCopy");
        QTest::addColumn<int>("error");
        QTest::newRow("lock file is a folder, first copy") << QStringLiteral("folder") << false << EISDIR;
        QTest::newRow("lock file is a folder, second copy") << QStringLiteral("folder") << true << EISDIR;
        QTest::newRow("runtime folder read-only, first copy")
            << QStringLiteral("read-only") << false << EROFS;
        QTest::newRow("runtime folder read-only, second copy")
            << QStringLiteral("read-only") << true << EROFS;
        QTest::newRow("runtime folder full, second copy") << QStringLiteral("full") << true << ENOSPC;
        QTest::newRow("storage lock unusable too") << QStringLiteral("both") << false << EISDIR;
        QTest::newRow("no runtime folder, second copy") << QStringLiteral("none") << true << ENOENT;
    }
    void unusableGuardIsTold()
    {
        QFETCH(QString, setup);
        QFETCH(bool, otherCopy);
        QFETCH(int, error);
        TempStorageRoot root;
        QVERIFY(root.isValid());
        const QString runtime = root.subPath(QStringLiteral("runtime"));
        const QString storage = root.path() + QLatin1Char('/') + storageUnderRoot;
        QString program = QCoreApplication::applicationFilePath();
        QStringList arguments;
        const QByteArray tmp = qgetenv("TMPDIR");
        const auto restoreTmp =
            qScopeGuard([tmp] { tmp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp); });
        if (setup == QLatin1String("none")) {
            // Qt has no runtime folder to offer: XDG_RUNTIME_DIR is not set, and a file stands where Qt
            // would make its own folder in the temporary folder.
            qunsetenv("XDG_RUNTIME_DIR");
            qputenv("TMPDIR", QFile::encodeName(root.subPath(QStringLiteral("tmp"))));
            const passwd* user = ::getpwuid(::geteuid());
            QFile file(root.subPath(QStringLiteral("tmp")) + QStringLiteral("/runtime-") +
                       QString::fromLocal8Bit(user ? user->pw_name : ""));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (setup == QLatin1String("folder") || setup == QLatin1String("both")) {
            QVERIFY(QDir(runtime).mkdir(CMeskSingleInstance::guardId() + QStringLiteral(".lock")));
            if (setup == QLatin1String("both"))
                QVERIFY(QDir().mkpath(storage + QStringLiteral(".lock")));
        } else {
            // The runtime folder is a file system of its own in a private mount namespace, where the child
            // runs: read-only, or with every file entry taken. Qt takes it only with mode 0700.
            const QString script =
                setup == QLatin1String("read-only")
                    ? QStringLiteral("mount -t tmpfs -o ro,mode=0700 lumesk \"$1\" || exit 1\n"
                                     "exec \"$2\"\n")
                    : QStringLiteral(
                          "mount -t tmpfs -o size=1m,nr_inodes=8,mode=0700 lumesk \"$1\" || exit 1\n"
                          "i=0\n"
                          "while { true > \"$1/f$i\"; } 2>/dev/null; do i=$((i+1)); done\n"
                          "exec \"$2\"\n");
            const SPrivateMounts mounts = privateMounts(script, {runtime});
            if (!mounts.unavailable.isEmpty())
                QSKIP(qPrintable(mounts.unavailable));
            arguments = mounts.arguments + QStringList{program};
            program = mounts.program;
        }
        // This process stands in for another copy that uses the storage.
        CMeskStorageLock other(storage);
        if (otherCopy)
            QVERIFY(other.acquire(0));

        QJsonObject seen;
        const bool failing = otherCopy || setup == QLatin1String("both");
        runChild(root, root.dataHome(), program, arguments, seen, failing);
        if (QTest::currentTestFailed())
            return;
        const QString why = qt_error_string(error);
        QVERIFY2(seen.value(QStringLiteral("guardWarnings")).toString().endsWith(QStringLiteral(": ") + why),
                 qPrintable(seen.value(QStringLiteral("guardWarnings")).toString()));
        if (setup == QLatin1String("none")) {
            QCOMPARE(
                seen.value(QStringLiteral("text")).toString(),
                QStringLiteral("Velto Lumesk cannot tell whether it is running already: it has no runtime "
                               "folder for its lock file. Please check the environment variable "
                               "XDG_RUNTIME_DIR."));
        } else if (failing) {
            QCOMPARE(
                seen.value(QStringLiteral("text")).toString(),
                QStringLiteral("Velto Lumesk cannot tell whether it is running already: it cannot use its "
                               "lock file in the folder \"%1\": %2.")
                    .arg(QDir::toNativeSeparators(runtime), why));
        }
    }

    // A start that replaced a damaged database, or one of another version, says so over the main window,
    // also when the start that replaced it ended first; a first start does not.
    void damagedDataIsTold_data()
    {
        // The storage at the start: mindex.db "damaged", of another "version", "empty" or missing ("none");
        // "renamed": a start stopped after it renamed the database; "gone": the copy a notice names is gone.
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("told"); // the box's text, %1 the copy; empty: no box
        const QString damaged = QStringLiteral(
            "The program's data was damaged, so Velto Lumesk started with empty data. The damaged file is "
            "kept as \"%1\".\n\nPlease link your accounts again under Services in the settings.");
        QTest::newRow("damaged database") << QStringLiteral("damaged") << damaged;
        QTest::newRow("database of another version")
            << QStringLiteral("version")
            << QStringLiteral("The program's data was made by another version of Velto Lumesk, so Velto "
                              "Lumesk started with empty data. The data is kept as \"%1\".\n\nPlease link "
                              "your accounts again under Services in the settings.");
        QTest::newRow("stopped after the rename") << QStringLiteral("renamed") << damaged;
        // A damaged database found while the copy of an earlier one is still untold: both are named.
        QTest::newRow("second damaged database before the first was told")
            << QStringLiteral("second")
            << QStringLiteral(
                   "The program's data could not be used, so Velto Lumesk started with empty data. "
                   "The data is kept in these files:\n\n\"%1\" (damaged)\n\"%2\" (damaged)\n\n"
                   "Please link your accounts again under Services in the settings.");
        QTest::newRow("copy gone") << QStringLiteral("gone") << QString();
        QTest::newRow("empty database file") << QStringLiteral("empty") << QString();
        QTest::newRow("first start") << QStringLiteral("none") << QString();
    }
    void damagedDataIsTold()
    {
        QFETCH(QString, found);
        QFETCH(QString, told);
        TempStorageRoot root;
        QVERIFY(root.isValid());
        const QString storage = root.dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage");
        const QString notice = storage + QStringLiteral("/mindex.notice");
        QVERIFY(QDir().mkpath(storage));
        auto write = [](const QString& path, const QByteArray& content) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        if (found == QLatin1String("damaged") || found == QLatin1String("empty") ||
            found == QLatin1String("second")) {
            QVERIFY(write(storage + QStringLiteral("/mindex.db"),
                          QByteArray(found == QLatin1String("empty") ? 0 : 4096, 't')));
        }
        if (found == QLatin1String("second")) {
            QVERIFY(write(notice, "damaged\nmindex.db.bak-20000101-000000\n"));
            QVERIFY(write(storage + QStringLiteral("/mindex.db.bak-20000101-000000"), QByteArray(4096, 't')));
        } else if (found == QLatin1String("version")) {
            QVERIFY(CMediaDataBase(storage).open());
            {
                QSqlDatabase older = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), found);
                older.setDatabaseName(storage + QStringLiteral("/mindex.db"));
                QVERIFY(older.open());
                QVERIFY(QSqlQuery(older).exec(
                    QStringLiteral("UPDATE SERVICEKEYS SET VALUE = '1' WHERE PROVIDER = 0")));
            }
            QSqlDatabase::removeDatabase(found);
        } else if (found == QLatin1String("renamed") || found == QLatin1String("gone")) {
            // The database renamed, the notice written, and no box shown.
            const QByteArray copy = "mindex.db.bak-20200101-000000";
            QVERIFY(write(notice, "damaged\n" + copy + '\n'));
            if (found == QLatin1String("renamed"))
                QVERIFY(write(storage + QLatin1Char('/') + QString::fromLatin1(copy), QByteArray(4096, 't')));
        }
        QJsonObject seen;
        runChild(root, root.dataHome(), QCoreApplication::applicationFilePath(), {}, seen, false);
        if (QTest::currentTestFailed())
            return;
        // Told once: the notice is gone.
        QVERIFY(!QFileInfo::exists(notice));
        const QStringList copies = QDir(storage).entryList({QStringLiteral("mindex.db.bak-*")});
        if (told.isEmpty()) {
            QCOMPARE(copies, QStringList());
            QCOMPARE(seen.value(QStringLiteral("information")).toString(), QString());
            return;
        }
        QCOMPARE(copies.size(), found == QLatin1String("second") ? 2 : 1);
        QString text = told.arg(QDir::toNativeSeparators(storage + QLatin1Char('/') + copies.first()));
        if (copies.size() > 1)
            text = text.arg(QDir::toNativeSeparators(storage + QLatin1Char('/') + copies.at(1)));
        QCOMPARE(seen.value(QStringLiteral("information")).toString(), text);
        QVERIFY(seen.value(QStringLiteral("informedOverWindow")).toBool());
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(kReportVariable))
        return runStartup(argc, argv);
    QCoreApplication app(argc, argv);
    TestStartupFailure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startupfailure.moc"
