#include "windows/quorshadowframe.h"

#include "compositingwatch.h"
#include "ishadowwindow.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QTimeLine>
#include <QTimer>
#include <QWidget>

namespace {

// The states in which a window shows its shadow: none, or only active.
bool isPlainState(Qt::WindowStates state)
{
    return state == Qt::WindowNoState || state == Qt::WindowActive;
}

} // namespace

CQuorShadowFrame::CQuorShadowFrame(QWidget* owner) : QObject(owner)
{
    m_timeLine = new QTimeLine(FadeDurationMs, this);
    m_timeLine->setFrameRange(0, 255);
    connect(m_timeLine, &QTimeLine::frameChanged, this, &CQuorShadowFrame::_onFadeUpdated);

    // Windows appear at once; only menus fade in, and only when the desktop animates menus.
    m_animate = false;
    if (qobject_cast<QMenu*>(owner))
        m_animate = QApplication::isEffectEnabled(Qt::UI_AnimateMenu);

    init(owner);
}

CQuorShadowFrame::~CQuorShadowFrame()
{
    if (m_owner)
        m_owner->removeEventFilter(this);
}

void CQuorShadowFrame::init(QWidget* owner)
{
    if (owner)
        m_shadowPixmap = owner->style()->standardPixmap(QStyle::SP_CustomBase, nullptr, owner);
    if (m_shadowPixmap.isNull() || !owner || !owner->isWindow()) {
        deleteLater();
        return;
    }
    m_owner = owner;
    // Null without a compositor: the frame then waits for one to start.
    m_window = IShadowWindow::create(owner);
    owner->installEventFilter(this);
    connect(CCompositingWatch::instance(), &CCompositingWatch::changed, this,
            &CQuorShadowFrame::_onCompositingChanged);
    if (m_window)
        resizeShadow();
}

void CQuorShadowFrame::_onCompositingChanged(bool active)
{
    if (!m_owner)
        return;
    if (!active) {
        m_timeLine->stop();
        m_window.reset();
        return;
    }
    if (m_window)
        return;
    m_window = IShadowWindow::create(m_owner);
    if (!m_window)
        return;
    resizeShadow();
    m_dirty = true;
    if (ownerShowsShadow()) {
        show();
        m_owner->update();
    }
}

void CQuorShadowFrame::setMargins(const SNinePatchMargins& margins)
{
    m_margins = margins;
    m_image = QImage();
    if (m_owner && m_window)
        m_window->restack();
}

void CQuorShadowFrame::show()
{
    if (!m_window)
        return;
    if (m_animate) {
        fadeShowShadow();
        return;
    }
    // The image is rebuilt for the owner's current frame at its next paint.
    m_dirty = true;
    m_window->show();
}

void CQuorShadowFrame::hide()
{
    if (!m_window)
        return;
    if (m_animate) {
        m_timeLine->stop();
        paintShadow(m_owner->frameGeometry(), 0, true);
    }
    m_window->hide();
}

void CQuorShadowFrame::fadeShowShadow()
{
    if (!m_window)
        return;
    m_timeLine->stop();
    m_timeLine->setDirection(QTimeLine::Forward);
    paintShadow(m_owner->frameGeometry(), 0, true);
    m_window->show();
    m_timeLine->start();
}

void CQuorShadowFrame::fadeIn() {}

void CQuorShadowFrame::_onFadeUpdated(int value)
{
    paintShadow(QRect(), value, false);
}

void CQuorShadowFrame::_onRestoreTimeout()
{
    // The owner may have been hidden or minimised again while the timer ran.
    if (m_window && ownerShowsShadow())
        fadeShowShadow();
}

bool CQuorShadowFrame::ownerShowsShadow() const
{
    return m_owner && m_owner->isVisible() && isPlainState(m_owner->windowState());
}

QRect CQuorShadowFrame::shadowGeometry() const
{
    return m_owner->frameGeometry().adjusted(-m_margins.left, -m_margins.top, m_margins.right,
                                             m_margins.bottom);
}

void CQuorShadowFrame::paintShadow(const QRect& frame, int alpha, bool rebuild)
{
    if (!m_window)
        return;
    if (rebuild) {
        const QRect geometry =
            frame.adjusted(-m_margins.left, -m_margins.top, m_margins.right, m_margins.bottom);
        // The image is drawn again only when the shadow's size or the screen's pixel ratio
        // changed; otherwise the window gets the one it has.
        const qreal ratio = m_owner ? m_owner->devicePixelRatioF() : 1.0;
        if (m_image.isNull() || m_image.deviceIndependentSize().toSize() != geometry.size() ||
            m_image.devicePixelRatio() != ratio) {
            QImage image((QSizeF(geometry.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::transparent);
            if (!image.isNull()) {
                QPainter painter(&image);
                drawNinePatchPixmap(&painter, m_shadowPixmap, QRect(QPoint(0, 0), geometry.size()),
                                    m_margins.left + 10, m_margins.top + 10, m_margins.right + 10,
                                    m_margins.bottom + 10);
            }
            m_image = image;
        }
        m_window->setGeometry(geometry);
        m_window->setImage(m_image);
    }
    m_window->setAlpha(alpha);
}

void CQuorShadowFrame::moveShadow()
{
    m_window->setGeometry(QRect(shadowGeometry().topLeft(), m_window->geometry().size()));
}

void CQuorShadowFrame::resizeShadow()
{
    m_window->setGeometry(QRect(m_window->geometry().topLeft(), shadowGeometry().size()));
}

void CQuorShadowFrame::updateRegion()
{
    QStyleOption option;
    option.initFrom(m_owner);
    QStyleHintReturnMask mask;
    m_owner->style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, m_owner, &mask);
    if (mask.region.isEmpty())
        return;
    const QRegion whole(0, 0, m_owner->width() + m_margins.left + m_margins.right,
                        m_owner->height() + m_margins.top + m_margins.bottom);
    m_window->setRegion(whole - mask.region.translated(m_margins.left, m_margins.top));
}

bool CQuorShadowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_owner || !m_window)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
        if (!m_window->isVisible() && ownerShowsShadow()) {
            show();
            m_dirty = true;
        }
        updateRegion();
        if (m_dirty) {
            paintShadow(m_owner->frameGeometry(), m_animate ? m_timeLine->currentFrame() : 255, true);
            m_dirty = false;
        }
        break;
    case QEvent::Move:
        moveShadow();
        break;
    case QEvent::WinIdChange:
        // The owner's native window was made anew (no Move comes): take its place again and
        // stay below the new window.
        moveShadow();
        m_window->restack();
        break;
    case QEvent::Resize:
        resizeShadow();
        m_dirty = true;
        break;
    case QEvent::Show:
        updateRegion();
        break;
    case QEvent::Hide:
        hide();
        break;
    case QEvent::WindowStateChange:
        if (!isPlainState(m_owner->windowState()))
            hide();
        else if (m_animate)
            QTimer::singleShot(RestoreDelayMs, this, &CQuorShadowFrame::_onRestoreTimeout);
        else if (ownerShowsShadow())
            show();
        break;
    default:
        break;
    }
    return false;
}
