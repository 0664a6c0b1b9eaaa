#pragma once

// The common ground of the Facebook widget tests: the item bed with the real object manager
// over its store, the product style, and writers of stored users, posts with their
// attachments, messages, friend requests and comments. Bob is uid 100; the signed-in user is
// the stand-in's 12345.

#include "../facebookitembed.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "meskuistyle.h"

#include <QApplication>

#include <memory>

class FacebookWidgetBed : public FacebookItemBed
{
public:
    static constexpr mid_t kProvider = 2;

    bool startWidgets(QObject* poolOwner)
    {
        if (!qobject_cast<CMeskUiStyle*>(QApplication::style()))
            QApplication::setStyle(new CMeskUiStyle);
        if (!start(poolOwner))
            return false;
        objects = std::make_unique<CFacebookObjectManager>(&api, kProvider);
        objects->setStorage(db.get());
        return true;
    }
    void stopWidgets()
    {
        objects.reset();
        stop();
    }
    static QString ownUid() { return FakeFacebookRest::defaultUid(); }

    // A stored user; an empty picture address leaves it without a picture.
    CFacebookUser* user(const QString& uid, const QString& name, const QString& picture = {},
                        const QString& profile = {})
    {
        return objects->addUser({uid, name, profile, picture}, true);
    }
    CFacebookUser* bob() { return user(QStringLiteral("100"), QStringLiteral("Bob")); }
    CFacebookUser* me() { return user(ownUid(), QStringLiteral("Myself")); }

    // A stream post of that attachment kind ("" plain, "photo", "album", "link", "event",
    // "video"), created at 1262304000 + n.
    SFacebookStreamPost post(CFacebookUser* poster, const QString& objectType, const QString& text)
    {
        SFacebookStreamPost out;
        out.postId = QStringLiteral("100_%1").arg(++m_next);
        out.actorId = poster->mediaId();
        out.message = text;
        out.createdTime = QString::number(1262304000 + m_next);
        out.likesCount = QStringLiteral("0");
        out.userLikes = QStringLiteral("0");
        out.commentsCount = QStringLiteral("0");
        out.hasAttachment = !objectType.isEmpty();
        out.attachment.fbObjectType = objectType;
        return out;
    }
    // One photo medium of a post; its thumbnail is served under /media/.
    SFacebookMedia photo(const QString& link = {})
    {
        SFacebookMedia media;
        media.pid = QStringLiteral("p%1").arg(++m_next);
        media.type = QStringLiteral("photo");
        media.src = url(QStringLiteral("/media/%1.png").arg(media.pid));
        media.href = link.isEmpty() ? QStringLiteral("http://www.example/photo.php?pid=") + media.pid : link;
        return media;
    }
    // Stores the post and, unless told not to, its attachment as the update cycle does.
    CFacebookEvent* store(const SFacebookStreamPost& post, CFacebookUser* poster, bool attach = true)
    {
        const mid_t userId = poster->serviceUser().id;
        CFacebookEvent* event = objects->addPost(post, userId);
        if (!event || !attach)
            return event;
        switch (event->eventType()) {
        case FacebookEventType::Photo:
        case FacebookEventType::Album:
            for (const SFacebookMedia& media : post.attachment.media)
                event->attachPhoto(objects->photoFromMedia(media, userId));
            break;
        case FacebookEventType::Link:
            event->attachLink(objects->addLink(
                {post.attachment.href, post.attachment.name, post.attachment.caption, post.createdTime},
                userId));
            break;
        case FacebookEventType::CalendarEvent:
            event->attachCalendarEvent(objects->addCalendarEvent(post, userId));
            break;
        case FacebookEventType::Video:
            event->attachVideo(objects->addVideo(post, userId));
            break;
        default:
            break;
        }
        return event;
    }
    CFacebookEvent* message(CFacebookUser* from, const QString& text)
    {
        return objects->addMessage(
            {QStringLiteral("m%1").arg(++m_next), from->mediaId(), text, QStringLiteral("1262304000")},
            from->serviceUser().id);
    }
    CFacebookEvent* friendRequest(CFacebookUser* from)
    {
        return objects->addFriendRequest(from->mediaId(), from->serviceUser().id);
    }
    // A comment on the event, stored under it (created at 1262304000 + offset).
    SFacebookComment comment(CFacebookEvent* event, CFacebookUser* from, int offset, const QString& text)
    {
        const SFacebookComment record{QStringLiteral("c%1").arg(++m_next), from->mediaId(),
                                      QString::number(1262304000 + offset), text};
        objects->addComment(event, record);
        return record;
    }

    std::unique_ptr<CFacebookObjectManager> objects;

private:
    int m_next = 0;
};
