// The setup wizard on a real X display with the QtWebEngine browser: when its web page first
// shows, Qt makes the wizard's native window anew (an OpenGL surface for the view). The wizard
// keeps its place on the screen and its shadow stays with it, with and without a compositing
// manager; a screenshot shows the wizard with a stand-in's page over the main window.

#include "compositingwatch.h"
#include "fakeautostart.h"
#include "fakepowerevents.h"
#include "fakeshadowwindow.h"
#include "faketwitter.h"
#include "localhttpserver.h"
#include "mainwindow/meskmainwindow.h"
#include "meskservicesetupwidget.h"
#include "meskuistyle.h"
#include "meskwebenginebackend.h"
#include "meskwebwidget.h"
#include "settings/mesksettings.h"
#include "testengine.h"
#include "windows/quorshadowframe.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <memory>

namespace {

// Counts the native windows a widget was given.
class WinIdCounter : public QObject
{
public:
    explicit WinIdCounter(QWidget* widget) { widget->installEventFilter(this); }
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WinIdChange)
            ++changes;
        return false;
    }
};

} // namespace

class TestSetupWizardPlace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
        QApplication::setStyle(new CMeskUiStyle);
        CMeskWebEngineBackend::registerFactory();
        QVERIFY(m_server.isListening());
        m_server.setFallback(m_twitter.handler());
    }
    void cleanupTestCase() { stopCompositor(); }

    void keepsItsPlace_data();
    void keepsItsPlace();

private:
    void stopCompositor()
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_compositor.processId()), SIGTERM);
            m_compositor.waitForFinished(5000);
        }
    }

    LocalHttpServer m_server;
    FakeTwitterService m_twitter;
    QProcess m_compositor;
};

void TestSetupWizardPlace::keepsItsPlace_data()
{
    QTest::addColumn<bool>("compositor"); // xcompmgr and real shadow windows, or recording fakes
    QTest::newRow("recorded shadow") << false;
    QTest::newRow("xcompmgr") << true;
}

void TestSetupWizardPlace::keepsItsPlace()
{
    QFETCH(bool, compositor);
    std::unique_ptr<FakeShadowWindowScope> fakes;
    if (compositor) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
        if (program.isEmpty())
            QSKIP("xcompmgr is not installed (scripts/install-deps.sh installs it)");
        m_compositor.start(program, {});
        QVERIFY(m_compositor.waitForStarted(30000));
        QTRY_VERIFY_WITH_TIMEOUT(CCompositingWatch::instance()->isActive(), 30000);
    } else {
        fakes = std::make_unique<FakeShadowWindowScope>();
    }

    FakePowerEventsScope power;
    FakeAutostartScope autostart;
    TestEngine env;
    env.addProvider(1, QStringLiteral("Twitter"));
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .setValue(CMeskSettings::keyName(16), false);
    QVERIFY(env.init());
    CMeskMainWindow main(env.engine());
    main.move(200, 60);
    main.resize(main.width(), 640);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    CMeskServiceSetupWidget wizard(&main);
    wizard.setTitle(CMeskServiceSetupWidget::wizardTitleText(QStringLiteral("Twitter")));
    wizard.resize(520, 420);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    // The native window (and its QWindow) may be made anew: always ask for the current one.
    QTRY_VERIFY_WITH_TIMEOUT(!wizard.windowHandle()->geometry().topLeft().isNull(),
                             30000); // centred over the main window
    const QRect before = wizard.windowHandle()->geometry();
    auto* frame = wizard.findChild<CQuorShadowFrame*>();
    QVERIFY(frame);
    QTRY_VERIFY_WITH_TIMEOUT(frame->shadowWindow(), 30000);
    const QMargins margins(frame->margins().left, frame->margins().top, frame->margins().right,
                           frame->margins().bottom);

    WinIdCounter counter(&wizard);
    QSignalSpy loaded(wizard.webPage(), &CMeskWebWidget::pageLoaded);
    wizard.showWebPage(m_server.url(QStringLiteral("/oauth/authorize?oauth_token=RT")));
    if (!loaded.wait(30000))
        QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    if (counter.changes == 0)
        qWarning("the wizard kept its native window: this display gave the web view no other surface");

    // Where the window system has it, not only what pos() says.
    QTRY_COMPARE_WITH_TIMEOUT(wizard.windowHandle()->geometry(), before, 30000);
    QCOMPARE(wizard.geometry(), before);
    QTRY_COMPARE_WITH_TIMEOUT(frame->shadowWindow()->geometry(), wizard.frameGeometry().marginsAdded(margins),
                              30000);
    if (compositor) {
        auto* shadow = dynamic_cast<QWidget*>(frame->shadowWindow());
        QVERIFY(shadow && shadow->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(shadow->windowHandle()->geometry(), before.marginsAdded(margins), 30000);

        QTest::qWait(500); // let the engine paint the page and the compositor draw the screen
        const QRect area = main.frameGeometry().united(wizard.frameGeometry()).adjusted(-30, -20, 30, 40);
        const QPixmap shot = wizard.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QVERIFY(dir.mkpath(QStringLiteral(".")));
        QVERIFY(shot.save(dir.filePath(QStringLiteral("setup-wizard-web-page.png"))));
    }
    wizard.hide();
    main.close();
    stopCompositor();
}

int main(int argc, char* argv[])
{
    // The web view draws with OpenGL. Qt would keep the shaders it builds in a cache under the first
    // cache folder it is given, the first row's TempStorageRoot, and write there again from later
    // rows, after that folder is gone.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSetupWizardPlace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_setupwizardplace.moc"
