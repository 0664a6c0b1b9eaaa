#include "mainwindow/meskdebuglog.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

namespace {

const QString kStampFormat = QStringLiteral("dd/MM/yy hh:mm:ss");

QByteArray readLog(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines with their CR LF, the last one included.
QList<QByteArray> logLines(const QByteArray& log)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < log.size()) {
        const qsizetype end = log.indexOf('\n', start);
        if (end < 0) {
            lines.append(log.mid(start));
            break;
        }
        lines.append(log.mid(start, end + 1 - start));
        start = end + 1;
    }
    return lines;
}

// A time stamp read back at its own resolution, so it compares with one the log wrote.
QDateTime stamped(const QDateTime& time)
{
    return QDateTime::fromString(time.toString(kStampFormat), kStampFormat);
}

QStringList g_captured;

void captureHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_captured.append(message);
}

} // namespace

class TestDebugLog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        // Qt Test's own handler, put back after every test.
        m_testHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(m_testHandler);
        g_captured.clear();
    }
    void cleanup() { qInstallMessageHandler(m_testHandler); }

    void messageLines_data();
    void messageLines();
    void unwritableFileKeepsHandler();
    void threadsWriteWholeLines();

private:
    QtMessageHandler m_testHandler = nullptr;
    QTemporaryDir m_dir;
};

void TestDebugLog::messageLines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("debug") << int(QtDebugMsg) << QStringLiteral("CMeskEngine: update")
                           << QByteArray("CMeskEngine: update");
    QTest::newRow("warning") << int(QtWarningMsg) << QStringLiteral("a warning") << QByteArray("a warning");
    QTest::newRow("critical, non-ASCII")
        << int(QtCriticalMsg) << QStringLiteral("gr\u00fc\u00df") << QByteArray("gr\xc3\xbc\xc3\x9f");
}

void TestDebugLog::messageLines()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    const QString fileName = m_dir.filePath(QStringLiteral("debug.log"));
    {
        QFile old(fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old\n");
    }

    QVERIFY(installDebugLog(fileName));
    const QDateTime before = QDateTime::currentDateTime();
    switch (type) {
    case QtDebugMsg:
        qDebug().noquote() << message;
        break;
    case QtWarningMsg:
        qWarning().noquote() << message;
        break;
    default:
        qCritical().noquote() << message;
        break;
    }
    const QDateTime after = QDateTime::currentDateTime();
    qInstallMessageHandler(m_testHandler);

    const QList<QByteArray> lines = logLines(readLog(fileName));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains("*** Log started: ") && lines.at(0).endsWith("***\r\n"),
             lines.at(0).constData());
    const QRegularExpression shape(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d .*\\r\\n$"));
    QVERIFY2(shape.match(QString::fromUtf8(lines.at(1))).hasMatch(), lines.at(1).constData());
    QCOMPARE(lines.at(1).mid(18), bytes + "\r\n");
    const QDateTime stamp = QDateTime::fromString(QString::fromLatin1(lines.at(1).left(17)), kStampFormat);
    QVERIFY(stamp.isValid());
    QVERIFY(stamped(before) <= stamp);
    QVERIFY(stamp <= stamped(after));
}

void TestDebugLog::unwritableFileKeepsHandler()
{
    qInstallMessageHandler(captureHandler);
    QVERIFY(!installDebugLog(m_dir.filePath(QStringLiteral("missing/folder/debug.log"))));
    qDebug("still here");
    qInstallMessageHandler(m_testHandler);
    QCOMPARE(g_captured, QStringList{QStringLiteral("still here")});
}

void TestDebugLog::threadsWriteWholeLines()
{
    const QString fileName = m_dir.filePath(QStringLiteral("threads.log"));
    QVERIFY(installDebugLog(fileName));
    const int threadCount = 4;
    const int messageCount = 1000;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t] {
            for (int m = 0; m < messageCount; ++m)
                qDebug("thread %d message %d", t, m);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    qInstallMessageHandler(m_testHandler);

    const QList<QByteArray> lines = logLines(readLog(fileName));
    QCOMPARE(lines.size(), threadCount * messageCount + 1);
    const QRegularExpression shape(
        QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d ([^\\r\\n]*)\\r\\n$"));
    QSet<QString> seen;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = shape.match(QString::fromUtf8(lines.at(i)));
        QVERIFY2(match.hasMatch(), lines.at(i).constData());
        seen.insert(match.captured(1));
    }
    QCOMPARE(seen.size(), threadCount * messageCount);
    for (int t = 0; t < threadCount; ++t) {
        for (int m = 0; m < messageCount; ++m)
            QVERIFY(seen.contains(QStringLiteral("thread %1 message %2").arg(t).arg(m)));
    }
}

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
