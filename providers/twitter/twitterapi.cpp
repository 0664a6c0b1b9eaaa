#include "twitterapi.h"

#include "meskclock.h"
#include "meskxml.h"
#include "meskzone.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QRegularExpression>
#include <QUrl>

namespace {
const QString DefaultHost = QStringLiteral("twitter.com");
const char* const ServiceUrlVariable = "LUMESK_TWITTER_URL";
const char* const WebHostVariable = "LUMESK_TWITTER_WEB_HOST";

void log(const QString& message)
{
    qDebug().noquote() << message;
}

// The names of form pieces, for diagnostics: the values may be credentials.
QString pieceNames(const QList<QByteArray>& pieces)
{
    QStringList names;
    for (const QByteArray& piece : pieces)
        names.append(QString::fromLatin1(piece.left(piece.indexOf('='))));
    return QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The value of the form piece "name=value[=...]" when it carries exactly that
// name; values are taken as they stand, without decoding.
bool pieceValue(const QByteArray& piece, const char* name, QString& value)
{
    const QList<QByteArray> parts = piece.split('=');
    if (parts.size() < 2 || parts.at(0) != name)
        return false;
    value = QString::fromLatin1(parts.at(1));
    return true;
}

// The text of the first child element of that name: null when there is no
// such element, empty (not null) for an element without text.
QString fieldText(const QDomElement& parent, const QString& name)
{
    const QDomElement element = parent.firstChildElement(name);
    if (element.isNull())
        return QString();
    const QString text = element.text();
    return text.isNull() ? QStringLiteral("") : text;
}

// An unreadable body (not well-formed, or nested deeper than meskReadXml allows)
// counts as an empty document.
QDomDocument readDocument(const QByteArray& body)
{
    QDomDocument document;
    meskReadXml(body, document);
    return document;
}
} // namespace

CTwitterApi::CTwitterApi()
{
    registerTwitterMetaTypes();
    m_serviceUrl = defaultServiceUrl();
    m_webHost = defaultWebHost();

    const QString serviceOverride = qEnvironmentVariable(ServiceUrlVariable);
    if (!serviceOverride.isEmpty() && !setServiceUrl(serviceOverride))
        log(QStringLiteral("CTwitterApi: ignoring unusable %1 \"%2\"")
                .arg(QLatin1String(ServiceUrlVariable), serviceOverride));
    const QString webOverride = qEnvironmentVariable(WebHostVariable);
    if (!webOverride.isEmpty() && !setWebHost(webOverride))
        log(QStringLiteral("CTwitterApi: ignoring unusable %1 \"%2\"")
                .arg(QLatin1String(WebHostVariable), webOverride));
}

void CTwitterApi::setUser(const QString& userId, const QString& userName)
{
    m_userId = userId;
    m_userName = userName;
}

// --- addresses ---------------------------------------------------------------

QString CTwitterApi::defaultServiceUrl()
{
    return QStringLiteral("http://") + DefaultHost;
}

QString CTwitterApi::defaultWebHost()
{
    return QStringLiteral("www.") + DefaultHost;
}

bool CTwitterApi::setServiceUrl(const QString& url)
{
    const QString normal = normalizeServiceUrl(url);
    if (normal.isEmpty())
        return false;
    m_serviceUrl = normal;
    return true;
}

bool CTwitterApi::setWebHost(const QString& host)
{
    const QString normal = normalizeWebHost(host);
    if (normal.isEmpty())
        return false;
    m_webHost = normal;
    return true;
}

QString CTwitterApi::normalizeServiceUrl(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return {};
    // RFC 5849 section 3.4.1.2: lower-case scheme and host, no default port.
    QString result = scheme + QStringLiteral("://") + url.host(QUrl::FullyEncoded).toLower();
    const int port = url.port();
    const int defaultPort = scheme == QLatin1String("http") ? 80 : 443;
    if (port != -1 && port != defaultPort)
        result += QLatin1Char(':') + QString::number(port);
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return result + path;
}

QString CTwitterApi::normalizeWebHost(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('/')))
        return {};
    const QUrl url(QStringLiteral("http://") + trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.path() != QString())
        return {};
    QString result = url.host(QUrl::FullyEncoded).toLower();
    if (url.port() != -1 && url.port() != 80)
        result += QLatin1Char(':') + QString::number(url.port());
    return result;
}

