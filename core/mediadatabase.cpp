#include "mediadatabase.h"

#include "mediadatabasefolders.h"

#include "mediadatabasenames.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QThread>

#include <atomic>
#include <utility>

#include <time.h>

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("CMediaDataBase-%1").arg(++counter);
}
} // namespace

CMediaDataBase::CMediaDataBase(const QString& root, QObject* parent)
    : IMediaItemStorage(parent), m_connection(std::make_shared<CMediaDataBaseConnection>()), m_root(root),
      m_connectionName(nextConnectionName()), m_thread(QThread::currentThread())
{
    m_keys.setConnection(m_connection);
    m_users.setConnection(m_connection);
    m_items.setConnection(m_connection);
    m_messages.setConnection(m_connection);
    m_sync.setConnection(m_connection);
    m_connection->setFailedHandler([this](const QSqlError& error, CMediaDataBaseConnection::Access access) {
        tellFailure(error, access);
    });
}

CMediaDataBase::~CMediaDataBase()
{
    if (m_connection->batchDepth() > 0) {
        qDebug().noquote() << QStringLiteral(
            "CMediaDataBase: closed inside a batch, its changes are dropped");
        m_database.rollback();
        m_opened = false;
    }
    closeDatabase();
    m_connection->setDatabase(QSqlDatabase());
    m_database = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
    // A read or write that failed may have met a damaged page, or left the file other than SQLite
    // meant: the next open then checks the whole file.
    if (m_opened && !m_failed)
        CMediaDataBaseOpen::writeCleanCloseRecord(m_root);
}

QString CMediaDataBase::databasePath() const
{
    return CMediaDataBaseOpen::databasePath(m_root);
}

QString CMediaDataBase::folder(const char* name) const
{
    return m_root + QLatin1Char('/') + QLatin1String(name);
}

void CMediaDataBase::checkThread(const char* operation) const
{
    Q_UNUSED(operation);
    Q_ASSERT_X(QThread::currentThread() == m_thread, operation,
               "CMediaDataBase used on another thread than the one that opened it");
}

void CMediaDataBase::setStatementObserver(std::function<void(const QString&, const QVariantList&)> observer)
{
    m_connection->setObserver(std::move(observer));
}

void CMediaDataBase::closeDatabase()
{
    m_pendingFiles.clear();
    m_pendingDays.clear();
    CMediaDataBaseOpen::close(*m_connection);
    if (m_database.isValid())
        m_database.close();
}

bool CMediaDataBase::open()
{
    m_thread = QThread::currentThread();
    m_opened = false;
    m_failed = false;
    closeDatabase();
    CMediaDataBaseOpen opening(
        m_root, m_connectionName, *m_connection,
        [this] {
            return m_keys.createTables() && m_users.createTables() && m_items.createTables() &&
                   m_messages.createTables() && m_sync.createTables() &&
                   m_keys.setServiceKey(MeskProvider::Database, CMediaDataBaseOpen::SchemaVersionKey,
                                        QString::number(SchemaVersion));
        },
        [this] {
            return m_keys.createIndexes() && m_users.createIndexes() && m_items.createIndexes() &&
                   m_messages.createIndexes() && m_sync.createIndexes();
        });
    m_lastOpen = opening.open();
    m_database = m_connection->database();
    m_opened = m_lastOpen.ok;
    return m_opened;
}

void CMediaDataBase::dropReplacedNotice(const QString& root)
{
    CMediaDataBaseOpen::dropNotice(root);
}

// --- Downloaded files ---------------------------------------------------------------------------

QString CMediaDataBase::numberedFilePath(const QString& folder, mid_t id, const QString& suffix)
{
    QString candidate;
    for (int n = 1; n <= MediaDataBaseNames::MaxFileNumber; ++n) {
        candidate = folder + QLatin1Char('/') + MediaDataBaseNames::numberedFileName(id, n, suffix);
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return candidate;
    }
    qDebug().noquote() << QStringLiteral("CMediaDataBase: no free file name, reusing %1").arg(candidate);
    return candidate;
}

QString CMediaDataBase::dayFolder(const char* base, qint64 created) const
{
    // The day in local time as the C library gives it (QDateTime asks it the same way), from the date
    // as the file holds it, so naming and removal agree whatever zone the caller's record is in. The
    // caller has read the zone (tzset).
    return folder(base) + QLatin1Char('/') + MediaDataBaseNames::dayName(created);
}

