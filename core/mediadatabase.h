#pragma once

#include "imediaitemstorage.h"
#include "mediadatabaseitems.h"
#include "mediadatabasekeys.h"
#include "mediadatabaseopen.h"
#include "mediadatabasesms.h"
#include "mediadatabasesync.h"
#include "mediadatabaseusers.h"
#include "meskstoragefailure.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>

#include <memory>

class QThread;

// The storage: every item, user, service key, text message and sync record in the SQLite file
// root/mindex.db, downloaded files in root/items/<yyMMdd>, root/media/<yyMMdd> and root/users.
// The root is private to the user (mode 0700 when this object creates it).
//
// open() opens the file, checks it and rebuilds one this version cannot use (CMediaDataBaseOpen, in
// mediadatabaseopen.h, says how): a file that cannot be read now and any other failure to open leave
// everything as it is and make open() false; openFailure() then says why. A file renamed aside by a rebuild
// is named until the user has been told (replacedDatabaseCopies(), dropReplacedNotice()).
// Every open adds the indexes the queries need to a file that lacks them.
//
// Each object has its own connection and keeps its prepared statements. Used only on the thread that
// opened it (asserted in debug builds). Outside a batch every operation is its own transaction;
// inside one (beginBatch/endBatch, or CMediaStorageBatch) all of them join a single transaction, and
// the files of items and users deleted in it are removed after its commit.
class CMediaDataBase : public IMediaItemStorage
{
    Q_OBJECT
public:
    static constexpr int SchemaVersion = CMediaDataBaseOpen::SchemaVersion;

    explicit CMediaDataBase(const QString& root, QObject* parent = nullptr);
    ~CMediaDataBase() override;

    QString root() const { return m_root; }
    QString databasePath() const;

    bool open() override;

    bool beginBatch(Commit commit) override;
    bool endBatch() override;

    // Why the last open() failed (Kind::None after one that succeeded). A root or database file the user
    // may not write (or read) is told as such; otherwise, when the disk has no room left, a full disk is
    // told whatever failed first.
    TMeskStorageFailure openFailure() const { return m_lastOpen.failure; }

    // The database files this version could not use (damaged, or of another schema) that this or an earlier
    // open() renamed aside, building a new, empty one, while the user has not been told: the copies
    // root/mindex.notice names, oldest first. A copy that no longer exists is not named (and leaves the
    // notice). Empty after a failed open().
    QList<SMediaDataBaseCopy> replacedDatabaseCopies() const { return m_lastOpen.copies; }
    // The user has been told of the copies: the notice in the storage folder root goes.
    static void dropReplacedNotice(const QString& root);

    // Whether the last open() ran the quick check over the whole file.
    bool checkedPagesAtOpen() const { return m_lastOpen.checkedPages; }

    // Test hook: sees every statement this storage runs, with its bound values, before it runs.
    void setStatementObserver(std::function<void(const QString&, const QVariantList&)> observer);

