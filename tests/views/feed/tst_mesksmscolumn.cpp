// The text-message column on the real engine with a fake SMS engine whose signals come from a
// worker thread: SIM reads, repeated SIM messages, messages left being sent, deleting an entry.
#include "feed/mesksmscolumnwidget.h"
#include "feed/mesksmswidget.h"
#include "feed/meskstreamview.h"
#include "meskitemwidgets.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "testengine.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const QString kPhone = QStringLiteral("+4791234567");

void fromWorker(const std::function<void()>& emitter)
{
    std::unique_ptr<QThread> thread(QThread::create(emitter));
    thread->start();
    thread->wait();
}

CMeskSmsWidget* smsWidget(const CMeskStreamView* view, mid_t id)
{
    CMeskFeedWidget* entry =
        view->feedsList() ? view->feedsList()->entry(MeskProvider::SmsColumn, id) : nullptr;
    return entry ? static_cast<CMeskSmsWidget*>(entry->itemWidget()) : nullptr;
}

int entryCount(const CMeskStreamView* view)
{
    int count = 0;
    if (view->feedsList()) {
        for (const CMeskFeedGroupWidget* group : view->feedsList()->groups())
            count += group->itemCount();
    }
    return count;
}

} // namespace

class TestMeskSmsColumn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        // For a look on a real display: TST_LARGE_FONTS=1 and TST_SHOW_MS (see screenshot()).
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void init();
    void cleanup() { m_env.reset(); }
    void simReads();
    void loadsDayByDay();
    void messageLeftBeingSent();
    void deleteFromEntry();
    void screenshot();

private:
    std::unique_ptr<TestEngine> m_env;
};

void TestMeskSmsColumn::init()
{
    m_env = std::make_unique<TestEngine>();
    m_env->sms = true;
}

void TestMeskSmsColumn::simReads()
{
    QVERIFY(m_env->init());
    FakeSmsEngine* sms = m_env->smsEngine();
    SSmsMessage onSim = TestEngine::message(0, kPhone, QStringLiteral("from the SIM"), TestEngine::now());
    onSim.id = 50;
    sms->simMessages = {onSim};
    const qsizetype readsBefore = sms->calls.count(QStringLiteral("read"));

    CMeskSmsColumnWidget column(m_env->engine());
    QCOMPARE(column.serviceId(), MeskProvider::SmsColumn);
    QCOMPARE(sms->calls.count(QStringLiteral("read")), readsBefore + 1);
    QVERIFY(column.streamView()->placeholder());
    QTRY_VERIFY_WITH_TIMEOUT(smsWidget(column.streamView(), 50), 30000);
    CMeskFeedWidget* entry = column.streamView()->feedsList()->entry(MeskProvider::SmsColumn, 50);
    QVERIFY(entry->addedHighlight());
    QVERIFY(entry->addedHighlight()->isRunning());
    entry->addedHighlight()->timer()->stop();

    // Not ready: no read. Ready: the SIM is read again; its message is flashed, not doubled.
    QSignalSpy states(m_env->engine(), &CMeskEngine::smsStateChanged);
    sms->setState(TMeskSmsState(4));
    fromWorker([sms] { emit sms->stateChanged(TMeskSmsState(4)); });
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 30000);
    QCOMPARE(sms->calls.count(QStringLiteral("read")), readsBefore + 1);
    sms->setState(SmsStateReady);
    fromWorker([sms] { emit sms->stateChanged(SmsStateReady); });
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 2, 30000);
    QCOMPARE(sms->calls.count(QStringLiteral("read")), readsBefore + 2);
    QTRY_VERIFY_WITH_TIMEOUT(entry->addedHighlight()->isRunning(), 30000);
    QCOMPARE(entryCount(column.streamView()), 1);

    // Received and sent messages enter flashing.
    SSmsMessage received = TestEngine::message(0, kPhone, QStringLiteral("new"), TestEngine::now());
    received.id = 51;
    SSmsMessage sent = TestEngine::message(1, kPhone, QStringLiteral("out"), TestEngine::now());
    sent.id = 52;
    fromWorker([&] {
        emit sms->newMessageReceived(received);
        emit sms->messageSent(sent);
    });
    QTRY_COMPARE_WITH_TIMEOUT(entryCount(column.streamView()), 3, 30000);
    QVERIFY(column.streamView()->feedsList()->entry(MeskProvider::SmsColumn, 52)->addedHighlight());
}

