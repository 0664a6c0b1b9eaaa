#include "flickritems.h"

#include "flickrapi.h"
#include "flickrcalls.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskdownload.h"
#include "meskhttpmethod.h"
#include "meskpictures.h"
#include "meskstoredphoto.h"
#include "style/quorimages.h"

#include <QDebug>
#include <QHash>

#include <algorithm>

namespace {

const QString& kPhotoUrl = SMeskStoredPhoto::PhotoUrlField;
const QString& kThumbnailUrl = SMeskStoredPhoto::ThumbnailUrlField;
const QString& kOriginalUrl = SMeskStoredPhoto::OriginalUrlField;
const QString& kThumbnailFile = SMeskStoredPhoto::ThumbnailFileField;
const QString& kOriginalFile = SMeskStoredPhoto::OriginalFileField;

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

using MeskDownload::isBusy;

} // namespace

// ---- CFlickrPhoto -------------------------------------------------------------------------

CFlickrPhoto::CFlickrPhoto(CFlickrApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaImageItem(owner), m_api(api), m_storage(storage)
{
}

// The call objects are children: they are deleted (and cancel their requests) with the photo.
CFlickrPhoto::~CFlickrPhoto() = default;

mid_t CFlickrPhoto::create(CFlickrApi* api, IMediaItemStorage* storage, const SFlickrPhoto& photo,
                           mid_t provider, mid_t user)
{
    if (!api || !storage) {
        log("CFlickrPhoto: failed to add new item to storage");
        return 0;
    }
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.type = MeskItemType::Image;
    // An upload time that is no number reads as 0, the Unix epoch.
    item.created = QDateTime::fromSecsSinceEpoch(qint64(photo.dateUpload.toULongLong()), Qt::UTC);
    item.content = photo.title;
    item.mediaId = photo.id;

    // The row and its fields commit together; the thumbnail's path needs the new row id.
    CMediaStorageBatch batch(storage);
    if (!storage->addMediaItem(item)) {
        batch.end();
        log("CFlickrPhoto: failed to add new item to storage");
        return 0;
    }
    QHash<QString, QString> fields;
    QString url;
    api->photoPageUrl(url, photo.owner, photo.id);
    fields.insert(kPhotoUrl, url);
    api->thumbnailUrl(url, photo.farm, photo.server, photo.id, photo.secret);
    fields.insert(kThumbnailUrl, url);
    fields.insert(kThumbnailFile, storage->itemFilePath(item, CFlickrApi::defaultImageFormat()));
    storage->setMediaItemField(item.id, fields);
    if (!batch.end()) {
        log("CFlickrPhoto: failed to add new item to storage");
        return 0;
    }
    return item.id;
}

CFlickrPhoto* CFlickrPhoto::load(CFlickrApi* api, IMediaItemStorage* storage, mid_t id)
{
    auto* photo = new CFlickrPhoto(api, storage, nullptr);
    if (!MeskStoredItem::load(storage, id, MeskItemType::Image, photo->m_item, "CFlickrPhoto",
                              "eImageMediaItem")) {
        delete photo;
        return nullptr;
    }
    // Fields that cannot be read are no empty fields: the photo is not loaded.
    bool read = false;
    const SMeskStoredPhoto stored = SMeskStoredPhoto::read(storage, id, &read);
    if (!read) {
        delete photo;
        return nullptr;
    }
    photo->m_photoUrl = stored.photoUrl;
    photo->m_thumbnailUrl = stored.thumbnailUrl;
    photo->m_originalUrl = stored.originalUrl;
    photo->m_thumbnailFile = stored.thumbnailFile;
    photo->m_originalFile = stored.originalFile;
    return photo;
}

bool CFlickrPhoto::setParentEvent(mid_t parent)
{
    SMediaItem item = m_item;
    item.parent = parent;
    if (!m_storage || !m_storage->updateMediaItem(item))
        return false;
    m_item = item;
    return true;
}

QString CFlickrPhoto::text() const
{
    return m_item.content;
}

QString CFlickrPhoto::thumbnailFile() const
{
    return m_thumbnailFile;
}

SMediaItem CFlickrPhoto::mediaItem() const
{
    return m_item;
}

QString CFlickrPhoto::imageFile() const
{
    return m_originalFile;
}

bool CFlickrPhoto::loadThumbnail()
{
    return MeskDownload::start(this, m_thumbnailDownload, m_thumbnailUrl, m_thumbnailFile,
                               &CFlickrPhoto::_onThumbnailLoaded,
                               [this] { emit thumbnailDownloadFailed(); }) == TMeskDownloadStart::Started;
}

bool CFlickrPhoto::loadImage()
{
    if (m_originalFile.isEmpty()) {
        m_loadAfterLookup = true;
        return requestSizes(m_item.mediaId);
    }
    m_loadAfterLookup = false;
    return downloadOriginal();
}

bool CFlickrPhoto::downloadOriginal()
{
    return MeskDownload::start(this, m_originalDownload, m_originalUrl, m_originalFile,
                               &CFlickrPhoto::_onOriginalLoaded,
                               [this] { emit imageDownloadFailed(); }) == TMeskDownloadStart::Started;
}

bool CFlickrPhoto::requestSizes(const QString& photoId)
{
    if (isBusy(m_sizesRequest))
        return false;
    MeskDownload::release(m_sizesRequest, this);
    m_sizesRequest = new CFlickrPhotoSizes(m_api, this);
    connect(m_sizesRequest, &CFlickrPhotoSizes::sizesReady, this, &CFlickrPhoto::_onPhotoSizes);
    // The argument-less error follows the typed one, also when the request could not start.
    connect(m_sizesRequest, qOverload<>(&CMeskHttpMethod::protocolError), this, &CFlickrPhoto::lookupFailed);
    connect(m_sizesRequest, &CMeskHttpMethod::networkError, this, &CFlickrPhoto::lookupFailed);
    return m_sizesRequest->request(photoId);
}

bool CFlickrPhoto::requestPhotoInfo(const QString& photoId, const QString& secret)
{
    if (isBusy(m_infoRequest))
        return false;
    MeskDownload::release(m_infoRequest, this);
    m_infoRequest = new CFlickrPhotoInfo(m_api, this);
    connect(m_infoRequest, &CFlickrPhotoInfo::infoReady, this, &CFlickrPhoto::_onPhotoInfo);
    connect(m_infoRequest, qOverload<>(&CMeskHttpMethod::protocolError), this, &CFlickrPhoto::lookupFailed);
    connect(m_infoRequest, &CMeskHttpMethod::networkError, this, &CFlickrPhoto::lookupFailed);
    return m_infoRequest->request(photoId, secret);
}

void CFlickrPhoto::lookupFailed()
{
    emit imageDownloadFailed();
}

void CFlickrPhoto::_onThumbnailLoaded()
{
    const bool ok = MeskDownload::succeeded(m_thumbnailDownload);
    MeskDownload::release(m_thumbnailDownload, this);
    if (ok)
        emit thumbnailDownloadDone();
    else
        emit thumbnailDownloadFailed();
}

void CFlickrPhoto::_onOriginalLoaded()
{
    const bool ok = MeskDownload::succeeded(m_originalDownload);
    MeskDownload::release(m_originalDownload, this);
    if (ok)
        emit imageDownloadDone();
    else
        emit imageDownloadFailed();
}

void CFlickrPhoto::_onPhotoInfo(const SFlickrPhotoExt& info)
{
    MeskDownload::release(m_infoRequest, this);
    if (!info.originalSecret.isEmpty() && !info.originalFormat.isEmpty()) {
        QString url;
        m_api->originalUrl(url, info.farm, info.server, info.id.isEmpty() ? m_item.mediaId : info.id,
                           info.originalSecret, info.originalFormat);
        setOriginal(url, info.originalFormat);
    } else {
        // A failure to start arrives as the sizes request's queued error.
        requestSizes(m_item.mediaId);
    }
}

void CFlickrPhoto::_onPhotoSizes(const QList<SFlickrPhotoSize>& sizes)
{
    MeskDownload::release(m_sizesRequest, this);
    // The first entry of the greatest width; a width that is no number reads as 0.
    SFlickrPhotoSize best;
    int bestWidth = 0;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const int width = sizes.at(i).width.toInt();
        if (i == 0 || width > bestWidth) {
            best = sizes.at(i);
            bestWidth = width;
        }
    }
    if (best.source.isEmpty()) {
        // Nothing is stored, so the next loadImage() asks again.
        log("CFlickrPhoto: no full-size picture offered");
        emit imageDownloadFailed();
        return;
    }
    setOriginal(best.source, QString());
}

