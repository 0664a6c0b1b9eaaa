#include "mediadatabase.h"
#include "mediadbtest.h"
#include "testclock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace MediaDbTest;

namespace {
QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

QList<int> typesOf(const QList<SMediaItem>& items)
{
    QList<int> types;
    for (const SMediaItem& item : items)
        types.append(item.type);
    return types;
}

QList<mid_t> idsOf(const QList<SMediaItem>& items)
{
    QList<mid_t> ids;
    for (const SMediaItem& item : items)
        ids.append(item.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
} // namespace

class TestMediaDataBaseItems : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<CMediaDataBase> m_db;

    // Adds an item and returns it as stored.
    SMediaItem add(int type, mid_t provider = 1, mid_t parent = 0,
                   const QDateTime& created = utc(2009, 11, 26, 12), const QString& mediaId = QString())
    {
        SMediaItem item;
        item.type = type;
        item.provider = provider;
        item.parent = parent;
        item.created = created;
        item.mediaId = mediaId;
        item.content = QStringLiteral("content");
        if (!m_db->addMediaItem(item))
            qWarning("add failed");
        return item;
    }
    int count(const QString& table) const
    {
        return value(m_db->databasePath(), QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
    }
    // One file in items and one in media for the item.
    QStringList addFiles(const SMediaItem& item)
    {
        const QStringList files{m_db->itemFilePath(item, QStringLiteral("jpg")),
                                m_db->mediaFilePath(item, QStringLiteral("png"))};
        for (const QString& file : files)
            touch(file);
        return files;
    }

private slots:
    void initTestCase() { setTimeZone("UTC"); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_clock = std::make_unique<TestClock>(utc(2010, 1, 2, 3, 4, 5));
        m_db = std::make_unique<CMediaDataBase>(m_dir->filePath(QStringLiteral("store")));
        QVERIFY(m_db->open());
    }
    void cleanup()
    {
        m_db.reset();
        m_clock.reset();
        m_dir.reset();
        setTimeZone("UTC");
    }

    // --- Items and fields -------------------------------------------------------------------------

    void addAndRead()
    {
        SMediaItem item;
        item.provider = 3;
        item.parent = 17;
        item.user = 99;
        item.created = utc(2009, 11, 26, 8, 30, 15);
        item.content = QStringLiteral("It's 50% [off]_#^");
        item.mediaId = QStringLiteral("m'1");
        item.type = MeskItemType::Image;
        item.extra1 = QStringLiteral("e1_");
        item.extra2 = QStringLiteral("e2%");
        item.extra3 = QStringLiteral("e3[");
        QVERIFY(m_db->addMediaItem(item));
        QVERIFY(item.id != 0);
        QCOMPARE(item.added, m_clock->now());
        SMediaItem read;
        QVERIFY(m_db->mediaItem(item.id, read));
        QCOMPARE(read, item);

        SMediaItem untouched;
        untouched.content = QStringLiteral("sentinel");
        QVERIFY(!m_db->mediaItem(item.id + 100, untouched));
        QCOMPARE(untouched.content, QStringLiteral("sentinel"));
    }

    void updateKeepsExtrasApart()
    {
        SMediaItem item = add(MeskItemType::Event1);
        item.extra1 = QStringLiteral("one");
        item.extra2 = QStringLiteral("two_2");
        item.extra3 = QStringLiteral("three");
        item.content = QStringLiteral("changed");
        QVERIFY(m_db->updateMediaItem(item));
        QCOMPARE(rows(m_db->databasePath(),
                      QStringLiteral("SELECT EXTRA1, EXTRA2, EXTRA3, CONTENT FROM MEDIAITEMS")),
                 (QList<QVariantList>{{QStringLiteral("one"), QStringLiteral("two[_]2"),
                                       QStringLiteral("three"), QStringLiteral("changed")}}));
        SMediaItem read;
        QVERIFY(m_db->mediaItem(item.id, read));
        QCOMPARE(read, item);
    }

    void contentSearch()
    {
        SMediaItem sale = add(MeskItemType::Event1);
        sale.content = QStringLiteral("50% off_now");
        QVERIFY(m_db->updateMediaItem(sale));
        SMediaItem elsewhere = add(MeskItemType::Event1, 2);
        elsewhere.content = sale.content;
        QVERIFY(m_db->updateMediaItem(elsewhere));
        add(MeskItemType::Event1); // "content"

        const QList<SMediaItem> found = m_db->itemsByContent(1, QStringLiteral("% OFF"));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().id, sale.id);
        QCOMPARE(found.first().content, QStringLiteral("50% off_now"));
        QVERIFY(m_db->itemsByContent(1, QStringLiteral("xyz")).isEmpty());
        QCOMPARE(m_db->itemsByContent(1, QString()).size(), 2);
    }

    void kindGroupsInOrder()
    {
        for (int type : {7, 5, 10, 4, 3, 2, 1, 6, 1, 10})
            add(type, type % 2 ? 1 : 2);
        QCOMPARE(typesOf(m_db->eventItems(0)), (QList<int>{1, 1, 2, 3, 4, 10, 10}));
        QCOMPARE(typesOf(m_db->mediaObjects(0)), (QList<int>{5, 6}));
        QCOMPARE(typesOf(m_db->linkItems(0)), (QList<int>{7}));
        QCOMPARE(typesOf(m_db->eventItems(1)), (QList<int>{1, 1, 3}));
        QCOMPARE(typesOf(m_db->eventItems(2)), (QList<int>{2, 4, 10, 10}));
        QCOMPARE(m_db->itemsByType(10, 0).size(), 2);
        QCOMPARE(m_db->providerItems(0).size(), 10);
        QCOMPARE(m_db->providerItems(2).size(), 5);
    }

    void dateRangesIncludeBothEnds()
    {
        const QDateTime t = utc(2009, 11, 26, 12, 0, 0);
        add(1, 1, 0, t.addSecs(-1));
        const SMediaItem a = add(1, 1, 0, t);
        const SMediaItem b = add(5, 1, 0, t);
        add(1, 2, 0, t);
        add(1, 1, 0, t.addSecs(1));
        QCOMPARE(idsOf(m_db->itemsBetween(t, t, 1)), (QList<mid_t>{a.id, b.id}));
        QCOMPARE(m_db->itemsBetween(t, t, 0).size(), 3);
        QVERIFY(m_db->itemsBetween(t.addSecs(-1), t.addSecs(1), 0).isEmpty());
        QCOMPARE(m_db->itemsBetween(t.addSecs(1), t.addSecs(-1), 0).size(), 5);
        QCOMPARE(m_db->eventItemsBetween(t.addSecs(1), t, 1).size(), 2);
        QCOMPARE(idsOf(m_db->mediaObjectsBetween(t, t, 1)), QList<mid_t>{b.id});
        QVERIFY(m_db->linkItemsBetween(t, t, 0).isEmpty());
        QCOMPARE(m_db->itemsByTypeBetween(t, t, 1, 0).size(), 2);
    }

    void latestItemSkipsOwnPostsAndUndated()
    {
        QVERIFY(m_db->latestItem(1).isNull());
        add(1, 1, 0, utc(2009, 1, 1));
        add(3, 1, 0, utc(2009, 6, 1));
        add(10, 1, 0, utc(2010, 1, 1));
        add(1, 1, 0, QDateTime());
        add(2, 2, 0, utc(2009, 12, 1));
        QCOMPARE(m_db->latestItem(1), utc(2009, 6, 1));
        QCOMPARE(m_db->latestItem(0), utc(2009, 12, 1));
    }

    void greatestMediaIdIsTextOrder()
    {
        QVERIFY(m_db->itemsByMediaIdDesc(1).isEmpty());
        add(1, 1, 0, utc(2009, 1, 1), QStringLiteral("10"));
        add(1, 1, 0, utc(2009, 1, 1), QStringLiteral("9"));
        add(1, 2, 0, utc(2009, 1, 1), QStringLiteral("99"));
        QCOMPARE(m_db->itemsByMediaIdDesc(1), QStringLiteral("9"));
        QVERIFY(m_db->itemsByMediaIdDesc(0).isEmpty());
    }

    void mediaIdIsDataNotSql()
    {
        const QString hostile = QStringLiteral("x'); DROP TABLE MEDIAITEMS; --");
        const SMediaItem item = add(1, 1, 0, utc(2009, 1, 1), hostile);
        QVERIFY(item.id != 0);
        const QList<SMediaItem> found = m_db->itemByMediaId(1, hostile);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().mediaId, hostile);
        QVERIFY(m_db->itemByMediaId(0, hostile).isEmpty());
        QCOMPARE(tables(m_db->databasePath()).size(), 8);
        QCOMPARE(value(m_db->databasePath(), QStringLiteral("SELECT MEDIAID FROM MEDIAITEMS")).toString(),
                 hostile);
    }

