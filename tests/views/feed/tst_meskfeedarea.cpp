// The feed area on the real engine (fake providers 1 "Twitter", 2 "Facebook", 3 "Flickr", fake
// network and modem): the multi-column view, the banner and its ignore keys on the one settings
// store, and the controller turning connectivity, modem and service signals into banners.
#include "feed/meskcolumnwidget.h"
#include "feed/meskfeederrorwidget.h"
#include "feed/meskmultistreamview.h"
#include "feed/meskservicefeedsview.h"
#include "feed/mesksinglestreamview.h"
#include "feed/meskstreamview.h"
#include "mainwindow/meskbottombar.h"
#include "mesknetworkmanager.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"
#include "testengine.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {

QList<CMeskFeedErrorWidget*> banners(const QWidget* area)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return area->findChildren<CMeskFeedErrorWidget*>();
}

QStringList bannerTexts(const QWidget* area)
{
    QStringList texts;
    for (const CMeskFeedErrorWidget* banner : banners(area))
        texts.append(banner->text());
    texts.sort();
    return texts;
}

// The service id of the column holding the widget; 0 for the view's own banner box.
mid_t columnOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (const auto* column = qobject_cast<const IMeskColumnWidget*>(w))
            return column->serviceId();
    }
    return 0;
}

QVariant storedValue(const QString& name)
{
    return QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk")).value(name);
}

} // namespace

class TestMeskFeedArea : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void init();
    void cleanup();
    void multiColumns_data();
    void multiColumns();
    void bannerClose_data();
    void bannerClose();
    void noInternet();
    void networkAtLoad_data();
    void networkAtLoad();
    void serviceErrors_data();
    void serviceErrors();
    void modem_data();
    void modem();
    void warnings();
    void viewSwitches();
    void screenshots();

private:
    bool start(bool sms = true, int modemReadyState = -1, bool flickr = true);
    std::unique_ptr<TestEngine> m_env;
    std::unique_ptr<CMeskSettings> m_settings;
};

void TestMeskFeedArea::init()
{
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(1, QStringLiteral("Twitter"));
    m_env->addProvider(2, QStringLiteral("Facebook"));
}

void TestMeskFeedArea::cleanup()
{
    m_settings.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_env.reset();
}

bool TestMeskFeedArea::start(bool sms, int modemReadyState, bool flickr)
{
    m_env->addProvider(3, QStringLiteral("Flickr"), flickr);
    m_env->sms = sms;
    m_env->modemReadyState = modemReadyState;
    if (!m_env->init())
        return false;
    m_settings = std::make_unique<CMeskSettings>();
    return true;
}

void TestMeskFeedArea::multiColumns_data()
{
    QTest::addColumn<bool>("flickrOff");
    QTest::addColumn<int>("visible");
    QTest::addColumn<int>("scrollTo");
    QTest::addColumn<QList<mid_t>>("shown");
    QTest::addColumn<bool>("emptyShown");

    QTest::newRow("sms, 1, 2 at 3") << true << 3 << 0 << QList<mid_t>{7, 1, 2} << false;
    QTest::newRow("four at 2, past the end") << false << 2 << 5 << QList<mid_t>{2, 3} << false;
    QTest::newRow("four at 2, before the start") << false << 2 << -1 << QList<mid_t>{7, 1} << false;
    QTest::newRow("fewer than visible") << true << 4 << 1 << QList<mid_t>{7, 1, 2} << true;
}

void TestMeskFeedArea::multiColumns()
{
    QFETCH(bool, flickrOff);
    QFETCH(int, visible);
    QFETCH(int, scrollTo);
    QFETCH(QList<mid_t>, shown);
    QFETCH(bool, emptyShown);
    QVERIFY(start(true, -1, !flickrOff));

    CMeskMultiStreamView view(visible, m_env->engine());
    QCOMPARE(view.columnCount(), visible);
    view.setFilter(QStringLiteral("zz"));
    view.scrollColumns(scrollTo);
    QList<mid_t> visibleIds;
    for (IMeskColumnWidget* column : view.columns()) {
        if (!column->isHidden())
            visibleIds.append(column->serviceId());
    }
    QCOMPARE(visibleIds, shown);
    QCOMPARE(!view.emptyColumn()->isHidden(), emptyShown);
    // The filter reaches the hidden columns too.
    for (IMeskColumnWidget* column : view.columns()) {
        const auto* provider = qobject_cast<CMeskColumnWidget*>(column);
        if (provider)
            QCOMPARE(provider->streamView()->filterText(), QStringLiteral("zz"));
    }

    auto* stray = new QLabel;
    auto* facebook = new QLabel;
    view.insertTopWidget(9, stray);
    view.insertTopWidget(2, facebook);
    QCOMPARE(view.bannerBox()->indexOf(stray), 0);
    QCOMPARE(columnOf(facebook), mid_t(2));
}

