// When the web engine would end the whole process at its start, the browser plugin is not loaded:
// the decision over the process's ids, environment and arguments and the helper program's place.
#include "meskplugins.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Ids = QList<uint>; // real, effective and saved user id, then the same group ids

class TestWebEngineStart : public QObject
{
    Q_OBJECT

private slots:
    void refusal_data()
    {
        QTest::addColumn<Ids>("ids");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("arguments");
        // Where the helper is: a folder of the search ("libexec", "bin", "app"), "own" (the file
        // QTWEBENGINEPROCESS_PATH names) or "" (nowhere).
        QTest::addColumn<QString>("helper");
        QTest::addColumn<QString>("refusal"); // a pattern; empty when the engine can start

        const Ids user{1000, 1000, 1000, 1000, 1000, 1000};
        const Ids root{0, 0, 0, 0, 0, 0};
        const QString asRoot = QStringLiteral("runs as root.*QTWEBENGINE_DISABLE_SANDBOX=1");
        const QString differ = QStringLiteral("user ids \\(1000, 1000, 1001\\) or group ids .* differ");
        const QString own = QStringLiteral("QTWEBENGINEPROCESS_PATH=%1/own/QtWebEngineProcess");
        const QString ownMissing = QStringLiteral("QTWEBENGINEPROCESS_PATH=%1/nowhere/QtWebEngineProcess");
        auto row = [](const char* name, const Ids& ids, const QStringList& environment,
                      const QStringList& arguments, const char* helper, const QString& refusal) {
            QTest::newRow(name) << ids << environment << arguments << QString::fromLatin1(helper) << refusal;
        };
        row("user, helper in libexec", user, {}, {}, "libexec", {});
        row("user, helper in the program's folder", user, {}, {}, "app", {});
        row("helper nowhere", user, {}, {}, "", "in none of .*/libexec/QtWebEngineProcess, .*/app/");
        row("helper named by the variable", user, {own}, {}, "own", {});
        row("variable names a missing file", user, {ownMissing}, {}, "libexec", "nowhere/.* does not exist");
        row("root, helper nowhere: the helper first", root, {}, {}, "", "helper program cannot be found");
        row("root, --no-sandbox without --webEngineArgs", root, {}, {"--no-sandbox"}, "libexec", asRoot);
        row("root, sandbox disabled", root, {"QTWEBENGINE_DISABLE_SANDBOX=1"}, {}, "libexec", {});
        row("root, flag", root, {"QTWEBENGINE_CHROMIUM_FLAGS=--a --no-sandbox"}, {}, "libexec", {});
        row("root, quoted one-dash flag with a value", root,
            {"QTWEBENGINE_CHROMIUM_FLAGS=--a \"-no-sandbox=1\""}, {}, "libexec", {});
        row("root, quoted flag with a space", root, {"QTWEBENGINE_CHROMIUM_FLAGS=\"--no-sandbox --a\""}, {},
            "libexec", asRoot);
        row("root, flag after --", root, {"QTWEBENGINE_CHROMIUM_FLAGS=-- --no-sandbox"}, {}, "libexec",
            asRoot);
        row("root, argument after --webEngineArgs", root, {}, {"-reverse", "--webEngineArgs", "--no-sandbox"},
            "libexec", {});
        row("root, argument before --webEngineArgs", root, {}, {"--no-sandbox", "--webEngineArgs"}, "libexec",
            asRoot);
        row("root, empty flags replace the arguments", root, {"QTWEBENGINE_CHROMIUM_FLAGS="},
            {"--webEngineArgs", "--no-sandbox"}, "libexec", asRoot);
        row("saved user id differs", {1000, 1000, 1001, 1000, 1000, 1000}, {}, {}, "libexec", differ);
        row("user, --no-zygote", user, {}, {"--webEngineArgs", "--no-zygote"}, "libexec",
            "--no-zygote without");
    }

    void refusal()
    {
        QFETCH(Ids, ids);
        QFETCH(QStringList, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QString, helper);
        QFETCH(QString, refusal);
        QTemporaryDir folders;
        QVERIFY(folders.isValid());
        const QDir root(folders.path());
        for (const char* folder : {"libexec", "bin", "app", "own"})
            QVERIFY(root.mkdir(QString::fromLatin1(folder)));
        if (!helper.isEmpty()) {
            QFile file(root.filePath(helper + QStringLiteral("/QtWebEngineProcess")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        MeskPlugins::SWebEngineStart start;
        start.realUid = ids[0];
        start.effectiveUid = ids[1];
        start.savedUid = ids[2];
        start.realGid = ids[3];
        start.effectiveGid = ids[4];
        start.savedGid = ids[5];
        for (const QString& variable : environment) {
            const qsizetype equals = variable.indexOf(QLatin1Char('='));
            start.environment.insert(variable.first(equals),
                                     variable.sliced(equals + 1).replace(QStringLiteral("%1"), root.path()));
        }
        start.arguments = QStringList{QStringLiteral("velto-lumesk")} + arguments;
        start.helperFolders = {root.filePath("libexec"), root.filePath("bin"), root.filePath("app")};
        const QString text = MeskPlugins::webEngineRefusal(start);
        if (refusal.isEmpty())
            QVERIFY2(text.isEmpty(), qPrintable(text));
        else
            QVERIFY2(QRegularExpression(refusal).match(text).hasMatch(), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestWebEngineStart)
#include "tst_webenginestart.moc"
