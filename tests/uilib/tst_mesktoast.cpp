// The toast on the offscreen platform: placement, contents, fades and the hide delay.

#include "effects/fadeeffect.h"
#include "mesknotification.h"
#include "meskuistyle.h"
#include "windows/layeredwndsurface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTimeLine>
#include <QToolButton>
#include <QtTest>

namespace {

QPixmap filled(const QColor& colour, const QSize& size)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

int surfaceAlpha(const QWidget& window)
{
    const CLayeredWndSurface* surface = CLayeredWndSurface::of(&window);
    return surface ? surface->alpha() : -1;
}

} // namespace

class TestMeskToast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }

    void showsInCornerWithoutGrab()
    {
        CMeskNotification toast;
        toast.setFadeDuration(1);
        toast.setHideDelay(60000);
        const QPixmap avatar = filled(Qt::red, QSize(48, 48));
        const QPixmap logo = filled(Qt::blue, QSize(16, 16));
        toast.showNotification(QStringLiteral("hi"), avatar, logo);

        const QPoint corner = QGuiApplication::primaryScreen()->availableGeometry().bottomRight();
        QCOMPARE(toast.size(), QSize(350, 130));
        QCOMPARE(toast.pos(), corner - QPoint(350, 130));
        QVERIFY(toast.isVisible());
        QCOMPARE(toast.textLabel()->text(), QStringLiteral("hi"));
        QCOMPARE(toast.avatarLabel()->pixmap().toImage(), avatar.toImage());
        QCOMPARE(toast.logoLabel()->pixmap().toImage(), logo.toImage());
        // Escaped markup without a tag in its first line still shows as text, not as entities.
        QCOMPARE(toast.textLabel()->textFormat(), Qt::RichText);
        QVERIFY(!QApplication::activePopupWidget());

        // A second call on the visible toast replaces the contents in place.
        const QPoint shownAt = toast.pos();
        toast.showNotification(QStringLiteral("Tom &amp; Ann"), QPixmap(), QPixmap());
        QCOMPARE(toast.pos(), shownAt);
        QCOMPARE(toast.textLabel()->text(), QStringLiteral("Tom &amp; Ann"));
        QVERIFY(toast.avatarLabel()->pixmap().isNull());

        // The close button hides it at once, and the hide delay finds nothing to do.
        toast.setHideDelay(20);
        toast.showNotification(QStringLiteral("again"), QPixmap(), QPixmap());
        QTest::mouseClick(toast.closeButton(), Qt::LeftButton);
        QVERIFY(!toast.isVisible());
        QTest::qWait(100);
        QVERIFY(!toast.isVisible());
    }

    void fadesInAndOut()
    {
        CMeskNotification toast;
        toast.setFadeDuration(10000);
        toast.setHideDelay(50);
        toast.showNotification(QStringLiteral("hi"), QPixmap(), QPixmap());
        QTimeLine* timeLine = toast.fadeEffect()->timeLine();
        QVERIFY(toast.isVisible());
        QCOMPARE(surfaceAlpha(toast), 0);
        timeLine->setCurrentTime(10000);
        QCOMPARE(surfaceAlpha(toast), 255);

        QTRY_VERIFY_WITH_TIMEOUT(toast.fadeEffect()->isBackward() && toast.fadeEffect()->isRunning(), 30000);
        QVERIFY(toast.isVisible());
        timeLine->setCurrentTime(0);
        QVERIFY(!toast.isVisible());

        // The next toast starts transparent again.
        toast.setHideDelay(60000);
        toast.showNotification(QStringLiteral("next"), QPixmap(), QPixmap());
        QVERIFY(toast.isVisible());
        QCOMPARE(surfaceAlpha(toast), 0);
    }

    // A toast shown again stays its whole time, counted from the latest call.
    void laterCallRestartsHideDelay()
    {
        CMeskNotification toast;
        toast.setFadeDuration(10000);
        toast.setHideDelay(300);
        // The fade's direction is watched: its first frames back may not change the frame number.
        QElapsedTimer sinceSecondCall;
        qint64 fadeOutAfter = -1;
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (fadeOutAfter < 0 && toast.fadeEffect()->isBackward())
                fadeOutAfter = sinceSecondCall.elapsed();
        });
        toast.showNotification(QStringLiteral("first"), QPixmap(), QPixmap());
        QTest::qWait(200);
        toast.showNotification(QStringLiteral("second"), QPixmap(), QPixmap());
        sinceSecondCall.start();
        watch.start();
        QTRY_VERIFY_WITH_TIMEOUT(fadeOutAfter >= 0, 30000);
        QVERIFY2(fadeOutAfter >= 270, qPrintable(QString::number(fadeOutAfter)));
    }
};

QTEST_MAIN(TestMeskToast)
#include "tst_mesktoast.moc"
