// The tab-shaped post dialogs: the update dialog on the real update manager with fake providers,
// the SMS dialog on the real engine with a fake SMS engine and contacts.
#include "fakecompositor.h"
#include "fakeprovider.h"
#include "fakeshadowwindow.h"
#include "meskprovidermanager.h"
#include "meskshadow.h"
#include "mesktextedit.h"
#include "meskuistyle.h"
#include "meskupdatemanager.h"
#include "post/meskpostsmswidget.h"
#include "post/meskpostupdatewidget.h"
#include "testengine.h"
#include "widgets/quoranimationwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

// The update manager as the engine builds it, on Twitter (1) and Facebook (2), both text posters.
struct UpdateEnv
{
    CMeskProviderManager providers;
    CMeskUpdateManager manager{&providers};
    FakeProvider* twitter = nullptr;
    FakeProvider* facebook = nullptr;

    UpdateEnv(bool twitterActive, bool facebookActive)
    {
        twitter = new FakeProvider(1, QStringLiteral("Twitter"), &providers);
        facebook = new FakeProvider(2, QStringLiteral("Facebook"), &providers);
        twitter->setActivated(twitterActive);
        facebook->setActivated(facebookActive);
        twitter->enableTextPoster();
        facebook->enableTextPoster();
        providers.registerProvider(twitter, nullptr);
        providers.registerProvider(facebook, nullptr);
    }
};

QPushButton* sendButton(QWidget* w)
{
    return w->findChild<QPushButton*>(QStringLiteral("sendButton"));
}
QLabel* label(QWidget* w, const char* name)
{
    return w->findChild<QLabel*>(QLatin1String(name));
}

// The editor's message in place of the text edit, or empty.
QString editorMessage(CMeskPostUpdateWidget* w)
{
    auto* editor = w->findChild<CMeskTextEditWidget*>();
    return editor->errorLabel()->isHidden() ? QString() : editor->errorLabel()->text();
}

QString checkedButtons(CMeskPostUpdateWidget* w, bool visibleOnly)
{
    QStringList names;
    for (auto* b : w->findChildren<CMeskSelectButton*>()) {
        if (visibleOnly ? !b->isHidden() : b->isChecked())
            names << b->text();
    }
    return names.join(QLatin1Char(' '));
}

bool looksBusy(CMeskPostUpdateWidget* w)
{
    const bool busy = !label(w, "statusLabel")->isHidden();
    auto* animation = w->findChild<CQuorAnimationWidget*>();
    return busy && !animation->isHidden() && !w->findChild<CMeskTextEditWidget*>()->isEnabled() &&
           !sendButton(w)->isEnabled();
}

QString shownError(QWidget* w)
{
    return label(w, "errorLabel")->isHidden() ? QString() : label(w, "errorLabel")->text();
}

QList<FakeShadowWindow*> shadowsOf(const QWidget* owner)
{
    QList<FakeShadowWindow*> result;
    for (FakeShadowWindow* fake : FakeShadowWindow::instances()) {
        if (fake->owner == owner)
            result << fake;
    }
    return result;
}

SPhoneContact contact(const QString& display, const QString& nick, const QString& given, const QString& last,
                      const QStringList& numbers)
{
    SPhoneContact c;
    c.displayName = display;
    c.nickName = nick;
    c.givenName = given;
    c.lastName = last;
    for (const QString& n : numbers)
        c.phones.append(SPhoneNumber{n, QString()});
    return c;
}

QStringList gLog;
void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    gLog << text;
}

} // namespace

class TestMeskPostDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void refresh_data();
    void refresh();
    void uncheckedStaysAfterHide();
    void posting_data();
    void posting();
    void hiddenWhileSending();
    void shape();
    void edgeWithoutCompositor_data();
    void edgeWithoutCompositor();
    void contacts();
    void numberCheck_data();
    void numberCheck();
    void counterAndStates();
    void sending_data();
    void sending();
    void sendEnabled_data();
    void sendEnabled();
    void returnSelectsEntry();
    void preset();
    void screenshots();

private:
    std::unique_ptr<TestEngine> smsEnv(const QList<SPhoneContact>& contacts = {}, bool sms = true);
};

