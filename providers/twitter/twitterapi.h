#pragma once

#include "meskhttpresponse.h"
#include "oauthclient.h"
#include "twitterrecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QDomElement;

// Error codes of the Twitter request builder and reply parsers.
enum TTwitterError
{
    TwitterNoError = 0,
    TwitterNoConsumer = 1,   // a request was asked for while no consumer is set
    TwitterFailed = 2,       // any other status, an empty body, a reply that cannot be read
    TwitterNotModified = 3,  // 304
    TwitterBadRequest = 4,   // 400
    TwitterUnauthorized = 5, // 401
    TwitterForbidden = 6,    // 403
    TwitterServerError = 7,  // 500
    TwitterBadGateway = 8,   // 502
    TwitterUnavailable = 9,  // 503
};

// Knows the Twitter REST interface: builds and signs the URL of every request
// and turns every reply into records. It sends nothing itself.
//
// Threads: the request builders run on the GUI thread and keep their failure
// code in lastError(). The reply operations are const and may run on the HTTP
// worker thread while the GUI thread builds the next request: each reports its
// own code through its `error` out-argument and never touches lastError().
//
// Addresses: the service address ("http://twitter.com"; the environment
// variable LUMESK_TWITTER_URL overrides it) is the base of every request URL
// and of homeUrl(). The web host ("www.twitter.com"; LUMESK_TWITTER_WEB_HOST)
// is the callback value that the authorisation URL carries. Both are held
// normalised: scheme and host in lower case, no default port, no trailing "/".
class CTwitterApi : public COAuthClient
{
public:
    CTwitterApi();

    void setUser(const QString& userId, const QString& userName);
    QString userId() const { return m_userId; }
    QString userName() const { return m_userName; }
    bool isReady() const { return hasConsumer() && hasToken(); }
    // The code of the last failed request building (TwitterNoConsumer), or 0.
    int lastError() const { return m_lastError; }
    void clearError() { m_lastError = TwitterNoError; }

    QString serviceUrl() const { return m_serviceUrl; }
    // False (and the address unchanged) for anything but an http or https URL with a host.
    bool setServiceUrl(const QString& url);
    QString webHost() const { return m_webHost; }
    // False (and the host unchanged) for an empty or unreadable host.
    bool setWebHost(const QString& host);
    static QString defaultServiceUrl();
    static QString defaultWebHost();
    // The normalised forms; empty when the text cannot be used.
    static QString normalizeServiceUrl(const QString& url);
    static QString normalizeWebHost(const QString& host);

    // The web site root that status and profile links are built on.
    QString homeUrl() const { return m_serviceUrl; }
    int maxStatusLength() const { return 140; }

    // Request builders: the URL goes to the first argument. Without a consumer
    // they log, set lastError() to TwitterNoConsumer, empty the URL and return false.
    bool requestTokenUrl(QString& url);
    bool authorizeUrl(QString& url, const QString& callback, const QString& requestToken);
    bool accessTokenUrl(QString& url, const QString& requestToken, const QString& requestTokenSecret,
                        const QString& verifier);
    bool friendsTimelineUrl(QString& url, const QString& sinceId);
    bool mentionsUrl(QString& url, const QString& sinceId);
    // A POST with an empty body: the status (passed percent-encoded) travels in the query.
    bool updateRequest(QString& url, const QString& text, const QString& replyToId);

    // Replies. Each reports its code in `error` (0 on success, or 3 after a
    // 304 whose body could still be read).
    bool parseRequestToken(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& token,
                           QString& secret, int& error) const;
    bool parseAccessToken(const SMeskHttpResponseHeader& header, const QByteArray& body, QString& token,
                          QString& secret, QString& userId, QString& userName, int& error) const;
    bool parseTimelineResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                               STwitterTimeLine& timeline, int& error) const;
    bool parseUpdateResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                             STwitterStatusEvent& event, int& error) const;

    // The inner steps of the replies.
    bool checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error) const;
    bool parseTokenResponse(const QByteArray& body, QString& token, QString& secret, int& error) const;
    bool parseUserResponse(const QByteArray& body, QString& userId, QString& userName, int& error) const;
    // False (and the list empty) for a body that is not a <statuses> document: `error` is
    // TwitterUnauthorized for the service's "could not authenticate" <hash><error> answer,
    // TwitterFailed for anything else. A status that cannot be read is logged and skipped.
    bool parseTimeline(const QByteArray& body, STwitterTimeLine& timeline, int& error) const;
    bool parseTimeline(const QByteArray& body, STwitterTimeLine& timeline) const;
    bool parseStatusEvent(const QByteArray& body, STwitterStatusEvent& event) const;
    static bool parseUser(const QDomElement& element, STwitterUserData& user);
    static bool parseStatus(const QDomElement& element, STwitterStatusData& status);

    // A created_at text ("Wed Aug 27 13:08:45 +0000 2008") as local time; the
    // current time (MeskClock) for a text that cannot be read.
    static QDateTime parseDate(const QString& text);

private:
    bool checkConsumer();
    QString timelineUrl(const QString& path, const QString& sinceId);

    int m_lastError = TwitterNoError;
    QString m_userId;
    QString m_userName;
    QString m_serviceUrl;
    QString m_webHost;
};

// "Jan".."Dec" to 1..12; any other name logs and gives the current month.
int sTwitterGetMonth(const QString& name);
