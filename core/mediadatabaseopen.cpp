#include "mediadatabaseopen.h"

#include "mediadatabasefolders.h"
#include "mediadatabasemethod.h"
#include "meskclock.h"
#include "mesksavefile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

using namespace MediaDataBaseFolders;

namespace {

const QString databaseFileName = QStringLiteral("mindex.db");
const QString cleanCloseFileName = QStringLiteral("mindex.clean");
// Names the copies a rebuild renamed the database to, and why, until the user has been told.
const QString noticeFileName = QStringLiteral("mindex.notice");
// The folders of downloaded files a rebuild left in place, to be emptied once the new database is
// committed. Its first line names the store it was written for ("store <id>"), the rest the folders.
const QString emptyingFileName = QStringLiteral("mindex.emptying");
const QByteArray emptyingStorePrefix = "store ";
// The service key (under provider 0) by which a store built by a rebuild owes the emptying its record
// names: written in the transaction that builds it, removed once the folders are emptied.
const QString emptyingKey = QStringLiteral("MDB_EMPTYING");
const QStringList tableNames{QStringLiteral("SERVICEKEYS"),       QStringLiteral("SERVICEUSERS"),
                             QStringLiteral("SERVICEUSERFIELDS"), QStringLiteral("MEDIAITEMS"),
                             QStringLiteral("MEDIAITEMFIELDS"),   QStringLiteral("MEDIASMSMESSAGES"),
                             QStringLiteral("MEDIASYNC")};
// The folders of downloaded files, each named after what it holds.
constexpr const char* fileFolders[] = {"items", "media", "users"};

QString asideFolder(const QString& folder)
{
    return folder + QStringLiteral(".replaced");
}

bool isUsersFolder(const char* base)
{
    return qstrcmp(base, "users") == 0;
}

// SQLite's primary result codes (the low byte of an extended code) that this file tells apart.
enum SqliteCode : int
{
    Perm = 3,
    Abort,
    Busy,
    Locked,
    NoMem,
    ReadOnly,
    Interrupt,
    IoErr,
    Full = 13,
    CantOpen,
    Protocol,
    Schema = 17,
    Misuse = 21,
    NoLfs,
    Auth,
};

// SQLite's extended result codes (Qt's driver turns them on) of a write the device refused.
constexpr int IoErrWrite = IoErr | (3 << 8);
constexpr int IoErrFsync = IoErr | (4 << 8);
constexpr int IoErrTruncate = IoErr | (6 << 8);

// The result code of an error SQLite reported, as it reported it (extended codes included), 0 when the
// error carries none.
int sqliteExtendedCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

// The primary result code of an error SQLite reported, 0 when the error carries none.
int sqliteCode(const QSqlError& error)
{
    return sqliteExtendedCode(error) & 0xff;
}

// Whether a read failed on a file that cannot be read now but may be later: permissions, locks, a full
// disk, a failing device. Every other failure of a read (corrupt, not a database, too big, a malformed
// schema, an unknown collation) means the file is damaged.
bool isPassingFailure(const QSqlError& error)
{
    switch (sqliteCode(error)) {
    case 0:
    case Perm:
    case Abort:
    case Busy:
    case Locked:
    case NoMem:
    case ReadOnly:
    case Interrupt:
    case IoErr:
    case Full:
    case CantOpen:
    case Protocol:
    case Schema:
    case Misuse:
    case NoLfs:
    case Auth:
        return true;
    default:
        return false;
    }
}

// SQLite's words for an error, as it reported them.
QString sqliteWords(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

// The -wal or -shm beside the database that SQLite cannot open for writing: something other than a
// regular file (a folder, say), or a file the user may not read and write (another user's, mode 0444).
// Empty when each is missing (SQLite makes it) or usable. SQLite keeps them beside the file a link names.
QString unusableCompanion(const QString& databasePath)
{
    const QString target = QFileInfo(databasePath).canonicalFilePath();
    const QString base = target.isEmpty() ? databasePath : target;
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString path = base + QLatin1String(suffix);
        const QByteArray name = QFile::encodeName(path);
        const SEntry entry = entryAt(name, SEntry::Follow);
        if (!entry.exists())
            continue;
        if (!entry.isFile() || ::access(name.constData(), R_OK | W_OK) != 0)
            return path;
    }
    return {};
}

// The failure a user is told of for an error SQLite reported on the database file. SQLite's words never
// name the -wal or -shm it could not open or write: one that is unusable is named, as a file that cannot
// be written.
TMeskStorageFailure sqliteFailure(const QSqlError& error, const QString& file, const QString& root)
{
    using Kind = TMeskStorageFailure::Kind;
    const QString words = sqliteWords(error);
    const int code = sqliteCode(error);
    // A failed commit reaches QtSql's caller without SQLite's code, only with its words.
    if (code == Full || error.databaseText() == QLatin1String("database or disk is full"))
        return {Kind::DiskFull, root, words};
    if (code == ReadOnly || code == CantOpen || code == IoErr) {
        if (const QString companion = unusableCompanion(file); !companion.isEmpty())
            return {Kind::FileNotWritable, companion, words};
    }
    // An I/O error is a failed read unless SQLite says it was a write, a sync or a truncation.
    const int extended = sqliteExtendedCode(error);
    if (code == ReadOnly || extended == IoErrWrite || extended == IoErrFsync || extended == IoErrTruncate)
        return {Kind::FileNotWritable, file, words};
    return {Kind::FileNotReadable, file, words};
}

// SQLite's words for a read the device failed.
const QString readErrorWords = QStringLiteral("disk I/O error");

// Whether a line of SQLite's quick check tells of a page the device failed to read ("Page 5: unable to get
// the page. error code=8458", with the extended code of an I/O error, or "failed to get page 7" for a page
// of the free list), rather than of damage. Newer versions put another prefix before the words.
bool isReadErrorLine(const QString& line)
{
    static const QRegularExpression unreadable(QStringLiteral("unable to get the page\\. error code=(\\d+)"));
    if (const QRegularExpressionMatch match = unreadable.match(line); match.hasMatch()) {
        bool ok = false;
        const int code = match.captured(1).toInt(&ok);
        return ok && (code & 0xff) == IoErr;
    }
    return line.contains(QLatin1String("failed to get page"));
}

// Reads the file from start to end as it lies on the disk, so that a failing device fails here; false with
// the system's words when it cannot be read. A missing file, or one that is not a regular file, has
// nothing to read.
bool readsThrough(const QString& path, QString& words)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        words = qt_error_string(errno);
        return false;
    }
    struct stat info
    {
    };
    int error = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::vector<char> buffer(size_t(1) << 20);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got > 0 || (got < 0 && errno == EINTR))
                continue;
            error = got < 0 ? errno : 0;
            break;
        }
    }
    ::close(fd);
    if (error == 0)
        return true;
    words = qt_error_string(error);
    return false;
}

