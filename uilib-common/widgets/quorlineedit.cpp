#include "widgets/quorlineedit.h"

#include "style/quorwidgetstyle.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>

CQuorLineEdit::CQuorLineEdit(QWidget* parent) : QWidget(parent)
{
    m_layout = new QHBoxLayout(this);
    m_lineEdit = new QLineEdit(this);
    m_filterIcon = new QLabel(this);
    m_button = new QToolButton(this);
    m_lineEdit->installEventFilter(this);
    setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.lineedit.textfield.text"));
    m_lineEdit->setProperty("com_velto_qstyleRole",
                            QStringLiteral("quor.commonuilibrary.lineedit.textfield"));
    m_button->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.toolbutton.icononly"));

    setAttribute(Qt::WA_Hover);
    m_layout->setContentsMargins(m_horizontalMargin, m_verticalMargin, m_horizontalMargin, m_verticalMargin);
    m_layout->setSpacing(0);

    m_filterIcon->setPixmap(style()->standardPixmap(
        static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + 17), nullptr, nullptr));

    m_layout->addWidget(m_filterIcon);
    m_layout->addWidget(m_lineEdit);
    m_layout->addWidget(m_button);
    m_button->hide();
    m_button->setFocusPolicy(Qt::NoFocus);
    m_filterIcon->hide();

    m_lineEdit->setFrame(false);
    setFocusProxy(m_lineEdit);
    m_layout->setSizeConstraint(QLayout::SetMinAndMaxSize);

    connect(m_lineEdit, &QLineEdit::textChanged, this, qOverload<>(&QWidget::update));
    fixLineEditHeight();
}

CQuorLineEdit::~CQuorLineEdit() = default;

void CQuorLineEdit::fixLineEditHeight()
{
    const int fontHeight = m_lineEdit->fontMetrics().height();
    m_lineEdit->setFixedHeight(qMax(fontHeight, m_button->iconSize().height()));
}

Qt::Alignment CQuorLineEdit::iconAlignment() const
{
    QLayoutItem* item = m_layout->itemAt(1);
    return item && item->widget() == m_button ? Qt::AlignLeft : Qt::AlignRight;
}

void CQuorLineEdit::setIconAlignment(Qt::Alignment alignment)
{
    const Qt::Alignment side = alignment & (Qt::AlignLeft | Qt::AlignRight);
    m_layout->setEnabled(false);
    m_layout->removeWidget(m_button);
    if (side == Qt::AlignLeft)
        m_layout->insertWidget(1, m_button);
    else
        m_layout->addWidget(m_button);
    m_layout->setEnabled(true);
}

void CQuorLineEdit::setIconAutoHide(bool on)
{
    if (on == m_iconAutoHide)
        return;
    m_iconAutoHide = on;
    if (on) {
        connect(m_lineEdit, &QLineEdit::textChanged, this, &CQuorLineEdit::onButtonAutoHide);
        onButtonAutoHide(m_lineEdit->text());
    } else {
        disconnect(m_lineEdit, &QLineEdit::textChanged, this, &CQuorLineEdit::onButtonAutoHide);
    }
}

void CQuorLineEdit::onButtonAutoHide(const QString& text)
{
    if (!m_button->icon().isNull())
        m_button->setVisible(!text.isEmpty());
}

QIcon CQuorLineEdit::icon() const
{
    return m_button->icon();
}

void CQuorLineEdit::setIcon(const QIcon& icon)
{
    if (icon.isNull())
        m_button->hide();
    m_button->setIcon(icon);
    if (!icon.isNull() && !m_iconAutoHide)
        m_button->show();
}

QSize CQuorLineEdit::iconSize() const
{
    return m_button->iconSize();
}

void CQuorLineEdit::setIconSize(const QSize& size)
{
    m_button->setIconSize(size);
    fixLineEditHeight();
}

void CQuorLineEdit::setGuideText(const QString& text)
{
    m_guideText = text;
    repaint();
}

QString CQuorLineEdit::text() const
{
    return m_lineEdit->text();
}

void CQuorLineEdit::setText(const QString& text)
{
    m_lineEdit->setText(text);
}

QString CQuorLineEdit::inputMask() const
{
    return m_lineEdit->inputMask();
}

void CQuorLineEdit::setInputMask(const QString& mask)
{
    m_lineEdit->setInputMask(mask);
}

bool CQuorLineEdit::isReadOnly() const
{
    return m_lineEdit->isReadOnly();
}

void CQuorLineEdit::setReadOnly(bool readOnly)
{
    m_lineEdit->setReadOnly(readOnly);
}

Qt::Alignment CQuorLineEdit::alignment() const
{
    return m_lineEdit->alignment();
}

void CQuorLineEdit::setAlignment(Qt::Alignment alignment)
{
    m_lineEdit->setAlignment(alignment);
}

void CQuorLineEdit::setFilterLook(bool on)
{
    m_filterLook = on;
    if (on) {
        const int margin = style()->pixelMetric(static_cast<QStyle::PixelMetric>(QStyle::PM_CustomBase + 17),
                                                nullptr, nullptr) +
                           m_verticalMargin;
        m_layout->setContentsMargins(margin, margin, margin, margin);
    } else {
        m_layout->setContentsMargins(m_horizontalMargin, m_verticalMargin, m_horizontalMargin,
                                     m_verticalMargin);
    }
    m_filterIcon->setVisible(on);
    update();
}

bool CQuorLineEdit::event(QEvent* event)
{
    QuorWidgetStyle::handOnStyle(this, event);
    return QWidget::event(event);
}

void CQuorLineEdit::paintEvent(QPaintEvent* /*event*/)
{
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.features = QStyleOptionFrame::None;
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);

    if (m_lineEdit->text().isEmpty() && !m_guideText.isEmpty()) {
        painter.setPen(option.palette.color(QPalette::Active, QPalette::Light));
        style()->drawItemText(&painter, m_lineEdit->geometry().adjusted(3, 0, -3, 0),
                              int(m_lineEdit->alignment()), option.palette, true, m_guideText,
                              QPalette::NoRole);
    }
}

bool CQuorLineEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lineEdit) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            update();
            break;
        case QEvent::FontChange:
            // The editor's fixed height follows its font, or a larger font would clip the text.
            fixLineEditHeight();
            break;
        case QEvent::ContextMenu: {
            QMenu* menu = m_lineEdit->createStandardContextMenu();
            QuorWidgetStyle::removeUnicodeControlMenu(menu);
            QPointer<QMenu> guard(menu);
            menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
            delete guard.data();
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
