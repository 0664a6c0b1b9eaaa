#include "feed/mesksmswidget.h"

#include "meskengine.h"
#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "style/quorimages.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char kDefaultAvatar[] = ":/images/sms/sms_default_profile_avatar.png";
const char kSmsLogo[] = ":/images/sms/sms_logo_small.png";

} // namespace

CMeskSmsWidget::CMeskSmsWidget(const SSmsMessage& message, CMeskEngine* engine, QWidget* parent)
    : IMediaItemWidget(parent), m_engine(engine), m_message(message)
{
    findContact();
    if (engine)
        connect(engine, &CMeskEngine::contactsChanged, this, &CMeskSmsWidget::_onContactsChanged);

    if (engine && message.type == SSmsMessage::BeingSent) {
        connect(engine, &CMeskEngine::smsMessageSendDone, this, &CMeskSmsWidget::_onSmsMessageSendDone);
        connect(engine, &CMeskEngine::smsMessageSendFailed, this, &CMeskSmsWidget::_onSmsMessageSendFailed);
    } else if (engine && message.type == SSmsMessage::SendFailed) {
        // A message marked failed when the program stopped may prove sent once the modem is read.
        connect(engine, &CMeskEngine::smsMessageSendDone, this, &CMeskSmsWidget::_onSmsMessageSendDone);
    }

    // Message row: the picture on the correspondent's side (left for a received message).
    auto* messageRow = new QHBoxLayout;
    auto* avatarPart = new QHBoxLayout;
    m_avatar = new CMeskThumbnailWidget(0, this);
    m_avatar->setPixmap(m_contact.picture);
    avatarPart->addWidget(m_avatar, 0, Qt::AlignTop);
    avatarPart->addStretch(1);

    m_text = new QLabel(labelText(), this);
    m_text->setTextFormat(Qt::RichText);
    m_text->setToolTip(Qt::convertFromPlainText(message.phone));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Links are clicked, not opened by the label: only web addresses leave the program.
    m_text->setOpenExternalLinks(false);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    connect(m_text, &QLabel::linkActivated, this, &CMeskSmsWidget::_onLinkActivated);

    if (message.type == SSmsMessage::Received) {
        messageRow->addLayout(avatarPart);
        messageRow->addWidget(m_text, 1, Qt::AlignTop);
    } else {
        messageRow->addWidget(m_text, 1, Qt::AlignTop);
        messageRow->addLayout(avatarPart);
    }

    // Action row.
    auto* actionRow = new QHBoxLayout;
    m_failure = new QLabel(this);
    m_failure->setWordWrap(true);
    m_logo = new CMeskThumbnailWidget(5, this);
    m_logo->setPixmap(QuorImages::pixmap(QLatin1String(kSmsLogo)));
    m_dateLabel = new CMeskItemDateLabel(message.created, this);
    m_dateLabel->setToolTip(QLocale().toString(message.created, QLocale::LongFormat));
    m_status = new QLabel(this);
    m_resend = new CMeskItemLinkButton(
        //: Caption for the button that initiates the operation to retry to send an SMS message that failed to
        //: be sent
        tr("Resend"), this);
    m_cancel = new CMeskItemLinkButton(
        //: Caption for the button that deletes failed message from feed view
        tr("Cancel"), this);
    QString replyOrForward;
    if (message.type == SSmsMessage::Received) {
        //: Caption for the button that initiates the operation to reply to an SMS message that was received
        replyOrForward = tr("Reply");
    } else {
        //: Caption for the button that initiates the operation to forward to an SMS message to another
        //: contact
        replyOrForward = tr("Forward");
    }
    m_replyForward = new CMeskItemLinkButton(replyOrForward, this);
    m_delete = new CMeskItemLinkButton(
        //: Caption for the button that deletes received message from feed view
        tr("Delete"), this);
    actionRow->addWidget(m_failure, 9);
    actionRow->addStretch(1);
    actionRow->addWidget(m_logo);
    actionRow->addWidget(m_dateLabel);
    actionRow->addWidget(m_status);
    actionRow->addWidget(m_resend);
    actionRow->addWidget(m_cancel);
    actionRow->addWidget(m_replyForward);
    actionRow->addWidget(m_delete);
    m_failure->hide();
    m_status->hide();
    m_resend->hide();
    m_cancel->hide();
    connect(m_resend, &CMeskItemLinkButton::clicked, this, &CMeskSmsWidget::_onResend);
    connect(m_cancel, &CMeskItemLinkButton::clicked, this, &CMeskSmsWidget::_onCancel);
    if (message.type == SSmsMessage::Received)
        connect(m_replyForward, &CMeskItemLinkButton::clicked, this, &CMeskSmsWidget::_onReply);
    else
        connect(m_replyForward, &CMeskItemLinkButton::clicked, this, &CMeskSmsWidget::_onForward);
    connect(m_delete, &CMeskItemLinkButton::clicked, this, &CMeskSmsWidget::_onDelete);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(messageRow, 1);
    layout->addLayout(actionRow);

    setThumbnailVisible(m_logoVisible);
    if (message.type == SSmsMessage::BeingSent)
        showSendingLook();
    else if (message.type == SSmsMessage::SendFailed)
        showFailedLook();
}

