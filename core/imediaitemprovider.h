#pragma once

#include "meskrecords.h"

#include <QObject>
#include <QPixmap>
#include <QString>

class IMediaItemStorage;
class IMediaServiceUpdate;
class IMediaEventItem;
class IMediaObject;
class IMediaLinkItem;
class IMediaUser;
class QWidget;
// The base of every feed item widget. It belongs to the product UI library;
// the core only passes pointers to it along and never includes its header.
class IMediaItemWidget;

// A service provider (Twitter, Facebook, Flickr). Every signal carries the
// emitting provider's id first.
class IMediaItemProvider : public QObject
{
    Q_OBJECT
public:
    explicit IMediaItemProvider(QObject* parent = nullptr) : QObject(parent) {}
    ~IMediaItemProvider() override = default;

    virtual mid_t providerId() const = 0;
    virtual QString name() const = 0;
    virtual QPixmap icon() const = 0;
    // An account is configured (its keys are in storage).
    virtual bool isActivated() const = 0;
    virtual QString userName() const = 0;
    virtual QString emptyText() const = 0;
    virtual int setupMode() const = 0;
    virtual void itemHook(mid_t item) = 0;
    // Runs the account set-up wizard modally.
    virtual void setup(QWidget* parent) = 0;
    // Deletes the provider's items, users, sync records and keys; ends with deactivated().
    virtual void removeAccount() = 0;
    virtual bool supportsService(int serviceType) const = 0;
    // The provider's poster for the service type, or null; owned by the provider.
    virtual IMediaServiceUpdate* service(int serviceType) = 0;
    // Called once, right after registration and before any other use.
    virtual void setStorage(IMediaItemStorage* storage) = 0;
    // An account is configured and no update request runs.
    virtual bool isReady() const = 0;
    // Starts one update cycle; it ends with updateDone().
    virtual void update() = 0;
    // A new feed widget for the item, or null; the caller owns it.
    virtual IMediaItemWidget* createItemWidget(const SMediaItem& item) = 0;
    virtual void itemText(const SMediaItem& item, QString& text) = 0;
    // Item objects belong to the provider; callers never delete them.
    virtual IMediaEventItem* eventObject(const SMediaItem& item) = 0;
    virtual IMediaObject* mediaObject(const SMediaItem& item) = 0;
    virtual IMediaLinkItem* linkItem(const SMediaItem& item) = 0;
    virtual IMediaUser* user(mid_t userId) = 0;

signals:
    void activated(mid_t provider);
    void deactivated(mid_t provider);
    void mediaItemAdded(mid_t provider, const SMediaItem& item);
    void mediaItemUpdated(mid_t provider, const SMediaItem& item);
    void serviceUserAdded(mid_t provider, const SServiceUser& user);
    void updateStarted(mid_t provider);
    void updateDone(mid_t provider);
    void serviceError(mid_t provider, const TMediaError error);
};
