#include "meskshadow.h"

#include "compositingwatch.h"
#include "ishadowwindow.h"
#include "style/quorcommonstyle.h"
#include "style/quorpainting.h"
#include "windows/quorwindowedge.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// Unscaled borders of the shadow image: each margin plus 10 px.
constexpr int kBorderLeft = CMeskShadowWindow::MarginLeft + 10;
constexpr int kBorderTop = CMeskShadowWindow::MarginTop + 10;
constexpr int kBorderRight = CMeskShadowWindow::MarginRight + 10;
constexpr int kBorderBottom = CMeskShadowWindow::MarginBottom + 10;

} // namespace

CMeskShadowWindow::CMeskShadowWindow(const QRect& rect, QWidget* target)
    : QObject(target), m_target(target), m_rect(rect)
{
    if (!target)
        return;
    m_geometry = computeGeometry();
    m_shadowImage = QApplication::style()->standardPixmap(
        QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorShadow), nullptr, target);
    if (m_shadowImage.isNull())
        return;
    connect(CCompositingWatch::instance(), &CCompositingWatch::changed, this,
            &CMeskShadowWindow::_onCompositingChanged);
    createWindow();
}

CMeskShadowWindow::~CMeskShadowWindow() = default;

QRect CMeskShadowWindow::computeGeometry() const
{
    return m_rect.translated(m_target->pos()).adjusted(-MarginLeft, -MarginTop, MarginRight, MarginBottom);
}

void CMeskShadowWindow::createWindow()
{
    // Null while the desktop does not composite: a translucent window would show black there.
    m_window = IShadowWindow::create(m_target);
    if (!m_window)
        return;
    m_window->setGeometry(m_geometry);

    // The window's own shape is cut out, so the shadow never darkens the window.
    QStyleOption option(1);
    option.initFrom(m_target);
    QStyleHintReturnMask mask;
    m_target->style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, m_target, &mask);
    if (!mask.region.isEmpty()) {
        const QRegion region = QRegion(m_geometry)
                                   .subtracted(mask.region.translated(m_target->pos()))
                                   .translated(-m_geometry.topLeft());
        m_window->setRegion(region);
    }
}

void CMeskShadowWindow::render(int alpha)
{
    if (!m_window)
        return;
    const qreal ratio = std::max<qreal>(1.0, m_shadowImage.devicePixelRatio());
    QImage image((QSizeF(m_geometry.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    if (!image.isNull()) {
        QPainter painter(&image);
        drawNinePatchPixmap(&painter, m_shadowImage, QRect(QPoint(0, 0), m_geometry.size()), kBorderLeft,
                            kBorderTop, kBorderRight, kBorderBottom);
    }
    m_window->setGeometry(m_geometry);
    m_window->setImage(image);
    m_window->setAlpha(alpha);
}

void CMeskShadowWindow::show()
{
    if (!m_window)
        return;
    m_window->show();
    render(255);
}

void CMeskShadowWindow::hide()
{
    if (m_window)
        m_window->hide();
}

void CMeskShadowWindow::follow()
{
    if (!m_target || m_shadowImage.isNull())
        return;
    m_geometry = computeGeometry();
    if (!m_window)
        return;
    m_window->setGeometry(m_geometry);
    render(255);
}

void CMeskShadowWindow::_onCompositingChanged(bool active)
{
    if (!m_target)
        return;
    if (!active) {
        m_window.reset();
        return;
    }
    if (m_window)
        return;
    m_geometry = computeGeometry();
    createWindow();
    if (!m_window)
        return;
    if (m_target->isVisible())
        show();
    else
        render(255);
}

CMeskComplexShadow::CMeskComplexShadow(QWidget* target) : QObject(target), m_target(target)
{
    if (!target)
        return;
    target->installEventFilter(this);
    // Without a compositor there are no shadow windows: a line along the window's shape marks its edge.
    CQuorWindowEdge::attach(target);
}

CMeskComplexShadow::~CMeskComplexShadow()
{
    if (m_target)
        m_target->removeEventFilter(this);
    clear();
}

void CMeskComplexShadow::addShadow(const QRect& rect)
{
    if (!m_target)
        return;
    auto* shadow = new CMeskShadowWindow(rect, m_target);
    m_shadows.append(shadow);
    // The owners rebuild their shadows on every resize: a visible window keeps its shadow.
    if (m_target->isVisible())
        shadow->show();
}

void CMeskComplexShadow::clear()
{
    const QList<CMeskShadowWindow*> shadows = std::exchange(m_shadows, {});
    qDeleteAll(shadows);
}

bool CMeskComplexShadow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_target)
        return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::WinIdChange: // a native window made anew sends no Move
        for (CMeskShadowWindow* shadow : std::as_const(m_shadows))
            shadow->follow();
        break;
    case QEvent::Show:
        for (CMeskShadowWindow* shadow : std::as_const(m_shadows))
            shadow->show();
        break;
    case QEvent::Hide:
        for (CMeskShadowWindow* shadow : std::as_const(m_shadows))
            shadow->hide();
        break;
    default:
        break;
    }
    return false;
}
