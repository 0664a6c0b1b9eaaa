#pragma once

#include <QString>

// Why the storage could not be opened, in the terms the user is told at start-up: what went wrong,
// where, and SQLite's own words when SQLite reported it.
struct TMeskStorageFailure
{
    enum class Kind
    {
        None,
        // The storage folder (or one of its items, media and users folders) cannot be made or written to.
        FolderNotWritable,
        // The database file exists but cannot be written to.
        FileNotWritable,
        // SQLite cannot open or read the database file; detail holds its words.
        FileNotReadable,
        // The file system holding the storage has no room left; path is the storage folder.
        DiskFull,
        // Anything else; path is the storage folder.
        Other
    };

    Kind kind = Kind::None;
    // The folder or file concerned, as the storage names it.
    QString path;
    // SQLite's message, when SQLite reported the failure.
    QString detail;
};
