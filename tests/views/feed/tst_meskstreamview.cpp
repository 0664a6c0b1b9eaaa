// The stream view: day groups and placeholders, groups emptied by a removal (also from inside the
// removed item's own mouse press), duplicate items, "More", the relabel timer and the filter.
#include "fakeitemwidget.h"
#include "fakeprovider.h"
#include "feed/meskstreamview.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "testclock.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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

QList<QDate> groupDates(const CMeskStreamView& view)
{
    QList<QDate> dates;
    if (view.feedsList()) {
        for (const CMeskFeedGroupWidget* group : view.feedsList()->groups())
            dates << group->date();
    }
    return dates;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestMeskStreamView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void groupsAndPlaceholders();
    void emptiedGroup_data();
    void emptiedGroup();
    void removeFromOwnMousePress();
    void duplicates();
    void moreAction();
    void relabelAndFilter();
    void providerFactory();
    void screenshot();

private:
    std::unique_ptr<TestClock> m_clock;
};

void TestMeskStreamView::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    m_clock = std::make_unique<TestClock>(kNow);
}

void TestMeskStreamView::groupsAndPlaceholders()
{
    CMeskStreamView view;
    QCOMPARE(view.width(), 360);
    QVERIFY(view.reserveScrollBarWidth());
    QCOMPARE(view.dateTimer()->interval(), 30000);
    QVERIFY(view.dateTimer()->isActive());
    QVERIFY(view.isEmpty());

    view.showNoItems();
    QVERIFY(view.placeholder());
    QCOMPARE(view.placeholder()->text(), QStringLiteral("You have no items yet"));
    view.showNoActiveServices();
    QCOMPARE(view.placeholder()->text(), QStringLiteral("You have no active services"));
    view.showNoOtherServices();
    QCOMPARE(view.placeholder()->text(), QStringLiteral("You have no other services"));
    QVERIFY(!view.placeholder()->findChild<QLabel*>()->pixmap().isNull());
    view.clear(); // a placeholder stays
    QVERIFY(view.placeholder());

    view.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), false);
    QVERIFY(!view.placeholder());
    QVERIFY(view.feedsList());
    QCOMPARE(view.widget(), view.feedsList());
    QCOMPARE(groupDates(view), QList<QDate>{kNow.date()});

    view.addItemWidget(new FakeItemWidget(makeItem(2, 2, kNow.addDays(-3))), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 3, kNow.addDays(-1))), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 4, kNow.addDays(-2))), false);
    QCOMPARE(groupDates(view), (QList<QDate>{kNow.date(), kNow.date().addDays(-1), kNow.date().addDays(-2),
                                             kNow.date().addDays(-3)}));
    // The group box shows them in that order.
    QList<CMeskFeedGroupWidget*> shown;
    for (CMeskFeedGroupWidget* group : view.feedsList()->groups())
        shown << group;
    std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    view.feedsList()->adjustSize();
    QCOMPARE(shown, view.feedsList()->groups());

    // A placeholder replaces the list and everything in it.
    QPointer<CMeskFeedsListWidget> list = view.feedsList();
    view.showNoItems();
    QVERIFY(!list);
    QVERIFY(view.isEmpty());
}

void TestMeskStreamView::emptiedGroup_data()
{
    QTest::addColumn<bool>("byProvider");
    QTest::newRow("removeItem") << false;
    QTest::newRow("removeProviderItems") << true;
}

