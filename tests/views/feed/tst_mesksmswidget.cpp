// The text-message entry: the correspondent, escaping and links, the filter, the send outcome
// and Resend, on the real engine with a fake SMS engine whose signals come from a worker thread.
#include "feed/mesksmswidget.h"
#include "meskitemwidgets.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "testengine.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>
#include <QThread>

#include <functional>
#include <memory>

namespace {

const QString kAnn = QStringLiteral("+4791234567");

SPhoneContact contact(const QString& name, const QString& number, const QColor& colour)
{
    SPhoneContact c;
    c.displayName = name;
    c.phones.append(SPhoneNumber{number, QStringLiteral("GeneralMobile")});
    QPixmap picture(50, 50);
    picture.fill(colour);
    c.picture = picture;
    return c;
}

// A label's text as Qt shows it.
QString shown(const QString& text)
{
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

void fromWorker(const std::function<void()>& emitter)
{
    std::unique_ptr<QThread> thread(QThread::create(emitter));
    thread->start();
    thread->wait();
}

// Which of date, status, failure, reply/forward, resend, cancel, delete are shown.
QString looks(const CMeskSmsWidget& w)
{
    QStringList shownParts;
    const QList<QPair<const char*, QWidget*>> parts = {
        {"date", w.dateLabel()},       {"status", w.statusLabel()},
        {"failure", w.failureLabel()}, {"reply", w.replyOrForwardButton()},
        {"resend", w.resendButton()},  {"cancel", w.cancelButton()},
        {"delete", w.deleteButton()}};
    for (const auto& part : parts) {
        if (!part.second->isHidden())
            shownParts << QLatin1String(part.first);
    }
    return shownParts.join(QLatin1Char(' '));
}

} // namespace

class TestMeskSmsWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }
    void init();
    void cleanup() { m_env.reset(); }
    void correspondent_data();
    void correspondent();
    void escapingAndLinks();
    void contactsComeLater();
    void filter();
    void sendOutcome();
    void failedLook();
    void resend_data();
    void resend();

public slots:
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    std::unique_ptr<TestEngine> m_env;
    QList<QUrl> m_opened;
};

void TestMeskSmsWidget::init()
{
    m_env = std::make_unique<TestEngine>();
    m_env->sms = true;
}

void TestMeskSmsWidget::correspondent_data()
{
    QTest::addColumn<QList<SPhoneContact>>("contacts");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("avatarLeft");
    QTest::addColumn<QColor>("avatarColour"); // invalid: the default picture
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("action");

    const SPhoneContact ann = contact(QStringLiteral("Ann Lee"), kAnn, Qt::red);
    QTest::newRow("one contact, received")
        << QList<SPhoneContact>{ann} << 0 << kAnn << "From: Ann Lee hello" << true << QColor(Qt::red)
        << "Reply" << QStringList{kAnn, QString()};
    QTest::newRow("two contacts with the number")
        << QList<SPhoneContact>{ann, contact(QStringLiteral("Bo"), kAnn, Qt::blue)} << 0 << kAnn
        << "From: +4791234567 hello" << true << QColor() << "Reply" << QStringList{kAnn, QString()};
    QTest::newRow("sent to no contact")
        << QList<SPhoneContact>{ann} << 2 << QStringLiteral("+4799999999") << "To: +4799999999 hello" << false
        << QColor() << "Forward" << QStringList{QString(), QStringLiteral("hello")};
}

void TestMeskSmsWidget::correspondent()
{
    QFETCH(QList<SPhoneContact>, contacts);
    QFETCH(int, type);
    QFETCH(QString, phone);
    QFETCH(QString, caption);
    QFETCH(bool, avatarLeft);
    QFETCH(QColor, avatarColour);
    QFETCH(QString, button);
    QFETCH(QStringList, action);
    m_env->contacts = contacts;
    QVERIFY(m_env->init());

    CMeskSmsWidget w(TestEngine::message(type, phone, QStringLiteral("hello"), TestEngine::now()),
                     m_env->engine());
    w.resize(360, 120);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(shown(w.textLabel()->text()), caption);
    QCOMPARE(w.avatar()->geometry().center().x() < w.textLabel()->geometry().center().x(), avatarLeft);
    const QImage picture = w.avatar()->pixmap().toImage();
    QVERIFY(!picture.isNull());
    const QColor centre = picture.pixelColor(picture.rect().center());
    if (avatarColour.isValid()) {
        QCOMPARE(centre, avatarColour);
    } else {
        QCOMPARE(w.avatar()->pixmap().deviceIndependentSize().toSize(), QSize(50, 50));
        QVERIFY(centre != QColor(Qt::red) && centre != QColor(Qt::blue));
        QCOMPARE(w.contact().phones.size(), 1);
    }
    QCOMPARE(w.replyOrForwardButton()->text(), button);
    QCOMPARE(looks(w), QStringLiteral("date reply delete"));

    QSignalSpy post(&w, &IMediaItemWidget::postSmsAction);
    QTest::mouseClick(w.replyOrForwardButton(), Qt::LeftButton);
    QCOMPARE(post.size(), 1);
    QCOMPARE((QStringList{post[0][0].toString(), post[0][1].toString()}), action);
    const SMediaItem item = w.mediaItem();
    QCOMPARE(item.provider, MeskProvider::SmsColumn);
    QCOMPARE(item.mediaId, phone);
}

