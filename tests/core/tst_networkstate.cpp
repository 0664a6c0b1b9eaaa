#include "fakenetworkbackend.h"
#include "mesknetworkstate.h"

#include <QCoreApplication>
#include <QTest>

namespace {
// Records the listener calls in order.
class Recorder : public IMeskNetworkStateListener
{
public:
    QStringList calls;
    void onConnectionTypeChanged() override { calls << QStringLiteral("type"); }
    void onInternetConnected() override { calls << QStringLiteral("connected"); }
    void onInternetDisconnected() override { calls << QStringLiteral("disconnected"); }
    void onNetworkError1() override { calls << QStringLiteral("error1"); }
    void onNetworkError2() override { calls << QStringLiteral("error2"); }
    void onNetworkError3() override { calls << QStringLiteral("error3"); }
};

// Delivers the queued backend events.
void settle()
{
    QCoreApplication::sendPostedEvents();
}

using Emit = void (*)(FakeNetworkBackend&);
} // namespace

Q_DECLARE_METATYPE(Emit)

class TestNetworkState : public QObject
{
    Q_OBJECT
private slots:
    void initOnlineOverEthernet()
    {
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        QCOMPARE(state.connectionType(), 1);
        QVERIFY(state.isInternetConnected());
        settle();
        QCOMPARE(recorder.calls, QStringList());
    }

    void initOfflineHasNoType()
    {
        FakeNetworkBackend backend;
        backend.setOnline(false);
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        QVERIFY(!state.isInternetConnected());
        QCOMPARE(state.connectionType(), 0);
        QCOMPARE(recorder.calls, QStringList());
    }

    void goingOfflineAndBack()
    {
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));

        backend.setOnline(false);
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("disconnected")});
        QCOMPARE(state.connectionType(), 0);
        QVERIFY(!state.isInternetConnected());

        recorder.calls.clear();
        backend.setMedium(2); // while offline: only the stored medium changes
        settle();
        QCOMPARE(recorder.calls, QStringList());
        QCOMPARE(state.connectionType(), 0);

        backend.setOnline(true);
        settle();
        QCOMPARE(recorder.calls, (QStringList{QStringLiteral("connected"), QStringLiteral("type")}));
        QCOMPARE(state.connectionType(), 2);
        QVERIFY(state.isInternetConnected());
    }

    void ethernetToWlanWhileOnline()
    {
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        backend.setMedium(2);
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("type")});
        QCOMPARE(state.connectionType(), 2);
    }

    void everySignalRefreshes_data()
    {
        QTest::addColumn<Emit>("emitter");
        QTest::newRow("networkAdded") << Emit([](FakeNetworkBackend& b) { emit b.networkAdded(); });
        QTest::newRow("networkDeleted") << Emit([](FakeNetworkBackend& b) { emit b.networkDeleted(); });
        QTest::newRow("networkConnectivityChanged")
            << Emit([](FakeNetworkBackend& b) { emit b.networkConnectivityChanged(); });
        QTest::newRow("networkPropertyChanged")
            << Emit([](FakeNetworkBackend& b) { emit b.networkPropertyChanged(); });
        QTest::newRow("connectivityChanged")
            << Emit([](FakeNetworkBackend& b) { emit b.connectivityChanged(); });
    }

    void everySignalRefreshes()
    {
        QFETCH(Emit, emitter);
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));

        // Nothing changed: the event is read but not reported.
        const int queries = backend.connectivityQueries();
        emitter(backend);
        settle();
        QCOMPARE(backend.connectivityQueries(), queries + 1);
        QCOMPARE(recorder.calls, QStringList());

        // Change silently, then let the event under test find it.
        backend.blockSignals(true);
        backend.setOnline(false);
        backend.blockSignals(false);
        emitter(backend);
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("disconnected")});
        QCOMPARE(state.connectionType(), 0);
    }

    void mediumMapsToType_data()
    {
        QTest::addColumn<int>("medium");
        QTest::addColumn<int>("type");
        QTest::newRow("wlan") << 2 << 2;
        QTest::newRow("mobile") << 3 << 3;
        QTest::newRow("out of range") << 7 << 1;
        QTest::newRow("none") << 0 << 1;
    }

    void mediumMapsToType()
    {
        QFETCH(int, medium);
        QFETCH(int, type);
        FakeNetworkBackend backend;
        backend.setMedium(medium);
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        QCOMPARE(state.connectionType(), type);
    }

    void failedQueryKeepsValue()
    {
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));

        backend.setConnectivityQueryFails(true);
        backend.setOnline(false);
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("error2")});
        QVERIFY(state.isInternetConnected());
        QCOMPARE(state.connectionType(), 1);

        recorder.calls.clear();
        backend.setConnectivityQueryFails(false);
        backend.setTypeQueryFails(true);
        emit backend.connectivityChanged();
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("disconnected")});

        // A failed type query while connected keeps the type it had.
        recorder.calls.clear();
        backend.setOnline(true);
        settle();
        QCOMPARE(recorder.calls, (QStringList{QStringLiteral("connected"), QStringLiteral("error2")}));
        QCOMPARE(state.connectionType(), 0);
    }

    void failedFirstReadsKeepDefaults()
    {
        FakeNetworkBackend backend;
        backend.setOnline(false);
        backend.setMedium(3);
        backend.setConnectivityQueryFails(true);
        backend.setTypeQueryFails(true);
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        QCOMPARE(state.connectionType(), 1);
        QVERIFY(state.isInternetConnected());
        QCOMPARE(recorder.calls, (QStringList{QStringLiteral("error2"), QStringLiteral("error2")}));
    }

    void initFailures()
    {
        FakeNetworkBackend unsupported;
        unsupported.setSupported(false);
        Recorder recorder;
        {
            CMeskNetworkState state(&unsupported);
            QVERIFY(!state.init(&recorder));
        }
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("error1")});

        recorder.calls.clear();
        FakeNetworkBackend deaf;
        deaf.setWatchFails(true);
        CMeskNetworkState state(&deaf);
        QVERIFY(!state.init(&recorder));
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("error3")});
        // Nothing is listened to after the failure.
        deaf.setOnline(false);
        settle();
        QCOMPARE(recorder.calls, QStringList{QStringLiteral("error3")});
    }

    void uninitStopsEvents()
    {
        FakeNetworkBackend backend;
        Recorder recorder;
        CMeskNetworkState state(&backend);
        QVERIFY(state.init(&recorder));
        backend.setOnline(false); // queued before uninit
        state.uninit();
        backend.setMedium(2);
        settle();
        QCOMPARE(recorder.calls, QStringList());
        QVERIFY(state.isInternetConnected());
    }
};

QTEST_GUILESS_MAIN(TestNetworkState)
#include "tst_networkstate.moc"
