#include "tempstorage.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSettings>

namespace {
const char* const kVariables[4] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};
const char* const kFolders[4] = {"data", "config", "cache", "runtime"};

// The roots alive, oldest first: the newest one's folders are in force. A fixture made anew before
// the old one goes (m_env = std::make_unique<TestEngine>()) ends the roots out of order.
QList<const TempStorageRoot*>& liveRoots()
{
    static QList<const TempStorageRoot*> roots;
    return roots;
}

// The variables as they were before the first of the live roots.
struct SSavedVariables
{
    QByteArray values[4];
    bool had[4] = {};
};

SSavedVariables& savedVariables()
{
    static SSavedVariables saved;
    return saved;
}
} // namespace

TempStorageRoot::TempStorageRoot()
{
    QList<const TempStorageRoot*>& roots = liveRoots();
    if (roots.isEmpty()) {
        SSavedVariables& saved = savedVariables();
        for (int i = 0; i < 4; ++i) {
            saved.had[i] = qEnvironmentVariableIsSet(kVariables[i]);
            saved.values[i] = qgetenv(kVariables[i]);
        }
    }
    roots.append(this);
    apply();
}

TempStorageRoot::~TempStorageRoot()
{
    QList<const TempStorageRoot*>& roots = liveRoots();
    const bool newest = !roots.isEmpty() && roots.constLast() == this;
    roots.removeOne(this);
    // An older root's end leaves the newer one's folders in force.
    if (!newest)
        return;
    if (!roots.isEmpty()) {
        roots.constLast()->apply();
        return;
    }
    // The settings paths stay on the removed folder: nothing after the last root writes settings
    // into the real home.
    const SSavedVariables& saved = savedVariables();
    for (int i = 0; i < 4; ++i) {
        if (saved.had[i])
            qputenv(kVariables[i], saved.values[i]);
        else
            qunsetenv(kVariables[i]);
    }
}

void TempStorageRoot::apply() const
{
    for (int i = 0; i < 4; ++i) {
        const QString folder = subPath(QLatin1String(kFolders[i]));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(kVariables[i], QFile::encodeName(folder));
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
}

QString TempStorageRoot::subPath(const QString& name) const
{
    const QString full = m_dir.path() + QLatin1Char('/') + name;
    QDir().mkpath(full);
    return full;
}
