#pragma once

#include "meskstoragefailure.h"

#include <QByteArrayList>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

class CMediaDataBaseConnection;
class QSqlError;

// A copy a rebuild renamed the database file to (its full path), and whether another version of the
// program made it (another schema version) rather than it being damaged.
struct SMediaDataBaseCopy
{
    QString path;
    bool otherVersion = false;

    bool operator==(const SMediaDataBaseCopy&) const = default;
};

// What opening a storage found.
struct SMediaDataBaseOpened
{
    bool ok = false;
    // Why it failed (Kind::None when it succeeded).
    TMeskStorageFailure failure;
    // Every copy the user has not been told of yet, oldest first (root/mindex.notice names them).
    QList<SMediaDataBaseCopy> copies;
    // The quick check ran over the whole file.
    bool checkedPages = false;
};

// One of the small files the storage keeps beside its database: mindex.clean, mindex.notice,
// mindex.emptying. Written whole or not at all (a temporary sibling renamed over the name), read as lines;
// a link there is never followed.
class CMediaDataBaseMarker
{
public:
    // Whether a write must reach the disk before anything that depends on it is done.
    enum class Durability
    {
        Synced,
        Unsynced
    };
    // What read() found: whether there is a regular file, its lines (each without its line end; the last
    // one is empty when the file ends with a line end), and the file's change time.
    struct SContent
    {
        bool exists = false;
        QByteArrayList lines;
        qint64 changed = 0;
        qint64 changedNs = 0;
    };

    CMediaDataBaseMarker(const QString& root, const QString& name);

    QString path() const { return m_path; }
    bool write(const QByteArrayList& lines, Durability durability) const;
    SContent read() const;
    // True when nothing is left at the name; with Synced, once the removal is on the disk.
    bool remove(Durability durability) const;

    // Test hook: called just before a synced write syncs its temporary file, with that file's path and
    // its size then. Empty: none.
    using SyncObserver = std::function<void(const QString& file, qint64 size)>;
    static void setSyncObserver(SyncObserver observer);

private:
    static inline SyncObserver s_syncObserver;
    QString m_path;
};

// Opens a storage's database and recovers it: the storage folder and its folders of downloaded files, the
// file's check, the rebuild of a file this version cannot use (the copy noted before it is renamed aside,
// the old downloaded files removed only once the new file is committed), and the clean-close record.
// Read it from open() downwards.
//
// A missing database is built. A file that opens but fails the schema check (a table or the version row
// missing, another version, or not an SQLite database at all) is renamed to mindex.db.bak-<time stamp>
// before a new one is built, so no text message or account key is lost silently; so is a file that fails
// SQLite's quick check (damaged pages). Damage counts only when found again after the file was read through
// and checked anew: SQLite tells a read the device failed as damage, and a failing device leaves the store as
// it is and fails the open. The quick check reads the whole file; it is skipped only when the file is exactly
// what the last clean close left (root/mindex.clean, which every open removes before anything is written). A
// root or a database file the user cannot write (or a -wal or -shm that SQLite can only read: the write lock
// is taken once at every open), a mindex.db that links to nothing while downloaded files are kept, and any
// other failure leave everything as it is. A rebuild that renames the file first adds the copy's name to
// root/mindex.notice, which keeps every copy until the user has been told. Only regular files by the names
// the program makes (MediaDataBaseNames) are ever removed from the folders of downloaded files, and none
// from a folder the user linked or mounted there: those move into a replaced-<date-time> folder in it, and
// one that cannot be moved stays where it is (logged; the open goes on).
class CMediaDataBaseOpen
{
public:
    static constexpr int SchemaVersion = 2;
    // The service key (under provider 0) that holds the schema version.
    static const QString SchemaVersionKey;

    // The schema steps come from the storage's tables: createTables makes every table and writes the
    // version row; createIndexes adds what the queries need (IF NOT EXISTS). Both run on the connection.
    CMediaDataBaseOpen(const QString& root, const QString& connectionName,
                       CMediaDataBaseConnection& connection, std::function<bool()> createTables,
                       std::function<bool()> createIndexes);

    // Opens the database file at root/mindex.db; on success the connection holds it, ready.
    SMediaDataBaseOpened open();

