#pragma once

#include "facebookrecords.h"
#include "meskrecords.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class CFacebookApi;
class IMediaItemStorage;

// The item types the Facebook provider adds to the core's: the comments on a post
// and the calendar event a post announces. Both hang under a feed event; the
// grouped queries of the storage never list them.
namespace FacebookItemType {
constexpr int Comment = 8;
constexpr int CalendarEvent = 9;
} // namespace FacebookItemType

// One comment on a post (item type 8), over its stored item. A comment has no
// fields. It has no Qt parent: its owner deletes it.
class CFacebookComment : public QObject
{
    Q_OBJECT
public:
    CFacebookComment(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookComment() override;

    // The comment of a stored item; null when the item cannot be read or is no comment.
    static CFacebookComment* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                  QObject* owner = nullptr);
    // Stores a fetched comment, dated by its "time"; the new item's id, or 0.
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookComment& comment,
                        mid_t provider, mid_t user);
    // Stores a comment the user has just posted, dated now; the new item's id, or 0.
    static mid_t createPosted(CFacebookApi* api, IMediaItemStorage* storage, const QString& commentId,
                              const QString& text, mid_t provider, mid_t user);

    // Attaches the comment to its event and writes the item back; the storage's result.
    bool setParent(mid_t parent);

    QString text() const { return m_item.content; }
    mid_t userId() const { return m_item.user; }
    QDateTime created() const { return m_item.created; }
    SMediaItem mediaItem() const { return m_item; }

private:
    static mid_t store(IMediaItemStorage* storage, SMediaItem& item);

    CFacebookApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
};

// The calendar event a post's attachment announces (item type 9): its page, its
// name and description, and the attachment's properties in the order the service
// listed them. It has no Qt parent: its owner deletes it.
class CFacebookCalendarEvent : public QObject
{
    Q_OBJECT
public:
    CFacebookCalendarEvent(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookCalendarEvent() override;

    static CFacebookCalendarEvent* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                                        QObject* owner = nullptr);
    // Stores the calendar event of the post's attachment with one field per property
    // (a repeated name keeps its first place and takes the later text), then
    // "eventName" and "eventDescr"; the new item's id, or 0.
    static mid_t create(CFacebookApi* api, IMediaItemStorage* storage, const SFacebookStreamPost& post,
                        mid_t provider, mid_t user);

    bool setParent(mid_t parent);

    QString url() const { return m_item.content; }
    QString name() const { return m_name; }
    QString description() const { return m_description; }
    QList<SFacebookProperty> properties() const { return m_properties; }
    SMediaItem mediaItem() const { return m_item; }

private:
    CFacebookApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
    QString m_name;
    QString m_description;
    QList<SFacebookProperty> m_properties;
};