// The failure a user is told of when the folder at path cannot be made: the nearest part of the path
// that exists, when it is not a folder or is a folder the user cannot write to, else the folder itself.
TMeskStorageFailure folderFailure(const QString& path)
{
    using Kind = TMeskStorageFailure::Kind;
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!entryAt(existing).exists()) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return {Kind::FolderNotWritable, path, {}};
        existing = parent;
    }
    // A link counts as what it points to; one to nothing is told as such.
    if (const QString target = missingLinkTarget(existing); !target.isEmpty())
        return {Kind::BrokenLink, existing, target};
    if (!QFileInfo(existing).isDir())
        return {Kind::NotAFolder, existing, {}};
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0)
        return {Kind::FolderNotWritable, existing, {}};
    return {Kind::FolderNotWritable, path, {}};
}

// Gives an existing folder 0700 or an existing file 0600, unless it has it already. A failure is logged
// and otherwise ignored: a start never fails for it. Anything else found there (a link, which chmod would
// follow, a folder where a file belongs) is left alone.
void makePrivate(const QString& path, bool isFolder)
{
    const QByteArray name = QFile::encodeName(path);
    const mode_t mode = isFolder ? 0700 : 0600;
    const SEntry entry = entryAt(name);
    if ((isFolder ? !entry.isFolder() : !entry.isFile()) || (entry.info.st_mode & 07777) == mode)
        return;
    if (::chmod(name.constData(), mode) != 0)
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to make %1 private").arg(path);
}

// The database file holds every account's keys: it is created private before SQLite opens it, and
// SQLite gives its journal, -wal and -shm files the main file's mode. A link is followed, as SQLite
// follows it: its target is the file that holds the keys, and a missing target is created private.
// Only a regular file of this user is changed, never a device or a FIFO (the program may run as root);
// it is checked on the open descriptor, so a file swapped in meanwhile is not the one changed.
void makePrivateFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (const SEntry entry = entryAt(name, SEntry::Follow); entry.exists() && !entry.isFile())
        return;
    // Non-blocking: a FIFO put there meanwhile cannot hold the start. A file the user may write but
    // not read is opened for writing.
    constexpr int flags = O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(name.constData(), O_RDONLY | flags, 0600);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | flags, 0600);
    if (fd < 0)
        return;
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0)
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to make %1 private").arg(path);
    ::close(fd);
}
// What identifies one state of a file: any write, truncation, rename over it or change of mode gives
// it another change time at least.
struct SFileStamp
{
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 modifiedNs = 0;
    qint64 changed = 0;
    qint64 changedNs = 0;

    bool operator==(const SFileStamp&) const = default;
};

bool stampOf(const QString& path, SFileStamp& stamp)
{
    const SEntry entry = entryAt(path);
    if (!entry.isFile())
        return false;
    const struct stat& info = entry.info;
    stamp = {qint64(info.st_dev),         qint64(info.st_ino),          qint64(info.st_size),
             qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec), qint64(info.st_ctim.tv_sec),
             qint64(info.st_ctim.tv_nsec)};
    return true;
}

bool changedBefore(const SFileStamp& earlier, const SFileStamp& later)
{
    return earlier.changed < later.changed ||
           (earlier.changed == later.changed && earlier.changedNs < later.changedNs);
}

QByteArray stampText(const SFileStamp& stamp)
{
    return QByteArray::number(stamp.device) + ' ' + QByteArray::number(stamp.inode) + ' ' +
           QByteArray::number(stamp.size) + ' ' + QByteArray::number(stamp.modified) + ' ' +
           QByteArray::number(stamp.modifiedNs) + ' ' + QByteArray::number(stamp.changed) + ' ' +
           QByteArray::number(stamp.changedNs);
}

