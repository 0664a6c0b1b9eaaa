// The web page widget over a fake browser, and the service setup wizard on it.

#include "fakebrowserbackend.h"
#include "meskdialogtitlebar.h"
#include "meskservicesetupwidget.h"
#include "meskuistyle.h"
#include "meskwebwidget.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Records every signal of a web widget, in order, as "<signal> <url>".
QStringList* recordSignals(CMeskWebWidget* web, QObject* context)
{
    auto* log = new QStringList;
    QObject::connect(context, &QObject::destroyed, [log] { delete log; });
    QObject::connect(web, &CMeskWebWidget::urlChangeRequested, context,
                     [log](const QString& url) { log->append(QStringLiteral("requested ") + url); });
    QObject::connect(web, &CMeskWebWidget::pageLoaded, context,
                     [log](const QString& url) { log->append(QStringLiteral("loaded ") + url); });
    QObject::connect(web, &CMeskWebWidget::pageLoadFailed, context,
                     [log](const QString& url) { log->append(QStringLiteral("failed ") + url); });
    QObject::connect(web, &CMeskWebWidget::statusTextChanged, context,
                     [log](const QString& text) { log->append(QStringLiteral("status ") + text); });
    return log;
}

// A wizard that records its virtual slots.
class RecordingWizard : public CMeskServiceSetupWidget
{
public:
    QStringList calls;
    void onStartSetup() override { calls.append(QStringLiteral("start")); }
    bool onHtmlPageRequested(const QString& url) override
    {
        calls.append(QStringLiteral("requested ") + url);
        return false;
    }
    void onHtmlPageLoaded(const QString& url) override { calls.append(QStringLiteral("loaded ") + url); }
    void onHtmlPageFailed(const QString& url) override { calls.append(QStringLiteral("failed ") + url); }

    QList<QWidget*> visiblePages() const
    {
        QList<QWidget*> pages;
        for (QWidget* page : {static_cast<QWidget*>(welcomePage()), static_cast<QWidget*>(errorPage()),
                              static_cast<QWidget*>(donePage()), static_cast<QWidget*>(webPage()),
                              static_cast<QWidget*>(waitingPage())}) {
            if (page->isVisibleTo(this))
                pages.append(page);
        }
        return pages;
    }
};

} // namespace

class TestMeskServiceSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void webWidgetSignals_data();
    void webWidgetSignals();
    void webWidgetWithoutBackend();
    void onePageAtATime();
    void pageButtons();
    void statusLine();
    void customStrip();

private:
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
};

void TestMeskServiceSetup::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
    m_browsers = std::make_unique<FakeBrowserBackendScope>();
}

void TestMeskServiceSetup::webWidgetSignals_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("expected");
    const QString a = QStringLiteral("http://a.example/");
    const QString b = QStringLiteral("http://b.example/");
    QTest::newRow("own navigation") << QStringList{"navigate " + a, "before " + a, "complete " + a}
                                    << QStringList{"loaded " + a};
    QTest::newRow("page starts B") << QStringList{"navigate " + a, "before " + a, "complete " + a,
                                                  "before " + b, "complete " + b}
                                   << QStringList{"loaded " + a, "requested " + b, "loaded " + b};
    QTest::newRow("A, B, back to A") << QStringList{"navigate " + a, "before " + a, "before " + b,
                                                    "before " + a}
                                     << QStringList{"requested " + b};
    QTest::newRow("failed load") << QStringList{"navigate " + a, "before " + a, "failed " + a}
                                 << QStringList{"failed " + a};
    QTest::newRow("status text") << QStringList{"status " + b} << QStringList{"status " + b};
}

