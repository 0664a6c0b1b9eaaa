#pragma once

#include "imesksms.h"
#include "mediadatabaseopen.h"
#include "meskrecords.h"
#include "meskstoragefailure.h"

#include <QList>
#include <QObject>
#include <QString>

class CMeskNetworkManager;
class CMeskProviderManager;
class CMeskUpdateManager;
class IMediaItemProvider;
class IMediaItemStorage;
class IMediaItemWidget;
class IMediaLinkItem;
class IMediaObject;
class IMediaSmsSender;
class IMediaUpdateManager;
class IMediaUser;
class QTimer;

// The one object through which the views reach everything that is not a
// widget: the media database, the service providers, posting, network and
// cellular state, SMS and phone contacts. It builds and owns those
// components, runs the periodic update of the providers, and gathers their
// signals into its own, all delivered on the GUI thread.
//
// The SMS engine and the contacts reader come from the factories registered
// with MeskSmsFactories; without them the engine answers neutrally (false, SMS
// state 1, empty lists). Lives on the GUI thread; every operation is called there.
class CMeskEngine : public QObject
{
    Q_OBJECT
public:
    explicit CMeskEngine(QObject* parent = nullptr);
    ~CMeskEngine() override;

    // Opens the storage, fixes up text messages left being sent, starts the
    // SMS engine, loads and connects the providers, initialises the contacts
    // reader. Emits ready() and returns true, or emits initFailed() and
    // returns false when the storage cannot be opened.
    bool init();
    // Why the last init() failed, for the user (Kind::None after one that succeeded; HomeNotSet for any
    // failure while HOME and XDG_DATA_HOME are both unset or empty, HomeNotFound while the storage lies
    // below a HOME that names no folder).
    TMeskStorageFailure storageFailure() const { return m_storageFailure; }
    // Where stored databases that could not be used (damaged, or of another version) were kept before
    // a start with empty data, while the user has not been told (by this init() or earlier starts
    // that ended before they told): each renamed file's full path and why, oldest first.
    QList<SMediaDataBaseCopy> damagedStorageCopies() const { return m_damagedStorageCopies; }
    // The user has been told of the copies: no later start tells again.
    void damagedStorageCopyTold();
    // The first read or write of the storage that failed in this run (Kind::None when none has): the
    // database file cannot be read (FileNotReadable), or what was to be stored could not be saved
    // (NotSaved), with SQLite's words. One that fails during init() fails it with this failure;
    // storageAccessFailed() tells the first one after it.
    TMeskStorageFailure storageAccessFailure() const { return m_accessFailure; }
    // The folder of the storage init() opens (below the application's local data folder).
    static QString storageFolder();
    bool isReady() const { return m_ready; }
    // The start failed (in init(), which calls it, or in the window's first fill): stops the SMS
    // engine, so that nothing of it runs behind the box that tells the failure (it would store and
    // announce messages no window takes, and delete them from the modem).
    void stopSmsForFailedStart();
    // Drops the stored events that no provider lists any more; nothing after a read or a write of the
    // storage failed in this run (what was read then may have been taken for nothing there, and a sync
    // list that was not written lacks this run's events).
    void cleanupStorage();
    // Minutes between periodic updates; at least 1.
    void setUpdateInterval(int minutes);
    int updateInterval() const { return m_updateInterval; }
    IMediaUpdateManager* updateManager() const;

    // Network and cellular state.
    int networkType() const;
    bool isInternetConnected() const;
    int cellularState() const;
    int cellularSignal() const;
    QString operatorName() const;
    QString ownPhoneNumber() const;

    // Text messages.
    TMeskSmsState smsState() const;
    bool isSmsSupported() const;
    bool isSmsReady() const;
    bool readSimMessages();
    bool sendSms(const QString& phone, const QString& text);
    // Deletes the stored message; emits smsMessageDeleted() when it was deleted.
    bool deleteSmsMessage(const SSmsMessage& message);
    void smsTextLength(const QString& text, int* used, int* left, int* parts);
    // The reads below set ok (when given) to whether the storage could be read; a failed one answers
    // empty or null.
    QList<SSmsMessage> smsMessages(bool* ok = nullptr) const;
    QList<SPhoneContact> contacts() const;
    QList<SPhoneContact> findContacts(const QString& text) const;

