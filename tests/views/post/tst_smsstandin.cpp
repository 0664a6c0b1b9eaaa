// The SMS column and the post-SMS dialog on the real engine, against the stand-in ModemManager and
// the sample contacts of the stand-in services, as ./run.sh --stand-ins shows them: the welcome
// message in the column, a message sent to a sample contact and its answer. Writes screenshots.
#include "fakemodemmanager.h"
#include "fakenetworkbackend.h"
#include "feed/mesksmscolumnwidget.h"
#include "feed/mesksmswidget.h"
#include "imeskmodembackend.h"
#include "meskengine.h"
#include "mesknetworkbackends.h"
#include "meskprovidermanager.h"
#include "mesksmsfactories.h"
#include "meskuistyle.h"
#include "post/meskpostsmswidget.h"
#include "tempstorage.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

class TestSmsStandIn : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        registerMeskMetaTypes();
        QApplication::setStyle(new CMeskUiStyle);
    }
    void columnAndDialog();
};

void TestSmsStandIn::columnAndDialog()
{
    PrivateBus bus;
    if (!bus.start()) {
        // Only a missing daemon is a reason to skip; one that does not start is a failure.
        if (!PrivateBus::isDaemonInstalled())
            QSKIP(qPrintable(bus.error()));
        QFAIL(qPrintable(bus.error()));
    }
    FakeModemManagerService modemManager;
    QVERIFY(modemManager.start(bus.address()));
    modemManager.addModem();
    modemManager.addMessage(QStringLiteral("+15550199"), QStringLiteral("Welcome to the stand-in modem"));
    modemManager.setAnswerDelay(1000);

    TempStorageRoot root;
    qputenv("LUMESK_MODEMMANAGER_BUS", bus.address().toUtf8());
    qputenv("LUMESK_CONTACTS_PATH", LUMESK_SAMPLE_CONTACTS);
    MeskNetworkBackends::setFactory([] {
        SMeskNetworkBackends backends;
        backends.network = std::make_unique<FakeNetworkBackend>();
        return backends;
    });
    CMeskProviderManager::setProviderFactories({});
    MeskSms::registerFactories();
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    {
        CMeskEngine engine;
        QVERIFY(engine.init());
        CMeskSmsColumnWidget column(&engine);
        column.resize(column.width(), 560);
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        // The welcome message is stored, shown, and taken off the SIM.
        QTRY_COMPARE_WITH_TIMEOUT(column.findChildren<CMeskSmsWidget*>().size(), 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(modemManager.messagePaths().isEmpty(), 30000);
        const QPixmap welcome = column.grab();
        QVERIFY2(welcome.save(dir.filePath(QStringLiteral("sms-standin-welcome.png"))),
                 qPrintable(
                     QStringLiteral("%1x%2 %3").arg(welcome.width()).arg(welcome.height()).arg(dir.path())));

        CMeskPostSmsWidget dialog(&engine, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* box = dialog.findChild<CMeskSmsContactCombo*>();
        QVERIFY(box);
        // The sample contacts are offered; the number picks Chidi Okafor's entry.
        QTRY_VERIFY_WITH_TIMEOUT(box->count() >= 4, 30000);
        dialog.setRecipient(QStringLiteral("+15550199"));
        QVERIFY2(box->currentText().contains(QLatin1String("Okafor")), qPrintable(box->currentText()));
        dialog.setText(QStringLiteral("See you at eight"));
        QVERIFY(dialog.grab().save(dir.filePath(QStringLiteral("sms-standin-dialog.png"))));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("sendButton")), Qt::LeftButton);

        // Sent, then answered: both in the column.
        QTRY_COMPARE_WITH_TIMEOUT(modemManager.sent().size(), 1, 30000);
        QCOMPARE(modemManager.sent().first().text, QStringLiteral("See you at eight"));
        QTRY_COMPARE_WITH_TIMEOUT(column.findChildren<CMeskSmsWidget*>().size(), 3, 30000);
        QTest::qWait(300);
        QVERIFY(column.grab().save(dir.filePath(QStringLiteral("sms-standin-answer.png"))));
    }
    MeskNetworkBackends::setFactory({});
    MeskSmsFactories::setSmsEngineFactory({});
    MeskSmsFactories::setContactsReaderFactory({});
    qunsetenv("LUMESK_MODEMMANAGER_BUS");
    qunsetenv("LUMESK_CONTACTS_PATH");
}

QTEST_MAIN(TestSmsStandIn)
#include "tst_smsstandin.moc"
