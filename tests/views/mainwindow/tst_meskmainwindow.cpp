// The main window on the real engine over fakes: first run and welcome page, column modes,
// geometry, the settings view pausing the updates, the one settings store, resume, Alt+Space,
// the welcome picture and the debug tools.
#include "fakeautostart.h"
#include "fakeitemwidget.h"
#include "fakemediaitems.h"
#include "fakepowerevents.h"
#include "feed/meskfeederrorwidget.h"
#include "feed/meskmultistreamview.h"
#include "feed/meskservicefeedsview.h"
#include "filesizelimit.h"
#include "imediaposting.h"
#include "mainwindow/meskbottombar.h"
#include "mainwindow/meskdebugtools.h"
#include "mainwindow/meskmaintitlebar.h"
#include "mainwindow/meskmainwindow.h"
#include "mainwindow/mesktoolbar.h"
#include "mainwindow/meskwelcomeview.h"
#include "media/meskdeepdiveview.h"
#include "meskitemwidgets.h"
#include "meskmessagebox.h"
#include "mesksmallwidgets.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "post/meskpostsmswidget.h"
#include "post/meskpostupdatewidget.h"
#include "settings/mesksettings.h"
#include "settings/mesksettingswidget.h"
#include "style/quorimages.h"
#include "testengine.h"
#include "widgets/quorbuttons.h"
#include "widgets/quoroptiongroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <memory>
#include <optional>

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
}

