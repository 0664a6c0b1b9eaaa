#include "mediadatabase.h"

#include "meskclock.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

namespace {

// The local day of a stored date as a day folder's name (yyMMdd), from the zone the C library has
// read; empty for an item without a date.
QString localDayName(qint64 created)
{
    if (created == CMediaDataBaseMethod::NullDate || created < 0)
        return {};
    const time_t seconds = time_t(created);
    struct tm local
    {
    };
    if (!::localtime_r(&seconds, &local))
        return {};
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).toString(QStringLiteral("yyMMdd"));
}
const QString databaseFileName = QStringLiteral("mindex.db");
const QString cleanCloseFileName = QStringLiteral("mindex.clean");
// Names the copy a rebuild renamed the database to, and why, until the user has been told.
const QString noticeFileName = QStringLiteral("mindex.notice");
// The folders of downloaded files a rebuild left in place, to be emptied once the new database is
// committed.
const QString emptyingFileName = QStringLiteral("mindex.emptying");
const QString schemaVersionKey = QStringLiteral("MDB_SCHEMA_VERSION");
const QStringList tableNames{QStringLiteral("SERVICEKEYS"),       QStringLiteral("SERVICEUSERS"),
                             QStringLiteral("SERVICEUSERFIELDS"), QStringLiteral("MEDIAITEMS"),
                             QStringLiteral("MEDIAITEMFIELDS"),   QStringLiteral("MEDIASMSMESSAGES"),
                             QStringLiteral("MEDIASYNC")};
constexpr int MaxFileNumber = 1000;
// The folders of downloaded files, each named after what it holds.
constexpr const char* fileFolders[] = {"items", "media", "users"};

// Where a folder of downloaded files waits while the database it belongs to is replaced.
QString asideFolder(const QString& folder)
{
    return folder + QStringLiteral(".replaced");
}

// Whether anything is at the path, a link to nothing included.
bool entryExists(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isLink(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Writes a small file whole or not at all: a synced temporary sibling renamed over the name, and the
// folder synced, so the name holds the content before anything that depends on it is done.
bool writeFileAtomically(const QString& path, const QByteArray& content)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray partName = QFile::encodeName(path + QStringLiteral(".new"));
    const int fd = ::open(partName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written =
        ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size()) &&
        ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(partName.constData(), name.constData()) != 0) {
        ::unlink(partName.constData());
        return false;
    }
    const int folder =
        ::open(QFile::encodeName(QFileInfo(path).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

// The first bytes of a small file this class wrote; empty when there is none.
QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

// Whether a folder of downloaded files was moved to the path: a folder, or a link where the user had
// linked one. Anything else there is no folder of this program.
bool isMovedFolder(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           (S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode));
}

// What the link at the path names when that does not exist (a disk that is not mounted there, say), as an
// absolute path; empty for anything else.
QString missingLinkTarget(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return {};
    if (::stat(name.constData(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR))
        return {};
    return QFileInfo(path).symLinkTarget();
}

// Whether a folder holds a file anywhere below it (links are not followed).
bool holdsFiles(const QString& path)
{
    return QDirIterator(path, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories)
        .hasNext();
}

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("CMediaDataBase-%1").arg(++counter);
}

// A suffix that came from outside becomes part of a file name: only ASCII letters and digits pass.
bool isSafeSuffix(const QString& suffix, qsizetype maxLength)
{
    if (suffix.isEmpty() || suffix.size() > maxLength)
        return false;
    for (QChar c : suffix) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            return false;
    }
    return true;
}

QString fileSuffix(const QString& suffix)
{
    return isSafeSuffix(suffix, suffix.size()) ? suffix : QStringLiteral("img");
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

// The primary result code of an error SQLite reported, 0 when the error carries none.
int sqliteCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok ? code : 0;
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
        struct stat info
        {
        };
        if (::stat(name.constData(), &info) != 0)
            continue;
        if (!S_ISREG(info.st_mode) || ::access(name.constData(), R_OK | W_OK) != 0)
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
    if (code == ReadOnly)
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
    struct stat info
    {
    };
    while (::lstat(QFile::encodeName(existing).constData(), &info) != 0) {
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

// Whether the file system holding the path (or, while it does not exist, its nearest existing parent)
// has no room left for the user: no free block or no free file entry. A read-only file system is not
// full, however little it reports free.
bool isOutOfRoom(const QString& path)
{
    QString existing = QFileInfo(path).absoluteFilePath();
    struct statvfs info
    {
    };
    while (::statvfs(QFile::encodeName(existing).constData(), &info) != 0) {
        const int error = errno;
        const QString parent = QFileInfo(existing).path();
        if ((error != ENOENT && error != ENOTDIR) || parent == existing)
            return false;
        existing = parent;
    }
    if (info.f_flag & ST_RDONLY)
        return false;
    return info.f_bavail == 0 || (info.f_files > 0 && info.f_favail == 0);
}

// Gives an existing folder 0700 or an existing file 0600, unless it has it already. A failure is logged
// and otherwise ignored: a start never fails for it. Anything else found there (a link, which chmod would
// follow, a folder where a file belongs) is left alone.
void makePrivate(const QString& path, bool isFolder)
{
    const QByteArray name = QFile::encodeName(path);
    const mode_t mode = isFolder ? 0700 : 0600;
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0 ||
        (isFolder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) || (info.st_mode & 07777) == mode)
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
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return;
    // Non-blocking: a FIFO put there meanwhile cannot hold the start. A file the user may write but
    // not read is opened for writing.
    constexpr int flags = O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(name.constData(), O_RDONLY | flags, 0600);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | flags, 0600);
    if (fd < 0)
        return;
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
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
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
           QByteArray::number(stamp.changedNs) + '\n';
}

bool parseStamp(const QByteArray& text, SFileStamp& stamp)
{
    if (!text.endsWith('\n'))
        return false;
    const QList<QByteArray> parts = text.chopped(1).split(' ');
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
    struct stat info
    {
    };
    const QByteArray name = QFile::encodeName(databasePath + QStringLiteral("-wal"));
    if (::lstat(name.constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode) && info.st_size == 0;
}
} // namespace

CMediaDataBase::CMediaDataBase(const QString& root, QObject* parent)
    : IMediaItemStorage(parent), m_connection(std::make_shared<CMediaDataBaseConnection>()), m_root(root),
      m_connectionName(nextConnectionName()), m_thread(QThread::currentThread())
{
    m_keys.setConnection(m_connection);
    m_users.setConnection(m_connection);
    m_items.setConnection(m_connection);
    m_messages.setConnection(m_connection);
    m_sync.setConnection(m_connection);
    m_connection->setReadFailedHandler([this](const QSqlError& error) { tellReadFailure(error); });
}

CMediaDataBase::~CMediaDataBase()
{
    if (m_connection->batchDepth() > 0) {
        qDebug().noquote() << QStringLiteral(
            "CMediaDataBase: closed inside a batch, its changes are dropped");
        m_database.rollback();
        m_opened = false;
    }
    closeDatabase();
    setTableDatabases(QSqlDatabase());
    m_database = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
    if (m_opened)
        writeCleanCloseRecord();
}

bool CMediaDataBase::takeCleanCloseRecord()
{
    // The record goes before anything is written: after a crash there is none.
    const QByteArray recordName = QFile::encodeName(m_root + QLatin1Char('/') + cleanCloseFileName);
    SFileStamp record;
    if (!stampOf(m_root + QLatin1Char('/') + cleanCloseFileName, record)) {
        ::unlink(recordName.constData());
        return false;
    }
    QByteArray text;
    const int fd = ::open(recordName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got > 0)
            text = QByteArray(buffer, got);
        ::close(fd);
    }
    if (::unlink(recordName.constData()) != 0) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(cleanCloseFileName);
        return false;
    }
    // A change to the file after the record was written gives it a change time no earlier than the
    // record's, whatever the file system's time resolution.
    SFileStamp recorded;
    SFileStamp now;
    return parseStamp(text, recorded) && stampOf(databasePath(), now) && now == recorded &&
           changedBefore(now, record) && noPendingLog(databasePath());
}

