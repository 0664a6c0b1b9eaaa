#include "widgets/quortextlabel.h"

#include "style/quorstyleoptions.h"

#include <QPainter>
#include <QStyle>

CQuorTextLabel::CQuorTextLabel(QWidget* parent) : QWidget(parent)
{
    setMinimumWidth(twoCharacterWidth());
}

CQuorTextLabel::~CQuorTextLabel() = default;

int CQuorTextLabel::twoCharacterWidth() const
{
    return fontMetrics().size(Qt::TextShowMnemonic, QStringLiteral("XX")).width();
}

void CQuorTextLabel::setText(const QString& text)
{
    m_text = text;
    emit textIsEmpty(text.isEmpty());
    updateGeometry();
    update();
}

void CQuorTextLabel::setFade(bool bEnabled)
{
    m_fade = bEnabled;
    update();
}

void CQuorTextLabel::setShadow(bool bEnabled)
{
    m_shadow = bEnabled;
    update();
}

void CQuorTextLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void CQuorTextLabel::setOpacity(qreal opacity)
{
    m_opacity = opacity;
}

QSize CQuorTextLabel::sizeHint() const
{
    ensurePolished();
    return fontMetrics().boundingRect(m_text.isEmpty() ? QStringLiteral("XXXX") : m_text).size();
}

QSize CQuorTextLabel::minimumSizeHint() const
{
    QSize size = sizeHint();
    if (m_fade)
        size.setWidth(twoCharacterWidth());
    return size;
}

int CQuorTextLabel::heightForWidth(int width) const
{
    return fontMetrics()
        .boundingRect(QRect(0, 0, width, 0), Qt::AlignLeft | Qt::TextWordWrap, m_text)
        .height();
}

void CQuorTextLabel::paintEvent(QPaintEvent* /*event*/)
{
    CQuorTextLabelOption option;
    option.initFrom(this);
    option.fade = m_fade;
    option.shadow = m_shadow;
    option.text = m_text;
    option.alignment = m_alignment;

    QPainter painter(this);
    if (m_opacity >= 1.0) {
        style()->drawControl(QStyle::CE_CustomBase, &option, &painter, this);
        return;
    }
    // The text and its shadow overlap: drawn in one layer, the label fades as a whole instead of
    // the shadow showing through the half-transparent text.
    const qreal ratio = devicePixelRatioF();
    QPixmap layer(size() * ratio);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setFont(painter.font());
        layerPainter.setPen(painter.pen());
        style()->drawControl(QStyle::CE_CustomBase, &option, &layerPainter, this);
    }
    painter.setOpacity(m_opacity);
    painter.drawPixmap(0, 0, layer);
}
