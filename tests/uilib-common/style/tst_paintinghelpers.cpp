#include "style/quorpainting.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

namespace {

// An opaque image whose rows (or columns) carry their index in the red channel.
QImage gradedImage(int width, int height, bool byRow)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor((byRow ? y : x) * 20, 100, 200));
    return image;
}

QPixmap halves(const QSize& size, const QColor& left, const QColor& right)
{
    QPixmap pixmap(size);
    pixmap.fill(right);
    QPainter p(&pixmap);
    p.fillRect(0, 0, size.width() / 2, size.height(), left);
    return pixmap;
}

} // namespace

class TestPaintingHelpers : public QObject
{
    Q_OBJECT

private slots:
    void stripMnemonic_data();
    void stripMnemonic();
    void mirrorSwapsColumns();
    void flipSwapsRows();
    void tintKeepsAlpha();
    void reflection_data();
    void reflection();
    void reflectionOfNothingIsNull();
    void transformsKeepThePixelRatio();
    void mirroredIconBuildsEveryModeAndState();
    void overlaidIconCentresByRequestedSize();
};

void TestPaintingHelpers::stripMnemonic_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading") << "&File"
                             << "File";
    QTest::newRow("escaped and marked") << "Save && &Exit"
                                        << "Save & Exit";
    QTest::newRow("triple") << "&&&File"
                            << "&&File";
    QTest::newRow("trailing") << "Open&"
                              << "Open";
    QTest::newRow("none") << "Plain"
                          << "Plain";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPaintingHelpers::stripMnemonic()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::stripMnemonic(text), expected);
}

void TestPaintingHelpers::mirrorSwapsColumns()
{
    const QImage source = gradedImage(7, 3, false);
    const QImage mirrored = mirroredPixmap(QPixmap::fromImage(source)).toImage();
    QCOMPARE(mirrored.size(), source.size());
    for (int y = 0; y < 3; ++y) {
        QCOMPARE(mirrored.pixelColor(0, y), source.pixelColor(6, y));
        QCOMPARE(mirrored.pixelColor(6, y), source.pixelColor(0, y));
        QCOMPARE(mirrored.pixelColor(3, y), source.pixelColor(3, y));
    }
}

void TestPaintingHelpers::flipSwapsRows()
{
    const QImage source = gradedImage(3, 7, true);
    const QImage flipped = flippedPixmap(QPixmap::fromImage(source)).toImage();
    QCOMPARE(flipped.size(), source.size());
    for (int x = 0; x < 3; ++x) {
        QCOMPARE(flipped.pixelColor(x, 0), source.pixelColor(x, 6));
        QCOMPARE(flipped.pixelColor(x, 6), source.pixelColor(x, 0));
    }
    // Columns stay where they were.
    const QImage columns = gradedImage(7, 3, false);
    QCOMPARE(flippedPixmap(QPixmap::fromImage(columns)).toImage().pixelColor(0, 0), columns.pixelColor(0, 2));
}

void TestPaintingHelpers::tintKeepsAlpha()
{
    QImage source(16, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 16; ++x)
        source.setPixelColor(x, 0, QColor(10, 200, 30, x * 17));
    const QImage tinted = tintedPixmap(QPixmap::fromImage(source), QColor(255, 0, 0))
                              .toImage()
                              .convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 16; ++x) {
        const QColor c = tinted.pixelColor(x, 0);
        QCOMPARE(c.alpha(), x * 17);
        if (c.alpha() >= 68) {
            QVERIFY2(c.red() >= 250 && c.green() <= 4 && c.blue() <= 4, qPrintable(c.name(QColor::HexArgb)));
        }
    }
}

void TestPaintingHelpers::reflection_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::newRow("four rows") << 4 << 4;
    QTest::newRow("taller than the image") << 50 << 10;
    QTest::newRow("whole image") << 10 << 10;
}

void TestPaintingHelpers::reflection()
{
    QFETCH(int, height);
    QFETCH(int, rows);
    const QImage source = gradedImage(20, 10, true);
    const QImage fromImage = reflectionImage(source, height).convertToFormat(QImage::Format_ARGB32);
    const QImage fromPixmap =
        reflectionPixmap(QPixmap::fromImage(source), height).toImage().convertToFormat(QImage::Format_ARGB32);
    for (const QImage& r : {fromImage, fromPixmap}) {
        QCOMPARE(r.size(), QSize(20, rows));
        // The top row shows the source's bottom row at about 150/255 opacity, fading downwards.
        const QColor top = r.pixelColor(10, 0);
        QVERIFY2(top.alpha() > 120 && top.alpha() <= 150, qPrintable(QString::number(top.alpha())));
        QVERIFY(qAbs(top.red() - source.pixelColor(10, 9).red()) <= 3);
        QVERIFY(qAbs(r.pixelColor(10, rows - 1).red() - source.pixelColor(10, 10 - rows).red()) <= 12);
        int previous = 256;
        for (int y = 0; y < rows; ++y) {
            const int a = r.pixelColor(10, y).alpha();
            QVERIFY(a < previous);
            previous = a;
        }
        QVERIFY2(previous <= 40, "the last row has almost faded out");
    }
    for (int y = 0; y < rows; ++y)
        QVERIFY(qAbs(fromImage.pixelColor(3, y).alpha() - fromPixmap.pixelColor(3, y).alpha()) <= 2);
}

