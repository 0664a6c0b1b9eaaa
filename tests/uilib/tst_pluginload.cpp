// The engines the program loads on first use, through its plugins: this program exports its
// symbols as the real one does and links neither engine. Without a plugin the web page reports a
// failed load; with it the page shows what a local server serves, and the video player plugin
// makes the player.
#include "imeskvideoplayer.h"
#include "localhttpserver.h"
#include "meskplugins.h"
#include "meskwebwidget.h"
#include "tempstorage.h"

#include <QApplication>
#include <QFile>
#include <QOpenGLContext>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// How long the first page of the process may take to load.
constexpr int kFirstLoadMs = 180000;

class TestPluginLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MeskPlugins::registerFactories();
        QVERIFY(!QOpenGLContext::globalShareContext());
    }

    void missingPluginFailsTheLoad_data()
    {
        QTest::addColumn<bool>("pluginThere");
        QTest::addColumn<QString>("warning");
        QTest::newRow("no plugin") << false << "velto-lumesk-webengine cannot be used";
        // Where the engine would end the process at its start, the plugin is not even loaded.
        QTest::newRow("no engine helper")
            << true << "velto-lumesk-webengine is not loaded: .*QTWEBENGINEPROCESS_PATH";
    }

    void missingPluginFailsTheLoad()
    {
        QFETCH(bool, pluginThere);
        QFETCH(QString, warning);
        QTemporaryDir empty;
        MeskPlugins::setFolders({pluginThere ? QStringLiteral(LUMESK_PLUGIN_DIR) : empty.path()});
        if (pluginThere)
            qputenv("QTWEBENGINEPROCESS_PATH", QFile::encodeName(empty.filePath("QtWebEngineProcess")));
        const auto restore = qScopeGuard([] { qunsetenv("QTWEBENGINEPROCESS_PATH"); });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        CMeskWebWidget web;
        QVERIFY(!web.backend());
        QSignalSpy failed(&web, &CMeskWebWidget::pageLoadFailed);
        web.navigate(QStringLiteral("http://127.0.0.1:9/"));
        QVERIFY(failed.wait(30000));
        QCOMPARE(failed.takeFirst().value(0).toString(), QStringLiteral("http://127.0.0.1:9/"));
    }

    void browserPluginShowsPage()
    {
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.mount("/p", [](const TestHttpRequest&) {
            return TestHttpReply::ok("<html><body><p>Plugin page</p></body></html>",
                                     "text/html; charset=utf-8");
        });
        MeskPlugins::setFolders({QStringLiteral(LUMESK_PLUGIN_DIR)});
        CMeskWebWidget web;
        // The backend crossed from the plugin keeps its type: one meta-object, the program's.
        QVERIFY(qobject_cast<IMeskBrowserBackend*>(web.backend()));
        QVERIFY(QOpenGLContext::globalShareContext());
        web.resize(640, 400);
        web.show();
        // The first page starts the engine's processes, reading them from disk: on a busy machine
        // with cold caches that can take longer than the widget's 30 s load time-out.
        web.setLoadTimeout(kFirstLoadMs);
        QSignalSpy loaded(&web, &CMeskWebWidget::pageLoaded);
        const QString url = server.url(QStringLiteral("/p"));
        web.navigate(url);
        QVERIFY(loaded.wait(kFirstLoadMs));
        QCOMPARE(loaded.takeFirst().value(0).toString(), url);
        // A second page widget uses the plugin already loaded.
        CMeskWebWidget second;
        QVERIFY(second.backend());
    }

    void videoPluginMakesPlayer()
    {
        MeskPlugins::setFolders({QStringLiteral(LUMESK_PLUGIN_DIR)});
        QWidget host;
        QVERIFY(!IMeskVideoPlayer::create(IMeskVideoPlayer::Flash, &host));
        IMeskVideoPlayer* player = IMeskVideoPlayer::create(IMeskVideoPlayer::Media, &host);
        QVERIFY(qobject_cast<IMeskVideoPlayer*>(player));
        QCOMPARE(player->widget()->parentWidget(), &host);
    }
};

int main(int argc, char* argv[])
{
    // What the engines keep (the sound server's runtime folder, caches) goes into a private home that
    // outlives the application.
    TempStorageRoot root;
    // As in the program: no Qt::AA_ShareOpenGLContexts, the plugin's loader makes the context.
    QApplication app(argc, argv);
    TestPluginLoad test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pluginload.moc"
