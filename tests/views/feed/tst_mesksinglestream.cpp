// The single stream on the real engine: the day-by-day fill over events and text messages,
// "More", entries kept apart by (provider, id), a provider without a widget, and the header.
// Runs in a zone with summer time whose days do not start at UTC midnight (Europe/Oslo).
#include "failingstorage.h"
#include "feed/meskcolumnwidget.h"
#include "feed/meskdayfill.h"
#include "feed/meskfeedgroupwidget.h"
#include "feed/mesksinglestreamview.h"
#include "feed/mesksmscolumnwidget.h"
#include "feed/mesksmswidget.h"
#include "feed/meskstreamview.h"
#include "imediaitemstorage.h"
#include "imediaitemwidget.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "style/quorimages.h"
#include "testengine.h"
#include "widgets/quoranimationwidget.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <memory>

#include <sys/mount.h>
#include <time.h>

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

// What the stream shows: a line per day group, "date:" and its entries as "provider/id", with
// "-" after what is hidden and "*" / "u" after an entry flashing as added / updated.
QStringList shownEntries(const CMeskStreamView* view)
{
    if (!view->feedsList())
        return {QStringLiteral("placeholder ") +
                (view->placeholder() ? view->placeholder()->text() : QString())};
    QStringList lines;
    for (const CMeskFeedGroupWidget* group : view->feedsList()->groups()) {
        QString line = group->date().toString(Qt::ISODate) + (group->isHidden() ? "-:" : ":");
        for (const CMeskFeedWidget* entry : group->entries()) {
            line += QStringLiteral(" %1/%2").arg(entry->providerId()).arg(entry->itemId());
            line += QString(entry->isHidden() ? "-" : "") + (entry->addedHighlight() ? "*" : "") +
                    (entry->updatedHighlight() ? "u" : "");
        }
        lines << line;
    }
    lines << (moreOffered(view) ? QStringLiteral("more") : QStringLiteral("no more"));
    return lines;
}

// 36 live items of providers 1 and 2 over the last four days, ids from 1000; items 12 apart share
// their time. Every third is an "apple".
QList<SMediaItem> liveItems()
{
    QList<SMediaItem> items;
    for (int i = 0; i < 36; ++i) {
        SMediaItem item = TestEngine::event(1 + i % 2, TestEngine::day(i % 4).addSecs(-60 * (i % 3)),
                                            QStringLiteral("%1 %2").arg(i % 3 ? "pear" : "apple").arg(i));
        item.id = 1000 + i;
        items << item;
    }
    return items;
}

// What a stream shows, top to bottom: each entry's day, provider and id, and whether "More" is offered.
QStringList shown(const CMeskStreamView* view)
{
    QStringList rows;
    if (view->feedsList()) {
        for (const CMeskFeedGroupWidget* group : view->feedsList()->groups()) {
            for (const CMeskFeedWidget* entry : group->entries())
                rows << QStringLiteral("%1 %2/%3")
                            .arg(group->date().toString(Qt::ISODate))
                            .arg(entry->providerId())
                            .arg(entry->itemId());
        }
    }
    rows << (moreOffered(view) ? QStringLiteral("more") : QStringLiteral("end"));
    return rows;
}

// The fill as the streams did it by reading every stored event and message at once: the local
// day of each, then whole days from the boundary backwards, a day's events before its messages,
// each list in the order storage hands it out.
class WholeReadStream
{
public:
    WholeReadStream(CMeskEngine* engine, mid_t provider, bool events, bool messages)
        : m_engine(engine), m_provider(provider), m_events(events), m_messages(messages)
    {
        m_boundary = TestEngine::now().date();
    }