    void deletingATreeTakesRowsFieldsAndFiles()
    {
        const SMediaItem post = add(1);
        const SMediaItem photo = add(5, 1, post.id, utc(2009, 11, 27));
        const SMediaItem comment = add(2, 1, photo.id, utc(2009, 11, 28));
        const SMediaItem other = add(1);
        QStringList files;
        for (const SMediaItem& item : {post, photo, comment}) {
            m_db->setMediaItemField(item.id, {{QStringLiteral("f"), QStringLiteral("v")}});
            files += addFiles(item);
        }
        m_db->setMediaItemField(other.id, {{QStringLiteral("f"), QStringLiteral("v")}});
        const QStringList otherFiles = addFiles(other);

        QVERIFY(!m_db->deleteMediaItem(other.id + 100));
        QCOMPARE(count(QStringLiteral("MEDIAITEMS")), 4);

        QVERIFY(m_db->deleteMediaItem(post.id));
        QCOMPARE(idsOf(m_db->providerItems(0)), QList<mid_t>{other.id});
        QCOMPARE(count(QStringLiteral("MEDIAITEMFIELDS")), 1);
        for (const QString& file : files)
            QVERIFY2(!QFileInfo::exists(file), qPrintable(file));
        for (const QString& file : otherFiles)
            QVERIFY(QFileInfo::exists(file));
    }

