#pragma once

class QSaveFile;
class QString;

// Files written whole or not at all through QSaveFile: every place that replaces a file that way ends with
// commit() here.
namespace MeskSaveFile {

// Puts the written bytes under the file's name only when every one of them reached the temporary file:
// QSaveFile::commit() of Qt 6.4 renames the file over the name even when writing its last buffer failed
// (a full disk, a file size limit), which leaves a cut or empty file where a good one was. On a failure the
// temporary file goes and an earlier file stays; why, when given, receives the system's words.
bool commit(QSaveFile& file, QString* why = nullptr);

// Syncs the folder that holds path, so that a rename or a removal of path lasts through a power cut. A file
// system that cannot sync a folder (EINVAL) keeps nothing to sync. why, when given, receives the system's
// words on a failure.
bool syncFolderOf(const QString& path, QString* why = nullptr);

} // namespace MeskSaveFile