// The record's line, read whole: the file ends with a line end.
bool parseStamp(const QByteArrayList& lines, SFileStamp& stamp)
{
    if (lines.size() < 2)
        return false;
    const QList<QByteArray> parts = lines.first().split(' ');
    if (parts.size() != 7)
        return false;
    qint64* fields[] = {&stamp.device,     &stamp.inode,   &stamp.size,     &stamp.modified,
                        &stamp.modifiedNs, &stamp.changed, &stamp.changedNs};
    for (int i = 0; i < 7; ++i) {
        bool ok = false;
        *fields[i] = parts.at(i).toLongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

// Nothing waits in a write-ahead log beside the file.
bool noPendingLog(const QString& databasePath)
{
    const SEntry log = entryAt(databasePath + QStringLiteral("-wal"));
    if (!log.exists())
        return log.error == ENOENT;
    return log.isFile() && log.info.st_size == 0;
}

} // namespace

// --- Marker files -------------------------------------------------------------------------------

CMediaDataBaseMarker::CMediaDataBaseMarker(const QString& root, const QString& name)
    : m_path(root + QLatin1Char('/') + name)
{
}

void CMediaDataBaseMarker::setSyncObserver(SyncObserver observer)
{
    s_syncObserver = std::move(observer);
}

bool CMediaDataBaseMarker::write(const QByteArrayList& lines, Durability durability) const
{
    const QByteArray name = QFile::encodeName(m_path);
    const QString part = m_path + QStringLiteral(".new");
    const QByteArray partName = QFile::encodeName(part);
    QByteArray content;
    for (const QByteArray& line : lines)
        content += line + '\n';
    const int fd = ::open(partName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // The content first, then the sync that makes it last, then the rename that makes it count.
    bool written = true;
    for (qsizetype done = 0; written && done < content.size();) {
        const ssize_t put = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (put > 0)
            done += put;
        else
            written = put < 0 && errno == EINTR;
    }
    if (written && durability == Durability::Synced) {
        if (s_syncObserver) {
            struct stat info
            {
            };
            s_syncObserver(part, ::fstat(fd, &info) == 0 ? qint64(info.st_size) : -1);
        }
        written = ::fsync(fd) == 0;
    }
    if (::close(fd) != 0 || !written || ::rename(partName.constData(), name.constData()) != 0) {
        ::unlink(partName.constData());
        return false;
    }
    // The folder too: the name holds the content before anything that depends on it is done. A rename
    // that cannot be synced may not last: the write failed (the name may hold the content or not).
    return durability == Durability::Unsynced || MeskSaveFile::syncFolderOf(m_path);
}

CMediaDataBaseMarker::SContent CMediaDataBaseMarker::read() const
{
    SContent content;
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return content;
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        content.exists = true;
        content.changed = qint64(info.st_ctim.tv_sec);
        content.changedNs = qint64(info.st_ctim.tv_nsec);
        // The storage writes these files small: more than 64 KiB is no file of its own.
        QByteArray text;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof(buffer));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            text.append(buffer, got);
            if (text.size() > 65536)
                break;
        }
        content.lines = text.split('\n');
    }
    ::close(fd);
    return content;
}

bool CMediaDataBaseMarker::remove(Durability durability) const
{
    if (::unlink(QFile::encodeName(m_path).constData()) != 0)
        return errno == ENOENT;
    return durability == Durability::Unsynced || MeskSaveFile::syncFolderOf(m_path);
}

// --- The storage's open ---------------------------------------------------------------------------

const QString CMediaDataBaseOpen::SchemaVersionKey = QStringLiteral("MDB_SCHEMA_VERSION");

CMediaDataBaseOpen::CMediaDataBaseOpen(const QString& root, const QString& connectionName,
                                       CMediaDataBaseConnection& connection,
                                       std::function<bool()> createTables,
                                       std::function<bool()> createIndexes)
    : m_root(root), m_connectionName(connectionName), m_connection(connection),
      m_createTables(std::move(createTables)), m_createIndexes(std::move(createIndexes))
{
}

QString CMediaDataBaseOpen::databasePath(const QString& root)
{
    return root + QLatin1Char('/') + databaseFileName;
}

QString CMediaDataBaseOpen::folder(const char* name) const
{
    return m_root + QLatin1Char('/') + QLatin1String(name);
}

void CMediaDataBaseOpen::close(CMediaDataBaseConnection& connection)
{
    // Kept statements go first: a connection closes cleanly only without them.
    connection.clearStatements();
    connection.resetBatch();
    QSqlDatabase database = connection.database();
    if (database.isValid())
        database.close();
}

SMediaDataBaseOpened CMediaDataBaseOpen::open()
{
    m_failure = {};
    SMediaDataBaseOpened opened;
    if (!isWritable()) {
        opened.failure = m_failure;
        return opened;
    }
    m_connection.setLastError(QSqlError());
    opened = openWritable();
    if (opened.ok) {
        opened.copies = readNotice();
        return opened;
    }
    using Kind = TMeskStorageFailure::Kind;
    // A statement of the table objects that failed left its error on the connection.
    if (m_failure.kind == Kind::None && m_connection.lastError().isValid())
        failedInSqlite(m_connection.lastError());
    // Anything else names the storage folder.
    failed(Kind::Other, m_root);
    // A full disk fails whatever needs room first, in whatever words: making a folder or the file,
    // SQLite's log, a write. So it is the one cause told over the first one found.
    if (m_failure.kind != Kind::DiskFull && isOutOfRoom(m_root))
        m_failure = {Kind::DiskFull, m_root, {}};
    opened.failure = m_failure;
    return opened;
}

