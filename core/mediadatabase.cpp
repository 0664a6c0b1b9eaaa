#include "mediadatabase.h"

#include "meskclock.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {
const QString databaseFileName = QStringLiteral("mindex.db");
const QString schemaVersionKey = QStringLiteral("MDB_SCHEMA_VERSION");
const QStringList tableNames{QStringLiteral("SERVICEKEYS"),       QStringLiteral("SERVICEUSERS"),
                             QStringLiteral("SERVICEUSERFIELDS"), QStringLiteral("MEDIAITEMS"),
                             QStringLiteral("MEDIAITEMFIELDS"),   QStringLiteral("MEDIASMSMESSAGES"),
                             QStringLiteral("MEDIASYNC")};
// SQLite's primary result codes for a file that is not a database or is damaged.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;
constexpr int MaxFileNumber = 1000;

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("CMediaDataBase-%1").arg(++counter);
}

// A suffix that came from outside becomes part of a file name: only ASCII letters and digits pass.
bool isSafeSuffix(const QString& suffix, qsizetype maxLength)
{
    if (suffix.isEmpty() || suffix.size() > maxLength)
        return false;
    for (QChar c : suffix) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            return false;
    }
    return true;
}

QString fileSuffix(const QString& suffix)
{
    return isSafeSuffix(suffix, suffix.size()) ? suffix : QStringLiteral("img");
}

bool isDamagedFileError(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == SqliteCorrupt || code == SqliteNotADatabase);
}
} // namespace

CMediaDataBase::CMediaDataBase(const QString& root, QObject* parent)
    : IMediaItemStorage(parent), m_root(root), m_connectionName(nextConnectionName())
{
}

