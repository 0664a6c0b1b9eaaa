#include "imediaitemstorage.h"
#include "meskmessagebox.h"
#include "mesksmallwidgets.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "meskxdgautostart.h"
#include "notifications/mesksound.h"
#include "settings/mesksettings.h"
#include "settings/mesksettingspages.h"
#include "settings/mesksettingswidget.h"
#include "testengine.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include <memory>

namespace {

// Answers the next modal box: accepted or rejected, as soon as it is up.
void answerModal(bool accept)
{
    QTimer::singleShot(0, [accept] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            accept ? dialog->accept() : dialog->reject();
            return;
        }
        answerModal(accept);
    });
}

int widgetCountAfterDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return QApplication::allWidgets().size();
}

QStringList sortedSplit(const QString& text)
{
    QStringList parts = text.split(QLatin1Char(';'));
    parts.sort();
    return parts;
}

void saveGrab(QWidget& widget, const QString& name)
{
    const QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(widget.grab().save(dir.filePath(name)));
}

} // namespace

class TestMeskSettingsPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        // For a look on a real display: TST_LARGE_FONTS=1 and TST_SHOW_MS (see screenshots()).
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void cleanup()
    {
        m_settings.reset();
        m_env.reset();
        MeskSound::setBeepFunction({});
    }
    void tabHeader();
    void switchesArrangement();
    void pagesBuiltWhenShown_data();
    void pagesBuiltWhenShown();
    void serviceRows();
    void smsRow_data();
    void smsRow();
    void generalPage_data();
    void generalPage();
    void translatorComments();
    void notifications();
    void screenshots();

private:
    // The engine with Twitter, Facebook ("ann"), Flickr and a provider with id 7, and one store.
    void start(bool sms = false);
    QString settingsFile() const
    {
        return QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk")).fileName();
    }

    std::unique_ptr<TestEngine> m_env;
    std::unique_ptr<CMeskSettings> m_settings;
};

void TestMeskSettingsPages::start(bool sms)
{
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(1, QStringLiteral("Twitter"), false);
    m_env->addProvider(2, QStringLiteral("Facebook"), true);
    m_env->addProvider(3, QStringLiteral("Flickr"), false);
    m_env->addProvider(7, QStringLiteral("SMS"), false);
    if (sms) {
        m_env->sms = true;
        m_env->modemReadyState = 1;
    }
    QVERIFY(m_env->init());
    m_env->provider(2)->setUserName(QStringLiteral("ann"));
    m_settings = std::make_unique<CMeskSettings>();
}

void TestMeskSettingsPages::tabHeader()
{
    CMeskSettingsTabHeader header;
    header.resize(300, 20);
    header.show();
    QVERIFY(QTest::qWaitForWindowExposed(&header));
    QCOMPARE(header.height(), 20);
    QSignalSpy clicked(&header, &CMeskSettingsTabHeader::buttonClicked);
    for (int x : {50, 100, 150, 200, 250, 250})
        QTest::mouseClick(&header, Qt::LeftButton, {}, QPoint(x, 10));
    QCOMPARE(clicked.size(), 4); // the presses on 100 and 200 select nothing
    const QList<int> expected{0, 1, 2, 2};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(clicked.at(i).at(0).toInt(), expected.at(i));
    QCOMPARE(header.currentTab(), 2);
    // A right button selects as well.
    QTest::mouseClick(&header, Qt::RightButton, {}, QPoint(50, 10));
    QCOMPARE(header.currentTab(), 0);
}

void TestMeskSettingsPages::switchesArrangement()
{
    start();
    CMeskSettingsWidget area(m_settings.get(), m_env->engine(), true);
    CMeskMultiSettingsView* multi = area.multiView();
    QVERIFY(multi && !area.singleView());
    area.showServicesPage(); // nothing to select in the multi view
    area.showMultiView();
    QCOMPARE(area.multiView(), multi);
    QCOMPARE(multi->generalPage()->width(), 336);

    multi->generalPage()->soundsBox()->click();
    area.showSingleView();
    QVERIFY(!area.multiView());
    CMeskSingleSettingsView* single = area.singleView();
    QVERIFY(single->generalPage()->soundsBox()->isChecked());
    area.showServicesPage();
    QCOMPARE(single->titleLabel()->text(), QStringLiteral("Services"));
    QVERIFY(!single->servicesPage()->isHidden());
    QVERIFY(single->generalPage()->isHidden() && single->notificationsPage()->isHidden());
    area.showSingleView(); // kept, with its page
    QCOMPARE(area.singleView(), single);
    QCOMPARE(single->tabHeader()->currentTab(), 1);

    area.showMultiView();
    QVERIFY(area.multiView()->generalPage()->soundsBox()->isChecked());
    const int count = widgetCountAfterDeletes();
    for (int i = 0; i < 10; ++i) {
        area.showSingleView();
        area.showMultiView();
    }
    QCOMPARE(widgetCountAfterDeletes(), count);
}

