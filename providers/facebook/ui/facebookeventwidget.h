#pragma once

#include "imediaitemwidget.h"

#include <QList>
#include <QPointer>
#include <QString>

class CFacebookCalendarEvent;
class CFacebookCommentsWidget;
class CFacebookEvent;
class CFacebookLink;
class CFacebookObjectManager;
class CFacebookPhoto;
class CFacebookUser;
class CFacebookVideo;
class CMeskItemDateLabel;
class CMeskItemLinkGroup;
class CMeskThumbnailWidget;
class QLabel;

// The feed entry of one Facebook event: a post of a friend or of the user, a mailbox message
// or a friend request. The poster's avatar, a one-paragraph caption built from the kind of
// event, the attachment (up to three photo thumbnails, a video thumbnail or the details of a
// calendar event) and a bottom bar with the Facebook icon, the time and the "Comments" and
// "Like" links; the comments with their editor unfold below (built the first time they unfold).
// The user's own events have the avatar on the right and the bottom bar on the left.
//
// Every text from the service is escaped before it goes into the caption, and only http and
// https addresses are linked or opened.
//
// The event, the poster and the attachments belong to the object manager. Once they are gone
// the widget keeps what it shows and answers the record it was built for.
class CFacebookEventWidget : public IMediaItemWidget
{
    Q_OBJECT
public:
    CFacebookEventWidget(CFacebookUser* user, CFacebookEvent* event, CFacebookObjectManager* objects,
                         const QString& ownUserId, QWidget* parent);
    ~CFacebookEventWidget() override;

    // The caption of the event as rich text (empty without event or user); own makes the
    // poster "Me". The provider uses it for the text of an item too.
    static void captionText(CFacebookEvent* event, CFacebookUser* user, QString& text, bool own,
                            CFacebookObjectManager* objects);

    QLabel* caption() const { return m_caption; }
    CMeskItemLinkGroup* links() const { return m_links; }
    // The comments block, built (hidden) on first use: most entries never unfold theirs.
    CFacebookCommentsWidget* comments();

public slots:
    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override;

private slots:
    void _onEventUpdated();
    void _onCommentAdded(const QString& commentId, const QString& text);
    void _onComments();
    void _onLike();
    void _onItemButtonClicked(int id);
    void _onLinkActivated(const QString& url);
    void _onUserInfoUpdated();
    void _onUserThumbnailUpdated();
    void _onUserThumbnailUpdateFailed();
    void _onPhotoThumbnailUpdated();
    void _onVideoThumbnailUpdated();
    void _onLikeAdded();
    void _onLikeRemoved();
    void _onLikeFailed();

private:
    void loadAttachments();
    QString commentsText() const;
    QString likeText() const;
    // Sets the caption from the caption text; once the objects are gone the last one stays.
    void setCaption();

    QPointer<CFacebookEvent> m_event;
    QPointer<CFacebookUser> m_user;
    QPointer<CFacebookObjectManager> m_objects;
    QString m_ownUserId;
    SMediaItem m_item;
    int m_kind = 0;
    bool m_own = false;
    QString m_captionText;

    QLabel* m_caption = nullptr;
    CMeskThumbnailWidget* m_serviceIcon = nullptr;
    CMeskThumbnailWidget* m_avatar = nullptr;
    CMeskItemDateLabel* m_dateLabel = nullptr;
    CMeskItemLinkGroup* m_links = nullptr;
    CFacebookCommentsWidget* m_comments = nullptr;
    QList<CMeskThumbnailWidget*> m_photoThumbnails;
    CMeskThumbnailWidget* m_videoThumbnail = nullptr;
    QList<QPointer<CFacebookPhoto>> m_photos;
    QPointer<CFacebookVideo> m_video;
    QPointer<CFacebookLink> m_link;
    QPointer<CFacebookCalendarEvent> m_calendarEvent;
};
