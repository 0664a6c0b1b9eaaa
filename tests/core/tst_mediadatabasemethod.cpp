#include "mediadatabase.h"
#include "mediadatabasemethod.h"
#include "mediadbtest.h"
#include "meskzone.h"
#include "testclock.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <ctime>

using namespace MediaDbTest;

class TestMediaDataBaseMethod : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { setTimeZone("UTC"); }

    void escape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("all marks") << "O'Hara_#1 ^50%"
                                   << "O'Hara[_][#]1 [^]50[%]";
        QTest::newRow("already bracketed") << "[_]"
                                           << "[[][_]]";
        QTest::newRow("plain") << "plain text"
                               << "plain text";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("brackets") << "a[b]c"
                                  << "a[[]b]c";
    }
    void escape()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QCOMPARE(CMediaDataBaseMethod::escape(text), stored);
        QCOMPARE(CMediaDataBaseMethod::unescape(stored), text);
    }

    void escapeRoundTripsEveryShortText()
    {
        const QString alphabet = QStringLiteral("[]_#^%'a");
        QStringList texts{QString()};
        QStringList level{QString()};
        for (int length = 1; length <= 5; ++length) {
            QStringList next;
            for (const QString& prefix : level) {
                for (QChar c : alphabet)
                    next.append(prefix + c);
            }
            texts += next;
            level = next;
        }
        QCOMPARE(texts.size(), 1 + 8 + 64 + 512 + 4096 + 32768);
        for (const QString& text : texts) {
            const QString back = CMediaDataBaseMethod::unescape(CMediaDataBaseMethod::escape(text));
            if (back != text)
                QFAIL(qPrintable(QStringLiteral("\"%1\" came back as \"%2\"").arg(text, back)));
        }
    }

    void transactionIsAllOrNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.db"));
        run(file, {QStringLiteral("CREATE TABLE T (V INTEGER)")});
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("method"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            CMediaDataBaseMethod method;
            method.setDatabase(db);
            MessageLog log;
            const bool done =
                method.execTransaction({{QStringLiteral("INSERT INTO T (V) VALUES (?)"), {1}},
                                        {QStringLiteral("INSERT INTO NOWHERE (V) VALUES (?)"), {2}},
                                        {QStringLiteral("INSERT INTO T (V) VALUES (?)"), {3}}});
            QVERIFY(!done);
            QCOMPARE(log.messages.size(), 1);
            QVERIFY2(log.messages.first().startsWith(
                         QStringLiteral("CMediaDataBaseMethod: sql statement INSERT INTO NOWHERE")),
                     qPrintable(log.messages.first()));
            QVERIFY(method.execTransaction({{QStringLiteral("INSERT INTO T (V) VALUES (?)"), {4}}}));
            method.setDatabase(QSqlDatabase());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("method"));
        QCOMPARE(rows(file, QStringLiteral("SELECT V FROM T")), QList<QVariantList>{{QVariant(4)}});
    }

    void emptyTransactionNeedsNoConnection()
    {
        CMediaDataBaseMethod method;
        QVERIFY(method.execTransaction({}));
    }

    void boundValuesAreNotSql()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.db"));
        run(file, {QStringLiteral("CREATE TABLE T (S TEXT)")});
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("method"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            CMediaDataBaseMethod method;
            method.setDatabase(db);
            QVERIFY(method.exec(QStringLiteral("INSERT INTO T (S) VALUES (?)"),
                                {QStringLiteral("x'); DROP TABLE T; --")}));
            QVERIFY(method.exec(QStringLiteral("INSERT INTO T (S) VALUES (?)"),
                                {QStringLiteral("keeps %2 and ?")}));
            method.setDatabase(QSqlDatabase());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("method"));
        QCOMPARE(rows(file, QStringLiteral("SELECT S FROM T ORDER BY ROWID")),
                 (QList<QVariantList>{{QStringLiteral("x'); DROP TABLE T; --")},
                                      {QStringLiteral("keeps %2 and ?")}}));
    }

    void dateValues_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<QDateTime>("readBack");
        const QDateTime day(QDate(2009, 11, 26), QTime(0, 0), Qt::UTC);
        QTest::newRow("2009-11-26 UTC") << day << qint64(1259193600) << day;
        QTest::newRow("null") << QDateTime() << qint64(4294967295LL) << QDateTime();
        QTest::newRow("before 1970") << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59), Qt::UTC)
                                     << qint64(4294967295LL) << QDateTime();
        QTest::newRow("after 2106") << QDateTime(QDate(2200, 1, 1), QTime(0, 0), Qt::UTC)
                                    << qint64(4294967295LL) << QDateTime();
        QTest::newRow("last second") << QDateTime(QDate(2106, 2, 7), QTime(6, 28, 14), Qt::UTC)
                                     << qint64(4294967294LL)
                                     << QDateTime(QDate(2106, 2, 7), QTime(6, 28, 14), Qt::UTC);
        QTest::newRow("epoch") << QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC) << qint64(0)
                               << QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
    }
    void dateValues()
    {
        QFETCH(QDateTime, date);
        QFETCH(qint64, stored);
        QFETCH(QDateTime, readBack);
        QCOMPARE(CMediaDataBaseMethod::dateValue(date), stored);
        const QDateTime back = CMediaDataBaseMethod::dateFromValue(stored);
        QCOMPARE(back.isNull(), readBack.isNull());
        if (!readBack.isNull()) {
            QCOMPARE(back, readBack);
            // The clock time of the zone in force, holding the moment.
            QCOMPARE(back.offsetFromUtc(), back.toLocalTime().offsetFromUtc());
            QCOMPARE(back.toSecsSinceEpoch(), stored);
        }
    }

    // A date read in one zone keeps its moment after the zone changes: written back, it stores the
    // same seconds (a local-time date would keep its clock time and move by the zones' difference).
    void datesHoldTheirMomentAcrossZones()
    {
        setTimeZone("America/New_York");
        const auto restore = qScopeGuard([] { setTimeZone("UTC"); });
        const qint64 stored = 1259193600; // 2009-11-26 00:00 UTC, 19:00 the day before in New York
        const QDateTime read = CMediaDataBaseMethod::dateFromValue(stored);
        QCOMPARE(read.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QStringLiteral("2009-11-25 19:00"));
        setTimeZone("Asia/Tokyo");
        QCOMPARE(CMediaDataBaseMethod::dateValue(read), stored);
        QCOMPARE(read.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 QStringLiteral("2009-11-26 09:00"));
        QCOMPARE(CMediaDataBaseMethod::dateFromValue(stored).toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 QStringLiteral("2009-11-26 09:00"));
    }

    // The zone's identity is TZ, or without it the zone file's device, inode and modification time;
    // each change is reported once.
    void zoneChangeDetector_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("reported");
        QTest::newRow("nothing") << "none" << false;
        QTest::newRow("another file put in its place") << "replace" << true;
        QTest::newRow("rewritten in place") << "rewrite" << true;
        QTest::newRow("removed") << "remove" << true;
        QTest::newRow("TZ set") << "tz" << true;
        QTest::newRow("file changed while TZ is set") << "tz+replace" << false;
    }
    void zoneChangeDetector()
    {
        QFETCH(QString, change);
        QFETCH(bool, reported);
        QTemporaryDir dir;
        const QString zone = dir.filePath(QStringLiteral("localtime"));
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/America/New_York"), zone));
        const QByteArray previousTz = qgetenv("TZ");
        const bool setInitially = change.startsWith(QLatin1String("tz+"));
        if (setInitially)
            qputenv("TZ", "Asia/Tokyo");
        else
            qunsetenv("TZ");
        MeskZone::setZoneFilePath(zone);
        const auto restore = qScopeGuard([&previousTz] {
            MeskZone::setZoneFilePath({});
            qputenv("TZ", previousTz);
            tzset();
        });
        QVERIFY(!MeskZone::checkChange()); // takes note of the zone
        QVERIFY(!MeskZone::checkChange());
        const quint64 before = MeskZone::generation();
        if (change.endsWith(QLatin1String("replace"))) {
            const QString other = dir.filePath(QStringLiteral("other"));
            QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"), other));
            QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(zone).constData()) == 0);
        } else if (change == QLatin1String("rewrite")) {
            QFile file(zone);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(3600),
                                     QFileDevice::FileModificationTime));
        } else if (change == QLatin1String("remove")) {
            QVERIFY(QFile::remove(zone));
        } else if (change == QLatin1String("tz")) {
            qputenv("TZ", "Asia/Tokyo");
        }
        QCOMPARE(MeskZone::checkChange(), reported);
        QCOMPARE(MeskZone::generation(), before + (reported ? 1 : 0));
        QVERIFY(!MeskZone::checkChange());
        QCOMPARE(MeskZone::generation(), before + (reported ? 1 : 0));
    }

    // The file holds the stored form and second-based dates, whatever the storage answers.
    void fileHoldsStoredFormsAndSeconds()
    {
        QTemporaryDir dir;
        TestClock clock(QDateTime(QDate(2010, 1, 1), QTime(12, 0), Qt::UTC));
        CMediaDataBase storage(dir.filePath(QStringLiteral("store")));
        QVERIFY(storage.open());
        SSmsMessage dated;
        dated.message = QStringLiteral("O'Hara_#1 ^50%");
        dated.phone = QStringLiteral("+81_3'");
        dated.created = QDateTime(QDate(2009, 11, 26), QTime(0, 0), Qt::UTC);
        SSmsMessage undated;
        undated.message = QStringLiteral("no date");
        QVERIFY(storage.addSmsMessage(dated));
        QVERIFY(storage.addSmsMessage(undated));

        const QList<QVariantList> stored = rows(
            storage.databasePath(), QStringLiteral("SELECT MESSAGE, PHONE, CREATED FROM MEDIASMSMESSAGES "
                                                   "ORDER BY ROWID"));
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored[0][0].toString(), QStringLiteral("O'Hara[_][#]1 [^]50[%]"));
        QCOMPARE(stored[0][1].toString(), QStringLiteral("+81[_]3'"));
        QCOMPARE(stored[0][2].toLongLong(), 1259193600LL);
        QCOMPARE(stored[1][2].toLongLong(), 4294967295LL);

        const QList<SSmsMessage> messages = storage.smsMessages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].message, dated.message);
        QCOMPARE(messages[0].phone, dated.phone);
        QCOMPARE(messages[0].created, dated.created);
        QVERIFY(messages[1].created.isNull());
    }
};

QTEST_GUILESS_MAIN(TestMediaDataBaseMethod)
#include "tst_mediadatabasemethod.moc"
