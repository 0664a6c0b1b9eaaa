#include "widgets/quoranimationwidget.h"

#include <QtTest>

namespace {

QPixmap framePixmap(const QSize& size, const QColor& colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

QList<QPixmap> eightFrames()
{
    QList<QPixmap> frames;
    for (int i = 0; i < 8; ++i)
        frames << framePixmap(QSize(16, 16), QColor::fromHsv(i * 40, 255, 255));
    return frames;
}

void step(CQuorAnimationWidget& widget)
{
    QVERIFY(QMetaObject::invokeMethod(&widget, "onFrameChange"));
}

} // namespace

class TestAnimationWidget : public QObject
{
    Q_OBJECT

private slots:
    void intervalFollowsFrameRate_data();
    void intervalFollowsFrameRate();
    void loopCompletesAfterLastFrame();
    void timerPlaysLoops();
    void startWithoutFrames();
    void sizeHintTakesLargestSides();
    void stopKeepsCurrentFrame();
    void paintsCurrentFrameScaled();
};

void TestAnimationWidget::intervalFollowsFrameRate_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("interval");
    QTest::newRow("default") << 12 << 12 << 83;
    QTest::newRow("25") << 25 << 25 << 40;
    QTest::newRow("1") << 1 << 1 << 1000;
    QTest::newRow("zero ignored") << 0 << 12 << 83;
    QTest::newRow("negative ignored") << -5 << 12 << 83;
}

void TestAnimationWidget::intervalFollowsFrameRate()
{
    QFETCH(int, fps);
    QFETCH(int, rate);
    QFETCH(int, interval);
    CQuorAnimationWidget widget(nullptr, eightFrames());
    QCOMPARE(widget.frameRate(), 12);
    QVERIFY(widget.setProperty("frameRate", fps));
    QCOMPARE(widget.frameRate(), rate);
    QCOMPARE(widget.interval(), interval);
    widget.start();
    QVERIFY(widget.isRunning());
    QCOMPARE(widget.interval(), interval);
    QCOMPARE(widget.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.animation.wait"));
}

void TestAnimationWidget::loopCompletesAfterLastFrame()
{
    CQuorAnimationWidget widget(nullptr, eightFrames());
    QCOMPARE(widget.frameCount(), 8);
    QSignalSpy spy(&widget, &CQuorAnimationWidget::loopCompleted);
    for (int i = 1; i <= 7; ++i) {
        step(widget);
        QCOMPARE(widget.currentFrame(), i);
        QCOMPARE(spy.size(), 0);
    }
    step(widget);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(widget.currentFrame(), 0);
    step(widget);
    QCOMPARE(widget.currentFrame(), 1);
    QCOMPARE(spy.size(), 1);

    // A step with no frames does nothing.
    widget.clearFrames();
    QCOMPARE(widget.frameCount(), 0);
    step(widget);
    QCOMPARE(widget.currentFrame(), 0);
    QCOMPARE(spy.size(), 1);
}

void TestAnimationWidget::timerPlaysLoops()
{
    CQuorAnimationWidget widget(nullptr, eightFrames().mid(0, 2));
    widget.setFrameRate(50);
    QSignalSpy spy(&widget, &CQuorAnimationWidget::loopCompleted);
    widget.start();
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 2, 30000);
    widget.clearFrames();
    QVERIFY(!widget.isRunning());
    QCOMPARE(widget.currentFrame(), 0);
}

void TestAnimationWidget::startWithoutFrames()
{
    CQuorAnimationWidget widget(nullptr, eightFrames());
    widget.clearFrames();
    widget.start();
    QVERIFY(!widget.isRunning());
    widget.addFrame(framePixmap(QSize(4, 4), Qt::red));
    widget.start();
    QVERIFY(widget.isRunning());
}

void TestAnimationWidget::sizeHintTakesLargestSides()
{
    CQuorAnimationWidget widget(nullptr,
                                {framePixmap(QSize(10, 40), Qt::red), framePixmap(QSize(30, 20), Qt::blue)});
    QCOMPARE(widget.sizeHint(), QSize(30, 40));
    QCOMPARE(widget.minimumSizeHint(), QSize(30, 40));
    widget.clearFrames();
    QCOMPARE(widget.sizeHint(), QSize(0, 0));
}

void TestAnimationWidget::stopKeepsCurrentFrame()
{
    CQuorAnimationWidget widget(nullptr, eightFrames());
    widget.start();
    step(widget);
    step(widget);
    widget.stop();
    QVERIFY(!widget.isRunning());
    QCOMPARE(widget.currentFrame(), 2);
    widget.start();
    QCOMPARE(widget.currentFrame(), 2);
}

void TestAnimationWidget::paintsCurrentFrameScaled()
{
    CQuorAnimationWidget widget(nullptr,
                                {framePixmap(QSize(4, 4), Qt::red), framePixmap(QSize(4, 4), Qt::blue)});
    widget.resize(40, 30);
    QImage image = widget.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(image.pixelColor(39, 29), QColor(Qt::red));
    step(widget);
    image = widget.grab().toImage();
    QCOMPARE(image.pixelColor(20, 15), QColor(Qt::blue));
}

QTEST_MAIN(TestAnimationWidget)
#include "tst_animationwidget.moc"
