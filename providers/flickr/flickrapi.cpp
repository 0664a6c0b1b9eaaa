#include "flickrapi.h"

#include "meskxml.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QUrl>

#include <algorithm>

namespace {

const QString kDefaultRestUrl = QStringLiteral("http://api.flickr.com/services/rest/");
const QString kDefaultHomeUrl = QStringLiteral("http://www.flickr.com");
const QString kDefaultStaticPattern = QStringLiteral("http://farm%1.static.flickr.com");
const char kBaseVariable[] = "LUMESK_FLICKR_URL";

void log(const QString& text)
{
    qDebug().noquote() << text;
}

QString withoutTrailingSlash(const QString& text)
{
    QString result = text.trimmed();
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool isKeptServiceError(int code)
{
    switch (code) {
    case 2:
    case 4:
    case 10:
    case 96:
    case 97:
    case 98:
    case 100:
    case 105:
        return true;
    default:
        return false;
    }
}

// Runs the check and then one element reader over the same document.
template <typename Read>
bool checkAndRead(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error,
                  bool (CFlickrApi::*check)(const SMeskHttpResponseHeader&, const QByteArray&, QDomDocument&,
                                            QDomElement&, int&) const,
                  const CFlickrApi& api, Read read)
{
    QDomDocument doc;
    QDomElement rsp;
    if (!(api.*check)(header, body, doc, rsp, error))
        return false;
    if (!read(rsp)) {
        error = CFlickrApi::GeneralFailure;
        return false;
    }
    return true;
}

} // namespace

CFlickrApi::CFlickrApi()
    : m_restUrl(kDefaultRestUrl), m_homeUrl(kDefaultHomeUrl), m_staticPattern(kDefaultStaticPattern)
{
    registerFlickrMetaTypes();
    const QString variable = qEnvironmentVariable(kBaseVariable);
    if (variable.isEmpty())
        return;
    const QString base = normalizeBaseUrl(variable);
    if (base.isEmpty()) {
        log(QStringLiteral("CFlickrApi: ignoring unusable %1 \"%2\"")
                .arg(QLatin1String(kBaseVariable), variable));
        return;
    }
    m_restUrl = base + QStringLiteral("/services/rest/");
    m_homeUrl = base;
    m_staticPattern = base + QStringLiteral("/farm%1");
}

void CFlickrApi::setConsumer(const QString& apiKey, const QString& sharedSecret)
{
    m_apiKey = apiKey;
    m_secret = sharedSecret;
}

void CFlickrApi::setToken(const QString& token)
{
    m_token = token;
}

// --- addresses ---------------------------------------------------------------

void CFlickrApi::setRestUrl(const QString& url)
{
    m_restUrl = url.trimmed();
}

void CFlickrApi::setHomeUrl(const QString& url)
{
    m_homeUrl = withoutTrailingSlash(url);
}

void CFlickrApi::setStaticUrlPattern(const QString& pattern)
{
    m_staticPattern = withoutTrailingSlash(pattern);
}

QString CFlickrApi::normalizeBaseUrl(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return {};
    QString result = scheme + QStringLiteral("://") + url.host(QUrl::FullyEncoded).toLower();
    if (url.port() != -1)
        result += QLatin1Char(':') + QString::number(url.port());
    return result + withoutTrailingSlash(url.path(QUrl::FullyEncoded));
}

QString CFlickrApi::farmUrl(const QString& farm) const
{
    QString prefix = m_staticPattern;
    return prefix.replace(QStringLiteral("%1"), farm);
}

void CFlickrApi::profileUrl(QString& url, const QString& userId) const
{
    url = m_homeUrl + QStringLiteral("/people/") + userId;
}

void CFlickrApi::photoPageUrl(QString& url, const QString& owner, const QString& photoId) const
{
    url = m_homeUrl + QStringLiteral("/photos/") + owner + QLatin1Char('/') + photoId;
}

void CFlickrApi::buddyIconUrl(QString& url, const QString& iconFarm, const QString& iconServer,
                              const QString& userId) const
{
    bool ok = false;
    const qlonglong server = iconServer.toLongLong(&ok);
    if (!ok || server == 0) {
        url = m_homeUrl + QStringLiteral("/images/buddyicon.jpg");
        return;
    }
    url = farmUrl(iconFarm) + QLatin1Char('/') + iconServer + QStringLiteral("/buddyicons/") + userId +
          QStringLiteral(".jpg");
}

void CFlickrApi::thumbnailUrl(QString& url, const QString& farm, const QString& server, const QString& id,
                              const QString& secret) const
{
    url = farmUrl(farm) + QLatin1Char('/') + server + QLatin1Char('/') + id + QLatin1Char('_') + secret +
          QStringLiteral("_s.jpg");
}

void CFlickrApi::originalUrl(QString& url, const QString& farm, const QString& server, const QString& id,
                             const QString& originalSecret, const QString& originalFormat) const
{
    url = farmUrl(farm) + QLatin1Char('/') + server + QLatin1Char('/') + id + QLatin1Char('_') +
          originalSecret + QStringLiteral("_o.") + originalFormat;
}

// --- request building --------------------------------------------------------

bool CFlickrApi::beginRequest()
{
    if (!hasConsumer()) {
        log(QStringLiteral("CFlickrApi ERROR: consumer information is not set"));
        m_lastError = NoConsumer;
        return false;
    }
    m_lastError = NoError;
    m_params.clear();
    return true;
}

void CFlickrApi::addParam(const QString& key, const QString& value)
{
    m_params.append({key, value});
}

void CFlickrApi::formatRequest(QString& url, const QString& method, const QString& token)
{
    addParam(QStringLiteral("method"), method);
    addParam(QStringLiteral("api_key"), m_apiKey);
    if (!token.isEmpty())
        addParam(QStringLiteral("auth_token"), token);
    signUrl(url, m_restUrl);
}

void CFlickrApi::signUrl(QString& url, const QString& base)
{
    std::sort(m_params.begin(), m_params.end());
    QString signedText = m_secret;
    QStringList entries;
    for (const auto& [key, value] : std::as_const(m_params)) {
        signedText += key + value;
        entries.append(key + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value, "@,")));
    }
    const QByteArray sig = QCryptographicHash::hash(signedText.toUtf8(), QCryptographicHash::Md5).toHex();
    entries.append(QStringLiteral("api_sig=") + QString::fromLatin1(sig));
    url = base + QLatin1Char('?') + entries.join(QLatin1Char('&'));
}