void TestMeskPostDialogs::refresh_data()
{
    QTest::addColumn<bool>("twitterActive");
    QTest::addColumn<bool>("facebookActive");
    QTest::addColumn<bool>("twitterSelected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("send");
    QTest::addColumn<QString>("buttons");
    const QString none =
        QStringLiteral("There are no activated services, please activate at least one in settings");
    const QString select = QStringLiteral("Please select at least one service");
    QTest::newRow("none activated") << false << false << true << "hi" << none << false << "";
    QTest::newRow("unchecked") << true << false << false << "hi" << select << false << "Twitter";
    QTest::newRow("empty") << true << false << true << ""
                           << "" << false << "Twitter";
    QTest::newRow("text") << true << false << true << "hi"
                          << "" << true << "Twitter";
    QTest::newRow("both") << true << true << true << "hi"
                          << "" << true << "Twitter Facebook";
    // Facebook is not activated but still selected: it does not count as a choice.
    QTest::newRow("activated selections only")
        << true << false << false << "hi" << select << false << "Twitter";
}

void TestMeskPostDialogs::refresh()
{
    QFETCH(bool, twitterActive);
    QFETCH(bool, facebookActive);
    QFETCH(bool, twitterSelected);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, send);
    QFETCH(QString, buttons);
    UpdateEnv env(twitterActive, facebookActive);
    if (!twitterSelected)
        env.manager.deselectProvider(1);
    QVERIFY(env.manager.isProviderSelected(2));
    CMeskPostUpdateWidget w(&env.manager, nullptr);
    w.setText(text);
    w.show();
    QCOMPARE(editorMessage(&w), message);
    QCOMPARE(sendButton(&w)->isEnabled(), send);
    QCOMPARE(checkedButtons(&w, true), buttons);
}

void TestMeskPostDialogs::uncheckedStaysAfterHide()
{
    UpdateEnv env(true, false);
    CMeskPostUpdateWidget w(&env.manager, nullptr);
    w.setText(QStringLiteral("hi"));
    w.show();
    auto* twitter = w.findChildren<CMeskSelectButton*>().at(0);
    QCOMPARE(twitter->text(), QStringLiteral("Twitter"));
    QTest::mouseClick(twitter, Qt::LeftButton);
    QVERIFY(!sendButton(&w)->isEnabled());
    w.hide();
    w.show();
    QVERIFY(!twitter->isChecked());
    QVERIFY(!env.manager.isProviderSelected(1));
    QCOMPARE(editorMessage(&w), QStringLiteral("Please select at least one service"));
    QTest::mouseClick(twitter, Qt::LeftButton);
    QVERIFY(sendButton(&w)->isEnabled());
}

void TestMeskPostDialogs::posting_data()
{
    QTest::addColumn<bool>("facebookActive");
    QTest::addColumn<int>("twitterOutcome");
    QTest::addColumn<QString>("error"); // empty: posted
    const int manual = int(FakeTextPoster::Outcome::Manual);
    QTest::newRow("done") << false << manual << "";
    QTest::newRow("twitter fails") << false << manual << "Twitter failed ";
    QTest::newRow("both fail") << true << manual << "Failed ";
    // The answer arrives inside postUpdate.
    QTest::newRow("fail at once") << false << int(FakeTextPoster::Outcome::FailAtOnce) << "Twitter failed ";
}

void TestMeskPostDialogs::posting()
{
    QFETCH(bool, facebookActive);
    QFETCH(int, twitterOutcome);
    QFETCH(QString, error);
    UpdateEnv env(true, facebookActive);
    env.twitter->textPoster()->setOutcome(FakeTextPoster::Outcome(twitterOutcome));
    CMeskPostUpdateWidget w(&env.manager, nullptr);
    w.show();
    w.setText(QStringLiteral("hello"));
    QTest::mouseClick(sendButton(&w), Qt::LeftButton);
    QCOMPARE(env.twitter->textPoster()->postedTexts, QStringList{QStringLiteral("hello")});
    if (twitterOutcome == int(FakeTextPoster::Outcome::Manual)) {
        QVERIFY(looksBusy(&w));
        if (error.isEmpty()) {
            env.twitter->textPoster()->finishDone();
        } else {
            env.twitter->textPoster()->finishFailed();
            if (facebookActive)
                env.facebook->textPoster()->finishFailed();
        }
    }
    QVERIFY(!looksBusy(&w));
    if (error.isEmpty()) {
        QCOMPARE(w.text(), QString());
        QVERIFY(w.isHidden());
        return;
    }
    QCOMPARE(shownError(&w), error);
    QVERIFY(!label(&w, "errorIcon")->isHidden());
    QCOMPARE(w.text(), QStringLiteral("hello"));
    QVERIFY(w.isVisible());
    QVERIFY(sendButton(&w)->isEnabled());
    QTest::keyClicks(w.findChild<CMeskTextEdit*>(), QStringLiteral("!"));
    QCOMPARE(shownError(&w), QString());
    QVERIFY(label(&w, "errorIcon")->isHidden());
}