    void parentCyclesEnd()
    {
        SMediaItem self = add(1);
        self.parent = self.id;
        QVERIFY(m_db->updateMediaItem(self));
        QVERIFY(m_db->deleteMediaItem(self.id));
        QCOMPARE(count(QStringLiteral("MEDIAITEMS")), 0);

        SMediaItem a = add(1);
        SMediaItem b = add(1, 1, a.id);
        a.parent = b.id;
        QVERIFY(m_db->updateMediaItem(a));
        QVERIFY(m_db->deleteMediaItem(a.id));
        QCOMPARE(count(QStringLiteral("MEDIAITEMS")), 0);
    }

    void fieldsUpdateOrInsert()
    {
        const SMediaItem item = add(1);
        m_db->setMediaItemField(item.id, {{QStringLiteral("stored"), QStringLiteral("old")}});
        m_db->setMediaItemField(item.id, {{QStringLiteral("stored"), QStringLiteral("new_1%")},
                                          {QStringLiteral("it's [new]"), QStringLiteral("v")}});
        QCOMPARE(count(QStringLiteral("MEDIAITEMFIELDS")), 2);
        QCOMPARE(value(m_db->databasePath(),
                       QStringLiteral("SELECT VALUE FROM MEDIAITEMFIELDS WHERE FIELD = 'stored'"))
                     .toString(),
                 QStringLiteral("new[_]1[%]"));
        QCOMPARE(
            value(m_db->databasePath(), QStringLiteral("SELECT COUNT(*) FROM MEDIAITEMFIELDS WHERE FIELD = "
                                                       "'it''s [[]new]'"))
                .toInt(),
            1);

        QHash<QString, QString> fields{{QStringLiteral("prefilled"), QStringLiteral("kept")},
                                       {QStringLiteral("stored"), QStringLiteral("replaced")}};
        m_db->mediaItemFields(item.id, fields);
        QCOMPARE(fields, (QHash<QString, QString>{{QStringLiteral("prefilled"), QStringLiteral("kept")},
                                                  {QStringLiteral("stored"), QStringLiteral("new_1%")},
                                                  {QStringLiteral("it's [new]"), QStringLiteral("v")}}));
        // The ordered read: rows in the order first stored, a field set again in its old place.
        QCOMPARE(m_db->mediaItemFieldList(item.id),
                 (QList<QPair<QString, QString>>{{QStringLiteral("stored"), QStringLiteral("new_1%")},
                                                 {QStringLiteral("it's [new]"), QStringLiteral("v")}}));
        QVERIFY(m_db->mediaItemFieldList(item.id + 1000).isEmpty());
    }

