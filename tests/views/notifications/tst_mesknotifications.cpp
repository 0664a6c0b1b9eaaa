// The notification manager on the real engine: key 13, SMS and event toasts, the cut of long
// texts, one toast at a time, live settings, the toast's lifetime and, on X, the focus.
#include "effects/fadeeffect.h"
#include "fakemediaitems.h"
#include "mesknotification.h"
#include "meskuistyle.h"
#include "notifications/mesknotifications.h"
#include "notifications/mesksound.h"
#include "settings/mesksettings.h"
#include "style/quorimages.h"
#include "testengine.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

namespace {

const QString kPhone = QStringLiteral("+4511");

void fromWorker(const std::function<void()>& emitter)
{
    std::unique_ptr<QThread> thread(QThread::create(emitter));
    thread->start();
    thread->wait();
}

SPhoneContact contact(const QString& name, const QPixmap& picture)
{
    SPhoneContact c;
    c.displayName = name;
    c.picture = picture;
    c.phones = {SPhoneNumber{kPhone, QStringLiteral("mobile")}};
    return c;
}

QPixmap filled(const QColor& colour)
{
    QPixmap pixmap(50, 50);
    pixmap.fill(colour);
    return pixmap;
}

} // namespace

class TestMeskNotifications : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        // For a look on a real display: TST_LARGE_FONTS=1 (and QT_SCALE_FACTOR=2).
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
        MeskSound::setBeepFunction([this] { ++m_beeps; });
    }
    void init() { m_beeps = 0; }
    void cleanup()
    {
        m_manager.reset();
        m_settings.reset();
        m_env.reset();
    }
    void cleanupTestCase() { MeskSound::setBeepFunction({}); }

    void feedUsers_data();
    void feedUsers();
    void smsToast_data();
    void smsToast();
    void eventToast_data();
    void eventToast();
    void oneAtATimeLiveSettingsLifetime();
    void toastLeavesFocusAlone();

private:
    // The engine with provider 2 (user 5 of the given type) and SMS, the settings, the manager.
    void start(const QList<SPhoneContact>& contacts, const QHash<int, QVariant>& values,
               qint32 authorType = 2);
    void emitEvent(mid_t provider, mid_t user, const QString& content);

    std::unique_ptr<TestEngine> m_env;
    std::unique_ptr<CMeskSettings> m_settings;
    std::unique_ptr<CMeskNotifications> m_manager;
    FakeMediaUser m_author;
    QPixmap m_icon;
    int m_beeps = 0;
};

void TestMeskNotifications::start(const QList<SPhoneContact>& contacts, const QHash<int, QVariant>& values,
                                  qint32 authorType)
{
    m_env = std::make_unique<TestEngine>();
    m_env->sms = true;
    m_env->contacts = contacts;
    m_env->addProvider(2, QStringLiteral("Facebook"));
    QVERIFY(m_env->init());
    m_icon = filled(Qt::blue).scaled(17, 17);
    m_env->provider(2)->setIcon(m_icon);
    m_author.userName = QStringLiteral("Bo");
    m_author.fallback = filled(Qt::green);
    m_author.record.id = 5;
    m_author.record.type = authorType;
    m_env->provider(2)->users.insert(5, &m_author);
    m_settings = std::make_unique<CMeskSettings>();
    for (auto it = values.begin(); it != values.end(); ++it)
        m_settings->setValue(it.key(), it.value());
    m_manager = std::make_unique<CMeskNotifications>(m_env->engine(), m_settings.get());
    m_manager->toast()->setFadeDuration(20);
    m_manager->toast()->setHideDelay(60);
}

void TestMeskNotifications::emitEvent(mid_t provider, mid_t user, const QString& content)
{
    SMediaItem item = TestEngine::event(provider, TestEngine::now(), content);
    item.user = user;
    m_env->provider(2)->emitMediaItemAdded(item);
}

void TestMeskNotifications::feedUsers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<mid_t>>("ids");
    QTest::newRow("two") << "12;34" << QList<mid_t>{12, 34};
    QTest::newRow("empty") << "" << QList<mid_t>{0};
    QTest::newRow("not a number") << "x;5" << QList<mid_t>{0, 5};
    QTest::newRow("empty parts kept") << ";7;" << QList<mid_t>{0, 7, 0};
}

void TestMeskNotifications::feedUsers()
{
    QFETCH(QString, text);
    QFETCH(QList<mid_t>, ids);
    QCOMPARE(CMeskNotifications::parseFeedUsers(text), ids);
}