void TestMeskPostDialogs::hiddenWhileSending()
{
    UpdateEnv env(true, true);
    env.facebook->textPoster()->setOutcome(FakeTextPoster::Outcome::DoneAtOnce);
    CMeskPostUpdateWidget w(&env.manager, nullptr);
    w.show();
    w.setText(QStringLiteral("hello"));
    QTest::mouseClick(sendButton(&w), Qt::LeftButton);
    QTest::mouseClick(w.findChild<QToolButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    QVERIFY(w.isHidden());

    // A reply for Facebook, as the main window prepares it.
    env.manager.selectProvider(2);
    env.manager.deselectProvider(1);
    w.setText(QStringLiteral("reply"));
    w.show();
    QCOMPARE(w.text(), QStringLiteral("reply"));
    QVERIFY(looksBusy(&w));
    QTest::mouseClick(sendButton(&w), Qt::LeftButton); // disabled: nothing starts

    env.twitter->textPoster()->finishDone();
    QCOMPARE(w.text(), QStringLiteral("reply"));
    QVERIFY(w.isVisible());
    QVERIFY(!looksBusy(&w));
    QVERIFY(sendButton(&w)->isEnabled());
    QCOMPARE(checkedButtons(&w, false), QStringLiteral("Facebook"));
    QCOMPARE(env.twitter->textPoster()->postedTexts, QStringList{QStringLiteral("hello")});
    QCOMPARE(env.facebook->textPoster()->postedTexts, QStringList{QStringLiteral("hello")});
}

void TestMeskPostDialogs::shape()
{
    FakeShadowWindowScope fakes;
    UpdateEnv env(true, false);
    auto engine = smsEnv();
    CMeskPostUpdateWidget update(&env.manager, nullptr);
    CMeskPostSmsWidget sms(engine->engine(), nullptr);
    for (QWidget* w : {static_cast<QWidget*>(&update), static_cast<QWidget*>(&sms)}) {
        const int tabW = w->property("tabWidth").toInt();
        const int tabH = w->property("tabHeight").toInt();
        QVERIFY(tabW > 20 && tabH > 16 && tabW < 300);
        w->resize(340, 300);
        w->move(50, 60);
        w->show();
        QVERIFY(!w->mask().contains(QPoint(tabW + 5, 2)));
        QVERIFY(w->mask().contains(QPoint(5, tabH + 5)));
        const QPoint origin = w->mapToGlobal(QPoint(0, 0));
        const QMargins grown(CMeskShadowWindow::MarginLeft, CMeskShadowWindow::MarginTop,
                             CMeskShadowWindow::MarginRight, CMeskShadowWindow::MarginBottom);
        QList<FakeShadowWindow*> shadows = shadowsOf(w);
        QCOMPARE(shadows.size(), 2);
        QCOMPARE(shadows.at(0)->geometry(), QRect(0, 0, tabW, tabH).translated(origin).marginsAdded(grown));
        QCOMPARE(shadows.at(1)->geometry(),
                 QRect(0, tabH, 340, 300 - tabH).translated(origin).marginsAdded(grown));
        w->resize(340, 200);
        shadows = shadowsOf(w);
        QCOMPARE(shadows.size(), 2);
        QCOMPARE(shadows.at(1)->geometry(),
                 QRect(0, tabH, 340, 200 - tabH).translated(origin).marginsAdded(grown));
        w->hide();
    }
}

void TestMeskPostDialogs::edgeWithoutCompositor_data()
{
    QTest::addColumn<bool>("sms");
    QTest::addColumn<bool>("compositing");
    QTest::newRow("update, no compositor") << false << false;
    QTest::newRow("update, compositor") << false << true;
    QTest::newRow("sms, no compositor") << true << false;
    QTest::newRow("sms, compositor") << true << true;
}

// Without a compositor (and so without shadows) a 1-px line in the frame colour runs along the
// tab-shaped outline; with one the shadows mark the edge.
void TestMeskPostDialogs::edgeWithoutCompositor()
{
    QFETCH(bool, sms);
    QFETCH(bool, compositing);
    FakeCompositorScope compositor(compositing);
    FakeShadowWindowScope fakes;
    UpdateEnv env(true, false);
    auto engine = smsEnv();
    std::unique_ptr<QWidget> w;
    if (sms)
        w = std::make_unique<CMeskPostSmsWidget>(engine->engine(), nullptr);
    else
        w = std::make_unique<CMeskPostUpdateWidget>(&env.manager, nullptr);
    w->setGeometry(50, 60, 340, 250);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const int tabW = w->property("tabWidth").toInt();
    const int tabH = w->property("tabHeight").toInt();
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image);
    const QColor line = static_cast<CQuorCommonStyle*>(QApplication::style())->color(10);
    // The tab's top and right side, the body's top beside the tab, its right side and bottom.
    const QList<QPoint> outline{
        {tabW / 2, 0}, {tabW - 1, tabH / 2}, {(tabW + 339) / 2, tabH}, {339, 150}, {170, 249}};
    for (const QPoint& p : outline) {
        const QString at = QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
        QVERIFY2((QColor(image.pixel(p)) == line) != compositing, qPrintable(at));
    }
    QVERIFY(QColor(image.pixel(170, 247)) != line); // only the outermost pixel
}