void TestMeskStreamView::emptiedGroup()
{
    QFETCH(bool, byProvider);
    CMeskStreamView view;
    view.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), false);
    view.addItemWidget(new FakeItemWidget(makeItem(3, 2, kNow)), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 3, kNow.addDays(-1))), false);
    QCOMPARE(view.feedsList()->groupCount(), 2);
    QPointer<CMeskFeedGroupWidget> yesterday = view.feedsList()->groups().at(1);
    QSignalSpy destroyed(yesterday.data(), &QObject::destroyed);

    if (byProvider)
        view.removeProviderItems(2);
    else
        view.removeItem(2, 3);
    QCOMPARE(view.feedsList()->groupCount(), 1);
    QCOMPARE(groupDates(view), QList<QDate>{kNow.date()});
    QVERIFY(yesterday && yesterday->isHidden());
    for (const QLayout* box : view.feedsList()->findChildren<QLayout*>())
        QCOMPARE(box->indexOf(yesterday), -1);
    QCOMPARE(destroyed.count(), 0);
    flushDeletes();
    QCOMPARE(destroyed.count(), 1);

    // Removing everything leaves an empty list, no placeholder.
    if (byProvider) {
        view.removeProviderItems(3);
    } else {
        view.removeItem(2, 1);
        view.removeItem(3, 2);
    }
    QVERIFY(view.isEmpty());
    QVERIFY(view.feedsList());
    QVERIFY(!view.placeholder());
    flushDeletes();
}

void TestMeskStreamView::removeFromOwnMousePress()
{
    CMeskStreamView view;
    view.resize(360, 400);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), false);
    auto* alone = new FakeItemWidget(makeItem(MeskProvider::SmsColumn, 1, kNow.addDays(-1)));
    view.addItemWidget(alone, false);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QPointer<CMeskFeedGroupWidget> group = view.feedsList()->groups().at(1);
    QPointer<FakeItemWidget> guard(alone);
    alone->onMousePress = [&view, alone] {
        view.removeItem(MeskProvider::SmsColumn, 1);
        // Still alive here: the handler goes on using its widget.
        alone->calls << QStringLiteral("pressed");
    };
    QTest::mouseClick(alone, Qt::LeftButton);
    QCOMPARE(view.feedsList()->groupCount(), 1);
    QVERIFY(view.feedsList()->containsItem(2, 1));
    flushDeletes();
    QVERIFY(!group);
    QVERIFY(!guard);
}

void TestMeskStreamView::duplicates()
{
    CMeskStreamView view;
    view.addItemWidget(new FakeItemWidget(makeItem(2, 9, kNow)), false);
    QPointer<FakeItemWidget> second = new FakeItemWidget(makeItem(2, 9, kNow));
    view.addItemWidget(second, false);
    QVERIFY(!second);
    CMeskFeedGroupWidget* group = view.feedsList()->groups().constFirst();
    QCOMPARE(group->itemCount(), 1);

    QPointer<FakeItemWidget> third = new FakeItemWidget(makeItem(2, 9, kNow.addDays(-2)));
    view.addItemWidget(third, true);
    QVERIFY(!third);
    QCOMPARE(view.feedsList()->groupCount(), 1);
    CMeskFeedWidget* entry = group->entries().constFirst();
    QVERIFY(entry->addedHighlight() && entry->addedHighlight()->isRunning());

    // Another provider's item of the same id, and items of id 0, are separate entries.
    view.addItemWidget(new FakeItemWidget(makeItem(7, 9, kNow)), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 0, kNow)), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 0, kNow)), false);
    QCOMPARE(group->itemCount(), 4);

    // itemUpdated flashes the entry of the item's provider and id only.
    view.itemUpdated(makeItem(7, 9, kNow));
    QVERIFY(group->entry(7, 9)->updatedHighlight());
    QVERIFY(!group->entry(2, 9)->updatedHighlight());
}

void TestMeskStreamView::moreAction()
{
    CMeskStreamView view;
    view.showMoreAction(); // no list: nothing
    view.addItemWidget(new FakeItemWidget(makeItem(2, 1, kNow)), false);
    view.addItemWidget(new FakeItemWidget(makeItem(2, 2, kNow.addDays(-1))), false);
    view.showMoreAction();
    CMeskStreamAction* action = view.feedsList()->streamAction();
    QCOMPARE(action->text(), QStringLiteral("More"));
    QVERIFY(!action->isHidden());
    QCOMPARE(action->property("com_velto_mesk_qstyleRole").toString(),
             QStringLiteral("mesk.uilibrary.streamactionbutton"));
    QCOMPARE(action->cursor().shape(), Qt::PointingHandCursor);

    int calls = 0;
    bool hiddenWhenTold = false;
    connect(&view, &CMeskStreamView::showOlderItems, this, [&] {
        ++calls;
        hiddenWhenTold = action->isHidden();
    });
    QTest::mouseClick(action, Qt::RightButton);
    QCOMPARE(calls, 0);
    QVERIFY(!action->isHidden());
    QTest::mouseClick(action, Qt::LeftButton);
    QCOMPARE(calls, 1);
    QVERIFY(hiddenWhenTold);

    // clear() deletes every group at once and hides a stale "More".
    view.showMoreAction();
    QPointer<CMeskFeedGroupWidget> group = view.feedsList()->groups().constFirst();
    view.clear();
    QVERIFY(!group);
    QVERIFY(view.isEmpty());
    QVERIFY(action->isHidden());
}