void CFlickrPhoto::setOriginal(const QString& url, const QString& format)
{
    QString ext = format;
    if (ext.isEmpty()) {
        const qsizetype dot = url.lastIndexOf(QLatin1Char('.'));
        ext = dot < 0 ? url : url.mid(dot + 1);
        if (ext.isEmpty() || ext.size() > 3)
            ext = CFlickrApi::defaultImageFormat();
    }
    const QString file = m_storage ? m_storage->mediaFilePath(m_item, ext) : QString();

    bool stored = false;
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        m_storage->setMediaItemField(m_item.id, {{kOriginalUrl, url}, {kOriginalFile, file}});
        stored = batch.end();
    }
    if (!stored) {
        log("CFlickrPhoto: failed to store the full-size address");
        if (m_loadAfterLookup)
            emit imageDownloadFailed();
        return;
    }
    m_originalUrl = url;
    m_originalFile = file;
    if (m_loadAfterLookup && !isBusy(m_originalDownload) && !downloadOriginal())
        emit imageDownloadFailed();
}

// ---- CFlickrUser --------------------------------------------------------------------------

CFlickrUser::CFlickrUser(CFlickrApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaUser(owner), m_api(api), m_storage(storage)
{
}

CFlickrUser::~CFlickrUser() = default;

mid_t CFlickrUser::create(CFlickrApi* api, IMediaItemStorage* storage, const QString& userId,
                          const QString& userName, mid_t provider)
{
    SServiceUser user;
    user.provider = provider;
    user.mediaId = userId;
    user.name = userName;
    user.type = MeskUserType::Contact;
    if (api)
        api->profileUrl(user.url, userId);
    if (!api || !storage || !storage->addServiceUser(user)) {
        log("CFlickrUser: failed to add new user to storage");
        return 0;
    }
    return user.id;
}

CFlickrUser* CFlickrUser::load(CFlickrApi* api, IMediaItemStorage* storage, mid_t id)
{
    auto* user = new CFlickrUser(api, storage, nullptr);
    if (!storage || !storage->serviceUser(id, user->m_user)) {
        log("CFlickrUser: failed to load user from storage");
        delete user;
        return nullptr;
    }
    return user;
}

QString CFlickrUser::avatarFile() const
{
    return m_user.avatarFile;
}

QPixmap CFlickrUser::defaultAvatar() const
{
    return QuorImages::pixmap(QStringLiteral(":/images/flickr/flickr_default_profile_avatar.png"));
}

QString CFlickrUser::name() const
{
    return m_user.name;
}

SServiceUser CFlickrUser::serviceUser() const
{
    return m_user;
}

void CFlickrUser::updateAvatar()
{
    startAvatarUpdate();
}

bool CFlickrUser::startAvatarUpdate()
{
    if (m_user.avatar.isEmpty())
        return requestUserInfo();
    return downloadAvatar();
}

QPixmap CFlickrUser::avatar() const
{
    return m_avatarPictures.normal(m_user.avatarFile);
}

QPixmap CFlickrUser::smallAvatar() const
{
    return m_avatarPictures.small(m_user.avatarFile);
}

bool CFlickrUser::requestUserInfo()
{
    if (isBusy(m_infoRequest))
        return false;
    MeskDownload::release(m_infoRequest, this);
    m_infoRequest = new CFlickrUserInfo(m_api, this);
    connect(m_infoRequest, &CFlickrUserInfo::userInfoReady, this, &CFlickrUser::_onUserInfoReady);
    connect(m_infoRequest, &CMeskHttpMethod::networkError, this, [this] { emit avatarUpdateFailed(); });
    connect(m_infoRequest, qOverload<>(&CMeskHttpMethod::protocolError), this,
            [this] { emit avatarUpdateFailed(); });
    return m_infoRequest->request(m_user.mediaId);
}

bool CFlickrUser::downloadAvatar()
{
    return MeskDownload::start(this, m_avatarDownload, m_user.avatar, m_user.avatarFile,
                               &CFlickrUser::_onAvatarLoaded,
                               [this] { emit avatarUpdateFailed(); }) == TMeskDownloadStart::Started;
}

void CFlickrUser::_onUserInfoReady(const SFlickrUser& info)
{
    MeskDownload::release(m_infoRequest, this);
    m_api->buddyIconUrl(m_user.avatar, info.iconFarm, info.iconServer, m_user.mediaId);
    if (m_storage) {
        m_user.avatarFile = m_storage->userImagePath(m_user.id, m_user.avatar);
        if (!m_storage->updateServiceUser(m_user))
            log("CFlickrUser: failed to store updated user");
    }
    // The download started here is the end of this update: one that cannot start is its failure.
    if (!isBusy(m_avatarDownload) && !downloadAvatar())
        emit avatarUpdateFailed();
}

void CFlickrUser::_onAvatarLoaded()
{
    const bool ok = MeskDownload::succeeded(m_avatarDownload);
    MeskDownload::release(m_avatarDownload, this);
    if (!ok) {
        emit avatarUpdateFailed();
        return;
    }
    // The new picture replaces the cached ones at the next avatar() and smallAvatar().
    m_avatarPictures.clear();
    emit avatarUpdated();
}

// ---- CFlickrPhotoPost ---------------------------------------------------------------------

CFlickrPhotoPost::CFlickrPhotoPost(IMediaItemStorage* storage, QObject* owner)
    : IFlickrEvent(owner), m_storage(storage)
{
}

mid_t CFlickrPhotoPost::create(IMediaItemStorage* storage, mid_t provider, mid_t user)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.type = MeskItemType::Event2;
    item.created = QDateTime::fromSecsSinceEpoch(0);
    if (!storage || !storage->addMediaItem(item)) {
        log("CFlickrPhotoPost: failed to add new event to storage");
        return 0;
    }
    return item.id;
}

