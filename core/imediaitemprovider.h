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

    // Its MeskProvider id: the provider manager registers it under this id, and every stored row and
    // every signal of the provider carries it.
    virtual mid_t providerId() const = 0;
    // The service's name as people read it ("Twitter"), not translated: the settings page, the column
    // header, the post dialog's buttons, the service-error banners and the links pages show it.
    virtual QString name() const = 0;
    // The service's 17 x 17 logo (a 2x image on a scaled screen), null only when it cannot be loaded:
    // the column header, the single stream's header, the settings page, the banners and the toasts
    // show it, and the links pages save it beside their page.
    virtual QPixmap icon() const = 0;
    // An account is configured (its keys are in storage). Asked anew each time: the provider manager's
    // active providers are those answering true; only they are updated and posted to, and only they
    // get a column.
    virtual bool isActivated() const = 0;
    // The account's name on the service, shown on the settings page; empty without an account.
    virtual QString userName() const = 0;
    // Part of the provider interface as it is defined, though nothing in the program asks for it; the
    // providers answer an empty text.
    virtual QString emptyText() const = 0;
    // How the account is set up (MeskSetupMode): with Wizard, the add button of the provider's row on
    // the settings page calls setup(); with any other value it does nothing.
    virtual int setupMode() const = 0;
    // Part of the provider interface as it is defined, though nothing in the program calls it; the
    // providers do nothing.
    virtual void itemHook(mid_t item) = 0;
    // Runs the account set-up wizard modally over parent (from the settings page's add button); an
    // account set up ends with activated().
    virtual void setup(QWidget* parent) = 0;
    // Deletes the provider's items, users, sync records and keys; ends with deactivated(). Called by the
    // settings page's remove button once the user has confirmed.
    virtual void removeAccount() = 0;
    // True when service(serviceType) gives a poster (MeskService). The provider manager lists the text
    // posters (textProviders(), the post dialog's choices); the engine looks for an SMS sender.
    virtual bool supportsService(int serviceType) const = 0;
    // The provider's poster for the service type (an IMediaTextPoster for MeskService::TextPoster, an
    // IMediaSmsSender for MeskService::SmsSender), or null; owned by the provider.
    virtual IMediaServiceUpdate* service(int serviceType) = 0;
    // Called once by the provider manager, right after registration and before any other use: the
    // provider reads its account keys and state from the storage here.
    virtual void setStorage(IMediaItemStorage* storage) = 0;
    // An account is configured and no update run is going. The program itself does not ask: update()
    // starts nothing unless the provider is ready.
    virtual bool isReady() const = 0;
    // Starts one update run, announced by updateStarted() and ended by updateDone(); does nothing while
    // the provider is not ready. The engine calls it for every activated provider on its timer while
    // the Internet is connected, and a service column's refresh button for its own provider.
    virtual void update() = 0;
    // A new feed widget for the item, or null for an item the provider does not show; the caller owns
    // it. The single stream asks through the engine, a service column its own provider.
    virtual IMediaItemWidget* createItemWidget(const SMediaItem& item) = 0;
    // Sets text to the item's text for a notification toast (the author's name and what the item says).
    // It may be HTML: the notifications strip the tags (CMeskNotifications::stripTags) before they cut
    // and show it. Only the notifications call it.
    virtual void itemText(const SMediaItem& item, QString& text) = 0;
    // Item objects belong to the provider; callers never delete them.
    // The event object of a feed event, or null. Part of the provider interface as it is defined,
    // though nothing in the program calls it; Twitter and Facebook answer null.
    virtual IMediaEventItem* eventObject(const SMediaItem& item) = 0;
    // The photo or video of an item of type Image or Video, or null (for any other item, and from a
    // provider without photos and videos). The engine asks for each of the active providers' stored
    // photos and videos when the media browser loads (loadMediaContent()).
    virtual IMediaObject* mediaObject(const SMediaItem& item) = 0;
    // The link of an item of type Link, or null (for any other item, and from a provider without
    // links). The engine asks for each of the active providers' stored links for the links pages
    // (loadMediaLinks()).
    virtual IMediaLinkItem* linkItem(const SMediaItem& item) = 0;
    // The stored service user under the id, or null when there is none. The notifications ask for a
    // toast's author, the engine for the author of a photo, video or link, and for id 0 when that
    // author is not stored (the providers then answer null).
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
