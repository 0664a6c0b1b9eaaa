#include "flickrgallery.h"

#include "flickrapi.h"
#include "flickrauth.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "flickrrecords.h"
#include "mediadatabase.h"
#include "ui/flickrphotowidget.h"
#include "ui/flickrsetupwidget.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

namespace {

const QString kOwner = QStringLiteral("12345678@N00");

// A small landscape in the hue given.
bool drawPicture(const QString& file, int hue)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QImage image(150, 150, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor::fromHsv(hue, 140, 220));
    sky.setColorAt(1, QColor::fromHsv(hue, 30, 250));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 190, 60));
    painter.drawEllipse(QRectF(85, 20, 40, 40));
    painter.setBrush(QColor::fromHsv((hue + 120) % 360, 120, 140));
    painter.drawRect(QRectF(0, 105, 150, 45));
    painter.end();
    return image.save(file, "PNG");
}

} // namespace

CFlickrGallerySamples::CFlickrGallerySamples()
{
    m_api = std::make_unique<CFlickrApi>();
    m_auth = std::make_unique<CFlickrAuth>(m_api.get(), nullptr);
    if (!m_dir.isValid())
        return;
    m_db = std::make_unique<CMediaDataBase>(m_dir.filePath(QStringLiteral("storage")));
    if (!m_db->open())
        return;
    m_objects = std::make_unique<CFlickrObjectManager>(m_api.get(), 3);
    m_objects->setStorage(m_db.get());
    // bob with his buddy icon on disk already, so the gallery looks nothing up.
    SServiceUser bob;
    bob.provider = 3;
    bob.type = 2;
    bob.name = QStringLiteral("bob");
    bob.mediaId = kOwner;
    bob.url = m_api->homeUrl() + QStringLiteral("/people/") + kOwner;
    bob.avatar =
        QStringLiteral("http://farm2.static.flickr.com/1234/buddyicons/") + kOwner + QStringLiteral(".jpg");
    if (!m_db->addServiceUser(bob) || !drawPicture(bob.avatarFile, 200))
        return;
    m_user = m_objects->findUser(kOwner);
    if (!m_user)
        return;
    m_onePhoto = makePost(QStringLiteral("Sunset over the harbour"), 1, 5, 100);
    m_fivePhotos = makePost(QStringLiteral("Hike"), 5, 150, 200);
}

CFlickrGallerySamples::~CFlickrGallerySamples()
{
    m_objects.reset();
    m_db.reset();
}

CFlickrPhotoPost* CFlickrGallerySamples::makePost(const QString& title, int photos, int minutesAgo,
                                                  int firstId)
{
    CFlickrPhotoPost* post = m_objects->addPhotoPost(m_user->serviceUser().id);
    if (!post)
        return nullptr;
    const qint64 newest = QDateTime::currentSecsSinceEpoch() - minutesAgo * 60;
    for (int i = 0; i < photos; ++i) {
        SFlickrPhoto record;
        record.id = QString::number(firstId + i);
        record.owner = kOwner;
        record.server = QStringLiteral("1234");
        record.farm = QStringLiteral("2");
        record.secret = QStringLiteral("ab");
        record.dateUpload = QString::number(newest - i * 60);
        record.title = photos == 1 ? title : title + QStringLiteral(" %1").arg(i + 1);
        CFlickrPhoto* photo = m_objects->findOrAddPhoto(record, m_user->serviceUser().id);
        if (!photo || !post->addPhoto(photo) ||
            !drawPicture(photo->thumbnailFile(), (firstId + i * 47) % 360))
            return nullptr;
    }
    return post;
}

CFlickrPhotoWidget* CFlickrGallerySamples::makePostWidget(int photos) const
{
    CFlickrPhotoPost* post = photos == 1 ? m_onePhoto : m_fivePhotos;
    if (!post)
        return nullptr;
    return new CFlickrPhotoWidget(m_user, post, m_objects.get());
}

CFlickrSetupWidget* CFlickrGallerySamples::makeSetupWidget() const
{
    auto* wizard = new CFlickrSetupWidget(m_auth.get());
    wizard->showWebPage(QStringLiteral("about:blank"));
    wizard->onHtmlPageRequested(m_api->homeUrl() + QStringLiteral("/services/auth/"));
    return wizard;
}
