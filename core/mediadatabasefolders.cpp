#include "mediadatabasefolders.h"

#include "mediadatabasenames.h"
#include "meskclock.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace MediaDataBaseFolders {

namespace {
// What one pass over a folder of downloaded files does with the program's files in it.
enum class OwnFiles
{
    Find,     // only looks: stops at the first entry that is not the program's
    Remove,   // removes them: a folder the program made
    MoveAside // moves them into a replaced-<date-time> folder in it: a folder the user arranged
};

// One pass over a folder of downloaded files (items, media or users, or one moved aside). The program's
// files are regular files by the names it makes there (MediaDataBaseNames); it writes no links. A day
// folder (at the top of items and media) is entered when it is a real folder of the same mount. Everything
// else is the user's: kept lists it.
class COwnFilesPass
{
public:
    COwnFilesPass(OwnFiles mode, bool users) : m_mode(mode), m_users(users) {}

    // The folder may be the user's link to a folder elsewhere: what it leads to is walked. False when
    // something in it is not the program's.
    bool walk(const QString& path)
    {
        m_top = path;
        const SEntry folder = entryAt(path, SEntry::Follow);
        const bool onlyOwn = !folder.isFolder() || walkLevel(path, QString(), folder.info.st_dev);
        // A replaced folder holds what moved, or is not left behind.
        if (moved == 0 && !replaced.isEmpty() && ::rmdir(QFile::encodeName(replaced).constData()) == 0)
            replaced.clear();
        return onlyOwn;
    }

    QStringList kept;
    // MoveAside: the folder they went to (empty while none moved), and how many entries went.
    QString replaced;
    int moved = 0;
    // MoveAside: the program's entries that could not be moved and stay where they are, and the system's
    // error of the last such move.
    QStringList notMoved;
    int moveError = 0;
    // Remove: one of the program's files could not be removed.
    bool failed = false;

private:
    bool walkLevel(const QString& path, const QString& day, dev_t device)
    {
        bool onlyOwn = true;
        const QStringList names = QDir(path).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::NoSort);
        for (const QString& name : names) {
            const QString entry = path + QLatin1Char('/') + name;
            const QByteArray encoded = QFile::encodeName(entry);
            const SEntry found = entryAt(encoded);
            if (!found.exists())
                continue;
            const QString inFolder = day.isEmpty() ? name : day + QLatin1Char('/') + name;
            if (found.isFile() && (m_users ? MediaDataBaseNames::isUserFolderFileName(name)
                                           : MediaDataBaseNames::isNumberedFileName(name))) {
                if (m_mode == OwnFiles::Remove && ::unlink(encoded.constData()) != 0 && errno != ENOENT) {
                    qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove %1").arg(entry);
                    failed = true;
                } else if (m_mode == OwnFiles::MoveAside) {
                    moveAside(entry, inFolder);
                }
                continue;
            }
            // A day folder linked or mounted there (another file system, a bind mount) stays, whatever it
            // holds.
            if (!m_users && day.isEmpty() && MediaDataBaseNames::isDayFolderName(name) &&
                isOwnDayFolder(entry, found, device)) {
                // A day folder of nothing but the program's files moves whole.
                if (m_mode == OwnFiles::MoveAside &&
                    COwnFilesPass(OwnFiles::Find, false).walkLevel(entry, name, device)) {
                    moveAside(entry, name);
                    continue;
                }
                onlyOwn = walkLevel(entry, name, device) && onlyOwn;
                // rmdir fails, harmlessly, on a folder that still holds something.
                if (m_mode == OwnFiles::Remove)
                    ::rmdir(encoded.constData());
                if (!onlyOwn && m_mode == OwnFiles::Find)
                    return false;
                continue;
            }
            onlyOwn = false;
            if (m_mode == OwnFiles::Find)
                return false;
            kept.append(entry);
        }
        return onlyOwn;
    }

