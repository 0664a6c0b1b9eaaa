#include "oauthclient.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>

namespace {
constexpr int HmacBlockSize = 64;
} // namespace

COAuthClient::COAuthClient() = default;

void COAuthClient::setConsumer(const QString& key, const QString& secret)
{
    m_consumerKey = key;
    m_consumerSecret = secret;
}

void COAuthClient::setToken(const QString& token, const QString& tokenSecret)
{
    m_token = token;
    m_tokenSecret = tokenSecret;
}

void COAuthClient::addParam(const QString& name, const QString& value)
{
    m_params.append(name + QLatin1Char('=') + value);
}

QString COAuthClient::signRequest(const QString& method, const QString& url)
{
    if (!hasConsumer())
        return {};

    addParam(QStringLiteral("oauth_consumer_key"), m_consumerKey);
    if (!m_token.isEmpty())
        addParam(QStringLiteral("oauth_token"), m_token);
    addParam(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    addParam(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    addParam(QStringLiteral("oauth_timestamp"), timestamp());
    addParam(QStringLiteral("oauth_nonce"), nonce());
    // RFC 5849 section 3.4.1.3.2: by encoded name, then by encoded value, in
    // byte order. Sorting the whole "name=value" texts would put "x%21y" before
    // "x", since '%' comes before '='.
    std::stable_sort(m_params.begin(), m_params.end(), [](const QString& a, const QString& b) {
        const qsizetype aEq = a.indexOf(QLatin1Char('='));
        const qsizetype bEq = b.indexOf(QLatin1Char('='));
        const QStringView aName = QStringView(a).left(aEq);
        const QStringView bName = QStringView(b).left(bEq);
        if (aName != bName)
            return aName < bName;
        return QStringView(a).mid(aEq + 1) < QStringView(b).mid(bEq + 1);
    });

    const QString key = signingKey(m_consumerSecret, m_tokenSecret);
    const QString sig = signature(method, url, key, m_params);
    addParam(QStringLiteral("oauth_signature"), sig);
    return url + QLatin1Char('?') + m_params.join(QLatin1Char('&'));
}

QString COAuthClient::requestTokenRequest(const QString& url)
{
    clearParams();
    const QString keptToken = m_token;
    const QString keptSecret = m_tokenSecret;
    m_token.clear();
    m_tokenSecret.clear();
    const QString result = signRequest(QStringLiteral("GET"), url);
    m_token = keptToken;
    m_tokenSecret = keptSecret;
    return result;
}

QString COAuthClient::authorizeRequest(const QString& url, const QString& callback,
                                       const QString& token) const
{
    return url + QStringLiteral("?oauth_token=") + pct(token) + QStringLiteral("&oauth_callback=") +
           pct(callback);
}

QString COAuthClient::accessTokenRequest(const QString& url, const QString& requestToken,
                                         const QString& requestTokenSecret, const QString& verifier)
{
    clearParams();
    const QString keptToken = m_token;
    const QString keptSecret = m_tokenSecret;
    // RFC 5849 sections 2.3 and 3.4.2: the temporary credentials' secret is
    // part of the key, or a conforming server refuses the request.
    m_token = requestToken;
    m_tokenSecret = requestTokenSecret;
    // A typed PIN may carry blanks around it; anything else in it must not
    // break the query string or the base string.
    const QString pin = verifier.trimmed();
    if (!pin.isEmpty())
        addParam(QStringLiteral("oauth_verifier"), pct(pin));
    const QString result = signRequest(QStringLiteral("GET"), url);
    m_token = keptToken;
    m_tokenSecret = keptSecret;
    return result;
}

void COAuthClient::setTimestampSource(std::function<qint64()> source)
{
    m_timestampSource = std::move(source);
}

void COAuthClient::setNonceSource(std::function<QString()> source)
{
    m_nonceSource = std::move(source);
}

QString COAuthClient::timestamp() const
{
    const qint64 secs = m_timestampSource ? m_timestampSource() : QDateTime::currentSecsSinceEpoch();
    return QString::number(secs);
}

QString COAuthClient::nonce() const
{
    if (m_nonceSource)
        return m_nonceSource();
    return QString::number(QRandomGenerator::system()->generate64());
}

QString COAuthClient::signingKey(const QString& consumerSecret, const QString& tokenSecret)
{
    return pct(consumerSecret) + QLatin1Char('&') + pct(tokenSecret);
}

QString COAuthClient::signature(const QString& method, const QString& url, const QString& key,
                                const QStringList& params)
{
    QString base = method + QLatin1Char('&') + pct(url) + QLatin1Char('&');
    for (qsizetype i = 0; i < params.size(); ++i) {
        if (i > 0)
            base += QStringLiteral("%26");
        base += pct(params.at(i));
    }
    const QByteArray digest = hmacSha1(base.toLatin1(), key.toLatin1());
    return pct(QString::fromLatin1(digest.toBase64()));
}

QByteArray COAuthClient::hmacSha1(const QByteArray& message, const QByteArray& key)
{
    QByteArray k = key;
    if (k.size() > HmacBlockSize)
        k = QCryptographicHash::hash(k, QCryptographicHash::Sha1);
    k.append(QByteArray(HmacBlockSize - k.size(), '\0'));

    QByteArray innerPad(HmacBlockSize, '\x36');
    QByteArray outerPad(HmacBlockSize, '\x5c');
    for (int i = 0; i < HmacBlockSize; ++i) {
        innerPad[i] = char(innerPad.at(i) ^ k.at(i));
        outerPad[i] = char(outerPad.at(i) ^ k.at(i));
    }
    const QByteArray inner = QCryptographicHash::hash(innerPad + message, QCryptographicHash::Sha1);
    return QCryptographicHash::hash(outerPad + inner, QCryptographicHash::Sha1);
}

QString COAuthClient::pct(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}
