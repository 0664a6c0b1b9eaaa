#pragma once

#include "meskrecords.h"

#include <QList>
#include <QObject>
#include <QString>

class IMediaItemProvider;

// A service object that sends something to a service.
class IMediaServiceUpdate : public QObject
{
    Q_OBJECT
public:
    explicit IMediaServiceUpdate(QObject* parent = nullptr) : QObject(parent) {}
    ~IMediaServiceUpdate() override = default;

    virtual int serviceType() const = 0;
    // Configured and idle: a new post may start now.
    virtual bool canPost() const = 0;
    // A post is in flight.
    virtual bool isBusy() const = 0;

signals:
    // The service accepted it.
    void updateDone();
    // The service refused it, or the request failed.
    void updateFailed();
};

// Posts one status text. Every accepted post ends with exactly one of
// updateDone() / updateFailed(); an empty text reports updateDone() before
// postText() returns.
class IMediaTextPoster : public IMediaServiceUpdate
{
    Q_OBJECT
public:
    explicit IMediaTextPoster(QObject* parent = nullptr) : IMediaServiceUpdate(parent) {}

    // 0: no limit.
    virtual int maxTextLength() const = 0;
    // True when the post was started (or an empty text was reported done).
    virtual bool postText(const QString& text) = 0;
};

// Declared for the service type 1; no provider offers it.
class IMediaSmsSender : public IMediaServiceUpdate
{
    Q_OBJECT
public:
    explicit IMediaSmsSender(QObject* parent = nullptr) : IMediaServiceUpdate(parent) {}
};

// Posts a comment on one feed event.
class IMediaCommentPoster : public QObject
{
    Q_OBJECT
public:
    explicit IMediaCommentPoster(QObject* parent = nullptr) : QObject(parent) {}
    ~IMediaCommentPoster() override = default;

    virtual bool canPost() const = 0;
    virtual bool isBusy() const = 0;
    // True when the request was sent.
    virtual bool postComment(const QString& text) = 0;

signals:
    void posted();
    void failed();
};

// Posts one status text to several providers at once.
class IMediaUpdateManager : public QObject
{
    Q_OBJECT
public:
    explicit IMediaUpdateManager(QObject* parent = nullptr) : QObject(parent) {}
    ~IMediaUpdateManager() override = default;

    // The providers that can post text.
    virtual QList<IMediaItemProvider*> providers() const = 0;
    virtual void selectProvider(mid_t provider) = 0;
    virtual void deselectProvider(mid_t provider) = 0;
    virtual bool isProviderSelected(mid_t provider) const = 0;
    virtual bool isPosting() const = 0;
    virtual void postUpdate(const QString& text) = 0;

signals:
    // The posting ended, or was refused.
    void updateDone();
    // The named provider failed to post.
    void providerFailed(const QString& providerName);
};
