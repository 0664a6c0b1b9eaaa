#include "faketwitter.h"

#include "meskclock.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QMutexLocker>
#include <QUrl>

#include <algorithm>

namespace {
QByteArray pct(const QByteArray& bytes)
{
    return QUrl::toPercentEncoding(QString::fromUtf8(bytes));
}

// application/x-www-form-urlencoded decoding, as RFC 5849 section 3.4.1.3.1 asks.
QByteArray formDecode(QByteArray bytes)
{
    bytes.replace('+', ' ');
    return QByteArray::fromPercentEncoding(bytes);
}

bool isDigits(const QByteArray& text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

FakeTwitterService::FakeTwitterService()
    : m_consumerKey(DefaultConsumerKey), m_consumerSecret(DefaultConsumerSecret)
{
}

void FakeTwitterService::setConsumer(const QByteArray& key, const QByteArray& secret)
{
    QMutexLocker lock(&m_mutex);
    m_consumerKey = key;
    m_consumerSecret = secret;
}

void FakeTwitterService::setRequestToken(const QByteArray& token, const QByteArray& secret)
{
    QMutexLocker lock(&m_mutex);
    m_requestToken = token;
    m_requestTokenSecret = secret;
}

void FakeTwitterService::setAccessToken(const QByteArray& token, const QByteArray& secret)
{
    QMutexLocker lock(&m_mutex);
    m_accessToken = token;
    m_accessTokenSecret = secret;
}

void FakeTwitterService::setUser(const QByteArray& id, const QByteArray& screenName)
{
    QMutexLocker lock(&m_mutex);
    m_userId = id;
    m_screenName = screenName;
}

void FakeTwitterService::setPin(const QByteArray& pin)
{
    QMutexLocker lock(&m_mutex);
    m_pin = pin;
}

QByteArray FakeTwitterService::pin() const
{
    QMutexLocker lock(&m_mutex);
    return m_pin;
}

void FakeTwitterService::script(const QByteArray& path, int status, const QByteArray& body, int count,
                                int after)
{
    TestHttpReply reply = TestHttpReply::withStatus(status, reasonPhrase(status), body);
    if (!body.isEmpty()) {
        const bool xml = body.startsWith('<');
        reply.headers.append(
            qMakePair(QByteArray("Content-Type"),
                      QByteArray(xml ? "text/xml; charset=utf-8" : "text/plain; charset=utf-8")));
    }
    QMutexLocker lock(&m_mutex);
    if (count == 0)
        m_scripts.remove(path);
    else
        m_scripts.insert(path, {reply, count, after});
}

void FakeTwitterService::clearScripts()
{
    QMutexLocker lock(&m_mutex);
    m_scripts.clear();
}

void FakeTwitterService::addStatus(const Status& status)
{
    QMutexLocker lock(&m_mutex);
    m_statuses.append(status);
}

QList<FakeTwitterService::Status> FakeTwitterService::statuses() const
{
    QMutexLocker lock(&m_mutex);
    return m_statuses;
}

void FakeTwitterService::clearStatuses()
{
    QMutexLocker lock(&m_mutex);
    m_statuses.clear();
}

TestHttpHandler FakeTwitterService::handler()
{
    return [this](const TestHttpRequest& request) { return handle(request); };
}

QList<FakeTwitterService::Record> FakeTwitterService::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_records;
}

void FakeTwitterService::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_records.clear();
}

QByteArray FakeTwitterService::reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

