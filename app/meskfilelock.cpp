#include "meskfilelock.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CMeskFileLock::CMeskFileLock(const QString& path) : m_path(path) {}

CMeskFileLock::~CMeskFileLock()
{
    unlock();
}

CMeskFileLock::Result CMeskFileLock::tryLock(int timeoutMs)
{
    if (m_locked)
        return Result::Taken;
    if (m_fd < 0) {
        // The lock lives on the open file, never in its content: an empty or foreign file is fine.
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return Result::Unusable;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return Result::Taken;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            unlock();
            return Result::Unusable;
        }
        if (waited.elapsed() >= timeoutMs) {
            unlock();
            return Result::Held;
        }
        ::usleep(20 * 1000);
    }
}

void CMeskFileLock::unlock()
{
    // Closing the only descriptor of the open file lets the lock go; the file stays.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_locked = false;
}