QPushButton* button(QWidget* parent, const QString& text)
{
    for (QPushButton* b : parent->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

class TestMeskMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }
    void init()
    {
        m_power = std::make_unique<FakePowerEventsScope>();
        m_autostart = std::make_unique<FakeAutostartScope>();
        m_env = std::make_unique<TestEngine>();
    }
    void cleanup()
    {
        m_env.reset();
        m_autostart.reset();
        m_power.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void firstRunAndDebugTools_data();
    void firstRunAndDebugTools();
    void welcomeOpensServices();
    void columnModes_data();
    void columnModes();
    void geometry_data();
    void geometry();
    void staysOnScreen_data();
    void staysOnScreen();
    void settingsPauseUpdates_data();
    void settingsPauseUpdates();
    void oneSettingsStore();
    void resumeReloads();
    void filterFollowsTheBox();
    void altSpaceOpensSystemMenu();
    void welcomePictureSurvivesEmptySize();
    void postDialogsFollowWindow_data();
    void postDialogsFollowWindow();
    void mediaBrowserAndLinks();
    void openFailureSaysSo_data();
    void openFailureSaysSo();
    void screenshots_data();
    void screenshots();

public slots:
    void openUrl(const QUrl& url) { m_urls.append(url); }

private:
    QTimer* timer() const { return m_env->engine()->findChild<QTimer*>(QStringLiteral("updateTimer")); }
    void start(bool provider = true)
    {
        if (provider)
            m_env->addProvider(2, QStringLiteral("Facebook"));
        store().setValue(CMeskSettings::keyName(16), false);
        QVERIFY(m_env->init());
    }

    std::unique_ptr<FakePowerEventsScope> m_power;
    std::unique_ptr<FakeAutostartScope> m_autostart;
    std::unique_ptr<TestEngine> m_env;
    QList<QUrl> m_urls;
};

void TestMeskMainWindow::firstRunAndDebugTools_data()
{
    QTest::addColumn<bool>("flag");
    QTest::addColumn<int>("providers");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("online");
    QTest::newRow("first run") << true << 0 << 0 << true;
    QTest::newRow("flag, a provider") << true << 1 << 0 << true;
    QTest::newRow("flag, a message") << true << 0 << 1 << true;
    QTest::newRow("no flag") << false << 0 << 0 << true;
    QTest::newRow("no flag, provider offline") << false << 1 << 0 << false;
}

void TestMeskMainWindow::firstRunAndDebugTools()
{
    QFETCH(bool, flag);
    QFETCH(int, providers);
    QFETCH(int, messages);
    QFETCH(bool, online);
    if (providers)
        m_env->addProvider(2, QStringLiteral("Facebook"));
    if (messages) {
        QList<SSmsMessage> list{TestEngine::message(1, QStringLiteral("+358401234567"), QStringLiteral("hi"),
                                                    TestEngine::day(0))};
        QVERIFY(m_env->seedMessages(list));
    }
    m_env->online = online;
    store().setValue(CMeskSettings::keyName(16), flag);
    QVERIFY(m_env->init());

    if (providers) {
        QList<SMediaItem> items{TestEngine::event(2, TestEngine::day(0))};
        QVERIFY(m_env->seedItems(items));
    }
    auto window = std::make_unique<CMeskMainWindow>(m_env->engine());
    const bool firstRun = flag && !providers && !messages;
    QCOMPARE(window->welcomeView() != nullptr, firstRun);
    QCOMPARE(timer()->isActive(), !firstRun);
    QCOMPARE(CMeskSettings().value(16).toBool(), firstRun);
    if (firstRun) {
        QVERIFY(!window->toolBar()->isEnabled());
        QVERIFY(!window->bottomBar()->isEnabled());
        QVERIFY(window->feedsView()->isHidden());
        QVERIFY(window->settingsWidget()->isHidden());
        // Centred to the pixel (an odd size leaves half a pixel).
        const QPointF offset =
            QRectF(window->geometry()).center() - QRectF(window->screen()->availableGeometry()).center();
        QVERIFY2(qAbs(offset.x()) <= 0.5 && qAbs(offset.y()) <= 0.5,
                 qPrintable(QStringLiteral("%1, %2").arg(offset.x()).arg(offset.y())));
        // Nothing is built behind the welcome view (its stream comes when the view closes).
        QVERIFY(!window->feedsView()->singleStreamView());
        // The welcome text answers size questions as a plain word-wrapped label with its text would.
        const QLabel* text = window->welcomeView()->findChild<QLabel*>();
        QVERIFY(text);
        QLabel plain(text->text());
        plain.setWordWrap(true);
        plain.setFont(text->font());
        plain.ensurePolished();
        for (const int width : {120, 318, 560, 900})
            QCOMPARE(text->heightForWidth(width), plain.heightForWidth(width));
        QCOMPARE(text->sizeHint(), plain.sizeHint());
        return;
    }

    QMetaObject::invokeMethod(window.get(), "_onShowDebugWindow");
    QMetaObject::invokeMethod(window.get(), "_onShowDebugWindow");
    const auto tools = window->findChildren<CMeskDebugToolsWidget*>();
    QCOMPARE(tools.size(), 1);
    QVERIFY(tools.first()->isVisible());
    QCOMPARE(tools.first()->windowType(), Qt::Tool);

    const int before = providers ? m_env->provider(2)->updateCalls : 0;
    button(tools.first(), QStringLiteral("Get updates"))->click();
    if (providers)
        QCOMPARE(m_env->provider(2)->updateCalls, before + (online ? 1 : 0));
    QMetaObject::invokeMethod(window.get(), "_onUpdateNow");
    if (providers)
        QCOMPARE(m_env->provider(2)->updateCalls, before + (online ? 2 : 0));

    button(tools.first(), QStringLiteral("Delete Items"))->click();
    QVERIFY(m_env->engine()->mediaEvents().isEmpty());
    QVERIFY(m_env->engine()->serviceUsers().isEmpty());

    window->close();
    QVERIFY(!tools.first()->isVisible());
}

void TestMeskMainWindow::welcomeOpensServices()
{
    QVERIFY(m_env->init());
    CMeskMainWindow window(m_env->engine());
    QVERIFY(window.welcomeView());
    QPointer<CMeskWelcomeView> welcome = window.welcomeView();
    QVERIFY(!window.feedsView()->singleStreamView());
    window.welcomeView()->findChild<CQuorGradientButton*>()->click();
    QVERIFY(welcome.isNull());
    QVERIFY(window.feedsView()->singleStreamView());
    QVERIFY(window.toolBar()->isEnabled() == false); // the settings are shown: toolbar off until they close
    QVERIFY(window.bottomBar()->isEnabled());
    QCOMPARE(store().value(CMeskSettings::keyName(16)).toBool(), false);
    QVERIFY(!window.settingsWidget()->isHidden());
    QVERIFY(window.feedsView()->isHidden());
    QVERIFY(!timer()->isActive());

    window.bottomBar()->saveButton()->click();
    QVERIFY(!window.feedsView()->isHidden());
    QVERIFY(window.toolBar()->isEnabled());
    QVERIFY(timer()->isActive());
}

void TestMeskMainWindow::columnModes_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("width");
    QTest::newRow("absent") << QVariant() << 368;
    QTest::newRow("0") << QVariant(0) << 368;
    QTest::newRow("2") << QVariant(2) << 368;
    QTest::newRow("1") << QVariant(1) << 1088;
}

