#pragma once

#include "meskrecords.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cerrno>

#include <sys/stat.h>

// The folders of downloaded files as the storage finds them on the disk: what is at a path (a link is never
// followed unless asked), whether a folder is the user's arrangement (a link to a folder elsewhere, a mount
// point), and the walks that remove or move aside the program's files (MediaDataBaseNames) in them. The open
// and the exit's clean-up both go through here, so neither removes anything through a link of the user's or
// in a folder mounted there.
namespace MediaDataBaseFolders {

// What is at a path: lstat's answer (a link is never followed), or stat's with Follow.
struct SEntry
{
    enum Links
    {
        Stay,
        Follow
    };

    // 0 when something is there, else the system's error (ENOENT: nothing).
    int error = ENOENT;
    struct stat info
    {
    };

    bool exists() const { return error == 0; }
    bool isFolder() const { return error == 0 && S_ISDIR(info.st_mode); }
    bool isFile() const { return error == 0 && S_ISREG(info.st_mode); }
    bool isLink() const { return error == 0 && S_ISLNK(info.st_mode); }
};

SEntry entryAt(const QByteArray& name, SEntry::Links links = SEntry::Stay);
SEntry entryAt(const QString& path, SEntry::Links links = SEntry::Stay);

// What the link at the path names when that leads nowhere, as an absolute path: to nothing (a disk that is
// not mounted there, say), or round in a loop of links. Empty for anything else.
QString missingLinkTarget(const QString& path);

// Whether a folder holds a file anywhere below it (links are not followed).
bool holdsFiles(const QString& path);

// Whether a folder is the root of a mount: a file system of its own, or a bind mount on the same one.
bool isMountRoot(const QString& path);

// Whether the file system holding the path (or, while it does not exist, its nearest existing parent) has
// no room left for the user: no free block or no free file entry. A read-only file system is not full,
// however little it reports free.
bool isOutOfRoom(const QString& path);

// Whether the day folder at path (entry: what lstat found there) is the program's to enter: a real folder,
// not a link, on the mount of the folder above it (device), and not a mount root itself.
bool isOwnDayFolder(const QString& path, const SEntry& entry, dev_t device);

// Whether the user arranged a folder of downloaded files: it is a link to a folder elsewhere, or a mount
// point (a disk of its own, a bind mount). A start or a rebuild deletes nothing there.
bool isArranged(const QString& path);

// The walks over a folder of downloaded files (items, media or users, or one moved aside; users: the users
// folder, whose names differ). The program's files are regular files by the names it makes there; it writes
// no links. A day folder (at the top of items and media) is entered when it is a real folder of the same
// mount. Everything else is the user's and stays; it is logged once for the folder.
//
// Removes the program's files; a day folder is removed once empty. False when one of them could not be
// removed.
bool removeOwnFiles(const QString& path, bool users);
// The same files (a day folder of nothing else whole) move into a new replaced-<date-time> folder in the
// folder, in the same places, made with the first move; logged. One that cannot be moved stays where it is
// and is named in the log (with a full disk as such).
void moveOwnFilesAside(const QString& path, bool users);
// Whether the folder holds nothing but what removeOwnFiles() removes.
bool holdsOnlyOwnFiles(const QString& path, bool users);

// The exit's clean-up and a user's deletion: removes from one folder (a day folder, or items, media or users
// themselves) the program's files of the ids given. A day folder that is a link or a mount point is not
// entered. False when one of them could not be removed.
bool removeFilesOf(const QString& path, const QSet<mid_t>& ids, bool users, bool day);

} // namespace MediaDataBaseFolders