    void fill(int threshold)
    {
        // As a press of "More" does.
        if (m_view.feedsList())
            m_view.feedsList()->hideStreamAction();
        const QList<SMediaItem> events =
            m_events ? m_engine->providerMediaEvents(m_provider) : QList<SMediaItem>();
        const QList<SSmsMessage> messages = m_messages ? m_engine->smsMessages() : QList<SSmsMessage>();
        std::map<QDate, QList<qsizetype>, std::greater<QDate>> days;
        const auto note = [&](const QDateTime& created, qsizetype index) {
            const QDate day = created.isValid() ? created.toLocalTime().date() : QDate();
            if (day.isValid() && day <= m_boundary)
                days[day].append(index);
        };
        for (qsizetype i = 0; i < events.size(); ++i)
            note(events.at(i).created, i);
        for (qsizetype i = 0; i < messages.size(); ++i)
            note(messages.at(i).created, events.size() + i);
        int count = 0;
        auto it = days.cbegin();
        for (; it != days.cend() && count < threshold; ++it) {
            for (qsizetype index : it->second) {
                if (index < events.size())
                    m_view.addItemWidget(m_engine->createItemWidget(events.at(index)), false);
                else
                    m_view.addItemWidget(new CMeskSmsWidget(messages.at(index - events.size()), m_engine),
                                         false);
            }
            count += int(it->second.size());
            m_boundary = it->first.addDays(-1);
        }
        if (it != days.cend())
            m_view.showMoreAction();
    }

    const CMeskStreamView* view() const { return &m_view; }

private:
    CMeskEngine* m_engine;
    mid_t m_provider;
    bool m_events;
    bool m_messages;
    QDate m_boundary;
    CMeskStreamView m_view;
};

QDateTime at(int daysBack, const QTime& time)
{
    return QDateTime(TestEngine::now().date().addDays(-daysBack), time);
}

// Set for the run of this test inside a private mount namespace (zoneChangeInMountNamespace) to the
// folder of zone file copies: the zone then changes as on a desktop, by another zone file over
// /etc/localtime, with TZ unset.
constexpr char kZoneMountEnv[] = "LUMESK_TEST_ZONE_MOUNT";

const QByteArray kNewYork = "America/New_York";
const QByteArray kTokyo = "Asia/Tokyo";
const QByteArray kSaoPaulo = "America/Sao_Paulo";
const QByteArray kKiritimati = "Pacific/Kiritimati";
const QByteArray kUtc = "UTC";

// The copy of the zone's file in the folder.
QString zoneCopy(const QString& folder, const QByteArray& zone)
{
    return folder + QLatin1Char('/') + QString::fromLatin1(zone).replace('/', '_');
}

bool switchZone(const QByteArray& zone)
{
    if (!qEnvironmentVariableIsSet(kZoneMountEnv)) {
        // No tzset(): noticing the change is the program's part.
        qputenv("TZ", zone);
        return true;
    }
    const QString copy = zoneCopy(qEnvironmentVariable(kZoneMountEnv), zone);
    return QFile::exists(copy) &&
           ::mount(QFile::encodeName(copy).constData(), "/etc/localtime", nullptr, MS_BIND, nullptr) == 0;
}

// Per day group, top to bottom: "date: content h:mm ..." with each entry's local time.
QStringList shownTimes(const CMeskStreamView* view)
{
    QStringList lines;
    if (!view->feedsList())
        return lines;
    for (const CMeskFeedGroupWidget* group : view->feedsList()->groups()) {
        QString line = group->date().toString(Qt::ISODate) + QLatin1Char(':');
        for (const CMeskFeedWidget* entry : group->entries())
            line += QLatin1Char(' ') + entry->itemWidget()->mediaItem().content + QLatin1Char(' ') +
                    entry->created().toLocalTime().toString(QStringLiteral("h:mm"));
        lines << line;
    }
    return lines;
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
    void failedReadKeepsWhatShows_data();
    void failedReadKeepsWhatShows();
    void firstFillBuildsWhatFits();
    void moreMatchesWholeRead_data();
    void moreMatchesWholeRead();
    void dayBoundsAcrossClockChanges_data();
    void dayBoundsAcrossClockChanges();
    void smsAndEventKeptApart();
    void header();
    void noActiveServices();
    void liveItemsInSlices_data();
    void liveItemsInSlices();
    void liveItemsNewestFirst();
    void zoneChange_data();
    void zoneChange();
    void zoneChangeInMountNamespace();

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
    // The first fill's entries are built over the first turns.
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    for (int i = 0; i < counts.size(); ++i) {
        QCOMPARE(entryCount(stream), counts.at(i));
        const bool more = i + 1 < counts.size() && counts.at(i + 1) >= 0;
        QCOMPARE(moreOffered(stream), more);
        if (!more)
            break;
        QTest::mouseClick(stream->feedsList()->streamAction(), Qt::LeftButton);
    }
}