QString CMediaDataBase::dayFolder(const char* base, const SMediaItem& item) const
{
    ::tzset();
    return dayFolder(base, CMediaDataBaseMethod::dateValue(item.created));
}

QString CMediaDataBase::itemFilePath(const SMediaItem& item, const QString& suffix)
{
    checkThread(__func__);
    const QString dir = dayFolder("items", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, MediaDataBaseNames::fileSuffix(suffix));
}

QString CMediaDataBase::mediaFilePath(const SMediaItem& item, const QString& suffix)
{
    checkThread(__func__);
    const QString dir = dayFolder("media", item);
    QDir().mkpath(dir);
    return numberedFilePath(dir, item.id, MediaDataBaseNames::fileSuffix(suffix));
}

QString CMediaDataBase::userFilePath(mid_t user, const QString& suffix)
{
    checkThread(__func__);
    return numberedFilePath(folder("users"), user, MediaDataBaseNames::fileSuffix(suffix));
}

QString CMediaDataBase::userImagePath(mid_t user, const QString& imageUrl)
{
    checkThread(__func__);
    return folder("users") + QLatin1Char('/') + MediaDataBaseNames::userImageName(user, imageUrl);
}

bool CMediaDataBase::removeFilesIn(const QString& path, const SPendingFolder& pending)
{
    const bool ok =
        MediaDataBaseFolders::removeFilesOf(path, pending.ids, path == folder("users"), pending.removeFolder);
    // rmdir fails, harmlessly, on a folder that still holds something.
    if (pending.removeFolder)
        QDir().rmdir(path);
    return ok;
}

void CMediaDataBase::queueFileRemoval(const QString& folder, mid_t id, bool removeFolder)
{
    SPendingFolder& pending = m_pendingFiles[folder];
    pending.ids.insert(id);
    pending.removeFolder = pending.removeFolder || removeFolder;
}

void CMediaDataBase::queueItemFiles(mid_t id, qint64 created)
{
    // An item without a date keeps its files in items and media themselves, which stay.
    if (created == CMediaDataBaseMethod::NullDate || created < 0) {
        queueFileRemoval(dayFolder("items", created), id, false);
        queueFileRemoval(dayFolder("media", created), id, false);
        return;
    }
    // A day folder is named after the local day of the item when its file is stored, in the zone then
    // in force, which need not be today's: every day that a zone gives the moment is looked in (UTC
    // offsets from -12 to +14 hours, and the zone in force). Only the item's own files go.
    constexpr qint64 Day = 24 * 3600;
    constexpr qint64 West = 12 * 3600;
    constexpr qint64 East = 14 * 3600;
    const auto dayOf = [](qint64 seconds) {
        return seconds >= 0 ? seconds / Day : (seconds - Day + 1) / Day;
    };
    const qint64 first = dayOf(created - West);
    const qint64 last = dayOf(created + East);
    for (qint64 day = first; day <= last; ++day)
        m_pendingDays[day].insert(id);
    const time_t seconds = time_t(created);
    struct tm local
    {
    };
    if (::localtime_r(&seconds, &local)) {
        const qint64 day = dayOf(created + local.tm_gmtoff);
        if (day < first || day > last)
            m_pendingDays[day].insert(id);
    }
}

bool CMediaDataBase::removePendingFiles()
{
    const QHash<QString, SPendingFolder> pending = std::exchange(m_pendingFiles, {});
    const QHash<qint64, QSet<mid_t>> days = std::exchange(m_pendingDays, {});
    bool ok = true;
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        ok = removeFilesIn(it.key(), it.value()) && ok;
    const QDate epoch(1970, 1, 1);
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        const QString name = epoch.addDays(it.key()).toString(QStringLiteral("yyMMdd"));
        const SPendingFolder folderFiles{it.value(), true};
        for (const char* base : {"items", "media"})
            ok = removeFilesIn(folder(base) + QLatin1Char('/') + name, folderFiles) && ok;
    }
    return ok;
}

// --- Batches ------------------------------------------------------------------------------------

void CMediaDataBase::openBatch(Commit commit)
{
    m_connection->beginBatch(commit == Commit::Durable);
}

bool CMediaDataBase::closeBatch()
{
    const bool outermost = m_connection->batchDepth() == 1;
    const bool committed = m_connection->endBatch();
    if (!outermost)
        return committed;
    // The rows are deleted only now: their files follow. A rolled-back batch keeps them. (A power cut
    // can still take the commit back, unless it was durable: the rows then return without their files,
    // which the program downloads again.)
    if (!committed) {
        m_pendingFiles.clear();
        m_pendingDays.clear();
        return false;
    }
    // What could not be removed is logged by name and stays as litter; the batch committed.
    if (!removePendingFiles())
        m_filesLeft = true;
    return true;
}