void CMediaDataBase::writeCleanCloseRecord()
{
    // A log still beside the file means another connection holds it: not a state to vouch for.
    SFileStamp database;
    if (!noPendingLog(databasePath()) || !stampOf(databasePath(), database))
        return;
    const QString path = m_root + QLatin1Char('/') + cleanCloseFileName;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray partName = QFile::encodeName(path + QStringLiteral(".new"));
    const int fd = ::open(partName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = stampText(database);
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == ssize_t(text.size());
    if (::close(fd) != 0 || !written || ::rename(partName.constData(), name.constData()) != 0) {
        ::unlink(partName.constData());
        return;
    }
    // The record counts only when it is younger than the file's last change: wait out the file
    // system's clock tick if both fell into the same one.
    for (int attempt = 0; attempt < 50; ++attempt) {
        SFileStamp record;
        if (!stampOf(path, record))
            break;
        if (changedBefore(database, record))
            return;
        ::usleep(1000);
        if (::utimensat(AT_FDCWD, name.constData(), nullptr, AT_SYMLINK_NOFOLLOW) != 0)
            break;
    }
    ::unlink(name.constData());
}

QString CMediaDataBase::databasePath() const
{
    return m_root + QLatin1Char('/') + databaseFileName;
}

QString CMediaDataBase::folder(const char* name) const
{
    return m_root + QLatin1Char('/') + QLatin1String(name);
}

void CMediaDataBase::checkThread(const char* operation) const
{
    Q_UNUSED(operation);
    Q_ASSERT_X(QThread::currentThread() == m_thread, operation,
               "CMediaDataBase used on another thread than the one that opened it");
}

void CMediaDataBase::setStatementObserver(std::function<void(const QString&, const QVariantList&)> observer)
{
    m_connection->setObserver(std::move(observer));
}

void CMediaDataBase::closeDatabase()
{
    // Kept statements go first: a connection closes cleanly only without them.
    m_connection->clearStatements();
    m_connection->resetBatch();
    m_pendingFiles.clear();
    m_pendingDays.clear();
    if (m_database.isValid())
        m_database.close();
}

bool CMediaDataBase::isWritable()
{
    // SQLite opens a file it cannot write without complaint and fails every write later: a storage
    // that silently keeps nothing must not start.
    // A file the user may not read is named as such: SQLite would only say it cannot open it. What
    // stands where the storage folder belongs is found when the folders are made.
    const QFileInfo root(m_root);
    const QFileInfo file(databasePath());
    if (root.isDir() && !root.isWritable())
        m_failure = {TMeskStorageFailure::Kind::FolderNotWritable, m_root, {}};
    else if (file.exists() && !file.isReadable())
        m_failure = {TMeskStorageFailure::Kind::FileNotReadable, file.filePath(), {}};
    else if (file.exists() && !file.isWritable())
        m_failure = {TMeskStorageFailure::Kind::FileNotWritable, file.filePath(), {}};
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

bool CMediaDataBase::failed(TMeskStorageFailure::Kind kind, const QString& path)
{
    // The first failure is the cause; what fails after it follows from it.
    if (m_failure.kind == TMeskStorageFailure::Kind::None)
        m_failure = {kind, path, {}};
    return false;
}

bool CMediaDataBase::failedInSqlite(const QSqlError& error)
{
    if (m_failure.kind == TMeskStorageFailure::Kind::None)
        m_failure = sqliteFailure(error, databasePath(), m_root);
    return false;
}

bool CMediaDataBase::open()
{
    m_thread = QThread::currentThread();
    m_opened = false;
    m_checkedPages = false;
    m_failure = {};
    m_replacedCopy.clear();
    m_otherVersion = false;
    closeDatabase();
    if (!isWritable())
        return false;
    m_connection->setLastError(QSqlError());
    m_opened = openWritable();
    if (m_opened) {
        readNotice();
        return true;
    }
    m_replacedCopy.clear();
    using Kind = TMeskStorageFailure::Kind;
    // A statement of the table objects that failed left its error on the connection.
    if (m_failure.kind == Kind::None && m_connection->lastError().isValid())
        failedInSqlite(m_connection->lastError());
    // Anything else names the storage folder.
    failed(Kind::Other, m_root);
    // A full disk fails whatever needs room first, in whatever words: making a folder or the file,
    // SQLite's log, a write.
    if (m_failure.kind != Kind::DiskFull && isOutOfRoom(m_root))
        m_failure = {Kind::DiskFull, m_root, {}};
    return false;
}

bool CMediaDataBase::openWritable()
{
    if (isDatabaseLinkBroken() || !initFileSystem())
        return false;
    if (!QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database = QSqlDatabase::database(m_connectionName, false);
    if (!m_database.isValid()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to load SQLite plugin");
        return false;
    }
    SchemaState state = checkSchema();
    if (state == SchemaState::Damaged)
        state = confirmDamage();
    switch (state) {
    case SchemaState::Valid:
        if (!proveWritable()) {
            closeDatabase();
            return false;
        }
        // Files a rebuild moved aside and was stopped before it removed them belong to the database it
        // replaced.
        dropFilesAside();
        configureConnection();
        if (createIndexes())
            return true;
        closeDatabase();
        return false;
    case SchemaState::Failed:
        closeDatabase();
        return false;
    case SchemaState::Empty:
        return rebuild(false);
    case SchemaState::Mismatch:
    case SchemaState::Damaged:
        break;
    }
    return rebuild(true);
}

bool CMediaDataBase::isDatabaseLinkBroken()
{
    // SQLite makes the file a link names when it is missing. Where it names a file on a disk that is not
    // there now, the new, empty database would replace the one the downloaded files belong to: with files
    // to lose, the start stops before anything is made.
    const QString target = missingLinkTarget(databasePath());
    if (target.isEmpty())
        return false;
    for (const char* name : fileFolders) {
        if (holdsFiles(folder(name)) || holdsFiles(asideFolder(folder(name)))) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: %1 links to %2, which does not exist")
                                      .arg(databasePath(), target);
            m_failure = {TMeskStorageFailure::Kind::BrokenLink, databasePath(), target};
            return true;
        }
    }
    return false;
}

bool CMediaDataBase::initFileSystem()
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
    for (const char* name : {"users", "items", "media"}) {
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
        if (m_failure.kind == TMeskStorageFailure::Kind::None)
            m_failure = folderFailure(failedFolder);
        return false;
    }
    // Left by a crash, or moved aside earlier: every one of them holds the account keys.
    const QString path = databasePath();
    for (const QString& companion :
         {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        makePrivate(path + companion, false);
    for (const QString& name : QDir(m_root).entryList({databaseFileName + QStringLiteral(".bak-*")},
                                                      QDir::Files | QDir::System | QDir::Hidden))
        makePrivate(m_root + QLatin1Char('/') + name, false);
    return true;
}

void CMediaDataBase::setTableDatabases(const QSqlDatabase& database)
{
    m_connection->setDatabase(database);
}

bool CMediaDataBase::openDatabase()
{
    makePrivateFile(databasePath());
    m_database.setDatabaseName(databasePath());
    if (!m_database.open()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << m_database.lastError().driverText() + QLatin1Char(' ') +
                                  m_database.lastError().databaseText();
        return failedInSqlite(m_database.lastError());
    }
    setTableDatabases(m_database);
    return true;
}

void CMediaDataBase::configureConnection()
{
    // A write-ahead log survives a power loss; NORMAL is safe in that mode. Neither result matters.
    // Run only on a file this program recognises or builds: a foreign file is left as it was found.
    QSqlQuery pragma(m_database);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
}

bool CMediaDataBase::proveWritable()
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
    if (const QString companion = unusableCompanion(databasePath()); !companion.isEmpty())
        return failed(TMeskStorageFailure::Kind::FileNotWritable, companion);
    return failedInSqlite(error);
}

bool CMediaDataBase::createIndexes()
{
    // IF NOT EXISTS: a file from before the indexes gains them, a current one is left as it is.
    if (m_keys.createIndexes() && m_users.createIndexes() && m_items.createIndexes() &&
        m_messages.createIndexes() && m_sync.createIndexes())
        return true;
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to create the indexes");
    return false;
}

CMediaDataBase::SchemaState CMediaDataBase::checkSchema()
{
    const bool unchanged = takeCleanCloseRecord();
    if (!openDatabase())
        return SchemaState::Failed;

    // A query failure tells a damaged file (rebuild) from one that cannot be read now (leave it).
    auto failure = [this](const QSqlQuery& query) {
        const QSqlError error = query.lastError();
        if (!isPassingFailure(error)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: not a usable SQLite database: %1")
                                      .arg(error.databaseText());
            return SchemaState::Damaged;
        }
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << error.driverText() + QLatin1Char(' ') + error.databaseText();
        failedInSqlite(error);
        return SchemaState::Failed;
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
        return SchemaState::Empty;
    for (const QString& table : tableNames) {
        if (!tables.contains(table)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: table %1 is missing").arg(table);
            return SchemaState::Mismatch;
        }
    }

    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;")))
        return failure(query);
    query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
    query.addBindValue(schemaVersionKey);
    if (!query.exec())
        return failure(query);
    if (!query.next()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: schema version is missing");
        return SchemaState::Mismatch;
    }
    const QString version = query.value(0).toString();
    query.finish();
    if (version.toInt() != SchemaVersion) {
        qDebug().noquote()
            << QStringLiteral("CMediaDataBase: schema version %1 is not %2").arg(version).arg(SchemaVersion);
        // A whole number there was written by another version of the program; anything else is damage.
        bool number = false;
        m_otherVersion = version.toInt(&number) > 0 && number;
        return SchemaState::Mismatch;
    }

    // Damaged interior pages pass the checks above and would later cut lists short. A file exactly as
    // this class closed it was whole then.
    if (unchanged)
        return SchemaState::Valid;
    m_checkedPages = true;
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
                return readFailed(databasePath(), readErrorWords, line);
        }
    }
    if (check.lastError().isValid())
        return failure(check);
    if (problems != QStringList{QStringLiteral("ok")}) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: not a usable SQLite database: %1")
                                  .arg(problems.mid(0, 3).join(QStringLiteral("; ")));
        return SchemaState::Damaged;
    }
    return SchemaState::Valid;
}

