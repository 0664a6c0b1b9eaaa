#include "post/meskpostupdatewidget.h"

#include "imediaitemprovider.h"
#include "imediaposting.h"
#include "meskshadow.h"
#include "mesktextedit.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"
#include "windows/quorscreenfit.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char kRoleProperty[] = "com_velto_mesk_qstyleRole";

int dialogMargin(const QWidget* widget)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskPostDialogMargin), nullptr,
                                        widget);
}

int dialogSpacing(const QWidget* widget)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskPostDialogSpacing), nullptr,
                                        widget);
}

} // namespace

// ---------------------------------------------------------------------------------------------

CMeskPostDialogTab::CMeskPostDialogTab(const QString& title, QWidget* parent) : QWidget(parent)
{
    setProperty(kRoleProperty, QStringLiteral("mesk.uilibrary.postupdatedialogtab"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* titleLabel = new QLabel(title, this);
    QFont titleFont(QStringLiteral("Arial"), 9);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    QPalette palette = titleLabel->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, CMeskUiStyle::color(6));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, CMeskUiStyle::color(6));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, CMeskUiStyle::color(7));
    titleLabel->setPalette(palette);

    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setProperty("com_velto_qstyleRole",
                             QStringLiteral("quor.commonuilibrary.toolbutton.icononly"));
    const auto closeId = QStyle::StandardPixmap(QStyle::SP_CustomBase + 3);
    closeButton->setIcon(style()->standardIcon(closeId, nullptr, this));
    const QPixmap closePixmap = style()->standardPixmap(closeId, nullptr, this);
    closeButton->setIconSize(closePixmap.deviceIndependentSize().toSize());
    connect(closeButton, &QToolButton::clicked, this, &CMeskPostDialogTab::close);

    layout->addWidget(titleLabel);
    layout->addSpacing(20);
    layout->addWidget(closeButton);
    setMinimumSize(layout->minimumSize());
}

CMeskPostDialogTab::~CMeskPostDialogTab() = default;

// ---------------------------------------------------------------------------------------------

CMeskSelectButton::CMeskSelectButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setProperty(kRoleProperty, QStringLiteral("mesk.uilibrary.itembutton"));
    QFont buttonFont(QStringLiteral("Arial"), 8);
    buttonFont.setBold(true);
    setFont(buttonFont);
    setFixedHeight(QFontMetrics(buttonFont).height() + 3);
    setCursor(Qt::PointingHandCursor);
    setCheckable(true);
}

CMeskSelectButton::~CMeskSelectButton() = default;

QSize CMeskSelectButton::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(text()) + 20, height());
}

void CMeskSelectButton::paintEvent(QPaintEvent*)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(CMeskUiStyle::color(isChecked() ? 25 : 26));
    painter.drawRoundedRect(option.rect, 20, 100, Qt::RelativeSize);
    QRect textRect = option.rect;
    if (option.state & QStyle::State_Raised)
        textRect.adjust(3, 3, 0, 0);
    painter.setPen(isChecked() ? QColor(Qt::white) : QColor(Qt::black));
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter, option.text);
}

// ---------------------------------------------------------------------------------------------

QLabel* meskPostDialogErrorLabel(QWidget* dialog, bool italic)
{
    auto* label = new QLabel(dialog);
    label->setObjectName(QStringLiteral("errorLabel"));
    QFont font = label->font();
    font.setPointSize(8);
    font.setBold(true);
    font.setItalic(italic);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, CMeskUiStyle::color(50));
    label->setPalette(palette);
    label->hide();
    return label;
}

void meskShapePostDialog(QWidget* dialog, CMeskComplexShadow* shadow, int tabWidth, int tabHeight)
{
    QStyleOption option;
    option.initFrom(dialog);
    QStyleHintReturnMask mask;
    if (dialog->style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, dialog, &mask))
        dialog->setMask(mask.region);
    shadow->clear();
    shadow->addShadow(QRect(0, 0, tabWidth, tabHeight));
    shadow->addShadow(QRect(0, tabHeight, dialog->width(), dialog->height() - tabHeight));
}

// ---------------------------------------------------------------------------------------------

