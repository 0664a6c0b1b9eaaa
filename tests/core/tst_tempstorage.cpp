// The private home of tests/support: a fixture made anew before the old one goes ends its roots out
// of order, and still nothing reaches the real home.
#include "tempstorage.h"

#include <QSettings>
#include <QTest>

#include <memory>

class TestTempStorage : public QObject
{
    Q_OBJECT

private slots:
    void overlappingRoots_data();
    void overlappingRoots();
};

void TestTempStorage::overlappingRoots_data()
{
    QTest::addColumn<bool>("oldestFirst");
    QTest::newRow("newest ends first") << false;
    QTest::newRow("oldest ends first") << true;
}

// While they overlap, the newest live root's folders and settings are in force; once both are gone
// the variables are as they were, set or unset.
void TestTempStorage::overlappingRoots()
{
    QFETCH(bool, oldestFirst);
    qputenv("XDG_DATA_HOME", "/nonexistent/data");
    qunsetenv("XDG_CACHE_HOME");
    const auto inForce = [](const TempStorageRoot& root) {
        const QString settings = QSettings(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Velto"), QStringLiteral("T"))
                                     .fileName();
        return qEnvironmentVariable("XDG_DATA_HOME") == root.dataHome() &&
               qEnvironmentVariable("XDG_CACHE_HOME") == root.subPath(QStringLiteral("cache")) &&
               settings.startsWith(root.configHome() + QLatin1Char('/'));
    };
    auto older = std::make_unique<TempStorageRoot>();
    auto newer = std::make_unique<TempStorageRoot>();
    QVERIFY(older->isValid() && newer->isValid());
    QVERIFY(inForce(*newer));
    if (oldestFirst) {
        older.reset();
        QVERIFY(inForce(*newer));
    } else {
        newer.reset();
        QVERIFY(inForce(*older));
    }
    older.reset();
    newer.reset();
    QCOMPARE(qgetenv("XDG_DATA_HOME"), QByteArray("/nonexistent/data"));
    QVERIFY(!qEnvironmentVariableIsSet("XDG_CACHE_HOME"));
}

QTEST_GUILESS_MAIN(TestTempStorage)
#include "tst_tempstorage.moc"