bool CMediaDataBase::beginBatch(Commit commit)
{
    checkThread(__func__);
#ifndef QT_NO_DEBUG
    if (m_connection->batchDepth() == 0) {
        // Runs when control is back in the event loop, where no batch may be open any more.
        QMetaObject::invokeMethod(
            this,
            [this] {
                Q_ASSERT_X(m_connection->batchDepth() == 0, "CMediaStorageBatch",
                           "a storage batch is open across a return to the event loop");
            },
            Qt::QueuedConnection);
    }
#endif
    openBatch(commit);
    return !m_connection->batchFailed();
}

bool CMediaDataBase::endBatch()
{
    checkThread(__func__);
    return closeBatch();
}

// --- Text messages ------------------------------------------------------------------------------

bool CMediaDataBase::addSmsMessage(SSmsMessage& message)
{
    checkThread(__func__);
    return m_messages.addSmsMessage(message);
}

bool CMediaDataBase::updateSmsMessage(const SSmsMessage& message)
{
    checkThread(__func__);
    return m_messages.updateSmsMessage(message);
}

bool CMediaDataBase::deleteSmsMessage(mid_t id)
{
    checkThread(__func__);
    return m_messages.deleteSmsMessage(id);
}

QList<SSmsMessage> CMediaDataBase::smsMessages(bool* ok)
{
    checkThread(__func__);
    return m_messages.smsMessages(ok);
}

QList<SSmsMessage> CMediaDataBase::smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                                      bool* ok)
{
    checkThread(__func__);
    return m_messages.smsMessagesBetween(upper, lower, ok);
}

QDateTime CMediaDataBase::latestSmsMessageAtOrBefore(const QDateTime& upper, bool* ok)
{
    checkThread(__func__);
    return m_messages.latestAtOrBefore(upper, ok);
}

QList<SSmsOnModem> CMediaDataBase::smsOnModem(bool* ok)
{
    checkThread(__func__);
    return m_messages.onModem(ok);
}

bool CMediaDataBase::addSmsOnModem(SSmsOnModem& entry)
{
    checkThread(__func__);
    return m_messages.addOnModem(entry);
}

bool CMediaDataBase::updateSmsOnModem(const SSmsOnModem& entry)
{
    checkThread(__func__);
    return m_messages.updateOnModem(entry);
}

bool CMediaDataBase::deleteSmsOnModem(mid_t id)
{
    checkThread(__func__);
    return m_messages.deleteOnModem(id);
}

bool CMediaDataBase::clearSmsOnModemOrigins()
{
    checkThread(__func__);
    return m_messages.clearOnModemOrigins();
}

QList<mid_t> CMediaDataBase::sameSmsMessages(const SSmsMessage& message, bool withCreated, bool* ok)
{
    checkThread(__func__);
    return m_messages.sameMessages(message, withCreated, ok);
}

// --- Items --------------------------------------------------------------------------------------

bool CMediaDataBase::addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    return m_items.addMediaItem(item, fields);
}

bool CMediaDataBase::mediaItem(mid_t id, SMediaItem& item, bool* ok)
{
    checkThread(__func__);
    return m_items.mediaItem(id, item, ok);
}

bool CMediaDataBase::updateMediaItem(const SMediaItem& item)
{
    checkThread(__func__);
    return m_items.updateMediaItem(item);
}

void CMediaDataBase::setMediaItemField(mid_t item, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    m_items.setMediaItemField(item, fields);
}

void CMediaDataBase::mediaItemFields(mid_t item, QHash<QString, QString>& fields, bool* ok)
{
    checkThread(__func__);
    const bool done = m_items.mediaItemFields(item, fields);
    if (ok)
        *ok = done;
}

QList<QPair<QString, QString>> CMediaDataBase::mediaItemFieldList(mid_t item, bool* ok)
{
    checkThread(__func__);
    QList<QPair<QString, QString>> fields;
    const bool done = m_items.mediaItemFieldList(item, fields);
    if (ok)
        *ok = done;
    return fields;
}

QList<SMediaItem> CMediaDataBase::childItems(mid_t parent, bool* ok)
{
    checkThread(__func__);
    return m_items.childItems(parent, ok);
}

QList<SMediaItem> CMediaDataBase::eventItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                    mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::eventTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::eventItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::eventTypes(), provider, ok);
}