TestHttpRequest FakeTwitterService::requestFor(const QByteArray& method, const QByteArray& url,
                                               const QByteArray& body)
{
    TestHttpRequest request;
    request.method = method;
    request.version = "HTTP/1.1";
    QByteArray rest = url;
    const int scheme = rest.indexOf("://");
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    const int slash = rest.indexOf('/');
    const QByteArray authority = slash < 0 ? rest : rest.left(slash);
    request.target = slash < 0 ? QByteArray("/") : rest.mid(slash);
    request.headers.append(qMakePair(QByteArray("Host"), authority));
    if (!body.isEmpty() || method == "POST")
        request.headers.append(qMakePair(QByteArray("Content-Length"), QByteArray::number(body.size())));
    request.body = body;
    request.raw =
        method + ' ' + request.target + ' ' + request.version + "\r\nHost: " + authority + "\r\n\r\n" + body;
    return request;
}

TestHttpReply FakeTwitterService::handle(const TestHttpRequest& request)
{
    QMutexLocker lock(&m_mutex);
    QByteArray refusal;
    TestHttpReply reply = route(request, refusal);
    if (!refusal.isEmpty()) {
        reply = TestHttpReply::withStatus(401, reasonPhrase(401), refusal);
        reply.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/plain; charset=utf-8")));
    }
    m_records.append({request, reply.status, refusal});
    return reply;
}

bool FakeTwitterService::scripted(const QByteArray& path, TestHttpReply& reply)
{
    auto it = m_scripts.find(path);
    if (it == m_scripts.end())
        return false;
    if (it->after > 0) {
        --it->after;
        return false;
    }
    reply = it->reply;
    if (it->count > 0 && --it->count == 0)
        m_scripts.erase(it);
    return true;
}

QByteArray FakeTwitterService::statusXml(const Status& status)
{
    auto element = [](const char* name, const QString& text) {
        return '<' + QByteArray(name) + '>' + text.toHtmlEscaped().toUtf8() + "</" + QByteArray(name) + '>';
    };
    const QString created =
        QLocale::c().toString(status.created.toUTC(), QStringLiteral("ddd MMM dd HH:mm:ss '+0000' yyyy"));
    return "<status>" + element("created_at", created) + element("id", QString::fromLatin1(status.id)) +
           element("text", status.text) + element("truncated", QStringLiteral("false")) +
           "<in_reply_to_status_id></in_reply_to_status_id><in_reply_to_user_id></in_reply_to_user_id>"
           "<in_reply_to_screen_name></in_reply_to_screen_name>" +
           element("favorited", QStringLiteral("false")) + "<user>" +
           element("id", QString::fromLatin1(status.author.id)) + element("name", status.author.name) +
           element("screen_name", status.author.screenName) + element("url", status.author.url) +
           element("profile_image_url", status.author.profileImageUrl) + "</user></status>";
}

TestHttpReply FakeTwitterService::timeline(const QByteArray& path, const QByteArray& sinceId) const
{
    const bool mentions = path == "/statuses/mentions.xml";
    const QString mention = QLatin1Char('@') + QString::fromUtf8(m_screenName);
    const bool hasSince = isDigits(sinceId);
    const qulonglong since = hasSince ? sinceId.toULongLong() : 0;
    QList<Status> answer;
    for (const Status& status : m_statuses) {
        const bool chosen = mentions ? status.text.contains(mention, Qt::CaseInsensitive)
                                     : status.author.followed || status.author.id == m_userId;
        if (chosen && (!hasSince || status.id.toULongLong() > since))
            answer.append(status);
    }
    std::stable_sort(answer.begin(), answer.end(), [](const Status& a, const Status& b) {
        if (a.created != b.created)
            return a.created > b.created;
        return a.id.toULongLong() > b.id.toULongLong();
    });
    QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">";
    for (qsizetype i = 0; i < answer.size() && i < 20; ++i)
        body += statusXml(answer.at(i));
    body += "</statuses>";
    return TestHttpReply::ok(body);
}