void TestMeskMainWindow::columnModes()
{
    QFETCH(QVariant, stored);
    QFETCH(int, width);
    start();
    if (stored.isValid())
        store().setValue(CMeskSettings::keyName(7), stored);
    CMeskMainWindow window(m_env->engine());
    QCOMPARE(window.width(), width);
    QCOMPARE(window.minimumWidth(), window.maximumWidth());
    QCOMPARE(CMeskSettings().value(7).toInt(), width == 1088 ? 1 : 0);
    if (width == 1088)
        return;

    window.toolBar()->filterBox()->findChild<QLineEdit*>()->setText(QStringLiteral("abc"));
    window.bottomBar()->filterBox()->findChild<QLineEdit*>()->setText(QStringLiteral("abc"));
    emit window.bottomBar()->multiColumnMode();
    QCOMPARE(window.width(), 1088);
    QCOMPARE(store().value(CMeskSettings::keyName(7)).toInt(), 1);
    QVERIFY(window.toolBar()->filterBox()->findChild<QLineEdit*>()->text().isEmpty());
    QVERIFY(window.bottomBar()->filterBox()->findChild<QLineEdit*>()->text().isEmpty());
}

void TestMeskMainWindow::geometry_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<bool>("restored");
    QTest::newRow("fits") << 600 << QPoint(120, 140) << true;
    QTest::newRow("min height, x 0") << 500 << QPoint(0, 140) << false;
    QTest::newRow("below min, y 0") << 499 << QPoint(120, 0) << false;
    QTest::newRow("desk height, x<0") << 800 << QPoint(-5, 140) << false;
    QTest::newRow("too high, x beyond") << 900 << QPoint(1600, 140) << false;
}

void TestMeskMainWindow::geometry()
{
    QFETCH(int, height);
    QFETCH(QPoint, pos);
    QFETCH(bool, restored);
    start();
    store().setValue(CMeskSettings::keyName(6), height);
    store().setValue(CMeskSettings::keyName(5), pos);
    auto window = std::make_unique<CMeskMainWindow>(m_env->engine());
    QCOMPARE(window->height(), restored ? height : 500);
    QCOMPARE(window->pos() == pos, restored);
    QCOMPARE(window->maximumHeight(), 800);

    window->move(150, 160);
    window->resize(window->width(), 620);
    window.reset();
    CMeskSettings fresh;
    QCOMPARE(fresh.value(6).toInt(), 620);
    QCOMPARE(fresh.value(5).toPoint(), QPoint(150, 160));
}

void TestMeskMainWindow::staysOnScreen_data()
{
    QTest::addColumn<QPoint>("pos"); // where the window is, or was stored
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("columns"); // whole columns the screen holds
    QTest::newRow("centred") << QPoint(616, 150) << 500 << 3;
    QTest::newRow("at the right edge") << QPoint(1500, 150) << 500 << 3;
    QTest::newRow("at the bottom") << QPoint(200, 700) << 600 << 3;
    QTest::newRow("bottom right corner") << QPoint(1590, 790) << 700 << 3;
    QTest::newRow("narrow screen") << QPoint(2300, 150) << 500 << 2;
    QTest::newRow("narrow screen, right bottom") << QPoint(2790, 700) << 700 << 2;
}

