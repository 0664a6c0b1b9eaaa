#include "twitterstandin.h"

#include "faketwitter.h"
#include "localhttpserver.h"

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

// A new status comes with every this many friends-timeline requests.
constexpr int kRequestsPerNewStatus = 3;

struct SAccount
{
    const char* id;
    const char* screenName;
    const char* name;
    QRgb colour;
    bool followed;
};

const SAccount kAccounts[] = {
    {"2001", "bob", "Bob Builder", qRgb(70, 130, 180), true},
    {"2002", "carol", "Carol Singer", qRgb(190, 90, 70), true},
    {"2003", "dave", "Dave Diver", qRgb(90, 150, 90), true},
    {"2004", "erin", "Erin Outsider", qRgb(150, 110, 170), false},
};

// A 64 x 64 picture of one colour with a lighter head-like square, as PNG.
QByteArray avatarPng(QRgb colour)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(colour);
    const QRgb light = QColor(colour).lighter(160).rgb();
    for (int y = 14; y < 40; ++y)
        for (int x = 20; x < 44; ++x)
            image.setPixel(x, y, light);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

FakeTwitterService::Author author(const SAccount& account, const QString& baseUrl)
{
    FakeTwitterService::Author a;
    a.id = account.id;
    a.screenName = QString::fromLatin1(account.screenName);
    a.name = QString::fromLatin1(account.name);
    a.url = QStringLiteral("http://example.com/") + a.screenName;
    a.profileImageUrl = baseUrl + QStringLiteral("/avatars/") + a.screenName + QStringLiteral(".png");
    a.followed = account.followed;
    return a;
}

const QString kStatuses = QStringLiteral("statuses");

// A status as the state keeps it: its picture by path, since the server's port changes from run
// to run.
QJsonObject toJson(const FakeTwitterService::Status& status)
{
    const FakeTwitterService::Author& a = status.author;
    return {{QStringLiteral("id"), QString::fromLatin1(status.id)},
            {QStringLiteral("text"), status.text},
            {QStringLiteral("created"), status.created.toSecsSinceEpoch()},
            {QStringLiteral("authorId"), QString::fromLatin1(a.id)},
            {QStringLiteral("screenName"), a.screenName},
            {QStringLiteral("name"), a.name},
            {QStringLiteral("url"), a.url},
            {QStringLiteral("picture"), QUrl(a.profileImageUrl).path()},
            {QStringLiteral("followed"), a.followed}};
}

FakeTwitterService::Status fromJson(const QJsonObject& object, const QString& baseUrl)
{
    FakeTwitterService::Status status;
    status.id = object.value(QStringLiteral("id")).toString().toLatin1();
    status.text = object.value(QStringLiteral("text")).toString();
    status.created =
        QDateTime::fromSecsSinceEpoch(object.value(QStringLiteral("created")).toInteger(), Qt::UTC);
    status.author.id = object.value(QStringLiteral("authorId")).toString().toLatin1();
    status.author.screenName = object.value(QStringLiteral("screenName")).toString();
    status.author.name = object.value(QStringLiteral("name")).toString();
    status.author.url = object.value(QStringLiteral("url")).toString();
    status.author.profileImageUrl = baseUrl + object.value(QStringLiteral("picture")).toString();
    status.author.followed = object.value(QStringLiteral("followed")).toBool();
    return status;
}

} // namespace

TwitterStandIn::TwitterStandIn()
    : m_state(QStringLiteral("twitter"), {kStatuses,
                                          {{QStringLiteral("id"), StandInState::Kind::Digits},
                                           {QStringLiteral("text"), StandInState::Kind::Text},
                                           {QStringLiteral("created"), StandInState::Kind::Time},
                                           {QStringLiteral("authorId"), StandInState::Kind::Text},
                                           {QStringLiteral("screenName"), StandInState::Kind::Text},
                                           {QStringLiteral("name"), StandInState::Kind::Text},
                                           {QStringLiteral("url"), StandInState::Kind::Text},
                                           {QStringLiteral("picture"), StandInState::Kind::Text},
                                           {QStringLiteral("followed"), StandInState::Kind::Flag}}})
{
}

TwitterStandIn::~TwitterStandIn()
{
    m_server.reset();
    m_service.reset();
}

