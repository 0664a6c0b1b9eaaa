#include "fakemediaitems.h"
#include "fakevideoplayer.h"
#include "localhttpserver.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "media/meskmediaviewer.h"
#include "media/meskvideoviewer.h"
#include "meskhttpmethod.h"
#include "meskhttptaskpool.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "testclock.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage solidImage(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A picture with detail everywhere, so that any difference in scaling shows.
QImage detailedImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
    return image;
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Whether the grab shows the colour anywhere outside a rectangle.
bool showsOutside(const QImage& grab, const QRect& except, QColor colour)
{
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            if (!except.contains(x, y) && grab.pixelColor(x, y) == colour)
                return true;
    return false;
}

template <typename Viewer> void showAt800x600(Viewer& viewer)
{
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
}

void clickTryAgain(CMeskDeepDiveErrorWidget* page)
{
    QVERIFY(page);
    QTest::mouseClick(page->tryAgainButton(), Qt::LeftButton);
}

// An image item that downloads its picture with a plain call object, as the providers' items do:
// an answer outside 2xx is a failure.
class HttpImageItem : public FakeImageItem
{
public:
    explicit HttpImageItem(const QString& address) : m_address(address) {}

    bool loadImage() override
    {
        ++imageLoads;
        auto* call = new CMeskHttpMethod(this);
        connect(call, &CMeskHttpMethod::finished, this, [this, call] {
            const int status = call->httpStatus();
            call->deleteLater();
            if (status >= 200 && status < 300)
                emit imageDownloadDone();
            else
                emit imageDownloadFailed();
        });
        connect(call, &CMeskHttpMethod::networkError, this, [this, call] {
            call->deleteLater();
            emit imageDownloadFailed();
        });
        return call->getToFile(m_address, file);
    }

private:
    QString m_address;
};

} // namespace

class TestMediaViewers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void errorPageTryAgain();
    void viewerChoice_data();
    void viewerChoice();
    void imageFitting();
    void imageDownload_data();
    void imageDownload();
    void imageSwitchAndSmallViewer();
    void downloadChain_data();
    void downloadChain();
    void infoAvatar();
    void infoCaption_data();
    void infoCaption();

private:
    QTemporaryDir m_dir;
};

void TestMediaViewers::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    QVERIFY(m_dir.isValid());
    CMeskHttpTaskPool::init(nullptr);
}

void TestMediaViewers::cleanupTestCase()
{
    CMeskHttpTaskPool::shutdown();
}

void TestMediaViewers::errorPageTryAgain()
{
    CMeskDeepDiveErrorWidget page(QStringLiteral("Title"), QStringLiteral("Text"));
    QCOMPARE(page.width(), 400);
    QCOMPARE(page.tryAgainButton()->text(), QStringLiteral("Try again"));
    QSignalSpy spy(&page, &CMeskDeepDiveErrorWidget::tryAgain);
    page.show();
    clickTryAgain(&page);
    QCOMPARE(spy.count(), 1);
}

void TestMediaViewers::viewerChoice_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("video");
    QTest::newRow("image item") << "image" << true << false;
    QTest::newRow("video item") << "video" << false << true;
    QTest::newRow("kind 7") << "kind7" << false << false;
    QTest::newRow("kind 0 without image interface") << "plain0" << false << false;
}

void TestMediaViewers::viewerChoice()
{
    QFETCH(QString, object);
    QFETCH(bool, image);
    QFETCH(bool, video);
    FakeVideoPlayerScope players;
    FakeImageItem imageItem;
    imageItem.file = m_dir.filePath(QStringLiteral("choice.png"));
    QVERIFY(solidImage({20, 20}, Qt::blue).save(imageItem.file));
    FakeVideoItem videoItem(IMediaVideoItem::PlayUrl);
    videoItem.url = QStringLiteral("http://v.example/a.mp4");
    FakeMediaObject kind7(7);
    FakeMediaObject plain0(IMediaObject::Image);
    IMediaObject* chosen = object == QLatin1String("image")   ? static_cast<IMediaObject*>(&imageItem)
                           : object == QLatin1String("video") ? static_cast<IMediaObject*>(&videoItem)
                           : object == QLatin1String("kind7") ? static_cast<IMediaObject*>(&kind7)
                                                              : static_cast<IMediaObject*>(&plain0);

    CMeskMediaViewer viewer;
    showAt800x600(viewer);
    // Whatever was shown before is hidden first.
    viewer.setMediaObject(&videoItem);
    viewer.setMediaObject(chosen);
    QCOMPARE(viewer.imageViewer()->isVisible(), image);
    QCOMPARE(viewer.videoViewer()->isVisible(), video);
    if (image)
        QVERIFY(!viewer.imageViewer()->shownPixmap().isNull());
}

