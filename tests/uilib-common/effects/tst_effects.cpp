#include "effects/colormorpher.h"
#include "effects/fadeeffect.h"
#include "effects/pixmapbouncer.h"
#include "windows/layeredwndsurface.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimeLine>
#include <QWidget>

namespace {
// Calls an effect's frame slot as the time line would.
void frame(QObject* effect, const char* slot, int value)
{
    QVERIFY(QMetaObject::invokeMethod(effect, slot, Qt::DirectConnection, Q_ARG(int, value)));
}

// A time line whose frames follow its time exactly: frame = time in ms.
QTimeLine* linearTimeLine(QObject* parent, int frames)
{
    auto* timeLine = new QTimeLine(frames, parent);
    timeLine->setEasingCurve(QEasingCurve::Linear);
    return timeLine;
}

struct LayeredWindow
{
    QWidget window{nullptr, Qt::Tool};
    CLayeredWndSurface* surface;
    LayeredWindow()
    {
        window.resize(40, 30);
        CLayeredWndSurface::init(&window);
        surface = new CLayeredWndSurface(&window);
    }
};
} // namespace

class TestEffects : public QObject
{
    Q_OBJECT
private slots:
    void windowFadeInShowsFromZero()
    {
        LayeredWindow w;
        CWindowFadeEffect fade(&w.window);
        QCOMPARE(fade.timeLine()->duration(), 300);
        QCOMPARE(fade.timeLine()->endFrame(), 255);
        fade.setDirection(0);
        fade.fade(300);
        QVERIFY(w.window.isVisible());
        QVERIFY(fade.isRunning());
        QVERIFY(!fade.isBackward());
        QCOMPARE(w.surface->alpha(), quint8(0));
        w.surface->restoreAlpha(); // pinned from the first step on
        QCOMPARE(w.surface->alpha(), quint8(0));
        frame(&fade, "onFadeUpdated", 128);
        QCOMPARE(w.surface->alpha(), quint8(128));
        QVERIFY(w.window.isVisible());
    }

    void windowFadeOutHidesAndResetsAlpha()
    {
        LayeredWindow w;
        auto* timeLine = linearTimeLine(&w.window, 255);
        CWindowFadeEffect fade(&w.window, timeLine);
        fade.fade(255);
        timeLine->setCurrentTime(200);
        QCOMPARE(w.surface->alpha(), quint8(200));
        fade.setDirection(1);
        QVERIFY(fade.isBackward());
        QVERIFY(fade.isRunning());
        timeLine->setCurrentTime(0);
        QVERIFY(!w.window.isVisible());
        QCOMPARE(w.surface->alpha(), quint8(255));
        // The fade owns the alpha now: a remembered hide and restore leave it alone.
        w.surface->setAlpha(0, true);
        w.surface->restoreAlpha();
        QCOMPARE(w.surface->alpha(), quint8(0));
    }

    void windowFadeOutRunsToHidden()
    {
        LayeredWindow w;
        CWindowFadeEffect fade(&w.window);
        w.window.show();
        fade.setDirection(1);
        fade.fade(60);
        QVERIFY(fade.isRunning());
        QVERIFY(w.window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!fade.isRunning(), 30000);
        QVERIFY(!w.window.isVisible());
        QCOMPARE(w.surface->alpha(), quint8(255));
    }

    void fadeWhileRunningOnlyChangesDuration()
    {
        LayeredWindow w;
        auto* timeLine = linearTimeLine(&w.window, 255);
        CWindowFadeEffect fade(&w.window, timeLine);
        fade.fade(255);
        timeLine->setCurrentTime(100);
        const int frameBefore = timeLine->currentFrame();
        QCOMPARE(w.surface->alpha(), quint8(frameBefore));
        fade.fade(600);
        QCOMPARE(timeLine->duration(), 600);
        QCOMPARE(timeLine->currentTime(), 100);
        QVERIFY(fade.isRunning());
        QVERIFY(w.window.isVisible());
        // Hidden meanwhile (a bubble moved to another place): fading in again shows it.
        w.window.hide();
        fade.fade(600);
        QVERIFY(w.window.isVisible());
        QCOMPARE(timeLine->currentTime(), 100);
        timeLine->setCurrentTime(200);
        QCOMPARE(w.surface->alpha(), quint8(timeLine->currentFrame()));
    }

    void reversingKeepsTheCurrentFrame()
    {
        LayeredWindow w;
        auto* timeLine = linearTimeLine(&w.window, 255);
        CWindowFadeEffect fade(&w.window, timeLine);
        fade.fade(255);
        timeLine->setCurrentTime(150);
        const int frameBefore = timeLine->currentFrame();
        fade.setDirection(1);
        QVERIFY(fade.isRunning());
        QVERIFY(fade.isBackward());
        QCOMPARE(timeLine->currentFrame(), frameBefore);
        QCOMPARE(w.surface->alpha(), quint8(frameBefore));
        fade.setDirection(0);
        QVERIFY(!fade.isBackward());
        QCOMPARE(timeLine->currentFrame(), frameBefore);
    }

