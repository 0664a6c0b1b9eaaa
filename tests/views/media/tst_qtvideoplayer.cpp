#include "fakemediaitems.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "media/meskvideoviewer.h"
#include "meskqtvideoplayer.h"
#include "meskuistyle.h"
#include "tempstorage.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

// The Linux player on the real multimedia backend (GStreamer).
class TestQtVideoPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsFailsAndPlaysAgain();
    void viewerShowsFormatPage();

private:
    bool waitForFrame(CMeskQtVideoPlayer& player);

    QTemporaryDir m_dir;
    QString m_picture;
    QString m_junk;
};

void TestQtVideoPlayer::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    // The viewer makes its players through the factory, here the player itself (the program
    // loads it as a plugin).
    CMeskQtVideoPlayer::registerFactory();
    QVERIFY(m_dir.isValid());
    QVERIFY(CMeskQtVideoPlayer::backendUsable());
    // A still picture plays as a one-frame video.
    m_picture = m_dir.filePath(QStringLiteral("still.png"));
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(m_picture));
    m_junk = m_dir.filePath(QStringLiteral("x.mp4"));
    QFile junk(m_junk);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
}

bool TestQtVideoPlayer::waitForFrame(CMeskQtVideoPlayer& player)
{
    bool valid = false;
    const QMetaObject::Connection connection =
        connect(player.videoWidget()->videoSink(), &QVideoSink::videoFrameChanged, this,
                [&valid](const QVideoFrame& frame) { valid = valid || frame.isValid(); });
    const bool ok = QTest::qWaitFor([&valid] { return valid; }, 30000);
    disconnect(connection);
    return ok;
}

void TestQtVideoPlayer::playsFailsAndPlaysAgain()
{
    QWidget host;
    host.resize(320, 240);
    auto* player = new CMeskQtVideoPlayer(&host);
    QCOMPARE(player->widget()->parentWidget(), &host);
    QVERIFY(player->isAvailable());
    host.show();
    QSignalSpy failed(player, &IMeskVideoPlayer::failed);

    player->load(QUrl::fromLocalFile(m_picture));
    QVERIFY(waitForFrame(*player));
    QCOMPARE(failed.count(), 0);

    player->unload();
    QCOMPARE(player->mediaPlayer()->playbackState(), QMediaPlayer::StoppedState);
    QVERIFY(player->mediaPlayer()->source().isEmpty());

    // One bad source is one failure, however often the backend reports it.
    player->load(QUrl::fromLocalFile(m_junk));
    QVERIFY(failed.wait(30000));
    QTest::qWait(300);
    QCOMPARE(failed.count(), 1);
    player->unload();

    player->load(QUrl::fromLocalFile(m_picture));
    QVERIFY(waitForFrame(*player));
    QCOMPARE(failed.count(), 1);
}

void TestQtVideoPlayer::viewerShowsFormatPage()
{
    CMeskVideoViewer viewer;
    viewer.resize(800, 600);
    viewer.show();
    FakeVideoItem item(IMediaVideoItem::PlayFile);
    item.file = m_junk;
    viewer.setVideoItem(&item);
    QVERIFY(viewer.player());
    QTRY_VERIFY_WITH_TIMEOUT(viewer.errorPage(), 30000);
    QCOMPARE(viewer.errorPage()->title(), QStringLiteral("Video format is not supported"));
    QCOMPARE(item.videoLoads, 0);
}

int main(int argc, char* argv[])
{
    // What the multimedia stack keeps (the sound server's runtime folder, GStreamer's plugin registry)
    // goes into a private home that outlives the application.
    TempStorageRoot root;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestQtVideoPlayer test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_qtvideoplayer.moc"
