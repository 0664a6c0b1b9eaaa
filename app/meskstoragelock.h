#pragma once

#include <QString>

#include <memory>

class CMeskFileLock;

// Held by a copy of the program while it uses its storage, from before the storage is opened to
// after the clean-up at exit; a copy started during an earlier one's clean-up waits for it. A lock on
// the file next to the storage folder ("<folder>.lock", a CMeskFileLock): it ends with the copy that
// held it, however that copy ended, so a copy that died blocks nobody.
class CMeskStorageLock
{
public:
    explicit CMeskStorageLock(const QString& storageFolder);
    ~CMeskStorageLock();
    CMeskStorageLock(const CMeskStorageLock&) = delete;
    CMeskStorageLock& operator=(const CMeskStorageLock&) = delete;

    // Takes the lock, waiting up to timeoutMs while another copy holds it. False only when that
    // copy still holds it then; a folder that cannot hold a lock at all counts as taken (the
    // storage is used unguarded rather than never).
    bool acquire(int timeoutMs);
    void release();
    bool isHeld() const;
    // The system's error number (errno) when the last acquire() found that the folder cannot hold a
    // lock; 0 otherwise.
    int error() const;
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<CMeskFileLock> m_lock;
};
