#include "fakemediaitems.h"
#include "fakevideoplayer.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "media/meskvideoviewer.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString FormatTitle = QStringLiteral("Video format is not supported");

QString pageTitle(const CMeskVideoViewer& viewer)
{
    return viewer.errorPage() ? viewer.errorPage()->title() : QString();
}

void writeVideo(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("video");
}

void clickTryAgain(const CMeskVideoViewer& viewer)
{
    QVERIFY(viewer.errorPage());
    QTest::mouseClick(viewer.errorPage()->tryAgainButton(), Qt::LeftButton);
}

} // namespace

class TestVideoViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void address_data();
    void address();
    void flash_data();
    void flash();
    void localFile_data();
    void localFile();
    void hidingForgetsPlayback();
    void unavailablePlayer();
    void oneFailureReceiver();

private:
    QTemporaryDir m_dir;
    CMeskVideoViewer* m_viewer = nullptr;
    FakeVideoPlayerScope* m_players = nullptr;
};

void TestVideoViewer::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    QVERIFY(m_dir.isValid());
}

void TestVideoViewer::init()
{
    m_players = new FakeVideoPlayerScope;
    m_viewer = new CMeskVideoViewer;
    m_viewer->resize(800, 600);
    m_viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_viewer));
}

void TestVideoViewer::cleanup()
{
    delete m_viewer;
    m_viewer = nullptr;
    delete m_players;
    m_players = nullptr;
}

void TestVideoViewer::address_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("played");
    QTest::newRow("http") << "http://v.example/a.mp4" << true;
    QTest::newRow("https") << "https://v.example/a.mp4" << true;
    QTest::newRow("local file address") << "file:///etc/passwd" << false;
    QTest::newRow("no scheme") << "v.example/a.mp4" << false;
}

