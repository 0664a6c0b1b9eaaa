#include "meskpictures.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "urlcatcher.h"

#include <QApplication>
#include <QSignalSpy>

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestMeskPictures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void avatarScaling_data();
    void avatarScaling();
    void loadsWhateverTheName();
    void avatarPicturesKept();
    void thumbnailSizes_data();
    void thumbnailSizes();
    void frameEvenWhateverTheAspect_data();
    void frameEvenWhateverTheAspect();
    void thumbnailCursors_data();
    void thumbnailCursors();
    void thumbnailPress();
    void thumbnailFailedLoad();
};

void TestMeskPictures::initTestCase()
{
    // The thumbnail's frame margins and shadows come from the product style.
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskPictures::avatarScaling_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<bool>("small");
    QTest::addColumn<QSize>("expected"); // logical size
    QTest::addColumn<qreal>("ratio");    // device pixel ratio of the source
    QTest::newRow("never enlarged") << QSize(20, 30) << true << QSize(20, 30) << 1.0;
    QTest::newRow("too tall for small") << QSize(20, 40) << true << QSize(16, 32) << 1.0;
    QTest::newRow("wide, aspect kept") << QSize(200, 100) << false << QSize(50, 25) << 1.0;
    QTest::newRow("tall, small") << QSize(64, 128) << true << QSize(16, 32) << 1.0;
    QTest::newRow("one side over") << QSize(40, 60) << false << QSize(33, 50) << 1.0;
    // A high-resolution picture (a table image at scale 2) is limited by its logical size.
    QTest::newRow("@2x within the limit") << QSize(100, 100) << false << QSize(50, 50) << 2.0;
    QTest::newRow("@2x, small") << QSize(100, 100) << true << QSize(32, 32) << 2.0;
    QTest::newRow("@2x, wide") << QSize(400, 200) << false << QSize(50, 25) << 2.0;
    QTest::newRow("@2x, wide, small") << QSize(400, 200) << true << QSize(32, 16) << 2.0;
}

void TestMeskPictures::avatarScaling()
{
    QFETCH(QSize, source);
    QFETCH(bool, small);
    QFETCH(QSize, expected);
    QFETCH(qreal, ratio);
    QPixmap pixmap(source);
    pixmap.fill(Qt::red);
    pixmap.setDevicePixelRatio(ratio);
    const QPixmap scaled = small ? scaleToSmallAvatar(pixmap) : scaleToNormalAvatar(pixmap);
    QCOMPARE(scaled.deviceIndependentSize().toSize(), expected);
    QCOMPARE(scaled.devicePixelRatio(), ratio);
}

void TestMeskPictures::loadsWhateverTheName()
{
    QTemporaryDir dir;
    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(Qt::blue);
    // A PNG named as a JPEG still loads; a missing file and a non-picture do not,
    // and a failed load leaves the earlier pixmap alone.
    const QString misnamed = dir.filePath(QStringLiteral("avatar.jpg"));
    QVERIFY(image.save(misnamed, "PNG"));
    QPixmap pixmap;
    QVERIFY(loadNormalAvatar(misnamed, pixmap));
    QCOMPARE(pixmap.size(), QSize(50, 25));

    const QString text = dir.filePath(QStringLiteral("notes.png"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    QVERIFY(!loadSmallAvatar(text, pixmap));
    QVERIFY(!loadSmallAvatar(dir.filePath(QStringLiteral("missing.png")), pixmap));
    QCOMPARE(pixmap.size(), QSize(50, 25));
}

// A user's avatar pictures come from the file once and are kept until cleared; while the
// file is not there, each call asks the provider to fetch it and gives the default scaled.
void TestMeskPictures::avatarPicturesKept()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("avatar.png"));
    int fetches = 0;
    QPixmap fallback(64, 64);
    fallback.fill(Qt::red);
    TMeskAvatarPictures pictures([&fetches] { ++fetches; }, [&fallback] { return fallback; });
    QCOMPARE(pictures.normal(path).size(), QSize(50, 50));
    QCOMPARE(pictures.small(path).size(), QSize(32, 32));
    QCOMPARE(fetches, 2);

    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(path, "PNG"));
    QCOMPARE(pictures.normal(path).size(), QSize(50, 25));
    QCOMPARE(pictures.small(path).size(), QSize(32, 16));

    QVERIFY(QFile::remove(path));
    QCOMPARE(pictures.normal(path).size(), QSize(50, 25));
    QCOMPARE(pictures.small(path).size(), QSize(32, 16));
    QCOMPARE(fetches, 2);
    pictures.clear();
    QCOMPARE(pictures.normal(path).size(), QSize(50, 50));
    QCOMPARE(fetches, 3);
}

