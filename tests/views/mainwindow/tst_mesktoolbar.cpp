// The main toolbar: posting buttons, the View button's two forms and the filter box.

#include "mainwindow/mesktoolbar.h"
#include "meskitemwidgets.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct SPopup
{
    bool opened = false;
    QPoint pos;
};

// Ends the next modal menu run: records where it opened and triggers its action at the index
// (none for -1).
void onMenu(SPopup* seen, int action)
{
    QTimer::singleShot(0, [seen, action] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen->opened = true;
        seen->pos = menu->pos();
        if (action >= 0)
            menu->actions().at(action)->trigger();
        menu->close();
    });
}

bool hasColour(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
        }
    }
    return false;
}

} // namespace

class TestMeskToolBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void postingButtons_data();
    void postingButtons();
    void linksGiveWay_data();
    void linksGiveWay();
    void singleColumnMenu_data();
    void singleColumnMenu();
    void multiColumnLinks();
    void standaloneViewButtonOpensNothing();
    void disabledColours();
};

void TestMeskToolBar::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskToolBar::postingButtons_data()
{
    QTest::addColumn<bool>("textMessage");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("emitted");
    QTest::newRow("New Update, left") << false << int(Qt::LeftButton) << 1;
    QTest::newRow("New Update, right") << false << int(Qt::RightButton) << 0;
    QTest::newRow("New Text Message, left") << true << int(Qt::LeftButton) << 1;
    QTest::newRow("New Text Message, right") << true << int(Qt::RightButton) << 0;
}

void TestMeskToolBar::postingButtons()
{
    QFETCH(bool, textMessage);
    QFETCH(int, button);
    QFETCH(int, emitted);
    CMeskToolBar bar(false);
    QSignalSpy update(&bar, &CMeskToolBar::newUpdate);
    QSignalSpy message(&bar, &CMeskToolBar::newTextMessage);
    CMeskToolBarButton* target = textMessage ? bar.newTextMessageButton() : bar.newUpdateButton();
    QCOMPARE(target->label()->text(),
             textMessage ? QStringLiteral("New Text Message") : QStringLiteral("New Update"));
    QTest::mousePress(target, Qt::MouseButton(button));
    QCOMPARE((textMessage ? message : update).count(), emitted);
    QCOMPARE((textMessage ? update : message).count(), 0);
}

void TestMeskToolBar::singleColumnMenu_data()
{
    QTest::addColumn<int>("action");
    QTest::newRow("Images and Videos") << 0;
    QTest::newRow("Links") << 1;
}

void TestMeskToolBar::singleColumnMenu()
{
    QFETCH(int, action);
    CMeskToolBar bar(false);
    bar.resize(700, bar.height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    CMeskViewToolButton* view = bar.viewButton();
    QVERIFY(bar.filterBox()->isHidden());
    QCOMPARE(view->label()->text(), QStringLiteral("View \u00BB"));
    QVERIFY(view->imagesLink()->isHidden() && view->linksLink()->isHidden());
    QCOMPARE(view->cursor().shape(), Qt::PointingHandCursor);

    QSignalSpy deepDive(&bar, &CMeskToolBar::showDeepDiveView);
    QSignalSpy links(&bar, &CMeskToolBar::showLinksView);
    SPopup seen;
    onMenu(&seen, action);
    QTest::mousePress(view, Qt::LeftButton);
    QVERIFY(seen.opened);
    QCOMPARE(seen.pos, view->mapToGlobal(QPoint(view->width() - 10, view->height() - 10)));
    QCOMPARE(deepDive.count(), action == 0 ? 1 : 0);
    QCOMPARE(links.count(), action == 1 ? 1 : 0);
}

void TestMeskToolBar::multiColumnLinks()
{
    CMeskToolBar bar(false);
    bar.setMultiColumnMode();
    bar.resize(700, bar.height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    CMeskViewToolButton* view = bar.viewButton();
    QVERIFY(bar.filterBox()->isVisible());
    QCOMPARE(view->label()->text(), QStringLiteral("View "));
    QVERIFY(view->imagesLink()->isVisible() && view->linksLink()->isVisible());
    QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);

    QSignalSpy deepDive(&bar, &CMeskToolBar::showDeepDiveView);
    QSignalSpy links(&bar, &CMeskToolBar::showLinksView);
    SPopup seen;
    onMenu(&seen, -1);
    QTest::mousePress(view->label(), Qt::LeftButton);
    QTest::qWait(20);
    QVERIFY(!seen.opened);
    QTest::mouseClick(view->imagesLink(), Qt::LeftButton);
    QTest::mouseClick(view->linksLink(), Qt::LeftButton);
    QCOMPARE(deepDive.count(), 1);
    QCOMPARE(links.count(), 1);

    // Back to single-column: the filter box goes (the bottom bar's is used) and the menu returns.
    bar.setSingleColumnMode();
    QVERIFY(bar.filterBox()->isHidden());
    QVERIFY(view->menuMode());
}

void TestMeskToolBar::standaloneViewButtonOpensNothing()
{
    CMeskViewToolButton view;
    view.resize(100, 30);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.menuMode());
    SPopup seen;
    onMenu(&seen, -1);
    QTest::mousePress(&view, Qt::LeftButton);
    QTest::qWait(20);
    QVERIFY(!seen.opened);
}

