#include "facebookapi.h"

#include "facebookresponses.h"
#include "meskclock.h"
#include "meskxml.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDomDocument>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QString kDefaultRestBase = QStringLiteral("http://api.facebook.com");
const QString kDefaultWebBase = QStringLiteral("http://www.facebook.com");
const char kBaseVariable[] = "LUMESK_FACEBOOK_URL";

void log(const QString& text)
{
    qDebug().noquote() << text;
}

QString trimmedBase(const QString& base)
{
    QString result = base.trimmed();
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

// Ids travel percent-encoded; digits, letters, "-._~" and the list separator ","
// stand as they are.
QString encodeId(const QString& id)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(id, ","));
}

bool isKeptServiceError(int code)
{
    switch (code) {
    case CFacebookApi::ServiceUnavailable:
    case CFacebookApi::RequestLimit:
    case CFacebookApi::ActionLimit:
    case CFacebookApi::PermissionDenied:
    case CFacebookApi::InvalidApiKey:
    case CFacebookApi::InvalidSession:
        return true;
    default:
        return false;
    }
}

// The "expires" value of a session: 0 means the session does not expire. A run of
// digits too long for qint64 is still a time, so it counts as non-zero.
bool expiresIsZero(const QString& value)
{
    if (value.isEmpty())
        return true;
    bool ok = false;
    const qint64 expires = value.toLongLong(&ok);
    if (ok)
        return expires == 0;
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("\\d+")));
    return !digits.match(value).hasMatch();
}

// The answer check over a body already read into doc (a null document when the
// body was unreadable): an error answer is an error whatever the status says; then
// a status other than 200 fails.
bool checkDocument(const SMeskHttpResponseHeader& header, const QByteArray& body, const QDomDocument& doc,
                   int& error)
{
    error = CFacebookApi::NoError;
    if (body.isEmpty()) {
        log(QStringLiteral("CFacebookApi: response is empty"));
        error = CFacebookApi::GeneralFailure;
        return false;
    }
    int code = 0;
    QString message;
    if (sFacebookParseErrorDocument(doc, code, message)) {
        error = isKeptServiceError(code) ? code : CFacebookApi::GeneralFailure;
        log(QStringLiteral("CFacebookApi: response error %1 %2").arg(code).arg(message));
        return false;
    }
    if (header.statusCode != 200) {
        log(QStringLiteral("CFacebookApi: response error %1").arg(header.statusCode));
        error = CFacebookApi::GeneralFailure;
        return false;
    }
    return true;
}

// Reads the body once, runs the answer check and then one parser over the same
// document. An unreadable body (not well-formed, or nested too deep) fails the
// parser.
template <typename Parse>
bool checkAndParse(const SMeskHttpResponseHeader& header, const QByteArray& body, int& error, Parse parse)
{
    QDomDocument doc;
    if (!body.isEmpty())
        meskReadXml(body, doc);
    if (!checkDocument(header, body, doc, error))
        return false;
    if (!parse(doc)) {
        error = CFacebookApi::GeneralFailure;
        return false;
    }
    return true;
}

