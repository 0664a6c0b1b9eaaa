#include "notifications/mesknotifications.h"

#include "imediaitemprovider.h"
#include "imediaobjects.h"
#include "imesksms.h"
#include "meskengine.h"
#include "mesknotification.h"
#include "mesktexts.h"
#include "notifications/mesksound.h"
#include "settings/mesksettings.h"
#include "style/quorimages.h"

#include <QRegularExpression>

namespace {

const QString DefaultAvatarPath = QStringLiteral(":/meskstyle/images/defaultuser.png");
const QString SmsLogoPath = QStringLiteral(":/images/sms/sms_logo_small.png");

} // namespace

CMeskNotifications::CMeskNotifications(CMeskEngine* engine, CMeskSettings* settings, QObject* parent)
    : QObject(parent), m_engine(engine), m_settings(settings)
{
    readSettings();
    connect(m_engine, &CMeskEngine::smsNewMessageReceived, this,
            &CMeskNotifications::_onSmsNewMessageReceived);
    connect(m_engine, &CMeskEngine::serviceEventAdded, this, &CMeskNotifications::_onServiceEventAdded);
    connect(m_settings, &CMeskSettings::valueChanged, this, &CMeskNotifications::_onSettingsValueChanged);
}

CMeskNotifications::~CMeskNotifications()
{
    delete m_toast;
}

CMeskNotification* CMeskNotifications::toast()
{
    if (!m_toast)
        m_toast = new CMeskNotification;
    return m_toast;
}

QList<mid_t> CMeskNotifications::parseFeedUsers(const QString& text)
{
    QList<mid_t> users;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString& part : parts)
        users.append(part.toULongLong()); // 0 when not a number
    return users;
}

QString CMeskNotifications::cutText(const QString& text)
{
    if (text.size() <= MaxTextLength)
        return text;
    qsizetype cut = MaxTextLength;
    // A surrogate pair stays whole.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    // A tag that the cut would open is dropped whole.
    const qsizetype tagStart = text.lastIndexOf(QLatin1Char('<'), cut - 1);
    if (tagStart >= 0 && text.lastIndexOf(QLatin1Char('>'), cut - 1) < tagStart)
        cut = tagStart;
    // So is an entity: "&", an optional "#" and letters or digits up to the cut, no ";" yet.
    static const QRegularExpression entityTail(QStringLiteral("&#?[A-Za-z0-9]*$"));
    const QRegularExpressionMatch match = entityTail.match(QStringView(text).left(cut));
    if (match.hasMatch())
        cut = match.capturedStart();
    return text.left(cut) + QStringLiteral("...");
}

QString CMeskNotifications::stripTags(const QString& text)
{
    // Greedy: from the first "<style>" to the last "</style>", line breaks included.
    static const QRegularExpression styleBlock(QStringLiteral("<style>.*</style>"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString result = text;
    result.remove(styleBlock);
    result.remove(tag);
    return result;
}

void CMeskNotifications::readSettings()
{
    m_showNewMessages = m_settings->value(SettingToastNewMessages).toBool();
    m_showNewFeeds = m_settings->value(SettingToastNewPosts).toBool();
    m_showAllNewFeeds = m_settings->value(SettingToastAllContacts).toBool();
    m_playSounds = m_settings->value(SettingPlaySounds).toBool();
    readFeedUsers();
}

void CMeskNotifications::readFeedUsers()
{
    m_feedUsers = parseFeedUsers(m_settings->value(SettingToastContacts).toString());
}

void CMeskNotifications::_onSettingsValueChanged(int key)
{
    switch (key) {
    case SettingPlaySounds:
        m_playSounds = m_settings->value(key).toBool();
        break;
    case SettingToastNewMessages:
        m_showNewMessages = m_settings->value(key).toBool();
        break;
    case SettingToastNewPosts:
        m_showNewFeeds = m_settings->value(key).toBool();
        break;
    case SettingToastAllContacts:
        m_showAllNewFeeds = m_settings->value(key).toBool();
        break;
    case SettingToastContacts:
        readFeedUsers();
        break;
    default:
        break;
    }
}

void CMeskNotifications::_onSmsNewMessageReceived(const SSmsMessage& message)
{
    if (m_showNewMessages)
        showSmsToast(message);
}

void CMeskNotifications::_onServiceEventAdded(const SMediaItem& item)
{
    if (m_showNewFeeds && (m_showAllNewFeeds || m_feedUsers.contains(item.user)))
        showEventToast(item);
}

bool CMeskNotifications::toastShowing() const
{
    return m_toast && m_toast->isVisible();
}

void CMeskNotifications::showSmsToast(const SSmsMessage& message)
{
    if (toastShowing())
        return;
    if (m_playSounds)
        MeskSound::beep();
    toast();

    QString name = message.phone;
    QPixmap avatar;
    const QList<SPhoneContact> matches = m_engine->findContacts(message.phone);
    if (matches.size() == 1) {
        name = matches.first().displayName;
        avatar = matches.first().picture;
    }
    // Name and message come from other people: both escaped whole (the label itself only
    // escapes "<" of the name, which leaves an escaped name as it is).
    const QString text = cutText(CMeskTexts::smsAddressLabel(
        name.toHtmlEscaped(),
        CMeskTexts::smsMessageText(message.message, message.isDataMessage()).toHtmlEscaped(), false));
    if (avatar.isNull())
        avatar = QuorImages::pixmap(DefaultAvatarPath);
    m_toast->showNotification(text, avatar, QuorImages::pixmap(SmsLogoPath));
}

void CMeskNotifications::showEventToast(const SMediaItem& item)
{
    if (toastShowing())
        return;
    IMediaItemProvider* provider = m_engine->provider(item.provider);
    if (!provider)
        return;
    IMediaUser* author = provider->user(item.user);
    if (!author || author->serviceUser().type != MeskUserType::Contact)
        return;
    QPixmap avatar = author->avatar();
    if (avatar.isNull())
        avatar = QuorImages::pixmap(DefaultAvatarPath);
    if (m_playSounds)
        MeskSound::beep();
    toast();

    QString text;
    provider->itemText(item, text);
    m_toast->showNotification(cutText(stripTags(text)), avatar, provider->icon());
}
