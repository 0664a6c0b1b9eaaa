#include "mainwindow/meskdebuglog.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

namespace {

// Shared by every thread that logs. Made once and never destroyed, so a message logged while
// static objects are torn down at exit still finds it.
struct DebugLog
{
    QMutex mutex;
    QFile* file = nullptr;
};

DebugLog& debugLog()
{
    static DebugLog* const log = new DebugLog;
    return *log;
}

// Set while this thread is inside the handler: anything the handler's own calls might log is
// dropped instead of locking the mutex a second time.
thread_local bool t_inHandler = false;

} // namespace

bool installDebugLog(const QString& fileName)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly))
        return false;
    {
        DebugLog& log = debugLog();
        const QMutexLocker locker(&log.mutex);
        // The earlier log file, if any, is closed and dropped; the new one takes its place.
        delete log.file;
        log.file = file.release();
    }
    qInstallMessageHandler(debugLogMessageHandler);
    qDebug().noquote() << QStringLiteral("*** Log started: ") +
                              QDateTime::currentDateTime().toString(Qt::TextDate) + QStringLiteral("***");
    return true;
}

void debugLogMessageHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (t_inHandler)
        return;
    t_inHandler = true;
    QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yy hh:mm:ss ")).toLocal8Bit();
    line += message.toLocal8Bit();
    line += "\r\n";
    {
        DebugLog& log = debugLog();
        const QMutexLocker locker(&log.mutex);
        if (log.file && log.file->isOpen()) {
            log.file->write(line);
            log.file->flush();
        }
    }
    t_inHandler = false;
}
