#pragma once

#include "facebookapi.h"
#include "facebookrecords.h"
#include "imediaitemprovider.h"
#include "meskhttpresponse.h"

#include <QPixmap>

class CFacebookAuth;
class CFacebookEventManager;
class CFacebookObjectManager;
class CFacebookSync;
class CFacebookTextPoster;

// The Facebook service provider (id 2). It owns the REST api, the authorisation, the object
// cache, the update cycle with its sync records and the status poster, keeps the account's
// session in the service keys "session_id", "session_secret", "user_id" and "user_name",
// and turns its helpers' signals into the provider's signals. GUI thread only.
class CFacebookProvider : public IMediaItemProvider
{
    Q_OBJECT
public:
    explicit CFacebookProvider(QObject* parent = nullptr);
    ~CFacebookProvider() override;

    // The application's key compiled into the program.
    static QString apiKey() { return QStringLiteral(LUMESK_FACEBOOK_API_KEY); }

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

    // For tests.
    CFacebookAuth* auth() const { return m_auth; }
    CFacebookObjectManager* objectManager() const { return m_objects; }

private slots:
    void _onUserAdded(const QString& sessionKey, const QString& sessionSecret, const SFacebookUser& user);
    void _onUserRemoved();
    void _onStatusUpdated(const QString& text, const QString& postId);
    void _onUserAdded(mid_t id);
    void _onEventAdded(const SMediaItem& item);
    void _onEventUpdated(const SMediaItem& item);
    void _onUpdateStarted();
    void _onUpdateDone();
    void _onProtocolError(TMediaError error);
    void _onNetworkError(TMeskHttpError error);

private:
    CFacebookApi m_api;
    CFacebookAuth* m_auth = nullptr;
    CFacebookEventManager* m_events = nullptr;
    CFacebookObjectManager* m_objects = nullptr;
    CFacebookTextPoster* m_textPoster = nullptr;
    CFacebookSync* m_sync = nullptr;
    IMediaItemStorage* m_storage = nullptr;
    // Loaded when first asked for.
    mutable QPixmap m_logo;
};
