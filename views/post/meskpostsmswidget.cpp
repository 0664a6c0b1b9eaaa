#include "post/meskpostsmswidget.h"

#include "imesksms.h"
#include "meskengine.h"
#include "meskshadow.h"
#include "mesktextedit.h"
#include "meskuistyle.h"
#include "post/meskpostupdatewidget.h"
#include "widgets/quorbuttons.h"
#include "windows/quorscreenfit.h"

#include <QCompleter>
#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Blanks and dashes are only separators in a written number.
QString stripSeparators(QString number)
{
    number.remove(QLatin1Char(' '));
    number.remove(QLatin1Char('-'));
    return number;
}

QString contactLabel(const SPhoneContact& contact, const QString& number)
{
    const QString suffix = QStringLiteral(" (") + number + QLatin1Char(')');
    if (!contact.displayName.trimmed().isEmpty())
        return contact.displayName.trimmed() + suffix;
    if (!contact.nickName.trimmed().isEmpty())
        return contact.nickName.trimmed() + suffix;
    if (!contact.givenName.trimmed().isEmpty())
        return (contact.givenName + QLatin1Char(' ') + contact.lastName).trimmed() + suffix;
    if (!contact.lastName.trimmed().isEmpty())
        return (contact.lastName + QLatin1Char(' ') + contact.givenName).trimmed() + suffix;
    return number;
}

QString contactKey(const SPhoneContact& contact)
{
    if (!contact.displayName.isEmpty())
        return contact.displayName.trimmed();
    if (!contact.nickName.isEmpty())
        return contact.nickName.trimmed();
    if (!contact.givenName.isEmpty())
        return (contact.givenName + QLatin1Char(' ') + contact.lastName).trimmed();
    if (!contact.lastName.isEmpty())
        return (contact.lastName + QLatin1Char(' ') + contact.givenName).trimmed();
    return contact.phones.isEmpty() ? QString() : contact.phones.first().number;
}

} // namespace

// ---------------------------------------------------------------------------------------------

CMeskSmsContactCombo::CMeskSmsContactCombo(QWidget* parent) : CQuorComboBox(parent) {}

CMeskSmsContactCombo::~CMeskSmsContactCombo() = default;

void CMeskSmsContactCombo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit ready();
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------

CMeskPostSmsWidget::CMeskPostSmsWidget(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_engine(engine)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.postsmswidget"));
    CQuorScreenFit::watch(this);
    const int margin =
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskPostDialogMargin), nullptr, this);
    const int spacing =
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskPostDialogSpacing), nullptr, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, spacing, margin, spacing);

    auto* tabRow = new QHBoxLayout;
    //: Title for a dialog where user can send a new SMS message
    auto* tab = new CMeskPostDialogTab(tr("New Text Message"), this);
    tabRow->addWidget(tab);
    tabRow->addStretch(1);
    layout->addLayout(tabRow);
    m_tabWidth = tab->minimumWidth() + 2 * margin;
    m_tabHeight = tab->minimumHeight() + 2 * spacing;
    layout->addSpacing(2 * spacing);

    m_recipients = new CMeskSmsContactCombo(this);
    fillContacts();
    if (QLineEdit* edit = m_recipients->lineEdit())
        //: Help text in the empty box where the user picks a contact or types a phone number for a new SMS
        edit->setPlaceholderText(tr("Name or number"));
    layout->addWidget(m_recipients);

    m_editor = new CMeskTextEdit(this);
    //: Help text the the input box where user types the content of the SMS message
    m_editor->setPlaceholderText(tr("Write your sms here"));
    m_editor->setAcceptRichText(false);
    m_editor->setTabChangesFocus(true);
    layout->addWidget(m_editor, 1);

    auto* statusRow = new QHBoxLayout;
    m_counterLabel = new QLabel(this);
    m_counterLabel->setObjectName(QStringLiteral("counterLabel"));
    QFont counterFont = m_counterLabel->font();
    counterFont.setPointSize(8);
    m_counterLabel->setFont(counterFont);
    statusRow->addWidget(m_counterLabel);

    m_errorIcon = new QLabel(this);
    m_errorIcon->setObjectName(QStringLiteral("errorIcon"));
    m_errorIcon->setPixmap(style()
                               ->standardPixmap(QStyle::SP_MessageBoxCritical, nullptr, this)
                               .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    m_errorIcon->hide();
    statusRow->addWidget(m_errorIcon);

    m_errorLabel = meskPostDialogErrorLabel(this, false);
    m_errorLabel->setWordWrap(true);
    statusRow->addWidget(m_errorLabel, 9);
    statusRow->addStretch(1);

    m_sendButton = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    //: Caption of the button which initiates the operation to send an SMS message
    m_sendButton->setText(tr("Send"));
    statusRow->addWidget(m_sendButton);
    layout->addLayout(statusRow);

    connect(tab, &CMeskPostDialogTab::close, this, &QWidget::hide);
    connect(m_recipients, &CMeskSmsContactCombo::ready, this, &CMeskPostSmsWidget::_onContactsComboReady);
    connect(m_recipients, &QComboBox::editTextChanged, this, &CMeskPostSmsWidget::_quorComboTextChanged);
    connect(m_sendButton, &QAbstractButton::clicked, this, &CMeskPostSmsWidget::_onSend);
    connect(m_editor, &QTextEdit::textChanged, this, &CMeskPostSmsWidget::_smsTextChanged);
    m_shadow = new CMeskComplexShadow(this);
    connect(m_engine, &CMeskEngine::smsStateChanged, this, &CMeskPostSmsWidget::_onSmsStateChanged);

    _smsTextChanged();
    _onSmsStateChanged(m_engine->smsState());
}

