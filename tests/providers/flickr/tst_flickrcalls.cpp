// The five Flickr call objects against the stand-in service through the HTTP task pool.
#include "fakeflickr.h"
#include "flickrcalls.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

// Records the end of a call in order: "result", "protocolError(N)", "protocolError()", "networkError".
class Ends : public QObject
{
public:
    explicit Ends(CMeskHttpMethod* call)
    {
        connect(call, qOverload<TMediaError>(&CMeskHttpMethod::protocolError), this,
                [this](TMediaError e) { log.append(QStringLiteral("protocolError(%1)").arg(int(e))); });
        connect(call, qOverload<>(&CMeskHttpMethod::protocolError), this,
                [this] { log.append(QStringLiteral("protocolError()")); });
        connect(call, &CMeskHttpMethod::networkError, this,
                [this] { log.append(QStringLiteral("networkError")); });
    }
    QStringList log;
};

enum class Kind
{
    UserPhotos,
    Contacts,
    Info,
    Sizes,
    User,
};

const char* methodOf(Kind kind)
{
    switch (kind) {
    case Kind::UserPhotos:
        return "flickr.photos.search";
    case Kind::Contacts:
        return "flickr.photos.getContactsPhotos";
    case Kind::Info:
        return "flickr.photos.getInfo";
    case Kind::Sizes:
        return "flickr.photos.getSizes";
    case Kind::User:
        return "flickr.people.getInfo";
    }
    return "";
}

} // namespace
Q_DECLARE_METATYPE(Kind)