void TestMeskSmsColumn::loadsDayByDay()
{
    QList<SSmsMessage> stored;
    for (int i = 0; i < 11; ++i)
        stored << TestEngine::message(0, kPhone, QStringLiteral("m%1").arg(i),
                                      TestEngine::day(i < 10 ? 0 : 3));
    stored << TestEngine::message(0, kPhone, QStringLiteral("tomorrow"), TestEngine::day(-1));
    QVERIFY(m_env->seedMessages(stored));
    QVERIFY(m_env->init());
    CMeskSmsColumnWidget column(m_env->engine());
    CMeskStreamView* view = column.streamView();
    QCOMPARE(entryCount(view), 10);
    QVERIFY(!view->feedsList()->streamAction()->isHidden());
    QTest::mouseClick(view->feedsList()->streamAction(), Qt::LeftButton);
    QCOMPARE(entryCount(view), 11);
    QVERIFY(view->feedsList()->streamAction()->isHidden());
    QCOMPARE(column.oldestDate(), QDate(2024, 6, 10));
}

void TestMeskSmsColumn::messageLeftBeingSent()
{
    QList<SSmsMessage> stored{
        TestEngine::message(1, kPhone, QStringLiteral("was sending"), TestEngine::day(2))};
    QVERIFY(m_env->seedMessages(stored));
    QVERIFY(m_env->init());
    CMeskSmsColumnWidget column(m_env->engine());
    CMeskSmsWidget* w = smsWidget(column.streamView(), stored.at(0).id);
    QVERIFY(w);
    QCOMPARE(w->message().type, int(SSmsMessage::SendFailed));
    QVERIFY(!w->resendButton()->isHidden());
    QVERIFY(!w->cancelButton()->isHidden());
    QVERIFY(w->deleteButton()->isHidden());
    QVERIFY(w->statusLabel()->isHidden());
}

void TestMeskSmsColumn::deleteFromEntry()
{
    QList<SSmsMessage> stored{TestEngine::message(0, kPhone, QStringLiteral("today"), TestEngine::day(0)),
                              TestEngine::message(0, kPhone, QStringLiteral("alone"), TestEngine::day(1)),
                              TestEngine::message(2, kPhone, QStringLiteral("older"), TestEngine::day(2))};
    QVERIFY(m_env->seedMessages(stored));
    QVERIFY(m_env->init());
    CMeskSmsColumnWidget column(m_env->engine());
    column.show();
    QVERIFY(QTest::qWaitForWindowExposed(&column));
    CMeskStreamView* view = column.streamView();
    QCOMPARE(view->feedsList()->groupCount(), 3);
    CMeskSmsWidget* alone = smsWidget(view, stored.at(1).id);
    QPointer<CMeskFeedGroupWidget> group = view->feedsList()->groups().at(1);
    QPointer<CMeskSmsWidget> guard(alone);

    QTest::mouseClick(alone->deleteButton(), Qt::LeftButton);
    QCOMPARE(m_env->engine()->smsMessages().size(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QVERIFY(group.isNull());
    QCOMPARE(view->feedsList()->groupCount(), 2);
    QCOMPARE(view->feedsList()->groups().at(0)->date(), QDate(2024, 6, 14));
    QCOMPARE(view->feedsList()->groups().at(1)->date(), QDate(2024, 6, 12));
}

void TestMeskSmsColumn::screenshot()
{
    QList<SSmsMessage> stored{
        TestEngine::message(0, kPhone,
                            QStringLiteral("Are we still on for lunch? The menu is at www.example.org"),
                            TestEngine::now().addSecs(-3600)),
        TestEngine::message(2, kPhone, QStringLiteral("Yes, see you at noon by the river."),
                            TestEngine::now().addSecs(-3000)),
        TestEngine::message(3, QStringLiteral("+4799999999"),
                            QStringLiteral("Running ten minutes late, sorry!"), TestEngine::day(1))};
    QVERIFY(m_env->seedMessages(stored));
    SPhoneContact ann;
    ann.displayName = QStringLiteral("Ann Lee");
    ann.phones.append(SPhoneNumber{kPhone, QString()});
    QPixmap picture(50, 50);
    picture.fill(QColor(214, 120, 90));
    ann.picture = picture;
    m_env->contacts = {ann};
    QVERIFY(m_env->init());

    CMeskSmsColumnWidget column(m_env->engine());
    SSmsMessage sending = TestEngine::message(1, kPhone, QStringLiteral("On my way now."), TestEngine::now());
    sending.id = 100;
    QSignalSpy sent(m_env->engine(), &CMeskEngine::smsMessageSent);
    fromWorker([&, sms = m_env->smsEngine()] { emit sms->messageSent(sending); });
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 30000);
    column.resize(column.width(), 560);
    column.show();
    QVERIFY(QTest::qWaitForWindowExposed(&column));
    QCOMPARE(entryCount(column.streamView()), 4);
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(column.grab().save(dir.filePath(QStringLiteral("sms-column.png"))));
    // Keeps the column on screen that long, for a photograph of the real display.
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));
}

QTEST_MAIN(TestMeskSmsColumn)
#include "tst_mesksmscolumn.moc"