CMediaDataBase::SchemaState CMediaDataBase::readFailed(const QString& path, const QString& words,
                                                       const QString& seen)
{
    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to read %1: %2").arg(path, seen);
    closeDatabase();
    m_failure = {TMeskStorageFailure::Kind::FileNotReadable, path, words};
    return SchemaState::Failed;
}

CMediaDataBase::SchemaState CMediaDataBase::confirmDamage()
{
    // SQLite tells a read the device failed in a statement as damage ("database disk image is
    // malformed"). Before the file is replaced, the file and its log are read through as they lie on the
    // disk, where a failing device fails, and then checked whole once more on a new connection: only
    // damage found again is damage. A check that now passes read something else the first time.
    // SQLite keeps the log beside the file a link names.
    const QString target = QFileInfo(databasePath()).canonicalFilePath();
    const QString logPath = (target.isEmpty() ? databasePath() : target) + QStringLiteral("-wal");
    for (const QString& path : {databasePath(), logPath}) {
        if (QString words; !readsThrough(path, words))
            return readFailed(path, words, words);
    }
    closeDatabase();
    const SchemaState again = checkSchema();
    if (again == SchemaState::Mismatch || again == SchemaState::Damaged || again == SchemaState::Failed)
        return again;
    return readFailed(databasePath(), readErrorWords, QStringLiteral("the check passed at its second read"));
}

