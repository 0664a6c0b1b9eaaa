#include "settings/mesksettings.h"

#include "imeskautostart.h"
#include "mesksavefile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPoint>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTemporaryFile>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

const char* const kKeyNames[CMeskSettings::KeyCount] = {
    "LaunchAtStratup",           "PlaySounds",        "HistoryPeriod",
    "NotifyNewMessages",         "NotifyNewStatuses", "MainWindowPos",
    "MainWindowHeight",          "MainColumnMode",    "DeepDiveIgnoreInternetWarning",
    "DeepDiveIgnoreCellWarning", "ShowNewMessages",   "ShowNewFeeds",
    "ShowAllNewFeeds",           "ShowNewFeedsUsers", "IgnoreCellularNetworkWarning",
    "IgnoreLowSignalWarning",    "FirstRunFlag",
};

// The product style's metric for the main window's default height.
const int kMainWindowHeightMetric = QStyle::PM_CustomBase + 0x68;

bool isKey(int key)
{
    return key >= 0 && key < CMeskSettings::KeyCount;
}

QSettings* openStore()
{
    return new QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
}

// Whether a value read back from the file is the one written: the file gives most values back as text.
bool sameValue(const QVariant& written, const QVariant& read)
{
    if (read.metaType() == written.metaType())
        return read == written;
    return read.typeId() == QMetaType::QString && read.toString() == written.toString();
}

bool renamed(const QString& from, const QString& to, QString* why)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *why = QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, qt_error_string(errno));
    return false;
}

// Copies the file at path, when there is one, into the open copy with its permissions; without one, the
// copy gets those QSettings gives a file it makes.
bool copyInto(const QString& path, QTemporaryFile& copy, QString* why)
{
    QFile earlier(path);
    if (!earlier.exists()) {
        copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                            QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return true;
    }
    if (!earlier.open(QIODevice::ReadOnly)) {
        *why = earlier.errorString();
        return false;
    }
    const QByteArray text = earlier.readAll();
    if (earlier.error() != QFileDevice::NoError) {
        *why = earlier.errorString();
        return false;
    }
    copy.setPermissions(earlier.permissions());
    if (copy.write(text) != text.size() || !copy.flush()) {
        *why = copy.errorString();
        return false;
    }
    return true;
}

// Whether the INI file at path holds exactly the keys meant, with their values.
bool readsBackAs(const QString& path, const QHash<QString, QVariant>& meant, QString* why)
{
    const QSettings readBack(path, QSettings::IniFormat);
    const QStringList names = readBack.allKeys();
    bool whole = names.size() == meant.size();
    for (const QString& name : names)
        whole = whole && meant.contains(name) && sameValue(meant.value(name), readBack.value(name));
    if (!whole)
        *why = QStringLiteral("the written copy does not read back whole (a full disk?)");
    return whole;
}

// Puts the written file in the place of the one at path: synced, then renamed, then the folder synced (a
// rename lasts only once its folder is).
bool putInPlace(const QString& written, const QString& path, QString* why)
{
    QFile done(written);
    if (!done.open(QIODevice::ReadOnly)) {
        *why = done.errorString();
        return false;
    }
    // QSettings reads a file again only when its size or its time (in milliseconds) changed: a later time
    // than the earlier file's keeps every QSettings of this process from answering from that one.
    const QDateTime before = QFileInfo(path).lastModified();
    if (before.isValid() && QFileInfo(written).lastModified() <= before &&
        !done.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime)) {
        *why = done.errorString();
        return false;
    }
    if (::fsync(done.handle()) != 0) {
        *why = qt_error_string(errno);
        return false;
    }
    done.close();
    return renamed(written, path, why) && MeskSaveFile::syncFolderOf(path, why);
}

} // namespace

CMeskSettings::CMeskSettings(QObject* parent) : QObject(parent)
{
    load();
}

CMeskSettings::~CMeskSettings() = default;

QString CMeskSettings::filePath()
{
    return std::unique_ptr<QSettings>(openStore())->fileName();
}

QString CMeskSettings::keyName(int key)
{
    return isKey(key) ? QLatin1String(kKeyNames[key]) : QString();
}

QVariant CMeskSettings::defaultValue(int key)
{
    switch (key) {
    case SettingLaunchAtStartup:
    case SettingPlaySounds:
    case SettingMediaIgnoreNoInternetWarning:
    case SettingMediaIgnoreCellularWarning:
    case SettingIgnoreCellularNetworkWarning:
        return false;
    case SettingHistoryPeriod:
        return 2;
    case SettingNotifyNewMessages:
    case SettingNotifyNewStatuses:
    case SettingToastNewMessages:
    case SettingToastNewPosts:
    case SettingToastAllContacts:
    case SettingFirstRun:
        return true;
    case SettingMainWindowPosition: {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int width = screen ? screen->geometry().width() : 0;
        return QPoint(width - 400, 100);
    }
    case SettingMainWindowHeight: {
        const QStyle* style =
            qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style() : nullptr;
        return style ? style->pixelMetric(QStyle::PixelMetric(kMainWindowHeightMetric)) : 500;
    }
    case SettingMainColumnMode:
        return 0;
    case SettingToastContacts:
        return QString(QLatin1String(""));
    default:
        // SettingIgnoreLowSignalWarning has no default: an absent value reads as invalid, which readers take
        // as false.
        return QVariant();
    }
}