bool CMediaDataBaseOpen::isWritable()
{
    // SQLite opens a file it cannot write without complaint and fails every write later: a storage
    // that silently keeps nothing must not start.
    // A file the user may not read is named as such: SQLite would only say it cannot open it. What
    // stands where the storage folder belongs is found when the folders are made.
    const QFileInfo root(m_root);
    const QFileInfo file(databasePath(m_root));
    if (root.isDir() && !root.isWritable())
        failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    else if (file.exists() && !file.isReadable())
        failed(TMeskStorageFailure::Kind::FileNotReadable, file.filePath());
    else if (file.exists() && !file.isWritable())
        failed(TMeskStorageFailure::Kind::FileNotWritable, file.filePath());
    else
        return true;
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
    qDebug().noquote() << QStringLiteral("CMediaDataBase: %1 is not %2")
                              .arg(m_failure.path,
                                   m_failure.kind == TMeskStorageFailure::Kind::FileNotReadable
                                       ? QStringLiteral("readable")
                                       : QStringLiteral("writable"));
    return false;
}

bool CMediaDataBaseOpen::failed(const TMeskStorageFailure& failure)
{
    // The first failure is the cause; what fails after it follows from it.
    if (m_failure.kind == TMeskStorageFailure::Kind::None)
        m_failure = failure;
    return false;
}

bool CMediaDataBaseOpen::failed(TMeskStorageFailure::Kind kind, const QString& path)
{
    return failed({kind, path, {}});
}

bool CMediaDataBaseOpen::failedInSqlite(const QSqlError& error)
{
    return failed(sqliteFailure(error, databasePath(m_root), m_root));
}

SMediaDataBaseOpened CMediaDataBaseOpen::openWritable()
{
    SMediaDataBaseOpened opened;
    if (isDatabaseLinkBroken() || !initFileSystem())
        return opened;
    if (!QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database = QSqlDatabase::database(m_connectionName, false);
    if (!m_database.isValid()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to load SQLite plugin");
        return opened;
    }
    SSchemaCheck check = checkSchema(takeCleanCloseRecord());
    if (check.state == SchemaState::Damaged) {
        const bool checkedPages = check.checkedPages;
        check = confirmDamage();
        check.checkedPages = check.checkedPages || checkedPages;
    }
    opened.checkedPages = check.checkedPages;
    switch (check.state) {
    case SchemaState::Valid:
        if (!proveWritable()) {
            closeDatabase();
            return opened;
        }
        // Files a rebuild moved aside, or left in place, and was stopped before it removed them belong to
        // the database it replaced.
        dropFilesAside();
        finishEmptying();
        opened.ok = configureConnection() && createIndexes();
        if (!opened.ok)
            closeDatabase();
        return opened;
    case SchemaState::Failed:
        closeDatabase();
        return opened;
    case SchemaState::Empty:
    case SchemaState::Mismatch:
    case SchemaState::Damaged:
        break;
    }
    opened.ok = rebuild(check);
    return opened;
}

bool CMediaDataBaseOpen::isDatabaseLinkBroken()
{
    // SQLite makes the file a link names when it is missing. Where it names a file on a disk that is not
    // there now, the new, empty database would replace the one the downloaded files belong to: with files
    // to lose, the start stops before anything is made.
    const QString path = databasePath(m_root);
    const QString target = missingLinkTarget(path);
    if (target.isEmpty())
        return false;
    for (const char* name : fileFolders) {
        if (holdsFiles(folder(name)) || holdsFiles(asideFolder(folder(name)))) {
            qDebug().noquote()
                << QStringLiteral("CMediaDataBase: %1 links to %2, which does not exist").arg(path, target);
            failed({TMeskStorageFailure::Kind::BrokenLink, path, target});
            return true;
        }
    }
    return false;
}

bool CMediaDataBaseOpen::initFileSystem()
{
    QDir dir;
    bool ok = true;
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QFileInfo(m_root).isDir()) {
        // Only the root itself is private: its parents are ordinary folders of the user.
        const QString parent = QFileInfo(m_root).absolutePath();
        ok = dir.mkpath(parent) && dir.mkdir(m_root, ownerOnly);
    }
    // A folder made beforehand (a restored backup, another tool) keeps no wider mode.
    if (ok)
        makePrivate(m_root, true);
    QString failedFolder = ok ? QString() : m_root;
    for (const char* name : fileFolders) {
        if (ok && !QFileInfo(folder(name)).isDir()) {
            ok = dir.mkdir(folder(name), ownerOnly);
            if (!ok)
                failedFolder = folder(name);
        }
        if (ok)
            makePrivate(folder(name), true);
    }
    if (!ok) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to init file system");
        return failed(folderFailure(failedFolder));
    }
    // Left by a crash, or moved aside earlier: every one of them holds the account keys.
    const QString path = databasePath(m_root);
    for (const QString& companion :
         {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        makePrivate(path + companion, false);
    for (const QString& name : QDir(m_root).entryList({databaseFileName + QStringLiteral(".bak-*")},
                                                      QDir::Files | QDir::System | QDir::Hidden))
        makePrivate(m_root + QLatin1Char('/') + name, false);
    return true;
}

void CMediaDataBaseOpen::closeDatabase()
{
    close(m_connection);
    if (m_database.isValid())
        m_database.close();
}

bool CMediaDataBaseOpen::openDatabase()
{
    makePrivateFile(databasePath(m_root));
    m_database.setDatabaseName(databasePath(m_root));
    if (!m_database.open()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << m_database.lastError().driverText() + QLatin1Char(' ') +
                                  m_database.lastError().databaseText();
        return failedInSqlite(m_database.lastError());
    }
    m_connection.setDatabase(m_database);
    return true;
}

bool CMediaDataBaseOpen::configureConnection()
{
    // With a write-ahead log, NORMAL keeps the file whole through a crash or a power loss, but the commits
    // made since the log was last synced (at a checkpoint or the close) may be lost with the power: a batch
    // whose commit permits what cannot be undone asks for a durable commit (IMediaItemStorage::Commit).
    // Syncing every commit would cost a sync per stored slice of a long answer. Run only on a file this
    // program recognises or builds: a foreign file is left as it was found. Switching to the log writes the
    // file: an error there fails as any statement does. A file system that offers no log answers another mode
    // without an error, and the file goes on in it.
    QSqlQuery pragma(m_database);
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"))) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to set the journal mode: %1")
                                  .arg(sqliteWords(pragma.lastError()));
        return failedInSqlite(pragma.lastError());
    }
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
    return true;
}

