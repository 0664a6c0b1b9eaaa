#pragma once

#include <sys/resource.h>

#include <csignal>

// While it lives, a write that would make any regular file of the process larger than `bytes` fails with
// EFBIG, as a full disk fails it, for an ordinary user: the soft limit of RLIMIT_FSIZE is lowered and
// SIGXFSZ, which would end the process, is ignored. Both are restored at the end. The limit holds for
// every file the process writes (a database, a log): keep its scope to the writes under test. Header only.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_ok = m_ok && (m_saved.rlim_max == RLIM_INFINITY || bytes <= m_saved.rlim_max) &&
               ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Whether the limit is in force.
    bool isSet() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_signal)(int) = SIG_DFL;
    bool m_ok = false;
};