// The decoded picture is kept and fitted again at every size; never enlarged.
void TestMediaViewers::imageFitting()
{
    CMeskImageViewer viewer;
    showAt800x600(viewer);

    FakeImageItem small;
    small.file = m_dir.filePath(QStringLiteral("small.png"));
    QVERIFY(solidImage({200, 100}, Qt::red).save(small.file));
    viewer.setImageItem(&small);
    QCOMPARE(small.imageLoads, 0);
    QVERIFY(!viewer.waitAnimation());
    QCOMPARE(viewer.pixmapRect(), QRect(300, 250, 200, 100));
    const QImage shot = viewer.grab().toImage();
    QCOMPARE(shot.pixelColor(300, 250), QColor(Qt::red));
    QVERIFY(shot.pixelColor(299, 249) != QColor(Qt::red));

    FakeImageItem large;
    large.file = m_dir.filePath(QStringLiteral("large.png"));
    const QImage original = detailedImage({1600, 1200});
    QVERIFY(original.save(large.file));
    viewer.setImageItem(&large);
    QCOMPARE(viewer.pixmapRect(), QRect(0, 0, 800, 600));

    viewer.resize(400, 300);
    QCOMPARE(viewer.pixmapRect(), QRect(0, 0, 400, 300));
    viewer.resize(800, 600);
    QCOMPARE(viewer.pixmapRect(), QRect(0, 0, 800, 600));
    const QImage expected = QPixmap::fromImage(original)
                                .scaled(800, 600, Qt::KeepAspectRatio, Qt::FastTransformation)
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(viewer.shownPixmap().toImage().convertToFormat(QImage::Format_RGB32), expected);

    viewer.resize(0, 0);
    viewer.resize(800, 600);
    QCOMPARE(viewer.pixmapRect(), QRect(0, 0, 800, 600));
    QCOMPARE(viewer.grab().toImage().pixelColor(10, 20), expected.pixelColor(10, 20));
}

void TestMediaViewers::imageDownload_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("title");
    QTest::newRow("png") << "png" << QString();
    QTest::newRow("junk") << "junk"
                          << "Image corrupted";
    QTest::newRow("failed") << "failed"
                            << "Image download failed";
}