// Reads the name/value pairs of a text such as session={"session_key":"..","uid":1};
// false when the text is not of that form.
bool readSessionValues(const QString& text, QHash<QString, QString>& values)
{
    static const QRegularExpression whole(
        QRegularExpression::anchoredPattern(QStringLiteral("(\\w+)=\\{(.+)\\}")),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch outer = whole.match(text);
    if (!outer.hasMatch())
        return false;
    const QString body = outer.captured(2);
    if (outer.captured(1) != QLatin1String("session") || body.isEmpty())
        return false;

    // A quoted value may be empty ("") and then ends at its own closing quote, not at a later one.
    static const QRegularExpression entry(QStringLiteral("\"(\\w+?)\":(\".*?\"|\\d+?)(?:,|$)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    qsizetype pos = 0;
    while (pos <= body.size()) {
        const QRegularExpressionMatch m = entry.match(body, pos);
        if (!m.hasMatch())
            break;
        values.insert(m.captured(1), m.captured(2).remove(QLatin1Char('"')));
        pos = m.capturedStart() + qMax<qsizetype>(1, m.capturedLength());
    }
    return true;
}

// What is wrong with a session text that does not read, naming fields only: the
// text carries the session key and secret, which never go to the log.
QString sessionProblems(const QString& text)
{
    QHash<QString, QString> values;
    if (!readSessionValues(text, values))
        return QStringLiteral("not of the form session={...}");
    QStringList problems;
    for (const char* name : {"session_key", "secret", "uid"}) {
        if (values.value(QLatin1String(name)).isEmpty())
            problems.append(QStringLiteral("%1 missing or unreadable").arg(QLatin1String(name)));
    }
    if (!expiresIsZero(values.value(QStringLiteral("expires"))))
        problems.append(QStringLiteral("expires is not 0"));
    return problems.isEmpty() ? QStringLiteral("unreadable") : problems.join(QStringLiteral(", "));
}

} // namespace

CFacebookApi::CFacebookApi() : m_restBase(kDefaultRestBase), m_webBase(kDefaultWebBase)
{
    const QString base = trimmedBase(qEnvironmentVariable(kBaseVariable));
    if (!base.isEmpty()) {
        m_restBase = base;
        m_webBase = base;
    }
}

void CFacebookApi::setApiKey(const QString& key)
{
    m_apiKey = key;
}

void CFacebookApi::setSession(const QString& sessionKey, const QString& sessionSecret, const QString& uid)
{
    m_sessionKey = sessionKey;
    m_sessionSecret = sessionSecret;
    m_uid = uid;
}

void CFacebookApi::setRestBaseUrl(const QString& base)
{
    m_restBase = trimmedBase(base);
}

void CFacebookApi::setWebBaseUrl(const QString& base)
{
    m_webBase = trimmedBase(base);
}

QString CFacebookApi::loginSuccessUrl() const
{
    return m_webBase + QStringLiteral("/connect/login_success.html");
}

QString CFacebookApi::loginFailureUrl() const
{
    return m_webBase + QStringLiteral("/connect/login_failure.html");
}

bool CFacebookApi::beginRequest(bool needSession)
{
    if (!hasApiKey()) {
        log(QStringLiteral("CFacebookApi ERROR: API key is not set"));
        m_lastError = NotConfigured;
        return false;
    }
    if (needSession && !hasSession()) {
        log(QStringLiteral("CFacebookApi ERROR: session is not set"));
        m_lastError = NotConfigured;
        return false;
    }
    m_lastError = NoError;
    m_params.clear();
    return true;
}

void CFacebookApi::addParam(const QString& name, const QString& value)
{
    m_params.append(name + QLatin1Char('=') + value);
}

void CFacebookApi::formatRequest(const QString& method, QString& url)
{
    addParam(QStringLiteral("method"), method);
    addParam(QStringLiteral("api_key"), m_apiKey);
    addParam(QStringLiteral("call_id"), QString::number(MeskClock::now().toSecsSinceEpoch()));
    addParam(QStringLiteral("v"), QStringLiteral("1.0"));
    addParam(QStringLiteral("session_key"), m_sessionKey);
    addParam(QStringLiteral("format"), QStringLiteral("XML"));
    m_params.sort(Qt::CaseSensitive);

    // The service signs the decoded entries, so a blank sent as %20 is signed as a blank.
    QString base;
    for (const QString& entry : std::as_const(m_params))
        base += QUrl::fromPercentEncoding(entry.toUtf8());
    base += m_sessionSecret;
    const QByteArray sig = QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Md5).toHex();
    addParam(QStringLiteral("sig"), QString::fromLatin1(sig));

    url = m_restBase + QStringLiteral("/restserver.php?") + m_params.join(QLatin1Char('&'));
    m_params.clear();
}

bool CFacebookApi::formatUsersGetInfo(QString& url, const QString& uids)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("uids"), encodeId(uids));
    addParam(QStringLiteral("fields"), QStringLiteral("uid,name,pic_square,profile_url"));
    formatRequest(QStringLiteral("users.getInfo"), url);
    return true;
}

bool CFacebookApi::formatPhotosGet(QString& url, const QString& pids)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("pids"), encodeId(pids));
    formatRequest(QStringLiteral("photos.get"), url);
    return true;
}

bool CFacebookApi::formatStreamGet(QString& url)
{
    if (!beginRequest(true))
        return false;
    formatRequest(QStringLiteral("stream.get"), url);
    return true;
}

