#include "windows/quorarrowtooltip.h"

#include "effects/fadeeffect.h"
#include "style/quorstyleoptions.h"
#include "windows/layeredwndsurface.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace {
constexpr int kFadeMs = 300;
constexpr auto kArrowOffsetMetric = QStyle::PixelMetric(QStyle::PM_CustomBase + 7);
constexpr auto kAboveOffsetMetric = QStyle::PixelMetric(QStyle::PM_CustomBase + 18);
} // namespace

CQuorArrowToolTip::CQuorArrowToolTip(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_iconLabel(this), m_textLabel(this)
{
    setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.tooltip.textfield"));
    auto* layout = new QHBoxLayout(this);
    if (QApplication::layoutDirection() == Qt::RightToLeft) {
        layout->addWidget(&m_textLabel);
        layout->addWidget(&m_iconLabel);
    } else {
        layout->addWidget(&m_iconLabel);
        layout->addWidget(&m_textLabel);
    }
    m_iconLabel.hide();
    m_textLabel.setWordWrap(true);
    ensurePolished();
    CLayeredWndSurface::init(this);
    auto* surface = new CLayeredWndSurface(this);
    surface->setMaskSource([this] { return framePicture(); });
    m_fade = new CWindowFadeEffect(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CQuorArrowToolTip::~CQuorArrowToolTip() = default;

void CQuorArrowToolTip::setText(const QString& text)
{
    m_textLabel.setText(text);
    m_textLabel.setVisible(!text.isEmpty() && !m_customWidget);
}

void CQuorArrowToolTip::setPixmap(const QPixmap& pixmap)
{
    m_iconLabel.setPixmap(pixmap);
    m_iconLabel.setVisible(!pixmap.isNull() && !m_customWidget);
}

void CQuorArrowToolTip::setWidget(QWidget* w)
{
    auto* box = static_cast<QBoxLayout*>(layout());
    // A previous custom widget leaves the layout (it is not deleted), so at most
    // one is ever shown and the next null can take it out again.
    if (m_customWidget && m_customWidget != w) {
        box->removeWidget(m_customWidget);
        m_customWidget->hide();
    }
    m_customWidget = w;
    if (w) {
        if (box->indexOf(w) < 0)
            box->insertWidget(0, w);
        w->show();
        m_iconLabel.hide();
        m_textLabel.hide();
    } else {
        m_textLabel.setVisible(!m_textLabel.text().isEmpty());
        m_iconLabel.setVisible(!m_iconLabel.pixmap().isNull());
    }
}

void CQuorArrowToolTip::setAlignment(Qt::Alignment alignment)
{
    m_preferredAlignment = QStyle::visualAlignment(layoutDirection(), alignment);
    setArrowSide(m_preferredAlignment);
}

void CQuorArrowToolTip::setArrowSide(Qt::Alignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    if (CLayeredWndSurface* surface = CLayeredWndSurface::of(this))
        surface->refreshMask();
    update();
}

QRect CQuorArrowToolTip::bubbleRect(const QPoint& globalPos, Qt::Alignment alignment) const
{
    // The layout fixes the bubble at its size hint: place that size (a smaller
    // rectangle would grow from its top-left corner, away from the point), and
    // take the arrow's shift for that size, not for the bubble's previous one.
    QRect rect(QPoint(0, 0), sizeHint());
    CQuorStyleOptionArrowTip option;
    option.initFrom(this);
    option.rect = rect;
    option.arrowAlignment = alignment;
    const int shift = style()->pixelMetric(kArrowOffsetMetric, &option, this);
    rect.moveCenter(globalPos);
    if (alignment & Qt::AlignBottom)
        rect.moveBottom(globalPos.y() + style()->pixelMetric(kAboveOffsetMetric));
    else
        rect.moveTop(globalPos.y());
    rect.translate(shift, 0);
    return rect;
}

QRect CQuorArrowToolTip::placeBubble(const QPoint& globalPos, Qt::Alignment* alignment) const
{
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = this->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    QRect rect = bubbleRect(globalPos, *alignment);
    if (area.isEmpty())
        return rect;
    const auto fitsAcross = [&](const QRect& r) {
        return r.left() >= area.left() && r.right() <= area.right();
    };
    const auto fitsDown = [&](const QRect& r) {
        return r.top() >= area.top() && r.bottom() <= area.bottom();
    };

    // An arrow at the side that keeps the bubble inside the screen, the other side only when it fits there.
    const Qt::Alignment across = *alignment & (Qt::AlignLeft | Qt::AlignRight);
    if (across && !fitsAcross(rect)) {
        const Qt::Alignment flipped =
            (*alignment & ~across) | (across & Qt::AlignLeft ? Qt::AlignRight : Qt::AlignLeft);
        if (fitsAcross(bubbleRect(globalPos, flipped)))
            *alignment = flipped;
    }
    rect = bubbleRect(globalPos, *alignment);
    if (!fitsDown(rect)) {
        const Qt::Alignment flipped = (*alignment & ~(Qt::AlignTop | Qt::AlignBottom)) |
                                      (*alignment & Qt::AlignBottom ? Qt::AlignTop : Qt::AlignBottom);
        if (fitsDown(bubbleRect(globalPos, flipped)))
            *alignment = flipped;
    }
    rect = bubbleRect(globalPos, *alignment);

    // Where neither side fits, the bubble slides along the edge; a bubble larger than the
    // screen keeps its start (left, or right in right to left) and top visible.
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (layoutDirection() == Qt::RightToLeft && rect.width() > area.width())
        rect.moveRight(area.right());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    return rect;
}

void CQuorArrowToolTip::showAt(const QPoint& globalPos)
{
    ensurePolished();
    // Inside the screen: the preferred arrow side, or the other one where that does not fit.
    Qt::Alignment alignment = m_preferredAlignment;
    const QRect rect = placeBubble(globalPos, &alignment);
    setArrowSide(alignment);

    // Let the window exist and hold its picture, transparent, before the fade
    // starts, so the first frames do not show stale pixels. Without a compositor
    // the alpha does nothing: a hidden bubble shown here would flash at its old
    // place, so it is shown only once it is where it belongs.
    if (CLayeredWndSurface* surface = CLayeredWndSurface::of(this)) {
        if (isVisible()) {
            surface->setAlpha(0, false);
            repaint();
        } else if (surface->isTranslucent()) {
            const quint8 kept = surface->alpha();
            surface->setAlpha(0, false);
            setVisible(true);
            repaint();
            move(rect.topLeft());
            setVisible(false);
            surface->setAlpha(kept, false);
        }
    }

    hide();
    setGeometry(rect);
    m_fade->setDirection(0);
    m_fade->fade(kFadeMs);
}

void CQuorArrowToolTip::hideTip()
{
    m_fade->setDirection(1);
    m_fade->fade(kFadeMs);
}

void CQuorArrowToolTip::setVisible(bool visible)
{
    if (!visible) {
        if (CLayeredWndSurface* surface = CLayeredWndSurface::of(this)) {
            surface->setAlpha(0, false);
            repaint();
        }
    }
    QWidget::setVisible(visible);
}

void CQuorArrowToolTip::drawFrame(QPainter* painter) const
{
    CQuorStyleOptionArrowTip option;
    option.initFrom(this);
    option.arrowAlignment = m_alignment;
    style()->drawPrimitive(QStyle::PrimitiveElement(QStyle::PE_CustomBase + 1), &option, painter, this);
}

QImage CQuorArrowToolTip::framePicture() const
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawFrame(&painter);
    return picture;
}

void CQuorArrowToolTip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Without a compositor the bubble goes over the window colour; the mask cuts its outline.
    const CLayeredWndSurface* surface = CLayeredWndSurface::of(this);
    painter.fillRect(rect(),
                     !surface || surface->isTranslucent() ? QBrush(Qt::transparent) : palette().window());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawFrame(&painter);
    painter.end();
}

bool CQuorArrowToolTip::eventFilter(QObject* o, QEvent* e)
{
    switch (e->type()) {
    case QEvent::Leave:
        hideTip();
        return false;
    case QEvent::Destroy:
        deleteLater();
        return false;
    case QEvent::ToolTip: {
        auto* help = dynamic_cast<QHelpEvent*>(e);
        if (!help || !o->isWidgetType())
            return false;
        if (!isEnabled())
            return true;
        auto* widget = static_cast<QWidget*>(o);
        if (m_textFromWidget)
            setText(widget->toolTip());
        const QPoint offset(0, (m_alignment & Qt::AlignBottom) ? -2 : 2);
        showAt(widget->mapToGlobal(help->pos()) + offset);
        return true;
    }
    default:
        return QWidget::eventFilter(o, e);
    }
}