bool CMediaDataBaseOpen::proveWritable()
{
    // SQLite opens a database whose -wal or -shm it cannot write read-only and says so only at the first
    // write, when nothing the program does is kept any more. Taking the write lock proves the store
    // writable without writing anything: the file and its clean-close record stay as they are. (A plain
    // BEGIN takes no lock.)
    QSqlQuery query(m_database);
    if (query.exec(QStringLiteral("BEGIN IMMEDIATE;")) && query.exec(QStringLiteral("ROLLBACK;")))
        return true;
    const QSqlError error = query.lastError();
    qDebug().noquote()
        << QStringLiteral("CMediaDataBase: cannot write to the database: %1").arg(sqliteWords(error));
    if (const QString companion = unusableCompanion(databasePath(m_root)); !companion.isEmpty())
        return failed(TMeskStorageFailure::Kind::FileNotWritable, companion);
    return failedInSqlite(error);
}

bool CMediaDataBaseOpen::createIndexes()
{
    // IF NOT EXISTS: a file from before the indexes gains them, a current one is left as it is.
    if (m_createIndexes())
        return true;
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to create the indexes");
    return false;
}

CMediaDataBaseOpen::SSchemaCheck CMediaDataBaseOpen::checkSchema(bool unchanged)
{
    if (!openDatabase())
        return {SchemaState::Failed};

    // A query failure tells a damaged file (rebuild) from one that cannot be read now (leave it).
    bool checkedPages = false;
    auto failure = [this, &checkedPages](const QSqlQuery& query) {
        const QSqlError error = query.lastError();
        if (!isPassingFailure(error)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: not a usable SQLite database: %1")
                                      .arg(error.databaseText());
            return SSchemaCheck{SchemaState::Damaged, false, checkedPages};
        }
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << error.driverText() + QLatin1Char(' ') + error.databaseText();
        failedInSqlite(error);
        return SSchemaCheck{SchemaState::Failed, false, checkedPages};
    };

    QStringList tables;
    {
        QSqlQuery query(m_database);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table';")))
            return failure(query);
        while (query.next())
            tables.append(query.value(0).toString());
    }
    if (tables.isEmpty())
        return {SchemaState::Empty};
    for (const QString& table : tableNames) {
        if (!tables.contains(table)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: table %1 is missing").arg(table);
            return {SchemaState::Mismatch};
        }
    }

    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;")))
        return failure(query);
    query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
    query.addBindValue(SchemaVersionKey);
    if (!query.exec())
        return failure(query);
    if (!query.next()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: schema version is missing");
        return {SchemaState::Mismatch};
    }
    const QString version = query.value(0).toString();
    query.finish();
    if (version.toInt() != SchemaVersion) {
        qDebug().noquote()
            << QStringLiteral("CMediaDataBase: schema version %1 is not %2").arg(version).arg(SchemaVersion);
        // A whole number there was written by another version of the program; anything else is damage.
        bool number = false;
        return {SchemaState::Mismatch, version.toInt(&number) > 0 && number};
    }

    // Damaged interior pages pass the checks above and would later cut lists short. A file exactly as
    // this class closed it was whole then.
    if (unchanged)
        return {SchemaState::Valid};
    checkedPages = true;
    QSqlQuery check(m_database);
    check.setForwardOnly(true);
    if (!check.exec(QStringLiteral("PRAGMA quick_check;")))
        return failure(check);
    QStringList problems;
    while (check.next())
        problems.append(check.value(0).toString());
    // A page the device failed to read is no damage, whatever SQLite lists after it (one row may hold
    // several lines); the check then also ends on an error.
    for (const QString& row : std::as_const(problems)) {
        for (const QString& line : row.split(QLatin1Char('\n'))) {
            if (isReadErrorLine(line))
                return {readFailed(databasePath(m_root), readErrorWords, line), false, checkedPages};
        }
    }
    if (check.lastError().isValid())
        return failure(check);
    if (problems != QStringList{QStringLiteral("ok")}) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: not a usable SQLite database: %1")
                                  .arg(problems.mid(0, 3).join(QStringLiteral("; ")));
        return {SchemaState::Damaged, false, checkedPages};
    }
    return {SchemaState::Valid, false, checkedPages};
}