void TestMeskFeedArea::bannerClose_data()
{
    QTest::addColumn<int>("warning"); // 0: setError(2)
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("key");

    QTest::newRow("warning 1 ticked") << 1 << true << "IgnoreCellularNetworkWarning";
    QTest::newRow("warning 2 ticked") << 2 << true << "IgnoreLowSignalWarning";
    QTest::newRow("warning 1 unticked") << 1 << false << "";
    QTest::newRow("error") << 0 << true << "";
}

void TestMeskFeedArea::bannerClose()
{
    QFETCH(int, warning);
    QFETCH(bool, tick);
    QFETCH(QString, key);
    QVERIFY(start());
    // An earlier save wrote key 14 = false; the store must not write it back later.
    m_settings->setValue(14, false);
    m_settings->saveQuietly();

    QWidget hiddenColumn; // the banner off screen: the box still counts as shown
    CMeskFeedErrorWidget banner(5, m_settings.get(), &hiddenColumn);
    if (warning)
        banner.setWarning(warning);
    else
        banner.setError(2);
    banner.ignoreCheckBox()->setChecked(tick);
    QVERIFY(banner.closeButton()->text().isEmpty());
    QCOMPARE(banner.closeButton()->toolButtonStyle(), Qt::ToolButtonIconOnly);

    QVariant storedAtClose;
    QList<bool> flags;
    connect(&banner, &CMeskFeedErrorWidget::close, this, [&](int id, bool ignore) {
        QCOMPARE(id, 5);
        flags.append(ignore);
        if (!key.isEmpty())
            storedAtClose = storedValue(key);
    });
    QTest::mouseClick(banner.closeButton(), Qt::LeftButton);
    QCOMPARE(flags, QList<bool>{!key.isEmpty()});
    if (!key.isEmpty())
        QCOMPARE(storedAtClose.toBool(), true);
    else
        QCOMPARE(storedValue(QStringLiteral("IgnoreLowSignalWarning")), QVariant());

    // Saving another pending key keeps what the banner wrote.
    m_settings->setValue(3, false);
    m_settings->save();
    QCOMPARE(storedValue(QStringLiteral("IgnoreCellularNetworkWarning")).toBool(), warning == 1 && tick);
}

void TestMeskFeedArea::noInternet()
{
    QVERIFY(start(false));
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    area.showSingleColumn();
    const QStringList none;
    const QStringList offline{CMeskTexts::errorText(2)};
    QCOMPARE(bannerTexts(&area), none);

    m_env->network()->setOnline(false);
    QTRY_VERIFY_WITH_TIMEOUT(!m_env->engine()->isInternetConnected(), 30000);
    emit m_env->engine()->internetDisconnected();
    emit m_env->engine()->internetDisconnected();
    QCOMPARE(bannerTexts(&area), offline);
    m_env->network()->setOnline(true);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), none, 30000);

    m_env->network()->setOnline(false);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), offline, 30000);
    QTest::mouseClick(banners(&area).constFirst()->closeButton(), Qt::LeftButton);
    QCOMPARE(bannerTexts(&area), none);
    emit m_env->engine()->internetDisconnected();
    QCOMPARE(bannerTexts(&area), offline);
}

void TestMeskFeedArea::networkAtLoad_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("medium");
    QTest::addColumn<bool>("columns");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("shown");

    const QStringList offline{QStringLiteral("internetDisconnected: offline, type 0"),
                              QStringLiteral("networkChanged: offline, type 0")};
    const QStringList mobile{QStringLiteral("networkChanged: online, type 3")};
    const QStringList noInternet{CMeskTexts::errorText(2)};
    const QStringList rates{CMeskTexts::warningText(1)};
    QTest::newRow("offline, single stream") << false << 1 << false << offline << noInternet;
    QTest::newRow("offline, columns") << false << 1 << true << offline << noInternet;
    QTest::newRow("3G, single stream") << true << 3 << false << mobile << rates;
    QTest::newRow("wired, columns") << true << 1 << true << QStringList() << QStringList();
}