bool CMediaDataBase::rebuild(bool moveAside)
{
    m_connection->clearStatements();
    if (moveAside) {
        m_database.close();
        if (!moveDatabaseAside())
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
    return true;
}

bool CMediaDataBase::buildSchema()
{
    if (!m_database.isOpen() && !openDatabase())
        return false;
    configureConnection();
    // One transaction for the whole schema: one commit, and a failure leaves no half-built file.
    m_connection->beginBatch();
    const bool built =
        m_keys.createTables() && m_users.createTables() && m_items.createTables() &&
        m_messages.createTables() && m_sync.createTables() && createIndexes() &&
        m_keys.setServiceKey(MeskProvider::Database, schemaVersionKey, QString::number(SchemaVersion));
    const bool committed = m_connection->endBatch();
    return built && committed;
}

bool CMediaDataBase::moveDatabaseAside()
{
    const QString path = databasePath();
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
    // the notice is in place before the file is renamed, or nothing is renamed.
    const QString notice = m_root + QLatin1Char('/') + noticeFileName;
    const QByteArray reason = m_otherVersion ? "version" : "damaged";
    if (!writeFileAtomically(notice,
                             reason + '\n' + QFile::encodeName(QFileInfo(backup).fileName()) + '\n')) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to write %1").arg(notice);
        return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    }
    if (!QFile::rename(path, backup)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(path);
        ::unlink(QFile::encodeName(notice).constData());
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

void CMediaDataBase::readNotice()
{
    m_otherVersion = false;
    QFile notice(m_root + QLatin1Char('/') + noticeFileName);
    if (!notice.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = notice.read(4096).split('\n');
    notice.close();
    // Only a copy this class makes, beside the database.
    const QString name = lines.size() > 1 ? QFile::decodeName(lines.at(1)) : QString();
    const QString copy = m_root + QLatin1Char('/') + name;
    if (name.startsWith(databaseFileName + QStringLiteral(".bak-")) && !name.contains(QLatin1Char('/')) &&
        entryExists(copy)) {
        m_replacedCopy = copy;
        m_otherVersion = lines.first() == "version";
        return;
    }
    // The copy was moved or deleted since: nothing is left to tell.
    notice.remove();
}

void CMediaDataBase::dropReplacedNotice(const QString& root)
{
    ::unlink(QFile::encodeName(root + QLatin1Char('/') + noticeFileName).constData());
}

bool CMediaDataBase::moveFilesAside()
{
    // Each step leaves a state the next open finishes: a folder aside with an empty one in its place
    // (or none, which the next open makes) belongs to a database that is replaced or being replaced.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QByteArray inPlace;
    for (const char* name : fileFolders) {
        const QString path = folder(name);
        const QString aside = asideFolder(path);
        if (isLink(path)) {
            // The user's link to a folder elsewhere is kept: what it leads to is emptied after the commit.
            inPlace += QByteArray(name) + '\n';
            continue;
        }
        if (isMovedFolder(aside)) {
            // Moved aside by a rebuild stopped before its commit: what was made in its place since holds
            // nothing of a database. A folder is emptied where it stands: it may be a mount point.
            if (!(QFileInfo(path).isDir() ? clearFolder(path) : removeTree(path)))
                return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
        } else {
            bool moved = false;
            int error = 0;
            if (!entryExists(aside) || QFile::remove(aside)) {
                moved =
                    ::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0;
                error = moved ? 0 : errno;
            }
            if (error == EBUSY || error == EXDEV) {
                // A mount point, or a folder its file system cannot move: it stays, emptied after the
                // commit.
                inPlace += QByteArray(name) + '\n';
                continue;
            }
            if (!moved) {
                qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to move %1 aside").arg(path);
                return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
            }
        }
        if (!QFileInfo(path).isDir() && !QDir().mkdir(path, ownerOnly)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to make %1").arg(path);
            return failed(TMeskStorageFailure::Kind::FolderNotWritable, path);
        }
    }
    // A stop after the commit leaves the emptying to the next open, which finds the record.
    const QString record = m_root + QLatin1Char('/') + emptyingFileName;
    if (inPlace.isEmpty()) {
        ::unlink(QFile::encodeName(record).constData());
    } else if (!writeFileAtomically(record, inPlace)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to write %1").arg(record);
        return failed(TMeskStorageFailure::Kind::FolderNotWritable, m_root);
    }
    return true;
}

void CMediaDataBase::restoreFilesAside()
{
    for (const char* name : fileFolders) {
        const QString path = folder(name);
        const QString aside = asideFolder(path);
        // What stands in its place was made after the move; a link is the user's and stays.
        if (!isMovedFolder(aside) || isLink(path))
            continue;
        if (!removeTree(path) ||
            ::rename(QFile::encodeName(aside).constData(), QFile::encodeName(path).constData()) != 0)
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to put %1 back").arg(path);
    }
    // The folders left in place keep their files for the database that is still to be built.
    ::unlink(QFile::encodeName(m_root + QLatin1Char('/') + emptyingFileName).constData());
}

void CMediaDataBase::dropFilesAside()
{
    for (const char* name : fileFolders) {
        const QString aside = asideFolder(folder(name));
        if (entryExists(aside) && !removeTree(aside))
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(aside);
    }
    // The folders a committed rebuild left in place: what they hold, through a link too, belongs to the
    // database it replaced. What cannot be removed stays, and the record goes all the same: from now on
    // the folders fill for the new database.
    const QString record = m_root + QLatin1Char('/') + emptyingFileName;
    const QList<QByteArray> names = readSmallFile(record).split('\n');
    if (names.size() < 2)
        return;
    for (const char* name : fileFolders) {
        if (!names.contains(QByteArray(name)))
            continue;
        QStringList left;
        clearFolder(folder(name), &left);
        for (const QString& path : std::as_const(left))
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(path);
    }
    ::unlink(QFile::encodeName(record).constData());
}

bool CMediaDataBase::removeTree(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A link is removed itself, never followed.
    if (info.isSymLink() || !info.isDir())
        return QFile::remove(path);
    return clearFolder(path) && QDir().rmdir(path);
}

bool CMediaDataBase::clearFolder(const QString& path, QStringList* left)
{
    bool ok = true;
    QDir dir(path);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        bool removed = true;
        // A link is removed itself, never followed: its target may lie outside the storage.
        if (entry.isSymLink()) {
            removed = QFile::remove(entry.filePath());
        } else if (entry.isDir()) {
            ok = clearFolder(entry.filePath(), left) && ok;
            removed = dir.rmdir(entry.fileName());
        } else {
            removed = QFile::remove(entry.filePath());
        }
        if (!removed && left)
            left->append(entry.filePath());
        ok = removed && ok;
    }
    return ok;
}

QString CMediaDataBase::numberedFilePath(const QString& folder, mid_t id, const QString& suffix)
{
    const QString stem = folder + QLatin1Char('/') + QString::number(id) + QLatin1Char('.');
    const QString tail = QLatin1Char('.') + suffix;
    QString candidate;
    for (int n = 1; n <= MaxFileNumber; ++n) {
        candidate = stem + QString::number(n) + tail;
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return candidate;
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: no free file name, reusing %1").arg(candidate);
    return candidate;
}

QString CMediaDataBase::dayFolder(const char* base, qint64 created) const
{
    // The day in local time as the C library gives it (QDateTime asks it the same way), from the date
    // as the file holds it, so naming and removal agree whatever zone the caller's record is in. The
    // caller has read the zone (tzset).
    return folder(base) + QLatin1Char('/') + localDayName(created);
}

QString CMediaDataBase::dayFolder(const char* base, const SMediaItem& item) const
{
    ::tzset();
    return dayFolder(base, CMediaDataBaseMethod::dateValue(item.created));
}

QString CMediaDataBase::itemFilePath(const SMediaItem& item, const QString& suffix)
{
    checkThread(__func__);
    const QString dir = dayFolder("items", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, fileSuffix(suffix));
}

QString CMediaDataBase::mediaFilePath(const SMediaItem& item, const QString& suffix)
{
    checkThread(__func__);
    const QString dir = dayFolder("media", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, fileSuffix(suffix));
}

QString CMediaDataBase::userFilePath(mid_t user, const QString& suffix)
{
    checkThread(__func__);
    return numberedFilePath(folder("users"), user, fileSuffix(suffix));
}

QString CMediaDataBase::userImagePath(mid_t user, const QString& imageUrl)
{
    checkThread(__func__);
    const qsizetype dot = imageUrl.lastIndexOf(QLatin1Char('.'));
    QString suffix = dot < 0 ? imageUrl : imageUrl.mid(dot + 1);
    if (!isSafeSuffix(suffix, 3))
        suffix = QStringLiteral("img");
    return folder("users") + QLatin1Char('/') + QString::number(user) + QLatin1Char('.') + suffix;
}

bool CMediaDataBase::removeFilesIn(const QString& path, const SPendingFolder& pending)
{
    QDir dir(path);
    if (!dir.exists())
        return true;
    bool ok = true;
    // One listing for all the folder's items: a day folder holds thousands of files.
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::System | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo& file : files) {
        const QString name = file.fileName();
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            continue;
        bool isNumber = false;
        const mid_t id = name.left(dot).toULongLong(&isNumber);
        // "12.1.jpg" belongs to item 12; "012.1.jpg" and "12x.1.jpg" belong to no item.
        if (!isNumber || !pending.ids.contains(id) || QString::number(id) != name.left(dot))
            continue;
        if (file.isDir() && !file.isSymLink())
            continue;
        if (!QFile::remove(file.filePath())) {
            qDebug().noquote()
                << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(file.filePath());
            ok = false;
        }
    }
    // rmdir fails, harmlessly, on a folder that still holds something.
    if (pending.removeFolder)
        QDir().rmdir(path);
    return ok;
}

void CMediaDataBase::queueFileRemoval(const QString& folder, mid_t id, bool removeFolder)
{
    SPendingFolder& pending = m_pendingFiles[folder];
    pending.ids.insert(id);
    pending.removeFolder = pending.removeFolder || removeFolder;
}

void CMediaDataBase::queueItemFiles(mid_t id, qint64 created)
{
    // An item without a date keeps its files in items and media themselves, which stay.
    if (created == CMediaDataBaseMethod::NullDate || created < 0) {
        queueFileRemoval(dayFolder("items", created), id, false);
        queueFileRemoval(dayFolder("media", created), id, false);
        return;
    }
    // A day folder is named after the local day of the item when its file is stored, in the zone then
    // in force, which need not be today's: every day that a zone gives the moment is looked in (UTC
    // offsets from -12 to +14 hours, and the zone in force). Only the item's own files go.
    constexpr qint64 Day = 24 * 3600;
    constexpr qint64 West = 12 * 3600;
    constexpr qint64 East = 14 * 3600;
    const auto dayOf = [](qint64 seconds) {
        return seconds >= 0 ? seconds / Day : (seconds - Day + 1) / Day;
    };
    const qint64 first = dayOf(created - West);
    const qint64 last = dayOf(created + East);
    for (qint64 day = first; day <= last; ++day)
        m_pendingDays[day].insert(id);
    const time_t seconds = time_t(created);
    struct tm local
    {
    };
    if (::localtime_r(&seconds, &local)) {
        const qint64 day = dayOf(created + local.tm_gmtoff);
        if (day < first || day > last)
            m_pendingDays[day].insert(id);
    }
}

bool CMediaDataBase::removePendingFiles()
{
    const QHash<QString, SPendingFolder> pending = std::exchange(m_pendingFiles, {});
    const QHash<qint64, QSet<mid_t>> days = std::exchange(m_pendingDays, {});
    bool ok = true;
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        ok = removeFilesIn(it.key(), it.value()) && ok;
    const QDate epoch(1970, 1, 1);
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        const QString name = epoch.addDays(it.key()).toString(QStringLiteral("yyMMdd"));
        const SPendingFolder folderFiles{it.value(), true};
        for (const char* base : {"items", "media"})
            ok = removeFilesIn(folder(base) + QLatin1Char('/') + name, folderFiles) && ok;
    }
    return ok;
}

// --- Batches ------------------------------------------------------------------------------------

void CMediaDataBase::openBatch()
{
    m_connection->beginBatch();
}

bool CMediaDataBase::closeBatch()
{
    const bool outermost = m_connection->batchDepth() == 1;
    const bool committed = m_connection->endBatch();
    if (!outermost)
        return committed;
    // The rows are gone for good only now: their files follow. A rolled-back batch keeps them.
    if (!committed) {
        m_pendingFiles.clear();
        m_pendingDays.clear();
        return false;
    }
    return removePendingFiles();
}

bool CMediaDataBase::beginBatch()
{
    checkThread(__func__);
#ifndef QT_NO_DEBUG
    if (m_connection->batchDepth() == 0) {
        // Runs when control is back in the event loop, where no batch may be open any more.
        QMetaObject::invokeMethod(
            this,
            [this] {
                Q_ASSERT_X(m_connection->batchDepth() == 0, "CMediaStorageBatch",
                           "a storage batch is open across a return to the event loop");
            },
            Qt::QueuedConnection);
    }
#endif
    openBatch();
    return !m_connection->batchFailed();
}

bool CMediaDataBase::endBatch()
{
    checkThread(__func__);
    return closeBatch();
}

// --- Text messages ------------------------------------------------------------------------------

bool CMediaDataBase::addSmsMessage(SSmsMessage& message)
{
    checkThread(__func__);
    return m_messages.addSmsMessage(message);
}

bool CMediaDataBase::updateSmsMessage(const SSmsMessage& message)
{
    checkThread(__func__);
    return m_messages.updateSmsMessage(message);
}

bool CMediaDataBase::deleteSmsMessage(mid_t id)
{
    checkThread(__func__);
    return m_messages.deleteSmsMessage(id);
}

QList<SSmsMessage> CMediaDataBase::smsMessages(bool* ok)
{
    checkThread(__func__);
    return m_messages.smsMessages(ok);
}

QList<SSmsMessage> CMediaDataBase::smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                                      bool* ok)
{
    checkThread(__func__);
    return m_messages.smsMessagesBetween(upper, lower, ok);
}