CMediaDataBase::~CMediaDataBase()
{
    if (m_database.isValid())
        m_database.close();
    setTableDatabases(QSqlDatabase());
    m_database = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

QString CMediaDataBase::databasePath() const
{
    return m_root + QLatin1Char('/') + databaseFileName;
}

QString CMediaDataBase::folder(const char* name) const
{
    return m_root + QLatin1Char('/') + QLatin1String(name);
}

bool CMediaDataBase::open()
{
    if (m_database.isValid())
        m_database.close();
    if (!initFileSystem())
        return false;
    if (!QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database = QSqlDatabase::database(m_connectionName, false);
    if (!m_database.isValid()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to load SQLite plugin");
        return false;
    }
    switch (checkSchema()) {
    case SchemaState::Valid:
        configureConnection();
        return true;
    case SchemaState::Failed:
        m_database.close();
        return false;
    case SchemaState::Empty:
        return rebuild(false);
    case SchemaState::Mismatch:
        break;
    }
    return rebuild(true);
}

bool CMediaDataBase::initFileSystem()
{
    QDir dir;
    bool ok = true;
    if (!QFileInfo(m_root).isDir()) {
        // Only the root itself is private: its parents are ordinary folders of the user.
        const QString parent = QFileInfo(m_root).absolutePath();
        ok = dir.mkpath(parent) && dir.mkdir(m_root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    for (const char* name : {"users", "items", "media"}) {
        if (ok)
            ok = dir.mkpath(folder(name));
    }
    if (!ok)
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to init file system");
    return ok;
}

void CMediaDataBase::setTableDatabases(const QSqlDatabase& database)
{
    m_keys.setDatabase(database);
    m_users.setDatabase(database);
    m_items.setDatabase(database);
    m_messages.setDatabase(database);
    m_sync.setDatabase(database);
}

bool CMediaDataBase::openDatabase()
{
    m_database.setDatabaseName(databasePath());
    if (!m_database.open()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << m_database.lastError().driverText() + QLatin1Char(' ') +
                                  m_database.lastError().databaseText();
        return false;
    }
    setTableDatabases(m_database);
    return true;
}

void CMediaDataBase::configureConnection()
{
    // A write-ahead log survives a power loss; NORMAL is safe in that mode. Neither result matters.
    // Run only on a file this program recognises or builds: a foreign file is left as it was found.
    QSqlQuery pragma(m_database);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;"));
}

CMediaDataBase::SchemaState CMediaDataBase::checkSchema()
{
    if (!openDatabase())
        return SchemaState::Failed;

    // A query failure tells a damaged file (rebuild) from one that cannot be read now (leave it).
    auto failure = [](const QSqlQuery& query) {
        const QSqlError error = query.lastError();
        if (isDamagedFileError(error)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: not a usable SQLite database: %1")
                                      .arg(error.databaseText());
            return SchemaState::Mismatch;
        }
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to open SQLite database");
        qDebug().noquote() << error.driverText() + QLatin1Char(' ') + error.databaseText();
        return SchemaState::Failed;
    };

    QStringList tables;
    {
        QSqlQuery query(m_database);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table';")))
            return failure(query);
        while (query.next())
            tables.append(query.value(0).toString());
    }
    if (tables.isEmpty())
        return SchemaState::Empty;
    for (const QString& table : tableNames) {
        if (!tables.contains(table)) {
            qDebug().noquote() << QStringLiteral("CMediaDataBase: table %1 is missing").arg(table);
            return SchemaState::Mismatch;
        }
    }

    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT VALUE FROM SERVICEKEYS WHERE PROVIDER = ? AND KEY = ?;")))
        return failure(query);
    query.addBindValue(CMediaDataBaseMethod::idValue(MeskProvider::Database));
    query.addBindValue(schemaVersionKey);
    if (!query.exec())
        return failure(query);
    if (!query.next()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: schema version is missing");
        return SchemaState::Mismatch;
    }
    const QString version = query.value(0).toString();
    if (version.toInt() != SchemaVersion) {
        qDebug().noquote()
            << QStringLiteral("CMediaDataBase: schema version %1 is not %2").arg(version).arg(SchemaVersion);
        return SchemaState::Mismatch;
    }
    return SchemaState::Valid;
}

bool CMediaDataBase::rebuild(bool moveAside)
{
    if (moveAside) {
        m_database.close();
        if (!moveDatabaseAside())
            return false;
    }
    clearFolder(folder("items"));
    clearFolder(folder("media"));
    clearFolder(folder("users"));
    if (!m_database.isOpen() && !openDatabase())
        return false;
    configureConnection();
    if (!m_keys.createTables() || !m_users.createTables() || !m_items.createTables() ||
        !m_messages.createTables() || !m_sync.createTables())
        return false;
    return m_keys.setServiceKey(MeskProvider::Database, schemaVersionKey, QString::number(SchemaVersion));
}

bool CMediaDataBase::moveDatabaseAside()
{
    const QString path = databasePath();
    const QStringList companions{QStringLiteral("-wal"), QStringLiteral("-shm")};
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const QString stamp = MeskClock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString backup;
    for (int n = 1;; ++n) {
        backup = path + QStringLiteral(".bak-") + stamp;
        if (n > 1)
            backup += QStringLiteral("-%1").arg(n);
        bool taken = QFileInfo::exists(backup) || QFileInfo(backup).isSymLink();
        for (const QString& companion : companions)
            taken = taken || QFileInfo::exists(backup + companion);
        if (!taken)
            break;
    }
    if (!QFile::rename(path, backup)) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(path);
        return false;
    }
    for (const QString& companion : companions) {
        if (QFileInfo::exists(path + companion) && !QFile::rename(path + companion, backup + companion)) {
            qDebug().noquote()
                << QStringLiteral("CMediaDataBase: failed to remove file %1").arg(path + companion);
            return false;
        }
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: moved the old database aside to %1").arg(backup);
    return true;
}

bool CMediaDataBase::clearFolder(const QString& path)
{
    bool ok = true;
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        // A link is removed itself, never followed: its target may lie outside the storage.
        if (entry.isSymLink()) {
            ok = QFile::remove(entry.filePath()) && ok;
        } else if (entry.isDir()) {
            ok = clearFolder(entry.filePath()) && ok;
            ok = dir.rmdir(entry.fileName()) && ok;
        } else {
            ok = QFile::remove(entry.filePath()) && ok;
        }
    }
    return ok;
}

QString CMediaDataBase::numberedFilePath(const QString& folder, mid_t id, const QString& suffix)
{
    const QString stem = folder + QLatin1Char('/') + QString::number(id) + QLatin1Char('.');
    const QString tail = QLatin1Char('.') + suffix;
    QString candidate;
    for (int n = 1; n <= MaxFileNumber; ++n) {
        candidate = stem + QString::number(n) + tail;
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return candidate;
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: no free file name, reusing %1").arg(candidate);
    return candidate;
}

QString CMediaDataBase::dayFolder(const char* base, const SMediaItem& item) const
{
    // The day as the file holds it, in local time, so naming and removal agree whatever zone the
    // caller's record is in.
    const QDateTime created =
        CMediaDataBaseMethod::dateFromValue(CMediaDataBaseMethod::dateValue(item.created));
    const QString day = created.isValid() ? created.toString(QStringLiteral("yyMMdd")) : QString();
    return folder(base) + QLatin1Char('/') + day;
}

QString CMediaDataBase::itemFilePath(const SMediaItem& item, const QString& suffix)
{
    const QString dir = dayFolder("items", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, fileSuffix(suffix));
}

QString CMediaDataBase::mediaFilePath(const SMediaItem& item, const QString& suffix)
{
    const QString dir = dayFolder("media", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, fileSuffix(suffix));
}

QString CMediaDataBase::userFilePath(mid_t user, const QString& suffix)
{
    return numberedFilePath(folder("users"), user, fileSuffix(suffix));
}

QString CMediaDataBase::userImagePath(mid_t user, const QString& imageUrl)
{
    const qsizetype dot = imageUrl.lastIndexOf(QLatin1Char('.'));
    QString suffix = dot < 0 ? imageUrl : imageUrl.mid(dot + 1);
    if (!isSafeSuffix(suffix, 3))
        suffix = QStringLiteral("img");
    return folder("users") + QLatin1Char('/') + QString::number(user) + QLatin1Char('.') + suffix;
}

bool CMediaDataBase::removeFilesIn(const QString& path, mid_t id, bool removeEmptyFolder)
{
    QDir dir(path);
    if (!dir.exists())
        return true;
    bool ok = true;
    const QFileInfoList files = dir.entryInfoList({QString::number(id) + QStringLiteral(".*")},
                                                  QDir::Files | QDir::System | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo& file : files) {
        if (file.isDir() && !file.isSymLink())
            continue;
        ok = QFile::remove(file.filePath()) && ok;
    }
    if (removeEmptyFolder && dir.entryList(QDir::Files | QDir::System | QDir::Hidden).isEmpty())
        QDir().rmdir(path);
    return ok;
}

bool CMediaDataBase::removeItemFiles(const SMediaItem& item)
{
    // An item without a date keeps its files in items and media themselves, which stay.
    const bool dated = CMediaDataBaseMethod::dateValue(item.created) != CMediaDataBaseMethod::NullDate;
    const bool items = removeFilesIn(dayFolder("items", item), item.id, dated);
    const bool media = removeFilesIn(dayFolder("media", item), item.id, dated);
    return items && media;
}

bool CMediaDataBase::removeUserFiles(mid_t user)
{
    QDir dir(folder("users"));
    const QFileInfoList files = dir.entryInfoList({QString::number(user) + QStringLiteral(".*")},
                                                  QDir::Files | QDir::System | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo& file : files) {
        if (file.isDir() && !file.isSymLink())
            continue;
        if (!QFile::remove(file.filePath()))
            return false;
    }
    return true;
}

// --- Text messages ------------------------------------------------------------------------------

bool CMediaDataBase::addSmsMessage(SSmsMessage& message)
{
    return m_messages.addSmsMessage(message);
}

bool CMediaDataBase::updateSmsMessage(const SSmsMessage& message)
{
    return m_messages.updateSmsMessage(message);
}

bool CMediaDataBase::deleteSmsMessage(mid_t id)
{
    return m_messages.deleteSmsMessage(id);
}

QList<SSmsMessage> CMediaDataBase::smsMessages()
{
    return m_messages.smsMessages();
}

// --- Items --------------------------------------------------------------------------------------

bool CMediaDataBase::addMediaItem(SMediaItem& item)
{
    return m_items.addMediaItem(item);
}

bool CMediaDataBase::mediaItem(mid_t id, SMediaItem& item)
{
    return m_items.mediaItem(id, item);
}

bool CMediaDataBase::updateMediaItem(const SMediaItem& item)
{
    return m_items.updateMediaItem(item);
}

void CMediaDataBase::setMediaItemField(mid_t item, const QHash<QString, QString>& fields)
{
    m_items.setMediaItemField(item, fields);
}

void CMediaDataBase::mediaItemFields(mid_t item, QHash<QString, QString>& fields)
{
    m_items.mediaItemFields(item, fields);
}

QList<SMediaItem> CMediaDataBase::childItems(mid_t parent)
{
    return m_items.childItems(parent);
}

QList<SMediaItem> CMediaDataBase::eventItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                    mid_t provider)
{
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::eventTypes(), upper, lower, provider);
}

QList<SMediaItem> CMediaDataBase::eventItems(mid_t provider)
{
    return m_items.itemsOfTypes(CMediaDataBaseItems::eventTypes(), provider);
}

QList<SMediaItem> CMediaDataBase::mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower,
                                                      mid_t provider)
{
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::mediaObjectTypes(), upper, lower, provider);
}