class TestFlickrCalls : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<FakeFlickrService> m_service;
    CFlickrApi m_api;

    static CFlickrCall* make(Kind kind, CFlickrApi* api, QObject* parent)
    {
        switch (kind) {
        case Kind::UserPhotos:
            return new CFlickrUserPhotos(api, parent);
        case Kind::Contacts:
            return new CFlickrContactsPhotos(api, parent);
        case Kind::Info:
            return new CFlickrPhotoInfo(api, parent);
        case Kind::Sizes:
            return new CFlickrPhotoSizes(api, parent);
        case Kind::User:
            return new CFlickrUserInfo(api, parent);
        }
        return nullptr;
    }
    static bool request(Kind kind, CFlickrCall* call)
    {
        switch (kind) {
        case Kind::UserPhotos:
            return static_cast<CFlickrUserPhotos*>(call)->request(FakeFlickrService::defaultUserId(),
                                                                  QDateTime());
        case Kind::Contacts:
            return static_cast<CFlickrContactsPhotos*>(call)->request();
        case Kind::Info:
            return static_cast<CFlickrPhotoInfo*>(call)->request(QStringLiteral("4101"),
                                                                 QStringLiteral("c3d4e5f6a7"));
        case Kind::Sizes:
            return static_cast<CFlickrPhotoSizes*>(call)->request(QStringLiteral("4101"));
        case Kind::User:
            return static_cast<CFlickrUserInfo*>(call)->request(QStringLiteral("23456789@N01"));
        }
        return false;
    }
    // A call of that kind, started; null when it did not start.
    CFlickrCall* start(Kind kind, QObject* parent)
    {
        CFlickrCall* call = make(kind, &m_api, parent);
        return request(kind, call) ? call : nullptr;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFlickrMetaTypes();
        CMeskHttpTaskPool::init(this);
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_service = std::make_unique<FakeFlickrService>();
        m_server->setFallback(m_service->handler());
        m_api.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        m_api.setToken(FakeFlickrService::defaultToken());
        m_api.setRestUrl(m_server->url(QStringLiteral("/services/rest/")));
        m_api.setHomeUrl(m_server->baseUrl());
        m_api.setStaticUrlPattern(m_server->baseUrl() + QStringLiteral("/farm%1"));
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
    }
    void cleanup()
    {
        m_service->clearScripts();
        m_service->clearRequests();
    }

    void typedResults()
    {
        const QString base = m_server->baseUrl();
        QObject owner;

        CFlickrContactsPhotos contacts(&m_api, &owner);
        QSignalSpy contactsSpy(&contacts, &CFlickrContactsPhotos::contactPhotos);
        QVERIFY(contacts.request());
        QVERIFY(contactsSpy.wait(30000));
        const auto contactPhotos = contactsSpy.at(0).at(0).value<QList<SFlickrPhoto>>();
        QStringList ids;
        for (const SFlickrPhoto& p : contactPhotos)
            ids << p.id + QLatin1Char(':') + p.ownerName;
        QCOMPARE(ids, QStringList({"4101:alice", "4201:carol", "4102:alice", "4103:alice", "4202:carol"}));
        const SFlickrPhoto first{QStringLiteral("4101"),         QStringLiteral("c3d4e5f6a7"),
                                 QStringLiteral("3002"),         QStringLiteral("4"),
                                 QStringLiteral("23456789@N01"), QStringLiteral("alice"),
                                 QStringLiteral("Sunset & sea"), QStringLiteral("1262310000")};
        QCOMPARE(contactPhotos.at(0), first);

        CFlickrUserPhotos search(&m_api, &owner);
        QSignalSpy searchSpy(&search, &CFlickrUserPhotos::userPhotos);
        QVERIFY(search.request(QStringLiteral("23456789@N01"),
                               QDateTime::fromSecsSinceEpoch(1262200000, Qt::UTC)));
        QVERIFY(searchSpy.wait(30000));
        QCOMPARE(searchSpy.at(0).at(0).toString(), QStringLiteral("23456789@N01"));
        const auto userPhotos = searchSpy.at(0).at(1).value<QList<SFlickrPhoto>>();
        QCOMPARE(userPhotos.size(), 2); // the third is older than the date
        QCOMPARE(userPhotos.at(1).title, QStringLiteral("Snow <first>"));
        QCOMPARE(userPhotos.at(1).ownerName, QStringLiteral("alice"));
        QCOMPARE(m_service->requests(QStringLiteral("flickr.photos.search"))
                     .at(0)
                     .param(QStringLiteral("min_upload_date")),
                 QStringLiteral("1262200000"));

        CFlickrPhotoInfo info(&m_api, &owner);
        QSignalSpy infoSpy(&info, &CFlickrPhotoInfo::infoReady);
        QVERIFY(info.request(QStringLiteral("4001"), QStringLiteral("a1b2c3d4e5")));
        QVERIFY(infoSpy.wait(30000));
        const SFlickrPhotoExt expectedInfo{QStringLiteral("4001"),
                                           QStringLiteral("a1b2c3d4e5"),
                                           QStringLiteral("3001"),
                                           QStringLiteral("3"),
                                           FakeFlickrService::defaultUserId(),
                                           QStringLiteral("bob"),
                                           QStringLiteral("Harbour"),
                                           QStringLiteral("1262300000"),
                                           QStringLiteral("0fb2c3d4e5"),
                                           QStringLiteral("jpg"),
                                           QStringLiteral("Taken on a walk <b>&</b> kept"),
                                           QStringLiteral("0"),
                                           QStringLiteral("1")};
        QCOMPARE(infoSpy.at(0).at(0).value<SFlickrPhotoExt>(), expectedInfo);

        CFlickrPhotoSizes sizes(&m_api, &owner);
        QSignalSpy sizesSpy(&sizes, &CFlickrPhotoSizes::sizesReady);
        QVERIFY(sizes.request(QStringLiteral("4001")));
        QVERIFY(sizesSpy.wait(30000));
        const auto sizeList = sizesSpy.at(0).at(0).value<QList<SFlickrPhotoSize>>();
        QCOMPARE(sizeList.size(), 5);
        const SFlickrPhotoSize square{QStringLiteral("Square"), QStringLiteral("75"), QStringLiteral("75"),
                                      base + QStringLiteral("/farm3/3001/4001_a1b2c3d4e5_s.jpg"),
                                      base + QStringLiteral("/photos/12345678@N00/4001/sizes/sq/")};
        QCOMPARE(sizeList.at(0), square);
        // The thumbnail address the builder makes is the one the service lists.
        QString thumbnail;
        m_api.thumbnailUrl(thumbnail, QStringLiteral("3"), QStringLiteral("3001"), QStringLiteral("4001"),
                           QStringLiteral("a1b2c3d4e5"));
        QCOMPARE(thumbnail, square.source);

        CFlickrUserInfo user(&m_api, &owner);
        QSignalSpy userSpy(&user, &CFlickrUserInfo::userInfoReady);
        QVERIFY(user.request(QStringLiteral("23456789@N01")));
        QVERIFY(userSpy.wait(30000));
        const SFlickrUser expectedUser{QStringLiteral("23456789@N01"),
                                       QStringLiteral("Alice Example"),
                                       QStringLiteral("alice"),
                                       QStringLiteral("2345"),
                                       QStringLiteral("2"),
                                       base + QStringLiteral("/photos/23456789@N01/"),
                                       base + QStringLiteral("/people/23456789@N01/")};
        QCOMPARE(userSpy.at(0).at(0).value<SFlickrUser>(), expectedUser);
    }

    void errors_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("mediaError");
        QTest::newRow("contacts 98") << Kind::Contacts << 98 << 200 << 6;
        QTest::newRow("photo info 98") << Kind::Info << 98 << 200 << 4;
        QTest::newRow("sizes 100") << Kind::Sizes << 100 << 200 << 4;
        QTest::newRow("user 105") << Kind::User << 105 << 200 << 4;
        for (Kind kind : {Kind::Contacts, Kind::UserPhotos}) {
            const QString name =
                kind == Kind::Contacts ? QStringLiteral("contacts") : QStringLiteral("search");
            for (const auto& [code, expected] : QList<QPair<int, int>>{
                     {100, 7}, {4, 8}, {10, 3}, {105, 3}, {96, 6}, {97, 6}, {2, 4}, {1, 4}}) {
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(name).arg(code)))
                    << kind << code << 200 << expected;
            }
            QTest::newRow(qPrintable(name + QStringLiteral(" 100 under 503"))) << kind << 100 << 503 << 4;
        }
    }
    void errors()
    {
        QFETCH(Kind, kind);
        QFETCH(int, code);
        QFETCH(int, status);
        QFETCH(int, mediaError);
        m_service->scriptError(QLatin1String(methodOf(kind)), code, status);
        QObject owner;
        CFlickrCall* call = start(kind, &owner);
        QVERIFY(call);
        Ends ends(call);
        QTRY_COMPARE_WITH_TIMEOUT(ends.log.size(), 2, 30000);
        QCOMPARE(ends.log, QStringList({QStringLiteral("protocolError(%1)").arg(mediaError),
                                        QStringLiteral("protocolError()")}));
        QCOMPARE(call->flickrError(),
                 status == 200 ? (QList<int>{2, 4, 10, 96, 97, 98, 100, 105}.contains(code) ? code : 107)
                               : 107);
        QVERIFY(call->isReady());
    }

    // Two calls sharing one CFlickrApi, both answers read before either end is reported:
    // each maps the code of its own answer.
    void ownCodes()
    {
        m_service->scriptError(QStringLiteral("flickr.photos.getContactsPhotos"), 98);
        m_service->scriptError(QStringLiteral("flickr.photos.search"), 105);
        for (int round = 0; round < 20; ++round) {
            QObject owner;
            CFlickrCall* contacts = start(Kind::Contacts, &owner);
            CFlickrCall* search = start(Kind::UserPhotos, &owner);
            QVERIFY(contacts && search);
            Ends contactsEnds(contacts);
            Ends searchEnds(search);
            QElapsedTimer timer;
            timer.start();
            while ((contacts->httpStatus() == 0 || search->httpStatus() == 0) && timer.elapsed() < 10000)
                QThread::msleep(5);
            QThread::msleep(50); // the parse steps end under their tasks' locks
            QTRY_VERIFY_WITH_TIMEOUT(contactsEnds.log.size() == 2 && searchEnds.log.size() == 2, 30000);
            QCOMPARE(contactsEnds.log.constFirst(), QStringLiteral("protocolError(6)"));
            QCOMPARE(searchEnds.log.constFirst(), QStringLiteral("protocolError(3)"));
        }
    }

    void notStarted_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("poolDown");
        QTest::addColumn<QStringList>("logs");
        const QString consumer = QStringLiteral("CFlickrApi ERROR: consumer information is not set");
        const QString pool = QStringLiteral(
            "CMeskHttpTaskPool: task pool is not running, you need to call CMeskHttpTaskPool::init");
        QTest::newRow("user photos, no consumer")
            << Kind::UserPhotos << false
            << QStringList{consumer, QStringLiteral("CFlickrUserPhotos: failed to format photos request")};
        QTest::newRow("contacts, no consumer")
            << Kind::Contacts << false
            << QStringList{consumer,
                           QStringLiteral("CFlickrContactsPhotos: failed to format contacts photos request")};
        QTest::newRow("info, no consumer")
            << Kind::Info << false
            << QStringList{consumer, QStringLiteral("CFlickrPhotoInfo: failed to format request")};
        QTest::newRow("sizes, no consumer")
            << Kind::Sizes << false
            << QStringList{consumer, QStringLiteral("CFlickrPhotoSizes: failed to format http request")};
        QTest::newRow("user, no consumer")
            << Kind::User << false
            << QStringList{consumer, QStringLiteral("CFlickrUserInfo: failed to format http request")};
        QTest::newRow("user photos, pool down")
            << Kind::UserPhotos << true
            << QStringList{pool, QStringLiteral("CFlickrUserPhotos: failed to create http request")};
        QTest::newRow("contacts, pool down")
            << Kind::Contacts << true
            << QStringList{pool, QStringLiteral("CFlickrContactsPhotos: failed to create http request")};
        QTest::newRow("info, pool down")
            << Kind::Info << true
            << QStringList{pool, QStringLiteral("CFlickrPhotoInfo: failed to create http request")};
        QTest::newRow("sizes, pool down")
            << Kind::Sizes << true
            << QStringList{pool, QStringLiteral("CFlickrPhotoSizes: failed to create http request")};
        QTest::newRow("user, pool down")
            << Kind::User << true
            << QStringList{pool, QStringLiteral("CFlickrUserInfo: failed to create http request")};
    }
    void notStarted()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, poolDown);
        QFETCH(QStringList, logs);
        for (const QString& line : std::as_const(logs))
            QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
        const QString key = m_api.apiKey();
        if (poolDown)
            CMeskHttpTaskPool::shutdown();
        else
            m_api.setConsumer(QString(), FakeFlickrService::defaultSecret());

        QObject owner;
        CFlickrCall* call = make(kind, &m_api, &owner);
        Ends ends(call);
        QVERIFY(!request(kind, call));
        // Reported only after request() has returned.
        QVERIFY(ends.log.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(ends.log.size(), 2, 30000);
        QCOMPARE(ends.log,
                 QStringList({QStringLiteral("protocolError(1)"), QStringLiteral("protocolError()")}));
        QVERIFY(call->isReady());

        if (poolDown)
            CMeskHttpTaskPool::init(this);
        else
            m_api.setConsumer(key, FakeFlickrService::defaultSecret());
    }
};

QTEST_GUILESS_MAIN(TestFlickrCalls)
#include "tst_flickrcalls.moc"
