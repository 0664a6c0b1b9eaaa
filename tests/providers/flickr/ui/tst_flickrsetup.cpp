// The Flickr setup page over a fake browser, with the real authorisation against the stand-in.
#include "fakebrowserbackend.h"
#include "fakeflickr.h"
#include "flickrapi.h"
#include "flickrauth.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "meskuistyle.h"
#include "meskwebwidget.h"
#include "ui/flickrsetupwidget.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTranslator>

#include <memory>

namespace {
const QString kFrob = QStringLiteral("flickr.auth.getFrob");
const QString kToken = QStringLiteral("flickr.auth.getToken");
} // namespace

class TestFlickrSetup : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
    std::unique_ptr<FakeFlickrService> m_service;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<CFlickrApi> m_api;
    std::unique_ptr<CFlickrAuth> m_auth;
    std::unique_ptr<CFlickrSetupWidget> m_wizard;

    FakeBrowserBackend* browser() const { return FakeBrowserBackend::instances().constLast(); }
    QString site(const QString& path) const { return m_server->baseUrl() + path; }
    QPushButton* readyButton() const
    {
        return m_wizard->customPage() ? m_wizard->customPage()->findChild<QPushButton*>() : nullptr;
    }
    // The wizard set up against the API's current addresses.
    void makeWizard()
    {
        m_api = std::make_unique<CFlickrApi>();
        m_auth = std::make_unique<CFlickrAuth>(m_api.get(), nullptr);
        m_auth->setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        m_wizard = std::make_unique<CFlickrSetupWidget>(m_auth.get());
        m_wizard->show();
    }
    // Starts the setup and waits for the authorisation page.
    bool reachAuthorizationPage()
    {
        m_wizard->onStartSetup();
        return QTest::qWaitFor([this] { return m_wizard->state() == 2; }, 30000);
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        QApplication::setStyle(new CMeskUiStyle);
        CMeskHttpTaskPool::init(this);
        m_browsers = std::make_unique<FakeBrowserBackendScope>();
        m_service = std::make_unique<FakeFlickrService>();
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->isListening());
        m_server->setFallback(m_service->handler());
    }
    void cleanupTestCase()
    {
        CMeskHttpTaskPool::shutdown();
        m_server.reset();
        qunsetenv("LUMESK_FLICKR_URL");
    }
    void init()
    {
        qputenv("LUMESK_FLICKR_URL", m_server->baseUrl().toUtf8());
        m_service->clearRequests();
        m_service->clearScripts();
    }
    void cleanup()
    {
        m_wizard.reset();
        m_auth.reset();
        m_api.reset();
    }

    // The whole road: frob, the authorisation page, the bar, "Ready", the token, the done page.
    void authorisation()
    {
        makeWizard();
        QCOMPARE(m_wizard->siteDomain(), QStringLiteral("127.0.0.1"));
        m_wizard->onStartSetup();
        QCOMPARE(m_wizard->state(), 1);
        QCOMPARE(m_wizard->statusLabel()->text(), QStringLiteral("Connecting to Flickr, please wait... "));
        // "Ready" before the authorisation page changes nothing.
        QMetaObject::invokeMethod(m_wizard.get(), "_onReady");
        QCOMPARE(m_wizard->state(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_wizard->state(), 2, 30000);
        QCOMPARE(m_service->requests(kFrob).size(), 1);
        QCOMPARE(browser()->navigated.size(), 1);
        const QString url = browser()->navigated.first();
        QVERIFY2(url.startsWith(site(QStringLiteral("/services/auth/?"))), qPrintable(url));
        QVERIFY(url.contains(QStringLiteral("&api_sig=")));

        // The bar comes with the site's pages only, once.
        emit browser()->beforeNavigate(QStringLiteral("http://localhost:1/services/auth/done"));
        QVERIFY(!m_wizard->customPage());
        emit browser()->beforeNavigate(site(QStringLiteral("/services/auth/done")));
        QWidget* bar = m_wizard->customPage();
        QVERIFY(bar);
        emit browser()->beforeNavigate(site(QStringLiteral("/photos/")));
        QCOMPARE(m_wizard->customPage(), bar);
        QCOMPARE(bar->findChild<QLabel*>()->text(), QStringLiteral("when you are finished press "));
        QPushButton* ready = readyButton();
        QCOMPARE(ready->text(), QStringLiteral("Ready"));
        QCOMPARE(ready->height(), 20);
        QCOMPARE(ready->property("com_velto_qstyleRole").toString(),
                 QStringLiteral("quor.commonuilibrary.button.dashboard"));

        QVERIFY(m_service->authorizeFrob(m_service->issuedFrobs().constLast()));
        QTest::mouseClick(ready, Qt::LeftButton);
        QVERIFY(!m_wizard->customPage());
        QCOMPARE(m_wizard->state(), 4);
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->donePage()->isVisible(), 30000);
        QCOMPARE(m_service->requests(kToken).size(), 1);

        // A later page of the site brings the bar back; pressing it then sends nothing.
        emit browser()->beforeNavigate(site(QStringLiteral("/photos/")));
        QVERIFY(readyButton());
        readyButton()->click();
        QTest::qWait(100);
        QCOMPARE(m_service->requests(kToken).size(), 1);
        QCOMPARE(m_wizard->state(), 4);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        QTest::newRow("frob not authorised") << "ready"
                                             << "Flickr is having problems - please try again later." << 4;
        QTest::newRow("port closed at start")
            << "closed"
            << "There seems to be network problems accessing Flickr, please check that your network "
               "connection is working."
            << 1;
        QTest::newRow("page load failed") << "failed load"
                                          << "Failed to load page: http://127.0.0.1:1/x?a=b" << 2;
    }
    // Error pages keep the state.
    void errors()
    {
        QFETCH(QString, what);
        QFETCH(QString, text);
        QFETCH(int, state);
        if (what == QLatin1String("closed")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            qputenv("LUMESK_FLICKR_URL",
                    QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()).toUtf8());
            probe.close();
            makeWizard();
            m_wizard->onStartSetup();
        } else {
            makeWizard();
            QVERIFY(reachAuthorizationPage());
            if (what == QLatin1String("ready")) {
                emit browser()->beforeNavigate(site(QStringLiteral("/services/auth/done")));
                QVERIFY(readyButton());
                readyButton()->click();
            } else {
                emit browser()->navigateFailed(QStringLiteral("http://127.0.0.1:1/x?a=b"));
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_wizard->errorPage()->isVisible(), 30000);
        QCOMPARE(m_wizard->errorPage()->label()->text(), text);
        QCOMPARE(m_wizard->state(), state);
        QVERIFY(m_wizard->statusLabel()->isHidden());
    }

    // The bar's texts are translated in the setup page's own context.
    void translatedBar()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(LUMESK_TEST_QM)));
        QCoreApplication::installTranslator(&translator);
        makeWizard();
        QVERIFY(reachAuthorizationPage());
        emit browser()->beforeNavigate(site(QStringLiteral("/services/auth/done")));
        QCoreApplication::removeTranslator(&translator);
        QVERIFY(readyButton());
        QCOMPARE(readyButton()->text(), QStringLiteral("Pronto"));
    }
};

QTEST_MAIN(TestFlickrSetup)
#include "tst_flickrsetup.moc"
