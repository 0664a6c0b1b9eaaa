#include "settings/mesksettings.h"

#include "imeskautostart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QSettings>
#include <QStyle>

#include <algorithm>
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

} // namespace

CMeskSettings::CMeskSettings(QObject* parent) : QObject(parent)
{
    load();
}

CMeskSettings::~CMeskSettings() = default;

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

void CMeskSettings::save()
{
    const QList<int> keys = moveAllPending();
    writeKeys(keys);
    updateAutostart();
    for (int key : keys)
        emit valueChanged(key);
}

void CMeskSettings::saveQuietly()
{
    writeKeys(moveAllPending());
    updateAutostart();
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

void CMeskSettings::writeKeys(const QList<int>& keys) const
{
    if (keys.isEmpty())
        return;
    const std::unique_ptr<QSettings> store(openStore());
    for (int key : keys) {
        const QVariant value = m_stored.value(key);
        if (value.isValid())
            store->setValue(keyName(key), value);
        else
            store->remove(keyName(key));
    }
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
