#include "meskhttptaskpool.h"
#include "mesknetworkmanager.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"
#include "tempstorage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

// The start-up function when the storage cannot be opened: the user is told,
// the engine and its threads are gone, and the program ends with 0. One run
// per executable, as the start-up function makes the application object.
namespace {

struct SObserved
{
    int result = -1;
    bool boxSeen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QPointer<QObject> engine;
    QPointer<QObject> pool;
    QPointer<QObject> network;
    bool networkAlive = false;
};
SObserved s_seen;

// Runs as the start-up function makes its application object.
void watchForMessageBox()
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
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
        }
        box->button(QMessageBox::Ok)->click();
    });
    timer->start();
}
Q_COREAPP_STARTUP_FUNCTION(watchForMessageBox)

} // namespace

class TestStartupFailure : public QObject
{
    Q_OBJECT

private slots:
    void messageShown()
    {
        QVERIFY(s_seen.boxSeen);
        QCOMPARE(s_seen.title, QStringLiteral("Velto Lumesk"));
        QCOMPARE(s_seen.text,
                 QStringLiteral(
                     "The program could not be initialized. Please uninstall the application, and install "
                     "it again via Velto Update Manager. If the problem persists, consult Velto's support "
                     "pages online."));
        QCOMPARE(s_seen.icon, QMessageBox::Critical);
        QCOMPARE(s_seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void returnsZero() { QCOMPARE(s_seen.result, 0); }

    void engineAndThreadsGone()
    {
        QVERIFY(s_seen.networkAlive);
        QVERIFY(s_seen.engine.isNull());
        QVERIFY(s_seen.pool.isNull());
        QVERIFY(s_seen.network.isNull());
        QVERIFY(!CMeskHttpTaskPool::isPoolRunning());
    }
};

int main(int argc, char* argv[])
{
    TempStorageRoot root;
    // The storage folder would have to be made under a regular file.
    const QString plain = root.path() + QStringLiteral("/plain");
    {
        QFile file(plain);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(plain + QStringLiteral("/data")));
    qputenv("LUMESK_INSTALLER_INI", QFile::encodeName(root.path() + QStringLiteral("/none.ini")));
    MeskSms::registerFactories();

    s_seen.result = MeskStartup::run(argc, argv);

    TestStartupFailure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startupfailure.moc"