QVariant CMeskSettings::value(int key) const
{
    const auto pending = m_pending.constFind(key);
    if (pending != m_pending.cend())
        return *pending;
    const QVariant stored = m_stored.value(key);
    if (stored.isValid())
        return stored;
    return defaultValue(key);
}

void CMeskSettings::setValue(int key, const QVariant& value)
{
    if (!isKey(key))
        return;
    m_pending.insert(key, value);
}

void CMeskSettings::commitValue(int key)
{
    const auto pending = m_pending.constFind(key);
    if (pending == m_pending.cend())
        return;
    m_stored.insert(key, *pending);
    m_pending.remove(key);
    writeKeys({key});
}

void CMeskSettings::storeValue(int key, const QVariant& value)
{
    // The file holds every value as text.
    const QVariant stored = m_stored.value(key);
    if (!m_pending.contains(key) && stored.isValid() && stored.toString() == value.toString())
        return;
    setValue(key, value);
    commitValue(key);
}

QList<int> CMeskSettings::moveAllPending()
{
    QList<int> keys = m_pending.keys();
    std::sort(keys.begin(), keys.end());
    for (int key : keys)
        m_stored.insert(key, m_pending.value(key));
    return keys;
}

bool CMeskSettings::save()
{
    const QList<int> keys = moveAllPending();
    const bool written = writeKeys(keys);
    updateAutostart();
    for (int key : keys)
        emit valueChanged(key);
    return written;
}

bool CMeskSettings::saveQuietly()
{
    const bool written = writeKeys(moveAllPending());
    updateAutostart();
    return written;
}

void CMeskSettings::discard()
{
    m_pending.clear();
}

void CMeskSettings::load()
{
    const std::unique_ptr<QSettings> store(openStore());
    for (int key = 0; key < KeyCount; ++key)
        m_stored.insert(key, store->value(keyName(key)));
}

void CMeskSettings::writeAll()
{
    QList<int> keys;
    for (int key = 0; key < KeyCount; ++key) {
        if (m_stored.value(key).isValid())
            keys.append(key);
    }
    writeKeys(keys);
    updateAutostart();
}

bool CMeskSettings::writeKeys(const QList<int>& keys)
{
    // A change that could not be written stays pending here and is tried again with the next write of
    // any key. (QSettings' cache keeps it pending too, but only under the name of the failed write's side
    // file, which no QSettings opens again.)
    for (int key : keys) {
        if (!m_unwritten.contains(key))
            m_unwritten.append(key);
    }
    if (m_unwritten.isEmpty())
        return true;
    QString why;
    if (!writeFile(m_unwritten, &why)) {
        qWarning().noquote() << QStringLiteral("CMeskSettings: the settings were not written, %1 stays as it "
                                               "was: %2")
                                    .arg(filePath(), why);
        return false;
    }
    m_unwritten.clear();
    return true;
}

// QSettings writes through QSaveFile, whose commit() in Qt 6.4 puts a cut or empty file in the earlier
// one's place when the disk is full, and QSettings then reports no error. So the change is written by
// QSettings into a copy of the file, the copy is read back whole, and only then takes the file's name.
bool CMeskSettings::writeFile(const QList<int>& keys, QString* why) const
{
    // A file that a link names is written where the link points, as QSettings writes it.
    const QFileInfo named(filePath());
    const QString path = named.exists() ? named.canonicalFilePath() : named.absoluteFilePath();
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("cannot make the folder ") + folder;
        return false;
    }

    // The copy, beside the file. QSettings keeps what it read or failed to write of each file, by name,
    // while the process lives: the count gives every write names it has never met.
    static int s_writes = 0;
    QTemporaryFile copy(QStringLiteral("%1.%2-XXXXXX").arg(path).arg(++s_writes));
    copy.setAutoRemove(false);
    if (!copy.open()) {
        *why = copy.errorString();
        return false;
    }
    const QString written = copy.fileName();
    const QString check = written + QStringLiteral(".check");
    auto removeCopy = qScopeGuard([&written, &check] {
        QFile::remove(written);
        QFile::remove(check);
    });
    if (!copyInto(path, copy, why))
        return false;
    copy.close();

    // Every key the file is meant to hold then, with its value.
    QHash<QString, QVariant> meant;
    {
        QSettings store(written, QSettings::IniFormat);
        for (const QString& name : store.allKeys())
            meant.insert(name, store.value(name));
        for (int key : keys) {
            const QVariant value = m_stored.value(key);
            if (value.isValid()) {
                store.setValue(keyName(key), value);
                meant.insert(keyName(key), value);
            } else {
                store.remove(keyName(key));
                meant.remove(keyName(key));
            }
        }
        store.sync();
        if (store.status() == QSettings::AccessError) {
            *why = QStringLiteral("QSettings cannot write ") + written;
            return false;
        }
    }

    // Read back under a name QSettings has not met: under the name it wrote, it answers from its cache.
    // (Once the copy is in the file's place, the guard finds nothing left to remove.)
    return renamed(written, check, why) && readsBackAs(check, meant, why) && putInPlace(check, path, why);
}

void CMeskSettings::updateAutostart() const
{
    const QVariant launch = m_stored.value(SettingLaunchAtStartup);
    if (!launch.isValid())
        return;
    const std::unique_ptr<IMeskAutostart> autostart = IMeskAutostart::create();
    if (!autostart)
        return;
    // The file gives the text "true" back after a restart; QVariant compares it equal to true.
    if (launch == QVariant(true))
        autostart->enable(QCoreApplication::applicationFilePath());
    else
        autostart->disable();
}
