#include "mesklinuxmodembackend.h"
#include "mesklinuxnetworkbackend.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using R = QNetworkInformation::Reachability;
using M = QNetworkInformation::TransportMedium;

class TestLinuxNetworkBackend : public QObject
{
    Q_OBJECT
private slots:
    // First in this process: nothing has loaded the network information yet. The load starts once
    // the application's event loop runs; a worker asking before that waits for it, or gives up when
    // asked to end.
    void workerWaitsForTheEventLoop()
    {
        CMeskLinuxNetworkBackend backend;
        std::atomic<int> answer{-1};
        std::unique_ptr<QThread> ending(QThread::create([&] { answer = backend.open() ? 1 : 0; }));
        ending->start();
        ending->requestInterruption();
        QVERIFY(ending->wait(30000));
        QCOMPARE(answer.load(), 0);

        answer = -1;
        std::unique_ptr<QThread> worker(QThread::create([&] { answer = backend.open() ? 1 : 0; }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(answer.load() != -1, 30000);
        QVERIFY(worker->wait(30000));
        // The same answer as the application's thread gets.
        QCOMPARE(answer.load(), CMeskLinuxNetworkBackend().open() ? 1 : 0);
    }

    void reachability_data()
    {
        QTest::addColumn<R>("reachability");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<bool>("connected");
        QTest::newRow("online") << R::Online << true << true;
        QTest::newRow("disconnected") << R::Disconnected << true << false;
        QTest::newRow("local") << R::Local << true << false;
        QTest::newRow("site") << R::Site << true << false;
        QTest::newRow("unknown") << R::Unknown << false << false;
    }

    void reachability()
    {
        QFETCH(R, reachability);
        QFETCH(bool, answers);
        QFETCH(bool, connected);
        // The out value is only written when the query answers.
        bool value = !connected;
        QCOMPARE(CMeskLinuxNetworkBackend::mapReachability(reachability, &value), answers);
        QCOMPARE(value, answers ? connected : !connected);
    }

    void medium_data()
    {
        QTest::addColumn<M>("medium");
        QTest::addColumn<int>("type");
        QTest::newRow("ethernet") << M::Ethernet << 1;
        QTest::newRow("wifi") << M::WiFi << 2;
        QTest::newRow("cellular") << M::Cellular << 3;
        QTest::newRow("bluetooth") << M::Bluetooth << 1;
        QTest::newRow("unknown") << M::Unknown << 1;
    }

    void medium()
    {
        QFETCH(M, medium);
        QFETCH(int, type);
        QCOMPARE(CMeskLinuxNetworkBackend::mapTransportMedium(medium), type);
    }

    void opensOrReportsUnsupported()
    {
        CMeskLinuxNetworkBackend backend;
        bool connected = false;
        int type = 0;
        if (!backend.open()) {
            QVERIFY(!backend.watch());
            QVERIFY(!backend.queryConnectivity(&connected));
            QVERIFY(!backend.queryConnectionType(&type));
            QCOMPARE(type, 0);
            return;
        }
        QVERIFY(backend.watch());
        QVERIFY(backend.queryConnectionType(&type));
        QVERIFY(type >= 1 && type <= 3);
        if (!backend.knowsMedium()) {
            QCOMPARE(type, 1);
        }
        // Connectivity may be unknown at first; either answer is fine.
        backend.queryConnectivity(&connected);

        // A second backend shares the process-wide information.
        CMeskLinuxNetworkBackend second;
        QVERIFY(second.open());
    }

    void modemHasNoDevice()
    {
        CMeskLinuxModemBackend modem;
        QVERIFY(modem.open());
        QVERIFY(modem.watch());
        QVERIFY(!modem.hasDevice());
        int state = -1;
        QVERIFY(!modem.readyState(&state));
        QCOMPARE(state, -1);
    }
};

QTEST_GUILESS_MAIN(TestLinuxNetworkBackend)
#include "tst_linuxnetworkbackend.moc"
