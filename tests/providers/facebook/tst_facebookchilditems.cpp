// Comments and calendar events of Facebook posts: what is stored, in which order,
// and what comes back.
#include "facebookapi.h"
#include "facebookitems.h"
#include "mediadatabase.h"
#include "tempstorage.h"
#include "testclock.h"

#include <QTest>

#include <memory>

namespace {

QString describe(const QList<SFacebookProperty>& properties)
{
    QStringList out;
    for (const SFacebookProperty& p : properties)
        out.append(p.name + QStringLiteral(": ") + p.text);
    return out.join(QStringLiteral(" | "));
}

} // namespace

class TestFacebookChildItems : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMediaDataBase> m_db;
    std::unique_ptr<TestClock> m_clock;
    CFacebookApi m_api;

    SFacebookStreamPost eventPost(const QList<SFacebookProperty>& properties) const
    {
        SFacebookStreamPost post;
        post.postId = QStringLiteral("200_1");
        post.createdTime = QStringLiteral("1262304000");
        post.hasAttachment = true;
        post.attachment.fbObjectType = QStringLiteral("event");
        post.attachment.fbObjectId = QStringLiteral("777");
        post.attachment.href = QStringLiteral("http://h.example/event.php?eid=777");
        post.attachment.name = QStringLiteral("Party");
        post.attachment.description = QStringLiteral("Bring food");
        post.attachment.properties = properties;
        return post;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        m_root = std::make_unique<TempStorageRoot>();
        QVERIFY(m_root->isValid());
        m_db = std::make_unique<CMediaDataBase>(m_root->subPath(QStringLiteral("mstorage")));
        QVERIFY(m_db->open());
        m_clock = std::make_unique<TestClock>(QDateTime::fromSecsSinceEpoch(1300000000, Qt::UTC));
    }
    void cleanupTestCase()
    {
        m_db.reset();
        m_root.reset();
    }

    // A fetched comment is dated by its "time", read as 64-bit seconds; one the user has
    // just posted is dated now. Both attach to their event.
    void commentDates_data()
    {
        QTest::addColumn<bool>("posted");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QDateTime>("created");
        QTest::newRow("2010") << false << "1262304100"
                              << QDateTime(QDate(2010, 1, 1), QTime(0, 1, 40), Qt::UTC);
        QTest::newRow("after 2038") << false << "4102444800"
                                    << QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("not a number") << false << "soon" << QDateTime();
        QTest::newRow("posted now") << true << QString()
                                    << QDateTime::fromSecsSinceEpoch(1300000000, Qt::UTC);
    }
    void commentDates()
    {
        QFETCH(bool, posted);
        QFETCH(QString, time);
        QFETCH(QDateTime, created);
        const mid_t id =
            posted ? CFacebookComment::createPosted(&m_api, m_db.get(), QStringLiteral("c9"),
                                                    QStringLiteral("Hi"), 2, 11)
                   : CFacebookComment::create(
                         &m_api, m_db.get(),
                         {QStringLiteral("c9"), QStringLiteral("200"), time, QStringLiteral("Hi")}, 2, 11);
        QVERIFY(id != 0);
        std::unique_ptr<CFacebookComment> comment(CFacebookComment::load(&m_api, m_db.get(), id));
        QVERIFY(comment);
        QCOMPARE(comment->created(), created);
        QCOMPARE(comment->created().isNull(), created.isNull());
        QCOMPARE(comment->text(), QStringLiteral("Hi"));
        QCOMPARE(comment->userId(), mid_t(11));
        QCOMPARE(comment->mediaItem().mediaId, QStringLiteral("c9"));
        QCOMPARE(comment->mediaItem().type, FacebookItemType::Comment);
        QCOMPARE(comment->mediaItem().parent, mid_t(0));

        QVERIFY(comment->setParent(900 + id));
        const QList<SMediaItem> children = m_db->childItems(900 + id);
        QCOMPARE(children.size(), 1);
        QCOMPARE(children.first().id, id);
        QCOMPARE(m_db->itemByMediaId(2, QStringLiteral("c9")).constLast().id, id);
        // The feed's grouped queries never list child items.
        for (const SMediaItem& item : m_db->eventItems(2) + m_db->mediaObjects(2) + m_db->linkItems(2))
            QVERIFY(item.id != id);
    }

    // Properties keep the attachment's order, a repeated name keeps its first place and
    // takes the later text, and the attachment's name and description win over
    // properties of the same names. Nine properties, so a hash order cannot pass by luck.
    void calendarEventOrder()
    {
        QList<SFacebookProperty> properties{{QStringLiteral("When"), QStringLiteral("Sat")}};
        for (int i = 1; i <= 8; ++i)
            properties.append({QStringLiteral("P%1").arg(i), QString::number(i)});
        properties.append({QStringLiteral("eventName"), QStringLiteral("X")});
        properties.append({QStringLiteral("When"), QStringLiteral("Sun")});

        const mid_t id = CFacebookCalendarEvent::create(&m_api, m_db.get(), eventPost(properties), 2, 12);
        QVERIFY(id != 0);
        QHash<QString, QString> fields;
        m_db->mediaItemFields(id, fields);
        QCOMPARE(fields.value(QStringLiteral("When")), QStringLiteral("Sun"));
        QCOMPARE(fields.value(QStringLiteral("eventName")), QStringLiteral("Party"));
        QCOMPARE(fields.value(QStringLiteral("eventDescr")), QStringLiteral("Bring food"));

        std::unique_ptr<CFacebookCalendarEvent> event(CFacebookCalendarEvent::load(&m_api, m_db.get(), id));
        QVERIFY(event);
        QCOMPARE(event->name(), QStringLiteral("Party"));
        QCOMPARE(event->description(), QStringLiteral("Bring food"));
        QCOMPARE(event->url(), QStringLiteral("http://h.example/event.php?eid=777"));
        QCOMPARE(event->mediaItem().mediaId, QStringLiteral("777"));
        QCOMPARE(event->mediaItem().type, FacebookItemType::CalendarEvent);
        QCOMPARE(event->mediaItem().created, QDateTime(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(describe(event->properties()),
                 QStringLiteral("When: Sun | P1: 1 | P2: 2 | P3: 3 | P4: 4 | P5: 5 | P6: 6 | P7: 7 | P8: 8"));
        QVERIFY(event->setParent(5000));
        QCOMPARE(m_db->childItems(5000).size(), 1);
    }

    // Names and texts the service controls reach the storage as bound values.
    void calendarEventQuotes()
    {
        const QString name = QStringLiteral("It's \"late\" [50%]_#^");
        const QString text = QStringLiteral("a'b_%");
        const mid_t id = CFacebookCalendarEvent::create(&m_api, m_db.get(), eventPost({{name, text}}), 2, 12);
        QVERIFY(id != 0);
        std::unique_ptr<CFacebookCalendarEvent> event(CFacebookCalendarEvent::load(&m_api, m_db.get(), id));
        QVERIFY(event);
        QCOMPARE(event->properties().size(), 1);
        QCOMPARE(event->properties().first().name, name);
        QCOMPARE(event->properties().first().text, text);
    }

    void calendarEventWithoutProperties()
    {
        const mid_t id = CFacebookCalendarEvent::create(&m_api, m_db.get(), eventPost({}), 2, 12);
        std::unique_ptr<CFacebookCalendarEvent> event(CFacebookCalendarEvent::load(&m_api, m_db.get(), id));
        QVERIFY(event);
        QVERIFY(event->properties().isEmpty());
        QCOMPARE(event->name(), QStringLiteral("Party"));
    }
};

QTEST_GUILESS_MAIN(TestFacebookChildItems)
#include "tst_facebookchilditems.moc"