// The system's network information loads once the window is up: the feed area is built on the
// engine's defaults (connected, wired) and catches up with what the load announces, once.
void TestMeskFeedArea::networkAtLoad()
{
    QFETCH(bool, online);
    QFETCH(int, medium);
    QFETCH(bool, columns);
    QFETCH(QStringList, announced);
    QFETCH(QStringList, shown);
    m_env->online = online;
    m_env->holdNetwork = true;
    QVERIFY(start(false));
    m_env->network()->setMedium(medium);
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    if (columns)
        area.showMultiColumn(3);
    else
        area.showSingleColumn();
    QCOMPARE(bannerTexts(&area), QStringList());

    // Each signal as the engine emits it (on the GUI thread), with what its getters answer then.
    CMeskEngine* engine = m_env->engine();
    QStringList arrived;
    const auto record = [&](auto signal, const char* name) {
        connect(
            engine, signal, &area,
            [&, name] {
                const QString state =
                    engine->isInternetConnected() ? QStringLiteral("online") : QStringLiteral("offline");
                const QString where =
                    QThread::currentThread() == thread() ? QString() : QStringLiteral(" off the GUI thread");
                arrived << QStringLiteral("%1: %2, type %3%4")
                               .arg(QLatin1String(name), state, QString::number(engine->networkType()),
                                    where);
            },
            Qt::DirectConnection);
    };
    record(&CMeskEngine::internetConnected, "internetConnected");
    record(&CMeskEngine::internetDisconnected, "internetDisconnected");
    record(&CMeskEngine::networkChanged, "networkChanged");
    // The worker's ready() arrives after whatever the load announced.
    bool loaded = false;
    connect(engine->findChild<CMeskNetworkManager*>(), &CMeskNetworkManager::ready, &area,
            [&] { loaded = true; });

    m_env->network()->release();
    QTRY_VERIFY_WITH_TIMEOUT(loaded, 30000);
    QCOMPARE(arrived, announced);
    QCOMPARE(bannerTexts(&area), shown);
}

void TestMeskFeedArea::serviceErrors_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("providerIcon");

    const QString none;
    const auto service = [](int code) {
        return CMeskTexts::serviceErrorText(QStringLiteral("Facebook"), code);
    };
    QTest::newRow("0") << 2 << QList<int>{0} << true << none << false;
    QTest::newRow("1") << 2 << QList<int>{1} << true << none << false;
    QTest::newRow("3") << 2 << QList<int>{3} << true << none << false;
    QTest::newRow("4") << 2 << QList<int>{4} << true << none << false;
    QTest::newRow("2 offline") << 2 << QList<int>{2} << false << none << false;
    QTest::newRow("2 online") << 2 << QList<int>{2} << true << service(2) << true;
    for (int code = 5; code <= 8; ++code)
        QTest::addRow("%d", code) << 2 << QList<int>{code} << true << service(code) << true;
    QTest::newRow("unknown id") << 9 << QList<int>{6} << true << CMeskTexts::errorText(6) << false;
    QTest::newRow("6 then 7") << 2 << QList<int>{6, 7} << true << service(7) << true;
}

void TestMeskFeedArea::serviceErrors()
{
    QFETCH(int, id);
    QFETCH(QList<int>, codes);
    QFETCH(bool, online);
    QFETCH(QString, text);
    QFETCH(bool, providerIcon);
    QPixmap icon(16, 16);
    icon.fill(Qt::magenta);
    QVERIFY(start(false));
    m_env->provider(2)->setIcon(icon);
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    area.showMultiColumn(3);
    if (!online) {
        m_env->network()->setOnline(false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_env->engine()->isInternetConnected(), 30000);
    }
    for (int code : codes)
        emit m_env->engine()->serviceError(mid_t(id), TMediaError(code));

    QList<CMeskFeedErrorWidget*> found;
    for (CMeskFeedErrorWidget* banner : banners(&area)) {
        if (banner->text() != CMeskTexts::errorText(2))
            found.append(banner);
    }
    QCOMPARE(found.size(), text.isEmpty() ? 0 : 1);
    if (text.isEmpty())
        return;
    CMeskFeedErrorWidget* banner = found.constFirst();
    QCOMPARE(banner->text(), text);
    const QImage shown = banner->iconLabel()->pixmap().toImage();
    QCOMPARE(shown.pixelColor(8, 8) == QColor(Qt::magenta), providerIcon);
    QCOMPARE(columnOf(banner), providerIcon ? mid_t(2) : mid_t(0));

    emit m_env->engine()->serviceUpdateStarted(mid_t(id));
    QCOMPARE(banners(&area).size(), 0);
}

