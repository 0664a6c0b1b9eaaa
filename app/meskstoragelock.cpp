#include "meskstoragelock.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

CMeskStorageLock::CMeskStorageLock(const QString& storageFolder)
    : m_path(QDir::cleanPath(storageFolder) + QStringLiteral(".lock")),
      m_lock(std::make_unique<QLockFile>(m_path))
{
    // Stale only when its owner has died: a clean-up may take a while.
    m_lock->setStaleLockTime(0);
}

CMeskStorageLock::~CMeskStorageLock() = default;

bool CMeskStorageLock::acquire(int timeoutMs)
{
    if (m_lock->isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock->tryLock(timeoutMs))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    qDebug().noquote() << QStringLiteral("CMeskStorageLock: cannot create the lock file ") + m_path;
    return true;
}

void CMeskStorageLock::release()
{
    m_lock->unlock();
}

bool CMeskStorageLock::isHeld() const
{
    return m_lock->isLocked();
}
