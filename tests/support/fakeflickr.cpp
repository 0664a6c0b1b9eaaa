#include "fakeflickr.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QLinearGradient>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace {

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

// name="value" with a leading blank, the value escaped.
QString attr(const char* name, const QString& value)
{
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), esc(value));
}

QString el(const char* name, const QString& text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), esc(text));
}

QByteArray okResponse(const QString& content)
{
    return QByteArray(kXmlHead) + "<rsp stat=\"ok\">\n" + content.toUtf8() + "\n</rsp>\n";
}

QString errorMessage(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Not found");
    case 2:
        return QStringLiteral("Unknown user");
    case 3:
        return QStringLiteral("Parameterless searches have been disabled");
    case 4:
        return QStringLiteral("Permission denied");
    case 10:
        return QStringLiteral("Sorry, the Flickr search API is not currently available.");
    case 96:
        return QStringLiteral("Invalid signature");
    case 97:
        return QStringLiteral("Missing signature");
    case 98:
        return QStringLiteral("Invalid auth token");
    case 99:
        return QStringLiteral("Insufficient permissions");
    case 100:
        return QStringLiteral("Invalid API Key");
    case 105:
        return QStringLiteral("Service currently unavailable");
    case 108:
        return QStringLiteral("Invalid frob");
    case 112:
        return QStringLiteral("Method not found");
    default:
        return QStringLiteral("Unknown error");
    }
}

QList<QPair<QString, QString>> decodedPairs(const QByteArray& query)
{
    QList<QPair<QString, QString>> pairs;
    if (query.isEmpty())
        return pairs;
    for (const QByteArray& entry : query.split('&')) {
        const int eq = entry.indexOf('=');
        const QByteArray key = eq < 0 ? entry : entry.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : entry.mid(eq + 1);
        pairs.append({QUrl::fromPercentEncoding(key), QUrl::fromPercentEncoding(value)});
    }
    return pairs;
}

QString valueOf(const QList<QPair<QString, QString>>& pairs, const QString& name, bool* present = nullptr)
{
    for (const auto& p : pairs) {
        if (p.first == name) {
            if (present)
                *present = true;
            return p.second;
        }
    }
    if (present)
        *present = false;
    return {};
}

// The signature check shared by the REST endpoint and the authorisation page:
// 0 when it passes, else 100, 97 or 96.
int checkSigned(const QList<QPair<QString, QString>>& pairs, const QString& apiKey, const QString& secret)
{
    if (valueOf(pairs, QStringLiteral("api_key")) != apiKey)
        return 100;
    bool hasSig = false;
    const QString sig = valueOf(pairs, QStringLiteral("api_sig"), &hasSig);
    if (!hasSig || sig.isEmpty())
        return 97;
    QList<QPair<QString, QString>> signedPairs;
    for (const auto& p : pairs) {
        if (p.first != QLatin1String("api_sig"))
            signedPairs.append(p);
    }
    return FakeFlickrService::signature(secret, signedPairs) == sig ? 0 : 96;
}

TestHttpReply htmlPage(int status, const QByteArray& reason, const QString& title, const QString& text)
{
    TestHttpReply reply = TestHttpReply::withStatus(status, reason);
    reply.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html; charset=utf-8")));
    reply.body = QStringLiteral("<!DOCTYPE html><html><head><title>%1</title></head>"
                                "<body><h1>%1</h1><p>%2</p></body></html>\n")
                     .arg(esc(title), esc(text))
                     .toUtf8();
    return reply;
}

// --- pictures ----------------------------------------------------------------

quint32 seedOf(const QByteArray& text)
{
    const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Md5);
    return quint32(quint8(hash[0])) << 24 | quint32(quint8(hash[1])) << 16 | quint32(quint8(hash[2])) << 8 |
           quint32(quint8(hash[3]));
}

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 85);
    return bytes;
}

