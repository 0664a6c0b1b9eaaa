#include "tempstorage.h"

#include <QDir>
#include <QFile>
#include <QSettings>

namespace {
const char* const kVariables[4] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};
const char* const kFolders[4] = {"data", "config", "cache", "runtime"};
} // namespace

TempStorageRoot::TempStorageRoot()
{
    for (int i = 0; i < 4; ++i) {
        m_had[i] = qEnvironmentVariableIsSet(kVariables[i]);
        m_saved[i] = qgetenv(kVariables[i]);
        const QString folder = subPath(QLatin1String(kFolders[i]));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(kVariables[i], QFile::encodeName(folder));
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
}

TempStorageRoot::~TempStorageRoot()
{
    for (int i = 0; i < 4; ++i) {
        if (m_had[i])
            qputenv(kVariables[i], m_saved[i]);
        else
            qunsetenv(kVariables[i]);
    }
}

QString TempStorageRoot::subPath(const QString& name) const
{
    const QString full = m_dir.path() + QLatin1Char('/') + name;
    QDir().mkpath(full);
    return full;
}
