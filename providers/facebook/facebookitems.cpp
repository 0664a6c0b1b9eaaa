#include "facebookitems.h"

#include "facebookapi.h"
#include "facebookcalls.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskhttpmethod.h"

#include <QDebug>
#include <QHash>
#include <QPointer>
#include <QRegularExpression>

namespace {

const QString kPhotoUrl = QStringLiteral("photoUrl");
const QString kThumbnailUrl = QStringLiteral("thumbnailUrl");
const QString kThumbnailFile = QStringLiteral("thumbnailFile");
const QString kOriginalUrl = QStringLiteral("originalUrl");
const QString kOriginalFile = QStringLiteral("originalFile");
const QString kPageUrl = QStringLiteral("pageUrl");
const QString kVideoType = QStringLiteral("videoType");
const QString kLinkName = QStringLiteral("linkName");
const QString kLinkCaption = QStringLiteral("linkCaption");
const QString kPictureSuffix = QStringLiteral("jpg");
const QString kVideoSuffix = QStringLiteral("mp4");

void log(const QString& message)
{
    qDebug().noquote() << message;
}

using Start = TFacebookDownloadStart;

// Starts a plain GET of url into file on a fresh call object of the owner's, unless the
// last one is still running. The call's completion goes to done, its transport failure
// to failed.
template <class Owner, class Done, class Failed>
Start startDownload(Owner* owner, CMeskHttpMethod*& call, const QString& url, const QString& file, Done done,
                    Failed failed)
{
    if (call && !call->isReady())
        return Start::Busy;
    // A slot of the old call's failure signal may be what got us here: never delete it at once.
    if (call)
        call->deleteLater();
    call = new CMeskHttpMethod(owner);
    QObject::connect(call, &CMeskHttpMethod::finished, owner, done);
    QObject::connect(call, &CMeskHttpMethod::networkError, owner, failed);
    return call->getToFile(url, file) ? Start::Started : Start::Refused;
}

// Releases a finished download; true when its answer had a 2xx status (the file was written).
bool finishDownload(CMeskHttpMethod*& call)
{
    if (!call)
        return false;
    const int status = call->httpStatus();
    call->deleteLater();
    call = nullptr;
    return status >= 200 && status < 300;
}

// Reads the item and checks its type; logs the failure in the words of the class.
bool loadItem(IMediaItemStorage* storage, mid_t id, int type, SMediaItem& item, const char* className,
              const char* typeName)
{
    const QString prefix = QLatin1String(className) + QStringLiteral(": ");
    if (!storage || !storage->mediaItem(id, item)) {
        log(prefix + QStringLiteral("failed to load item from storage"));
        return false;
    }
    if (item.type != type) {
        log(prefix + QStringLiteral("item type check failed while loading from storage, must be ") +
            QLatin1String(typeName));
        return false;
    }
    return true;
}

SMediaItem newItem(mid_t provider, mid_t user, int type)
{
    SMediaItem item;
    item.provider = provider;
    item.user = user;
    item.parent = 0;
    item.type = type;
    return item;
}

mid_t addFailed(const char* className)
{
    log(QLatin1String(className) + QStringLiteral(": failed to add new item to storage"));
    return 0;
}

} // namespace

QString facebookFileSuffix(const QString& url, const QString& fallback)
{
    static const QRegularExpression suffix(QStringLiteral("^[A-Za-z0-9]{1,3}$"));
    const qsizetype dot = url.lastIndexOf(QLatin1Char('.'));
    const QString part = dot < 0 ? url : url.mid(dot + 1);
    return suffix.match(part).hasMatch() ? part : fallback;
}

// ---------------------------------------------------------------------------------------------
// CFacebookPhoto