void TestMeskSmsWidget::escapingAndLinks()
{
    m_env->contacts = {contact(QStringLiteral("<b>Eve</b> &amp; %2"), kAnn, Qt::green)};
    QVERIFY(m_env->init());
    const QDateTime at = TestEngine::now();

    CMeskSmsWidget eve(TestEngine::message(0, kAnn, QStringLiteral("x"), at), m_env->engine());
    QCOMPARE(shown(eve.textLabel()->text()), QStringLiteral("From: <b>Eve</b> &amp; %2 x"));

    for (const QString& sender : {QStringLiteral("<b>Promo</b>"), QStringLiteral("AT&T")}) {
        CMeskSmsWidget w(TestEngine::message(0, sender, QStringLiteral("x"), at), m_env->engine());
        QCOMPARE(shown(w.textLabel()->text()), QStringLiteral("From: %1 x").arg(sender));
        QCOMPARE(shown(w.textLabel()->toolTip()), sender);
    }

    CMeskSmsWidget link(TestEngine::message(0, kAnn, QStringLiteral("a < b see www.example.org"), at),
                        m_env->engine());
    QVERIFY(shown(link.textLabel()->text()).contains(QStringLiteral("a < b see www.example.org")));
    QVERIFY(link.textLabel()->text().contains(QStringLiteral("href=\"http://www.example.org\"")));
    QVERIFY(link.textLabel()->textInteractionFlags() & Qt::LinksAccessibleByMouse);
    QVERIFY(!link.textLabel()->openExternalLinks());

    m_opened.clear();
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "openUrl");
    emit link.textLabel()->linkActivated(QStringLiteral("http://www.example.org"));
    emit link.textLabel()->linkActivated(QStringLiteral("file:///etc/passwd"));
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("http://www.example.org"))});
}

// The contacts are read after the start: an entry made before shows the name once they are there.
void TestMeskSmsWidget::contactsComeLater()
{
    QVERIFY(m_env->init());
    CMeskSmsWidget w(TestEngine::message(0, kAnn, QStringLiteral("hello"), TestEngine::now()),
                     m_env->engine());
    QCOMPARE(shown(w.textLabel()->text()), QStringLiteral("From: %1 hello").arg(kAnn));
    m_env->contactsReaderFake()->list = {contact(QStringLiteral("Ann Lee"), kAnn, Qt::red)};
    emit m_env->contactsReaderFake()->contactsReady();
    QCOMPARE(shown(w.textLabel()->text()), QStringLiteral("From: Ann Lee hello"));
    const QImage picture = w.avatar()->pixmap().toImage();
    QCOMPARE(picture.pixelColor(picture.rect().center()), QColor(Qt::red));

    // A data message (no text) shows a note of the program's own, not its marker.
    CMeskSmsWidget data(TestEngine::message(0, kAnn, SSmsMessage::dataMessageMarker(), TestEngine::now()),
                        m_env->engine());
    QCOMPARE(shown(data.textLabel()->text()),
             QStringLiteral("From: Ann Lee [A data message (such as a multimedia message notice) that this "
                            "program cannot show]"));
    QVERIFY(!data.mediaItem().content.contains(QChar(1)));
}

void TestMeskSmsWidget::filter()
{
    m_env->contacts = {contact(QStringLiteral("Ann Lee"), kAnn, Qt::red)};
    QVERIFY(m_env->init());
    CMeskSmsWidget w(TestEngine::message(0, kAnn, QStringLiteral("hello"), TestEngine::now()),
                     m_env->engine());
    const QString plain = w.textLabel()->text();
    QVERIFY(w.applyFilter(QStringLiteral("lee"), true));
    QVERIFY(w.textLabel()->text() != plain);
    QVERIFY(w.textLabel()->text().contains(QStringLiteral("Lee")));
    // "b" occurs only in the caption's markup.
    QVERIFY(!w.applyFilter(QStringLiteral("b"), false));
    w.clearFilter();
    QCOMPARE(w.textLabel()->text(), plain);
}