QDateTime CMediaDataBase::latestEventAtOrBefore(const QDateTime& upper, mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.latestOfTypesAtOrBefore(CMediaDataBaseItems::eventTypes(), upper, provider, ok);
}

QList<SMediaItem> CMediaDataBase::mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower,
                                                      mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::mediaObjectTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::mediaObjects(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::mediaObjectTypes(), provider, ok);
}

QList<SMediaItem> CMediaDataBase::linkItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                   mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypesBetween(CMediaDataBaseItems::linkTypes(), upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::linkItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsOfTypes(CMediaDataBaseItems::linkTypes(), provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemByMediaId(mid_t provider, const QString& mediaId, bool* ok)
{
    checkThread(__func__);
    return m_items.itemByMediaId(provider, mediaId, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                                     mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByTypeBetween(upper, lower, type, provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByType(int type, mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByType(type, provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                               bool* ok)
{
    checkThread(__func__);
    return m_items.itemsBetween(upper, lower, provider, ok);
}

QList<SMediaItem> CMediaDataBase::providerItems(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.providerItems(provider, ok);
}

QList<SMediaItem> CMediaDataBase::itemsByContent(mid_t provider, const QString& text, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByContent(provider, text, ok);
}

QDateTime CMediaDataBase::latestItem(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.latestItem(provider, ok);
}

QString CMediaDataBase::itemsByMediaIdDesc(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.itemsByMediaIdDesc(provider, ok);
}

bool CMediaDataBase::deleteItemTree(const SMediaItem& item, QSet<mid_t>& visited)
{
    // A parent chain that loops back (an item updated to be its own ancestor) ends here.
    if (visited.contains(item.id))
        return true;
    visited.insert(item.id);
    bool read = false;
    const QList<SMediaItem> children = m_items.childItems(item.id, &read);
    if (!read)
        return false;
    for (const SMediaItem& child : children) {
        if (!deleteItemTree(child, visited))
            return false;
    }
    if (!m_items.deleteItemRows({item.id}))
        return false;
    ::tzset();
    queueItemFiles(item.id, CMediaDataBaseMethod::dateValue(item.created));
    return true;
}

bool CMediaDataBase::deleteMediaItem(mid_t id)
{
    checkThread(__func__);
    SMediaItem item;
    if (!m_items.mediaItem(id, item))
        return false;
    openBatch();
    QSet<mid_t> visited;
    const bool deleted = deleteItemTree(item, visited);
    return closeBatch() && deleted;
}

bool CMediaDataBase::deleteProviderItems(mid_t provider)
{
    checkThread(__func__);
    bool read = false;
    const QList<SMediaItem> items = m_items.providerItems(provider, &read);
    if (!read)
        return false;
    QList<mid_t> ids;
    ids.reserve(items.size());
    for (const SMediaItem& item : items)
        ids.append(item.id);
    openBatch();
    const bool deleted = m_items.deleteItemRows(ids);
    if (deleted) {
        ::tzset();
        for (const SMediaItem& item : items)
            queueItemFiles(item.id, CMediaDataBaseMethod::dateValue(item.created));
    }
    return closeBatch() && deleted;
}

// --- Users --------------------------------------------------------------------------------------

bool CMediaDataBase::addServiceUser(SServiceUser& user)
{
    checkThread(__func__);
    if (!m_users.addServiceUser(user))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::serviceUser(mid_t id, SServiceUser& user, bool* ok)
{
    checkThread(__func__);
    if (!m_users.serviceUser(id, user, ok))
        return false;
    if (!user.avatar.isEmpty())
        user.avatarFile = userImagePath(user.id, user.avatar);
    return true;
}

bool CMediaDataBase::updateServiceUser(const SServiceUser& user)
{
    checkThread(__func__);
    return m_users.updateServiceUser(user);
}

void CMediaDataBase::setServiceUserField(mid_t user, const QHash<QString, QString>& fields)
{
    checkThread(__func__);
    m_users.setServiceUserField(user, fields);
}

void CMediaDataBase::serviceUserFields(mid_t user, QHash<QString, QString>& fields, bool* ok)
{
    checkThread(__func__);
    const bool done = m_users.serviceUserFields(user, fields);
    if (ok)
        *ok = done;
}

QList<SServiceUser> CMediaDataBase::serviceUserByMediaId(mid_t provider, const QString& mediaId, bool* ok)
{
    checkThread(__func__);
    return m_users.serviceUserByMediaId(provider, mediaId, ok);
}

QList<SServiceUser> CMediaDataBase::serviceUsers(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_users.serviceUsers(provider, ok);
}

QList<SServiceUser> CMediaDataBase::findServiceUsers(mid_t provider, const QString& name, bool* ok)
{
    checkThread(__func__);
    return m_users.findServiceUsers(provider, name, ok);
}

bool CMediaDataBase::deleteServiceUser(mid_t id)
{
    checkThread(__func__);
    SServiceUser user;
    if (!m_users.serviceUser(id, user))
        return false;
    openBatch();
    const bool deleted = m_users.deleteUserRows({id});
    if (deleted)
        queueFileRemoval(folder("users"), id, false);
    return closeBatch() && deleted;
}

bool CMediaDataBase::deleteProviderUsers(mid_t provider)
{
    checkThread(__func__);
    bool read = false;
    const QList<SServiceUser> users = m_users.serviceUsers(provider, &read);
    if (!read)
        return false;
    QList<mid_t> ids;
    ids.reserve(users.size());
    for (const SServiceUser& user : users)
        ids.append(user.id);
    openBatch();
    const bool deleted = m_users.deleteUserRows(ids);
    if (deleted) {
        for (mid_t id : ids)
            queueFileRemoval(folder("users"), id, false);
    }
    return closeBatch() && deleted;
}

// --- Service keys -------------------------------------------------------------------------------

bool CMediaDataBase::setServiceKey(mid_t provider, const QString& key, const QString& value)
{
    checkThread(__func__);
    // Provider 0's row holds the schema version: without it the next start moves the file aside.
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.setServiceKey(provider, key, value);
}

bool CMediaDataBase::serviceKey(mid_t provider, const QString& key, QString& value, bool* ok)
{
    checkThread(__func__);
    return m_keys.serviceKey(provider, key, value, ok);
}

bool CMediaDataBase::deleteServiceKeys(mid_t provider)
{
    checkThread(__func__);
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.deleteServiceKeys(provider);
}

bool CMediaDataBase::deleteServiceKey(mid_t provider, const QString& key)
{
    checkThread(__func__);
    if (provider == MeskProvider::Database) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the keys of provider 0 are the storage's own");
        return false;
    }
    return m_keys.deleteServiceKey(provider, key);
}

// --- Sync records and clean-up ------------------------------------------------------------------

bool CMediaDataBase::setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    checkThread(__func__);
    return m_sync.writeSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    checkThread(__func__);
    return m_sync.writeSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::addSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod)
{
    checkThread(__func__);
    return m_sync.addSyncRecords(provider, events, maxPeriod);
}

bool CMediaDataBase::cleanup(bool onlyExpired)
{
    checkThread(__func__);
    bool ok = false;
    const QSet<mid_t> kept = m_sync.keptEvents(onlyExpired, &ok);
    if (!ok) {
        qDebug().noquote() << QStringLiteral(
            "CMediaDataBase: sync records cannot be read, nothing cleaned up");
        return true;
    }
    // One transaction for the whole clean-up, and one listing per day folder for all its files.
    openBatch();
    QList<QPair<mid_t, qint64>> gone;
    if (m_items.deleteExpiredTrees(kept, gone)) {
        // The zone is read once for all the day folders.
        ::tzset();
        for (const auto& [id, created] : gone)
            queueItemFiles(id, created);
    }
    m_filesLeft = false;
    if (!closeBatch()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the clean-up failed, nothing was removed");
        return false;
    }
    if (std::exchange(m_filesLeft, false))
        qDebug().noquote() << QStringLiteral("CMediaDataBase: the clean-up removed %1 items; files of "
                                             "theirs that could not be removed stay (named above)")
                                  .arg(gone.size());
    return true;
}

QList<SMediaItem> CMediaDataBase::syncRecords(mid_t provider, bool* ok)
{
    checkThread(__func__);
    return m_items.listedItems(provider, ok);
}

// --- Failed reads and writes -------------------------------------------------------------------

void CMediaDataBase::tellFailure(const QSqlError& error, CMediaDataBaseConnection::Access access)
{
    // The statements of open() tell their failures through openFailure().
    if (!m_opened)
        return;
    m_failed = true;
    const QString words = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    const TMeskStorageFailure::Kind kind = access == CMediaDataBaseConnection::Access::Read
                                               ? TMeskStorageFailure::Kind::FileNotReadable
                                               : TMeskStorageFailure::Kind::NotSaved;
    emit storageFailed(TMeskStorageFailure{kind, databasePath(), words});
}
