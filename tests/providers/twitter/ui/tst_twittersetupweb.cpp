// The Twitter setup wizard on the real web page widget: the stand-in's authorisation page loads
// in QtWebEngine and the PIN bar comes up under the caption.
#include "meskhttptaskpool.h"
#include "meskwebenginebackend.h"
#include "meskwebwidget.h"
#include "twitterapi.h"
#include "twitterauth.h"
#include "twitterfixture.h"
#include "ui/twittersetupwidget.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

class TestTwitterSetupWeb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }

    void pinPageBringsTheBar()
    {
        TwitterFixture fx;
        QVERIFY(fx.start());
        CTwitterApi api;
        CTwitterAuth auth(&api, nullptr);
        auth.setConsumer(QString::fromLatin1(FakeTwitterService::DefaultConsumerKey),
                         QString::fromLatin1(FakeTwitterService::DefaultConsumerSecret));
        CTwitterSetupWidget wizard(&auth);
        wizard.resize(800, 500);
        wizard.show();
        QSignalSpy failed(wizard.webPage(), &CMeskWebWidget::pageLoadFailed);
        wizard.welcomePage()->button()->click();
        if (!QTest::qWaitFor([&] { return wizard.customPage() || !failed.isEmpty(); }, 30000))
            QSKIP("QtWebEngine loaded no page within 30 s: the engine does not run on this machine");
        QCOMPARE(failed.size(), 0);
        QVERIFY(wizard.hasPinBar());
        QVERIFY(!wizard.statusLabel()->isVisibleTo(&wizard));
        // Let the page paint before the picture is taken.
        QTest::qWait(500);
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QVERIFY(wizard.grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/twitter-setup-pin.png")));
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CMeskWebEngineBackend::registerFactory();
    TestTwitterSetupWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_twittersetupweb.moc"
