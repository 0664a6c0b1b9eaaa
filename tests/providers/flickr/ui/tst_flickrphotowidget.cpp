// The Flickr photo-post widget over stored photos, with the stand-in service for the downloads.
#include "../../../uilib/urlcatcher.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrstoragefixture.h"
#include "meskhttptaskpool.h"
#include "meskitemwidgets.h"
#include "meskpictures.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "ui/flickrphotowidget.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <tuple>

namespace {

const QString kOwner = QStringLiteral("12345678@N00");

QImage imageOf(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

bool writePicture(const QString& file, const QColor& colour)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QImage image(75, 75, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(file, "PNG");
}

} // namespace

class TestFlickrPhotoWidget : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FlickrStorageFixture> m_fx;
    std::unique_ptr<CFlickrObjectManager> m_objects;
    CFlickrUser* m_user = nullptr;
    CFlickrPhotoPost* m_post = nullptr;

    // A post of the user with one photo per title (the first is the newest); with onDisk the
    // thumbnails are stored files already.
    bool makePost(const QString& userName, const QStringList& titles, bool onDisk)
    {
        m_user = m_objects->findOrAddUser(kOwner, userName);
        if (!m_user)
            return false;
        m_post = m_objects->addPhotoPost(m_user->serviceUser().id);
        if (!m_post)
            return false;
        for (int i = 0; i < titles.size(); ++i) {
            const QString id = QString::number(100 + i);
            const QString upload = QString::number(1700000000 - i * 60);
            const SFlickrPhoto record{id, "ab", "1234", "2", kOwner, {}, titles.at(i), upload};
            FakeFlickrService::Photo served;
            std::tie(served.id, served.owner, served.secret, served.server, served.farm) =
                std::tie(record.id, record.owner, record.secret, record.server, record.farm);
            m_fx->service->addPhoto(served);
            CFlickrPhoto* photo = m_objects->findOrAddPhoto(record, m_user->serviceUser().id);
            if (!photo || !m_post->addPhoto(photo))
                return false;
            if (onDisk && !writePicture(photo->thumbnailFile(), Qt::red))
                return false;
        }
        return true;
    }

    std::unique_ptr<CFlickrPhotoWidget> makeWidget()
    {
        auto widget = std::make_unique<CFlickrPhotoWidget>(m_user, m_post, m_objects.get());
        widget->resize(340, widget->sizeHint().height());
        return widget;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFlickrMetaTypes();
        QApplication::setStyle(new CMeskUiStyle);
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<FlickrStorageFixture>();
        QVERIFY(m_fx->start(true));
        m_fx->service->clearStore();
        m_fx->service->addUser({kOwner, QStringLiteral("bob"), QStringLiteral("Bob"), QStringLiteral("1234"),
                                QStringLiteral("2"), true});
        m_objects = std::make_unique<CFlickrObjectManager>(m_fx->api.get(), MeskProvider::Flickr);
        m_objects->setStorage(m_fx->db.get());
    }
    void cleanup()
    {
        m_objects.reset();
        m_fx.reset();
    }

