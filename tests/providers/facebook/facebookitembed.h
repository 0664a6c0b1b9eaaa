#pragma once

// The common ground of the Facebook item tests: a real media database on a temporary
// root, the stand-in REST service and its /media/ pictures on a local HTTP server, the
// HTTP pool, a signed-in API object and a test clock. Paths mounted with serve() answer
// as a test says, switchable between requests.

#include "facebookapi.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "tempstorage.h"
#include "testclock.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QTest>

#include <memory>

class FacebookItemBed
{
public:
    // What a served path answers next.
    enum class Answer
    {
        Picture,
        NotFound,
        Drop,
        SlowPicture,
        Junk
    };

    bool start(QObject* poolOwner)
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        CMeskHttpTaskPool::init(poolOwner);
        root = std::make_unique<TempStorageRoot>();
        server = std::make_unique<LocalHttpServer>();
        rest = std::make_unique<FakeFacebookRest>();
        clock = std::make_unique<TestClock>(QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC));
        if (!root->isValid() || !server->isListening())
            return false;
        db = std::make_unique<CMediaDataBase>(root->subPath(QStringLiteral("mstorage")));
        api.setRestBaseUrl(server->baseUrl());
        return db->open();
    }
    void stop()
    {
        CMeskHttpTaskPool::shutdown();
        server.reset();
        db.reset();
        root.reset();
    }
    // Before each test: signed in, no scripts, no served paths, no requests.
    void reset()
    {
        api.setApiKey(FakeFacebookRest::defaultApiKey());
        api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                       FakeFacebookRest::defaultUid());
        rest->clearScripts();
        rest->clearRequests();
        server->resetScript();
        server->mount("/", rest->handler());
        server->clearRequests();
        QMutexLocker lock(&m_mutex);
        m_answers.clear();
    }

    QString base() const { return server->baseUrl(); }
    QString url(const QString& path) const { return server->url(path); }

    // Mounts path (below /media/) with an answer; serving it again switches the answer.
    // A picture is the stand-in's.
    void serve(const QString& path, Answer answer)
    {
        {
            QMutexLocker lock(&m_mutex);
            const bool mounted = m_answers.contains(path);
            m_answers.insert(path, answer);
            if (mounted)
                return;
        }
        server->mount(path.toUtf8(), [this, path](const TestHttpRequest& request) {
            Answer answer;
            {
                QMutexLocker lock(&m_mutex);
                answer = m_answers.value(path);
            }
            switch (answer) {
            case Answer::NotFound:
                return TestHttpReply::withStatus(404, "Not Found", "<html>Not Found</html>");
            case Answer::Drop:
                return TestHttpReply::closeWithoutAnswer();
            case Answer::Junk:
                return TestHttpReply::ok("<html>no picture here</html>", "text/html");
            case Answer::SlowPicture: {
                TestHttpReply reply = rest->handle(request);
                reply.delayMs = 700;
                return reply;
            }
            case Answer::Picture:
                break;
            }
            return rest->handle(request);
        });
    }

    // GETs of one path the server has seen.
    int gets(const QString& path) const
    {
        int n = 0;
        for (const TestHttpRequest& request : server->requests()) {
            if (request.method == "GET" && request.path() == path.toUtf8())
                ++n;
        }
        return n;
    }

    static QByteArray contents(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<TempStorageRoot> root;
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<FakeFacebookRest> rest;
    std::unique_ptr<TestClock> clock;
    std::unique_ptr<CMediaDataBase> db;
    CFacebookApi api;

private:
    QMutex m_mutex;
    QHash<QString, Answer> m_answers;
};

Q_DECLARE_METATYPE(FacebookItemBed::Answer)
