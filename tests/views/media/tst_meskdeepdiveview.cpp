// The full-screen media browser on the real engine: its first page for each network state and
// stored choice, the warnings' "Don't show again", the content's order and exec()'s visits.

#include "fakemediaitems.h"
#include "fakevideoplayer.h"
#include "media/meskdeepdiveview.h"
#include "media/meskmediaviewer.h"
#include "media/meskthumbnailstrip.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"
#include "testengine.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr mid_t kProvider = 2;

enum Content
{
    NoMedia,
    OnlyOwn,
    Media
};

} // namespace

class TestMeskDeepDiveView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void cleanup();
    void firstPage_data();
    void firstPage();
    void warningSlots_data();
    void warningSlots();
    void contentOrder();
    void execVisits_data();
    void execVisits();
    void screenshot();

private:
    // An engine with one provider; `items` are (hour of 2024-06-14, author type or -1 for an
    // author the engine cannot find) images; online or not, over that medium.
    void setUp(const QList<QPair<int, int>>& items, bool online = true, int medium = 1);
    void setKey(int key, bool value);
    QTimer* updateTimer() const;

    std::unique_ptr<FakeVideoPlayerScope> m_players;
    std::unique_ptr<TestEngine> m_env;
    std::vector<std::unique_ptr<FakeImageItem>> m_images;
    std::vector<std::unique_ptr<FakeMediaUser>> m_users;
    std::unique_ptr<CMeskSettings> m_settings;
};

void TestMeskDeepDiveView::cleanup()
{
    m_settings.reset();
    m_env.reset();
    m_images.clear();
    m_users.clear();
    m_players.reset();
}

void TestMeskDeepDiveView::setUp(const QList<QPair<int, int>>& items, bool online, int medium)
{
    m_players = std::make_unique<FakeVideoPlayerScope>();
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(kProvider, QStringLiteral("Facebook"));
    m_env->online = online;

    // One author of each type; stored so the engine finds their records.
    QList<SServiceUser> users;
    for (int type = 0; type < 3; ++type) {
        SServiceUser user;
        user.provider = kProvider;
        user.name = QStringLiteral("User %1").arg(type);
        user.type = type;
        users.append(user);
    }
    QVERIFY(m_env->seedUsers(users));
    QList<SMediaItem> stored;
    for (const auto& [hour, type] : items) {
        SMediaItem item;
        item.provider = kProvider;
        item.type = 5;
        item.created = QDateTime(QDate(2024, 6, 14), QTime(hour, 0));
        item.content = QStringLiteral("at %1").arg(hour);
        item.user = type >= 0 ? users.at(type).id : 999;
        stored.append(item);
    }
    QVERIFY(m_env->seedItems(stored));
    QVERIFY(m_env->init());

    FakeProvider* provider = m_env->provider(kProvider);
    QPixmap icon(16, 16);
    icon.fill(Qt::blue);
    provider->setIcon(icon);
    for (const SServiceUser& record : users) {
        m_users.push_back(std::make_unique<FakeMediaUser>());
        m_users.back()->userName = record.name;
        m_users.back()->record = record;
        provider->users.insert(record.id, m_users.back().get());
    }
    for (const SMediaItem& item : stored) {
        m_images.push_back(std::make_unique<FakeImageItem>());
        m_images.back()->item = item;
        m_images.back()->caption = item.content;
        m_images.back()->file = m_env->storageRoot() + QStringLiteral("/missing-%1.png").arg(item.id);
        provider->mediaObjects.insert(item.id, m_images.back().get());
    }
    if (online && medium != 1) {
        m_env->network()->setMedium(medium);
        QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->networkType(), medium, 30000);
    }
    QCOMPARE(m_env->engine()->isInternetConnected(), online);
    m_env->engine()->startUpdates();
    m_settings = std::make_unique<CMeskSettings>();
}

void TestMeskDeepDiveView::setKey(int key, bool value)
{
    m_settings->setValue(key, value);
    m_settings->commitValue(key);
}

QTimer* TestMeskDeepDiveView::updateTimer() const
{
    return m_env->engine()->findChild<QTimer*>(QStringLiteral("updateTimer"));
}