    // Stored items and users.
    QList<SMediaItem> mediaEvents(bool* ok = nullptr) const;
    QList<SMediaItem> providerMediaEvents(mid_t provider, bool* ok = nullptr) const;
    // Reads by creation time for the day-by-day fills (provider 0: all): the newest time at or
    // before upper (null when none), and what lies within [lower, upper] (see IMediaItemStorage).
    QDateTime latestMediaEvent(const QDateTime& upper, mid_t provider = 0, bool* ok = nullptr) const;
    QList<SMediaItem> mediaEventsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider = 0,
                                         bool* ok = nullptr) const;
    QDateTime latestSmsMessage(const QDateTime& upper, bool* ok = nullptr) const;
    QList<SSmsMessage> smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                          bool* ok = nullptr) const;
    QList<SServiceUser> serviceUsers(bool* ok = nullptr) const;
    QList<SServiceUser> providerServiceUsers(mid_t provider, bool* ok = nullptr) const;
    void deleteAllItems();

    // Providers.
    QList<IMediaItemProvider*> providers() const;
    IMediaItemProvider* provider(mid_t id) const;
    int providerCount() const;
    QList<IMediaItemProvider*> activeProviders() const;
    int activeProviderCount() const;
    // The first provider's SMS sender (service type 1); null when none offers one.
    IMediaSmsSender* findProviderFeature() const;

    // Item objects. The objects belong to their providers; callers never delete them.
    IMediaItemWidget* createItemWidget(const SMediaItem& item);
    // ok (when given) tells whether the storage could be read; the lists are empty when not.
    QList<IMediaObject*> loadMediaContent(bool* ok = nullptr);
    IMediaItemProvider* mediaObjectProvider(IMediaObject* object) const;
    IMediaUser* mediaObjectUser(IMediaObject* object) const;
    QList<IMediaLinkItem*> loadMediaLinks(bool* ok = nullptr);
    IMediaItemProvider* linkItemProvider(IMediaLinkItem* link) const;
    IMediaUser* linkItemUser(IMediaLinkItem* link) const;

signals:
    void ready();
    void internetConnected();
    void networkChanged();
    void cellularStateChanged();
    void cellularSignalChanged();
    void smsStateChanged(TMeskSmsState state);
    void initFailed();
    // The first read or write of the storage that failed after init() succeeded (once per run).
    void storageAccessFailed(const TMeskStorageFailure& failure);
    void internetDisconnected();
    void smsInitFailed();
    void smsMessageSendFailed(const SSmsMessage& message);
    void smsSimMessageReady(const SSmsMessage& message);
    void smsNewMessageReceived(const SSmsMessage& message);
    void smsMessageSent(const SSmsMessage& message);
    void smsMessageSendDone(const SSmsMessage& message);
    void smsMessageDeleted(const SSmsMessage& message);
    // The phone contacts are there (read after the start, off the GUI thread): views that show
    // names look them up again.
    void contactsChanged();
    void serviceEventAdded(const SMediaItem& item);
    void serviceEventUpdated(const SMediaItem& item);
    void serviceUserAdded(mid_t provider, const SServiceUser& user);
    void serviceActivated(mid_t provider);
    void serviceDeactivated(mid_t provider);
    void serviceUpdateStarted(mid_t provider);
    void serviceUpdateDone(mid_t provider);
    void serviceError(mid_t provider, const TMediaError error);

public slots:
    // Runs an update at once when a provider was activated since the last
    // call, then (re)starts the periodic update.
    void startUpdates();
    void stopUpdates();
    // Asks every activated provider to update, when the Internet is connected.
    void doUpdates();

private slots:
    void _onServiceActivated(mid_t provider);
    void _onMediaItemAdded(mid_t provider, const SMediaItem& item);
    void _onMediaItemUpdated(mid_t provider, const SMediaItem& item);
    void _onServiceUserAdded(mid_t provider, const SServiceUser& user);

private:
    bool openStorage();
    void releaseStorage();
    void failSentMessages();
    void connectSmsEngine();
    void connectProviders();
    IMediaUser* itemUser(IMediaItemProvider* provider, const SMediaItem& item) const;

    IMediaItemStorage* m_storage = nullptr;
    CMeskProviderManager* m_providerManager = nullptr;
    CMeskUpdateManager* m_updateManager = nullptr;
    CMeskNetworkManager* m_networkManager = nullptr;
    IMeskSmsEngine* m_smsEngine = nullptr;
    IMeskContactsReader* m_contacts = nullptr;
    QTimer* m_updateTimer = nullptr;
    TMeskStorageFailure m_storageFailure;
    QList<SMediaDataBaseCopy> m_damagedStorageCopies;
    TMeskStorageFailure m_accessFailure;
    bool m_ready = false;
    bool m_updatePending = false;
    int m_updateInterval = 5;
};