    void givenTimeLineGetsFullAlphaRange()
    {
        QWidget window;
        QTimeLine timeLine(1000);
        timeLine.setFrameRange(3, 9);
        CWindowFadeEffect fade(&window, &timeLine);
        QCOMPARE(timeLine.startFrame(), 0);
        QCOMPARE(timeLine.endFrame(), 255);
        QCOMPARE(timeLine.duration(), 1000);
        QCOMPARE(fade.timeLine(), &timeLine);
    }

    void windowWithoutSurfaceStillShowsAndHides()
    {
        QWidget window(nullptr, Qt::Tool);
        auto* timeLine = linearTimeLine(&window, 255);
        CWindowFadeEffect fade(&window, timeLine);
        fade.fade(255);
        QVERIFY(window.isVisible());
        timeLine->setCurrentTime(100);
        fade.setDirection(1);
        timeLine->setCurrentTime(0);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.windowOpacity(), 1.0);
    }

    void widgetFadeWritesOpacity()
    {
        QWidget widget;
        double opacity = -1;
        CFadeEffect fade(&widget, &opacity);
        QCOMPARE(fade.timeLine()->duration(), 300);
        QCOMPARE(fade.timeLine()->endFrame(), 100);
        frame(&fade, "onFadeUpdated", 30);
        QCOMPARE(opacity, 0.3);
    }

    void widgetFadeForwardShowsFromZero()
    {
        QWidget widget;
        double opacity = 0.7;
        CFadeEffect fade(&widget, &opacity);
        fade.fade(300);
        QCOMPARE(opacity, 0.0);
        QVERIFY(widget.isVisible());
        QVERIFY(fade.isRunning());
    }

    void widgetFadeBackwardHidesAtStartFrame()
    {
        QWidget widget;
        widget.show();
        double opacity = 0.5;
        auto* timeLine = linearTimeLine(&widget, 100);
        CFadeEffect fade(&widget, &opacity, timeLine);
        timeLine->setFrameRange(0, 100);
        fade.setDirection(1);
        QVERIFY(fade.isBackward());
        fade.fade(100);
        QCOMPARE(opacity, 1.0); // a fade-out starts from its end frame
        QVERIFY(widget.isVisible());
        timeLine->setCurrentTime(40);
        QCOMPARE(opacity, 0.4);
        timeLine->setCurrentTime(0);
        QVERIFY(!widget.isVisible());
        QCOMPARE(opacity, 1.0);
    }

    void nonWidgetParentOnlyChangesTheValue()
    {
        QObject owner;
        double opacity = 0;
        CFadeEffect fade(&owner, &opacity);
        fade.setDirection(1);
        frame(&fade, "onFadeUpdated", 0);
        QCOMPARE(opacity, 0.0);
        frame(&fade, "onFadeUpdated", 75);
        QCOMPARE(opacity, 0.75);
    }

    void nullOpacityIsNeverWritten()
    {
        QWidget widget;
        CFadeEffect fade(&widget, nullptr);
        fade.fade(300);
        frame(&fade, "onFadeUpdated", 50);
        fade.setDirection(1);
        frame(&fade, "onFadeUpdated", 0);
        QVERIFY(!widget.isVisible());
    }

    void emptyFrameRangeIsComplete()
    {
        QObject owner;
        double opacity = 0;
        QTimeLine timeLine;
        timeLine.setFrameRange(0, 0);
        CFadeEffect fade(&owner, &opacity, &timeLine);
        frame(&fade, "onFadeUpdated", 0);
        QCOMPARE(opacity, 1.0);
    }

    void morphTruncatesTowardZero_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("start") << 0 << QColor(255, 0, 0, 255);
        QTest::newRow("middle") << 50 << QColor(128, 0, 127, 255);
        QTest::newRow("one") << 1 << QColor(253, 0, 2, 255);
        QTest::newRow("end") << 100 << QColor(0, 0, 255, 255);
    }
    void morphTruncatesTowardZero()
    {
        QFETCH(int, frame);
        QFETCH(QColor, expected);
        CColorMorpher morpher(nullptr);
        morpher.setColors(QColor(255, 0, 0, 255), QColor(0, 0, 255, 255));
        QSignalSpy updated(&morpher, &CColorMorpher::colorUpdated);
        morpher.updateColor(frame);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(morpher.currentColor(), expected);
    }

    void morphFollowsItsTimeLine()
    {
        CColorMorpher morpher(nullptr);
        QCOMPARE(morpher.timeLine()->duration(), 500);
        QCOMPARE(morpher.timeLine()->endFrame(), 100);
        morpher.setColors(QColor(0, 0, 0, 0), QColor(100, 200, 50, 250));
        QSignalSpy updated(&morpher, &CColorMorpher::colorUpdated);
        morpher.timeLine()->setEasingCurve(QEasingCurve::Linear);
        morpher.timeLine()->setCurrentTime(250);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(morpher.currentColor(), QColor(50, 100, 25, 125));
        morpher.updateColor(50);
        morpher.updateColor(50);
        QCOMPARE(updated.count(), 3);
    }

    void morphOverNoFramesIsTheTarget()
    {
        QTimeLine timeLine;
        timeLine.setFrameRange(0, 0);
        CColorMorpher morpher(nullptr, &timeLine);
        morpher.setColors(QColor(255, 0, 0, 255), QColor(0, 0, 255, 255));
        QCOMPARE(morpher.currentColor(), QColor(0, 0, 255, 255));
        morpher.updateColor(0);
        QCOMPARE(morpher.currentColor(), QColor(0, 0, 255, 255));
    }

    void morphOutsideItsRangeStaysValid()
    {
        CColorMorpher morpher(nullptr);
        morpher.setColors(QColor(255, 0, 0, 255), QColor(0, 0, 255, 255));
        morpher.updateColor(150);
        QCOMPARE(morpher.currentColor(), QColor(0, 0, 255, 255));
        morpher.updateColor(-20);
        QCOMPARE(morpher.currentColor(), QColor(255, 0, 0, 255));
    }

    void bounceScalesUpAndSettles_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<QSize>("size");
        QTest::newRow("0") << 0 << QSize(40, 20);
        QTest::newRow("40") << 40 << QSize(76, 38);
        QTest::newRow("100") << 100 << QSize(130, 65);
        QTest::newRow("158") << 158 << QSize(130, 65);
        QTest::newRow("185") << 185 << QSize(111, 55);
        QTest::newRow("200") << 200 << QSize(100, 50);
    }
    void bounceScalesUpAndSettles()
    {
        QFETCH(int, frame);
        QFETCH(QSize, size);
        QPixmap source(100, 50);
        source.fill(Qt::red);
        CPixmapBouncer bouncer(nullptr);
        QCOMPARE(bouncer.timeLine()->duration(), 5000);
        QCOMPARE(bouncer.timeLine()->endFrame(), 100);
        bouncer.setPixmap(source);
        QCOMPARE(bouncer.pixmap().size(), QSize(100, 50));
        bouncer.bounce(1000);
        QVERIFY(bouncer.isRunning());
        QCOMPARE(bouncer.timeLine()->duration(), 1000);
        QCOMPARE(bouncer.timeLine()->startFrame(), 0);
        QCOMPARE(bouncer.timeLine()->endFrame(), 200);
        QSignalSpy updated(&bouncer, &CPixmapBouncer::pixmapUpdated);
        ::frame(&bouncer, "onUpdatePixmap", frame);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(bouncer.currentPixmap().size(), size);
    }

    void bounceScalesAreSettable()
    {
        CPixmapBouncer bouncer(nullptr);
        QCOMPARE(bouncer.startScale(), 0.4);
        QCOMPARE(bouncer.peakScale(), 1.3);
        bouncer.setStartScale(0.5);
        bouncer.setPeakScale(1.5);
        QCOMPARE(bouncer.startScale(), 0.5);
        QCOMPARE(bouncer.peakScale(), 1.5);
        QPixmap source(100, 50);
        source.fill(Qt::blue);
        bouncer.setPixmap(source);
        bouncer.bounce(1000);
        QSignalSpy updated(&bouncer, &CPixmapBouncer::pixmapUpdated);
        ::frame(&bouncer, "onUpdatePixmap", 0);
        QCOMPARE(bouncer.currentPixmap().size(), QSize(50, 25));
        ::frame(&bouncer, "onUpdatePixmap", 120);
        QCOMPARE(bouncer.currentPixmap().size(), QSize(150, 75));
        ::frame(&bouncer, "onUpdatePixmap", 200);
        QCOMPARE(bouncer.currentPixmap().size(), QSize(100, 50));
        QCOMPARE(updated.count(), 3);
    }

    void bounceEmitsEveryFrameOfItsTimeLine()
    {
        QPixmap source(10, 10);
        source.fill(Qt::green);
        CPixmapBouncer bouncer(nullptr);
        bouncer.setPixmap(source);
        bouncer.timeLine()->setEasingCurve(QEasingCurve::Linear);
        bouncer.bounce(200);
        QSignalSpy updated(&bouncer, &CPixmapBouncer::pixmapUpdated);
        bouncer.timeLine()->setCurrentTime(50);
        bouncer.timeLine()->setCurrentTime(120);
        bouncer.timeLine()->setCurrentTime(200);
        QCOMPARE(updated.count(), 3);
        QCOMPARE(bouncer.currentPixmap().size(), QSize(10, 10));
    }
};

QTEST_MAIN(TestEffects)
#include "tst_effects.moc"