TestHttpReply FakeTwitterService::update(const QByteArray& text, const QByteArray& host)
{
    qulonglong next = 1;
    for (const Status& status : m_statuses)
        next = std::max(next, status.id.toULongLong() + 1);
    Status status;
    status.id = QByteArray::number(next);
    status.text = QString::fromUtf8(text);
    status.created = MeskClock::now().toUTC();
    status.author.id = m_userId;
    status.author.screenName = QString::fromUtf8(m_screenName);
    status.author.name = status.author.screenName;
    status.author.url = QString();
    status.author.profileImageUrl = QStringLiteral("http://%1/images/%2.png")
                                        .arg(QString::fromLatin1(host), QString::fromLatin1(m_userId));
    status.author.followed = false;
    m_statuses.append(status);
    return TestHttpReply::ok("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + statusXml(status));
}

TestHttpReply FakeTwitterService::route(const TestHttpRequest& request, QByteArray& refusal)
{
    if (request.method != "GET" && request.method != "POST") {
        refusal = "unsupported method";
        return {};
    }
    // Every parameter travels in the query; a POST carries an empty body.
    if (!request.body.isEmpty()) {
        refusal = "request body not accepted";
        return {};
    }

    QList<Pair> pairs;
    const QByteArray query = request.query();
    if (!query.isEmpty()) {
        for (const QByteArray& piece : query.split('&')) {
            const int eq = piece.indexOf('=');
            if (piece.isEmpty() || eq <= 0) {
                refusal = "malformed query";
                return {};
            }
            pairs.append({piece.left(eq), piece.mid(eq + 1)});
        }
    }
    auto value = [&pairs](const char* name, bool* present = nullptr) {
        int count = 0;
        QByteArray found;
        for (const Pair& p : pairs) {
            if (formDecode(p.name) == name) {
                found = formDecode(p.value);
                ++count;
            }
        }
        if (present)
            *present = count > 0;
        return count == 1 ? found : QByteArray();
    };

    const QByteArray path = request.path();
    if (path == "/oauth/authorize") {
        // Unsigned: the page the user signs in on.
        if (value("oauth_token") != m_requestToken || m_requestToken.isEmpty()) {
            refusal = "unknown request token";
            return {};
        }
        const QByteArray page = "<html><head><title>Authorize</title></head><body>"
                                "<p>You granted access. Enter this PIN:</p><div id=\"oauth_pin\">" +
                                QString::fromUtf8(m_pin).toHtmlEscaped().toUtf8() + "</div></body></html>";
        TestHttpReply reply;
        if (scripted(path, reply))
            return reply;
        return TestHttpReply::ok(page, "text/html; charset=utf-8");
    }

    bool hasToken = false;
    const QByteArray token = value("oauth_token", &hasToken);
    QByteArray tokenSecret;
    TestHttpReply normal;
    if (path == "/oauth/request_token") {
        if (hasToken) {
            refusal = "a token is not expected here";
            return {};
        }
        normal =
            TestHttpReply::ok("oauth_token=" + m_requestToken + "&oauth_token_secret=" + m_requestTokenSecret,
                              "application/x-www-form-urlencoded");
    } else if (path == "/oauth/access_token") {
        if (token.isEmpty() || token != m_requestToken) {
            refusal = "unknown request token";
            return {};
        }
        tokenSecret = m_requestTokenSecret;
        normal =
            TestHttpReply::ok("oauth_token=" + m_accessToken + "&oauth_token_secret=" + m_accessTokenSecret +
                                  "&user_id=" + m_userId + "&screen_name=" + m_screenName,
                              "application/x-www-form-urlencoded");
    } else {
        if (token.isEmpty() || token != m_accessToken) {
            refusal = "unknown access token";
            return {};
        }
        tokenSecret = m_accessTokenSecret;
    }

    refusal = checkSignature(request, pairs, tokenSecret);
    if (!refusal.isEmpty())
        return {};
    if (path == "/oauth/access_token") {
        const QByteArray verifier = value("oauth_verifier");
        if (verifier.isEmpty() || verifier != m_pin) {
            refusal = "wrong verifier";
            return {};
        }
    }
    TestHttpReply reply;
    if (scripted(path, reply))
        return reply;
    if (path.startsWith("/oauth/"))
        return normal;
    if (path == "/statuses/friends_timeline.xml" || path == "/statuses/mentions.xml")
        return timeline(path, value("since_id"));
    if (path == "/statuses/update.xml") {
        if (request.method != "POST")
            return TestHttpReply::withStatus(400, reasonPhrase(400), "POST required");
        return update(value("status"), request.header("Host"));
    }
    return TestHttpReply::ok("<statuses/>");
}

QByteArray FakeTwitterService::checkSignature(const TestHttpRequest& request, const QList<Pair>& pairs,
                                              const QByteArray& tokenSecret)
{
    // Decode, then re-encode and sort by name, then value (RFC 5849 section 3.4.1.3.2).
    QList<Pair> normal;
    QByteArray signature;
    QByteArray consumerKey, method, timestamp, nonce, version;
    QSet<QByteArray> protocolNames;
    for (const Pair& p : pairs) {
        const QByteArray name = formDecode(p.name);
        const QByteArray value = formDecode(p.value);
        if (name.startsWith("oauth_")) {
            if (protocolNames.contains(name))
                return "duplicate " + name;
            protocolNames.insert(name);
        }
        if (name == "oauth_signature") {
            signature = value;
            continue;
        }
        if (name == "oauth_consumer_key")
            consumerKey = value;
        else if (name == "oauth_signature_method")
            method = value;
        else if (name == "oauth_timestamp")
            timestamp = value;
        else if (name == "oauth_nonce")
            nonce = value;
        else if (name == "oauth_version")
            version = value;
        normal.append({pct(name), pct(value)});
    }

    if (consumerKey.isEmpty())
        return "oauth_consumer_key missing";
    if (consumerKey != m_consumerKey)
        return "unknown consumer";
    if (method != "HMAC-SHA1")
        return "oauth_signature_method must be HMAC-SHA1";
    if (!isDigits(timestamp))
        return "oauth_timestamp missing";
    if (nonce.isEmpty())
        return "oauth_nonce missing";
    if (signature.isEmpty())
        return "oauth_signature missing";
    if (protocolNames.contains("oauth_version") && version != "1.0")
        return "oauth_version must be 1.0";

    // Our own wire contract: the signature last, the other pairs sorted.
    if (formDecode(pairs.last().name) != "oauth_signature")
        return "oauth_signature not last";
    auto before = [](const Pair& a, const Pair& b) {
        return a.name != b.name ? a.name < b.name : a.value < b.value;
    };
    if (!std::is_sorted(normal.begin(), normal.end(), before))
        return "parameters not sorted";
    std::sort(normal.begin(), normal.end(), before);

    QByteArray host = request.header("Host").toLower();
    if (host.isEmpty())
        return "no Host header";
    if (host.endsWith(":80"))
        host.chop(3);
    const QByteArray baseUri = "http://" + host + request.path();
    QByteArray parameters;
    for (const Pair& p : normal) {
        if (!parameters.isEmpty())
            parameters += '&';
        parameters += p.name + '=' + p.value;
    }
    const QByteArray base = request.method.toUpper() + '&' +
                            QUrl::toPercentEncoding(QString::fromLatin1(baseUri)) + '&' +
                            QUrl::toPercentEncoding(QString::fromLatin1(parameters));
    const QByteArray key = pct(m_consumerSecret) + '&' + pct(tokenSecret);
    const QByteArray expected =
        QMessageAuthenticationCode::hash(base, key, QCryptographicHash::Sha1).toBase64();
    if (expected != signature)
        return "invalid signature";

    // RFC 5849 section 3.3: a (timestamp, nonce) pair is accepted once.
    const QByteArray stamp = timestamp + ' ' + nonce;
    if (m_seenNonces.contains(stamp))
        return "nonce already used";
    m_seenNonces.insert(stamp);
    return {};
}
