// Date groups: entry order, (provider, id) keys, the flash and separator painting, the day
// captions across midnight and the filter.
#include "fakeitemwidget.h"
#include "feed/meskfeedgroupwidget.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "testclock.h"

#include <QApplication>
#include <QLayout>
#include <QLocale>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QDateTime kNow(QDate(2024, 6, 14), QTime(12, 0));

SMediaItem makeItem(mid_t provider, mid_t id, const QDateTime& created, const QString& content = {})
{
    SMediaItem item;
    item.provider = provider;
    item.id = id;
    item.created = created;
    item.content = content.isEmpty() ? QStringLiteral("item %1").arg(id) : content;
    return item;
}

FakeItemWidget* fake(CMeskFeedWidget* entry)
{
    return static_cast<FakeItemWidget*>(entry->itemWidget());
}

QList<mid_t> ids(const CMeskFeedGroupWidget& group)
{
    QList<mid_t> result;
    for (CMeskFeedWidget* entry : group.entries())
        result << entry->itemId();
    return result;
}

void step(CMeskColorAnimation* animation, int times)
{
    for (int i = 0; i < times; ++i)
        QVERIFY(QMetaObject::invokeMethod(animation, "_onTimer"));
}

} // namespace

class TestMeskFeedGroup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void order_data();
    void order();
    void keys();
    void painting();
    void captions();
    void filter();
    void wrappedSizeHints();

private:
    std::unique_ptr<TestClock> m_clock;
};

void TestMeskFeedGroup::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    m_clock = std::make_unique<TestClock>(kNow);
}

void TestMeskFeedGroup::order_data()
{
    QTest::addColumn<QList<int>>("minutes"); // arrival order, minutes after 00:00
    QTest::newRow("10, 12, 11") << QList<int>{600, 720, 660};
    QTest::newRow("same time below the earlier") << QList<int>{600, 660, 600, 600, 540};
    QList<int> many;
    QRandomGenerator random(29);
    for (int i = 0; i < 200; ++i)
        many << random.bounded(60) * 10; // many ties
    QTest::newRow("200 at random") << many;
}

void TestMeskFeedGroup::order()
{
    QFETCH(QList<int>, minutes);
    CMeskFeedGroupWidget group(kNow.date());
    QList<QPair<int, mid_t>> expected; // (minute, id), stable-sorted newest first
    for (int i = 0; i < minutes.size(); ++i) {
        const mid_t id = i + 1;
        group.addItemWidget(new FakeItemWidget(makeItem(2, id, kNow.addSecs(minutes[i] * 60 - 12 * 3600))),
                            false);
        expected << qMakePair(minutes[i], id);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<mid_t> expectedIds;
    for (const auto& e : expected)
        expectedIds << e.second;
    QCOMPARE(ids(group), expectedIds);
    QCOMPARE(group.itemCount(), minutes.size());
    // The layout shows the same order below the header.
    auto* layout = group.layout();
    QCOMPARE(layout->itemAt(0)->widget(), group.header());
    for (int i = 0; i < group.itemCount(); ++i)
        QCOMPARE(layout->itemAt(i + 1)->widget(), group.entries().at(i));
}

void TestMeskFeedGroup::keys()
{
    CMeskFeedGroupWidget group(kNow.date());
    group.addItemWidget(new FakeItemWidget(makeItem(MeskProvider::SmsColumn, 5, kNow.addSecs(-60))), false);
    group.addItemWidget(new FakeItemWidget(makeItem(2, 5, kNow.addSecs(-120))), false);
    group.addItemWidget(new FakeItemWidget(makeItem(2, 6, kNow.addSecs(-180))), false);
    CMeskFeedWidget* sms = group.entry(7, 5);
    CMeskFeedWidget* event = group.entry(2, 5);
    QVERIFY(sms && event && sms != event);
    QVERIFY(sms->isItem(7, 5) && !sms->isItem(2, 5));

    group.highlightItem(2, 5);
    QVERIFY(event->updatedHighlight() && event->updatedHighlight()->isRunning());
    QVERIFY(!sms->updatedHighlight());
    group.highlightItem(3, 5); // not held: nothing
    group.highlightItem(2, 99);

    QPointer<CMeskFeedWidget> gone(sms);
    group.removeItem(7, 5);
    QCOMPARE(ids(group), (QList<mid_t>{5, 6}));
    QVERIFY(!group.containsItem(7, 5));
    QVERIFY(group.containsItem(2, 5));
    QVERIFY(gone); // released later
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);

    group.addItemWidget(new FakeItemWidget(makeItem(7, 8, kNow)), false);
    group.removeProviderItems(2);
    QCOMPARE(ids(group), (QList<mid_t>{8}));
    QCOMPARE(group.entries().first()->providerId(), mid_t(7));
}

