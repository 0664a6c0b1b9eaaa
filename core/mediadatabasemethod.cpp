#include "mediadatabasemethod.h"

#include "meskzone.h"

#include <QDebug>
#include <QSqlError>

#include <algorithm>
#include <utility>

namespace {
QString errorText(const QSqlError& error)
{
    QString text;
    QDebug(&text) << error;
    return text.trimmed();
}

CMediaDataBaseMethod::ReadFault& readFault()
{
    static CMediaDataBaseMethod::ReadFault fault;
    return fault;
}

// The file holds text as UTF-8, which has no form for half a surrogate pair. SQLite's own conversion
// would take such a half together with the next unit, whatever that is, and so lose a character;
// each half becomes U+FFFD instead, the way Qt converts it. Any other text is bound unchanged.
QVariant storable(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return value;
    QString text = value.toString();
    bool changed = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        text[i] = QChar::ReplacementCharacter;
        changed = true;
    }
    return changed ? QVariant(text) : value;
}
} // namespace

void CMediaDataBaseConnection::setDatabase(const QSqlDatabase& database)
{
    clearStatements();
    resetBatch();
    m_database = database;
}

void CMediaDataBaseConnection::clearStatements()
{
    m_statements.clear();
}

QSqlQuery* CMediaDataBaseConnection::prepared(const QString& statement)
{
    auto it = m_statements.constFind(statement);
    if (it != m_statements.cend())
        return it->get();
    auto query = std::make_shared<QSqlQuery>(m_database);
    query->setForwardOnly(true);
    if (!query->prepare(statement)) {
        m_lastError = query->lastError();
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: sql statement %1 failed %2")
                                  .arg(statement, errorText(query->lastError()));
        return nullptr;
    }
    m_statements.insert(statement, query);
    return query.get();
}

void CMediaDataBaseConnection::failed(const QSqlError& error, Access access) const
{
    // SQLite's primary code is the low byte of an extended one.
    constexpr int Constraint = 19;
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    if (access == Access::Write && numeric && (code & 0xff) == Constraint)
        return;
    if (m_failed)
        m_failed(error, access);
}

bool CMediaDataBaseConnection::syncCommits()
{
    // The level can change only outside a transaction. Read first, so that a connection already as
    // strict (or stricter) is left alone.
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA synchronous;")) || !query.next()) {
        m_lastError = query.lastError();
        return false;
    }
    constexpr int Full = 2;
    const int level = query.value(0).toInt();
    query.finish();
    if (level >= Full)
        return true;
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL;"))) {
        m_lastError = query.lastError();
        return false;
    }
    m_restoreSync = level;
    return true;
}

void CMediaDataBaseConnection::restoreSync()
{
    const int level = std::exchange(m_restoreSync, -1);
    if (level < 0 || !m_database.isOpen())
        return;
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("PRAGMA synchronous=%1;").arg(level)))
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to set the syncs back %1")
                                  .arg(errorText(query.lastError()));
}

bool CMediaDataBaseConnection::beginBatch(bool durable)
{
    if (m_batchDepth++ > 0) {
        Q_ASSERT_X(!durable || m_durableBatch || m_batchFailed, "CMediaDataBaseConnection::beginBatch",
                   "a durable batch inside one that is not: its commit would not be synced");
        return !m_batchFailed;
    }
    m_batchFailed = false;
    m_restoreSync = -1;
    m_durableBatch = durable;
    // A commit that permits what cannot be undone reaches the disk before endBatch() returns, or the
    // batch does not run: without the sync it could be lost with a power cut.
    if (durable && !syncCommits()) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to make the commit durable %1")
                                  .arg(errorText(m_lastError));
        m_batchFailed = true;
        failed(m_lastError, Access::Write);
        return false;
    }
    if (!m_database.transaction()) {
        m_lastError = m_database.lastError();
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to start transaction %1")
                                  .arg(errorText(m_database.lastError()));
        m_batchFailed = true;
        failed(m_lastError, Access::Write);
        return false;
    }
    return true;
}

bool CMediaDataBaseConnection::endBatch()
{
    if (m_batchDepth <= 0) {
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: a batch ended that was not begun");
        return false;
    }
    if (--m_batchDepth > 0)
        return !m_batchFailed;
    const bool rollBack = m_batchFailed;
    m_batchFailed = false;
    if (rollBack) {
        // A batch whose BEGIN failed has no transaction of its own to roll back.
        if (m_database.isOpen())
            m_database.rollback();
        restoreSync();
        return false;
    }
    if (!m_database.commit()) {
        m_lastError = m_database.lastError();
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: failed to commit transaction %1")
                                  .arg(errorText(m_database.lastError()));
        m_database.rollback();
        restoreSync();
        failed(m_lastError, Access::Write);
        return false;
    }
    restoreSync();
    return true;
}

void CMediaDataBaseConnection::resetBatch()
{
    m_batchDepth = 0;
    m_batchFailed = false;
    m_restoreSync = -1;
    m_durableBatch = false;
}

CMediaDataBaseMethod::CMediaDataBaseMethod() : m_connection(std::make_shared<CMediaDataBaseConnection>()) {}

