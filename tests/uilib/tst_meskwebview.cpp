// The web page widget on the QtWebEngine browser, against pages served on 127.0.0.1.

#include "localhttpserver.h"
#include "meskwebenginebackend.h"
#include "meskwebwidget.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

constexpr int kLoadTimeout = 30000;

TestHttpReply page(const QByteArray& body)
{
    return TestHttpReply::ok("<html><body>" + body + "</body></html>", "text/html; charset=utf-8");
}

} // namespace

class TestMeskWebView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void navigationsAreReported_data();
    void navigationsAreReported();
    void failedLoads_data();
    void failedLoads();
    void alertOpensNoWindow();
    void contextDumpOffByDefault();

private:
    // Navigates and waits for the load to end; false when it did not end in time.
    bool load(const QString& url);

    LocalHttpServer m_server;
    std::unique_ptr<CMeskWebWidget> m_web;
    std::unique_ptr<QSignalSpy> m_requested;
    std::unique_ptr<QSignalSpy> m_loaded;
    std::unique_ptr<QSignalSpy> m_failed;
};

void TestMeskWebView::initTestCase()
{
    QVERIFY(m_server.isListening());
    m_server.mount("/a", [](const TestHttpRequest&) {
        return page("<p>Page A</p><a id=\"link\" href=\"/c\">to C</a>");
    });
    m_server.mount("/r", [](const TestHttpRequest&) {
        TestHttpReply reply = TestHttpReply::withStatus(302, "Found");
        reply.headers.append(qMakePair(QByteArray("Location"), QByteArray("/b")));
        return reply;
    });
    m_server.mount("/b", [](const TestHttpRequest&) {
        return page("<h1 style=\"color:#3b5998\">Velto Lumesk</h1><p>Page B, reached by a redirect.</p>");
    });
    m_server.mount("/c", [](const TestHttpRequest&) { return page("<p>Page C</p>"); });
    m_server.mount("/e", [](const TestHttpRequest&) {
        TestHttpReply reply = TestHttpReply::withStatus(404, "Not Found", "<html><body>Gone</body></html>");
        reply.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
        return reply;
    });
    m_server.setFallback([](const TestHttpRequest&) { return TestHttpReply::withStatus(404, "Not Found"); });

    // Whether the engine runs here at all.
    init();
    if (!load(m_server.url(QStringLiteral("/c"))))
        QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
    cleanup();
}

void TestMeskWebView::init()
{
    m_web = std::make_unique<CMeskWebWidget>();
    QVERIFY(m_web->backend());
    m_web->resize(640, 400);
    m_web->show();
    m_requested = std::make_unique<QSignalSpy>(m_web.get(), &CMeskWebWidget::urlChangeRequested);
    m_loaded = std::make_unique<QSignalSpy>(m_web.get(), &CMeskWebWidget::pageLoaded);
    m_failed = std::make_unique<QSignalSpy>(m_web.get(), &CMeskWebWidget::pageLoadFailed);
}

void TestMeskWebView::cleanup()
{
    m_requested.reset();
    m_loaded.reset();
    m_failed.reset();
    m_web.reset();
}

bool TestMeskWebView::load(const QString& url)
{
    const int before = m_loaded->count() + m_failed->count();
    m_web->navigate(url);
    return QTest::qWaitFor([&] { return m_loaded->count() + m_failed->count() > before; }, kLoadTimeout);
}

void TestMeskWebView::navigationsAreReported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("clickLink");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("own navigation") << "/a" << false << QString() << "/a";
    QTest::newRow("redirect") << "/r" << false << "/b"
                              << "/b";
    QTest::newRow("link click") << "/a" << true << "/c"
                                << "/c";
}

void TestMeskWebView::navigationsAreReported()
{
    QFETCH(QString, path);
    QFETCH(bool, clickLink);
    QFETCH(QString, requested);
    QFETCH(QString, loaded);
    QVERIFY(load(m_server.url(path)));
    if (clickLink) {
        m_loaded->clear();
        auto* view = qobject_cast<QWebEngineView*>(m_web->backend()->widget());
        QVERIFY(view);
        view->page()->runJavaScript(QStringLiteral("document.getElementById('link').click();"));
        QTRY_VERIFY_WITH_TIMEOUT(m_loaded->count() > 0, kLoadTimeout);
    }
    QCOMPARE(m_failed->count(), 0);
    QStringList requests;
    for (const QList<QVariant>& args : std::as_const(*m_requested))
        requests.append(args.at(0).toString());
    QCOMPARE(requests, requested.isEmpty() ? QStringList() : QStringList{m_server.url(requested)});
    QCOMPARE(m_loaded->last().at(0).toString(), m_server.url(loaded));

    if (path == QLatin1String("/r")) {
        // The page as a user sees it, for review.
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QTest::qWait(300);
        const QImage shot = m_web->grab().toImage();
        QVERIFY(shot.save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/webview-redirected-b.png")));
    }
}

void TestMeskWebView::failedLoads_data()
{
    QTest::addColumn<bool>("closedPort");
    QTest::newRow("404 with a body") << false;
    QTest::newRow("refused connection") << true;
}

void TestMeskWebView::failedLoads()
{
    QFETCH(bool, closedPort);
    QString url = m_server.url(QStringLiteral("/e"));
    if (closedPort) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        url = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
        probe.close();
    }
    QVERIFY(load(url));
    QCOMPARE(m_loaded->count(), 0);
    QCOMPARE(m_failed->count(), 1);
    QCOMPARE(m_failed->first().at(0).toString(), url);
}

void TestMeskWebView::alertOpensNoWindow()
{
    QVERIFY(load(m_server.url(QStringLiteral("/c"))));
    const QWidgetList before = QApplication::topLevelWidgets();
    auto* view = qobject_cast<QWebEngineView*>(m_web->backend()->widget());
    QVERIFY(view);
    QVariant result;
    view->page()->runJavaScript(QStringLiteral("alert('hello'); confirm('sure?') ? 1 : 2;"),
                                [&](const QVariant& value) { result = value; });
    // The script goes on at once: nothing waits for an answer.
    QTRY_VERIFY_WITH_TIMEOUT(result.isValid(), kLoadTimeout);
    QCOMPARE(result.toInt(), 2);
    for (QWidget* widget : QApplication::topLevelWidgets())
        QVERIFY2(before.contains(widget) || !widget->isVisible(),
                 qPrintable(widget->metaObject()->className()));
}

// The engine's dump of its graphics context stays out of the console unless asked for.
void TestMeskWebView::contextDumpOffByDefault()
{
    QLoggingCategory category("qt.webenginecontext");
    QVERIFY(!category.isInfoEnabled());
    QVERIFY(category.isWarningEnabled());
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CMeskWebEngineBackend::registerFactory();
    TestMeskWebView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_meskwebview.moc"