QDateTime CMediaDataBase::latestSmsMessageAtOrBefore(const QDateTime& upper, bool* ok)
{
    checkThread(__func__);
    return m_messages.latestAtOrBefore(upper, ok);
}

QList<SSmsOnModem> CMediaDataBase::smsOnModem(bool* ok)
{
    checkThread(__func__);
    return m_messages.onModem(ok);
}

bool CMediaDataBase::addSmsOnModem(SSmsOnModem& entry)
{
    checkThread(__func__);
    return m_messages.addOnModem(entry);
}

bool CMediaDataBase::updateSmsOnModem(const SSmsOnModem& entry)
{
    checkThread(__func__);
    return m_messages.updateOnModem(entry);
}

bool CMediaDataBase::deleteSmsOnModem(mid_t id)
{
    checkThread(__func__);
    return m_messages.deleteOnModem(id);
}

bool CMediaDataBase::clearSmsOnModemOrigins()
{
    checkThread(__func__);
    return m_messages.clearOnModemOrigins();
}

QList<mid_t> CMediaDataBase::sameSmsMessages(const SSmsMessage& message, bool withCreated, bool* ok)
{
    checkThread(__func__);
    return m_messages.sameMessages(message, withCreated, ok);
}

// --- Items --------------------------------------------------------------------------------------