void TestMediaViewers::imageDownload()
{
    QFETCH(QString, outcome);
    QFETCH(QString, title);
    CMeskImageViewer viewer;
    showAt800x600(viewer);

    // A picture shown before must not show through the page of the next one.
    FakeImageItem before;
    before.file = m_dir.filePath(QStringLiteral("before.png"));
    QVERIFY(solidImage({800, 600}, Qt::magenta).save(before.file));
    viewer.setImageItem(&before);

    FakeImageItem item;
    item.file = m_dir.filePath(QStringLiteral("download-%1.png").arg(outcome));
    QFile::remove(item.file);
    viewer.setImageItem(&item);
    QCOMPARE(item.imageLoads, 1);
    QVERIFY(viewer.waitAnimation());
    QCOMPARE(viewer.waitAnimation()->pos(), QPoint(400, 300));
    QVERIFY(viewer.waitAnimation()->isVisible());
    QCOMPARE(viewer.placeholderRect(), QRect(80, 60, 640, 480));
    QCOMPARE(viewer.grab().toImage().pixelColor(81, 61), CMeskUiStyle::color(43));

    emit item.imageDownloadProgress(1, 2); // changes nothing
    if (outcome == QLatin1String("png"))
        QVERIFY(writeFile(item.file, pngBytes(solidImage({100, 100}, Qt::green))));
    else if (outcome == QLatin1String("junk"))
        QVERIFY(writeFile(item.file, "not a picture"));
    if (outcome == QLatin1String("failed"))
        emit item.imageDownloadFailed();
    else
        emit item.imageDownloadDone();
    QVERIFY(!viewer.waitAnimation());

    if (title.isEmpty()) {
        QVERIFY(!viewer.errorPage());
        QCOMPARE(viewer.grab().toImage().pixelColor(400, 300), QColor(Qt::green));
        return;
    }
    CMeskDeepDiveErrorWidget* page = viewer.errorPage();
    QVERIFY(page);
    QCOMPARE(page->title(), title);
    QCOMPARE(page->pos(), QPoint(200, (600 - page->height()) / 3));
    QVERIFY(!showsOutside(viewer.grab().toImage(), page->geometry(), Qt::magenta));

    clickTryAgain(page);
    QVERIFY(!viewer.errorPage());
    QVERIFY(viewer.waitAnimation());
    QCOMPARE(item.imageLoads, 2);
}

void TestMediaViewers::imageSwitchAndSmallViewer()
{
    CMeskImageViewer viewer;
    showAt800x600(viewer);

    FakeImageItem a;
    a.file = m_dir.filePath(QStringLiteral("switch-a.png"));
    QFile::remove(a.file);
    viewer.setImageItem(&a);
    QVERIFY(viewer.waitAnimation());

    // While waiting in a viewer smaller than the placeholder, the grey area fills it, centred.
    viewer.resize(300, 200);
    QCOMPARE(viewer.placeholderRect(), QRect(-170, -140, 640, 480));
    const QImage small = viewer.grab().toImage();
    QCOMPARE(small.pixelColor(0, 0), CMeskUiStyle::color(43));
    QCOMPARE(small.pixelColor(299, 199), CMeskUiStyle::color(43));
    viewer.resize(800, 600);

    FakeImageItem b;
    b.file = m_dir.filePath(QStringLiteral("switch-b.png"));
    QVERIFY(solidImage({50, 50}, Qt::blue).save(b.file));
    viewer.setImageItem(&b);
    QVERIFY(!viewer.waitAnimation());

    QVERIFY(solidImage({50, 50}, Qt::yellow).save(a.file));
    emit a.imageDownloadDone();
    emit a.imageDownloadFailed();
    QVERIFY(!viewer.errorPage());
    QCOMPARE(viewer.shownPixmap().toImage().pixelColor(0, 0), QColor(Qt::blue));
}

void TestMediaViewers::downloadChain_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("200") << 200;
    QTest::newRow("404") << 404;
}

// The whole chain: the pool writes the file only on 2xx, the item judges the status, the viewer
// shows the picture or the download page.
void TestMediaViewers::downloadChain()
{
    QFETCH(int, status);
    LocalHttpServer server;
    TestHttpReply reply = status == 200
                              ? TestHttpReply::ok(pngBytes(solidImage({60, 40}, Qt::green)), "image/png")
                              : TestHttpReply::withStatus(404, "Not Found", "<html>gone</html>");
    server.enqueue(reply);

    HttpImageItem item(server.url(QStringLiteral("/photo.png")));
    item.file = m_dir.filePath(QStringLiteral("chain-%1.png").arg(status));
    QFile::remove(item.file);
    CMeskImageViewer viewer;
    showAt800x600(viewer);
    viewer.setImageItem(&item);
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.waitAnimation(), 30000);

    if (status == 200) {
        QVERIFY(!viewer.errorPage());
        QCOMPARE(viewer.pixmapRect(), QRect(370, 280, 60, 40));
    } else {
        QVERIFY(viewer.errorPage());
        QCOMPARE(viewer.errorPage()->title(), QStringLiteral("Image download failed"));
        QVERIFY(!QFile::exists(item.file));
    }
}