// After the switch to columns and after a restore the whole window lies inside its own
// screen's available area, with as many whole columns as that screen holds.
void TestMeskMainWindow::staysOnScreen()
{
    QFETCH(QPoint, pos);
    QFETCH(int, height);
    QFETCH(int, columns);
    QCOMPARE(QGuiApplication::screens().size(), 2); // the test's screens: side by side, apart
    const QRect area = QGuiApplication::screenAt(pos)->availableGeometry();
    const int column = 360;
    m_env->addProvider(1, QStringLiteral("Twitter"));
    m_env->sms = true; // three columns in all
    start();
    const auto inside = [&area](const QWidget& w) {
        return area.contains(w.frameGeometry()) ? QString()
                                                : QStringLiteral("%1,%2 %3x%4 is outside")
                                                      .arg(w.x())
                                                      .arg(w.y())
                                                      .arg(w.width())
                                                      .arg(w.height());
    };
    {
        store().setValue(CMeskSettings::keyName(7), 0);
        CMeskMainWindow window(m_env->engine());
        window.resize(window.width(), height);
        window.move(pos);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        emit window.bottomBar()->multiColumnMode();
        QCOMPARE(window.width(), columns * column + 8);
        QCOMPARE(window.feedsView()->multiStreamView()->columnCount(), columns);
        auto* scroller = window.feedsView()->findChild<CMeskColumnHScroll*>();
        scroller->setCurrentColumn(1); // the scroller reaches the columns that do not fit
        QCOMPARE(scroller->currentColumn(), 3 - columns);
        QVERIFY2(inside(window).isEmpty(), qPrintable(inside(window)));
        // Moved no further than needed.
        QCOMPARE(window.x(), std::min(pos.x(), area.right() + 1 - window.width()));
        QCOMPARE(window.y(), std::min(pos.y(), area.bottom() + 1 - window.height()));
        // Stored where the user left it, hanging off the screen.
        window.hide();
        window.move(pos);
    }
    // Restored in column mode at that place: inside again.
    QCOMPARE(store().value(CMeskSettings::keyName(5)).toPoint(), pos);
    CMeskMainWindow restored(m_env->engine());
    QCOMPARE(restored.width(), columns * column + 8);
    QVERIFY2(inside(restored).isEmpty(), qPrintable(inside(restored)));
    QCOMPARE(restored.height(), height);
}

void TestMeskMainWindow::settingsPauseUpdates_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("full"); // the settings file cannot grow at the first Save
    QTest::newRow("cancel") << false << false;
    QTest::newRow("save") << true << false;
    QTest::newRow("save, the disk full at first") << true << true;
}

void TestMeskMainWindow::settingsPauseUpdates()
{
    QFETCH(bool, save);
    QFETCH(bool, full);
    start();
    CMeskMainWindow window(m_env->engine());
    emit window.bottomBar()->settingsButton();
    QVERIFY(!timer()->isActive());
    QVERIFY(!window.toolBar()->isEnabled());

    CMeskSettings* settings = window.findChild<CMeskSettings*>();
    QSignalSpy changed(settings, &CMeskSettings::valueChanged);
    settings->setValue(1, true);
    if (full) {
        // Told in a box over the settings, which stay open; the file keeps what it held.
        QFile file(CMeskSettings::filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        std::optional<FileSizeLimit> limit(std::in_place, before.size());
        QVERIFY(limit->isSet());
        QStringList told;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&told, &limit] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                limit.reset();
                told << box->text();
                box->accept();
            }
        });
        watcher.start(10);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^CMeskSettings: ")));
        window.bottomBar()->saveButton()->click();
        limit.reset();
        QCOMPARE(told,
                 QStringList{QStringLiteral("Velto Lumesk could not save its settings in the file \"%1\".")
                                 .arg(QDir::toNativeSeparators(file.fileName()))});
        QVERIFY(!timer()->isActive());
        QVERIFY(!window.settingsWidget()->isHidden());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();
    }
    if (save)
        window.bottomBar()->saveButton()->click();
    else
        window.bottomBar()->cancelButton()->click();
    QVERIFY(timer()->isActive());
    QVERIFY(window.settingsWidget()->isHidden());
    QCOMPARE(settings->value(1).toBool(), save);
    QCOMPARE(store().value(CMeskSettings::keyName(1)).toBool(), save);
    // Every Save announces the choice.
    QCOMPARE(changed.count(QList<QVariant>{1}), save ? (full ? 2 : 1) : 0);
}