CFlickrPhotoPost* CFlickrPhotoPost::load(IMediaItemStorage* storage, mid_t id)
{
    auto* post = new CFlickrPhotoPost(storage, nullptr);
    if (!storage || !storage->mediaItem(id, post->m_item)) {
        log("CFlickrPhotoPost: failed to load event from storage");
        delete post;
        return nullptr;
    }
    if (post->m_item.type != MeskItemType::Event2) {
        log("CFlickrPhotoPost: item type check failed while loading from storage, must be "
            "ePhotoEventMediaItem");
        delete post;
        return nullptr;
    }
    return post;
}

QList<SMediaItem> CFlickrPhotoPost::photoItems() const
{
    QList<SMediaItem> photos;
    if (!m_storage)
        return photos;
    const QList<SMediaItem> children = m_storage->childItems(m_item.id);
    for (const SMediaItem& child : children)
        if (child.type == MeskItemType::Image)
            photos.append(child);
    std::stable_sort(photos.begin(), photos.end(),
                     [](const SMediaItem& a, const SMediaItem& b) { return a.created > b.created; });
    return photos;
}

int CFlickrPhotoPost::photoCount() const
{
    return m_storage ? int(m_storage->childItems(m_item.id).size()) : 0;
}

bool CFlickrPhotoPost::addPhoto(CFlickrPhoto* photo)
{
    if (!photo)
        return false;
    photo->setParentEvent(m_item.id);
    const QDateTime taken = photo->mediaItem().created;
    if (!m_item.created.isNull() && m_item.created >= taken)
        return true;
    SMediaItem item = m_item;
    item.created = taken;
    if (!m_storage || !m_storage->updateMediaItem(item))
        return false;
    m_item = item;
    return true;
}