bool CMediaDataBase::addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    return m_items.addMediaItem(item, fields);
}

bool CMediaDataBase::mediaItem(mid_t id, SMediaItem& item, bool* ok)
{
    checkThread(__func__);
    return m_items.mediaItem(id, item, ok);
}

bool CMediaDataBase::updateMediaItem(const SMediaItem& item)
{
    checkThread(__func__);
    return m_items.updateMediaItem(item);
}

void CMediaDataBase::setMediaItemField(mid_t item, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    m_items.setMediaItemField(item, fields);
}

void CMediaDataBase::mediaItemFields(mid_t item, QHash<QString, QString>& fields, bool* ok)
{
    checkThread(__func__);
    const bool done = m_items.mediaItemFields(item, fields);
    if (ok)
        *ok = done;
}

QList<QPair<QString, QString>> CMediaDataBase::mediaItemFieldList(mid_t item, bool* ok)
{
    checkThread(__func__);
    QList<QPair<QString, QString>> fields;
    const bool done = m_items.mediaItemFieldList(item, fields);
    if (ok)
        *ok = done;
    return fields;
}

QList<SMediaItem> CMediaDataBase::childItems(mid_t parent, bool* ok)
{
    checkThread(__func__);
    return m_items.childItems(parent, ok);
}

QList<SMediaItem> CMediaDataBase::eventItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                    mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::eventTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::eventItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::eventTypes(), provider, ok);
}