void TestMeskMainWindow::oneSettingsStore()
{
    start();
    CMeskMainWindow window(m_env->engine());
    window.show();
    m_env->network()->setMedium(3);
    CMeskFeedErrorWidget* banner = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((banner = window.findChild<CMeskFeedErrorWidget*>()) != nullptr, 30000);
    QCOMPARE(window.findChildren<CMeskSettings*>().size(), 1);
    banner->ignoreCheckBox()->setChecked(true);
    banner->closeButton()->click();
    QVERIFY(window.findChild<CMeskSettings*>()->value(14).toBool());
}

void TestMeskMainWindow::resumeReloads()
{
    start();
    CMeskMainWindow window(m_env->engine());
    window.show();
    QCOMPARE(FakePowerEvents::instances().size(), 1);
    const int before = window.feedsView()->findChildren<QWidget*>().size();
    QList<SMediaItem> items{TestEngine::event(2, TestEngine::day(0), QStringLiteral("behind the back"))};
    QVERIFY(m_env->seedItems(items));
    QCOMPARE(m_env->engine()->mediaEvents().size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(window.feedsView()->findChildren<QWidget*>().size(), before);
    FakePowerEvents::instances().first()->resume();
    QTRY_VERIFY_WITH_TIMEOUT(window.feedsView()->findChildren<QWidget*>().size() > before, 30000);
}

// What the filter box shows is what the feeds apply: through column switches, a reload, and items
// that arrive while a filter is in force.
void TestMeskMainWindow::filterFollowsTheBox()
{
    m_env->addProvider(2, QStringLiteral("Facebook"));
    QList<SMediaItem> items{TestEngine::event(2, TestEngine::day(0), QStringLiteral("apple pie")),
                            TestEngine::event(2, TestEngine::day(0), QStringLiteral("banana")),
                            TestEngine::event(2, TestEngine::day(2), QStringLiteral("cherry"))};
    QVERIFY(m_env->seedItems(items));
    start(false);
    CMeskMainWindow window(m_env->engine());
    window.show();
    const auto shown = [&window] {
        QStringList texts;
        for (FakeItemWidget* item : window.feedsView()->findChildren<FakeItemWidget*>())
            if (item->isVisibleTo(window.feedsView()))
                texts << item->mediaItem().content;
        texts.sort();
        return texts;
    };
    const QStringList all{"apple pie", "banana", "cherry"};
    QLineEdit* single = window.bottomBar()->filterBox()->lineEdit();
    QLineEdit* multi = window.toolBar()->filterBox()->lineEdit();
    const auto filter = [](QLineEdit* box, const QString& text) {
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    };

    filter(single, QStringLiteral("apple"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringList{"apple pie"}, 30000);
    emit window.bottomBar()->multiColumnMode();
    QVERIFY(multi->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), all, 30000);
    filter(multi, QStringLiteral("apple"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringList{"apple pie"}, 30000);
    emit window.bottomBar()->singleColumnMode();
    QVERIFY(single->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), all, 30000);

    // Return in the emptied box clears the filter.
    filter(single, QStringLiteral("apple"));
    filter(single, QString());
    QTRY_COMPARE_WITH_TIMEOUT(shown(), all, 30000);

    // A reload keeps the filter the box shows.
    filter(single, QStringLiteral("apple"));
    FakePowerEvents::instances().first()->resume();
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QStringList{"apple pie"}, 30000);
    QCOMPARE(single->text(), QStringLiteral("apple"));

    // Arrivals: a match shows, in a day hidden until now; the other does not.
    SMediaItem match = TestEngine::event(2, TestEngine::day(2), QStringLiteral("apple tart"));
    match.id = 1001;
    SMediaItem other = TestEngine::event(2, TestEngine::day(0), QStringLiteral("date"));
    other.id = 1002;
    m_env->provider(2)->emitMediaItemAdded(match);
    m_env->provider(2)->emitMediaItemAdded(other);
    QTRY_COMPARE_WITH_TIMEOUT(window.feedsView()->findChildren<FakeItemWidget*>().size(), 5, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), (QStringList{"apple pie", "apple tart"}), 30000);
}

