#include "fakeautostart.h"
#include "filesizelimit.h"
#include "meskxdgautostart.h"
#include "settings/mesksettings.h"
#include "tempstorage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

#include <optional>

namespace {

const char* const kChildVariable = "LUMESK_TST_SETTINGS_CHILD";

// Answers the product style's main-window height.
class HeightStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PixelMetric(PM_CustomBase + 0x68))
            return 500;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QString settingsFile(const TempStorageRoot& root)
{
    return root.configHome() + QLatin1String("/Velto/Velto Lumesk.conf");
}

// The file's keys and their values as text, as any other reader of the file sees them.
QMap<QString, QString> fileValues(const TempStorageRoot& root)
{
    QMap<QString, QString> values;
    QFile file(settingsFile(root));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !line.startsWith(QLatin1Char('[')))
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

QStringList keysOf(const QSignalSpy& spy)
{
    QStringList keys;
    for (const QList<QVariant>& arguments : spy)
        keys.append(arguments.at(0).toString());
    return keys;
}

QString enableCall()
{
    return QStringLiteral("enable ") + QCoreApplication::applicationFilePath();
}

// The first run of the program in the restart test: stores values and ends.
int storeAsFirstRun()
{
    const FakeAutostartScope autostart;
    CMeskSettings settings;
    settings.setValue(0, true);
    settings.setValue(2, 3);
    settings.setValue(5, QPoint(120, 140));
    settings.setValue(13, QStringLiteral("12;34"));
    settings.setValue(16, false);
    settings.save();
    return autostart.calls == QStringList{enableCall()} ? 0 : 3;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new HeightStyle); }
    void init()
    {
        m_root = std::make_unique<TempStorageRoot>();
        m_autostart = std::make_unique<FakeAutostartScope>();
    }
    void cleanup()
    {
        m_autostart.reset();
        m_root.reset();
    }

    void defaults_data();
    void defaults();
    void pendingKeys();
    void autostartThroughStore_data();
    void autostartThroughStore();
    void restart();
    void storeValueWritesOnlyChanges();
    void noClobbering_data();
    void noClobbering();
    void realAutostartEntry();

private:
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<FakeAutostartScope> m_autostart;
};

void TestSettings::defaults_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QTest::newRow("0") << 0 << "LaunchAtStratup" << QVariant(false);
    QTest::newRow("2") << 2 << "HistoryPeriod" << QVariant(2);
    QTest::newRow("5 from the screen")
        << 5 << "MainWindowPos" << QVariant(QPoint(screen->geometry().width() - 400, 100));
    QTest::newRow("6 from the style") << 6 << "MainWindowHeight" << QVariant(500);
    QTest::newRow("7") << 7 << "MainColumnMode" << QVariant(0);
    QTest::newRow("13 empty text") << 13 << "ShowNewFeedsUsers" << QVariant(QString(QLatin1String("")));
    QTest::newRow("14") << 14 << "IgnoreCellularNetworkWarning" << QVariant(false);
    QTest::newRow("15 none") << 15 << "IgnoreLowSignalWarning" << QVariant();
    QTest::newRow("16") << 16 << "FirstRunFlag" << QVariant(true);
    QTest::newRow("-1") << -1 << "" << QVariant();
    QTest::newRow("17") << 17 << "" << QVariant();
}

void TestSettings::defaults()
{
    QFETCH(int, key);
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    // The offscreen screen is 800 pixels wide.
    if (key == 5 && QGuiApplication::platformName() == QLatin1String("offscreen"))
        QCOMPARE(expected.toPoint(), QPoint(400, 100));
    QCOMPARE(CMeskSettings::keyName(key), name);
    const CMeskSettings settings;
    QCOMPARE(settings.value(key).isValid(), expected.isValid());
    QCOMPARE(settings.value(key), expected);
    QCOMPARE(CMeskSettings::defaultValue(key), expected);
}