void TestMediaViewers::infoAvatar()
{
    const QColor face(Qt::green);
    const QColor fallback(Qt::blue);
    const auto avatarColour = [](const CMeskMediaInfoWidget& info) {
        const QImage image = info.avatarWidget()->pixmap().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    };
    FakeImageItem object;
    object.caption = QStringLiteral("caption");
    CMeskMediaInfoWidget info;

    // On disk: shown, no download.
    FakeMediaUser known;
    known.file = m_dir.filePath(QStringLiteral("known.png"));
    known.fallback = QPixmap::fromImage(solidImage({50, 50}, fallback));
    QVERIFY(solidImage({50, 50}, face).save(known.file));
    info.setMedia(&object, &known, QPixmap());
    QCOMPARE(known.avatarUpdates, 0);
    QCOMPARE(avatarColour(info), face);

    // Missing: downloaded; done shows it, failure the default picture.
    FakeMediaUser a;
    a.file = m_dir.filePath(QStringLiteral("a.png"));
    a.fallback = known.fallback;
    info.setMedia(&object, &a, QPixmap());
    QCOMPARE(a.avatarUpdates, 1);
    emit a.avatarUpdateFailed();
    QCOMPARE(avatarColour(info), fallback);
    QVERIFY(solidImage({50, 50}, face).save(a.file));
    emit a.avatarUpdated();
    QCOMPARE(avatarColour(info), face);

    // A late answer of the previous author changes nothing.
    FakeMediaUser b;
    b.file = m_dir.filePath(QStringLiteral("b.png"));
    b.fallback = QPixmap::fromImage(solidImage({50, 50}, Qt::gray));
    info.setMedia(&object, &b, QPixmap());
    const QColor shown = avatarColour(info);
    QVERIFY(shown != face);
    emit a.avatarUpdated();
    QCOMPARE(avatarColour(info), shown);

    // Unknown author: the product's picture, no download.
    info.setMedia(&object, nullptr, QPixmap());
    QVERIFY(info.avatarWidget()->hasPixmap());
    QCOMPARE(b.avatarUpdates, 1);
}

void TestMediaViewers::infoCaption_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name"); // null: no author
    QTest::addColumn<QString>("expected");
    const QString a100(100, QLatin1Char('a'));
    QTest::newRow("101 cut") << a100 + QLatin1Char('a') << "Ann"
                             << "<b>" + a100 + "...</b> by <b>Ann</b>";
    QTest::newRow("100 whole") << a100 << "Ann"
                               << "<b>" + a100 + "</b> by <b>Ann</b>";
    QTest::newRow("escaped") << "<i>x</i>"
                             << "A&B"
                             << "<b>&lt;i&gt;x&lt;/i&gt;</b> by <b>A&amp;B</b>";
    QTest::newRow("cut before escaping")
        << QString(99, QLatin1Char('a')) + "&<"
        << "Ann"
        << "<b>" + QString(99, QLatin1Char('a')) + "&amp;...</b> by <b>Ann</b>";
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    QTest::newRow("surrogate pair kept whole")
        << QString(99, QLatin1Char('a')) + smiley << "Ann"
        << "<b>" + QString(99, QLatin1Char('a')) + "...</b> by <b>Ann</b>";
    QTest::newRow("no author") << "caption" << QString() << "<b>caption</b>";
}

void TestMediaViewers::infoCaption()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    FakeImageItem object;
    object.caption = text;
    // At noon, so that "today" cannot turn into "yesterday" while the test runs.
    TestClock clock(QDateTime(QDate(2024, 6, 14), QTime(12, 0)));
    object.item.created = clock.now().addSecs(-60);
    FakeMediaUser user;
    user.userName = name;
    user.file = m_dir.filePath(QStringLiteral("nobody.png"));
    CMeskMediaInfoWidget info;
    info.setMedia(&object, name.isNull() ? nullptr : &user, QPixmap());
    QCOMPARE(info.captionLabel()->text(), expected);
    QVERIFY(info.dateLabel()->text().startsWith(QStringLiteral("Today, ")));
}

QTEST_MAIN(TestMediaViewers)
#include "tst_mediaviewers.moc"
