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
#include <QScreen>
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
        // 950 × 650 where the screen has room; on the test's 800 × 600 screen the wizard takes the
        // screen's available area and lies inside it.
        wizard.show();
        const QRect area = wizard.screen()->availableGeometry();
        QCOMPARE(wizard.minimumSize(), QSize(950, 650).boundedTo(area.size()));
        QCOMPARE(wizard.size(), wizard.minimumSize());
        QVERIFY(area.contains(wizard.frameGeometry()));

        QSignalSpy loaded(wizard.webPage(), &CMeskWebWidget::pageLoaded);
        wizard.onStartSetup();
        QTRY_COMPARE_WITH_TIMEOUT(wizard.state(), 2, 10000);
        if (!QTest::qWaitFor([&] { return wizard.customPage() != nullptr; }, 30000))
            QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
        QPushButton* ready = wizard.customPage()->findChild<QPushButton*>();
        QVERIFY(ready);
        QVERIFY(wizard.customPage()->isVisible());
        // The bar spans the wizard and its button is whole on the screen, below the caption.
        QCOMPARE(wizard.customPage()->width(), wizard.width());
        QVERIFY(area.contains(QRect(ready->mapToGlobal(QPoint(0, 0)), ready->size())));
        QVERIFY(wizard.customPage()->rect().contains(ready->geometry()));
        // The confirmation page authorised the frob: "Ready" ends the setup.
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        QVERIFY(loaded.constLast().at(0).toString().startsWith(server.baseUrl() +
                                                               QStringLiteral("/services/auth/done?frob=")));
        QTest::qWait(300);
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QVERIFY(wizard.grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/flickr-setup-ready.png")));
        // Run by hand on an X display (a small one, say Xvfb 960x540, or scale 2), the whole screen
        // as the display shows it.
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            const QString name =
                QStringLiteral(LUMESK_SCREENSHOT_DIR "/flickr-setup-ready-screen-%1x%2@%3.png")
                    .arg(area.width())
                    .arg(area.height())
                    .arg(wizard.screen()->devicePixelRatio());
            // Once the page's text is on the display (the view draws through its own surface).
            const QRect page(wizard.webPage()->mapToGlobal(QPoint(0, 0)), wizard.webPage()->size());
            QImage shot;
            const bool drawn = QTest::qWaitFor(
                [&] {
                    shot = wizard.screen()->grabWindow(0).toImage();
                    const QImage body = shot.copy(QRect(page.topLeft() * shot.devicePixelRatio(),
                                                        page.size() * shot.devicePixelRatio()));
                    for (int y = 0; y < body.height(); y += 2)
                        for (int x = 0; x < body.width(); x += 2)
                            if (qGray(body.pixel(x, y)) < 100)
                                return true;
                    return false;
                },
                10000);
            if (!drawn)
                qWarning("the page's text did not reach the display");
            QVERIFY(shot.save(name));
        }

        wizard.customPage()->findChild<QPushButton*>()->click();
        QTRY_VERIFY_WITH_TIMEOUT(wizard.donePage()->isVisible(), 10000);
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
