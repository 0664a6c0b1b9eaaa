#include "meskpictures.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestMeskPictures : public QObject
{
    Q_OBJECT
private slots:
    void avatarScaling_data();
    void avatarScaling();
    void loadsWhateverTheName();
};

void TestMeskPictures::avatarScaling_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<bool>("small");
    QTest::addColumn<QSize>("expected"); // logical size
    QTest::addColumn<qreal>("ratio");     // device pixel ratio of the source
    QTest::newRow("never enlarged") << QSize(20, 30) << true << QSize(20, 30) << 1.0;
    QTest::newRow("too tall for small") << QSize(20, 40) << true << QSize(16, 32) << 1.0;
    QTest::newRow("wide, aspect kept") << QSize(200, 100) << false << QSize(50, 25) << 1.0;
    QTest::newRow("tall, small") << QSize(64, 128) << true << QSize(16, 32) << 1.0;
    QTest::newRow("one side over") << QSize(40, 60) << false << QSize(33, 50) << 1.0;
    // A high-resolution picture (a table image at scale 2) is limited by its logical size.
    QTest::newRow("@2x within the limit") << QSize(100, 100) << false << QSize(50, 50) << 2.0;
    QTest::newRow("@2x, small") << QSize(100, 100) << true << QSize(32, 32) << 2.0;
    QTest::newRow("@2x, wide") << QSize(400, 200) << false << QSize(50, 25) << 2.0;
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

QTEST_MAIN(TestMeskPictures)
#include "tst_meskpictures.moc"