    void deletingAProvidersItems()
    {
        const SMediaItem mine = add(1, 1);
        const SMediaItem foreignChild = add(5, 2, mine.id);
        const SMediaItem theirs = add(1, 2);
        const QStringList files = addFiles(mine);
        const QStringList kept = addFiles(theirs);
        QVERIFY(m_db->deleteProviderItems(1));
        QCOMPARE(idsOf(m_db->providerItems(0)), (QList<mid_t>{foreignChild.id, theirs.id}));
        for (const QString& file : files)
            QVERIFY(!QFileInfo::exists(file));
        for (const QString& file : kept)
            QVERIFY(QFileInfo::exists(file));
        QVERIFY(m_db->deleteProviderItems(1));
        QVERIFY(m_db->deleteProviderItems(0));
        QCOMPARE(count(QStringLiteral("MEDIAITEMS")), 0);
    }

    // --- Sync records and clean-up ----------------------------------------------------------------

    void cleanupWithoutSyncRowsKeepsOnlyLooseMediaAndLinks()
    {
        const SMediaItem event = add(1);
        const SMediaItem photo = add(5, 1, event.id);
        const SMediaItem own = add(10, 2);
        const SMediaItem loosePhoto = add(5);
        const SMediaItem video = add(6, 2);
        const SMediaItem link = add(7);
        const QStringList files = addFiles(event) + addFiles(photo) + addFiles(own);
        const QStringList kept = addFiles(loosePhoto);
        for (int type : {2, 3, 4})
            add(type);

        QVERIFY(m_db->cleanup(false));
        QCOMPARE(idsOf(m_db->providerItems(0)), (QList<mid_t>{loosePhoto.id, video.id, link.id}));
        for (const QString& file : files)
            QVERIFY(!QFileInfo::exists(file));
        for (const QString& file : kept)
            QVERIFY(QFileInfo::exists(file));
    }

    void listedEventsSurviveUnlessTheirParentGoes()
    {
        const SMediaItem listed = add(1);
        const SMediaItem parent = add(1, 2);
        const SMediaItem listedChild = add(2, 2, parent.id);
        const SMediaItem unlisted = add(3);
        QVERIFY(m_db->setSyncList(1, {listed.id}, 0));
        QVERIFY(m_db->setSyncRecords(2, {listedChild.id}, 0));
        QVERIFY(m_db->cleanup(false));
        QCOMPARE(idsOf(m_db->providerItems(0)), QList<mid_t>{listed.id});
        Q_UNUSED(unlisted);
    }

    void syncRowsReplacedPerProvider()
    {
        QVERIFY(m_db->setSyncRecords(2, {1, 2, 3}, 5));
        QVERIFY(m_db->setSyncRecords(1, {7}, 0));
        m_clock->advanceSecs(3600);
        QVERIFY(m_db->setSyncRecords(2, {5, 9}, 0));
        const qint64 now = m_clock->now().toSecsSinceEpoch();
        QCOMPARE(
            rows(m_db->databasePath(),
                 QStringLiteral("SELECT MEDIAEVENT, PROVIDER, SYNCDATE, MAXPERIOD FROM MEDIASYNC ORDER BY "
                                "PROVIDER, MEDIAEVENT")),
            (QList<QVariantList>{{7, 1, now - 3600, 0}, {5, 2, now, 0}, {9, 2, now, 0}}));
        QVERIFY(m_db->setSyncRecords(2, {}, 0));
        QCOMPARE(count(QStringLiteral("MEDIASYNC")), 1);
    }

