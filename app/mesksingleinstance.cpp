#include "mesksingleinstance.h"

#include "meskfilelock.h"

#include <QDebug>
#include <QDir>
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
    m_lock = std::make_unique<CMeskFileLock>(m_path);
    switch (m_lock->tryLock(0)) {
    case CMeskFileLock::Result::Taken:
        return;
    case CMeskFileLock::Result::Held:
        m_alreadyRunning = true;
        return;
    case CMeskFileLock::Result::Unusable:
        break;
    }
    // The folder cannot hold a lock at all: run unguarded rather than never.
    qDebug().noquote() << QStringLiteral("CMeskSingleInstance: cannot create the lock file ") + m_path;
}

CMeskSingleInstance::~CMeskSingleInstance() = default;

void CMeskSingleInstance::release()
{
    m_lock->unlock();
}