void TestPaintingHelpers::transformsKeepThePixelRatio()
{
    // A 10 x 5 logical image at ratio 2: its reflection of 4 logical rows takes the source's 8
    // bottom device rows and stays at ratio 2, and so do its mirrored and flipped copies.
    QPixmap source = QPixmap::fromImage(gradedImage(20, 10, true));
    source.setDevicePixelRatio(2);
    const QPixmap reflection = reflectionPixmap(source, 4);
    QCOMPARE(reflection.devicePixelRatio(), 2.0);
    QCOMPARE(reflection.size(), QSize(20, 8));
    const QImage r = reflection.toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(qAbs(r.pixelColor(10, 0).red() - source.toImage().pixelColor(10, 9).red()) <= 3);
    QVERIFY(qAbs(r.pixelColor(10, 7).red() - source.toImage().pixelColor(10, 2).red()) <= 12);
    QImage sourceImage = gradedImage(20, 10, true);
    sourceImage.setDevicePixelRatio(2);
    const QImage fromImage = reflectionImage(sourceImage, 4);
    QCOMPARE(fromImage.devicePixelRatio(), 2.0);
    QCOMPARE(fromImage.size(), QSize(20, 8));
    QVERIFY(qAbs(fromImage.convertToFormat(QImage::Format_ARGB32).pixelColor(10, 0).red() -
                 sourceImage.pixelColor(10, 9).red()) <= 3);
    for (const QPixmap& turned : {mirroredPixmap(source), flippedPixmap(source)}) {
        QCOMPARE(turned.devicePixelRatio(), 2.0);
        QCOMPARE(logicalSize(turned), QSize(10, 5));
    }
}

void TestPaintingHelpers::reflectionOfNothingIsNull()
{
    const QImage source = gradedImage(20, 10, true);
    QVERIFY(reflectionImage(source, 0).isNull());
    QVERIFY(reflectionImage(source, -3).isNull());
    QVERIFY(reflectionImage(QImage(), 5).isNull());
    QVERIFY(reflectionPixmap(QPixmap::fromImage(source), 0).isNull());
    QVERIFY(reflectionPixmap(QPixmap(), 5).isNull());
}

void TestPaintingHelpers::mirroredIconBuildsEveryModeAndState()
{
    const QIcon icon(halves(QSize(64, 64), Qt::red, Qt::blue));
    const QIcon mirrored = mirroredIcon(icon, QSize());
    for (const QIcon::State state : {QIcon::On, QIcon::Off}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected, QIcon::Disabled}) {
            QCOMPARE(mirrored.availableSizes(mode, state), QList<QSize>{QSize(32, 32)});
        }
    }
    const QImage normal = mirrored.pixmap(QSize(32, 32)).toImage();
    QCOMPARE(normal.pixelColor(2, 16), QColor(Qt::blue));
    QCOMPARE(normal.pixelColor(29, 16), QColor(Qt::red));
    QCOMPARE(mirroredIcon(icon, QSize(16, 16)).availableSizes(), QList<QSize>{QSize(16, 16)});
}

void TestPaintingHelpers::overlaidIconCentresByRequestedSize()
{
    QPixmap base(32, 32);
    base.fill(Qt::white);
    QPixmap mark(8, 8);
    mark.fill(Qt::red);
    // The overlay icon only has an 8x8 pixmap, but 16x16 is asked for: the offset is (32 - 16) / 2.
    const QIcon result = overlaidIcon(QIcon(base), QIcon(mark), QSize(32, 32), QSize(16, 16));
    const QImage image = result.pixmap(QSize(32, 32)).toImage();
    QCOMPARE(image.pixelColor(8, 8), QColor(Qt::red));
    QCOMPARE(image.pixelColor(15, 15), QColor(Qt::red));
    QCOMPARE(image.pixelColor(16, 16), QColor(Qt::white));
    QCOMPARE(image.pixelColor(7, 7), QColor(Qt::white));
}

QTEST_MAIN(TestPaintingHelpers)
#include "tst_paintinghelpers.moc"
