#include "facebookuser.h"

#include "facebookcalls.h"
#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskhttpmethod.h"
#include "meskpictures.h"
#include "style/quorimages.h"

#include <QDebug>
#include <QImageReader>
#include <QPointer>

namespace {

void log(const QString& message)
{
    qDebug().noquote() << message;
}

mid_t addRow(IMediaItemStorage* storage, SServiceUser& user)
{
    if (storage) {
        CMediaStorageBatch batch(storage);
        const bool added = storage->addServiceUser(user);
        if (batch.end() && added)
            return user.id;
    }
    log(QStringLiteral("CFacebookUser: failed to add new user to storage"));
    return 0;
}

bool isPicture(const QString& file)
{
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    return reader.canRead();
}

} // namespace

CFacebookUser::CFacebookUser(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner)
    : IMediaUser(owner), m_api(api), m_storage(storage)
{
}

CFacebookUser::~CFacebookUser()
{
    // The calls go before the members their slots use.
    delete m_userInfoCall;
    delete m_avatarCall;
}

CFacebookUser* CFacebookUser::load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id, QObject* owner)
{
    auto* user = new CFacebookUser(api, storage, owner);
    if (!storage || !storage->serviceUser(id, user->m_user)) {
        log(QStringLiteral("CFacebookUser: failed to load user from storage"));
        delete user;
        return nullptr;
    }
    return user;
}

mid_t CFacebookUser::addUser(IMediaItemStorage* storage, const SFacebookUser& info, mid_t provider)
{
    SServiceUser user;
    user.provider = provider;
    user.mediaId = info.uid;
    user.name = info.name;
    user.url = info.profileUrl;
    user.avatar = info.picSquare;
    user.type = Unclassified;
    return addRow(storage, user);
}

mid_t CFacebookUser::addBareUser(IMediaItemStorage* storage, const QString& uid, mid_t provider)
{
    SServiceUser user;
    user.provider = provider;
    user.mediaId = uid;
    user.type = Unclassified;
    return addRow(storage, user);
}

QPixmap CFacebookUser::defaultAvatar() const
{
    return QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_default_profile_avatar.png"));
}

void CFacebookUser::updateAvatar()
{
    if (!m_user.avatar.isEmpty())
        startAvatarDownload();
    else if (m_user.name.isEmpty())
        requestUserInfo();
    else
        emit avatarUpdateFailed();
}

QPixmap CFacebookUser::avatar() const
{
    if (!m_avatarPixmap.isNull())
        return m_avatarPixmap;
    if (loadNormalAvatar(m_user.avatarFile, m_avatarPixmap))
        return m_avatarPixmap;
    // No picture to show: fetch it (the caches are mutable, the download is not const).
    const_cast<CFacebookUser*>(this)->updateAvatar();
    return scaleToNormalAvatar(defaultAvatar());
}

QPixmap CFacebookUser::smallAvatar() const
{
    if (!m_smallAvatarPixmap.isNull())
        return m_smallAvatarPixmap;
    if (loadSmallAvatar(m_user.avatarFile, m_smallAvatarPixmap))
        return m_smallAvatarPixmap;
    const_cast<CFacebookUser*>(this)->updateAvatar();
    return scaleToSmallAvatar(defaultAvatar());
}

void CFacebookUser::updateFromInfo(const SFacebookUser& info)
{
    if (info.uid != m_user.mediaId)
        return;
    bool changed = false;
    bool newPicture = false;
    if (info.name != m_user.name) {
        m_user.name = info.name;
        changed = true;
    }
    if (info.picSquare != m_user.avatar) {
        changed = true;
        newPicture = true;
    }
    takeAvatarUrl(info.picSquare);
    if (changed && writeRow("CFacebookUser: failed to update user"))
        emit userInfoUpdated();
    if (newPicture)
        updateAvatar();
}

void CFacebookUser::markAsOwner()
{
    if (m_user.type == Owner)
        return;
    const qint32 before = m_user.type;
    m_user.type = Owner;
    if (!writeRow("CFacebookUser: failed to update user"))
        m_user.type = before;
}

void CFacebookUser::markAsContact()
{
    if (m_user.type == Owner || m_user.type == Contact)
        return;
    const qint32 before = m_user.type;
    m_user.type = Contact;
    if (!writeRow("CFacebookUser: failed to update user"))
        m_user.type = before;
}

