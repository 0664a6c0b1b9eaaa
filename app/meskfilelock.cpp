#include "meskfilelock.h"

#include <QByteArray>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>

#include <cerrno>

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file name of this program's executable, as the system names it for this process (QLockFile
// compares it with the name of the process the file's id belongs to).
QByteArray executableName()
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target);
    if (length <= 0)
        return {};
    QByteArray name(target, int(length));
    // The name of a program whose file was replaced while it runs.
    const QByteArray deleted = " (deleted)";
    if (name.endsWith(deleted))
        name.chop(deleted.size());
    return name.mid(name.lastIndexOf('/') + 1);
}

// Writes the whole of data at the start of the file and cuts the file there.
bool writeInPlace(int fd, const QByteArray& data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.constData() + written, size_t(data.size() - written), off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return ::ftruncate(fd, off_t(data.size())) == 0;
}

} // namespace

CMeskFileLock::CMeskFileLock(const QString& path) : m_path(path) {}

CMeskFileLock::~CMeskFileLock()
{
    unlock();
}

QByteArray CMeskFileLock::holderRecord()
{
    static const QByteArray record = QByteArray::number(qint64(::getpid())) + '\n' + executableName() + '\n' +
                                     QSysInfo::machineHostName().toUtf8() + '\n' +
                                     QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n';
    return record;
}

CMeskFileLock::Result CMeskFileLock::unusable(int error)
{
    unlock();
    m_error = error;
    return Result::Unusable;
}

CMeskFileLock::Result CMeskFileLock::tryLock(int timeoutMs)
{
    if (m_locked)
        return Result::Taken;
    m_error = 0;
    const QByteArray path = QFile::encodeName(m_path);
    QElapsedTimer waited;
    waited.start();
    // An older copy removes the file after it has locked it (at its end, or to take over a file it
    // found stale) and makes a new one: a lock taken on the removed file is let go and the new file is
    // tried. Each new file comes from a copy that took the lock, so this ends.
    int renewed = 0;
    for (;;) {
        if (m_fd < 0) {
            // The lock lives on the open file, never in its content: an empty or foreign file is fine.
            m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (m_fd < 0) {
                if (errno == EINTR)
                    continue;
                return unusable(errno);
            }
        }
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                return unusable(errno);
            if (waited.elapsed() >= timeoutMs) {
                unlock();
                return Result::Held;
            }
            ::usleep(20 * 1000);
            continue;
        }
        struct stat locked = {};
        struct stat named = {};
        if (::fstat(m_fd, &locked) != 0)
            return unusable(errno);
        if (::stat(path.constData(), &named) != 0 || named.st_dev != locked.st_dev ||
            named.st_ino != locked.st_ino) {
            unlock();
            if (++renewed > 100)
                return unusable(EAGAIN);
            continue;
        }
        m_locked = true;
        if (!writeInPlace(m_fd, holderRecord())) {
            // Only an older copy reads the lines; the lock holds without them.
            qWarning().noquote() << QStringLiteral("CMeskFileLock: cannot write the holder's lines into ") +
                                        m_path + QStringLiteral(": ") + qt_error_string(errno);
        }
        return Result::Taken;
    }
}

void CMeskFileLock::unlock()
{
    // Closing the only descriptor of the open file lets the lock go; the file stays, with the lines of
    // the holder that has gone.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_locked = false;
}
