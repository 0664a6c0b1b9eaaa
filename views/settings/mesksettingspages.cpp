#include "settings/mesksettingspages.h"

#include "imediaitemprovider.h"
#include "meskengine.h"
#include "meskmessagebox.h"
#include "mesksmallwidgets.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "notifications/mesksound.h"
#include "settings/mesksettings.h"
#include "style/quorimages.h"
#include "widgets/quorbuttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QStringList>
#include <QVBoxLayout>

namespace {

QLabel* boldLabel(const QString& text)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* plainLabel()
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

// ---- CMeskGeneralSettingsView -----------------------------------------------

CMeskGeneralSettingsView::CMeskGeneralSettingsView(CMeskSettings* settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(boldLabel(tr("Application Settings", "Dialog title")), 0);
    m_launchBox = new CQuorCheckBox;
    m_launchBox->setText(tr("Launch at Startup", "Checkbox text"));
    layout->addWidget(m_launchBox, 0);
    m_soundsBox = new CQuorCheckBox;
    m_soundsBox->setText(tr("Play sounds", "Checkbox text"));
    layout->addWidget(m_soundsBox, 0);
    connect(m_launchBox, &QAbstractButton::clicked, this, &CMeskGeneralSettingsView::_onStartupBoxClicked);
    connect(m_soundsBox, &QAbstractButton::clicked, this, &CMeskGeneralSettingsView::_onPlaySoundsBoxClicked);

    // The history period: nothing in the program acts on it, so its controls are kept hidden,
    // outside the layout.
    auto* historyLabel = boldLabel(tr("History", "Section header title"));
    historyLabel->setParent(this);
    historyLabel->hide();
    m_historyCombo = new CMeskLabelCombo(this);
    m_historyCombo->hide();
    m_historyCombo->addItem(0, tr("today", "Keep the data downloaded from Social-Networks for today"));
    m_historyCombo->addItem(1, tr("three days", "Keep the data downloaded from Social-Networks for 3 days"));
    m_historyCombo->addItem(2, tr("a week", "Keep the data downloaded from Social-Networks for a week"));
    m_historyCombo->addItem(3, tr("a month", "Keep the data downloaded from Social-Networks for a month"));
    connect(m_historyCombo, &CMeskLabelCombo::selectionChanged, this,
            &CMeskGeneralSettingsView::_onHistorySelectionChanged);

    layout->addWidget(
        boldLabel(tr("Warnings", "Title of the Settings Section that relates to Mesk Warnings. ")), 0);
    auto* description = new QLabel(tr("If you have marked some warnings not to be <br>repeatedly displayed, "
                                      "click the button below to <br>restore them.",
                                      "Description for the \"Restore\" button's action. "));
    description->setTextFormat(Qt::RichText);
    // Larger fonts wrap the lines further instead of cutting them at the page's fixed width.
    description->setWordWrap(true);
    layout->addWidget(description, 0);
    m_restoreButton = new CQuorToolButton;
    m_restoreButton->setText(
        tr("Restore", "Makes Mesk re-start displaying the warning that the user has dismissed"));
    m_restoreButton->setToolTip(
        tr("Restores the previously dismissed warnings", "Tooltip text for the \"Restore\" button."));
    m_restoreButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(m_restoreButton, 0);
    connect(m_restoreButton, &QAbstractButton::clicked, this,
            &CMeskGeneralSettingsView::_onWarnButtonClicked);
    layout->addStretch(1);
    reload();
}

CMeskGeneralSettingsView::~CMeskGeneralSettingsView() = default;

void CMeskGeneralSettingsView::reload()
{
    m_launchBox->setChecked(m_settings->value(SettingLaunchAtStartup).toBool());
    m_soundsBox->setChecked(m_settings->value(SettingPlaySounds).toBool());
    const int period = m_settings->value(SettingHistoryPeriod).toInt();
    m_historyCombo->setCurrentItem(period);
    setHistoryLabel(period);
}

void CMeskGeneralSettingsView::setHistoryLabel(int id)
{
    QString period;
    for (QAction* action : m_historyCombo->actions()) {
        if (action->data().toInt() == id)
            period = action->text();
    }
    m_historyCombo->setText(tr("Save history for ", "Combobox explanation text") + period);
}

void CMeskGeneralSettingsView::_onStartupBoxClicked(bool checked)
{
    m_settings->setValue(SettingLaunchAtStartup, checked);
}

void CMeskGeneralSettingsView::_onPlaySoundsBoxClicked(bool checked)
{
    m_settings->setValue(SettingPlaySounds, checked);
    if (checked)
        MeskSound::beep();
}

void CMeskGeneralSettingsView::_onHistorySelectionChanged(int id)
{
    m_settings->setValue(SettingHistoryPeriod, id);
    setHistoryLabel(id);
}

void CMeskGeneralSettingsView::_onWarnButtonClicked()
{
    m_settings->setValue(SettingIgnoreCellularNetworkWarning, false);
    m_settings->setValue(SettingIgnoreLowSignalWarning, false);
    m_settings->saveQuietly();
}

// ---- CMeskProviderInfoWidget ------------------------------------------------

CMeskProviderInfoWidget::CMeskProviderInfoWidget(IMediaItemProvider* provider, QWidget* parent)
    : QWidget(parent), m_provider(provider)
{
    auto* layout = new QHBoxLayout(this);
    auto* logo = new CMeskThumbnailWidget(5);
    logo->setPixmap(provider->icon());
    m_accountLabel = plainLabel();
    m_addButton = new CMeskAddToolButton;
    m_deleteButton = new CMeskDeleteToolButton;
    layout->addWidget(logo, 0);
    layout->addWidget(m_accountLabel, 0);
    layout->addStretch(1);
    layout->addWidget(m_addButton, 0);
    layout->addWidget(m_deleteButton, 0);
    if (provider->isActivated())
        _onActivated();
    else
        _onDeactivated();
    connect(provider, &IMediaItemProvider::activated, this, &CMeskProviderInfoWidget::_onActivated);
    connect(provider, &IMediaItemProvider::deactivated, this, &CMeskProviderInfoWidget::_onDeactivated);
    connect(m_addButton, &QAbstractButton::clicked, this, &CMeskProviderInfoWidget::_onEnableProvider);
    connect(m_deleteButton, &QAbstractButton::clicked, this, &CMeskProviderInfoWidget::_onDisableProvider);
}

CMeskProviderInfoWidget::~CMeskProviderInfoWidget() = default;

void CMeskProviderInfoWidget::_onActivated()
{
    m_accountLabel->setText(m_provider->userName());
    m_addButton->hide();
    m_deleteButton->show();
}

void CMeskProviderInfoWidget::_onDeactivated()
{
    m_accountLabel->setText(m_provider->name());
    m_addButton->show();
    m_deleteButton->hide();
}

void CMeskProviderInfoWidget::_onEnableProvider()
{
    if (m_provider->setupMode() == MeskSetupMode::Wizard)
        m_provider->setup(this);
}

void CMeskProviderInfoWidget::_onDisableProvider()
{
    const QString text =
        tr("Please note that all user data will be deleted as well. Are you sure you want to "
           "delete account information?",
           "Dialog text");
    if (CMeskMessageBox::warning(text, this))
        m_provider->removeAccount();
}

// ---- CMeskSmsProviderInfoWidget ---------------------------------------------

CMeskSmsProviderInfoWidget::CMeskSmsProviderInfoWidget(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    auto* layout = new QHBoxLayout(this);
    auto* logo = new CMeskThumbnailWidget(5);
    logo->setPixmap(QuorImages::pixmap(QStringLiteral(":/images/sms/sms_logo_small.png")));
    m_title = plainLabel();
    m_status = plainLabel();
    m_status->setWordWrap(true);
    m_stateIcon = new CMeskThumbnailWidget(5);
    layout->addWidget(logo, 0, Qt::AlignTop);
    layout->addWidget(m_title, 0, Qt::AlignTop);
    layout->addWidget(m_status, 1, Qt::AlignTop);
    layout->addWidget(m_stateIcon, 0, Qt::AlignTop);
    _onSmsStateChanged(engine->smsState());
    connect(engine, &CMeskEngine::smsStateChanged, this, &CMeskSmsProviderInfoWidget::_onSmsStateChanged);
}

CMeskSmsProviderInfoWidget::~CMeskSmsProviderInfoWidget() = default;

void CMeskSmsProviderInfoWidget::_onSmsStateChanged(TMeskSmsState state)
{
    const QString operatorName = m_engine->operatorName();
    m_title->setText(operatorName.isEmpty() ? tr("SMS", "Section header text") : operatorName);
    QString status;
    switch (int(state)) {
    case 0: // not derived yet: nothing to claim
        break;
    case SmsStateReady:
        status = m_engine->ownPhoneNumber();
        break;
    case SmsStatePoweredOff:
        status = tr("Device is powered off", "Status text");
        break;
    case SmsStatePinLocked:
        status = tr("SIM card is locked by a PIN code", "Status text");
        break;
    default:
        status = tr("There is no SIM in your device", "Status text");
        break;
    }
    m_status->setText(status);
    m_enabled = (state == SmsStateReady);
    m_stateIcon->setPixmap(
        QuorImages::pixmap(CMeskUiStyle::imageRoot() + (m_enabled ? QStringLiteral("sms_enabled.png")
                                                                  : QStringLiteral("sms_disabled.png"))));
}

// ---- CMeskServicesWidget / CMeskServicesView --------------------------------

CMeskServicesWidget::CMeskServicesWidget(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_engine(engine)
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(boldLabel(tr("Text messaging", "Section header text")));
    m_smsRow = new CMeskSmsProviderInfoWidget(engine);
    layout->addWidget(m_smsRow);
    layout->addWidget(new CMeskSeparatorWidget);
    layout->addWidget(boldLabel(tr("Services", "Section header text")));
    for (IMediaItemProvider* provider : engine->providers()) {
        if (provider->providerId() == MeskProvider::SmsColumn)
            continue;
        auto* row = new CMeskProviderInfoWidget(provider);
        m_rows.append(row);
        layout->addWidget(row);
    }
    layout->addStretch(1);
}

CMeskServicesWidget::~CMeskServicesWidget() = default;

CMeskServicesView::CMeskServicesView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent)
    : CMeskVScrollArea(parent)
{
    m_content = new CMeskServicesWidget(settings, engine);
    setWidget(m_content);
}