CMediaDataBaseOpen::SchemaState CMediaDataBaseOpen::readFailed(const QString& path, const QString& words,
                                                               const QString& seen)
{
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to read %1: %2").arg(path, seen);
    closeDatabase();
    failed({TMeskStorageFailure::Kind::FileNotReadable, path, words});
    return SchemaState::Failed;
}

CMediaDataBaseOpen::SSchemaCheck CMediaDataBaseOpen::confirmDamage()
{
    // SQLite tells a read the device failed in a statement as damage ("database disk image is
    // malformed"). Before the file is replaced, the file and its log are read through as they lie on the
    // disk, where a failing device fails, and then checked whole once more on a new connection: only
    // damage found again is damage. A check that now passes read something else the first time.
    // SQLite keeps the log beside the file a link names.
    const QString target = QFileInfo(databasePath(m_root)).canonicalFilePath();
    const QString logPath = (target.isEmpty() ? databasePath(m_root) : target) + QStringLiteral("-wal");
    for (const QString& path : {databasePath(m_root), logPath}) {
        if (QString words; !readsThrough(path, words))
            return {readFailed(path, words, words)};
    }
    closeDatabase();
    SSchemaCheck again = checkSchema(false);
    if (again.state == SchemaState::Valid || again.state == SchemaState::Empty)
        again.state = readFailed(databasePath(m_root), readErrorWords,
                                 QStringLiteral("the check passed at its second read"));
    return again;
}

bool CMediaDataBaseOpen::rebuild(const SSchemaCheck& found)
{
    m_connection.clearStatements();
    // A file without tables holds nothing to keep; any other is kept as a copy.
    if (found.state != SchemaState::Empty) {
        m_database.close();
        if (!moveDatabaseAside(found.otherVersion))
            return false;
    }
    // The downloaded files wait aside until the new database is committed, and go back if it is not:
    // the old database may still be used (when it merely could not be replaced now), and no old file
    // is ever found under a name the new database gives out.
    if (!moveFilesAside() || !buildSchema()) {
        restoreFilesAside();
        return false;
    }
    dropFilesAside();
    finishEmptying();
    return true;
}

bool CMediaDataBaseOpen::buildSchema()
{
    if ((!m_database.isOpen() && !openDatabase()) || !configureConnection())
        return false;
    // One transaction for the whole schema: one commit, and a failure leaves no half-built file.
    m_connection.beginBatch();
    const bool built = m_createTables() && noteOwedEmptying() && createIndexes();
    const bool committed = m_connection.endBatch();
    if (built && !committed) {
        // A commit writes: its failure reaches here with SQLite's words but without its code, and a device
        // that failed it failed a write.
        TMeskStorageFailure failure = sqliteFailure(m_connection.lastError(), databasePath(m_root), m_root);
        if (failure.kind == TMeskStorageFailure::Kind::FileNotReadable)
            failure.kind = TMeskStorageFailure::Kind::FileNotWritable;
        failed(failure);
    }
    return built && committed;
}

QList<SMediaDataBaseCopy> CMediaDataBaseOpen::readNotice() const
{
    // Pairs of lines, oldest first: why ("version" or "damaged"), then the copy's name.
    const CMediaDataBaseMarker notice(m_root, noticeFileName);
    const CMediaDataBaseMarker::SContent content = notice.read();
    if (!content.exists)
        return {};
    QList<SMediaDataBaseCopy> copies;
    bool dropped = false;
    for (qsizetype i = 0; i + 1 < content.lines.size(); i += 2) {
        // Only a copy this class makes, beside the database, and only while it is there.
        const QString name = QFile::decodeName(content.lines.at(i + 1));
        const QString copy = m_root + QLatin1Char('/') + name;
        if (name.startsWith(databaseFileName + QStringLiteral(".bak-")) && !name.contains(QLatin1Char('/')) &&
            entryAt(copy).exists()) {
            copies.append({copy, content.lines.at(i) == "version"});
        } else if (!name.isEmpty() || !content.lines.at(i).isEmpty()) {
            dropped = true;
        }
    }
    // A copy moved or deleted since leaves nothing to tell.
    if (dropped && !writeNotice(copies))
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to write %1").arg(notice.path());
    return copies;
}

bool CMediaDataBaseOpen::writeNotice(const QList<SMediaDataBaseCopy>& copies) const
{
    const CMediaDataBaseMarker notice(m_root, noticeFileName);
    if (copies.isEmpty())
        return notice.remove(CMediaDataBaseMarker::Durability::Unsynced);
    QByteArrayList lines;
    for (const SMediaDataBaseCopy& copy : copies)
        lines << (copy.otherVersion ? "version" : "damaged")
              << QFile::encodeName(QFileInfo(copy.path).fileName());
    return notice.write(lines, CMediaDataBaseMarker::Durability::Synced);
}

void CMediaDataBaseOpen::dropNotice(const QString& root)
{
    CMediaDataBaseMarker(root, noticeFileName).remove(CMediaDataBaseMarker::Durability::Unsynced);
}