void TestMeskFeedGroup::painting()
{
    CMeskFeedGroupWidget group(kNow.date());
    group.resize(360, 200);
    CMeskFeedWidget* entry = group.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), true);
    entry->resize(360, 60);
    const auto pixel = [entry](int x, int y) { return entry->grab().toImage().pixelColor(x, y); };

    QCOMPARE(pixel(2, 2), QColor(0xFA, 0xF8, 0xD4));
    CMeskColorAnimation* added = entry->findChild<CMeskColorAnimation*>(QStringLiteral("addedHighlight"));
    QVERIFY(added);
    QSignalSpy done(added, &CMeskColorAnimation::done);
    step(added, 20);
    QCOMPARE(done.count(), 0);
    step(added, 1);
    QCOMPARE(done.count(), 1);
    QCOMPARE(pixel(2, 2), entry->palette().color(QPalette::Window));

    // The added flash wins over the updated one.
    entry->startAddedHighlight();
    step(added, 10);
    QCOMPARE(pixel(2, 2), QColor(0xF9, 0xF8, 0xE6));
    entry->startUpdatedHighlight();
    QVERIFY(entry->findChild<CMeskColorAnimation*>(QStringLiteral("updatedHighlight")));
    QCOMPARE(pixel(2, 2), QColor(0xF9, 0xF8, 0xE6));

    // The dotted separator lies 7 px above the bottom edge; nothing below it.
    step(added, 11);
    step(entry->updatedHighlight(), 21);
    const QImage image = entry->grab().toImage();
    const int line = entry->rect().bottom() - 7;
    QCOMPARE(line, entry->height() - 8);
    int dots = 0, gaps = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, line) == QColor(0xC0, 0xC0, 0xC0))
            ++dots;
        else
            ++gaps;
    }
    QVERIFY2(dots > image.width() / 4 && gaps > image.width() / 4,
             qPrintable(QStringLiteral("%1 %2").arg(dots).arg(gaps)));
    for (int y = line + 1; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(image.pixelColor(x, y) != QColor(0xC0, 0xC0, 0xC0));
    }
}

void TestMeskFeedGroup::captions()
{
    CMeskFeedGroupWidget today(QDate(2024, 6, 14));
    CMeskFeedGroupWidget yesterday(QDate(2024, 6, 13));
    CMeskFeedGroupWidget older(QDate(2024, 6, 10));
    QCOMPARE(today.header()->text(), QStringLiteral("TODAY, JUNE 14"));
    QCOMPARE(yesterday.header()->text(), QStringLiteral("YESTERDAY, JUNE 13"));
    QCOMPARE(older.header()->text(), QStringLiteral("JUNE 10"));

    CMeskFeedWidget* entry = today.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), false);
    m_clock->set(QDateTime(QDate(2024, 6, 15), QTime(0, 0, 5)));
    today.updateTime();
    m_clock->set(kNow);
    QCOMPARE(today.header()->text(), QStringLiteral("YESTERDAY, JUNE 14"));
    QCOMPARE(fake(entry)->updateTimeCalls, 1);
}

void TestMeskFeedGroup::filter()
{
    QWidget top;
    auto* group = new CMeskFeedGroupWidget(kNow.date(), &top);
    CMeskFeedWidget* apple =
        group->addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow, QStringLiteral("apple"))), false);
    CMeskFeedWidget* banana =
        group->addItemWidget(new FakeItemWidget(makeItem(2, 2, kNow, QStringLiteral("banana"))), false);
    top.show();

    group->setFilter(QStringLiteral("zzz"));
    QVERIFY(group->isHidden());

    group->setFilter(QStringLiteral("app"));
    QVERIFY(!group->isHidden() && !apple->isHidden() && banana->isHidden());
    QCOMPARE(fake(apple)->calls.last(), QStringLiteral("applyFilter app 1"));
    QCOMPARE(fake(banana)->calls.last(), QStringLiteral("applyFilter app 1"));

    group->setFilter(QStringLiteral("zzz"));
    group->clearFilter();
    QVERIFY(!group->isHidden() && !apple->isHidden() && !banana->isHidden());
    QCOMPARE(fake(apple)->calls.last(), QStringLiteral("clearFilter"));
    QCOMPARE(fake(banana)->calls.last(), QStringLiteral("clearFilter"));
}

// Groups and entries prefer the height their word-wrapped texts need at their own width, and new
// entries start at the group's width.
void TestMeskFeedGroup::wrappedSizeHints()
{
    CMeskFeedGroupWidget group(kNow.date());
    group.resize(200, 50);
    const QString text = QStringLiteral("a long text that wraps onto several lines at this narrow width");
    CMeskFeedWidget* entry = group.addItemWidget(new FakeItemWidget(makeItem(1, 1, kNow, text)), false);
    QCOMPARE(entry->width(), 200);
    for (QWidget* widget : {static_cast<QWidget*>(&group), static_cast<QWidget*>(entry)}) {
        QVERIFY(widget->hasHeightForWidth());
        QCOMPARE(widget->sizeHint().height(), widget->heightForWidth(200));
    }
}

QTEST_MAIN(TestMeskFeedGroup)
#include "tst_meskfeedgroup.moc"
