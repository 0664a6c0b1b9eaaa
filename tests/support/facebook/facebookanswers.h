#pragma once

#include "facebookrecords.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Answers of the Facebook REST service written from the records of facebookrecords.h, so a
// test says what an answer holds and the stand-in sends it (FakeFacebookRest::scriptReply).
// The parsers read each answer back into the records it was written from; a post's
// attachment is written only when hasAttachment is set.
namespace FacebookAnswers {

// One mailbox thread: its messages oldest first, the last `unread` of them unread.
struct Thread
{
    QString threadId;
    int unread = 0;
    QList<SFacebookMessage> messages;
};

QByteArray stream(const QList<SFacebookStreamPost>& posts, const QList<SFacebookUser>& profiles);
QByteArray notifications(const SFacebookNotifications& notifications);
QByteArray threads(const QList<Thread>& threads);
QByteArray fqlPhotos(const QList<SFacebookPhotoInfo>& photos);
QByteArray comments(const QList<SFacebookComment>& comments);

// Records to build answers from.
SFacebookUser profile(const QString& uid, const QString& name, const QString& base = {});
SFacebookStreamPost post(const QString& postId, const QString& actorId, const QString& message,
                         const QString& created);
SFacebookMedia photoMedia(const QString& pid, const QString& aid, const QString& owner,
                          const QString& base = {});
SFacebookPhotoInfo photoInfo(const QString& pid, const QString& aid, const QString& owner,
                             const QString& created, const QString& base = {});
SFacebookComment comment(const QString& id, const QString& fromId, const QString& time, const QString& text);

// `count` users "<first>".."<first + count - 1>" with names and picture addresses.
QList<SFacebookUser> generateProfiles(int count, int first = 1000, const QString& base = {});
// `count` posts by those users, numbered from firstId, created one minute apart before
// 1262304000, cycling through plain, photo (1 or 2 media), link, video and calendar
// event posts, each with 2 comments and a comment count of 2.
QList<SFacebookStreamPost> generatePosts(int count, const QList<SFacebookUser>& profiles, int firstId = 1,
                                         const QString& base = {});

} // namespace FacebookAnswers