std::unique_ptr<TestEngine> TestMeskPostDialogs::smsEnv(const QList<SPhoneContact>& contacts, bool sms)
{
    auto env = std::make_unique<TestEngine>();
    env->sms = sms;
    env->contacts = contacts;
    if (!env->init())
        return nullptr;
    return env;
}

void TestMeskPostDialogs::contacts()
{
    const QList<SPhoneContact> list{
        contact(QStringLiteral("Zed"), {}, {}, {}, {QStringLiteral("+111"), QStringLiteral("  ")}),
        contact(QStringLiteral(" "), QStringLiteral("Bo"), {}, {}, {QStringLiteral("222")}),
        contact({}, {}, QStringLiteral("Ann"), QStringLiteral("Lee"),
                {QStringLiteral("333"), QStringLiteral("444")}),
        contact({}, {}, {}, QStringLiteral("Kay"), {QStringLiteral("666")}),
        contact({}, {}, {}, {}, {QStringLiteral("555")})};
    auto env = smsEnv(list);
    QVERIFY(env);
    gLog.clear();
    QtMessageHandler previous = qInstallMessageHandler(collect);
    auto* w = new CMeskPostSmsWidget(env->engine(), nullptr);
    qInstallMessageHandler(previous);
    auto* box = w->findChild<CMeskSmsContactCombo*>();
    QStringList labels;
    for (int i = 0; i < box->count(); ++i)
        labels << box->itemText(i);
    QCOMPARE(labels,
             (QStringList{"Bo (222)", "555", "Ann Lee (333)", "Ann Lee (444)", "Kay (666)", "Zed (+111)"}));
    QCOMPARE(box->itemData(5, Qt::UserRole).toString(), QStringLiteral("+111"));
    QCOMPARE(box->currentIndex(), -1);
    QVERIFY(!gLog.isEmpty());
    for (const QString& line : std::as_const(gLog)) {
        for (const char* secret :
             {"Zed", "Bo", "Ann", "Lee", "Kay", "111", "222", "333", "444", "555", "666"})
            QVERIFY2(!line.contains(QLatin1String(secret)), qPrintable(line));
    }
    delete w;

    auto empty = smsEnv();
    CMeskPostSmsWidget none(empty->engine(), nullptr);
    auto* emptyBox = none.findChild<CMeskSmsContactCombo*>();
    QCOMPARE(emptyBox->count(), 0);
    QCOMPARE(emptyBox->toolTip(),
             QStringLiteral("Synchronize your mobile with Velto Quor Suite to see your phonebook"));
}

