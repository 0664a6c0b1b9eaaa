#include "mesksavefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace MeskSaveFile {

bool commit(QSaveFile& file, QString* why)
{
    const bool flushed = file.isOpen() && file.flush();
    QString words = file.errorString();
    if (!flushed)
        file.cancelWriting(); // commit() then discards the temporary file
    const bool committed = file.commit();
    if (flushed)
        words = file.errorString();
    if (flushed && committed)
        return true;
    if (why)
        *why = words;
    return false;
}

bool syncFolderOf(const QString& path, QString* why)
{
    const QString folder = QFileInfo(path).path();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced && why)
        *why = QStringLiteral("cannot sync the folder %1: %2").arg(folder, qt_error_string(error));
    return synced;
}

} // namespace MeskSaveFile
