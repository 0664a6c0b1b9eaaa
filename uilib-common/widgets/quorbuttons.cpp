#include "widgets/quorbuttons.h"

#include <QKeyEvent>
#include <QMetaEnum>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

const char* const kFontRoleProperty = "com_velto_fontRole";
const QString kButtonFontRole = QStringLiteral("widgetlibrary.button.gradient.label");

bool isClickKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

CQuorGradientButton::CQuorGradientButton(QWidget* parent, ButtonType type)
    : QPushButton(parent), m_buttonType(type)
{
    setProperty(kFontRoleProperty, kButtonFontRole);
}

CQuorGradientButton::~CQuorGradientButton() = default;

void CQuorGradientButton::setButtonType(ButtonType type)
{
    m_buttonType = type;
    update();
}

QString CQuorGradientButton::qstyleRole() const
{
    const QMetaObject* meta = metaObject();
    const QMetaEnum types = meta->enumerator(meta->indexOfEnumerator("ButtonType"));
    return QStringLiteral("quor.commonuilibrary.button.gradient.") +
           QString::fromLatin1(types.valueToKey(m_buttonType));
}

QSize CQuorGradientButton::sizeHint() const
{
    ensurePolished();
    QStyleOptionButton option;
    initStyleOption(&option);

    int width = 0;
    int height = 0;
    if (!icon().isNull()) {
        width += option.iconSize.width() + 10;
        height = qMax(height, option.iconSize.height());
    }
    const QString label = text();
    const QSize textSize =
        fontMetrics().size(Qt::TextShowMnemonic, label.isEmpty() ? QStringLiteral("XXXX") : label);
    if (!label.isEmpty() || width == 0)
        width += textSize.width();
    if (!label.isEmpty() || height == 0)
        height = qMax(height, textSize.height());
    return style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(width, height), this);
}

QSize CQuorGradientButton::minimumSizeHint() const
{
    return sizeHint();
}

void CQuorGradientButton::keyPressEvent(QKeyEvent* event)
{
    if (isClickKey(event)) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

CQuorToolButton::CQuorToolButton(QWidget* parent) : QToolButton(parent)
{
    setProperty(kFontRoleProperty, kButtonFontRole);
}

CQuorToolButton::~CQuorToolButton() = default;

void CQuorToolButton::keyPressEvent(QKeyEvent* event)
{
    if (isClickKey(event)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

CQuorCheckBox::CQuorCheckBox(QWidget* parent) : QCheckBox(parent) {}

CQuorCheckBox::~CQuorCheckBox() = default;

void CQuorCheckBox::setReadOnly(bool on)
{
    m_readOnly = on;
    setEnabled(!on);
    update();
}

void CQuorCheckBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && m_readOnly)
        m_readOnly = !isEnabled();
    QCheckBox::changeEvent(event);
}

void CQuorCheckBox::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (m_readOnly)
        option.palette.setCurrentColorGroup(QPalette::Active);
    painter.drawControl(QStyle::CE_CheckBox, option);
}

CQuorMenu::CQuorMenu(QWidget* parent) : QMenu(parent)
{
    setAttribute(Qt::WA_Hover);
}

CQuorMenu::~CQuorMenu() = default;