void TestMeskServiceSetup::webWidgetSignals()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, expected);
    CMeskWebWidget web;
    QCOMPARE(FakeBrowserBackend::instances().size(), 1);
    FakeBrowserBackend* fake = FakeBrowserBackend::instances().first();
    QVERIFY(fake->silent);
    QCOMPARE(fake->widget()->parentWidget(), &web);
    QCOMPARE(fake->widget()->objectName(), QStringLiteral("MeskWebWidget"));
    QCOMPARE(fake->widget()->focusPolicy(), Qt::StrongFocus);
    web.resize(320, 200);
    web.show();
    QCOMPARE(fake->widget()->geometry(), QRect(0, 0, 320, 200));

    QStringList* log = recordSignals(&web, this);
    for (const QString& step : std::as_const(script)) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString url = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("navigate"))
            web.navigate(url);
        else if (verb == QLatin1String("before"))
            emit fake->beforeNavigate(url);
        else if (verb == QLatin1String("complete"))
            emit fake->navigateComplete(url);
        else if (verb == QLatin1String("failed"))
            emit fake->navigateFailed(url);
        else
            emit fake->statusText(url);
    }
    QCOMPARE(*log, expected);
    log->clear();
}

void TestMeskServiceSetup::webWidgetWithoutBackend()
{
    m_browsers.reset();
    {
        CMeskWebWidget web;
        QVERIFY(!web.backend());
        QVERIFY(web.findChildren<QWidget*>().isEmpty());
        QSignalSpy loaded(&web, &CMeskWebWidget::pageLoaded);
        QSignalSpy failed(&web, &CMeskWebWidget::pageLoadFailed);
        web.navigate(QStringLiteral("http://a.example/"));
        // Reported after navigate() returns, so the wizard can show its error page.
        QCOMPARE(failed.count(), 0);
        QVERIFY(failed.wait(30000));
        QCOMPARE(failed.takeFirst().value(0).toString(), QStringLiteral("http://a.example/"));
        QCOMPARE(loaded.count(), 0);
    }
    m_browsers = std::make_unique<FakeBrowserBackendScope>();
}

void TestMeskServiceSetup::onePageAtATime()
{
    RecordingWizard wizard;
    wizard.show();
    QVERIFY(wizard.visiblePages().isEmpty());
    QVERIFY(wizard.statusLabel()->isHidden());
    QVERIFY(wizard.bottomFrame());
    QCOMPARE(wizard.bottomFrame()->objectName(), QStringLiteral("bottomFrame"));
    QCOMPARE(wizard.setupTitleBar()->color(), CMeskDialogTitleBar::Gray);
    QCOMPARE(wizard.setupTitleBar()->title(), QStringLiteral("Service setup Wizard"));

    const QList<std::pair<std::function<void()>, QWidget*>> steps = {
        {[&] { wizard.showWelcomePage(QStringLiteral("welcome")); }, wizard.welcomePage()},
        {[&] { wizard.showWebPage(QStringLiteral("http://a.example/")); }, wizard.webPage()},
        {[&] { wizard.showErrorPage(QStringLiteral("error")); }, wizard.errorPage()},
        {[&] { wizard.showWaitingPage(QStringLiteral("not shown")); }, wizard.waitingPage()},
        {[&] { wizard.showDonePage(QStringLiteral("done")); }, wizard.donePage()},
    };
    for (const auto& [show, page] : steps) {
        show();
        QCOMPARE(wizard.visiblePages(), QList<QWidget*>{page});
    }
    QCOMPARE(wizard.donePage()->label()->text(), QStringLiteral("done"));
    QCOMPARE(FakeBrowserBackend::instances().first()->navigated, QStringList{"http://a.example/"});
    wizard.showWaitingPage(QStringLiteral("not shown"));
    QVERIFY(wizard.waitingPage()->animation()->isRunning());
    wizard.hideCurrentPage();
    QVERIFY(wizard.visiblePages().isEmpty());
    QVERIFY(!wizard.waitingPage()->animation()->isRunning());
}