CMeskServicesView::~CMeskServicesView() = default;

// ---- CMeskNotificationsWidget / CMeskNotificationsView ----------------------

CMeskNotificationsWidget::CMeskNotificationsWidget(CMeskSettings* settings, CMeskEngine* engine,
                                                   QWidget* parent)
    : QWidget(parent), m_settings(settings), m_engine(engine)
{
    auto* layout = new QVBoxLayout(this);
    auto* title = boldLabel(tr("Show me taskbar notifications for", "Dialog title"));
    title->setWordWrap(true);
    layout->addWidget(title, 0);
    m_newMessagesBox = new CQuorCheckBox;
    m_newMessagesBox->setText(tr("New text messages", "option - checkbox text"));
    layout->addWidget(m_newMessagesBox, 0);
    m_newPostsBox = new CQuorCheckBox;
    m_newPostsBox->setText(tr("New posts", "option - checkbox text"));
    layout->addWidget(m_newPostsBox, 0);
    connect(m_newMessagesBox, &QAbstractButton::clicked, this,
            &CMeskNotificationsWidget::_onNewTextMessageClicked);
    connect(m_newPostsBox, &QAbstractButton::clicked, this, &CMeskNotificationsWidget::_onNewFeedsClicked);
    layout->addWidget(new CMeskSeparatorWidget);
    layout->addWidget(boldLabel(tr("Show me notifications for", "Label text for a section of the settings")));
    m_allContactsBox = new CQuorCheckBox;
    m_allContactsBox->setText(tr("All contacts", "Option - checkbox text"));
    layout->addWidget(m_allContactsBox);
    connect(m_allContactsBox, &QAbstractButton::clicked, this,
            &CMeskNotificationsWidget::_onAllContactsClicked);
    layout->addSpacing(10);
    m_contactsLayout = new QVBoxLayout;
    m_contactsLayout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_contactsLayout, 0);
    layout->addStretch(1);
    reload();
    connect(engine, &CMeskEngine::serviceDeactivated, this, &CMeskNotificationsWidget::_onServiceDeactivated);
    connect(engine, &CMeskEngine::serviceUserAdded, this, &CMeskNotificationsWidget::_onServiceUserAdded);
}

