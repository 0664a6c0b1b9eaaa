#include "style/quorpainting.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

// A 30x30 source made of nine 10-px cells, each in its own colour.
namespace {

enum TCell
{
    TopLeft,
    Top,
    TopRight,
    Left,
    Centre,
    Right,
    BottomLeft,
    Bottom,
    BottomRight
};

QColor cellColour(int cell)
{
    static const QColor colours[9] = {Qt::red,    Qt::green,   Qt::blue,      Qt::cyan,    Qt::magenta,
                                      Qt::yellow, Qt::darkRed, Qt::darkGreen, Qt::darkBlue};
    return colours[cell];
}

QPixmap ninePatchSource()
{
    QImage image(30, 30, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int cell = 0; cell < 9; ++cell)
        p.fillRect((cell % 3) * 10, (cell / 3) * 10, 10, 10, cellColour(cell));
    p.end();
    return QPixmap::fromImage(image);
}

QImage render(const QSize& size, const SNinePatchMargins& margins, const QPixmap& source = ninePatchSource())
{
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    QPainter p(&target);
    drawNinePatchPixmap(&p, source, QRect(QPoint(0, 0), size), margins);
    p.end();
    return target;
}

bool contains(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

} // namespace

class TestNinePatch : public QObject
{
    Q_OBJECT

private slots:
    void cellsGoToTheirTargetCells_data();
    void cellsGoToTheirTargetCells();
    void zeroMarginSkipsOnlyItsBand();
    void narrowTargetDrawsOverlappingCorners();
    void targetAsLargeAsMarginsDrawsCornersOnly();
    void nullPainterIsNoOp();
    void renderHintsAreRestored_data();
    void renderHintsAreRestored();
    void pixmapSmallerThanMarginsIsSafe();
    void bothOverloadsDrawTheSame();
};

void TestNinePatch::cellsGoToTheirTargetCells_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("cell");
    // Target 100x60 with margins 10: corners 10x10, centre 80x40.
    QTest::newRow("top-left") << QPoint(5, 5) << int(TopLeft);
    QTest::newRow("top edge, start") << QPoint(12, 5) << int(Top);
    QTest::newRow("top edge, end") << QPoint(87, 5) << int(Top);
    QTest::newRow("top-right") << QPoint(95, 5) << int(TopRight);
    QTest::newRow("left edge") << QPoint(5, 30) << int(Left);
    QTest::newRow("centre") << QPoint(50, 30) << int(Centre);
    QTest::newRow("right edge") << QPoint(95, 30) << int(Right);
    QTest::newRow("bottom-left") << QPoint(5, 55) << int(BottomLeft);
    QTest::newRow("bottom edge") << QPoint(50, 55) << int(Bottom);
    QTest::newRow("bottom-right") << QPoint(95, 55) << int(BottomRight);
}

void TestNinePatch::cellsGoToTheirTargetCells()
{
    QFETCH(QPoint, at);
    QFETCH(int, cell);
    const QImage image = render(QSize(100, 60), {10, 10, 10, 10});
    QCOMPARE(image.pixelColor(at), cellColour(cell));
}

void TestNinePatch::zeroMarginSkipsOnlyItsBand()
{
    // No left band: the top edge and centre start at x 0 and take the source's left columns too.
    const QImage image = render(QSize(100, 60), {0, 10, 10, 10});
    QCOMPARE(image.pixelColor(2, 5), cellColour(TopLeft));
    QCOMPARE(image.pixelColor(2, 30), cellColour(Left));
    QCOMPARE(image.pixelColor(80, 30), cellColour(Centre));
    QCOMPARE(image.pixelColor(95, 5), cellColour(TopRight));
    QCOMPARE(image.pixelColor(95, 30), cellColour(Right));
    QCOMPARE(image.pixelColor(95, 55), cellColour(BottomRight));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2(image.pixelColor(x, y).alpha() == 255, "the whole target is covered");
}