// A landscape: sky in a colour of the seed, a sun and two hills.
QImage drawLandscape(const QSize& size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    const QColor sky = QColor::fromHsv(int(seed % 360), 110, 235);
    const QColor land = QColor::fromHsv(80 + int((seed >> 9) % 70), 150, 150);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, sky.lighter(125));
    gradient.setColorAt(1, sky.darker(115));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 236, 150));
    const qreal sun = std::min(w, h) * 0.18;
    painter.drawEllipse(QPointF(w * (0.2 + (seed % 60) / 100.0), h * 0.28), sun, sun);
    QPainterPath far;
    far.moveTo(0, h * 0.7);
    far.quadTo(w * 0.35, h * 0.38, w * 0.7, h * 0.66);
    far.lineTo(w, h * 0.6);
    far.lineTo(w, h);
    far.lineTo(0, h);
    far.closeSubpath();
    painter.setBrush(land.lighter(120));
    painter.drawPath(far);
    QPainterPath near;
    near.moveTo(0, h * 0.85);
    near.quadTo(w * 0.6, h * 0.62, w, h * 0.82);
    near.lineTo(w, h);
    near.lineTo(0, h);
    near.closeSubpath();
    painter.setBrush(land.darker(120));
    painter.drawPath(near);
    painter.end();
    return image;
}

// A head and shoulders on a coloured ground; grey for the service's default icon.
QImage drawBuddyIcon(quint32 seed, bool neutral)
{
    const int side = 48;
    QImage image(side, side, QImage::Format_RGB32);
    const QColor ground = neutral ? QColor(200, 200, 200) : QColor::fromHsv(int(seed % 360), 90, 230);
    const QColor figure = neutral ? QColor(140, 140, 140) : ground.darker(180);
    image.fill(ground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(figure);
    painter.drawEllipse(QPointF(side / 2.0, side * 0.38), side * 0.18, side * 0.2);
    painter.drawEllipse(QPointF(side / 2.0, side * 1.02), side * 0.38, side * 0.36);
    painter.end();
    return image;
}

struct SizeSpec
{
    const char* label;
    const char* suffix; // "" for the medium size, "o" for the original
    const char* pageName;
    int width;
    int height;
};

const SizeSpec kSizes[] = {
    {"Square", "s", "sq", 75, 75}, {"Thumbnail", "t", "t", 100, 75},  {"Small", "m", "s", 240, 180},
    {"Medium", "", "m", 500, 375}, {"Original", "o", "o", 1024, 768},
};

const SizeSpec* sizeOf(const QString& suffix)
{
    for (const SizeSpec& sizeRow : kSizes) {
        if (suffix == QLatin1String(sizeRow.suffix))
            return &sizeRow;
    }
    return nullptr;
}

} // namespace

// --- records -----------------------------------------------------------------

QString FakeFlickrService::Request::param(const QString& name) const
{
    return valueOf(params, name);
}

bool FakeFlickrService::Request::hasParam(const QString& name) const
{
    bool present = false;
    valueOf(params, name, &present);
    return present;
}