void TestMeskFeedArea::modem_data()
{
    QTest::addColumn<int>("readyState"); // -1: the device goes away; -2: radio off
    QTest::addColumn<int>("cellular");
    QTest::addColumn<int>("code");

    QTest::newRow("ready") << 1 << 5 << 0;
    QTest::newRow("removed") << -1 << 0 << 10;
    QTest::newRow("radio off") << -2 << 1 << 11;
    QTest::newRow("no SIM") << 2 << 2 << 12;
    QTest::newRow("PIN") << 6 << 4 << 13;
    QTest::newRow("SIM not usable") << 5 << 3 << 10;
}

void TestMeskFeedArea::modem()
{
    QFETCH(int, readyState);
    QFETCH(int, cellular);
    QFETCH(int, code);
    QVERIFY(start(true, 1));
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    area.showMultiColumn(4);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularState(), 5, 30000);
    if (readyState == -1)
        m_env->modem()->setDevicePresent(false);
    else if (readyState == -2)
        m_env->modem()->setRadio(0);
    else
        m_env->modem()->setReadyState(readyState);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularState(), cellular, 30000);

    // The view hears of the new state through a queued signal.
    const QStringList expected = code ? QStringList{CMeskTexts::errorText(code)} : QStringList();
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), expected, 30000);
    if (code)
        QCOMPARE(columnOf(banners(&area).constFirst()), MeskProvider::SmsColumn);
}

void TestMeskFeedArea::warnings()
{
    QVERIFY(start(true, 1));
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    area.showMultiColumn(4);
    const QStringList none;
    const QStringList rates{CMeskTexts::warningText(1)};
    const QStringList weak{CMeskTexts::warningText(2)};

    // Operator rates over mobile broadband; unticked it comes back, ticked it stays away.
    m_env->network()->setMedium(3);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), rates, 30000);
    QCOMPARE(columnOf(banners(&area).constFirst()), mid_t(0));
    QTest::mouseClick(banners(&area).constFirst()->closeButton(), Qt::LeftButton);
    QCOMPARE(bannerTexts(&area), none);
    emit m_env->engine()->networkChanged();
    QCOMPARE(bannerTexts(&area), rates);
    banners(&area).constFirst()->ignoreCheckBox()->setChecked(true);
    QTest::mouseClick(banners(&area).constFirst()->closeButton(), Qt::LeftButton);
    emit m_env->engine()->networkChanged();
    QCOMPARE(bannerTexts(&area), none);

    // Low signal over mobile broadband: for no column. Key 15 is not set.
    m_env->modem()->setSignalStrength(9);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), weak, 30000);
    QCOMPARE(columnOf(banners(&area).constFirst()), mid_t(0));
    m_env->modem()->setSignalStrength(25);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area), none, 30000);

    // Over a LAN with key 14 set: none; with it cleared: in the text-message column.
    m_env->network()->setMedium(1);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->networkType(), 1, 30000);
    m_env->modem()->setSignalStrength(9);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularSignal(), 1, 30000);
    QCoreApplication::processEvents();
    QCOMPARE(bannerTexts(&area), none);

    // Restoring the defaults clears key 14: the warnings are back.
    m_settings->setValue(14, false);
    m_settings->saveQuietly();
    emit m_env->engine()->cellularSignalChanged();
    QCOMPARE(bannerTexts(&area), weak);
    QCOMPARE(columnOf(banners(&area).constFirst()), MeskProvider::SmsColumn);
    m_env->network()->setMedium(3);
    QTRY_COMPARE_WITH_TIMEOUT(bannerTexts(&area).size(), 2, 30000);
    QVERIFY(bannerTexts(&area).contains(CMeskTexts::warningText(1)));
}