CFacebookPhoto::CFacebookPhoto(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaImageItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookPhoto::~CFacebookPhoto()
{
    // The calls go before the members their slots use.
    delete m_infoCall;
    delete m_thumbnailCall;
    delete m_originalCall;
}

CFacebookPhoto* CFacebookPhoto::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* photo = new CFacebookPhoto(api, storage, owner);
    if (!loadItem(storage, id, MeskItemType::Image, photo->m_item, "CFacebookPhoto", "eImageMediaItem")) {
        delete photo;
        return nullptr;
    }
    QHash<QString, QString> fields;
    storage->mediaItemFields(id, fields);
    photo->m_photoUrl = fields.value(kPhotoUrl);
    photo->m_thumbnailUrl = fields.value(kThumbnailUrl);
    photo->m_originalUrl = fields.value(kOriginalUrl);
    photo->m_thumbnailFile = fields.value(kThumbnailFile);
    photo->m_originalFile = fields.value(kOriginalFile);
    return photo;
}

mid_t CFacebookPhoto::createFromMedia(CFacebookApi* api, IMediaItemStorage* storage,
                                      const SFacebookMedia& media, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Image);
    item.created = facebookDateTime(media.created);
    item.mediaId = media.pid;
    item.content = media.alt;
    if (!storage)
        return addFailed("CFacebookPhoto");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        // The full-size address is asked for by the first loadImage().
        storage->setMediaItemField(
            item.id,
            {{kPhotoUrl, media.href},
             {kThumbnailUrl, media.src},
             {kThumbnailFile, storage->itemFilePath(item, facebookFileSuffix(media.src, kPictureSuffix))}});
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookPhoto");
    return item.id;
}

mid_t CFacebookPhoto::createFromPhotoInfo(CFacebookApi* api, IMediaItemStorage* storage,
                                          const SFacebookPhotoInfo& info, mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Image);
    item.created = facebookDateTime(info.created);
    item.mediaId = info.pid;
    item.content = info.caption;
    if (!storage)
        return addFailed("CFacebookPhoto");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        QHash<QString, QString> fields;
        if (!info.srcSmall.isEmpty()) {
            fields.insert(kThumbnailUrl, info.srcSmall);
            fields.insert(kThumbnailFile,
                          storage->itemFilePath(item, facebookFileSuffix(info.srcSmall, kPictureSuffix)));
        }
        fields.insert(kOriginalFile,
                      storage->mediaFilePath(item, facebookFileSuffix(info.srcBig, kPictureSuffix)));
        fields.insert(kOriginalUrl, info.srcBig);
        fields.insert(kPhotoUrl, info.link);
        storage->setMediaItemField(item.id, fields);
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookPhoto");
    return item.id;
}

bool CFacebookPhoto::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

bool CFacebookPhoto::loadThumbnail()
{
    if (m_thumbnailUrl.isEmpty()) {
        m_thumbnailWanted = true;
        return requestPhotoInfo();
    }
    m_thumbnailWanted = false;
    return startThumbnail() == Start::Started;
}

bool CFacebookPhoto::loadImage()
{
    if (m_originalUrl.isEmpty()) {
        m_imageWanted = true;
        return requestPhotoInfo();
    }
    m_imageWanted = false;
    return startOriginal() == Start::Started;
}

TFacebookDownloadStart CFacebookPhoto::startThumbnail()
{
    return startDownload(this, m_thumbnailCall, m_thumbnailUrl, m_thumbnailFile,
                         &CFacebookPhoto::_onThumbnailLoaded, &CFacebookPhoto::thumbnailDownloadFailed);
}

TFacebookDownloadStart CFacebookPhoto::startOriginal()
{
    return startDownload(this, m_originalCall, m_originalUrl, m_originalFile,
                         &CFacebookPhoto::_onOriginalLoaded, &CFacebookPhoto::imageDownloadFailed);
}

bool CFacebookPhoto::requestPhotoInfo()
{
    if (m_infoCall && !m_infoCall->isReady())
        return false; // the running call serves the wish too
    if (!m_storage) {
        m_thumbnailWanted = false;
        m_imageWanted = false;
        return false;
    }
    if (m_infoCall)
        m_infoCall->deleteLater();
    m_infoCall = new CFacebookPhotoInfo(m_api, this);
    connect(m_infoCall, &CFacebookPhotoInfo::photoInfoReady, this, &CFacebookPhoto::_onPhotoInfo);
    connect(m_infoCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookPhoto::_onPhotoInfoFailed);
    connect(m_infoCall, &CMeskHttpMethod::networkError, this, &CFacebookPhoto::_onPhotoInfoFailed);
    if (m_infoCall->request(m_item.mediaId))
        return true;
    // The caller hears of the refusal from the result; its queued signals must not end a later wish.
    disconnect(m_infoCall, nullptr, this, nullptr);
    // Nothing runs that could serve a wish.
    m_thumbnailWanted = false;
    m_imageWanted = false;
    return false;
}