void TestMeskSingleStream::failedReadKeepsWhatShows_data()
{
    QTest::addColumn<bool>("reload"); // a reload, or else a press of "More"
    QTest::newRow("reload") << true;
    QTest::newRow("more") << false;
}

// A read that fails leaves the stream as it is, "More" offered again.
void TestMeskSingleStream::failedReadKeepsWhatShows()
{
    QFETCH(bool, reload);
    QList<SMediaItem> items;
    for (int i = 0; i < 22; ++i)
        items << TestEngine::event(1 + i % 2, TestEngine::day(i < 20 ? 0 : 1).addSecs(-i));
    QVERIFY(m_env->seedItems(items));
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    CMeskStreamView* stream = view.streamView();
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(stream), 20);
    QVERIFY(moreOffered(stream));
    {
        FailingReads reads(QStringLiteral("FROM MEDIAITEMS"));
        if (reload)
            view.reload();
        else
            QTest::mouseClick(stream->feedsList()->streamAction(), Qt::LeftButton);
        QVERIFY(reads.failed() > 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(stream), 20);
    QVERIFY(moreOffered(stream));
    // Read once it can be.
    QTest::mouseClick(stream->feedsList()->streamAction(), Qt::LeftButton);
    QCOMPARE(entryCount(stream), 22);
}

void TestMeskSingleStream::firstFillBuildsWhatFits()
{
    // 25 posts today and 2 yesterday, every third an "apple": the view shows with room for a few.
    QList<SMediaItem> items;
    for (int i = 0; i < 27; ++i) {
        items << TestEngine::event(1 + i % 2, TestEngine::day(i < 25 ? 0 : 1).addSecs(-60 * i),
                                   QStringLiteral("%1 %2").arg(i % 3 ? "pear" : "apple").arg(i));
    }
    QVERIFY(m_env->seedItems(items));
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    CMeskStreamView* stream = view.streamView();
    view.resize(view.sizeHint().width(), 300);
    view.show();
    // Shown: the newest entries that fill the view stand, the rest wait, and "More" waits for them.
    const int built = entryCount(stream);
    QVERIFY2(built > 0 && built < 25, qPrintable(QStringLiteral("%1 h %2 list %3")
                                                     .arg(built)
                                                     .arg(stream->height())
                                                     .arg(stream->feedsList()->sizeHint().height())));
    QVERIFY(stream->feedsList()->sizeHint().height() >= stream->height());
    QCOMPARE(stream->pendingCount(), 25 - built);
    const QList<CMeskFeedWidget*> first = stream->feedsList()->groups().constFirst()->entries();
    for (int i = 0; i < built; ++i)
        QCOMPARE(first.at(i)->itemId(), items.at(i).id);
    QVERIFY(!moreOffered(stream));
    // A filter typed meanwhile applies to the entries built later.
    view.setFilter(QStringLiteral("apple"));
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(stream), 25);
    QStringList visible;
    for (const CMeskFeedWidget* entry : stream->feedsList()->groups().constFirst()->entries()) {
        if (!entry->isHidden())
            visible << QString::number(entry->itemId());
    }
    QStringList apples;
    for (int i = 0; i < 25; i += 3)
        apples << QString::number(items.at(i).id);
    QCOMPARE(visible, apples);
    QVERIFY(moreOffered(stream));
}