void TestMeskMainWindow::altSpaceOpensSystemMenu()
{
    start();
    CMeskMainWindow window(m_env->engine());
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCursor::setPos(300, 300);
    QTest::keyClick(&window, Qt::Key_Space, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(window.titleBar()->systemMenu()->isVisible(), 30000);
    QVERIFY(!window.titleBar()->restoreAction()->isEnabled());
    window.titleBar()->systemMenu()->hide();
}

void TestMeskMainWindow::welcomePictureSurvivesEmptySize()
{
    QWidget host;
    host.resize(368, 600);
    auto* view = new CMeskWelcomeView(&host);
    view->resize(368, 600);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    view->resize(0, 0);
    QCoreApplication::processEvents();
    view->resize(368, 600);
    QCoreApplication::processEvents();
    const QPixmap original = QuorImages::pixmap(QStringLiteral(":/meskstyle/images/welcomescreen.png"));
    QVERIFY(!original.isNull());
    const qreal ratio = original.devicePixelRatio();
    QPixmap expected =
        original.scaled(QSize(368, 600) * ratio, Qt::KeepAspectRatioByExpanding, Qt::FastTransformation);
    expected.setDevicePixelRatio(ratio);
    QPixmap reference(QSize(368, 600) * ratio);
    reference.setDevicePixelRatio(ratio);
    reference.fill(Qt::black);
    {
        QPainter p(&reference);
        p.drawPixmap(0, 0, expected);
    }
    const QImage grabbed = view->grab(QRect(0, 0, 25, 600)).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage wanted = reference.copy(QRect(QPoint(0, 0), QSize(25, 600) * ratio))
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(grabbed.size(), wanted.size());
    QCOMPARE(grabbed, wanted);
}

void TestMeskMainWindow::postDialogsFollowWindow_data()
{
    QTest::addColumn<bool>("multi");
    QTest::newRow("single") << false;
    QTest::newRow("multi") << true;
}

void TestMeskMainWindow::postDialogsFollowWindow()
{
    QFETCH(bool, multi);
    m_env->addProvider(1, QStringLiteral("Twitter"));
    start();
    store().setValue(CMeskSettings::keyName(7), multi ? 1 : 0);
    CMeskMainWindow window(m_env->engine());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CMeskPostUpdateWidget* update = window.postUpdateDialog();
    CMeskPostSmsWidget* sms = window.postSmsDialog();
    QVERIFY(update->isHidden() && sms->isHidden());
    QCOMPARE(update->windowModality(), Qt::ApplicationModal);
    const auto anchor = [&] { return window.toolBar()->mapToGlobal(QPoint(0, 0)) + QPoint(10, 5); };
    const QPoint smsShift = multi ? QPoint(100, 0) : QPoint();

    emit window.feedsView()->postUpdateAction(1, QStringLiteral("RT @ann"));
    QVERIFY(update->isVisible());
    IMediaUpdateManager* manager = m_env->engine()->updateManager();
    for (IMediaItemProvider* provider : manager->providers())
        QCOMPARE(manager->isProviderSelected(provider->providerId()), provider->providerId() == 1);
    QCOMPARE(update->text(), QStringLiteral("RT @ann"));
    QCOMPARE(update->size(), QSize(340, 250));
    QCOMPARE(update->pos(), anchor());

    emit window.feedsView()->postSmsAction(QStringLiteral("+4511"), QStringLiteral("hi"));
    QVERIFY(update->isHidden());
    QVERIFY(sms->isVisible());
    QCOMPARE(sms->pos(), anchor() + smsShift);

    const QPoint before = anchor();
    window.move(window.pos() + QPoint(30, 20));
    QTRY_COMPARE_WITH_TIMEOUT(anchor(), before + QPoint(30, 20), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(update->pos(), anchor(), 30000);
    QCOMPARE(sms->pos(), anchor() + smsShift);

    if (multi) {
        emit window.bottomBar()->singleColumnMode();
        QMetaObject::invokeMethod(&window, "_onPostNewMessage");
        QCOMPARE(sms->pos(), anchor());
    }
    window.close();
    QVERIFY(!sms->isVisible());
}

namespace {

class FakeLinkItem : public IMediaLinkItem
{
public:
    explicit FakeLinkItem(const SMediaItem& item) : IMediaLinkItem(nullptr), m_item(item) {}
    QString url() const override { return QStringLiteral("http://a.example/page"); }
    QString description() const override { return QStringLiteral("a.example"); }
    QString caption() const override { return QStringLiteral("A caption"); }
    SMediaItem mediaItem() const override { return m_item; }

private:
    SMediaItem m_item;
};

} // namespace

void TestMeskMainWindow::mediaBrowserAndLinks()
{
    m_env->addProvider(2, QStringLiteral("Facebook"));
    QList<SServiceUser> users(1);
    users[0].provider = 2;
    users[0].name = QStringLiteral("Ann");
    users[0].type = 2;
    QVERIFY(m_env->seedUsers(users));
    QList<SMediaItem> items{TestEngine::event(2, TestEngine::now())};
    items[0].type = 7;
    items[0].user = users[0].id;
    QVERIFY(m_env->seedItems(items));
    store().setValue(CMeskSettings::keyName(16), false);
    QVERIFY(m_env->init());
    FakeMediaUser user;
    user.userName = QStringLiteral("Ann");
    user.record = users[0];
    FakeLinkItem link(items[0]);
    m_env->provider(2)->users.insert(users[0].id, &user);
    m_env->provider(2)->linkItems.insert(items[0].id, &link);
    CMeskMainWindow window(m_env->engine());
    window.show();
    QPointer<CMeskDeepDiveView> view;
    QTimer::singleShot(0, this, [&] {
        view = qobject_cast<CMeskDeepDiveView*>(QApplication::activeModalWidget());
        if (view)
            view->exitButton()->click();
    });
    emit window.toolBar()->showDeepDiveView();
    QVERIFY(view.isNull());
    QVERIFY(window.findChildren<CMeskDeepDiveView*>().isEmpty());
    QVERIFY(timer()->isActive());

    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    m_urls.clear();
    emit window.toolBar()->showLinksView();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_urls.size(), 1);
    m_env->provider(2)->users.clear();
    m_env->provider(2)->linkItems.clear();
}

void TestMeskMainWindow::openFailureSaysSo_data()
{
    QTest::addColumn<QString>("click");
    QTest::newRow("View, Links") << "links";
    QTest::newRow("a photo") << "photo";
    QTest::newRow("a link in an item") << "link";
}

void TestMeskMainWindow::openFailureSaysSo()
{
    QFETCH(QString, click);
    m_env->addProvider(2, QStringLiteral("Facebook"));
    QList<SServiceUser> users(1);
    users[0].provider = 2;
    users[0].name = QStringLiteral("Ann");
    QVERIFY(m_env->seedUsers(users));
    QList<SMediaItem> items{TestEngine::event(2, TestEngine::now())};
    items[0].type = 7;
    items[0].user = users[0].id;
    QVERIFY(m_env->seedItems(items));
    store().setValue(CMeskSettings::keyName(16), false);
    QVERIFY(m_env->init());
    FakeMediaUser user;
    user.record = users[0];
    FakeLinkItem link(items[0]);
    m_env->provider(2)->users.insert(users[0].id, &user);
    m_env->provider(2)->linkItems.insert(items[0].id, &link);
    CMeskMainWindow window(m_env->engine());
    window.show();
    // No URL handler and no launcher on this desktop: the desktop takes nothing.
    QVERIFY(!QDesktopServices::openUrl(QUrl(QStringLiteral("http://a.example/"))));

    QStringList shown;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&shown] {
        if (auto* box = qobject_cast<CMeskMessageBox*>(QApplication::activeModalWidget())) {
#ifdef LUMESK_SCREENSHOT_DIR
            if (shown.isEmpty() && QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR)))
                box->grab().save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/browser-failed-box.png"));
#endif
            shown << box->textLabel()->text();
            box->reject();
        }
    });
    watcher.start(20);
    CMeskThumbnailWidget photo(2);
    photo.setUrl(QStringLiteral("http://a.example/photo"));
    photo.setPixmap(QPixmap(75, 75));
    CMeskItemDateLabel date(TestEngine::now(), QStringLiteral("https://a.example/item"));
    QWidget* target = click == QLatin1String("photo") ? static_cast<QWidget*>(&photo) : &date;
    if (click != QLatin1String("links")) {
        target->show();
        QVERIFY(QTest::qWaitForWindowExposed(target));
    }
    const QString address = click == QLatin1String("photo")  ? QStringLiteral("http://a.example/photo")
                            : click == QLatin1String("link") ? QStringLiteral("https://a.example/item")
                                                             : QStringLiteral("file://");
    for (int n = 1; n <= 2; ++n) {
        if (click == QLatin1String("links"))
            emit window.toolBar()->showLinksView();
        else
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(shown.size(), n); // once per click
        QVERIFY2(
            shown.last().startsWith(QStringLiteral("No web browser could be started to open\n") + address),
            qPrintable(shown.last()));
    }
    m_env->provider(2)->users.clear();
    m_env->provider(2)->linkItems.clear();
}