void CFacebookPhoto::_onPhotoInfo(const SFacebookPhotoInfo& info)
{
    if (m_infoCall) {
        m_infoCall->deleteLater();
        m_infoCall = nullptr;
    }
    // An address the answer lacks keeps the one known; a new one gets a file of its own.
    if (!info.srcSmall.isEmpty() &&
        (m_thumbnailUrl.isEmpty() || m_thumbnailFile.isEmpty() || m_thumbnailUrl != info.srcSmall)) {
        m_thumbnailUrl = info.srcSmall;
        m_thumbnailFile = m_storage->itemFilePath(m_item, facebookFileSuffix(m_thumbnailUrl, kPictureSuffix));
    }
    if (!info.srcBig.isEmpty() &&
        (m_originalUrl.isEmpty() || m_originalFile.isEmpty() || m_originalUrl != info.srcBig)) {
        m_originalUrl = info.srcBig;
        m_originalFile = m_storage->mediaFilePath(m_item, facebookFileSuffix(m_originalUrl, kPictureSuffix));
    }
    if (!info.link.isEmpty())
        m_photoUrl = info.link;
    {
        CMediaStorageBatch batch(m_storage);
        m_storage->setMediaItemField(m_item.id, {{kPhotoUrl, m_photoUrl},
                                                 {kThumbnailUrl, m_thumbnailUrl},
                                                 {kThumbnailFile, m_thumbnailFile},
                                                 {kOriginalUrl, m_originalUrl},
                                                 {kOriginalFile, m_originalFile}});
        if (!batch.end())
            log(QStringLiteral("CFacebookPhoto: failed to store photo info"));
    }

    // A wish that cannot be served now ends in its failure signal; one served by a
    // download already running ends with that download.
    const bool imageWanted = m_imageWanted;
    const bool thumbnailWanted = m_thumbnailWanted;
    m_imageWanted = false;
    m_thumbnailWanted = false;
    const Start image = imageWanted ? startOriginal() : Start::Busy;
    const Start thumbnail = thumbnailWanted ? startThumbnail() : Start::Busy;
    const QPointer<CFacebookPhoto> alive(this); // a slot may delete the photo
    if (image == Start::Refused)
        emit imageDownloadFailed();
    if (alive && thumbnail == Start::Refused)
        emit thumbnailDownloadFailed();
}

void CFacebookPhoto::_onPhotoInfoFailed()
{
    const bool imageWanted = m_imageWanted;
    const bool thumbnailWanted = m_thumbnailWanted;
    m_imageWanted = false;
    m_thumbnailWanted = false;
    const QPointer<CFacebookPhoto> alive(this); // a slot may delete the photo
    if (thumbnailWanted)
        emit thumbnailDownloadFailed();
    if (alive && imageWanted)
        emit imageDownloadFailed();
}

void CFacebookPhoto::_onThumbnailLoaded()
{
    if (finishDownload(m_thumbnailCall))
        emit thumbnailDownloadDone();
    else
        emit thumbnailDownloadFailed();
}

void CFacebookPhoto::_onOriginalLoaded()
{
    if (finishDownload(m_originalCall))
        emit imageDownloadDone();
    else
        emit imageDownloadFailed();
}

// ---------------------------------------------------------------------------------------------
// CFacebookVideo

CFacebookVideo::CFacebookVideo(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaVideoItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookVideo::~CFacebookVideo()
{
    delete m_thumbnailCall;
    delete m_videoCall;
}

CFacebookVideo* CFacebookVideo::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* video = new CFacebookVideo(api, storage, owner);
    if (!loadItem(storage, id, MeskItemType::Video, video->m_item, "CFacebookVideo", "eVideoMediaItem")) {
        delete video;
        return nullptr;
    }
    QHash<QString, QString> fields;
    storage->mediaItemFields(id, fields);
    video->m_pageUrl = fields.value(kPageUrl);
    video->m_thumbnailUrl = fields.value(kThumbnailUrl);
    video->m_videoUrl = fields.value(kOriginalUrl);
    video->m_thumbnailFile = fields.value(kThumbnailFile);
    video->m_videoFile = fields.value(kOriginalFile);
    video->m_videoKind = fields.value(kVideoType).toInt();
    return video;
}