// The labels' text, as drawn, in the disabled roles once the toolbar is disabled.
void TestMeskToolBar::disabledColours()
{
    CMeskToolBar bar(false);
    bar.resize(700, bar.height());
    QLabel* posting = bar.newUpdateButton()->label();
    QLabel* view = bar.viewButton()->label();
    QVERIFY(hasColour(posting->grab().toImage(), CMeskUiStyle::color(6)));
    QVERIFY(hasColour(view->grab().toImage(), CMeskUiStyle::color(8)));
    bar.setEnabled(false);
    const QImage disabledPosting = posting->grab().toImage();
    const QImage disabledView = view->grab().toImage();
    QVERIFY(hasColour(disabledPosting, CMeskUiStyle::color(7)));
    QVERIFY(!hasColour(disabledPosting, CMeskUiStyle::color(6)));
    QVERIFY(hasColour(disabledView, CMeskUiStyle::color(9)));
    QVERIFY(!hasColour(disabledView, CMeskUiStyle::color(8)));
}

void TestMeskToolBar::linksGiveWay_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("links"); // the View links beside the label, else its menu
    QTest::newRow("one column") << 368 << false;
    QTest::newRow("narrow") << 520 << false;
    QTest::newRow("two columns") << 728 << true;
    QTest::newRow("three columns") << 1088 << true;
}

// In multi-column mode the filter field keeps its width at every strip width; where the links
// have no room the View button takes its menu form, and back when the strip widens again.
void TestMeskToolBar::linksGiveWay()
{
    QFETCH(int, width);
    QFETCH(bool, links);
    // In a window as wide as the main window's, whatever the strip's own minimum.
    QWidget window;
    window.resize(1100, 60);
    CMeskToolBar bar(true, &window);
    bar.resize(1088, bar.height());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int threeColumns = bar.filterBox()->lineEdit()->width();
    for (int i = 0; i < 2; ++i) { // there and back again
        bar.resize(width, bar.height());
        QTRY_COMPARE(bar.viewButton()->menuMode(), !links);
        QCOMPARE(bar.viewButton()->imagesLink()->isVisible(), links);
        QTRY_COMPARE(bar.filterBox()->lineEdit()->width(), threeColumns);
        if (width > 400) { // a one-column strip squeezes the posting buttons, never the field
            // Once the strip has laid itself out anew for the other form.
            QTRY_VERIFY(bar.viewButton()->geometry().right() < bar.filterBox()->x());
            QTRY_VERIFY(bar.filterBox()->geometry().right() < bar.width());
        }
        bar.resize(1088, bar.height());
        QTRY_VERIFY(!bar.viewButton()->menuMode());
    }
}

QTEST_MAIN(TestMeskToolBar)
#include "tst_mesktoolbar.moc"
