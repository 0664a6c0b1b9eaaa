#pragma once

#include <QByteArray>
#include <QSet>

#include <cerrno>

#include <dlfcn.h>
#include <unistd.h>

// unlink() of the paths a test names fails with EPERM, as a folder the user may not write, an immutable
// file or a refusing device makes it fail, for root too. Every other path goes to the C library's
// unlink(). Defines unlink() for the whole program (the program's own calls, and Qt's, which QFile::remove
// makes): include it in one source file of a test program only. Header only.
namespace UnlinkFaults {
// The paths, as unlink() is given them, that it refuses while they are here.
inline QSet<QByteArray>& refused()
{
    static QSet<QByteArray> paths;
    return paths;
}
} // namespace UnlinkFaults

extern "C" int unlink(const char* path) noexcept
{
    if (UnlinkFaults::refused().contains(QByteArray(path))) {
        errno = EPERM;
        return -1;
    }
    using Unlink = int (*)(const char*);
    static const auto next = reinterpret_cast<Unlink>(::dlsym(RTLD_NEXT, "unlink"));
    return next(path);
}
