#pragma once

#include <QString>

// Why the storage could not be opened, in the terms the user is told at start-up: what went wrong,
// where, and SQLite's own words when SQLite reported it.
struct TMeskStorageFailure
{
    enum class Kind
    {
        None,
        // A folder cannot be written to: the storage folder (or one of its items, media and users
        // folders), or, where one of these cannot be made, the nearest existing folder above it.
        FolderNotWritable,
        // Something other than a folder is where the storage needs one (the storage folder, a folder
        // above it or one of its own folders): path names it.
        NotAFolder,
        // The database file exists but cannot be written to.
        FileNotWritable,
        // The database file cannot be read: SQLite cannot open or read it (detail holds its words), or
        // its permissions forbid reading it (detail is empty).
        FileNotReadable,
        // The file system holding the storage has no room left; path is the storage folder.
        DiskFull,
        // HOME is unset or empty and XDG_DATA_HOME gives no folder either, so the storage lies below the
        // file system's root; path is the storage folder.
        HomeNotSet,
        // The storage lies below HOME, which names no existing folder; path is HOME's folder.
        HomeNotFound,
        // A link leads nowhere (it names something that does not exist, a disk that is not mounted, say,
        // or it leads round a loop of links) where the storage needs a folder, or in place of the database
        // file while the storage holds downloaded files; path is the link, detail what it names.
        BrokenLink,
        // Anything else; path is the storage folder.
        Other,
        // A write to the open database file failed (a statement, a transaction's start or its commit):
        // what was to be stored is not kept. path is the file, detail SQLite's words.
        NotSaved,
    };

    Kind kind = Kind::None;
    // The folder or file concerned, as the storage names it.
    QString path;
    // SQLite's message, when SQLite reported the failure (or the system's, for a read that failed); for
    // BrokenLink the link's target.
    QString detail;
};