bool CFacebookApi::formatEventPhotosQuery(QString& url, const QString& aid, const QString& pid,
                                          const QString& created)
{
    if (!beginRequest(true))
        return false;
    const QString query =
        QStringLiteral("SELECT pid, aid, owner, src_small, src_big, src, link, caption, "
                       "created FROM photo WHERE aid='%1' AND pid >= '%2' AND created <= %3")
            .arg(aid, pid, created);
    addParam(QStringLiteral("query"), QString::fromLatin1(QUrl::toPercentEncoding(query)));
    formatRequest(QStringLiteral("fql.query"), url);
    return true;
}

bool CFacebookApi::formatAddLike(QString& url, const QString& postId)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("post_id"), encodeId(postId));
    formatRequest(QStringLiteral("stream.addLike"), url);
    return true;
}

bool CFacebookApi::formatRemoveLike(QString& url, const QString& postId)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("post_id"), encodeId(postId));
    formatRequest(QStringLiteral("stream.removeLike"), url);
    return true;
}

bool CFacebookApi::formatGetComments(QString& url, const QString& postId)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("post_id"), encodeId(postId));
    formatRequest(QStringLiteral("stream.getComments"), url);
    return true;
}

bool CFacebookApi::formatNotificationsGet(QString& url)
{
    if (!beginRequest(true))
        return false;
    formatRequest(QStringLiteral("notifications.get"), url);
    return true;
}

bool CFacebookApi::formatMessageThreads(QString& url)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("folder_id"), QStringLiteral("0"));
    addParam(QStringLiteral("uid"), QStringLiteral("0"));
    formatRequest(QStringLiteral("message.getThreadsInFolder"), url);
    return true;
}

bool CFacebookApi::formatStreamPublish(QString& url, const QString& message)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("message"), message);
    formatRequest(QStringLiteral("stream.publish"), url);
    return true;
}

bool CFacebookApi::formatAddComment(QString& url, const QString& postId, const QString& comment)
{
    if (!beginRequest(true))
        return false;
    addParam(QStringLiteral("post_id"), encodeId(postId));
    addParam(QStringLiteral("comment"), comment);
    formatRequest(QStringLiteral("stream.addComment"), url);
    return true;
}

bool CFacebookApi::checkResponse(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                 int& error) const
{
    QDomDocument doc;
    if (!body.isEmpty())
        meskReadXml(body, doc);
    return checkDocument(header, body, doc, error);
}

bool CFacebookApi::parseUsersGetInfo(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                     SFacebookUser& user, int& error) const
{
    return checkAndParse(header, body, error,
                         [&](const QDomDocument& doc) { return sFacebookParseUserInfoDocument(doc, user); });
}

bool CFacebookApi::parsePhotosGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                  SFacebookPhotoInfo& photo, int& error) const
{
    return checkAndParse(header, body, error,
                         [&](const QDomDocument& doc) { return sFacebookParsePhotosDocument(doc, photo); });
}

bool CFacebookApi::parseStreamGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                  QList<SFacebookStreamPost>& posts, QList<SFacebookUser>& users,
                                  int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseStreamDocument(doc, posts, users);
    });
}

bool CFacebookApi::parseEventPhotosQuery(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                         QList<SFacebookPhotoInfo>& photos, int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseFqlPhotosDocument(doc, photos);
    });
}

bool CFacebookApi::parseAddLike(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                int& error) const
{
    return checkAndParse(header, body, error,
                         [&](const QDomDocument& doc) { return sFacebookParseAddLikeDocument(doc); });
}

bool CFacebookApi::parseRemoveLike(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                   int& error) const
{
    return checkAndParse(header, body, error,
                         [&](const QDomDocument& doc) { return sFacebookParseRemoveLikeDocument(doc); });
}

bool CFacebookApi::parseGetComments(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                    QList<SFacebookComment>& comments, int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseCommentsDocument(doc, comments);
    });
}

bool CFacebookApi::parseNotificationsGet(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                         SFacebookNotifications& notifications, int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseNotificationsDocument(doc, notifications);
    });
}

bool CFacebookApi::parseMessageThreads(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                       QList<SFacebookMessage>& messages, int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseThreadsDocument(doc, messages);
    });
}

bool CFacebookApi::parseStreamPublish(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                      QString& postId, int& error) const
{
    return checkAndParse(header, body, error,
                         [&](const QDomDocument& doc) { return sFacebookParsePublishDocument(doc, postId); });
}

bool CFacebookApi::parseAddComment(const SMeskHttpResponseHeader& header, const QByteArray& body,
                                   QString& commentId, int& error) const
{
    return checkAndParse(header, body, error, [&](const QDomDocument& doc) {
        return sFacebookParseAddCommentDocument(doc, commentId);
    });
}