void TestMeskSettingsPages::pagesBuiltWhenShown_data()
{
    QTest::addColumn<bool>("multi");
    QTest::addColumn<bool>("withParent"); // shown with its parent, or hidden and shown by itself
    QTest::newRow("single, by itself") << false << false;
    QTest::newRow("single, with parent") << false << true;
    QTest::newRow("multi, by itself") << true << false;
    QTest::newRow("multi, with parent") << true << true;
}

void TestMeskSettingsPages::pagesBuiltWhenShown()
{
    QFETCH(bool, multi);
    QFETCH(bool, withParent);
    start();
    QWidget parent;
    auto* layout = new QVBoxLayout(&parent);
    auto* area = new CMeskSettingsWidget(m_settings.get(), m_env->engine(), !multi);
    layout->addWidget(area);
    if (!withParent)
        area->hide();
    if (multi)
        area->showMultiView();
    else
        area->showSingleView();
    // A value still pending when the pages are built shows in them.
    CMeskGeneralSettingsView other(m_settings.get());
    other.soundsBox()->click();
    parent.show();
    if (!withParent)
        area->show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QWidget* view = multi ? static_cast<QWidget*>(area->multiView()) : area->singleView();
    QVERIFY(view && view->isVisible());
    QVERIFY(multi ? !area->singleView() : !area->multiView());
    CMeskGeneralSettingsView* general =
        multi ? area->multiView()->generalPage() : area->singleView()->generalPage();
    QVERIFY(general->soundsBox()->isChecked());
    QVERIFY(view->geometry().height() > 0 && area->height() >= view->geometry().bottom());
}

void TestMeskSettingsPages::serviceRows()
{
    start();
    CMeskServicesView view(m_settings.get(), m_env->engine());
    const QList<CMeskProviderInfoWidget*> rows = view.content()->rows();
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rows.at(i)->provider()->providerId(), mid_t(i + 1));
    CMeskProviderInfoWidget* twitter = rows.at(0);
    CMeskProviderInfoWidget* facebook = rows.at(1);
    QCOMPARE(twitter->accountLabel()->text(), QStringLiteral("Twitter"));
    QVERIFY(!twitter->addButton()->isHidden() && twitter->deleteButton()->isHidden());
    QCOMPARE(facebook->accountLabel()->text(), QStringLiteral("ann"));
    QVERIFY(facebook->addButton()->isHidden() && !facebook->deleteButton()->isHidden());

    // Another provider's signals leave the row alone.
    m_env->provider(3)->setUserName(QStringLiteral("fl"));
    m_env->provider(3)->emitActivated();
    QCOMPARE(twitter->accountLabel()->text(), QStringLiteral("Twitter"));
    QCOMPARE(rows.at(2)->accountLabel()->text(), QStringLiteral("fl"));

    // Add: the setup wizard only in setup mode 2, under the row.
    FakeProvider* tw = m_env->provider(1);
    twitter->addButton()->click();
    QCOMPARE(tw->setupCalls, 1);
    QCOMPARE(tw->setupParent, static_cast<QWidget*>(twitter));
    tw->setSetupMode(1);
    twitter->addButton()->click();
    QCOMPARE(tw->setupCalls, 1);

    // Delete: confirmed, then the row waits for the provider's signal; declined, nothing.
    FakeProvider* fb = m_env->provider(2);
    fb->setSilentRemoveAccount(true);
    answerModal(false);
    facebook->deleteButton()->click();
    QCOMPARE(fb->removeAccountCalls, 0);
    answerModal(true);
    facebook->deleteButton()->click();
    QCOMPARE(fb->removeAccountCalls, 1);
    QCOMPARE(facebook->accountLabel()->text(), QStringLiteral("ann"));
    fb->emitDeactivated();
    QCOMPARE(facebook->accountLabel()->text(), QStringLiteral("Facebook"));
    QVERIFY(!facebook->addButton()->isHidden() && facebook->deleteButton()->isHidden());

    // A service's account name is shown as it stands.
    tw->setUserName(QStringLiteral("<b>x</b>"));
    tw->emitActivated();
    QCOMPARE(twitter->accountLabel()->text(), QStringLiteral("<b>x</b>"));
    QCOMPARE(twitter->accountLabel()->textFormat(), Qt::PlainText);
}