void TestMeskDeepDiveView::firstPage_data()
{
    QTest::addColumn<int>("content");
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("medium");
    QTest::addColumn<bool>("key8");
    QTest::addColumn<bool>("key9");
    QTest::addColumn<int>("page");

    QTest::newRow("nothing stored, offline")
        << int(NoMedia) << false << 1 << false << false << int(CMeskDeepDiveView::NoContentPage);
    QTest::newRow("only own, over 3G")
        << int(OnlyOwn) << true << 3 << false << false << int(CMeskDeepDiveView::NoContentPage);
    QTest::newRow("offline") << int(Media) << false << 1 << false << false
                             << int(CMeskDeepDiveView::NoNetworkPage);
    QTest::newRow("offline, key 8") << int(Media) << false << 3 << true << false
                                    << int(CMeskDeepDiveView::ContentPage);
    QTest::newRow("3G") << int(Media) << true << 3 << false << false
                        << int(CMeskDeepDiveView::CellWarningPage);
    QTest::newRow("3G, key 9") << int(Media) << true << 3 << false << true
                               << int(CMeskDeepDiveView::ContentPage);
    QTest::newRow("wired") << int(Media) << true << 1 << false << false
                           << int(CMeskDeepDiveView::ContentPage);
}

void TestMeskDeepDiveView::firstPage()
{
    QFETCH(int, content);
    QFETCH(bool, online);
    QFETCH(int, medium);
    QFETCH(bool, key8);
    QFETCH(bool, key9);
    QFETCH(int, page);

    QList<QPair<int, int>> items;
    if (content == OnlyOwn)
        items = {{10, 1}, {11, 1}};
    else if (content == Media)
        items = {{10, 0}, {11, 2}};
    setUp(items, online, medium);
    setKey(8, key8);
    setKey(9, key9);

    CMeskDeepDiveView view(m_env->engine(), m_settings.get());
    QCOMPARE(int(view.page()), page);
    QCOMPARE(view.warning()->isHidden(), page == CMeskDeepDiveView::ContentPage);
    QCOMPARE(view.viewer()->isHidden(), page != CMeskDeepDiveView::ContentPage);
    if (page != CMeskDeepDiveView::ContentPage)
        QCOMPARE(view.warning()->checkBox()->isHidden(), page == CMeskDeepDiveView::NoContentPage);
    if (page == CMeskDeepDiveView::NoContentPage) {
        QCOMPARE(view.warning()->title(), QStringLiteral("No content"));
        // Either button ends the visit.
        for (QPushButton* button : {static_cast<QPushButton*>(view.warning()->okButton()),
                                    static_cast<QPushButton*>(view.warning()->closeButton())}) {
            QTimer::singleShot(0, button, &QPushButton::click);
            view.exec();
            QVERIFY(view.isHidden());
        }
    } else if (page == CMeskDeepDiveView::NoNetworkPage) {
        QCOMPARE(view.warning()->title(), QStringLiteral("No network connection"));
    } else if (page == CMeskDeepDiveView::CellWarningPage) {
        QCOMPARE(view.warning()->title(), QStringLiteral("You are on 3G connection"));
    }
}

void TestMeskDeepDiveView::warningSlots_data()
{
    QTest::addColumn<bool>("cellWarning");
    QTest::addColumn<bool>("ticked");

    QTest::newRow("no network, ticked") << false << true;
    QTest::newRow("no network, clear") << false << false;
    QTest::newRow("3G, ticked") << true << true;
    QTest::newRow("3G, clear") << true << false;
}

// "Ok" stores the key only with the box ticked, and goes to the content without a second test.
void TestMeskDeepDiveView::warningSlots()
{
    QFETCH(bool, cellWarning);
    QFETCH(bool, ticked);

    setUp({{10, 0}, {11, 2}}, cellWarning, 3);
    CMeskDeepDiveView view(m_env->engine(), m_settings.get());
    QCOMPARE(int(view.page()),
             int(cellWarning ? CMeskDeepDiveView::CellWarningPage : CMeskDeepDiveView::NoNetworkPage));
    if (!cellWarning) {
        // Online over mobile broadband by now: the 3G warning is not shown after this one.
        m_env->network()->setOnline(true);
        m_env->network()->setMedium(3);
        QTRY_COMPARE_WITH_TIMEOUT(m_env->engine()->networkType(), 3, 30000);
    }
    view.warning()->checkBox()->setChecked(ticked);
    view.warning()->okButton()->click();

    QCOMPARE(int(view.page()), int(CMeskDeepDiveView::ContentPage));
    QVERIFY(view.warning()->isHidden());
    QCOMPARE(view.objects().size(), 2);
    const int key = cellWarning ? 9 : 8;
    const CMeskSettings fresh;
    QCOMPARE(fresh.value(key).toBool(), ticked);
    QCOMPARE(fresh.value(cellWarning ? 8 : 9).toBool(), false);
}