void TestMeskPostDialogs::numberCheck_data()
{
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("sent"); // empty: refused
    QTest::newRow("blanks and dashes") << "+45 12-34 56 78"
                                       << "+4512345678";
    QTest::newRow("three") << "123"
                           << "123";
    QTest::newRow("twenty") << "12345678901234567890"
                            << "12345678901234567890";
    QTest::newRow("two") << "12"
                         << "";
    QTest::newRow("twenty-one") << "123456789012345678901"
                                << "";
    QTest::newRow("brackets") << "(123)456"
                              << "";
    QTest::newRow("dot") << "1.234"
                         << "";
    QTest::newRow("letters") << "abc"
                             << "";
    QTest::newRow("inner plus") << "12+345"
                                << "";
    QTest::newRow("arabic-indic") << QString::fromUtf8("٣٤٥") << "";
    QTest::newRow("full-width") << QString::fromUtf8("１２３") << "";
}

void TestMeskPostDialogs::numberCheck()
{
    QFETCH(QString, recipient);
    QFETCH(QString, sent);
    auto env = smsEnv();
    QVERIFY(env);
    CMeskPostSmsWidget w(env->engine(), nullptr);
    w.show();
    w.setRecipient(recipient);
    w.setText(QStringLiteral("hi"));
    env->smsEngine()->calls.clear();
    QTest::mouseClick(sendButton(&w), Qt::LeftButton);
    const QStringList sends = env->smsEngine()->calls.filter(QStringLiteral("send "));
    if (sent.isEmpty()) {
        QVERIFY(sends.isEmpty());
        QCOMPARE(shownError(&w), QStringLiteral("The recipient is not valid. "));
        QVERIFY(label(&w, "counterLabel")->isHidden());
        QVERIFY(w.isVisible());
    } else {
        QCOMPARE(sends, QStringList{QStringLiteral("send ") + sent + QStringLiteral(" hi")});
        QVERIFY(w.isHidden());
    }
}

void TestMeskPostDialogs::counterAndStates()
{
    auto bare = smsEnv({}, false);
    QVERIFY(bare);
    CMeskPostSmsWidget noSms(bare->engine(), nullptr);
    QCOMPARE(label(&noSms, "counterLabel")->text(), QStringLiteral("0(0)"));

    auto env = smsEnv();
    QVERIFY(env);
    env->smsEngine()->setState(TMeskSmsState(0));
    CMeskPostSmsWidget w(env->engine(), nullptr);
    QCOMPARE(shownError(&w), QString());
    QVERIFY(!label(&w, "counterLabel")->isHidden());
    w.setText(QStringLiteral("hello"));
    QCOMPARE(label(&w, "counterLabel")->text(), QStringLiteral("155(1)"));

    const QList<QPair<int, QString>> states{{3, QStringLiteral("There is no SIM in your device")},
                                            {2, QStringLiteral("Device is powered off")},
                                            {5, QStringLiteral("SIM card is locked by a PIN code")},
                                            {6, QString()}};
    for (const auto& [state, message] : states) {
        env->smsEngine()->setState(TMeskSmsState(state));
        emit env->smsEngine()->stateChanged(TMeskSmsState(state));
        QTRY_COMPARE_WITH_TIMEOUT(shownError(&w), message, 30000);
        QCOMPARE(label(&w, "counterLabel")->isHidden(), !message.isEmpty());
    }

    // A refused number, then an edit of the recipient in the ready state clears the message.
    w.setRecipient(QStringLiteral("12"));
    QTest::mouseClick(sendButton(&w), Qt::LeftButton);
    QCOMPARE(shownError(&w), QStringLiteral("The recipient is not valid. "));
    w.findChild<CMeskSmsContactCombo*>()->setEditText(QStringLiteral("123"));
    QCOMPARE(shownError(&w), QString());
}

void TestMeskPostDialogs::sending_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QString>("call"); // the send asked of the SMS engine, or empty
    QTest::newRow("accepted") << 6 << true << "send 444 hi";
    QTest::newRow("refused") << 6 << false << "send 444 hi";
    QTest::newRow("powered off") << 2 << true << "";
}