void TestMeskSettingsPages::smsRow_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("withOperator");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("enabledIcon");
    const QString number = QStringLiteral("+4791234567");
    QTest::newRow("ready") << 6 << true << "Testnett" << number << true;
    QTest::newRow("not supported") << 3 << true << "Testnett"
                                   << "There is no SIM in your device" << false;
    QTest::newRow("not derived yet") << 0 << true << "Testnett"
                                     << "" << false;
    QTest::newRow("powered off") << 2 << true << "Testnett"
                                 << "Device is powered off" << false;
    QTest::newRow("no operator") << 6 << false << "SMS" << number << true;
}

void TestMeskSettingsPages::smsRow()
{
    QFETCH(int, state);
    QFETCH(bool, withOperator);
    QFETCH(QString, title);
    QFETCH(QString, status);
    QFETCH(bool, enabledIcon);
    start(true);
    CMeskEngine* engine = m_env->engine();
    m_env->modem()->setOwnNumbers({QStringLiteral("+4791234567")});
    if (withOperator) {
        m_env->modem()->setHomeProvider(QStringLiteral("Testnett"));
        QTRY_COMPARE_WITH_TIMEOUT(engine->operatorName(), QStringLiteral("Testnett"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(engine->ownPhoneNumber(), QStringLiteral("+4791234567"), 30000);
    }
    CMeskSmsProviderInfoWidget row(engine);
    emit engine->smsStateChanged(TMeskSmsState(state));
    QCOMPARE(row.titleLabel()->text(), title);
    QCOMPARE(row.statusLabel()->text(), withOperator ? status : QString());
    QCOMPARE(row.showsEnabledIcon(), enabledIcon);
    QVERIFY(row.stateIcon()->hasPixmap());
    QCOMPARE(row.titleLabel()->textFormat(), Qt::PlainText);
}

void TestMeskSettingsPages::generalPage_data()
{
    QTest::addColumn<QString>("steps");
    QTest::newRow("sounds on") << "sounds";
    QTest::newRow("sounds off") << "sounds sounds";
    QTest::newRow("launch, discard, launch, save") << "launch discard launch save";
    QTest::newRow("launch, restore, discard") << "launch restore discard";
}

void TestMeskSettingsPages::generalPage()
{
    QFETCH(QString, steps);
    start();
    const QString entry = CMeskXdgAutostart::entryPath();
    QVERIFY(!QFile::exists(entry) && !QFile::exists(settingsFile()));
    int beeps = 0;
    MeskSound::setBeepFunction([&beeps] { ++beeps; });
    CMeskGeneralSettingsView page(m_settings.get());
    QVERIFY(!page.launchBox()->isChecked() && !page.soundsBox()->isChecked());
    QVERIFY(page.historyCombo()->isHidden());
    QCOMPARE(page.historyCombo()->text(), QStringLiteral("Save history for a week"));
    QSignalSpy changed(m_settings.get(), &CMeskSettings::valueChanged);
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        if (step == QLatin1String("sounds"))
            page.soundsBox()->click();
        else if (step == QLatin1String("launch"))
            page.launchBox()->click();
        else if (step == QLatin1String("restore"))
            page.restoreButton()->click();
        else if (step == QLatin1String("save"))
            m_settings->save();
        else if (step == QLatin1String("discard")) {
            m_settings->discard();
            page.reload();
            if (!steps.contains(QLatin1String("restore"))) {
                QVERIFY(!page.launchBox()->isChecked());
                QVERIFY(!QFile::exists(entry));
            }
        }
    }
    const QSettings file(settingsFile(), QSettings::IniFormat);
    if (steps == QLatin1String("sounds")) {
        QCOMPARE(beeps, 1);
        QCOMPARE(m_settings->value(1).toBool(), true);
        QVERIFY(!QFile::exists(settingsFile()));
    } else if (steps == QLatin1String("sounds sounds")) {
        QCOMPARE(beeps, 1);
        QCOMPARE(m_settings->value(1).toBool(), false);
    } else if (steps.endsWith(QLatin1String("save"))) {
        QVERIFY(page.launchBox()->isChecked());
        QVERIFY(QFile::exists(entry));
        QCOMPARE(file.value(QStringLiteral("LaunchAtStratup")).toBool(), true);
    } else {
        // Restore wrote the pending launch setting too: the discard cannot take it back.
        QCOMPARE(file.value(QStringLiteral("IgnoreCellularNetworkWarning")).toString(),
                 QStringLiteral("false"));
        QCOMPARE(file.value(QStringLiteral("IgnoreLowSignalWarning")).toString(), QStringLiteral("false"));
        QCOMPARE(file.value(QStringLiteral("LaunchAtStratup")).toBool(), true);
        QVERIFY(QFile::exists(entry));
        QVERIFY(page.launchBox()->isChecked());
        // The reload after the discard recorded nothing.
        changed.clear();
        m_settings->save();
        QCOMPARE(changed.size(), 0);
    }
}

void TestMeskSettingsPages::translatorComments()
{
    // Every text of the General page with its translator comment, blanks included.
    const QList<QPair<QString, QString>> expected{
        {"Application Settings", "Dialog title"},
        {"Launch at Startup", "Checkbox text"},
        {"Play sounds", "Checkbox text"},
        {"History", "Section header title"},
        {"today", "Keep the data downloaded from Social-Networks for today"},
        {"three days", "Keep the data downloaded from Social-Networks for 3 days"},
        {"a week", "Keep the data downloaded from Social-Networks for a week"},
        {"a month", "Keep the data downloaded from Social-Networks for a month"},
        {"Warnings", "Title of the Settings Section that relates to Mesk Warnings. "},
        {"If you have marked some warnings not to be <br>repeatedly displayed, click the button below to "
         "<br>restore them.",
         "Description for the \"Restore\" button's action. "},
        {"Restore", "Makes Mesk re-start displaying the warning that the user has dismissed"},
        {"Restores the previously dismissed warnings", "Tooltip text for the \"Restore\" button."},
        {"Save history for ", "Combobox explanation text"},
    };
    QFile file(QStringLiteral(LUMESK_SOURCE_DIR "/resources/translations/mesk_source.ts"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QList<QPair<QString, QString>> found;
    QString context;
    QString source;
    QString comment;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("comment"))
            comment = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("message"))
            source.clear(), comment.clear();
        else if (xml.isEndElement() && xml.name() == QLatin1String("message") &&
                 context == QLatin1String("CMeskGeneralSettingsView"))
            found.append({source, comment});
    }
    QVERIFY(!xml.hasError());
    for (const auto& text : expected)
        QVERIFY2(found.contains(text), qPrintable(text.first + QLatin1String(" / ") + text.second));
}

