#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// The texts of one Twitter account, each named as the XML element it comes from.
class STwitterUserData
{
public:
    QString id;
    QString name;
    QString screen_name;
    QString url;
    QString profile_image_url;

    bool operator==(const STwitterUserData&) const = default;
};

// The texts of one status, each named as the XML element it comes from. Ids,
// flags and the date stay texts; the date is read with CTwitterApi::parseDate.
class STwitterStatusData
{
public:
    QString id;
    QString text;
    QString truncated;
    QString in_reply_to_status_id;
    QString in_reply_to_user_id;
    QString in_reply_to_screen_name;
    QString created_at;
    QString favorited;
    // A native retweet: the original status's full text and its author's screen name
    // (both null when the status is no retweet). `text` stays as sent, cut short.
    QString retweeted_text;
    QString retweeted_screen_name;

    // What the feed stores and shows: "RT @name: " and the original's full text for a
    // native retweet, the text as sent otherwise.
    QString shownText() const;

    bool operator==(const STwitterStatusData&) const = default;
};

// One status with its author: the record of every XML reply.
class STwitterStatusEvent
{
public:
    STwitterUserData user;
    STwitterStatusData status;

    bool operator==(const STwitterStatusEvent&) const = default;
};

// The statuses of a timeline reply, in document order.
typedef QList<STwitterStatusEvent> STwitterTimeLine;

Q_DECLARE_METATYPE(STwitterUserData)
Q_DECLARE_METATYPE(STwitterStatusData)
Q_DECLARE_METATYPE(STwitterStatusEvent)

// Registers the records above (and STwitterTimeLine by its name) for queued
// connections. Safe to call more than once.
void registerTwitterMetaTypes();
