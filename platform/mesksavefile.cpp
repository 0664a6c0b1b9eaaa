#include "mesksavefile.h"

#include <QSaveFile>

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

} // namespace MeskSaveFile