void TestMeskSettingsPages::notifications()
{
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(1, QStringLiteral("Twitter"));
    m_env->addProvider(2, QStringLiteral("Facebook"));
    const auto user = [](mid_t provider, const QString& name, int type) {
        SServiceUser u;
        u.provider = provider;
        u.name = name;
        u.type = type;
        u.mediaId = name + QString::number(type) + QString::number(provider);
        return u;
    };
    QList<SServiceUser> users{user(2, "Ann", 2), user(1, "Bob", 2), user(2, "Me", 1),
                              user(1, "Zed", 0), user(1, "", 2),    user(7, "Sms", 2)};
    QVERIFY(m_env->seedUsers(users));
    const QString a = QString::number(users.at(0).id);
    const QString b = QString::number(users.at(1).id);
    QVERIFY(m_env->init());
    m_settings = std::make_unique<CMeskSettings>();
    CMeskNotificationsView view(m_settings.get(), m_env->engine());
    CMeskNotificationsWidget* page = view.content();
    const auto box = [page](const QString& id) { return page->contactBoxes().value(id.toLongLong()); };

    // A fresh store: everything checked; contacts Ann and Bob only.
    QVERIFY(page->newMessagesBox()->isChecked() && page->newPostsBox()->isChecked());
    QVERIFY(page->allContactsBox()->isChecked());
    QCOMPARE(page->contactBoxes().size(), 2);
    QVERIFY(box(a)->isChecked() && box(b)->isChecked());
    QCOMPARE(box(a)->text(), QStringLiteral("Ann"));

    // All off, then tick both and untick both.
    page->allContactsBox()->click();
    QVERIFY(!box(a)->isChecked() && !box(b)->isChecked());
    box(a)->click();
    box(b)->click();
    QCOMPARE(sortedSplit(m_settings->value(13).toString()), sortedSplit(a + ";" + b));
    box(a)->click();
    box(b)->click();
    QCOMPARE(m_settings->value(13).toString(), QString());

    // All on, one unticked: key 13 holds the other, key 12 stays.
    page->allContactsBox()->click();
    QVERIFY(box(a)->isChecked() && box(b)->isChecked());
    box(a)->click();
    QCOMPARE(m_settings->value(13).toString(), b);
    QCOMPARE(m_settings->value(12).toBool(), true);

    // Empty parts of key 13 are harmless.
    m_settings->setValue(12, false);
    m_settings->setValue(13, a + ";;" + b);
    view.reload();
    QVERIFY(box(a)->isChecked() && box(b)->isChecked());

    // A removed account takes its contacts' boxes with it.
    QVERIFY(m_env->provider(2)->storage->deleteProviderUsers(2));
    m_env->provider(2)->emitDeactivated();
    QTRY_COMPARE_WITH_TIMEOUT(page->contactBoxes().size(), 1, 30000);
    QVERIFY(!box(a) && box(b));

    // A new contact reported twice: one box, checked, key 13 unchanged.
    m_settings->setValue(13, b);
    SServiceUser carol = user(1, "Carol", 2);
    carol.id = 9999;
    m_env->provider(1)->emitServiceUserAdded(carol);
    m_env->provider(1)->emitServiceUserAdded(carol);
    QCOMPARE(page->contactBoxes().size(), 2);
    QVERIFY(box("9999")->isChecked());
    QCOMPARE(page->findChildren<CQuorCheckBox*>().size(), 3 + 2);
    QCOMPARE(m_settings->value(13).toString(), b);

    // A name with markup and an ampersand is shown as it stands.
    SServiceUser team = user(1, "R&D <team>", 2);
    team.id = 10000;
    m_env->provider(1)->emitServiceUserAdded(team);
    CQuorCheckBox* teamBox = box("10000");
    QVERIFY(teamBox);
    QVERIFY(QKeySequence::mnemonic(teamBox->text()).isEmpty());
    QCOMPARE(teamBox->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
             QStringLiteral("R&D <team>"));

    const int count = widgetCountAfterDeletes();
    for (int i = 0; i < 10; ++i)
        view.reload();
    QCOMPARE(widgetCountAfterDeletes(), count - 2); // the two reported users are not stored
}