    // The storage's database file, root/mindex.db.
    static QString databasePath(const QString& root);
    // Drops the connection's statements and batch and closes its database.
    static void close(CMediaDataBaseConnection& connection);
    // Records that the database file is exactly as a clean close leaves it, so the next open may skip the
    // quick check. Nothing is recorded while a log waits beside the file.
    static void writeCleanCloseRecord(const QString& root);
    // The user has been told of the copies: the notice in the storage folder root goes.
    static void dropNotice(const QString& root);

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
    // What the schema check found, for the steps after it.
    struct SSchemaCheck
    {
        SchemaState state = SchemaState::Failed;
        // Mismatch: the version row holds another whole number, so another version of the program made it.
        bool otherVersion = false;
        // The quick check ran over the whole file.
        bool checkedPages = false;
    };

    QString folder(const char* name) const;
    bool isWritable();
    SMediaDataBaseOpened openWritable();
    // Keeps the first failure as the cause (what fails after it follows from it); false.
    bool failed(const TMeskStorageFailure& failure);
    bool failed(TMeskStorageFailure::Kind kind, const QString& path);
    bool failedInSqlite(const QSqlError& error);
    // A mindex.db that links to nothing while downloaded files are kept: the failure is set.
    bool isDatabaseLinkBroken();
    bool initFileSystem();
    bool openDatabase();
    void closeDatabase();
    // Sets the journal mode and the syncs; false, with the failure set, when the journal mode fails.
    bool configureConnection();
    // Takes and gives back the write lock: false, with the -wal or -shm that cannot be written named, when
    // SQLite opened the store read-only.
    bool proveWritable();
    bool createIndexes();
    // Reads and removes the clean-close record; true when it says the file is unchanged since then.
    bool takeCleanCloseRecord();
    // unchanged: the clean-close record vouches for the file, so its pages need no check.
    SSchemaCheck checkSchema(bool unchanged);
    // After checkSchema() found damage: the file and its log read through and checked again on a new
    // connection. Damaged (or Mismatch) when the damage is found again; Failed (a read error) when a read
    // fails or the second check passes.
    SSchemaCheck confirmDamage();
    // Closes the database and keeps the file as one that cannot be read now (words for the user, seen
    // for the log).
    SchemaState readFailed(const QString& path, const QString& words, const QString& seen);
    // Builds the file anew after the check found it empty, or moves it aside first.
    bool rebuild(const SSchemaCheck& found);
    // Writes and commits the schema into the open (or a new) database file.
    bool buildSchema();
    // The copies root/mindex.notice names that still exist.
    QList<SMediaDataBaseCopy> readNotice() const;
    bool writeNotice(const QList<SMediaDataBaseCopy>& copies) const;
    // Renames the database file aside, after adding the copy's name and why to root/mindex.notice.
    bool moveDatabaseAside(bool otherVersion);
    // A rebuild moves each folder of downloaded files that holds nothing but the program's files to
    // <folder>.replaced and makes an empty one in its place; after the commit the moved ones are removed,
    // after a failure they are put back. A folder that holds anything else stays where it is, named in
    // root/mindex.emptying, and the program's files in it go after the commit. In a folder the user arranged
    // (a link to a folder elsewhere, a mount point) nothing is deleted: the program's files there move into
    // a replaced-<date-time> folder in it before the commit.
    bool moveFilesAside();
    void restoreFilesAside();
    // Removes the folders a rebuild moved aside (an open that finds the database valid removes any left by a
    // stop).
    void dropFilesAside();
    // In the transaction that builds the new store: notes that it owes the emptying root/mindex.emptying
    // names (when moveFilesAside() wrote one).
    bool noteOwedEmptying();
    // Whether the open store owes the emptying of the record that names store (owed); false when that
    // cannot be read.
    bool owesEmptying(const QString& store, bool& owed);
    // The open store owes no emptying any more (a failure is logged).
    void forgetOwedEmptying();
    // Empties the folders root/mindex.emptying names of the program's files (what a committed rebuild left
    // in place, or a stop left to do), when the record names the open store and the store still owes it;
    // then removes the record. A folder the user has linked or mounted since has them moved aside instead.
    void finishEmptying();

    QString m_root;
    QString m_connectionName;
    CMediaDataBaseConnection& m_connection;
    std::function<bool()> m_createTables;
    std::function<bool()> m_createIndexes;
    QSqlDatabase m_database;
    // The cause of a failed open (failed() keeps the first); reset by each open().
    TMeskStorageFailure m_failure;
    // The id of the store a rebuild builds, named in the emptying record it wrote; empty: none written.
    QString m_emptyingStore;
};
