#pragma once

#include "faketwitter.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskrecords.h"
#include "tempstorage.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QMutex>
#include <QSemaphore>
#include <QUrlQuery>

#include <memory>

// What the Twitter item and provider tests share: a media database on a temporary root and
// the stand-in Twitter service on a local HTTP server, reached through LUMESK_TWITTER_URL as
// the provider reaches the real one, with avatars served beside it under /avatars/.
class TwitterFixture
{
public:
    // The server's thread may still be answering a request (an avatar a widget asked for) that
    // reads the members below: it stops first.
    ~TwitterFixture() { server.reset(); }

    bool start()
    {
        service = std::make_unique<FakeTwitterService>();
        server = std::make_unique<LocalHttpServer>();
        if (!server->isListening() || !root.isValid())
            return false;
        server->setFallback(service->handler());
        server->mount("/avatars/", [this](const TestHttpRequest&) {
            // Held answers wait on the server's thread until the test lets them go.
            if (avatarsHeld.loadAcquire())
                avatarGate.tryAcquire(1, 60000);
            QMutexLocker lock(&avatarMutex);
            if (avatarStatus != 200)
                return TestHttpReply::withStatus(avatarStatus, "Not Found", "<html>missing</html>");
            return TestHttpReply::ok(avatarPng, "image/png");
        });
        qputenv("LUMESK_TWITTER_URL", server->baseUrl().toUtf8());
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(qRgb(10, 120, 200));
        QBuffer buffer(&avatarPng);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        db = std::make_unique<CMediaDataBase>(root.subPath(QStringLiteral("storage")));
        return db->open();
    }

    void setAvatarStatus(int status)
    {
        QMutexLocker lock(&avatarMutex);
        avatarStatus = status;
    }
    void setAvatarBody(const QByteArray& body)
    {
        QMutexLocker lock(&avatarMutex);
        avatarPng = body;
    }
    // While held, an avatar request is answered only once releaseAvatar() lets it go.
    void holdAvatars() { avatarsHeld.storeRelease(1); }
    void releaseAvatar() { avatarGate.release(); }
    QString avatarUrl(const QString& name) const { return server->url(QStringLiteral("/avatars/") + name); }
    int avatarRequests() const
    {
        int n = 0;
        for (const TestHttpRequest& r : server->requests())
            n += r.path().startsWith("/avatars/");
        return n;
    }

    // The since_id of every timeline request so far, as "friends:<id>" / "mentions:<id>".
    QStringList timelineRequests() const
    {
        QStringList out;
        for (const FakeTwitterService::Record& r : service->requests()) {
            const QByteArray path = r.request.path();
            if (!path.startsWith("/statuses/") || path == "/statuses/update.xml")
                continue;
            const QUrlQuery query(QString::fromLatin1(r.request.query()));
            out << (path.contains("friends") ? QStringLiteral("friends:") : QStringLiteral("mentions:")) +
                       query.queryItemValue(QStringLiteral("since_id"));
        }
        return out;
    }

    FakeTwitterService::Author author(const QByteArray& id, const QString& name, bool followed = true) const
    {
        FakeTwitterService::Author a;
        a.id = id;
        a.screenName = name;
        a.name = name.toUpper();
        a.url = QStringLiteral("http://example.com/") + name;
        a.profileImageUrl = avatarUrl(name + QStringLiteral(".png"));
        a.followed = followed;
        return a;
    }
    void addStatus(const QByteArray& id, const QString& text, const FakeTwitterService::Author& by)
    {
        FakeTwitterService::Status s;
        s.id = id;
        s.text = text;
        s.created = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(id.toLongLong() % 100000);
        s.author = by;
        service->addStatus(s);
    }

    TempStorageRoot root;
    std::unique_ptr<FakeTwitterService> service; // outlives the server that calls it
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<CMediaDataBase> db;
    QByteArray avatarPng;
    QMutex avatarMutex;
    QAtomicInt avatarsHeld;
    QSemaphore avatarGate;
    int avatarStatus = 200;
};
