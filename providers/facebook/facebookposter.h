#pragma once

#include "imediaposting.h"

#include <QString>

class CFacebookApi;
class CFacebookUpdate;
class CMeskHttpMethod;

// Posts the user's status through stream.publish.
//
// Every post ends in exactly one signal: an empty text in updateDone() before
// postText() returns; a refused post (one is running, no session, the pool does
// not take it) in updateFailed() before postText() returns false; a sent one in
// statusUpdated(text, postId) followed by updateDone(), or in updateFailed().
// Each post gets a fresh call; the call of the post before is cancelled first, so
// nothing late of it can end the next post.
class CFacebookTextPoster : public IMediaTextPoster
{
    Q_OBJECT
public:
    CFacebookTextPoster(CFacebookApi* api, QObject* parent = nullptr);
    ~CFacebookTextPoster() override;

    int serviceType() const override;
    bool canPost() const override;
    bool isBusy() const override;
    // 0: no limit.
    int maxTextLength() const override;
    // True when the post went out or the text was empty.
    bool postText(const QString& text) override;

signals:
    void statusUpdated(const QString& text, const QString& postId);

private slots:
    void _onUpdatePosted(const QString& postId);

private:
    void releaseCall();

    CFacebookApi* m_api;
    CFacebookUpdate* m_updateCall = nullptr; // the call of the last post, or null
    QString m_text;                          // the text of the last post
};

// Posts comments on one post through stream.addComment.
//
// postComment() returns false, with no signal, when a comment is being sent, when
// there is no session, or when the pool does not take the request. Every accepted
// comment ends in exactly one of commentPosted(postId, commentId, text) followed by
// posted(), or failed(); canPost() is true again after either.
class CFacebookCommentPoster : public IMediaCommentPoster
{
    Q_OBJECT
public:
    CFacebookCommentPoster(CFacebookApi* api, const QString& postId, QObject* parent = nullptr);
    ~CFacebookCommentPoster() override;

    QString postId() const { return m_postId; }

    bool canPost() const override;
    bool isBusy() const override;
    bool postComment(const QString& text) override;

signals:
    void commentPosted(const QString& postId, const QString& commentId, const QString& text);

private slots:
    void _onRequestFinished();
    void _onNetworkError();

private:
    // Releases the request with deleteLater() and forgets it.
    void releaseRequest();

    CFacebookApi* m_api;
    CMeskHttpMethod* m_request = nullptr; // the comment being sent, or null
    QString m_postId;
    QString m_text; // the last comment text
};