void TestMeskSettingsPages::screenshots()
{
    start(true);
    CMeskEngine* engine = m_env->engine();
    m_env->modem()->setOwnNumbers({QStringLiteral("+4791234567")});
    m_env->modem()->setHomeProvider(QStringLiteral("Testnett"));
    QTRY_COMPARE_WITH_TIMEOUT(engine->operatorName(), QStringLiteral("Testnett"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(engine->ownPhoneNumber(), QStringLiteral("+4791234567"), 30000);
    emit engine->smsStateChanged(SmsStateReady);
    const QColor colours[] = {QColor(0x1D, 0xA1, 0xF2), QColor(0x3B, 0x59, 0x98), QColor(0xFF, 0x00, 0x84)};
    for (mid_t id = 1; id <= 3; ++id) {
        QPixmap icon(17, 17);
        icon.fill(colours[id - 1]);
        m_env->provider(id)->setIcon(icon);
    }
    const auto addContacts = [this] {
        mid_t id = 500;
        for (const char* name : {"Ann Lee", "Bob Smith", "R&D <team>"}) {
            SServiceUser user;
            user.id = ++id;
            user.provider = 2;
            user.type = 2;
            user.name = QString::fromLatin1(name);
            m_env->provider(2)->emitServiceUserAdded(user);
        }
    };

    CMeskSettingsWidget area(m_settings.get(), engine, false);
    area.resize(360, 520);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    addContacts();
    const char* names[] = {"settings-single-general.png", "settings-single-services.png",
                           "settings-single-notifications.png"};
    for (int tab = 0; tab < 3; ++tab) {
        area.singleView()->tabHeader()->setCurrentTab(tab);
        QCoreApplication::processEvents();
        saveGrab(area, QString::fromLatin1(names[tab]));
    }
    area.showMultiView();
    addContacts();
    area.resize(1100, 420);
    QCoreApplication::processEvents();
    saveGrab(area, QStringLiteral("settings-multi.png"));
    // TST_SETTINGS_TAB=0..2 puts the single arrangement on that tab back for the photograph.
    std::unique_ptr<CMeskSettingsWidget> single;
    if (qEnvironmentVariableIsSet("TST_SETTINGS_TAB")) {
        area.hide();
        single = std::make_unique<CMeskSettingsWidget>(m_settings.get(), engine, false);
        single->resize(360, 520);
        single->show();
        single->singleView()->tabHeader()->setCurrentTab(qEnvironmentVariableIntValue("TST_SETTINGS_TAB"));
        addContacts();
    }
    // Keeps the area on screen that long, for a photograph of the real display.
    QTest::qWait(qEnvironmentVariableIntValue("TST_SHOW_MS"));
}

QTEST_MAIN(TestMeskSettingsPages)
#include "tst_mesksettingspages.moc"
