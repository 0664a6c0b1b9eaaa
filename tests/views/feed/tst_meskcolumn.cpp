// The service column on the real engine with fake providers: the day-by-day first load, "More"
// one day per press with live items and the filter, the header, refresh and failed widgets.
#include "fakeitemwidget.h"
#include "feed/meskcolumnwidget.h"
#include "feed/meskstreamview.h"
#include "mesksmallwidgets.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "testengine.h"
#include "widgets/quoranimationwidget.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr mid_t kProvider = 2;

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

// Items of the provider: count per day back (day -1 is tomorrow).
QList<SMediaItem> itemsOnDays(const QList<QPair<int, int>>& days)
{
    QList<SMediaItem> items;
    for (const auto& [daysBack, count] : days) {
        for (int i = 0; i < count; ++i)
            items << TestEngine::event(kProvider, TestEngine::day(daysBack).addSecs(-60 * i));
    }
    return items;
}

} // namespace

class TestMeskColumn : public QObject
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
    void initialLoad_data();
    void initialLoad();
    void moreAndLiveItems();
    void headerAndRefresh();
    void failedItemWidget();
    void emptyColumnAndNoProvider();
    void screenshot();

private:
    std::unique_ptr<TestEngine> m_env;
};

void TestMeskColumn::init()
{
    m_env = std::make_unique<TestEngine>();
}

void TestMeskColumn::initialLoad_data()
{
    QTest::addColumn<QList<SMediaItem>>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("groups");
    QTest::addColumn<bool>("more");

    QTest::newRow("none") << QList<SMediaItem>() << 0 << 0 << false;
    QTest::newRow("4, 3 and 5 over three days") << itemsOnDays({{0, 4}, {1, 3}, {2, 5}}) << 12 << 3 << false;
    QTest::newRow("12 today and older") << itemsOnDays({{0, 12}, {3, 2}}) << 12 << 1 << true;
    QTest::newRow("a day without items") << itemsOnDays({{0, 6}, {2, 5}}) << 11 << 2 << false;
    QTest::newRow("only tomorrow") << itemsOnDays({{-1, 3}}) << 0 << 0 << false;
    QList<SMediaItem> nullDated = itemsOnDays({{0, 3}});
    nullDated << TestEngine::event(kProvider, QDateTime());
    QTest::newRow("null date") << nullDated << 3 << 1 << false;
    QList<SMediaItem> longGap = itemsOnDays({{0, 3}});
    for (int i = 0; i < 10; ++i)
        longGap << TestEngine::event(kProvider, QDateTime(QDate(1970, 1, 2), QTime(12, i)));
    QTest::newRow("1970") << longGap << 13 << 2 << false;
}

void TestMeskColumn::initialLoad()
{
    QFETCH(QList<SMediaItem>, stored);
    QFETCH(int, shown);
    QFETCH(int, groups);
    QFETCH(bool, more);
    QVERIFY(m_env->seedItems(stored));
    m_env->addProvider(kProvider, QStringLiteral("Facebook"));
    QVERIFY(m_env->init());

    CMeskColumnWidget column(m_env->engine(), m_env->provider(kProvider));
    CMeskStreamView* view = column.streamView();
    // The first load's entries are built over the first turns.
    QTRY_COMPARE_WITH_TIMEOUT(view->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(view), shown);
    QCOMPARE(view->feedsList() ? view->feedsList()->groupCount() : 0, groups);
    QCOMPARE(moreOffered(view), more);
    QCOMPARE(view->placeholder() != nullptr, shown == 0);
    if (view->placeholder())
        QCOMPARE(view->placeholder()->text(), QStringLiteral("You have no items yet"));
    // Items of the first load do not flash and show no thumbnail.
    if (shown > 0) {
        CMeskFeedWidget* entry = view->feedsList()->groups().first()->entries().first();
        QVERIFY(!entry->addedHighlight());
        QVERIFY(static_cast<FakeItemWidget*>(entry->itemWidget())->calls.contains("setThumbnailVisible 0"));
    }
}

void TestMeskColumn::moreAndLiveItems()
{
    QList<SMediaItem> stored = itemsOnDays({{0, 12}, {1, 2}, {4, 2}, {9, 2}});
    QVERIFY(m_env->seedItems(stored));
    m_env->addProvider(kProvider, QStringLiteral("Facebook"));
    QVERIFY(m_env->init());
    CMeskColumnWidget column(m_env->engine(), m_env->provider(kProvider));
    CMeskStreamView* view = column.streamView();
    QTRY_COMPARE_WITH_TIMEOUT(view->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(view), 12);
    QCOMPARE(column.oldestDate(), QDate(2024, 6, 13));

    // A stored item of four days back arrives live: it flashes in its own day.
    const SMediaItem live = stored.at(14);
    m_env->provider(kProvider)->emitMediaItemAdded(live);
    // Built at once or, when the turn's build time is gone, on a later turn.
    QTRY_COMPARE_WITH_TIMEOUT(view->pendingCount(), 0, 30000);
    CMeskFeedWidget* liveEntry = view->feedsList()->entry(kProvider, live.id);
    QVERIFY(liveEntry);
    QVERIFY(liveEntry->addedHighlight());
    QCOMPARE(entryCount(view), 13);

    column.setFilter(QStringLiteral("zz"));
    const QList<QDate> days{QDate(2024, 6, 13), QDate(2024, 6, 10), QDate(2024, 6, 5)};
    QVERIFY(moreOffered(view));
    for (qsizetype press = 0; press < days.size(); ++press) {
        QTest::mouseClick(view->feedsList()->streamAction(), Qt::LeftButton);
        CMeskFeedGroupWidget* group = nullptr;
        for (CMeskFeedGroupWidget* candidate : view->feedsList()->groups()) {
            if (candidate->date() == days.at(press))
                group = candidate;
        }
        QVERIFY(group);
        QCOMPARE(group->itemCount(), 2);
        QCOMPARE(moreOffered(view), press + 1 < days.size());
        for (CMeskFeedWidget* entry : group->entries()) {
            QVERIFY(entry->isHidden() || group->isHidden());
            if (entry != liveEntry)
                QVERIFY(!entry->addedHighlight());
        }
        QCOMPARE(column.oldestDate(), days.at(press).addDays(-1));
    }
    QCOMPARE(entryCount(view), 18);
    QVERIFY(!moreOffered(view));

    // An update of a shown item flashes its entry.
    m_env->provider(kProvider)->emitMediaItemUpdated(stored.at(0));
    QVERIFY(view->feedsList()->entry(kProvider, stored.at(0).id)->updatedHighlight());
    column.clearFilter();
    column.reload();
    QTRY_COMPARE_WITH_TIMEOUT(view->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(view), 12);
}