bool CMediaDataBaseOpen::moveDatabaseAside(bool otherVersion)
{
    const QString path = databasePath(m_root);
    const QStringList companions{QStringLiteral("-wal"), QStringLiteral("-shm")};
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const QString stamp = MeskClock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString backup;
    for (int n = 1;; ++n) {
        backup = path + QStringLiteral(".bak-") + stamp;
        if (n > 1)
            backup += QStringLiteral("-%1").arg(n);
        bool taken = QFileInfo::exists(backup) || QFileInfo(backup).isSymLink();
        for (const QString& companion : companions)
            taken = taken || QFileInfo::exists(backup + companion);
        if (!taken)
            break;
    }
    // The user is told of the copy at the first start that shows its window, whatever ends this one:
    // the notice names it before the file is renamed, or nothing is renamed. Copies not told yet stay
    // named beside it, whatever happens to this one.
    const QList<SMediaDataBaseCopy> untold = readNotice();
    if (!writeNotice(untold + QList<SMediaDataBaseCopy>{{backup, otherVersion}})) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to write %1")
                                  .arg(CMediaDataBaseMarker(m_root, noticeFileName).path());
        return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    }
    if (!QFile::rename(path, backup)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(path);
        writeNotice(untold);
        return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    }
    for (const QString& companion : companions) {
        if (QFileInfo::exists(path + companion) && !QFile::rename(path + companion, backup + companion)) {
            qDebug().noquote()
                << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(path + companion);
            return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
        }
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: moved the old database aside to %1").arg(backup);
    return true;
}

bool CMediaDataBaseOpen::moveFilesAside()
{
    // Each step leaves a state the next open finishes: a folder aside with an empty one in its place
    // (or none, which the next open makes) belongs to a database that is replaced or being replaced.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QByteArrayList inPlace;
    for (const char* name : fileFolders) {
        const QString path = folder(name);
        const QString aside = asideFolder(path);
        if (isArranged(path)) {
            // The user's link or mount point stays, and nothing in it is deleted: the program's files there
            // move into a folder of their own before the commit, so the new database finds none of them under
            // the names it gives out (a stop, or a failed build, leaves them there too). One that cannot be
            // moved stays where it is and the start goes on: a later download picks a free name beside it.
            moveOwnFilesAside(path, isUsersFolder(name));
            continue;
        }
        const SEntry asideEntry = entryAt(aside);
        if (asideEntry.isFolder()) {
            // Moved aside by a rebuild stopped before its commit: what was made in its place since belongs to
            // no database.
            if (!removeOwnFiles(path, isUsersFolder(name)))
                return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
        } else if (asideEntry.exists() || !holdsOnlyOwnFiles(path, isUsersFolder(name))) {
            // What the user put there (or under the name it would move to) stays where it is; the program's
            // files go after the commit.
            inPlace << name;
            continue;
        } else if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
            const int error = errno;
            if (error != EBUSY && error != EXDEV) {
                qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to move %1 aside").arg(path);
                return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
            }
            // A mount point all the same: the user's.
            moveOwnFilesAside(path, isUsersFolder(name));
            continue;
        }
        if (!QFileInfo(path).isDir() && !QDir().mkdir(path, ownerOnly)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to make %1").arg(path);
            return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
        }
    }
    // A stop after the commit leaves the emptying to the next open, which finds the record. The record names
    // the new store, which owes the emptying from the transaction that builds it: a record that outlives
    // its emptying, or an earlier rebuild, names no store that owes one.
    const CMediaDataBaseMarker record(m_root, emptyingFileName);
    m_emptyingStore.clear();
    if (inPlace.isEmpty()) {
        if (!record.remove(CMediaDataBaseMarker::Durability::Unsynced))
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(record.path());
        return true;
    }
    m_emptyingStore = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!record.write(QByteArrayList{emptyingStorePrefix + m_emptyingStore.toLatin1()} + inPlace,
                      CMediaDataBaseMarker::Durability::Synced)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to write %1").arg(record.path());
        return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    }
    return true;
}

void CMediaDataBaseOpen::restoreFilesAside()
{
    for (const char* name : fileFolders) {
        const QString path = folder(name);
        const QString aside = asideFolder(path);
        // What stands in its place was made after the move; a link or a mount point is the user's and stays.
        if (!entryAt(aside).isFolder() || isArranged(path))
            continue;
        removeOwnFiles(path, isUsersFolder(name));
        const QByteArray encoded = QFile::encodeName(path);
        if ((::rmdir(encoded.constData()) != 0 && errno != ENOENT) ||
            ::rename(QFile::encodeName(aside).constData(), encoded.constData()) != 0)
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to put %1 back").arg(path);
    }
    // The folders left in place keep their files for the database that is still to be built. A record that
    // stays names a store that was never committed, and so empties nothing.
    const CMediaDataBaseMarker record(m_root, emptyingFileName);
    if (!record.remove(CMediaDataBaseMarker::Durability::Unsynced))
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(record.path());
    m_emptyingStore.clear();
}

void CMediaDataBaseOpen::dropFilesAside()
{
    for (const char* name : fileFolders) {
        const QString aside = asideFolder(folder(name));
        const QByteArray encoded = QFile::encodeName(aside);
        const SEntry entry = entryAt(encoded);
        if (!entry.exists())
            continue;
        // Only a folder the program moved there; a link or a file by that name is the user's.
        if (!entry.isFolder())
            qDebug().noquote() << QStringLiteral("CMediaDataBase: kept %1, which it did not make").arg(aside);
        else if (!removeOwnFiles(aside, isUsersFolder(name)) || ::rmdir(encoded.constData()) != 0)
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(aside);
    }
}