bool TwitterStandIn::start()
{
    m_service = std::make_unique<FakeTwitterService>();
    m_service->setConsumer(QByteArrayLiteral(LUMESK_TWITTER_CONSUMER_KEY),
                           QByteArrayLiteral(LUMESK_TWITTER_CONSUMER_SECRET));
    m_server = std::make_unique<LocalHttpServer>();
    if (!m_server->isListening())
        return false;
    const QString base = m_server->baseUrl();

    auto avatars = std::make_shared<QHash<QByteArray, QByteArray>>();
    for (const SAccount& account : kAccounts)
        avatars->insert(QByteArray("/avatars/") + account.screenName + ".png", avatarPng(account.colour));
    m_server->mount("/avatars/", [avatars](const TestHttpRequest& request) {
        const auto it = avatars->constFind(request.path());
        if (it == avatars->constEnd())
            return TestHttpReply::withStatus(404, "Not Found");
        return TestHttpReply::ok(*it, "image/png");
    });

    // The linked account's own statuses name its picture as /images/<user id>.png.
    const QByteArray ownPicture = avatarPng(qRgb(200, 160, 60));
    m_server->mount("/images/", [ownPicture](const TestHttpRequest& request) {
        if (!request.path().endsWith(".png"))
            return TestHttpReply::withStatus(404, "Not Found");
        return TestHttpReply::ok(ownPicture, "image/png");
    });

    const QDateTime start = QDateTime::fromSecsSinceEpoch(m_state.firstStart(), Qt::UTC).addSecs(-3600);
    const QString startingTexts[] = {
        QStringLiteral("Reading about feed readers at http://example.com/feeds today"),
        QStringLiteral("New photos up: www.example.org/photos and https://example.net/album"),
        QStringLiteral("Nothing to link, just saying hello"),
        QStringLiteral("Coffee break. Notes at http://example.com/notes#coffee."),
    };
    qint64 nextId = 1000;
    int n = 0;
    for (const QString& text : startingTexts) {
        FakeTwitterService::Status status;
        status.id = QByteArray::number(++nextId);
        status.text = text;
        status.created = start.addSecs(n * 300);
        status.author = author(kAccounts[n % 3], base);
        m_service->addStatus(status);
        ++n;
    }
    FakeTwitterService::Status mention;
    mention.id = QByteArray::number(++nextId);
    mention.text = QStringLiteral("@alice have you seen http://example.com/outside ?");
    mention.created = start.addSecs(1500);
    mention.author = author(kAccounts[3], base);
    m_service->addStatus(mention);
    // Those added in earlier runs.
    const qsizetype made = m_service->statuses().size();
    for (const QJsonValue& entry : m_state.value(kStatuses).toArray())
        m_service->addStatus(fromJson(entry.toObject(), base));

    // Every few friends-timeline requests one of the followed accounts writes again, under the
    // next free id (a posted status takes one too). Whatever a request added is written down.
    FakeTwitterService* service = m_service.get();
    StandInState* state = &m_state;
    auto requests = std::make_shared<int>(0); // the server calls its handlers one at a time
    auto kept = std::make_shared<qsizetype>(service->statuses().size());
    TestHttpHandler inner = m_service->handler();
    m_server->setFallback(
        [service, state, requests, kept, made, inner, base](const TestHttpRequest& request) {
            if (request.path() == "/statuses/friends_timeline.xml") {
                const int count = ++*requests;
                if (count % kRequestsPerNewStatus == 0) {
                    qint64 id = 0;
                    for (const FakeTwitterService::Status& status : service->statuses())
                        id = std::max(id, status.id.toLongLong() + 1);
                    FakeTwitterService::Status status;
                    status.id = QByteArray::number(id);
                    status.text = QStringLiteral("Status number %1, more at http://example.com/s/%1").arg(id);
                    status.created = QDateTime::currentDateTimeUtc();
                    status.author = author(kAccounts[id % 3], base);
                    service->addStatus(status);
                }
            }
            const TestHttpReply reply = inner(request);
            const QList<FakeTwitterService::Status> statuses = service->statuses();
            if (statuses.size() != *kept) {
                *kept = statuses.size();
                QJsonArray added;
                for (const FakeTwitterService::Status& status : statuses.mid(made))
                    added.append(toJson(status));
                state->setValue(kStatuses, added);
            }
            return reply;
        });
    return true;
}

QList<QPair<QString, QString>> TwitterStandIn::variables() const
{
    const QString base = m_server->baseUrl();
    QString host = base;
    host.remove(QStringLiteral("http://"));
    return {{QStringLiteral("LUMESK_TWITTER_URL"), base}, {QStringLiteral("LUMESK_TWITTER_WEB_HOST"), host}};
}