void TestMeskSmsWidget::sendOutcome()
{
    QVERIFY(m_env->init());
    FakeSmsEngine* sms = m_env->smsEngine();
    SSmsMessage m = TestEngine::message(1, kAnn, QStringLiteral("hi"), TestEngine::now());
    m.id = 2;
    CMeskSmsWidget w(m, m_env->engine());
    QCOMPARE(looks(w), QStringLiteral("status reply"));
    QCOMPARE(w.statusLabel()->text(), QStringLiteral("Sending... "));

    QSignalSpy done(m_env->engine(), &CMeskEngine::smsMessageSendDone);
    SSmsMessage other = m;
    other.id = 0x100000002;
    fromWorker([&] { emit sms->messageSendDone(other); });
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
    QCOMPARE(looks(w), QStringLiteral("status reply"));

    fromWorker([&] { emit sms->messageSendDone(m); });
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 30000);
    QCOMPARE(looks(w), QStringLiteral("date reply delete"));

    // Followed only until the first outcome.
    QSignalSpy failed(m_env->engine(), &CMeskEngine::smsMessageSendFailed);
    fromWorker([&] { emit sms->messageSendFailed(m); });
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
    QCOMPARE(looks(w), QStringLiteral("date reply delete"));
}

void TestMeskSmsWidget::failedLook()
{
    QVERIFY(m_env->init());
    SSmsMessage m = TestEngine::message(3, kAnn, QStringLiteral("hi"), TestEngine::now());
    m.id = 5;
    CMeskSmsWidget failed(m, m_env->engine());
    QCOMPARE(looks(failed), QStringLiteral("failure resend cancel"));
    QCOMPARE(failed.failureLabel()->text(), QStringLiteral("Message could not be sent"));
    QVERIFY(failed.failureLabel()->font().bold());
    QCOMPARE(failed.failureLabel()->palette().color(QPalette::WindowText), QColor(Qt::red));

    m.type = 1;
    CMeskSmsWidget sending(m, m_env->engine());
    QSignalSpy spy(m_env->engine(), &CMeskEngine::smsMessageSendFailed);
    fromWorker([&, sms = m_env->smsEngine()] { emit sms->messageSendFailed(m); });
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 30000);
    QCOMPARE(looks(sending), QStringLiteral("failure resend cancel"));

    // The modem confirms it after all: it is shown sent.
    QSignalSpy done(m_env->engine(), &CMeskEngine::smsMessageSendDone);
    m.type = 2;
    fromWorker([&, sms = m_env->smsEngine()] { emit sms->messageSendDone(m); });
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
    QCOMPARE(looks(sending), QStringLiteral("date reply delete"));
    // So is one shown failed since a start, once the modem's copy proves it went out.
    QCOMPARE(looks(failed), QStringLiteral("date reply delete"));
}

void TestMeskSmsWidget::resend_data()
{
    QTest::addColumn<bool>("ready");
    QTest::newRow("ready") << true;
    QTest::newRow("not ready") << false;
}

void TestMeskSmsWidget::resend()
{
    QFETCH(bool, ready);
    QList<SSmsMessage> stored{TestEngine::message(3, kAnn, QStringLiteral("try again"), TestEngine::now())};
    QVERIFY(m_env->seedMessages(stored));
    QVERIFY(m_env->init());
    m_env->smsEngine()->setReady(ready);
    const SSmsMessage m = m_env->engine()->smsMessages().value(0);
    QCOMPARE(m.type, int(SSmsMessage::SendFailed));

    auto* w = new CMeskSmsWidget(m, m_env->engine());
    QStringList order;
    connect(m_env->engine(), &CMeskEngine::smsMessageDeleted, w, [&] { order << QStringLiteral("deleted"); });
    connect(w, &IMediaItemWidget::postSmsAction, w,
            [&](const QString& phone, const QString& text) { order << phone + QLatin1Char('|') + text; });
    // The stream deletes the entry when it hears of the deletion.
    connect(m_env->engine(), &CMeskEngine::smsMessageDeleted, w, &QObject::deleteLater);
    QPointer<CMeskSmsWidget> guard(w);
    QTest::mouseClick(w->resendButton(), Qt::LeftButton);
    if (ready) {
        QCOMPARE(order, (QStringList{QStringLiteral("deleted"), kAnn + QStringLiteral("|try again")}));
        QVERIFY(m_env->engine()->smsMessages().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 30000);
    } else {
        QVERIFY(order.isEmpty());
        QCOMPARE(m_env->engine()->smsMessages().size(), 1);
        delete w;
    }
}

QTEST_MAIN(TestMeskSmsWidget)
#include "tst_mesksmswidget.moc"
