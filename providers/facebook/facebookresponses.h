#pragma once

#include "facebookrecords.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>

// Parsers of the Facebook REST answers. Each comes in two forms: one reads a
// document already built (so an answer checked for an error is not read twice),
// the other reads the body itself through meskReadXml (no namespace processing,
// so a default xmlns changes nothing; a body nested too deep is unreadable). Each
// looks for its top element as a child of the document. An unreadable body simply
// has no such element. A missing top element gives false and leaves the outputs as they
// were; lists are appended to, never cleared. A missing child element is never a
// failure: its field stays empty. The parsers keep no state and are safe on any thread.

// The text of the first child element of that name; empty when there is none.
QString sFacebookChildText(const QDomElement& element, const QString& name);

// Fills a photo record from a "photo" element; false for a null element.
bool sFacebookParsePhotoElement(const QDomElement& element, SFacebookPhotoInfo& photo);
// Reads one "stream_post" element.
void sFacebookParseStreamPostElement(const QDomElement& element, SFacebookStreamPost& post);
// Reads an "attachment" element; the media take the post's actor and time.
void sFacebookParseAttachmentElement(const QDomElement& element, const QString& actorId,
                                     const QString& createdTime, SFacebookAttachment& attachment);
// Appends one record per "comment" child of the element.
void sFacebookParseCommentListElement(const QDomElement& element, QList<SFacebookComment>& comments);
// Reads one "message" element of a mailbox thread.
void sFacebookParseMessageElement(const QDomElement& element, SFacebookMessage& message);

// "error_response": the code (not a number gives 0) and the message.
bool sFacebookParseErrorXml(const QByteArray& body, int& code, QString& message);
// "users_getInfo_response": the first user; true when a "user" element exists.
bool sFacebookParseUserInfoXml(const QByteArray& body, SFacebookUser& user);
// "photos_get_response": the first photo; true when a "photo" element exists.
bool sFacebookParsePhotosXml(const QByteArray& body, SFacebookPhotoInfo& photo);
// "stream_get_response": posts and profiles (appended); true when "posts" exists.
bool sFacebookParseStreamXml(const QByteArray& body, QList<SFacebookStreamPost>& posts,
                             QList<SFacebookUser>& users);
// "fql_query_response": every photo (appended).
bool sFacebookParseFqlPhotosXml(const QByteArray& body, QList<SFacebookPhotoInfo>& photos);
// "stream_getComments_response": every comment (appended).
bool sFacebookParseCommentsXml(const QByteArray& body, QList<SFacebookComment>& comments);
// "notifications_get_response": a count is written only when its element exists;
// friend requests are appended.
bool sFacebookParseNotificationsXml(const QByteArray& body, SFacebookNotifications& notifications);
// "message_getThreadsInFolder_response": the unread messages of every thread,
// newest first within a thread (appended).
bool sFacebookParseThreadsXml(const QByteArray& body, QList<SFacebookMessage>& messages);
// "stream_publish_response": the new post's id.
bool sFacebookParsePublishXml(const QByteArray& body, QString& postId);
// "stream_addComment_response": the new comment's id.
bool sFacebookParseAddCommentXml(const QByteArray& body, QString& commentId);
// "stream_addLike_response": true when the text is a non-zero decimal number.
bool sFacebookParseAddLikeXml(const QByteArray& body);
// "stream_removeLike_response": true when the text is a non-zero decimal number.
bool sFacebookParseRemoveLikeXml(const QByteArray& body);

// The same parsers over a document already read (meskReadXml); a null document
// has no top element.
bool sFacebookParseErrorDocument(const QDomDocument& doc, int& code, QString& message);
bool sFacebookParseUserInfoDocument(const QDomDocument& doc, SFacebookUser& user);
bool sFacebookParsePhotosDocument(const QDomDocument& doc, SFacebookPhotoInfo& photo);
bool sFacebookParseStreamDocument(const QDomDocument& doc, QList<SFacebookStreamPost>& posts,
                                  QList<SFacebookUser>& users);
bool sFacebookParseFqlPhotosDocument(const QDomDocument& doc, QList<SFacebookPhotoInfo>& photos);
bool sFacebookParseCommentsDocument(const QDomDocument& doc, QList<SFacebookComment>& comments);
bool sFacebookParseNotificationsDocument(const QDomDocument& doc, SFacebookNotifications& notifications);
bool sFacebookParseThreadsDocument(const QDomDocument& doc, QList<SFacebookMessage>& messages);
bool sFacebookParsePublishDocument(const QDomDocument& doc, QString& postId);
bool sFacebookParseAddCommentDocument(const QDomDocument& doc, QString& commentId);
bool sFacebookParseAddLikeDocument(const QDomDocument& doc);
bool sFacebookParseRemoveLikeDocument(const QDomDocument& doc);