void TestMeskPostDialogs::sending()
{
    QFETCH(int, state);
    QFETCH(bool, ready);
    QFETCH(QString, call);
    auto env = smsEnv({contact(QStringLiteral("Ann Lee"), {}, {}, {}, {"333", "444"})});
    QVERIFY(env);
    env->smsEngine()->setState(TMeskSmsState(state));
    env->smsEngine()->setReady(ready);
    CMeskPostSmsWidget w(env->engine(), nullptr);
    w.show();
    auto* box = w.findChild<CMeskSmsContactCombo*>();
    box->setEditText(QStringLiteral("Ann Lee (444)"));
    w.setText(QStringLiteral("hi"));
    env->smsEngine()->calls.clear();
    QTest::mouseClick(sendButton(&w), Qt::LeftButton);
    const QStringList sends = env->smsEngine()->calls.filter(QStringLiteral("send "));
    QCOMPARE(sends, call.isEmpty() ? QStringList() : QStringList{call});
    const bool sent = !call.isEmpty() && ready;
    QCOMPARE(w.isHidden(), sent);
    QCOMPARE(w.findChild<CMeskTextEdit*>()->toPlainText(), sent ? QString() : QStringLiteral("hi"));
    QCOMPARE(box->currentText(), sent ? QString() : QStringLiteral("Ann Lee (444)"));
    if (state == 6)
        QCOMPARE(shownError(&w), QString());
    QCOMPARE(box->count(), 2);
}

void TestMeskPostDialogs::sendEnabled_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("ready") << 6 << "Ann Lee (444)"
                           << "hi" << true;
    QTest::newRow("ready, a number the check refuses") << 6 << "12"
                                                       << "hi" << true;
    QTest::newRow("ready, no text") << 6 << "123"
                                    << "" << false;
    QTest::newRow("ready, no recipient") << 6 << ""
                                         << "hi" << false;
    QTest::newRow("ready, blank recipient") << 6 << "  "
                                            << "hi" << false;
    QTest::newRow("not yet known") << 0 << "123"
                                   << "hi" << false;
    QTest::newRow("no SIM") << 4 << "123"
                            << "hi" << false;
    QTest::newRow("powered off") << 2 << "123"
                                 << "hi" << false;
    QTest::newRow("PIN") << 5 << "123"
                         << "hi" << false;
}

void TestMeskPostDialogs::sendEnabled()
{
    QFETCH(int, state);
    QFETCH(QString, recipient);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    auto env = smsEnv({contact(QStringLiteral("Ann Lee"), {}, {}, {}, {"444"})});
    QVERIFY(env);
    CMeskPostSmsWidget w(env->engine(), nullptr);
    w.show();
    auto* box = w.findChild<CMeskSmsContactCombo*>();
    QCOMPARE(box->lineEdit()->placeholderText(), QStringLiteral("Name or number"));
    QVERIFY(!sendButton(&w)->isEnabled()); // nothing written yet

    // Inputs first, then the state; and the other way round.
    box->setEditText(recipient);
    w.setText(text);
    env->smsEngine()->setState(TMeskSmsState(state));
    emit env->smsEngine()->stateChanged(TMeskSmsState(state));
    QTRY_COMPARE_WITH_TIMEOUT(sendButton(&w)->isEnabled(), enabled, 30000);

    env->smsEngine()->setState(TMeskSmsState(3));
    emit env->smsEngine()->stateChanged(TMeskSmsState(3));
    QTRY_VERIFY_WITH_TIMEOUT(!sendButton(&w)->isEnabled(), 30000);
    env->smsEngine()->setState(TMeskSmsState(state));
    emit env->smsEngine()->stateChanged(TMeskSmsState(state));
    QTRY_COMPARE_WITH_TIMEOUT(sendButton(&w)->isEnabled(), enabled, 30000);

    // Emptying either input turns it off again.
    w.setText(QString());
    QVERIFY(!sendButton(&w)->isEnabled());
    w.setText(text);
    box->setEditText(QString());
    QVERIFY(!sendButton(&w)->isEnabled());
}

