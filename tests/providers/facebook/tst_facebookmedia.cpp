// Photos, videos and links of Facebook posts: stored fields, downloads into the
// storage's folders, photo info asked for first, and every failure reported as one.
#include "facebookitembed.h"
#include "facebookitems.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>

#include <memory>

namespace {

QHash<QString, QString> fieldsOf(CMediaDataBase* db, mid_t id)
{
    QHash<QString, QString> fields;
    db->mediaItemFields(id, fields);
    return fields;
}

QByteArray photosGetAnswer(const QString& pid, const QString& srcSmall, const QString& srcBig)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<photos_get_response xmlns=\"http://api.facebook.com/1.0/\" list=\"true\"><photo>"
                          "<pid>%1</pid><aid>100_7</aid><owner>100</owner><src_small>%2</src_small>"
                          "<src_big>%3</src_big><src>%2</src><link>http://h.example/photo.php</link>"
                          "<caption>c</caption><created>1262304000</created></photo></photos_get_response>")
        .arg(pid, srcSmall, srcBig)
        .toUtf8();
}

} // namespace

class TestFacebookMedia : public QObject
{
    Q_OBJECT
private:
    FacebookItemBed m_bed;

    SFacebookMedia medium(const QString& pid, const QString& src) const
    {
        SFacebookMedia media;
        media.pid = pid;
        media.type = QStringLiteral("photo");
        media.created = QStringLiteral("1262304000");
        media.href = m_bed.url(QStringLiteral("/photo.php?pid=") + pid);
        media.src = src;
        media.alt = QStringLiteral("A caption");
        return media;
    }

    SFacebookStreamPost videoPost(const QString& sourceType, const QString& sourceUrl,
                                  const QString& src) const
    {
        SFacebookStreamPost post;
        post.createdTime = QStringLiteral("1262304000");
        post.attachment.name = QStringLiteral("Cat video");
        SFacebookMedia media;
        media.type = QStringLiteral("video");
        media.href = QStringLiteral("http://h.example/video.php?v=900");
        media.src = src;
        media.sourceUrl = sourceUrl;
        media.sourceType = sourceType;
        post.attachment.media.append(media);
        return post;
    }

    // A photo with a known thumbnail address served at path.
    std::unique_ptr<CFacebookPhoto> servedPhoto(const QString& pid, const QString& path)
    {
        SFacebookPhotoInfo info;
        info.pid = pid;
        info.srcSmall = m_bed.url(path);
        info.srcBig = m_bed.url(path);
        info.created = QStringLiteral("1262304000");
        const mid_t id = CFacebookPhoto::createFromPhotoInfo(&m_bed.api, m_bed.db.get(), info, 2, 1);
        return std::unique_ptr<CFacebookPhoto>(CFacebookPhoto::load(&m_bed.api, m_bed.db.get(), id));
    }

private slots:
    void initTestCase() { QVERIFY(m_bed.start(this)); }
    void cleanupTestCase() { m_bed.stop(); }
    void init() { m_bed.reset(); }