void CMeskSmsWidget::findContact()
{
    const QList<SPhoneContact> found =
        m_engine ? m_engine->findContacts(m_message.phone) : QList<SPhoneContact>();
    if (found.size() == 1) {
        m_contact = found.first();
    } else {
        m_contact = SPhoneContact();
        m_contact.displayName = m_message.phone;
        m_contact.picture = QuorImages::pixmap(QLatin1String(kDefaultAvatar));
        m_contact.phones.append(SPhoneNumber{m_message.phone, QString()});
    }
}

void CMeskSmsWidget::_onContactsChanged()
{
    findContact();
    m_avatar->setPixmap(m_contact.picture);
    m_text->setText(labelText());
}

QString CMeskSmsWidget::labelText() const
{
    return CMeskTexts::smsAddressLabel(
        m_contact.displayName.toHtmlEscaped(),
        m_message.isDataMessage() ? CMeskTexts::smsMessageText(m_message.message, true).toHtmlEscaped()
                                  : CMeskTexts::linkifyText(m_message.message),
        m_message.type != SSmsMessage::Received);
}

void CMeskSmsWidget::setThumbnailVisible(bool visible)
{
    m_logo->setVisible(visible);
}

void CMeskSmsWidget::updateTime()
{
    m_dateLabel->updateText();
}

bool CMeskSmsWidget::applyFilter(const QString& text, bool highlight)
{
    const QString caption = labelText();
    if (!meskFilterMatches(caption, text))
        return false;
    if (highlight && !text.isEmpty())
        m_text->setText(CMeskTexts::highlightText(caption, text, true));
    else
        m_text->setText(caption);
    return true;
}

void CMeskSmsWidget::clearFilter()
{
    m_text->setText(labelText());
}

SMediaItem CMeskSmsWidget::mediaItem()
{
    SMediaItem item;
    item.id = m_message.id;
    item.provider = MeskProvider::SmsColumn;
    item.created = m_message.created;
    item.content = CMeskTexts::smsMessageText(m_message.message, m_message.isDataMessage());
    item.mediaId = m_message.phone;
    item.type = 1;
    return item;
}

void CMeskSmsWidget::_onSmsMessageSendDone(const SSmsMessage& message)
{
    if (message.id != m_message.id)
        return;
    m_message.type = message.type;
    showSentLook();
    stopFollowingSend();
}

void CMeskSmsWidget::_onSmsMessageSendFailed(const SSmsMessage& message)
{
    if (message.id != m_message.id)
        return;
    showFailedLook();
    // The modem may still confirm it after the engine gave up waiting: done is still followed.
    if (m_engine)
        disconnect(m_engine, &CMeskEngine::smsMessageSendFailed, this,
                   &CMeskSmsWidget::_onSmsMessageSendFailed);
}

void CMeskSmsWidget::_onReply()
{
    emit postSmsAction(m_message.phone, QString());
}

void CMeskSmsWidget::_onForward()
{
    emit postSmsAction(QString(), m_message.message);
}

void CMeskSmsWidget::_onResend()
{
    if (!m_engine || !m_engine->isSmsReady())
        return;
    // Deleting removes this entry from its stream before the call returns (the widget itself is
    // released later): take the values first.
    const QString phone = m_message.phone;
    const QString text = m_message.message;
    m_engine->deleteSmsMessage(m_message);
    emit postSmsAction(phone, text);
}

void CMeskSmsWidget::_onCancel()
{
    if (m_engine)
        m_engine->deleteSmsMessage(m_message);
}

void CMeskSmsWidget::_onDelete()
{
    if (m_engine)
        m_engine->deleteSmsMessage(m_message);
}

void CMeskSmsWidget::_onLinkActivated(const QString& link)
{
    meskOpenWebAddress(link, this);
}

void CMeskSmsWidget::showSendingLook()
{
    //: The SMS message is being sent to the recipient
    m_status->setText(tr("Sending... "));
    QPalette palette = m_status->palette();
    const QBrush grey(CMeskUiStyle::color(14), Qt::SolidPattern);
    palette.setBrush(QPalette::Active, QPalette::WindowText, grey);
    palette.setBrush(QPalette::Inactive, QPalette::WindowText, grey);
    m_status->setPalette(palette);
    QFont font = m_status->font();
    font.setPointSize(8);
    m_status->setFont(font);
    m_status->show();
    m_dateLabel->hide();
    m_failure->hide();
    m_delete->hide();
}

void CMeskSmsWidget::showSentLook()
{
    m_replyForward->show();
    m_delete->show();
    m_dateLabel->show();
    m_resend->hide();
    m_cancel->hide();
    m_status->hide();
    m_failure->hide();
}

void CMeskSmsWidget::showFailedLook()
{
    //: The SMS could not be sent, user should try again
    m_failure->setText(tr("Message could not be sent"));
    QFont font = m_failure->font();
    font.setBold(true);
    font.setPointSize(8);
    m_failure->setFont(font);
    QPalette palette = m_failure->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::Window, Qt::transparent);
    m_failure->setPalette(palette);
    m_failure->setAutoFillBackground(true);
    m_resend->show();
    m_cancel->show();
    m_failure->show();
    m_status->hide();
    m_replyForward->hide();
    m_dateLabel->hide();
    m_delete->hide();
}

void CMeskSmsWidget::stopFollowingSend()
{
    if (!m_engine)
        return;
    disconnect(m_engine, &CMeskEngine::smsMessageSendDone, this, &CMeskSmsWidget::_onSmsMessageSendDone);
    disconnect(m_engine, &CMeskEngine::smsMessageSendFailed, this, &CMeskSmsWidget::_onSmsMessageSendFailed);
}
