// The bottom bar, its view-mode switch and the column scroller.

#include "mainwindow/meskbottombar.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

void mouse(QWidget* widget, QEvent::Type type, int x, Qt::MouseButton button = Qt::LeftButton)
{
    const QPointF local(x, 5);
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, local, widget->mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

QList<int> columnsOf(const QSignalSpy& spy)
{
    QList<int> columns;
    for (const QList<QVariant>& call : spy)
        columns.append(call.at(0).toInt());
    return columns;
}

} // namespace

class TestMeskBottomBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void modes_data();
    void modes();
    void viewModeSwitch();
    void scrollerPresses();
    void scrollerDrags_data();
    void scrollerDrags();
    void scrollerColumnsAndRange();
    void nothingToScroll_data();
    void nothingToScroll();
};

void TestMeskBottomBar::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskBottomBar::modes_data()
{
    QTest::addColumn<bool>("multiColumn");
    QTest::addColumn<bool>("settings");
    QTest::addColumn<bool>("filter");
    QTest::newRow("single, feeds") << false << false << true;
    QTest::newRow("single, settings") << false << true << false;
    QTest::newRow("multi, feeds") << true << false << false;
    QTest::newRow("multi, settings") << true << true << false;
}

void TestMeskBottomBar::modes()
{
    QFETCH(bool, multiColumn);
    QFETCH(bool, settings);
    QFETCH(bool, filter);
    // Built in the other column mode, then switched, and a round trip through the other page.
    CMeskBottomBar bar(!multiColumn);
    if (multiColumn)
        bar.setMultiColumnMode();
    else
        bar.setSingleColumnMode();
    bar.showSettingsMode();
    bar.showFeedsMode();
    if (settings)
        bar.showSettingsMode();
    QCOMPARE(bar.filterBox()->isVisibleTo(&bar), filter);
    QCOMPARE(bar.saveButton()->isVisibleTo(&bar), settings);
    QCOMPARE(bar.cancelButton()->isVisibleTo(&bar), settings);
    QVERIFY(bar.viewModeSwitch()->isVisibleTo(&bar) && bar.viewModeSwitch()->isEnabled());
    QVERIFY(bar.settingsButtonWidget()->isVisibleTo(&bar) && bar.settingsButtonWidget()->isEnabled());

    QSignalSpy save(&bar, &CMeskBottomBar::saveSettings);
    QSignalSpy close(&bar, &CMeskBottomBar::closeSettings);
    QSignalSpy settingsButton(&bar, &CMeskBottomBar::settingsButton);
    bar.saveButton()->click();
    bar.cancelButton()->click();
    bar.settingsButtonWidget()->click();
    QCOMPARE(save.count() + close.count() * 10 + settingsButton.count() * 100, 111);
}

void TestMeskBottomBar::viewModeSwitch()
{
    CMeskBottomBar bar(true);
    QSignalSpy single(&bar, &CMeskBottomBar::singleColumnMode);
    QSignalSpy multi(&bar, &CMeskBottomBar::multiColumnMode);
    QCoreApplication::processEvents();
    CMeskViewModeSwitch* modes = bar.viewModeSwitch();
    QCOMPARE(modes->optionCount(), 2);
    QCOMPARE(modes->selected(), 1);
    QCOMPARE(multi.count(), 0);
    QCOMPARE(single.count(), 0);
    // The segment already on reports its mode again.
    QTest::mouseClick(modes->button(1), Qt::LeftButton);
    QTest::mouseClick(modes->button(1), Qt::LeftButton);
    QCOMPARE(multi.count(), 2);
    QTest::mouseClick(modes->button(0), Qt::LeftButton);
    QCOMPARE(single.count(), 1);
    QCOMPARE(modes->selected(), 0);

    CMeskViewModeSwitch built(false);
    QCOMPARE(built.selected(), 0);
}

void TestMeskBottomBar::scrollerPresses()
{
    CMeskColumnHScroll scroller;
    scroller.resize(1080, 10);
    scroller.setColumns(3, 5);
    scroller.setCurrentColumn(0);
    QCOMPARE(scroller.height(), 10);
    QCOMPARE(scroller.handleWidth(), 648);
    QCOMPARE(scroller.step(), 216.0);
    QSignalSpy spy(&scroller, &CMeskColumnHScroll::scrollColumns);
    const struct
    {
        int x;
        QList<int> emitted;
        int handleX;
    } presses[] = {{900, {1}, 216}, {1000, {1, 2}, 432}, {1079, {1, 2}, 432}};
    for (const auto& press : presses) {
        mouse(&scroller, QEvent::MouseButtonPress, press.x);
        mouse(&scroller, QEvent::MouseButtonRelease, press.x);
        QCOMPARE(columnsOf(spy), press.emitted);
        QCOMPARE(scroller.handleX(), press.handleX);
    }
    // Left of the handle: back one column; another button: nothing.
    mouse(&scroller, QEvent::MouseButtonPress, 10, Qt::RightButton);
    QCOMPARE(spy.count(), 2);
    mouse(&scroller, QEvent::MouseButtonPress, 10);
    QCOMPARE(scroller.currentColumn(), 1);
}