void TestSettings::pendingKeys()
{
    CMeskSettings settings;
    QSignalSpy changed(&settings, &CMeskSettings::valueChanged);

    settings.setValue(2, 3);
    QCOMPARE(settings.value(2).toInt(), 3);
    QVERIFY(!QFile::exists(settingsFile(*m_root)));
    settings.discard();
    QCOMPARE(settings.value(2).toInt(), 2);

    settings.setValue(1, true);
    settings.setValue(10, false);
    settings.setValue(13, QStringLiteral("7"));
    settings.save();
    QCOMPARE(keysOf(changed), (QStringList{"1", "10", "13"}));
    QMap<QString, QString> expected{
        {"PlaySounds", "true"}, {"ShowNewMessages", "false"}, {"ShowNewFeedsUsers", "7"}};
    QCOMPARE(fileValues(*m_root), expected);
    // Still pending: the next save announces them again.
    changed.clear();
    settings.save();
    QCOMPARE(keysOf(changed), (QStringList{"1", "10", "13"}));
    changed.clear();
    settings.discard();
    settings.save();
    QCOMPARE(changed.count(), 0);
    QCOMPARE(settings.value(10).toBool(), false);

    settings.setValue(11, false);
    settings.setValue(15, true);
    settings.saveQuietly();
    QCOMPARE(changed.count(), 0);
    expected.insert("ShowNewFeeds", "false");
    expected.insert("IgnoreLowSignalWarning", "true");
    QCOMPARE(fileValues(*m_root), expected);
    // A saved invalid value leaves the key absent, as it reads back.
    settings.discard();
    settings.setValue(15, QVariant());
    settings.saveQuietly();
    expected.remove("IgnoreLowSignalWarning");
    QCOMPARE(fileValues(*m_root), expected);
    settings.discard();

    // One key at once, with the autostart entry's value stored.
    settings.setValue(0, true);
    settings.save();
    settings.discard();
    m_autostart->calls.clear();
    changed.clear();
    settings.setValue(7, 1);
    settings.commitValue(7);
    expected.insert("LaunchAtStratup", "true");
    expected.insert("MainColumnMode", "1");
    QCOMPARE(fileValues(*m_root), expected);
    settings.discard();
    QCOMPARE(settings.value(7).toInt(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(m_autostart->calls, QStringList());
    settings.save(); // 7 is no longer pending
    QCOMPARE(changed.count(), 0);

    settings.commitValue(8);
    QCOMPARE(fileValues(*m_root), expected);
    QCOMPARE(settings.value(8).toBool(), false);
}

void TestSettings::autostartThroughStore_data()
{
    QTest::addColumn<QVariant>("launch");      // set for key 0 (invalid: never set)
    QTest::addColumn<bool>("commitLaunch");    // commit key 0 first, then forget the calls so far
    QTest::addColumn<bool>("saveOtherKey");    // then save a pending key 2
    QTest::addColumn<QStringList>("expected"); // calls the save (or the commit) made
    QTest::newRow("true") << QVariant(true) << false << true << QStringList{enableCall()};
    QTest::newRow("false") << QVariant(false) << false << true << QStringList{"disable"};
    QTest::newRow("other text") << QVariant(QStringLiteral("maybe")) << false << true
                                << QStringList{"disable"};
    QTest::newRow("never set") << QVariant() << false << true << QStringList();
    QTest::newRow("stored true, save of key 2")
        << QVariant(true) << true << true << QStringList{enableCall()};
    QTest::newRow("stored false, save of key 2") << QVariant(false) << true << true << QStringList{"disable"};
    QTest::newRow("commit of key 0") << QVariant(true) << true << false << QStringList();
}

void TestSettings::autostartThroughStore()
{
    QFETCH(QVariant, launch);
    QFETCH(bool, commitLaunch);
    QFETCH(bool, saveOtherKey);
    QFETCH(QStringList, expected);
    CMeskSettings settings;
    if (launch.isValid())
        settings.setValue(0, launch);
    if (commitLaunch) {
        settings.commitValue(0);
        QCOMPARE(m_autostart->calls, QStringList());
    }
    if (saveOtherKey) {
        settings.setValue(2, 1);
        settings.save();
    }
    QCOMPARE(m_autostart->calls, expected);
}

void TestSettings::storeValueWritesOnlyChanges()
{
    // Every write replaces the file: its inode tells whether one happened.
    const auto inode = [this] {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(settingsFile(*m_root)).constData(), &info) == 0 ? info.st_ino : 0;
    };
    CMeskSettings first;
    first.storeValue(7, 0); // absent from the file: written, although it is the default
    QCOMPARE(fileValues(*m_root), (QMap<QString, QString>{{"MainColumnMode", "0"}}));
    const ino_t written = inode();
    first.storeValue(7, 0);
    CMeskSettings second;
    second.storeValue(7, 0);
    QCOMPARE(inode(), written);
    second.setValue(7, 1);
    second.storeValue(7, 0); // a pending value is replaced and written
    QCOMPARE(second.value(7).toInt(), 0);
    QVERIFY(inode() != written);
    second.storeValue(7, 1);
    QCOMPARE(fileValues(*m_root), (QMap<QString, QString>{{"MainColumnMode", "1"}}));
}

void TestSettings::restart()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(QFile::exists(settingsFile(*m_root)));

    CMeskSettings settings;
    // Read back from the file, the values are text.
    QCOMPARE(settings.value(0).typeId(), int(QMetaType::QString));
    QCOMPARE(settings.value(0).toBool(), true);
    QCOMPARE(settings.value(2).toInt(), 3);
    QCOMPARE(settings.value(5).toPoint(), QPoint(120, 140));
    QCOMPARE(settings.value(13).toString(), QStringLiteral("12;34"));
    QCOMPARE(settings.value(16).toBool(), false);
    settings.save();
    QCOMPARE(m_autostart->calls, QStringList{enableCall()});
}

