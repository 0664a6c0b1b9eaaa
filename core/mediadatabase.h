#pragma once

#include "imediaitemstorage.h"
#include "mediadatabaseitems.h"
#include "mediadatabasekeys.h"
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
// open() builds a missing database; a file that opens but fails the schema check (a table or the
// version row missing, another version, or not an SQLite database at all) is renamed to
// mindex.db.bak-<time stamp> before a new one is built, so no text message or account key is lost
// silently; so is a file that fails SQLite's quick check (damaged pages). Damage counts only when found
// again after the file was read through and checked anew: SQLite tells a read the device failed as
// damage, and a failing device leaves the store as it is and makes open() false. The quick check reads the
// whole file; it is skipped only when the file is exactly what this class left at a clean close
// (recorded in root/mindex.clean, which every open removes before anything is written). A root or a database
// file the user cannot write (or a -wal or -shm that SQLite can only read: the write lock is taken once at
// every open), a mindex.db that links to nothing while downloaded files are kept, and any other failure to
// open, leave everything as it is and make open() false; openFailure() then says why.
// A rebuild that renames the file first notes the copy's name in root/mindex.notice, which stays until
// the user has been told (replacedDatabaseCopy(), dropReplacedNotice()); the downloaded files of the old
// database go only once the new one is committed.
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
    static constexpr int SchemaVersion = 2;

    explicit CMediaDataBase(const QString& root, QObject* parent = nullptr);
    ~CMediaDataBase() override;

    QString root() const { return m_root; }
    QString databasePath() const;

    bool open() override;

    bool beginBatch() override;
    bool endBatch() override;

    // Why the last open() failed (Kind::None after one that succeeded). A root or database file the user
    // may not write (or read) is told as such; otherwise, when the disk has no room left, a full disk is
    // told whatever failed first.
    TMeskStorageFailure openFailure() const { return m_failure; }

    // The full path a database file this version cannot use (damaged, or of another schema) was renamed
    // to by this or an earlier open(), which then built a new, empty one, while the user has not been
    // told: the copy root/mindex.notice names. Empty when there is none, when the copy no longer exists
    // (the notice is then dropped), or after a failed open().
    QString replacedDatabaseCopy() const { return m_replacedCopy; }
    // Whether that copy was made by another version of the program (another schema version) rather than
    // damaged.
    bool replacedCopyIsOtherVersion() const { return m_otherVersion; }
    // The user has been told of the copy: the notice in the storage folder root goes.
    static void dropReplacedNotice(const QString& root);

    // Whether the last open() ran the quick check over the whole file.
    bool checkedPagesAtOpen() const { return m_checkedPages; }

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
    bool cleanup(bool onlyExpired) override;
    QList<SMediaItem> syncRecords(mid_t provider, bool* ok = nullptr) override;

private:
    // Valid: ready. Empty: a new file without tables. Mismatch: built by something else, moved aside
    // and built anew. Damaged: SQLite's error or its quick check says so (confirmed before the file is
    // moved aside and built anew). Failed: cannot be read now; left as it is.
    enum class SchemaState
    {
        Valid,
        Empty,
        Mismatch,
        Damaged,
        Failed
    };

    QString folder(const char* name) const;
    bool initFileSystem();
    // The folders of one batch whose files go after its commit: file ids per folder, and whether the
    // folder itself goes once it is empty.
    struct SPendingFolder
    {
        QSet<mid_t> ids;
        bool removeFolder = false;
    };

    void checkThread(const char* operation) const;
    bool isWritable();
    // The body of open() after the write check: false with m_failure set where the cause is known.
    bool openWritable();
    bool failed(TMeskStorageFailure::Kind kind, const QString& path);
    bool failedInSqlite(const QSqlError& error);
    bool openDatabase();
    void closeDatabase();
    void configureConnection();
    bool createIndexes();
    void setTableDatabases(const QSqlDatabase& database);
    SchemaState checkSchema();
    // After checkSchema() found damage: the file and its log read through and checked again on a new
    // connection. Damaged (or Mismatch) when the damage is found again; Failed (a read error) when a read
    // fails or the second check passes.
    SchemaState confirmDamage();
    // Closes the database and keeps the file as one that cannot be read now (words for the user, seen
    // for the log).
    SchemaState readFailed(const QString& path, const QString& words, const QString& seen);
    // Takes and gives back the write lock: false, with the -wal or -shm that cannot be written named, when
    // SQLite opened the store read-only.
    bool proveWritable();
    // A mindex.db that links to nothing while downloaded files are kept: the failure is set.
    bool isDatabaseLinkBroken();
    // Reads and removes the clean-close record; true when it says the file is unchanged since then.
    bool takeCleanCloseRecord();
    void writeCleanCloseRecord();
    void openBatch();
    bool closeBatch();
    bool rebuild(bool moveAside);
    // Writes and commits the schema into the open (or a new) database file.
    bool buildSchema();
    // Renames the database file aside, after noting the copy's name and why in root/mindex.notice.
    bool moveDatabaseAside();
    void readNotice();
    // A rebuild moves each folder of downloaded files to <folder>.replaced and makes an empty one in
    // its place; after the commit the moved ones are removed, after a failure they are put back. An open
    // that finds the database valid removes any left by a stop; a rebuild takes them as moved.
    // A folder that cannot be moved (a mount point, another file system) or that is a link stays where
    // it is, named in root/mindex.emptying, and is emptied (through the link) after the commit; an open
    // that finds the database valid finishes an emptying a stop cut short.
    bool moveFilesAside();
    void restoreFilesAside();
    void dropFilesAside();
    // Removes everything in the folder; what cannot be removed is added to left.
    bool clearFolder(const QString& path, QStringList* left = nullptr);
    // Removes a folder and everything in it, or a file or link; true when nothing is left there.
    bool removeTree(const QString& path);
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
    bool removePendingFiles();
    bool deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited);
    // Emits readError() for a read of the table objects that failed once the storage is open.
    void tellReadFailure(const QSqlError& error);

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
    TMeskStorageFailure m_failure;
    QString m_replacedCopy;
    // The schema check found another version's file, or the notice says the copy is one.
    bool m_otherVersion = false;
    bool m_opened = false;
    bool m_checkedPages = false;
};