CMeskPostUpdateWidget::CMeskPostUpdateWidget(IMediaUpdateManager* manager, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_manager(manager)
{
    setProperty(kRoleProperty, QStringLiteral("mesk.uilibrary.postupdatewidget"));
    CQuorScreenFit::watch(this);
    const int margin = dialogMargin(this);
    const int spacing = dialogSpacing(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, spacing, margin, spacing);

    auto* tabRow = new QHBoxLayout;
    auto* tab = new CMeskPostDialogTab(tr("New Update"), this);
    tabRow->addWidget(tab);
    tabRow->addStretch(1);
    layout->addLayout(tabRow);
    m_tabWidth = tab->minimumWidth() + 2 * margin;
    m_tabHeight = tab->minimumHeight() + 2 * spacing;
    layout->addSpacing(2 * spacing);

    QList<IMediaItemProvider*> providers = m_manager->providers();
    for (IMediaItemProvider* provider : providers) {
        auto* button = new CMeskSelectButton(provider->name(), this);
        connect(button, &QAbstractButton::clicked, this, &CMeskPostUpdateWidget::_onProviderChecked);
        m_buttons.insert(provider->providerId(), button);
    }

    auto* sendToRow = new QHBoxLayout;
    //: button label
    auto* sendToLabel = new QLabel(tr("Send to ") + QLatin1Char(' '), this);
    QFont sendToFont = sendToLabel->font();
    sendToFont.setBold(true);
    sendToFont.setItalic(true);
    sendToLabel->setFont(sendToFont);
    sendToRow->addWidget(sendToLabel);
    QList<mid_t> ids = m_buttons.keys();
    std::sort(ids.begin(), ids.end());
    for (mid_t id : ids)
        sendToRow->addWidget(m_buttons.value(id));
    sendToRow->addStretch(1);
    layout->addLayout(sendToRow);

    m_editor = new CMeskTextEditWidget(this);
    //: Guidance text for textbox
    m_editor->textEdit()->setPlaceholderText(tr("Write your update here"));
    layout->addWidget(m_editor, 1);

    auto* statusRow = new QHBoxLayout;
    m_waitAnimation = new CQuorAnimationWidget(this);
    m_waitAnimation->setFixedSize(m_waitAnimation->sizeHint());
    m_waitAnimation->hide();
    statusRow->addWidget(m_waitAnimation);

    //: Status text
    m_statusLabel = new QLabel(tr("Sending your update...") + QLatin1Char(' '), this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    QFont statusFont = m_statusLabel->font();
    statusFont.setItalic(true);
    m_statusLabel->setFont(statusFont);
    m_statusLabel->hide();
    statusRow->addWidget(m_statusLabel);

    m_errorIcon = new QLabel(this);
    m_errorIcon->setObjectName(QStringLiteral("errorIcon"));
    m_errorIcon->setPixmap(style()
                               ->standardPixmap(QStyle::SP_MessageBoxCritical, nullptr, this)
                               .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    m_errorIcon->hide();
    statusRow->addWidget(m_errorIcon);

    m_errorLabel = meskPostDialogErrorLabel(this, true);
    statusRow->addWidget(m_errorLabel, 1);
    statusRow->addStretch(1);

    m_sendButton = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    //: button label
    m_sendButton->setText(tr("Send"));
    statusRow->addWidget(m_sendButton);
    layout->addLayout(statusRow);

    m_shadow = new CMeskComplexShadow(this);

    connect(m_manager, &IMediaUpdateManager::updateDone, this, &CMeskPostUpdateWidget::_onUpdateDone);
    connect(m_manager, &IMediaUpdateManager::providerFailed, this, &CMeskPostUpdateWidget::_onProviderFailed);
    connect(tab, &CMeskPostDialogTab::close, this, &QWidget::hide);
    connect(m_sendButton, &QAbstractButton::clicked, this, &CMeskPostUpdateWidget::_sendUpdates);
    connect(m_editor->textEdit(), &QTextEdit::textChanged, this, &CMeskPostUpdateWidget::_onTextChanged);
    refreshState();
}

CMeskPostUpdateWidget::~CMeskPostUpdateWidget() = default;

void CMeskPostUpdateWidget::setText(const QString& text)
{
    m_editor->textEdit()->setPlainText(text);
}

QString CMeskPostUpdateWidget::text() const
{
    return m_editor->textEdit()->toPlainText();
}

void CMeskPostUpdateWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    meskShapePostDialog(this, m_shadow, m_tabWidth, m_tabHeight);
}

void CMeskPostUpdateWidget::showEvent(QShowEvent* event)
{
    recount();
    refreshState();
    QWidget::showEvent(event);
}

void CMeskPostUpdateWidget::recount()
{
    m_activeCount = 0;
    m_selectedCount = 0;
    const QList<IMediaItemProvider*> providers = m_manager->providers();
    for (IMediaItemProvider* provider : providers) {
        const bool activated = provider->isActivated();
        const bool selected = m_manager->isProviderSelected(provider->providerId());
        // The manager posts only to activated services, so only those count as chosen.
        if (activated)
            ++m_activeCount;
        if (activated && selected)
            ++m_selectedCount;
        if (CMeskSelectButton* button = m_buttons.value(provider->providerId())) {
            button->setVisible(activated);
            button->setChecked(selected);
        }
    }
}

void CMeskPostUpdateWidget::refreshState()
{
    if (m_activeCount == 0) {
        //: Error msg indicating that the user has not configured any service integration yet.
        m_editor->showError(tr("There are no activated services, please activate at least one in settings"));
        m_sendButton->setEnabled(false);
    } else if (m_selectedCount == 0) {
        //: Error msg indicating that the user must select at least 1 destination for his message
        m_editor->showError(tr("Please select at least one service"));
        m_sendButton->setEnabled(false);
    } else {
        m_editor->hideError();
        updateSendEnabled();
    }
    if (m_sending)
        setBusyLook();
}

void CMeskPostUpdateWidget::updateSendEnabled()
{
    m_sendButton->setEnabled(!m_sending && !m_editor->textEdit()->isEmpty());
}

void CMeskPostUpdateWidget::_onProviderChecked(bool)
{
    m_selectedCount = 0;
    const QList<IMediaItemProvider*> providers = m_manager->providers();
    for (IMediaItemProvider* provider : providers) {
        CMeskSelectButton* button = m_buttons.value(provider->providerId());
        if (!button)
            continue;
        if (button->isChecked()) {
            m_manager->selectProvider(provider->providerId());
            if (provider->isActivated())
                ++m_selectedCount;
        } else {
            m_manager->deselectProvider(provider->providerId());
        }
    }
    refreshState();
}

void CMeskPostUpdateWidget::_onTextChanged()
{
    updateSendEnabled();
    clearFailure();
}

void CMeskPostUpdateWidget::_sendUpdates()
{
    const QString body = text();
    if (m_sending || m_editor->textEdit()->isEmpty())
        return;
    clearFailure();
    m_sending = true;
    m_sentText = body;
    setBusyLook();
    m_manager->postUpdate(body);
}

void CMeskPostUpdateWidget::_onUpdateDone()
{
    // Not a post of this dialog (or one that already ended).
    if (!m_sending)
        return;
    m_sending = false;
    setIdleLook();
    if (m_failed) {
        m_errorLabel->setText(m_failureText + QLatin1Char(' '));
        m_errorIcon->show();
        m_errorLabel->show();
    } else if (text() == m_sentText) {
        m_editor->textEdit()->setPlainText(QString());
        close();
    }
    // Otherwise the editor got a new text while the post ran: it stays for the user.
    m_sentText.clear();
}

void CMeskPostUpdateWidget::_onProviderFailed(const QString& provider)
{
    if (!m_sending)
        return;
    m_failed = true;
    if (m_failureText.isEmpty())
        //: Error text, an operation has failed
        m_failureText = provider + tr(" failed");
    else
        //: Error text, an operation has failed
        m_failureText = tr("Failed");
}

void CMeskPostUpdateWidget::setBusyLook()
{
    m_waitAnimation->show();
    m_waitAnimation->start();
    m_statusLabel->show();
    m_editor->setEnabled(false);
    m_sendButton->setEnabled(false);
}

void CMeskPostUpdateWidget::setIdleLook()
{
    m_waitAnimation->stop();
    m_waitAnimation->hide();
    m_statusLabel->hide();
    m_editor->setEnabled(true);
    refreshState();
}

void CMeskPostUpdateWidget::clearFailure()
{
    m_failed = false;
    m_failureText.clear();
    m_errorIcon->hide();
    m_errorLabel->hide();
}