void TestMeskSingleStream::moreMatchesWholeRead_data()
{
    // Per row: stored events (provider 1 or 2, type, time) and messages (time). The single stream
    // and the two columns must show what the whole read showed, after the fill and each "More".
    QTest::addColumn<QList<SMediaItem>>("events");
    QTest::addColumn<QList<QDateTime>>("messageTimes");

    const auto event = [](mid_t provider, int type, const QDateTime& created) {
        SMediaItem item = TestEngine::event(provider, created);
        item.type = type;
        return item;
    };
    QList<SMediaItem> mixed;
    QList<QDateTime> mixedMessages;
    for (int day = 0; day < 9; ++day) {
        for (int i = 0; i < 2 + day % 4; ++i)
            mixed << event(1 + (day + i) % 2, i % 3 ? 1 : 10, at(day, QTime(9 + i, 30)));
        if (day % 3 != 1)
            mixedMessages << at(day, QTime(10, 30)) << at(day, QTime(8, 0));
    }
    // Equal times: types stored out of order, events and messages of the same second.
    const QDateTime tie = at(3, QTime(10, 30));
    mixed << event(2, 10, tie) << event(2, 1, tie) << event(1, 4, tie) << event(2, 1, tie);
    mixedMessages << tie << tie;
    QTest::newRow("mixed days, equal times") << mixed << mixedMessages;

    // Around local midnight: the last and first second of local days (22:00 and 23:00 UTC in
    // summer, 23:00 in winter), and the summer time changes of 2024 in that zone.
    QList<SMediaItem> midnight;
    QList<QDateTime> midnightMessages;
    for (int day = 0; day < 30; day += 3) {
        midnight << event(1, 1, at(day, QTime(0, 0))) << event(2, 1, at(day + 1, QTime(23, 59, 59)));
        midnightMessages << at(day, QTime(0, 0, 1)) << at(day + 2, QTime(23, 59, 58));
    }
    for (const QDate& change : {QDate(2024, 3, 31), QDate(2023, 10, 29)}) {
        for (const QTime& time : {QTime(0, 0), QTime(1, 59, 59), QTime(3, 0), QTime(23, 59, 59)})
            midnight << event(2, 1, QDateTime(change, time));
        midnightMessages << QDateTime(change, QTime(2, 30))
                         << QDateTime(change.addDays(-1), QTime(23, 59, 59));
    }
    midnight << event(1, 1, QDateTime(QDate(2024, 6, 8), QTime(22, 0), Qt::UTC))
             << event(2, 1, QDateTime(QDate(2024, 6, 8), QTime(21, 59, 59), Qt::UTC));
    QTest::newRow("local midnight, summer time") << midnight << midnightMessages;

    // Far apart, with items that never show: future, undated, before 1970 and after 2106.
    QList<SMediaItem> sparse{event(1, 1, at(0, QTime(11, 0))),
                             event(2, 2, at(400, QTime(12, 0))),
                             event(2, 3, at(2000, QTime(6, 0))),
                             event(1, 1, at(-1, QTime(12, 0))),
                             event(2, 1, QDateTime()),
                             event(1, 1, QDateTime(QDate(1960, 1, 1), QTime(12, 0))),
                             event(1, 1, QDateTime(QDate(2107, 1, 1), QTime(12, 0)))};
    QTest::newRow("far back, never shown")
        << sparse << QList<QDateTime>{at(900, QTime(1, 0)), QDateTime(), at(-3, QTime(0, 0))};
    QTest::newRow("messages only") << QList<SMediaItem>{}
                                   << QList<QDateTime>{at(5, QTime(1, 0)), at(40, QTime(2, 0))};
    QTest::newRow("nothing") << QList<SMediaItem>{} << QList<QDateTime>{};
}

void TestMeskSingleStream::moreMatchesWholeRead()
{
    QFETCH(QList<SMediaItem>, events);
    QFETCH(QList<QDateTime>, messageTimes);
    QList<SSmsMessage> messages;
    for (const QDateTime& time : messageTimes)
        messages << TestEngine::message(0, kPhone, QStringLiteral("hi"), time);
    QVERIFY(m_env->seedItems(events));
    QVERIFY(m_env->seedMessages(messages));
    QVERIFY(m_env->init());
    CMeskEngine* engine = m_env->engine();

    CMeskSingleStreamView single(engine);
    CMeskColumnWidget column(engine, engine->provider(2));
    CMeskSmsColumnWidget smsColumn(engine);
    struct SCase
    {
        const char* name;
        CMeskStreamView* view;
        int threshold;
        std::unique_ptr<WholeReadStream> reference;
    };
    SCase cases[] = {
        {"single stream", single.streamView(), 20, std::make_unique<WholeReadStream>(engine, 0, true, true)},
        {"provider column", column.streamView(), 10,
         std::make_unique<WholeReadStream>(engine, 2, true, false)},
        {"messages column", smsColumn.streamView(), 10,
         std::make_unique<WholeReadStream>(engine, 0, false, true)}};
    for (SCase& c : cases) {
        QTRY_COMPARE_WITH_TIMEOUT(c.view->pendingCount(), 0, 30000);
        c.reference->fill(c.threshold);
        for (int press = 0;; ++press) {
            const QStringList expected = shown(c.reference->view());
            QCOMPARE(shown(c.view), expected);
            if (!moreOffered(c.view))
                break;
            QVERIFY2(press < 40, c.name);
            QTest::mouseClick(c.view->feedsList()->streamAction(), Qt::LeftButton);
            c.reference->fill(1);
        }
    }
}

