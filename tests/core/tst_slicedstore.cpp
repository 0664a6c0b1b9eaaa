#include "meskslicedstore.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

class TestSlicedStore : public QObject
{
    Q_OBJECT
private slots:
    // Every entry once, in order, over several turns of the event loop; done last, once.
    void storesEveryEntryAcrossTurns()
    {
        CMeskSlicedStore store;
        QList<qsizetype> stored;
        int slices = 0;
        int done = 0;
        store.start(
            5000,
            [&](qsizetype from, qsizetype to) {
                ++slices;
                QVERIFY(to > from);
                for (qsizetype i = from; i < to; ++i)
                    stored.append(i);
            },
            [&] {
                QCOMPARE(stored.size(), 5000);
                ++done;
            });
        QVERIFY(slices == 1); // the first slice at once, the others later
        QVERIFY(store.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(done, 1, 30000);
        QVERIFY(slices > 1);
        QVERIFY(!store.isRunning());
        for (qsizetype i = 0; i < stored.size(); ++i)
            QCOMPARE(stored.at(i), i);
    }

    // Cancelled from outside, from inside a slice, or by a new start: the rest and done are dropped.
    void cancelDropsTheRest_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("between slices") << "outside";
        QTest::newRow("inside a slice") << "inside";
        QTest::newRow("new start") << "restart";
        QTest::newRow("destroyed") << "destroy";
    }
    void cancelDropsTheRest()
    {
        QFETCH(QString, how);
        auto store = std::make_unique<CMeskSlicedStore>();
        int slices = 0;
        int done = 0;
        store->start(
            5000,
            [&](qsizetype, qsizetype) {
                if (++slices == 2 && how == "inside")
                    store->cancel();
            },
            [&] { ++done; });
        if (how == "outside")
            store->cancel();
        else if (how == "restart")
            store->start(
                0, [](qsizetype, qsizetype) {}, [] {});
        else if (how == "destroy")
            store.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!store || !store->isRunning(), 30000);
        const int seen = slices;
        // Two more turns of zero-time timers: a slice still scheduled would have run by then.
        bool turned = false;
        QTimer::singleShot(0, [&turned] { QTimer::singleShot(0, [&turned] { turned = true; }); });
        QTRY_VERIFY_WITH_TIMEOUT(turned, 30000);
        QCOMPARE(slices, seen);
        QCOMPARE(done, 0);
        QCOMPARE(slices, how == "inside" ? 2 : 1);
    }

    void keepsTheNewest()
    {
        QList<int> entries;
        for (int i = 0; i < 1500; ++i)
            entries.append(i % 2 ? i : 3000 - i); // newest mixed through the list
        QList<int> expected;
        for (int value : std::as_const(entries)) {
            if (value > 1000) // the 1,000 largest: the odd 1001..1499 and the even 1502..3000
                expected.append(value);
        }
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("answer of 1500 entries, only the newest 1000"));
        CMeskSlicedStore::keepNewest(
            entries, [](int value) { return value; }, "test");
        QCOMPARE(entries, expected);

        QList<int> few{3, 1, 2};
        CMeskSlicedStore::keepNewest(
            few, [](int value) { return value; }, "test");
        QCOMPARE(few, (QList<int>{3, 1, 2}));

        // Of equals, the first listed.
        QList<int> ties(1200, 7);
        for (int i = 0; i < ties.size(); ++i)
            ties[i] = i < 600 ? 1 : 2;
        ties[0] = 3;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("answer of 1200 entries"));
        CMeskSlicedStore::keepNewest(
            ties, [](int value) { return value; }, "test");
        QCOMPARE(ties.size(), 1000);
        QCOMPARE(ties.count(3), 1);
        QCOMPARE(ties.count(2), 600);
        QCOMPARE(ties.indexOf(1), 1); // the 399 ones kept are the first after the three
        QCOMPARE(ties.count(1), 399);
    }
};

QTEST_MAIN(TestSlicedStore)
#include "tst_slicedstore.moc"