    void expiryCountsClockHours()
    {
        const SMediaItem hourly = add(1, 1);
        const SMediaItem unlimited = add(1, 2);
        m_clock->set(utc(2010, 1, 2, 10, 59, 0));
        QVERIFY(m_db->setSyncRecords(1, {hourly.id}, 1));
        QVERIFY(m_db->setSyncRecords(2, {unlimited.id}, 0));

        m_clock->set(utc(2010, 1, 2, 10, 59, 59));
        QVERIFY(m_db->cleanup(true));
        QCOMPARE(idsOf(m_db->providerItems(0)), (QList<mid_t>{hourly.id, unlimited.id}));

        m_clock->set(utc(2010, 1, 2, 11, 0, 0));
        QVERIFY(m_db->cleanup(true));
        QCOMPARE(idsOf(m_db->providerItems(0)), QList<mid_t>{unlimited.id});

        m_clock->set(utc(2020, 1, 2, 11, 0, 0));
        QVERIFY(m_db->cleanup(true));
        QCOMPARE(idsOf(m_db->providerItems(0)), QList<mid_t>{unlimited.id});
        // Without expiry every listed event stays, however old its listing.
        QVERIFY(m_db->setSyncRecords(1, {}, 0));
        QVERIFY(m_db->cleanup(false));
        QCOMPARE(idsOf(m_db->providerItems(0)), QList<mid_t>{unlimited.id});
    }

    void syncRecordsSkipVanishedEvents()
    {
        const SMediaItem a = add(1);
        const SMediaItem b = add(2);
        const SMediaItem c = add(3, 2);
        QVERIFY(m_db->setSyncRecords(1, {a.id, b.id}, 0));
        QVERIFY(m_db->setSyncRecords(2, {c.id}, 0));
        QVERIFY(m_db->deleteMediaItem(a.id));
        QCOMPARE(idsOf(m_db->syncRecords(1)), QList<mid_t>{b.id});
        QCOMPARE(idsOf(m_db->syncRecords(0)), (QList<mid_t>{b.id, c.id}));
    }