void TestNinePatch::narrowTargetDrawsOverlappingCorners()
{
    const QImage image = render(QSize(15, 60), {10, 10, 10, 10});
    QCOMPARE(image.pixelColor(2, 5), cellColour(TopLeft));
    // Top-right is drawn after top-left and covers it at x 5..9.
    for (int x = 5; x < 15; ++x)
        QCOMPARE(image.pixelColor(x, 5), cellColour(TopRight));
    QCOMPARE(image.pixelColor(2, 55), cellColour(BottomLeft));
    QCOMPARE(image.pixelColor(7, 55), cellColour(BottomRight));
    QCOMPARE(image.pixelColor(2, 30), cellColour(Left));
    QCOMPARE(image.pixelColor(12, 30), cellColour(Right));
    QVERIFY(!contains(image, cellColour(Centre)));
    QVERIFY(!contains(image, cellColour(Top)));
    QVERIFY(!contains(image, cellColour(Bottom)));
}

void TestNinePatch::targetAsLargeAsMarginsDrawsCornersOnly()
{
    const QImage image = render(QSize(20, 20), {10, 10, 10, 10});
    QCOMPARE(image.pixelColor(5, 5), cellColour(TopLeft));
    QCOMPARE(image.pixelColor(15, 5), cellColour(TopRight));
    QCOMPARE(image.pixelColor(5, 15), cellColour(BottomLeft));
    QCOMPARE(image.pixelColor(15, 15), cellColour(BottomRight));
    for (int cell : {int(Top), int(Left), int(Centre), int(Right), int(Bottom)})
        QVERIFY(!contains(image, cellColour(cell)));
}

void TestNinePatch::nullPainterIsNoOp()
{
    drawNinePatchPixmap(nullptr, ninePatchSource(), QRect(0, 0, 100, 60), SNinePatchMargins{10, 10, 10, 10});
    drawNinePatchPixmap(nullptr, ninePatchSource(), QRect(0, 0, 100, 60), 10, 10, 10, 10);
}

void TestNinePatch::renderHintsAreRestored_data()
{
    QTest::addColumn<int>("hints");
    QTest::newRow("none") << 0;
    QTest::newRow("smooth") << int(QPainter::SmoothPixmapTransform);
    QTest::newRow("antialiasing") << int(QPainter::Antialiasing);
    QTest::newRow("both") << int(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
}

void TestNinePatch::renderHintsAreRestored()
{
    QFETCH(int, hints);
    QImage target(100, 60, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&target);
    p.setRenderHints(p.renderHints(), false);
    p.setRenderHints(QPainter::RenderHints(hints), true);
    const QPainter::RenderHints before = p.renderHints();
    drawNinePatchPixmap(&p, ninePatchSource(), target.rect(), {10, 10, 10, 10});
    QCOMPARE(p.renderHints(), before);
}

void TestNinePatch::pixmapSmallerThanMarginsIsSafe()
{
    QImage small(10, 10, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::red);
    const QImage image = render(QSize(50, 50), {8, 8, 8, 8}, QPixmap::fromImage(small));
    // Cells with a negative source size are skipped; the corners still draw.
    QCOMPARE(image.pixelColor(2, 2), QColor(Qt::red));
    QCOMPARE(image.pixelColor(25, 25).alpha(), 0);
}

void TestNinePatch::bothOverloadsDrawTheSame()
{
    for (const QSize size : {QSize(100, 60), QSize(15, 60), QSize(37, 23)}) {
        const QImage viaRecord = render(size, {10, 5, 7, 9});
        QImage viaInts(size, QImage::Format_ARGB32_Premultiplied);
        viaInts.fill(Qt::transparent);
        QPainter p(&viaInts);
        drawNinePatchPixmap(&p, ninePatchSource(), QRect(QPoint(0, 0), size), 10, 5, 7, 9);
        p.end();
        QCOMPARE(viaInts, viaRecord);
    }
}

QTEST_MAIN(TestNinePatch)
#include "tst_ninepatch.moc"
