// The toast and the post dialogs' shadows on a real X display: the toast leaves the focus where
// it was, and with a compositing manager the tab-shaped window casts its shadows next to the
// toast in the corner (the screen is saved for review).

#include "compositingwatch.h"
#include "mesknotification.h"
#include "meskshadow.h"
#include "meskuistyle.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QTest>

#include <csignal>

namespace {

const QColor kBackdrop(96, 144, 200);

class Backdrop : public QWidget
{
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        QPalette palette;
        palette.setColor(QPalette::Window, kBackdrop);
        setPalette(palette);
        setAutoFillBackground(true);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }
};

// A frameless window shaped like the post dialogs: a tab above a body, masked by the style, with
// one shadow per rectangle rebuilt whenever it changes its size.
class TabWindow : public QWidget
{
public:
    static constexpr int TabWidth = 120;
    static constexpr int TabHeight = 30;

    TabWindow() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.postupdatewidget"));
        setProperty("tabWidth", TabWidth);
        setProperty("tabHeight", TabHeight);
        setAutoFillBackground(true);
        m_shadow = new CMeskComplexShadow(this);
    }

    QRect bodyRect() const { return QRect(0, TabHeight, width(), height() - TabHeight); }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        QStyleOption option(1);
        option.initFrom(this);
        QStyleHintReturnMask mask;
        if (style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, this, &mask))
            setMask(mask.region);
        m_shadow->clear();
        m_shadow->addShadow(QRect(0, 0, TabWidth, TabHeight));
        m_shadow->addShadow(bodyRect());
    }

private:
    CMeskComplexShadow* m_shadow;
};

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

bool darker(QRgb pixel)
{
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel) <
           kBackdrop.red() + kBackdrop.green() + kBackdrop.blue();
}

} // namespace

class TestMeskToastScreen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
        QApplication::setStyle(new CMeskUiStyle);
    }

    void cleanupTestCase()
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_compositor.processId()), SIGTERM);
            m_compositor.waitForFinished(3000);
        }
    }

    void toastLeavesFocusAlone()
    {
        QWidget other;
        other.setGeometry(100, 100, 300, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        // A bare X server has no window manager to activate the window.
        other.activateWindow();
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), other.windowHandle(), 30000);

        CMeskNotification toast;
        toast.setFadeDuration(1);
        toast.showNotification(QStringLiteral("New message"), QPixmap(), QPixmap());
        QVERIFY(QTest::qWaitForWindowExposed(&toast));
        QTest::qWait(200);
        QCOMPARE(QGuiApplication::focusWindow(), other.windowHandle());
        QVERIFY(!QApplication::activePopupWidget());
    }

    // The last test: it leaves a compositing manager running until the end.
    void shadowsAndToastOnScreen()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
        if (program.isEmpty())
            QSKIP("xcompmgr is not installed (scripts/install-deps.sh installs it)");
        Backdrop backdrop;
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        if (!CCompositingWatch::instance()->isActive()) {
            m_compositor.start(program, {});
            QVERIFY(m_compositor.waitForStarted(30000));
            QTRY_VERIFY_WITH_TIMEOUT(CCompositingWatch::instance()->isActive(), 30000);
        }

        TabWindow window;
        window.setGeometry(300, 200, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(360, 250);
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(360, 250), 30000);

        CMeskNotification toast;
        toast.setFadeDuration(1);
        toast.setHideDelay(60000);
        toast.showNotification(QStringLiteral("<b>Ann</b> wrote: Tom &amp; Ann are here"), QPixmap(),
                               QPixmap());
        QVERIFY(QTest::qWaitForWindowExposed(&toast));

        const QPoint origin = window.pos();
        const QPoint leftOfTab = origin + QPoint(-7, TabWindow::TabHeight / 2);
        const QPoint belowBody = origin + QPoint(window.width() / 2, window.height() - 1 + 9);
        // The compositor draws what the windows painted in its own time.
        QImage screen;
        // A missing shadow is reported below, with the colours seen.
        (void)QTest::qWaitFor(
            [&] {
                screen = grabScreen();
                return darker(screen.pixel(leftOfTab)) && darker(screen.pixel(belowBody));
            },
            30000);
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        const QString file = QStringLiteral(LUMESK_SCREENSHOT_DIR "/mesktoastscreen.png");
        QVERIFY(screen.save(file));
        qInfo() << "screen saved to" << file;

        QVERIFY2(darker(screen.pixel(leftOfTab)), qPrintable(QColor(screen.pixel(leftOfTab)).name()));
        QVERIFY2(darker(screen.pixel(belowBody)), qPrintable(QColor(screen.pixel(belowBody)).name()));
        // The backdrop itself stays as it was away from every window.
        QCOMPARE(QColor(screen.pixel(origin + QPoint(-60, -60))), kBackdrop);
    }

private:
    QProcess m_compositor;
};

QTEST_MAIN(TestMeskToastScreen)
#include "tst_mesktoastscreen.moc"
