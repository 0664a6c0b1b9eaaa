// The Twitter setup wizard: the PIN flow of the real authorisation against the stand-in
// service, with the browser a fake that reports the pages the test says it loaded.
#include "failingstorage.h"
#include "fakebrowserbackend.h"
#include "meskhttptaskpool.h"
#include "meskitemwidgets.h"
#include "twitterapi.h"
#include "twitterauth.h"
#include "twitterfixture.h"
#include "twitterprovider.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"
#include "widgets/quorbuttons.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
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

    // A shown wizard, started when asked: true once the authorisation page is in the browser (false on
    // an error page).
    bool startWizard(bool start = true, CTwitterAuth* auth = nullptr)
    {
        if (!auth) {
            m_api = std::make_unique<CTwitterApi>();
            m_auth = std::make_unique<CTwitterAuth>(m_api.get(), nullptr);
            m_auth->setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                                QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
            auth = m_auth.get();
        }
        m_wizard = std::make_unique<CTwitterSetupWidget>(auth);
        m_wizard->show();
        if (!start)
            return true;
        m_wizard->welcomePage()->button()->click();
        const auto shown = [&] { return browser() && !browser()->navigated.isEmpty(); };
        return QTest::qWaitFor([&] { return shown() || !errorText().isEmpty(); }, 10000) && shown();
    }
    FakeBrowserBackend* browser() const { return FakeBrowserBackend::instances().value(0); }
    void loadPage() { emit browser()->navigateComplete(QStringLiteral("http://127.0.0.1/page")); }
    QPushButton* readyButton() const { return m_wizard->customPage()->findChild<QPushButton*>(); }
    QString errorText() const
    {
        return m_wizard->errorPage()->isVisibleTo(m_wizard.get()) ? m_wizard->errorPage()->label()->text()
                                                                  : QString();
    }
    bool waiting() const { return m_wizard->statusLabel()->isVisibleTo(m_wizard.get()); }

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
        QVERIFY(startWizard(false));
        m_wizard->welcomePage()->button()->click();
        QVERIFY(waiting());
        QVERIFY(QTest::qWaitFor([&] { return !browser()->navigated.isEmpty(); }, 10000));
        int tokenRequests = 0;
        for (const FakeTwitterService::Record& r : m_fx->service->requests())
            tokenRequests += r.request.path() == "/oauth/request_token";
        QCOMPARE(tokenRequests, 1);
        QCOMPARE(browser()->navigated,
                 QStringList(m_fx->server->baseUrl() + "/oauth/authorize?oauth_token=RT&oauth_callback=" +
                             QString::fromLatin1(QUrl::toPercentEncoding(m_api->webHost()))));

        loadPage();
        QWidget* bar = m_wizard->customPage();
        QVERIFY(bar);
        QVERIFY(!waiting());
        QStringList texts;
        for (QLabel* label : bar->findChildren<QLabel*>())
            texts << label->text();
        QCOMPARE(texts, QStringList({"when you are finished, enter the pin ", " and press "}));
        QCOMPARE(readyButton()->text(), QStringLiteral("Ready"));
        QCOMPARE(readyButton()->property("com_velto_qstyleRole").toString(),
                 QStringLiteral("quor.commonuilibrary.button.dashboard"));
        // The 25-pixel strip spans the wizard, whatever its width; its field and button are whole
        // inside it and on the screen.
        QVERIFY(bar->minimumHeight() == 25 && bar->maximumHeight() == 25);
        const QRect area = m_wizard->screen()->availableGeometry();
        QVERIFY(area.contains(m_wizard->frameGeometry()));
        for (int width : {m_wizard->minimumWidth(), area.width()}) {
            m_wizard->resize(width, m_wizard->height());
            QTRY_COMPARE(bar->width(), m_wizard->width());
            for (QWidget* w :
                 {static_cast<QWidget*>(readyButton()), static_cast<QWidget*>(m_wizard->pinField())}) {
                QVERIFY(w->minimumHeight() == 25 && w->maximumHeight() == 25);
                QVERIFY(bar->rect().contains(w->geometry()));
                QVERIFY(w->width() >= w->minimumSizeHint().width());
                QVERIFY(area.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size())));
            }
        }
        loadPage();
        QCOMPARE(m_wizard->customPage(), bar);
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
        QVERIFY(startWizard());
        loadPage();
        QSignalSpy granted(m_auth.get(), &CTwitterAuth::accessGranted);
        QTest::keyClicks(m_wizard->pinField(), typed);
        QTest::mouseClick(readyButton(), Qt::LeftButton);
        // The bar goes at once, before the service has answered; an empty PIN changes nothing.
        QCOMPARE(m_wizard->customPage() == nullptr, sent);
        QCOMPARE(m_auth->state(), sent ? int(CTwitterAuth::RequestingAccessToken) : int(CTwitterAuth::Idle));
        if (!sent)
            return;
        QVERIFY(QTest::qWaitFor([&] { return granted.size() == 1; }, 10000));
        QVERIFY(m_fx->service->requests().last().request.target.contains("oauth_verifier=1234567&"));
        QCOMPARE(m_wizard->donePage()->label()->text(), CMeskServiceSetupWidget::doneText("Twitter"));
        QVERIFY(m_wizard->donePage()->isVisibleTo(m_wizard.get()));
        loadPage();
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
            QVERIFY(!startWizard());
            QCOMPARE(errorText(), CMeskServiceSetupWidget::networkErrorText("Twitter"));
            return;
        }
        QVERIFY(startWizard());
        if (failure == QLatin1String("pin")) {
            loadPage();
            m_wizard->pinField()->setText(QStringLiteral("7654321"));
            readyButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(errorText(), CMeskServiceSetupWidget::serviceErrorText("Twitter"),
                                      10000);
            return;
        }
        const QString url = QStringLiteral("http://127.0.0.1:9/gone?a=1");
        emit browser()->navigateFailed(url);
        QVERIFY(!waiting());
        QCOMPARE(errorText(), QStringLiteral("Failed to load page: ") + url);
    }

    // An account that cannot be stored ends on an error page and is not linked, in this run or the next.
    void accountNotStored()
    {
        m_fx->db.reset();
        auto* storage = new FailingStorage(m_fx->root.subPath(QStringLiteral("storage")));
        m_fx->db.reset(storage);
        QVERIFY(storage->open());
        storage->failCommits = true;
        auto provider = std::make_unique<CTwitterProvider>();
        provider->setStorage(storage);
        QSignalSpy activated(provider.get(), &IMediaItemProvider::activated);
        QSignalSpy granted(provider->auth(), &CTwitterAuth::accessGranted);
        QVERIFY(startWizard(true, provider->auth()));
        loadPage();
        m_wizard->pinField()->setText(QString::fromLatin1(m_fx->service->pin()));
        readyButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            errorText(), QStringLiteral("Velto Lumesk internal error, please contact application support"),
            10000);
        QCOMPARE(granted.size(), 0);
        QCOMPARE(activated.size(), 0);
        QVERIFY(!provider->isActivated());
        m_wizard.reset();

        storage->failCommits = false;
        provider = std::make_unique<CTwitterProvider>(); // the next start
        provider->setStorage(storage);
        QVERIFY(!provider->isActivated());
    }

    void translatedTexts()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(LUMESK_TWITTER_TEST_QM)));
        QCoreApplication::installTranslator(&translator);
        QVERIFY(startWizard());
        loadPage();
        CTwitterStatusWidget status(nullptr, nullptr);
        const QStringList texts = {readyButton()->text(), status.linkGroup()->link(1)->text()};
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(texts, QStringList({"Fertig", "Weiterleiten"}));
    }
};

QTEST_MAIN(TestTwitterSetup)
#include "tst_twittersetup.moc"