void TestMeskColumn::headerAndRefresh()
{
    m_env->online = false;
    m_env->addProvider(kProvider, QStringLiteral("Facebook"));
    QVERIFY(m_env->init());
    FakeProvider* provider = m_env->provider(kProvider);
    CMeskColumnWidget column(m_env->engine(), provider);
    QCOMPARE(column.serviceId(), kProvider);
    QCOMPARE(column.width(), 360);

    const int before = provider->updateCalls;
    QTest::mouseClick(column.refreshButton(), Qt::LeftButton);
    QCOMPARE(provider->updateCalls, before + 1);

    provider->emitUpdateStarted();
    QVERIFY(column.refreshButton()->isHidden());
    QVERIFY(!column.busyAnimation()->isHidden());
    QVERIFY(column.busyAnimation()->isRunning());
    provider->emitUpdateDone();
    QVERIFY(!column.refreshButton()->isHidden());
    QVERIFY(column.busyAnimation()->isHidden());
    QVERIFY(!column.busyAnimation()->isRunning());

    // A banner inserted later stands above the earlier one.
    auto* first = new QLabel(QStringLiteral("first"));
    auto* second = new QLabel(QStringLiteral("second"));
    column.insertTopWidget(first);
    column.insertTopWidget(second);
    QCOMPARE(column.bannerBox()->itemAt(0)->widget(), second);
    QCOMPARE(column.bannerBox()->itemAt(1)->widget(), first);
}

void TestMeskColumn::failedItemWidget()
{
    QList<SMediaItem> stored = itemsOnDays({{0, 3}});
    QVERIFY(m_env->seedItems(stored));
    m_env->addProvider(kProvider, QStringLiteral("Facebook"), true, {stored.at(1).id});
    QVERIFY(m_env->init());
    QTest::ignoreMessage(QtDebugMsg, "CMeskColumnWidget: failed to create item widget");
    CMeskColumnWidget column(m_env->engine(), m_env->provider(kProvider));
    QTRY_COMPARE_WITH_TIMEOUT(column.streamView()->pendingCount(), 0, 30000);
    QCOMPARE(entryCount(column.streamView()), 2);
    QVERIFY(!column.streamView()->feedsList()->entry(kProvider, stored.at(1).id));
}

void TestMeskColumn::emptyColumnAndNoProvider()
{
    QVERIFY(m_env->init());
    CMeskColumnWidget column(m_env->engine(), nullptr);
    QCOMPARE(column.serviceId(), mid_t(0));
    QTest::mouseClick(column.refreshButton(), Qt::LeftButton);

    CMeskEmptyColumnWidget empty;
    QCOMPARE(empty.label()->text(), QStringLiteral("There are no other services configured"));
    empty.showNoActiveServices();
    QCOMPARE(empty.label()->text(), QStringLiteral("There are no active services"));
}

void TestMeskColumn::screenshot()
{
    QList<SMediaItem> stored;
    const QStringList texts{QStringLiteral("Lunch by the river with the whole team"),
                            QStringLiteral("New photos from the weekend trip"),
                            QStringLiteral("Reading in the park, the weather is perfect"),
                            QStringLiteral("Concert tickets are sold out already")};
    for (int i = 0; i < 7; ++i)
        stored << TestEngine::event(kProvider, TestEngine::day(i / 3).addSecs(-3600 * (i % 3)),
                                    texts.at(i % 4));
    QVERIFY(m_env->seedItems(stored));
    m_env->addProvider(kProvider, QStringLiteral("Facebook"));
    QVERIFY(m_env->init());
    QPixmap icon(17, 17);
    icon.fill(QColor(59, 89, 152));
    m_env->provider(kProvider)->setIcon(icon);

    CMeskColumnWidget column(m_env->engine(), m_env->provider(kProvider));
    column.resize(column.width(), 560);
    SMediaItem live =
        TestEngine::event(kProvider, TestEngine::now().addSecs(-30), QStringLiteral("Just arrived"));
    live.id = 1000;
    m_env->provider(kProvider)->emitMediaItemAdded(live);
    QTRY_COMPARE_WITH_TIMEOUT(column.streamView()->pendingCount(), 0, 30000);
    column.show();
    QVERIFY(QTest::qWaitForWindowExposed(&column));
    QTRY_COMPARE_WITH_TIMEOUT(column.streamView()->pendingCount(), 0, 30000);
    QCOMPARE(column.streamView()->feedsList()->groupCount(), 3);
    QTest::qWait(300); // a few steps of the flash
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(column.grab().save(dir.filePath(QStringLiteral("service-column.png"))));
    // Keeps the column on screen that long, for a photograph of the real display.
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));
}

QTEST_MAIN(TestMeskColumn)
#include "tst_meskcolumn.moc"
