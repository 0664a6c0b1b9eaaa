#pragma once

#include "meskrecords.h"
#include "widgets/quorcombobox.h"

#include <QWidget>

class CMeskComplexShadow;
class CMeskEngine;
class CMeskTextEdit;
class CQuorGradientButton;
class QLabel;

// The recipient box of the SMS dialog: the phone contacts, one entry per number, and room for a
// typed number. Return and Enter report ready() instead of adding the typed text as an entry.
class CMeskSmsContactCombo : public CQuorComboBox
{
    Q_OBJECT
public:
    explicit CMeskSmsContactCombo(QWidget* parent);
    ~CMeskSmsContactCombo() override;

signals:
    void ready();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The "New Text Message" window: a recipient, a text with its characters left and SMS parts,
// the reason the modem cannot send, a number check, then the send through the engine.
class CMeskPostSmsWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int tabWidth READ tabWidth)
    Q_PROPERTY(int tabHeight READ tabHeight)

public:
    CMeskPostSmsWidget(CMeskEngine* engine, QWidget* parent);
    ~CMeskPostSmsWidget() override;

    int tabWidth() const { return m_tabWidth; }
    int tabHeight() const { return m_tabHeight; }

    // Selects the one entry whose number ends like this one; otherwise the number becomes the
    // box's text and the editor takes the focus.
    void setRecipient(const QString& number);
    // Replaces the editor's text and gives the editor the focus.
    void setText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void _onSend();
    void _onSmsStateChanged(TMeskSmsState state);
    void _smsTextChanged();
    void _onContactsComboReady();
    // The phone contacts came after the dialog was made: the recipient list is filled again.
    void _onContactsChanged();
    bool _validatePhoneNumber(QString& value);
    void _quorComboTextChanged(const QString& newText);

private:
    void fillContacts();
    void updateSendButton();
    void showError(const QString& text);
    void hideError();

    int m_tabWidth = 0;
    int m_tabHeight = 0;
    CMeskEngine* m_engine = nullptr;
    CMeskTextEdit* m_editor = nullptr;
    CMeskSmsContactCombo* m_recipients = nullptr;
    CQuorGradientButton* m_sendButton = nullptr;
    CMeskComplexShadow* m_shadow = nullptr;
    QLabel* m_counterLabel = nullptr;
    QLabel* m_errorLabel = nullptr;
    QLabel* m_errorIcon = nullptr;
};