bool CFacebookApi::authorizationUrl(QString& url)
{
    if (!beginRequest(false))
        return false;
    addParam(QStringLiteral("api_key"), m_apiKey);
    addParam(QStringLiteral("fbconnect"), QStringLiteral("true"));
    addParam(QStringLiteral("v"), QStringLiteral("1.0"));
    addParam(QStringLiteral("connect_display"), QStringLiteral("popup"));
    addParam(QStringLiteral("return_session"), QStringLiteral("true"));
    addParam(QStringLiteral("next"), loginSuccessUrl());
    addParam(QStringLiteral("cancel_url"), loginFailureUrl());
    addParam(QStringLiteral("req_perms"),
             QStringLiteral("read_stream,read_mailbox,publish_stream,offline_access"));
    url = m_webBase + QStringLiteral("/login.php?") + m_params.join(QLatin1Char('&'));
    m_params.clear();
    return true;
}

bool CFacebookApi::parseCallbackUrl(const QString& callbackUrl, QString& sessionKey, QString& sessionSecret,
                                    QString& uid)
{
    m_lastError = NoError;
    const QString page = callbackUrl.section(QLatin1Char('?'), 0, 0);
    const QString query = callbackUrl.section(QLatin1Char('?'), 1, 1);
    const QString first = query.section(QLatin1Char('&'), 0, 0);

    // The page must begin with the login page address, so only the service's own
    // web host can hand over a session.
    if (page.startsWith(loginSuccessUrl())) {
        const QString text = QUrl::fromPercentEncoding(first.toUtf8());
        if (!parseSession(text, sessionKey, sessionSecret, uid)) {
            // The session text holds the key and the secret: only what is wrong with it is logged.
            log(QStringLiteral("CFacebookApi: failed to parse session (%1)").arg(sessionProblems(text)));
            m_lastError = GeneralFailure;
            return false;
        }
        return true;
    }
    if (page.startsWith(loginFailureUrl())) {
        log(QStringLiteral("CFacebookApi: user rejected authorization"));
        m_lastError = LoginRefused;
        return false;
    }
    log(QStringLiteral("CFacebookApi: unknown call back URL ") + page);
    m_lastError = GeneralFailure;
    return false;
}

bool CFacebookApi::parseSession(const QString& text, QString& sessionKey, QString& sessionSecret,
                                QString& uid)
{
    QHash<QString, QString> values;
    if (!readSessionValues(text, values))
        return false;
    if (!expiresIsZero(values.value(QStringLiteral("expires")))) {
        log(QStringLiteral("CFacebookApi: user has not allowed offline access"));
        return false;
    }
    const QString key = values.value(QStringLiteral("session_key"));
    const QString secret = values.value(QStringLiteral("secret"));
    const QString user = values.value(QStringLiteral("uid"));
    if (key.isEmpty() || secret.isEmpty() || user.isEmpty())
        return false;
    sessionKey = key;
    sessionSecret = secret;
    uid = user;
    return true;
}

QString CFacebookApi::friendRequestId(const QString& uid)
{
    return QStringLiteral("frequest_") + uid;
}

int CFacebookApi::mediaType(const SFacebookMedia& media)
{
    if (media.type == QLatin1String("photo"))
        return 0;
    if (media.type == QLatin1String("video"))
        return 1;
    if (media.type == QLatin1String("link"))
        return 2;
    log(QStringLiteral("CFacebookApi: unknown media type ") + media.type);
    return 3;
}

int CFacebookApi::videoType(const SFacebookMedia& media)
{
    if (media.sourceType == QLatin1String("raw"))
        return 0;
    if (media.sourceType == QLatin1String("html"))
        return 1;
    log(QStringLiteral("CFacebookApi: unknown video type ") + media.sourceType);
    return 2;
}

int CFacebookApi::attachmentType(const SFacebookAttachment& attachment)
{
    const QString& type = attachment.fbObjectType;
    if (type == QLatin1String("photo"))
        return 0;
    if (type == QLatin1String("video"))
        return 1;
    if (type == QLatin1String("link"))
        return 2;
    if (type == QLatin1String("album"))
        return 3;
    if (type == QLatin1String("event"))
        return 4;
    if (attachment.media.isEmpty())
        return 5;
    const int first = mediaType(attachment.media.constFirst());
    return first <= 2 ? first : 5;
}
