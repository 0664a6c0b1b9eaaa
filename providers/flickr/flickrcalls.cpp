#include "flickrcalls.h"

CFlickrCall::CFlickrCall(CFlickrApi* api, QObject* parent) : CMeskServiceCall(parent), m_api(api)
{
    registerFlickrMetaTypes();
}

CFlickrCall::~CFlickrCall()
{
    cancel();
}

bool CFlickrCall::start(bool built, const QString& url, const char* formatFailed, const char* requestFailed)
{
    if (!built)
        return refuse(QLatin1String(formatFailed));
    return sendGet(url, QLatin1String(requestFailed));
}

TMediaError CFlickrCall::photoListError() const
{
    switch (m_error) {
    case 4:
        return MediaErrorPermissionDenied;
    case 10:
    case 105:
        return MediaErrorServiceUnavailable;
    case 96:
    case 97:
    case 98:
        return MediaErrorAuthorization;
    case 100:
        return MediaErrorApiKey;
    default:
        return MediaErrorGeneral;
    }
}

// --- flickr.photos.search ----------------------------------------------------

CFlickrUserPhotos::CFlickrUserPhotos(CFlickrApi* api, QObject* parent) : CFlickrCall(api, parent) {}

CFlickrUserPhotos::~CFlickrUserPhotos()
{
    cancel();
}

bool CFlickrUserPhotos::request(const QString& userId, const QDateTime& minUploadDate)
{
    // While an answer is still being read on the pool thread the result is left
    // alone: this GET then fails to start.
    if (isReady()) {
        m_userId = userId;
        m_photos.clear();
    }
    QString url;
    const bool built = m_api->userPhotosRequest(url, userId, minUploadDate);
    return start(built, url, "CFlickrUserPhotos: failed to format photos request",
                 "CFlickrUserPhotos: failed to create http request");
}

bool CFlickrUserPhotos::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return m_api->parseUserPhotos(header, body, m_photos, m_error);
}

void CFlickrUserPhotos::emitResult()
{
    const QString userId = m_userId;
    const QList<SFlickrPhoto> photos = m_photos;
    emit userPhotos(userId, photos);
}

TMediaError CFlickrUserPhotos::errorCode() const
{
    return photoListError();
}

// --- flickr.photos.getContactsPhotos -----------------------------------------

CFlickrContactsPhotos::CFlickrContactsPhotos(CFlickrApi* api, QObject* parent) : CFlickrCall(api, parent) {}

CFlickrContactsPhotos::~CFlickrContactsPhotos()
{
    cancel();
}

bool CFlickrContactsPhotos::request()
{
    QString url;
    const bool built = m_api->contactsPhotosRequest(url);
    // A list still being read on the pool thread is left alone: that GET fails to start.
    if (isReady())
        m_photos.clear();
    return start(built, url, "CFlickrContactsPhotos: failed to format contacts photos request",
                 "CFlickrContactsPhotos: failed to create http request");
}

bool CFlickrContactsPhotos::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return m_api->parseContactsPhotos(header, body, m_photos, m_error);
}

void CFlickrContactsPhotos::emitResult()
{
    const QList<SFlickrPhoto> photos = m_photos;
    emit contactPhotos(photos);
}

TMediaError CFlickrContactsPhotos::errorCode() const
{
    return photoListError();
}

// --- flickr.photos.getInfo ---------------------------------------------------

CFlickrPhotoInfo::CFlickrPhotoInfo(CFlickrApi* api, QObject* parent) : CFlickrCall(api, parent) {}

CFlickrPhotoInfo::~CFlickrPhotoInfo()
{
    cancel();
}

bool CFlickrPhotoInfo::request(const QString& photoId, const QString& secret)
{
    QString url;
    const bool built = m_api->photoInfoRequest(url, photoId, secret);
    return start(built, url, "CFlickrPhotoInfo: failed to format request",
                 "CFlickrPhotoInfo: failed to create http request");
}

bool CFlickrPhotoInfo::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    m_photo = SFlickrPhotoExt();
    return m_api->parsePhotoInfo(header, body, m_photo, m_error);
}

void CFlickrPhotoInfo::emitResult()
{
    const SFlickrPhotoExt photo = m_photo;
    emit infoReady(photo);
}

// --- flickr.photos.getSizes --------------------------------------------------

CFlickrPhotoSizes::CFlickrPhotoSizes(CFlickrApi* api, QObject* parent) : CFlickrCall(api, parent) {}

CFlickrPhotoSizes::~CFlickrPhotoSizes()
{
    cancel();
}

bool CFlickrPhotoSizes::request(const QString& photoId)
{
    QString url;
    const bool built = m_api->photoSizesRequest(url, photoId);
    // A list still being read on the pool thread is left alone: that GET fails to start.
    if (isReady())
        m_sizes.clear();
    return start(built, url, "CFlickrPhotoSizes: failed to format http request",
                 "CFlickrPhotoSizes: failed to create http request");
}

bool CFlickrPhotoSizes::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    return m_api->parsePhotoSizes(header, body, m_sizes, m_error);
}

void CFlickrPhotoSizes::emitResult()
{
    const QList<SFlickrPhotoSize> sizes = m_sizes;
    emit sizesReady(sizes);
}

// --- flickr.people.getInfo ---------------------------------------------------

CFlickrUserInfo::CFlickrUserInfo(CFlickrApi* api, QObject* parent) : CFlickrCall(api, parent) {}

CFlickrUserInfo::~CFlickrUserInfo()
{
    cancel();
}

bool CFlickrUserInfo::request(const QString& userId)
{
    QString url;
    const bool built = m_api->userInfoRequest(url, userId);
    return start(built, url, "CFlickrUserInfo: failed to format http request",
                 "CFlickrUserInfo: failed to create http request");
}

bool CFlickrUserInfo::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    m_user = SFlickrUser();
    return m_api->parseUserInfo(header, body, m_user, m_error);
}

void CFlickrUserInfo::emitResult()
{
    const SFlickrUser user = m_user;
    emit userInfoReady(user);
}