    void caption_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("caption");
        QTest::newRow("five photos") << "bob" << QStringList{"a", "b", "c", "d", "e"}
                                     << "<b>bob</b> posted 5 photos";
        QTest::newRow("one photo") << "bob" << QStringList{"Sunset"}
                                   << "<b>bob</b> posted a new photo: \"Sunset\"";
        QTest::newRow("untitled") << "bob" << QStringList{QString()} << "<b>bob</b> posted a new photo";
        QTest::newRow("markup in names")
            << "<x" << QStringList{"a<b"} << "<b>&lt;x</b> posted a new photo: \"a&lt;b\"";
    }
    // The caption, one thumbnail per photo up to three, each opening its own photo's page.
    void caption()
    {
        QFETCH(QString, user);
        QFETCH(QStringList, titles);
        QFETCH(QString, caption);
        QVERIFY(makePost(user, titles, true));
        std::unique_ptr<CFlickrPhotoWidget> widget = makeWidget();
        QCOMPARE(widget->captionLabel()->text(), caption);
        QCOMPARE(widget->mediaItem().id, m_post->mediaItem().id);

        const QList<CFlickrPhoto*> photos = m_objects->photosOfPost(m_post);
        const QList<CMeskThumbnailWidget*> thumbnails = widget->thumbnails();
        QCOMPARE(thumbnails.size(), qMin(3, int(titles.size())));
        for (int i = 0; i < thumbnails.size(); ++i) {
            QCOMPARE(thumbnails.at(i)->url(), photos.at(i)->photoUrl());
            QVERIFY(thumbnails.at(i)->hasPixmap());
        }
    }

    void thumbnailDownload_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("downloaded") << 200;
        QTest::newRow("not found") << 404;
    }
    // A thumbnail not on disk is downloaded once and shown when it arrives; a picture once shown
    // stays, whatever the file holds later. A failed download leaves the thumbnail empty.
    void thumbnailDownload()
    {
        QFETCH(int, status);
        QVERIFY(makePost(QStringLiteral("bob"), {QStringLiteral("Sunset")}, false));
        const QString path = QStringLiteral("/farm2/1234/100_ab_s.jpg");
        if (status != 200)
            m_fx->service->scriptPicture(path, status);
        CFlickrPhoto* photo = m_objects->photosOfPost(m_post).first();
        QSignalSpy done(photo, &IMediaObject::thumbnailDownloadDone);
        QSignalSpy failed(photo, &IMediaObject::thumbnailDownloadFailed);
        std::unique_ptr<CFlickrPhotoWidget> widget = makeWidget();
        CMeskThumbnailWidget* thumbnail = widget->thumbnails().first();
        QVERIFY(!thumbnail->hasPixmap());
        QTRY_VERIFY_WITH_TIMEOUT(done.count() + failed.count() == 1, 30000);
        QCOMPARE(m_fx->service->pictureRequests().filter(path).size(), 1);
        QCOMPARE(thumbnail->hasPixmap(), status == 200);
        if (status != 200)
            return;
        const QImage shown = imageOf(thumbnail->pixmap());
        QVERIFY(writePicture(photo->thumbnailFile(), Qt::blue));
        emit photo->thumbnailDownloadDone();
        QCOMPARE(imageOf(thumbnail->pixmap()), shown);
    }

    // The logo hides alone; the avatar follows the author's picture; presses open the pages.
    void partsAndPresses()
    {
        QVERIFY(makePost(QStringLiteral("bob"), {QStringLiteral("a"), QStringLiteral("b")}, true));
        std::unique_ptr<CFlickrPhotoWidget> widget = makeWidget();
        widget->show();
        QVERIFY(widget->logoWidget()->hasPixmap());
        widget->setThumbnailVisible(false);
        QVERIFY(!widget->logoWidget()->isVisible());
        QVERIFY(widget->avatarWidget()->isVisible());
        QVERIFY(widget->thumbnails().first()->isVisible());
        QVERIFY(widget->dateLabel()->isVisible());

        // The author's buddy icon arrives after the widget showed the default picture.
        const QImage before = imageOf(widget->avatarWidget()->pixmap());
        QCOMPARE(before, imageOf(scaleToSmallAvatar(m_user->defaultAvatar())));
        QSignalSpy updated(m_user, &IMediaUser::avatarUpdated);
        QVERIFY(updated.wait(30000));
        QCOMPARE(imageOf(widget->avatarWidget()->pixmap()), imageOf(m_user->smallAvatar()));
        QVERIFY(imageOf(widget->avatarWidget()->pixmap()) != before);

        widget->setThumbnailVisible(true);
        UrlCatcher urls;
        QTest::mouseClick(widget->avatarWidget(), Qt::LeftButton);
        QTest::mouseClick(widget->thumbnails().at(1), Qt::LeftButton);
        QTest::mouseClick(widget->logoWidget(), Qt::LeftButton);
        QCOMPARE(urls.opened,
                 (QList<QUrl>{QUrl(m_fx->server->baseUrl() + QStringLiteral("/people/") + kOwner),
                              QUrl(m_objects->photosOfPost(m_post).at(1)->photoUrl())}));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("highlight");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QString>("shown");
        const QString caption = QStringLiteral("<b>bob</b> posted 2 photos");
        QTest::newRow("author, any case") << "BOB" << false << true << caption;
        QTest::newRow("text") << "photos" << false << true << caption;
        QTest::newRow("no match") << "zzz" << true << false << caption;
        QTest::newRow("highlighted") << "photos" << true << true
                                     << CMeskTexts::highlightText(caption, QStringLiteral("photos"), true);
    }
    void filter()
    {
        QFETCH(QString, filter);
        QFETCH(bool, highlight);
        QFETCH(bool, matches);
        QFETCH(QString, shown);
        QVERIFY(makePost(QStringLiteral("bob"), {QStringLiteral("a"), QStringLiteral("b")}, true));
        std::unique_ptr<CFlickrPhotoWidget> widget = makeWidget();
        QCOMPARE(widget->applyFilter(filter, highlight), matches);
        QCOMPARE(widget->captionLabel()->text(), shown);
        QCOMPARE(shown.contains(QStringLiteral("<font")), highlight && matches);
        widget->clearFilter();
        QCOMPARE(widget->captionLabel()->text(), QStringLiteral("<b>bob</b> posted 2 photos"));
    }
};

QTEST_MAIN(TestFlickrPhotoWidget)
#include "tst_flickrphotowidget.moc"