    // A stream photo has no full-size address: the first loadImage() asks photos.get, then
    // fetches src_big once. The thumbnail keeps its file unless the answer names another.
    void photoInfoFirst_data()
    {
        QTest::addColumn<QString>("srcPath");
        QTest::addColumn<int>("thumbnailNumber");
        QTest::newRow("src differs from src_small") << "/media/s5.jpg" << 2;
        QTest::newRow("src is src_small") << "/media/photo_100_5_s.jpg" << 1;
    }
    void photoInfoFirst()
    {
        QFETCH(QString, srcPath);
        QFETCH(int, thumbnailNumber);
        const mid_t id = CFacebookPhoto::createFromMedia(
            &m_bed.api, m_bed.db.get(), medium(QStringLiteral("100_5"), m_bed.url(srcPath)), 2, 1);
        QVERIFY(id != 0);
        QHash<QString, QString> fields = fieldsOf(m_bed.db.get(), id);
        QVERIFY(!fields.contains(QStringLiteral("originalUrl")));
        QVERIFY(!fields.contains(QStringLiteral("originalFile")));

        std::unique_ptr<CFacebookPhoto> photo(CFacebookPhoto::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(photo);
        QCOMPARE(photo->text(), QStringLiteral("A caption"));
        QSignalSpy thumbnailDone(photo.get(), &CFacebookPhoto::thumbnailDownloadDone);
        QSignalSpy imageDone(photo.get(), &CFacebookPhoto::imageDownloadDone);
        QVERIFY(photo->loadThumbnail());
        QVERIFY(thumbnailDone.wait(30000));
        QVERIFY(photo->thumbnailFile().endsWith(QStringLiteral("/%1.1.jpg").arg(id)));

        QVERIFY(photo->loadImage());
        QVERIFY(imageDone.wait(30000));
        QTest::qWait(100);
        QCOMPARE(imageDone.size(), 1);
        QCOMPARE(thumbnailDone.size(), 1);
        const QList<FakeFacebookRest::Request> infos = m_bed.rest->requests(QStringLiteral("photos.get"));
        QCOMPARE(infos.size(), 1);
        QCOMPARE(infos.first().param(QStringLiteral("pids")), QStringLiteral("100_5"));
        QCOMPARE(m_bed.gets(QStringLiteral("/media/photo_100_5_n.jpg")), 1);
        QVERIFY(photo->imageFile().endsWith(QStringLiteral(".jpg")));
        QVERIFY(!FacebookItemBed::contents(photo->imageFile()).isEmpty());
        QVERIFY(photo->thumbnailFile().endsWith(QStringLiteral("/%1.%2.jpg").arg(id).arg(thumbnailNumber)));

        fields = fieldsOf(m_bed.db.get(), id);
        QCOMPARE(fields.value(QStringLiteral("originalUrl")),
                 m_bed.url(QStringLiteral("/media/photo_100_5_n.jpg")));
        QCOMPARE(fields.value(QStringLiteral("originalFile")), photo->imageFile());
        QCOMPARE(fields.value(QStringLiteral("thumbnailFile")), photo->thumbnailFile());
        QCOMPARE(fields.value(QStringLiteral("photoUrl")), m_bed.url(QStringLiteral("/photo.php?pid=100_5")));
    }

    // A status outside 2xx or a transport failure is a failure: no done signal, no file
    // written, an earlier good file left as it was.
    void thumbnailFailures_data()
    {
        QTest::addColumn<FacebookItemBed::Answer>("answer");
        QTest::addColumn<bool>("earlierFile");
        QTest::newRow("404 over a good file") << FacebookItemBed::Answer::NotFound << true;
        QTest::newRow("404, no file") << FacebookItemBed::Answer::NotFound << false;
        QTest::newRow("drop over a good file") << FacebookItemBed::Answer::Drop << true;
        QTest::newRow("drop, no file") << FacebookItemBed::Answer::Drop << false;
    }
    void thumbnailFailures()
    {
        QFETCH(FacebookItemBed::Answer, answer);
        QFETCH(bool, earlierFile);
        static int row = 0;
        const QString served = QStringLiteral("/media/t_%1.jpg").arg(++row);
        m_bed.serve(served, FacebookItemBed::Answer::Picture);
        std::unique_ptr<CFacebookPhoto> photo = servedPhoto(QStringLiteral("1_1"), served);
        QVERIFY(photo);
        QSignalSpy done(photo.get(), &CFacebookPhoto::thumbnailDownloadDone);
        QSignalSpy failed(photo.get(), &CFacebookPhoto::thumbnailDownloadFailed);
        QByteArray before;
        if (earlierFile) {
            QVERIFY(photo->loadThumbnail());
            QVERIFY(done.wait(30000));
            before = FacebookItemBed::contents(photo->thumbnailFile());
            QVERIFY(!before.isEmpty());
            done.clear();
        }
        m_bed.serve(served, answer);
        QVERIFY(photo->loadThumbnail());
        QVERIFY(failed.wait(30000));
        QTest::qWait(100);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(done.size(), 0);
        QCOMPARE(QFileInfo::exists(photo->thumbnailFile()), earlierFile);
        QCOMPARE(FacebookItemBed::contents(photo->thumbnailFile()), before);
    }

    void secondLoadWhileRunning()
    {
        m_bed.serve(QStringLiteral("/media/slow.jpg"), FacebookItemBed::Answer::SlowPicture);
        std::unique_ptr<CFacebookPhoto> photo =
            servedPhoto(QStringLiteral("1_2"), QStringLiteral("/media/slow.jpg"));
        QSignalSpy done(photo.get(), &CFacebookPhoto::thumbnailDownloadDone);
        QVERIFY(photo->loadThumbnail());
        QVERIFY(!photo->loadThumbnail());
        QVERIFY(done.wait(30000));
        QTest::qWait(100);
        QCOMPARE(done.size(), 1);
        QCOMPARE(m_bed.gets(QStringLiteral("/media/slow.jpg")), 1);
    }

    // A photo-info failure reaches whoever waits: the thumbnail's waiter, the image's, or
    // both; an answer without the wanted address fails the image too.
    void photoInfoFailures_data()
    {
        QTest::addColumn<bool>("wantThumbnail");
        QTest::addColumn<bool>("wantImage");
        QTest::addColumn<bool>("emptySrcBig"); // else photos.get is refused
        QTest::newRow("thumbnail") << true << false << false;
        QTest::newRow("image") << false << true << false;
        QTest::newRow("both") << true << true << false;
        QTest::newRow("empty src_big") << false << true << true;
    }
    void photoInfoFailures()
    {
        QFETCH(bool, wantThumbnail);
        QFETCH(bool, wantImage);
        QFETCH(bool, emptySrcBig);
        if (emptySrcBig)
            m_bed.rest->scriptReply(QStringLiteral("photos.get"), 200,
                                    photosGetAnswer(QStringLiteral("9_9"), QString(), QString()));
        else
            m_bed.rest->scriptError(QStringLiteral("photos.get"), 2);
        const mid_t id = CFacebookPhoto::createFromMedia(&m_bed.api, m_bed.db.get(),
                                                         medium(QStringLiteral("9_9"), QString()), 2, 1);
        std::unique_ptr<CFacebookPhoto> photo(CFacebookPhoto::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(photo);
        QSignalSpy thumbnailFailed(photo.get(), &CFacebookPhoto::thumbnailDownloadFailed);
        QSignalSpy imageFailed(photo.get(), &CFacebookPhoto::imageDownloadFailed);
        QSignalSpy thumbnailDone(photo.get(), &CFacebookPhoto::thumbnailDownloadDone);
        QSignalSpy imageDone(photo.get(), &CFacebookPhoto::imageDownloadDone);
        bool started = false;
        if (wantThumbnail)
            started = photo->loadThumbnail();
        if (wantImage)
            started = photo->loadImage() || started;
        QVERIFY(started);
        QVERIFY(QTest::qWaitFor([&] { return thumbnailFailed.size() + imageFailed.size() > 0; }, 30000));
        QTest::qWait(150);
        QCOMPARE(thumbnailFailed.size(), wantThumbnail ? 1 : 0);
        QCOMPARE(imageFailed.size(), wantImage ? 1 : 0);
        QCOMPARE(thumbnailDone.size() + imageDone.size(), 0);
        QCOMPARE(m_bed.rest->requests(QStringLiteral("photos.get")).size(), 1);
    }

    // "html" is a player page (2); "raw" and anything else a file to download (0).
    void videoKinds_data()
    {
        QTest::addColumn<QString>("sourceType");
        QTest::addColumn<QString>("stored");
        QTest::newRow("html") << "html"
                              << "2";
        QTest::newRow("raw") << "raw"
                             << "0";
        QTest::newRow("swf") << "swf"
                             << "0";
    }
    void videoKinds()
    {
        QFETCH(QString, sourceType);
        QFETCH(QString, stored);
        if (sourceType == QLatin1String("swf"))
            QTest::ignoreMessage(QtDebugMsg, "CFacebookApi: unknown video type swf");
        const QString body = m_bed.url(QStringLiteral("/media/v.mp4"));
        const mid_t id = CFacebookVideo::create(
            &m_bed.api, m_bed.db.get(),
            videoPost(sourceType, body, m_bed.url(QStringLiteral("/media/v.jpg"))), 2, 1);
        QVERIFY(id != 0);
        QCOMPARE(fieldsOf(m_bed.db.get(), id).value(QStringLiteral("videoType")), stored);
        std::unique_ptr<CFacebookVideo> video(CFacebookVideo::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(video);
        QCOMPARE(video->videoKind(), stored.toInt());
        QCOMPARE(video->videoUrl(), body);
        QCOMPARE(video->pageUrl(), QStringLiteral("http://h.example/video.php?v=900"));
        QCOMPARE(video->text(), QStringLiteral("Cat video"));
        QVERIFY(video->mediaItem().mediaId.isEmpty());
        QCOMPARE(video->mediaKind(), int(IMediaObject::Video));
    }

    void videoWithoutMedia()
    {
        SFacebookStreamPost post = videoPost(QStringLiteral("raw"), QString(), QString());
        post.attachment.media.clear();
        QTest::ignoreMessage(QtDebugMsg,
                             "CFacebookVideo: failed to create video object without media attachment");
        QCOMPARE(CFacebookVideo::create(&m_bed.api, m_bed.db.get(), post, 2, 1), mid_t(0));
    }

    void videoDownload_data()
    {
        QTest::addColumn<FacebookItemBed::Answer>("answer");
        QTest::addColumn<bool>("ok");
        QTest::newRow("200") << FacebookItemBed::Answer::Picture << true;
        QTest::newRow("404") << FacebookItemBed::Answer::NotFound << false;
        QTest::newRow("drop") << FacebookItemBed::Answer::Drop << false;
    }
    void videoDownload()
    {
        QFETCH(FacebookItemBed::Answer, answer);
        QFETCH(bool, ok);
        const QString path = QStringLiteral("/media/clip_%1.mp4").arg(QTest::currentDataTag());
        m_bed.serve(path, answer);
        const mid_t id = CFacebookVideo::create(
            &m_bed.api, m_bed.db.get(), videoPost(QStringLiteral("raw"), m_bed.url(path), QString()), 2, 1);
        std::unique_ptr<CFacebookVideo> video(CFacebookVideo::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(video);
        QSignalSpy done(video.get(), &CFacebookVideo::downloadDone);
        QSignalSpy failed(video.get(), &CFacebookVideo::downloadFailed);
        QVERIFY(video->loadVideo());
        QVERIFY(QTest::qWaitFor([&] { return done.size() + failed.size() > 0; }, 30000));
        QTest::qWait(100);
        QCOMPARE(done.size(), ok ? 1 : 0);
        QCOMPARE(failed.size(), ok ? 0 : 1);
        QCOMPARE(QFileInfo::exists(video->videoFile()), ok);
        if (ok)
            QVERIFY(FacebookItemBed::contents(video->videoFile()).startsWith("MEDIA-BODY:"));
    }

    // The suffix is the text after the last full stop only when it is 1-3 letters or
    // digits; anything else gives the default. Files lie directly in the dated folder.
    void fileSuffixes_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("query after php") << "http://h.example/clip.php?v=12"
                                         << "originalFile"
                                         << "mp4";
        QTest::newRow("gif") << "http://h.example/t.gif"
                             << "thumbnailFile"
                             << "gif";
        QTest::newRow("jpeg") << "http://h.example/p.jpeg"
                              << "thumbnailFile"
                              << "jpg";
        QTest::newRow("slash after dot") << "http://h.example/a.b/c"
                                         << "thumbnailFile"
                                         << "jpg";
        QTest::newRow("question mark") << "http://h.example/x.x?y"
                                       << "thumbnailFile"
                                       << "jpg";
        QTest::newRow("equals sign") << "http://h.example/p?x.a=1"
                                     << "thumbnailFile"
                                     << "jpg";
        QTest::newRow("no dot in path") << "<base>/media/pic"
                                        << "thumbnailFile"
                                        << "jpg";
        QTest::newRow("no dot in video path") << "<base>/media/pic"
                                              << "originalFile"
                                              << "mp4";
    }
    void fileSuffixes()
    {
        QFETCH(QString, url);
        QFETCH(QString, field);
        QFETCH(QString, suffix);
        url.replace(QStringLiteral("<base>"), m_bed.base());
        const bool body = field == QLatin1String("originalFile");
        const mid_t id = CFacebookVideo::create(
            &m_bed.api, m_bed.db.get(),
            videoPost(QStringLiteral("raw"), body ? url : QString(), body ? QString() : url), 2, 1);
        QVERIFY(id != 0);
        const QString file = fieldsOf(m_bed.db.get(), id).value(field);
        const QFileInfo info(file);
        QCOMPARE(info.suffix(), suffix);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.[a-z0-9]+$")).match(info.fileName()).hasMatch(),
            qPrintable(file));
        const QDir folder = info.dir();
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{6}$")).match(folder.dirName()).hasMatch());
        QFileInfo parent(folder.absolutePath());
        QCOMPARE(parent.dir().dirName(), body ? QStringLiteral("media") : QStringLiteral("items"));
    }

    void linkRoundTrip()
    {
        const SFacebookLink record{QStringLiteral("http://h.example/a?b='c'"),
                                   QStringLiteral("An \"article\""), QStringLiteral("h.example"),
                                   QStringLiteral("1262304100")};
        const mid_t id = CFacebookLink::create(&m_bed.api, m_bed.db.get(), record, 2, 3);
        QVERIFY(id != 0);
        std::unique_ptr<CFacebookLink> link(CFacebookLink::load(&m_bed.api, m_bed.db.get(), id));
        QVERIFY(link);
        QCOMPARE(link->url(), record.url);
        QCOMPARE(link->description(), record.name);
        QCOMPARE(link->caption(), record.caption);
        QCOMPARE(link->mediaItem().created, QDateTime(QDate(2010, 1, 1), QTime(0, 1, 40), Qt::UTC));
        QCOMPARE(link->mediaItem().type, int(MeskItemType::Link));
        QCOMPARE(link->mediaItem().user, mid_t(3));
        QVERIFY(link->setParent(4242));
        QCOMPARE(m_bed.db->childItems(4242).size(), 1);
    }

    // An item of another type loads as nothing, with the type-check message.
    void wrongTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("loader");
        QTest::addColumn<QString>("message");
        QTest::newRow("photo as comment") << 5 << "comment"
                                          << "CFacebookComment: item type check failed while loading from "
                                             "storage, must be eTextCommentItem";
        QTest::newRow("video as photo")
            << 6 << "photo"
            << "CFacebookPhoto: item type check failed while loading from storage, must be eImageMediaItem";
        QTest::newRow("photo as link")
            << 5 << "link"
            << "CFacebookLink: item type check failed while loading from storage, must be eLinkMediaItem";
        QTest::newRow("link as video")
            << 7 << "video"
            << "CFacebookVideo: item type check failed while loading from storage, must be eVideoMediaItem";
        QTest::newRow("comment as calendar event")
            << 8 << "event"
            << "CFacebookCalendarEvent: item type check failed while loading from storage, must be "
               "eCalendarEventItem";
    }
    void wrongTypes()
    {
        QFETCH(int, type);
        QFETCH(QString, loader);
        QFETCH(QString, message);
        SMediaItem item;
        item.provider = 2;
        item.type = type;
        QVERIFY(m_bed.db->addMediaItem(item));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        CFacebookApi* api = &m_bed.api;
        CMediaDataBase* db = m_bed.db.get();
        QObject* loaded = nullptr;
        if (loader == QLatin1String("comment"))
            loaded = CFacebookComment::load(api, db, item.id);
        else if (loader == QLatin1String("photo"))
            loaded = CFacebookPhoto::load(api, db, item.id);
        else if (loader == QLatin1String("link"))
            loaded = CFacebookLink::load(api, db, item.id);
        else if (loader == QLatin1String("video"))
            loaded = CFacebookVideo::load(api, db, item.id);
        else
            loaded = CFacebookCalendarEvent::load(api, db, item.id);
        QVERIFY(!loaded);
        delete loaded;
    }

    // Deleting a photo cancels its download: nothing arrives afterwards, nothing is touched.
    void deletedDuringDownload()
    {
        m_bed.serve(QStringLiteral("/media/gone.jpg"), FacebookItemBed::Answer::SlowPicture);
        std::unique_ptr<CFacebookPhoto> photo =
            servedPhoto(QStringLiteral("1_3"), QStringLiteral("/media/gone.jpg"));
        QObject observer;
        int signals_ = 0;
        using Signal = void (IMediaImageItem::*)();
        for (Signal signal :
             {Signal(&IMediaObject::thumbnailDownloadDone), Signal(&IMediaObject::thumbnailDownloadFailed),
              Signal(&IMediaImageItem::imageDownloadDone), Signal(&IMediaImageItem::imageDownloadFailed)})
            connect(photo.get(), signal, &observer, [&signals_] { ++signals_; });
        QVERIFY(photo->loadThumbnail());
        QVERIFY(photo->loadImage());
        QVERIFY(m_bed.server->waitForRequests(1));
        photo.reset();
        QTest::qWait(1200);
        QCOMPARE(signals_, 0);
    }
};

QTEST_GUILESS_MAIN(TestFacebookMedia)
#include "tst_facebookmedia.moc"
