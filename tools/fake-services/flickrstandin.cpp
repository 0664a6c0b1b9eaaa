#include "flickrstandin.h"

#include <QDateTime>
#include <QJsonObject>

#include <algorithm>

namespace {

// Uploads a new photo every this many contacts-photos requests, so each few update runs bring
// something new.
constexpr int kUploadEvery = 3;

const QString kUploads = QStringLiteral("uploads");

FakeFlickrService::Photo makePhoto(int id, const QString& owner, const QString& title, qint64 uploaded,
                                   const char* format)
{
    FakeFlickrService::Photo photo;
    photo.id = QString::number(id);
    photo.owner = owner;
    photo.secret = QStringLiteral("%1ab").arg(id, 0, 16);
    photo.server = QStringLiteral("3100");
    photo.farm = QStringLiteral("5");
    photo.title = title;
    photo.description = QStringLiteral("Uploaded to the stand-in service");
    photo.dateUpload = uploaded;
    photo.originalSecret = QStringLiteral("%1cd").arg(id, 0, 16);
    photo.originalFormat = QLatin1String(format);
    return photo;
}

} // namespace

FlickrStandIn::FlickrStandIn()
    : m_state(QStringLiteral("flickr"), {kUploads,
                                         {{QStringLiteral("id"), StandInState::Kind::Whole},
                                          {QStringLiteral("owner"), StandInState::Kind::Text},
                                          {QStringLiteral("title"), StandInState::Kind::Text},
                                          {QStringLiteral("uploaded"), StandInState::Kind::Time}}})
{
    m_service.setCredentials(QStringLiteral(LUMESK_FLICKR_API_KEY),
                             QStringLiteral(LUMESK_FLICKR_SHARED_SECRET));
    m_service.clearStore();
    m_service.addUser({FakeFlickrService::defaultUserId(), FakeFlickrService::defaultUserName(),
                       QStringLiteral("Bob Example"), QStringLiteral("1234"), QStringLiteral("1"), false});
    const QStringList names{QStringLiteral("alice"), QStringLiteral("carol"), QStringLiteral("dave")};
    for (int i = 0; i < names.size(); ++i) {
        const QString nsid = QStringLiteral("%1@N0%2").arg(23456789 + i).arg(i + 1);
        m_contacts.append(nsid);
        m_service.addUser(
            {nsid, names.at(i), QString(), QString::number(2345 + i), QString::number(2 + i), true});
    }
    const qint64 now = m_state.firstStart();
    const qint64 day = 24 * 3600;
    const QStringList titles{QStringLiteral("Harbour at dusk"), QStringLiteral("Old bridge"),
                             QStringLiteral("Garden"), QStringLiteral("Snow & ice"), QStringLiteral("Cat")};
    for (int c = 0; c < m_contacts.size(); ++c) {
        for (int p = 0; p < 4; ++p) {
            // Two photos on one day, the others a day or more apart.
            const qint64 age = (p < 2 ? 1 : p) * day + (c * 3 + p) * 1800;
            m_service.addPhoto(makePhoto(m_nextPhoto++, m_contacts.at(c), titles.at((c + p) % titles.size()),
                                         now - age, p % 2 ? "png" : "jpg"));
        }
    }
    // The uploads of earlier runs.
    m_uploads = m_state.value(kUploads).toArray();
    for (const QJsonValue& entry : std::as_const(m_uploads)) {
        const QJsonObject upload = entry.toObject();
        const int id = upload.value(QStringLiteral("id")).toInt();
        m_service.addPhoto(makePhoto(id, upload.value(QStringLiteral("owner")).toString(),
                                     upload.value(QStringLiteral("title")).toString(),
                                     upload.value(QStringLiteral("uploaded")).toInteger(), "jpg"));
        m_nextPhoto = std::max(m_nextPhoto, id + 1);
    }
    m_server.setFallback([this](const TestHttpRequest& request) {
        if (request.target.contains("flickr.photos.getContactsPhotos"))
            onContactsRequest();
        return m_service.handler()(request);
    });
}

void FlickrStandIn::onContactsRequest()
{
    QMutexLocker lock(&m_mutex);
    if (++m_contactsRequests % kUploadEvery != 0)
        return;
    const QString owner = m_contacts.at((m_contactsRequests / kUploadEvery) % m_contacts.size());
    const int id = m_nextPhoto++;
    const QString title = QStringLiteral("New upload %1").arg(id);
    const qint64 uploaded = QDateTime::currentSecsSinceEpoch();
    m_service.addPhoto(makePhoto(id, owner, title, uploaded, "jpg"));
    m_uploads.append(QJsonObject{{QStringLiteral("id"), id},
                                 {QStringLiteral("owner"), owner},
                                 {QStringLiteral("title"), title},
                                 {QStringLiteral("uploaded"), uploaded}});
    m_state.setValue(kUploads, m_uploads);
}