bool CMediaDataBaseOpen::noteOwedEmptying()
{
    if (m_emptyingStore.isEmpty())
        return true;
    QSqlQuery query(m_database);
    if (query.prepare(QStringLiteral("INSERT INTO SERVICEKEYS (PROVIDER, KEY, VALUE) VALUES (?, ?, ?);"))) {
        query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
        query.addBindValue(emptyingKey);
        query.addBindValue(m_emptyingStore);
        if (query.exec())
            return true;
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to note the folders to empty: %1")
                              .arg(sqliteWords(query.lastError()));
    m_connection.setLastError(query.lastError());
    m_connection.markBatchFailed();
    return false;
}

bool CMediaDataBaseOpen::owesEmptying(const QString& store, bool& owed)
{
    owed = false;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;")))
        return false;
    query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
    query.addBindValue(emptyingKey);
    if (!query.exec())
        return false;
    while (query.next())
        owed = owed || (!store.isEmpty() && query.value(0).toString() == store);
    return !query.lastError().isValid();
}

void CMediaDataBaseOpen::forgetOwedEmptying()
{
    QSqlQuery query(m_database);
    bool done = query.prepare(QStringLiteral("DELETE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;"));
    if (done) {
        query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
        query.addBindValue(emptyingKey);
        done = query.exec();
    }
    if (!done)
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to note the folders emptied: %1")
                                  .arg(sqliteWords(query.lastError()));
}

void CMediaDataBaseOpen::finishEmptying()
{
    // The plain folders a committed rebuild left in place: the program's files in them belong to the
    // database it replaced. Each is looked at again: one the user has linked or mounted since loses
    // nothing, its program's files move aside. What cannot be removed stays, and the record goes all the
    // same: from now on the folders fill for the new database.
    const CMediaDataBaseMarker record(m_root, emptyingFileName);
    const CMediaDataBaseMarker::SContent content = record.read();
    m_emptyingStore.clear();
    if (!content.exists)
        return;
    // Only for the store the record was written for, while that store owes the emptying: a record whose
    // removal failed, or that a power cut brought back, after the folders were emptied, or one an earlier
    // store left, would take files of this store. A store whose key cannot be read now keeps its files and
    // the record, for the next open.
    const QByteArray first = content.lines.value(0);
    const QString store = first.startsWith(emptyingStorePrefix)
                              ? QString::fromLatin1(first.mid(emptyingStorePrefix.size()))
                              : QString();
    bool owed = false;
    if (!owesEmptying(store, owed)) {
        qDebug().noquote()
            << QStringLiteral("CMediaDataBase: cannot read the folders to empty, kept %1").arg(record.path());
        return;
    }
    if (owed) {
        for (const char* name : fileFolders) {
            if (!content.lines.mid(1).contains(QByteArray(name)))
                continue;
            if (isArranged(folder(name)))
                moveOwnFilesAside(folder(name), isUsersFolder(name));
            else
                removeOwnFiles(folder(name), isUsersFolder(name));
        }
        // Emptied: from now on the folders fill for this store, whatever becomes of the record.
        forgetOwedEmptying();
    } else {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: %1 names no store that owes it, the files stay")
                                  .arg(record.path());
    }
    if (!record.remove(CMediaDataBaseMarker::Durability::Synced))
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(record.path());
}

// --- The clean-close record -----------------------------------------------------------------------

bool CMediaDataBaseOpen::takeCleanCloseRecord()
{
    // The record goes before anything is written: after a crash there is none.
    const CMediaDataBaseMarker marker(m_root, cleanCloseFileName);
    const CMediaDataBaseMarker::SContent content = marker.read();
    if (!marker.remove(CMediaDataBaseMarker::Durability::Unsynced)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(cleanCloseFileName);
        return false;
    }
    if (!content.exists)
        return false;
    // A change to the file after the record was written gives it a change time no earlier than the
    // record's, whatever the file system's time resolution.
    SFileStamp record;
    record.changed = content.changed;
    record.changedNs = content.changedNs;
    SFileStamp recorded;
    SFileStamp now;
    const QString path = databasePath(m_root);
    return parseStamp(content.lines, recorded) && stampOf(path, now) && now == recorded &&
           changedBefore(now, record) && noPendingLog(path);
}

void CMediaDataBaseOpen::writeCleanCloseRecord(const QString& root)
{
    // A log still beside the file means another connection holds it: not a state to vouch for.
    const QString path = databasePath(root);
    SFileStamp database;
    if (!noPendingLog(path) || !stampOf(path, database))
        return;
    // Not synced: a record lost with a power cut costs the next start only its quick check.
    const CMediaDataBaseMarker marker(root, cleanCloseFileName);
    if (!marker.write({stampText(database)}, CMediaDataBaseMarker::Durability::Unsynced))
        return;
    // The record counts only when it is younger than the file's last change: wait out the file
    // system's clock tick if both fell into the same one.
    const QByteArray name = QFile::encodeName(marker.path());
    for (int attempt = 0; attempt < 50; ++attempt) {
        SFileStamp record;
        if (!stampOf(marker.path(), record))
            break;
        if (changedBefore(database, record))
            return;
        ::usleep(1000);
        if (::utimensat(AT_FDCWD, name.constData(), nullptr, AT_SYMLINK_NOFOLLOW) != 0)
            break;
    }
    marker.remove(CMediaDataBaseMarker::Durability::Unsynced);
}