bool CFlickrApi::frobRequest(QString& url)
{
    if (!beginRequest())
        return false;
    formatRequest(url, QStringLiteral("flickr.auth.getFrob"), QString());
    return true;
}

bool CFlickrApi::tokenRequest(QString& url, const QString& frob)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("frob"), frob);
    formatRequest(url, QStringLiteral("flickr.auth.getToken"), QString());
    return true;
}

bool CFlickrApi::authorizationUrl(QString& url, const QString& frob)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("api_key"), m_apiKey);
    addParam(QStringLiteral("perms"), QStringLiteral("write"));
    addParam(QStringLiteral("frob"), frob);
    signUrl(url, m_homeUrl + QStringLiteral("/services/auth/"));
    return true;
}

bool CFlickrApi::userInfoRequest(QString& url, const QString& userId)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("user_id"), userId);
    formatRequest(url, QStringLiteral("flickr.people.getInfo"), m_token);
    return true;
}

bool CFlickrApi::photoInfoRequest(QString& url, const QString& photoId, const QString& secret)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("photo_id"), photoId);
    if (!secret.isEmpty())
        addParam(QStringLiteral("secret"), secret);
    formatRequest(url, QStringLiteral("flickr.photos.getInfo"), m_token);
    return true;
}

bool CFlickrApi::photoSizesRequest(QString& url, const QString& photoId)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("photo_id"), photoId);
    formatRequest(url, QStringLiteral("flickr.photos.getSizes"), m_token);
    return true;
}

bool CFlickrApi::contactsPhotosRequest(QString& url)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("count"), QStringLiteral("50"));
    addParam(QStringLiteral("extras"), QStringLiteral("date_upload"));
    formatRequest(url, QStringLiteral("flickr.photos.getContactsPhotos"), m_token);
    return true;
}

bool CFlickrApi::userPhotosRequest(QString& url, const QString& userId, const QDateTime& minUploadDate)
{
    if (!beginRequest())
        return false;
    addParam(QStringLiteral("user_id"), userId);
    if (minUploadDate.isValid())
        addParam(QStringLiteral("min_upload_date"), QString::number(minUploadDate.toSecsSinceEpoch()));
    addParam(QStringLiteral("per_page"), QStringLiteral("500"));
    addParam(QStringLiteral("extras"), QStringLiteral("owner_name,date_upload"));
    formatRequest(url, QStringLiteral("flickr.photos.search"), m_token);
    return true;
}

