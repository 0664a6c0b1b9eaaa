#include "quorpopupwidget.h"

#include "layeredwndsurface.h"
#include "quorstyleoptions.h"

#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

CQuorPopupWidget::CQuorPopupWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    if (flags & Qt::Window) {
        CLayeredWndSurface::init(this);
        new CLayeredWndSurface(this);
        setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.popup.itemlist"));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_contentWidget = new QWidget(this);
    layout->addWidget(m_contentWidget);
}

CQuorPopupWidget::~CQuorPopupWidget() = default;

void CQuorPopupWidget::setBackground(const QPixmap& pixmap, const SNinePatchMargins& margins)
{
    m_backgroundPixmap = pixmap;
    m_backgroundMargins = margins;
}

void CQuorPopupWidget::setVisible(bool visible)
{
    if (CLayeredWndSurface* surface = CLayeredWndSurface::of(this)) {
        if (!visible) {
            // Transparent before it disappears. Only a shown popup saves its
            // alpha: hiding a hidden one again must not remember the zero. Once a
            // fade owns the alpha, show() restores nothing, so a zero set here
            // would leave every later plain show invisible: leave the alpha alone.
            if (isVisible() && !surface->isAlphaPinned()) {
                surface->setAlpha(0, true);
                repaint();
            }
        } else {
            surface->restoreAlpha();
        }
    }
    QWidget::setVisible(visible);
}

void CQuorPopupWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CQuorStyleOptionPopupFrame option;
    option.initFrom(this);
    option.backgroundPixmap = m_backgroundPixmap;
    option.backgroundMargins = m_backgroundMargins;
    // A window of its own owns every pixel, alpha included. A child popup
    // blends its frame over its parent instead of punching a hole into it.
    if (CLayeredWndSurface::of(this)) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(option.rect, Qt::transparent);
    }
    style()->drawPrimitive(QStyle::PrimitiveElement(QStyle::PE_CustomBase + 3), &option, &painter, this);
}
