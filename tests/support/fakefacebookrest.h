#pragma once

#include "testhttp.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

// A stand-in for the Facebook REST service, written as a handler over the local
// HTTP server's request and reply shapes and free of Qt Test, so tests and
// tools/fake-services can both mount it.
//
// GET /restserver.php takes the entries in wire order with "sig" last and checks
// them the way the service does: api_key (101), v=1.0 and format=XML (100),
// session_key (102), then sig = md5 of the decoded entries, sorted by their
// encoded text, followed by the session secret (104 "Incorrect signature").
// A missing parameter or an unknown method is 100. Every refusal is an
// error_response under status 200. An accepted request gets the method's canned
// answer, or what a test scripted for that method. Every request is recorded.
// GET /media/<name> serves the pictures the canned answers point to: a PNG for
// ".png", a JPEG for ".jpg" and ".jpeg" (50 x 50, or W x H for a name ending
// "_<W>x<H>" before its suffix), a few fixed bytes for any other suffix. These
// requests are not recorded here (the local HTTP server's requests() lists them).
// The login pages: GET /login.php checks api_key, next (the host's
// /connect/login_success.html) and cancel_url (its /connect/login_failure.html) and
// serves a page with an "Allow" link to next?session=<the granted session, its
// "expires" 0> and a "Cancel" link to cancel_url; a failed check gets a 200 page
// naming it, without links. With setLoginRedirect(true) an accepted login is
// answered with a 302 to the "Allow" address. The session granted is the
// stand-in's own (sessionKey(), sessionSecret(), uid()). The two landing pages
// answer 200.
// Any other path gets 404.
//
// The handler is safe to call from any thread.
class FakeFacebookRest
{
public:
    // The credentials the stand-in accepts unless told otherwise; the key is the application's,
    // as the program is built with it.
    static QString defaultApiKey() { return QStringLiteral(LUMESK_FACEBOOK_API_KEY); }
    static QString defaultSessionKey() { return QStringLiteral("SESSIONKEY"); }
    static QString defaultSessionSecret() { return QStringLiteral("SECRET"); }
    static QString defaultUid() { return QStringLiteral("12345"); }

    // One recorded request.
    struct Request
    {
        QString method;                        // the "method" parameter
        QList<QPair<QString, QString>> params; // decoded, in wire order ("sig" included)
        int errorCode = 0;                     // the refusal sent; 0 when the request was accepted

        // The first parameter of that name; empty when absent.
        QString param(const QString& name) const;
        bool hasParam(const QString& name) const;
    };

    // What one request gets. The local HTTP server applies the delay and the
    // dropped connection; the reply is what it sends otherwise.
    struct Outcome
    {
        TestHttpReply reply;
        int delayMs = 0;             // wait this long before answering
        bool dropConnection = false; // close the connection without an answer
    };

    FakeFacebookRest();
    FakeFacebookRest(const FakeFacebookRest&) = delete;
    FakeFacebookRest& operator=(const FakeFacebookRest&) = delete;

    void setCredentials(const QString& apiKey, const QString& sessionKey, const QString& sessionSecret,
                        const QString& uid);
    QString apiKey() const;
    QString sessionKey() const;
    QString sessionSecret() const;
    QString uid() const;

    // Handles one request.
    Outcome respond(const TestHttpRequest& request);
    // The reply alone, without the delay or the dropped connection.
    TestHttpReply handle(const TestHttpRequest& request) { return respond(request).reply; }
    // For the local HTTP server: the reply carries the delay and the dropped connection.
    TestHttpHandler handler()
    {
        return [this](const TestHttpRequest& request) {
            const Outcome outcome = respond(request);
            TestHttpReply reply = outcome.reply;
            reply.delayMs = outcome.delayMs;
            if (outcome.dropConnection)
                reply.action = TestHttpReply::Action::CloseWithoutAnswer;
            return reply;
        };
    }

    // Scripting, per REST method ("stream.get"). A script applies to the next
    // `times` accepted requests of that method, or to all of them until cleared
    // when times is -1. Scripts of one method are used in the order given.
    // The reply: this status and body, after delayMs.
    void scriptReply(const QString& method, int status, const QByteArray& body, int times = -1,
                     int delayMs = 0);
    // An error_response with this code under this status, after delayMs.
    void scriptError(const QString& method, int code, int status = 200, int times = -1, int delayMs = 0);
    // No body at all.
    void scriptEmpty(const QString& method, int status = 200, int times = -1);
    // A body that is not well-formed XML.
    void scriptMalformed(const QString& method, int times = -1);
    // The canned answer, late.
    void scriptDelay(const QString& method, int delayMs, int times = -1);
    // The connection is closed without an answer.
    void scriptDrop(const QString& method, int times = -1);
    void clearScripts();
    // /login.php answers an accepted login with a 302 to the "Allow" address.
    void setLoginRedirect(bool redirect);
    // The "Allow" address for this base (http://host:port).
    QString allowUrl(const QString& base) const;

    // A status the user posted through an accepted stream.publish, with the id it was given.
    struct Posted
    {
        QString postId; // <uid>_<n>
        QString message;
        qint64 created = 0; // seconds since the epoch, when it was posted
    };
    // The statuses posted, oldest first. The stand-in's canned stream does not list them; a
    // program that keeps them scripts its stream itself.
    QList<Posted> posted() const;
    // The number a new post or comment takes (<uid>_<n>, <post_id>_<n>), counted on from 5001;
    // set it above every number used before when the stand-in is started again.
    void setNextId(qint64 id);
    qint64 nextId() const;

    QList<Request> requests() const;
    // The recorded requests of one method.
    QList<Request> requests(const QString& method) const;
    void clearRequests();

    // The error answer the service sends for a code.
    static QByteArray errorResponse(int code, const QString& message = {});
    // The methods the stand-in knows.
    static QStringList methods();

private:
    struct Script
    {
        Outcome outcome;
        bool canned = false; // send the canned answer (with the outcome's delay)
        int times = -1;
    };

    Outcome loginPage(const TestHttpRequest& request, const QString& base);
    QString allowUrlLocked(const QString& base) const;
    Outcome refuse(Request& record, int code, const QString& message);
    Outcome answer(const Request& record, const QByteArray& host);
    QByteArray cannedBody(const Request& record, const QByteArray& host, int& errorCode);
    void addScript(const QString& method, const Script& script);

    mutable QMutex m_mutex;
    QString m_apiKey;
    QString m_sessionKey;
    QString m_sessionSecret;
    QString m_uid;
    QHash<QString, QList<Script>> m_scripts;
    QList<Request> m_requests;
    qint64 m_nextId = 5001;
    QList<Posted> m_posted;
    bool m_loginRedirect = false;
};