QList<SMediaItem> CMediaDataBase::mediaObjects(mid_t provider)
{
    return m_items.itemsOfTypes(CMediaDataBaseItems::mediaObjectTypes(), provider);
}

QList<SMediaItem> CMediaDataBase::linkItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                   mid_t provider)
{
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::linkTypes(), upper, lower, provider);
}

QList<SMediaItem> CMediaDataBase::linkItems(mid_t provider)
{
    return m_items.itemsOfTypes(CMediaDataBaseItems::linkTypes(), provider);
}

QList<SMediaItem> CMediaDataBase::itemByMediaId(mid_t provider, const QString& mediaId)
{
    return m_items.itemByMediaId(provider, mediaId);
}

QList<SMediaItem> CMediaDataBase::itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                                     mid_t provider)
{
    return m_items.itemsByTypeBetween(upper, lower, type, provider);
}

QList<SMediaItem> CMediaDataBase::itemsByType(int type, mid_t provider)
{
    return m_items.itemsByType(type, provider);
}

QList<SMediaItem> CMediaDataBase::itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider)
{
    return m_items.itemsBetween(upper, lower, provider);
}

QList<SMediaItem> CMediaDataBase::providerItems(mid_t provider)
{
    return m_items.providerItems(provider);
}

QList<SMediaItem> CMediaDataBase::itemsByContent(mid_t provider, const QString& text)
{
    return m_items.itemsByContent(provider, text);
}