namespace {

QPixmap picture(const QSize& size, qreal ratio = 1.0)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::darkCyan);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

void TestMeskPictures::thumbnailSizes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QSize>("source"); // empty: no picture
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("avatar, no picture") << 0 << QSize() << 1.0 << QSize(60, 60) << QSize();
    QTest::newRow("avatar, small picture") << 0 << QSize(40, 30) << 1.0 << QSize(50, 40) << QSize(40, 30);
    QTest::newRow("avatar, ratio 2") << 0 << QSize(100, 100) << 2.0 << QSize(60, 60) << QSize(50, 50);
    QTest::newRow("avatar, large at ratio 2")
        << 0 << QSize(400, 200) << 2.0 << QSize(60, 35) << QSize(50, 25);
    QTest::newRow("small avatar, no picture") << 1 << QSize() << 1.0 << QSize(38, 38) << QSize();
    QTest::newRow("small avatar, tall") << 1 << QSize(20, 40) << 1.0 << QSize(22, 38) << QSize(16, 32);
    QTest::newRow("photo, no picture") << 2 << QSize() << 1.0 << QSize(85, 85) << QSize();
    QTest::newRow("photo, wide") << 2 << QSize(200, 100) << 1.0 << QSize(85, 47) << QSize(75, 37);
    QTest::newRow("icon, no picture") << 5 << QSize() << 1.0 << QSize(17, 17) << QSize();
    QTest::newRow("icon, larger") << 5 << QSize(30, 30) << 1.0 << QSize(17, 17) << QSize(17, 17);
    QTest::newRow("icon, smaller") << 5 << QSize(10, 10) << 1.0 << QSize(10, 10) << QSize(10, 10);
}

void TestMeskPictures::thumbnailSizes()
{
    QFETCH(int, type);
    QFETCH(QSize, source);
    QFETCH(qreal, ratio);
    QFETCH(QSize, widget);
    QFETCH(QSize, shown);
    CMeskThumbnailWidget thumbnail(type);
    if (source.isValid())
        thumbnail.setPixmap(picture(source, ratio));
    QCOMPARE(thumbnail.hasPixmap(), source.isValid());
    QCOMPARE(thumbnail.size(), widget);
    QCOMPARE(thumbnail.minimumSize(), widget);
    QCOMPARE(thumbnail.maximumSize(), widget);
    if (source.isValid()) {
        QCOMPARE(thumbnail.pixmap().deviceIndependentSize().toSize(), shown);
        QCOMPARE(thumbnail.pixmap().devicePixelRatio(), ratio);
    }
    // It paints without complaint at any size.
    QVERIFY(!thumbnail.grab().isNull());
}

void TestMeskPictures::frameEvenWhateverTheAspect_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<qreal>("scale");
    for (qreal scale : {1.0, 2.0}) {
        const QByteArray at = scale > 1 ? " @2" : "";
        QTest::newRow(QByteArray("photo, wide" + at).constData()) << 2 << QSize(200, 100) << scale;
        QTest::newRow(QByteArray("photo, tall" + at).constData()) << 2 << QSize(60, 120) << scale;
        QTest::newRow(QByteArray("photo, small" + at).constData()) << 2 << QSize(64, 48) << scale;
        QTest::newRow(QByteArray("avatar, small" + at).constData()) << 0 << QSize(40, 30) << scale;
        QTest::newRow(QByteArray("small avatar, tall" + at).constData()) << 1 << QSize(20, 40) << scale;
    }
}