void TestMeskPostDialogs::returnSelectsEntry()
{
    auto env = smsEnv({contact(QStringLiteral("Ann Lee"), {}, {}, {}, {"333", "444"})});
    QVERIFY(env);
    CMeskPostSmsWidget w(env->engine(), nullptr);
    w.show();
    auto* box = w.findChild<CMeskSmsContactCombo*>();
    box->setEditText(QStringLiteral("Ann Lee (333)"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(box->count(), 2);
}

void TestMeskPostDialogs::preset()
{
    for (bool second : {false, true}) {
        QList<SPhoneContact> list{contact(QStringLiteral("Ann"), {}, {}, {}, {"555-123-4567"})};
        if (second)
            list << contact(QStringLiteral("Bob"), {}, {}, {}, {"0151234567"});
        auto env = smsEnv(list);
        QVERIFY(env);
        CMeskPostSmsWidget w(env->engine(), nullptr);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* box = w.findChild<CMeskSmsContactCombo*>();
        box->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(box->hasFocus(), 30000);
        w.setRecipient(QStringLiteral("+15551234567"));
        if (!second) {
            QCOMPARE(box->currentIndex(), 0);
            QVERIFY(box->hasFocus());
        } else {
            QCOMPARE(box->currentIndex(), -1);
            QCOMPARE(box->currentText(), QStringLiteral("+15551234567"));
            QTRY_VERIFY_WITH_TIMEOUT(w.findChild<CMeskTextEdit*>()->hasFocus(), 30000);
        }
    }
}

// On a real display: the dialogs over a plain backdrop, grabbed from the screen so the mask shows.
void TestMeskPostDialogs::screenshots()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display");
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, QColor(200, 210, 220));
    backdrop.setPalette(palette);
    backdrop.setGeometry(0, 0, 900, 420);
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    auto shoot = [&](QWidget* w, const QString& name) {
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::qWait(200);
        const QRect area = w->frameGeometry().adjusted(-20, -20, 20, 20);
        QPixmap shot = w->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        QVERIFY(shot.save(dir.filePath(name)));
    };

    UpdateEnv env(true, true);
    CMeskPostUpdateWidget update(&env.manager, nullptr);
    update.setGeometry(40, 40, 340, 250);
    update.show();
    shoot(&update, QStringLiteral("post-update-idle.png"));
    if (!CCompositingWatch::instance()->isActive()) {
        // On the screen too: the body's right side is the frame colour, the backdrop beside it.
        const QPixmap grabbed = update.screen()->grabWindow(0, 378, 150, 4, 1);
        const QImage edge = grabbed.toImage();
        const int r = qRound(grabbed.devicePixelRatio()); // device pixels per logical one
        QCOMPARE(QColor(edge.pixel(1 * r, 0)),
                 static_cast<CQuorCommonStyle*>(QApplication::style())->color(10));
        QCOMPARE(QColor(edge.pixel(2 * r, 0)), QColor(200, 210, 220));
    }
    update.setText(QStringLiteral("Off to the lake for the weekend!"));
    QTest::mouseClick(sendButton(&update), Qt::LeftButton);
    shoot(&update, QStringLiteral("post-update-sending.png"));
    env.twitter->textPoster()->finishFailed();
    env.facebook->textPoster()->finishDone();
    shoot(&update, QStringLiteral("post-update-failed.png"));

    auto smsEngine = smsEnv({contact(QStringLiteral("Ann Lee"), {}, {}, {}, {"+4512345678"})});
    QVERIFY(smsEngine);
    smsEngine->smsEngine()->setState(SmsStatePinLocked);
    CMeskPostSmsWidget sms(smsEngine->engine(), nullptr);
    sms.setGeometry(440, 40, 340, 250);
    sms.setRecipient(QStringLiteral("+4512345678"));
    sms.setText(QStringLiteral("See you at noon."));
    sms.show();
    shoot(&sms, QStringLiteral("post-sms-state.png"));
    sms.hide();
    // Ready, nothing written: the recipient's placeholder and Send off.
    smsEngine->smsEngine()->setState(SmsStateReady);
    emit smsEngine->smsEngine()->stateChanged(SmsStateReady);
    CMeskPostSmsWidget empty(smsEngine->engine(), nullptr);
    empty.setGeometry(440, 40, 340, 250);
    empty.show();
    shoot(&empty, QStringLiteral("post-sms-empty.png"));
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));
}

QTEST_MAIN(TestMeskPostDialogs)
#include "tst_meskpostdialogs.moc"
