#include "fakesystemwindow.h"
#include "windows/quordraggabletitlebar.h"
#include "windows/quorresizeframe.h"
#include "windows/quorsystemmenu.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& global,
               Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
    QMouseEvent event(type, widget->mapFromGlobal(QPointF(global)), QPointF(global), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

constexpr Qt::WindowFlags kCaptionHints = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;

// Closes the next menu that opens, after noting where it opened.
struct MenuCloser : QObject
{
    explicit MenuCloser(QMenu* menu) : menu(menu)
    {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            ++shown;
            QTimer::singleShot(0, this, [this] {
                position = this->menu->pos();
                this->menu->close();
            });
        });
    }
    QMenu* menu;
    int shown = 0;
    QPoint position;
};

} // namespace

class TestTitleBar : public QObject
{
    Q_OBJECT

private slots:
    void heightAndRole();
    void windowLosesNativeCaption_data();
    void windowLosesNativeCaption();
    void resizableAddsResizeFrame();
    void nestedParentChangesNothing();
    void maximisedWindowIsNotDragged();
    void manualDragMovesByTravel();
    void windowManagerTakesOneMovePerDrag();
    void clickWithoutMoveStartsNoMove();

    void systemMenuSize();
    void systemMenuWithoutMenu();
    void systemMenuDoublePress();
    void systemMenuPosition_data();
    void systemMenuPosition();
};

void TestTitleBar::heightAndRole()
{
    QWidget window;
    CQuorDraggableTitleBar bar(&window);
    QCOMPARE(bar.height(), bar.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &bar));
    QCOMPARE(bar.minimumHeight(), bar.maximumHeight());
    QCOMPARE(bar.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(bar.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(bar.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.mainWindow.titleBar"));
    QVERIFY(!bar.resizeFrame());
}

void TestTitleBar::windowLosesNativeCaption_data()
{
    QTest::addColumn<Qt::WindowFlags>("initial");
    QTest::newRow("default window") << Qt::WindowFlags(Qt::Window);
    QTest::newRow("every caption hint")
        << (Qt::Window | kCaptionHints | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    QTest::newRow("dialog") << Qt::WindowFlags(Qt::Dialog);
    QTest::newRow("stays on top") << (Qt::Window | Qt::WindowStaysOnTopHint);
}

void TestTitleBar::windowLosesNativeCaption()
{
    QFETCH(Qt::WindowFlags, initial);
    QWidget window(nullptr, initial);
    new CQuorDraggableTitleBar(&window);
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(!(flags & kCaptionHints));
    QCOMPARE(window.windowType(), initial & Qt::WindowType_Mask);
    QCOMPARE(bool(flags & Qt::WindowStaysOnTopHint), bool(initial & Qt::WindowStaysOnTopHint));
}

void TestTitleBar::resizableAddsResizeFrame()
{
    QWidget window;
    window.resize(300, 200);
    auto* bar = new CQuorDraggableTitleBar(&window, true);
    QVERIFY(bar->resizeFrame());
    QCOMPARE(bar->resizeFrame()->parent(), bar);
    QCOMPARE(bar->findChildren<CQuorResizeFrame*>().size(), 1);
    QCOMPARE(bar->resizeFrame()->widget(), &window);
    QCOMPARE(bar->resizeFrame()->overlay()->parentWidget(), &window);

    // A bar without a parent gets no resize frame even when asked.
    CQuorDraggableTitleBar lone(nullptr, true);
    QVERIFY(!lone.resizeFrame());
}

void TestTitleBar::nestedParentChangesNothing()
{
    FakeSystemWindow fake(true);
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    auto* inner = new QWidget(&window);
    const Qt::WindowFlags windowFlags = window.windowFlags();
    const Qt::WindowFlags innerFlags = inner->windowFlags();
    auto* bar = new CQuorDraggableTitleBar(inner);
    bar->setGeometry(0, 0, 300, 30);
    window.show();
    QCOMPARE(window.windowFlags(), windowFlags);
    QCOMPARE(inner->windowFlags(), innerFlags);

    const QPoint windowPos = window.pos();
    const QPoint innerPos = inner->pos();
    sendMouse(bar, QEvent::MouseButtonPress, QPoint(110, 110));
    QVERIFY(bar->isDragging());
    sendMouse(bar, QEvent::MouseMove, QPoint(150, 140));
    sendMouse(bar, QEvent::MouseButtonRelease, QPoint(150, 140));
    QVERIFY(fake.moves().isEmpty());
    QCOMPARE(window.pos(), windowPos);
    QCOMPARE(inner->pos(), innerPos);
}

void TestTitleBar::maximisedWindowIsNotDragged()
{
    FakeSystemWindow fake(false);
    QWidget window;
    auto* bar = new CQuorDraggableTitleBar(&window);
    window.showMaximized();
    const QPoint before = window.pos();
    sendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 10));
    QVERIFY(!bar->isDragging());
    sendMouse(bar, QEvent::MouseMove, QPoint(60, 60));
    QVERIFY(fake.moves().isEmpty());
    QCOMPARE(window.pos(), before);
}

void TestTitleBar::manualDragMovesByTravel()
{
    FakeSystemWindow fake(false);
    QWidget window;
    window.setGeometry(200, 150, 300, 200);
    auto* bar = new CQuorDraggableTitleBar(&window);
    bar->setGeometry(0, 0, 300, bar->height());
    window.show();
    const QPoint before = window.pos();

    // Only the left button drags.
    sendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 10), Qt::RightButton);
    QVERIFY(!bar->isDragging());

    sendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 10));
    QVERIFY(bar->isDragging());
    sendMouse(bar, QEvent::MouseMove, QPoint(40, 25));
    QCOMPARE(fake.moves().size(), 1);
    QCOMPARE(fake.moves().first().data(), &window);
    QCOMPARE(window.pos(), before + QPoint(30, 15));
    sendMouse(bar, QEvent::MouseMove, QPoint(45, 20));
    QCOMPARE(window.pos(), before + QPoint(35, 10));
    QCOMPARE(fake.moves().size(), 1);

    sendMouse(bar, QEvent::MouseButtonRelease, QPoint(45, 20));
    QVERIFY(!bar->isDragging());
    sendMouse(bar, QEvent::MouseMove, QPoint(100, 100));
    QCOMPARE(window.pos(), before + QPoint(35, 10));
}

