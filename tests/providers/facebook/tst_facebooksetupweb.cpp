// The Facebook setup page on the QtWebEngine browser against the stand-in's login pages: the
// login page shows, its cancel landing ends on the error page, and a login answered with a
// redirect to the session reaches the done page.
#include "facebookapi.h"
#include "facebookauth.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "meskuistyle.h"
#include "meskwebenginebackend.h"
#include "meskwebwidget.h"
#include "ui/facebooksetupwidget.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

// To look at the pages on a real display: LUMESK_SETUP_HOLD_MS keeps each page up that long
// after its grab, LUMESK_LARGE_FONTS=1 turns on the style's large-font setting.
class TestFacebookSetupWeb : public QObject
{
    Q_OBJECT

    static void grab(QWidget& wizard, const char* name)
    {
        QVERIFY(wizard.grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/") + QLatin1String(name)));
        QTest::qWait(qEnvironmentVariableIntValue("LUMESK_SETUP_HOLD_MS"));
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        // The product style, as the program runs it.
        auto* style = new CMeskUiStyle;
        style->setLargeFonts(qEnvironmentVariableIntValue("LUMESK_LARGE_FONTS") == 1);
        QApplication::setStyle(style);
        CMeskHttpTaskPool::init(this);
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void loginPages()
    {
        FakeFacebookRest rest;
        rest.setCredentials(QStringLiteral(LUMESK_FACEBOOK_API_KEY), FakeFacebookRest::defaultSessionKey(),
                            FakeFacebookRest::defaultSessionSecret(), FakeFacebookRest::defaultUid());
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(rest.handler());
        qputenv("LUMESK_FACEBOOK_URL", server.baseUrl().toUtf8());

        {
            CFacebookApi api;
            CFacebookAuth auth(&api);
            auth.setApiKey(QStringLiteral(LUMESK_FACEBOOK_API_KEY));
            CFacebookSetupWidget wizard(&auth);
            QVERIFY(wizard.webPage()->backend());
            wizard.show();
            QSignalSpy loaded(wizard.webPage(), &CMeskWebWidget::pageLoaded);
            wizard.onStartSetup();
            if (!QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 30000))
                QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
            QVERIFY(
                loaded.first().at(0).toString().startsWith(server.baseUrl() + QStringLiteral("/login.php?")));
            QTest::qWait(300);
            grab(wizard, "facebook-setup-login.png");

            // The "Cancel" link's landing.
            wizard.showWebPage(api.loginFailureUrl());
            QTRY_VERIFY_WITH_TIMEOUT(wizard.errorPage()->isVisible(), 30000);
            QCOMPARE(wizard.errorPage()->label()->text(),
                     QStringLiteral("Failed to authorize your Facebook account"));
            grab(wizard, "facebook-setup-error.png");
        }

        rest.setLoginRedirect(true);
        CFacebookApi api;
        CFacebookAuth auth(&api);
        auth.setApiKey(QStringLiteral(LUMESK_FACEBOOK_API_KEY));
        CFacebookSetupWidget wizard(&auth);
        wizard.show();
        wizard.onStartSetup();
        QTRY_VERIFY_WITH_TIMEOUT(wizard.donePage()->isVisible(), 30000);
        QVERIFY(auth.isAuthorized());
        QCOMPARE(auth.userName(), QStringLiteral("Pat Tester"));
        grab(wizard, "facebook-setup-done.png");
        qunsetenv("LUMESK_FACEBOOK_URL");
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CMeskWebEngineBackend::registerFactory();
    TestFacebookSetupWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_facebooksetupweb.moc"