FakeFlickrService::FakeFlickrService()
    : m_apiKey(defaultApiKey()), m_secret(defaultSecret()), m_token(defaultToken())
{
    m_users = {
        {defaultUserId(), defaultUserName(), QStringLiteral("Bob Example"), QStringLiteral("1234"),
         QStringLiteral("1"), false},
        {QStringLiteral("23456789@N01"), QStringLiteral("alice"), QStringLiteral("Alice Example"),
         QStringLiteral("2345"), QStringLiteral("2"), true},
        {QStringLiteral("34567890@N02"), QStringLiteral("carol"), QString(), QStringLiteral("0"),
         QStringLiteral("0"), true},
    };
    const auto photo = [](const char* id, const QString& owner, const char* secret, const char* server,
                          const char* farm, const QString& title, qint64 date, const char* format) {
        Photo p;
        p.id = QLatin1String(id);
        p.owner = owner;
        p.secret = QLatin1String(secret);
        p.server = QLatin1String(server);
        p.farm = QLatin1String(farm);
        p.title = title;
        p.description = QStringLiteral("Taken on a walk <b>&</b> kept");
        p.dateUpload = date;
        p.originalSecret = QString(p.secret).replace(0, 2, QStringLiteral("0f"));
        p.originalFormat = QLatin1String(format);
        p.comments = int(date % 4);
        return p;
    };
    const QString alice = m_users.at(1).nsid;
    const QString carol = m_users.at(2).nsid;
    m_photos = {
        photo("4001", defaultUserId(), "a1b2c3d4e5", "3001", "3", QStringLiteral("Harbour"), 1262300000,
              "jpg"),
        photo("4002", defaultUserId(), "b2c3d4e5f6", "3001", "3", QStringLiteral("Old bridge"), 1262200000,
              "png"),
        photo("4101", alice, "c3d4e5f6a7", "3002", "4", QStringLiteral("Sunset & sea"), 1262310000, "jpg"),
        photo("4102", alice, "d4e5f6a7b8", "3002", "4", QStringLiteral("Snow <first>"), 1262210000, "jpg"),
        photo("4103", alice, "e5f6a7b8c9", "3002", "4", QStringLiteral("Garden"), 1262110000, "jpg"),
        photo("4201", carol, "f6a7b8c9d0", "3003", "5", QStringLiteral("Cat"), 1262305000, "jpg"),
        photo("4202", carol, "a7b8c9d0e1", "3003", "5", QString(), 1262105000, "png"),
    };
    m_photos[0].favorite = true;
}

void FakeFlickrService::setCredentials(const QString& apiKey, const QString& secret)
{
    QMutexLocker lock(&m_mutex);
    m_apiKey = apiKey;
    m_secret = secret;
}

void FakeFlickrService::setToken(const QString& token)
{
    QMutexLocker lock(&m_mutex);
    m_token = token;
}

QString FakeFlickrService::token() const
{
    QMutexLocker lock(&m_mutex);
    return m_token;
}

void FakeFlickrService::addUser(const User& user)
{
    QMutexLocker lock(&m_mutex);
    m_users.append(user);
}

void FakeFlickrService::addPhoto(const Photo& photo)
{
    QMutexLocker lock(&m_mutex);
    m_photos.append(photo);
}

void FakeFlickrService::removePhoto(const QString& id)
{
    QMutexLocker lock(&m_mutex);
    m_photos.removeIf([&id](const Photo& photo) { return photo.id == id; });
}

void FakeFlickrService::clearStore()
{
    QMutexLocker lock(&m_mutex);
    m_users.clear();
    m_photos.clear();
    m_pictureCache.clear();
}

QList<FakeFlickrService::User> FakeFlickrService::users() const
{
    QMutexLocker lock(&m_mutex);
    return m_users;
}

QList<FakeFlickrService::Photo> FakeFlickrService::photos() const
{
    QMutexLocker lock(&m_mutex);
    return m_photos;
}

bool FakeFlickrService::authorizeFrob(const QString& frob)
{
    QMutexLocker lock(&m_mutex);
    if (!m_frobs.contains(frob))
        return false;
    m_authorizedFrobs.insert(frob);
    return true;
}

QStringList FakeFlickrService::issuedFrobs() const
{
    QMutexLocker lock(&m_mutex);
    return m_frobs;
}

const FakeFlickrService::User* FakeFlickrService::findUser(const QString& nsid) const
{
    for (const User& user : m_users) {
        if (user.nsid == nsid)
            return &user;
    }
    return nullptr;
}

const FakeFlickrService::Photo* FakeFlickrService::findPhoto(const QString& id) const
{
    for (const Photo& photo : m_photos) {
        if (photo.id == id)
            return &photo;
    }
    return nullptr;
}

QStringList FakeFlickrService::methods()
{
    return {QStringLiteral("flickr.auth.getFrob"),   QStringLiteral("flickr.auth.getToken"),
            QStringLiteral("flickr.people.getInfo"), QStringLiteral("flickr.photos.getContactsPhotos"),
            QStringLiteral("flickr.photos.getInfo"), QStringLiteral("flickr.photos.getSizes"),
            QStringLiteral("flickr.photos.search")};
}