    // A tree of items as a list: each entry's type and its parent as an index into the list (-1: none,
    // 99: an id no item has), set after every item exists so that a parent may come later or loop back.
    // Some events are listed by provider 1, some by provider 2; the rest expire with everything below them.
    void cleanupDeletesExactlyTheExpiredTrees_data()
    {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<int>>("parents");
        QTest::addColumn<QList<int>>("listed");      // by provider 1
        QTest::addColumn<QList<int>>("listedOther"); // by provider 2
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("post with photo, link and comment expires")
            << QList<int>{1, 5, 7, 3} << QList<int>{-1, 0, 0, 0} << QList<int>{} << QList<int>{}
            << QList<int>{};
        QTest::newRow("listed post keeps its media, not an unlisted event below it")
            << QList<int>{1, 5, 7, 3} << QList<int>{-1, 0, 0, 0} << QList<int>{0} << QList<int>{}
            << QList<int>{0, 1, 2};
        QTest::newRow("grandchildren go with the post") << QList<int>{2, 5, 6, 7} << QList<int>{-1, 0, 1, 2}
                                                        << QList<int>{} << QList<int>{} << QList<int>{};
        QTest::newRow("a listed event below an expired one goes")
            << QList<int>{1, 4, 5} << QList<int>{-1, 0, 1} << QList<int>{1} << QList<int>{} << QList<int>{};
        QTest::newRow("an expired event below a listed one goes alone")
            << QList<int>{1, 2, 5, 7} << QList<int>{-1, 0, 1, 0} << QList<int>{0} << QList<int>{}
            << QList<int>{0, 3};
        QTest::newRow("loose media, links and orphans stay")
            << QList<int>{5, 6, 7, 5, 1} << QList<int>{-1, -1, -1, 99, -1} << QList<int>{} << QList<int>{4}
            << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("own posts expire like events") << QList<int>{10, 5, 10} << QList<int>{-1, 0, -1}
                                                      << QList<int>{2} << QList<int>{} << QList<int>{2};
        QTest::newRow("a parent chain that loops back")
            << QList<int>{1, 5, 3, 5, 7} << QList<int>{2, 0, 1, 4, 3} << QList<int>{} << QList<int>{}
            << QList<int>{3, 4};
        QTest::newRow("an event that is its own parent")
            << QList<int>{2, 5} << QList<int>{0, 0} << QList<int>{} << QList<int>{} << QList<int>{};
        QTest::newRow("lists of two providers")
            << QList<int>{1, 5, 2, 5, 3, 5} << QList<int>{-1, 0, -1, 2, -1, 4} << QList<int>{0}
            << QList<int>{4} << QList<int>{0, 1, 4, 5};
    }
    void cleanupDeletesExactlyTheExpiredTrees()
    {
        QFETCH(QList<int>, types);
        QFETCH(QList<int>, parents);
        QFETCH(QList<int>, listed);
        QFETCH(QList<int>, listedOther);
        QFETCH(QList<int>, kept);
        SSmsMessage message;
        message.message = QStringLiteral("kept");
        message.created = utc(2009, 11, 1);
        QVERIFY(m_db->addSmsMessage(message));
        QVERIFY(m_db->setServiceKey(1, QStringLiteral("token"), QStringLiteral("secret")));

        QList<SMediaItem> items;
        QList<QStringList> files;
        for (qsizetype i = 0; i < types.size(); ++i) {
            // Every other item on another day, one without a date: their files live in other folders.
            const QDateTime created = i == 1 ? QDateTime() : utc(2009, 11, 20 + int(i % 2), 23, 30);
            items.append(add(types[i], 1, 0, created));
            m_db->setMediaItemField(items[i].id, {{QStringLiteral("n"), QString::number(i)}});
            files.append(addFiles(items[i]));
        }
        for (qsizetype i = 0; i < items.size(); ++i) {
            items[i].parent = parents[i] < 0 ? 0 : parents[i] == 99 ? 99999 : items[parents[i]].id;
            QVERIFY(m_db->updateMediaItem(items[i]));
        }
        const auto idsAt = [&items](const QList<int>& indexes) {
            QList<mid_t> ids;
            for (int i : indexes)
                ids.append(items[i].id);
            std::sort(ids.begin(), ids.end());
            return ids;
        };
        QVERIFY(m_db->setSyncRecords(1, idsAt(listed), 0));
        QVERIFY(m_db->setSyncRecords(2, idsAt(listedOther), 5));

        QVERIFY(m_db->cleanup(false));
        QCOMPARE(idsOf(m_db->providerItems(0)), idsAt(kept));
        QCOMPARE(count(QStringLiteral("MEDIAITEMFIELDS")), kept.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            QHash<QString, QString> fields;
            m_db->mediaItemFields(items[i].id, fields);
            QCOMPARE(fields.value(QStringLiteral("n")),
                     kept.contains(int(i)) ? QString::number(i) : QString());
            for (const QString& file : files[i])
                QVERIFY2(QFileInfo::exists(file) == kept.contains(int(i)), qPrintable(file));
        }
        QCOMPARE(m_db->smsMessages().size(), 1);
        QString key;
        QVERIFY(m_db->serviceKey(1, QStringLiteral("token"), key));
        QCOMPARE(key, QStringLiteral("secret"));
    }

    void syncRecordsComeInListOrder()
    {
        const SMediaItem a = add(1);
        const SMediaItem b = add(2);
        const SMediaItem c = add(3);
        QVERIFY(m_db->setSyncRecords(2, {c.id, a.id}, 0));
        QVERIFY(m_db->setSyncRecords(1, {b.id, c.id, a.id}, 0));
        const auto listed = [this](mid_t provider) {
            QList<mid_t> ids;
            for (const SMediaItem& item : m_db->syncRecords(provider))
                ids.append(item.id);
            return ids;
        };
        QCOMPARE(listed(1), (QList<mid_t>{b.id, c.id, a.id}));
        QCOMPARE(listed(0), (QList<mid_t>{c.id, a.id, b.id, c.id, a.id}));
        SMediaItem stored;
        QVERIFY(m_db->mediaItem(b.id, stored));
        QCOMPARE(m_db->syncRecords(1).first(), stored);
    }

