#pragma once

#include "imediaitemstorage.h"
#include "mediadatabaseitems.h"
#include "mediadatabasekeys.h"
#include "mediadatabasesms.h"
#include "mediadatabasesync.h"
#include "mediadatabaseusers.h"

#include <QSet>
#include <QSqlDatabase>

// The storage: every item, user, service key, text message and sync record in the SQLite file
// root/mindex.db, downloaded files in root/items/<yyMMdd>, root/media/<yyMMdd> and root/users.
// The root is private to the user (mode 0700 when this object creates it).
//
// open() builds a missing database; a file that opens but fails the schema check (a table or the
// version row missing, another version, or not an SQLite database at all) is renamed to
// mindex.db.bak-<time stamp> before a new one is built, so no text message or account key is lost
// silently. Any other failure to open leaves everything as it is and makes open() false.
//
// Each object has its own connection; GUI thread only.
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

    bool addSmsMessage(SSmsMessage& message) override;
    bool updateSmsMessage(const SSmsMessage& message) override;
    bool deleteSmsMessage(mid_t id) override;
    QList<SSmsMessage> smsMessages() override;

    bool addMediaItem(SMediaItem& item) override;
    bool mediaItem(mid_t id, SMediaItem& item) override;
    bool updateMediaItem(const SMediaItem& item) override;
    void setMediaItemField(mid_t item, const QHash<QString, QString>& fields) override;
    void mediaItemFields(mid_t item, QHash<QString, QString>& fields) override;
    QList<SMediaItem> childItems(mid_t parent) override;
    QList<SMediaItem> eventItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                        mid_t provider) override;
    QList<SMediaItem> eventItems(mid_t provider) override;
    QList<SMediaItem> mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower,
                                          mid_t provider) override;
    QList<SMediaItem> mediaObjects(mid_t provider) override;
    QList<SMediaItem> linkItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                       mid_t provider) override;
    QList<SMediaItem> linkItems(mid_t provider) override;
    QList<SMediaItem> itemByMediaId(mid_t provider, const QString& mediaId) override;
    QList<SMediaItem> itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                         mid_t provider) override;
    QList<SMediaItem> itemsByType(int type, mid_t provider) override;
    QList<SMediaItem> itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider) override;
    QList<SMediaItem> providerItems(mid_t provider) override;
    QList<SMediaItem> itemsByContent(mid_t provider, const QString& text) override;
    QDateTime latestItem(mid_t provider) override;
    QString itemsByMediaIdDesc(mid_t provider) override;
    bool deleteMediaItem(mid_t id) override;
    bool deleteProviderItems(mid_t provider) override;

    bool addServiceUser(SServiceUser& user) override;
    bool serviceUser(mid_t id, SServiceUser& user) override;
    bool updateServiceUser(const SServiceUser& user) override;
    void setServiceUserField(mid_t user, const QHash<QString, QString>& fields) override;
    void serviceUserFields(mid_t user, QHash<QString, QString>& fields) override;
    QList<SServiceUser> serviceUserByMediaId(mid_t provider, const QString& mediaId) override;
    QList<SServiceUser> serviceUsers(mid_t provider) override;
    QList<SServiceUser> findServiceUsers(mid_t provider, const QString& name) override;
    bool deleteServiceUser(mid_t id) override;
    bool deleteProviderUsers(mid_t provider) override;

    QString itemFilePath(const SMediaItem& item, const QString& suffix) override;
    QString mediaFilePath(const SMediaItem& item, const QString& suffix) override;
    QString userFilePath(mid_t user, const QString& suffix) override;
    QString userImagePath(mid_t user, const QString& imageUrl) override;

    bool setServiceKey(mid_t provider, const QString& key, const QString& value) override;
    bool serviceKey(mid_t provider, const QString& key, QString& value) override;
    bool deleteServiceKeys(mid_t provider) override;

    bool setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod) override;
    bool setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod) override;
    bool cleanup(bool onlyExpired) override;
    QList<SMediaItem> syncRecords(mid_t provider) override;

private:
    // Valid: ready. Empty: a new file without tables. Mismatch: built by something else or damaged,
    // moved aside and built anew. Failed: cannot be read now; left as it is.
    enum class SchemaState
    {
        Valid,
        Empty,
        Mismatch,
        Failed
    };

    QString folder(const char* name) const;
    bool initFileSystem();
    bool openDatabase();
    void configureConnection();
    void setTableDatabases(const QSqlDatabase& database);
    SchemaState checkSchema();
    bool rebuild(bool moveAside);
    bool moveDatabaseAside();
    bool clearFolder(const QString& path);
    QString numberedFilePath(const QString& folder, mid_t id, const QString& suffix);
    QString dayFolder(const char* base, const SMediaItem& item) const;
    bool removeFilesIn(const QString& folder, mid_t id, bool removeEmptyFolder);
    bool removeItemFiles(const SMediaItem& item);
    bool removeUserFiles(mid_t user);
    bool deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited);

    CMediaDataBaseKeys m_keys;
    CMediaDataBaseUsers m_users;
    CMediaDataBaseItems m_items;
    CMediaDataBaseSms m_messages;
    CMediaDataBaseSync m_sync;
    QSqlDatabase m_database;
    QString m_root;
    QString m_connectionName;
};