// --- answers -----------------------------------------------------------------

bool CFlickrApi::checkDocument(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               QDomDocument& doc, QDomElement& rsp, int& error) const
{
    error = NoError;
    if (body.isEmpty()) {
        log(QStringLiteral("CFlickrApi: response is empty"));
        error = GeneralFailure;
        return false;
    }
    // A body that does not read (or nests too deep) has no "rsp": a failure without a code.
    meskReadXml(body, doc);
    rsp = doc.firstChildElement(QStringLiteral("rsp"));
    int code = 0;
    const bool ok = sFlickrParseResponseCode(rsp, code);
    if (!ok)
        error = isKeptServiceError(code) ? code : GeneralFailure;
    if (header.statusCode != 200) {
        log(QStringLiteral("CFlickrApi: http response error %1").arg(header.statusCode));
        error = GeneralFailure;
        return false;
    }
    return ok;
}

bool CFlickrApi::checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               int& error) const
{
    QDomDocument doc;
    QDomElement rsp;
    return checkDocument(header, body, doc, rsp, error);
}

bool CFlickrApi::parseFrob(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& frob,
                           int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this,
                        [&](const QDomElement& rsp) { return sFlickrParseFrobXml(rsp, frob); });
}

bool CFlickrApi::parseToken(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& token,
                            QString& userId, QString& userName, int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this, [&](const QDomElement& rsp) {
        return sFlickrParseTokenXml(rsp, token, userId, userName);
    });
}

bool CFlickrApi::parseUserInfo(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               SFlickrUser& user, int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this,
                        [&](const QDomElement& rsp) { return sFlickrParsePersonXml(rsp, user); });
}

bool CFlickrApi::parsePhotoInfo(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                SFlickrPhotoExt& photo, int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this,
                        [&](const QDomElement& rsp) { return sFlickrParsePhotoInfoXml(rsp, photo); });
}

bool CFlickrApi::parsePhotoSizes(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                 QList<SFlickrPhotoSize>& sizes, int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this,
                        [&](const QDomElement& rsp) { return sFlickrParseSizesXml(rsp, sizes); });
}

bool CFlickrApi::parseContactsPhotos(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                     QList<SFlickrPhoto>& photos, int& error) const
{
    return checkAndRead(header, body, error, &CFlickrApi::checkDocument, *this,
                        [&](const QDomElement& rsp) { return sFlickrParsePhotosXml(rsp, photos); });
}

bool CFlickrApi::parseUserPhotos(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                 QList<SFlickrPhoto>& photos, int& error) const
{
    return parseContactsPhotos(header, body, photos, error);
}

// --- element readers ---------------------------------------------------------

QString sFlickrChildText(const QDomElement& parent, const QString& name)
{
    return parent.firstChildElement(name).text();
}

bool sFlickrParseResponseCode(const QDomElement& rsp, int& code)
{
    code = 0;
    const QString stat = rsp.attribute(QStringLiteral("stat"));
    if (stat == QLatin1String("ok"))
        return true;
    const QDomElement err = rsp.firstChildElement(QStringLiteral("err"));
    if (err.isNull()) {
        log(QStringLiteral("sFlickrParseResponseCode: flickr response failed") +
            (stat.isEmpty() ? QString() : QLatin1Char(' ') + stat));
        return false;
    }
    const QString message = err.attribute(QStringLiteral("msg"));
    code = err.attribute(QStringLiteral("code")).toInt();
    log(QStringLiteral("Flickr returned error %1:%2").arg(code).arg(message));
    return false;
}

bool sFlickrParseFrobXml(const QDomElement& rsp, QString& frob)
{
    frob = sFlickrChildText(rsp, QStringLiteral("frob"));
    return !frob.isEmpty();
}

bool sFlickrParseTokenXml(const QDomElement& rsp, QString& token, QString& userId, QString& userName)
{
    const QDomElement auth = rsp.firstChildElement(QStringLiteral("auth"));
    if (auth.isNull())
        return false;
    token = sFlickrChildText(auth, QStringLiteral("token"));
    if (token.isEmpty())
        return false;
    const QDomElement user = auth.firstChildElement(QStringLiteral("user"));
    if (user.isNull())
        return false;
    userId = user.attribute(QStringLiteral("nsid"));
    if (userId.isEmpty())
        return false;
    userName = user.attribute(QStringLiteral("username"));
    return !userName.isEmpty();
}