QDateTime CMediaDataBase::latestItem(mid_t provider)
{
    return m_items.latestItem(provider);
}

QString CMediaDataBase::itemsByMediaIdDesc(mid_t provider)
{
    return m_items.itemsByMediaIdDesc(provider);
}

bool CMediaDataBase::deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited)
{
    // A parent chain that loops back (an item updated to be its own ancestor) ends here.
    if (visited.contains(item.id))
        return true;
    visited.insert(item.id);
    const QList<SMediaItem> children = m_items.childItems(item.id);
    for (const SMediaItem& child : children)
        deleteItemTree(child, visited);
    if (!m_items.deleteItemRows({item.id}))
        return false;
    return removeItemFiles(item);
}

bool CMediaDataBase::deleteMediaItem(mid_t id)
{
    SMediaItem item;
    if (!m_items.mediaItem(id, item))
        return false;
    QSet<mid_t> visited;
    return deleteItemTree(item, visited);
}

bool CMediaDataBase::deleteProviderItems(mid_t provider)
{
    const QList<SMediaItem> items = m_items.providerItems(provider);
    QList<mid_t> ids;
    ids.reserve(items.size());
    for (const SMediaItem& item : items)
        ids.append(item.id);
    if (!m_items.deleteItemRows(ids))
        return false;
    bool ok = true;
    for (const SMediaItem& item : items)
        ok = removeItemFiles(item) && ok;
    return ok;
}