void TestMeskBottomBar::scrollerDrags_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("travel");
    QTest::addColumn<QList<int>>("emitted");
    QTest::addColumn<int>("released");
    QTest::newRow("+130: ratio 0.60") << 0 << 130 << QList<int>{0} << 0;
    QTest::newRow("+216: one step") << 0 << 216 << QList<int>{1} << 216;
    QTest::newRow("+100: below 0.6") << 0 << 100 << QList<int>{} << 0;
    QTest::newRow("far right") << 0 << 2000 << QList<int>{2} << 432;
    QTest::newRow("far left") << 2 << -2000 << QList<int>{0} << 0;
    QTest::newRow("-216 from column 1") << 1 << -216 << QList<int>{0} << 0;
}

void TestMeskBottomBar::scrollerDrags()
{
    QFETCH(int, column);
    QFETCH(int, travel);
    QFETCH(QList<int>, emitted);
    QFETCH(int, released);
    CMeskColumnHScroll scroller;
    scroller.resize(1080, 10);
    scroller.setColumns(3, 5);
    scroller.setCurrentColumn(column);
    QSignalSpy spy(&scroller, &CMeskColumnHScroll::scrollColumns);
    const int start = scroller.handleX() + 300;
    mouse(&scroller, QEvent::MouseButtonPress, start);
    QCOMPARE(spy.count(), 0);
    mouse(&scroller, QEvent::MouseMove, start + travel);
    QCOMPARE(columnsOf(spy), emitted);
    QVERIFY(scroller.handleX() >= 0 && scroller.handleX() <= 432);
    mouse(&scroller, QEvent::MouseButtonRelease, start + travel);
    QCOMPARE(scroller.handleX(), released);
}

void TestMeskBottomBar::scrollerColumnsAndRange()
{
    CMeskColumnHScroll scroller;
    scroller.resize(1080, 10);
    scroller.setColumns(3, 7);
    scroller.setCurrentColumn(4);
    QCOMPARE(scroller.currentColumn(), 4);
    QSignalSpy spy(&scroller, &CMeskColumnHScroll::scrollColumns);
    scroller.setColumns(3, 5);
    QCOMPARE(scroller.currentColumn(), 2);
    scroller.setCurrentColumn(-1);
    scroller.setCurrentColumn(3);
    QCOMPARE(scroller.currentColumn(), 2);
    QCOMPARE(spy.count(), 0);
    scroller.setCurrentColumn(1);
    QCOMPARE(columnsOf(spy), QList<int>{1});
    QCOMPARE(scroller.handleX(), 216);
    // The handle is drawn where it is.
    const QImage image = scroller.grab().toImage();
    QVERIFY(image.pixel(540, 5) != image.pixel(100, 5));
}

void TestMeskBottomBar::nothingToScroll_data()
{
    QTest::addColumn<int>("visible");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("width");
    QTest::newRow("3 of 2") << 3 << 2 << 1080;
    QTest::newRow("3 of 3") << 3 << 3 << 1080;
    QTest::newRow("3 of 5, no width") << 3 << 5 << 0;
}

void TestMeskBottomBar::nothingToScroll()
{
    QFETCH(int, visible);
    QFETCH(int, total);
    QFETCH(int, width);
    QWidget background;
    background.resize(1080, 10);
    auto* scroller = new CMeskColumnHScroll(&background);
    scroller->setGeometry(0, 0, width, 10);
    const QImage empty = background.grab().toImage();
    scroller->setColumns(visible, total);
    QCOMPARE(scroller->currentColumn(), 0);
    QSignalSpy spy(scroller, &CMeskColumnHScroll::scrollColumns);
    for (int x : {0, 500, 1079}) {
        mouse(scroller, QEvent::MouseButtonPress, x);
        mouse(scroller, QEvent::MouseButtonRelease, x);
    }
    mouse(scroller, QEvent::MouseButtonPress, 0);
    mouse(scroller, QEvent::MouseMove, 300);
    mouse(scroller, QEvent::MouseButtonRelease, 300);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(scroller->currentColumn(), 0);
    QCOMPARE(background.grab().toImage(), empty);
}

QTEST_MAIN(TestMeskBottomBar)
#include "tst_meskbottombar.moc"