// --- requests ----------------------------------------------------------------

bool CTwitterApi::checkConsumer()
{
    if (hasConsumer())
        return true;
    log(QStringLiteral("CTwitterApi ERROR: consumer information is not set"));
    m_lastError = TwitterNoConsumer;
    return false;
}

bool CTwitterApi::requestTokenUrl(QString& url)
{
    url.clear();
    if (!checkConsumer())
        return false;
    url = requestTokenRequest(m_serviceUrl + QStringLiteral("/oauth/request_token"));
    return true;
}

bool CTwitterApi::authorizeUrl(QString& url, const QString& callback, const QString& requestToken)
{
    url.clear();
    if (!checkConsumer())
        return false;
    url = authorizeRequest(m_serviceUrl + QStringLiteral("/oauth/authorize"), callback, requestToken);
    return true;
}

bool CTwitterApi::accessTokenUrl(QString& url, const QString& requestToken, const QString& requestTokenSecret,
                                 const QString& verifier)
{
    url.clear();
    if (!checkConsumer())
        return false;
    url = accessTokenRequest(m_serviceUrl + QStringLiteral("/oauth/access_token"), requestToken,
                             requestTokenSecret, verifier);
    return true;
}

QString CTwitterApi::timelineUrl(const QString& path, const QString& sinceId)
{
    clearParams();
    if (!sinceId.isEmpty())
        addParam(QStringLiteral("since_id"), sinceId);
    return signRequest(QStringLiteral("GET"), m_serviceUrl + path);
}

bool CTwitterApi::friendsTimelineUrl(QString& url, const QString& sinceId)
{
    url.clear();
    if (!checkConsumer())
        return false;
    url = timelineUrl(QStringLiteral("/statuses/friends_timeline.xml"), sinceId);
    return true;
}

bool CTwitterApi::mentionsUrl(QString& url, const QString& sinceId)
{
    url.clear();
    if (!checkConsumer())
        return false;
    url = timelineUrl(QStringLiteral("/statuses/mentions.xml"), sinceId);
    return true;
}

bool CTwitterApi::updateRequest(QString& url, const QString& text, const QString& replyToId)
{
    url.clear();
    if (!checkConsumer())
        return false;
    clearParams();
    addParam(QStringLiteral("status"), text);
    if (!replyToId.isEmpty())
        addParam(QStringLiteral("in_reply_to_status_id"), replyToId);
    url = signRequest(QStringLiteral("POST"), m_serviceUrl + QStringLiteral("/statuses/update.xml"));
    return true;
}

// --- replies -----------------------------------------------------------------

bool CTwitterApi::checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& /*body*/,
                                int& error) const
{
    error = TwitterNoError;
    if (header.statusCode == 200)
        return true;
    log(QStringLiteral("CTwitterApi: http response error %1").arg(header.statusCode));
    switch (header.statusCode) {
    case 304:
        error = TwitterNotModified;
        break;
    case 400:
        error = TwitterBadRequest;
        break;
    case 401:
        error = TwitterUnauthorized;
        break;
    case 403:
        error = TwitterForbidden;
        break;
    case 500:
        error = TwitterServerError;
        break;
    case 502:
        error = TwitterBadGateway;
        break;
    case 503:
        error = TwitterUnavailable;
        break;
    default:
        error = TwitterFailed;
        break;
    }
    // A 304 counts as success here; its empty body fails the caller's body test.
    return error == TwitterNotModified;
}

bool CTwitterApi::parseTokenResponse(const QByteArray& body, QString& token, QString& secret,
                                     int& error) const
{
    error = TwitterNoError;
    const QList<QByteArray> pieces = body.split('&');
    QList<QByteArray> nonEmpty;
    for (const QByteArray& piece : pieces) {
        if (!piece.isEmpty())
            nonEmpty.append(piece);
    }
    QString parsedToken;
    QString parsedSecret;
    // The order is fixed: the token first, its secret second.
    if (nonEmpty.size() >= 2 && pieceValue(nonEmpty.at(0), "oauth_token", parsedToken) &&
        pieceValue(nonEmpty.at(1), "oauth_token_secret", parsedSecret) && !parsedToken.isEmpty() &&
        !parsedSecret.isEmpty()) {
        token = parsedToken;
        secret = parsedSecret;
        return true;
    }
    log(QStringLiteral("CTwitterApi: failed to parse token response"));
    log(QStringLiteral("CTwitterApi: reply pieces %1").arg(pieceNames(nonEmpty)));
    error = TwitterFailed;
    return false;
}

