#include "filesizelimit.h"
#include "meskxdgautostart.h"
#include "tempstorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

QString entryText()
{
    QFile file(CMeskXdgAutostart::entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString execLine()
{
    const QStringList lines = entryText().split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line;
    }
    return QString();
}

// Reads an Exec value back as a desktop-entry reader does: string escapes first, then the
// quoted argument, then the doubled percent signs. Exactly one quoted argument is accepted;
// anything else gives a null string.
QString unescapeExec(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value.at(i);
        if (c == QLatin1Char('\\')) {
            if (++i == value.size())
                return QString();
            switch (value.at(i).unicode()) {
            case 's':
                c = QLatin1Char(' ');
                break;
            case 'n':
                c = QLatin1Char('\n');
                break;
            case 't':
                c = QLatin1Char('\t');
                break;
            case 'r':
                c = QLatin1Char('\r');
                break;
            case '\\':
                c = QLatin1Char('\\');
                break;
            default:
                return QString();
            }
        }
        text += c;
    }
    if (text.size() < 2 || !text.startsWith(QLatin1Char('"')) || !text.endsWith(QLatin1Char('"')))
        return QString();
    QString argument;
    for (qsizetype i = 1; i < text.size() - 1; ++i) {
        QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            return QString(); // an unescaped quote ends the argument early
        if (c == QLatin1Char('\\')) {
            const QChar next = text.at(++i);
            if (i == text.size() - 1 || !QStringLiteral("\"`$\\").contains(next))
                return QString();
            c = next;
        }
        if (c == QLatin1Char('%')) {
            if (i + 1 >= text.size() - 1 || text.at(i + 1) != QLatin1Char('%'))
                return QString(); // a field code
            ++i;
        }
        argument += c;
    }
    return argument;
}

} // namespace

class TestXdgAutostart : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_root = std::make_unique<TempStorageRoot>(); }
    void cleanup() { m_root.reset(); }

    void enableWritesEntry()
    {
        const QString folder = m_root->configHome() + QLatin1String("/autostart");
        QVERIFY(!QFileInfo::exists(folder));
        CMeskXdgAutostart autostart;
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.enable(QStringLiteral("/opt/Velto Lumesk/bin/velto-lumesk")));
        QCOMPARE(CMeskXdgAutostart::entryPath(), folder + QLatin1String("/velto-lumesk.desktop"));
        QCOMPARE(entryText(), QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Velto Lumesk\n"
                                             "Exec=\"/opt/Velto Lumesk/bin/velto-lumesk\"\n"
                                             "Terminal=false\n"));
        QVERIFY(autostart.isEnabled());

        // A second enable replaces the entry.
        QVERIFY(autostart.enable(QStringLiteral("/usr/bin/velto-lumesk")));
        QCOMPARE(execLine(), QStringLiteral("Exec=\"/usr/bin/velto-lumesk\""));

        QVERIFY(autostart.disable());
        QVERIFY(!QFileInfo::exists(CMeskXdgAutostart::entryPath()));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.disable());
    }

    void execEscaping_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("dollar") << QStringLiteral("/opt/a$b/x") << QStringLiteral("Exec=\"/opt/a\\\\$b/x\"");
        QTest::newRow("quote") << QStringLiteral("/opt/q\"x/y") << QStringLiteral("Exec=\"/opt/q\\\\\"x/y\"");
        QTest::newRow("percent") << QStringLiteral("/opt/100%/x") << QStringLiteral("Exec=\"/opt/100%%/x\"");
        QTest::newRow("backslash") << QStringLiteral("/opt/a\\b")
                                   << QStringLiteral("Exec=\"/opt/a\\\\\\\\b\"");
        // A line break stays inside the Exec line: the path cannot add lines of its own.
        QTest::newRow("line break") << QStringLiteral("/opt/a\nExec=/bin/false")
                                    << QStringLiteral("Exec=\"/opt/a\\nExec=/bin/false\"");
    }

    void execEscaping()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        CMeskXdgAutostart autostart;
        QVERIFY(autostart.enable(program));
        QCOMPARE(execLine(), exec);
        QCOMPARE(entryText().count(QLatin1Char('\n')), 5);
    }

    void execRoundTrip_data()
    {
        QTest::addColumn<QString>("program");
        // The entry's file may grow only to this size (a full disk); 0: no limit.
        QTest::addColumn<int>("room");
        // An entry written before, with room.
        QTest::addColumn<QString>("earlier");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/velto-lumesk") << 0 << QString();
        QTest::newRow("every special")
            << QStringLiteral("/home/a b/$HOME/\"q\"/`id`/100%/x") << 0 << QString();
        QTest::newRow("backslashes and percent pairs")
            << QStringLiteral("/opt/\\\\$$/%%u/%f\\") << 0 << QString();
        QTest::newRow("control characters") << QStringLiteral("/opt/a\tb\r\nc") << 0 << QString();
        QTest::newRow("non-ASCII") << QStringLiteral("/opt/Fl\u00fcsse/\u65e5\u672c/x") << 0 << QString();
        // A write that fails is a failure, and never leaves a cut entry.
        QTest::newRow("no room, an earlier entry stays")
            << QStringLiteral("/usr/bin/velto-lumesk") << 40 << QStringLiteral("/opt/earlier/velto-lumesk");
        QTest::newRow("no room, no entry") << QStringLiteral("/usr/bin/velto-lumesk") << 40 << QString();
    }

    void execRoundTrip()
    {
        QFETCH(QString, program);
        QFETCH(int, room);
        QFETCH(QString, earlier);
        CMeskXdgAutostart autostart;
        if (room > 0) {
            const QString folder = QFileInfo(CMeskXdgAutostart::entryPath()).path();
            if (!earlier.isEmpty())
                QVERIFY(autostart.enable(earlier));
            const QString before = entryText();
            {
                FileSizeLimit limit{rlim_t(room)};
                QVERIFY(limit.isSet());
                QVERIFY(!autostart.enable(program));
            }
            QCOMPARE(entryText(), before);
            QCOMPARE(autostart.isEnabled(), !earlier.isEmpty());
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                     earlier.isEmpty() ? QStringList() : QStringList{QStringLiteral("velto-lumesk.desktop")});
            return;
        }
        QVERIFY(autostart.enable(program));
        const QString line = execLine();
        QVERIFY(line.startsWith(QLatin1String("Exec=")));
        QCOMPARE(unescapeExec(line.mid(5)), program);
    }

private:
    std::unique_ptr<TempStorageRoot> m_root;
};

QTEST_GUILESS_MAIN(TestXdgAutostart)
#include "tst_xdgautostart.moc"
