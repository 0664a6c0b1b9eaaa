#include "meskstoragelock.h"

#include "meskfilelock.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

CMeskStorageLock::CMeskStorageLock(const QString& storageFolder)
    : m_path(QDir::cleanPath(storageFolder) + QStringLiteral(".lock")),
      m_lock(std::make_unique<CMeskFileLock>(m_path))
{
}

CMeskStorageLock::~CMeskStorageLock() = default;

bool CMeskStorageLock::acquire(int timeoutMs)
{
    if (m_lock->isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    switch (m_lock->tryLock(timeoutMs)) {
    case CMeskFileLock::Result::Taken:
        return true;
    case CMeskFileLock::Result::Held:
        return false;
    case CMeskFileLock::Result::Unusable:
        break;
    }
    qWarning().noquote() << QStringLiteral("CMeskStorageLock: cannot use the lock file ") + m_path +
                                QStringLiteral(": ") + qt_error_string(m_lock->error());
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

int CMeskStorageLock::error() const
{
    return m_lock->error();
}