void TestSettings::noClobbering_data()
{
    QTest::addColumn<bool>("quietly");
    QTest::addColumn<QString>("full"); // empty: a's save is written; "grow": the file may not grow; "all":
                                       // not a byte can be written
    QTest::newRow("save") << false << "";
    QTest::newRow("saveQuietly") << true << "";
    QTest::newRow("save, the file may not grow") << false << "grow";
    QTest::newRow("saveQuietly, not a byte") << true << "all";
}

void TestSettings::noClobbering()
{
    QFETCH(bool, quietly);
    QFETCH(QString, full);
    // A file as the program leaves it after some use; longer than what a lock file beside it holds.
    QMap<QString, QString> expected{{"DeepDiveIgnoreCellWarning", "true"},
                                    {"FirstRunFlag", "false"},
                                    {"IgnoreCellularNetworkWarning", "false"},
                                    {"IgnoreLowSignalWarning", "true"},
                                    {"LaunchAtStratup", "false"},
                                    {"MainWindowHeight", "640"},
                                    {"MainWindowPos", "@Point(120 140)"},
                                    {"PlaySounds", "true"},
                                    {"ShowAllNewFeeds", "false"},
                                    {"ShowNewFeeds", "true"},
                                    {"ShowNewFeedsUsers", "1000000001"},
                                    {"ShowNewMessages", "false"}};
    {
        QFile file(settingsFile(*m_root));
        QVERIFY(QDir().mkpath(m_root->configHome() + QLatin1String("/Velto")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\n");
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            file.write((it.key() + QLatin1Char('=') + it.value() + QLatin1Char('\n')).toUtf8());
    }
    CMeskSettings a;
    CMeskSettings b;
    b.setValue(14, true);
    b.commitValue(14);
    expected.insert("IgnoreCellularNetworkWarning", "true");
    a.setValue(2, 1);
    {
        std::optional<FileSizeLimit> limit;
        if (!full.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("^CMeskSettings: .*Velto Lumesk\\.conf")));
            limit.emplace(full == QLatin1String("grow") ? QFileInfo(settingsFile(*m_root)).size() : 0);
            QVERIFY(limit->isSet());
        }
        QCOMPARE(quietly ? a.saveQuietly() : a.save(), full.isEmpty());
    }
    if (full.isEmpty())
        expected.insert("HistoryPeriod", "1");
    QCOMPARE(fileValues(*m_root), expected);
    // The write leaves nothing else in the folder.
    QCOMPARE(QDir(m_root->configHome() + QLatin1String("/Velto"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Velto Lumesk.conf")});
    if (full.isEmpty())
        return;
    // The change that was not written goes with the next write.
    a.discard();
    a.setValue(7, 1);
    a.commitValue(7);
    expected.insert("HistoryPeriod", "1");
    expected.insert("MainColumnMode", "1");
    QCOMPARE(fileValues(*m_root), expected);
}

void TestSettings::realAutostartEntry()
{
    m_autostart.reset();
    CMeskSettings settings;
    settings.setValue(0, true);
    settings.save();
    QVERIFY(QFile::exists(CMeskXdgAutostart::entryPath()));
    QVERIFY(CMeskXdgAutostart::entryPath().startsWith(m_root->configHome() + QLatin1String("/autostart/")));
    settings.setValue(0, false);
    settings.save();
    QVERIFY(!QFile::exists(CMeskXdgAutostart::entryPath()));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kChildVariable))
        return storeAsFirstRun();
    TestSettings test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
