#include "facebookgallery.h"

#include "facebookapi.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "mediadatabase.h"
#include "ui/facebookeventwidget.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

namespace {

constexpr mid_t kProvider = 2;
const char* const kOwnUid = "12345";

// A picture file of that size in one colour with a lighter disc, written where an object
// expects its download.
void writePicture(const QString& file, const QSize& size, const QColor& colour)
{
    if (file.isEmpty())
        return;
    QDir().mkpath(QFileInfo(file).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour.lighter(160));
    painter.drawEllipse(
        QRectF(size.width() * 0.2, size.height() * 0.15, size.width() * 0.6, size.height() * 0.6));
    painter.end();
    image.save(file, "PNG");
}

} // namespace

struct CFacebookGalleryStore::SData
{
    QTemporaryDir root;
    std::unique_ptr<CMediaDataBase> db;
    CFacebookApi api;
    std::unique_ptr<CFacebookObjectManager> objects;
    CFacebookUser* users[2] = {nullptr, nullptr};
    CFacebookEvent* events[2][8] = {};
    int next = 0;

    CFacebookUser* addUser(const QString& uid, const QString& name, const QColor& colour)
    {
        CFacebookUser* user =
            objects->addUser({uid, name, QStringLiteral("https://www.facebook.example/profile.php?id=") + uid,
                              QStringLiteral("https://pictures.facebook.example/%1.png").arg(uid)},
                             false);
        if (user)
            writePicture(user->avatarFile(), QSize(100, 100), colour);
        return user;
    }

    SFacebookStreamPost post(CFacebookUser* poster, const QString& type, const QString& text)
    {
        SFacebookStreamPost out;
        out.postId = QStringLiteral("100_%1").arg(++next);
        out.actorId = poster->mediaId();
        out.message = text;
        out.createdTime = QString::number(QDateTime::currentSecsSinceEpoch() - 600 * next);
        out.likesCount = QString::number(next % 3);
        out.userLikes = next % 2 ? QStringLiteral("1") : QStringLiteral("0");
        out.commentsCount = QStringLiteral("0");
        out.hasAttachment = !type.isEmpty();
        out.attachment.fbObjectType = type;
        return out;
    }

    CFacebookEvent* build(int kind, CFacebookUser* poster)
    {
        const mid_t userId = poster->serviceUser().id;
        const QString names[] = {QString(),
                                 QStringLiteral("photo"),
                                 QStringLiteral("album"),
                                 QStringLiteral("link"),
                                 QStringLiteral("event"),
                                 QStringLiteral("video")};
        if (kind == FacebookEventType::Message)
            return objects->addMessage({QStringLiteral("m%1").arg(++next), poster->mediaId(),
                                        QStringLiteral("Are we still on for Saturday?"),
                                        QString::number(QDateTime::currentSecsSinceEpoch() - 3600)},
                                       userId);
        if (kind == FacebookEventType::FriendRequest)
            return objects->addFriendRequest(poster->mediaId(), userId);
        const QString texts[] = {QStringLiteral("Back from the lake <3 & the sun was out all day"),
                                 QStringLiteral("Sunset"),
                                 QStringLiteral("Weekend at the lake"),
                                 QStringLiteral("Worth a read"),
                                 QString(),
                                 QString()};
        SFacebookStreamPost record = post(poster, names[kind], texts[kind]);
        SFacebookAttachment& attachment = record.attachment;
        const int photos = kind == FacebookEventType::Photo ? 1 : kind == FacebookEventType::Album ? 5 : 0;
        for (int i = 0; i < photos; ++i) {
            SFacebookMedia media;
            media.pid = QStringLiteral("p%1").arg(++next);
            media.type = QStringLiteral("photo");
            media.href = QStringLiteral("https://www.facebook.example/photo.php?pid=") + media.pid;
            media.src = QStringLiteral("https://pictures.facebook.example/%1.png").arg(media.pid);
            attachment.media.append(media);
        }
        if (kind == FacebookEventType::Link) {
            attachment.href = QStringLiteral("https://www.example.org/articles/feeds");
            attachment.name = QStringLiteral("Reading feeds on the desktop");
        } else if (kind == FacebookEventType::CalendarEvent) {
            attachment.fbObjectId = QStringLiteral("77%1").arg(next);
            attachment.href = QStringLiteral("https://www.facebook.example/event.php?eid=77%1").arg(next);
            attachment.name = QStringLiteral("Summer party");
            attachment.description = QStringLiteral("Bring food");
            attachment.properties = {{QStringLiteral("When"), QStringLiteral("Saturday, 8 pm")},
                                     {QStringLiteral("Where"), QStringLiteral("City park")}};
        } else if (kind == FacebookEventType::Video) {
            attachment.name = QStringLiteral("Ducks on the lake");
            SFacebookMedia media;
            media.type = QStringLiteral("video");
            media.href = QStringLiteral("https://www.facebook.example/video.php?v=9");
            media.src = QStringLiteral("https://pictures.facebook.example/v9.png");
            media.sourceType = QStringLiteral("html");
            media.sourceUrl = QStringLiteral("https://www.facebook.example/v/9");
            attachment.media.append(media);
        }
        CFacebookEvent* event = objects->addPost(record, userId);
        if (!event)
            return nullptr;
        if (photos) {
            int shade = 0;
            for (const SFacebookMedia& media : std::as_const(attachment.media)) {
                CFacebookPhoto* photo = objects->photoFromMedia(media, userId);
                if (photo && event->attachPhoto(photo))
                    writePicture(photo->thumbnailFile(), QSize(130, 100),
                                 QColor::fromHsv(30 + 50 * shade++, 120, 200));
            }
        } else if (kind == FacebookEventType::Link) {
            event->attachLink(
                objects->addLink({attachment.href, attachment.name, {}, record.createdTime}, userId));
        } else if (kind == FacebookEventType::CalendarEvent) {
            event->attachCalendarEvent(objects->addCalendarEvent(record, userId));
        } else if (kind == FacebookEventType::Video) {
            CFacebookVideo* video = objects->addVideo(record, userId);
            if (video && event->attachVideo(video))
                writePicture(video->thumbnailFile(), QSize(120, 90), QColor(70, 110, 160));
        }
        return event;
    }
};

