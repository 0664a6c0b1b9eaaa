#include "meskanswerspan.h"
#include "meskservicecall.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A call that refuses on demand, as a request() does when it cannot start.
class CRefusingCall : public CMeskServiceCall
{
    Q_OBJECT
public:
    using CMeskServiceCall::CMeskServiceCall;
    bool request() { return refuse(failureLine("create")); }
};

} // namespace

class tst_ProviderCommon : public QObject
{
    Q_OBJECT
private slots:
    void answerSpan_data();
    void answerSpan();
    void refusalIsQueuedOnceAndOnlyTheLatestCounts();
    void refusalOfADeletedCallIsDropped();
};

// Each script is a list of steps: b = begin, a<N> = announce N, d<N> = discard action N,
// A = accept, D = discard, C/R = end(committed)/end(rolled back). The result is what ran, in order.
void tst_ProviderCommon::answerSpan_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("ran");
    QTest::newRow("outside a span: at once, no discards")
        << QStringList{"a1", "d2", "a3"} << QStringList{"a1", "a3"};
    QTest::newRow("commit: announcements in order")
        << QStringList{"b", "a1", "d2", "a3", "C"} << QStringList{"a1", "a3"};
    QTest::newRow("rollback: discards newest first")
        << QStringList{"b", "a1", "d2", "d3", "R"} << QStringList{"d3", "d2"};
    QTest::newRow("nested: only the outermost ends")
        << QStringList{"b", "a1", "b", "a2", "A", "d3", "A"} << QStringList{"a1", "a2"};
    QTest::newRow("nested rollback drops the inner announcements")
        << QStringList{"b", "b", "a1", "d2", "A", "D"} << QStringList{"d2"};
    QTest::newRow("a span after a rollback starts clean")
        << QStringList{"b", "a1", "d2", "R", "b", "a3", "C"} << QStringList{"d2", "a3"};
    QTest::newRow("an end without a begin does nothing") << QStringList{"A", "D", "a1"} << QStringList{"a1"};
}

void tst_ProviderCommon::answerSpan()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, ran);
    CMeskAnswerSpan span;
    QStringList log;
    for (const QString& step : std::as_const(steps)) {
        if (step == "b")
            span.begin();
        else if (step == "A")
            span.accept();
        else if (step == "D")
            span.discard();
        else if (step == "C" || step == "R")
            span.end(step == "C");
        else if (step.startsWith('a'))
            span.announce([&log, step] { log.append(step); });
        else
            span.onDiscard([&log, step] { log.append(step); });
    }
    QCOMPARE(log, ran);
}

void tst_ProviderCommon::refusalIsQueuedOnceAndOnlyTheLatestCounts()
{
    CRefusingCall call;
    QSignalSpy typed(&call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError));
    QSignalSpy plain(&call, qOverload<>(&CMeskHttpMethod::protocolError));
    QTest::ignoreMessage(QtDebugMsg, "CRefusingCall: failed to create http request");
    QTest::ignoreMessage(QtDebugMsg, "CRefusingCall: failed to create http request");
    QVERIFY(!call.request());
    QVERIFY(!call.request());
    // Nothing inside request(): the listeners hear of it once the caller has returned.
    QCOMPARE(typed.count(), 0);
    QVERIFY(plain.wait(30000));
    QCOMPARE(typed.count(), 1);
    QCOMPARE(typed.first().first().value<TMediaError>(), MediaErrorUnassigned);
    // The earlier refusal was overtaken by the later one and is dropped; a sentinel turn shows it.
    bool sentinel = false;
    QMetaObject::invokeMethod(
        &call, [&sentinel] { sentinel = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(sentinel, 30000);
    QCOMPARE(plain.count(), 1);
    QCOMPARE(typed.count(), 1);
}

void tst_ProviderCommon::refusalOfADeletedCallIsDropped()
{
    auto* call = new CRefusingCall;
    QTest::ignoreMessage(QtDebugMsg, "CRefusingCall: failed to create http request");
    QVERIFY(!call->request());
    delete call; // the queued report goes with it (ASan would see a use after free)
    bool sentinel = false;
    QObject context;
    QMetaObject::invokeMethod(
        &context, [&sentinel] { sentinel = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(sentinel, 30000);
}

QTEST_GUILESS_MAIN(tst_ProviderCommon)
#include "tst_providercommon.moc"