void TestMeskStreamView::relabelAndFilter()
{
    CMeskStreamView view;
    auto* apple = new FakeItemWidget(makeItem(2, 1, kNow, QStringLiteral("apple")));
    auto* banana = new FakeItemWidget(makeItem(2, 2, kNow.addDays(-1), QStringLiteral("banana")));
    view.addItemWidget(apple, false);
    view.addItemWidget(banana, false);

    m_clock->set(QDateTime(QDate(2024, 6, 15), QTime(0, 0, 5)));
    QVERIFY(QMetaObject::invokeMethod(&view, "_onDateUpdateTimer"));
    m_clock->set(kNow);
    const auto groups = view.feedsList()->groups();
    QCOMPARE(groups.at(0)->header()->text(), QStringLiteral("YESTERDAY, JUNE 14"));
    QCOMPARE(groups.at(1)->header()->text(), QStringLiteral("JUNE 13"));
    QCOMPARE(apple->updateTimeCalls, 1);
    QCOMPARE(banana->updateTimeCalls, 1);

    apple->calls.clear();
    view.setFilter(QString());
    QVERIFY(apple->calls.isEmpty());

    view.setFilter(QStringLiteral("app"));
    QCOMPARE(view.filterText(), QStringLiteral("app"));
    QVERIFY(!groups.at(0)->isHidden() && groups.at(1)->isHidden());
    QCOMPARE(apple->calls.last(), QStringLiteral("applyFilter app 1"));
    view.clearFilter();
    QVERIFY(view.filterText().isEmpty());
    QVERIFY(!groups.at(0)->isHidden() && !groups.at(1)->isHidden());
    QCOMPARE(banana->calls.last(), QStringLiteral("clearFilter"));
}

void TestMeskStreamView::providerFactory()
{
    FakeProvider provider(2, QStringLiteral("Facebook"));
    provider.setItemWidgetFactory(FakeItemWidget::factory({13}));
    QVERIFY(!provider.createItemWidget(makeItem(2, 13, kNow)));
    std::unique_ptr<IMediaItemWidget> widget(provider.createItemWidget(makeItem(2, 14, kNow)));
    QVERIFY(widget);
    QCOMPARE(widget->mediaItem().id, mid_t(14));
    QCOMPARE(provider.createItemWidgetCalls, 2);
}

// A picture for review: three days, the newest entry flashing, "More" below.
void TestMeskStreamView::screenshot()
{
    CMeskStreamView view;
    view.resize(view.width(), 520);
    const QStringList texts{QStringLiteral("Lunch by the river with the whole team"),
                            QStringLiteral("New photos from the weekend trip"),
                            QStringLiteral("Reading in the park, the weather is perfect"),
                            QStringLiteral("Concert tickets are sold out already"),
                            QStringLiteral("Morning coffee at the station")};
    for (int i = 0; i < 7; ++i) {
        const QDateTime created = kNow.addSecs(-qint64(i) * 9 * 3600);
        view.addItemWidget(new FakeItemWidget(makeItem(2, i + 1, created, texts.at(i % texts.size()))),
                           i == 0);
    }
    view.showMoreAction();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.feedsList()->groupCount(), 3);
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(view.grab().save(dir.filePath(QStringLiteral("stream-view.png"))));
}

QTEST_MAIN(TestMeskStreamView)
#include "tst_meskstreamview.moc"
