#include "mesksingleinstance.h"

#include "meskfilelock.h"

#include <QDebug>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>

QString CMeskSingleInstance::guardId()
{
    return QStringLiteral("{8E02CE05-B6A2-482b-B838-296774DD4A50}");
}

CMeskSingleInstance::CMeskSingleInstance(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder)
{
    if (m_folder.isEmpty()) {
        // Qt found no runtime folder it would use (it has said why): a lock file in the current folder
        // would guard nothing.
        m_error = ENOENT;
    } else {
        m_path = QDir(m_folder).filePath(guardId() + QStringLiteral(".lock"));
        m_lock = std::make_unique<CMeskFileLock>(m_path);
        switch (m_lock->tryLock(0)) {
        case CMeskFileLock::Result::Taken:
            return;
        case CMeskFileLock::Result::Held:
            m_alreadyRunning = true;
            return;
        case CMeskFileLock::Result::Unusable:
            m_error = m_lock->error();
            break;
        }
    }
    // The folder cannot hold a lock at all: run unguarded rather than never (the storage lock still
    // keeps a second copy off the storage).
    qWarning().noquote() << QStringLiteral("CMeskSingleInstance: cannot use the lock file ") +
                                (m_path.isEmpty() ? QStringLiteral("(no runtime folder)") : m_path) +
                                QStringLiteral(": ") + qt_error_string(m_error);
}

CMeskSingleInstance::~CMeskSingleInstance() = default;

bool CMeskSingleInstance::isHeld() const
{
    return m_lock && m_lock->isLocked();
}

void CMeskSingleInstance::release()
{
    if (m_lock)
        m_lock->unlock();
}
