#include "windows/quorpopupwidget.h"

#include "style/quorstyleoptions.h"
#include "windows/layeredwndsurface.h"
#include "windows/quorscreenfit.h"

#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

CQuorPopupWidget::CQuorPopupWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    if (flags & Qt::Window) {
        CLayeredWndSurface::init(this);
        auto* surface = new CLayeredWndSurface(this);
        surface->setMaskSource([this] { return framePicture(); });
        setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.popup.itemlist"));
        CQuorScreenFit::watch(this);
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

void CQuorPopupWidget::drawFrame(QPainter* painter) const
{
    CQuorStyleOptionPopupFrame option;
    option.initFrom(this);
    option.backgroundPixmap = m_backgroundPixmap;
    option.backgroundMargins = m_backgroundMargins;
    style()->drawPrimitive(QStyle::PrimitiveElement(QStyle::PE_CustomBase + 3), &option, painter, this);
}

QImage CQuorPopupWidget::framePicture() const
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawFrame(&painter);
    return picture;
}

void CQuorPopupWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A window of its own owns every pixel, alpha included. A child popup
    // blends its frame over its parent instead of punching a hole into it.
    // Without a compositor the frame goes over the window colour, and the
    // surface's mask cuts the corners.
    if (CLayeredWndSurface* surface = CLayeredWndSurface::of(this)) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), surface->isTranslucent() ? QBrush(Qt::transparent) : palette().window());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    drawFrame(&painter);
}
