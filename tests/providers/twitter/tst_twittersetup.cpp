// The Twitter setup wizard: the PIN flow of the real authorisation against the stand-in
// service, with the browser a fake that reports the pages the test says it loaded.
#include "fakebrowserbackend.h"
#include "meskhttptaskpool.h"
#include "meskitemwidgets.h"
#include "meskwebwidget.h"
#include "quorbuttons.h"
#include "twitterapi.h"
#include "twitterauth.h"
#include "twitterfixture.h"
#include "twittersetupwidget.h"
#include "twitterwidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTranslator>

class TestTwitterSetup : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TwitterFixture> m_fx;
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
    std::unique_ptr<CTwitterApi> m_api;
    std::unique_ptr<CTwitterAuth> m_auth;
    std::unique_ptr<CTwitterSetupWidget> m_wizard;

    void makeWizard()
    {
        m_api = std::make_unique<CTwitterApi>();
        m_auth = std::make_unique<CTwitterAuth>(m_api.get(), nullptr);
        m_auth->setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                            QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        m_wizard = std::make_unique<CTwitterSetupWidget>(m_auth.get());
        m_wizard->show();
    }
    FakeBrowserBackend* browser() const { return FakeBrowserBackend::instances().value(0); }
    int requestsTo(const QByteArray& path) const
    {
        int n = 0;
        for (const FakeTwitterService::Record& r : m_fx->service->requests())
            n += r.request.path() == path;
        return n;
    }
    // Starts the flow and waits until the authorisation page is in the browser.
    bool start()
    {
        m_wizard->welcomePage()->button()->click();
        return QTest::qWaitFor([&] { return browser() && !browser()->navigated.isEmpty(); }, 10000);
    }
    void loadPage(const QString& url = QStringLiteral("http://127.0.0.1/page"))
    {
        emit browser()->navigateComplete(url);
    }
    QString errorText() const
    {
        return m_wizard->errorPage()->isVisibleTo(m_wizard.get()) ? m_wizard->errorPage()->label()->text()
                                                                  : QString();
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<TwitterFixture>();
        QVERIFY(m_fx->start());
        m_browsers = std::make_unique<FakeBrowserBackendScope>();
    }
    void cleanup()
    {
        m_wizard.reset();
        m_auth.reset();
        m_api.reset();
        m_browsers.reset();
        m_fx.reset();
    }

    void startAndPinBar()
    {
        makeWizard();
        QCOMPARE(m_wizard->minimumSize(), QSize(800, 500));
        QCOMPARE(m_wizard->welcomePage()->label()->text(), CMeskServiceSetupWidget::welcomeText("Twitter"));
        m_wizard->welcomePage()->button()->click();
        QVERIFY(m_wizard->statusLabel()->isVisibleTo(m_wizard.get()));
        QVERIFY(m_wizard->statusLabel()->text().contains(QStringLiteral("Twitter")));
        QVERIFY(QTest::qWaitFor([&] { return browser() && !browser()->navigated.isEmpty(); }, 10000));
        QCOMPARE(requestsTo("/oauth/request_token"), 1);
        QCOMPARE(browser()->navigated,
                 QStringList(m_fx->server->baseUrl() + "/oauth/authorize?oauth_token=RT&oauth_callback=" +
                             QString::fromLatin1(QUrl::toPercentEncoding(m_api->webHost()))));
        QVERIFY(m_wizard->webPage()->isVisibleTo(m_wizard.get()));
        QVERIFY(!m_wizard->customPage());

        loadPage();
        QWidget* bar = m_wizard->customPage();
        QVERIFY(bar);
        QVERIFY(!m_wizard->statusLabel()->isVisibleTo(m_wizard.get()));
        QStringList texts;
        for (QLabel* label : bar->findChildren<QLabel*>())
            texts << label->text();
        QCOMPARE(texts, QStringList({"when you are finished, enter the pin ", " and press "}));
        auto* ready = bar->findChild<QPushButton*>();
        QCOMPARE(ready->text(), QStringLiteral("Ready"));
        QCOMPARE(ready->property("com_velto_qstyleRole").toString(),
                 QStringLiteral("quor.commonuilibrary.button.dashboard"));
        for (QWidget* w : {static_cast<QWidget*>(ready), static_cast<QWidget*>(m_wizard->pinField())}) {
            QCOMPARE(w->minimumHeight(), 25);
            QCOMPARE(w->maximumHeight(), 25);
        }
        loadPage();
        QCOMPARE(m_wizard->customPage(), bar);
        QCOMPARE(m_wizard->findChildren<QLineEdit*>().size(), 1);
    }

    void ready_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("sent");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "   " << false;
        QTest::newRow("PIN with blanks") << " 1234567 " << true;
    }
    void ready()
    {
        QFETCH(QString, typed);
        QFETCH(bool, sent);
        makeWizard();
        QVERIFY(start());
        loadPage();
        QSignalSpy granted(m_auth.get(), &CTwitterAuth::accessGranted);
        QTest::keyClicks(m_wizard->pinField(), typed);
        QTest::mouseClick(m_wizard->customPage()->findChild<QPushButton*>(), Qt::LeftButton);
        QCOMPARE(m_wizard->hasPinBar(), !sent);
        QCOMPARE(m_wizard->customPage() == nullptr, sent);
        if (!sent) {
            QTest::qWait(100);
            QCOMPARE(requestsTo("/oauth/access_token"), 0);
            QCOMPARE(m_auth->state(), int(CTwitterAuth::Idle));
            return;
        }
        // The bar went before the service answered.
        QCOMPARE(granted.size(), 0);
        QVERIFY(QTest::qWaitFor([&] { return granted.size() == 1; }, 10000));
        const QList<FakeTwitterService::Record> records = m_fx->service->requests();
        QVERIFY(records.last().request.target.contains("oauth_verifier=1234567&"));
        QVERIFY(m_wizard->donePage()->isVisibleTo(m_wizard.get()));
        QCOMPARE(m_wizard->donePage()->label()->text(), CMeskServiceSetupWidget::doneText("Twitter"));
        // A page loaded later brings a new bar.
        loadPage();
        QVERIFY(m_wizard->hasPinBar());
        QVERIFY(m_wizard->customPage());
    }

    void errorPages_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("wrong PIN") << "pin";
        QTest::newRow("port closed at start") << "port";
        QTest::newRow("page not loaded") << "page";
    }
    void errorPages()
    {
        QFETCH(QString, failure);
        if (failure == QLatin1String("port")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            qputenv("LUMESK_TWITTER_URL",
                    QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()).toUtf8());
            probe.close();
            makeWizard();
            m_wizard->welcomePage()->button()->click();
            QTRY_COMPARE_WITH_TIMEOUT(errorText(), CMeskServiceSetupWidget::networkErrorText("Twitter"),
                                      10000);
            return;
        }
        makeWizard();
        QVERIFY(start());
        if (failure == QLatin1String("pin")) {
            loadPage();
            m_wizard->pinField()->setText(QStringLiteral("7654321"));
            m_wizard->customPage()->findChild<QPushButton*>()->click();
            QTRY_COMPARE_WITH_TIMEOUT(errorText(), CMeskServiceSetupWidget::serviceErrorText("Twitter"),
                                      10000);
            return;
        }
        const QString url = QStringLiteral("http://127.0.0.1:9/gone?a=1");
        emit browser()->navigateFailed(url);
        QVERIFY(!m_wizard->statusLabel()->isVisibleTo(m_wizard.get()));
        QCOMPARE(errorText(), QStringLiteral("Failed to load page: ") + url);
    }

    void translatedTexts()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(LUMESK_TWITTER_TEST_QM)));
        QCoreApplication::installTranslator(&translator);
        makeWizard();
        CTwitterStatusWidget status(nullptr, nullptr);
        QVERIFY(start());
        loadPage();
        const QString ready = m_wizard->customPage()->findChild<QPushButton*>()->text();
        const QString retweet = status.linkGroup()->link(1)->text();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(ready, QStringLiteral("Fertig"));
        QCOMPARE(retweet, QStringLiteral("Weiterleiten"));
    }
};

QTEST_MAIN(TestTwitterSetup)
#include "tst_twittersetup.moc"
