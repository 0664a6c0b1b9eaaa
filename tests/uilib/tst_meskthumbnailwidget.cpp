#include "meskthumbnailwidget.h"
#include "meskuistyle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestMeskThumbnailWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sizes_data();
    void sizes();
    void cursors_data();
    void cursors();
    void press();
    void failedLoadKeepsPicture();
};

namespace {

QPixmap picture(const QSize& size, qreal ratio = 1.0)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::darkCyan);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

void TestMeskThumbnailWidget::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskThumbnailWidget::sizes_data()
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

void TestMeskThumbnailWidget::sizes()
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

void TestMeskThumbnailWidget::cursors_data()
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

void TestMeskThumbnailWidget::cursors()
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

void TestMeskThumbnailWidget::press()
{
    UrlCatcher catcher;
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");
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
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void TestMeskThumbnailWidget::failedLoadKeepsPicture()
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

QTEST_MAIN(TestMeskThumbnailWidget)
#include "tst_meskthumbnailwidget.moc"