CFacebookGalleryStore::CFacebookGalleryStore() : d(std::make_unique<SData>())
{
    if (!d->root.isValid())
        return;
    d->db = std::make_unique<CMediaDataBase>(d->root.filePath(QStringLiteral("mstorage")));
    if (!d->db->open())
        return;
    d->objects = std::make_unique<CFacebookObjectManager>(&d->api, kProvider);
    d->objects->setStorage(d->db.get());
    d->users[0] = d->addUser(QStringLiteral("100"), QStringLiteral("Bob Example"), QColor(80, 120, 190));
    d->users[1] = d->addUser(QLatin1String(kOwnUid), QStringLiteral("Ann Owner"), QColor(190, 110, 80));
    if (!d->users[0] || !d->users[1])
        return;
    for (int own = 0; own < 2; ++own) {
        for (int kind = 0; kind < 8; ++kind)
            d->events[own][kind] = d->build(kind, d->users[own]);
    }
    // Comments under Bob's plain post, one of them the user's own.
    if (CFacebookEvent* plain = d->events[0][0]) {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        d->objects->addComment(plain, {QStringLiteral("c1"), QStringLiteral("100"),
                                       QString::number(now - 500), QStringLiteral("Looks great!")});
        d->objects->addComment(plain,
                               {QStringLiteral("c2"), QLatin1String(kOwnUid), QString::number(now - 300),
                                QStringLiteral("Wish I had been there <b>too</b>")});
        plain->setCommentsCount(2);
    }
}

CFacebookGalleryStore::~CFacebookGalleryStore()
{
    if (d->objects)
        d->objects->clear();
    d->objects.reset();
    d->db.reset();
}

bool CFacebookGalleryStore::isValid() const
{
    return d->users[0] && d->users[1];
}

std::unique_ptr<CFacebookEventWidget> CFacebookGalleryStore::makeItem(int kind, bool own) const
{
    if (!isValid() || kind < 0 || kind > 7 || !d->events[own ? 1 : 0][kind])
        return nullptr;
    return std::make_unique<CFacebookEventWidget>(d->users[own ? 1 : 0], d->events[own ? 1 : 0][kind],
                                                  d->objects.get(), QLatin1String(kOwnUid), nullptr);
}

QString CFacebookGalleryStore::kindName(int kind)
{
    static const char* const names[] = {"plain post",     "photo", "album",   "link",
                                        "calendar event", "video", "message", "friend request"};
    return kind >= 0 && kind < 8 ? QLatin1String(names[kind]) : QString();
}
