#pragma once

#include "meskrecords.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

class CFacebookComment;
class CFacebookEvent;
class CFacebookObjectManager;
class CFacebookUser;
class CMeskItemDateLabel;
class CMeskItemLinkButton;
class CMeskPostCommentWidget;
class CMeskThumbnailWidget;
class QVBoxLayout;

// One comment under a Facebook post: the commenter's small avatar, the name in bold, the
// relative time and the comment text (shown as it was typed, never as markup), on a light
// rounded background. The user's own comments read "Me" and have the avatar on the right.
//
// The comment and the commenter belong to the object manager; a row whose objects are gone
// keeps what it shows.
class CFacebookCommentWidget : public QWidget
{
    Q_OBJECT
public:
    CFacebookCommentWidget(CFacebookUser* commenter, CFacebookComment* comment, const QString& ownUserId,
                           QWidget* parent);
    ~CFacebookCommentWidget() override;

    void updateTime();
    QDateTime created() const { return m_item.created; }
    // The comment's record as it was when the row was built.
    SMediaItem mediaItem() const { return m_item; }

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void _onUserThumbnailUpdated();

private:
    QPointer<CFacebookComment> m_comment;
    QPointer<CFacebookUser> m_commenter;
    SMediaItem m_item;
    bool m_own = false;
    CMeskThumbnailWidget* m_avatar = nullptr;
    CMeskItemDateLabel* m_dateLabel = nullptr;
};

// The comments block under a Facebook post: the stored comments, oldest first, at most three
// until "View all comments..." is pressed (then all of them, for good), and the comment editor
// posting through the event. The event widget keeps it in step: reload() when the event's
// comments changed, addComment() for a comment the user has just posted.
//
// The event, the poster and the objects the rows show belong to the object manager; once the
// event is gone, reload() and addComment() change nothing.
class CFacebookCommentsWidget : public QWidget
{
    Q_OBJECT
public:
    CFacebookCommentsWidget(CFacebookUser* poster, CFacebookEvent* event, CFacebookObjectManager* objects,
                            const QString& ownUserId, QWidget* parent);
    ~CFacebookCommentsWidget() override;

    void updateTime();
    // Brings the rows in line with the stored comments.
    void reload();
    // Adds the row of a comment just posted (the stored comment is shown; text is not used).
    void addComment(const QString& commentId, const QString& text);

    CMeskItemLinkButton* showAllLink() const { return m_showAllLink; }
    CMeskPostCommentWidget* editor() const { return m_editor; }

private slots:
    void _onShowAllComments();

private:
    void addRow(CFacebookUser* commenter, CFacebookComment* comment);
    void updateLink();

    QPointer<CFacebookEvent> m_event;
    QPointer<CFacebookUser> m_poster;
    QPointer<CFacebookObjectManager> m_objects;
    QString m_ownUserId;
    QVBoxLayout* m_list = nullptr;
    CMeskPostCommentWidget* m_editor = nullptr;
    QHash<mid_t, CFacebookCommentWidget*> m_rows;
    CMeskItemLinkButton* m_showAllLink = nullptr;
    bool m_showAll = false;
};
