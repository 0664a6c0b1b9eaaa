// The Flickr setup page on the QtWebEngine browser against the stand-in service: the
// authorisation page's redirect to the confirmation page brings the "Ready" bar.
#include "fakeflickr.h"
#include "flickrapi.h"
#include "flickrauth.h"
#include "localhttpserver.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"
#include "meskuistyle.h"
#include "meskwebenginebackend.h"
#include "meskwebwidget.h"
#include "ui/flickrsetupwidget.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestFlickrSetupWeb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        // The product style, as the program runs it: its application event filter sees the
        // engine's own objects too.
        QApplication::setStyle(new CMeskUiStyle);
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void redirectBringsTheBar()
    {
        FakeFlickrService service;
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setFallback(service.handler());
        qputenv("LUMESK_FLICKR_URL", server.baseUrl().toUtf8());
        CFlickrApi api;
        CFlickrAuth auth(&api, nullptr);
        auth.setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        CFlickrSetupWidget wizard(&auth);
        QVERIFY(wizard.webPage()->backend());
        wizard.resize(950, 650);
        wizard.show();

        QSignalSpy loaded(wizard.webPage(), &CMeskWebWidget::pageLoaded);
        wizard.onStartSetup();
        QTRY_COMPARE_WITH_TIMEOUT(wizard.state(), 2, 30000);
        if (!QTest::qWaitFor([&] { return wizard.customPage() != nullptr; }, 30000))
            QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
        QVERIFY(wizard.customPage()->findChild<QPushButton*>());
        QVERIFY(wizard.customPage()->isVisible());
        // The confirmation page authorised the frob: "Ready" ends the setup.
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        QVERIFY(loaded.constLast().at(0).toString().startsWith(server.baseUrl() +
                                                               QStringLiteral("/services/auth/done?frob=")));
        QTest::qWait(300);
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QVERIFY(wizard.grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/flickr-setup-ready.png")));

        wizard.customPage()->findChild<QPushButton*>()->click();
        QTRY_VERIFY_WITH_TIMEOUT(wizard.donePage()->isVisible(), 30000);
        QVERIFY(auth.isAuthorized());
        qunsetenv("LUMESK_FLICKR_URL");
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CMeskWebEngineBackend::registerFactory();
    TestFlickrSetupWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flickrsetupweb.moc"