void TestMeskMainWindow::screenshots_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("providers");
    QTest::addColumn<int>("width");
    QTest::newRow("single") << QStringLiteral("single") << 1 << 368;
    QTest::newRow("multi") << QStringLiteral("multi") << 2 << 1088;
    QTest::newRow("first run") << QStringLiteral("first-run") << 0 << 368;
}

void TestMeskMainWindow::screenshots()
{
    QFETCH(QString, name);
    QFETCH(int, providers);
    QFETCH(int, width);
    QList<SMediaItem> items;
    for (int i = 0; i < providers; ++i) {
        const mid_t id = i == 0 ? 2 : 1;
        m_env->addProvider(id, i == 0 ? QStringLiteral("Facebook") : QStringLiteral("Twitter"));
        for (int n = 0; n < 3; ++n)
            items << TestEngine::event(id, TestEngine::day(n),
                                       QStringLiteral("Item %1 of the feed").arg(n + 1));
    }
    QVERIFY(m_env->seedItems(items));
    m_env->sms = providers != 1;
    if (providers == 2) {
        QList<SSmsMessage> messages{TestEngine::message(1, QStringLiteral("+358401234567"),
                                                        QStringLiteral("Hello"), TestEngine::day(0)),
                                    TestEngine::message(2, QStringLiteral("+358401234567"),
                                                        QStringLiteral("Hi"), TestEngine::day(0))};
        QVERIFY(m_env->seedMessages(messages));
    }
    store().setValue(CMeskSettings::keyName(16), providers == 0);
    store().setValue(CMeskSettings::keyName(7), providers == 2 ? 1 : 0);
    QVERIFY(m_env->init());
    CMeskMainWindow window(m_env->engine());
    window.resize(window.width(), 640);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const QImage image = window.grab().toImage();
    QCOMPARE(window.width(), width);
    QVERIFY(image.pixelColor(5, 5) != image.pixelColor(image.width() / 2, image.height() / 2));
#ifdef LUMESK_SCREENSHOT_DIR
    QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(image.save(dir.filePath(QStringLiteral("main-window-%1.png").arg(name))));
#endif
}

QTEST_MAIN(TestMeskMainWindow)
#include "tst_meskmainwindow.moc"