// Newest first without the user's own; an unknown author still moves the viewer and the row.
void TestMeskDeepDiveView::contentOrder()
{
    setUp({{10, 0}, {12, 2}, {11, 0}, {13, 1}, {9, -1}});
    CMeskDeepDiveView view(m_env->engine(), m_settings.get());
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QStringList order;
    for (IMediaObject* object : view.objects())
        order << object->text();
    QCOMPARE(order, (QStringList{"at 12", "at 11", "at 10", "at 9"}));
    QCOMPARE(view.strip()->currentObject(), view.objects().first());
    QVERIFY(!view.previousButton()->isEnabled());
    QVERIFY(view.nextButton()->isEnabled());
    QVERIFY(view.infoWidget()->captionLabel()->text().contains(QStringLiteral("User 2")));

    FakeImageItem* unknown = m_images.back().get();
    QCOMPARE(unknown->imageLoads, 0);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(view.nextButton(), Qt::LeftButton);
    QCOMPARE(view.strip()->currentObject(), unknown);
    QVERIFY(!view.nextButton()->isEnabled());
    // The viewer asks for the unknown author's picture: it shows that object.
    QCOMPARE(unknown->imageLoads, 1);
    QCOMPARE(view.infoWidget()->captionLabel()->text(),
             CMeskMediaInfoWidget::captionText(QStringLiteral("at 9"), nullptr));
}

void TestMeskDeepDiveView::execVisits_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("Exit") << "exit";
    QTest::newRow("warning's Close") << "close";
    QTest::newRow("closeView()") << "closeView";
    QTest::newRow("window manager") << "wm";
}

// Updates pause during the visit and run again however it ends.
void TestMeskDeepDiveView::execVisits()
{
    QFETCH(QString, how);

    setUp({{10, 0}}, true, how == QLatin1String("close") ? 3 : 1);
    QVERIFY(updateTimer()->isActive());
    auto view = std::make_unique<CMeskDeepDiveView>(m_env->engine(), m_settings.get());
    bool checked = false;
    QTimer::singleShot(0, view.get(), [&] {
        checked = view->isVisible() && !updateTimer()->isActive() && view->focusWidget() == view->strip() &&
                  view->isModal() && view->geometry() == view->screen()->geometry();
        if (how == QLatin1String("exit"))
            view->exitButton()->click();
        else if (how == QLatin1String("close"))
            view->warning()->closeButton()->click();
        else if (how == QLatin1String("closeView"))
            emit view->closeView();
        else
            view->close();
    });
    view->exec();
    QVERIFY(checked);
    QVERIFY(view->isHidden());
    QVERIFY(updateTimer()->isActive());
}

// The browser as the user sees it, with content and with the 3G warning (looked at under Xvfb).
void TestMeskDeepDiveView::screenshot()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("screenshots are taken on the X display");
    for (const bool cell : {false, true}) {
        // More than fit, so both arrows show once the strip has paged.
        QList<QPair<int, int>> items;
        for (int i = 0; i < 26; ++i)
            items.append({i % 24, i % 2 ? 2 : 0});
        setUp(items, true, cell ? 3 : 1);
        const QString thumbs = m_env->storageRoot();
        for (size_t i = 0; i < m_images.size(); ++i) {
            QImage image(240, 160, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(int(i) * 50 % 360, 160, 200));
            const QString path = thumbs + QStringLiteral("/shot-%1.png").arg(i);
            QVERIFY(image.save(path));
            m_images[i]->thumbnail = path;
            m_images[i]->file = path;
        }
        CMeskDeepDiveView view(m_env->engine(), m_settings.get());
        QImage shot;
        // TST_SHOW_MS keeps each page up longer, for a look at the whole display.
        const int showMs =
            qEnvironmentVariableIsSet("TST_SHOW_MS") ? qEnvironmentVariableIntValue("TST_SHOW_MS") : 500;
        QTimer::singleShot(300, view.strip(), [&] { emit view.strip()->rightButton()->clicked(); });
        QTimer::singleShot(showMs, &view, [&] {
            shot = view.grab().toImage();
            emit view.closeView();
        });
        view.exec();
        QDir().mkpath(QStringLiteral(LUMESK_SCREENSHOT_DIR));
        QVERIFY(
            shot.save(QStringLiteral(LUMESK_SCREENSHOT_DIR "/deepdive-%1.png").arg(cell ? "3g" : "content")));
        cleanup();
    }
}

QTEST_MAIN(TestMeskDeepDiveView)
#include "tst_meskdeepdiveview.moc"