QDateTime CMediaDataBase::latestEventAtOrBefore(const QDateTime& upper, mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.latestOfTypesAtOrBefore(CMediaDataBaseItems::eventTypes(), upper, provider, ok);
}

QList<SMediaItem> CMediaDataBase::mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower,
                                                      mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::mediaObjectTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::mediaObjects(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::mediaObjectTypes(), provider, ok);
}

QList<SMediaItem> CMediaDataBase::linkItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                   mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::linkTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::linkItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::linkTypes(), provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemByMediaId(mid_t provider, const QString& mediaId, bool* ok)
{
    checkThread(__func__);
    return m_items.itemByMediaId(provider, mediaId, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                                     mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByTypeBetween(upper, lower, type, provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByType(int type, mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByType(type, provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                               bool* ok)
{
    checkThread(__func__);
    return m_items.itemsBetween(upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::providerItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.providerItems(provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByContent(mid_t provider, const QString& text, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByContent(provider, text, ok);
}

QDateTime CMediaDataBase::latestItem(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.latestItem(provider, ok);
}

QString CMediaDataBase::itemsByMediaIdDesc(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByMediaIdDesc(provider, ok);
}

bool CMediaDataBase::deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited)
{
    // A parent chain that loops back (an item updated to be its own ancestor) ends here.
    if (visited.contains(item.id))
        return true;
    visited.insert(item.id);
    bool read = false;
    const QList<SMediaItem> children = m_items.childItems(item.id, &read);
    if (!read)
        return false;
    for (const SMediaItem& child : children) {
        if (!deleteItemTree(child, visited))
            return false;
    }
    if (!m_items.deleteItemRows({item.id}))
        return false;
    ::tzset();
    queueItemFiles(item.id, CMediaDataBaseMethod::dateValue(item.created));
    return true;
}

bool CMediaDataBase::deleteMediaItem(mid_t id)
{
    checkThread(__func__);
    SMediaItem item;
    if (!m_items.mediaItem(id, item))
        return false;
    openBatch();
    QSet<mid_t> visited;
    const bool deleted = deleteItemTree(item, visited);
    return closeBatch() && deleted;
}

bool CMediaDataBase::deleteProviderItems(mid_t provider)
{
    checkThread(__func__);
    bool read = false;
    const QList<SMediaItem> items = m_items.providerItems(provider, &read);
    if (!read)
        return false;
    QList<mid_t> ids;
    ids.reserve(items.size());
    for (const SMediaItem& item : items)
        ids.append(item.id);
    openBatch();
    const bool deleted = m_items.deleteItemRows(ids);
    if (deleted) {
        ::tzset();
        for (const SMediaItem& item : items)
            queueItemFiles(item.id, CMediaDataBaseMethod::dateValue(item.created));
    }
    return closeBatch() && deleted;
}

// --- Users --------------------------------------------------------------------------------------

bool CMediaDataBase::addServiceUser(SServiceUser& user)
{
    checkThread(__func__);
    if (!m_users.addServiceUser(user))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::serviceUser(mid_t id, SServiceUser& user, bool* ok)
{
    checkThread(__func__);
    if (!m_users.serviceUser(id, user, ok))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::updateServiceUser(const SServiceUser& user)
{
    checkThread(__func__);
    return m_users.updateServiceUser(user);
}

void CMediaDataBase::setServiceUserField(mid_t user, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    m_users.setServiceUserField(user, fields);
}

void CMediaDataBase::serviceUserFields(mid_t user, QHash<QString, QString>& fields, bool* ok)
{
    checkThread(__func__);
    const bool done = m_users.serviceUserFields(user, fields);
    if (ok)
        *ok = done;
}

QList<SServiceUser> CMediaDataBase::serviceUserByMediaId(mid_t provider, const QString& mediaId, bool* ok)
{
    checkThread(__func__);
    return m_users.serviceUserByMediaId(provider, mediaId, ok);
}

QList<SServiceUser> CMediaDataBase::serviceUsers(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_users.serviceUsers(provider, ok);
}

QList<SServiceUser> CMediaDataBase::findServiceUsers(mid_t provider, const QString& name, bool* ok)
{
    checkThread(__func__);
    return m_users.findServiceUsers(provider, name, ok);
}

bool CMediaDataBase::deleteServiceUser(mid_t id)
{
    checkThread(__func__);
    SServiceUser user;
    if (!m_users.serviceUser(id, user))
        return false;
    openBatch();
    const bool deleted = m_users.deleteUserRows({id});
    if (deleted)
        queueFileRemoval(folder("users"), id, false);
    return closeBatch() && deleted;
}

bool CMediaDataBase::deleteProviderUsers(mid_t provider)
{
    checkThread(__func__);
    bool read = false;
    const QList<SServiceUser> users = m_users.serviceUsers(provider, &read);
    if (!read)
        return false;
    QList<mid_t> ids;
    ids.reserve(users.size());
    for (const SServiceUser& user : users)
        ids.append(user.id);
    openBatch();
    const bool deleted = m_users.deleteUserRows(ids);
    if (deleted) {
        for (mid_t id : ids)
            queueFileRemoval(folder("users"), id, false);
    }
    return closeBatch() && deleted;
}

// --- Service keys -------------------------------------------------------------------------------

bool CMediaDataBase::setServiceKey(mid_t provider, const QString& key, const QString& value)
{
    checkThread(__func__);
    // Provider 0's row holds the schema version: without it the next start moves the file aside.
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.setServiceKey(provider, key, value);
}

bool CMediaDataBase::serviceKey(mid_t provider, const QString& key, QString& value, bool* ok)
{
    checkThread(__func__);
    return m_keys.serviceKey(provider, key, value, ok);
}

bool CMediaDataBase::deleteServiceKeys(mid_t provider)
{
    checkThread(__func__);
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.deleteServiceKeys(provider);
}

bool CMediaDataBase::deleteServiceKey(mid_t provider, const QString& key)
{
    checkThread(__func__);
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.deleteServiceKey(provider, key);
}

// --- Sync records and clean-up ------------------------------------------------------------------

bool CMediaDataBase::setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    checkThread(__func__);
    return m_sync.writeSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    checkThread(__func__);
    return m_sync.writeSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::cleanup(bool onlyExpired)
{
    checkThread(__func__);
    bool ok = false;
    const QSet<mid_t> kept = m_sync.keptEvents(onlyExpired, &ok);
    if (!ok) {
        qDebug().noquote() << QStringLiteral(
            "CMediaDataBase: sync records cannot be read, nothing cleaned up");
        return true;
    }
    // One transaction for the whole clean-up, and one listing per day folder for all its files.
    openBatch();
    QList<QPair<mid_t, qint64>> gone;
    if (m_items.deleteExpiredTrees(kept, gone)) {
        // The zone is read once for all the day folders.
        ::tzset();
        for (const auto& [id, created] : gone)
            queueItemFiles(id, created);
    }
    if (closeBatch())
        return true;
    qDebug().noquote() << QStringLiteral("CMediaDataBase: the clean-up failed, nothing was removed");
    return false;
}

QList<SMediaItem> CMediaDataBase::syncRecords(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.listedItems(provider, ok);
}

// --- Read failures ------------------------------------------------------------------------------

void CMediaDataBase::tellReadFailure(const QSqlError& error)
{
    // The reads of open() tell their failures through openFailure().
    if (!m_opened)
        return;
    const QString words = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    emit readError(TMeskStorageFailure{TMeskStorageFailure::Kind::FileNotReadable, databasePath(), words});
}
