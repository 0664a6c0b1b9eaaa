#pragma once

#include <QString>

// An exclusive lock on a file, held by this object's open file (flock(2)): it ends with the process
// that holds it, however that ends, whatever the file holds (a kill while the file was made leaves
// it empty). The file is opened close-on-exec, so a program started by the holder (a browser, a
// player) never keeps it, and it stays in place when the lock is let go. Two objects of one process
// on the same file exclude each other as two processes do.
//
// Copies of the program from before this lock used Qt's QLockFile on the same files, which they made
// anew and removed when they ended, and which they take over only when the lines in them name a
// process that is gone. So the holder writes those lines into the file (in place: never renamed or
// removed), and after locking makes sure that the file it locked is still the one at the path.
class CMeskFileLock
{
public:
    enum class Result
    {
        Taken,
        // Another holder has it.
        Held,
        // The file cannot be made, opened or locked at all: error() says why.
        Unusable
    };

    explicit CMeskFileLock(const QString& path);
    ~CMeskFileLock();
    CMeskFileLock(const CMeskFileLock&) = delete;
    CMeskFileLock& operator=(const CMeskFileLock&) = delete;

    // Tries to take the lock; while another holder has it, tries again every few milliseconds until
    // timeoutMs have passed. Taken at once when this object holds it already.
    Result tryLock(int timeoutMs = 0);
    void unlock();
    bool isLocked() const { return m_locked; }
    QString path() const { return m_path; }
    // The system's error number (errno) of the last tryLock() that gave Unusable; 0 after any other.
    int error() const { return m_error; }

    // What the holder writes into the file, in QLockFile's lines: the process id, the file name of the
    // program, the host name, the machine's and the boot's ids, each ended by a line feed.
    static QByteArray holderRecord();

private:
    Result unusable(int error);

    QString m_path;
    int m_fd = -1;
    bool m_locked = false;
    int m_error = 0;
};