    // Moves an entry to the same place in the replaced folder, which the first one makes beside the entries
    // (so on the same file system): replaced-<date-time>, or with -2, -3, ... when that name is taken. An
    // entry that cannot be moved stays where it is; a folder made for it alone goes again.
    void moveAside(const QString& entry, const QString& inFolder)
    {
        const auto stays = [this, &entry](int error) {
            moveError = error;
            notMoved.append(entry);
        };
        if (replaced.isEmpty()) {
            // Once the folder could not be made, it is not tried again in this pass.
            if (moveError != 0)
                return stays(moveError);
            const QString stamp = MeskClock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            int error = 0;
            for (int n = 1; replaced.isEmpty(); ++n) {
                const QString candidate = m_top + QStringLiteral("/replaced-") + stamp +
                                          (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
                if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0)
                    replaced = candidate;
                else if ((error = errno) != EEXIST || n >= 1000)
                    break;
            }
            if (replaced.isEmpty()) {
                qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to make a folder in %1: %2")
                                          .arg(m_top, qt_error_string(error));
                return stays(error);
            }
        }
        const QString target = replaced + QLatin1Char('/') + inFolder;
        QByteArray madeDay;
        if (const qsizetype slash = inFolder.indexOf(QLatin1Char('/')); slash > 0) {
            const QByteArray day = QFile::encodeName(replaced + QLatin1Char('/') + inFolder.left(slash));
            if (::mkdir(day.constData(), 0700) == 0)
                madeDay = day;
            else if (errno != EEXIST)
                return stays(errno);
        }
        if (::rename(QFile::encodeName(entry).constData(), QFile::encodeName(target).constData()) != 0) {
            const int error = errno;
            qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to move %1 to %2: %3")
                                      .arg(entry, target, qt_error_string(error));
            if (!madeDay.isEmpty())
                ::rmdir(madeDay.constData());
            return stays(error);
        }
        ++moved;
    }

    OwnFiles m_mode;
    bool m_users;
    QString m_top;
};

// The entries as named inside the folder at path.
QString namesIn(const QString& path, const QStringList& entries)
{
    QStringList names;
    for (const QString& entry : entries)
        names.append(entry.mid(path.size() + 1));
    return names.join(QStringLiteral(", "));
}

// Told once for a whole folder: what the user keeps there is theirs.
void logKept(const QString& path, const QStringList& kept)
{
    if (kept.isEmpty())
        return;
    qDebug().noquote() << QStringLiteral("CMediaDataBase: kept in %1 what it did not make: %2")
                              .arg(path, namesIn(path, kept));
}
} // namespace

SEntry entryAt(const QByteArray& name, SEntry::Links links)
{
    SEntry entry;
    const int found = links == SEntry::Follow ? ::stat(name.constData(), &entry.info)
                                              : ::lstat(name.constData(), &entry.info);
    entry.error = found == 0 ? 0 : errno;
    return entry;
}

SEntry entryAt(const QString& path, SEntry::Links links)
{
    return entryAt(QFile::encodeName(path), links);
}

// What the link at the path names when that leads nowhere, as an absolute path: to nothing (a disk that is
// not mounted there, say), or round in a loop of links. Empty for anything else.
QString missingLinkTarget(const QString& path)
{
    if (!entryAt(path).isLink())
        return {};
    const SEntry target = entryAt(path, SEntry::Follow);
    if (target.exists() || (target.error != ENOENT && target.error != ENOTDIR && target.error != ELOOP))
        return {};
    return QFileInfo(path).symLinkTarget();
}

// Whether a folder holds a file anywhere below it (links are not followed).
bool holdsFiles(const QString& path)
{
    return QDirIterator(path, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories)
        .hasNext();
}

