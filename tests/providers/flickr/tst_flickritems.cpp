// Flickr photos and users against the stand-in service: stored form, downloads, the full-size
// lookup and the buddy icon, with every download judged by its status.
#include "flickritems.h"
#include "flickrstoragefixture.h"
#include "meskhttptaskpool.h"
#include "meskpictures.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kOwner = QStringLiteral("12345678@N00");
const QString kThumbPath = QStringLiteral("/farm2/1234/9_ab_s.jpg");
const QString kOriginalPath = QStringLiteral("/farm2/1234/9_cd_o.png");

QByteArray sizesAnswer(const QList<QPair<int, QString>>& sizes)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\">\n<sizes>\n";
    for (const auto& [width, source] : sizes) {
        body += "<size label=\"L\" width=\"" + QByteArray::number(width) + "\" height=\"10\"";
        if (!source.isNull())
            body += " source=\"" + source.toUtf8() + "\"";
        body += " url=\"x\" />\n";
    }
    return body + "</sizes>\n</rsp>\n";
}

bool sameImage(const QPixmap& a, const QPixmap& b)
{
    return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
           b.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestFlickrItems : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;
    QString m_base;

    FakeFlickrService& service() { return *m_fx->service; }

    std::unique_ptr<CFlickrPhoto> makePhoto()
    {
        SFlickrPhoto record;
        record.id = QStringLiteral("9");
        record.owner = kOwner;
        record.server = QStringLiteral("1234");
        record.farm = QStringLiteral("2");
        record.secret = QStringLiteral("ab");
        record.dateUpload = QStringLiteral("1200000000");
        record.title = QStringLiteral("Sunset");
        const mid_t id =
            CFlickrPhoto::create(m_fx->api.get(), m_fx->db.get(), record, MeskProvider::Flickr, 5);
        return std::unique_ptr<CFlickrPhoto>(id ? CFlickrPhoto::load(m_fx->api.get(), m_fx->db.get(), id)
                                                : nullptr);
    }

    std::unique_ptr<CFlickrUser> makeUser()
    {
        const mid_t id = CFlickrUser::create(m_fx->api.get(), m_fx->db.get(), kOwner, QStringLiteral("bob"),
                                             MeskProvider::Flickr);
        return std::unique_ptr<CFlickrUser>(id ? CFlickrUser::load(m_fx->api.get(), m_fx->db.get(), id)
                                               : nullptr);
    }

    void seedService(const QString& iconServer, const QString& iconFarm)
    {
        service().clearStore();
        service().addUser({kOwner, QStringLiteral("bob"), QStringLiteral("Bob"), iconServer, iconFarm, true});
        FakeFlickrService::Photo photo;
        photo.id = QStringLiteral("9");
        photo.owner = kOwner;
        photo.secret = QStringLiteral("ab");
        photo.server = QStringLiteral("1234");
        photo.farm = QStringLiteral("2");
        photo.title = QStringLiteral("Sunset");
        photo.dateUpload = 1200000000;
        photo.originalSecret = QStringLiteral("cd");
        photo.originalFormat = QStringLiteral("png");
        service().addPhoto(photo);
    }

    int sizeLookups() { return int(service().requests(QStringLiteral("flickr.photos.getSizes")).size()); }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFlickrMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(true));
        m_base = m_fx->server->baseUrl();
        seedService(QStringLiteral("1234"), QStringLiteral("2"));
    }
    void cleanup() { m_fx.reset(); }

    void storedForm()
    {
        std::unique_ptr<CFlickrPhoto> photo = makePhoto();
        QVERIFY(photo);
        const SMediaItem item = m_fx->storedItem(photo->mediaItem().id);
        QCOMPARE(item.type, MeskItemType::Image);
        QCOMPARE(item.created, QDateTime(QDate(2008, 1, 10), QTime(21, 20), Qt::UTC));
        QCOMPARE(item.content, QStringLiteral("Sunset"));
        QCOMPARE(item.mediaId, QStringLiteral("9"));
        QCOMPARE(item.user, mid_t(5));
        const QHash<QString, QString> fields = m_fx->fields(item.id);
        QCOMPARE(fields.value(QStringLiteral("photoUrl")),
                 m_base + QStringLiteral("/photos/") + kOwner + "/9");
        QCOMPARE(fields.value(QStringLiteral("thumbnailUrl")), m_base + kThumbPath);
        QVERIFY(fields.value(QStringLiteral("thumbnailFile")).endsWith(QLatin1String(".jpg")));

        const mid_t video = m_fx->addItem(MeskItemType::Video, item.created);
        QTest::ignoreMessage(QtDebugMsg, "CFlickrPhoto: item type check failed while loading from storage, "
                                         "must be eImageMediaItem");
        QCOMPARE(CFlickrPhoto::load(m_fx->api.get(), m_fx->db.get(), video), nullptr);
    }

    void thumbnail_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("served") << 200;
        QTest::newRow("not found") << 404;
    }
    void thumbnail()
    {
        QFETCH(int, status);
        std::unique_ptr<CFlickrPhoto> photo = makePhoto();
        QVERIFY(photo);
        {
            QFile earlier(photo->thumbnailFile());
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        service().scriptPicture(kThumbPath, status, 300, 1);
        QSignalSpy done(photo.get(), &IMediaObject::thumbnailDownloadDone);
        QSignalSpy failed(photo.get(), &IMediaObject::thumbnailDownloadFailed);
        QVERIFY(photo->loadThumbnail());
        QVERIFY(!photo->loadThumbnail()); // one download at a time
        QTRY_COMPARE_WITH_TIMEOUT(done.size() + failed.size(), 1, 30000);
        QCOMPARE(done.size(), status == 200 ? 1 : 0);
        QCOMPARE(service().pictureRequests(), QStringList{kThumbPath});
        QFile file(photo->thumbnailFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (status == 200) {
            TestHttpRequest again;
            again.method = "GET";
            again.target = kThumbPath.toUtf8();
            const QByteArray served = service().handle(again).body; // the stand-in draws a path once
            QCOMPARE(QImage::fromData(served).size(), QSize(75, 75));
            QCOMPARE(file.readAll(), served);
        } else
            QCOMPARE(file.readAll(), QByteArray("earlier"));
    }

    void fullSizeFromTheWidest()
    {
        std::unique_ptr<CFlickrPhoto> photo = makePhoto();
        QVERIFY(photo);
        const QString first = m_base + kOriginalPath;
        service().scriptReply(QStringLiteral("flickr.photos.getSizes"), 200,
                              sizesAnswer({{75, m_base + kThumbPath},
                                           {500, m_base + "/farm2/1234/9_ab.jpg"},
                                           {1024, first},
                                           {1024, m_base + "/farm2/1234/9_ab_m.jpg"}}));
        QSignalSpy done(photo.get(), &IMediaImageItem::imageDownloadDone);
        QSignalSpy failed(photo.get(), &IMediaImageItem::imageDownloadFailed);
        QVERIFY(photo->loadImage());
        QTRY_COMPARE_WITH_TIMEOUT(done.size() + failed.size(), 1, 30000);
        QCOMPARE(done.size(), 1);
        const QHash<QString, QString> fields = m_fx->fields(photo->mediaItem().id);
        QCOMPARE(fields.value(QStringLiteral("originalUrl")), first);
        QCOMPARE(fields.value(QStringLiteral("originalFile")), photo->imageFile());
        QVERIFY(photo->imageFile().endsWith(QLatin1String(".png")));
        QCOMPARE(QImage(photo->imageFile()).size(), QSize(1024, 768));

        // Known now: downloaded again without a lookup.
        QVERIFY(photo->loadImage());
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 30000);
        QCOMPARE(sizeLookups(), 1);
        QCOMPARE(failed.size(), 0);
    }

    void fullSizeExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("jpeg") << QStringLiteral("/farm2/1234/9_cd_o.jpeg") << QStringLiteral(".jpg");
        QTest::newRow("long") << QStringLiteral("/farm2/1234/9_cd_o.tiff2") << QStringLiteral(".jpg");
        QTest::newRow("none") << QStringLiteral("/farm2/1234/original") << QStringLiteral(".jpg");
    }
    void fullSizeExtension()
    {
        QFETCH(QString, path);
        QFETCH(QString, suffix);
        std::unique_ptr<CFlickrPhoto> photo = makePhoto();
        QVERIFY(photo);
        service().scriptReply(QStringLiteral("flickr.photos.getSizes"), 200,
                              sizesAnswer({{1024, m_base + path}}));
        QSignalSpy done(photo.get(), &IMediaImageItem::imageDownloadDone);
        QSignalSpy failed(photo.get(), &IMediaImageItem::imageDownloadFailed);
        QVERIFY(photo->loadImage());
        QTRY_COMPARE_WITH_TIMEOUT(done.size() + failed.size(), 1, 30000);
        QVERIFY2(photo->imageFile().endsWith(suffix), qPrintable(photo->imageFile()));
        QCOMPARE(photo->originalUrl(), m_base + path);
    }

    void fullSizeFailures_data()
    {
        QTest::addColumn<QByteArray>("sizes"); // empty: the service's own answer
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<bool>("addressStored");
        QTest::newRow("empty size list") << sizesAnswer({}) << 0 << false;
        QTest::newRow("no source") << sizesAnswer({{1024, QString()}}) << 0 << false;
        QTest::newRow("lookup refused") << QByteArray() << 98 << false;
        QTest::newRow("full size missing") << QByteArray() << 0 << true;
    }
    void fullSizeFailures()
    {
        QFETCH(QByteArray, sizes);
        QFETCH(int, errorCode);
        QFETCH(bool, addressStored);
        std::unique_ptr<CFlickrPhoto> photo = makePhoto();
        QVERIFY(photo);
        const QString method = QStringLiteral("flickr.photos.getSizes");
        if (!sizes.isEmpty())
            service().scriptReply(method, 200, sizes);
        else if (errorCode)
            service().scriptError(method, errorCode);
        service().scriptPicture(kOriginalPath, 404);
        QSignalSpy done(photo.get(), &IMediaImageItem::imageDownloadDone);
        QSignalSpy failed(photo.get(), &IMediaImageItem::imageDownloadFailed);

        QVERIFY(photo->loadImage());
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QCOMPARE(done.size(), 0);
        const QHash<QString, QString> fields = m_fx->fields(photo->mediaItem().id);
        QCOMPARE(fields.contains(QStringLiteral("originalUrl")), addressStored);
        QCOMPARE(fields.contains(QStringLiteral("originalFile")), addressStored);
        QCOMPARE(photo->imageFile().isEmpty(), !addressStored);

        // The next attempt asks again while the address is unknown, and fails again.
        QVERIFY(photo->loadImage());
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 30000);
        QCOMPARE(sizeLookups(), addressStored ? 1 : 2);
        QCOMPARE(done.size(), 0);
    }

    void buddyIcon_data()
    {
        QTest::addColumn<QString>("iconServer");
        QTest::addColumn<QString>("iconFarm");
        QTest::addColumn<QString>("path");
        QTest::newRow("own icon") << QStringLiteral("1234") << QStringLiteral("2")
                                  << QStringLiteral("/farm2/1234/buddyicons/12345678@N00.jpg");
        QTest::newRow("service default")
            << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("/images/buddyicon.jpg");
    }
    void buddyIcon()
    {
        QFETCH(QString, iconServer);
        QFETCH(QString, iconFarm);
        QFETCH(QString, path);
        seedService(iconServer, iconFarm);
        std::unique_ptr<CFlickrUser> user = makeUser();
        QVERIFY(user);
        QCOMPARE(user->profileUrl(), m_base + QStringLiteral("/people/") + kOwner);
        QSignalSpy updated(user.get(), &IMediaUser::avatarUpdated);
        QSignalSpy failed(user.get(), &IMediaUser::avatarUpdateFailed);

        const QPixmap fallback = scaleToNormalAvatar(user->defaultAvatar());
        QVERIFY(!fallback.isNull());
        QVERIFY(sameImage(user->avatar(), fallback));
        QVERIFY(sameImage(user->avatar(), fallback)); // still running: no second lookup
        QTRY_COMPARE_WITH_TIMEOUT(updated.size() + failed.size(), 1, 30000);
        QCOMPARE(updated.size(), 1);
        QCOMPARE(service().requests(QStringLiteral("flickr.people.getInfo")).size(), 1);

        QCOMPARE(user->serviceUser().avatar, m_base + path);
        SServiceUser stored;
        QVERIFY(m_fx->db->serviceUser(user->serviceUser().id, stored));
        QCOMPARE(stored.avatar, m_base + path);
        QCOMPARE(service().pictureRequests(), QStringList{path});

        QPixmap icon;
        QVERIFY(loadNormalAvatar(user->avatarFile(), icon));
        QVERIFY(sameImage(user->avatar(), icon));
        QVERIFY(!sameImage(icon, fallback));
        QVERIFY(user->smallAvatar().width() <= 32);
    }

    void avatarFailures_data()
    {
        QTest::addColumn<bool>("infoFails");
        QTest::newRow("user info refused") << true;
        QTest::newRow("icon missing") << false;
    }
    void avatarFailures()
    {
        QFETCH(bool, infoFails);
        if (infoFails)
            service().scriptError(QStringLiteral("flickr.people.getInfo"), 1);
        else
            service().scriptPicture(QStringLiteral("/farm2/1234/buddyicons/12345678@N00.jpg"), 404);
        std::unique_ptr<CFlickrUser> user = makeUser();
        QVERIFY(user);
        QSignalSpy updated(user.get(), &IMediaUser::avatarUpdated);
        QSignalSpy failed(user.get(), &IMediaUser::avatarUpdateFailed);
        user->updateAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QCOMPARE(updated.size(), 0);
        QVERIFY(!QFile::exists(user->avatarFile()));
        QVERIFY(sameImage(user->avatar(), scaleToNormalAvatar(user->defaultAvatar())));
    }
};

QTEST_MAIN(TestFlickrItems)
#include "tst_flickritems.moc"
