#pragma once

#include "flickrapi.h"
#include "imediaitemprovider.h"
#include "meskhttpresponse.h"

#include <QPixmap>

class CFlickrAuth;
class CFlickrEventManager;
class CFlickrObjectManager;
class CFlickrSync;

// The Flickr service provider (id 3). It owns the request builder, the authorisation, the
// update run, the object cache and the sync records, turns their signals into the provider's
// signals, keeps the account keys ("key", "user_id", "user_name") in SERVICEKEYS and answers
// the views' lookups of events, photos and users. Flickr's one feed event is the photo post
// (item type 2), whose children are the photos (type 5). GUI thread only.
class CFlickrProvider : public IMediaItemProvider
{
    Q_OBJECT
public:
    explicit CFlickrProvider(QObject* parent = nullptr);
    ~CFlickrProvider() override;

    // The application's key and shared secret.
    static QString apiKey() { return QStringLiteral(LUMESK_FLICKR_API_KEY); }
    static QString sharedSecret() { return QStringLiteral(LUMESK_FLICKR_SHARED_SECRET); }

    mid_t providerId() const override;
    QString name() const override;
    QPixmap icon() const override;
    bool isActivated() const override;
    QString userName() const override;
    QString emptyText() const override;
    int setupMode() const override;
    void itemHook(mid_t item) override;
    void setup(QWidget* parent) override;
    void removeAccount() override;
    bool supportsService(int serviceType) const override;
    IMediaServiceUpdate* service(int serviceType) override;
    void setStorage(IMediaItemStorage* storage) override;
    bool isReady() const override;
    void update() override;
    IMediaItemWidget* createItemWidget(const SMediaItem& item) override;
    void itemText(const SMediaItem& item, QString& text) override;
    IMediaEventItem* eventObject(const SMediaItem& item) override;
    IMediaObject* mediaObject(const SMediaItem& item) override;
    IMediaLinkItem* linkItem(const SMediaItem& item) override;
    IMediaUser* user(mid_t userId) override;

    // For the setup page and tests.
    CFlickrAuth* auth() const { return m_auth; }
    CFlickrObjectManager* objectManager() const { return m_objects; }

private slots:
    void _onUserChanged(const QString& token, const QString& secret, const QString& userId,
                        const QString& userName);
    void _onUserAdded(mid_t id);
    void _onEventAdded(const SMediaItem& item);
    void _onEventUpdated(const SMediaItem& item);
    void _onUpdateStarted();
    void _onUpdateDone();
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);

private:
    CFlickrApi m_api;
    CFlickrAuth* m_auth;
    CFlickrEventManager* m_events;
    CFlickrObjectManager* m_objects;
    CFlickrSync* m_sync;
    IMediaItemStorage* m_storage = nullptr;
    // Loaded when first asked for.
    mutable QPixmap m_logo;
};