// Whether a folder is the root of a mount: a file system of its own, or a bind mount on the same one. The
// kernel says so through statx; where it cannot, a device other than the parent's or a mount point the
// kernel lists tells it.
bool isMountRoot(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx info
    {
    };
    if (::statx(AT_FDCWD, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &info) == 0 &&
        (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    const SEntry entry = entryAt(name);
    const SEntry parent = entryAt(QFileInfo(path).absolutePath());
    if (!entry.isFolder() || (parent.exists() && parent.info.st_dev != entry.info.st_dev))
        return entry.isFolder();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (canonical.isEmpty() || !mounts.open(QIODevice::ReadOnly))
        return false;
    // The fifth field of each line is a mount point, with space, tab, line feed and backslash as octal
    // escapes.
    static const QRegularExpression escape(QStringLiteral("\\\\([0-7]{3})"));
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        QString point = QFile::decodeName(fields.at(4));
        QRegularExpressionMatch match;
        for (qsizetype at = 0; (at = point.indexOf(escape, at, &match)) >= 0; ++at)
            point.replace(at, match.capturedLength(), QChar(match.captured(1).toUShort(nullptr, 8)));
        if (point == canonical)
            return true;
    }
    return false;
}

// Whether the user arranged a folder of downloaded files: it is a link to a folder elsewhere, or a mount
// point (a disk of its own, a bind mount). A start or a rebuild deletes nothing there.
bool isArranged(const QString& path)
{
    const SEntry entry = entryAt(path);
    return entry.isLink() || (entry.isFolder() && isMountRoot(path));
}

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

bool isOwnDayFolder(const QString& path, const SEntry& entry, dev_t device)
{
    return entry.isFolder() && entry.info.st_dev == device && !isMountRoot(path);
}

bool removeOwnFiles(const QString& path, bool users)
{
    COwnFilesPass pass(OwnFiles::Remove, users);
    pass.walk(path);
    logKept(path, pass.kept);
    return !pass.failed;
}

void moveOwnFilesAside(const QString& path, bool users)
{
    COwnFilesPass pass(OwnFiles::MoveAside, users);
    pass.walk(path);
    if (pass.moved > 0) {
        qDebug().noquote() << QStringLiteral(
                                  "CMediaDataBase: %1 is the user's link or mount point: moved the "
                                  "%2 entries the program made there into %3")
                                  .arg(path)
                                  .arg(pass.moved)
                                  .arg(pass.replaced);
    }
    if (!pass.notMoved.isEmpty()) {
        // They stay where they are: a later download picks a free name beside them.
        const bool full = pass.moveError == ENOSPC || pass.moveError == EDQUOT || isOutOfRoom(path);
        qDebug().noquote()
            << (full ? QStringLiteral("CMediaDataBase: the disk that holds %1 is full: kept there "
                                      "what could not be moved aside: %2")
                     : QStringLiteral("CMediaDataBase: kept in %1 what could not be moved aside: %2"))
                   .arg(path, namesIn(path, pass.notMoved));
    }
    logKept(path, pass.kept);
}

bool holdsOnlyOwnFiles(const QString& path, bool users)
{
    return COwnFilesPass(OwnFiles::Find, users).walk(path);
}

bool removeFilesOf(const QString& path, const QSet<mid_t>& ids, bool users, bool day)
{
    QDir dir(path);
    if (!dir.exists())
        return true;
    // QDir follows a link to a folder: a day folder the user linked or mounted there is not entered.
    if (day &&
        !isOwnDayFolder(path, entryAt(path), entryAt(QFileInfo(path).path(), SEntry::Follow).info.st_dev)) {
        qDebug().noquote()
            << QStringLiteral("CMediaDataBase: kept %1, the user's link or mount point").arg(path);
        return true;
    }
    bool ok = true;
    // One listing for all the folder's items: a day folder holds thousands of files. The program writes
    // no links: one there is the user's, whatever its name.
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::System | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo& file : files) {
        // Only names of the program's exact shape for the id: "12.1.jpg" belongs to item 12; "12.notes.txt",
        // "12.1.jpg.orig", "12.1.jpg.backup" and "012.1.jpg" belong to no item.
        const QString name = file.fileName();
        const mid_t id = users ? MediaDataBaseNames::userFolderFileOwner(name)
                               : MediaDataBaseNames::numberedFileOwner(name);
        if (id == 0 || !ids.contains(id) || file.isSymLink() || !file.isFile())
            continue;
        if (!QFile::remove(file.filePath())) {
            qDebug().noquote()
                << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(file.filePath());
            ok = false;
        }
    }
    return ok;
}

} // namespace MediaDataBaseFolders