void TestMeskNotifications::smsToast_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    const QString x200(200, QLatin1Char('x'));
    const QString ann = QStringLiteral("<b>From: Ann</b> ");
    QTest::newRow("one contact") << QStringList{"Ann"} << "hi"
                                 << "<b>From: Ann</b> hi";
    QTest::newRow("no contact") << QStringList{} << "hi"
                                << "<b>From: +4511</b> hi";
    QTest::newRow("two contacts") << QStringList{"Ann", "Al"} << "hi"
                                  << "<b>From: +4511</b> hi";
    QTest::newRow("cut after 140") << QStringList{"Ann"} << x200 << (ann + x200).left(140) + "...";
    QTest::newRow("cut before an entity")
        << QStringList{"A&B"} << QString(200, QLatin1Char('<'))
        << QStringLiteral("<b>From: A&amp;B</b> ") + QStringLiteral("&lt;").repeated(29) + "...";
    QTest::newRow("cut before a surrogate pair")
        << QStringList{"Ann"}
        << QString(122, QLatin1Char('x')) + QStringLiteral("😀") + QString(100, QLatin1Char('y'))
        << ann + QString(122, QLatin1Char('x')) + "...";
}

void TestMeskNotifications::smsToast()
{
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    const QPixmap picture = filled(Qt::red);
    QList<SPhoneContact> contacts;
    for (const QString& name : names)
        contacts << contact(name, picture);
    start(contacts, {{10, true}});
    if (QTest::currentTestFailed())
        return;

    const SSmsMessage sms = TestEngine::message(0, kPhone, message, TestEngine::now());
    FakeSmsEngine* engine = m_env->smsEngine();
    fromWorker([&] { emit engine->newMessageReceived(sms); });
    CMeskNotification* toast = m_manager->toast();
    QTRY_VERIFY_WITH_TIMEOUT(toast->isVisible(), 30000);
    QCOMPARE(toast->thread(), qApp->thread());
    QCOMPARE(toast->textLabel()->text(), expected);
    const QPixmap avatar =
        names.size() == 1 ? picture : QuorImages::pixmap(":/meskstyle/images/defaultuser.png");
    QVERIFY(!avatar.isNull());
    QCOMPARE(toast->avatarLabel()->pixmap().toImage(), avatar.toImage());
    QCOMPARE(toast->logoLabel()->pixmap().toImage(),
             QuorImages::pixmap(":/images/sms/sms_logo_small.png").toImage());
    QCOMPARE(m_beeps, 0);
}

void TestMeskNotifications::eventToast_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("users");
    QTest::addColumn<int>("authorType");
    QTest::addColumn<int>("provider");
    QTest::addColumn<int>("user");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected"); // empty: no toast
    QTest::newRow("no user chosen") << false << "" << 2 << 2 << 5 << "hello"
                                    << "";
    QTest::newRow("chosen contact") << false << "5" << 2 << 2 << 5 << "hello"
                                    << "hello";
    QTest::newRow("other user chosen") << false << "4;6" << 2 << 2 << 5 << "hello"
                                       << "";
    QTest::newRow("all, contact") << true << "" << 2 << 2 << 5 << "hello"
                                  << "hello";
    QTest::newRow("all, own account") << true << "" << 1 << 2 << 5 << "hello"
                                      << "";
    QTest::newRow("all, other person") << true << "" << 0 << 2 << 5 << "hello"
                                       << "";
    QTest::newRow("unknown provider") << true << "" << 2 << 9 << 5 << "hello"
                                      << "";
    QTest::newRow("no author") << true << "" << 2 << 2 << 6 << "hello"
                               << "";
    QTest::newRow("style block and tags")
        << true << "" << 2 << 2 << 5 << "<style>p{}\n</style><b>word</b> plain"
        << "word plain";
    QTest::newRow("greedy style block") << true << "" << 2 << 2 << 5 << "a<style>x</style>b<style>y</style>c"
                                        << "ac";
    QTest::newRow("long text cut") << true << "" << 2 << 2 << 5 << QString(150, QLatin1Char('w'))
                                   << QString(140, QLatin1Char('w')) + "...";
}

