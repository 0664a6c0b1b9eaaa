#pragma once

#include "meskrecords.h"

#include <QString>

// The names the storage gives downloaded files, and how it recognises them again: making and recognising a
// name live here together, so a folder is only ever emptied of names this program makes.
//
// items/ and media/ hold day folders (<yyMMdd>, six digits of a real day) and, for items without a date, item
// files at their top; a day folder holds item files "<item id>.<number>.<suffix>". users/ holds user images
// "<user id>.<suffix of up to three>" and user files "<user id>.<number>.<suffix>". A suffix is ASCII letters
// and digits. A download's temporary sibling ("<name>.XXXXXX", six random letters from QSaveFile, left behind
// by a stop where the file system has no unnamed temporary files) is none of them: nothing tells it from a
// user's "<name>.backup", so it stays.
namespace MediaDataBaseNames {

// Most numbered files of one id in one folder.
constexpr int MaxFileNumber = 1000;

// A suffix that came from outside becomes part of a file name: only ASCII letters and digits pass.
bool isSafeSuffix(const QString& suffix, qsizetype maxLength);
// The suffix as given when it is safe, else "img".
QString fileSuffix(const QString& suffix);

// The local day of a stored date as a day folder's name (yyMMdd), from the zone the C library has read;
// empty for an item without a date.
QString dayName(qint64 created);
// "<id>.<number>.<suffix>": an item's or a user's numbered file.
QString numberedFileName(mid_t id, int number, const QString& suffix);
// "<id>.<suffix>" of a user image, from the image's address (its last dot's tail, or "img").
QString userImageName(mid_t user, const QString& imageUrl);

// Each pattern takes the whole name: "1.1.jpg\n" is none of these.
// A day folder's name: the yyMMdd of a real day.
bool isDayFolderName(const QString& name);
// A numbered file's name.
bool isNumberedFileName(const QString& name);
// The id whose numbered file the name is; 0 for any other name.
mid_t numberedFileOwner(const QString& name);
// A name users/ holds: a user image or a numbered file.
bool isUserFolderFileName(const QString& name);
// The user whose file in users/ the name is (isUserFolderFileName()); 0 for any other name.
mid_t userFolderFileOwner(const QString& name);

} // namespace MediaDataBaseNames
