// The main window's title bar: caption buttons and the system menu.

#include "mainwindow/meskmaintitlebar.h"
#include "meskuistyle.h"
#include "widgets/quorbuttons.h"

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
    void menuAndButtonsActOnTheWindow();
};

void TestMeskMainTitleBar::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
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
    const QPoint origin =
        area.topLeft() + QPoint((area.width() - pixmap.width()) / 2, (area.height() - pixmap.height()) / 2);
    const QRect expected = boxOf(pixmap, nullptr).translated(origin);
    const QRect actual = boxOf(with, &without);
    QVERIFY2(!expected.isEmpty(), "the caption image is empty");
    const auto text = [](const QRect& r) {
        return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QVERIFY2(qAbs(actual.left() - expected.left()) <= 1 && qAbs(actual.top() - expected.top()) <= 1 &&
                 qAbs(actual.right() - expected.right()) <= 1 &&
                 qAbs(actual.bottom() - expected.bottom()) <= 1,
             qPrintable(QGuiApplication::platformName() + QStringLiteral(": drawn at ") + text(actual) +
                        QStringLiteral(", expected ") + text(expected)));
}

void TestMeskMainTitleBar::systemMenu_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("opener");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("above");
    QTest::addColumn<bool>("restore");
    const int normal = Qt::WindowNoState;
    const int minimized = Qt::WindowMinimized;
    const int both = Qt::WindowMinimized | Qt::WindowMaximized;
    const QString system = QStringLiteral("system");
    const QString taskbar = QStringLiteral("taskbar");
    QTest::newRow("normal") << normal << system << true << false << false;
    QTest::newRow("minimized and maximized") << both << system << true << false << false;
    QTest::newRow("minimized") << minimized << system << true << true << true;
    QTest::newRow("taskbar, normal") << normal << taskbar << true << true << false;
    QTest::newRow("taskbar, minimized") << minimized << taskbar << true << true << true;
    QTest::newRow("right release") << normal << QStringLiteral("right") << true << false << false;
    QTest::newRow("left release") << normal << QStringLiteral("left") << false << false << false;
}

void TestMeskMainTitleBar::systemMenu()
{
    QFETCH(int, state);
    QFETCH(QString, opener);
    QFETCH(bool, opens);
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

    if (opener == QLatin1String("taskbar")) {
        bar.showTaskbarMenu();
    } else if (opener == QLatin1String("system")) {
        bar.showSystemMenu();
    } else {
        const QPointF local(200, 10);
        QMouseEvent release(QEvent::MouseButtonRelease, local, bar.mapToGlobal(local),
                            opener == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(&bar, &release);
    }
    QCoreApplication::processEvents();
    CQuorMenu* menu = bar.systemMenu();
    QCOMPARE(menu->isVisible(), opens);
    if (!opens)
        return;
    QCOMPARE(menu->pos(), above ? QPoint(300, 300 - menu->height()) : QPoint(300, 300));
    QCOMPARE(bar.restoreAction()->isEnabled(), restore);
    QCOMPARE(bar.minimizeAction()->isEnabled(), !restore);
    QVERIFY(bar.exitAction()->isEnabled());
    menu->hide();
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
    QTRY_COMPARE_WITH_TIMEOUT(window.windowState(), Qt::WindowMinimized, 30000);
    bar.restoreAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(window.windowState(), Qt::WindowNoState, 30000);
    bar.exitAction()->trigger();
    QCOMPARE(window.closes, 1);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestMeskMainTitleBar)
#include "tst_meskmaintitlebar.moc"
