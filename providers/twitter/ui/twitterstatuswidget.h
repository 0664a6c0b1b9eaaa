#pragma once

#include "imediaitemwidget.h"
#include "meskrecords.h"

#include <QPointer>
#include <QString>

class CMeskItemDateLabel;
class CMeskItemLinkGroup;
class CMeskThumbnailWidget;
class CTwitterStatus;
class CTwitterUser;
class QLabel;

// What both Twitter feed widgets share: the author and the status (owned by the provider,
// which deletes them when the account is removed, so held as guarded pointers), a copy of
// what the widget shows, and the text rendering and filter rule.
//
// Text: "<b>name</b> body" with "<" of the screen name escaped and the body linkified (only
// http, https and "www." addresses become links), each "\n" shown as a line break.
// Filter: "<" and ">" of the filter are escaped, then the raw screen name, else the raw status
// text, is searched for it in any case; with highlight the matches are marked.
class CTwitterItemParts
{
public:
    CTwitterItemParts(CTwitterUser* user, CTwitterStatus* status);

    QString renderedText() const;
    bool applyFilter(const QString& text, bool highlight);
    void clearFilter();
    // The avatar picture takes the author's avatar again; nothing once the author is gone.
    void refreshAvatar();

    QPointer<CTwitterUser> user;
    QPointer<CTwitterStatus> status;
    SMediaItem item;
    QString name;
    QString text;
    QString statusUrl;
    QString profileUrl;
    bool logoVisible = true;
    CMeskThumbnailWidget* avatar = nullptr;
    CMeskThumbnailWidget* logo = nullptr;
    CMeskItemDateLabel* date = nullptr;
    QLabel* label = nullptr;
};

// A status of the friends timeline or the mentions (item type 1): the author's avatar on the
// left (a press opens the author's page), the text, and under it the service logo (a press
// opens the status's page), the relative time and the links Reply and Retweet, which open the
// post dialog with "@name " or "RT @name text".
class CTwitterStatusWidget : public IMediaItemWidget
{
    Q_OBJECT
public:
    CTwitterStatusWidget(CTwitterUser* user, CTwitterStatus* status, QWidget* parent = nullptr);
    ~CTwitterStatusWidget() override;

    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override;

    CMeskThumbnailWidget* avatarWidget() const { return m_parts.avatar; }
    CMeskThumbnailWidget* logoWidget() const { return m_parts.logo; }
    CMeskItemDateLabel* dateLabel() const { return m_parts.date; }
    CMeskItemLinkGroup* linkGroup() const { return m_links; }
    QLabel* textLabel() const { return m_parts.label; }

private slots:
    void _onReply();
    void _onRetweet();
    void _onFavorite();
    void _onItemButtonClicked(int id);
    void _onAvatarUpdated();

private:
    CTwitterItemParts m_parts;
    CMeskItemLinkGroup* m_links = nullptr;
};

// A status the user posted (item type 10): as the status widget, without actions, and with
// the avatar on the right.
class CTwitterUpdateWidget : public IMediaItemWidget
{
    Q_OBJECT
public:
    CTwitterUpdateWidget(CTwitterUser* user, CTwitterStatus* status, QWidget* parent = nullptr);
    ~CTwitterUpdateWidget() override;

    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override;

    CMeskThumbnailWidget* avatarWidget() const { return m_parts.avatar; }
    CMeskThumbnailWidget* logoWidget() const { return m_parts.logo; }
    CMeskItemDateLabel* dateLabel() const { return m_parts.date; }
    QLabel* textLabel() const { return m_parts.label; }

private slots:
    void _onAvatarUpdated();

private:
    CTwitterItemParts m_parts;
};