void TestMeskFeedArea::viewSwitches()
{
    QVERIFY(start(true, 1));
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    // No view yet: nothing is shown and nothing crashes.
    m_env->network()->setOnline(false);
    QTRY_VERIFY_WITH_TIMEOUT(!m_env->engine()->isInternetConnected(), 30000);
    emit m_env->engine()->serviceError(2, TMediaError(6));
    QCOMPARE(banners(&area).size(), 0);

    // Single mode: the no-Internet banner; a service's banner goes with its deactivation.
    area.showSingleColumn();
    QCOMPARE(bannerTexts(&area), QStringList{CMeskTexts::errorText(2)});
    emit m_env->engine()->serviceError(2, TMediaError(6));
    QCOMPARE(banners(&area).size(), 2);
    emit m_env->engine()->serviceDeactivated(2);
    QCOMPARE(bannerTexts(&area), QStringList{CMeskTexts::errorText(2)});

    // Mobile broadband, no SIM, low signal, a service error: the switch keeps what the
    // engine's state says and drops the service and low-signal banners. (Offline the network
    // layer reports no connection type, so the rates warning needs a connection.)
    area.showMultiColumn(2);
    QCOMPARE(bannerTexts(&area), QStringList{CMeskTexts::errorText(2)});
    area.showSingleColumn();
    m_env->network()->setOnline(true);
    m_env->network()->setMedium(3);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->networkType(), 3, 30000);
    m_env->modem()->setReadyState(2);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularState(), 2, 30000);
    m_env->modem()->setSignalStrength(9);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularSignal(), 1, 30000);
    emit m_env->engine()->serviceError(1, TMediaError(6));
    QTRY_COMPARE_WITH_TIMEOUT(banners(&area).size(), 4, 30000);
    area.showMultiColumn(2);
    QStringList expected{CMeskTexts::warningText(1), CMeskTexts::errorText(12)};
    expected.sort();
    QCOMPARE(bannerTexts(&area), expected);
    emit m_env->engine()->serviceUpdateStarted(1);
    QCOMPARE(bannerTexts(&area), expected);

    // A filter set before an activation applies to the rebuilt view.
    area.setFilter(QStringLiteral("zz"));
    const int columns = int(area.multiStreamView()->columns().size());
    area.columnScroller()->setCurrentColumn(1);
    emit m_env->engine()->serviceActivated(3);
    CMeskMultiStreamView* view = area.multiStreamView();
    QCOMPARE(view->columnCount(), 2);
    QCOMPARE(int(view->columns().size()), columns);
    QCOMPARE(area.columnScroller()->currentColumn(), 0);
    for (IMeskColumnWidget* column : view->columns()) {
        if (auto* provider = qobject_cast<CMeskColumnWidget*>(column))
            QCOMPARE(provider->streamView()->filterText(), QStringLiteral("zz"));
    }
}

void TestMeskFeedArea::screenshots()
{
    QList<SMediaItem> items;
    for (mid_t provider : {1, 2, 3}) {
        for (int i = 0; i < 3; ++i)
            items << TestEngine::event(
                provider, TestEngine::now().addSecs(-900 * (i + 1)),
                QStringLiteral("Something new from service %1, item %2").arg(provider).arg(i));
    }
    QVERIFY(m_env->seedItems(items));
    QVERIFY(start(true, 2));
    const QList<QColor> colours{QColor(64, 153, 255), QColor(59, 89, 152), QColor(255, 0, 132)};
    for (mid_t provider : {1, 2, 3}) {
        QPixmap logo(16, 16);
        logo.fill(colours.at(int(provider) - 1));
        m_env->provider(provider)->setIcon(logo);
    }
    CMeskServiceFeedsView area(m_env->engine(), m_settings.get());
    m_env->network()->setOnline(false);
    QTRY_VERIFY_WITH_TIMEOUT(!m_env->engine()->isInternetConnected(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularState(), 2, 30000);
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));

    area.showSingleColumn();
    area.resize(380, 640);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QVERIFY(area.grab().save(dir.filePath(QStringLiteral("feed-area-single.png"))));
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));

    m_env->network()->setOnline(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_env->engine()->isInternetConnected(), 30000);
    m_env->modem()->setReadyState(1);
    QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->cellularState(), 5, 30000);
    area.showMultiColumn(3);
    area.columnScroller()->setCurrentColumn(1);
    emit m_env->engine()->serviceError(2, TMediaError(6));
    area.resize(3 * 360 + 8, 640);
    QCoreApplication::processEvents();
    QVERIFY(area.grab().save(dir.filePath(QStringLiteral("feed-area-multi.png"))));
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));
}

QTEST_MAIN(TestMeskFeedArea)
#include "tst_meskfeedarea.moc"