QSqlQuery* CMediaDataBaseMethod::run(const QString& statement, const QVariantList& values)
{
    m_connection->observe(statement, values);
    QSqlQuery* query = m_connection->prepared(statement);
    if (!query) {
        m_connection->markBatchFailed();
        return nullptr;
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, storable(values.at(i)));
    if (!query->exec()) {
        m_connection->setLastError(query->lastError());
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: sql statement %1 failed %2")
                                  .arg(statement, errorText(query->lastError()));
        query->finish();
        m_connection->markBatchFailed();
        return nullptr;
    }
    return query;
}

bool CMediaDataBaseMethod::exec(const QString& statement, const QVariantList& values, QVariant* insertId,
                                int* changed)
{
    if (m_connection->batchDepth() > 0 && m_connection->batchFailed())
        return false;
    QSqlQuery* query = run(statement, values);
    if (!query) {
        m_connection->failed(m_connection->lastError(), CMediaDataBaseConnection::Access::Write);
        return false;
    }
    if (insertId)
        *insertId = query->lastInsertId();
    if (changed)
        *changed = query->numRowsAffected();
    query->finish();
    return true;
}

void CMediaDataBaseMethod::setReadFault(ReadFault fault)
{
    readFault() = std::move(fault);
}

bool CMediaDataBaseMethod::select(const QString& statement, const QVariantList& values,
                                  const std::function<void(const QSqlQuery&)>& reader)
{
    // Dates read from here on are local times of the zone in force: a zone changed since the last
    // read drops the local dates worked out for the old one.
    MeskZone::checkChange();
    if (const ReadFault& fault = readFault(); fault && fault(statement)) {
        const QSqlError error(QStringLiteral("Unable to fetch row"), QStringLiteral("disk I/O error"),
                              QSqlError::StatementError, QStringLiteral("10"));
        m_connection->setLastError(error);
        m_connection->markBatchFailed();
        m_connection->failed(error, CMediaDataBaseConnection::Access::Read);
        return false;
    }
    QSqlQuery* query = run(statement, values);
    if (!query) {
        m_connection->failed(m_connection->lastError(), CMediaDataBaseConnection::Access::Read);
        return false;
    }
    while (query->next())
        reader(*query);
    // next() also ends on an error: a damaged page must not pass for the end of the rows.
    const QSqlError error = query->lastError();
    // An unfinished statement keeps its read open and blocks checkpoints of the write-ahead log.
    query->finish();
    if (error.isValid()) {
        m_connection->setLastError(error);
        qDebug().noquote() << QStringLiteral("CMediaDataBaseMethod: sql statement %1 failed %2")
                                  .arg(statement, errorText(error));
        m_connection->markBatchFailed();
        m_connection->failed(error, CMediaDataBaseConnection::Access::Read);
        return false;
    }
    return true;
}

bool CMediaDataBaseMethod::execTransaction(const QList<SMediaDataBaseStatement>& statements)
{
    if (statements.isEmpty())
        return true;
    if (!m_connection->beginBatch()) {
        m_connection->endBatch();
        return false;
    }
    for (const SMediaDataBaseStatement& statement : statements) {
        if (!exec(statement.text, statement.values))
            break;
    }
    return m_connection->endBatch();
}

QString CMediaDataBaseMethod::escape(const QString& text)
{
    // Most texts hold none of the marks: they are stored as they are, without a copy.
    const auto isMark = [](QChar c) { return c == u'[' || c == u'_' || c == u'#' || c == u'^' || c == u'%'; };
    if (std::none_of(text.cbegin(), text.cend(), isMark))
        return text;
    QString stored = text;
    stored.replace(QLatin1String("["), QLatin1String("[[]"));
    stored.replace(QLatin1String("_"), QLatin1String("[_]"));
    stored.replace(QLatin1String("#"), QLatin1String("[#]"));
    stored.replace(QLatin1String("^"), QLatin1String("[^]"));
    stored.replace(QLatin1String("%"), QLatin1String("[%]"));
    return stored;
}

QString CMediaDataBaseMethod::unescape(const QString& stored)
{
    if (!stored.contains(QLatin1Char('[')))
        return stored;
    QString text = stored;
    text.replace(QLatin1String("[_]"), QLatin1String("_"));
    text.replace(QLatin1String("[#]"), QLatin1String("#"));
    text.replace(QLatin1String("[^]"), QLatin1String("^"));
    text.replace(QLatin1String("[%]"), QLatin1String("%"));
    text.replace(QLatin1String("[[]"), QLatin1String("["));
    return text;
}

qint64 CMediaDataBaseMethod::dateValue(const QDateTime& date)
{
    if (!date.isValid())
        return NullDate;
    const qint64 secs = date.toSecsSinceEpoch();
    if (secs < 0 || secs > NullDate)
        return NullDate;
    return secs;
}

qint64 CMediaDataBaseMethod::datedUpperBound(const QDateTime& upper)
{
    if (!upper.isValid())
        return -1;
    const qint64 secs = upper.toSecsSinceEpoch();
    return secs < 0 ? -1 : qMin(secs, NullDate - 1);
}

QDateTime CMediaDataBaseMethod::dateFromValue(const QVariant& value)
{
    bool ok = false;
    const qint64 secs = value.toLongLong(&ok);
    if (!ok || secs < 0 || secs >= NullDate)
        return QDateTime();
    return MeskZone::localInstant(secs);
}
