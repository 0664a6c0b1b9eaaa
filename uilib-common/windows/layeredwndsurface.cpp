#include "windows/layeredwndsurface.h"

#include "compositingwatch.h"

#include <QBitmap>
#include <QEvent>
#include <QImage>
#include <QWidget>

CLayeredWndSurface::CLayeredWndSurface(QWidget* window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("CLayeredWndSurface"));
    connect(CCompositingWatch::instance(), &CCompositingWatch::changed, this,
            &CLayeredWndSurface::onCompositingChanged);
}

CLayeredWndSurface::~CLayeredWndSurface() = default;

void CLayeredWndSurface::init(QWidget* window)
{
    if (!window)
        return;
    // Neither call may create the native window: the attributes below decide
    // which visual it gets when it is created.
    // Qt drops the frameless hint of a customised window that asks for a title
    // bar or its buttons (the defaults of every top-level window), so those go.
    const Qt::WindowFlags titleButtons = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                                         Qt::WindowContextHelpButtonHint | Qt::WindowShadeButtonHint;
    window->setWindowFlags((window->windowFlags() & ~titleButtons) | Qt::CustomizeWindowHint |
                           Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_TranslucentBackground, true);
    window->setAttribute(Qt::WA_NoSystemBackground, true);
    // Not WA_OpaquePaintEvent: it marks the widget opaque, and grab() and
    // render() then drop the alpha channel of the picture. The backing store
    // of a translucent window is cleared before every paint all the same.
    window->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CLayeredWndSurface* CLayeredWndSurface::of(const QWidget* window)
{
    if (!window)
        return nullptr;
    return window->findChild<CLayeredWndSurface*>(QString(), Qt::FindDirectChildrenOnly);
}

void CLayeredWndSurface::setAlpha(quint8 value, bool remember)
{
    if (remember)
        m_savedAlpha = m_alpha;
    else
        m_alphaPinned = true;
    m_alpha = value;
    apply();
}

void CLayeredWndSurface::restoreAlpha()
{
    if (m_alphaPinned)
        return;
    m_alpha = m_savedAlpha;
    apply();
}

void CLayeredWndSurface::apply()
{
    // Takes effect at once; without a compositor the window system ignores it.
    m_window->setWindowOpacity(m_alpha / 255.0);
}

bool CLayeredWndSurface::isTranslucent() const
{
    return CCompositingWatch::instance()->isActive();
}

void CLayeredWndSurface::updateMask(const QImage& picture)
{
    if (isTranslucent() || picture.isNull()) {
        if (!m_window->mask().isEmpty())
            m_window->clearMask();
        return;
    }
    QImage logical = picture;
    logical.setDevicePixelRatio(1.0);
    m_window->setMask(QBitmap::fromImage(logical.createAlphaMask(Qt::ThresholdAlphaDither)));
}

void CLayeredWndSurface::setMaskSource(std::function<QImage()> picture)
{
    if (!m_maskSource)
        m_window->installEventFilter(this);
    m_maskSource = std::move(picture);
    refreshMask();
}

void CLayeredWndSurface::refreshMask()
{
    if (!m_maskSource)
        return;
    // With a compositor there is nothing to draw: the mask only goes.
    updateMask(isTranslucent() ? QImage() : m_maskSource());
}

bool CLayeredWndSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        refreshMask();
    return QObject::eventFilter(watched, event);
}

void CLayeredWndSurface::onCompositingChanged(bool active)
{
    refreshMask();
    m_window->update();
    emit translucencyChanged(active);
}
