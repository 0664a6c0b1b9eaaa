#pragma once

#include "meskrecords.h"

#include <QList>
#include <QObject>
#include <QString>

class CMeskEngine;
class CMeskNotification;
class CMeskSettings;

// Turns the engine's new text messages and new feed events of the user's contacts into desktop
// toasts, as the notification settings ask (keys 10 "ShowNewMessages", 11 "ShowNewFeeds",
// 12 "ShowAllNewFeeds", 13 "ShowNewFeedsUsers" and 1 "PlaySounds"); a changed setting counts
// from the next message or event. One toast window serves the whole run: while it shows, what
// arrives is dropped without a sound. The main window makes one manager with the engine, its
// settings store and itself as parent. GUI thread only.
class CMeskNotifications : public QObject
{
    Q_OBJECT
public:
    // Toast texts are cut to this many UTF-16 units, markup included, followed by "...".
    static constexpr int MaxTextLength = 140;

    CMeskNotifications(CMeskEngine* engine, CMeskSettings* settings, QObject* parent = nullptr);
    ~CMeskNotifications() override;

    // The toast window, made on first use; the manager deletes it.
    CMeskNotification* toast();

    // Key 13: the ids joined by ";"; every part, empty ones too, gives an id (0 when not a number).
    static QList<mid_t> parseFeedUsers(const QString& text);
    // Rich text cut after MaxTextLength units plus "..."; the cut never splits a tag, an
    // entity or a surrogate pair (it moves back to that item's start).
    static QString cutText(const QString& text);
    // An event's display text without its style blocks and tags.
    static QString stripTags(const QString& text);

private slots:
    void _onSmsNewMessageReceived(const SSmsMessage& message);
    void _onServiceEventAdded(const SMediaItem& item);
    void _onSettingsValueChanged(int key);

private:
    void readSettings();
    void readFeedUsers();
    bool toastShowing() const;
    void showSmsToast(const SSmsMessage& message);
    void showEventToast(const SMediaItem& item);

    CMeskEngine* m_engine;
    CMeskSettings* m_settings;
    CMeskNotification* m_toast = nullptr;
    bool m_showNewMessages = false;
    bool m_showNewFeeds = false;
    bool m_showAllNewFeeds = false;
    bool m_playSounds = false;
    QList<mid_t> m_feedUsers;
};
