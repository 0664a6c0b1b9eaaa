// The main window's title bar: caption buttons and the system menu.

#include "meskmaintitlebar.h"
#include "meskuistyle.h"
#include "quorbuttons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

namespace {

class CClosingWindow : public QWidget
{
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closes;
        QWidget::closeEvent(event);
    }
};

QRect boxOf(const QImage& a, const QImage* b)
{
    QRect box;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (b ? a.pixel(x, y) != b->pixel(x, y) : qAlpha(a.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QImage argb(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestMeskMainTitleBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void captionButtonsShowTheirIconOnly_data();
    void captionButtonsShowTheirIconOnly();
    void systemMenu_data();
    void systemMenu();
    void releaseOpensMenuOnRightButtonOnly_data();
    void releaseOpensMenuOnRightButtonOnly();
    void menuAndButtonsActOnTheWindow();

private:
    void closeMenu(CMeskMainTitleBar& bar);
};

void TestMeskMainTitleBar::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskMainTitleBar::closeMenu(CMeskMainTitleBar& bar)
{
    bar.systemMenu()->hide();
    QCoreApplication::processEvents();
}

void TestMeskMainTitleBar::captionButtonsShowTheirIconOnly_data()
{
    QTest::addColumn<bool>("close");
    QTest::newRow("Minimize") << false;
    QTest::newRow("Close") << true;
}

// On a real X server (and offscreen): the whole icon, centred, and no text line.
void TestMeskMainTitleBar::captionButtonsShowTheirIconOnly()
{
    QFETCH(bool, close);
    QWidget window;
    CMeskMainTitleBar bar(&window);
    bar.setTitle(QStringLiteral("Velto Lumesk"));
    bar.resize(400, bar.height());
    bar.layout()->activate();
    QToolButton* button = close ? bar.closeButton() : bar.minimizeButton();
    QVERIFY(!button->defaultAction()->text().isEmpty());
    QCOMPARE(button->toolTip(), button->defaultAction()->text());

    const QImage with = argb(bar.grab());
    const QRect area = button->geometry();
    // The other button keeps its place.
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    button->hide();
    const QImage without = argb(bar.grab());

    const auto id = close ? QStyle::SP_TitleBarCloseButton : QStyle::SP_TitleBarMinButton;
    const QImage pixmap = argb(bar.style()->standardPixmap(id, nullptr, button));
    const QPoint origin = area.topLeft() + QPoint((area.width() - pixmap.width()) / 2,
                                                  (area.height() - pixmap.height()) / 2);
    const QRect expected = boxOf(pixmap, nullptr).translated(origin);
    const QRect actual = boxOf(with, &without);
    QVERIFY2(!expected.isEmpty(), "the caption image is empty");
    QVERIFY2(qAbs(actual.left() - expected.left()) <= 1 && qAbs(actual.top() - expected.top()) <= 1 &&
                 qAbs(actual.right() - expected.right()) <= 1 &&
                 qAbs(actual.bottom() - expected.bottom()) <= 1,
             qPrintable(QStringLiteral("%1: drawn at (%2,%3 %4x%5), expected (%6,%7 %8x%9)")
                            .arg(QGuiApplication::platformName())
                            .arg(actual.x())
                            .arg(actual.y())
                            .arg(actual.width())
                            .arg(actual.height())
                            .arg(expected.x())
                            .arg(expected.y())
                            .arg(expected.width())
                            .arg(expected.height())));
}

void TestMeskMainTitleBar::systemMenu_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("taskbar");
    QTest::addColumn<bool>("above");
    QTest::addColumn<bool>("restore");
    const int minimized = Qt::WindowMinimized;
    const int both = Qt::WindowMinimized | Qt::WindowMaximized;
    QTest::newRow("normal") << int(Qt::WindowNoState) << false << false << false;
    QTest::newRow("minimized and maximized") << both << false << false << false;
    QTest::newRow("minimized") << minimized << false << true << true;
    QTest::newRow("taskbar, normal") << int(Qt::WindowNoState) << true << true << false;
    QTest::newRow("taskbar, minimized") << minimized << true << true << true;
}

void TestMeskMainTitleBar::systemMenu()
{
    QFETCH(int, state);
    QFETCH(bool, taskbar);
    QFETCH(bool, above);
    QFETCH(bool, restore);
    QWidget window;
    CMeskMainTitleBar bar(&window);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setWindowState(Qt::WindowStates(state));
    QCOMPARE(int(window.windowState()), state);
    QCursor::setPos(300, 300);

    if (taskbar)
        bar.showTaskbarMenu();
    else
        bar.showSystemMenu();
    CQuorMenu* menu = bar.systemMenu();
    QTRY_VERIFY(menu->isVisible());
    const QPoint expected = above ? QPoint(300, 300 - menu->height()) : QPoint(300, 300);
    QCOMPARE(menu->pos(), expected);
    QCOMPARE(bar.restoreAction()->isEnabled(), restore);
    QCOMPARE(bar.minimizeAction()->isEnabled(), !restore);
    QVERIFY(bar.exitAction()->isEnabled());
    closeMenu(bar);
}

void TestMeskMainTitleBar::releaseOpensMenuOnRightButtonOnly_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("opens");
    QTest::newRow("right") << int(Qt::RightButton) << true;
    QTest::newRow("left") << int(Qt::LeftButton) << false;
}

void TestMeskMainTitleBar::releaseOpensMenuOnRightButtonOnly()
{
    QFETCH(int, button);
    QFETCH(bool, opens);
    QWidget window;
    CMeskMainTitleBar bar(&window);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCursor::setPos(300, 300);
    const QPointF local(200, 10);
    QMouseEvent release(QEvent::MouseButtonRelease, local, bar.mapToGlobal(local), Qt::MouseButton(button),
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &release);
    QCoreApplication::processEvents();
    QCOMPARE(bar.systemMenu()->isVisible(), opens);
    if (opens)
        QCOMPARE(bar.systemMenu()->pos(), QPoint(300, 300));
    closeMenu(bar);
}

void TestMeskMainTitleBar::menuAndButtonsActOnTheWindow()
{
    CClosingWindow window;
    CMeskMainTitleBar bar(&window);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The system menu's Exit names Alt+F4 without taking the key from the window manager.
    QVERIFY(bar.exitAction()->text().endsWith(QStringLiteral("\tALT+F4")));
    QVERIFY(bar.exitAction()->shortcut().isEmpty());

    QTest::mouseClick(bar.minimizeButton(), Qt::LeftButton);
    QTRY_COMPARE(window.windowState(), Qt::WindowMinimized);
    bar.restoreAction()->trigger();
    QTRY_COMPARE(window.windowState(), Qt::WindowNoState);
    bar.exitAction()->trigger();
    QCOMPARE(window.closes, 1);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestMeskMainTitleBar)
#include "tst_meskmaintitlebar.moc"
