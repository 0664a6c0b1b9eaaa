#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Signs requests by OAuth 1.0 (RFC 5849) with HMAC-SHA1. Every parameter, the
// protocol parameters and the signature included, travels in the query string
// of one URL; a POST carries its parameters there too and sends an empty body.
//
// Values given to addParam() are held exactly as they will stand in the query
// string: the caller passes them percent-encoded already.
//
// Not thread-safe: the parameter list belongs to the one request being built.
class COAuthClient
{
public:
    COAuthClient();

    void setConsumer(const QString& key, const QString& secret);
    void setToken(const QString& token, const QString& tokenSecret);
    bool hasConsumer() const { return !m_consumerKey.isEmpty() && !m_consumerSecret.isEmpty(); }
    bool hasToken() const { return !m_token.isEmpty() && !m_tokenSecret.isEmpty(); }
    QString consumerKey() const { return m_consumerKey; }
    QString consumerSecret() const { return m_consumerSecret; }
    QString token() const { return m_token; }
    QString tokenSecret() const { return m_tokenSecret; }

    // The parameters of the request being built, each "name=value".
    const QStringList& params() const { return m_params; }
    void clearParams() { m_params.clear(); }
    void addParam(const QString& name, const QString& value);

    // The signed URL for "GET" or "POST" and a URL without a query part;
    // empty (and the parameters untouched) when no consumer is set.
    QString signRequest(const QString& method, const QString& url);

    // The three URLs of the authorisation flow.
    QString requestTokenRequest(const QString& url);
    QString authorizeRequest(const QString& url, const QString& callback, const QString& token) const;
    // Signed with the request token and its secret; the verifier (the PIN the
    // user typed) is trimmed and percent-encoded. The stored token pair is kept.
    QString accessTokenRequest(const QString& url, const QString& requestToken,
                               const QString& requestTokenSecret, const QString& verifier);

    // Where timestamps and nonces come from. An empty function restores the
    // default: the system clock in seconds, and the decimal text of a 64-bit
    // value from the system's random generator.
    void setTimestampSource(std::function<qint64()> source);
    void setNonceSource(std::function<QString()> source);

    // The inner steps.
    QString timestamp() const;
    QString nonce() const;
    static QString signingKey(const QString& consumerSecret, const QString& tokenSecret);
    // pct(Base64(HMAC-SHA1)) of the signature base string; params must be sorted.
    static QString signature(const QString& method, const QString& url, const QString& key,
                             const QStringList& params);
    // HMAC (RFC 2104) over SHA-1, 20 bytes.
    static QByteArray hmacSha1(const QByteArray& message, const QByteArray& key);
    // Percent-encoding of RFC 5849 section 3.6 (UTF-8, unreserved characters kept).
    static QString pct(const QString& text);

private:
    QString m_consumerKey;
    QString m_consumerSecret;
    QString m_token;
    QString m_tokenSecret;
    QStringList m_params;
    std::function<qint64()> m_timestampSource;
    std::function<QString()> m_nonceSource;
};
