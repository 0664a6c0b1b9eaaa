#pragma once

#include <QString>
#include <QTemporaryDir>

// A private, throw-away home for one test: the XDG data, config, cache and
// runtime folders and Qt's user-scope settings all point into a temporary
// directory that is removed with this object. Create it before anything asks
// QStandardPaths or QSettings for a location. Roots may overlap in any order:
// the newest live root's folders are in force, and when the last one goes the
// variables are as they were before the first.
class TempStorageRoot
{
public:
    TempStorageRoot();
    ~TempStorageRoot();
    TempStorageRoot(const TempStorageRoot&) = delete;
    TempStorageRoot& operator=(const TempStorageRoot&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // A sub-folder of the root, created on demand.
    QString subPath(const QString& name) const;

    QString dataHome() const { return subPath(QStringLiteral("data")); }
    QString configHome() const { return subPath(QStringLiteral("config")); }

private:
    // Points the variables and the settings paths at this root's folders.
    void apply() const;

    QTemporaryDir m_dir;
};
