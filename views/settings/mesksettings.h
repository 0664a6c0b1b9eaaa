#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariant>

// The settings' keys, by what each setting is. The comment gives the name the key has in the file,
// which stays as it is (spelling included): files written by earlier versions keep working.
enum TMeskSetting
{
    SettingLaunchAtStartup = 0,               // LaunchAtStratup: start with the desktop session
    SettingPlaySounds = 1,                    // PlaySounds
    SettingHistoryPeriod = 2,                 // HistoryPeriod: the history choice's id
    SettingNotifyNewMessages = 3,             // NotifyNewMessages: kept in the file, read by nothing
    SettingNotifyNewStatuses = 4,             // NotifyNewStatuses: kept in the file, read by nothing
    SettingMainWindowPosition = 5,            // MainWindowPos
    SettingMainWindowHeight = 6,              // MainWindowHeight
    SettingMainColumnMode = 7,                // MainColumnMode: 0 one column, 1 a column per service
    SettingMediaIgnoreNoInternetWarning = 8,  // DeepDiveIgnoreInternetWarning
    SettingMediaIgnoreCellularWarning = 9,    // DeepDiveIgnoreCellWarning
    SettingToastNewMessages = 10,             // ShowNewMessages: a toast for each text message
    SettingToastNewPosts = 11,                // ShowNewFeeds: toasts for new posts at all
    SettingToastAllContacts = 12,             // ShowAllNewFeeds: for every contact's posts
    SettingToastContacts = 13,                // ShowNewFeedsUsers: else for these users' ids, ';'-joined
    SettingIgnoreCellularNetworkWarning = 14, // IgnoreCellularNetworkWarning
    SettingIgnoreLowSignalWarning = 15,       // IgnoreLowSignalWarning
    SettingFirstRun = 16,                     // FirstRunFlag: the first-run welcome page is still to come
    SettingCount = 17
};

// The user's settings: seventeen values addressed by the keys of TMeskSetting, kept in the user's config
// folder through QSettings("Velto", "Velto Lumesk") (on Linux the INI file
// $XDG_CONFIG_HOME/Velto/Velto Lumesk.conf).
//
// The program has one store, owned by the main window and handed to every view that needs it.
// Values edited on the settings pages are pending (setValue) until save() or discard(); values the
// program changes by itself are set and then written at once, one key, with commitValue().
// Nothing here rewrites a key it did not change in that call (or in an earlier one whose write failed),
// so two paths of the program never overwrite each other's choice. Read values with toBool(), toInt(),
// toPoint() or toString(): after a restart the file gives booleans and numbers back as text.
class CMeskSettings : public QObject
{
    Q_OBJECT
public:
    static constexpr int KeyCount = SettingCount;

    explicit CMeskSettings(QObject* parent = nullptr);
    ~CMeskSettings() override;

    // The pending value, else the stored one when it is valid, else the key's default.
    QVariant value(int key) const;
    // Records a pending value; nothing is written or announced. Keys outside 0..16 are ignored.
    void setValue(int key, const QVariant& value);
    // Stores and writes the one pending value of key and unpends it; without one, nothing.
    // Announces nothing and leaves the autostart entry alone.
    void commitValue(int key);
    // setValue and commitValue, except that nothing is written when no value of key is pending
    // and the file holds this value already.
    void storeValue(int key, const QVariant& value);
    // Stores and writes every pending value and announces each key with valueChanged; the keys
    // stay pending until discard() or their commitValue(), so the next save does it again. Then
    // the autostart entry follows the stored value of SettingLaunchAtStartup when that value is valid.
    // False when the file could not be written (logged; see writeKeys).
    bool save();
    // save() without the announcements.
    bool saveQuietly();
    // Forgets every pending value.
    void discard();
    // Reads the stored values of the seventeen keys from the file (invalid when absent).
    void load();
    // Writes every valid stored value, then the autostart entry as save() does.
    void writeAll();

    // The settings file's path.
    static QString filePath();
    // The key's name in the file; empty outside 0..16.
    static QString keyName(int key);
    // The key's default; invalid for SettingIgnoreLowSignalWarning and outside 0..16.
    static QVariant defaultValue(int key);

signals:
    void valueChanged(int key);

private:
    QList<int> moveAllPending();
    // Writes the stored values of keys (an invalid one removes the key from the file), with those of
    // every earlier write that failed. The file is replaced whole or not at all: a write that cannot
    // complete leaves the earlier file, is logged, and returns false.
    bool writeKeys(const QList<int>& keys);
    bool writeFile(const QList<int>& keys, QString* why) const;
    void updateAutostart() const;

    QHash<int, QVariant> m_stored;
    QHash<int, QVariant> m_pending;
    // Stored keys whose last write failed.
    QList<int> m_unwritten;
};