void TestMeskNotifications::eventToast()
{
    QFETCH(bool, all);
    QFETCH(QString, users);
    QFETCH(int, authorType);
    QFETCH(int, provider);
    QFETCH(int, user);
    QFETCH(QString, content);
    QFETCH(QString, expected);
    start({}, {{1, true}, {11, true}, {12, all}, {13, users}}, authorType);
    if (QTest::currentTestFailed())
        return;

    emitEvent(provider, user, content);
    CMeskNotification* toast = m_manager->toast();
    QCOMPARE(toast->isVisible(), !expected.isEmpty());
    QCOMPARE(m_beeps, expected.isEmpty() ? 0 : 1);
    if (expected.isEmpty())
        return;
    QCOMPARE(toast->textLabel()->text(), expected);
    QCOMPARE(toast->avatarLabel()->pixmap().toImage(), m_author.fallback.toImage());
    QCOMPARE(toast->logoLabel()->pixmap().toImage(), m_icon.toImage());
}

void TestMeskNotifications::oneAtATimeLiveSettingsLifetime()
{
    start({contact(QStringLiteral("Ann"), filled(Qt::red))},
          {{1, true}, {10, true}, {11, true}, {12, false}, {13, ""}});
    if (QTest::currentTestFailed())
        return;
    FakeSmsEngine* engine = m_env->smsEngine();
    const SSmsMessage first = TestEngine::message(0, kPhone, QStringLiteral("one"), TestEngine::now());
    const SSmsMessage second = TestEngine::message(0, kPhone, QStringLiteral("two"), TestEngine::now());
    QPointer<CMeskNotification> toast = m_manager->toast();

    // The second message arrives while the first shows: no toast and no beep of its own.
    fromWorker([&] {
        emit engine->newMessageReceived(first);
        emit engine->newMessageReceived(second);
    });
    QTRY_VERIFY_WITH_TIMEOUT(toast->isVisible(), 30000);
    QTest::qWait(10);
    QCOMPARE(m_beeps, 1);
    QCOMPARE(toast->textLabel()->text(), QStringLiteral("<b>From: Ann</b> one"));
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 30000);
    fromWorker([&] { emit engine->newMessageReceived(second); });
    QTRY_VERIFY_WITH_TIMEOUT(toast->isVisible(), 30000);
    QCOMPARE(m_beeps, 2);
    QCOMPARE(toast->textLabel()->text(), QStringLiteral("<b>From: Ann</b> two"));
    QTRY_VERIFY_WITH_TIMEOUT(!toast->isVisible(), 30000);

    // Choosing user 5 counts from the next event.
    emitEvent(2, 5, QStringLiteral("before"));
    QVERIFY(!toast->isVisible());
    m_settings->setValue(13, QStringLiteral("5"));
    m_settings->save();
    emitEvent(2, 5, QStringLiteral("after"));
    QVERIFY(toast->isVisible());
    QCOMPARE(toast->textLabel()->text(), QStringLiteral("after"));
    QCOMPARE(m_beeps, 3);

    // The manager takes its toast with it.
    m_manager.reset();
    QVERIFY(toast.isNull());
}

void TestMeskNotifications::toastLeavesFocusAlone()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display (the offscreen platform activates every window it shows)");
    start({contact(QStringLiteral("Ann"), filled(Qt::red))}, {{10, true}});
    if (QTest::currentTestFailed())
        return;
    m_manager->toast()->setFadeDuration(300);
    m_manager->toast()->setHideDelay(5000);

    // A plain top-level window in the main window's place, with a focused line edit.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Velto Lumesk"));
    auto* edit = new QLineEdit(&window);
    edit->setText(QStringLiteral("typing here"));
    window.resize(600, 400);
    window.move(QGuiApplication::primaryScreen()->availableGeometry().center() - QPoint(300, 200));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(window.focusWidget(), edit, 30000);

    FakeSmsEngine* engine = m_env->smsEngine();
    const SSmsMessage sms =
        TestEngine::message(0, kPhone, QStringLiteral("Lunch at noon?"), TestEngine::now());
    fromWorker([&] { emit engine->newMessageReceived(sms); });
    CMeskNotification* toast = m_manager->toast();
    QTRY_VERIFY_WITH_TIMEOUT(toast->isVisible(), 30000);
    QVERIFY(QTest::qWaitForWindowExposed(toast));
    QTRY_VERIFY_WITH_TIMEOUT(!toast->fadeEffect()->isRunning(), 30000); // the fade-in ends
    QCOMPARE(QApplication::activeWindow(), &window);
    QCOMPARE(window.focusWidget(), edit);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);

    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(screen.save(dir.filePath(QStringLiteral("notification_toast_x11.png"))));
}

QTEST_MAIN(TestMeskNotifications)
#include "tst_mesknotifications.moc"