// The shadow ring and the white frame of a picture of any aspect look as those of a square
// picture of the nominal size: the same rows of pixels across each of the four edges.
void TestMeskPictures::frameEvenWhateverTheAspect()
{
    QFETCH(int, type);
    QFETCH(QSize, source);
    QFETCH(qreal, scale);
    const auto render = [scale](CMeskThumbnailWidget& w) {
        QImage image((QSizeF(w.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        w.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    CMeskThumbnailWidget square(type);
    square.setPixmap(picture(type == 1 ? QSize(32, 32) : type == 0 ? QSize(50, 50) : QSize(75, 75), 1.0));
    CMeskThumbnailWidget thumbnail(type);
    thumbnail.setPixmap(picture(source, 1.0));
    const QImage expected = render(square);
    const QImage actual = render(thumbnail);
    const int frame = qRound(scale * (type == 1 ? 4 : 5)); // outer ring and white frame, device pixels
    // Across each edge at its middle, from the outside in: shadow, then the white frame.
    const auto across = [frame](const QImage& image, int edge) {
        QList<QRgb> pixels;
        const int w = image.width();
        const int h = image.height();
        for (int i = 0; i < frame; ++i) {
            const QPoint p = edge == 0   ? QPoint(w / 2, i)
                             : edge == 1 ? QPoint(w - 1 - i, h / 2)
                             : edge == 2 ? QPoint(w / 2, h - 1 - i)
                                         : QPoint(i, h / 2);
            pixels << image.pixel(p);
        }
        return pixels;
    };
    // Smooth stretching may round a channel by a step or two.
    const auto near = [](QRgb a, QRgb b) {
        return qAbs(qAlpha(a) - qAlpha(b)) <= 2 && qAbs(qRed(a) - qRed(b)) <= 2 &&
               qAbs(qGreen(a) - qGreen(b)) <= 2 && qAbs(qBlue(a) - qBlue(b)) <= 2;
    };
    for (int edge = 0; edge < 4; ++edge) {
        const QList<QRgb> got = across(actual, edge);
        const QList<QRgb> want = across(expected, edge);
        for (int i = 0; i < frame; ++i)
            QVERIFY2(near(got.at(i), want.at(i)), qPrintable(QStringLiteral("edge %1, pixel %2: %3, not %4")
                                                                 .arg(edge)
                                                                 .arg(i)
                                                                 .arg(got.at(i), 8, 16)
                                                                 .arg(want.at(i), 8, 16)));
    }
    // The corners: the same as those of the square one.
    const QSize a = actual.size() - QSize(1, 1);
    const QSize e = expected.size() - QSize(1, 1);
    for (const QPoint& c : {QPoint(0, 0), QPoint(1, 0), QPoint(1, 1), QPoint(0, 1)})
        QVERIFY(near(actual.pixel(c.x() * a.width(), c.y() * a.height()),
                     expected.pixel(c.x() * e.width(), c.y() * e.height())));
}

void TestMeskPictures::thumbnailCursors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Qt::CursorShape>("initial");
    QTest::addColumn<Qt::CursorShape>("afterClear");
    QTest::newRow("avatar") << 0 << Qt::ArrowCursor << Qt::ArrowCursor;
    QTest::newRow("small avatar") << 1 << Qt::ArrowCursor << Qt::ArrowCursor;
    QTest::newRow("photo") << 2 << Qt::PointingHandCursor << Qt::PointingHandCursor;
    QTest::newRow("photo 3") << 3 << Qt::PointingHandCursor << Qt::PointingHandCursor;
    QTest::newRow("icon 4") << 4 << Qt::ArrowCursor << Qt::ArrowCursor;
    QTest::newRow("icon 6") << 6 << Qt::PointingHandCursor << Qt::PointingHandCursor;
}

void TestMeskPictures::thumbnailCursors()
{
    QFETCH(int, type);
    QFETCH(Qt::CursorShape, initial);
    QFETCH(Qt::CursorShape, afterClear);
    CMeskThumbnailWidget thumbnail(type);
    QCOMPARE(thumbnail.cursor().shape(), initial);
    thumbnail.setUrl(QStringLiteral("http://x"));
    QCOMPARE(thumbnail.cursor().shape(), Qt::PointingHandCursor);
    thumbnail.setUrl(QString());
    QCOMPARE(thumbnail.cursor().shape(), afterClear);
}

void TestMeskPictures::thumbnailPress()
{
    UrlCatcher catcher;
    CMeskThumbnailWidget thumbnail(2);
    thumbnail.show();
    QSignalSpy clicked(&thumbnail, &CMeskThumbnailWidget::clicked);
    const QStringList urls = {QStringLiteral("https://x.org/photo"), QStringLiteral("file:///etc/passwd"),
                              QString()};
    for (const QString& url : urls) {
        thumbnail.setUrl(url);
        QTest::mouseClick(&thumbnail, Qt::LeftButton);
    }
    QTest::mouseClick(&thumbnail, Qt::RightButton);
    QCOMPARE(clicked.count(), 3);
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://x.org/photo"))});
}

void TestMeskPictures::thumbnailFailedLoad()
{
    QTemporaryDir dir;
    const QString misnamed = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(picture(QSize(40, 30)).toImage().save(misnamed, "PNG"));
    CMeskThumbnailWidget thumbnail(0);
    QVERIFY(!thumbnail.loadPixmap(dir.filePath(QStringLiteral("missing.png"))));
    QCOMPARE(thumbnail.size(), QSize(60, 60));
    QVERIFY(thumbnail.loadPixmap(misnamed));
    QCOMPARE(thumbnail.size(), QSize(50, 40));
    QVERIFY(!thumbnail.loadPixmap(dir.filePath(QStringLiteral("missing.png"))));
    QVERIFY(thumbnail.hasPixmap());
    QCOMPARE(thumbnail.size(), QSize(50, 40));
}

QTEST_MAIN(TestMeskPictures)
#include "tst_meskpictures.moc"