void TestMeskServiceSetup::pageButtons()
{
    RecordingWizard wizard;
    wizard.showWelcomePage(QStringLiteral("welcome"));
    wizard.welcomePage()->button()->click();
    QCOMPARE(wizard.welcomePage()->button()->text(), QStringLiteral("Click here to get started!"));
    wizard.showErrorPage(QStringLiteral("error"));
    QCOMPARE(wizard.errorPage()->button()->text(), QStringLiteral("Try again"));
    wizard.errorPage()->button()->click();
    QCOMPARE(wizard.calls, (QStringList{"start", "start"}));

    // The web page's reports reach the virtual slots; a refused request changes nothing.
    FakeBrowserBackend* fake = FakeBrowserBackend::instances().first();
    wizard.calls.clear();
    wizard.showWebPage(QStringLiteral("http://a.example/"));
    emit fake->beforeNavigate(QStringLiteral("http://b.example/"));
    emit fake->navigateFailed(QStringLiteral("http://b.example/"));
    emit fake->navigateComplete(QStringLiteral("http://c.example/"));
    QCOMPARE(wizard.calls, (QStringList{"requested http://b.example/", "failed http://b.example/",
                                        "loaded http://c.example/"}));

    wizard.showDonePage(QStringLiteral("done"));
    QCOMPARE(wizard.donePage()->button()->text(), QStringLiteral("Close Wizard"));
    QTimer::singleShot(0, &wizard, [&] { wizard.donePage()->button()->click(); });
    QCOMPARE(wizard.exec(), int(QDialog::Accepted));
}

void TestMeskServiceSetup::statusLine()
{
    RecordingWizard wizard;
    wizard.show();
    FakeBrowserBackend* fake = FakeBrowserBackend::instances().first();
    wizard.showWelcomePage(QStringLiteral("welcome"));
    wizard.showConnectingPage(QStringLiteral("Facebook"));
    QCOMPARE(wizard.statusLabel()->text(), QStringLiteral("Connecting to Facebook, please wait... "));
    QVERIFY(wizard.statusLabel()->isVisible());
    QVERIFY(wizard.statusAnimation()->isVisible());
    QVERIFY(wizard.statusAnimation()->isRunning());
    QCOMPARE(wizard.visiblePages(), QList<QWidget*>{wizard.welcomePage()});

    wizard.showWebPage(QStringLiteral("http://a.example/"));
    QVERIFY(wizard.statusLabel()->isHidden());
    QVERIFY(wizard.statusAnimation()->isHidden());
    QVERIFY(!wizard.statusAnimation()->isRunning());

    emit fake->statusText(QStringLiteral("<b>http://b.example/</b>"));
    QCOMPARE(wizard.statusLabel()->text(), QStringLiteral("<b>http://b.example/</b> "));
    QCOMPARE(wizard.statusLabel()->textFormat(), Qt::PlainText);
    QVERIFY(wizard.statusLabel()->isHidden());
}

void TestMeskServiceSetup::customStrip()
{
    RecordingWizard wizard;
    wizard.show();
    QPointer<QLabel> first = new QLabel(QStringLiteral("first"));
    wizard.insertCustomPage(first);
    auto* second = new QLabel(QStringLiteral("second"));
    wizard.insertCustomPage(second);
    QVERIFY(first.isNull());
    QCOMPARE(wizard.customPage(), second);
    QCOMPARE(wizard.layout()->indexOf(second), 1);
    QCOMPARE(wizard.layout()->indexOf(wizard.setupTitleBar()), 0);
    QVERIFY(second->isVisible());
    wizard.resize(900, 600);
    wizard.layout()->activate();
    QCOMPARE(second->height(), 25);
    QCOMPARE(second->width(), wizard.width());
    QCOMPARE(second->palette().color(QPalette::Active, QPalette::Window), QColor(255, 255, 204));
    QCOMPARE(second->palette().color(QPalette::Inactive, QPalette::Window), QColor(255, 255, 204));
    wizard.removeCustomPage();
    QVERIFY(!wizard.customPage());
    QCOMPARE(wizard.layout()->count(), 7);
}

QTEST_MAIN(TestMeskServiceSetup)
#include "tst_meskservicesetup.moc"
