#pragma once

#include "flickrrecords.h"
#include "meskhttpresponse.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

class QDomDocument;
class QDomElement;

// The wire form of the Flickr REST interface.
//
// Builds every request as one MD5-signed GET URL, builds the page and picture
// addresses of the service, checks every answer and reads it into records. It
// sends nothing itself.
//
// Signing follows the service's rule: the shared secret followed by every key and
// its raw value, the pairs sorted by key (then value), nothing between them. In
// the URL each value is percent-encoded (all but A-Z a-z 0-9 - . _ ~ @ ,), the
// pairs stand in the signed order and api_sig comes last.
//
// Threads: the request builders belong to the GUI thread and keep their code in
// lastError(). The readers are const, touch no member and hand their code to the
// caller, so call objects run them on the HTTP worker thread while the GUI thread
// builds the next request.
//
// Addresses: the REST endpoint, the site root and the static picture prefix per
// farm default to the service's hosts. LUMESK_FLICKR_URL (read at construction)
// points all three at one base B: B/services/rest/, B and B/farm%1.
class CFlickrApi
{
public:
    // Codes of lastError() and of the readers.
    enum Error
    {
        NoError = 0,
        NoConsumer = 106,     // API key or shared secret not set: no request is built
        GeneralFailure = 107, // every other failure
    };

    CFlickrApi();

    // Consumer and token.
    void setConsumer(const QString& apiKey, const QString& sharedSecret);
    // An empty token signs the account out.
    void setToken(const QString& token);
    QString apiKey() const { return m_apiKey; }
    QString token() const { return m_token; }
    bool hasConsumer() const { return !m_apiKey.isEmpty() && !m_secret.isEmpty(); }
    bool hasToken() const { return !m_token.isEmpty(); }
    bool isReady() const { return hasConsumer() && hasToken(); }
    // The code of the last request building (GUI thread only).
    int lastError() const { return m_lastError; }

    // Addresses. The setters take the text as it stands, without a trailing "/"
    // for the site root and the picture prefix.
    QString restUrl() const { return m_restUrl; }
    QString homeUrl() const { return m_homeUrl; }
    // "http://..." with "%1" standing for the farm number.
    QString staticUrlPattern() const { return m_staticPattern; }
    void setRestUrl(const QString& url);
    void setHomeUrl(const QString& url);
    void setStaticUrlPattern(const QString& pattern);
    // An http or https URL with a host, normalised (no trailing "/"); empty when unusable.
    static QString normalizeBaseUrl(const QString& url);
    static QString defaultImageFormat() { return QStringLiteral("jpg"); }

    // Request builders. On success they write the URL and return true; without a
    // consumer they log, set lastError() to 106, leave url untouched and return false.
    bool frobRequest(QString& url);
    bool tokenRequest(QString& url, const QString& frob);
    bool authorizationUrl(QString& url, const QString& frob);
    bool userInfoRequest(QString& url, const QString& userId);
    // The secret is sent only when it is not empty.
    bool photoInfoRequest(QString& url, const QString& photoId, const QString& secret);
    bool photoSizesRequest(QString& url, const QString& photoId);
    bool contactsPhotosRequest(QString& url);
    // min_upload_date (UTC seconds) is sent only for a valid date.
    bool userPhotosRequest(QString& url, const QString& userId, const QDateTime& minUploadDate);

    // Building blocks, used in this order.
    bool beginRequest();
    void addParam(const QString& key, const QString& value);
    // Adds method, api_key and (when token is not empty) auth_token, then signs for the REST endpoint.
    void formatRequest(QString& url, const QString& method, const QString& token);
    // Sorts and signs the parameters and writes base + "?" + the query to url.
    void signUrl(QString& url, const QString& base);

    // Page and picture addresses.
    void profileUrl(QString& url, const QString& userId) const;
    void photoPageUrl(QString& url, const QString& owner, const QString& photoId) const;
    // The service's default icon unless iconServer reads as a non-zero integer.
    void buddyIconUrl(QString& url, const QString& iconFarm, const QString& iconServer,
                      const QString& userId) const;
    void thumbnailUrl(QString& url, const QString& farm, const QString& server, const QString& id,
                      const QString& secret) const;
    void originalUrl(QString& url, const QString& farm, const QString& server, const QString& id,
                     const QString& originalSecret, const QString& originalFormat) const;

    // Answers, safe on any thread. Each reads the body once, returns true on
    // success and sets error to 0; on failure false with the service's kept code
    // (2, 4, 10, 96, 97, 98, 100, 105) or 107.
    bool checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error) const;
    bool parseFrob(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& frob,
                   int& error) const;
    // May leave a partly read user id and name behind when it fails.
    bool parseToken(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& token,
                    QString& userId, QString& userName, int& error) const;
    bool parseUserInfo(const SMeskHttpResponseHeader& header, const QByteArray& body, SFlickrUser& user,
                       int& error) const;
    bool parsePhotoInfo(const SMeskHttpResponseHeader& header, const QByteArray& body, SFlickrPhotoExt& photo,
                        int& error) const;
    bool parsePhotoSizes(const SMeskHttpResponseHeader& header, const QByteArray& body,
                         QList<SFlickrPhotoSize>& sizes, int& error) const;
    bool parseContactsPhotos(const SMeskHttpResponseHeader& header, const QByteArray& body,
                             QList<SFlickrPhoto>& photos, int& error) const;
    bool parseUserPhotos(const SMeskHttpResponseHeader& header, const QByteArray& body,
                         QList<SFlickrPhoto>& photos, int& error) const;

private:
    // The check over a document read once; rsp receives its "rsp" element.
    bool checkDocument(const SMeskHttpResponseHeader& header, const QByteArray& body, QDomDocument& doc,
                       QDomElement& rsp, int& error) const;
    QString farmUrl(const QString& farm) const;

    int m_lastError = NoError;
    QString m_apiKey;
    QString m_secret;
    QString m_token;
    QList<QPair<QString, QString>> m_params;
    QString m_restUrl;
    QString m_homeUrl;
    QString m_staticPattern;
};

// The readers of the elements of an answer. A missing attribute or child reads
// as an empty text.

// True for stat="ok". Otherwise code is the "err" code (0 when there is none), and
// the failure is logged.
bool sFlickrParseResponseCode(const QDomElement& rsp, int& code);
bool sFlickrParseFrobXml(const QDomElement& rsp, QString& frob);
bool sFlickrParseTokenXml(const QDomElement& rsp, QString& token, QString& userId, QString& userName);
bool sFlickrParsePersonXml(const QDomElement& rsp, SFlickrUser& user);
// Skips the photos that sFlickrParsePhotoXml refuses; false only without "photos".
bool sFlickrParsePhotosXml(const QDomElement& rsp, QList<SFlickrPhoto>& photos);
// False (and logged) when the element names its owner neither by "ownername" nor by "username".
bool sFlickrParsePhotoXml(const QDomElement& element, SFlickrPhoto& photo);
bool sFlickrParsePhotoInfoXml(const QDomElement& rsp, SFlickrPhotoExt& photo);
bool sFlickrParseSizesXml(const QDomElement& rsp, QList<SFlickrPhotoSize>& sizes);
void sFlickrParseSizeXml(const QDomElement& element, SFlickrPhotoSize& size);
QString sFlickrChildText(const QDomElement& parent, const QString& name);