void TestVideoViewer::address()
{
    QFETCH(QString, url);
    QFETCH(bool, played);
    FakeVideoItem item(IMediaVideoItem::PlayUrl);
    item.url = url;
    m_viewer->setVideoItem(&item);
    FakeVideoPlayer* player = m_players->last(IMeskVideoPlayer::Media);
    if (!played) {
        QVERIFY(!player || player->loads.isEmpty());
        QCOMPARE(pageTitle(*m_viewer), FormatTitle);
        return;
    }
    QVERIFY(player);
    QCOMPARE(player->loads, QList<QUrl>{QUrl(url)});
    QCOMPARE(player->widget()->geometry(), QRect(0, 0, 800, 600));
    QCOMPARE(player->widget()->objectName(), QStringLiteral("MeskVideoViewer"));
    QCOMPARE(player->widget()->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(player->widget()->palette().color(QPalette::Active, QPalette::Window), CMeskUiStyle::color(39));
    QVERIFY(player->widget()->isVisible());

    player->fail();
    QCOMPARE(pageTitle(*m_viewer), FormatTitle);
    QVERIFY(!player->widget()->isVisible());
    QCOMPARE(m_viewer->errorPage()->pos(), QPoint(200, (600 - m_viewer->errorPage()->height()) / 3));
    clickTryAgain(*m_viewer);
    QCOMPARE(player->loads.size(), 2);
    QCOMPARE(m_players->requests[IMeskVideoPlayer::Media], 1); // the player is kept
    QVERIFY(player->widget()->isVisible());
}

void TestVideoViewer::flash_data()
{
    QTest::addColumn<bool>("flashPlayer");
    QTest::newRow("no Flash player") << false;
    QTest::newRow("Flash player fails") << true;
}

void TestVideoViewer::flash()
{
    QFETCH(bool, flashPlayer);
    m_players->giveFlash = flashPlayer;
    FakeVideoItem item(IMediaVideoItem::FlashVideo);
    item.url = QStringLiteral("http://v.example/movie.swf");
    m_viewer->setVideoItem(&item);
    QCOMPARE(m_players->requests[IMeskVideoPlayer::Flash], 1);
    if (!flashPlayer) {
        QCOMPARE(pageTitle(*m_viewer), QStringLiteral("Flash Player is not installed"));
        clickTryAgain(*m_viewer);
        QCOMPARE(m_players->requests[IMeskVideoPlayer::Flash], 2);
        QCOMPARE(pageTitle(*m_viewer), QStringLiteral("Flash Player is not installed"));
        return;
    }
    QPointer<FakeVideoPlayer> player = m_players->last(IMeskVideoPlayer::Flash);
    QVERIFY(player);
    QCOMPARE(player->loads, QList<QUrl>{QUrl(item.url)});
    player->fail();
    QCOMPARE(pageTitle(*m_viewer), QStringLiteral("Flash player error"));
    // Each Flash playback asks for a new player and drops the previous one.
    clickTryAgain(*m_viewer);
    QCOMPARE(m_players->requests[IMeskVideoPlayer::Flash], 2);
    QVERIFY(!player);
}

void TestVideoViewer::localFile_data()
{
    QTest::addColumn<QString>("state");   // on disk, empty path, missing
    QTest::addColumn<QString>("outcome"); // done, failed
    QTest::newRow("on disk") << "disk" << QString();
    QTest::newRow("empty path, done") << "empty"
                                      << "done";
    QTest::newRow("missing, done") << "missing"
                                   << "done";
    QTest::newRow("missing, failed") << "missing"
                                     << "failed";
    QTest::newRow("missing, done without a file") << "missing"
                                                  << "done, no file";
}

void TestVideoViewer::localFile()
{
    QFETCH(QString, state);
    QFETCH(QString, outcome);
    const QString path = m_dir.filePath(QStringLiteral("video-%1.mp4").arg(QTest::currentDataTag()));
    QFile::remove(path);
    FakeVideoItem item(IMediaVideoItem::PlayFile);
    if (state == QLatin1String("disk"))
        writeVideo(path);
    if (state != QLatin1String("empty"))
        item.file = path;
    m_viewer->setVideoItem(&item);

    if (state == QLatin1String("disk")) {
        QVERIFY(!m_viewer->waitAnimation());
        QCOMPARE(item.videoLoads, 0);
        QCOMPARE(m_players->last(IMeskVideoPlayer::Media)->loads, QList<QUrl>{QUrl::fromLocalFile(path)});
        return;
    }
    QVERIFY(m_viewer->waitAnimation());
    QCOMPARE(m_viewer->waitAnimation()->pos(), QPoint(400, 300));
    QCOMPARE(m_viewer->grab().toImage().pixelColor(81, 61), CMeskUiStyle::color(43));
    QCOMPARE(item.videoLoads, 1);
    emit item.downloadProgress(1, 2);

    if (outcome == QLatin1String("done")) {
        item.file = path;
        writeVideo(path);
        emit item.downloadDone();
        QVERIFY(!m_viewer->waitAnimation());
        QCOMPARE(m_players->last(IMeskVideoPlayer::Media)->loads, QList<QUrl>{QUrl::fromLocalFile(path)});
        return;
    }
    // "Done" without a file to play is a failed download, not a format error.
    if (outcome == QLatin1String("failed"))
        emit item.downloadFailed();
    else
        emit item.downloadDone();
    QVERIFY(!m_viewer->waitAnimation());
    QCOMPARE(pageTitle(*m_viewer), QStringLiteral("Video download failed"));
    clickTryAgain(*m_viewer);
    QCOMPARE(item.videoLoads, 2);
    QVERIFY(m_viewer->waitAnimation());
}

// Leaving a video stops it, and a download that ends afterwards plays nothing behind what is
// shown now; taking the item again plays the downloaded file.
void TestVideoViewer::hidingForgetsPlayback()
{
    FakeVideoItem playing(IMediaVideoItem::PlayUrl);
    playing.url = QStringLiteral("http://v.example/a.mp4");
    m_viewer->setVideoItem(&playing);
    FakeVideoPlayer* player = m_players->last(IMeskVideoPlayer::Media);
    QVERIFY(player);

    FakeVideoItem item(IMediaVideoItem::PlayFile);
    item.file = m_dir.filePath(QStringLiteral("late.mp4"));
    QFile::remove(item.file);
    m_viewer->setVideoItem(&item);
    QVERIFY(m_viewer->waitAnimation());
    m_viewer->hide();
    QCOMPARE(player->unloadCount, 1);
    QVERIFY(!m_viewer->waitAnimation());

    writeVideo(item.file);
    emit item.downloadDone();
    QCOMPARE(player->loads.size(), 1);

    m_viewer->show();
    m_viewer->setVideoItem(&item);
    QCOMPARE(player->loads.last(), QUrl::fromLocalFile(item.file));
}

void TestVideoViewer::unavailablePlayer()
{
    m_players->available = false;
    FakeVideoItem item(IMediaVideoItem::PlayUrl);
    item.url = QStringLiteral("http://v.example/a.mp4");
    m_viewer->setVideoItem(&item);
    QCOMPARE(pageTitle(*m_viewer), FormatTitle);
    QVERIFY(m_players->last(IMeskVideoPlayer::Media)->loads.isEmpty());

    // No player at all: the same page.
    cleanup();
    init();
    m_players->giveMedia = false;
    m_viewer->setVideoItem(&item);
    QCOMPARE(pageTitle(*m_viewer), FormatTitle);
}

void TestVideoViewer::oneFailureReceiver()
{
    FakeVideoItem item(IMediaVideoItem::PlayUrl);
    item.url = QStringLiteral("http://v.example/a.mp4");
    for (int i = 0; i < 3; ++i)
        m_viewer->setVideoItem(&item);
    FakeVideoPlayer* player = m_players->last(IMeskVideoPlayer::Media);
    QCOMPARE(player->loads.size(), 3);
    QCOMPARE(player->failedReceivers(), 1);
}

QTEST_MAIN(TestVideoViewer)
#include "tst_videoviewer.moc"
