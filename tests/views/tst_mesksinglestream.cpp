// The single stream on the real engine: the day-by-day fill over events and text messages,
// "More", entries kept apart by (provider, id), a provider without a widget, and the header.
#include "imediaitemwidget.h"
#include "feed/meskfeedgroupwidget.h"
#include "feed/mesksinglestreamview.h"
#include "feed/meskstreamview.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"
#include "testengine.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kPhone = QStringLiteral("+4791234567");

int entryCount(const CMeskStreamView* view)
{
    int count = 0;
    if (view->feedsList()) {
        for (const CMeskFeedGroupWidget* group : view->feedsList()->groups())
            count += group->itemCount();
    }
    return count;
}

bool moreOffered(const CMeskStreamView* view)
{
    return view->feedsList() && !view->feedsList()->streamAction()->isHidden();
}

} // namespace

class TestMeskSingleStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }
    void init();
    void cleanup() { m_env.reset(); }
    void fill_data();
    void fill();
    void smsAndEventKeptApart();
    void header();
    void noActiveServices();

private:
    std::unique_ptr<TestEngine> m_env;
};

void TestMeskSingleStream::init()
{
    m_env = std::make_unique<TestEngine>();
    m_env->sms = true;
    m_env->addProvider(1, QStringLiteral("Twitter"));
    m_env->addProvider(2, QStringLiteral("Facebook"), true, {13});
}

void TestMeskSingleStream::fill_data()
{
    // Per row: events by days back, messages by days back, then the counts after the fill and
    // after each press of "More" (-1 ends with "More" gone).
    QTest::addColumn<QList<int>>("eventDays");
    QTest::addColumn<QList<int>>("messageDays");
    QTest::addColumn<QList<int>>("counts");

    QList<int> today25(25, 0);
    QTest::newRow("25 today") << (today25 << 1 << 1) << QList<int>{} << QList<int>{25, 27, -1};
    QList<int> events(4, 0);
    events << QList<int>(30, 2) << 3 << 3 << 6;
    QTest::newRow("three days") << events << QList<int>{1, 1, 1, 3} << QList<int>{37, 40, 41, -1};
    // Future-dated items alone never keep the fill going.
    QTest::newRow("future only") << QList<int>{-2, -3} << QList<int>{-1} << QList<int>{0};
}

void TestMeskSingleStream::fill()
{
    QFETCH(QList<int>, eventDays);
    QFETCH(QList<int>, messageDays);
    QFETCH(QList<int>, counts);
    QList<SMediaItem> items;
    for (int i = 0; i < eventDays.size(); ++i)
        items << TestEngine::event(1 + i % 2, TestEngine::day(eventDays.at(i)).addSecs(-i));
    QList<SSmsMessage> messages;
    for (int days : messageDays)
        messages << TestEngine::message(0, kPhone, QStringLiteral("hi"), TestEngine::day(days));
    QVERIFY(m_env->seedItems(items));
    QVERIFY(m_env->seedMessages(messages));
    QVERIFY(m_env->init());

    CMeskSingleStreamView view(m_env->engine());
    CMeskStreamView* stream = view.streamView();
    for (int i = 0; i < counts.size(); ++i) {
        QCOMPARE(entryCount(stream), counts.at(i));
        const bool more = i + 1 < counts.size() && counts.at(i + 1) >= 0;
        QCOMPARE(moreOffered(stream), more);
        if (!more)
            break;
        QTest::mouseClick(stream->feedsList()->streamAction(), Qt::LeftButton);
    }
}

void TestMeskSingleStream::smsAndEventKeptApart()
{
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    SMediaItem event = TestEngine::event(2, TestEngine::now());
    event.id = 5;
    SSmsMessage message = TestEngine::message(0, kPhone, QStringLiteral("five"), TestEngine::now());
    message.id = 5;
    emit m_env->engine()->serviceEventAdded(event);
    emit m_env->engine()->smsNewMessageReceived(message);
    CMeskFeedsListWidget* list = view.streamView()->feedsList();
    QVERIFY(list->containsItem(2, 5));
    QVERIFY(list->containsItem(MeskProvider::SmsColumn, 5));
    emit m_env->engine()->smsMessageDeleted(message);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->containsItem(2, 5));
    QVERIFY(!list->containsItem(MeskProvider::SmsColumn, 5));

    // A provider without a widget for the item: the debug line and no connect warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect")));
    QTest::ignoreMessage(QtDebugMsg, "CMeskSingleStreamView: failed to create item widget");
    SMediaItem none = TestEngine::event(2, TestEngine::now());
    none.id = 13;
    emit m_env->engine()->serviceEventAdded(none);
    QVERIFY(!list->containsItem(2, 13));
}

void TestMeskSingleStream::header()
{
    m_env->addProvider(3, QStringLiteral("Flickr"), false);
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    CMeskSingleStreamHeader* header = view.header();
    CMeskEngine* engine = m_env->engine();

    emit engine->serviceUpdateStarted(1);
    emit engine->serviceUpdateStarted(2);
    emit engine->serviceUpdateDone(1);
    QVERIFY(header->isBusy());
    QVERIFY(header->refreshButton()->isHidden());
    emit engine->serviceUpdateDone(2);
    QVERIFY(!header->isBusy());
    QVERIFY(header->busyIndicator()->isHidden());
    emit engine->serviceUpdateDone(3);
    QVERIFY(!header->isBusy());
    QVERIFY(!header->refreshButton()->isHidden());

    QCOMPARE(header->logos().keys().size(), 2);
    emit engine->serviceActivated(9);
    emit engine->serviceActivated(2);
    emit engine->serviceActivated(2);
    QCOMPARE(header->findChildren<CMeskThumbnailWidget*>().size(), 2 + 1 + 1); // logos, SMS, refresh

    emit engine->serviceEventAdded(TestEngine::event(2, TestEngine::now()));
    QCOMPARE(entryCount(view.streamView()), 1);
    emit engine->serviceDeactivated(2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!header->logos().contains(2));
    QCOMPARE(entryCount(view.streamView()), 0);
}

void TestMeskSingleStream::noActiveServices()
{
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(2, QStringLiteral("Facebook"), false);
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    QVERIFY(view.streamView()->placeholder());
    QCOMPARE(view.streamView()->placeholder()->text(), QStringLiteral("You have no active services"));
}

QTEST_MAIN(TestMeskSingleStream)
#include "tst_mesksinglestream.moc"
