#include "twitteritems.h"

#include "imediaitemstorage.h"
#include "meskdownload.h"
#include "meskhttpmethod.h"
#include "meskpictures.h"
#include "style/quorimages.h"
#include "twitterapi.h"

#include <QDebug>

namespace {

void log(const char* text)
{
    qDebug().noquote() << QLatin1String(text);
}

} // namespace

// ---- CTwitterStatus --------------------------------------------------------------------------

CTwitterStatus::CTwitterStatus(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaEventItem(owner), m_api(api), m_storage(storage)
{
}

CTwitterStatus::~CTwitterStatus() = default;

bool CTwitterStatus::setItem(const SMediaItem& item)
{
    m_item = item;
    return true;
}

bool CTwitterStatus::load(mid_t id)
{
    if (!m_storage || !m_storage->mediaItem(id, m_item)) {
        log("CTwitterStatus: failed to load status from storage");
        return false;
    }
    return true;
}

bool CTwitterStatus::createStatus(const STwitterStatusData& status, mid_t provider, mid_t user)
{
    return create(status, provider, user, StatusType);
}

bool CTwitterStatus::createOwnStatus(const STwitterStatusData& status, mid_t provider, mid_t user)
{
    return create(status, provider, user, OwnStatusType);
}

bool CTwitterStatus::create(const STwitterStatusData& status, mid_t provider, mid_t user, int type)
{
    m_item = SMediaItem();
    m_item.provider = provider;
    m_item.user = user;
    m_item.created = CTwitterApi::parseDate(status.created_at);
    m_item.content = status.shownText();
    m_item.mediaId = status.id;
    m_item.type = type;
    if (!m_storage || !m_storage->addMediaItem(m_item)) {
        log("CTwitterStatus: failed to add new status to storage");
        return false;
    }
    return true;
}

QString CTwitterStatus::statusUrl(const QString& userName) const
{
    const QString home = m_api ? m_api->homeUrl() : QString();
    return home + QLatin1Char('/') + userName + QStringLiteral("/status/") + m_item.mediaId;
}

// ---- CTwitterUser ----------------------------------------------------------------------------

CTwitterUser::CTwitterUser(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaUser(owner), m_api(api), m_storage(storage)
{
}

// The download is a child: it is deleted (and its request cancelled) with the user.
CTwitterUser::~CTwitterUser() = default;

bool CTwitterUser::load(mid_t id)
{
    if (!m_storage || !m_storage->serviceUser(id, m_user)) {
        log("CTwitterUser: failed to load user from storage");
        return false;
    }
    return true;
}

bool CTwitterUser::create(const STwitterUserData& user, mid_t provider)
{
    m_user = SServiceUser();
    m_user.provider = provider;
    m_user.mediaId = user.id;
    m_user.name = user.screen_name;
    m_user.url = user.url;
    m_user.avatar = user.profile_image_url;
    m_user.type = UserType;
    if (!m_storage || !m_storage->addServiceUser(m_user)) {
        log("CTwitterUser: failed to add new user to storage");
        return false;
    }
    return true;
}

bool CTwitterUser::createOwn(const QString& userId, const QString& userName, mid_t provider)
{
    m_user = SServiceUser();
    m_user.provider = provider;
    m_user.mediaId = userId;
    m_user.name = userName;
    m_user.type = OwnUserType;
    if (!m_storage || !m_storage->addServiceUser(m_user)) {
        log("CTwitterUser: failed to add new user to storage");
        return false;
    }
    return true;
}

void CTwitterUser::update(const STwitterUserData& user)
{
    if (user.profile_image_url == m_user.avatar) {
        // The service still names this address: a download that failed may be tried again.
        m_avatarFailed = false;
        return;
    }
    if (isAvatarLoading())
        return;
    SServiceUser changed = m_user;
    changed.avatar = user.profile_image_url;
    if (m_storage)
        changed.avatarFile = m_storage->userImagePath(changed.id, changed.avatar);
    if (!m_storage || !m_storage->updateServiceUser(changed)) {
        log("CTwitterUser: failed to store updated user");
        return;
    }
    m_user = changed;
    m_avatarFailed = false;
    startAvatarDownload();
}

QString CTwitterUser::profileUrl() const
{
    const QString home = m_api ? m_api->homeUrl() : QString();
    return home + QLatin1Char('/') + m_user.name;
}

bool CTwitterUser::isAvatarLoading() const
{
    return MeskDownload::isBusy(m_avatarDownload);
}

QString CTwitterUser::avatarFile() const
{
    return m_user.avatarFile;
}

QPixmap CTwitterUser::defaultAvatar() const
{
    return QuorImages::pixmap(QStringLiteral(":/images/twitter/twitter_default_profile_avatar.png"));
}

void CTwitterUser::updateAvatar()
{
    startAvatarDownload();
}

QPixmap CTwitterUser::avatar() const
{
    return m_avatarPictures.normal(m_user.avatarFile);
}

QPixmap CTwitterUser::smallAvatar() const
{
    return m_avatarPictures.small(m_user.avatarFile);
}

QString CTwitterUser::name() const
{
    return m_user.name;
}

SServiceUser CTwitterUser::serviceUser() const
{
    return m_user;
}

void CTwitterUser::requestAvatar() const
{
    if (m_avatarFailed && m_failedAvatar == m_user.avatar)
        return;
    const_cast<CTwitterUser*>(this)->startAvatarDownload();
}

bool CTwitterUser::startAvatarDownload()
{
    const TMeskDownloadStart start =
        MeskDownload::start(this, m_avatarDownload, m_user.avatar, m_user.avatarFile,
                            &CTwitterUser::_onAvatarLoaded, &CTwitterUser::_onNetworkError);
    if (start == TMeskDownloadStart::Busy)
        return false;
    connect(m_avatarDownload, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CTwitterUser::avatarFailed);
    if (start == TMeskDownloadStart::Started)
        return true;
    // Refused before it was sent (an empty address, the pool down): not asked again
    // automatically until the service brings the account again.
    m_failedAvatar = m_user.avatar;
    m_avatarFailed = true;
    return false;
}

void CTwitterUser::_onAvatarLoaded()
{
    const bool downloaded = MeskDownload::finish(m_avatarDownload, this);
    QPixmap check;
    // An error page or a file that is no picture is not a new avatar; the download
    // layer has left any earlier file in place for a non-2xx answer.
    if (!downloaded || !loadPixmapAnyFormat(m_user.avatarFile, check)) {
        avatarFailed();
        return;
    }
    m_avatarFailed = false;
    m_avatarPictures.clear();
    emit avatarUpdated();
}

void CTwitterUser::_onNetworkError(TMeskHttpError error)
{
    Q_UNUSED(error)
    avatarFailed();
}

void CTwitterUser::avatarFailed()
{
    m_failedAvatar = m_user.avatar;
    m_avatarFailed = true;
    emit avatarUpdateFailed();
}

// ---- CTwitterLink ----------------------------------------------------------------------------

CTwitterLink::CTwitterLink(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaLinkItem(owner), m_api(api), m_storage(storage)
{
}

CTwitterLink::~CTwitterLink() = default;

bool CTwitterLink::load(mid_t id)
{
    if (!m_storage || !m_storage->mediaItem(id, m_item)) {
        log("CTwitterLink: failed to load link from storage");
        return false;
    }
    return true;
}

bool CTwitterLink::create(const QString& url, const QDateTime& created, const QString& text, mid_t provider,
                          mid_t user, mid_t parent)
{
    m_item = SMediaItem();
    m_item.provider = provider;
    m_item.user = user;
    m_item.parent = parent;
    m_item.created = created;
    m_item.content = text;
    m_item.mediaId = url;
    m_item.type = MeskItemType::Link;
    if (!m_storage || !m_storage->addMediaItem(m_item)) {
        log("CTwitterLink: failed to add new link to storage");
        return false;
    }
    return true;
}

QString CTwitterLink::url() const
{
    return m_item.mediaId;
}

QString CTwitterLink::description() const
{
    return m_item.mediaId;
}

QString CTwitterLink::caption() const
{
    return m_item.content;
}

SMediaItem CTwitterLink::mediaItem() const
{
    return m_item;
}