CMeskNotificationsWidget::~CMeskNotificationsWidget() = default;

void CMeskNotificationsWidget::reload()
{
    m_newMessagesBox->setChecked(m_settings->value(SettingToastNewMessages).toBool());
    m_newPostsBox->setChecked(m_settings->value(SettingToastNewPosts).toBool());
    m_allContactsBox->setChecked(m_settings->value(SettingToastAllContacts).toBool());
    rebuildContacts();
}

bool CMeskNotificationsWidget::isContact(const SServiceUser& user)
{
    return user.provider != MeskProvider::SmsColumn && !user.name.isEmpty() &&
           user.type == MeskUserType::Contact;
}

CQuorCheckBox* CMeskNotificationsWidget::addContactBox(const SServiceUser& user)
{
    auto* box = new CQuorCheckBox;
    // A service's name is shown as it is: "&" would otherwise mark a mnemonic.
    box->setText(QString(user.name).replace(QLatin1Char('&'), QStringLiteral("&&")));
    connect(box, &QAbstractButton::clicked, this, &CMeskNotificationsWidget::_onUserClicked);
    m_contactBoxes.insert(user.id, box);
    m_contactsLayout->addWidget(box, 0);
    return box;
}

void CMeskNotificationsWidget::rebuildContacts()
{
    // What cannot be read leaves the boxes as they are.
    bool read = false;
    const QList<SServiceUser> users = m_engine->serviceUsers(&read);
    if (!read)
        return;
    qDeleteAll(m_contactBoxes);
    m_contactBoxes.clear();
    for (const SServiceUser& user : users) {
        if (isContact(user) && !m_contactBoxes.contains(user.id))
            addContactBox(user);
    }
    selectContacts();
    update();
}

