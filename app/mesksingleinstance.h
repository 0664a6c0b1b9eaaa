#pragma once

#include <QString>

#include <memory>

class CMeskFileLock;

// Lets only one copy of the program run per user session: a lock on the file
// named after the program's guard id in the runtime folder (a CMeskFileLock),
// held while this object lives or until release() (the program lets go when
// its window closes, before its storage clean-up). The lock ends with the copy
// that held it, so a copy that died blocks nobody.
class CMeskSingleInstance
{
public:
    // The guard id the lock file is named after.
    static QString guardId();

    // Takes the lock in the folder given, or in the user's runtime folder.
    explicit CMeskSingleInstance(const QString& folder = QString());
    ~CMeskSingleInstance();
    CMeskSingleInstance(const CMeskSingleInstance&) = delete;
    CMeskSingleInstance& operator=(const CMeskSingleInstance&) = delete;

    // True when another running copy holds the lock.
    bool isAlreadyRunning() const { return m_alreadyRunning; }
    // True while this copy holds the lock.
    bool isHeld() const;
    // Whether the lock file could not be made, opened or locked (this copy cannot tell whether another
    // runs, and is not guarded), and why: the folder (empty when there is no runtime folder) and the
    // system's error number.
    bool isUnusable() const { return m_error != 0; }
    QString folder() const { return m_folder; }
    int error() const { return m_error; }
    QString lockFilePath() const { return m_path; }
    // Lets the next copy start.
    void release();

private:
    QString m_folder;
    QString m_path;
    std::unique_ptr<CMeskFileLock> m_lock;
    bool m_alreadyRunning = false;
    int m_error = 0;
};