QByteArray FakeFlickrService::errorResponse(int code, const QString& message)
{
    return QByteArray(kXmlHead) + "<rsp stat=\"fail\">\n\t<err" +
           (attr("code", QString::number(code)) +
            attr("msg", message.isEmpty() ? errorMessage(code) : message))
               .toUtf8() +
           " />\n</rsp>\n";
}

QString FakeFlickrService::signature(const QString& secret, QList<QPair<QString, QString>> pairs)
{
    std::sort(pairs.begin(), pairs.end());
    QString text = secret;
    for (const auto& p : std::as_const(pairs))
        text += p.first + p.second;
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

// --- requests ----------------------------------------------------------------

FakeFlickrService::Outcome FakeFlickrService::respond(const TestHttpRequest& request)
{
    QMutexLocker lock(&m_mutex);
    const QByteArray path = request.path();
    if (path == "/services/rest/" || path == "/services/rest")
        return restAnswer(request);
    if (path == "/services/auth/" || path == "/services/auth")
        return authPage(request);
    if (path == "/services/auth/done")
        return confirmPage(request);
    return picture(path);
}

FakeFlickrService::Outcome FakeFlickrService::refuse(Request& record, int code)
{
    record.errorCode = code;
    m_requests.append(record);
    Outcome outcome;
    outcome.reply = TestHttpReply::ok(errorResponse(code));
    return outcome;
}

bool FakeFlickrService::takeScript(QHash<QString, QList<Script>>& scripts, const QString& key, Script& script)
{
    auto found = scripts.find(key);
    if (found == scripts.end() || found->isEmpty())
        return false;
    script = found->constFirst();
    if (script.times > 0 && --found->first().times == 0)
        found->removeFirst();
    return true;
}

FakeFlickrService::Outcome FakeFlickrService::restAnswer(const TestHttpRequest& request)
{
    Request record;
    record.params = decodedPairs(request.query());
    record.method = record.param(QStringLiteral("method"));
    if (request.method != "GET") {
        m_requests.append(record);
        Outcome outcome;
        outcome.reply = TestHttpReply::withStatus(405, "Method Not Allowed", "Method Not Allowed");
        return outcome;
    }
    if (const int refusal = checkSigned(record.params, m_apiKey, m_secret))
        return refuse(record, refusal);
    bool hasToken = false;
    const QString token = record.param(QStringLiteral("auth_token"));
    hasToken = record.hasParam(QStringLiteral("auth_token"));
    if (hasToken && token != m_token)
        return refuse(record, 98);
    if (!hasToken && record.method == QLatin1String("flickr.photos.getContactsPhotos"))
        return refuse(record, 99);

    Script script;
    script.normal = true;
    takeScript(m_scripts, record.method, script);
    if (!script.normal) {
        m_requests.append(record);
        return script.outcome;
    }
    QByteArray host = request.header("Host");
    if (host.isEmpty())
        host = "127.0.0.1";
    int errorCode = 0;
    const QByteArray body =
        answerBody(record, QStringLiteral("http://") + QString::fromLatin1(host), errorCode);
    record.errorCode = errorCode;
    m_requests.append(record);
    Outcome outcome = script.outcome;
    outcome.reply = TestHttpReply::ok(errorCode ? errorResponse(errorCode) : body);
    return outcome;
}

FakeFlickrService::Outcome FakeFlickrService::authPage(const TestHttpRequest& request)
{
    Outcome outcome;
    const auto pairs = decodedPairs(request.query());
    if (const int refusal = checkSigned(pairs, m_apiKey, m_secret)) {
        outcome.reply = htmlPage(400, "Bad Request", QStringLiteral("Flickr"), errorMessage(refusal));
        return outcome;
    }
    const QString frob = valueOf(pairs, QStringLiteral("frob"));
    const QString perms = valueOf(pairs, QStringLiteral("perms"));
    if (!m_frobs.contains(frob) ||
        !QStringList{QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("delete")}.contains(
            perms)) {
        outcome.reply =
            htmlPage(400, "Bad Request", QStringLiteral("Flickr"),
                     m_frobs.contains(frob) ? QStringLiteral("Invalid permissions") : errorMessage(108));
        return outcome;
    }
    QByteArray host = request.header("Host");
    if (host.isEmpty())
        host = "127.0.0.1";
    outcome.reply = htmlPage(302, "Found", QStringLiteral("Moved"), QStringLiteral("The page has moved."));
    outcome.reply.headers.append(
        qMakePair(QByteArray("Location"),
                  "http://" + host + "/services/auth/done?frob=" + QUrl::toPercentEncoding(frob)));
    return outcome;
}

FakeFlickrService::Outcome FakeFlickrService::confirmPage(const TestHttpRequest& request)
{
    Outcome outcome;
    const QString frob = valueOf(decodedPairs(request.query()), QStringLiteral("frob"));
    if (!m_frobs.contains(frob)) {
        outcome.reply = htmlPage(400, "Bad Request", QStringLiteral("Flickr"), errorMessage(108));
        return outcome;
    }
    m_authorizedFrobs.insert(frob);
    outcome.reply = htmlPage(200, "OK", QStringLiteral("Flickr"),
                             QStringLiteral("You have successfully authorized the application. "
                                            "You can close this window and return to it."));
    return outcome;
}

QByteArray FakeFlickrService::answerBody(const Request& record, const QString& base, int& errorCode)
{
    const QString& method = record.method;
    const QString extras = record.param(QStringLiteral("extras"));
    const QStringList extraList = extras.split(QLatin1Char(','), Qt::SkipEmptyParts);

    // One row of a photo list.
    const auto photoRow = [&](const Photo& photo, bool withUserName) {
        const User* owner = findUser(photo.owner);
        const QString ownerName = owner ? owner->userName : QString();
        QString row = QStringLiteral("\t\t<photo") + attr("id", photo.id) + attr("owner", photo.owner) +
                      attr("secret", photo.secret) + attr("server", photo.server) + attr("farm", photo.farm) +
                      attr("title", photo.title);
        if (withUserName)
            row += attr("username", ownerName);
        row += QStringLiteral(" ispublic=\"1\" isfriend=\"0\" isfamily=\"0\"");
        if (extraList.contains(QLatin1String("owner_name")))
            row += attr("ownername", ownerName);
        if (extraList.contains(QLatin1String("date_upload")))
            row += attr("dateupload", QString::number(photo.dateUpload));
        return row + QStringLiteral(" />\n");
    };
    const auto newestFirst = [](QList<Photo> list) {
        std::stable_sort(list.begin(), list.end(),
                         [](const Photo& a, const Photo& b) { return a.dateUpload > b.dateUpload; });
        return list;
    };

    if (method == QLatin1String("flickr.auth.getFrob")) {
        const QString frob = QStringLiteral("72157600000000000-abcdef0123456789-%1").arg(m_nextFrob++);
        m_frobs.append(frob);
        return okResponse(el("frob", frob));
    }
    if (method == QLatin1String("flickr.auth.getToken")) {
        const QString frob = record.param(QStringLiteral("frob"));
        if (!m_authorizedFrobs.contains(frob)) {
            errorCode = 108;
            return {};
        }
        const User* me = findUser(defaultUserId());
        return okResponse(QStringLiteral("<auth>") + el("token", m_token) +
                          el("perms", QStringLiteral("write")) + QStringLiteral("<user") +
                          attr("nsid", defaultUserId()) +
                          attr("username", me ? me->userName : defaultUserName()) +
                          attr("fullname", QString()) + QStringLiteral(" /></auth>"));
    }
    if (method == QLatin1String("flickr.photos.getContactsPhotos")) {
        bool ok = false;
        int count = record.param(QStringLiteral("count")).toInt(&ok);
        count = ok ? std::clamp(count, 1, 50) : 10;
        QList<Photo> list;
        for (const Photo& photo : std::as_const(m_photos)) {
            const User* owner = findUser(photo.owner);
            if (owner && owner->contact)
                list.append(photo);
        }
        list = newestFirst(list).mid(0, count);
        QString rows;
        for (const Photo& photo : std::as_const(list))
            rows += photoRow(photo, true);
        return okResponse(QStringLiteral("\t<photos>\n") + rows + QStringLiteral("\t</photos>"));
    }
    if (method == QLatin1String("flickr.photos.search")) {
        bool hasUser = false;
        bool hasDate = false;
        const QString userId = valueOf(record.params, QStringLiteral("user_id"), &hasUser);
        const QString date = valueOf(record.params, QStringLiteral("min_upload_date"), &hasDate);
        if (!hasUser && !hasDate) {
            errorCode = 3;
            return {};
        }
        if (hasUser && !findUser(userId)) {
            errorCode = 2;
            return {};
        }
        bool ok = false;
        int perPage = record.param(QStringLiteral("per_page")).toInt(&ok);
        perPage = ok ? std::clamp(perPage, 1, 500) : 100;
        const qint64 since = date.toLongLong();
        QList<Photo> list;
        for (const Photo& photo : std::as_const(m_photos)) {
            if ((!hasUser || photo.owner == userId) && photo.dateUpload >= since)
                list.append(photo);
        }
        const int total = int(list.size());
        list = newestFirst(list).mid(0, perPage);
        QString rows;
        for (const Photo& photo : std::as_const(list))
            rows += photoRow(photo, false);
        return okResponse(QStringLiteral("\t<photos page=\"1\"") +
                          attr("pages", total ? QStringLiteral("1") : QStringLiteral("0")) +
                          attr("perpage", QString::number(perPage)) + attr("total", QString::number(total)) +
                          QStringLiteral(">\n") + rows + QStringLiteral("\t</photos>"));
    }
    if (method == QLatin1String("flickr.photos.getSizes")) {
        const Photo* photo = findPhoto(record.param(QStringLiteral("photo_id")));
        if (!photo) {
            errorCode = 1;
            return {};
        }
        QString rows;
        for (const SizeSpec& sizeRow : kSizes) {
            const QString suffix = QLatin1String(sizeRow.suffix);
            const bool original = suffix == QLatin1String("o");
            const QString source = base +
                                   QStringLiteral("/farm%1/%2/%3_%4")
                                       .arg(photo->farm, photo->server, photo->id,
                                            original ? photo->originalSecret : photo->secret) +
                                   (suffix.isEmpty() ? QString() : QLatin1Char('_') + suffix) +
                                   QLatin1Char('.') +
                                   (original ? photo->originalFormat : QStringLiteral("jpg"));
            const QString page = base + QStringLiteral("/photos/%1/%2/sizes/%3/")
                                            .arg(photo->owner, photo->id, QLatin1String(sizeRow.pageName));
            rows += QStringLiteral("\t\t<size") + attr("label", QLatin1String(sizeRow.label)) +
                    attr("width", QString::number(sizeRow.width)) +
                    attr("height", QString::number(sizeRow.height)) + attr("source", source) +
                    attr("url", page) + QStringLiteral(" media=\"photo\" />\n");
        }
        return okResponse(QStringLiteral("\t<sizes canblog=\"1\" canprint=\"1\" candownload=\"1\">\n") +
                          rows + QStringLiteral("\t</sizes>"));
    }
    if (method == QLatin1String("flickr.photos.getInfo")) {
        const Photo* photo = findPhoto(record.param(QStringLiteral("photo_id")));
        if (!photo) {
            errorCode = 1;
            return {};
        }
        if (record.hasParam(QStringLiteral("secret")) &&
            record.param(QStringLiteral("secret")) != photo->secret) {
            errorCode = 2;
            return {};
        }
        const User* owner = findUser(photo->owner);
        const QString date = QString::number(photo->dateUpload);
        return okResponse(
            QStringLiteral("\t<photo") + attr("id", photo->id) + attr("secret", photo->secret) +
            attr("server", photo->server) + attr("farm", photo->farm) + attr("dateuploaded", date) +
            attr("isfavorite", photo->favorite ? QStringLiteral("1") : QStringLiteral("0")) +
            QStringLiteral(" license=\"0\" rotation=\"0\"") + attr("originalsecret", photo->originalSecret) +
            attr("originalformat", photo->originalFormat) + QStringLiteral(" media=\"photo\">\n\t\t<owner") +
            attr("nsid", photo->owner) + attr("username", owner ? owner->userName : QString()) +
            attr("realname", owner ? owner->realName : QString()) +
            QStringLiteral(" location=\"\" />\n\t\t") + el("title", photo->title) +
            el("description", photo->description) +
            QStringLiteral("<visibility ispublic=\"1\" isfriend=\"0\" isfamily=\"0\" />") +
            QStringLiteral("<dates") + attr("posted", date) + attr("lastupdate", date) +
            QStringLiteral(" />") + el("comments", QString::number(photo->comments)) +
            QStringLiteral("<urls><url type=\"photopage\">") +
            esc(base + QStringLiteral("/photos/%1/%2/").arg(photo->owner, photo->id)) +
            QStringLiteral("</url></urls>\n\t</photo>"));
    }
    if (method == QLatin1String("flickr.people.getInfo")) {
        const User* user = findUser(record.param(QStringLiteral("user_id")));
        if (!user) {
            errorCode = 1;
            return {};
        }
        int count = 0;
        for (const Photo& photo : std::as_const(m_photos))
            count += photo.owner == user->nsid ? 1 : 0;
        return okResponse(QStringLiteral("\t<person") + attr("id", user->nsid) + attr("nsid", user->nsid) +
                          QStringLiteral(" isadmin=\"0\" ispro=\"0\"") +
                          attr("iconserver", user->iconServer) + attr("iconfarm", user->iconFarm) +
                          QStringLiteral(">\n\t\t") + el("username", user->userName) +
                          el("realname", user->realName) + QStringLiteral("<location />") +
                          el("photosurl", base + QStringLiteral("/photos/%1/").arg(user->nsid)) +
                          el("profileurl", base + QStringLiteral("/people/%1/").arg(user->nsid)) +
                          QStringLiteral("<photos>") + el("count", QString::number(count)) +
                          QStringLiteral("</photos>\n\t</person>"));
    }
    errorCode = 112;
    return {};
}

// --- pictures ----------------------------------------------------------------

FakeFlickrService::Outcome FakeFlickrService::picture(const QByteArray& path)
{
    Outcome outcome;
    m_pictureRequests.append(QString::fromUtf8(path));
    Script script;
    script.normal = true;
    takeScript(m_pictureScripts, QString::fromUtf8(path), script);
    if (!script.normal)
        return script.outcome;
    outcome.delayMs = script.outcome.delayMs;

    static const QRegularExpression photoPath(
        QStringLiteral("^/farm(\\d+)/([^/]+)/([^/_]+)_([^/_]+)(?:_([stmo]))?\\.(jpg|png)$"));
    static const QRegularExpression iconPath(
        QStringLiteral("^/farm(\\d+)/([^/]+)/buddyicons/([^/]+)\\.jpg$"));
    const QString text = QUrl::fromPercentEncoding(path);

    QByteArray body;
    const char* format = "JPG";
    if (auto cached = m_pictureCache.constFind(path); cached != m_pictureCache.constEnd()) {
        body = *cached;
        format = path.endsWith(".png") ? "PNG" : "JPG";
    } else if (text == QLatin1String("/images/buddyicon.jpg")) {
        body = encode(drawBuddyIcon(0, true), "JPG");
    } else if (const auto m = iconPath.match(text); m.hasMatch()) {
        const User* user = findUser(m.captured(3));
        if (user && user->iconFarm == m.captured(1) && user->iconServer == m.captured(2) &&
            user->iconServer != QLatin1String("0"))
            body = encode(drawBuddyIcon(seedOf(user->nsid.toUtf8()), false), "JPG");
    } else if (const auto m = photoPath.match(text); m.hasMatch()) {
        const Photo* photo = findPhoto(m.captured(3));
        const SizeSpec* sizeRow = sizeOf(m.captured(5));
        const bool original = m.captured(5) == QLatin1String("o");
        const QString wantedFormat = original && photo ? photo->originalFormat : QStringLiteral("jpg");
        if (photo && sizeRow && photo->farm == m.captured(1) && photo->server == m.captured(2) &&
            m.captured(4) == (original ? photo->originalSecret : photo->secret) &&
            m.captured(6) == wantedFormat) {
            format = wantedFormat == QLatin1String("png") ? "PNG" : "JPG";
            body = encode(drawLandscape(QSize(sizeRow->width, sizeRow->height), seedOf(photo->id.toUtf8())),
                          format);
        }
    }
    if (body.isEmpty()) {
        outcome.reply = TestHttpReply::withStatus(404, "Not Found", "Not Found");
        return outcome;
    }
    m_pictureCache.insert(path, body);
    outcome.reply = TestHttpReply::ok(body, qstrcmp(format, "PNG") == 0 ? "image/png" : "image/jpeg");
    return outcome;
}

// --- scripts and records -----------------------------------------------------

void FakeFlickrService::addScript(const QString& method, const Script& script)
{
    QMutexLocker lock(&m_mutex);
    m_scripts[method].append(script);
}

void FakeFlickrService::scriptReply(const QString& method, int status, const QByteArray& body, int times)
{
    Script script;
    script.outcome.reply = TestHttpReply::withStatus(status, status == 200 ? "OK" : "Error", body);
    script.outcome.reply.headers.append(
        qMakePair(QByteArray("Content-Type"), QByteArray("text/xml; charset=utf-8")));
    script.times = times;
    addScript(method, script);
}

void FakeFlickrService::scriptError(const QString& method, int code, int status, int times,
                                    const QString& message)
{
    scriptReply(method, status, errorResponse(code, message), times);
}

void FakeFlickrService::scriptEmpty(const QString& method, int status, int times)
{
    scriptReply(method, status, QByteArray(), times);
}

void FakeFlickrService::scriptDelay(const QString& method, int delayMs, int times)
{
    Script script;
    script.normal = true;
    script.outcome.delayMs = delayMs;
    script.times = times;
    addScript(method, script);
}

void FakeFlickrService::scriptDrop(const QString& method, int times)
{
    Script script;
    script.outcome.dropConnection = true;
    script.times = times;
    addScript(method, script);
}

void FakeFlickrService::scriptPicture(const QString& path, int status, int delayMs, int times)
{
    Script script;
    script.normal = status == 200;
    script.outcome.delayMs = delayMs;
    script.outcome.reply = TestHttpReply::withStatus(status, status == 200 ? "OK" : "Error");
    script.times = times;
    QMutexLocker lock(&m_mutex);
    m_pictureScripts[path].append(script);
}

void FakeFlickrService::clearScripts()
{
    QMutexLocker lock(&m_mutex);
    m_scripts.clear();
    m_pictureScripts.clear();
}

QList<FakeFlickrService::Request> FakeFlickrService::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<FakeFlickrService::Request> FakeFlickrService::requests(const QString& method) const
{
    QMutexLocker lock(&m_mutex);
    QList<Request> result;
    for (const Request& r : m_requests) {
        if (r.method == method)
            result.append(r);
    }
    return result;
}

QStringList FakeFlickrService::pictureRequests() const
{
    QMutexLocker lock(&m_mutex);
    return m_pictureRequests;
}

void FakeFlickrService::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
    m_pictureRequests.clear();
}