void CFacebookUser::takeAvatarUrl(const QString& url)
{
    if (url == m_failedUrl)
        m_failedUrl.clear();
    if (url == m_user.avatar && !m_user.avatarFile.isEmpty())
        return;
    m_user.avatar = url;
    m_user.avatarFile = m_storage ? m_storage->userImagePath(m_user.id, url) : QString();
}

bool CFacebookUser::writeRow(const char* failure)
{
    if (m_storage) {
        CMediaStorageBatch batch(m_storage);
        const bool written = m_storage->updateServiceUser(m_user);
        if (batch.end() && written)
            return true;
    }
    log(QLatin1String(failure));
    return false;
}

void CFacebookUser::requestUserInfo()
{
    if (m_userInfoCall && !m_userInfoCall->isReady())
        return; // the running call ends in a signal
    // A slot of the old call's failure may be what got us here: never delete it at once.
    if (m_userInfoCall)
        m_userInfoCall->deleteLater();
    m_userInfoCall = new CFacebookUserInfo(m_api, this);
    connect(m_userInfoCall, &CFacebookUserInfo::userInfoReady, this, &CFacebookUser::_onUserInfoReady);
    connect(m_userInfoCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookUser::_onUserInfoFailed);
    connect(m_userInfoCall, &CMeskHttpMethod::networkError, this, &CFacebookUser::_onUserInfoFailed);
    if (!m_userInfoCall->request(m_user.mediaId)) {
        // Told here once; the refusal's own signals would tell it again.
        disconnect(m_userInfoCall, nullptr, this, nullptr);
        emit avatarUpdateFailed();
    }
}

void CFacebookUser::_onUserInfoReady(const SFacebookUser& info)
{
    if (m_userInfoCall) {
        m_userInfoCall->deleteLater();
        m_userInfoCall = nullptr;
    }
    m_user.name = info.name;
    m_user.url = info.profileUrl;
    takeAvatarUrl(info.picSquare);
    writeRow("CFacebookUser: failed to store updated user");
    emit userInfoUpdated();
    startAvatarDownload();
}

void CFacebookUser::_onUserInfoFailed()
{
    emit avatarUpdateFailed();
}

void CFacebookUser::startAvatarDownload()
{
    if (m_user.avatar.isEmpty() || m_user.avatar == m_failedUrl) {
        emit avatarUpdateFailed();
        return;
    }
    if ((m_avatarCall && !m_avatarCall->isReady()) || (m_userInfoCall && !m_userInfoCall->isReady()))
        return; // the running work ends in a signal
    if (m_avatarCall)
        m_avatarCall->deleteLater();
    m_avatarCall = new CMeskHttpMethod(this);
    connect(m_avatarCall, &CMeskHttpMethod::finished, this, &CFacebookUser::_onAvatarLoaded);
    connect(m_avatarCall, &CMeskHttpMethod::networkError, this, &CFacebookUser::_onAvatarFailed);
    m_downloadUrl = m_user.avatar;
    if (!m_avatarCall->getToFile(m_downloadUrl, m_user.avatarFile))
        emit avatarUpdateFailed();
}

void CFacebookUser::_onAvatarLoaded()
{
    if (!m_avatarCall)
        return;
    const int status = m_avatarCall->httpStatus();
    m_avatarCall->deleteLater();
    m_avatarCall = nullptr;
    const QString url = m_downloadUrl;
    m_downloadUrl.clear();
    const QPointer<CFacebookUser> alive(this);
    if (status < 200 || status >= 300 || !isPicture(m_user.avatarFile)) {
        if (url == m_user.avatar)
            m_failedUrl = url;
        emit avatarUpdateFailed();
    } else {
        m_avatarPixmap = QPixmap();
        m_smallAvatarPixmap = QPixmap();
        emit avatarUpdated();
    }
    if (!alive)
        return;
    // The address changed while the old picture was on its way: fetch the new one.
    if (url != m_user.avatar && !m_user.avatar.isEmpty())
        startAvatarDownload();
}

void CFacebookUser::_onAvatarFailed()
{
    if (m_downloadUrl == m_user.avatar)
        m_failedUrl = m_downloadUrl;
    m_downloadUrl.clear();
    emit avatarUpdateFailed();
}