bool CTwitterApi::parseUserResponse(const QByteArray& body, QString& userId, QString& userName,
                                    int& error) const
{
    error = TwitterNoError;
    QList<QByteArray> nonEmpty;
    for (const QByteArray& piece : body.split('&')) {
        if (!piece.isEmpty())
            nonEmpty.append(piece);
    }
    QString id;
    QString name;
    if (nonEmpty.size() >= 4 && pieceValue(nonEmpty.at(2), "user_id", id) &&
        pieceValue(nonEmpty.at(3), "screen_name", name) && !id.isEmpty() && !name.isEmpty()) {
        userId = id;
        userName = name;
        return true;
    }
    log(QStringLiteral("CTwitterApi: failed to parse user id and name"));
    log(QStringLiteral("CTwitterApi: reply pieces %1").arg(pieceNames(nonEmpty)));
    error = TwitterFailed;
    return false;
}

bool CTwitterApi::parseRequestToken(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                    QString& token, QString& secret, int& error) const
{
    if (!checkResponse(header, body, error))
        return false;
    if (body.isEmpty()) {
        error = TwitterFailed;
        return false;
    }
    const int checked = error;
    if (!parseTokenResponse(body, token, secret, error))
        return false;
    error = checked;
    return true;
}

bool CTwitterApi::parseAccessToken(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                   QString& token, QString& secret, QString& userId, QString& userName,
                                   int& error) const
{
    if (!checkResponse(header, body, error))
        return false;
    const int checked = error;
    if (body.isEmpty() || !parseTokenResponse(body, token, secret, error)) {
        error = TwitterFailed;
        return false;
    }
    int userError = TwitterNoError;
    if (!parseUserResponse(body, userId, userName, userError)) {
        // The account is linked all the same; its id and name stay empty.
        userId.clear();
        userName.clear();
    }
    error = checked;
    return true;
}

bool CTwitterApi::parseTimelineResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                        STwitterTimeLine& timeline, int& error) const
{
    if (!checkResponse(header, body, error))
        return false;
    if (body.isEmpty()) {
        error = TwitterFailed;
        return false;
    }
    const int checked = error;
    if (!parseTimeline(body, timeline, error))
        return false;
    error = checked;
    return true;
}

bool CTwitterApi::parseUpdateResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                      STwitterStatusEvent& event, int& error) const
{
    if (!checkResponse(header, body, error))
        return false;
    if (body.isEmpty() || !parseStatusEvent(body, event)) {
        error = TwitterFailed;
        return false;
    }
    return true;
}

bool CTwitterApi::parseUser(const QDomElement& element, STwitterUserData& user)
{
    if (element.isNull())
        return false;
    user.id = fieldText(element, QStringLiteral("id"));
    user.name = fieldText(element, QStringLiteral("name"));
    user.screen_name = fieldText(element, QStringLiteral("screen_name"));
    user.url = fieldText(element, QStringLiteral("url"));
    user.profile_image_url = fieldText(element, QStringLiteral("profile_image_url"));
    return !user.id.isNull() && !user.name.isNull() && !user.profile_image_url.isNull();
}

