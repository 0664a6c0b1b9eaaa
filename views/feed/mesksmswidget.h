#pragma once

#include "imediaitemwidget.h"
#include "imesksms.h"
#include "meskrecords.h"

class CMeskEngine;
class CMeskItemDateLabel;
class CMeskItemLinkButton;
class CMeskThumbnailWidget;
class QLabel;

// The feed entry of one text message: the correspondent's picture and name (the phone contact
// when exactly one contact has the number, else the number and the default picture), the text
// with its web addresses as links, the relative time and the actions of the message's state:
// Reply (received), Forward (sent), Resend and Cancel (failed), Delete. A message being sent
// follows the engine's send outcome for its id and then shows "sent" or "could not be sent".
// Deleting goes through the engine; the stream holding the entry removes it in answer.
class CMeskSmsWidget : public IMediaItemWidget
{
    Q_OBJECT

public:
    CMeskSmsWidget(const SSmsMessage& message, CMeskEngine* engine, QWidget* parent = nullptr);

    // The caption: "<b>From: name</b> text" for a received message, "<b>To: name</b> text"
    // otherwise; the name escaped, the text linkified.
    QString labelText() const;
    const SSmsMessage& message() const { return m_message; }
    const SPhoneContact& contact() const { return m_contact; }

    // The parts, for the views and tests.
    CMeskThumbnailWidget* avatar() const { return m_avatar; }
    CMeskThumbnailWidget* serviceLogo() const { return m_logo; }
    CMeskItemDateLabel* dateLabel() const { return m_dateLabel; }
    CMeskItemLinkButton* replyOrForwardButton() const { return m_replyForward; }
    CMeskItemLinkButton* resendButton() const { return m_resend; }
    CMeskItemLinkButton* cancelButton() const { return m_cancel; }
    CMeskItemLinkButton* deleteButton() const { return m_delete; }
    QLabel* textLabel() const { return m_text; }
    QLabel* statusLabel() const { return m_status; }
    QLabel* failureLabel() const { return m_failure; }

public slots:
    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override;

private slots:
    void _onSmsMessageSendDone(const SSmsMessage& message);
    void _onSmsMessageSendFailed(const SSmsMessage& message);
    void _onReply();
    void _onForward();
    void _onResend();
    void _onCancel();
    void _onDelete();
    void _onLinkActivated(const QString& link);
    // The phone contacts came after the entry was made: name and picture are looked up again.
    void _onContactsChanged();

private:
    void findContact();
    void showSendingLook();
    void showSentLook();
    void showFailedLook();
    void stopFollowingSend();

    CMeskEngine* m_engine = nullptr;
    CMeskThumbnailWidget* m_avatar = nullptr;
    CMeskThumbnailWidget* m_logo = nullptr;
    CMeskItemDateLabel* m_dateLabel = nullptr;
    CMeskItemLinkButton* m_replyForward = nullptr;
    CMeskItemLinkButton* m_resend = nullptr;
    CMeskItemLinkButton* m_cancel = nullptr;
    CMeskItemLinkButton* m_delete = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_failure = nullptr;
    SPhoneContact m_contact;
    SSmsMessage m_message;
    bool m_logoVisible = true;
};