void TestTitleBar::windowManagerTakesOneMovePerDrag()
{
    FakeSystemWindow fake(true);
    QWidget window;
    window.setGeometry(200, 150, 300, 200);
    auto* bar = new CQuorDraggableTitleBar(&window);
    window.show();
    const QPoint before = window.pos();
    for (int drag = 1; drag <= 2; ++drag) {
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 10));
        sendMouse(bar, QEvent::MouseMove, QPoint(20, 20));
        sendMouse(bar, QEvent::MouseMove, QPoint(30, 30));
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(30, 30));
        QCOMPARE(fake.moves().size(), drag);
    }
    QCOMPARE(window.pos(), before);
}

void TestTitleBar::clickWithoutMoveStartsNoMove()
{
    FakeSystemWindow fake(true);
    QWidget window;
    auto* bar = new CQuorDraggableTitleBar(&window);
    window.show();
    sendMouse(bar, QEvent::MouseButtonPress, QPoint(10, 10));
    sendMouse(bar, QEvent::MouseButtonRelease, QPoint(10, 10));
    QVERIFY(fake.moves().isEmpty());
}

void TestTitleBar::systemMenuSize()
{
    CQuorSystemMenu icon;
    QCOMPARE(icon.size(), icon.style()->standardPixmap(QStyle::SP_TitleBarMenuButton, nullptr, &icon).size());
    QCOMPARE(icon.minimumSize(), icon.maximumSize());
    QCOMPARE(icon.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.mainWindow.systemMenu"));
}

void TestTitleBar::systemMenuWithoutMenu()
{
    CQuorSystemMenu icon;
    QSignalSpy spy(&icon, &CQuorSystemMenu::doubleClicked);
    sendMouse(&icon, QEvent::MouseButtonPress, QPoint(1, 1));
    sendMouse(&icon, QEvent::MouseButtonPress, QPoint(1, 1));
    QCOMPARE(spy.size(), 0);
    sendMouse(&icon, QEvent::MouseButtonDblClick, QPoint(1, 1));
    QCOMPARE(spy.size(), 1);
}

void TestTitleBar::systemMenuDoublePress()
{
    QWidget window;
    window.setGeometry(100, 100, 200, 100);
    auto* icon = new CQuorSystemMenu(&window);
    QMenu menu;
    menu.addAction("Restore");
    icon->setMenu(&menu);
    QCOMPARE(icon->menu(), &menu);
    window.show();
    MenuCloser closer(&menu);
    QSignalSpy spy(icon, &CQuorSystemMenu::doubleClicked);

    sendMouse(icon, QEvent::MouseButtonPress, icon->mapToGlobal(QPoint(2, 2)));
    QCOMPARE(closer.shown, 1);
    QCOMPARE(spy.size(), 0);
    sendMouse(icon, QEvent::MouseButtonPress, icon->mapToGlobal(QPoint(2, 2)));
    QCOMPARE(closer.shown, 1);
    QCOMPARE(spy.size(), 1);

    // Past the double-click interval a press opens the menu again.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    sendMouse(icon, QEvent::MouseButtonPress, icon->mapToGlobal(QPoint(2, 2)));
    QCOMPARE(closer.shown, 2);
    QCOMPARE(spy.size(), 1);
}

void TestTitleBar::systemMenuPosition_data()
{
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::newRow("left-to-right") << Qt::LeftToRight;
    QTest::newRow("right-to-left") << Qt::RightToLeft;
}

void TestTitleBar::systemMenuPosition()
{
    QFETCH(Qt::LayoutDirection, direction);
    QWidget window;
    window.setGeometry(300, 100, 200, 100);
    auto* icon = new CQuorSystemMenu(&window);
    icon->move(20, 5);
    icon->setLayoutDirection(direction);
    QMenu menu;
    menu.addAction("A fairly long window menu entry");
    icon->setMenu(&menu);
    window.show();
    MenuCloser closer(&menu);

    const QRect global(icon->mapToGlobal(QPoint(0, 0)), icon->size());
    const QPoint expected = direction == Qt::LeftToRight
                                ? QPoint(global.left(), global.bottom() + 1)
                                : QPoint(global.right() - menu.sizeHint().width() + 1, global.bottom() + 1);
    QCOMPARE(icon->menuPosition(), expected);
    sendMouse(icon, QEvent::MouseButtonPress, global.center());
    QCOMPARE(closer.shown, 1);
    QCOMPARE(closer.position, expected);
}

QTEST_MAIN(TestTitleBar)
#include "tst_titlebar.moc"
