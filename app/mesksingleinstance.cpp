#include "mesksingleinstance.h"

#include <QDebug>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

QString CMeskSingleInstance::guardId()
{
    return QStringLiteral("{8E02CE05-B6A2-482b-B838-296774DD4A50}");
}

CMeskSingleInstance::CMeskSingleInstance(const QString& folder)
{
    const QString dir =
        folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    m_path = QDir(dir).filePath(guardId() + QStringLiteral(".lock"));
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock is stale only when its owner has died: never by its age, or a copy
    // that has run for a while would be taken for a dead one.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return;
    if (m_lock->error() == QLockFile::LockFailedError) {
        m_alreadyRunning = true;
        return;
    }
    // The folder cannot hold a lock at all: run unguarded rather than never.
    qDebug().noquote() << QStringLiteral("CMeskSingleInstance: cannot create the lock file ") + m_path;
}

CMeskSingleInstance::~CMeskSingleInstance() = default;

void CMeskSingleInstance::release()
{
    if (!m_alreadyRunning)
        m_lock->unlock();
}