bool CTwitterApi::parseStatus(const QDomElement& element, STwitterStatusData& status)
{
    if (element.isNull())
        return false;
    status.id = fieldText(element, QStringLiteral("id"));
    status.text = fieldText(element, QStringLiteral("text"));
    status.truncated = fieldText(element, QStringLiteral("truncated"));
    status.in_reply_to_status_id = fieldText(element, QStringLiteral("in_reply_to_status_id"));
    status.in_reply_to_user_id = fieldText(element, QStringLiteral("in_reply_to_user_id"));
    status.in_reply_to_screen_name = fieldText(element, QStringLiteral("in_reply_to_screen_name"));
    status.created_at = fieldText(element, QStringLiteral("created_at"));
    status.favorited = fieldText(element, QStringLiteral("favorited"));
    // A native retweet carries the original whole; its own text may be cut at 140 characters.
    const QDomElement original = element.firstChildElement(QStringLiteral("retweeted_status"));
    status.retweeted_text = QString();
    status.retweeted_screen_name = QString();
    if (!original.isNull()) {
        status.retweeted_text = fieldText(original, QStringLiteral("text"));
        if (!status.retweeted_text.isNull()) {
            const QString name =
                fieldText(original.firstChildElement(QStringLiteral("user")), QStringLiteral("screen_name"));
            status.retweeted_screen_name = name.isNull() ? QStringLiteral("") : name;
        }
    }
    return true;
}

bool CTwitterApi::parseTimeline(const QByteArray& body, STwitterTimeLine& timeline) const
{
    int error = TwitterNoError;
    return parseTimeline(body, timeline, error);
}

bool CTwitterApi::parseTimeline(const QByteArray& body, STwitterTimeLine& timeline, int& error) const
{
    timeline.clear();
    error = TwitterNoError;
    const QDomDocument document = readDocument(body);
    const QDomElement statuses = document.firstChildElement(QStringLiteral("statuses"));
    if (statuses.isNull()) {
        // Not a timeline: a page of some proxy, an error document sent with 200, or a body
        // the reader refused (not well-formed, invalid UTF-8, nested too deep).
        const QDomElement message =
            document.firstChildElement(QStringLiteral("hash")).firstChildElement(QStringLiteral("error"));
        const bool refused =
            message.text().contains(QLatin1String("could not authenticate"), Qt::CaseInsensitive);
        log(refused ? QStringLiteral("CTwitterApi: timeline request was not authenticated")
                    : QStringLiteral("CTwitterApi: timeline reply is not a list of statuses"));
        error = refused ? TwitterUnauthorized : TwitterFailed;
        return false;
    }
    int index = 0;
    for (QDomElement element = statuses.firstChildElement(QStringLiteral("status")); !element.isNull();
         element = element.nextSiblingElement(QStringLiteral("status")), ++index) {
        STwitterStatusEvent event;
        if (!parseStatus(element, event.status) ||
            !parseUser(element.firstChildElement(QStringLiteral("user")), event.user)) {
            // One unreadable status must not hold back the rest of the page.
            log(QStringLiteral("CTwitterApi: skipping unreadable status %1 (id \"%2\")")
                    .arg(index)
                    .arg(event.status.id));
            continue;
        }
        timeline.append(event);
    }
    return true;
}

bool CTwitterApi::parseStatusEvent(const QByteArray& body, STwitterStatusEvent& event) const
{
    const QDomDocument document = readDocument(body);
    const QDomElement status = document.firstChildElement(QStringLiteral("status"));
    parseStatus(status, event.status);
    return parseUser(status.firstChildElement(QStringLiteral("user")), event.user);
}

// --- dates -------------------------------------------------------------------

QDateTime CTwitterApi::parseDate(const QString& text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                       "(\\d{1,2}) (\\d\\d:\\d\\d:\\d\\d) \\+0000 (\\d{4,4})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (match.hasMatch()) {
        const QDate date(match.captured(5).toInt(), sTwitterGetMonth(match.captured(2)),
                         match.captured(3).toInt());
        const QTime time = QTime::fromString(match.captured(4), QStringLiteral("hh:mm:ss"));
        // Both parts are checked: a date-time built on an invalid time is
        // midnight of that day, not invalid.
        if (date.isValid() && time.isValid())
            return MeskZone::localInstantMSecs(QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch());
    }
    return MeskClock::now();
}

int sTwitterGetMonth(const QString& name)
{
    static const QStringList months = {
        QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"), QStringLiteral("Apr"),
        QStringLiteral("May"), QStringLiteral("Jun"), QStringLiteral("Jul"), QStringLiteral("Aug"),
        QStringLiteral("Sep"), QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec"),
    };
    const qsizetype index = months.indexOf(name);
    if (index >= 0)
        return int(index) + 1;
    log(QStringLiteral("sTwitterGetMonth: unknown month name %1").arg(name));
    return MeskClock::now().date().month();
}