    bool addSmsMessage(SSmsMessage& message) override;
    bool updateSmsMessage(const SSmsMessage& message) override;
    bool deleteSmsMessage(mid_t id) override;
    QList<SSmsMessage> smsMessages(bool* ok = nullptr) override;
    QList<SSmsMessage> smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                          bool* ok = nullptr) override;
    QDateTime latestSmsMessageAtOrBefore(const QDateTime& upper, bool* ok = nullptr) override;
    QList<mid_t> sameSmsMessages(const SSmsMessage& message, bool withCreated, bool* ok = nullptr) override;
    QList<SSmsOnModem> smsOnModem(bool* ok = nullptr) override;
    bool addSmsOnModem(SSmsOnModem& entry) override;
    bool updateSmsOnModem(const SSmsOnModem& entry) override;
    bool deleteSmsOnModem(mid_t id) override;
    bool clearSmsOnModemOrigins() override;

    bool addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields = {}) override;
    bool mediaItem(mid_t id, SMediaItem& item, bool* ok = nullptr) override;
    bool updateMediaItem(const SMediaItem& item) override;
    void setMediaItemField(mid_t item, const QHash<QString, QString>& fields) override;
    void mediaItemFields(mid_t item, QHash<QString, QString>& fields, bool* ok = nullptr) override;
    QList<QPair<QString, QString>> mediaItemFieldList(mid_t item, bool* ok = nullptr) override;
    QList<SMediaItem> childItems(mid_t parent, bool* ok = nullptr) override;
    QList<SMediaItem> eventItemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                        bool* ok = nullptr) override;
    QList<SMediaItem> eventItems(mid_t provider, bool* ok = nullptr) override;
    QDateTime latestEventAtOrBefore(const QDateTime& upper, mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                          bool* ok = nullptr) override;
    QList<SMediaItem> mediaObjects(mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> linkItemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                       bool* ok = nullptr) override;
    QList<SMediaItem> linkItems(mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> itemByMediaId(mid_t provider, const QString& mediaId, bool* ok = nullptr) override;
    QList<SMediaItem> itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                         mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> itemsByType(int type, mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                   bool* ok = nullptr) override;
    QList<SMediaItem> providerItems(mid_t provider, bool* ok = nullptr) override;
    QList<SMediaItem> itemsByContent(mid_t provider, const QString& text, bool* ok = nullptr) override;
    QDateTime latestItem(mid_t provider, bool* ok = nullptr) override;
    QString itemsByMediaIdDesc(mid_t provider, bool* ok = nullptr) override;
    bool deleteMediaItem(mid_t id) override;
    bool deleteProviderItems(mid_t provider) override;

    bool addServiceUser(SServiceUser& user) override;
    bool serviceUser(mid_t id, SServiceUser& user, bool* ok = nullptr) override;
    bool updateServiceUser(const SServiceUser& user) override;
    void setServiceUserField(mid_t user, const QHash<QString, QString>& fields) override;
    void serviceUserFields(mid_t user, QHash<QString, QString>& fields, bool* ok = nullptr) override;
    QList<SServiceUser> serviceUserByMediaId(mid_t provider, const QString& mediaId,
                                             bool* ok = nullptr) override;
    QList<SServiceUser> serviceUsers(mid_t provider, bool* ok = nullptr) override;
    QList<SServiceUser> findServiceUsers(mid_t provider, const QString& name, bool* ok = nullptr) override;
    bool deleteServiceUser(mid_t id) override;
    bool deleteProviderUsers(mid_t provider) override;

    QString itemFilePath(const SMediaItem& item, const QString& suffix) override;
    QString mediaFilePath(const SMediaItem& item, const QString& suffix) override;
    QString userFilePath(mid_t user, const QString& suffix) override;
    QString userImagePath(mid_t user, const QString& imageUrl) override;

    bool setServiceKey(mid_t provider, const QString& key, const QString& value) override;
    bool serviceKey(mid_t provider, const QString& key, QString& value, bool* ok = nullptr) override;
    bool deleteServiceKeys(mid_t provider) override;
    bool deleteServiceKey(mid_t provider, const QString& key) override;

    bool setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod) override;
    bool setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod) override;
    bool addSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod) override;
    bool cleanup(bool onlyExpired) override;
    QList<SMediaItem> syncRecords(mid_t provider, bool* ok = nullptr) override;

private:
    QString folder(const char* name) const;
    // The folders of one batch whose files go after its commit: file ids per folder, and whether the
    // folder itself goes once it is empty.
    struct SPendingFolder
    {
        QSet<mid_t> ids;
        bool removeFolder = false;
    };

    void checkThread(const char* operation) const;
    void closeDatabase();
    void openBatch(Commit commit = Commit::Normal);
    // Ends one level of the batch; true when the outermost end committed (or an inner end leaves a
    // batch that has not failed). The files of the rows it deleted are removed after the commit: one
    // that cannot be removed is logged and stays, and the batch is committed all the same.
    bool closeBatch();
    QString numberedFilePath(const QString& folder, mid_t id, const QString& suffix);
    // The folder of an item's files: base/<yyMMdd> of its local creation day, or base itself for an
    // item without a date. The first form takes the date as stored and needs the zone read (tzset).
    QString dayFolder(const char* base, qint64 created) const;
    QString dayFolder(const char* base, const SMediaItem& item) const;
    // Lists the folder once and removes every file named "<id>.<anything>" of the given ids.
    bool removeFilesIn(const QString& folder, const SPendingFolder& pending);
    void queueFileRemoval(const QString& folder, mid_t id, bool removeFolder);
    // Queues the item's files in items and media, in every day folder they may have been filed under;
    // created is the date as stored. Needs the zone read.
    void queueItemFiles(mid_t id, qint64 created);
    // Removes the files queued for the committed batch; false when one of them stays.
    bool removePendingFiles();
    bool deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited);
    // Emits storageFailed() for a read or write of the table objects that failed once the storage is
    // open, and keeps the close from vouching for the file.
    void tellFailure(const QSqlError& error, CMediaDataBaseConnection::Access access);

    CMediaDataBaseKeys m_keys;
    CMediaDataBaseUsers m_users;
    CMediaDataBaseItems m_items;
    CMediaDataBaseSms m_messages;
    CMediaDataBaseSync m_sync;
    std::shared_ptr<CMediaDataBaseConnection> m_connection;
    QSqlDatabase m_database;
    QString m_root;
    QString m_connectionName;
    QThread* m_thread = nullptr;
    QHash<QString, SPendingFolder> m_pendingFiles;
    // Dated items' files by local day (days since 1970-01-01): looked for in items/ and media/.
    QHash<qint64, QSet<mid_t>> m_pendingDays;
    SMediaDataBaseOpened m_lastOpen;
    bool m_opened = false;
    // A read or write failed since the open: the close leaves no clean-close record.
    bool m_failed = false;
    // A committed batch left files of its deleted rows that could not be removed.
    bool m_filesLeft = false;
};