void TestMeskSingleStream::dayBoundsAcrossClockChanges_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("day");
    QTest::newRow("summer time ends at 03:00") << QByteArray("Europe/Oslo") << QDate(2024, 10, 27);
    QTest::newRow("summer time starts at 02:00") << QByteArray("Europe/Oslo") << QDate(2024, 3, 31);
    // 01:00 back to 00:00: midnight comes twice.
    QTest::newRow("midnight twice") << QByteArray("America/Havana") << QDate(2024, 11, 3);
    QTest::newRow("no midnight") << QByteArray("America/Havana") << QDate(2024, 3, 10);
    // 00:00 back to 23:00 of the day before.
    QTest::newRow("back across midnight") << QByteArray("America/Santiago") << QDate(2024, 4, 6);
    QTest::newRow("forward at midnight") << QByteArray("America/Santiago") << QDate(2024, 9, 8);
}

void TestMeskSingleStream::dayBoundsAcrossClockChanges()
{
    // A day's storage reads take exactly the times whose local date is that day, or an item is
    // read with the wrong day and the fill stops at it.
    QFETCH(QByteArray, zone);
    QFETCH(QDate, day);
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    const auto restore = qScopeGuard([&previous] {
        qputenv("TZ", previous);
        tzset();
    });
    // The C library starts each conversion from the offset it used last: convert a time later
    // that day first, as a fill that has just read the day's items does.
    QVERIFY(QDateTime(day, QTime(12, 0)).isValid());
    const qint64 start = meskDayStart(day).toSecsSinceEpoch();
    const qint64 end = meskDayEnd(day).toSecsSinceEpoch();
    QCOMPARE(meskDayStart(day.addDays(1)).toSecsSinceEpoch(), end + 1);
    for (qint64 second = start - 4 * 3600; second <= end + 4 * 3600; second += 60) {
        const bool inside = second >= start && second <= end;
        QVERIFY2(meskLocalDay(QDateTime::fromSecsSinceEpoch(second)) == day ? inside : !inside,
                 qPrintable(QDateTime::fromSecsSinceEpoch(second).toString(Qt::ISODate)));
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
    // The second item waits for a later turn when building the first took the turn's time.
    QTRY_COMPARE_WITH_TIMEOUT(view.streamView()->pendingCount(), 0, 30000);
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
    // Tried (and left out) only once the queue has run.
    QTRY_COMPARE_WITH_TIMEOUT(view.streamView()->pendingCount(), 0, 30000);
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
    QTRY_COMPARE_WITH_TIMEOUT(view.streamView()->pendingCount(), 0, 30000);
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

    // The refresh button shows, with the program's own refresh image, once a service is active.
    CMeskThumbnailWidget* refresh = view.header()->refreshButton();
    QVERIFY(refresh->isHidden());
    emit m_env->engine()->serviceActivated(2);
    QVERIFY(!refresh->isHidden());
    QVERIFY(refresh->hasPixmap());
    const QPixmap own = QuorImages::pixmap(QStringLiteral(":/meskstyle/images/refresh.png"));
    QVERIFY(!own.isNull());
    QCOMPARE(refresh->pixmap().toImage(), own.toImage());
}

void TestMeskSingleStream::liveItemsInSlices_data()
{
    // What happens to both views while the live view still has items waiting for widgets.
    QTest::addColumn<QString>("action");
    QTest::newRow("nothing") << QString();
    QTest::newRow("filter") << QStringLiteral("filter");
    QTest::newRow("filter cleared") << QStringLiteral("filter cleared");
    QTest::newRow("removal") << QStringLiteral("removal");
    QTest::newRow("deactivation") << QStringLiteral("deactivation");
    QTest::newRow("update") << QStringLiteral("update");
    QTest::newRow("reload") << QStringLiteral("reload");
    QTest::newRow("more") << QStringLiteral("more");
    QTest::newRow("view gone") << QStringLiteral("view gone");
}

// Live items that arrive in slices and get their widgets over several turns of the event loop end
// up exactly as in a view that builds each at once, whatever happens while some still wait.
void TestMeskSingleStream::liveItemsInSlices()
{
    QFETCH(QString, action);
    QList<SMediaItem> stored;
    // 8 a day over four days: the fill stops after three, "More" adds the fourth.
    for (int i = 0; i < 30; ++i)
        stored << TestEngine::event(1 + i % 2, TestEngine::day(i / 8).addSecs(-3600 - 600 * (i % 8)));
    QVERIFY(m_env->seedItems(stored));
    QVERIFY(m_env->init());
    CMeskEngine* engine = m_env->engine();

    CMeskSingleStreamView direct(engine);
    direct.streamView()->setBuildBudgetMs(std::numeric_limits<qint64>::max());
    auto sliced = std::make_unique<CMeskSingleStreamView>(engine);
    CMeskStreamView* stream = sliced->streamView();
    stream->setBuildBudgetMs(0);
    // The stored entries of the first fill are built over the first turns.
    QTRY_COMPARE_WITH_TIMEOUT(direct.streamView()->pendingCount(), 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(stream), 24);
    QCOMPARE(shownEntries(stream), shownEntries(direct.streamView()));

    const QList<SMediaItem> items = liveItems();
    for (int slice = 0; slice < 4; ++slice) {
        for (int i = slice * 9; i < slice * 9 + 9; ++i)
            emit engine->serviceEventAdded(items.at(i));
        QVERIFY(!stream || stream->pendingCount() > 0);
        if (slice == 1) {
            const auto both = [&](auto apply) {
                apply(&direct);
                if (sliced)
                    apply(sliced.get());
            };
            if (action == QLatin1String("filter") || action == QLatin1String("filter cleared"))
                both([](CMeskSingleStreamView* v) { v->setFilter(QStringLiteral("apple")); });
            if (action == QLatin1String("filter cleared"))
                both([](CMeskSingleStreamView* v) { v->clearFilter(); });
            if (action == QLatin1String("removal")) {
                // One of each provider: 1000 stands in both, 1017 waits in the sliced view.
                both([](CMeskSingleStreamView* v) { v->streamView()->removeItem(1, 1000); });
                both([](CMeskSingleStreamView* v) { v->streamView()->removeItem(2, 1017); });
            }
            if (action == QLatin1String("deactivation"))
                emit engine->serviceDeactivated(1);
            if (action == QLatin1String("update"))
                emit engine->serviceEventUpdated(items.at(16));
            if (action == QLatin1String("reload"))
                both([](CMeskSingleStreamView* v) { v->reload(); });
            if (action == QLatin1String("more")) {
                both([](CMeskSingleStreamView* v) {
                    QTest::mouseClick(v->streamView()->feedsList()->streamAction(), Qt::LeftButton);
                });
            }
            if (action == QLatin1String("view gone")) {
                sliced.reset();
                stream = nullptr;
            }
        }
        if (stream)
            QTRY_VERIFY_WITH_TIMEOUT(stream->pendingCount() < 5, 30000);
    }
    if (!stream) {
        // Whatever the deleted view had posted has run (or been dropped) before this.
        bool reached = false;
        QMetaObject::invokeMethod(
            this, [&reached] { reached = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(reached, 30000);
        QVERIFY(entryCount(direct.streamView()) > 36);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QVERIFY(entryCount(stream) > 0);
    QCOMPARE(shownEntries(stream), shownEntries(direct.streamView()));
}

// Waiting items get their widgets newest first, those of the same time in their arrival order.
void TestMeskSingleStream::liveItemsNewestFirst()
{
    QVERIFY(m_env->init());
    CMeskSingleStreamView view(m_env->engine());
    view.streamView()->setBuildBudgetMs(0);
    const QList<SMediaItem> items = liveItems();
    for (int i = 0; i < 24; ++i)
        emit m_env->engine()->serviceEventAdded(items.at(i));
    QTRY_COMPARE_WITH_TIMEOUT(view.streamView()->pendingCount(), 0, 30000);
    QList<SMediaItem> expected = items.mid(0, 24);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const SMediaItem& a, const SMediaItem& b) { return a.created > b.created; });
    // Each provider makes its own widgets: compare the order per provider.
    for (mid_t provider : {1, 2}) {
        QList<mid_t> want;
        for (const SMediaItem& item : std::as_const(expected)) {
            if (item.provider == provider)
                want << item.id;
        }
        QList<mid_t> got;
        for (const SMediaItem& item : std::as_const(m_env->provider(provider)->widgetItems))
            got << item.id;
        QCOMPARE(got, want);
    }
}

void TestMeskSingleStream::zoneChange_data()
{
    // Events a to d stand at 2024-06-14 03:30, 06-13 14:00, 06-12 20:15 and 06-12 09:00 UTC. The
    // zone changes after the fill: the stream then shows each on its day in the new zone, at its
    // time there.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("byTimer"); // the date timer notices, or a reload
    QTest::addColumn<QStringList>("shown");
    const QDateTime noon(QDate(2024, 6, 14), QTime(12, 0), Qt::UTC);
    // 13 hours east: c moves to the next day.
    QTest::newRow("New York to Tokyo, reload")
        << kNewYork << kTokyo << noon << false
        << QStringList{"2024-06-14: a 12:30", "2024-06-13: b 23:00 c 5:15", "2024-06-12: d 18:00"};
    // 12 hours west: a moves back to its UTC day, c to the day before.
    QTest::newRow("Tokyo to Sao Paulo, date timer")
        << kTokyo << kSaoPaulo << noon << true
        << QStringList{"2024-06-14: a 0:30", "2024-06-13: b 11:00", "2024-06-12: c 17:15 d 6:00"};
    // 14 hours west at 01:00 of 06-15: today becomes 06-14 again.
    QTest::newRow("Kiritimati to UTC, across the day's end")
        << kKiritimati << kUtc << noon.addSecs(-3600) << false
        << QStringList{"2024-06-14: a 3:30", "2024-06-13: b 14:00", "2024-06-12: c 20:15 d 9:00"};
}

void TestMeskSingleStream::zoneChange()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QDateTime, now);
    QFETCH(bool, byTimer);
    QFETCH(QStringList, shown);
    const bool mounted = qEnvironmentVariableIsSet(kZoneMountEnv);
    if (mounted)
        QVERIFY(!qEnvironmentVariableIsSet("TZ"));
    const QByteArray previous = qgetenv("TZ");
    const auto restore = qScopeGuard([&previous, mounted] {
        if (!mounted)
            qputenv("TZ", previous);
        tzset();
    });
    QVERIFY(switchZone(from));
    tzset();

    const QDateTime utc(QDate(2024, 6, 14), QTime(3, 30), Qt::UTC);
    QList<SMediaItem> items{TestEngine::event(1, utc, "a"), TestEngine::event(1, utc.addSecs(-48600), "b"),
                            TestEngine::event(1, utc.addSecs(-112500), "c"),
                            TestEngine::event(1, utc.addSecs(-153000), "d")};
    m_env->clock().set(now);
    QVERIFY(m_env->seedItems(items));
    QVERIFY(m_env->init());
    IMediaItemStorage* storage = m_env->provider(1)->storage;
    QVERIFY(storage);
    // c's files go into the day folder of its day in the first zone.
    const QStringList files{storage->itemFilePath(items[2], QStringLiteral("jpg")),
                            storage->mediaFilePath(items[2], QStringLiteral("png"))};
    for (const QString& path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    CMeskSingleStreamView view(m_env->engine());
    CMeskStreamView* stream = view.streamView();
    QTRY_COMPARE_WITH_TIMEOUT(stream->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(stream), 4);
    SMediaItem read;
    QVERIFY(storage->mediaItem(items[0].id, read));
    const qint64 added = read.added.toSecsSinceEpoch();

    QVERIFY(switchZone(to));
    // Written back after the change, the dates read before it keep their moments.
    read.extra1 = QStringLiteral("edited");
    QVERIFY(storage->updateMediaItem(read));
    SMediaItem written;
    QVERIFY(storage->mediaItem(items[0].id, written));
    QCOMPARE(written.extra1, read.extra1);
    QCOMPARE(written.created.toSecsSinceEpoch(), utc.toSecsSinceEpoch());
    QCOMPARE(written.added.toSecsSinceEpoch(), added);
    // Read after the change, dates are clock times of the new zone.
    QCOMPARE(written.created.offsetFromUtc(), written.created.toLocalTime().offsetFromUtc());
    QVERIFY(written.created.offsetFromUtc() != read.created.offsetFromUtc());

    if (byTimer)
        QVERIFY(QMetaObject::invokeMethod(stream, "_onDateUpdateTimer"));
    else
        view.reload();
    QTRY_COMPARE_WITH_TIMEOUT(shownTimes(stream), shown, 30000);
    QVERIFY(!moreOffered(stream));

    // c is no longer listed: its files go, though they were filed under another zone's day. The
    // others' listing for two hours holds an hour later, whatever the zones' difference.
    QVERIFY(storage->setSyncRecords(1, {items[0].id, items[1].id, items[3].id}, 2));
    m_env->clock().set(now.addSecs(3600));
    QVERIFY(storage->cleanup(true));
    SMediaItem gone;
    QVERIFY(!storage->mediaItem(items[2].id, gone));
    for (const int kept : {0, 1, 3})
        QVERIFY(storage->mediaItem(items[kept].id, gone));
    for (const QString& path : files)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
}

void TestMeskSingleStream::zoneChangeInMountNamespace()
{
    // zoneChange once more, in a private user and mount namespace where the zone file itself
    // changes under a program with TZ unset, as on a desktop.
    if (qEnvironmentVariableIsSet(kZoneMountEnv))
        QSKIP("this is the run inside the namespace");
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        QSKIP("no unshare program on this machine");
    const QStringList namespaceArgs{QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                    QStringLiteral("--mount")};
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(unshare, namespaceArgs + QStringList{QStringLiteral("mount"), QStringLiteral("--bind"),
                                                     QStringLiteral("/usr/share/zoneinfo/UTC"),
                                                     QStringLiteral("/etc/localtime")});
    QVERIFY(probe.waitForFinished(60000));
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        QSKIP(qPrintable(QStringLiteral("the machine forbids a private mount namespace: ") +
                         QString::fromLocal8Bit(probe.readAll()).trimmed()));
    // The zones are copied before the first mount: a mount over /etc/localtime covers the file it
    // links to, and with it every zone name that links there too (UTC on many systems). This process
    // keeps the copies and removes them however the run ends: inside the namespace each mounted copy
    // is where the next mount lands, and cannot be removed while the namespace lives.
    QTemporaryDir zones;
    QVERIFY(zones.isValid());
    for (const QByteArray& name : {kNewYork, kTokyo, kSaoPaulo, kKiritimati, kUtc}) {
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/") + QString::fromLatin1(name),
                            zoneCopy(zones.path(), name)));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TZ"));
    env.insert(QString::fromLatin1(kZoneMountEnv), zones.path());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(unshare, namespaceArgs + QStringList{QCoreApplication::applicationFilePath(),
                                                     QStringLiteral("zoneChange")});
    QVERIFY(child.waitForFinished(600000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
    QVERIFY2(output.count("PASS   : TestMeskSingleStream::zoneChange(") == 3, output.constData());
}

int main(int argc, char* argv[])
{
    // Local days that start at 22:00 or 23:00 UTC, with summer time changes; inside the mount
    // namespace the zone file alone names the zone.
    if (!qEnvironmentVariableIsSet(kZoneMountEnv))
        qputenv("TZ", "Europe/Oslo");
    tzset();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMeskSingleStream test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mesksinglestream.moc"
