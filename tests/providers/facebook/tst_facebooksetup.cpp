// The Facebook login: CFacebookAuth and the setup page over the fake browser, against the
// stand-in service.
#include "facebookapi.h"
#include "facebookauth.h"
#include "fakebrowserbackend.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "meskuistyle.h"
#include "meskwebwidget.h"
#include "ui/facebooksetupwidget.h"
#include "widgets/quorbuttons.h"
#include "windows/quorscreenfit.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {
const QString kUsers = QStringLiteral("users.getInfo");
const QString kKey = QStringLiteral("3.abc-DEF_12.3600.1.12345");
const QString kSecret = QStringLiteral("s3cr3t,x");
const QString kServiceProblem = QStringLiteral("Facebook is having problems - please try again later.");
} // namespace

class TestFacebookSetup : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
    std::unique_ptr<FakeFacebookRest> m_rest;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<CFacebookApi> m_api;
    std::unique_ptr<CFacebookAuth> m_auth;
    std::unique_ptr<CFacebookSetupWidget> m_wizard;

    FakeBrowserBackend* browser() const { return FakeBrowserBackend::instances().constLast(); }
    static QString session(const QString& extra = QStringLiteral(R"("uid":12345,"expires":0)"))
    {
        return QString::fromLatin1(QUrl::toPercentEncoding(
            QStringLiteral(R"({"session_key":"%1",%2,"secret":"%3","sig":"ff"})").arg(kKey, extra, kSecret)));
    }
    QString landing(const QString& sessionText = session()) const
    {
        return m_server->baseUrl() + QStringLiteral("/connect/login_success.html?session=") + sessionText;
    }
    // The wizard on the login page (a page load of its web page ends after loadTimeoutMs when given).
    void reachLoginPage(int loadTimeoutMs = 0)
    {
        m_api = std::make_unique<CFacebookApi>();
        m_auth = std::make_unique<CFacebookAuth>(m_api.get());
        m_auth->setApiKey(QStringLiteral(LUMESK_FACEBOOK_API_KEY));
        m_auth->setRetryIntervalMs(20);
        m_wizard = std::make_unique<CFacebookSetupWidget>(m_auth.get());
        if (loadTimeoutMs > 0)
            m_wizard->webPage()->setLoadTimeout(loadTimeoutMs);
        m_wizard->show();
        m_wizard->onStartSetup();
    }
    void land(const QString& url) { emit browser()->navigateComplete(url); }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        registerFacebookMetaTypes();
        QApplication::setStyle(new CMeskUiStyle);
        CMeskHttpTaskPool::init(this);
        m_browsers = std::make_unique<FakeBrowserBackendScope>();
        m_rest = std::make_unique<FakeFacebookRest>();
        m_rest->setCredentials(QStringLiteral(LUMESK_FACEBOOK_API_KEY), kKey, kSecret,
                               QStringLiteral("12345"));
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_server->setFallback(m_rest->handler());
        qputenv("LUMESK_FACEBOOK_URL", m_server->baseUrl().toUtf8());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
        qunsetenv("LUMESK_FACEBOOK_URL");
    }
    void init()
    {
        m_rest->clearRequests();
        m_rest->clearScripts();
    }
    void cleanup()
    {
        m_wizard.reset();
        m_auth.reset();
        m_api.reset();
    }

    void login()
    {
        reachLoginPage();
        // Its own minimum where the screen has room for it, the screen's available area where not;
        // the whole wizard on the screen.
        const QRect area = m_wizard->screen()->availableGeometry();
        QCOMPARE(CQuorScreenFit::watch(m_wizard.get())->designMinimumSize(), QSize(500, 470));
        QCOMPARE(m_wizard->minimumSize(), QSize(500, 470).boundedTo(area.size()));
        QVERIFY(area.contains(m_wizard->frameGeometry()));
        QVERIFY(m_wizard->webPage()->isVisible());
        QVERIFY(m_wizard->statusLabel()->isHidden());
        QString expected;
        QVERIFY(m_api->authorizationUrl(expected));
        QCOMPARE(browser()->navigated, QStringList{expected});
        land(expected); // the login page itself
        QVERIFY(m_wizard->webPage()->isVisible());

        QSignalSpy added(m_auth.get(), &CFacebookAuth::userAdded);
        QSignalSpy granted(m_auth.get(), &CFacebookAuth::accessGranted);
        land(landing());
        QVERIFY(m_wizard->waitingPage()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->donePage()->isVisible(), 10000);
        QCOMPARE(m_wizard->donePage()->label()->text(),
                 QStringLiteral("Now Velto Lumesk is ready to use your Facebook account"));
        const QList<FakeFacebookRest::Request> requests = m_rest->requests(kUsers);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().param(QStringLiteral("uids")), QStringLiteral("12345"));
        QCOMPARE(requests.first().param(QStringLiteral("session_key")), kKey);
        QCOMPARE(requests.first().errorCode, 0);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), kKey);
        QCOMPARE(added.first().at(1).toString(), kSecret);
        const auto user = added.first().at(2).value<SFacebookUser>();
        QCOMPARE(user.uid, QStringLiteral("12345"));
        QCOMPARE(user.name, QStringLiteral("Pat Tester"));
        QCOMPARE(granted.size(), 1);
        QCOMPARE(m_auth->userName(), QStringLiteral("Pat Tester"));

        QTimer::singleShot(0, m_wizard.get(), [this] { m_wizard->donePage()->button()->click(); });
        QCOMPARE(m_wizard->exec(), int(QDialog::Accepted));

        // F15: a later landing that cannot be read leaves the session alone.
        QSignalSpy protocol(m_auth.get(), &CFacebookAuth::protocolError);
        land(landing(session(QStringLiteral(R"("uid":999,"expires":1234)"))));
        QCOMPARE(protocol.size(), 1);
        QCOMPARE(m_auth->uid(), QStringLiteral("12345"));
        QCOMPARE(m_api->sessionKey(), kKey);
        QCOMPARE(m_api->uid(), QStringLiteral("12345"));
    }

    void endPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("text"); // empty: nothing changes
        const QString base = qEnvironmentVariable("LUMESK_FACEBOOK_URL");
        const QString success = base + QStringLiteral("/connect/login_success.html?session=");
        QTest::newRow("failure landing") << base + QStringLiteral("/connect/login_failure.html")
                                         << "Failed to authorize your Facebook account";
        QTest::newRow("expires not 0")
            << success + session(QStringLiteral(R"("uid":12345,"expires":1234)")) << kServiceProblem;
        QTest::newRow("no uid") << success + session(QStringLiteral(R"("expires":0)")) << kServiceProblem;
        QString https = success + session();
        https.replace(0, 4, QStringLiteral("https"));
        QTest::newRow("https") << https << kServiceProblem;
        const QUrl other(base);
        QTest::newRow("other port") << QStringLiteral(
                                           "http://127.0.0.1:%1/connect/login_success.html?session=")
                                               .arg(other.port() + 1) +
                                           session()
                                    << QString();
    }
    // Landings that end the login at once (F1: never on the waiting page) or change nothing.
    void endPages()
    {
        QFETCH(QString, page);
        QFETCH(QString, text);
        reachLoginPage();
        land(page);
        QTest::qWait(50);
        if (text.isEmpty()) {
            QVERIFY(m_wizard->webPage()->isVisible());
        } else {
            QVERIFY(m_wizard->errorPage()->isVisible());
            QVERIFY(!m_wizard->waitingPage()->isVisible());
            QCOMPARE(m_wizard->errorPage()->label()->text(), text);
            QVERIFY(m_wizard->statusLabel()->isHidden());
        }
        QVERIFY(m_api->sessionKey().isEmpty());
        QVERIFY(m_rest->requests().isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<int>("refusals"); // users.getInfo service errors before an answer
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QString>("text");
        QTest::newRow("4 refusals") << 4 << false << kServiceProblem;
        QTest::newRow("3 refusals then success")
            << 3 << false << QStringLiteral("Now Velto Lumesk is ready to use your Facebook account");
        QTest::newRow("dropped") << 0 << true
                                 << QStringLiteral(
                                        "There seems to be network problems accessing Facebook, please "
                                        "check that your network connection is working.");
    }
    void failures()
    {
        QFETCH(int, refusals);
        QFETCH(bool, drop);
        QFETCH(QString, text);
        if (refusals)
            m_rest->scriptError(kUsers, 2, 200, refusals);
        if (drop)
            m_rest->scriptDrop(kUsers);
        reachLoginPage();
        QCOMPARE(CFacebookAuth::kDefaultRetryIntervalMs, 5000);
        land(landing());
        QTRY_VERIFY_WITH_TIMEOUT(!m_wizard->waitingPage()->isVisible(), 10000);
        QCOMPARE(m_wizard->statusLabel()->isHidden(), true);
        const QLabel* label = text.startsWith(QLatin1String("Now")) ? m_wizard->donePage()->label()
                                                                    : m_wizard->errorPage()->label();
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), text);
        const int sent = int(m_rest->requests(kUsers).size());
        if (drop) {
            QVERIFY(sent == 1 || sent == 2); // the network layer may send it once more
            QVERIFY(!m_auth->isAuthorized());
        } else {
            QCOMPARE(sent, qMin(refusals + 1, 4));
            QCOMPARE(m_auth->isAuthorized(), refusals < 4);
        }
    }

    // A login given up while its users.getInfo retry waits, then a new one: the old retry never
    // fires into the new login, which ends once, on the done page, with its session.
    void retryOfAnAbandonedLogin()
    {
        m_rest->scriptError(kUsers, 2, 200, 1);
        reachLoginPage();
        m_auth->setRetryIntervalMs(100);
        QSignalSpy added(m_auth.get(), &CFacebookAuth::userAdded);
        QSignalSpy granted(m_auth.get(), &CFacebookAuth::accessGranted);
        QSignalSpy rejected(m_auth.get(), &CFacebookAuth::accessRejected);
        QSignalSpy protocol(m_auth.get(), &CFacebookAuth::protocolError);
        land(landing());
        QTRY_VERIFY_WITH_TIMEOUT(m_auth->isRetryPending(), 10000);

        // The user closes the wizard and logs in again; this users.getInfo takes a while.
        m_rest->scriptDelay(kUsers, 1000, 1);
        m_wizard = std::make_unique<CFacebookSetupWidget>(m_auth.get());
        m_wizard->show();
        m_wizard->onStartSetup();
        QVERIFY(!m_auth->isRetryPending());
        land(landing());
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->donePage()->isVisible(), 10000);
        QVERIFY(!rejected.wait(300)); // nothing of the first login comes after
        QVERIFY(m_wizard->donePage()->isVisible());
        QCOMPARE(granted.size(), 1);
        QCOMPARE(rejected.size(), 0);
        QCOMPARE(protocol.size(), 0);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), kKey);
        QCOMPARE(added.first().at(1).toString(), kSecret);
        QVERIFY(m_auth->isAuthorized());
        QCOMPARE(m_rest->requests(kUsers).size(), 2);
    }

    // A login page that never loads ends the waiting on the error page; its late landing is dropped.
    void silentLoginPageEndsOnTheErrorPage()
    {
        reachLoginPage(300);
        const QString page = browser()->navigated.constLast();
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->errorPage()->isVisible(), 10000);
        QCOMPARE(m_wizard->errorPage()->label()->text(), QStringLiteral("Failed to load page: ") + page);
        QVERIFY(m_wizard->statusLabel()->isHidden());
        land(landing());
        QVERIFY(m_wizard->errorPage()->isVisible());
        QCOMPARE(m_rest->requests(kUsers).size(), 0);
    }

    // A second landing while users.getInfo runs sends nothing; a failed load ends on its page.
    void secondLandingAndFailedLoad()
    {
        m_rest->scriptDelay(kUsers, 500);
        reachLoginPage();
        QSignalSpy protocol(m_auth.get(), &CFacebookAuth::protocolError);
        land(landing());
        land(landing());
        QCOMPARE(protocol.size(), 1);
        QVERIFY(m_wizard->errorPage()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->donePage()->isVisible(), 10000);
        QCOMPARE(m_rest->requests(kUsers).size(), 1);

        reachLoginPage();
        const QString failed = QStringLiteral("http://127.0.0.1:1/x?a=%3Cb%3E");
        emit browser()->navigateFailed(failed);
        QCOMPARE(m_wizard->errorPage()->label()->text(), QStringLiteral("Failed to load page: ") + failed);
        QVERIFY(m_wizard->statusLabel()->isHidden());
    }
};

QTEST_MAIN(TestFacebookSetup)
#include "tst_facebooksetup.moc"