bool sFlickrParsePersonXml(const QDomElement& rsp, SFlickrUser& user)
{
    const QDomElement person = rsp.firstChildElement(QStringLiteral("person"));
    if (person.isNull())
        return false;
    // The service documents people.getInfo with the nsid attribute alone; some answers also carry id.
    user.userId = person.attribute(QStringLiteral("id"));
    if (user.userId.isEmpty())
        user.userId = person.attribute(QStringLiteral("nsid"));
    user.iconServer = person.attribute(QStringLiteral("iconserver"));
    user.iconFarm = person.attribute(QStringLiteral("iconfarm"));
    user.realName = sFlickrChildText(person, QStringLiteral("realname"));
    user.userName = sFlickrChildText(person, QStringLiteral("username"));
    user.photosUrl = sFlickrChildText(person, QStringLiteral("photosurl"));
    user.profileUrl = sFlickrChildText(person, QStringLiteral("profileurl"));
    return true;
}

bool sFlickrParsePhotosXml(const QDomElement& rsp, QList<SFlickrPhoto>& photos)
{
    const QDomElement list = rsp.firstChildElement(QStringLiteral("photos"));
    if (list.isNull())
        return false;
    for (QDomElement e = list.firstChildElement(QStringLiteral("photo")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("photo"))) {
        SFlickrPhoto photo;
        if (sFlickrParsePhotoXml(e, photo))
            photos.append(photo);
    }
    return true;
}

bool sFlickrParsePhotoXml(const QDomElement& element, SFlickrPhoto& photo)
{
    photo.id = element.attribute(QStringLiteral("id"));
    photo.secret = element.attribute(QStringLiteral("secret"));
    photo.server = element.attribute(QStringLiteral("server"));
    photo.farm = element.attribute(QStringLiteral("farm"));
    photo.owner = element.attribute(QStringLiteral("owner"));
    photo.title = element.attribute(QStringLiteral("title"));
    photo.dateUpload = element.attribute(QStringLiteral("dateupload"));
    if (element.hasAttribute(QStringLiteral("ownername"))) {
        photo.ownerName = element.attribute(QStringLiteral("ownername"));
    } else if (element.hasAttribute(QStringLiteral("username"))) {
        photo.ownerName = element.attribute(QStringLiteral("username"));
    } else {
        log(QStringLiteral("sFlickrParsePhotoXml: user name not found"));
        return false;
    }
    return true;
}

bool sFlickrParsePhotoInfoXml(const QDomElement& rsp, SFlickrPhotoExt& photo)
{
    const QDomElement e = rsp.firstChildElement(QStringLiteral("photo"));
    if (e.isNull())
        return false;
    photo.id = e.attribute(QStringLiteral("id"));
    photo.secret = e.attribute(QStringLiteral("secret"));
    photo.server = e.attribute(QStringLiteral("server"));
    photo.farm = e.attribute(QStringLiteral("farm"));
    photo.dateUpload = e.attribute(QStringLiteral("dateuploaded"));
    photo.originalSecret = e.attribute(QStringLiteral("originalsecret"));
    photo.originalFormat = e.attribute(QStringLiteral("originalformat"));
    photo.isFavorite = e.attribute(QStringLiteral("isfavorite"));
    const QDomElement owner = e.firstChildElement(QStringLiteral("owner"));
    if (!owner.isNull()) {
        photo.owner = owner.attribute(QStringLiteral("nsid"));
        photo.ownerName = owner.attribute(QStringLiteral("username"));
    }
    photo.title = sFlickrChildText(e, QStringLiteral("title"));
    photo.description = sFlickrChildText(e, QStringLiteral("description"));
    photo.comments = sFlickrChildText(e, QStringLiteral("comments"));
    return true;
}

bool sFlickrParseSizesXml(const QDomElement& rsp, QList<SFlickrPhotoSize>& sizes)
{
    const QDomElement list = rsp.firstChildElement(QStringLiteral("sizes"));
    if (list.isNull())
        return false;
    for (QDomElement e = list.firstChildElement(QStringLiteral("size")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("size"))) {
        SFlickrPhotoSize size;
        sFlickrParseSizeXml(e, size);
        sizes.append(size);
    }
    return true;
}

void sFlickrParseSizeXml(const QDomElement& element, SFlickrPhotoSize& size)
{
    size.label = element.attribute(QStringLiteral("label"));
    size.width = element.attribute(QStringLiteral("width"));
    size.height = element.attribute(QStringLiteral("height"));
    size.source = element.attribute(QStringLiteral("source"));
    size.url = element.attribute(QStringLiteral("url"));
}