mid_t CFacebookVideo::create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                             mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Video);
    item.created = facebookDateTime(post.createdTime);
    item.content = post.attachment.name;
    if (post.attachment.media.isEmpty()) {
        log(QStringLiteral("CFacebookVideo: failed to create video object without media attachment"));
        return 0;
    }
    const SFacebookMedia& medium = post.attachment.media.constFirst();
    if (!storage)
        return addFailed("CFacebookVideo");
    CMediaStorageBatch batch(storage);
    bool ok = storage->addMediaItem(item);
    if (ok) {
        const int kind = CFacebookApi::videoType(medium) == 1 ? FlashVideo : PlayFile;
        storage->setMediaItemField(
            item.id,
            {{kPageUrl, medium.href},
             {kOriginalUrl, medium.sourceUrl},
             {kOriginalFile,
              storage->mediaFilePath(item, facebookFileSuffix(medium.sourceUrl, kVideoSuffix))},
             {kThumbnailUrl, medium.src},
             {kThumbnailFile, storage->itemFilePath(item, facebookFileSuffix(medium.src, kPictureSuffix))},
             {kVideoType, QString::number(kind)}});
    }
    if (!batch.end() || !ok)
        return addFailed("CFacebookVideo");
    return item.id;
}

bool CFacebookVideo::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}

bool CFacebookVideo::loadThumbnail()
{
    return startDownload(this, m_thumbnailCall, m_thumbnailUrl, m_thumbnailFile,
                         &CFacebookVideo::_onThumbnailLoaded,
                         &CFacebookVideo::thumbnailDownloadFailed) == Start::Started;
}

bool CFacebookVideo::loadVideo()
{
    return startDownload(this, m_videoCall, m_videoUrl, m_videoFile, &CFacebookVideo::_onVideoLoaded,
                         &CFacebookVideo::downloadFailed) == Start::Started;
}

void CFacebookVideo::_onThumbnailLoaded()
{
    if (finishDownload(m_thumbnailCall))
        emit thumbnailDownloadDone();
    else
        emit thumbnailDownloadFailed();
}

void CFacebookVideo::_onVideoLoaded()
{
    if (finishDownload(m_videoCall))
        emit downloadDone();
    else
        emit downloadFailed();
}

// ---------------------------------------------------------------------------------------------
// CFacebookLink

CFacebookLink::CFacebookLink(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaLinkItem(owner), m_api(api), m_storage(storage)
{
}

CFacebookLink::~CFacebookLink() = default;

CFacebookLink* CFacebookLink::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* link = new CFacebookLink(api, storage, owner);
    if (!loadItem(storage, id, MeskItemType::Link, link->m_item, "CFacebookLink", "eLinkMediaItem")) {
        delete link;
        return nullptr;
    }
    QHash<QString, QString> fields;
    storage->mediaItemFields(id, fields);
    link->m_name = fields.value(kLinkName);
    link->m_caption = fields.value(kLinkCaption);
    return link;
}

mid_t CFacebookLink::create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookLink& link,
                            mid_t provider, mid_t user)
{
    Q_UNUSED(api)
    SMediaItem item = newItem(provider, user, MeskItemType::Link);
    item.created = facebookDateTime(link.created);
    item.content = link.url;
    if (!storage)
        return addFailed("CFacebookLink");
    CMediaStorageBatch batch(storage);
    const bool ok = storage->addMediaItem(item, {{kLinkName, link.name}, {kLinkCaption, link.caption}});
    if (!batch.end() || !ok)
        return addFailed("CFacebookLink");
    return item.id;
}

bool CFacebookLink::setParent(mid_t parent)
{
    m_item.parent = parent;
    return m_storage && m_storage->updateMediaItem(m_item);
}