void CMeskNotificationsWidget::selectContacts()
{
    if (m_settings->value(SettingToastAllContacts).toBool()) {
        for (CQuorCheckBox* box : std::as_const(m_contactBoxes))
            box->setChecked(true);
        return;
    }
    const QStringList ids = m_settings->value(SettingToastContacts).toString().split(QLatin1Char(';'));
    for (auto it = m_contactBoxes.cbegin(); it != m_contactBoxes.cend(); ++it)
        it.value()->setChecked(ids.contains(QString::number(it.key())));
}

void CMeskNotificationsWidget::_onServiceDeactivated(mid_t)
{
    rebuildContacts();
}

void CMeskNotificationsWidget::_onServiceUserAdded(mid_t, const SServiceUser& user)
{
    // A user reported again keeps the one box it has.
    if (!isContact(user) || m_contactBoxes.contains(user.id))
        return;
    addContactBox(user)->setChecked(true);
}

void CMeskNotificationsWidget::_onNewTextMessageClicked(bool checked)
{
    m_settings->setValue(SettingToastNewMessages, checked);
}

void CMeskNotificationsWidget::_onNewFeedsClicked(bool checked)
{
    m_settings->setValue(SettingToastNewPosts, checked);
}

void CMeskNotificationsWidget::_onAllContactsClicked(bool checked)
{
    m_settings->setValue(SettingToastAllContacts, checked);
    selectContacts();
}

void CMeskNotificationsWidget::_onUserClicked(bool)
{
    QStringList ids;
    for (auto it = m_contactBoxes.cbegin(); it != m_contactBoxes.cend(); ++it) {
        if (it.value()->isChecked())
            ids.append(QString::number(it.key()));
    }
    m_settings->setValue(SettingToastContacts, ids.join(QLatin1Char(';')));
}

CMeskNotificationsView::CMeskNotificationsView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent)
    : CMeskVScrollArea(parent)
{
    m_content = new CMeskNotificationsWidget(settings, engine);
    setWidget(m_content);
}

CMeskNotificationsView::~CMeskNotificationsView() = default;

void CMeskNotificationsView::reload()
{
    m_content->reload();
}