// --- Users --------------------------------------------------------------------------------------

bool CMediaDataBase::addServiceUser(SServiceUser& user)
{
    if (!m_users.addServiceUser(user))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::serviceUser(mid_t id, SServiceUser& user)
{
    if (!m_users.serviceUser(id, user))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::updateServiceUser(const SServiceUser& user)
{
    return m_users.updateServiceUser(user);
}

void CMediaDataBase::setServiceUserField(mid_t user, const QHash<QString, QString>& fields)
{
    m_users.setServiceUserField(user, fields);
}

void CMediaDataBase::serviceUserFields(mid_t user, QHash<QString, QString>& fields)
{
    m_users.serviceUserFields(user, fields);
}

QList<SServiceUser> CMediaDataBase::serviceUserByMediaId(mid_t provider, const QString& mediaId)
{
    return m_users.serviceUserByMediaId(provider, mediaId);
}

QList<SServiceUser> CMediaDataBase::serviceUsers(mid_t provider)
{
    return m_users.serviceUsers(provider);
}

QList<SServiceUser> CMediaDataBase::findServiceUsers(mid_t provider, const QString& name)
{
    return m_users.findServiceUsers(provider, name);
}

bool CMediaDataBase::deleteServiceUser(mid_t id)
{
    SServiceUser user;
    if (!m_users.serviceUser(id, user))
        return false;
    if (!m_users.deleteUserRows({id}))
        return false;
    return removeUserFiles(id);
}

bool CMediaDataBase::deleteProviderUsers(mid_t provider)
{
    const QList<SServiceUser> users = m_users.serviceUsers(provider);
    QList<mid_t> ids;
    ids.reserve(users.size());
    for (const SServiceUser& user : users)
        ids.append(user.id);
    if (!m_users.deleteUserRows(ids))
        return false;
    bool ok = true;
    for (mid_t id : ids)
        ok = removeUserFiles(id) && ok;
    return ok;
}

// --- Service keys -------------------------------------------------------------------------------

bool CMediaDataBase::setServiceKey(mid_t provider, const QString& key, const QString& value)
{
    return m_keys.setServiceKey(provider, key, value);
}

bool CMediaDataBase::serviceKey(mid_t provider, const QString& key, QString& value)
{
    return m_keys.serviceKey(provider, key, value);
}

bool CMediaDataBase::deleteServiceKeys(mid_t provider)
{
    return m_keys.deleteServiceKeys(provider);
}

// --- Sync records and clean-up ------------------------------------------------------------------

bool CMediaDataBase::setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    return setSyncRecords(provider, QList<mid_t>(events.cbegin(), events.cend()), maxPeriod);
}

bool CMediaDataBase::setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    return m_sync.writeSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::cleanup(bool onlyExpired)
{
    bool ok = false;
    const QSet<mid_t> kept = m_sync.keptEvents(onlyExpired, &ok);
    if (!ok) {
        qDebug().noquote() << QStringLiteral(
            "CMediaDataBase: sync records cannot be read, nothing cleaned up");
        return true;
    }
    const QList<SMediaItem> events = eventItems(0);
    QSet<mid_t> visited;
    for (const SMediaItem& event : events) {
        if (!kept.contains(event.id))
            deleteItemTree(event, visited);
    }
    return true;
}

QList<SMediaItem> CMediaDataBase::syncRecords(mid_t provider)
{
    QList<SMediaItem> items;
    const QList<SMediaSyncRecord> records = m_sync.readSyncRecords(provider);
    for (const SMediaSyncRecord& record : records) {
        SMediaItem item;
        if (m_items.mediaItem(record.mediaEvent, item))
            items.append(item);
    }
    return items;
}
