#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Lets only one copy of the program run per user session: a lock file named
// after the program's guard id in the runtime folder, held while this object
// lives or until release() (the program lets go when its window closes, before
// its storage clean-up). A lock left by a copy that died is taken over.
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
    QString lockFilePath() const { return m_path; }
    // Lets the next copy start.
    void release();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_alreadyRunning = false;
};