CMeskPostSmsWidget::~CMeskPostSmsWidget() = default;

void CMeskPostSmsWidget::fillContacts()
{
    m_recipients->setEditable(true);
    m_recipients->setInsertPolicy(QComboBox::InsertAlphabetically);
    if (m_recipients->completer())
        m_recipients->completer()->setCompletionMode(QCompleter::PopupCompletion);

    QList<SPhoneContact> contacts = m_engine->contacts();
    if (contacts.isEmpty()) {
        m_recipients->setToolTip(tr("Synchronize your mobile with Velto Quor Suite to see your phonebook"));
        return;
    }
    std::stable_sort(contacts.begin(), contacts.end(), [](const SPhoneContact& a, const SPhoneContact& b) {
        return contactKey(a) < contactKey(b);
    });
    int added = 0;
    for (const SPhoneContact& contact : std::as_const(contacts)) {
        for (const SPhoneNumber& phone : contact.phones) {
            if (phone.number.trimmed().isEmpty())
                continue;
            m_recipients->addItem(contactLabel(contact, phone.number), phone.number);
            ++added;
        }
    }
    // Names and numbers of the user's contacts stay out of the log.
    qDebug() << "Phone contacts added to the recipient list:" << added;
    m_recipients->setCurrentIndex(-1);
}

void CMeskPostSmsWidget::setRecipient(const QString& number)
{
    const QString tail = stripSeparators(number).right(8);
    int match = -1;
    int matches = 0;
    for (int i = 0; i < m_recipients->count(); ++i) {
        const QString entry = stripSeparators(m_recipients->itemData(i, Qt::UserRole).toString());
        if (entry.right(8) == tail) {
            match = i;
            ++matches;
        }
    }
    if (matches == 1) {
        m_recipients->setCurrentIndex(match);
        return;
    }
    m_recipients->setCurrentIndex(-1);
    m_recipients->setEditText(number);
    m_editor->setFocus();
}

void CMeskPostSmsWidget::setText(const QString& text)
{
    m_editor->setPlainText(text);
    m_editor->setFocus();
}

void CMeskPostSmsWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    meskShapePostDialog(this, m_shadow, m_tabWidth, m_tabHeight);
}

void CMeskPostSmsWidget::paintEvent(QPaintEvent*) {}

void CMeskPostSmsWidget::_onSend()
{
    if (m_editor->plainText().isEmpty())
        return;
    if (m_engine->smsState() != SmsStateReady)
        return;
    const QString body = m_editor->plainText();
    const QString recipient = m_recipients->currentText();
    m_recipients->setCurrentIndex(-1);
    m_recipients->setEditText(recipient);
    const int entry = m_recipients->findText(recipient, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0)
        m_recipients->setCurrentIndex(entry);

    QString number = entry >= 0 ? m_recipients->itemData(entry, Qt::UserRole).toString() : recipient;
    if (!_validatePhoneNumber(number)) {
        //: The receiver of the SMS is not valid.
        showError(tr("The recipient is not valid. "));
        return;
    }
    if (!m_engine->sendSms(number, body))
        return;
    m_editor->clear();
    m_recipients->setCurrentIndex(-1);
    m_recipients->setEditText(QString());
    hide();
}

void CMeskPostSmsWidget::_onSmsStateChanged(TMeskSmsState state)
{
    switch (int(state)) {
    case 0: // not yet derived: nothing to report
    case SmsStateReady:
        hideError();
        break;
    case SmsStatePoweredOff:
        //: 3G and SMS functionality need a device to be powered on
        showError(tr("Device is powered off"));
        break;
    case SmsStatePinLocked:
        //: 3G and SMS functionality need a SIM card to be functional
        showError(tr("SIM card is locked by a PIN code"));
        break;
    default:
        //: 3G and SMS functionality need a SIM card to be inserted on the computer
        showError(tr("There is no SIM in your device"));
        break;
    }
    updateSendButton();
}

void CMeskPostSmsWidget::updateSendButton()
{
    // The number itself is checked on Send, where a refused one gets its message.
    m_sendButton->setEnabled(m_engine->smsState() == SmsStateReady && !m_editor->plainText().isEmpty() &&
                             !m_recipients->currentText().trimmed().isEmpty());
}

void CMeskPostSmsWidget::_smsTextChanged()
{
    int used = 0;
    int left = 0;
    int parts = 0;
    m_engine->smsTextLength(m_editor->plainText(), &used, &left, &parts);
    m_counterLabel->setText(QStringLiteral("%1(%2)").arg(left).arg(parts));
    updateSendButton();
}

void CMeskPostSmsWidget::_onContactsComboReady()
{
    const int entry =
        m_recipients->findText(m_recipients->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0)
        m_recipients->setCurrentIndex(entry);
    m_editor->setFocus();
}

bool CMeskPostSmsWidget::_validatePhoneNumber(QString& value)
{
    // \d without Unicode properties: ASCII digits only, the ones a modem address can carry.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("\\+?\\d{3,20}")));
    value = stripSeparators(value);
    return pattern.match(value).hasMatch();
}

void CMeskPostSmsWidget::_quorComboTextChanged(const QString&)
{
    _onSmsStateChanged(m_engine->smsState());
}

void CMeskPostSmsWidget::showError(const QString& text)
{
    m_errorLabel->setText(text);
    m_errorIcon->show();
    m_errorLabel->show();
    m_counterLabel->hide();
}

void CMeskPostSmsWidget::hideError()
{
    m_errorLabel->clear();
    m_errorIcon->hide();
    m_errorLabel->hide();
    m_counterLabel->show();
}