    // The day folders and the clock hours of the expiry follow the local zone across a day's end and a
    // change of daylight saving time.
    void localDaysAndHours_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("created");
        QTest::addColumn<QString>("day");
        QTest::addColumn<QDateTime>("listedAt");
        QTest::addColumn<QDateTime>("cleanedAt");
        QTest::addColumn<bool>("listingHolds"); // for two hours
        // 2010-03-28 01:00 UTC: 02:00 CET becomes 03:00 CEST; 2010-10-31 01:00 UTC: 03:00 CEST becomes 02:00
        // CET.
        QTest::newRow("before the day's end")
            << QByteArray("Europe/Berlin") << utc(2010, 1, 1, 22, 59, 59) << "100101"
            << utc(2010, 1, 1, 22, 59) << utc(2010, 1, 1, 23, 58) << true;
        QTest::newRow("after the day's end") << QByteArray("Europe/Berlin") << utc(2010, 1, 1, 23) << "100102"
                                             << utc(2010, 1, 1, 22, 59) << utc(2010, 1, 2, 0, 0) << false;
        QTest::newRow("clocks forward") << QByteArray("Europe/Berlin") << utc(2010, 3, 28, 1) << "100328"
                                        << utc(2010, 3, 28, 0, 30) << utc(2010, 3, 28, 1, 0) << false;
        QTest::newRow("clocks back") << QByteArray("Europe/Berlin") << utc(2010, 10, 30, 22) << "101031"
                                     << utc(2010, 10, 31, 0, 30) << utc(2010, 10, 31, 2, 59) << true;
        // 2010-11-07 06:00 UTC: 02:00 EDT becomes 01:00 EST.
        QTest::newRow("clocks back, another zone")
            << QByteArray("America/New_York") << utc(2010, 11, 7, 3, 59) << "101106" << utc(2010, 11, 7, 5)
            << utc(2010, 11, 7, 7, 59) << true;
        QTest::newRow("clocks back, two clock hours")
            << QByteArray("America/New_York") << utc(2010, 11, 7, 5) << "101107" << utc(2010, 11, 7, 5)
            << utc(2010, 11, 7, 8) << false;
    }
    void localDaysAndHours()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, created);
        QFETCH(QString, day);
        QFETCH(QDateTime, listedAt);
        QFETCH(QDateTime, cleanedAt);
        QFETCH(bool, listingHolds);
        setTimeZone(zone.constData());
        const SMediaItem item = add(1, 1, 0, created);
        // Read back before and after the zone is set: a date read in another zone is not reused.
        setTimeZone("UTC");
        SMediaItem stored;
        QVERIFY(m_db->mediaItem(item.id, stored));
        setTimeZone(zone.constData());
        QVERIFY(m_db->mediaItem(item.id, stored));
        // Read back as the clock time of the zone in force.
        QCOMPARE(stored.created.offsetFromUtc(), stored.created.toLocalTime().offsetFromUtc());
        QCOMPARE(stored.created.toString(QStringLiteral("yyMMdd")), day);
        const QStringList files = addFiles(stored);
        for (const QString& file : files)
            QCOMPARE(QFileInfo(file).dir().dirName(), day);

        m_clock->set(listedAt);
        QVERIFY(m_db->setSyncRecords(1, {item.id}, 2));
        m_clock->set(cleanedAt);
        QVERIFY(m_db->cleanup(true));
        QCOMPARE(m_db->providerItems(0).size(), listingHolds ? 1 : 0);
        for (const QString& file : files)
            QCOMPARE(QFileInfo::exists(file), listingHolds);
        QCOMPARE(QFileInfo::exists(QFileInfo(files.first()).absolutePath()), listingHolds);
    }

    void unreadableSyncTableDeletesNothing()
    {
        add(1);
        add(2);
        bool ok = false;
        run(m_db->databasePath(), {QStringLiteral("DROP TABLE MEDIASYNC")}, &ok);
        QVERIFY(ok);
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QStringLiteral(
                                 "^CMediaDataBaseMethod: sql statement SELECT MEDIAEVENT FROM MEDIASYNC")));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: sync records cannot be read, nothing cleaned up");
        QVERIFY(m_db->cleanup(false));
        QCOMPARE(m_db->providerItems(0).size(), 2);
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QStringLiteral(
                                 "^CMediaDataBaseMethod: sql statement SELECT MEDIAEVENT, PROVIDER")));
        QTest::ignoreMessage(QtDebugMsg, "CMediaDataBase: sync records cannot be read, nothing cleaned up");
        QVERIFY(m_db->cleanup(true));
        QCOMPARE(m_db->providerItems(0).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMediaDataBaseItems)
#include "tst_mediadatabaseitems.moc"
